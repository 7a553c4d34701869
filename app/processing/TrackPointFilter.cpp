#include "app/processing/TrackPointFilter.h"

#include <cmath>

#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"

namespace rovana {
namespace {

// Seconds from `from` to `to` on the clock of the day; a negative difference
// is the clock passing midnight.
int SecondsSince(int from, int to) {
  const int dt = to - from;
  return dt < 0 ? dt + kSecondsPerDay : dt;
}

}  // namespace

TrackFilterSettings TrackFilterSettingsOf(const SettingsStore& settings) {
  TrackFilterSettings out;
  out.maxTimeCheck = settings.trackMaxTimeCheck;
  out.maxTimeVal = settings.trackMaxTimeVal;
  out.maxDistCheck = settings.trackMaxDistCheck;
  out.maxDistVal = settings.trackMaxDistVal;
  out.maxDevCheck = settings.trackMaxDevCheck;
  out.maxDevVal = settings.trackMaxDevVal;
  return out;
}

int CandidateTime(int time, int previous, double speed) {
  if (speed < 0 && (time == 0 || SecondsSince(previous, time) == 0)) return (previous + 1) % kSecondsPerDay;
  return time;
}

void NameStoredPoint(GeoPoint& point, bool routeOrTrack, bool firstPoint) {
  if (!point.sym().empty()) return;
  if (!routeOrTrack) {
    point.setText(PointText::Sym, kDefaultSymbol);
  } else if (firstPoint) {
    point.setText(PointText::Sym, kTrailheadSymbol);
  }
}

void MarkFinish(GeoPoint& point) { point.setText(PointText::Sym, kFinishSymbol); }

TrackRule TrackPointFilter::Offer(GeoPoint& candidate, double speed, const TrackFilterSettings& settings) {
  if (lastCandidate_) candidate.setTime(CandidateTime(candidate.time(), lastCandidate_->time(), speed));
  const TrackRule rule = Decide(candidate, speed, settings);
  if (rule == TrackRule::Deviation && lastCandidate_) {
    direction_ = GeoPoint::Normalised(lastCandidate_->Minus(candidate));
  }
  analyzer_.AddPositionComputed(candidate.time(), candidate);
  if (rule != TrackRule::None) lastStored_ = candidate;
  lastCandidate_ = candidate;
  return rule;
}

TrackRule TrackPointFilter::Decide(const GeoPoint& candidate, double speed,
                                   const TrackFilterSettings& settings) const {
  if (!lastStored_) return TrackRule::First;
  if (!settings.maxTimeCheck && !settings.maxDistCheck && !settings.maxDevCheck) return TrackRule::Every;
  if (settings.maxTimeCheck && SecondsSince(lastStored_->time(), candidate.time()) >= settings.maxTimeVal) {
    return TrackRule::Time;
  }
  if (settings.maxDistCheck && lastStored_->Distance(candidate) >= settings.maxDistVal) return TrackRule::Distance;
  if (settings.maxDevCheck && Deviates(candidate, settings.maxDevVal)) return TrackRule::Deviation;
  if (speed >= 0) {
    // The analyzer's speed up to the previous candidate: the first point of
    // a stop and the first point after one are kept.
    const double before = analyzer_.Speed();
    if ((speed == 0 && before > 0) || (speed > 0 && before == 0)) return TrackRule::StartStop;
  }
  return TrackRule::None;
}

bool TrackPointFilter::Deviates(const GeoPoint& candidate, double maxDevVal) const {
  const GeoPoint::Vector d = direction_;
  if (d.latitude == 0 && d.longitude == 0) return true;
  if (lastCandidate_) {
    const GeoPoint::Vector move = candidate.Minus(*lastCandidate_);
    // The direction points back to the previous candidate, so a movement
    // along it is a turn of more than 90 degrees.
    if (move.latitude * d.latitude + move.longitude * d.longitude > 0) return true;
  }
  const GeoPoint::Vector off = lastStored_->Minus(candidate);
  const double crossTrack = std::fabs(off.latitude * d.longitude - off.longitude * d.latitude) * kEarthRadius;
  return crossTrack > maxDevVal / 2;
}

std::optional<GeoPoint> TrackPointFilter::Finish() {
  if (!lastCandidate_ || !lastStored_) return std::nullopt;
  if (lastCandidate_->latitude() == lastStored_->latitude() && lastCandidate_->longitude() == lastStored_->longitude()) {
    return std::nullopt;
  }
  lastStored_ = lastCandidate_;
  return lastCandidate_;
}

void TrackPointFilter::Reset() {
  analyzer_.Reset();
  lastStored_.reset();
  lastCandidate_.reset();
  direction_ = {};
}

}  // namespace rovana
