// The Target's geometry: distance to a segment, the walk along the followed
// collection, joining and following it, and the trainer's movement.
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/processing/Target.h"
#include "app/waypoints/POIs.h"
#include "app/waypoints/Waypoints.h"

namespace rovana {
namespace {

constexpr double kOnCollection = 20;  // metres: joined, left, arrived, trainer finished
constexpr double kMinLookAhead = 40;  // metres
constexpr double kLookAheadSeconds = 6;
constexpr double kMinSegmentLength = 1;  // metres, so a recorded pace never divides by 0

double LongitudeStep(double from, double to) { return std::remainder(to - from, kTwoPi); }

// The point at `fraction` of the way from a to b, in the same plane as
// DistanceToSegment (straight in latitude and longitude).
GeoPoint Between(const GeoPoint& a, const GeoPoint& b, double fraction) {
  return GeoPoint(a.latitude() + fraction * (b.latitude() - a.latitude()),
                  std::remainder(a.longitude() + fraction * LongitudeStep(a.longitude(), b.longitude()), kTwoPi));
}

void MoveTo(GeoPoint& point, const GeoPoint& to) {
  point.setLatitude(to.latitude());
  point.setLongitude(to.longitude());
  point.setAltitude(to.altitude());
}

}  // namespace

SegmentDistance DistanceToSegment(const GeoPoint& position, const GeoPoint& a, const GeoPoint& b) {
  const double cosLatitude = std::cos(a.latitude());
  const auto x = [&](const GeoPoint& p) {
    return kEarthRadius * LongitudeStep(a.longitude(), p.longitude()) * cosLatitude;
  };
  const auto y = [&](const GeoPoint& p) { return kEarthRadius * (p.latitude() - a.latitude()); };
  const double bx = x(b), by = y(b), px = x(position), py = y(position);
  const double length2 = bx * bx + by * by;
  const double t = length2 > 0 ? std::clamp((px * bx + py * by) / length2, 0.0, 1.0) : 0.0;
  SegmentDistance out;
  out.length = std::sqrt(length2);
  out.offset = t * out.length;
  out.distance = std::hypot(px - t * bx, py - t * by);
  out.foot = Between(a, b, t);
  return out;
}

bool Target::RefreshWalk() {
  const std::vector<POIs*> all = waypoints_.Collections();
  if (std::find(all.begin(), all.end(), collection_) == all.end()) {
    LogMessage("Target: the followed route or track is gone; target cleared");
    Clear();
    return false;
  }
  // Positions, heights and times only: a point's texts are never needed
  // here, and copying them for a long track at every paint would cost.
  std::vector<GeoPoint> points;
  points.reserve(collection_->count());
  collection_->VisitPoints([&points](const GeoPoint& p) {
    GeoPoint& q = points.emplace_back(p.latitude(), p.longitude(), p.altitude());
    q.setDate(p.date());
    q.setTime(p.time());
  });
  if (points.empty()) return false;
  const bool reverse = settings_.targetReverseTrack;
  if (reverse) std::reverse(points.begin(), points.end());
  if (reverse != walk_.reverse) {
    // Followed the other way now: the same collection from its new first point.
    POIs& collection = *collection_;
    SetCollectionTarget(points.front(), collection);
  }

  bool same = points.size() == walk_.points.size();
  for (std::size_t i = 0; same && i < points.size(); ++i)
    same = points[i].latitude() == walk_.points[i].latitude() && points[i].longitude() == walk_.points[i].longitude();
  if (same) return true;

  const bool edited = !walk_.points.empty();
  walk_.points = std::move(points);
  walk_.along.assign(walk_.points.size(), 0.0);
  for (std::size_t k = 1; k < walk_.points.size(); ++k)
    walk_.along[k] =
        walk_.along[k - 1] + DistanceToSegment(walk_.points[k], walk_.points[k - 1], walk_.points[k]).length;
  segment_ = std::min(segment_, walk_.segments() - 1);
  trainerEnd_ = std::min(trainerEnd_, walk_.points.size() - 1);
  // Points were added, moved or deleted under the user: find the place again.
  if (edited && state_ == TargetState::Following) state_ = TargetState::NotJoined;
  return true;
}

Target::Nearest Target::NearestOf(const GeoPoint& user, std::size_t from, std::size_t to, double lookAhead) const {
  Nearest best;
  bool found = false;
  for (std::size_t k = from; k < to; ++k) {
    const GeoPoint& start = walk_.points[k];
    // The current segment always counts; later ones while they start near.
    if (lookAhead >= 0 && k > from && user.Distance(start) > lookAhead) break;
    const SegmentDistance d = DistanceToSegment(user, start, walk_.points[walk_.EndOf(k)]);
    if (!found || d.distance <= best.where.distance) {  // ties: the later segment
      best = {k, d};
      found = true;
    }
  }
  return best;
}

void Target::Place(const Nearest& nearest, double lookAhead, bool& endReached) {
  segment_ = nearest.segment;
  userAlong_ = walk_.along[segment_] + nearest.where.offset;
  // The aim point lies `lookAhead` metres further along the collection, so
  // that the direction to it says where the way goes rather than pointing
  // across it at the user's own projection. Within that reach of the end,
  // the end itself is the aim.
  const double wanted = userAlong_ + lookAhead;
  if (wanted >= walk_.total()) {
    MoveTo(targetPoint_, walk_.points.back());
    targetAlong_ = walk_.total();
    endReached = lookAhead > 0;
    return;
  }
  std::size_t k = segment_;
  while (k + 1 < walk_.points.size() - 1 && walk_.along[k + 1] <= wanted) ++k;
  const double length = walk_.along[k + 1] - walk_.along[k];
  const double fraction = length > 0 ? std::clamp((wanted - walk_.along[k]) / length, 0.0, 1.0) : 0.0;
  MoveTo(targetPoint_, Between(walk_.points[k], walk_.points[k + 1], fraction));
  targetAlong_ = wanted;
}

void Target::Follow(const TargetInputs& in, bool haveWalk) {
  bool endReached = false;
  if (collection_ && haveWalk) {
    if (state_ == TargetState::NotJoined) {
      Nearest nearest = NearestOf(in.user, 0, walk_.segments(), -1);
      if (nearest.where.distance < kOnCollection) {
        // Where the collection passes the user more than once (a round
        // trip ending where it began, a way out and back), the user joins
        // the pass nearest along the way to where they were last (the start
        // before they ever joined): setting out on a round trip must not
        // put the user on its last leg, where the end is in reach at once,
        // and coming back to the start later must not either.
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t k = 0; k < walk_.segments(); ++k) {
          const SegmentDistance d = DistanceToSegment(in.user, walk_.points[k], walk_.points[walk_.EndOf(k)]);
          if (d.distance >= kOnCollection) continue;
          const double away = std::fabs(walk_.along[k] + d.offset - userAlong_);
          if (away < best) {
            best = away;
            nearest = Nearest{k, d};
          }
        }
      }
      bool unused = false;
      Place(nearest, 0, unused);
      if (nearest.where.distance < kOnCollection) state_ = TargetState::Following;
    }
    if (state_ == TargetState::Following) {
      const double lookAhead = std::max(kMinLookAhead, kLookAheadSeconds * (in.speed / 3.6));
      const Nearest nearest = NearestOf(in.user, segment_, walk_.segments(), lookAhead);
      Place(nearest, lookAhead, endReached);
      if (nearest.where.distance > kOnCollection) state_ = TargetState::NotJoined;
    }
  } else if (source_ && (state_ == TargetState::Position || state_ == TargetState::Arrived)) {
    if (const std::optional<GeoPoint> now = source_()) {
      MoveTo(targetPoint_, *now);
      StoreTarget(targetPoint_, "");
      endReached = true;
    } else {
      source_ = {};  // the point is gone; the target stays where it was last
    }
  }

  // A fixed position is never "arrived": it has no end to reach.
  if (endReached && (state_ == TargetState::Position || state_ == TargetState::Following) &&
      in.user.Distance(targetPoint_) < kOnCollection) {
    state_ = TargetState::Arrived;
    arrivalTick_ = in.now;
    userAlong_ = collection_ ? collection_->statistics().Distance() : 0;
  }
}

void Target::StartTrainer(const TargetInputs& in) {
  trainerState_ = TrainerState::Running;
  trainerAlong_ = trainerStartAlong_ = userAlong_;
  trainerPoint_ = Named(in.user, true);
  EnterTrainerSegment(segment_, walk_.EndOf(segment_));
  trainerElapsed_ = 0;
  trainerLastTick_ = in.now;
  trainerFinishTick_ = in.now;
  lastTrainerPrompt_ = in.now;
  trainerDone_ = false;
}

void Target::EnterTrainerSegment(std::size_t start, std::size_t end) {
  trainerEnd_ = end;
  const GeoPoint& a = walk_.points[start];
  const GeoPoint& b = walk_.points[end];
  // Recorded seconds of the day; a segment across midnight takes the short way round.
  segmentDuration_ = std::fabs(std::remainder(double(b.time()) - double(a.time()), kSecondsPerDay)) * 1000.0;
  segmentLength_ = std::max(kMinSegmentLength, a.Distance(b));
}

void Target::MoveTrainer(std::uint32_t now) {
  double dt = static_cast<std::uint32_t>(now - trainerLastTick_);
  trainerElapsed_ += dt;
  while (dt > 0) {
    const GeoPoint& end = walk_.points[trainerEnd_];
    const double s = trainerPoint_.Distance(end);
    double t = 0, v = 0;  // ms for s, m/s
    if (settings_.trainerConstant) {
      v = settings_.trainerConstantVal / 3.6;
      if (!(v > 0)) break;
      t = s * 1000.0 / v;
    } else {
      const double factor = settings_.trainerRelativeVal;
      if (!(factor > 0) || !(segmentLength_ > 0)) break;
      t = (segmentDuration_ * s / segmentLength_) / factor;
      v = segmentDuration_ > 0 ? factor * segmentLength_ / (segmentDuration_ / 1000.0) : 0;
    }
    if (!std::isfinite(t)) break;
    if (dt >= t) {
      MoveTo(trainerPoint_, end);
      trainerAlong_ += s;
      dt -= t;
      if (trainerEnd_ + 1 >= walk_.points.size()) break;  // at the end of the collection
      EnterTrainerSegment(trainerEnd_, trainerEnd_ + 1);
    } else {
      const double step = v * dt / 1000.0;
      trainerPoint_.MoveTowards(end, step);
      trainerAlong_ += step;
      dt = 0;
    }
  }
  if (trainerState_ != TrainerState::Finished && trainerPoint_.Distance(walk_.points.back()) < kOnCollection) {
    trainerState_ = TrainerState::Finished;
    trainerFinishTick_ = now;
  }
  trainerLastTick_ = now;
}

}  // namespace rovana
