// What a fix is made of: its local date and time from one source (also
// around midnight), and the RMC part made up from GGA for receivers that send
// no RMC, checked against distances along a meridian and the equator.
#include "app/gps/GpsFix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

#include "app/core/Utilities.h"
#include "app/waypoints/GeoPoint.h"
#include "tests/support/ScopedTimeZone.h"

namespace {

using rovana::GpsData;
using rovana::LocalStamp;

// The law of cosines loses digits over short distances: a few metres come
// out within some millionths of their length.
constexpr double kRelativeSpeedTolerance = 1e-5;
constexpr double kCourseTolerance = 1e-5;  // degrees
constexpr double kMetresPerSecondToKnots = 3.6 / 1.852;

TEST(LocalStampTest, DateAndTimeComeFromTheSameInstant) {
  struct Row {
    const char* name;
    const char* zone;
    int year, month, day, hour, minute, second;
    int localYear, localMonth, localDay, localSeconds;
  };
  const Row kRows[] = {
      {"UTC", "UTC0", 2014, 12, 31, 3, 7, 19, 2014, 12, 31, 3 * 3600 + 7 * 60 + 19},
      {"east of Greenwich, before UTC midnight", "CET-1", 2026, 12, 8, 23, 30, 0, 2026, 12, 9, 30 * 60},
      {"west of Greenwich, after UTC midnight", "EST5", 2026, 12, 9, 0, 10, 0, 2026, 12, 8, 19 * 3600 + 10 * 60},
      {"new year in New Zealand", "NZST-12", 2026, 12, 31, 12, 0, 1, 2027, 1, 1, 1},
      {"leap day", "UTC0", 2028, 2, 29, 23, 59, 59, 2028, 2, 29, 86399},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    testing_support::ScopedTimeZone zone(row.zone);
    const LocalStamp stamp = rovana::LocalStampFromUtc(row.year, row.month, row.day, row.hour, row.minute, row.second);
    EXPECT_EQ(stamp.date, rovana::PackDate(row.localYear, row.localMonth, row.localDay));
    EXPECT_EQ(stamp.seconds, row.localSeconds);
  }
}

TEST(LocalStampTest, AFixWithoutRmcIsStampedByTheClock) {
  testing_support::ScopedTimeZone zone("UTC0");
  GpsData d;
  d.gga.hour = 1;  // a GGA's time of day has no date: not used
  const LocalStamp before = rovana::LocalNow();
  const LocalStamp stamp = rovana::FixStamp(d);
  const LocalStamp after = rovana::LocalNow();
  auto order = [](const LocalStamp& s) { return std::pair(s.date, s.seconds); };
  EXPECT_LE(order(before), order(stamp));
  EXPECT_LE(order(stamp), order(after));

  d.rmc.count = 1;
  d.rmc.day = 9;
  d.rmc.month = 12;
  d.rmc.year = 2026;
  d.rmc.hour = 4;
  const LocalStamp fromRmc = rovana::FixStamp(d);
  EXPECT_EQ(fromRmc.date, rovana::PackDate(2026, 12, 9));
  EXPECT_EQ(fromRmc.seconds, 4 * 3600);
}

// The RMC part after a GGA at (lat, lon, time) when the previous one was at
// the RMC part's position, as a GGA-only receiver gives them.
struct GgaStep {
  double latitude, longitude;
  int hour, minute, second;
  int fixQuality;
};

GpsData After(GpsData d, const GgaStep& step) {
  d.gga.latitude = step.latitude;
  d.gga.longitude = step.longitude;
  d.gga.hour = static_cast<std::uint8_t>(step.hour);
  d.gga.minute = static_cast<std::uint8_t>(step.minute);
  d.gga.second = static_cast<std::uint8_t>(step.second);
  d.gga.fixQuality = static_cast<std::uint8_t>(step.fixQuality);
  rovana::FillRmcFromGga(d);
  return d;
}

TEST(FillRmcFromGgaTest, SpeedAndCourseFromSuccessivePositions) {
  const double metresPerDegree = rovana::kEarthRadius * std::numbers::pi / 180;
  struct Row {
    const char* name;
    GgaStep first, second;
    char status;
    double knots, course;
  };
  const Row kRows[] = {
      {"north along a meridian", {48, 11, 12, 0, 0, 1}, {48.001, 11, 12, 0, 2, 1}, 'A',
       0.001 * metresPerDegree / 2 * kMetresPerSecondToKnots, 0},
      {"east along the equator", {0, 10, 12, 0, 0, 1}, {0, 10.002, 12, 0, 4, 1}, 'A',
       0.002 * metresPerDegree / 4 * kMetresPerSecondToKnots, 90},
      {"south across midnight", {-30, 20, 23, 59, 59, 1}, {-30.001, 20, 0, 0, 1, 1}, 'A',
       0.001 * metresPerDegree / 2 * kMetresPerSecondToKnots, 180},
      {"no time elapsed", {48, 11, 12, 0, 0, 1}, {48.001, 11, 12, 0, 0, 1}, 'A', 0, 0},
      {"fix lost", {48, 11, 12, 0, 0, 1}, {48.001, 11, 12, 0, 1, 0}, 'V',
       0.001 * metresPerDegree * kMetresPerSecondToKnots, 0},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const GpsData first = After(GpsData{}, row.first);
    EXPECT_EQ(first.rmc.status, 'A');
    EXPECT_EQ(first.rmc.speed, 0) << "no earlier fix to measure from";
    const GpsData second = After(first, row.second);
    EXPECT_EQ(second.rmc.status, row.status);
    EXPECT_NEAR(second.rmc.speed, row.knots, row.knots * kRelativeSpeedTolerance);
    EXPECT_NEAR(std::remainder(second.rmc.course - row.course, 360.0), 0, kCourseTolerance);
    EXPECT_EQ(second.rmc.latitude, row.second.latitude);
    EXPECT_EQ(second.rmc.longitude, row.second.longitude);
    EXPECT_EQ(second.rmc.second, row.second.second);
    EXPECT_EQ(second.rmc.count, 0u) << "still no RMC decoded";
  }
}

TEST(FillRmcFromGgaTest, AfterAVoidFixSpeedAndCourseAre0) {
  const GpsData noFix = After(GpsData{}, {48, 11, 12, 0, 0, 0});
  EXPECT_EQ(noFix.rmc.status, 'V');
  const GpsData fix = After(noFix, {49, 11, 12, 0, 1, 1});
  EXPECT_EQ(fix.rmc.status, 'A');
  EXPECT_EQ(fix.rmc.speed, 0);
  EXPECT_EQ(fix.rmc.course, 0);
}

}  // namespace
