// The speed alert page: whether the alert is on (speedAlertEnabled), whether
// it warns above or below the chosen speed (speedMaxMin), and the chosen
// speed (speedSelected) picked from three presets (speed1 to speed3, 50, 100
// and 130 km/h unless the user changed them), which are edited in place. The
// speeds are shown and typed in the user's speed unit.
//
// OK writes what the user changed; a preset field nobody typed in is not
// written back, so a value the unit cannot show exactly is not rounded by
// merely opening the page, and the chosen speed only changes when the user
// picks a preset (or edits the one picked). Cancel leaves the settings as
// they were.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

inline constexpr int kSpeedPresets = 3;

class SpeedAlertDialog : public QDialog {
  Q_OBJECT

 public:
  SpeedAlertDialog(SettingsStore& settings, const LanguageTable& language, QWidget* parent = nullptr);

  void accept() override;

  QCheckBox* enabledBox() const { return enabled_; }
  QRadioButton* aboveButton() const { return above_; }
  QRadioButton* belowButton() const { return below_; }
  // The preset rows: the button that picks the preset and its value field.
  QRadioButton* presetButton(int index) const { return presets_[Clamp(index)].pick; }
  QLineEdit* presetEdit(int index) const { return presets_[Clamp(index)].edit; }
  // The preset picked, -1 when the chosen speed matches none of them.
  int pickedPreset() const;
  // "Alert speed: <speed>" as the page shows it.
  QString alertSpeedText() const;

 private:
  struct Preset {
    QRadioButton* pick = nullptr;
    QLineEdit* edit = nullptr;
    QString shown;  // the text the field opened with
  };
  static std::size_t Clamp(int index) {
    return static_cast<std::size_t>(index < 0 ? 0 : index >= kSpeedPresets ? kSpeedPresets - 1 : index);
  }
  double PresetValue(int index) const;  // km/h, the stored value unless edited
  double* PresetSetting(int index) const;
  void ShowAlertSpeed();

  SettingsStore& settings_;
  const LanguageTable& language_;
  QCheckBox* enabled_ = nullptr;
  QRadioButton* above_ = nullptr;
  QRadioButton* below_ = nullptr;
  std::array<Preset, kSpeedPresets> presets_{};
  QLabel* alertSpeed_ = nullptr;
  bool picked_ = false;  // the user picked a preset or edited the one picked
};

}  // namespace rovana::dialogs
