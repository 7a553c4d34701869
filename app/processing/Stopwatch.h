// Stopwatch: a measurement that the live speed starts and stops - from one
// speed to another, over a distance, or for a time - with the start and the
// end interpolated between timer ticks, so the result does not depend on
// when the ticks fall.
//
// The dialog feeds it with its timer ticks and the live speed and plays the
// sound each call returns; nothing here knows about windows or sounds.
//
// Start (while armed), with S = startSpeed and v0, v the previous and the
// current speed: a rising crossing is v0 <= S < v, a falling one
// v <= S < v0. Type 0 (speed to speed) starts on a falling crossing when
// stopSpeed < S (braking), else on a rising one; other types start on
// either. The measurement begins at the interpolated crossing, the part
// |v - S| / |v - v0| of the last tick interval before the tick.
//
// End (while running): type 0 when the speed crosses stopSpeed in either
// direction, type 1 when the distance reaches stopDistance metres, type 2
// when the time reaches stopTime seconds; the overshoot past the end is
// taken back from the last step in proportion. Other types run until Stop.
#pragma once

#include <cstdint>

namespace rovana {

class SettingsStore;

struct StopwatchSettings {
  int type = 0;               // stopwatchType: 0 speed, 1 distance, 2 time
  double startSpeed = 0;      // stopwatchStartSpeed, km/h
  double stopSpeed = 100;     // stopwatchStopSpeed, km/h
  double stopDistance = 100;  // stopwatchStopDistance, metres
  double stopTime = 10;       // stopwatchStopTime, seconds
  bool soundEnabled = true;   // soundEnabled
};
StopwatchSettings StopwatchSettingsOf(const SettingsStore& settings);

enum class StopwatchState { Armed, Running, Stopped };
// What the dialog should play: the exclamation sound at a start, a plain
// beep at a stop (none when sounds are off).
enum class StopwatchSound { None, Start, Stop };

class Stopwatch {
 public:
  // Armed, elapsed and distance 0; the next tick only takes its time and
  // speed as the previous ones.
  void Arm();

  // One timer tick at `now` (a 32-bit millisecond tick, differences modulo
  // 2^32) with the live speed in km/h; -1 keeps the previous speed.
  StopwatchSound Tick(const StopwatchSettings& settings, std::uint32_t now, double liveSpeed);

  // The buttons. Start begins a measurement at once from any state; Stop
  // ends a running one where it stands.
  StopwatchSound Start(const StopwatchSettings& settings);
  StopwatchSound Stop(const StopwatchSettings& settings);

  StopwatchState state() const { return state_; }
  double elapsed() const { return elapsed_; }    // seconds
  double distance() const { return distance_; }  // metres

 private:
  bool Starts(const StopwatchSettings& settings, double v0, double v) const;
  void Run(const StopwatchSettings& settings, double v0, double v, double interval);

  StopwatchState state_ = StopwatchState::Armed;
  double elapsed_ = 0;
  double distance_ = 0;
  bool hasTick_ = false;
  std::uint32_t previousTick_ = 0;
  double previousSpeed_ = 0;
  bool ended_ = false;  // set by Run when the end condition was met
};

}  // namespace rovana
