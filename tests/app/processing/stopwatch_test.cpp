// Stopwatch: starts and ends interpolated between ticks, the three kinds of
// measurement, the buttons and the sounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/processing/Stopwatch.h"

namespace {

using namespace rovana;

constexpr double kTolerance = 1e-9;

struct Ticks {
  std::vector<StopwatchSound> sounds;
  int startTick = -1, stopTick = -1;
};

// Feeds one speed per tick, `stepMs` apart, starting at tick time `first`.
Ticks Feed(Stopwatch& watch, const StopwatchSettings& settings, const std::vector<double>& speeds,
         std::uint32_t stepMs = 100, std::uint32_t first = 5000) {
  Ticks run;
  std::uint32_t now = first;
  for (std::size_t i = 0; i < speeds.size(); ++i, now += stepMs) {
    const StopwatchSound sound = watch.Tick(settings, now, speeds[i]);
    run.sounds.push_back(sound);
    if (sound == StopwatchSound::Start) run.startTick = static_cast<int>(i);
    if (sound == StopwatchSound::Stop) run.stopTick = static_cast<int>(i);
  }
  return run;
}

// Speeds from `from` changing by `step` per tick until past `until`.
std::vector<double> Ramp(double from, double step, double until) {
  std::vector<double> speeds;
  for (double v = from; step > 0 ? v <= until + step : v >= until + step; v += step) speeds.push_back(std::max(v, 0.0));
  return speeds;
}

TEST(Stopwatch, SpeedToSpeedIsInterpolatedAtBothEnds) {
  struct Case {
    const char* name;
    double startSpeed, stopSpeed, rampFrom, rampStep;
    double elapsed, distance, distanceTolerance;
  } cases[] = {
      // 70 km/h per second, ticks at 7 km/h: 0 to 100 takes 100/70 s and
      // a x t^2 / 2 metres.
      {"0 to 100", 0, 100, 0, 7, 100.0 / 70, 0.5 * (70 / 3.6) * (100.0 / 70) * (100.0 / 70), 0.02},
      // From 20: the start lies inside a tick interval as well.
      {"20 to 100", 20, 100, 0, 7, 80.0 / 70, ((100 / 3.6) * (100 / 3.6) - (20 / 3.6) * (20 / 3.6)) / (2 * 70 / 3.6),
       0.02},
      // Braking from 100 at 110 km/h per second; it ends exactly at 0.
      {"braking 100 to 0", 100, 0, 121, -11, 100.0 / 110, (100 / 3.6) * (100 / 3.6) / (2 * 110 / 3.6), 1e-9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StopwatchSettings settings;
    settings.type = 0;
    settings.startSpeed = c.startSpeed;
    settings.stopSpeed = c.stopSpeed;
    Stopwatch watch;
    const Ticks run = Feed(watch, settings, Ramp(c.rampFrom, c.rampStep, c.stopSpeed));
    EXPECT_GE(run.startTick, 1);
    EXPECT_GT(run.stopTick, run.startTick);
    EXPECT_EQ(watch.state(), StopwatchState::Stopped);
    EXPECT_NEAR(watch.elapsed(), c.elapsed, 1e-9);
    EXPECT_NEAR(watch.distance(), c.distance, c.distanceTolerance);
  }
}

TEST(Stopwatch, BrakingWaitsForAFallingCrossing) {
  StopwatchSettings settings;
  settings.type = 0;
  settings.startSpeed = 50;
  settings.stopSpeed = 0;
  Stopwatch watch;
  const Ticks rising = Feed(watch, settings, {0, 30, 60, 70});
  EXPECT_EQ(rising.startTick, -1) << "speeding up past 50 is no braking";
  const Ticks falling = Feed(watch, settings, {40}, 100, 5400);
  EXPECT_EQ(falling.startTick, 0);
}

TEST(Stopwatch, DistanceAndTimeEndsTakeTheOvershootBack) {
  struct Case {
    const char* name;
    int type;
    double elapsed, distance;
  } cases[] = {
      // Tick 33 ms at a steady 36 km/h after a start at the first tick.
      {"100 m", 1, 0.033 + (100 - 0.165) / 10, 100},
      {"10 s", 2, 10, 0.165 + (10 - 0.033) * 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StopwatchSettings settings;
    settings.type = c.type;
    settings.startSpeed = 0;
    settings.stopDistance = 100;
    settings.stopTime = 10;
    Stopwatch watch;
    std::vector<double> speeds = {0};
    speeds.resize(400, 36);
    const Ticks run = Feed(watch, settings, speeds, 33);
    EXPECT_EQ(run.startTick, 1);
    EXPECT_NE(run.stopTick, -1);
    EXPECT_NEAR(watch.elapsed(), c.elapsed, 1e-6);
    EXPECT_NEAR(watch.distance(), c.distance, 1e-6);
  }
}

TEST(Stopwatch, UnknownSpeedKeepsThePreviousOne) {
  StopwatchSettings settings;
  settings.type = 2;
  settings.stopTime = 1000;
  Stopwatch watch;
  Feed(watch, settings, {0, 36, -1, -1, 36});
  EXPECT_EQ(watch.state(), StopwatchState::Running);
  EXPECT_NEAR(watch.distance(), 0.5 + 1 + 1 + 1, kTolerance);  // m: half a tick's way, then 10 m/s
}

TEST(Stopwatch, FirstTickAfterArmingOnlyTakesTheSpeed) {
  StopwatchSettings settings;
  settings.startSpeed = 10;
  Stopwatch watch;
  const Ticks run = Feed(watch, settings, {50, 60});
  EXPECT_EQ(run.startTick, -1) << "already moving when the dialog opened";
  EXPECT_EQ(watch.state(), StopwatchState::Armed);
}

TEST(Stopwatch, ButtonsAndSounds) {
  StopwatchSettings settings;
  settings.type = 3;  // no end of its own
  Stopwatch watch;
  EXPECT_EQ(watch.Stop(settings), StopwatchSound::None) << "nothing runs yet";
  EXPECT_EQ(watch.Start(settings), StopwatchSound::Start);
  Feed(watch, settings, {36, 36, 36});
  EXPECT_NEAR(watch.elapsed(), 0.2, kTolerance);
  EXPECT_NEAR(watch.distance(), 2, kTolerance);
  EXPECT_EQ(watch.Stop(settings), StopwatchSound::Stop);
  EXPECT_EQ(watch.state(), StopwatchState::Stopped);
  Feed(watch, settings, {36, 36}, 100, 9000);
  EXPECT_NEAR(watch.elapsed(), 0.2, kTolerance) << "a stopped watch stands";
  watch.Arm();
  EXPECT_EQ(watch.state(), StopwatchState::Armed);
  EXPECT_EQ(watch.elapsed(), 0);
  EXPECT_EQ(watch.distance(), 0);

  settings.soundEnabled = false;
  settings.type = 1;
  const Ticks quiet = Feed(watch, settings, Ramp(0, 36, 400), 1000);
  EXPECT_EQ(watch.state(), StopwatchState::Stopped);
  for (StopwatchSound sound : quiet.sounds) EXPECT_EQ(sound, StopwatchSound::None);
}

TEST(Stopwatch, TickCounterWrapsAround) {
  StopwatchSettings settings;
  settings.type = 3;
  Stopwatch watch;
  Feed(watch, settings, {0, 36, 36, 36}, 100, 0xFFFFFF00u);
  EXPECT_NEAR(watch.elapsed(), 0.3, kTolerance);
}

}  // namespace
