// The speed alert dialog: what it shows of the settings, what OK writes back
// and what Cancel leaves alone.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/SpeedAlertDialog.h"
#include "tests/support/TempHome.h"

namespace {

using rovana::dialogs::SpeedAlertDialog;

constexpr double kMph = 0.621371192237334;

struct Fixture {
  testing_support::TempHome home;
  Fixture() {
    rovana::SettingsStore& s = *home.settings;
    s.speedAlertEnabled = false;
    s.speedMaxMin = true;
    s.speed1 = 50;
    s.speed2 = 100;
    s.speed3 = 130;
    s.speedSelected = 100;
    s.unitSpeed = 0;
  }
  rovana::SettingsStore& settings() { return *home.settings; }
  std::string Entry(int entry) const { return home.language->Entry(entry); }
};

void Type(QLineEdit* edit, const char* text) {
  edit->clear();
  QTest::keyClicks(edit, text);
}

TEST(SpeedAlertDialog, ShowsTheSettingsWithThePresetOfTheChosenSpeedPicked) {
  Fixture f;
  SpeedAlertDialog dialog(f.settings(), *f.home.language);
  EXPECT_FALSE(dialog.enabledBox()->isChecked());
  EXPECT_TRUE(dialog.aboveButton()->isChecked());
  EXPECT_FALSE(dialog.belowButton()->isChecked());
  EXPECT_EQ(dialog.presetEdit(0)->text().toStdString(), "50.0");
  EXPECT_EQ(dialog.presetEdit(1)->text().toStdString(), "100.0");
  EXPECT_EQ(dialog.presetEdit(2)->text().toStdString(), "130.0");
  EXPECT_EQ(dialog.pickedPreset(), 1);
  EXPECT_EQ(dialog.alertSpeedText().toStdString(), f.Entry(rovana::lang::kSpeedAlertSpeed) + " 100.0kmh");
}

TEST(SpeedAlertDialog, OkWritesTheSwitchTheDirectionAndThePickedPreset) {
  Fixture f;
  SpeedAlertDialog dialog(f.settings(), *f.home.language);
  dialog.enabledBox()->setChecked(true);
  dialog.belowButton()->click();
  dialog.presetButton(2)->click();
  EXPECT_EQ(dialog.alertSpeedText().toStdString(), f.Entry(rovana::lang::kSpeedAlertSpeed) + " 130.0kmh");
  dialog.accept();
  EXPECT_TRUE(f.settings().speedAlertEnabled);
  EXPECT_FALSE(f.settings().speedMaxMin);
  EXPECT_DOUBLE_EQ(f.settings().speedSelected, 130);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(SpeedAlertDialog, CancelLeavesTheSettingsAsTheyWere) {
  Fixture f;
  SpeedAlertDialog dialog(f.settings(), *f.home.language);
  dialog.enabledBox()->setChecked(true);
  dialog.belowButton()->click();
  dialog.presetButton(0)->click();
  Type(dialog.presetEdit(2), "150");
  dialog.reject();
  EXPECT_FALSE(f.settings().speedAlertEnabled);
  EXPECT_TRUE(f.settings().speedMaxMin);
  EXPECT_DOUBLE_EQ(f.settings().speedSelected, 100);
  EXPECT_DOUBLE_EQ(f.settings().speed3, 130);
}

TEST(SpeedAlertDialog, PresetsAreEditedInTheUsersUnitAndUntouchedOnesKeepTheirValue) {
  Fixture f;
  f.settings().unitSpeed = 3;  // mph: 100 km/h shows as 62.1, which is not 100 km/h
  SpeedAlertDialog dialog(f.settings(), *f.home.language);
  EXPECT_EQ(dialog.presetEdit(1)->text().toStdString(), "62.1");
  Type(dialog.presetEdit(0), "40");
  dialog.accept();
  EXPECT_NEAR(f.settings().speed1, 40 / kMph, 1e-9);
  EXPECT_DOUBLE_EQ(f.settings().speed2, 100) << "shown, not typed in: not rounded";
  EXPECT_DOUBLE_EQ(f.settings().speed3, 130);
  EXPECT_DOUBLE_EQ(f.settings().speedSelected, 100) << "the picked preset was not touched";
}

TEST(SpeedAlertDialog, EditingThePickedPresetMovesTheChosenSpeedWithIt) {
  Fixture f;
  SpeedAlertDialog dialog(f.settings(), *f.home.language);
  Type(dialog.presetEdit(1), "90");
  EXPECT_EQ(dialog.alertSpeedText().toStdString(), f.Entry(rovana::lang::kSpeedAlertSpeed) + " 90.0kmh");
  dialog.accept();
  EXPECT_DOUBLE_EQ(f.settings().speed2, 90);
  EXPECT_DOUBLE_EQ(f.settings().speedSelected, 90);
}

TEST(SpeedAlertDialog, AChosenSpeedOutsideThePresetsStaysUntilOneIsPicked) {
  Fixture f;
  f.settings().speedSelected = 77;
  SpeedAlertDialog dialog(f.settings(), *f.home.language);
  EXPECT_EQ(dialog.pickedPreset(), -1);
  EXPECT_EQ(dialog.alertSpeedText().toStdString(), f.Entry(rovana::lang::kSpeedAlertSpeed) + " 77.0kmh");
  dialog.accept();
  EXPECT_DOUBLE_EQ(f.settings().speedSelected, 77);
}

}  // namespace
