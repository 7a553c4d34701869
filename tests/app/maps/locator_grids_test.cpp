// The map calibration's grid conversions through the component library:
// positions go to a grid and back unchanged, UTM zones come out as numbers,
// and a map aligned to a grid is calibrated through it.
#include <gtest/gtest.h>

#include <cmath>

#include "app/maps/LocatorGrids.h"
#include "platform/com/Runtime.h"
#include "tests/support/TempHome.h"

namespace {

using namespace rovana;

constexpr double kRad = 3.14159265358979323846 / 180;

class LocatorGridsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(com::RegisterServer(ZEN_LIBRARY_PATH), com::S_OK); }
  void TearDown() override { com::CoFreeUnusedLibraries(); }
  testing_support::TempHome home_;
};

TEST_F(LocatorGridsTest, PositionsGoToAGridAndBack) {
  Locator locator(*home_.settings, *home_.language);
  ASSERT_TRUE(locator.HasPositionObject());
  maps::LocatorGrids grids(locator);
  EXPECT_TRUE(grids.HasGrid(0));
  EXPECT_TRUE(grids.HasGrid(29));
  struct Case {
    const char* what;
    int grid;
    double latitude, longitude;  // degrees
    int zone;
  } cases[] = {
      {"UTM north, Hamburg", 1, 53.5586, 10.0151, 32},
      {"UTM south, Sydney", 2, -33.86, 151.21, 56},
      {"British grid, London", 3, 51.5, -0.12, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto grid = grids.ToGrid(c.latitude * kRad, c.longitude * kRad, c.grid);
    ASSERT_TRUE(grid.has_value()) << locator.lastError();
    EXPECT_EQ(grid->zone, c.zone);
    EXPECT_GT(grid->easting, 0);
    const auto back = grids.FromGrid(grid->northing, grid->easting, c.grid, grid->zone);
    ASSERT_TRUE(back.has_value()) << locator.lastError();
    EXPECT_NEAR(back->latitude, c.latitude * kRad, 1e-9);
    EXPECT_NEAR(back->longitude, c.longitude * kRad, 1e-9);
  }
  // Easting on UTM north at Hamburg grows eastwards by about the distance.
  const auto west = grids.ToGrid(53.5586 * kRad, 10.0 * kRad, 1);
  const auto east = grids.ToGrid(53.5586 * kRad, 10.01 * kRad, 1);
  ASSERT_TRUE(west && east);
  EXPECT_NEAR(east->easting - west->easting, 0.01 * kRad * 6378137 * std::cos(53.5586 * kRad), 2);
}

}  // namespace
