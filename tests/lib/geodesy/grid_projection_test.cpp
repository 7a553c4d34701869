// The projection driver: zone rules, datum handling, failures and round
// trips through every kind of grid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>

#include "lib/geodesy/Algorithms.h"
#include "lib/geodesy/Datums.h"
#include "lib/geodesy/GridProjection.h"
#include "lib/geodesy/Grids.h"

namespace zenolith {
namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr double kMetresPerRadian = 6371000;
// Plane coordinates that must agree to the last few bits of a metre value.
constexpr double kPlaneExact = 1e-6;  // metres
// A round trip without datum shifts, or one near Greenwich on the British
// grid (the case a user meets most).
constexpr double kRoundTrip = 0.001;  // metres
// A round trip through a datum with translations only. The inverse feeds the
// position's own altitude into the shift back as the height on the grid
// datum, some 50 m off, which moves the point by about a millimetre, and
// Snyder's footpoint series adds up to 0.8 mm.
constexpr double kShiftRoundTrip = 0.003;  // metres
// Snyder's series 6 degrees off the meridian (a forced neighbour zone).
constexpr double kSixDegreesOffMeridian = 0.1;  // metres
// A round trip through a datum with rotations: the sequential shift is not
// its own exact inverse (rotation x translation, up to about 2.3 cm).
constexpr double kRotatingDatumRoundTrip = 0.03;  // metres
// The Danish conversions are published polynomials that invert each other to
// a few centimetres at most.
constexpr double kDanishRoundTrip = 0.05;  // metres
// 52 N 9 E on UTM zone 32 (WGS 84), as PROJ gives it.
constexpr double kNorthing52N = 5761038.2126;
constexpr double kPublishedPoint = 0.001;  // metres

constexpr const char* kGridNotSet = "Grid not set!";
constexpr const char* kZoneRequired = "Zone must be specified for this grid";
constexpr const char* kUnknownAlgorithm = "Unknown algorithm for grid projection";
constexpr const char* kOutsideGrid = "Position outside grid";

enum : std::int16_t {
  kWgs84 = 1, kOsgb36 = 3, kDhdnDatum = 18, kNad83 = 19, kNad27Alaska = 20, kNad27East = 21, kNad27Conus = 22,
  kNad27West = 23, kEd50Denmark = 27,
};
enum : std::int16_t {
  kUtmNorth = 1, kUtmSouth = 2, kBritishGrid = 3, kUtmNad27 = 32, kSystem45 = 49,
};

GeodeticRecord At(double latDeg, double lonDeg, std::int16_t datum, std::int16_t grid, std::int16_t zone = 0,
                  std::int16_t forcedZone = 0) {
  GeodeticRecord r;
  r.latitude = latDeg * kDeg;
  r.longitude = lonDeg * kDeg;
  r.datum = datum;
  r.grid = grid;
  r.zone = zone;
  r.forcedZone = forcedZone;
  return r;
}

GeodeticRecord Forward(GeodeticRecord r) {
  const Outcome outcome = ProjectForward(r);
  EXPECT_TRUE(outcome) << (outcome.error ? outcome.error : "");
  return r;
}

bool SameText(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

// Distance between the geodetic points of two records, metres.
double GeoMiss(const GeodeticRecord& a, const GeodeticRecord& b) {
  return std::hypot(a.latitude - b.latitude, (a.longitude - b.longitude) * std::cos(a.latitude)) * kMetresPerRadian;
}

TEST(GridProjection, UtmZoneFromTheLongitude) {
  const GeodeticRecord r = Forward(At(52, 9, kWgs84, kUtmNorth));
  EXPECT_EQ(r.zone, 32);
  EXPECT_NEAR(r.easting, 500000, kPlaneExact) << "on the central meridian";
  EXPECT_NEAR(r.northing, kNorthing52N, kPublishedPoint);

  struct Case {
    double longitude;
    std::int16_t zone;
  };
  const Case cases[] = {
      {-6, 29}, {-6.0000001, 29}, {-5.9999999, 30}, {-0.0000001, 30}, {0, 31},
      {5.9999999, 31}, {6, 32}, {-179.9999, 1}, {179.9999, 60}, {-177, 1}, {177, 60},
  };
  int failures = 0;
  for (const Case& c : cases) {
    const GeodeticRecord p = Forward(At(40, c.longitude, kWgs84, kUtmNorth));
    if (p.zone != c.zone) {
      ++failures;
      ADD_FAILURE() << c.longitude << " gave zone " << p.zone << ", expected " << c.zone;
    }
  }
  EXPECT_EQ(failures, 0);

  // -6 degrees is zone 29's east edge, as far east of its meridian (-9) as
  // zone 30's west edge is west of its own (-3).
  const GeodeticRecord east = Forward(At(40, -6, kWgs84, kUtmNorth));
  const GeodeticRecord west = Forward(At(40, -6, kWgs84, kUtmNorth, 30, 30));
  EXPECT_GT(east.easting, 500000);
  EXPECT_NEAR(east.easting - 500000, 500000 - west.easting, kPlaneExact);
  EXPECT_NEAR(east.northing, west.northing, kPlaneExact);
}

TEST(GridProjection, UtmSouthIsUtmNorthPlusTenThousandKilometres) {
  int failures = 0;
  for (double lat : {-60.0, -20.0, 0.0, 45.0}) {
    const GeodeticRecord n = Forward(At(lat, 17.3, kWgs84, kUtmNorth));
    const GeodeticRecord s = Forward(At(lat, 17.3, kWgs84, kUtmSouth));
    if (s.zone != n.zone || s.easting != n.easting || std::abs(s.northing - n.northing - 1e7) > kPlaneExact)
      ++failures;
    if (lat > 0 && !(s.northing > 1e7)) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

TEST(GridProjection, ForcedUtmZoneProjectsOnThatZonesMeridian) {
  GeodeticRecord r = At(52, 9, kWgs84, kUtmNorth, 31, 31);
  ASSERT_TRUE(ProjectForward(r));
  EXPECT_EQ(r.zone, 31) << "a forced zone is not recomputed";
  // Zone 31's meridian is 3 E: the point lies 6 degrees east of it.
  GridRecord zone31 = GridTable()[kUtmNorth];
  const DatumParameters wgs = ParametersOf(kWgs84, nullptr);
  const PlanePoint expected =
      TransverseMercatorForward(zone31, {wgs.semiMajorAxis, wgs.e2}, {52 * kDeg, (3 + 6) * kDeg});
  EXPECT_NEAR(r.easting, expected.easting, kPlaneExact);
  EXPECT_NEAR(r.northing, expected.northing, kPlaneExact);
  EXPECT_GT(r.easting, 800000);
  // And back with the same zone.
  GeodeticRecord back = r;
  back.latitude = back.longitude = 0;
  ASSERT_TRUE(ProjectInverse(back));
  EXPECT_LT(GeoMiss(back, At(52, 9, kWgs84, kUtmNorth)), kSixDegreesOffMeridian);
}

TEST(GridProjection, DhdnThreeDegreeStrips) {
  GeodeticRecord r = Forward(At(50, 10, kDhdnDatum, kGridDhdn));
  EXPECT_EQ(r.zone, 3);
  // The strip's meridian is 9 E; the easting carries no zone prefix.
  const GridRecord strip3{kDhdnDatum, 3, 500000, 0, 9 * kDeg, 0, 1, 0, 0, 0};
  const DatumParameters bessel = ParametersOf(kDhdnDatum, nullptr);
  const PlanePoint expected = TransverseMercatorForward(strip3, {bessel.semiMajorAxis, bessel.e2}, {50 * kDeg, 10 * kDeg});
  EXPECT_NEAR(r.easting, expected.easting, kPlaneExact);
  EXPECT_NEAR(r.northing, expected.northing, kPlaneExact);
  EXPECT_GT(r.easting, 500000);
  EXPECT_LT(r.easting, 600000);

  const GeodeticRecord forced = Forward(At(50, 10, kDhdnDatum, kGridDhdn, 4, 4));
  EXPECT_EQ(forced.zone, 4);
  EXPECT_LT(forced.easting, 500000) << "west of strip 4's meridian at 12 E";

  // Inverse: the strip's meridian comes back from the zone.
  GeodeticRecord back = At(0, 0, kDhdnDatum, kGridDhdn, 3);
  back.easting = 500000;
  back.northing = r.northing;
  ASSERT_TRUE(ProjectInverse(back));
  EXPECT_NEAR(back.longitude, 9 * kDeg, 1e-12);
}

TEST(GridProjection, StatePlaneZones) {
  // Alabama East at its origin gives the false origin of each table.
  struct Case {
    std::int16_t grid, zone, datum;
    double lat, lon, easting, northing;
  };
  const Case cases[] = {
      {kGridSpcs83, 101, kNad83, 30.5, -85.8333333333, 200000, 0},
      {kGridSpcs27, 101, kNad27East, 30.5, -85.8333333333, 152400.3048, 0},
      {kGridSpcs83, 4203, kNad83, 29.6666666667, -100.3333333333, 700000, 3000000},
  };
  int failures = 0;
  for (const Case& c : cases) {
    GeodeticRecord r = At(c.lat, c.lon, c.datum, c.grid, c.zone);
    const Outcome outcome = ProjectForward(r);
    if (!outcome || std::abs(r.easting - c.easting) > 1e-3 || std::abs(r.northing - c.northing) > 1e-3) {
      ++failures;
      ADD_FAILURE() << c.grid << "/" << c.zone << ": " << (outcome.error ? outcome.error : "") << " " << r.easting
                    << ", " << r.northing;
    }
  }
  EXPECT_EQ(failures, 0);

  for (std::int16_t zone : {std::int16_t{4207}, std::int16_t{0}, std::int16_t{-1}}) {
    GeodeticRecord r = At(31, -100, kNad83, kGridSpcs83, zone);
    r.easting = 123;
    r.northing = 456;
    const GeodeticRecord before = r;
    EXPECT_TRUE(SameText(ProjectForward(r).error, kZoneRequired)) << zone;
    EXPECT_TRUE(SameText(ProjectInverse(r).error, kZoneRequired)) << zone;
    EXPECT_EQ(std::memcmp(&r.easting, &before.easting, sizeof r.easting), 0);
    EXPECT_EQ(r.latitude, before.latitude);
    EXPECT_EQ(r.northing, before.northing);
  }
  GeodeticRecord absent27 = At(31, -100, kNad27West, kGridSpcs27, 4207);
  EXPECT_TRUE(SameText(ProjectForward(absent27).error, kZoneRequired));
}

TEST(GridProjection, Nad27FamilyIsNotShifted) {
  const GeodeticRecord conus = Forward(At(40, -100, kNad27Conus, kUtmNad27));
  int failures = 0;
  for (std::int16_t datum : {kNad27Alaska, kNad27East, kNad27West}) {
    const GeodeticRecord other = Forward(At(40, -100, datum, kUtmNad27));
    if (other.easting != conus.easting || other.northing != conus.northing) ++failures;
    // and the way back lands on the same latitude and longitude
    GeodeticRecord back = other;
    back.latitude = back.longitude = 0;
    ASSERT_TRUE(ProjectInverse(back));
    if (GeoMiss(back, other) > kRoundTrip) ++failures;
  }
  EXPECT_EQ(failures, 0);
  const GeodeticRecord wgs = Forward(At(40, -100, kWgs84, kUtmNad27));
  EXPECT_GT(std::hypot(wgs.easting - conus.easting, wgs.northing - conus.northing), 10) << "WGS 84 is shifted";
}

TEST(GridProjection, FailuresLeaveTheRecordAlone) {
  CustomGridParameters custom;
  struct Case {
    const char* what;
    std::int16_t grid;
    std::int16_t algorithm;  // for the custom grid; -100: no custom grid attached
    const char* message;
  };
  const Case cases[] = {
      {"grid 0", 0, 3, kGridNotSet},
      {"algorithm 7", kCustomGridId, 7, kUnknownAlgorithm},
      {"algorithm 0", kCustomGridId, 0, kUnknownAlgorithm},
      {"algorithm 12", kCustomGridId, 12, kUnknownAlgorithm},
      {"algorithm -1", kCustomGridId, -1, kUnknownAlgorithm},
      {"no custom grid", kCustomGridId, -100, kUnknownAlgorithm},
      {"grid 53", 53, 3, kUnknownAlgorithm},
      {"grid -2", -2, 3, kUnknownAlgorithm},
  };
  int failures = 0;
  for (const Case& c : cases) {
    custom.algorithm = c.algorithm;
    GeodeticRecord r = At(47.1, 8.2, kWgs84, c.grid, 5);
    r.customGrid = c.algorithm == -100 ? nullptr : &custom;
    r.easting = 1234.5;
    r.northing = 6789.25;
    const GeodeticRecord before = r;
    const char* forward = ProjectForward(r).error;
    const char* inverse = ProjectInverse(r).error;
    const bool same = r.latitude == before.latitude && r.longitude == before.longitude &&
                      r.easting == before.easting && r.northing == before.northing && r.zone == before.zone &&
                      r.altitude == before.altitude && r.datum == before.datum;
    if (!SameText(forward, c.message) || !SameText(inverse, c.message) || !same) {
      ++failures;
      ADD_FAILURE() << c.what << ": " << (forward ? forward : "ok") << " / " << (inverse ? inverse : "ok");
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(GridProjection, CustomGridMatchesTheBuiltInOne) {
  const GridRecord& british = GridTable()[kBritishGrid];
  const DatumParameters osgb = ParametersOf(kOsgb36, nullptr);
  CustomGridParameters custom;
  custom.datum = kOsgb36;
  custom.algorithm = british.algorithm;
  custom.falseEasting = british.falseEasting;
  custom.falseNorthing = british.falseNorthing;
  custom.longitudeOfOrigin = british.longitudeOfOrigin;
  custom.latitudeOfOrigin = british.latitudeOfOrigin;
  custom.scale = british.scale;
  CustomGridParameters viaCustomDatum = custom;
  viaCustomDatum.datum = kCustomDatumId;
  viaCustomDatum.customDatum = &osgb;

  const GeodeticRecord builtIn = Forward(At(54.5, -3.1, kWgs84, kBritishGrid));
  int failures = 0;
  for (const CustomGridParameters* grid : {&custom, &viaCustomDatum}) {
    GeodeticRecord r = At(54.5, -3.1, kWgs84, kCustomGridId);
    r.customGrid = grid;
    ASSERT_TRUE(ProjectForward(r));
    if (r.easting != builtIn.easting || r.northing != builtIn.northing) ++failures;
    GeodeticRecord back = r;
    back.latitude = back.longitude = 0;
    ASSERT_TRUE(ProjectInverse(back));
    if (GeoMiss(back, r) > kRoundTrip) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

TEST(GridProjection, CustomGridEquality) {
  const DatumParameters d1{6378137, 0.0066943, 1, 2, 3, 0, 0, 0, 0};
  const DatumParameters d1Copy = d1;
  const DatumParameters d2{6378137, 0.0066943, 1, 2, 4, 0, 0, 0, 0};
  CustomGridParameters a;
  a.customDatum = &d1;
  CustomGridParameters b = a;
  EXPECT_TRUE(a.SameAs(b));
  b.customDatum = &d1Copy;
  EXPECT_TRUE(a.SameAs(b)) << "custom datums compare by value";
  b.customDatum = &d2;
  EXPECT_FALSE(a.SameAs(b));
  b.customDatum = nullptr;
  EXPECT_FALSE(a.SameAs(b)) << "a missing datum reads as all zero";

  // Outside datum 28 the custom datums do not matter.
  a.datum = b.datum = 5;
  EXPECT_TRUE(a.SameAs(b));
  int failures = 0;
  for (int field = 0; field < 9; ++field) {
    CustomGridParameters c = a;
    switch (field) {
      case 0: c.datum = 6; break;
      case 1: c.algorithm = 5; break;
      case 2: c.falseEasting = 1; break;
      case 3: c.falseNorthing = 1; break;
      case 4: c.longitudeOfOrigin = 1; break;
      case 5: c.latitudeOfOrigin = 1; break;
      case 6: c.scale = 0.9996; break;
      case 7: c.sp1 = 1; break;
      default: c.sp2 = 1; break;
    }
    if (a.SameAs(c) || c.SameAs(a)) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

// Forward and back through the driver from WGS 84, for grids of every kind.
TEST(GridProjection, RoundTripsWithDatumShifts) {
  struct Case {
    std::int16_t grid, zone;
    double lat, lon;
  };
  const Case cases[] = {
      {1, 0, 52, 9},            {2, 0, -33.9, 18.4},        {3, 0, 51.5, -0.13},       {3, 0, 57.5, -4.2},
      {4, 0, 53.3, -6.3},       {5, 0, 53.3, -6.3},         {6, 0, 59.33, 18.07},      {7, 0, 46.95, 7.44},
      {8, 0, 46.2, 6.15},       {9, 0, 60.2, 21.5},         {12, 0, 65, 29.5},         {13, 0, 48.1, 11.6},
      {14, 0, 49.6, 6.13},      {15, 0, -33.9, 151.2},      {16, 0, -31.95, 115.86},   {17, 0, 47.27, 11.4},
      {18, 0, 48.2, 13.5},      {19, 0, 48.2, 16.37},       {20, 0, -41.29, 174.78},   {21, 0, -41.29, 174.78},
      {22, 0, 50.85, 4.35},     {23, 0, 49.9, 2.3},         {24, 0, 46.8, 2.34},       {25, 0, 43.6, 1.44},
      {26, 0, 42.0, 9.0},       {27, 0, 48.85, 2.35},       {28, 0, 40.4, -3.7},       {29, 0, 50.1, 8.7},
      {31, 101, 32.4, -86.3},   {32, 0, 40, -100},          {33, 0, 40, -100},         {34, 0, 52.37, 4.9},
      {35, 0, 45.46, 9.19},     {36, 0, 41.9, 12.5},        {37, 0, 58.97, 5.73},      {40, 0, 64, 13.5},
      {44, 0, 70.07, 29.7},     {45, 0, 46.8, 2.34},        {46, 0, 47.5, 2.0},        {47, 0, 55.7, 9.5},
      {50, 0, 58.41, 15.62},    {51, 0, 56, 13.5},
  };
  int failures = 0;
  double worst = 0, worstNoRotation = 0;
  for (const Case& c : cases) {
    GeodeticRecord r = At(c.lat, c.lon, kWgs84, c.grid, c.zone);
    r.altitude = 120;
    Outcome outcome = ProjectForward(r);
    GeodeticRecord back = r;
    back.latitude = back.longitude = 0;
    if (outcome) outcome = ProjectInverse(back);
    const GridRecord& g = c.grid == kGridSpcs83 ? *FindStatePlaneZone(c.grid, c.zone) : GridTable()[c.grid];
    const DatumParameters p = ParametersOf(g.datum, nullptr);
    const bool rotating = p.rx != 0 || p.ry != 0 || p.rz != 0;
    const double miss = outcome ? GeoMiss(r, back) : INFINITY;
    (rotating ? worst : worstNoRotation) = std::max(rotating ? worst : worstNoRotation, miss);
    const double tolerance = rotating ? kRotatingDatumRoundTrip : kShiftRoundTrip;
    if (!outcome || !(miss < tolerance) || back.altitude != r.altitude) {
      ++failures;
      ADD_FAILURE() << GridName(c.grid) << ": " << (outcome.error ? outcome.error : "") << " " << miss << " m";
    }
  }
  std::printf("[ round    ] worst %.5f m through rotating datums, %.5f m otherwise\n", worst, worstNoRotation);
  EXPECT_EQ(failures, 0);
}

TEST(GridProjection, Wgs84OnTheBritishGridAndBack) {
  GeodeticRecord r = At(51.5, -0.13, kWgs84, kBritishGrid);
  ASSERT_TRUE(ProjectForward(r));
  EXPECT_NEAR(r.easting, 530000, 2000) << "London";
  EXPECT_NEAR(r.northing, 180000, 2000);
  EXPECT_EQ(r.latitude, 51.5 * kDeg) << "the position's own values are left alone";
  EXPECT_EQ(r.datum, kWgs84);
  EXPECT_EQ(r.altitude, 0);
  GeodeticRecord back = r;
  back.latitude = back.longitude = 0;
  ASSERT_TRUE(ProjectInverse(back));
  EXPECT_LT(GeoMiss(back, r), kRoundTrip);
  EXPECT_EQ(back.datum, kWgs84);
}

TEST(GridProjection, DanishSystems) {
  struct Case {
    const char* what;
    std::int16_t grid, zone;
    double lat, lon;
  };
  const Case cases[] = {
      {"System 34 Jutland", kGridSystem34, 1, 56.15, 9.55},
      {"System 34 Zealand", kGridSystem34, 2, 55.6, 12.0},
      {"System 45 Bornholm", kSystem45, 0, 55.12, 14.92},
  };
  int failures = 0;
  for (const Case& c : cases) {
    GeodeticRecord r = At(c.lat, c.lon, kEd50Denmark, c.grid, c.zone);
    const Outcome outcome = ProjectForward(r);
    GeodeticRecord back = r;
    back.latitude = back.longitude = 0;
    const Outcome inverse = outcome ? ProjectInverse(back) : outcome;
    const double miss = inverse ? GeoMiss(r, back) : INFINITY;
    if (!inverse || !(miss < kDanishRoundTrip) || r.zone != c.zone) {
      ++failures;
      ADD_FAILURE() << c.what << ": " << (inverse.error ? inverse.error : "") << " " << miss << " m";
    }
  }
  EXPECT_EQ(failures, 0);

  // Zone 2 selects Zealand (as algorithm 11 does regardless of zone); any
  // other zone Jutland.
  CustomGridParameters zealand;
  zealand.datum = kEd50Denmark;
  zealand.algorithm = 11;
  GeodeticRecord viaCustom = At(55.6, 12.0, kEd50Denmark, kCustomGridId, 1);
  viaCustom.customGrid = &zealand;
  const bool customOk = static_cast<bool>(ProjectForward(viaCustom));
  const GeodeticRecord zone2 = Forward(At(55.6, 12.0, kEd50Denmark, kGridSystem34, 2));
  EXPECT_TRUE(customOk);
  EXPECT_EQ(viaCustom.easting, zone2.easting);
  EXPECT_EQ(viaCustom.northing, zone2.northing);
  GeodeticRecord zone0 = At(56.15, 9.55, kEd50Denmark, kGridSystem34, 0);
  GeodeticRecord zone1 = At(56.15, 9.55, kEd50Denmark, kGridSystem34, 1);
  ASSERT_TRUE(ProjectForward(zone0));
  ASSERT_TRUE(ProjectForward(zone1));
  EXPECT_EQ(zone0.easting, zone1.easting);
  EXPECT_EQ(zone0.northing, zone1.northing);

  // Far from Denmark the region conversion refuses, and nothing changes.
  GeodeticRecord paris = At(48.85, 2.35, kWgs84, kSystem45);
  paris.easting = 1;
  paris.northing = 2;
  EXPECT_TRUE(SameText(ProjectForward(paris).error, kOutsideGrid));
  EXPECT_EQ(paris.easting, 1);
  EXPECT_EQ(paris.northing, 2);
  GeodeticRecord nowhere = At(0.5, 0.25, kWgs84, kGridSystem34, 1);
  nowhere.easting = -5e6;
  nowhere.northing = 9e7;
  EXPECT_TRUE(SameText(ProjectInverse(nowhere).error, kOutsideGrid));
  EXPECT_EQ(nowhere.latitude, 0.5 * kDeg);
  EXPECT_EQ(nowhere.longitude, 0.25 * kDeg);
}

TEST(GridProjection, BadInputNeitherCrashesNorHangs) {
  const double nan = std::nan("");
  for (std::int16_t grid = 0; grid <= kCustomGridId; ++grid)
    for (double value : {nan, 1e300, -1e300}) {
      GeodeticRecord r = At(0, 0, kWgs84, grid, grid == kGridSpcs27 || grid == kGridSpcs83 ? 101 : 2);
      r.latitude = r.longitude = r.easting = r.northing = value;
      (void)ProjectForward(r);
      (void)ProjectInverse(r);
    }
  SUCCEED();
}


}  // namespace
}  // namespace zenolith
