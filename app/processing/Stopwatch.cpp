#include "app/processing/Stopwatch.h"

#include <algorithm>
#include <cmath>

#include "app/core/SettingsStore.h"

namespace rovana {
namespace {

bool Rising(double v0, double v, double s) { return v0 <= s && s < v; }
bool Falling(double v0, double v, double s) { return v <= s && s < v0; }

// Metres covered in `interval` seconds going from v0 to v km/h evenly.
double Way(double v0, double v, double interval) { return (v + v0) / 2 / 3.6 * interval; }

StopwatchSound Sound(const StopwatchSettings& settings, StopwatchSound sound) {
  return settings.soundEnabled ? sound : StopwatchSound::None;
}

}  // namespace

StopwatchSettings StopwatchSettingsOf(const SettingsStore& settings) {
  StopwatchSettings out;
  out.type = settings.stopwatchType;
  out.startSpeed = settings.stopwatchStartSpeed;
  out.stopSpeed = settings.stopwatchStopSpeed;
  out.stopDistance = settings.stopwatchStopDistance;
  out.stopTime = settings.stopwatchStopTime;
  out.soundEnabled = settings.soundEnabled;
  return out;
}

void Stopwatch::Arm() {
  state_ = StopwatchState::Armed;
  elapsed_ = distance_ = 0;
  hasTick_ = false;
}

StopwatchSound Stopwatch::Tick(const StopwatchSettings& settings, std::uint32_t now, double liveSpeed) {
  const double v0 = previousSpeed_;
  const double v = liveSpeed == -1 || !std::isfinite(liveSpeed) ? v0 : liveSpeed;
  const bool first = !hasTick_;
  const double interval = first ? 0 : static_cast<std::uint32_t>(now - previousTick_) / 1000.0;
  hasTick_ = true;
  previousTick_ = now;
  previousSpeed_ = v;
  if (first) return StopwatchSound::None;

  if (state_ == StopwatchState::Armed && Starts(settings, v0, v)) {
    // Begin at the crossing: the part of the last interval since then
    // counts already, in time and in way.
    const double s = settings.startSpeed;
    const double part = std::clamp(std::fabs(v - s) / std::fabs(v - v0), 0.0, 1.0);
    state_ = StopwatchState::Running;
    elapsed_ = part * interval;
    distance_ = Way(s, v, part * interval);
    return Sound(settings, StopwatchSound::Start);
  }
  if (state_ == StopwatchState::Running) {
    Run(settings, v0, v, interval);
    if (ended_) {
      state_ = StopwatchState::Stopped;
      return Sound(settings, StopwatchSound::Stop);
    }
  }
  return StopwatchSound::None;
}

bool Stopwatch::Starts(const StopwatchSettings& settings, double v0, double v) const {
  const double s = settings.startSpeed;
  if (settings.type != 0) return Rising(v0, v, s) || Falling(v0, v, s);
  return settings.stopSpeed < s ? Falling(v0, v, s) : Rising(v0, v, s);
}

void Stopwatch::Run(const StopwatchSettings& settings, double v0, double v, double interval) {
  const double way = Way(v0, v, interval);
  elapsed_ += interval;
  distance_ += way;
  double overshoot;
  double increment;  // of the quantity the end is measured in, over the last step
  switch (settings.type) {
    case 0: {
      const double s = settings.stopSpeed;
      ended_ = Rising(v0, v, s) || Falling(v0, v, s);
      overshoot = std::fabs(v - s);
      increment = std::fabs(v - v0);
      break;
    }
    case 1:
      overshoot = distance_ - settings.stopDistance;
      increment = way;
      ended_ = overshoot >= 0;
      break;
    case 2:
      overshoot = elapsed_ - settings.stopTime;
      increment = interval;
      ended_ = overshoot >= 0;
      break;
    default:
      ended_ = false;
      return;
  }
  if (ended_ && overshoot > 0 && increment > 0) {
    const double part = std::min(overshoot / increment, 1.0);
    elapsed_ -= part * interval;
    distance_ -= part * way;
  }
}

StopwatchSound Stopwatch::Start(const StopwatchSettings& settings) {
  state_ = StopwatchState::Running;
  elapsed_ = distance_ = 0;
  ended_ = false;
  return Sound(settings, StopwatchSound::Start);
}

StopwatchSound Stopwatch::Stop(const StopwatchSettings& settings) {
  if (state_ != StopwatchState::Running) return StopwatchSound::None;
  state_ = StopwatchState::Stopped;
  return Sound(settings, StopwatchSound::Stop);
}

}  // namespace rovana
