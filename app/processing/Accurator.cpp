#include "app/processing/Accurator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <system_error>

#include "app/core/Log.h"
#include "app/core/Utilities.h"

namespace rovana {
namespace {

constexpr double kKmhToMetresPerSecond = 1 / 3.6;

double Finite(double value) { return std::isfinite(value) ? value : 0; }

// Into [-pi, pi].
double WrapLongitude(double longitude) { return std::isfinite(longitude) ? std::remainder(longitude, kTwoPi) : 0; }

// `longitude` moved by whole turns to lie within half a turn of `around`.
double Unwrapped(double longitude, double around) { return around + std::remainder(longitude - around, kTwoPi); }

// A point for the geometry: latitude clamped (by the point), longitude
// wrapped, since predictions may run past the poles or the date line.
GeoPoint Point(double latitude, double longitude, double altitude = 0) {
  return GeoPoint(latitude, WrapLongitude(longitude), altitude);
}

}  // namespace

Accurator::Guard::Guard(std::recursive_mutex& mutex) : mutex_(mutex) {
  try {
    mutex_.lock();
    locked_ = true;
  } catch (const std::system_error&) {
    LogMessage("Accurator::Lock failed");
  }
}

Accurator::Guard::~Guard() {
  if (locked_) mutex_.unlock();
}

std::uint32_t Accurator::SteadyTicks() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

Accurator::Accurator(int horizon, TickSource ticks)
    : ticks_(ticks ? std::move(ticks) : TickSource(&Accurator::SteadyTicks)),
      horizon_(std::clamp(horizon, kMinHorizon, kMaxHorizon)) {
  updateTick_ = ticks_();
}

void Accurator::AddFix(double latitude, double longitude, double speed, double heading, double altitude) {
  Guard guard(mutex_);
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) {
    LogMessage("Accurator: a fix without a finite position was dropped");
    return;
  }
  const int c = index_;
  const int p = Back(c, 1);
  const int q = Back(c, 2);
  index_ = (c + 1) % kSlots;

  // 1. Convert.
  const double phi = std::clamp(latitude * kTwoPi / 360, -kPi / 2, kPi / 2);
  const double lambda = WrapLongitude(longitude * kTwoPi / 360);
  const double v = Finite(speed) * kKmhToMetresPerSecond;
  const double theta = Finite(heading);
  const double h = Finite(altitude);
  valid_[c] = true;

  // 2. The new slot: measured values and rates per step.
  Track& lat = latitude_[c];
  lat.measured = lat.propagated = phi;
  lat.rate = lat.propagatedRate = v * std::cos(theta) / kEarthRadius;
  Track& lon = longitude_[c];
  lon.measured = lon.propagated = lambda;
  lon.rate = lon.propagatedRate = v * std::sin(theta) / std::cos(phi) / kEarthRadius;
  Track& alt = altitude_[c];
  alt.measured = alt.propagated = h;
  alt.rate = 0;
  // Without a fix before this one there is no climb to take (else a
  // stationary receiver would rise by its whole altitude after a reset).
  const double climb = valid_[p] ? h - altitude_[p].measured : 0;
  alt.propagatedRate = climb;
  altitude_[p].rate = climb;

  // 3. Accelerations: the change of rate between neighbouring fixes.
  lat.acceleration = 0;
  lon.acceleration = 0;
  latitude_[p].acceleration = lat.rate - latitude_[p].rate;
  longitude_[p].acceleration = lon.rate - longitude_[p].rate;
  alt.acceleration = 0;
  altitude_[p].acceleration = 0;
  altitude_[q].acceleration = altitude_[p].rate - altitude_[q].rate;

  // 4. Every older fix moves on one step.
  for (int s = 0; s < kSlots; ++s) {
    if (s == c || !valid_[s]) continue;
    for (Ring* ring : {&latitude_, &longitude_, &altitude_}) {
      Track& t = (*ring)[s];
      t.propagatedRate += t.acceleration;
      t.propagated += t.propagatedRate;
    }
  }

  // 5. and 6.
  Average(c);
  output_ = GeoPoint(std::clamp(latitude_[c].filtered, -kPi / 2, kPi / 2),
                     std::clamp(longitude_[c].filtered, -kPi, kPi), altitude_[c].filtered);
  updateTick_ = ticks_();
}

// The mean of the predictions of the newest `horizon_` valid slots, stored as
// the filtered values of slot c. Longitudes are taken within half a turn of
// the newest one and the mean wrapped back.
void Accurator::Average(int c) {
  double sumLatitude = 0, sumLongitude = 0, sumAltitude = 0;
  int count = 0;
  const double around = longitude_[c].propagated;
  for (int i = 0; i < horizon_; ++i) {
    const int s = Back(c, i);
    if (!valid_[s]) continue;
    sumLatitude += latitude_[s].propagated;
    sumLongitude += Unwrapped(longitude_[s].propagated, around);
    sumAltitude += altitude_[s].propagated;
    ++count;
  }
  latitude_[c].filtered = count ? sumLatitude / count : 0;
  longitude_[c].filtered = count ? WrapLongitude(sumLongitude / count) : 0;
  altitude_[c].filtered = count ? sumAltitude / count : 0;
}

GeoPoint Accurator::GetPosition(bool extrapolate) const {
  Guard guard(mutex_);
  GeoPoint position = output_;
  const int latest = Latest();
  if (!extrapolate || !valid_[latest]) return position;
  const std::uint32_t elapsed = std::min(static_cast<std::uint32_t>(ticks_() - updateTick_), kExtrapolationCapMs);
  const double seconds = elapsed / 1000.0;
  position.setLatitude(position.latitude() + latitude_[latest].propagatedRate * seconds);
  position.setLongitude(WrapLongitude(position.longitude() + longitude_[latest].propagatedRate * seconds));
  position.setAltitude(position.altitude() + altitude_[latest].propagatedRate * seconds);
  return position;
}

int Accurator::GetHorizon() const {
  Guard guard(mutex_);
  return horizon_;
}

int Accurator::SetHorizon(int horizon) {
  Guard guard(mutex_);
  horizon_ = std::clamp(horizon, kMinHorizon, kMaxHorizon);
  return horizon_;
}

void Accurator::UpdateQuality() {
  Guard guard(mutex_);
  const int latest = Latest();
  const GeoPoint filtered = Point(latitude_[latest].filtered, longitude_[latest].filtered);

  // Spread: the farthest prediction of the older slots in the horizon.
  double spread = 0;
  for (int i = 1; i < horizon_; ++i) {
    const int s = Back(latest, i);
    if (!valid_[s]) continue;
    spread = std::max(spread, filtered.Distance(Point(latitude_[s].propagated, longitude_[s].propagated)));
  }
  quality_.spread = spread;

  // Deviation: from the straight continuation of the two outputs before.
  const int previous = Back(latest, 1), before = Back(latest, 2);
  if (valid_[previous] && valid_[before]) {
    const double lonPrevious = longitude_[previous].filtered;
    const double lonBefore = Unwrapped(longitude_[before].filtered, lonPrevious);
    quality_.latitude = 2 * latitude_[previous].filtered - latitude_[before].filtered;
    quality_.longitude = WrapLongitude(2 * lonPrevious - lonBefore);
    quality_.deviation =
        std::max(filtered.Distance(Point(quality_.latitude, quality_.longitude)), kMinDeviation);
  }
}

Accurator::Quality Accurator::GetQuality() const {
  Guard guard(mutex_);
  Quality quality = quality_;
  quality.available = horizon_ > 2;
  return quality;
}

void Accurator::Reset() {
  Guard guard(mutex_);
  index_ = 0;
  valid_.fill(false);
}

std::vector<Accurator::Sample> Accurator::Samples() const {
  Guard guard(mutex_);
  std::vector<Sample> samples;
  samples.reserve(kSlots);
  for (int i = kSlots; i >= 1; --i) {  // from the oldest slot to the newest
    const int s = Back(index_, i);
    if (!valid_[s]) continue;
    samples.push_back(Sample{latitude_[s].measured, longitude_[s].measured, latitude_[s].filtered,
                             longitude_[s].filtered});
  }
  return samples;
}

}  // namespace rovana
