// BootThread keeps the desktop awake through the screen saver of a private
// session bus, and does nothing (logging why once) without one.
#include "app/screen/BootThread.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/core/Log.h"
#include "tests/support/TempHome.h"
#include "tests/support/SessionBus.h"

using rovana::screen::BootThread;
using testing_support::FakeScreenSaver;

namespace {

constexpr std::chrono::milliseconds kPeriod{20};
constexpr int kWaitMs = 5000;

TEST(BootThread, HoldsTheBacklightWhileTheSettingIsOnAndResetsTheIdleTimer) {
  testing_support::SessionBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "dbus-daemon could not be started";
  FakeScreenSaver saver(bus.address());
  ASSERT_TRUE(saver.serving());
  testing_support::TempHome home;
  home.settings->preventStandbyEnabled = true;
  home.settings->preventBackLightsEnabled = true;
  std::atomic<bool> quit{false};
  BootThread boot(*home.settings, quit, kPeriod, bus.address());
  boot.Start();

  EXPECT_TRUE(saver.WaitFor([](const auto& c) { return c.activity >= 3 && c.inhibits.size() == 1; }, kWaitMs));
  EXPECT_EQ(saver.counts().inhibits.size(), 1u);  // taken once, kept while the setting stays on
  EXPECT_EQ(saver.counts().applications.front(), "Rovana");

  home.settings->preventBackLightsEnabled = false;
  EXPECT_TRUE(saver.WaitFor([](const auto& c) { return c.uninhibits.size() == 1; }, kWaitMs));
  home.settings->preventBackLightsEnabled = true;
  EXPECT_TRUE(saver.WaitFor([](const auto& c) { return c.inhibits.size() == 2; }, kWaitMs));

  home.settings->preventStandbyEnabled = false;
  const int activity = saver.counts().activity;
  const int passes = boot.passes();
  while (boot.passes() < passes + 3) std::this_thread::sleep_for(kPeriod);
  EXPECT_LE(saver.counts().activity, activity + 1);  // one pass may have been under way

  quit = true;
  boot.Stop();
  EXPECT_FALSE(boot.backlightHeld());
  EXPECT_EQ(saver.counts().uninhibits, (std::vector<std::uint32_t>{1, 2}));  // given back at the end
}

TEST(BootThread, WithoutABusLogsOnceAndGoesOn) {
  testing_support::TempHome home;
  home.settings->preventStandbyEnabled = true;
  home.settings->preventBackLightsEnabled = true;
  const std::filesystem::path log = home.folder() / "log.txt";
  rovana::OpenLog(log);
  std::atomic<bool> quit{false};
  {
    BootThread boot(*home.settings, quit, kPeriod, "unix:path=/nonexistent/zen-bus");
    boot.Start();
    while (boot.passes() < 4) std::this_thread::sleep_for(kPeriod);
    EXPECT_FALSE(boot.backlightHeld());
    quit = true;
  }
  rovana::CloseLog();
  std::stringstream text;
  text << std::ifstream(log).rdbuf();
  const std::string s = text.str();
  EXPECT_NE(s.find("BootThread=0x"), std::string::npos) << s;
  constexpr std::string_view kNoBus = "standby and backlight are left to the system";
  const auto first = s.find(kNoBus);
  ASSERT_NE(first, std::string::npos) << s;
  EXPECT_EQ(s.find(kNoBus, first + kNoBus.size()), std::string::npos) << "logged more than once:\n" << s;
}

}  // namespace
