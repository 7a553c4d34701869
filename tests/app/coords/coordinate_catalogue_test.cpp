// The datum and grid catalogues and the zone lists: what the settings pages
// and the zone pickers offer, and the fall-back for identifiers they lack.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/coords/CoordinateCatalogue.h"

namespace {

using namespace rovana;

TEST(CoordinateCatalogue, DatumsAreTheLibrarysOneToTwentySevenWithDescriptions) {
  const auto datums = DatumCatalogue();
  ASSERT_EQ(datums.size(), 27u);
  for (std::size_t i = 0; i < datums.size(); ++i) {
    SCOPED_TRACE(datums[i].name);
    EXPECT_EQ(datums[i].id, static_cast<int>(i) + 1);
    EXPECT_FALSE(datums[i].description.empty());
  }
  EXPECT_EQ(DatumById(3).name, "OSGB_36");
  EXPECT_EQ(DatumById(27).name, "ED_50_DENMARK");
  EXPECT_EQ(DatumById(12).description, "Used in Austria. Aka \"Hermannskugel\".");
}

TEST(CoordinateCatalogue, GridsAreDefaultThenOneToFiftyOneWithoutIrishTm) {
  const auto grids = GridCatalogue();
  ASSERT_EQ(grids.size(), 51u);
  EXPECT_EQ(grids[0].id, kGridDefault);
  EXPECT_EQ(grids[0].name, "Default");
  int expected = 1;
  for (std::size_t i = 1; i < grids.size(); ++i, ++expected) {
    if (expected == 5) ++expected;  // IRISH_TM is not offered
    SCOPED_TRACE(grids[i].name);
    EXPECT_EQ(grids[i].id, expected);
    EXPECT_FALSE(grids[i].description.empty());
  }
  EXPECT_EQ(GridById(48).description, "Denmark mainland.");
  EXPECT_EQ(GridById(51).name, "SWEDISH_GRID_5gonV");
}

TEST(CoordinateCatalogue, ZoneKindsOfTheZonedGrids) {
  struct Case {
    int grid;
    ZoneKind kind;
  } cases[] = {
      {1, ZoneKind::Utm},           {2, ZoneKind::Utm},           {13, ZoneKind::Utm},
      {15, ZoneKind::Utm},          {16, ZoneKind::Utm},          {28, ZoneKind::Utm},
      {32, ZoneKind::Utm},          {33, ZoneKind::Utm},          {47, ZoneKind::Utm},
      {48, ZoneKind::Utm},          {49, ZoneKind::Utm},          {30, ZoneKind::StatePlane27},
      {31, ZoneKind::StatePlane83}, {29, ZoneKind::Dhdn},         {3, ZoneKind::British},
  };
  std::set<int> zoned;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grid);
    EXPECT_EQ(GridById(c.grid).zoneKind, c.kind);
    zoned.insert(c.grid);
  }
  for (const GridEntry& g : GridCatalogue())
    if (!zoned.count(g.id)) EXPECT_EQ(g.zoneKind, ZoneKind::None) << g.name;
}

TEST(CoordinateCatalogue, UnknownIdentifiersFallBackToTheFirstRow) {
  struct Case {
    int id;
    const char* datum;
    const char* grid;
  } cases[] = {{0, "WGS_84", "Default"}, {-1, "WGS_84", "Default"}, {28, "WGS_84", "UTM_ED_50"},
               {5, "RT_90", "Default"},  {52, "WGS_84", "Default"}, {99999, "WGS_84", "Default"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(DatumById(c.id).name, c.datum);
    EXPECT_EQ(GridById(c.id).name, c.grid);
  }
  EXPECT_EQ(GridIndex(5), 0) << "IRISH_TM picks Default";
  EXPECT_EQ(GridIndex(6), 5);
  EXPECT_EQ(DatumIndex(19), 18);
}

TEST(CoordinateCatalogue, StatePlaneZoneList) {
  const auto zones = StatePlaneZones();
  ASSERT_EQ(zones.size(), 123u);
  EXPECT_EQ(StatePlaneZoneLabel(zones[0]), "Alabama East (0101)");
  EXPECT_EQ(StatePlaneZoneLabel(zones[2]), "Alaska Zone 2 (5002)");
  EXPECT_EQ(StatePlaneZoneLabel(zones[36]), "Hawaii Zone 5 (5105)");
  EXPECT_EQ(StatePlaneZoneLabel(zones[122]), "Puerto Rico (5200)");
  EXPECT_EQ(StatePlaneZoneLabel(zones[121]), "Wyoming West (4904)");
  EXPECT_EQ(StatePlaneZoneIndex("5001"), -1) << "Alaska zone 1 is not offered";
  EXPECT_EQ(StatePlaneZoneIndex("1600"), -1);
  EXPECT_EQ(StatePlaneZoneIndex("0405"), 20);
  std::set<std::string_view> codes;
  for (const StatePlaneZone& z : zones) {
    SCOPED_TRACE(z.code);
    EXPECT_EQ(z.code.size(), 4u);
    EXPECT_FALSE(z.name.empty());
    EXPECT_TRUE(codes.insert(z.code).second) << "listed twice";
  }
}

TEST(CoordinateCatalogue, DhdnZonesAreTwoToEight) {
  const auto zones = DhdnZones();
  ASSERT_EQ(zones.size(), 7u);
  EXPECT_EQ(zones.front(), "2");
  EXPECT_EQ(zones.back(), "8");
  EXPECT_EQ(DhdnZoneIndex("1"), -1);
  EXPECT_EQ(DhdnZoneIndex("9"), -1);
  EXPECT_EQ(DhdnZoneIndex("5"), 3);
}

}  // namespace
