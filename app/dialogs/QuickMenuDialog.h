// The quick menu: nine large owner-drawn buttons in a 3 × 3 grid under a
// title line, on seven pages (ScreenRules.h has the pages). Page buttons
// switch pages; a command button records its command identifier and closes
// the menu, and the main screen then runs that command. The navigation keys
// move a focus frame over the buttons, wrapping around; Return or Space
// presses the focused button; Back (Escape) closes the menu without a command.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;

#include "app/screen/ScreenRules.h"

namespace rovana {
class LanguageTable;
}

namespace rovana::dialogs {

class QuickMenuGrid;

class QuickMenuDialog : public QDialog {
  Q_OBJECT

 public:
  // 0 plain, 1 highlighted (the function is on), 2 the second style
  // (a track is being recorded), for a command identifier.
  using Highlight = std::function<int(int command)>;

  QuickMenuDialog(const LanguageTable& language, int page, Highlight highlight, int dpi, QWidget* parent = nullptr);

  int page() const { return page_; }
  int chosenCommand() const { return command_; }
  int focus() const { return focus_; }

  // Presses button `index` (0 to 8) as a tap would.
  void Press(int index);
  void ShowPage(int page);
  // The rectangle of button `index` in the grid widget's coordinates.
  QRect ButtonRect(int index) const;
  QWidget* grid() const;
  QString Caption(int index) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  friend class QuickMenuGrid;

  const LanguageTable& language_;
  Highlight highlight_;
  int dpi_;
  int page_ = 0;
  int focus_ = 0;
  int command_ = 0;
  QuickMenuGrid* grid_ = nullptr;
  QLabel* title_ = nullptr;
};

}  // namespace rovana::dialogs
