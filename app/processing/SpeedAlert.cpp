#include "app/processing/SpeedAlert.h"

#include <utility>

#include "app/core/SettingsStore.h"

namespace rovana {
namespace {

constexpr std::uint32_t kPromptGapMs = 1000;  // quiet time after another prompt

}  // namespace

SpeedAlertSettings SpeedAlertSettingsOf(const SettingsStore& settings) {
  SpeedAlertSettings out;
  out.enabled = settings.speedAlertEnabled;
  out.above = settings.speedMaxMin;
  out.speed = settings.speedSelected;
  out.delaySeconds = settings.reSpeedAlertDelay;
  out.soundEnabled = settings.soundEnabled;
  return out;
}

bool SpeedAlertCondition(const SpeedAlertSettings& settings, double liveSpeed) {
  if (!settings.enabled || !(liveSpeed >= 0)) return false;
  return settings.above ? liveSpeed > settings.speed : liveSpeed < settings.speed;
}

std::filesystem::path SpeedAlertSound(const std::filesystem::path& samplesFolder) {
  return samplesFolder / "SpeedAlert.wav";
}

SpeedAlert::SpeedAlert(Player play) : play_(std::move(play)) {}

bool SpeedAlert::Update(const SpeedAlertSettings& settings, double liveSpeed, std::uint32_t now,
                        std::optional<std::uint32_t> lastPrompt) {
  if (!settings.soundEnabled || !SpeedAlertCondition(settings, liveSpeed)) return false;
  if (lastPrompt && static_cast<std::uint32_t>(now - *lastPrompt) <= kPromptGapMs) return false;
  if (lastAlert_) {
    // Kept in 64 bits: a delay of more than 49 days never lets a second alert through.
    const std::uint64_t delay = settings.delaySeconds > 0 ? std::uint64_t(settings.delaySeconds) * 1000u : 0;
    if (static_cast<std::uint32_t>(now - *lastAlert_) < delay) return false;
  }
  lastAlert_ = now;
  if (play_) play_();
  return true;
}

}  // namespace rovana
