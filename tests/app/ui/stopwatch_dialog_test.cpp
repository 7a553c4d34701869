// The stopwatch dialog: measurements started and stopped by speeds fed to the
// live analyzer, the buttons, the beeps, and the fields that edit the
// stopwatch settings.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdint>
#include <vector>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/StopwatchDialog.h"
#include "app/processing/Analyzer.h"
#include "tests/support/TempHome.h"

namespace {

using rovana::StopwatchSound;
using rovana::StopwatchState;
using rovana::dialogs::StopwatchDialog;

struct Fixture {
  testing_support::TempHome home;
  rovana::Analyzer live{[] { return 1000; }};
  std::uint32_t now = 5000;
  int positionTime = 1000;
  std::vector<StopwatchSound> sounds;

  Fixture() {
    rovana::SettingsStore& s = *home.settings;
    s.stopwatchType = 0;  // from speed to speed
    s.stopwatchStartSpeed = 0;
    s.stopwatchStopSpeed = 100;
    s.soundEnabled = true;
    s.unitSpeed = 0;
    s.unitDistance = 0;
  }
  StopwatchDialog::Beeper Beeper() {
    return [this](StopwatchSound sound) { sounds.push_back(sound); };
  }
  StopwatchDialog::TickSource Ticks() {
    return [this] { return now; };
  }
  // The receiver reports `speed`; 100 ms later the dialog's timer ticks.
  void Drive(StopwatchDialog& dialog, double speed) {
    live.AddPosition(++positionTime, rovana::GeoPoint(0, 0), speed, 0, false, false);
    now += 100;
    dialog.Tick();
  }
  std::string Entry(int entry) const { return home.language->Entry(entry); }
};

TEST(StopwatchDialog, StartsAndStopsOnTheLiveSpeedAndShowsTheInterpolatedResult) {
  Fixture f;
  StopwatchDialog dialog(f.live, *f.home.settings, *f.home.language, nullptr, f.Beeper(), f.Ticks());
  dialog.Tick();  // the first tick only takes the time
  EXPECT_EQ(dialog.stateText().toStdString(), f.Entry(rovana::lang::kStopwatchArmed));
  f.Drive(dialog, 0);
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Armed);

  f.Drive(dialog, 50);  // leaves 0 km/h: starts
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Running);
  EXPECT_EQ(dialog.stateText().toStdString(), f.Entry(rovana::lang::kStopwatchRunning));
  EXPECT_EQ(dialog.elapsedText().toStdString(), "00:00:00:100");
  EXPECT_FALSE(dialog.startButton()->isEnabled());
  EXPECT_TRUE(dialog.stopButton()->isEnabled());

  // 50 to 120 km/h in 100 ms: 100 km/h was passed 2/7 of the step early.
  f.Drive(dialog, 120);
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Stopped);
  EXPECT_EQ(dialog.stateText().toStdString(), f.Entry(rovana::lang::kStopwatchStopped));
  EXPECT_NEAR(dialog.stopwatch().elapsed(), 0.2 - 0.1 * 2 / 7, 1e-9);
  EXPECT_EQ(dialog.elapsedText().toStdString(), "00:00:00:171");
  EXPECT_EQ(dialog.distanceText().toStdString(), "2.4m");
  EXPECT_EQ(f.sounds, (std::vector<StopwatchSound>{StopwatchSound::Start, StopwatchSound::Stop}));

  f.Drive(dialog, 0);  // a stopped measurement stays as it is
  EXPECT_EQ(dialog.elapsedText().toStdString(), "00:00:00:171");
}

TEST(StopwatchDialog, ABrakingMeasurementStartsOnTheWayDown) {
  Fixture f;
  f.home.settings->stopwatchStartSpeed = 100;
  f.home.settings->stopwatchStopSpeed = 0;
  StopwatchDialog dialog(f.live, *f.home.settings, *f.home.language, nullptr, f.Beeper(), f.Ticks());
  dialog.Tick();
  f.Drive(dialog, 90);
  f.Drive(dialog, 110);  // rising through 100: not a start when braking
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Armed);
  f.Drive(dialog, 90);
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Running);
  f.Drive(dialog, 0);
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Stopped);
}

TEST(StopwatchDialog, NoBeepsWhenSoundsAreOff) {
  Fixture f;
  f.home.settings->soundEnabled = false;
  StopwatchDialog dialog(f.live, *f.home.settings, *f.home.language, nullptr, f.Beeper(), f.Ticks());
  dialog.Tick();
  f.Drive(dialog, 50);
  f.Drive(dialog, 120);
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Stopped);
  EXPECT_TRUE(f.sounds.empty());
}

TEST(StopwatchDialog, TheButtonsStartStopAndRearm) {
  Fixture f;
  f.home.settings->stopwatchType = 2;  // for a time
  f.home.settings->stopwatchStopTime = 10;
  StopwatchDialog dialog(f.live, *f.home.settings, *f.home.language, nullptr, f.Beeper(), f.Ticks());
  dialog.Tick();
  dialog.startButton()->click();
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Running);
  f.Drive(dialog, 30);
  f.Drive(dialog, 30);
  EXPECT_EQ(dialog.elapsedText().toStdString(), "00:00:00:200");
  dialog.stopButton()->click();
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Stopped);
  EXPECT_EQ(f.sounds, (std::vector<StopwatchSound>{StopwatchSound::Start, StopwatchSound::Stop}));
  dialog.findChild<QPushButton*>("reset")->click();
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Armed);
  EXPECT_EQ(dialog.elapsedText().toStdString(), "00:00:00:000");
}

TEST(StopwatchDialog, TheFieldsEditTheSettingsInTheUsersUnits) {
  Fixture f;
  f.home.settings->unitSpeed = 3;                // mph
  f.home.settings->stopwatchStartSpeed = 0.123;  // more than the field shows
  StopwatchDialog dialog(f.live, *f.home.settings, *f.home.language, nullptr, f.Beeper(), f.Ticks());
  EXPECT_EQ(dialog.stopSpeedEdit()->text().toStdString(), "62.1");
  EXPECT_TRUE(dialog.stopSpeedEdit()->isEnabled());
  EXPECT_FALSE(dialog.stopTimeEdit()->isEnabled());

  dialog.stopSpeedEdit()->clear();
  QTest::keyClicks(dialog.stopSpeedEdit(), "60");
  EXPECT_NEAR(f.home.settings->stopwatchStopSpeed, 60 / 0.621371192237334, 1e-9);

  dialog.modeBox()->setCurrentIndex(1);
  EXPECT_EQ(f.home.settings->stopwatchType, 1);
  EXPECT_TRUE(dialog.stopDistanceEdit()->isEnabled());
  EXPECT_FALSE(dialog.stopSpeedEdit()->isEnabled());
  dialog.stopDistanceEdit()->clear();
  QTest::keyClicks(dialog.stopDistanceEdit(), "400");
  EXPECT_DOUBLE_EQ(f.home.settings->stopwatchStopDistance, 400) << "the automatic row counts in metres";

  dialog.modeBox()->setCurrentIndex(2);
  dialog.stopTimeEdit()->clear();
  QTest::keyClicks(dialog.stopTimeEdit(), "12.5");
  EXPECT_DOUBLE_EQ(f.home.settings->stopwatchStopTime, 12.5);
  EXPECT_DOUBLE_EQ(f.home.settings->stopwatchStartSpeed, 0.123) << "a field nobody typed in is not written";
}

TEST(StopwatchDialog, ANewModeTakesEffectOnTheNextTick) {
  Fixture f;
  StopwatchDialog dialog(f.live, *f.home.settings, *f.home.language, nullptr, f.Beeper(), f.Ticks());
  dialog.modeBox()->setCurrentIndex(1);  // over a distance
  dialog.stopDistanceEdit()->clear();
  QTest::keyClicks(dialog.stopDistanceEdit(), "5");
  dialog.Tick();
  f.Drive(dialog, 36);  // 10 m/s from the start
  f.Drive(dialog, 36);
  f.Drive(dialog, 36);
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Running);
  for (int i = 0; i < 5 && dialog.stopwatch().state() == StopwatchState::Running; ++i) f.Drive(dialog, 36);
  EXPECT_EQ(dialog.stopwatch().state(), StopwatchState::Stopped);
  EXPECT_NEAR(dialog.stopwatch().distance(), 5.0, 1e-9);
}

}  // namespace
