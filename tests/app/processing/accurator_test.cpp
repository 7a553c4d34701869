// Accurator: dead-reckoned averaging of the last fixes, extrapolation between
// fixes, the horizon, the quality figures and the ring of 50 slots.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/core/Utilities.h"
#include "app/processing/Accurator.h"
#include "tests/support/LoggedFolder.h"

namespace {

using rovana::Accurator;
using rovana::GeoPoint;
using rovana::kEarthRadius;
using rovana::kPi;
using rovana::kTwoPi;

constexpr double kAngleTolerance = 1e-14;   // radians, for sums in another order
constexpr double kMetreTolerance = 1e-9;    // metres of altitude
constexpr double kDistanceTolerance = 1e-2;  // metres from GeoPoint::Distance (acos near 1)

double Rad(double degrees) { return degrees * kTwoPi / 360; }
// Degrees of latitude for `metres` north.
double NorthDegrees(double metres) { return metres / kEarthRadius * 360 / kTwoPi; }

// A clock the test moves by hand.
struct Clock {
  std::uint32_t now = 1000;
  Accurator::TickSource source() {
    return [this] { return now; };
  }
};

struct Fix {
  double latitude, longitude, speed, heading, altitude;
};

void Feed(Accurator& filter, const std::vector<Fix>& fixes) {
  for (const Fix& f : fixes) filter.AddFix(f.latitude, f.longitude, f.speed, f.heading, f.altitude);
}

TEST(Accurator, HorizonOneOutputsEachFixExactly) {
  Accurator filter(1);
  const Fix fixes[] = {{48.1, 11.5, 36, 0.3, 520}, {48.2, 11.4, 90, 2.0, 530}, {-33.9, 151.2, 5, 4.0, -3},
                       {0, -179.5, 120, kPi / 2, 0}};
  for (const Fix& f : fixes) {
    SCOPED_TRACE(std::to_string(f.latitude) + " " + std::to_string(f.longitude));
    filter.AddFix(f.latitude, f.longitude, f.speed, f.heading, f.altitude);
    const GeoPoint p = filter.GetPosition(false);
    EXPECT_EQ(p.latitude(), Rad(f.latitude));
    EXPECT_EQ(p.longitude(), Rad(f.longitude));
    EXPECT_EQ(p.altitude(), f.altitude);
  }
}

TEST(Accurator, StationaryReceiverGivesThePlainMeanOfTheLastFixes) {
  struct Case {
    const char* name;
    int horizon;
    std::vector<double> latitudes;  // one fix each, longitude = latitude / 2
    double want;                    // mean latitude, degrees
  };
  const Case cases[] = {
      {"fewer fixes than the horizon", 5, {10, 11, 12}, 11},
      {"exactly the horizon", 3, {10, 11, 12}, 11},
      {"more fixes than the horizon", 2, {10, 11, 12, 14}, 13},
      {"the whole ring", 50, std::vector<double>(50, 7.25), 7.25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Accurator filter(c.horizon);
    for (double lat : c.latitudes) filter.AddFix(lat, lat / 2, 0, 1.0, 250);
    const GeoPoint p = filter.GetPosition(false);
    EXPECT_NEAR(p.latitude(), Rad(c.want), kAngleTolerance);
    EXPECT_NEAR(p.longitude(), Rad(c.want / 2), kAngleTolerance);
    EXPECT_NEAR(p.altitude(), 250, kMetreTolerance);
  }
}

// Guards the altitude after a reset: the first fix has no earlier one to
// take a climb from, so a receiver standing at 100 m stays at 100 m (it used
// to show 100, 150, 166.7, ...).
TEST(Accurator, StationaryAltitudeStaysPutAfterAReset) {
  Accurator filter(5);
  Feed(filter, {{1, 1, 0, 0, 30}, {1, 1, 0, 0, 60}});
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "after a reset" : "from construction");
    if (reset) filter.Reset();
    Accurator fresh(5);
    Accurator& f = reset ? filter : fresh;
    for (int i = 0; i < 7; ++i) {
      f.AddFix(1, 1, 0, 0, 100);
      EXPECT_NEAR(f.GetPosition(false).altitude(), 100, kMetreTolerance) << "fix " << i;
    }
  }
}

TEST(Accurator, ClimbIsCarriedForwardOnceThereIsAnEarlierFix) {
  Accurator filter(2);
  Feed(filter, {{1, 1, 0, 0, 100}, {1, 1, 0, 0, 110}});
  // Slot 1 holds 100 m with its climb 100 - (none) = 0; slot 2 climbed 10 m.
  // The older prediction is 100 + 0 = 100, the newer 110: mean 105.
  EXPECT_NEAR(filter.GetPosition(false).altitude(), 105, kMetreTolerance);
  filter.AddFix(1, 1, 0, 0, 120);
  // Slot 2 moves on by its climb of 10 (its acceleration is 0): 120; slot 3 is 120.
  EXPECT_NEAR(filter.GetPosition(false).altitude(), 120, kMetreTolerance);
}

TEST(Accurator, FirstFixAfterResetIsOutputUnchangedAndTheSecondPropagatesIt) {
  Accurator filter(2);
  Feed(filter, {{10, 10, 50, 1, 5}, {10.01, 10.01, 50, 1, 5}});
  filter.Reset();
  const double speed1 = 36, speed2 = 72;  // km/h due north: 10 and 20 m/s
  filter.AddFix(45, 7, speed1, 0, 400);
  GeoPoint p = filter.GetPosition(false);
  EXPECT_EQ(p.latitude(), Rad(45));
  EXPECT_EQ(p.longitude(), Rad(7));
  EXPECT_EQ(p.altitude(), 400);

  const double lat2 = 45 + NorthDegrees(15);
  filter.AddFix(lat2, 7, speed2, 0, 400);
  // The first fix moves by its own rate plus the change of rate, which is the
  // second fix's rate: 20 m north.
  const double firstMoved = Rad(45) + 20 / kEarthRadius;
  p = filter.GetPosition(false);
  EXPECT_NEAR(p.latitude(), (firstMoved + Rad(lat2)) / 2, kAngleTolerance);
  EXPECT_NEAR(p.longitude(), Rad(7), kAngleTolerance);
}

TEST(Accurator, RatesFollowTheHeading) {
  struct Case {
    const char* name;
    double heading;
    double north, east;  // metres per second at 36 km/h
  };
  const Case cases[] = {
      {"north", 0, 10, 0}, {"east", kPi / 2, 0, 10}, {"south", kPi, -10, 0}, {"west", 3 * kPi / 2, 0, -10}};
  const double latitude = 60;  // a degree of longitude is half as long here
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clock clock;
    Accurator filter(1, clock.source());
    filter.AddFix(latitude, 20, 36, c.heading, 0);
    clock.now += 1000;
    const GeoPoint p = filter.GetPosition(true);
    EXPECT_NEAR(p.latitude() - Rad(latitude), c.north / kEarthRadius, kAngleTolerance);
    EXPECT_NEAR(p.longitude() - Rad(20), c.east / kEarthRadius / std::cos(Rad(latitude)), kAngleTolerance);
  }
}

TEST(Accurator, RingWrapsWithoutLosingThePreviousSlot) {
  Accurator filter(2);
  for (int i = 0; i < 49; ++i) filter.AddFix(1, 1, 0, 0, 10);
  filter.AddFix(2, 2, 0, 0, 20);  // the 50th fix, in the last slot
  filter.AddFix(4, 4, 0, 0, 20);  // the 51st, written to slot 0 again
  GeoPoint p = filter.GetPosition(false);
  EXPECT_NEAR(p.latitude(), Rad(3), kAngleTolerance);
  EXPECT_NEAR(p.longitude(), Rad(3), kAngleTolerance);
  const auto samples = filter.Samples();
  ASSERT_EQ(samples.size(), 50u);
  EXPECT_NEAR(samples.back().measuredLatitude, Rad(4), kAngleTolerance);
  EXPECT_NEAR(samples[samples.size() - 2].measuredLatitude, Rad(2), kAngleTolerance);
  EXPECT_NEAR(samples.front().measuredLatitude, Rad(1), kAngleTolerance) << "the oldest remaining fix";
  EXPECT_NEAR(samples.back().filteredLatitude, Rad(3), kAngleTolerance);
}

TEST(Accurator, ExtrapolationUsesTheElapsedTimeUpToTwoSeconds) {
  struct Case {
    const char* name;
    std::uint32_t start, elapsedMs;
    bool extrapolate;
    double wantSeconds;
  };
  const Case cases[] = {
      {"none asked", 1000, 1500, false, 0},
      {"at once", 1000, 0, true, 0},
      {"half a second", 1000, 500, true, 0.5},
      {"exactly the cap", 1000, 2000, true, 2},
      {"five seconds", 1000, 5000, true, 2},
      {"across the tick wrap", 0xFFFFFF00u, 0x200, true, 0.512},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clock clock{c.start};
    Accurator filter(1, clock.source());
    filter.AddFix(30, 40, 0, 0, 100);
    filter.AddFix(30, 40, 72, kPi / 4, 110);  // 20 m/s north-east, 10 m climb
    const GeoPoint at = filter.GetPosition(false);
    clock.now += c.elapsedMs;
    const GeoPoint p = filter.GetPosition(c.extrapolate);
    const double rate = 20 / kEarthRadius;
    EXPECT_NEAR(p.latitude() - at.latitude(), rate * std::cos(kPi / 4) * c.wantSeconds, kAngleTolerance);
    EXPECT_NEAR(p.longitude() - at.longitude(), rate * std::sin(kPi / 4) / std::cos(Rad(30)) * c.wantSeconds,
                kAngleTolerance);
    EXPECT_NEAR(p.altitude() - at.altitude(), 10 * c.wantSeconds, kMetreTolerance);
  }
}

TEST(Accurator, NoExtrapolationBeforeTheFirstFixAfterAReset) {
  Clock clock;
  Accurator filter(1, clock.source());
  filter.AddFix(30, 40, 100, 0, 100);
  filter.Reset();
  const GeoPoint at = filter.GetPosition(false);
  clock.now += 1000;
  const GeoPoint p = filter.GetPosition(true);
  EXPECT_EQ(p.latitude(), at.latitude());
  EXPECT_EQ(p.longitude(), at.longitude());
  EXPECT_TRUE(filter.Samples().empty());
}

TEST(Accurator, HorizonIsClampedToTheRing) {
  struct Case {
    int set, want;
  };
  const Case cases[] = {{0, 1}, {99, 50}, {-7, 1}, {1, 1}, {50, 50}, {7, 7}};
  Accurator filter(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    EXPECT_EQ(filter.SetHorizon(c.set), c.want);
    EXPECT_EQ(filter.GetHorizon(), c.want);
    EXPECT_EQ(Accurator(c.set).GetHorizon(), c.want) << "the setting read at start is clamped too";
  }
}

// Guards the mean across the date line: 179.99 and -179.99 degrees average to
// 180, not to 0.
TEST(Accurator, LongitudesAverageAcrossTheDateLine) {
  struct Case {
    const char* name;
    double first, second, want;  // degrees
  };
  const Case cases[] = {
      {"symmetric", 179.99, -179.99, 180},
      {"east to west", 179.0, -179.5, 179.75},
      {"west to east", -179.5, 179.0, 179.75},
      {"far from the line", 10, 20, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Accurator filter(2);
    filter.AddFix(0, c.first, 0, 0, 0);
    filter.AddFix(0, c.second, 0, 0, 0);
    const double got = filter.GetPosition(false).longitude();
    // 180 and -180 are the same meridian.
    EXPECT_NEAR(std::remainder(got - Rad(c.want), kTwoPi), 0, 1e-12) << got;
  }
}

TEST(Accurator, ExtrapolationAcrossTheDateLineComesOutWest) {
  Clock clock;
  Accurator filter(1, clock.source());
  filter.AddFix(0, 179.99999, 360, kPi / 2, 0);  // 100 m/s east
  clock.now += 2000;
  const double want = Rad(179.99999) + 200 / kEarthRadius - kTwoPi;
  EXPECT_NEAR(filter.GetPosition(true).longitude(), want, kAngleTolerance);
}

TEST(Accurator, QualityIsAvailableOnlyBeyondAHorizonOfTwo) {
  const std::pair<int, bool> cases[] = {{1, false}, {2, false}, {3, true}, {50, true}};
  for (auto [horizon, want] : cases) {
    SCOPED_TRACE(horizon);
    Accurator filter(horizon);
    Feed(filter, {{1, 1, 0, 0, 0}, {1, 1, 0, 0, 0}, {1, 1, 0, 0, 0}});
    filter.UpdateQuality();
    EXPECT_EQ(filter.GetQuality().available, want);
  }
}

TEST(Accurator, SpreadAndDeviationOfAStationaryReceiver) {
  // Fixes 0, 10 and 40 m north of a point; outputs 0, 5 and 50/3 m.
  Accurator filter(3);
  for (double north : {0.0, 10.0, 40.0}) filter.AddFix(50 + NorthDegrees(north), 8, 0, 0, 0);
  filter.UpdateQuality();
  const Accurator::Quality q = filter.GetQuality();
  EXPECT_TRUE(q.available);
  EXPECT_NEAR(q.spread, 50.0 / 3, kDistanceTolerance) << "the oldest fix is the farthest";
  // The straight continuation of 0 and 5 m is 10 m.
  EXPECT_NEAR(q.deviation, 50.0 / 3 - 10, kDistanceTolerance);
  EXPECT_NEAR(q.latitude, Rad(50 + NorthDegrees(10)), 1e-12);
  EXPECT_NEAR(q.longitude, Rad(8), 1e-12);
}

TEST(Accurator, QualityBeforeEnoughFixes) {
  Accurator filter(5);
  filter.UpdateQuality();
  EXPECT_EQ(filter.GetQuality().spread, 0) << "no fix at all";
  EXPECT_EQ(filter.GetQuality().deviation, Accurator::kMinDeviation);
  Feed(filter, {{1, 1, 0, 0, 0}, {1.001, 1, 0, 0, 0}});
  filter.UpdateQuality();
  EXPECT_GT(filter.GetQuality().spread, 0);
  EXPECT_EQ(filter.GetQuality().deviation, Accurator::kMinDeviation) << "two fixes give no continuation";
}

TEST(Accurator, DeviationOfAStraightRunIsTheMinimum) {
  // Constant speed north: every prediction lands on the newest fix.
  Accurator filter(4);
  for (int i = 0; i < 6; ++i) filter.AddFix(NorthDegrees(i * 1000.0), 0, 3600, 0, 0);  // 1000 m/s
  filter.UpdateQuality();
  const Accurator::Quality q = filter.GetQuality();
  EXPECT_LT(q.spread, 0.1);
  EXPECT_LT(q.deviation, 0.1);
  EXPECT_GE(q.deviation, Accurator::kMinDeviation);
}

// Guards the continuation across the date line: it is a point near the line,
// not one clamped to -180 degrees hundreds of metres away.
TEST(Accurator, DeviationAcrossTheDateLine) {
  Accurator filter(1);
  Feed(filter, {{0, 179.999, 0, 0, 0}, {0, -179.999, 0, 0, 0}, {0, -179.997, 0, 0, 0}});
  filter.UpdateQuality();
  EXPECT_LT(filter.GetQuality().deviation, 1.0);
  EXPECT_NEAR(filter.GetQuality().longitude, Rad(-179.997), 1e-12);
}

class AccuratorLog : public testing_support::LoggedFolderTest {};

TEST_F(AccuratorLog, FixesWithoutAPositionAreDroppedAndBadRatesCountAsZero) {
  Accurator filter(1);
  filter.AddFix(12, 34, 0, 0, 5);
  filter.AddFix(NAN, 34, 0, 0, 5);
  filter.AddFix(12, INFINITY, 0, 0, 5);
  EXPECT_EQ(filter.Samples().size(), 1u);
  EXPECT_NE(LogText().find("Accurator: a fix without a finite position was dropped"), std::string::npos);

  Clock clock;
  Accurator other(1, clock.source());
  other.AddFix(95, 200, NAN, INFINITY, NAN);
  clock.now += 1000;
  const GeoPoint p = other.GetPosition(true);
  EXPECT_EQ(p.latitude(), kPi / 2) << "latitudes beyond the pole are clamped";
  EXPECT_NEAR(p.longitude(), Rad(-160), kAngleTolerance) << "longitudes are wrapped";
  EXPECT_EQ(p.altitude(), 0);
}

TEST(Accurator, ReadersSeeWholeFixes) {
  Accurator filter(1);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) {
      const double v = (i % 80) - 40;
      filter.AddFix(v, v, 0, 0, v);
    }
    done = true;
  });
  int torn = 0;
  while (!done) {
    const GeoPoint p = filter.GetPosition(false);
    if (p.latitude() != p.longitude() || Rad(p.altitude()) != p.latitude()) ++torn;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
