// The built-in grid catalogue and the zone rules. The State Plane zone tables
// live in StatePlane.cpp.
#include "lib/geodesy/Grids.h"

#include <array>
#include <numbers>

namespace zenolith {
namespace {

// The catalogue is written in decimal degrees, as the grids are published;
// the records keep radians.
constexpr double Deg(double degrees) { return degrees * std::numbers::pi / 180.0; }

// datum, algorithm, false easting, false northing, longitude of origin,
// latitude of origin (degrees), scale, first and second standard parallel (degrees).
constexpr GridRecord Grid(std::int16_t datum, std::int16_t algorithm, double falseEasting, double falseNorthing,
                          double lon0, double lat0, double scale, double sp1 = 0, double sp2 = 0) {
  return GridRecord{datum, algorithm, falseEasting, falseNorthing, Deg(lon0), Deg(lat0), scale, Deg(sp1), Deg(sp2), 0};
}

// Datum identifiers used below (see Datums.cpp).
enum : std::int16_t {
  kWgs84 = 1, kEtrs89 = 2, kOsgb36 = 3, kCh1903Plus = 4, kRt90 = 5, kIreland65 = 6, kFinlandHayford = 7,
  kLuref = 8, kAgd84 = 10, kGda94 = 11, kMgi = 12, kNzgd49 = 13, kNzgd2000 = 14, kNtf = 15, kBd72 = 16,
  kEd50 = 17, kDhdnRauenberg = 18, kNad83 = 19, kNad27Conus = 22, kAmersfoort = 24, kRome40 = 25,
  kNgo48 = 26, kEd50Denmark = 27,
};

// Algorithm codes (see GridRecord.h).
enum : std::int16_t { kTm = 3, kSwiss = 2, kNzmg = 4, kLcc = 5, kLccBelgium = 6, kStereo = 8, kSys34 = 9, kSys45 = 10 };

// The UTM records put their origin at 3 degrees: the zone rule first reduces
// the longitude to the offset from the zone's west edge. DHDN likewise at 0.
// The State Plane grids (30, 31) have no parameters of their own: their zone
// records carry them.
constexpr std::array<GridRecord, 52> kGrids = {{
    GridRecord{},
    Grid(kWgs84, kTm, 500000, 0, 3, 0, 0.9996),                                         // 1 UTM_NORTH
    Grid(kWgs84, kTm, 500000, 10000000, 3, 0, 0.9996),                                  // 2 UTM_SOUTH
    Grid(kOsgb36, kTm, 400000, -100000, -2, 49, 0.9996012717),                          // 3 BRITISH_GRID
    Grid(kIreland65, kTm, 200000, 250000, -8, 53.5, 1.000035),                          // 4 IRISH_GRID
    Grid(kEtrs89, kTm, 600000, 750000, -8, 53.5, 0.99982),                              // 5 IRISH_TM
    Grid(kRt90, kTm, 1500000, 0, 15.8082777778, 0, 1),                                  // 6 SWEDISH_GRID
    Grid(kCh1903Plus, kSwiss, 600000, 200000, 7.4395833333, 46.9524055556, 1),          // 7 SWISS_GRID
    Grid(kCh1903Plus, kSwiss, 2600000, 1200000, 7.4395833333, 46.9524055556, 1),        // 8 SWISS_GRID_LV95
    Grid(kFinlandHayford, kTm, 1500000, 0, 21, 0, 1),                                   // 9 FINNISH_GRID_ZONE_1
    Grid(kFinlandHayford, kTm, 2500000, 0, 24, 0, 1),                                   // 10 FINNISH_GRID_ZONE_2
    Grid(kFinlandHayford, kTm, 3500000, 0, 27, 0, 1),                                   // 11 FINNISH_GRID_ZONE_3
    Grid(kFinlandHayford, kTm, 4500000, 0, 30, 0, 1),                                   // 12 FINNISH_GRID_ZONE_4
    Grid(kEtrs89, kTm, 500000, 0, 3, 0, 0.9996),                                        // 13 UTM_ETRS_89
    Grid(kLuref, kTm, 80000, 100000, 6.1666666667, 49.8333333333, 1),                   // 14 LUXEMBOURG_GRID
    Grid(kAgd84, kTm, 500000, 10000000, 3, 0, 0.9996),                                  // 15 UTM_AMG_84
    Grid(kGda94, kTm, 500000, 10000000, 3, 0, 0.9996),                                  // 16 UTM_MGA_94
    Grid(kMgi, kTm, 150000, -5000000, 10.3333333333, 0, 1),                             // 17 AUSTRIAN_GRID_M28
    Grid(kMgi, kTm, 450000, -5000000, 13.3333333333, 0, 1),                             // 18 AUSTRIAN_GRID_M31
    Grid(kMgi, kTm, 750000, -5000000, 16.3333333333, 0, 1),                             // 19 AUSTRIAN_GRID_M34
    Grid(kNzgd2000, kTm, 1600000, 10000000, 173, 0, 0.9996),                            // 20 NZTM
    Grid(kNzgd49, kNzmg, 0, 0, 0, 0, 0),                                                // 21 NZMG
    Grid(kBd72, kLccBelgium, 150000.01, 5400088.44, 4.3569397222, 90, 0.9998774, 49.8333333333,
         51.1666666667),                                                                // 22 BELGIUM_GRID
    Grid(kNtf, kLcc, 600000, 200000, 2.3372291667, 49.5, 1, 48.5985227778, 50.3959116667),   // 23 FRENCH_GRID_ZONE_1
    Grid(kNtf, kLcc, 600000, 200000, 2.3372291667, 46.8, 1, 45.8989188889, 47.6960144444),   // 24 FRENCH_GRID_ZONE_2
    Grid(kNtf, kLcc, 600000, 200000, 2.3372291667, 44.1, 1, 43.1992913889, 44.9960938889),   // 25 FRENCH_GRID_ZONE_3
    Grid(kNtf, kLcc, 234.358, 185861.369, 2.3372291667, 42.165, 1, 41.5603877778,
         42.7676633333),                                                                // 26 FRENCH_GRID_ZONE_4
    Grid(kEtrs89, kLcc, 700000, 6600000, 3, 46.5, 1, 44, 49),                           // 27 FRENCH_GRID_RGF_93
    Grid(kEd50, kTm, 500000, 0, 3, 0, 0.9996),                                          // 28 UTM_ED_50
    Grid(kDhdnRauenberg, kTm, 500000, 0, 0, 0, 1),                                      // 29 DHDN
    GridRecord{},                                                                       // 30 SPCS_27 (datum per zone)
    GridRecord{kNad83, 0, 0, 0, 0, 0, 0, 0, 0, 0},                                      // 31 SPCS_83
    Grid(kNad27Conus, kTm, 500000, 0, 3, 0, 0.9996),                                    // 32 UTM_NAD_27
    Grid(kNad83, kTm, 500000, 0, 3, 0, 0.9996),                                         // 33 UTM_NAD_83
    Grid(kAmersfoort, kStereo, 155000, 463000, 5.3876388889, 52.1561605556, 0.9999079), // 34 DUTCH_GRID
    Grid(kRome40, kTm, 1500000, 0, 9, 0, 0.9996),                                       // 35 ITALIAN_GRID_ZONE_1
    Grid(kRome40, kTm, 2520000, 0, 15, 0, 0.9996),                                      // 36 ITALIAN_GRID_ZONE_2
    Grid(kNgo48, kTm, 0, 0, 6.05625, 58, 1),                                            // 37 NORWEGIAN_GRID_ZONE_1
    Grid(kNgo48, kTm, 0, 0, 8.3895833333, 58, 1),                                       // 38 NORWEGIAN_GRID_ZONE_2
    Grid(kNgo48, kTm, 0, 0, 10.7229166667, 58, 1),                                      // 39 NORWEGIAN_GRID_ZONE_3
    Grid(kNgo48, kTm, 0, 0, 13.2229166667, 58, 1),                                      // 40 NORWEGIAN_GRID_ZONE_4
    Grid(kNgo48, kTm, 0, 0, 16.8895833333, 58, 1),                                      // 41 NORWEGIAN_GRID_ZONE_5
    Grid(kNgo48, kTm, 0, 0, 20.8895833333, 58, 1),                                      // 42 NORWEGIAN_GRID_ZONE_6
    Grid(kNgo48, kTm, 0, 0, 24.8895833333, 58, 1),                                      // 43 NORWEGIAN_GRID_ZONE_7
    Grid(kNgo48, kTm, 0, 0, 29.05625, 58, 1),                                           // 44 NORWEGIAN_GRID_ZONE_8
    Grid(kNtf, kLcc, 600000, 2200000, 2.3372291667, 46.8, 1, 45.8989188889,
         47.6960144444),                                                                // 45 FRENCH_GRID_ZONE_2_ETENDU
    Grid(kNtf, kLcc, 600000, 600000, 2.3372291667, 47, 1, 45, 49),                      // 46 FRENCH_GRID_GRAND_CHAMP
    Grid(kEd50Denmark, kTm, 500000, 0, 3, 0, 0.9996),                                   // 47 UTM_ED_50_DENMARK
    Grid(kEd50Denmark, kSys34, 0, 0, 0, 0, 0),                                          // 48 SYSTEM_34
    Grid(kEd50Denmark, kSys45, 0, 0, 0, 0, 0),                                          // 49 SYSTEM_45
    Grid(kEtrs89, kTm, 118467.6688, -6366206.3789, 15.80316, 0, 1.00000496),            // 50 SWEDEN_LINKOPING
    Grid(kRt90, kTm, 1500000, 0, 13.5582777778, 0, 1),                                  // 51 SWEDISH_GRID_5gonV
}};

constexpr std::array<std::string_view, 52> kGridNames = {
    "",
    "UTM_NORTH",
    "UTM_SOUTH",
    "BRITISH_GRID",
    "IRISH_GRID",
    "IRISH_TM",
    "SWEDISH_GRID",
    "SWISS_GRID",
    "SWISS_GRID_LV95",
    "FINNISH_GRID_ZONE_1",
    "FINNISH_GRID_ZONE_2",
    "FINNISH_GRID_ZONE_3",
    "FINNISH_GRID_ZONE_4",
    "UTM_ETRS_89",
    "LUXEMBOURG_GRID",
    "UTM_AMG_84",
    "UTM_MGA_94",
    "AUSTRIAN_GRID_M28",
    "AUSTRIAN_GRID_M31",
    "AUSTRIAN_GRID_M34",
    "NZTM",
    "NZMG",
    "BELGIUM_GRID",
    "FRENCH_GRID_ZONE_1",
    "FRENCH_GRID_ZONE_2",
    "FRENCH_GRID_ZONE_3",
    "FRENCH_GRID_ZONE_4",
    "FRENCH_GRID_RGF_93",
    "UTM_ED_50",
    "DHDN",
    "SPCS_27",
    "SPCS_83",
    "UTM_NAD_27",
    "UTM_NAD_83",
    "DUTCH_GRID",
    "ITALIAN_GRID_ZONE_1",
    "ITALIAN_GRID_ZONE_2",
    "NORWEGIAN_GRID_ZONE_1",
    "NORWEGIAN_GRID_ZONE_2",
    "NORWEGIAN_GRID_ZONE_3",
    "NORWEGIAN_GRID_ZONE_4",
    "NORWEGIAN_GRID_ZONE_5",
    "NORWEGIAN_GRID_ZONE_6",
    "NORWEGIAN_GRID_ZONE_7",
    "NORWEGIAN_GRID_ZONE_8",
    "FRENCH_GRID_ZONE_2_ETENDU",
    "FRENCH_GRID_GRAND_CHAMP",
    "UTM_ED_50_DENMARK",
    "SYSTEM_34",
    "SYSTEM_45",
    "SWEDEN_LINKOPING",
    "SWEDISH_GRID_5gonV",
};

constexpr std::int16_t kUtmZones = 60;
constexpr std::int16_t kDhdnZones = 10;
constexpr std::int16_t kSystem34Zealand = 2;

}  // namespace

std::span<const GridRecord> GridTable() { return kGrids; }

std::string_view GridName(std::int16_t grid) {
  if (grid < 1 || grid > kBuiltInGrids) return {};
  return kGridNames[static_cast<std::size_t>(grid)];
}

bool IsUtmGrid(std::int16_t grid) {
  switch (grid) {
    case 1: case 2: case 13: case 15: case 16: case 28: case 32: case 33: case kGridUtmEd50Denmark:
      return true;
    default:
      return false;
  }
}

bool HasZones(std::int16_t grid) {
  return IsUtmGrid(grid) || grid == kGridDhdn || grid == kGridSpcs27 || grid == kGridSpcs83 || grid == kGridSystem34;
}

bool IsValidZone(std::int16_t grid, std::int16_t zone) {
  if (IsUtmGrid(grid)) return zone >= 1 && zone <= kUtmZones;
  if (grid == kGridDhdn) return zone >= 1 && zone <= kDhdnZones;
  if (grid == kGridSpcs27 || grid == kGridSpcs83) return FindStatePlaneZone(grid, zone) != nullptr;
  if (grid == kGridSystem34) return zone == 1 || zone == kSystem34Zealand;
  return false;
}

}  // namespace zenolith
