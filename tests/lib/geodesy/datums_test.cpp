// Datum catalogue and datum shift: table rows against the published values,
// the no-shift cases bit for bit, round trips, and PROJ's cs2cs as an
// independent oracle for every built-in datum (skipped when cs2cs is absent).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "lib/geodesy/Datums.h"
#include "tests/support/Cs2cs.h"

namespace zenolith {
namespace {

constexpr double kDeg = std::numbers::pi / 180;
// Table values are stored from decimal literals: exact up to rounding.
constexpr double kTableRelative = 1e-15;
// Same ellipsoid family (GRS 1980 against WGS 84) moves a point this little.
constexpr double kEllipsoidOnlyMove = 1e-3;  // metres
// The shift updates X, Y, Z one after the other, each from the components
// already updated, so the rotation also acts on the fresh translation: the
// result differs from the simultaneous (matrix) product by up to about
// rotation x translation (2.3 cm for RT 90), and a round trip misses by as
// much. Bound per datum: twice the summed rotations times the translation,
// plus a millimetre for the geodetic conversions; datums without rotations
// get the millimetre alone.
constexpr double kConversionSlack = 0.001;  // metres
constexpr double kCouplingFactor = 2;
double SequentialBound(const DatumParameters& d) {
  const double rotation = std::abs(d.rx) + std::abs(d.ry) + std::abs(d.rz);
  return kConversionSlack + kCouplingFactor * rotation * std::sqrt(d.dx * d.dx + d.dy * d.dy + d.dz * d.dz);
}
// Metres per radian of latitude, good enough to express small differences.
constexpr double kMetresPerRadian = 6371000;

struct Geodetic {
  double lat, lon, h;
};

// Textbook geodetic to geocentric, independent of the library's code.
void ToGeocentric(const Geodetic& g, double a, double e2, double xyz[3]) {
  const double n = a / std::sqrt(1 - e2 * std::sin(g.lat) * std::sin(g.lat));
  xyz[0] = (n + g.h) * std::cos(g.lat) * std::cos(g.lon);
  xyz[1] = (n + g.h) * std::cos(g.lat) * std::sin(g.lon);
  xyz[2] = (n * (1 - e2) + g.h) * std::sin(g.lat);
}

double Distance(const double p[3], const double q[3]) {
  return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]));
}

// Approximate displacement between two geodetic points, metres.
double Move(const Geodetic& p, const Geodetic& q) {
  const double dn = (p.lat - q.lat) * kMetresPerRadian;
  const double de = (p.lon - q.lon) * kMetresPerRadian * std::cos(p.lat);
  return std::sqrt(dn * dn + de * de + (p.h - q.h) * (p.h - q.h));
}

Geodetic Shift(Geodetic g, std::int16_t from, std::int16_t to) {
  ShiftDatum(&g.lat, &g.lon, &g.h, ParametersOf(from, nullptr), ParametersOf(to, nullptr));
  return g;
}

// Points spread over the globe, with two heights.
std::vector<Geodetic> GlobalPoints() {
  std::vector<Geodetic> points;
  const double lats[] = {-75, -40, -10, 0, 25, 52, 80};
  const double lons[] = {-170, -100, -30, 0, 15, 90, 175};
  int i = 0;
  for (double lat : lats)
    for (double lon : lons) points.push_back({lat * kDeg, lon * kDeg, (i++ % 2) ? 1500.0 : 0.0});
  return points;
}

TEST(DatumTable, RowsMatchThePublishedParameters) {
  ASSERT_EQ(DatumTable().size(), 28u);
  ASSERT_EQ(EllipsoidTable().size(), 37u);
  struct Row {
    std::int16_t id;
    const char* name;
    std::int16_t ellipsoid;
    double dx, rx, rz, ppm;  // metres, arc-seconds, ppm
  };
  const Row rows[] = {
      {1, "WGS_84", 34, 0, 0, 0, 0},
      {3, "OSGB_36", 1, 375, 0, 0, 0},
      {5, "RT_90", 5, 414.1055246174, -0.8551163377, -7.022729829, 0},
      {6, "IRELAND_65", 2, 482.53, -1.042, -0.631, 8.15},
      {13, "NZGD_49", 25, 59.47, 0.47, 1.024, -4.5993},
      {26, "NGO_48", 36, 278.3, 7.889, -6.61, 6.21},
      {27, "ED_50_DENMARK", 25, -81.0703, 0.48488, 0.41321, -0.540645},
  };
  int failures = 0;
  for (const Row& r : rows) {
    const DatumRecord& d = DatumTable()[static_cast<std::size_t>(r.id)];
    const bool ok = DatumName(r.id) == r.name && d.ellipsoid == r.ellipsoid && d.dx == r.dx &&
                    std::abs(d.rx - r.rx * 4.84813681109536e-06) <= kTableRelative * std::abs(d.rx) &&
                    std::abs(d.rz - r.rz * 4.84813681109536e-06) <= kTableRelative * std::abs(d.rz) &&
                    std::abs(d.scale - r.ppm * 1e-6) <= kTableRelative * std::abs(d.scale);
    if (!ok) ++failures;
    EXPECT_TRUE(ok) << r.name;
  }
  // The ellipsoids in use, by their defining figures.
  EXPECT_EQ(EllipsoidTable()[1].a, 6377563.396);
  EXPECT_EQ(EllipsoidTable()[21].e2, 0.006694380023011);
  EXPECT_EQ(EllipsoidTable()[34].e2, 0.006694379990197);
  EXPECT_EQ(EllipsoidTable()[36].a, 6377492.018);
  EXPECT_EQ(DatumTable()[6].scale, 8.15e-06);
  EXPECT_EQ(failures, 0);

  EXPECT_EQ(DatumName(0), "");
  EXPECT_EQ(DatumName(28), "");
  EXPECT_EQ(DatumName(-3), "");
}

TEST(DatumTable, ParametersOfBuiltInCustomAndUnknown) {
  const DatumParameters irl = ParametersOf(6, nullptr);
  EXPECT_EQ(irl.semiMajorAxis, 6377340.189);
  EXPECT_EQ(irl.e2, 0.00667054015);
  EXPECT_EQ(irl.dz, 564.557);
  EXPECT_EQ(irl.ry, DatumTable()[6].ry);
  const DatumParameters custom{6378000, 0.0067, 1, 2, 3, 1e-6, 2e-6, 3e-6, 4e-6};
  EXPECT_EQ(ParametersOf(kCustomDatumId, &custom), custom);
  EXPECT_EQ(ParametersOf(kCustomDatumId, nullptr), DatumParameters{});
  EXPECT_EQ(ParametersOf(0, &custom), DatumParameters{});
  EXPECT_EQ(ParametersOf(29, nullptr), DatumParameters{});
  EXPECT_EQ(ParametersOf(-1, nullptr), DatumParameters{});
  EXPECT_TRUE(IsNad27(20) && IsNad27(23) && !IsNad27(19) && !IsNad27(24));
}

TEST(DatumShift, SameDatumAndIdenticalDatumsLeaveEveryBit) {
  const Geodetic p{0.9123456789012345, -0.1234567890123456, 123.456};
  int failures = 0;
  for (std::int16_t d = 1; d <= kBuiltInDatums; ++d) {
    const Geodetic q = Shift(p, d, d);
    if (q.lat != p.lat || q.lon != p.lon || q.h != p.h) ++failures;
  }
  // ETRS 89, GDA 94, NZGD 2000 and NAD 83 share the ellipsoid and zero parameters.
  for (auto [a, b] : {std::pair<std::int16_t, std::int16_t>{2, 11}, {11, 2}, {2, 14}, {19, 2}}) {
    const Geodetic q = Shift(p, a, b);
    if (q.lat != p.lat || q.lon != p.lon || q.h != p.h) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

TEST(DatumShift, Wgs84AgainstGrs80DatumsMovesUnderAMillimetre) {
  double worst = 0;
  for (const Geodetic& p : GlobalPoints())
    for (std::int16_t d : {2, 11, 14, 19}) {
      worst = std::max(worst, Move(p, Shift(p, 1, d)));
      worst = std::max(worst, Move(p, Shift(p, d, 1)));
    }
  EXPECT_LT(worst, kEllipsoidOnlyMove);
  EXPECT_GT(worst, 0) << "the ellipsoids differ, so something must move";
}

TEST(DatumShift, Osgb36IsAPureTranslation) {
  const DatumParameters osgb = ParametersOf(3, nullptr), wgs = ParametersOf(1, nullptr);
  double worst = 0;
  for (const Geodetic& p : GlobalPoints()) {
    const Geodetic q = Shift(p, 3, 1);
    double from[3], to[3];
    ToGeocentric(p, osgb.semiMajorAxis, osgb.e2, from);
    ToGeocentric(q, wgs.semiMajorAxis, wgs.e2, to);
    const double expected[3] = {from[0] + 375, from[1] - 111, from[2] + 431};
    worst = std::max(worst, Distance(to, expected));
  }
  EXPECT_LT(worst, 1e-6) << "rotations and scale are zero, so k = 1";
}

TEST(DatumShift, RoundTripsThroughEveryDatum) {
  int failures = 0;
  double worst = 0;
  for (std::int16_t d = 2; d <= kBuiltInDatums; ++d) {
    const double bound = SequentialBound(ParametersOf(d, nullptr));
    for (const Geodetic& p : GlobalPoints()) {
      const double miss = Move(p, Shift(Shift(p, 1, d), d, 1));
      worst = std::max(worst, miss);
      if (!(miss < bound)) {
        ++failures;
        ADD_FAILURE() << DatumName(d) << ": " << miss << " m, bound " << bound << " m";
      }
    }
  }
  std::printf("[ round    ] worst round trip %.4f m\n", worst);
  EXPECT_EQ(failures, 0);
}

TEST(DatumShift, BadInputNeitherCrashesNorHangs) {
  const double nan = std::nan("");
  for (Geodetic p : {Geodetic{nan, 0, 0}, Geodetic{0, nan, 0}, Geodetic{0, 0, 1e300}, Geodetic{1e10, -1e10, 0}}) {
    ShiftDatum(&p.lat, &p.lon, &p.h, ParametersOf(26, nullptr), ParametersOf(5, nullptr));
    SUCCEED();
  }
  // A degenerate custom datum (no ellipsoid) must not loop for ever either.
  const DatumParameters zero{}, odd{0, 2.0, 1, 1, 1, 0, 0, 0, 0};
  Geodetic p{0.5, 0.5, 10};
  ShiftDatum(&p.lat, &p.lon, &p.h, zero, odd);
  ShiftDatum(nullptr, &p.lon, &p.h, zero, odd);
}

// ---- PROJ's cs2cs as an oracle ------------------------------------------

using testing_support::HaveCs2cs;

std::vector<std::string> RunCs2cs(const std::string& args, const std::string& input) {
  return testing_support::RunCs2cs(args, input, "%.12f");
}

std::string Format(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

// The datum as a PROJ definition; rotations back to arc-seconds and the
// scale to ppm. PROJ's +towgs84 uses the position-vector convention, as the
// library does (a sign slip in either would show as metres here).
std::string ProjDatum(const char* projection, std::int16_t d) {
  const DatumParameters p = ParametersOf(d, nullptr);
  return std::string("+proj=") + projection + " +a=" + Format(p.semiMajorAxis) + " +es=" + Format(p.e2) +
         " +towgs84=" + Format(p.dx) + "," + Format(p.dy) + "," + Format(p.dz) + "," +
         Format(p.rx * kRadiansToArcSeconds) + "," + Format(p.ry * kRadiansToArcSeconds) + "," +
         Format(p.rz * kRadiansToArcSeconds) + "," + Format(p.scale * 1e6) + " +no_defs";
}

constexpr const char* kProjWgs84Geocentric = "+proj=geocent +datum=WGS84 +no_defs";

class DatumAgainstProj : public testing::TestWithParam<std::int16_t> {};

// Both directions, compared in geocentric terms on the target datum's
// ellipsoid. PROJ reads geodetic input and answers geocentric for the shift
// to WGS 84, and reads geocentric input and answers geodetic for the shift
// from it (it ignores +towgs84 on a geocentric target).
TEST_P(DatumAgainstProj, BothDirectionsAgree) {
  if (!HaveCs2cs()) GTEST_SKIP() << "cs2cs (PROJ) is not on PATH: apt-get install -y proj-bin";
  const std::int16_t d = GetParam();
  const DatumParameters dp = ParametersOf(d, nullptr), wgs = ParametersOf(1, nullptr);
  const std::vector<Geodetic> points = GlobalPoints();

  std::string geodetic, geocentric;  // degrees and metres; metres
  for (const Geodetic& p : points) {
    geodetic += Format(p.lon / kDeg) + " " + Format(p.lat / kDeg) + " " + Format(p.h) + "\n";
    double xyz[3];
    ToGeocentric(p, wgs.semiMajorAxis, wgs.e2, xyz);
    geocentric += Format(xyz[0]) + " " + Format(xyz[1]) + " " + Format(xyz[2]) + "\n";
  }
  const std::vector<std::string> toWgs =
      RunCs2cs(ProjDatum("longlat", d) + " +to " + kProjWgs84Geocentric, geodetic);
  const std::vector<std::string> fromWgs =
      RunCs2cs(std::string(kProjWgs84Geocentric) + " +to " + ProjDatum("longlat", d), geocentric);
  ASSERT_EQ(toWgs.size(), points.size());
  ASSERT_EQ(fromWgs.size(), points.size());

  const double bound = SequentialBound(dp);
  int failures = 0;
  double worst = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    double proj[3], ours[3];
    std::istringstream(toWgs[i]) >> proj[0] >> proj[1] >> proj[2];
    ToGeocentric(Shift(points[i], d, 1), wgs.semiMajorAxis, wgs.e2, ours);
    const double there = Distance(proj, ours);
    Geodetic answer{};
    std::istringstream(fromWgs[i]) >> answer.lon >> answer.lat >> answer.h;
    answer.lon *= kDeg;
    answer.lat *= kDeg;
    ToGeocentric(answer, dp.semiMajorAxis, dp.e2, proj);
    ToGeocentric(Shift(points[i], 1, d), dp.semiMajorAxis, dp.e2, ours);
    const double back = Distance(proj, ours);
    worst = std::max({worst, there, back});
    if (!(there < bound && back < bound)) ++failures;
  }
  EXPECT_EQ(failures, 0) << DatumName(d) << " worst " << worst << " m, bound " << bound << " m";
  std::printf("[ cs2cs    ] %-16s largest difference %.4f m (bound %.4f m)\n", std::string(DatumName(d)).c_str(),
              worst, bound);
  RecordProperty("worst_m", std::to_string(worst));
}

INSTANTIATE_TEST_SUITE_P(EveryDatum, DatumAgainstProj, testing::Range<std::int16_t>(2, kBuiltInDatums + 1),
                         [](const testing::TestParamInfo<std::int16_t>& param) {
                           return std::string(DatumName(param.param));
                         });

}  // namespace
}  // namespace zenolith
