// The route of an "ro" reply: the line after the marker (escapes, a missing
// marker or quote, the length cap), the calendar step of the dates, the times
// of day at 10 km/h with the day advancing past midnight, and the points
// appended to a real route of a real GPX file.
#include "app/online/RouteReply.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/waypoints/Waypoints.h"
#include "tests/support/LoggedFolder.h"

namespace rovana {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

struct LineCase {
  const char* name;
  std::string reply;
  std::optional<std::string> line;
};

TEST(RouteReplyTest, TheLineFollowsTheMarker) {
  const LineCase cases[] = {
      {"server example", "<reply><result id=\"0\"/><route>points:\"_p~iF~ps|U\"</route></reply>", "_p~iF~ps|U"},
      {"doubled backslash is one", "points:\"ab\\\\cd\"", "ab\\cd"},
      {"escaped quote does not end it", "points:\"ab\\\"cd\"", "ab\"cd"},
      {"empty line", "points:\"\"", ""},
      {"first marker counts", "points:\"??\" points:\"AA\"", "??"},
      {"no marker", "<reply><result id=\"0\"/></reply>", std::nullopt},
      {"marker without quote", "points: \"??\"", std::nullopt},
      {"no closing quote", "points:\"_p~iF~ps|U", std::nullopt},
      {"backslash at the very end", "points:\"??\\", std::nullopt},
      {"longest line", "points:\"" + std::string(kMaxRouteChars, '?') + "\"", std::string(kMaxRouteChars, '?')},
      {"one character too long", "points:\"" + std::string(kMaxRouteChars + 1, '?') + "\"", std::nullopt},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RouteLineOf(c.reply), c.line);
  }
}

struct DayCase {
  const char* name;
  CivilDate from;
  int days;
  CivilDate to;
};

TEST(RouteReplyTest, DaysFollowTheCalendar) {
  const DayCase cases[] = {
      {"same day", {2026, 12, 9}, 0, {2026, 12, 9}},
      {"next day", {2026, 12, 9}, 1, {2026, 12, 10}},
      {"month end", {2026, 4, 30}, 1, {2026, 5, 1}},
      {"year end", {2026, 12, 31}, 1, {2027, 1, 1}},
      {"leap day", {2028, 2, 28}, 1, {2028, 2, 29}},
      {"no leap day", {2027, 2, 28}, 1, {2027, 3, 1}},
      {"three days", {2026, 12, 30}, 3, {2027, 1, 2}},
  };
  for (const DayCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(AddDays(PackDate(c.from), c.days), PackDate(c.to));
  }
  EXPECT_EQ(AddDays(0, 1), 0) << "no date stays no date";
}

// The time of day of a route past 240 km once wrapped past 86399 s: the
// time must start again and the date advance.
TEST(RouteReplyTest, TimesWrapIntoTheNextDayPast240Km) {
  const std::int32_t today = PackDate(2026, 12, 31);
  // Along the equator a degree of longitude is the same arc everywhere.
  const std::vector<PolylinePoint> line = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 9}};
  const std::vector<GeoPoint> points = RoutePoints(line, today);
  ASSERT_EQ(points.size(), line.size());
  const double secondsPerDegree = kEarthRadius * kDeg / kRouteSpeed;  // about 40003 s
  struct Expected {
    std::int32_t date;
    std::int32_t time;
  };
  const Expected expected[] = {
      {today, 0},
      {today, static_cast<std::int32_t>(std::floor(secondsPerDegree))},
      {today, static_cast<std::int32_t>(std::floor(2 * secondsPerDegree))},
      {PackDate(2027, 1, 1), static_cast<std::int32_t>(std::floor(3 * secondsPerDegree)) - 86400},
      {PackDate(2027, 1, 4), static_cast<std::int32_t>(std::floor(9 * secondsPerDegree)) - 4 * 86400},
  };
  for (std::size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(points[i].date(), expected[i].date);
    EXPECT_EQ(points[i].time(), expected[i].time);
    EXPECT_LT(points[i].time(), 86400);
    EXPECT_NEAR(points[i].longitude(), line[i].longitude * kDeg, 1e-12);
  }
}

TEST(RouteReplyTest, AReplyWithoutTheMarkerGivesNoRoute) {
  EXPECT_FALSE(RouteOfReply("<reply><result id=\"0\"/></reply>", PackDate(2026, 12, 9)).has_value());
  EXPECT_FALSE(RouteOfReply("points:\"_p~iF ~ps|U\"", PackDate(2026, 12, 9)).has_value()) << "a line that does not decode";
  const auto three = RouteOfReply("<route>points:\"_p~iF~ps|U_ulLnnqC_mqNvxq`@\"</route>", PackDate(2026, 12, 9));
  ASSERT_TRUE(three.has_value());
  ASSERT_EQ(three->size(), 3u);
  EXPECT_NEAR((*three)[2].latitude(), 43.252 * kDeg, 1e-12);
  EXPECT_NEAR((*three)[2].longitude(), -126.453 * kDeg, 1e-12);
}

class AppendRouteTest : public testing_support::LoggedFolderTest {};

TEST_F(AppendRouteTest, PointsGoIntoTheNewRouteInOrder) {
  SettingsStore settings(folder_);
  settings.primaryDataPath = folder_.string();
  settings.secondaryDataPath = folder_.string();
  Waypoints waypoints(settings);
  GpxParser& file = waypoints.NewFile("route.gpx");
  POIs& route = waypoints.AddCollection(file, PoisKind::Route);
  const auto points = RouteOfReply("points:\"_p~iF~ps|U_ulLnnqC_mqNvxq`@\"", PackDate(2026, 12, 9));
  ASSERT_TRUE(points.has_value());
  AppendRoute(route, *points);
  const std::vector<GeoPoint> stored = route.Points();
  ASSERT_EQ(stored.size(), 3u);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(stored[i].latitude(), (*points)[i].latitude());
    EXPECT_EQ(stored[i].time(), (*points)[i].time());
  }
  EXPECT_GT(route.statistics().Distance(), 0);
  EXPECT_FALSE(route.bounds().Empty());
}

}  // namespace
}  // namespace rovana
