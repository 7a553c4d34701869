// What the main screen shows of a running GPS connection: its state until a
// fix, then the position and the live values; and settings changed in the
// settings dialog reaching the connection.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <fstream>
#include <thread>

#include "app/core/LanguageEntries.h"
#include "app/gps/GpsConnection.h"
#include "app/ui/LiveTexts.h"
#include "app/ui/MainScreen.h"
#include "tests/support/TempHome.h"
#include "tools/nmea-drive/DriveLog.h"

namespace {

using rovana::GpsConnection;
using rovana::GPSThread;

constexpr GPSThread::Timings kFast{10, 20, 4000};

template <typename Done>
bool WaitFor(Done done) {
  const auto start = std::chrono::steady_clock::now();
  while (!done()) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(LiveState, TheConnectionsStateUntilAFixThenPositionAndValues) {
  testing_support::TempHome home;
  rovana::SettingsStore& s = *home.settings;
  const rovana::LanguageTable& lt = *home.language;
  std::atomic<bool> quit{false};

  s.gpsEnabled = false;
  {
    GpsConnection off(s, quit, kFast);
    off.Start();
    ASSERT_TRUE(WaitFor([&] { return off.thread().state() == GPSThread::State::Idle; }));
    EXPECT_EQ(rovana::ui::MakeLiveTexts(&off, s, lt).fix, lt.Entry(rovana::lang::kGpsStateOff));
  }
  s.gpsEnabled = true;
  s.gpsName.clear();
  {
    GpsConnection none(s, quit, kFast);
    none.Start();
    ASSERT_TRUE(WaitFor([&] { return none.thread().state() == GPSThread::State::NoSource; }));
    EXPECT_EQ(rovana::ui::MakeLiveTexts(&none, s, lt).fix, lt.Entry(rovana::lang::kGpsStateNoSource));
    EXPECT_EQ(rovana::ui::MakeLiveTexts(&none, s, lt).basics[1], "?") << "no speed without a fix";
  }

  const std::filesystem::path log = home.folder() / "drive.pgl";
  std::ofstream(log, std::ios::binary) << nmeadrive::MakeDriveLog({});
  s.gpsName = log.string();
  s.unitSpeed = 2;  // knots
  GpsConnection replay(s, quit, kFast);
  replay.Start();
  ASSERT_TRUE(WaitFor([&] { return replay.HasFix() && replay.live().Speed() > 5; }));
  const rovana::ui::LiveTexts texts = rovana::ui::MakeLiveTexts(&replay, s, lt);
  EXPECT_NE(texts.fix.find("\u00B0N"), std::string::npos) << texts.fix;
  EXPECT_NE(texts.fix.find("10.0"), std::string::npos) << "the drive is at 10 degrees east: " << texts.fix;
  EXPECT_NE(texts.basics[1].find("kts"), std::string::npos) << texts.basics[1];
  EXPECT_EQ(texts.basics[2], "8/11");
  EXPECT_TRUE(texts.heading.has_value());
}

TEST(LiveState, SettingsDialogChangesReachTheConnection) {
  testing_support::TempHome home;
  std::atomic<bool> quit{false};
  GpsConnection gps(*home.settings, quit, kFast);
  rovana::ui::AppContext context{*home.settings, *home.language, quit, true, [] {}, &gps};
  rovana::ui::MainScreen screen(context, 480, 640);
  home.settings->horizon = 99;
  home.settings->gpsName = "GPD7:";
  screen.ApplySettingsToGps();
  EXPECT_EQ(gps.filter().GetHorizon(), 50);
  EXPECT_EQ(home.settings->horizon, 50) << "stored as the filter took it";
  EXPECT_EQ(gps.thread().options().gpsName, "GPD7:");
}

TEST(LiveState, TheSpeedAlertSoundsWhileTheLiveSpeedBreaksTheLimit) {
  testing_support::TempHome home;
  rovana::SettingsStore& s = *home.settings;
  const std::filesystem::path log = home.folder() / "drive.pgl";
  std::ofstream(log, std::ios::binary) << nmeadrive::MakeDriveLog({});
  s.gpsName = log.string();
  s.gpsEnabled = true;
  s.soundEnabled = true;
  s.speedAlertEnabled = false;
  s.speedMaxMin = true;  // above
  s.speedSelected = 10;
  std::atomic<bool> quit{false};
  // Paced so that the drive stays above 10 km/h for seconds once it got there.
  GpsConnection gps(s, quit, GPSThread::Timings{200, 20, 4000});
  rovana::ui::AppContext context{s, *home.language, quit, true, [] {}, &gps};
  rovana::ui::MainScreen screen(context, 480, 640);
  gps.Start();
  ASSERT_TRUE(WaitFor([&] { return gps.HasFix() && gps.live().Speed() > 20; }));
  screen.TickSpeedAlert();
  EXPECT_EQ(screen.speedAlerts(), 0) << "switched off";
  s.speedAlertEnabled = true;
  screen.TickSpeedAlert();
  screen.TickSpeedAlert();
  EXPECT_EQ(screen.speedAlerts(), 1) << "once, then not again within the delay";
}

}  // namespace
