// Analyzer: speeds, times, distance, climb and grade, acceleration, pace,
// the live figures, and the trip totals kept in the settings.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <unistd.h>

#include "app/core/SettingsStore.h"
#include "app/processing/Analyzer.h"
#include "app/waypoints/GeoPoint.h"

namespace {

using rovana::Analyzer;
using rovana::GeoPoint;
using rovana::kEarthRadius;

constexpr double kPi = 3.14159265358979323846;
constexpr double kLargest = std::numeric_limits<double>::max();
constexpr double kTolerance = 1e-6;
// Courses over 100 m come from an acos next to 1: good to some 1e-6 rad.
constexpr double kHeadingTolerance = 1e-5;
// The settings file keeps reals with six decimals.
constexpr double kFileTolerance = 1e-6;

// A point `north` metres north of (0.5 rad, 0.2 rad) at `altitude`.
GeoPoint North(double north, double altitude = 0) {
  return GeoPoint(0.5 + north / kEarthRadius, 0.2, altitude);
}

// A clock the test sets by hand.
struct HandClock {
  int now = 1000;
  Analyzer::Clock clock() {
    return [this] { return now; };
  }
};

TEST(Analyzer, ComputedSpeedFromTenSecondsAndHundredMetres) {
  Analyzer a;
  a.AddPositionComputed(100, North(0));
  a.AddPositionComputed(110, North(100));
  EXPECT_NEAR(a.Speed(), 36, kTolerance);
  EXPECT_NEAR(a.Distance(false), 100, kTolerance);
  EXPECT_EQ(a.GetTimes(false), (Analyzer::Times{10, 10}));
  EXPECT_NEAR(a.MaxSpeed(), 36, kTolerance);
  EXPECT_NEAR(a.MinSpeed(), 0, kTolerance) << "the first position's speed was 0";
  EXPECT_NEAR(a.AverageSpeed(false), 36, kTolerance);
  EXPECT_NEAR(a.Heading(), 0, kHeadingTolerance) << "due north";
  EXPECT_NEAR(a.MovingHeading(), 0, kHeadingTolerance);
}

TEST(Analyzer, StopCountsInTotalTimeOnly) {
  Analyzer a;
  a.AddPositionComputed(100, North(0));
  a.AddPositionComputed(110, North(100));  // 36 km/h
  a.AddPositionComputed(120, North(100));  // stopped for 10 s
  EXPECT_EQ(a.Speed(), 0);
  EXPECT_EQ(a.GetTimes(false), (Analyzer::Times{20, 10}));
  EXPECT_NEAR(a.Distance(false), 100, kTolerance);
  EXPECT_NEAR(a.AverageSpeed(false), 18, kTolerance) << "the stop lowers the average";
  EXPECT_NEAR(a.AverageSpeed(true), 36, kTolerance) << "but not the average without stops";
  EXPECT_NEAR(a.MinSpeed(), 0, kTolerance);
}

TEST(Analyzer, ClimbSegmentsGiveTheGrade) {
  Analyzer a;
  a.AddPositionComputed(0 + 100, North(0, 200));
  a.AddPositionComputed(4 + 100, North(40, 205));  // 40 m: no segment yet
  EXPECT_EQ(a.Grade(), 0);
  EXPECT_EQ(a.Climb(), 0);
  a.AddPositionComputed(6 + 100, North(60, 210));  // 60 m: one segment
  EXPECT_NEAR(a.Grade(), 100.0 * 10 / 60, 1e-6);
  EXPECT_NEAR(a.Climb(), 10, kTolerance);
  EXPECT_EQ(a.Descent(), 0);
  EXPECT_EQ(a.MaxAltitude(), 210);
  EXPECT_EQ(a.MinAltitude(), 200);
  EXPECT_EQ(a.LastAltitude(), 210);
  a.AddPositionComputed(12 + 100, North(120, 198));  // 60 m down by 12 m
  EXPECT_NEAR(a.Grade(), -20, 1e-6);
  EXPECT_NEAR(a.Descent(), 12, kTolerance);
  EXPECT_NEAR(a.Climb(), 10, kTolerance);
}

TEST(Analyzer, ReceiverValuesAreKeptUnlessComputed) {
  Analyzer a;
  a.AddPosition(100, North(0), 5, 1.0, false, false);
  a.AddPosition(110, North(100), 20, 2.0, false, false);
  EXPECT_EQ(a.Speed(), 20);
  EXPECT_EQ(a.Heading(), 2.0);
  EXPECT_EQ(a.MinSpeed(), 5);
  a.AddPosition(120, North(200), 0.5, 3.0, false, false);
  EXPECT_EQ(a.MovingHeading(), 2.0) << "headings below 1 km/h are not moving headings";
  a.AddPosition(130, North(300), 50, 3.0, true, false);
  EXPECT_NEAR(a.Heading(), 0, kHeadingTolerance) << "computed from the positions";
  EXPECT_EQ(a.Speed(), 50);
}

TEST(Analyzer, TimeGoingBackwardsAccumulatesNothing) {
  Analyzer a;
  a.AddPositionComputed(500, North(0, 10));
  a.AddPositionComputed(400, North(100, 50));
  EXPECT_EQ(a.GetTimes(false), (Analyzer::Times{0, 0}));
  EXPECT_EQ(a.Speed(), 0);
  EXPECT_EQ(a.Distance(false), 0);
  EXPECT_EQ(a.MaxAltitude(), 50) << "extremes still take the values in";
  EXPECT_EQ(a.AverageAltitude(), 10);
}

TEST(Analyzer, MidnightIsNoStepBack) {
  Analyzer a;
  a.AddPositionComputed(86395, North(0));
  a.AddPositionComputed(5, North(100));
  EXPECT_EQ(a.GetTimes(false).total, 10);
  EXPECT_NEAR(a.Speed(), 36, kTolerance);
  EXPECT_NEAR(a.Distance(false), 100, kTolerance);
}

TEST(Analyzer, AccelerationSplitsAlongAndAcrossTheHeading) {
  struct Case {
    const char* name;
    double speed1, heading1, speed2, heading2;
    double g, longitudinal, lateral;
  } cases[] = {
      // 36 km/h more in 1 s due north: 10 m/s² ahead.
      {"speeding up", 0, 0, 36, 0, 10 / 9.8, 10 / 9.8, 0},
      {"braking", 36, 0, 0, 0, 10 / 9.8, -10 / 9.8, 0},
      // Turning from north to east at 36 km/h: change (10, -10) m/s.
      {"turning right", 36, 0, 36, kPi / 2, std::sqrt(200) / 9.8, -10 / 9.8, -10 / 9.8},
      {"steady", 36, 1, 36, 1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Analyzer a;
    a.AddPosition(100, North(0), c.speed1, c.heading1, false, false);
    a.AddPosition(101, North(10), c.speed2, c.heading2, false, false);
    EXPECT_NEAR(a.Acceleration(), c.g, 1e-9);
    EXPECT_NEAR(a.LongitudinalAcceleration(), c.longitudinal, 1e-9);
    EXPECT_NEAR(a.LateralAcceleration(), c.lateral, 1e-9);
  }
}

TEST(Analyzer, PaceIsSecondsPerDistance) {
  Analyzer a;
  EXPECT_EQ(a.Pace(1000), -1);
  a.AddPosition(100, North(0), 36, 0, false, false);
  EXPECT_NEAR(a.Pace(1000), 100, kTolerance);
  a.AddPosition(101, North(0), 0, 0, false, false);
  EXPECT_EQ(a.Pace(1000), -1);
}

TEST(Analyzer, ResetMakesMinimumSpeedTheLargestDouble) {
  Analyzer a;
  a.AddPositionComputed(100, North(0, 5));
  a.AddPositionComputed(110, North(100, 5));
  a.Reset();
  EXPECT_EQ(a.MinSpeed(), kLargest);
  EXPECT_EQ(a.MaxSpeed(), -kLargest);
  EXPECT_EQ(a.MinAltitude(), kLargest);
  EXPECT_EQ(a.Distance(false), 0);
  EXPECT_EQ(a.GetTimes(true), (Analyzer::Times{0, 0}));
  EXPECT_FALSE(a.LastPosition().has_value());
  a.AddPosition(200, North(0), 12, 0, false, false);
  EXPECT_EQ(a.MinSpeed(), 12);
}

TEST(Analyzer, LiveTimesGrowByTheClock) {
  HandClock hand;
  Analyzer a(hand.clock());
  EXPECT_EQ(a.GetTimes(true), (Analyzer::Times{0, 0})) << "nothing before the first position";
  a.AddPosition(100, North(0), 10, 0, false, false);
  a.AddPosition(110, North(30), 10, 0, false, false);
  hand.now += 7;
  EXPECT_EQ(a.GetTimes(true), (Analyzer::Times{17, 17}));
  EXPECT_EQ(a.GetTimes(false), (Analyzer::Times{10, 10}));
  a.AddPosition(111, North(30), 0, 0, false, false);
  hand.now += 5;
  EXPECT_EQ(a.GetTimes(true), (Analyzer::Times{16, 10})) << "standing still adds to the total only";
}

TEST(Analyzer, LiveDistanceReachesTheFilterPosition) {
  Analyzer a;
  bool asked = false;
  a.SetCurrentPosition([&] {
    asked = true;
    return std::optional<GeoPoint>(North(130));
  });
  a.AddPosition(100, North(0), 36, 0, true, false);
  EXPECT_NEAR(a.Distance(true), 130, 1e-6) << "from the only position so far";
  a.AddPosition(110, North(100), 36, 0, true, false);
  EXPECT_NEAR(a.Distance(false), 100, kTolerance);
  EXPECT_NEAR(a.Distance(true), 130, 1e-6);
  EXPECT_TRUE(asked);
  a.AddPosition(120, North(100), 0, 0, true, false);
  asked = false;
  EXPECT_NEAR(a.Distance(true), 100, kTolerance) << "standing still: nothing added";
  EXPECT_FALSE(asked);
  a.SetCurrentPosition([] { return std::optional<GeoPoint>(); });
  a.AddPosition(130, North(200), 36, 0, true, false);
  EXPECT_NEAR(a.Distance(true), 200, kTolerance) << "a filter without a position adds nothing";
}

// A temporary program folder for a settings store.
struct Folder {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("analyzer_test_" + std::to_string(::getpid()) + "_" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
  Folder() { std::filesystem::create_directories(path); }
  ~Folder() { std::filesystem::remove_all(path); }
};

TEST(AnalyzerTotals, RoundTripThroughTheSettingsFile) {
  Folder folder;
  Analyzer trip;
  trip.AddPositionComputed(100, North(0, 100));
  trip.AddPositionComputed(110, North(100, 110));
  trip.AddPositionComputed(120, North(100, 90));
  trip.AddPositionComputed(130, North(160, 130));
  {
    rovana::SettingsStore settings(folder.path);
    trip.StoreTotals(settings);
    ASSERT_TRUE(settings.Save());
  }
  rovana::SettingsStore reread(folder.path);
  Analyzer next;
  next.LoadTotals(reread);
  EXPECT_EQ(next.GetTimes(false), trip.GetTimes(false));
  EXPECT_NEAR(next.Distance(false), trip.Distance(false), kFileTolerance);
  EXPECT_NEAR(next.MinSpeed(), trip.MinSpeed(), kFileTolerance);
  EXPECT_NEAR(next.MaxSpeed(), trip.MaxSpeed(), kFileTolerance);
  EXPECT_NEAR(next.AverageSpeed(false), trip.AverageSpeed(false), kFileTolerance);
  EXPECT_NEAR(next.AverageSpeed(true), trip.AverageSpeed(true), kFileTolerance);
  EXPECT_NEAR(next.MinAltitude(), trip.MinAltitude(), kFileTolerance);
  EXPECT_NEAR(next.MaxAltitude(), trip.MaxAltitude(), kFileTolerance);
  EXPECT_NEAR(next.AverageAltitude(), trip.AverageAltitude(), kFileTolerance);
  EXPECT_NEAR(next.Climb(), trip.Climb(), kFileTolerance);
  EXPECT_NEAR(next.Descent(), trip.Descent(), kFileTolerance);
  EXPECT_FALSE(next.LastPosition().has_value());
}

TEST(AnalyzerTotals, ResetStateSurvivesTheSettingsFile) {
  Folder folder;
  Analyzer trip;
  {
    rovana::SettingsStore settings(folder.path);
    trip.StoreTotals(settings);
    ASSERT_TRUE(settings.Save());
  }
  rovana::SettingsStore reread(folder.path);
  Analyzer next;
  next.LoadTotals(reread);
  EXPECT_EQ(next.MinSpeed(), kLargest);
  EXPECT_EQ(next.MaxAltitude(), -kLargest);
}

// Regression: the first position after loading (even one stamped 00:00:00)
// used to overwrite the loaded totals.
TEST(AnalyzerTotals, FirstPositionJoinsTheLoadedTotals) {
  Folder folder;
  rovana::SettingsStore settings(folder.path);
  settings.distTotal = 5000;
  settings.timeTotal = 1000;
  settings.timeRunning = 800;
  settings.speedMin = 2;
  settings.speedMax = 40;
  settings.speedAverage = 18;
  settings.speedAverageExclStops = 22.5;
  settings.altitudeMin = 100;
  settings.altitudeMax = 300;
  settings.altitudeAverage = 150;
  settings.elevation = 250;
  settings.decline = 120;
  const int stamps[] = {0, 4000};
  for (int stamp : stamps) {
    SCOPED_TRACE(stamp);
    Analyzer trip;
    trip.LoadTotals(settings);
    trip.AddPosition(stamp, North(0, 500), 60, 0, false, false);
    EXPECT_EQ(trip.MaxSpeed(), 60);
    EXPECT_EQ(trip.MinSpeed(), 2);
    EXPECT_EQ(trip.MaxAltitude(), 500);
    EXPECT_EQ(trip.MinAltitude(), 100);
    EXPECT_EQ(trip.AverageSpeed(false), 18);
    EXPECT_EQ(trip.AverageSpeed(true), 22.5);
    EXPECT_EQ(trip.AverageAltitude(), 150);
    EXPECT_EQ(trip.Distance(false), 5000);
    EXPECT_EQ(trip.GetTimes(false), (Analyzer::Times{1000, 800}));
    // The next position carries the totals on.
    trip.AddPosition(stamp + 10, North(100, 500), 36, 0, false, false);
    EXPECT_NEAR(trip.Distance(false), 5100, kTolerance);
    EXPECT_EQ(trip.GetTimes(false), (Analyzer::Times{1010, 810}));
    EXPECT_NEAR(trip.AverageSpeed(false), (18.0 * 1000 + 360) / 1010, 1e-9);
  }
}

// Regression: a second position at 00:00:00 was taken for a first one.
TEST(Analyzer, PositionAtMidnightIsAnOrdinaryStep) {
  Analyzer a;
  a.AddPositionComputed(86390, North(0));
  a.AddPositionComputed(0, North(100));
  a.AddPositionComputed(10, North(200));
  EXPECT_NEAR(a.Distance(false), 200, kTolerance);
  EXPECT_EQ(a.GetTimes(false).total, 20);
}

TEST(Analyzer, ValuesThatAreNoNumberDoNotPoisonTheTotals) {
  Analyzer a;
  a.AddPosition(100, North(0, 50), 10, 1, false, false);
  a.AddPosition(110, North(100, NAN), NAN, NAN, false, false);
  a.AddPosition(120, North(200, 60), INFINITY, 2, false, false);
  EXPECT_EQ(a.Speed(), 0);
  EXPECT_EQ(a.MaxSpeed(), 10);
  EXPECT_EQ(a.AverageSpeed(false), 0);
  EXPECT_EQ(a.MaxAltitude(), 60);
  EXPECT_EQ(a.AverageAltitude(), 55);
  EXPECT_EQ(a.Heading(), 2);
  Analyzer b;
  b.AddPosition(100, North(0, NAN), 10, 1, false, false);
  EXPECT_EQ(b.LastAltitude(), 0);
}

TEST(Analyzer, ReadersAndWritersOnTwoThreads) {
  Analyzer a;
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) a.AddPositionComputed(i, North(i * 10.0));
  });
  double seen = 0;
  for (int i = 0; i < 2000; ++i) seen = std::max(seen, a.Distance(true));
  writer.join();
  EXPECT_NEAR(a.Distance(false), 19990, 1e-3);
  EXPECT_LE(seen, 19990 + 1e-3);
}

}  // namespace
