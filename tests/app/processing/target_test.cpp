// The navigation target: scripted walks along a track (forwards and in
// reverse) with every fix taken through the live statistics and the position
// filter as the GPS connection does, the direction prompts with their
// hysteresis and repetition, the trainer's pace, the race's result, the trip
// summary, the time to go and restoring the target at start-up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/processing/Accurator.h"
#include "app/processing/Analyzer.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/processing/Target.h"
#include "app/waypoints/Waypoints.h"

namespace {

using namespace rovana;
namespace fs = std::filesystem;

constexpr double kDeg = kPi / 180;
constexpr std::uint32_t kTickMs = 200;  // one paint

// `north` and `east` metres from a fixed start.
GeoPoint Near(double north, double east) {
  GeoPoint p(0.9, 0.17);
  p.Offset(north, east);
  return p;
}

struct Sound {
  std::uint32_t tick;
  std::string file;
};

struct Fixture {
  fs::path path;
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<Waypoints> waypoints;
  std::vector<Sound> sounds;
  std::uint32_t now = 4294000000u;  // the tick wraps during every run
  std::unique_ptr<Target> target;

  Fixture() {
    char name[] = "/tmp/target_test_XXXXXX";
    path = mkdtemp(name);
    settings = std::make_unique<SettingsStore>(path);
    SettingsStore& s = *settings;
    s.primaryDataPath = s.secondaryDataPath = path.string();
    s.soundEnabled = s.targetEnabled = true;
    s.speedAlertEnabled = s.trainerEnabled = s.targetReverseTrack = false;
    s.trainerConstant = true;
    s.trainerConstantVal = 20;
    s.trainerRelativeVal = 1;
    s.reRankingDelay = 5;
    s.ETAFac = std::sqrt(2.0);
    s.userSymbol = "User";
    WaypointsConfig config;
    config.statisticsFactory = MakeAnalyzerStatistics;
    waypoints = std::make_unique<Waypoints>(s, config);
    target = NewTarget();
  }
  ~Fixture() {
    target.reset();
    waypoints.reset();
    fs::remove_all(path);
  }
  std::unique_ptr<Target> NewTarget() {
    return std::make_unique<Target>(*settings, *waypoints, [this](std::string_view file) {
      sounds.push_back({now, std::string(file)});
    });
  }
  // A track through `corners` (north, east), a point every `spacing` metres
  // recorded `seconds` apart; a route's points are named.
  POIs& Track(std::vector<std::pair<double, double>> corners, double spacing, int seconds,
              PoisKind kind = PoisKind::Track) {
    POIs& track = waypoints->AddCollection(waypoints->NewFile("walk.gpx"), kind);
    int time = 36000;
    for (std::size_t c = 0; c + 1 < corners.size(); ++c) {
      const auto [n0, e0] = corners[c];
      const auto [n1, e1] = corners[c + 1];
      const int steps = static_cast<int>(std::lround(std::hypot(n1 - n0, e1 - e0) / spacing));
      for (int i = c == 0 ? 0 : 1; i <= steps; ++i, time += seconds) {
        GeoPoint p = Near(n0 + (n1 - n0) * i / steps, e0 + (e1 - e0) * i / steps);
        p.setTime(time);
        if (kind == PoisKind::Route) p.setText(PointText::Name, "R" + std::to_string(track.count() + 1));
        track.AddPoint(p, -1, true);
      }
    }
    track.AddPoint(std::nullopt, -1, true);
    return track;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (const Sound& s : sounds) out.push_back(s.file);
    return out;
  }
  int Count(const std::string& file) const {
    int n = 0;
    for (const Sound& s : sounds) n += s.file == file;
    return n;
  }
};

// A receiver's fix on the road of the GPS connection: the live statistics
// take it raw, the filter smooths it, the target works with both.
struct Receiver {
  std::uint32_t tick = 0;
  Analyzer live{[this] { return static_cast<int>(tick / 1000 % 86400); }};
  Accurator filter{1, [this] { return tick; }};

  TargetInputs Fix(std::uint32_t now, const GeoPoint& at, double kmh, double courseDeg) {
    tick = now;
    GeoPoint p(at);
    p.setTime(static_cast<int>(now / 1000 % 86400));
    live.AddPosition(p.time(), p, kmh, courseDeg * kDeg, false, false);
    filter.AddFix(at.latitude() / kDeg, at.longitude() / kDeg, kmh, courseDeg * kDeg, 0);
    return {now, filter.GetPosition(false), live.Speed(), live.MovingHeading(), live.AverageSpeed(true)};
  }
};

// One paint at `at`, then the clock moves on.
DirectionPrompt Step(Fixture& f, Receiver& rx, const GeoPoint& at, double kmh, double courseDeg) {
  const DirectionPrompt prompt = f.target->Tick(rx.Fix(f.now, at, kmh, courseDeg));
  f.now += kTickMs;
  return prompt;
}

TEST(Target, ThePromptTableKeepsTheLastPromptFiveDegreesLonger) {
  using P = DirectionPrompt;
  struct Case {
    const char* name;
    P previous;
    double angle;
    P expected;
  } cases[] = {
      {"+30 after straight on stays straight on", P::Straight, 30, P::Straight},
      {"+45 after straight on stays straight on", P::Straight, 45, P::Straight},
      {"+46 after straight on is right", P::Straight, 46, P::Right},
      {"+41 after nothing is right", P::None, 41, P::Right},
      {"+36 after right stays right", P::Right, 36, P::Right},
      {"+35 after right is straight on", P::Right, 35, P::Straight},
      {"-36 after left stays left", P::Left, -36, P::Left},
      {"-34 after left is straight on", P::Left, -34, P::Straight},
      {"+137 after U-turn stays U-turn", P::UTurn, 137, P::UTurn},
      {"+137 after right is right", P::Right, 137, P::Right},
      {"-142 after left stays left", P::Left, -142, P::Left},
      {"180 is a U-turn", P::Straight, 180, P::UTurn},
      {"-141 after arrived is a U-turn", P::Arrived, -141, P::UTurn},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChooseDirectionPrompt(c.previous, c.angle), c.expected);
  }
}

TEST(Target, TurningTowardsAPositionSaysEachChangeOnce) {
  Fixture f;
  Receiver rx;
  f.target->SetPositionTarget(Near(1000, 0));
  struct Case {
    double course;  // degrees; the target lies at 0
    DirectionPrompt prompt;
    const char* said;  // "" nothing
  } steps[] = {
      {0, DirectionPrompt::Straight, "Straight.wav"}, {-30, DirectionPrompt::Straight, ""},
      {-50, DirectionPrompt::Right, "AhRightTurn.wav"}, {-36, DirectionPrompt::Right, ""},
      {-35, DirectionPrompt::Straight, "Straight.wav"}, {90, DirectionPrompt::Left, "AhLeftTurn.wav"},
      {180, DirectionPrompt::UTurn, "TryUTurn.wav"},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.course);
    f.sounds.clear();
    EXPECT_EQ(Step(f, rx, Near(0, 0), 10, s.course), s.prompt);
    EXPECT_EQ(f.Files(), std::string(s.said).empty() ? std::vector<std::string>{} : std::vector<std::string>{s.said});
  }
  EXPECT_EQ(f.target->state(), TargetState::Position) << "a fixed position is never arrived at";
}

TEST(Target, PromptsRepeatWhileMovingAndOnlyOnChangeWhileStanding) {
  struct Case {
    const char* name;
    double kmh, course;
    const char* file;
    int said;  // in 100 s
  } cases[] = {
      {"standing", 0, 0, "Straight.wav", 1},
      {"moving straight on: every 40 s", 5, 0, "Straight.wav", 3},
      {"moving away: a U-turn every 15 s", 5, 180, "TryUTurn.wav", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Receiver rx;
    f.target->SetPositionTarget(Near(1000, 0));
    for (int i = 0; i < 100000 / int(kTickMs); ++i) Step(f, rx, Near(0, 0), c.kmh, c.course);
    EXPECT_EQ(f.Count(c.file), c.said);
    EXPECT_EQ(f.sounds.size(), std::size_t(c.said));
  }
}

// The path of the L-shaped track: north 200 m, then east 200 m; `course`
// is the way the walker faces there.
GeoPoint OnL(double along, bool reverse, double* course) {
  const double d = reverse ? 400 - along : along;
  if (reverse)
    *course = d > 200 ? 270 : 180;
  else
    *course = d < 200 ? 0 : 90;
  return d < 200 ? Near(d, 0) : Near(200, d - 200);
}

TEST(Target, WalkingTheTrackJoinsTurnsAndArrivesInBothDirections) {
  struct Case {
    const char* name;
    bool reverse;
    double spacing;
    PoisKind kind;
  } cases[] = {
      {"a track", false, 20, PoisKind::Track},
      {"a track in reverse", true, 20, PoisKind::Track},
      {"a route of its corners: the last leg is not the end", false, 200, PoisKind::Route},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool reverse = c.reverse;
    Fixture f;
    Receiver rx;
    f.settings->targetReverseTrack = reverse;
    POIs& track = f.Track({{0, 0}, {200, 0}, {200, 200}}, c.spacing, 4, c.kind);
    ASSERT_EQ(track.count(), c.spacing == 200 ? 3u : 21u);
    double course = 0;
    const GeoPoint start = OnL(0, reverse, &course);
    f.target->SetCollectionTarget(*(reverse ? track.LastPoint() : track.FirstPoint()), track);
    EXPECT_TRUE(track.file().pinned());
    EXPECT_EQ(f.settings->targetTrackName, track.FullName());

    // 60 m beside the start, facing it: not joined, aiming at the start.
    GeoPoint beside(start);
    beside.Offset(0, reverse ? 60 : -60);
    Step(f, rx, beside, 5, reverse ? 270 : 90);
    EXPECT_EQ(f.target->state(), TargetState::NotJoined);
    EXPECT_LT(f.target->TargetPoint()->Distance(start), 0.5);

    // Along the track at 18 km/h, a metre per paint.
    for (double along = 0; along <= 400 && f.target->state() != TargetState::Arrived; along += 1) {
      const GeoPoint at = OnL(along, reverse, &course);
      Step(f, rx, at, 18, course);
      if (along == 100) {
        EXPECT_EQ(f.target->state(), TargetState::Following);
        EXPECT_NEAR(f.target->userAlong(), 100, 0.5);
        EXPECT_NEAR(f.target->DistanceToGo(at), 300, 0.5);
        EXPECT_NEAR(f.target->TimeToGo(at, 18), 300 / 5.0, 0.2) << "metres over metres per second";
        EXPECT_NEAR(f.target->TargetPoint()->Distance(at), 40, 0.5) << "the aim lies ahead";
      }
    }
    EXPECT_EQ(f.target->state(), TargetState::Arrived);
    EXPECT_NEAR(f.target->userAlong(), 400, 0.5) << "the whole track";
    const std::vector<std::string> turn{"Straight.wav", reverse ? "AhLeftTurn.wav" : "AhRightTurn.wav",
                                        "Straight.wav", "Arrive.wav"};
    EXPECT_EQ(f.Files(), turn);
    const double fromEnd = rx.filter.GetPosition(false).Distance(OnL(400, reverse, &course));
    EXPECT_LT(fromEnd, 20) << "arrived within 20 m of the end, not before";
    EXPECT_GT(fromEnd, 18.5);
  }
}

TEST(Target, LeavingTheTrackByMoreThan20mUnjoinsAndComingBackJoins) {
  Fixture f;
  Receiver rx;
  f.settings->soundEnabled = false;
  POIs& track = f.Track({{0, 0}, {300, 0}}, 20, 4);
  f.target->SetCollectionTarget(*track.FirstPoint(), track);
  struct Case {
    double north, east;
    TargetState state;
  } steps[] = {{50, 0, TargetState::Following}, {60, 19, TargetState::Following},
               {70, 25, TargetState::NotJoined}, {80, 5, TargetState::Following}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.north);
    Step(f, rx, Near(s.north, s.east), 5, 0);
    EXPECT_EQ(f.target->state(), s.state);
    EXPECT_NEAR(f.target->userAlong(), s.north, 0.5);
  }
  EXPECT_TRUE(f.sounds.empty());
}

TEST(Target, ARoundTripIsJoinedAtItsStartAndArrivedAtOnlyAfterTheLoop) {
  Fixture f;
  Receiver rx;
  f.settings->soundEnabled = false;
  // A 200 x 200 m square back to its start, joined from just behind the
  // start, where the last leg lies nearer than the first.
  POIs& track = f.Track({{0, 0}, {200, 0}, {200, 200}, {0, 200}, {0, 0}}, 20, 4);
  f.target->SetCollectionTarget(*track.FirstPoint(), track);
  Step(f, rx, Near(-1, 1), 5, 0);
  EXPECT_EQ(f.target->state(), TargetState::Following);
  EXPECT_LT(f.target->userAlong(), 5);
  // Back at the start after a while (a log replayed again): joined at the
  // start again, not arrived on the last leg.
  for (double north : {20.0, 40.0, 60.0}) Step(f, rx, Near(north, 0), 5, 0);
  for (int i = 0; i < 3; ++i) Step(f, rx, Near(-1, 1), 5, 0);
  EXPECT_EQ(f.target->state(), TargetState::Following);
  EXPECT_LT(f.target->userAlong(), 5);
  // Round the square 10 m a step; arrival comes only on the last leg.
  const double corners[5][2] = {{0, 0}, {200, 0}, {200, 200}, {0, 200}, {0, 0}};
  const double courses[4] = {0, 90, 180, 270};
  for (int leg = 0; leg < 4; ++leg) {
    for (int i = 1; i <= 20 && f.target->state() != TargetState::Arrived; ++i) {
      const double north = corners[leg][0] + (corners[leg + 1][0] - corners[leg][0]) * i / 20;
      const double east = corners[leg][1] + (corners[leg + 1][1] - corners[leg][1]) * i / 20;
      Step(f, rx, Near(north, east), 5, courses[leg]);
      if (leg < 3) ASSERT_EQ(f.target->state(), TargetState::Following) << north << "," << east;
    }
  }
  EXPECT_EQ(f.target->state(), TargetState::Arrived);
}

TEST(Target, ATrackTurnedRoundOrDeletedUnderTheTargetIsTakenIntoAccount) {
  Fixture f;
  Receiver rx;
  f.settings->soundEnabled = false;
  f.settings->trainerEnabled = true;
  POIs& track = f.Track({{0, 0}, {300, 0}}, 20, 4);
  f.target->SetCollectionTarget(*track.FirstPoint(), track);
  Step(f, rx, Near(100, 0), 5, 0);
  ASSERT_EQ(f.target->trainerState(), TrainerState::Running);
  // Turned round: followed from its other end again, the trainer ready.
  f.settings->targetReverseTrack = true;
  Step(f, rx, Near(100, 0), 5, 180);
  EXPECT_EQ(f.target->state(), TargetState::Following);
  EXPECT_NEAR(f.target->userAlong(), 200, 0.5);
  EXPECT_EQ(f.target->trainerState(), TrainerState::Running) << "started again from the user";
  EXPECT_NEAR(f.target->trainerAlong(), 200, 0.5);
  // Deleted (which the pin refuses; here it was taken off first).
  track.file().SetPinned(false);
  ASSERT_TRUE(f.waypoints->DeleteCollection(track, false));
  Step(f, rx, Near(100, 0), 5, 180);
  EXPECT_EQ(f.target->state(), TargetState::None);
  EXPECT_FALSE(f.settings->targetSet);
}

TEST(Target, TheTrainerKeepsItsPace) {
  struct Case {
    const char* name;
    bool constant;
    double value;
    double msFor100m;
  } cases[] = {
      {"20 km/h covers 100 m in 18 s", true, 20, 18000},
      // Regression: the first segment's recorded time must be known when the trainer starts.
      {"twice the recorded pace covers a 60 s segment in 30 s", false, 2, 30000},
      {"the recorded pace", false, 1, 60000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Receiver rx;
    f.settings->soundEnabled = false;
    f.settings->trainerEnabled = true;
    f.settings->trainerConstant = c.constant;
    (c.constant ? f.settings->trainerConstantVal : f.settings->trainerRelativeVal) = c.value;
    POIs& track = f.Track({{0, 0}, {400, 0}}, 100, 60);
    f.target->SetCollectionTarget(*track.FirstPoint(), track);
    EXPECT_EQ(f.target->trainerStatus(), TrainerStatus::Ready);
    Step(f, rx, Near(0, 0), 0, 0);  // the user stands at the start: the trainer runs from there
    ASSERT_EQ(f.target->trainerState(), TrainerState::Running);
    EXPECT_NEAR(f.target->TrainerPoint()->Distance(Near(0, 0)), 0, 0.01);
    const std::uint32_t started = f.now - kTickMs;
    for (double part : {0.5, 1.0, 1.5}) {
      while (double(std::uint32_t(f.now - started)) <= c.msFor100m * part) Step(f, rx, Near(0, 0), 0, 0);
      EXPECT_NEAR(f.target->trainerAlong(), 100 * part, 0.02) << part;
      EXPECT_NEAR(f.target->TrainerPoint()->Distance(Near(0, 0)), 100 * part, 0.05) << part;
    }
  }
}

TEST(Target, TheRaceIsWonOrLostOnceAtTheEnd) {
  struct Case {
    const char* name;
    double arrivalSeconds;  // the trainer needs 56 s to come within 20 m of the end
    TrainerStatus result;
    const char* said;
  } cases[] = {
      {"a second before the trainer", 55, TrainerStatus::Won, "Win.wav"},
      {"a second after the trainer", 57, TrainerStatus::Lost, "Loose.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Receiver rx;
    f.settings->trainerEnabled = true;
    f.settings->trainerConstantVal = 18;  // 5 m/s
    POIs& track = f.Track({{0, 0}, {300, 0}}, 20, 4);
    f.target->SetCollectionTarget(*track.FirstPoint(), track);
    const double metresPerTick = 280 / c.arrivalSeconds * kTickMs / 1000;
    const double kmh = 3.6 * 280 / c.arrivalSeconds;
    for (double along = 0; along < 300; along += metresPerTick) Step(f, rx, Near(along, 0), kmh, 0);
    for (int i = 0; i < 100; ++i) Step(f, rx, Near(300, 0), 0, 0);  // 20 s at the end
    EXPECT_EQ(f.target->trainerStatus(), c.result);
    EXPECT_EQ(f.Count("Win.wav") + f.Count("Loose.wav"), 1);
    EXPECT_EQ(f.Count(c.said), 1);
    // Trainer prompts keep their distance from each other and from direction prompts.
    std::optional<std::uint32_t> direction, trainer;
    bool result = false;
    for (const Sound& s : f.sounds) {
      const bool isTrainer = s.file == "HangOn.wav" || s.file == "Faster.wav" || s.file == "SlowDown.wav" ||
                             s.file == "Win.wav" || s.file == "Loose.wav";
      if (!isTrainer) {
        direction = s.tick;
        continue;
      }
      EXPECT_FALSE(result) << s.file << ": nothing more about the race after its result";
      result = s.file == c.said;
      if (direction) {
        EXPECT_GT(std::uint32_t(s.tick - *direction), 1000u) << s.file;
      }
      if (trainer) {
        EXPECT_GE(std::uint32_t(s.tick - *trainer), 5000u) << s.file;
      }
      trainer = s.tick;
    }
    EXPECT_GE(f.Count("HangOn.wav"), 5) << "level all the way, said every 5 s";
  }
}

TEST(Target, TheTimeGapIsTheGapAtTheSpeedOfTheOneBehind) {
  struct Case {
    const char* name;
    double trainerKmh, userKmh, averageKmh;
    TrainerStatus status;
  } cases[] = {
      {"behind: at the user's average speed", 18, 3.6, 3.6, TrainerStatus::Behind},
      {"ahead: at the trainer's mean speed", 3.6, 18, 18, TrainerStatus::Ahead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    Receiver rx;
    f.settings->soundEnabled = false;
    f.settings->trainerEnabled = true;
    f.settings->trainerConstantVal = c.trainerKmh;
    POIs& track = f.Track({{0, 0}, {1000, 0}}, 20, 4);
    f.target->SetCollectionTarget(*track.FirstPoint(), track);
    TargetSummary before = f.target->Summary(f.now, c.averageKmh);
    EXPECT_EQ(before.gap, 0);
    EXPECT_EQ(before.timeGap, -1) << "the trainer has not run yet";
    double along = 0;
    for (int i = 0; i <= 100; ++i, along += c.userKmh / 3.6 * kTickMs / 1000) Step(f, rx, Near(along, 0), c.userKmh, 0);
    const TargetSummary s = f.target->Summary(f.now, c.averageKmh);
    EXPECT_EQ(s.trainerStatus, c.status);
    EXPECT_TRUE(s.following);
    EXPECT_FALSE(s.notJoined);
    EXPECT_NEAR(s.gap, std::fabs(s.userAlong - s.trainerAlong), 1e-9);
    EXPECT_NEAR(s.gap, std::fabs(c.trainerKmh - c.userKmh) / 3.6 * 20, 1.5);
    const double metresPerSecond = (c.status == TrainerStatus::Behind ? c.averageKmh : c.trainerKmh) / 3.6;
    EXPECT_NEAR(s.timeGap, s.gap / metresPerSecond, 0.3);
  }
}

TEST(Target, TimeToGoToAPositionIsTheStraightDistanceTimesTheFactor) {
  Fixture f;
  EXPECT_EQ(f.target->TimeToGo(Near(0, 0), 36), -1) << "no target";
  f.target->SetPositionTarget(Near(1000, 0));
  EXPECT_NEAR(f.target->DistanceToGo(Near(0, 0)), 1000, 0.01);
  EXPECT_NEAR(f.target->TimeToGo(Near(0, 0), 36), 1000 * std::sqrt(2.0) / 10, 0.01);
  EXPECT_EQ(f.target->TimeToGo(Near(0, 0), 0), -1);
}

TEST(Target, StartUpRestoresWhatTheSettingsSayAndClearForgetsIt) {
  struct Case {
    const char* name;
    bool set, track, trackGone;
    TargetState state;
  } cases[] = {
      {"nothing set", false, false, false, TargetState::None},
      {"a position", true, false, false, TargetState::Position},
      {"a track", true, true, false, TargetState::NotJoined},
      {"a track no longer loaded: its stored position", true, true, true, TargetState::Position},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    POIs& track = f.Track({{0, 0}, {100, 0}}, 20, 4);
    if (c.track)
      f.target->SetCollectionTarget(*track.FirstPoint(), track);
    else if (c.set)
      f.target->SetPositionTarget(Near(500, 0));
    if (c.trackGone) f.settings->targetTrackName = "elsewhere.gpx/Track";
    track.file().SetPinned(false);
    f.target = f.NewTarget();
    f.target->Restore();
    EXPECT_EQ(f.target->state(), c.state);
    EXPECT_EQ(f.target->collection(), c.track && !c.trackGone ? &track : nullptr);
    EXPECT_EQ(track.file().pinned(), c.track && !c.trackGone);
    EXPECT_EQ(f.settings->targetSet, c.set);
    if (c.set) {
      EXPECT_LT(f.target->TargetPoint()->Distance(c.track ? Near(0, 0) : Near(500, 0)), 0.01);
    }
    f.target->Clear();
    EXPECT_FALSE(f.target->TargetPoint());
    EXPECT_FALSE(track.file().pinned());
    EXPECT_FALSE(f.settings->targetSet);
    EXPECT_EQ(f.settings->targetTrackName, "");
  }
}

TEST(Target, AMovingPoiIsFollowedAndArrivedAt) {
  Fixture f;
  Receiver rx;
  f.settings->soundEnabled = false;
  POIs& pois = *f.waypoints->FirstOf(f.waypoints->NewFile("pois.gpx"));
  const GeoPoint* stored = pois.AddPoint(Near(500, 0), -1, true);
  ASSERT_NE(stored, nullptr);
  f.target->SetPositionTarget(*stored, StoredPointSource(*f.waypoints, pois, stored));
  Step(f, rx, Near(0, 0), 5, 0);
  EXPECT_EQ(f.target->state(), TargetState::Position);
  pois.ReplacePoint(stored, Near(10, 0));  // the point was moved next to the user
  Step(f, rx, Near(0, 0), 5, 0);
  EXPECT_EQ(f.target->state(), TargetState::Arrived);
  EXPECT_NEAR(GeoPoint(f.settings->target.latitude, f.settings->target.longitude).Distance(Near(10, 0)), 0, 0.01);
  EXPECT_EQ(f.target->prompt(), DirectionPrompt::Arrived);

  GeoPoint me = Near(10, 0);  // the user's own symbol: a fixed position
  me.setText(PointText::Sym, "User");
  const GeoPoint* mine = pois.AddPoint(me, -1, true);
  f.target->SetPositionTarget(*mine, StoredPointSource(*f.waypoints, pois, mine));
  Step(f, rx, Near(0, 0), 5, 0);
  EXPECT_EQ(f.target->state(), TargetState::Position);
}

TEST(Target, TheSpeedAlertWaitsASecondAfterAGuidancePrompt) {
  Fixture f;
  Receiver rx;
  f.settings->speedAlertEnabled = true;
  f.settings->speedMaxMin = true;
  f.settings->speedSelected = 50;
  f.settings->reSpeedAlertDelay = 5;
  f.target->SetPositionTarget(Near(1000, 0));
  for (int i = 0; i < 10; ++i) Step(f, rx, Near(0, 0), 60, 0);
  ASSERT_EQ(f.Files(), (std::vector<std::string>{"Straight.wav", "SpeedAlert.wav"}));
  EXPECT_EQ(f.sounds[1].tick - f.sounds[0].tick, 1200u);
}

}  // namespace
