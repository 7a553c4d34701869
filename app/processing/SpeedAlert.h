// SpeedAlert: a sound when the live speed is above (or below) the chosen
// speed, at most once per reSpeedAlertDelay seconds and never within a
// second of another guidance prompt. The navigation target asks once per
// tick; playing the sound is the owner's (a function it hands in), so the
// rule runs without any sound system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace rovana {

class SettingsStore;

struct SpeedAlertSettings {
  bool enabled = true;       // speedAlertEnabled
  bool above = true;         // speedMaxMin: alert above (true) or below (false)
  double speed = 100;        // speedSelected, km/h
  int delaySeconds = 5;      // reSpeedAlertDelay
  bool soundEnabled = true;  // soundEnabled
};
SpeedAlertSettings SpeedAlertSettingsOf(const SettingsStore& settings);

// Whether the live speed (km/h) breaks the chosen limit. An unknown speed
// (negative) never does.
bool SpeedAlertCondition(const SpeedAlertSettings& settings, double liveSpeed);

// The alert's sound file in the samples folder.
std::filesystem::path SpeedAlertSound(const std::filesystem::path& samplesFolder);

class SpeedAlert {
 public:
  using Player = std::function<void()>;  // starts the sound, does not wait
  explicit SpeedAlert(Player play);

  // One evaluation at `now` (a 32-bit millisecond tick; differences are
  // taken modulo 2^32). `lastPrompt` is the tick of the latest other
  // guidance prompt, none when there was none. True when the sound was
  // started; the alert time is then `now`.
  bool Update(const SpeedAlertSettings& settings, double liveSpeed, std::uint32_t now,
              std::optional<std::uint32_t> lastPrompt);

  std::optional<std::uint32_t> lastAlert() const { return lastAlert_; }

 private:
  Player play_;
  std::optional<std::uint32_t> lastAlert_;
};

}  // namespace rovana
