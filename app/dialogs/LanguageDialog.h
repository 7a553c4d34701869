// The language dialog: lists the valid language files of the Language folder
// by their own names (entry 0 of each) and loads the chosen one at once with
// the store flag, so `language` and `languageInit` follow the choice and the
// dialog relabels itself. A file that fails to load leaves the settings as
// they were (the table falls back to English). At boot the first
// introductory text is shown, from the menu the second one. Portrait screens
// stack the texts over the list, landscape screens put them beside it; the
// dialog follows its own size, so a boot-time dialog sized to the screen
// takes the screen's orientation.
#pragma once

#include <QDialog>

#include "app/core/LanguageTable.h"

class QBoxLayout;
class QLabel;
class QListWidget;
class QPushButton;

namespace rovana {
class SettingsStore;
}

namespace rovana::dialogs {

class LanguageDialog : public QDialog {
  Q_OBJECT

 public:
  LanguageDialog(LanguageTable& language, SettingsStore& settings, bool atBoot, QWidget* parent = nullptr);

  QListWidget* list() const { return list_; }
  QLabel* intro() const { return intro_; }
  const LanguageList& languages() const { return languages_; }

  // Loads item `row` of the list as a selection would.
  void Choose(int row);
  // True when the texts stand beside the list (a landscape dialog).
  bool sideBySide() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Relabel();
  void Orient(QSize size);

  LanguageTable& language_;
  SettingsStore& settings_;
  bool atBoot_;
  LanguageList languages_;
  QBoxLayout* body_ = nullptr;
  QLabel* intro_ = nullptr;
  QLabel* label_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace rovana::dialogs
