#include "app/processing/Analyzer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"

namespace rovana {
namespace {

constexpr double kLargest = std::numeric_limits<double>::max();
constexpr double kGravity = 9.8;           // m/s² per g
constexpr double kClimbSegment = 50;       // metres travelled per grade reading
constexpr double kMovingHeadingSpeed = 1;  // km/h
constexpr int kHalfDay = kSecondsPerDay / 2;

// Seconds from `from` to `to`, both seconds of the day: negative steps are
// no time, except a jump back of more than half a day, which is the clock
// passing midnight.
int SecondsBetween(int from, int to) {
  int dt = to - from;
  if (dt < -kHalfDay) dt += kSecondsPerDay;
  return std::max(dt, 0);
}

// A loaded total that is no finite number (a damaged settings file) reads as
// `fallback`.
double Finite(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

}  // namespace

Analyzer::Analyzer() : Analyzer(Clock(SecondsOfDayNow)) {}

Analyzer::Analyzer(Clock clock) : clock_(std::move(clock)) {
  if (!clock_) clock_ = SecondsOfDayNow;
  Reset();
}

void Analyzer::AddPosition(int time, const GeoPoint& position, double speed, double heading, bool computeHeading,
                           bool computeSpeed) {
  std::lock_guard lock(mutex_);
  updateClock_ = clock_();
  updated_ = true;
  // A value that is no number (a damaged sentence) would stay in every
  // average and in the trip totals for good: an unknown speed counts as 0,
  // an unknown heading or altitude as the previous one.
  if (!std::isfinite(speed)) speed = 0;
  if (!std::isfinite(heading)) heading = heading_;
  GeoPoint point = position;
  if (!std::isfinite(point.altitude())) point.setAltitude(hasPrevious_ ? last_.altitude() : 0);
  if (!hasPrevious_) {
    Start(point, speed, heading);
  } else {
    Step(time, point, speed, heading, computeHeading, computeSpeed);
  }
  hasPrevious_ = true;
  lastTime_ = time;
  last_ = std::move(point);
}

void Analyzer::AddPositionComputed(int time, const GeoPoint& position) {
  AddPosition(time, position, 0, 0, true, true);
}

// The first position. Statistics that already cover some time (totals
// loaded from the settings) keep their averages and let the extremes take
// the position in; otherwise the position starts every figure.
void Analyzer::Start(const GeoPoint& position, double speed, double heading) {
  const double altitude = position.altitude();
  speed_ = speed;
  heading_ = movingHeading_ = heading;
  referenceAltitude_ = altitude;
  climbSegment_ = 0;
  if (totalTime_ > 0) {
    minSpeed_ = std::min(minSpeed_, speed);
    maxSpeed_ = std::max(maxSpeed_, speed);
    minAltitude_ = std::min(minAltitude_, altitude);
    maxAltitude_ = std::max(maxAltitude_, altitude);
    return;
  }
  averageSpeed_ = averageMovingSpeed_ = minSpeed_ = maxSpeed_ = speed;
  averageAltitude_ = minAltitude_ = maxAltitude_ = altitude;
}

void Analyzer::Step(int time, const GeoPoint& position, double speed, double heading, bool computeHeading,
                    bool computeSpeed) {
  const int dt = SecondsBetween(lastTime_, time);
  const double previousSpeed = speed_;
  const double previousHeading = heading_;

  if (computeHeading) heading = last_.Course(position);
  const double d = last_.Distance(position);
  if (computeSpeed) speed = dt > 0 ? d / dt * 3.6 : 0;
  speed_ = speed;
  heading_ = heading;

  minSpeed_ = std::min(minSpeed_, speed);
  maxSpeed_ = std::max(maxSpeed_, speed);
  if (dt > 0) {
    averageSpeed_ = (averageSpeed_ * totalTime_ + speed * dt) / (totalTime_ + dt);
    if (speed > 0) averageMovingSpeed_ = (averageMovingSpeed_ * movingTime_ + speed * dt) / (movingTime_ + dt);
  }
  if (speed > 0) distance_ += d;
  if (speed >= kMovingHeadingSpeed) movingHeading_ = heading;

  if (dt > 0) {
    const double ax = (std::cos(heading) * speed - std::cos(previousHeading) * previousSpeed) / 3.6 / dt;
    const double ay = (std::sin(heading) * speed - std::sin(previousHeading) * previousSpeed) / 3.6 / dt;
    acceleration_ = std::sqrt(ax * ax + ay * ay) / kGravity;
    accelerationDirection_ = (ax != 0 || ay != 0) ? previousHeading - std::atan2(ay, ax) : previousHeading;
    longitudinal_ = std::cos(accelerationDirection_) * acceleration_;
    lateral_ = std::sin(accelerationDirection_) * acceleration_;
  }

  const double altitude = position.altitude();
  maxAltitude_ = std::max(maxAltitude_, altitude);
  minAltitude_ = std::min(minAltitude_, altitude);
  if (dt > 0) averageAltitude_ = (averageAltitude_ * totalTime_ + altitude * dt) / (totalTime_ + dt);
  climbSegment_ += speed / 3.6 * dt;
  if (climbSegment_ > kClimbSegment) {
    const double rise = altitude - referenceAltitude_;
    grade_ = 100 * rise / climbSegment_;
    if (rise > 0) {
      climb_ += rise;
    } else {
      descent_ -= rise;
    }
    climbSegment_ = 0;
    referenceAltitude_ = altitude;
  }

  totalTime_ += dt;
  if (speed > 0) movingTime_ += dt;
}

void Analyzer::Reset() {
  std::lock_guard lock(mutex_);
  hasPrevious_ = updated_ = false;
  lastTime_ = totalTime_ = movingTime_ = updateClock_ = 0;
  distance_ = speed_ = 0;
  minSpeed_ = minAltitude_ = kLargest;
  maxSpeed_ = maxAltitude_ = -kLargest;
  averageSpeed_ = averageMovingSpeed_ = averageAltitude_ = 0;
  heading_ = movingHeading_ = 0;
  climbSegment_ = referenceAltitude_ = climb_ = descent_ = grade_ = 0;
  acceleration_ = lateral_ = longitudinal_ = accelerationDirection_ = 0;
  last_ = GeoPoint();
}

Analyzer::Times Analyzer::GetTimes(bool live) const {
  std::lock_guard lock(mutex_);
  Times times{totalTime_, movingTime_};
  if (live && updated_) {
    int elapsed = clock_() - updateClock_;
    if (elapsed < 0) elapsed += kSecondsPerDay;
    elapsed = std::clamp(elapsed, 0, kSecondsPerDay);
    times.total += elapsed;
    if (speed_ > 0) times.moving += elapsed;
  }
  return times;
}

double Analyzer::Distance(bool live) const {
  CurrentPosition source;
  GeoPoint last;
  double distance;
  {
    std::lock_guard lock(mutex_);
    distance = distance_;
    if (!live || !hasPrevious_ || !(speed_ > 0) || !currentPosition_) return distance;
    source = currentPosition_;
    last = last_;
  }
  // The filter has a lock of its own; asking it without ours held keeps the
  // two locks from ever being taken in opposite orders.
  const std::optional<GeoPoint> current = source();
  if (current) distance += last.Distance(*current);
  return distance;
}

void Analyzer::SetCurrentPosition(CurrentPosition source) {
  std::lock_guard lock(mutex_);
  currentPosition_ = std::move(source);
}

#define ROVANA_ANALYZER_GETTER(name, expression) \
  double Analyzer::name() const {                \
    std::lock_guard lock(mutex_);                \
    return expression;                           \
  }
ROVANA_ANALYZER_GETTER(Speed, speed_)
ROVANA_ANALYZER_GETTER(MinSpeed, minSpeed_)
ROVANA_ANALYZER_GETTER(MaxSpeed, maxSpeed_)
ROVANA_ANALYZER_GETTER(Heading, heading_)
ROVANA_ANALYZER_GETTER(MovingHeading, movingHeading_)
ROVANA_ANALYZER_GETTER(LastAltitude, last_.altitude())
ROVANA_ANALYZER_GETTER(MinAltitude, minAltitude_)
ROVANA_ANALYZER_GETTER(MaxAltitude, maxAltitude_)
ROVANA_ANALYZER_GETTER(AverageAltitude, averageAltitude_)
ROVANA_ANALYZER_GETTER(Climb, climb_)
ROVANA_ANALYZER_GETTER(Descent, descent_)
ROVANA_ANALYZER_GETTER(Grade, grade_)
ROVANA_ANALYZER_GETTER(Acceleration, acceleration_)
ROVANA_ANALYZER_GETTER(AccelerationDirection, accelerationDirection_)
ROVANA_ANALYZER_GETTER(LongitudinalAcceleration, longitudinal_)
ROVANA_ANALYZER_GETTER(LateralAcceleration, lateral_)
#undef ROVANA_ANALYZER_GETTER

double Analyzer::AverageSpeed(bool withoutStops) const {
  std::lock_guard lock(mutex_);
  return withoutStops ? averageMovingSpeed_ : averageSpeed_;
}

std::optional<GeoPoint> Analyzer::LastPosition() const {
  std::lock_guard lock(mutex_);
  if (!hasPrevious_) return std::nullopt;
  return last_;
}

double Analyzer::Pace(double timePerDistance) const {
  std::lock_guard lock(mutex_);
  if (!(speed_ > 0)) return -1;
  return timePerDistance / (speed_ / 3.6);
}

void Analyzer::LoadTotals(const SettingsStore& settings) {
  std::lock_guard lock(mutex_);
  Reset();
  distance_ = Finite(settings.distTotal, 0);
  totalTime_ = std::max(settings.timeTotal, 0);
  movingTime_ = std::clamp(settings.timeRunning, 0, totalTime_);
  minSpeed_ = Finite(settings.speedMin, kLargest);
  maxSpeed_ = Finite(settings.speedMax, -kLargest);
  averageSpeed_ = Finite(settings.speedAverage, 0);
  averageMovingSpeed_ = Finite(settings.speedAverageExclStops, 0);
  minAltitude_ = Finite(settings.altitudeMin, kLargest);
  maxAltitude_ = Finite(settings.altitudeMax, -kLargest);
  averageAltitude_ = Finite(settings.altitudeAverage, 0);
  climb_ = Finite(settings.elevation, 0);
  descent_ = Finite(settings.decline, 0);
}

void Analyzer::StoreTotals(SettingsStore& settings) const {
  std::lock_guard lock(mutex_);
  settings.distTotal = distance_;
  settings.timeTotal = totalTime_;
  settings.timeRunning = movingTime_;
  settings.speedMin = minSpeed_;
  settings.speedMax = maxSpeed_;
  settings.speedAverage = averageSpeed_;
  settings.speedAverageExclStops = averageMovingSpeed_;
  settings.altitudeMin = minAltitude_;
  settings.altitudeMax = maxAltitude_;
  settings.altitudeAverage = averageAltitude_;
  settings.elevation = climb_;
  settings.decline = descent_;
}

}  // namespace rovana
