// The details of one collection: its name and description, for routes and
// tracks also the drawing colour (0x00BBGGRR, picked with the colour
// dialog) and the pen width; its statistics in the user's units; and its
// points by display name, which can be moved up and down or deleted.
//
// Name, description, colour and width are written by OK (the collection's
// setters mark the file modified only for real changes); moving and
// deleting points act on the collection at once. An unloaded file is read
// again before the points are shown.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

#include "app/dialogs/DialogAsker.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace rovana {
class LanguageTable;
class POIs;
class SettingsStore;
class Waypoints;
}  // namespace rovana

namespace rovana::dialogs {

// The statistics lines, top to bottom.
enum class DetailLine { Distance, TotalTime, MovingTime, AverageSpeed, MaxSpeed, MinAltitude, MaxAltitude, Climb,
                        Descent };
inline constexpr int kDetailLines = 9;

class CollectionDetailsDialog : public QDialog {
  Q_OBJECT

 public:
  using Asker = DialogAsker;

  // `collection` and `waypoints` must outlive the dialog. The colour and the
  // delete question go to `asker` (the colour dialog and a message box for
  // its empty members).
  CollectionDetailsDialog(POIs& collection, Waypoints& waypoints, SettingsStore& settings,
                          const LanguageTable& language, QWidget* parent = nullptr, Asker asker = {});

  // Writes name, description, colour and width.
  void accept() override;

  // The buttons' actions.
  void ChooseColour();
  void MoveSelectedUp();
  void MoveSelectedDown();
  // Asks, then deletes the selected point.
  void DeleteSelected();

  QLineEdit* nameEdit() const { return name_; }
  QPlainTextEdit* descEdit() const { return desc_; }
  // Null for POIs collections.
  QPushButton* colourButton() const { return colourButton_; }
  QSpinBox* widthBox() const { return width_; }
  std::uint32_t chosenColour() const { return colour_; }
  QString statisticLabel(DetailLine line) const;
  QString statisticValue(DetailLine line) const;
  QListWidget* pointList() const { return points_; }
  QPushButton* upButton() const { return up_; }
  QPushButton* downButton() const { return down_; }
  QPushButton* deletePointButton() const { return deletePoint_; }

 private:
  QWidget* BuildGeneral();
  QWidget* BuildStatistics();
  QWidget* BuildPoints();
  void FillStatistics();
  // Lists the points again and selects row `select` (clamped).
  void FillPoints(int select);
  void ShowColour();
  void Move(bool up);

  POIs& collection_;
  Waypoints& waypoints_;
  SettingsStore& settings_;
  const LanguageTable& language_;
  Asker asker_;
  std::uint32_t colour_ = 0;
  QTabWidget* tabs_ = nullptr;
  QLineEdit* name_ = nullptr;
  QPlainTextEdit* desc_ = nullptr;
  QPushButton* colourButton_ = nullptr;
  QSpinBox* width_ = nullptr;
  std::array<QLabel*, kDetailLines> labels_{};
  std::array<QLabel*, kDetailLines> values_{};
  QListWidget* points_ = nullptr;
  QPushButton* up_ = nullptr;
  QPushButton* down_ = nullptr;
  QPushButton* deletePoint_ = nullptr;
};

}  // namespace rovana::dialogs
