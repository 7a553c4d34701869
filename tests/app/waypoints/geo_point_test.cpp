// The point record: clamped stores, optional texts, details, and the
// spherical geometry every distance and course of the program comes from.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/core/Utilities.h"
#include "app/waypoints/GeoPoint.h"

namespace {

using rovana::GeoPoint;
using rovana::kPi;
using rovana::PointText;

constexpr double kDeg = kPi / 180;

TEST(GeoPoint, StoresAreClamped) {
  struct Case {
    double latitude, longitude, wantLatitude, wantLongitude;
  } cases[] = {
      {1.7, -3.5, kPi / 2, -kPi},
      {-2, 4, -kPi / 2, kPi},
      {0.5, 1, 0.5, 1},
      {NAN, NAN, 0, 0},
      {INFINITY, -INFINITY, kPi / 2, -kPi},
  };
  for (const Case& c : cases) {
    const GeoPoint p(c.latitude, c.longitude, 12);
    EXPECT_EQ(p.latitude(), c.wantLatitude) << c.latitude;
    EXPECT_EQ(p.longitude(), c.wantLongitude) << c.longitude;
    EXPECT_EQ(p.altitude(), 12);
  }
}

TEST(GeoPoint, TextsAreAbsentWhenEmptyAndCopiedWithThePoint) {
  GeoPoint p(0.1, 0.2);
  EXPECT_EQ(p.name(), "");
  p.setText(PointText::Name, "Summit");
  p.setText(PointText::Phone, "+49 1");
  p.setTime(45296);
  p.setDate(rovana::PackDate(2011, 7, 9));
  GeoPoint copy = p;
  p.setText(PointText::Name, "");
  EXPECT_EQ(p.name(), "");
  EXPECT_EQ(p.text(PointText::Phone), "+49 1");
  EXPECT_EQ(copy.name(), "Summit") << "a copy owns its own texts";
  EXPECT_EQ(copy.DisplayName(), "Summit");
  EXPECT_EQ(p.DisplayName(), "12:34:56");
  EXPECT_EQ(copy.DateText(), "2011-07-09");
  EXPECT_EQ(copy.latitude(), 0.1);
}

TEST(GeoPoint, DetailsTellRoutesFromTracks) {
  struct Case {
    PointText text;
    const char* value;
    bool first, last, want;
  } cases[] = {
      {PointText::Sym, "Trailhead", true, false, false},
      {PointText::Sym, "Trailhead", false, false, true},
      {PointText::Sym, "Finish", false, true, false},
      {PointText::Sym, "Finish", true, false, true},
      {PointText::Sym, "Flag", true, true, true},
      {PointText::Desc, "x", false, false, true},
      {PointText::Wav, "a.wav", false, false, true},
      {PointText::Link, "", false, false, false},
  };
  for (const Case& c : cases) {
    GeoPoint p;
    p.setText(c.text, c.value);
    EXPECT_EQ(p.HasDetails(c.first, c.last), c.want) << c.value << " " << c.first << c.last;
  }
}

TEST(GeoPoint, ClearingTheAudioNoteDeletesOnlyItsOwnFile) {
  const auto folder = std::filesystem::temp_directory_path() / ("geo_point_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "inner");
  std::ofstream(folder / "audio_1.wav") << "x";
  std::ofstream(folder / "inner" / "keep.wav") << "x";
  GeoPoint own, escaping;
  own.setText(PointText::Wav, "audio_1.wav");
  escaping.setText(PointText::Wav, "inner/keep.wav");
  EXPECT_TRUE(own.ClearAudioNote(folder));
  EXPECT_TRUE(escaping.ClearAudioNote(folder));
  EXPECT_FALSE(std::filesystem::exists(folder / "audio_1.wav"));
  EXPECT_TRUE(std::filesystem::exists(folder / "inner" / "keep.wav"));
  EXPECT_EQ(own.text(PointText::Wav), "");
  EXPECT_EQ(escaping.text(PointText::Wav), "");
  std::filesystem::remove_all(folder);
}

TEST(GeoPoint, DistanceAndCourse) {
  const double degree = rovana::kEarthRadius * kDeg;  // one degree of a great circle
  struct Case {
    GeoPoint from, to;
    double distance, course;
  } cases[] = {
      {{0, 0}, {0, 0}, 0, 0},
      {{0, 0}, {0, kDeg}, degree, kPi / 2},
      {{0, 0}, {0, -kDeg}, degree, 3 * kPi / 2},
      {{0, 0}, {kDeg, 0}, degree, 0},
      {{kDeg, 0}, {0, 0}, degree, kPi},
      {{0, 179.5 * kDeg}, {0, -179.5 * kDeg}, degree, kPi / 2},  // across the date line
      {{kPi / 2, 0}, {0, 0}, 90 * degree, kPi},
      {{-kPi / 2, 0}, {0, 0}, 90 * degree, 0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(c.from.Distance(c.to), c.distance, 1e-6) << c.to.latitude() << " " << c.to.longitude();
    EXPECT_NEAR(c.from.Course(c.to), c.course, 1e-9) << c.to.latitude() << " " << c.to.longitude();
  }
}

// Regression: the acos form gave a place some 9 cm from itself, so fixes
// standing still never read as a stop.
TEST(GeoPoint, ShortDistancesKeepTheirDigits) {
  struct Case {
    double latitude, longitude, north, east;
  } cases[] = {
      {0.5 + 100 / rovana::kEarthRadius, 0.2, 0, 0},
      {0.5 + 100 / rovana::kEarthRadius, 0.2, 0.01, 0},
      {-0.9, 2.5, 0, 0.05},
      {0.7, -1.1, 3, 4},
      {1.2, 3.1, 100, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.latitude);
    const GeoPoint from(c.latitude, c.longitude);
    GeoPoint to = from;
    to.Offset(c.north, c.east);
    EXPECT_EQ(from.Distance(from), 0);
    EXPECT_NEAR(from.Distance(to), std::hypot(c.north, c.east), 1e-6);
  }
}

TEST(GeoPoint, OffsetAndMoveTowards) {
  GeoPoint p(45 * kDeg, 7 * kDeg);
  const GeoPoint start = p;
  p.Offset(1000, 0);
  EXPECT_NEAR(p.Distance(start), 1000, 1e-6);
  EXPECT_NEAR(p.longitude(), start.longitude(), 1e-15);
  GeoPoint east = start;
  east.Offset(0, 1000);
  EXPECT_NEAR(east.longitude() - start.longitude(), 1000 / rovana::kEarthRadius / std::cos(start.latitude()), 1e-15);

  GeoPoint walker = start;
  const GeoPoint target(46 * kDeg, 8 * kDeg);
  const double total = start.Distance(target);
  walker.MoveTowards(target, 500);
  EXPECT_NEAR(walker.Distance(start), 500, 0.5);
  EXPECT_NEAR(walker.Distance(target), total - 500, 0.5);

  GeoPoint dateLine(0, 179.999 * kDeg);
  dateLine.Offset(0, 1000);
  EXPECT_LT(dateLine.longitude(), -179.99 * kDeg) << "comes out on the other side";
}

TEST(GeoPoint, VectorsForThinning) {
  const GeoPoint a(0.3, 0.4), b(0.0, 0.0);
  EXPECT_EQ(a.Minus(b), (GeoPoint::Vector{0.3, 0.4}));
  const auto unit = GeoPoint::Normalised(a.Minus(b));
  EXPECT_NEAR(unit.latitude, 0.6, 1e-15);
  EXPECT_NEAR(unit.longitude, 0.8, 1e-15);
  EXPECT_EQ(GeoPoint::Normalised({}), GeoPoint::Vector{});
}

TEST(GeoPoint, StampTakesDateAndTimeFromOneReading) {
  GeoPoint p;
  const rovana::LocalStamp before = rovana::LocalNow();
  p.StampNow("Waypoint");
  const rovana::LocalStamp after = rovana::LocalNow();
  EXPECT_EQ(p.sym(), "Waypoint");
  EXPECT_TRUE(p.date() == before.date || p.date() == after.date);
  EXPECT_TRUE(p.time() >= before.seconds || p.date() != before.date);
}

}  // namespace
