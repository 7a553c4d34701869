// Speed alert: the condition, the delay between alerts and the quiet second
// after other prompts.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

#include "app/core/SettingsStore.h"
#include "app/processing/SpeedAlert.h"

namespace {

using namespace rovana;

TEST(SpeedAlert, ConditionAboveOrBelowTheChosenSpeed) {
  struct Case {
    const char* name;
    bool enabled, above;
    double speed, live;
    bool want;
  } cases[] = {
      {"above, faster", true, true, 100, 101, true},
      {"above, equal", true, true, 100, 100, false},
      {"above, slower", true, true, 100, 50, false},
      {"below, slower", true, false, 30, 20, true},
      {"below, faster", true, false, 30, 40, false},
      {"below, unknown speed", true, false, 30, -1, false},
      {"switched off", false, true, 100, 150, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SpeedAlertSettings settings;
    settings.enabled = c.enabled;
    settings.above = c.above;
    settings.speed = c.speed;
    EXPECT_EQ(SpeedAlertCondition(settings, c.live), c.want);
  }
}

TEST(SpeedAlert, TimingBetweenAlertsAndOtherPrompts) {
  int played = 0;
  SpeedAlert alert([&] { ++played; });
  SpeedAlertSettings settings;  // above 100 km/h, every 5 s
  struct Step {
    const char* name;
    std::uint32_t now;
    double live;
    std::optional<std::uint32_t> lastPrompt;
    bool want;
  } steps[] = {
      {"too slow", 1000, 90, std::nullopt, false},
      {"a prompt just played", 2000, 120, 1500, false},
      {"a prompt exactly a second ago", 2500, 120, 1500, false},
      {"first alert", 2600, 120, 1500, true},
      {"within the delay", 7500, 120, std::nullopt, false},
      {"delay over", 7600, 120, std::nullopt, true},
      {"slow again", 20000, 80, std::nullopt, false},
  };
  int wantPlayed = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(alert.Update(settings, s.live, s.now, s.lastPrompt), s.want);
    wantPlayed += s.want ? 1 : 0;
    EXPECT_EQ(played, wantPlayed);
  }
  EXPECT_EQ(alert.lastAlert(), std::optional<std::uint32_t>(7600));
}

TEST(SpeedAlert, SilentWithoutSoundsAndAcrossTheTickWrap) {
  int played = 0;
  SpeedAlert alert([&] { ++played; });
  SpeedAlertSettings settings;
  settings.soundEnabled = false;
  EXPECT_FALSE(alert.Update(settings, 150, 100, std::nullopt));
  settings.soundEnabled = true;
  EXPECT_TRUE(alert.Update(settings, 150, 0xFFFFF000u, std::nullopt));
  EXPECT_FALSE(alert.Update(settings, 150, 0x00000100u, std::nullopt)) << "about 4 s later";
  EXPECT_TRUE(alert.Update(settings, 150, 0x00000C00u, std::nullopt)) << "about 7 s later";
  settings.delaySeconds = 2'000'000'000;
  EXPECT_FALSE(alert.Update(settings, 150, 0x7FFFFFFFu, std::nullopt)) << "a huge delay does not wrap";
  EXPECT_EQ(played, 2);
  SpeedAlert mute(nullptr);
  EXPECT_TRUE(mute.Update(settings, 150, 5, std::nullopt)) << "no player: nothing to crash on";
}

TEST(SpeedAlert, SettingsAndSoundFile) {
  const auto folder = std::filesystem::temp_directory_path() / ("speed_alert_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  {
    SettingsStore store(folder);
    store.speedSelected = 80;
    store.speedMaxMin = false;
    store.reSpeedAlertDelay = 9;
    const SpeedAlertSettings settings = SpeedAlertSettingsOf(store);
    EXPECT_TRUE(settings.enabled);
    EXPECT_FALSE(settings.above);
    EXPECT_EQ(settings.speed, 80);
    EXPECT_EQ(settings.delaySeconds, 9);
    EXPECT_TRUE(settings.soundEnabled);
  }
  std::filesystem::remove_all(folder);
  EXPECT_EQ(SpeedAlertSound("/usr/share/rovana/samples"), "/usr/share/rovana/samples/SpeedAlert.wav");
}

}  // namespace
