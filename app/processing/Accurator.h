// Accurator: the position filter. It keeps the last 50 fixes in a ring; with
// every new fix each stored fix is moved forward one step by its own measured
// rate and acceleration (dead reckoning, one fix counting as one second), and
// the output is the mean of the newest N of these predictions, N being the
// horizon (1 to 50). Between fixes the position can be extrapolated by the
// newest fix's rates for at most 2 seconds. Two quality figures describe the
// filter: the spread of the predictions around the output and the deviation
// of the output from the straight continuation of the two outputs before it.
//
// Units: fixes come in degrees, km/h, radians clockwise from north and
// metres; inside, latitude and longitude are radians and their rates radians
// per step; altitude rates are metres per step. Positions come out as
// GeoPoint (radians, metres); distances are metres on the sphere of
// kEarthRadius.
//
// Longitudes are averaged unwrapped around the newest fix, so a receiver on
// the date line gets a position there, not on the opposite meridian. The
// first fix after a reset has no altitude rate (there is no earlier fix to
// take it from).
//
// The filter writes no settings: its owner copies the output position into
// the setting `position`, and the horizon set here into `horizon`, on the
// user-interface thread.
//
// Threads: fixes are added on the GPS thread while the user-interface thread
// reads. Every public method holds the filter's re-entrant mutex for its
// whole body; a lock that cannot be taken is logged as
// "Accurator::Lock failed" and the method goes on.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "app/waypoints/GeoPoint.h"

namespace rovana {

class Accurator {
 public:
  static constexpr int kSlots = 50;
  static constexpr int kMinHorizon = 1;
  static constexpr int kMaxHorizon = kSlots;
  static constexpr std::uint32_t kExtrapolationCapMs = 2000;
  static constexpr double kMinDeviation = 0.01;  // metres

  // A millisecond tick; differences are taken modulo 2^32.
  using TickSource = std::function<std::uint32_t()>;
  // The monotonic clock in milliseconds, cut to 32 bits.
  static std::uint32_t SteadyTicks();

  // All slots empty; `horizon` (the setting) is clamped to 1..50; an empty
  // `ticks` means SteadyTicks.
  explicit Accurator(int horizon, TickSource ticks = {});
  Accurator(const Accurator&) = delete;
  Accurator& operator=(const Accurator&) = delete;

  // Takes one fix: latitude and longitude in degrees, speed in km/h, heading
  // in radians clockwise from north, altitude in metres. A fix whose
  // latitude or longitude is no finite number is logged and dropped; a speed,
  // heading or altitude that is no finite number counts as 0. Latitudes are
  // clamped to +-90 degrees, longitudes wrapped into +-180.
  void AddFix(double latitude, double longitude, double speed, double heading, double altitude);

  // The latest output. With `extrapolate`, moved on by the newest fix's rates
  // for the time since that fix, at most 2000 ms (none before the first fix
  // after a reset).
  GeoPoint GetPosition(bool extrapolate) const;

  int GetHorizon() const;
  // Clamps `horizon` to 1..50, uses it from the next fix on and returns it,
  // for the caller to store in the setting `horizon`.
  int SetHorizon(int horizon);

  // Recomputes spread, deviation and the quality position from the slots.
  void UpdateQuality();
  struct Quality {
    bool available = false;  // the horizon is greater than 2
    double spread = 0;       // metres
    double deviation = kMinDeviation;  // metres, at least 0.01
    double latitude = 0, longitude = 0;  // the quality position, radians
  };
  // The figures of the last UpdateQuality.
  Quality GetQuality() const;

  // Forgets every fix: the next fix is output as it is.
  void Reset();

  // The valid slots, oldest first: each fix as measured and the output made
  // when it came (radians), for the filter dialog's drawing.
  struct Sample {
    double measuredLatitude = 0, measuredLongitude = 0;
    double filteredLatitude = 0, filteredLongitude = 0;
  };
  std::vector<Sample> Samples() const;

 private:
  // One coordinate of one slot.
  struct Track {
    double measured = 0;
    double propagated = 0;
    double filtered = 0;
    double rate = 0;
    double propagatedRate = 0;
    double acceleration = 0;
  };
  using Ring = std::array<Track, kSlots>;

  // Takes the mutex for a scope; a failure is logged and the scope goes on.
  class Guard {
   public:
    explicit Guard(std::recursive_mutex& mutex);
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    std::recursive_mutex& mutex_;
    bool locked_ = false;
  };

  static int Back(int slot, int steps) { return ((slot - steps) % kSlots + kSlots) % kSlots; }
  int Latest() const { return Back(index_, 1); }
  void Average(int c);

  mutable std::recursive_mutex mutex_;
  TickSource ticks_;
  std::array<bool, kSlots> valid_{};
  int index_ = 0;
  int horizon_ = 5;
  Ring latitude_{}, longitude_{}, altitude_{};
  GeoPoint output_;
  std::uint32_t updateTick_ = 0;
  Quality quality_;
};

}  // namespace rovana
