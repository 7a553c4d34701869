// Target: the navigation target. The user sets a single position (possibly
// one that moves, such as a POI being edited) or a route or track to follow.
// Once per paint the main screen runs Tick, which
//   1. moves the trainer (a virtual partner travelling along the followed
//      collection at a constant speed or at the pace recorded in it),
//   2. follows the user's filtered position along the collection (joining it
//      within 20 m, leaving it beyond 20 m, arriving within 20 m of its end),
//   3. ranks the user against the trainer,
//   4. chooses the direction prompt (U-turn, left, straight on, right,
//      arrived) with hysteresis, and
//   5. plays the voice prompts (direction, trainer, speed alert).
//
// Units: distances metres, speeds km/h at the interface (m/s inside where
// said), angles radians clockwise from north, ticks 32-bit milliseconds whose
// differences are taken modulo 2^32, times to go seconds.
//
// Sound: the Target never plays anything itself. It hands the bare file name
// ("TryUTurn.wav", "Win.wav", "SpeedAlert.wav", ...) to the sink it was given;
// the owner looks the file up in the sound folder and plays it
// asynchronously.
//
// Settings: read from the store on every call; `target`, `targetSet` and
// `targetTrackName` are written by Clear, the Set calls, Restore and Tick (a
// moving source point rewrites `target`). All of these run on the
// user-interface thread, the tick on paint.
//
// The followed collection's file is pinned while it is followed (never
// unloaded, its collections never deleted). A collection that vanishes from
// the registry anyway clears the target (logged) at the next tick.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/processing/SpeedAlert.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

class POIs;
class SettingsStore;
class Waypoints;

enum class TargetState : int {
  None = 0,
  Position = 1,   // a single position
  NotJoined = 2,  // a route or track, the user not within 20 m of it
  Following = 3,  // on the route or track
  Arrived = 4,    // at the end of the route or track, or at a moving source point
};

enum class TrainerState : int { None = 0, Ready = 2, Running = 3, Finished = 4 };

enum class DirectionPrompt : int { None = 0, UTurn = 1, Left = 2, Straight = 3, Right = 4, Arrived = 5 };

enum class TrainerStatus : int { None = 0, Ready = 1, Level = 2, Behind = 3, Ahead = 4, Won = 5, Lost = 6 };

// The direction prompt for the angle from the user's course to the course
// towards the target (degrees, (-180, 180], positive to the right), given the
// prompt chosen last: the bounds between prompts move away from the last
// prompt by 5 degrees, so a heading near a bound does not flip between two.
DirectionPrompt ChooseDirectionPrompt(DirectionPrompt previous, double relativeDegrees);

// How far a position lies from the segment a-b, in the plane of a's parallel
// (x = R lon cos(lat a), y = R lat). The foot is the nearest point of the
// segment (an end when the perpendicular misses it); a segment with a == b
// is that point.
struct SegmentDistance {
  double distance = 0;  // metres from the position to the foot
  double offset = 0;    // metres from a to the foot
  double length = 0;    // metres from a to b
  GeoPoint foot;        // position only
};
SegmentDistance DistanceToSegment(const GeoPoint& position, const GeoPoint& a, const GeoPoint& b);

// A PointSource for a point stored in `collection` (a POI the user picked
// as the target): its current position while the collection is registered
// and holds it. Reads on the user-interface thread.
std::function<std::optional<GeoPoint>()> StoredPointSource(const Waypoints& waypoints, const POIs& collection,
                                                            const GeoPoint* stored);

// What one tick works with, taken from the GPS connection on the
// user-interface thread.
struct TargetInputs {
  std::uint32_t now = 0;    // millisecond tick
  GeoPoint user;            // the filtered user position (Accurator)
  double speed = 0;         // km/h, the live speed (Analyzer::Speed)
  double course = 0;        // radians, the live course (Analyzer::MovingHeading holds while standing)
  double averageSpeed = 0;  // km/h, the average speed without stops (Analyzer::AverageSpeed(true))
};

// For the trip displays and the trainer page.
struct TargetSummary {
  TrainerStatus trainerStatus = TrainerStatus::None;
  bool following = false;  // a route or track is the target
  bool notJoined = false;  // ... and the user is not on it yet
  double userAlong = 0;     // metres along the collection to the user's projection
  double trainerAlong = 0;  // metres along the collection to the trainer
  // |userAlong - trainerAlong|; 0 without a running trainer and once both
  // arrived.
  double gap = 0;
  // Seconds between user and trainer: the gap at the user's average speed
  // when behind, else at the trainer's mean speed since it started; plus
  // (the user's arrival tick, else now) minus (the trainer's finish tick,
  // else now). Only that difference once both arrived (negative: the user
  // was first); -1 when the speed is not positive.
  double timeGap = -1;
};

// The names the target and the trainer points carry (language table texts).
struct TargetNames {
  std::string target = "Target";
  std::string trainer = "Trainer";
};

class Target {
 public:
  // Takes a bare file name of the sound folder and starts playing it.
  using PromptSink = std::function<void(std::string_view file)>;
  // The current position of the point a position target was set from, or
  // nothing when that point is gone.
  using PointSource = std::function<std::optional<GeoPoint>()>;

  // No target. Nothing is read from the settings until Restore or a Set call.
  Target(SettingsStore& settings, Waypoints& waypoints, PromptSink play, TargetNames names = {});
  ~Target();
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  // No target and no trainer; the followed collection's file is no longer
  // pinned; `target` := (0, 0, 0), `targetTrackName` := "", `targetSet` :=
  // false.
  void Clear();
  // A single position. With a `source` (the target was set from a POI) whose
  // point is not the user's own symbol, the target follows that point and
  // the user can arrive at it.
  void SetPositionTarget(const GeoPoint& point, PointSource source = {});
  // Follow `collection` (a route or track), starting from `first` (shown as
  // the target until the user's position is taken into account). Its file is
  // loaded when it was unloaded, and pinned. The trainer gets ready.
  void SetCollectionTarget(const GeoPoint& first, POIs& collection);
  // At start-up, after the waypoint files are loaded: the target the
  // settings describe (the collection `targetTrackName` names from its first
  // point in walking order, else the position `target`), when `targetSet`.
  void Restore();
  // The trainer gets ready again (while a collection is followed); it starts
  // from the user's place once the user is on the collection.
  void RearmTrainer();

  // One paint's worth of work (see the top of this file); returns the
  // direction prompt to show.
  DirectionPrompt Tick(const TargetInputs& in);

  // The target point (for a route or track the aim point ahead of the user
  // on it), while there is a target.
  std::optional<GeoPoint> TargetPoint() const;
  // The trainer, while it runs or has finished.
  std::optional<GeoPoint> TrainerPoint() const;
  TargetState state() const { return state_; }
  TrainerState trainerState() const { return trainerState_; }
  TrainerStatus trainerStatus() const { return trainerStatus_; }
  DirectionPrompt prompt() const { return prompt_; }
  POIs* collection() const { return collection_; }
  double userAlong() const { return userAlong_; }
  double trainerAlong() const { return trainerAlong_; }
  // The running time of the trainer, milliseconds.
  double trainerElapsed() const { return trainerElapsed_; }

  // Metres from `user` to the target, along the rest of the route or track
  // when one is followed; -1 without a target.
  double DistanceToGo(const GeoPoint& user) const;
  // Seconds to go at `averageSpeed` km/h (without stops), the straight
  // distance to a position target taken times `ETAFac`; -1 without a target
  // or when the speed is not positive.
  double TimeToGo(const GeoPoint& user, double averageSpeed) const;
  // `averageSpeed` km/h as in TargetInputs; `now` the tick the time gap is
  // counted to.
  TargetSummary Summary(std::uint32_t now, double averageSpeed) const;

 private:
  // The followed collection's points in walking order (reversed with
  // `targetReverseTrack`), with the distance along it to each point, copied
  // at every tick.
  struct Walk {
    std::vector<GeoPoint> points;
    std::vector<double> along;  // along[k]: metres from points[0] to points[k]
    bool reverse = false;
    std::size_t segments() const { return points.size() < 2 ? points.size() : points.size() - 1; }
    std::size_t EndOf(std::size_t segment) const { return segment + 1 < points.size() ? segment + 1 : segment; }
    double total() const { return along.empty() ? 0 : along.back(); }
  };
  struct Nearest {
    std::size_t segment = 0;
    SegmentDistance where;
  };

  void Play(std::string_view file);
  void StoreTarget(const GeoPoint& point, const std::string& trackName);
  GeoPoint Named(const GeoPoint& position, bool trainer) const;
  // Copies the collection's positions and times; false when it is gone or
  // empty. A changed list puts the user back to "not joined".
  bool RefreshWalk();
  Nearest NearestOf(const GeoPoint& user, std::size_t from, std::size_t to, double lookAhead) const;
  void Place(const Nearest& nearest, double lookAhead, bool& endReached);
  void Follow(const TargetInputs& in, bool haveWalk);
  void StartTrainer(const TargetInputs& in);
  void MoveTrainer(std::uint32_t now);
  void EnterTrainerSegment(std::size_t start, std::size_t end);
  TrainerStatus RankTrainer() const;
  DirectionPrompt ChoosePrompt(const TargetInputs& in) const;
  void PlayPrompts(const TargetInputs& in, DirectionPrompt previous);
  std::optional<std::uint32_t> LatestPrompt(std::uint32_t now) const;

  SettingsStore& settings_;
  Waypoints& waypoints_;
  PromptSink play_;
  TargetNames names_;
  SpeedAlert speedAlert_;

  TargetState state_ = TargetState::None;
  TrainerState trainerState_ = TrainerState::None;
  GeoPoint targetPoint_;
  GeoPoint trainerPoint_;
  POIs* collection_ = nullptr;
  PointSource source_;
  Walk walk_;
  std::size_t segment_ = 0;         // current segment: walk points segment_ .. EndOf(segment_)
  std::size_t trainerEnd_ = 0;      // the walk point the trainer moves to
  double targetAlong_ = 0;          // metres along the walk to the target point
  double userAlong_ = 0;
  double trainerAlong_ = 0;
  double trainerStartAlong_ = 0;    // where the trainer started
  double trainerElapsed_ = 0;       // ms
  double segmentDuration_ = 0;      // ms, recorded time of the trainer's segment
  double segmentLength_ = 0;        // m, at least 1
  DirectionPrompt prompt_ = DirectionPrompt::None;
  TrainerStatus trainerStatus_ = TrainerStatus::None;
  bool trainerDone_ = false;        // the win or loss was announced
  std::optional<std::uint32_t> lastDirectionPrompt_, lastTrainerPrompt_;
  std::uint32_t arrivalTick_ = 0, trainerFinishTick_ = 0, trainerLastTick_ = 0;
};

}  // namespace rovana
