// The Danish region conversions: values against an independent evaluation of
// the published polynomials (PROJ's "horner" operation), the published centre
// values, round-trip closure, the boundary tests in both coordinate systems,
// the 40 mm round-trip rule and refusal of bad input.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>

#include "lib/geodesy/DanishRegionData.h"
#include "lib/geodesy/DanishRegions.h"

namespace {

using zenolith::ConvertDanishRegion;
using zenolith::kRegionBornholm;
using zenolith::kRegionJutland;
using zenolith::kRegionZealand;

constexpr int kForward = 1;
constexpr int kInverse = -1;

// PROJ prints its results to 1 µm; both sides evaluate the same polynomial
// in double precision, so they agree to the last printed digit.
constexpr double kOracleTolerance = 2e-6;
// At the centre the polynomial is its first coefficient, whatever the rest.
constexpr double kCentreTolerance = 1e-9;
// Forward then back on land: the published coefficients are rounded to about
// 0.05 mm, which sets the floor of the closure there.
constexpr double kLandClosure = 1e-4;
// The converter's own acceptance limit for a round trip.
constexpr double kRoundTripLimit = 0.040;

struct Point {
  double first;
  double second;
};

int Convert(int region, int direction, Point& p) { return ConvertDanishRegion(region, direction, &p.first, &p.second); }

bool SameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

std::string Name(int region, int direction) {
  return "region " + std::to_string(region) + " direction " + std::to_string(direction);
}

// Output of PROJ 9.1 `cct +proj=horner` given the coefficients of
// danish_regions.txt (fwd_u/inv_u = `east`, fwd_v/inv_v = `north`, origins
// east_centre,north_centre). Inputs are towns (zone 32 positions from
// cs2cs EPSG:4326 to EPSG:23032, rounded to the metre) and points inside the
// regional systems.
struct OracleCase {
  const char* name;
  int region;
  int direction;
  Point in;
  Point out;
};

constexpr OracleCase kOracle[] = {
    {"Aarhus", kRegionJutland, kForward, {6225069, 574848}, {192542.780689, 220646.700645}},
    {"Aalborg", kRegionJutland, kForward, {6323403, 555998}, {291265.090293, 237529.731926}},
    {"Esbjerg", kRegionJutland, kForward, {6148157, 465910}, {117794.353070, 331136.318359}},
    {"Skagen", kRegionJutland, kForward, {6398948, 594427}, {366046.671668, 197579.194246}},
    {"Odense", kRegionJutland, kForward, {6140828, 588884}, {108012.867998, 208291.134169}},
    {"Sonderborg", kRegionJutland, kForward, {6085203, 550877}, {53138.682813, 247409.760773}},
    {"S34 Jutland a", kRegionJutland, kInverse, {192543, 220647}, {6225069.213177, 574847.696416}},
    {"S34 Jutland b", kRegionJutland, kInverse, {53139, 247410}, {6085203.312226, 550876.754589}},
    {"S34 Jutland c", kRegionJutland, kInverse, {366047, 197579}, {6398948.332037, 594427.187551}},
    {"S34 Jutland d", kRegionJutland, kInverse, {250000, 300000}, {6280908.803301, 494388.189584}},
    {"Copenhagen", kRegionZealand, kForward, {6176010, 724434}, {140516.201375, 72048.918700}},
    {"Roskilde", kRegionZealand, kForward, {6170756, 694404}, {135856.664106, 102172.454698}},
    {"Helsingor", kRegionZealand, kForward, {6216195, 725188}, {180669.906503, 70498.317404}},
    {"Naestved", kRegionZealand, kForward, {6124057, 675657}, {89536.384612, 121831.626709}},
    {"Nykobing F", kRegionZealand, kForward, {6073092, 684968}, {38401.403164, 113511.866794}},
    {"S34 Zealand a", kRegionZealand, kInverse, {140516, 72049}, {6176009.796968, 724433.922683}},
    {"S34 Zealand b", kRegionZealand, kInverse, {38402, 113512}, {6073092.594141, 684967.855302}},
    {"S34 Zealand c", kRegionZealand, kInverse, {100000, 150000}, {6133967.486007, 647291.246061}},
    {"Ronne", kRegionBornholm, kForward, {6121041, 863993}, {48745.932813, 61674.089208}},
    {"Nexo", kRegionBornholm, kForward, {6118622, 890572}, {44099.717841, 35429.231909}},
    {"Allinge", kRegionBornholm, kForward, {6141443, 867657}, {68740.629442, 56306.849549}},
    {"S45 a", kRegionBornholm, kInverse, {48746, 61674}, {6121041.074590, 863993.083329}},
    {"S45 b", kRegionBornholm, kInverse, {68741, 56307}, {6141443.356981, 867656.818544}},
};

TEST(DanishRegions, AgreesWithProjHornerEvaluation) {
  for (const OracleCase& c : kOracle) {
    Point p = c.in;
    ASSERT_EQ(Convert(c.region, c.direction, p), 0) << c.name;
    EXPECT_NEAR(p.first, c.out.first, kOracleTolerance) << c.name;
    EXPECT_NEAR(p.second, c.out.second, kOracleTolerance) << c.name;
  }
}

// Centres and first coefficients typed from danish_regions.txt, so a fault
// in the generator or in the choice of polynomial per region shows here.
struct CentreCase {
  const char* polynomial;
  int region;
  int direction;
  Point centre;
  Point firstCoefficients;
};

constexpr CentreCase kCentres[] = {
    {"C_ttj", kRegionJutland, kForward, {6208030.167965, 533649.794619}, {176325.2943, 262190.50871}},
    {"C_jtt", kRegionJutland, kInverse, {176325.080506, 262188.742761}, {6208029.9895, 533651.56389}},
    {"C_tts", kRegionZealand, kForward, {6142519.77241, 680161.119096}, {107907.33557, 116967.18747}},
    {"C_stt", kRegionZealand, kInverse, {107905.132295, 116964.303712}, {6142517.626, 680164.04556}},
    {"C_ttb", kRegionBornholm, kForward, {6125305.175366, 878354.943082}, {51779.004699, 47022.495967}},
    {"C_btt", kRegionBornholm, kInverse, {51779.260103, 47022.563745}, {6125305.4245, 878354.85387}},
};

TEST(DanishRegions, CentreGivesFirstCoefficients) {
  for (const CentreCase& c : kCentres) {
    Point p = c.centre;
    ASSERT_EQ(Convert(c.region, c.direction, p), 0) << c.polynomial;
    EXPECT_NEAR(p.first, c.firstCoefficients.first, kCentreTolerance) << c.polynomial;
    EXPECT_NEAR(p.second, c.firstCoefficients.second, kCentreTolerance) << c.polynomial;
  }
}

// The generated boundaries keep the published vertex order, first
// coordinate then second (a swapped copy would also fail every test above).
TEST(DanishRegions, GeneratedBoundariesKeepThePublishedOrder) {
  namespace d = zenolith::danish_data;
  struct Boundary {
    const char* name;
    const d::Polygon& polygon;
    std::size_t vertices;
    Point first;
  };
  const Boundary boundaries[] = {{"P_tcj", d::kP_tcj, 8, {6080000.0, 460000.0}},
                                 {"P_s34j", d::kP_s34j, 8, {49741.6, 338404.7}},
                                 {"P_tcs", d::kP_tcs, 8, {6300000.0, 670000.0}},
                                 {"P_s34s", d::kP_s34s, 8, {265558.8, 123989.1}},
                                 {"P_tcbo", d::kP_tcbo, 4, {6150000.0, 894000.0}},
                                 {"P_s45b", d::kP_s45b, 4, {76000.0, 26000.0}}};
  for (const Boundary& b : boundaries) {
    ASSERT_EQ(b.polygon.vertices.size(), b.vertices) << b.name;
    EXPECT_EQ(b.polygon.vertices[0].north, b.first.first) << b.name;
    EXPECT_EQ(b.polygon.vertices[0].east, b.first.second) << b.name;
  }
}

// Forward then back (or back then forward) for every point of a square grid
// within `radius` of a centre; all must be accepted both ways and close.
struct ClosureDisc {
  int region;
  int direction;
  Point centre;
  double radius;
  double spacing;
};

// The discs stay over land and near water, where the closure is at its floor;
// towards the far corners of the boundary polygons it grows to several mm.
constexpr ClosureDisc kDiscs[] = {
    {kRegionJutland, kForward, {6208030, 533650}, 90000, 5000},
    {kRegionJutland, kInverse, {176325, 262189}, 90000, 5000},
    {kRegionZealand, kForward, {6142520, 680161}, 50000, 2500},
    {kRegionZealand, kInverse, {107905, 116964}, 50000, 2500},
    {kRegionBornholm, kForward, {6125305, 878355}, 12000, 1000},
    {kRegionBornholm, kInverse, {51779, 47023}, 12000, 1000},
};

TEST(DanishRegions, RoundTripClosesWellUnderATenthOfAMillimetre) {
  for (const ClosureDisc& disc : kDiscs) {
    int points = 0;
    int refused = 0;
    int open = 0;
    double worst = 0;
    const int steps = static_cast<int>(disc.radius / disc.spacing);
    for (int i = -steps; i <= steps; ++i) {
      for (int j = -steps; j <= steps; ++j) {
        if (std::hypot(i, j) * disc.spacing > disc.radius) continue;
        ++points;
        const Point start{disc.centre.first + i * disc.spacing, disc.centre.second + j * disc.spacing};
        Point p = start;
        if (Convert(disc.region, disc.direction, p) != 0 || Convert(disc.region, -disc.direction, p) != 0) {
          ++refused;
          continue;
        }
        const double closure = std::hypot(p.first - start.first, p.second - start.second);
        worst = std::fmax(worst, closure);
        if (!(closure < kLandClosure)) ++open;
      }
    }
    EXPECT_GT(points, 300) << Name(disc.region, disc.direction);
    EXPECT_EQ(refused, 0) << Name(disc.region, disc.direction);
    EXPECT_EQ(open, 0) << Name(disc.region, disc.direction) << ", worst " << worst * 1e3 << " mm";
  }
}

TEST(DanishRegions, TownsCloseWellUnderATenthOfAMillimetre) {
  for (const OracleCase& c : kOracle) {
    Point p = c.in;
    ASSERT_EQ(Convert(c.region, c.direction, p), 0) << c.name;
    ASSERT_EQ(Convert(c.region, -c.direction, p), 0) << c.name;
    EXPECT_LT(std::hypot(p.first - c.in.first, p.second - c.in.second), kLandClosure) << c.name;
  }
}

// Where the boundary test decides: named points on either side of it, in
// both systems. "box" marks points outside the box, "polygon" points inside
// the box but outside the boundary polygon, which only the polygon catches.
struct InsideCase {
  const char* name;
  int region;
  int direction;
  Point in;
  bool accepted;
};

constexpr InsideCase kInside[] = {
    {"Jutland centre", kRegionJutland, kForward, {6208030.167965, 533649.794619}, true},
    {"Copenhagen", kRegionZealand, kForward, {6176000, 724000}, true},
    {"Ronne", kRegionBornholm, kForward, {6121041, 863993}, true},
    {"Odense lies in both System 34 regions", kRegionZealand, kForward, {6140828, 588884}, true},
    {"Copenhagen given to Jutland (box)", kRegionJutland, kForward, {6176000, 724000}, false},
    {"Copenhagen given to Bornholm (box)", kRegionBornholm, kForward, {6176000, 724000}, false},
    {"Aarhus given to Zealand (polygon)", kRegionZealand, kForward, {6225069, 574848}, false},
    {"Ronne given to Zealand (box)", kRegionZealand, kForward, {6121041, 863993}, false},
    {"North Sea (polygon)", kRegionJutland, kForward, {6300000, 350000}, false},
    {"Skagerrak north of Skagen (polygon)", kRegionJutland, kForward, {6450000, 600000}, false},
    {"Baltic south of Bornholm (polygon)", kRegionBornholm, kForward, {6107000, 870000}, false},
    {"Aarhus with easting and northing swapped (box)", kRegionJutland, kForward, {574848, 6225069}, false},
    // The straight edges E = 435 000 (Jutland) and E = 580 000 (Zealand).
    {"just east of Jutland's west edge", kRegionJutland, kForward, {6200000, 435100}, true},
    {"just west of Jutland's west edge (polygon)", kRegionJutland, kForward, {6200000, 434900}, false},
    {"just east of Zealand's west edge", kRegionZealand, kForward, {6150000, 580100}, true},
    {"just west of Zealand's west edge (polygon)", kRegionZealand, kForward, {6150000, 579900}, false},
    // In the regional systems.
    {"S34 Jutland south of the boundary (polygon)", kRegionJutland, kInverse, {-20000, 200000}, false},
    {"S34 Zealand corner (polygon)", kRegionZealand, kInverse, {-40000, 40000}, false},
    {"S34 Zealand point given to Jutland (box)", kRegionJutland, kInverse, {140516, 72049}, false},
    {"S45 inside the north edge", kRegionBornholm, kInverse, {75999, 50000}, true},
    {"S45 outside the north edge (polygon)", kRegionBornholm, kInverse, {76001, 50000}, false},
    {"S45 outside the east edge (polygon)", kRegionBornholm, kInverse, {50000, 25999}, false},
    {"S45 far corner (polygon)", kRegionBornholm, kInverse, {100000, 100000}, false},
    {"zone 32 position given as S45 (box)", kRegionBornholm, kInverse, {6121041, 863993}, false},
};

TEST(DanishRegions, BoundaryDecidesAndRefusalsLeaveTheInputAlone) {
  for (const InsideCase& c : kInside) {
    Point p = c.in;
    const int result = Convert(c.region, c.direction, p);
    if (c.accepted) {
      EXPECT_EQ(result, 0) << c.name;
    } else {
      EXPECT_NE(result, 0) << c.name;
      EXPECT_TRUE(SameBits(p.first, c.in.first) && SameBits(p.second, c.in.second)) << c.name;
    }
  }
}

// Near the north-west corner of the Zealand boundary the two polynomials drift
// apart. PROJ's horner evaluation gives the same misses: (6 259 900,
// 580 100) returns 38.0 mm east and 28.0 mm south of itself, 47.2 mm in all;
// (6 258 000, 581 000) returns 27.9 mm away. The limit applies to the
// distance, so the first is refused although each component is within 40 mm.
struct RoundTripCase {
  const char* name;
  int direction;
  Point in;
  bool accepted;
};

constexpr RoundTripCase kRoundTrips[] = {
    {"zone 32, 47.2 mm", kForward, {6259900, 580100}, false},
    {"zone 32, 27.9 mm", kForward, {6258000, 581000}, true},
    {"System 34, 43.3 mm", kInverse, {227000, 214500}, false},
    {"System 34, 28.3 mm", kInverse, {225000, 214000}, true},
};

TEST(DanishRegions, RoundTripBeyondFortyMillimetresIsRefused) {
  for (const RoundTripCase& c : kRoundTrips) {
    Point p = c.in;
    const int result = Convert(kRegionZealand, c.direction, p);
    if (!c.accepted) {
      EXPECT_NE(result, 0) << c.name;
      EXPECT_TRUE(SameBits(p.first, c.in.first) && SameBits(p.second, c.in.second)) << c.name;
      continue;
    }
    ASSERT_EQ(result, 0) << c.name;
    // Accepted near the limit: the closure really is that large.
    ASSERT_EQ(Convert(kRegionZealand, -c.direction, p), 0) << c.name;
    const double closure = std::hypot(p.first - c.in.first, p.second - c.in.second);
    EXPECT_GT(closure, 0.020) << c.name;
    EXPECT_LE(closure, kRoundTripLimit) << c.name;
  }
}

TEST(DanishRegions, NonFiniteAndHugeInputIsRefusedUntouched) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kHuge = std::numeric_limits<double>::max();
  const int regions[] = {kRegionJutland, kRegionZealand, kRegionBornholm};
  // A valid partner coordinate for each region and direction (its centre).
  for (const CentreCase& c : kCentres) {
    for (double bad : {kNaN, -kNaN, kInf, -kInf, kHuge, -kHuge}) {
      for (int slot = 0; slot < 3; ++slot) {
        const Point in{slot == 1 ? c.centre.first : bad, slot == 0 ? c.centre.second : bad};
        Point p = in;
        EXPECT_NE(Convert(c.region, c.direction, p), 0) << c.polynomial << " slot " << slot << " value " << bad;
        EXPECT_TRUE(SameBits(p.first, in.first) && SameBits(p.second, in.second)) << c.polynomial;
      }
    }
  }
  double value = 6208030.0;
  for (int region : regions) {
    EXPECT_NE(ConvertDanishRegion(region, kForward, nullptr, &value), 0);
    EXPECT_NE(ConvertDanishRegion(region, kForward, &value, nullptr), 0);
  }
}

TEST(DanishRegions, UnknownRegionOrDirectionIsRefused) {
  const Point centre{6208030.167965, 533649.794619};  // valid for Jutland forward
  for (int region : {0, 1, 2, 97, 99, 105, 107, 114, 116, -106, 32}) {
    Point p = centre;
    EXPECT_NE(Convert(region, kForward, p), 0) << region;
    EXPECT_TRUE(SameBits(p.first, centre.first) && SameBits(p.second, centre.second)) << region;
  }
  for (int direction : {0, 2, -2, 32, 106}) {
    Point p = centre;
    EXPECT_NE(Convert(kRegionJutland, direction, p), 0) << direction;
    EXPECT_TRUE(SameBits(p.first, centre.first) && SameBits(p.second, centre.second)) << direction;
  }
}

}  // namespace
