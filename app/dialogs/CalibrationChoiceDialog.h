// The question of Map › Calibrate: how pans and zooms act while the map is
// calibrated on screen. "By map" moves the map's calibration under a fixed
// view, "By grid" moves the view over a fixed map, Cancel leaves
// calibration mode off.
#pragma once

#include <QDialog>

class QPushButton;

namespace rovana {
class LanguageTable;
}

namespace rovana::dialogs {

enum class CalibrationChoice { Cancel, ByMap, ByGrid };

class CalibrationChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CalibrationChoiceDialog(const LanguageTable& language, QWidget* parent = nullptr);

  // What was chosen; Cancel until a button is pressed (and for Esc).
  CalibrationChoice choice() const { return choice_; }

  QPushButton* byMapButton() const { return byMap_; }
  QPushButton* byGridButton() const { return byGrid_; }
  QPushButton* cancelButton() const { return cancel_; }

 private:
  void Choose(CalibrationChoice choice);

  CalibrationChoice choice_ = CalibrationChoice::Cancel;
  QPushButton* byMap_ = nullptr;
  QPushButton* byGrid_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace rovana::dialogs
