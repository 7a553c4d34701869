// Analyzer: running statistics of a sequence of timed positions - distance,
// total and moving time, current, extreme and average speeds, altitude
// extremes and average, climb and descent with the latest grade, the heading
// while moving and the acceleration in multiples of g.
//
// Rovana keeps a live one (since the program started), a trip one whose
// totals survive restarts through the settings, and one per recorded track.
//
// Units: time stamps are seconds of the day (0..86399), speeds km/h,
// distances and altitudes metres, headings radians clockwise from north,
// accelerations g, the grade percent.
//
// Threads: every public method takes the analyzer's own re-entrant mutex for
// its whole body, so the GPS thread may add positions while the user
// interface reads. Settings are read and written by LoadTotals/StoreTotals,
// which the user-interface thread calls.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "app/waypoints/GeoPoint.h"

namespace rovana {

class SettingsStore;

class Analyzer {
 public:
  // The local time in seconds of the day; the default reads the clock.
  using Clock = std::function<int()>;
  // The position filter's current extrapolated position, or nothing when
  // it has none. Called without the analyzer's mutex held.
  using CurrentPosition = std::function<std::optional<GeoPoint>()>;

  Analyzer();
  explicit Analyzer(Clock clock);
  Analyzer(const Analyzer&) = delete;
  Analyzer& operator=(const Analyzer&) = delete;

  // Takes a position in. With `computeHeading` the heading is the course
  // from the previous position, with `computeSpeed` the speed is the
  // distance from it over the time between them. A time stamp earlier than
  // the previous one counts as no time passing (a jump back of more than 12
  // hours is the clock passing midnight). The first position after
  // construction or Reset starts the statistics; the first one after
  // LoadTotals joins the loaded totals (extremes take it in, averages stay).
  void AddPosition(int time, const GeoPoint& position, double speed, double heading, bool computeHeading,
                   bool computeSpeed);
  // The same with speed and heading computed from the positions.
  void AddPositionComputed(int time, const GeoPoint& position);

  // Totals, averages and times 0, minima the largest finite double, maxima
  // its negative, no previous position.
  void Reset();

  struct Times {
    int total = 0;   // seconds covered by all positions
    int moving = 0;  // seconds covered while the speed was above 0
    bool operator==(const Times&) const = default;
  };
  // With `live`, once a position was taken in, the seconds since then (by
  // the clock) are added to the total, and to the moving time while the
  // latest speed is above 0.
  Times GetTimes(bool live) const;
  // Metres covered while moving. With `live` and a latest speed above 0,
  // plus the way from the last position to the filter's current position
  // (see SetCurrentPosition; nothing is added without one).
  double Distance(bool live) const;
  void SetCurrentPosition(CurrentPosition source);

  double Speed() const;
  double MinSpeed() const;
  double MaxSpeed() const;
  double AverageSpeed(bool withoutStops) const;
  double Heading() const;        // the latest heading
  double MovingHeading() const;  // the latest heading taken at 1 km/h or more
  double LastAltitude() const;   // 0 before the first position
  double MinAltitude() const;
  double MaxAltitude() const;
  double AverageAltitude() const;
  double Climb() const;    // metres, positive
  double Descent() const;  // metres, positive
  double Grade() const;    // percent, of the latest completed 50 m segment
  double Acceleration() const;  // g
  // The previous heading minus the compass direction of the acceleration.
  double AccelerationDirection() const;
  double LongitudinalAcceleration() const;  // g, along the previous heading
  double LateralAcceleration() const;       // g, across it
  // The previous position, when there is one.
  std::optional<GeoPoint> LastPosition() const;

  // Seconds needed for `timePerDistance` metres at the latest speed; -1 when
  // the speed is 0 or less.
  double Pace(double timePerDistance) const;

  // The trip totals: distTotal, timeTotal, timeRunning, speedMin, speedMax,
  // speedAverage, speedAverageExclStops, altitudeMin, altitudeMax,
  // altitudeAverage, elevation and decline. Loading leaves the analyzer
  // without a previous position.
  void LoadTotals(const SettingsStore& settings);
  void StoreTotals(SettingsStore& settings) const;

 private:
  void Start(const GeoPoint& position, double speed, double heading);
  void Step(int time, const GeoPoint& position, double speed, double heading, bool computeHeading,
            bool computeSpeed);

  mutable std::recursive_mutex mutex_;
  Clock clock_;
  CurrentPosition currentPosition_;

  bool hasPrevious_ = false;  // a position was taken in since Reset/LoadTotals
  bool updated_ = false;      // updateClock_ holds a reading
  int lastTime_ = 0;
  int totalTime_ = 0;
  int movingTime_ = 0;
  int updateClock_ = 0;
  double distance_ = 0;
  double speed_ = 0;
  double minSpeed_ = 0, maxSpeed_ = 0;
  double averageSpeed_ = 0, averageMovingSpeed_ = 0;
  double heading_ = 0, movingHeading_ = 0;
  double climbSegment_ = 0;
  double minAltitude_ = 0, maxAltitude_ = 0, averageAltitude_ = 0;
  double referenceAltitude_ = 0;
  double climb_ = 0, descent_ = 0;
  double grade_ = 0;
  double acceleration_ = 0, lateral_ = 0, longitudinal_ = 0, accelerationDirection_ = 0;
  GeoPoint last_;
};

}  // namespace rovana
