// The Target's life: setting, clearing and restoring it, the tick's order,
// the trainer's ranking, the direction prompt, the voice prompts and what
// the trip displays show.
#include "app/processing/Target.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <utility>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/waypoints/POIs.h"
#include "app/waypoints/Waypoints.h"

namespace rovana {
namespace {

constexpr std::uint32_t kPromptGapMs = 1000;  // a trainer prompt waits this long after a direction prompt
constexpr double kLevelBand = 20;             // metres either way counted as level with the trainer

// Bounds (degrees) of the relative angle: up to the first a U-turn to the
// left, then left, straight on, right; beyond the fourth a U-turn to the
// right. One row per previous prompt; each widens the previous prompt's
// range by 5 degrees on both sides.
struct PromptRow {
  std::array<double, 4> bounds;
};
constexpr std::array<PromptRow, 6> kPromptRows = {{
    {{-140, -40, 40, 140}},  // none
    {{-135, -40, 40, 135}},  // U-turn
    {{-145, -35, 40, 140}},  // left
    {{-140, -45, 45, 140}},  // straight on
    {{-140, -40, 35, 145}},  // right
    {{-140, -40, 40, 140}},  // arrived
}};
constexpr std::array<DirectionPrompt, 5> kPromptOfColumn = {DirectionPrompt::UTurn, DirectionPrompt::Left,
                                                            DirectionPrompt::Straight, DirectionPrompt::Right,
                                                            DirectionPrompt::UTurn};

struct DirectionSound {
  const char* file;      // null: silent
  int repeatSeconds;     // while moving, said again after this long; 0 never
};
constexpr std::array<DirectionSound, 6> kDirectionSounds = {{
    {nullptr, 0},
    {"TryUTurn.wav", 15},
    {"AhLeftTurn.wav", 20},
    {"Straight.wav", 40},
    {"AhRightTurn.wav", 20},
    {"Arrive.wav", 20},
}};

constexpr std::array<const char*, 7> kTrainerSounds = {
    nullptr,          // none
    nullptr,          // ready
    "HangOn.wav",     // level
    "Faster.wav",     // behind
    "SlowDown.wav",   // ahead
    "Win.wav",        // won
    "Loose.wav",      // lost
};

std::uint32_t Since(std::uint32_t now, std::uint32_t then) { return static_cast<std::uint32_t>(now - then); }

// Seconds from `from` to `to`, either sign, from 32-bit ticks.
double SecondsBetween(std::uint32_t from, std::uint32_t to) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(to - from)) / 1000.0;
}

std::uint64_t DelayMs(std::int32_t seconds) { return seconds > 0 ? std::uint64_t(seconds) * 1000u : 0; }

}  // namespace

DirectionPrompt ChooseDirectionPrompt(DirectionPrompt previous, double relativeDegrees) {
  const auto row = static_cast<std::size_t>(previous);
  const PromptRow& bounds = kPromptRows[row < kPromptRows.size() ? row : 0];
  for (std::size_t column = 0; column < bounds.bounds.size(); ++column)
    if (relativeDegrees <= bounds.bounds[column]) return kPromptOfColumn[column];
  return kPromptOfColumn.back();
}

std::function<std::optional<GeoPoint>()> StoredPointSource(const Waypoints& waypoints, const POIs& collection,
                                                            const GeoPoint* stored) {
  auto lastIndex = std::make_shared<std::size_t>(0);
  return [&waypoints, &collection, stored, lastIndex]() -> std::optional<GeoPoint> {
    const std::vector<POIs*> all = waypoints.Collections();
    if (std::find(all.begin(), all.end(), &collection) == all.end()) return std::nullopt;
    // Where it was last, else anywhere: a point moved up or down the list keeps its address.
    if (collection.PointAt(*lastIndex) != stored) {
      std::size_t i = 0;
      const GeoPoint* p = collection.PointAt(0);
      while (p && p != stored) p = collection.PointAt(++i);
      if (!p) return std::nullopt;
      *lastIndex = i;
    }
    return *stored;
  };
}

Target::Target(SettingsStore& settings, Waypoints& waypoints, PromptSink play, TargetNames names)
    : settings_(settings),
      waypoints_(waypoints),
      play_(std::move(play)),
      names_(std::move(names)),
      speedAlert_([this] { Play("SpeedAlert.wav"); }) {}

Target::~Target() = default;

void Target::Play(std::string_view file) {
  if (play_) play_(file);
}

GeoPoint Target::Named(const GeoPoint& position, bool trainer) const {
  GeoPoint point(position.latitude(), position.longitude(), position.altitude());
  point.setText(PointText::Name, trainer ? names_.trainer : names_.target);
  point.setText(PointText::Sym, trainer ? settings_.trainerSymbol : settings_.targetSymbol);
  return point;
}

void Target::StoreTarget(const GeoPoint& point, const std::string& trackName) {
  settings_.target = {point.latitude(), point.longitude(), point.altitude()};
  settings_.targetTrackName = trackName;
  settings_.targetSet = true;
}

void Target::Clear() {
  if (collection_) {
    const std::vector<POIs*> all = waypoints_.Collections();
    if (std::find(all.begin(), all.end(), collection_) != all.end()) collection_->file().SetPinned(false);
  }
  state_ = TargetState::None;
  trainerState_ = TrainerState::None;
  trainerStatus_ = TrainerStatus::None;
  collection_ = nullptr;
  source_ = {};
  walk_ = {};
  segment_ = trainerEnd_ = 0;
  targetAlong_ = userAlong_ = trainerAlong_ = trainerStartAlong_ = trainerElapsed_ = 0;
  trainerDone_ = false;
  targetPoint_ = GeoPoint();
  trainerPoint_ = GeoPoint();
  settings_.target = {};
  settings_.targetTrackName.clear();
  settings_.targetSet = false;
}

void Target::SetPositionTarget(const GeoPoint& point, PointSource source) {
  Clear();
  targetPoint_ = Named(point, false);
  // The user's own symbol marks a point that stands for the user (a buddy's
  // marker of oneself, the user position copied as a POI): never chased.
  if (source && point.sym() != settings_.userSymbol) source_ = std::move(source);
  state_ = TargetState::Position;
  StoreTarget(point, "");
}

void Target::SetCollectionTarget(const GeoPoint& first, POIs& collection) {
  Clear();
  targetPoint_ = Named(first, false);
  collection_ = &collection;
  if (!waypoints_.EnsureLoaded(collection.file()))
    LogMessage("Target: %s could not be read again", collection.file().name().c_str());
  collection.file().SetPinned(true);
  walk_.reverse = settings_.targetReverseTrack;
  state_ = TargetState::NotJoined;
  trainerState_ = TrainerState::Ready;
  trainerStatus_ = TrainerStatus::Ready;
  StoreTarget(first, collection.FullName());
}

void Target::Restore() {
  if (!settings_.targetSet) return;
  const LatLonAlt stored = settings_.target;
  const std::string name = settings_.targetTrackName;
  if (!name.empty()) {
    if (POIs* collection = waypoints_.FindByFullName(name)) {
      waypoints_.EnsureLoaded(collection->file());
      if (const auto first = settings_.targetReverseTrack ? collection->LastPoint() : collection->FirstPoint()) {
        SetCollectionTarget(*first, *collection);
        return;
      }
    }
    LogMessage("Target: %s is not loaded; the target is its stored position", name.c_str());
  }
  SetPositionTarget(GeoPoint(stored.latitude, stored.longitude, stored.altitude));
}

void Target::RearmTrainer() {
  if (!collection_) return;
  trainerState_ = TrainerState::Ready;
  trainerStatus_ = TrainerStatus::Ready;
  trainerAlong_ = trainerStartAlong_ = trainerElapsed_ = 0;
  trainerDone_ = false;
}

DirectionPrompt Target::Tick(const TargetInputs& in) {
  const bool haveWalk = collection_ && RefreshWalk();
  // 1. The trainer moves on from where it was at the last tick.
  if (haveWalk && settings_.trainerEnabled &&
      (trainerState_ == TrainerState::Running || trainerState_ == TrainerState::Finished))
    MoveTrainer(in.now);
  // 2. The user along the target; the trainer starts once the user is on it.
  const TargetState before = state_;
  Follow(in, haveWalk);
  if (state_ != before)
    LogMessage("Target: state %d -> %d, %.0f m along", static_cast<int>(before), static_cast<int>(state_), userAlong_);
  if (collection_ && haveWalk && (state_ == TargetState::Following || state_ == TargetState::Arrived) &&
      trainerState_ == TrainerState::Ready && settings_.trainerEnabled)
    StartTrainer(in);
  // 3. The ranking, 4. the direction, 5. what is said.
  trainerStatus_ = RankTrainer();
  const DirectionPrompt previous = prompt_;
  prompt_ = ChoosePrompt(in);
  PlayPrompts(in, previous);
  return prompt_;
}

TrainerStatus Target::RankTrainer() const {
  if (!collection_ || trainerState_ == TrainerState::None) return TrainerStatus::None;
  if (trainerState_ == TrainerState::Ready) return TrainerStatus::Ready;
  const bool arrived = state_ == TargetState::Arrived;
  const bool finished = trainerState_ == TrainerState::Finished;
  if (arrived || finished) {
    const bool first = !finished || SecondsBetween(trainerFinishTick_, arrivalTick_) <= 0;
    return arrived && first ? TrainerStatus::Won : TrainerStatus::Lost;
  }
  if (userAlong_ + kLevelBand < trainerAlong_) return TrainerStatus::Behind;
  if (trainerAlong_ + kLevelBand < userAlong_) return TrainerStatus::Ahead;
  return TrainerStatus::Level;
}

DirectionPrompt Target::ChoosePrompt(const TargetInputs& in) const {
  if (state_ == TargetState::None) return DirectionPrompt::None;
  if (state_ == TargetState::Arrived) return DirectionPrompt::Arrived;
  double relative = std::remainder((in.user.Course(targetPoint_) - in.course) * 180.0 / kPi, 360.0);
  if (relative <= -180) relative = 180;  // into (-180, 180]
  return ChooseDirectionPrompt(prompt_, relative);
}

std::optional<std::uint32_t> Target::LatestPrompt(std::uint32_t now) const {
  if (!lastDirectionPrompt_) return lastTrainerPrompt_;
  if (!lastTrainerPrompt_) return lastDirectionPrompt_;
  return Since(now, *lastDirectionPrompt_) <= Since(now, *lastTrainerPrompt_) ? lastDirectionPrompt_
                                                                              : lastTrainerPrompt_;
}

void Target::PlayPrompts(const TargetInputs& in, DirectionPrompt previous) {
  const std::uint32_t now = in.now;
  if (settings_.soundEnabled && settings_.targetEnabled) {
    const DirectionSound& sound = kDirectionSounds[static_cast<std::size_t>(prompt_)];
    // Standing still, only a change is said; moving, the prompt is said again now and then.
    const bool due = in.speed > 0 && sound.repeatSeconds > 0 &&
                     (!lastDirectionPrompt_ || Since(now, *lastDirectionPrompt_) >= DelayMs(sound.repeatSeconds));
    if ((prompt_ != previous || due) && sound.file) {
      Play(sound.file);
      lastDirectionPrompt_ = now;
    }
  }
  if (settings_.soundEnabled && settings_.trainerEnabled && !trainerDone_ &&
      (!lastDirectionPrompt_ || Since(now, *lastDirectionPrompt_) > kPromptGapMs) &&
      (!lastTrainerPrompt_ || Since(now, *lastTrainerPrompt_) >= DelayMs(settings_.reRankingDelay))) {
    if (const char* file = kTrainerSounds[static_cast<std::size_t>(trainerStatus_)]) {
      Play(file);
      lastTrainerPrompt_ = now;
      // After the result nothing more is said about the race.
      trainerDone_ = trainerStatus_ == TrainerStatus::Won || trainerStatus_ == TrainerStatus::Lost;
    }
  }
  speedAlert_.Update(SpeedAlertSettingsOf(settings_), in.speed, now, LatestPrompt(now));
}

std::optional<GeoPoint> Target::TargetPoint() const {
  if (state_ == TargetState::None) return std::nullopt;
  return targetPoint_;
}

std::optional<GeoPoint> Target::TrainerPoint() const {
  if (trainerState_ != TrainerState::Running && trainerState_ != TrainerState::Finished) return std::nullopt;
  return trainerPoint_;
}

double Target::DistanceToGo(const GeoPoint& user) const {
  if (state_ == TargetState::None) return -1;
  double metres = user.Distance(targetPoint_);
  // The rest of the way is counted along the same walk as the target point.
  if (collection_) metres += std::max(0.0, walk_.total() - targetAlong_);
  return metres;
}

double Target::TimeToGo(const GeoPoint& user, double averageSpeed) const {
  const double metresPerSecond = averageSpeed / 3.6;
  if (state_ == TargetState::None || !(metresPerSecond > 0)) return -1;
  const double metres = DistanceToGo(user) * (collection_ ? 1.0 : settings_.ETAFac);
  return metres / metresPerSecond;
}

TargetSummary Target::Summary(std::uint32_t now, double averageSpeed) const {
  TargetSummary out;
  out.trainerStatus = trainerStatus_;
  out.following = collection_ != nullptr;
  out.notJoined = state_ == TargetState::NotJoined;
  out.userAlong = userAlong_;
  out.trainerAlong = trainerAlong_;
  const bool arrived = state_ == TargetState::Arrived;
  const bool finished = trainerState_ == TrainerState::Finished;
  const bool raced = trainerState_ == TrainerState::Running || finished;
  out.gap = raced && !(arrived && finished) ? std::fabs(userAlong_ - trainerAlong_) : 0;

  // Metres per second on both sides: the user's own pace when behind, the
  // trainer's when level or ahead.
  const double trainerSpeed =
      trainerElapsed_ > 0 ? (trainerAlong_ - trainerStartAlong_) / (trainerElapsed_ / 1000.0) : 0;
  const double speed = trainerStatus_ == TrainerStatus::Behind ? averageSpeed / 3.6 : trainerSpeed;
  if (raced && arrived && finished)
    out.timeGap = 0;
  else if (speed > 0)
    out.timeGap = out.gap / speed;
  else
    return out;
  out.timeGap += SecondsBetween(finished ? trainerFinishTick_ : now, arrived ? arrivalTick_ : now);
  return out;
}

}  // namespace rovana
