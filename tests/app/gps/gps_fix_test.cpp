// What a fix is made of: its local date and time from one source (also
// around midnight), and the RMC part made up from GGA for receivers that send
// no RMC, checked against distances along a meridian and the equator.
#include "app/gps/GpsFix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <numbers>

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

std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return timegm(&t);
}

// A GGA's time of day comes without a date: it takes the UTC date that puts
// it nearest the clock, so that it agrees with later RMC dates.
TEST(LocalStampTest, ATimeOfDayTakesTheNearestDate) {
  testing_support::ScopedTimeZone zone("UTC0");
  struct Row {
    std::time_t now;
    int hour, minute, second;
    std::int32_t date;
    int seconds;
  };
  const Row kRows[] = {
      {Utc(2026, 12, 9, 12, 0, 0), 11, 59, 58, rovana::PackDate(2026, 12, 9), 43198},
      {Utc(2026, 12, 9, 0, 0, 5), 23, 59, 59, rovana::PackDate(2026, 12, 8), 86399},
      {Utc(2026, 12, 8, 23, 59, 58), 0, 0, 1, rovana::PackDate(2026, 12, 9), 1},
      {Utc(2026, 12, 31, 23, 0, 0), 0, 30, 0, rovana::PackDate(2027, 1, 1), 1800},
  };
  for (const Row& row : kRows) {
    const LocalStamp stamp = rovana::StampOfTimeOfDay(row.hour, row.minute, row.second, row.now);
    EXPECT_EQ(stamp.date, row.date) << row.hour << ":" << row.minute;
    EXPECT_EQ(stamp.seconds, row.seconds);
  }
}

// Nothing decoded: the clock; the RMC part filled from a GGA: the GGA's time
// of day, never the clock (the two would disagree by hours); an RMC: its own
// date and time.
TEST(LocalStampTest, TheSourceDecidesTheStamp) {
  testing_support::ScopedTimeZone zone("UTC0");
  const std::time_t now = Utc(2026, 12, 9, 3, 30, 0);
  GpsData d;
  EXPECT_EQ(rovana::FixStamp(d, now).seconds, 3 * 3600 + 30 * 60);
  d.gga.count = 1;
  d.rmc.hour = 9;
  EXPECT_EQ(rovana::FixStamp(d, now).seconds, 9 * 3600);
  EXPECT_EQ(rovana::FixStamp(d, now).date, rovana::PackDate(2026, 12, 9));
  d.rmc.count = 1;
  d.rmc.day = 14;
  d.rmc.month = 6;
  d.rmc.year = 2026;
  EXPECT_EQ(rovana::FixStamp(d, now).date, rovana::PackDate(2026, 6, 14));
  EXPECT_EQ(rovana::FixStamp(d, now).seconds, 9 * 3600);
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
