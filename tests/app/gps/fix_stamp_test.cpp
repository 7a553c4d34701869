// A fix's date and time come from one source: the RMC's date and time, or
// for GGA-only receivers the GGA's time of day on the date nearest the clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "app/core/Utilities.h"
#include "app/gps/GpsFix.h"

namespace {

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

class FixStampTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};

TEST_F(FixStampTest, ATimeOfDayTakesTheNearestDate) {
  struct Case {
    std::time_t now;
    int hour, minute, second;
    std::int32_t wantDate;
    int wantSeconds;
  } cases[] = {
      {Utc(2026, 12, 9, 12, 0, 0), 11, 59, 58, rovana::PackDate(2026, 12, 9), 43198},
      {Utc(2026, 12, 9, 0, 0, 5), 23, 59, 59, rovana::PackDate(2026, 12, 8), 86399},  // just before midnight
      {Utc(2026, 12, 8, 23, 59, 58), 0, 0, 1, rovana::PackDate(2026, 12, 9), 1},      // just after it
      {Utc(2026, 12, 31, 23, 0, 0), 0, 30, 0, rovana::PackDate(2027, 1, 1), 1800},    // into the new year
  };
  for (const Case& c : cases) {
    const rovana::LocalStamp stamp = rovana::StampOfTimeOfDay(c.hour, c.minute, c.second, c.now);
    EXPECT_EQ(stamp.date, c.wantDate) << c.hour << ":" << c.minute;
    EXPECT_EQ(stamp.seconds, c.wantSeconds);
  }
}

TEST_F(FixStampTest, TheSourceDecidesTheStamp) {
  const std::time_t now = Utc(2026, 12, 9, 3, 30, 0);
  rovana::GpsData data;
  EXPECT_EQ(rovana::FixStamp(data, now).seconds, 3 * 3600 + 30 * 60) << "nothing decoded: the clock";
  data.gga.count = 1;
  data.rmc.hour = 9;  // the RMC part as filled from a GGA
  EXPECT_EQ(rovana::FixStamp(data, now).seconds, 9 * 3600) << "GGA: its time of day, not the clock";
  EXPECT_EQ(rovana::FixStamp(data, now).date, rovana::PackDate(2026, 12, 9));
  data.rmc.count = 1;
  data.rmc.day = 14;
  data.rmc.month = 6;
  data.rmc.year = 2026;
  EXPECT_EQ(rovana::FixStamp(data, now).date, rovana::PackDate(2026, 6, 14)) << "RMC: its own date";
}

}  // namespace
