// The track point filter: which offered positions become track points, the
// time-stamp fix-up, the track's analyzer and the symbols of stored points.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/core/SettingsStore.h"
#include "app/processing/TrackPointFilter.h"

namespace {

using namespace rovana;

// On the equator the latitude/longitude plane of the deviation rule is
// metric in both directions, so metres can be read off directly.
GeoPoint At(double north, double east, int time) {
  GeoPoint p(north / kEarthRadius, 0.2 + east / kEarthRadius);
  p.setTime(time);
  return p;
}

struct Offer {
  double north, east;
  int time;
  double speed;  // the receiver's, negative: unknown
};

// The rules each offer fired, in order.
std::vector<TrackRule> Feed(const TrackFilterSettings& settings, const std::vector<Offer>& offers,
                           TrackPointFilter& filter) {
  std::vector<TrackRule> rules;
  for (const Offer& o : offers) {
    GeoPoint p = At(o.north, o.east, o.time);
    rules.push_back(filter.Offer(p, o.speed, settings));
  }
  return rules;
}

std::vector<TrackRule> Feed(const TrackFilterSettings& settings, const std::vector<Offer>& offers) {
  TrackPointFilter filter;
  return Feed(settings, offers, filter);
}

constexpr TrackRule N = TrackRule::None;

TrackFilterSettings Checks(bool time, bool distance, bool deviation) {
  TrackFilterSettings s;
  s.maxTimeCheck = time;
  s.maxDistCheck = distance;
  s.maxDevCheck = deviation;
  return s;
}

TEST(TrackPointFilter, EveryPositionWithAllChecksOff) {
  const auto rules = Feed(Checks(false, false, false), {{0, 0, 1, 5}, {0, 0, 1, 5}, {1, 0, 2, 5}, {2, 0, 3, 5}});
  EXPECT_EQ(rules, (std::vector<TrackRule>{TrackRule::First, TrackRule::Every, TrackRule::Every, TrackRule::Every}));
}

TEST(TrackPointFilter, DistanceCheckStoresEveryThirdPointTenMetresApart) {
  std::vector<Offer> offers;
  // Speed unknown, so that the start of the movement is no reason of its own.
  for (int i = 0; i <= 7; ++i) offers.push_back({10.0 * i, 0, 100 + i, -1});
  const auto rules = Feed(Checks(false, true, false), offers);
  const TrackRule D = TrackRule::Distance;
  EXPECT_EQ(rules, (std::vector<TrackRule>{TrackRule::First, N, N, D, N, N, D, N}));
}

TEST(TrackPointFilter, DeviationCheckKeepsTheLineAndDropsSmallSidesteps) {
  struct Case {
    const char* name;
    double east;  // of the fourth point, beside the line north
    TrackRule rule;
  } cases[] = {
      {"on the line", 0, N},
      {"3 m beside", 3, N},
      {"-3 m beside", -3, N},
      {"5 m beside", 5, TrackRule::Deviation},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrackPointFilter filter;
    const auto rules = Feed(Checks(false, false, true), {{0, 0, 1, 5}, {10, 0, 2, 5}, {20, 0, 3, 5}, {30, c.east, 4, 5}},
                           filter);
    EXPECT_EQ(rules, (std::vector<TrackRule>{TrackRule::First, TrackRule::Deviation, N, c.rule}))
        << "the first point after the start is stored: the direction is zero";
  }
}

TEST(TrackPointFilter, SharpReversalStoresWithinTheLimits) {
  TrackFilterSettings settings = Checks(false, true, true);
  TrackPointFilter filter;
  const auto rules = Feed(settings, {{0, 0, 1, 5}, {10, 0, 2, 5}, {20, 0, 3, 5}, {15, 0, 4, 5}}, filter);
  EXPECT_EQ(rules, (std::vector<TrackRule>{TrackRule::First, TrackRule::Deviation, N, TrackRule::Deviation}));
  // The direction now points from the new point back to the candidate at 20 m.
  EXPECT_GT(filter.direction().latitude, 0.99);
}

TEST(TrackPointFilter, TimeCheckCountsAcrossMidnight) {
  TrackFilterSettings settings = Checks(true, false, false);
  const auto rules = Feed(settings, {{0, 0, 86395, -1}, {1, 0, 86399, -1}, {2, 0, 4, -1}, {3, 0, 5, -1}});
  EXPECT_EQ(rules, (std::vector<TrackRule>{TrackRule::First, N, N, TrackRule::Time}));
}

TEST(TrackPointFilter, StartsAndStopsOfTheReceiverAreStored) {
  // Straight north at 10 m/s, a stop of three fixes, then on again.
  const auto rules = Feed(Checks(false, false, true), {{0, 0, 1, 36},
                                                      {10, 0, 2, 36},
                                                      {20, 0, 3, 36},
                                                      {30, 0, 4, 0},
                                                      {30, 0, 5, 0},
                                                      {30, 0, 6, 0},
                                                      {40, 0, 7, 36},
                                                      {50, 0, 8, 36},
                                                      {60, 0, 9, -1}});
  const TrackRule S = TrackRule::StartStop;
  // The analyzer's speed comes from the positions and lags one fix: the
  // fix that arrives at 30 m still moved 10 m, so the second fix of the
  // stop is the one that sees the analyzer at 0 only afterwards.
  EXPECT_EQ(rules, (std::vector<TrackRule>{TrackRule::First, TrackRule::Deviation, N, S, S, N, S, N, N}));
}

TEST(TrackPointFilter, MovingOffFromTheFirstPointIsAStart) {
  const auto rules = Feed(Checks(false, true, false), {{0, 0, 1, 36}, {10, 0, 2, 36}, {20, 0, 3, 36}});
  EXPECT_EQ(rules, (std::vector<TrackRule>{TrackRule::First, TrackRule::StartStop, N}))
      << "the analyzer stands at 0 after one point";
}

TEST(TrackPointFilter, CandidatesWithoutTimeFollowThePreviousOne) {
  struct Case {
    const char* name;
    int time, previous;
    double speed;
    int want;
  } cases[] = {
      {"no time, speed unknown", 0, 500, -1, 501},
      {"same time, speed unknown", 500, 500, -1, 501},
      {"same time, receiver speed", 500, 500, 0, 500},
      {"no time, receiver speed", 0, 500, 3, 0},
      {"later time kept", 510, 500, -1, 510},
      {"last second of the day", 86399, 86399, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CandidateTime(c.time, c.previous, c.speed), c.want);
  }
  TrackPointFilter filter;
  GeoPoint first = At(0, 0, 700), second = At(10, 0, 0);
  filter.Offer(first, -1, Checks(false, false, false));
  filter.Offer(second, -1, Checks(false, false, false));
  EXPECT_EQ(second.time(), 701) << "the stored point carries the fixed stamp";
  EXPECT_NEAR(filter.analyzer().Speed(), 36, 1e-6) << "the analyzer saw 10 m in 1 s";
}

TEST(TrackPointFilter, AnalyzerTakesEveryCandidateStoredOrNot) {
  TrackPointFilter filter;
  std::vector<Offer> offers;
  for (int i = 0; i <= 5; ++i) offers.push_back({10.0 * i, 0, 100 + i, -1});
  Feed(Checks(false, true, false), offers, filter);
  EXPECT_NEAR(filter.analyzer().Distance(false), 50, 1e-6);
  EXPECT_EQ(filter.analyzer().GetTimes(false).total, 5);
  ASSERT_TRUE(filter.lastStored().has_value());
  EXPECT_EQ(filter.lastStored()->time(), 103);
  EXPECT_EQ(filter.lastCandidate()->time(), 105);
}

TEST(TrackPointFilter, FinishAddsTheLastCandidateWhenThinnedAway) {
  TrackPointFilter filter;
  Feed(Checks(false, true, false), {{0, 0, 1, -1}, {10, 0, 2, -1}}, filter);
  const std::optional<GeoPoint> last = filter.Finish();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->time(), 2);
  EXPECT_FALSE(filter.Finish().has_value()) << "now it is the last stored point";

  TrackPointFilter kept;
  Feed(Checks(false, false, false), {{0, 0, 1, 5}, {10, 0, 2, 5}}, kept);
  EXPECT_FALSE(kept.Finish().has_value());
  TrackPointFilter empty;
  EXPECT_FALSE(empty.Finish().has_value());
}

TEST(TrackPointFilter, ResetForgetsThePoints) {
  TrackPointFilter filter;
  Feed(Checks(false, false, true), {{0, 0, 1, 5}, {10, 0, 2, 5}}, filter);
  filter.Reset();
  EXPECT_FALSE(filter.lastStored().has_value());
  EXPECT_EQ(filter.direction(), GeoPoint::Vector{});
  EXPECT_EQ(filter.analyzer().Distance(false), 0);
  GeoPoint p = At(0, 0, 3);
  EXPECT_EQ(filter.Offer(p, 5, Checks(false, false, true)), TrackRule::First);
}

TEST(TrackPointFilter, StoredPointsGetTheirSymbols) {
  struct Case {
    const char* name;
    const char* sym;
    bool routeOrTrack, first;
    const char* want;
  } cases[] = {
      {"first track point", "", true, true, "Trailhead"},
      {"later track point", "", true, false, ""},
      {"point of interest", "", false, false, "Default"},
      {"first point of interest", "", false, true, "Default"},
      {"own symbol kept", "Flag", true, true, "Flag"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GeoPoint p;
    p.setText(PointText::Sym, c.sym);
    NameStoredPoint(p, c.routeOrTrack, c.first);
    EXPECT_EQ(p.sym(), c.want);
  }
  GeoPoint last;
  last.setText(PointText::Sym, "Flag");
  MarkFinish(last);
  EXPECT_EQ(last.sym(), "Finish");
}

TEST(TrackPointFilter, SettingsComeFromTheStore) {
  const auto folder = std::filesystem::temp_directory_path() / ("track_filter_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  {
    SettingsStore settings(folder);
    const TrackFilterSettings defaults = TrackFilterSettingsOf(settings);
    EXPECT_FALSE(defaults.maxTimeCheck);
    EXPECT_EQ(defaults.maxTimeVal, 10);
    EXPECT_FALSE(defaults.maxDistCheck);
    EXPECT_EQ(defaults.maxDistVal, 25);
    EXPECT_TRUE(defaults.maxDevCheck);
    EXPECT_EQ(defaults.maxDevVal, 8);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
