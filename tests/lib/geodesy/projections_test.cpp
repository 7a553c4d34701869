// The Swiss oblique, NZMG, Lambert (two standard parallels and Belgian 1972)
// and oblique stereographic projections against published control points,
// against PROJ's cs2cs as an independent implementation, and by forward then
// inverse round trips over each grid's area of use.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

#include "lib/geodesy/Algorithms.h"

namespace {

using zenolith::Ellipsoid;
using zenolith::GeoCoord;
using zenolith::GridRecord;
using zenolith::PlanePoint;

constexpr double kDegToRad = std::numbers::pi / 180.0;
// Published control points are given to the millimetre (the Belgian one to
// the centimetre).
constexpr double kPublishedMm = 0.001;
constexpr double kPublishedCm = 0.01;
// The NZMG check points give degrees to six decimals, rounded from the
// inverse of the grid coordinates: the inverse must round to them, and the
// forward may miss by the ground size of that rounding (5e-7° is 5.6 cm).
constexpr double kSixDecimalsDeg = 5e-7;
constexpr double kNzmgForwardMetres = 0.06;
// Forward then inverse: 1e-10 rad is 0.6 mm on the ground.
constexpr double kRoundTripRad = 1e-10;
// Agreement with PROJ, forward in metres (cs2cs prints micrometres) and
// inverse in radians.
constexpr double kOracleMetres = 1e-4;
constexpr double kOracleRad = 1e-10;
constexpr int kPointsPerSide = 10;  // 100 points per grid

constexpr Ellipsoid kBessel{6377397.155, 0.006674372230614};
constexpr Ellipsoid kInternational{6378388.0, 0.006722670022};
constexpr Ellipsoid kClarkeIgn{6378249.2, 0.00680348764};
constexpr Ellipsoid kGrs80{6378137.0, 0.006694380023011};

double Dms(double d, double m, double s) { return (d + m / 60.0 + s / 3600.0) * kDegToRad; }

// A grid record from the catalogue's decimal degrees.
GridRecord Grid(std::int16_t algorithm, double fe, double fn, double lon0, double lat0, double k0, double sp1 = 0,
                double sp2 = 0) {
  GridRecord g;
  g.algorithm = algorithm;
  g.falseEasting = fe;
  g.falseNorthing = fn;
  g.longitudeOfOrigin = lon0 * kDegToRad;
  g.latitudeOfOrigin = lat0 * kDegToRad;
  g.scale = k0;
  g.sp1 = sp1 * kDegToRad;
  g.sp2 = sp2 * kDegToRad;
  return g;
}

using Forward = PlanePoint (*)(const GridRecord&, const Ellipsoid&, GeoCoord);
using Inverse = GeoCoord (*)(const GridRecord&, const Ellipsoid&, PlanePoint);

struct Projection {
  Forward forward;
  Inverse inverse;
};

const Projection kSwiss{zenolith::SwissObliqueForward, zenolith::SwissObliqueInverse};
const Projection kNzmg{[](const GridRecord&, const Ellipsoid&, GeoCoord p) { return zenolith::NzmgForward(p); },
                       [](const GridRecord&, const Ellipsoid&, PlanePoint p) { return zenolith::NzmgInverse(p); }};
const Projection kLambert{zenolith::LambertForward, zenolith::LambertInverse};
const Projection kStereo{zenolith::ObliqueStereographicForward, zenolith::ObliqueStereographicInverse};

// One grid of the catalogue with its area of use (degrees) and the same
// projection written for PROJ (without ellipsoid; see ProjEllipsoid).
struct GridCase {
  const char* name;
  Projection projection;
  GridRecord grid;
  Ellipsoid ellipsoid;
  double south, north, west, east;
  std::string proj;
};

std::string ProjEllipsoid(const Ellipsoid& e) {
  char text[96];
  std::snprintf(text, sizeof text, " +a=%.17g +es=%.17g", e.a, e.e2);
  return text;
}

// Code 6 turns θ = n(λ − λ0) by a fixed angle, which is the same as moving
// the central meridian by that angle over n: PROJ's plain lcc then serves.
// n here is Snyder 15-8, computed apart from the code under test.
double BelgianMeridianDeg() {
  const Ellipsoid& el = kInternational;
  const double e = std::sqrt(el.e2);
  auto m = [&](double p) { return std::cos(p) / std::sqrt(1 - el.e2 * std::sin(p) * std::sin(p)); };
  auto t = [&](double p) {
    return std::tan(std::numbers::pi / 4 - p / 2) / std::pow((1 - e * std::sin(p)) / (1 + e * std::sin(p)), e / 2);
  };
  const double p1 = 49.8333333333 * kDegToRad, p2 = 51.1666666667 * kDegToRad;
  const double n = (std::log(m(p1)) - std::log(m(p2))) / (std::log(t(p1)) - std::log(t(p2)));
  return 4.3569397222 + (29.2985 / 3600.0) / n;
}

std::string Lcc(double lat0, double lon0, double sp1, double sp2, double fe, double fn) {
  char text[200];
  std::snprintf(text, sizeof text, "+proj=lcc +lat_0=%.13g +lon_0=%.15g +lat_1=%.13g +lat_2=%.13g +x_0=%.10g +y_0=%.10g",
                lat0, lon0, sp1, sp2, fe, fn);
  return text;
}

std::vector<GridCase> Cases() {
  const double paris = 2.3372291667;
  std::vector<GridCase> c;
  const char* somerc = "+proj=somerc +lat_0=46.9524055556 +lon_0=7.4395833333 +k_0=1";
  c.push_back({"SWISS_GRID", kSwiss, Grid(2, 600000, 200000, 7.4395833333, 46.9524055556, 1), kBessel, 45.8, 47.8,
               5.9, 10.5, std::string(somerc) + " +x_0=600000 +y_0=200000"});
  c.push_back({"SWISS_GRID_LV95", kSwiss, Grid(2, 2600000, 1200000, 7.4395833333, 46.9524055556, 1), kBessel, 45.8,
               47.8, 5.9, 10.5, std::string(somerc) + " +x_0=2600000 +y_0=1200000"});
  c.push_back({"NZMG", kNzmg, Grid(4, 0, 0, 0, 0, 0), kInternational, -47.4, -34.4, 166.4, 178.6,
               "+proj=nzmg +lat_0=-41 +lon_0=173 +x_0=2510000 +y_0=6023150"});
  c.push_back({"BELGIUM_GRID", kLambert,
               Grid(6, 150000.01, 5400088.44, 4.3569397222, 90, 0.9998774, 49.8333333333, 51.1666666667),
               kInternational, 49.5, 51.5, 2.5, 6.4,
               Lcc(90, BelgianMeridianDeg(), 49.8333333333, 51.1666666667, 150000.01, 5400088.44)});
  struct French {
    const char* name;
    double fe, fn, lon0, lat0, sp1, sp2, south, north, west, east;
    Ellipsoid ellipsoid;
  };
  const French french[] = {
      {"FRENCH_GRID_ZONE_1", 600000, 200000, paris, 49.5, 48.5985227778, 50.3959116667, 48.1, 51.1, -4.8, 8.2,
       kClarkeIgn},
      {"FRENCH_GRID_ZONE_2", 600000, 200000, paris, 46.8, 45.8989188889, 47.6960144444, 45.4, 48.2, -4.8, 8.2,
       kClarkeIgn},
      {"FRENCH_GRID_ZONE_3", 600000, 200000, paris, 44.1, 43.1992913889, 44.9960938889, 42.3, 45.5, -1.8, 7.7,
       kClarkeIgn},
      {"FRENCH_GRID_ZONE_4", 234.358, 185861.369, paris, 42.165, 41.5603877778, 42.7676633333, 41.3, 43.1, 8.5, 9.6,
       kClarkeIgn},
      {"FRENCH_GRID_RGF_93", 700000, 6600000, 3, 46.5, 44, 49, 41.3, 51.1, -5.2, 9.6, kGrs80},
      {"FRENCH_GRID_ZONE_2_ETENDU", 600000, 2200000, paris, 46.8, 45.8989188889, 47.6960144444, 42.3, 51.1, -4.8,
       8.2, kClarkeIgn},
      {"FRENCH_GRID_GRAND_CHAMP", 600000, 600000, paris, 47, 45, 49, 42.3, 51.1, -4.8, 8.2, kClarkeIgn},
  };
  for (const French& f : french) {
    c.push_back({f.name, kLambert, Grid(5, f.fe, f.fn, f.lon0, f.lat0, 1, f.sp1, f.sp2), f.ellipsoid, f.south,
                 f.north, f.west, f.east, Lcc(f.lat0, f.lon0, f.sp1, f.sp2, f.fe, f.fn)});
  }
  // Custom grids: one standard parallel (n = sinφ1) and a southern cone
  // (n < 0), which the inverse must bring back to the right meridian.
  c.push_back({"custom tangent Lambert", kLambert, Grid(5, 500000, 300000, 10, 45, 1, 45, 45), kGrs80, 43, 47, 6, 14,
               Lcc(45, 10, 45, 45, 500000, 300000)});
  c.push_back({"custom southern Lambert", kLambert, Grid(5, 500000, 1000000, 145, -37, 1, -36, -38), kGrs80, -39, -35,
               141, 149, Lcc(-37, 145, -36, -38, 500000, 1000000)});
  c.push_back({"DUTCH_GRID", kStereo, Grid(8, 155000, 463000, 5.3876388889, 52.1561605556, 0.9999079), kBessel,
               50.7, 53.6, 3.3, 7.3,
               "+proj=sterea +lat_0=52.1561605556 +lon_0=5.3876388889 +k=0.9999079 +x_0=155000 +y_0=463000"});
  return c;
}

// kPointsPerSide² points spread evenly over the area, edges included.
std::vector<GeoCoord> Spread(const GridCase& g) {
  std::vector<GeoCoord> points;
  for (int i = 0; i < kPointsPerSide; ++i) {
    for (int j = 0; j < kPointsPerSide; ++j) {
      const double fi = static_cast<double>(i) / (kPointsPerSide - 1);
      const double fj = static_cast<double>(j) / (kPointsPerSide - 1);
      points.push_back({(g.south + fi * (g.north - g.south)) * kDegToRad, (g.west + fj * (g.east - g.west)) * kDegToRad});
    }
  }
  return points;
}

const GridCase& Find(const std::vector<GridCase>& cases, const std::string& name) {
  for (const GridCase& g : cases) {
    if (name == g.name) return g;
  }
  ADD_FAILURE() << "no case " << name;
  return cases.front();
}

TEST(Projections, PublishedControlPoints) {
  struct Row {
    const char* grid;
    double lat, lon;  // radians
    double easting, northing, tolerance;
  };
  const Row rows[] = {
      {"SWISS_GRID", Dms(46, 57, 8.66), Dms(7, 26, 22.50), 600000, 200000, kPublishedMm},
      {"DUTCH_GRID", 53 * kDegToRad, 6 * kDegToRad, 196105.283, 557057.739, kPublishedMm},
      {"BELGIUM_GRID", Dms(50, 40, 46.461), Dms(5, 48, 26.533), 251763.20, 153034.13, kPublishedCm},
      {"NZMG", -34.444066 * kDegToRad, 172.739194 * kDegToRad, 2487100.638, 6751049.719, kNzmgForwardMetres},
      {"NZMG", -40.512409 * kDegToRad, 172.723106 * kDegToRad, 2486533.395, 6077263.661, kNzmgForwardMetres},
      {"NZMG", -46.651295 * kDegToRad, 169.172062 * kDegToRad, 2216746.425, 5388508.765, kNzmgForwardMetres},
  };
  const std::vector<GridCase> cases = Cases();
  int failures = 0;
  for (const Row& r : rows) {
    const GridCase& g = Find(cases, r.grid);
    const PlanePoint p = g.projection.forward(g.grid, g.ellipsoid, {r.lat, r.lon});
    const double dE = p.easting - r.easting, dN = p.northing - r.northing;
    std::printf("[ residual ] %-12s dE %+.6f m  dN %+.6f m\n", r.grid, dE, dN);
    if (!(std::fabs(dE) <= r.tolerance && std::fabs(dN) <= r.tolerance)) {
      ++failures;
      ADD_FAILURE() << r.grid << ": got " << p.easting << ", " << p.northing << " (dE " << dE << ", dN " << dN << ")";
    }
    if (r.tolerance != kNzmgForwardMetres) continue;
    const GeoCoord q = zenolith::NzmgInverse({r.easting, r.northing});
    const double dLat = q.latitude / kDegToRad - r.lat / kDegToRad, dLon = q.longitude / kDegToRad - r.lon / kDegToRad;
    std::printf("[ residual ] %-12s inverse dLat %+.2e deg  dLon %+.2e deg\n", r.grid, dLat, dLon);
    if (!(std::fabs(dLat) <= kSixDecimalsDeg && std::fabs(dLon) <= kSixDecimalsDeg)) {
      ++failures;
      ADD_FAILURE() << r.grid << ": inverse gives " << q.latitude / kDegToRad << ", " << q.longitude / kDegToRad;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(Projections, ForwardThenInverseCloses) {
  int failures = 0;
  for (const GridCase& g : Cases()) {
    double worst = 0;
    for (const GeoCoord& q : Spread(g)) {
      const GeoCoord back = g.projection.inverse(g.grid, g.ellipsoid, g.projection.forward(g.grid, g.ellipsoid, q));
      const double d = std::max(std::fabs(back.latitude - q.latitude),
                                std::fabs(back.longitude - q.longitude) * std::cos(q.latitude));
      worst = std::max(worst, std::isnan(d) ? std::numeric_limits<double>::infinity() : d);
    }
    std::printf("[ round trip ] %-26s worst %.2e rad\n", g.name, worst);
    if (!(worst <= kRoundTripRad)) {
      ++failures;
      ADD_FAILURE() << g.name << ": round trip misses by " << worst << " rad";
    }
  }
  EXPECT_EQ(failures, 0);
}

// Projects the points with cs2cs on the same ellipsoid (no datum shift);
// returns false when the program could not be run or answered short.
bool RunCs2cs(const GridCase& g, const std::vector<GeoCoord>& points, std::vector<PlanePoint>* out) {
  char inputName[] = "/tmp/zen_projections_XXXXXX";
  const int fd = mkstemp(inputName);
  if (fd < 0) return false;
  std::string input;
  char line[96];
  for (const GeoCoord& q : points) {
    std::snprintf(line, sizeof line, "%.12f %.12f\n", q.longitude / kDegToRad, q.latitude / kDegToRad);
    input += line;
  }
  const bool written = write(fd, input.data(), input.size()) == static_cast<ssize_t>(input.size());
  close(fd);
  const std::string ellipsoid = ProjEllipsoid(g.ellipsoid);
  const std::string command = "cs2cs -f %.6f +proj=longlat" + ellipsoid + " +to " + g.proj + ellipsoid + " < " +
                              inputName + " 2>/dev/null";
  FILE* pipe = written ? popen(command.c_str(), "r") : nullptr;
  if (pipe) {
    double e = 0, n = 0;
    while (std::fscanf(pipe, "%lf %lf %*[^\n]", &e, &n) == 2) out->push_back({e, n});
    pclose(pipe);
  }
  unlink(inputName);
  return out->size() == points.size();
}

TEST(Projections, AgreeWithProj) {
  if (std::system("command -v cs2cs >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "PROJ's cs2cs is not installed (apt-get install proj-bin); the oracle comparison is skipped";
  }
  int failures = 0;
  for (const GridCase& g : Cases()) {
    const std::vector<GeoCoord> points = Spread(g);
    std::vector<PlanePoint> expected;
    if (!RunCs2cs(g, points, &expected)) {
      ++failures;
      ADD_FAILURE() << g.name << ": cs2cs gave " << expected.size() << " of " << points.size() << " points";
      continue;
    }
    double worstMetres = 0, worstRad = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const PlanePoint p = g.projection.forward(g.grid, g.ellipsoid, points[i]);
      worstMetres = std::max({worstMetres, std::fabs(p.easting - expected[i].easting),
                              std::fabs(p.northing - expected[i].northing)});
      // Our inverse of PROJ's plane point must give back the input.
      const GeoCoord q = g.projection.inverse(g.grid, g.ellipsoid, expected[i]);
      worstRad = std::max({worstRad, std::fabs(q.latitude - points[i].latitude),
                           std::fabs(q.longitude - points[i].longitude) * std::cos(points[i].latitude)});
    }
    std::printf("[ PROJ ] %-26s forward %.2e m  inverse %.2e rad\n", g.name, worstMetres, worstRad);
    if (!(worstMetres <= kOracleMetres && worstRad <= kOracleRad)) {
      ++failures;
      ADD_FAILURE() << g.name << ": differs from PROJ by " << worstMetres << " m / " << worstRad << " rad";
    }
  }
  EXPECT_EQ(failures, 0);
}

// NaN, infinities and absurd magnitudes give some answer (often NaN) and
// return: the iterations are bounded and nothing traps.
TEST(Projections, BadInputReturns) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const GeoCoord geo[] = {{nan, nan}, {inf, -inf}, {1e300, -1e300}, {std::numbers::pi / 2, 0}, {-std::numbers::pi / 2, 0}};
  const PlanePoint plane[] = {{nan, nan}, {inf, -inf}, {1e300, -1e300}, {0, 0}};
  int calls = 0;
  for (const GridCase& g : Cases()) {
    for (const GeoCoord& q : geo) {
      (void)g.projection.forward(g.grid, g.ellipsoid, q);
      ++calls;
    }
    for (const PlanePoint& p : plane) {
      (void)g.projection.inverse(g.grid, g.ellipsoid, p);
      ++calls;
    }
  }
  GridRecord zero;  // an all-zero record
  zero.algorithm = 5;
  (void)zenolith::LambertInverse(zero, kGrs80, {1, 1});
  (void)zenolith::ObliqueStereographicInverse(zero, Ellipsoid{}, {1, 1});
  (void)zenolith::SwissObliqueForward(zero, Ellipsoid{}, {1, 1});
  EXPECT_GT(calls, 0);
}

}  // namespace
