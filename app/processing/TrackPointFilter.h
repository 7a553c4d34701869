// TrackPointFilter: which positions offered to the track being recorded
// become track points. The track keeps its last stored point, its last
// candidate (the last position offered, stored or not), a direction vector
// for the deviation rule and its own Analyzer, fed with every candidate.
//
// A candidate is stored when the first of these rules fires:
//   - it is the track's first point, or no check of the settings is on;
//   - Time: at least maxTimeVal seconds since the last stored point (the
//     clock passing midnight adds a day);
//   - Distance: at least maxDistVal metres from the last stored point;
//   - Deviation: the direction is still zero, the course turned back by
//     more than 90 degrees, or the candidate lies more than maxDevVal / 2
//     metres beside the line through the last stored point along the
//     direction; when this rule stores a point, the direction becomes the
//     unit vector from it back to the previous candidate;
//   - StartStop: the receiver's speed is known (not negative) and the
//     movement started or stopped (speed 0 while the analyzer's speed was
//     above 0, or above 0 while it was 0).
//
// Threads: none of its own; the owning collection's lock covers it.
#pragma once

#include <optional>
#include <string_view>

#include "app/processing/Analyzer.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

class SettingsStore;

struct TrackFilterSettings {
  bool maxTimeCheck = false;
  int maxTimeVal = 10;  // seconds
  bool maxDistCheck = false;
  double maxDistVal = 25;  // metres
  bool maxDevCheck = true;
  double maxDevVal = 8;  // metres
};
// trackMaxTimeCheck, trackMaxTimeVal, trackMaxDistCheck, trackMaxDistVal,
// trackMaxDevCheck and trackMaxDevVal.
TrackFilterSettings TrackFilterSettingsOf(const SettingsStore& settings);

// Why a candidate was stored; None when it was not.
enum class TrackRule { None, First, Every, Time, Distance, Deviation, StartStop };

// The time stamp a candidate gets: one second after the previous candidate's
// (`previous`, seconds of the day) when its own is 0 or equal to it and the
// speed is negative (points without a receiver behind them); else its own.
int CandidateTime(int time, int previous, double speed);

// Symbols the recorder gives: "Trailhead" to the first point of a route or
// track and "Default" to points of other lists when they have none, and
// "Finish" to a finished track's last point.
inline constexpr std::string_view kTrailheadSymbol = "Trailhead";
inline constexpr std::string_view kDefaultSymbol = "Default";
inline constexpr std::string_view kFinishSymbol = "Finish";
// Gives `point` its default symbol when its symbol is empty.
void NameStoredPoint(GeoPoint& point, bool routeOrTrack, bool firstPoint);
// Makes `point` the finish of a track, replacing any symbol.
void MarkFinish(GeoPoint& point);

class TrackPointFilter {
 public:
  // Offers a candidate with the receiver's speed (negative: unknown). Its
  // time stamp is fixed up first (CandidateTime), the rules decide on it,
  // then the track's analyzer takes it in and it becomes the last
  // candidate. Returns the rule that stores it, None when it is dropped.
  TrackRule Offer(GeoPoint& candidate, double speed, const TrackFilterSettings& settings);

  // At the end of recording: the last candidate when it lies elsewhere than
  // the last stored point (it was thinned away and should end the track),
  // which then counts as stored; nothing otherwise.
  std::optional<GeoPoint> Finish();

  // Forgets every point and restarts the analyzer.
  void Reset();

  Analyzer& analyzer() { return analyzer_; }
  const Analyzer& analyzer() const { return analyzer_; }
  const std::optional<GeoPoint>& lastStored() const { return lastStored_; }
  const std::optional<GeoPoint>& lastCandidate() const { return lastCandidate_; }
  GeoPoint::Vector direction() const { return direction_; }

 private:
  TrackRule Decide(const GeoPoint& candidate, double speed, const TrackFilterSettings& settings) const;
  bool Deviates(const GeoPoint& candidate, double maxDevVal) const;

  Analyzer analyzer_;
  std::optional<GeoPoint> lastStored_;
  std::optional<GeoPoint> lastCandidate_;
  GeoPoint::Vector direction_;
};

}  // namespace rovana
