// The calibration methods and edits: rotation by the grid, scale, the
// reference edits, calibrating to a view, the interactive edits, bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "app/maps/MapImage.h"
#include "app/waypoints/GeoPoint.h"
#include "tests/app/maps/MapsFixture.h"

namespace {

using rovana::matrixT;
using rovana::maps::CalibrationMethod;
using rovana::maps::MapPoint;
using testing_support::kDeg;
using testing_support::kSteepGrid;
using testing_support::kUtmNorth;

class CalibrationTest : public testing_support::MapsFolderTest {};

double RotationOf(const matrixT& t) { return std::atan2(t.at(0, 1), t.at(0, 0)); }

struct RotationCase {
  const char* name;
  int grid;
  double latDeg, lonDeg;
  bool rotated;
};

TEST_F(CalibrationTest, TheMapTurnsWithItsGridOnlyWhenTheGridIsModerate) {
  const RotationCase cases[] = {
      {"default grid far from any meridian", 0, 60, 25.7, false},
      {"utm 1.3 degrees west of the central meridian", kUtmNorth, 60, 25.7, true},
      {"a grid 60 degrees off north", kSteepGrid, 50, 10, false},
  };
  for (const RotationCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto map = SizedMap("r.png", 1000, 800);
    ASSERT_TRUE(map->Calibrate1Point(0, 0, c.lonDeg * kDeg, c.latDeg * kDeg, 10000, c.grid, false));
    if (c.rotated)
      EXPECT_GT(std::fabs(RotationOf(map->transform())), 0.5 * kDeg);
    else
      EXPECT_LT(std::fabs(RotationOf(map->transform())), 1e-9);
  }
}

// A 1-point map on a grid lies along the grid: the point the grid puts
// widthM east of the reference is on the reference's row at the right edge,
// and the point below it at the bottom.
TEST_F(CalibrationTest, AOnePointMapFollowsItsGrid) {
  struct Case {
    const char* name;
    int grid;
    double latDeg, lonDeg;
  } cases[] = {{"utm north, west of the meridian", kUtmNorth, 60, 25.7},
               {"utm north, east of the meridian", kUtmNorth, 48, 11.5},
               {"utm south", testing_support::kUtmSouth, -33.9, 18.4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto map = SizedMap("g.png", 1000, 500);
    ASSERT_TRUE(map->Calibrate1Point(100, 50, c.lonDeg * kDeg, c.latDeg * kDeg, 20000, c.grid, false));
    auto g = grids_.ToGrid(c.latDeg * kDeg, c.lonDeg * kDeg, c.grid);
    auto east = grids_.FromGrid(g->northing, g->easting + 20000, c.grid, g->zone);
    auto south = grids_.FromGrid(g->northing - 10000, g->easting, c.grid, g->zone);
    auto pe = map->ToPixel(east->longitude, east->latitude);
    auto ps = map->ToPixel(south->longitude, south->latitude);
    EXPECT_NEAR(pe->x, 1100, 2.0);
    EXPECT_NEAR(pe->y, 50, 2.0);
    EXPECT_NEAR(ps->x, 100, 2.0);
    EXPECT_NEAR(ps->y, 550, 2.0);
    EXPECT_NEAR(map->widthM(), 20000, 1e-6);
  }
}

TEST_F(CalibrationTest, TwoReferencesAtOneGridPointChangeNothing) {
  auto map = SizedMap("e.png", 400, 300);
  map->Calibrate1Point(5, 5, 10 * kDeg, 50 * kDeg, 1000, kUtmNorth, true);
  const matrixT before = map->transform();
  const std::string file = Read("e.txt");
  map->Calibrate2Point({10, 10}, {10.1 * kDeg, 50.1 * kDeg}, {300, 200}, {10.1 * kDeg, 50.1 * kDeg}, kUtmNorth);
  EXPECT_TRUE(map->transform() == before);
  EXPECT_EQ(map->method(), CalibrationMethod::OnePoint);
  EXPECT_EQ(Read("e.txt"), file);
}

TEST_F(CalibrationTest, BoundsAndAreaComeFromTheCorners) {
  auto map = SizedMap("b.png", 400, 300);
  map->Calibrate1Point(0, 0, 10 * kDeg, 50 * kDeg, 4000, 0, false);
  const auto& c = map->corners();
  auto topLeft = map->ToPosition(0, 0);
  EXPECT_NEAR(c[0].x, topLeft->x, 1e-12);
  EXPECT_NEAR(c[0].y, topLeft->y, 1e-12);
  EXPECT_NEAR(map->bounds().minLon, 10 * kDeg, 1e-12);
  EXPECT_NEAR(map->bounds().maxLat, 50 * kDeg, 1e-12);
  EXPECT_GT(map->bounds().maxLon, map->bounds().minLon);
  EXPECT_LT(map->bounds().minLat, map->bounds().maxLat);
  EXPECT_DOUBLE_EQ(map->area(), (map->bounds().maxLon - map->bounds().minLon) *
                                    (map->bounds().maxLat - map->bounds().minLat));
  // The corners lie (width + 1.7) and (height + 1.1) pixels out.
  auto far = map->ToPixel(c[2].x, c[2].y);
  EXPECT_NEAR(far->x, 401.7, 1e-6);
  EXPECT_NEAR(far->y, 301.1, 1e-6);
}

TEST_F(CalibrationTest, SettingAReferenceTakesTheWholePixelUnderThePoint) {
  auto map = SizedMap("s.png", 400, 300);
  map->Calibrate1Point(0, 0, 10 * kDeg, 50 * kDeg, 4000, 0, true);
  auto at = map->ToPosition(123.7, 45.2);
  map->SetReference(1, {at->x, at->y});
  EXPECT_EQ(map->reference1Pixel().x, 123);
  EXPECT_EQ(map->reference1Pixel().y, 45);
  EXPECT_NE(Read("s.txt").find("ref1x  = 123\nref1y  = 45\n"), std::string::npos);
  auto whole = map->ToPosition(123, 45);
  EXPECT_NEAR(map->reference1Position().x, whole->x, 1e-12);
  // Reference 2 of a 1-point map: nothing.
  const matrixT before = map->transform();
  map->SetReference(2, {at->x, at->y});
  EXPECT_TRUE(map->transform() == before);
  EXPECT_EQ(map->method(), CalibrationMethod::OnePoint);
}

TEST_F(CalibrationTest, SettingReferenceTwoOfATwoPointMapMovesItToThePixelUnderThePoint) {
  auto map = SizedMap("t.png", 1000, 800);
  auto g1 = grids_.ToGrid(50 * kDeg, 9 * kDeg, kUtmNorth);
  auto p2 = grids_.FromGrid(g1->northing - 6000, g1->easting + 8000, kUtmNorth, g1->zone);
  map->Calibrate2Point({0, 0}, {9 * kDeg, 50 * kDeg}, {800, 600}, {p2->longitude, p2->latitude}, kUtmNorth);
  ASSERT_EQ(map->method(), CalibrationMethod::TwoPoint);
  const double width = map->widthM();
  // The whole pixel under the point becomes reference 2 with its position;
  // the map keeps its scale and the file its new reference.
  auto middle = map->ToPosition(400.6, 300.2);
  map->SetReference(2, {middle->x, middle->y});
  EXPECT_EQ(map->reference2Pixel().x, 400);
  EXPECT_EQ(map->reference2Pixel().y, 300);
  EXPECT_EQ(map->method(), CalibrationMethod::TwoPoint);
  EXPECT_NEAR(map->widthM(), width, width * 2e-3);
  EXPECT_NE(Read("t.txt").find("ref2x  = 400\nref2y  = 300\n"), std::string::npos) << Read("t.txt");
}

TEST_F(CalibrationTest, CalibratingToTheViewLaysThePictureIntoTheScreen) {
  auto map = SizedMap("v.png", 400, 200);
  hidden_.Add("v.png");
  const double lon0 = 10 * kDeg, lat0 = 50 * kDeg, step = 1e-6;
  auto view = [&](double x, double y) -> std::optional<MapPoint> { return MapPoint{lon0 + x * step, lat0 - y * step}; };
  ASSERT_TRUE(map->CalibrateToView(480, 640, view));
  EXPECT_TRUE(map->visible());
  EXPECT_FALSE(hidden_.Contains("v.png"));
  // 0.8 of 480 is 384 pixels for 400: left 48, top (640 - 192) / 2 = 224.
  EXPECT_NEAR(map->reference1Position().x, lon0 + 48 * step, 1e-12);
  EXPECT_NEAR(map->reference1Position().y, lat0 - 224 * step, 1e-12);
  rovana::GeoPoint left(lat0 - 224 * step, lon0 + 48 * step), right(lat0 - 224 * step, lon0 + 432 * step);
  EXPECT_NEAR(map->widthM(), left.Distance(right), 1e-6);
  EXPECT_FALSE(Exists("v.txt.temp"));
  EXPECT_EQ(Read("v.txt"), "width = 400\nheight = 200\n");  // not written
  EXPECT_FALSE(map->CalibrateToView(480, 640, view));       // only for an uncalibrated map
}

TEST_F(CalibrationTest, InteractiveEditsMoveScaleAndTurnTheMap) {
  auto map = SizedMap("i.png", 400, 300);
  map->Calibrate1Point(0, 0, 10 * kDeg, 50 * kDeg, 4000, 0, true);
  const std::string file = Read("i.txt");
  const MapPoint p{10.01 * kDeg, 49.99 * kDeg};
  const MapPoint pixel = *map->ToPixel(p.x, p.y);

  map->Move(0.001, -0.0005);
  auto moved = map->ToPixel(p.x + 0.001, p.y - 0.0005);
  EXPECT_NEAR(moved->x, pixel.x, 1e-6);
  EXPECT_NEAR(moved->y, pixel.y, 1e-6);

  const MapPoint q{10.02 * kDeg, 49.995 * kDeg};
  const MapPoint qPixel = *map->ToPixel(q.x, q.y), pPixel = *map->ToPixel(p.x, p.y);
  const double width = map->widthM();
  map->Scale(2, q);
  EXPECT_NEAR(map->ToPixel(q.x, q.y)->x, qPixel.x, 1e-6);
  EXPECT_NEAR(map->ToPixel(q.x, q.y)->y, qPixel.y, 1e-6);
  EXPECT_NEAR(map->ToPixel(p.x, p.y)->x - qPixel.x, (pPixel.x - qPixel.x) / 2, 1e-6);
  EXPECT_NEAR(map->widthM(), width * 2, width * 1e-2);  // each pixel covers twice the ground

  // Turned on the screen: a picture pixel shows where the turn takes it.
  matrixT view, zoom, centre, turn, back, there;
  zoom.Scaling(100000, -150000);
  centre.Translation(240, 320);
  there.Translation(-10 * kDeg, -50 * kDeg);
  view = centre * zoom * there;
  back.Translation(-240, -320);
  turn.Rotation(0.1);
  matrixT rotation = centre * turn * back;
  auto before = map->ToPosition(50, 60);
  const auto screenBefore = (rotation * view).Apply(before->x, before->y);
  map->Rotate(view, rotation);
  auto after = map->ToPosition(50, 60);
  const auto screenAfter = view.Apply(after->x, after->y);
  EXPECT_NEAR(screenAfter.x, screenBefore.x, 1e-6);
  EXPECT_NEAR(screenAfter.y, screenBefore.y, 1e-6);
  EXPECT_EQ(Read("i.txt"), file);  // no edit writes
}

TEST_F(CalibrationTest, WithoutASizeOrOutsideTheGridNothingChanges) {
  Write("n.png", "");
  auto unsized = Open("n.png");
  EXPECT_FALSE(unsized->Calibrate1Point(0, 0, 10 * kDeg, 50 * kDeg, 1000, 0, true));
  EXPECT_FALSE(unsized->calibrated());
  EXPECT_FALSE(Exists("n.txt"));
  auto map = SizedMap("o.png", 400, 300);
  EXPECT_FALSE(map->Calibrate1Point(0, 0, 10 * kDeg, 89 * kDeg, 1000, kUtmNorth, true));  // beyond 84 degrees
  EXPECT_FALSE(map->calibrated());
  EXPECT_NE(LogText().find("outside grid 1"), std::string::npos);
}

}  // namespace
