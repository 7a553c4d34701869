// Lambert conformal conic with two standard parallels on the ellipsoid
// (Snyder, USGS Professional Paper 1395, formulas 15-1 to 15-11 and 14-15
// to 14-16), and the Belgian 1972 variant (EPSG method 9803), which puts the
// cone's apex at the false origin (ρ0 = 0) and turns the grid by 29.2985″.
// The grid record's scale factor is not used: the standard parallels fix the
// scale.
#include <cmath>
#include <numbers>

#include "lib/geodesy/Algorithms.h"

namespace zenolith {
namespace {

constexpr double kQuarterPi = std::numbers::pi / 4.0;
constexpr double kHalfPi = std::numbers::pi / 2.0;
constexpr std::int16_t kBelgian1972 = 6;
// The Belgian 1972 grid is turned by 29.2985 arc-seconds about the apex.
constexpr double kBelgianRotation = 0.0001420431363598774;
// Latitude iteration of the inverse: the error shrinks by roughly e² a
// round, so ten rounds from the first standard parallel reach double
// precision for any point of a grid's area.
constexpr int kMaxLatitudeRounds = 10;

// m(φ) = cosφ / √(1 − e²sin²φ), Snyder 14-15.
double M(double e2, double phi) {
  const double s = std::sin(phi);
  return std::cos(phi) / std::sqrt(1.0 - e2 * s * s);
}

// t(φ) = tan(π/4 − φ/2) / ((1 − e·sinφ)/(1 + e·sinφ))^(e/2), Snyder 15-9.
double T(double e, double phi) {
  const double es = e * std::sin(phi);
  return std::tan(kQuarterPi - phi / 2.0) / std::pow((1.0 - es) / (1.0 + es), e / 2.0);
}

// The constants of the cone for one grid and ellipsoid.
struct Cone {
  double e = 0;
  double n = 0;     // cone constant
  double aF = 0;    // a·F, metres
  double rho0 = 0;  // radius of the latitude of origin, metres
  double rotation = 0;
};

Cone MakeCone(const GridRecord& grid, const Ellipsoid& ellipsoid) {
  Cone c;
  c.e = std::sqrt(ellipsoid.e2);
  const double m1 = M(ellipsoid.e2, grid.sp1);
  const double t1 = T(c.e, grid.sp1);
  if (grid.sp1 == grid.sp2) {
    // One standard parallel: 15-8 becomes 0/0 and its limit is sinφ1.
    c.n = std::sin(grid.sp1);
  } else {
    c.n = (std::log(m1) - std::log(M(ellipsoid.e2, grid.sp2))) / (std::log(t1) - std::log(T(c.e, grid.sp2)));
  }
  c.aF = ellipsoid.a * m1 / (c.n * std::pow(t1, c.n));
  if (grid.algorithm == kBelgian1972) {
    c.rho0 = 0.0;
    c.rotation = kBelgianRotation;
  } else {
    c.rho0 = c.aF * std::pow(T(c.e, grid.latitudeOfOrigin), c.n);
  }
  return c;
}

}  // namespace

PlanePoint LambertForward(const GridRecord& grid, const Ellipsoid& ellipsoid, GeoCoord point) {
  const Cone c = MakeCone(grid, ellipsoid);
  const double rho = c.aF * std::pow(T(c.e, point.latitude), c.n);
  const double theta = c.n * (point.longitude - grid.longitudeOfOrigin) - c.rotation;
  PlanePoint out;
  out.easting = rho * std::sin(theta) + grid.falseEasting;
  out.northing = c.rho0 + grid.falseNorthing - rho * std::cos(theta);
  return out;
}

GeoCoord LambertInverse(const GridRecord& grid, const Ellipsoid& ellipsoid, PlanePoint point) {
  const Cone c = MakeCone(grid, ellipsoid);
  double x = point.easting - grid.falseEasting;
  double y = c.rho0 - (point.northing - grid.falseNorthing);
  double rho = std::hypot(x, y);
  if (c.n < 0) {
    // A cone opening to the north (southern grids): ρ, and the vector whose
    // angle is θ, change sign (Snyder 14-10 and 14-11).
    rho = -rho;
    x = -x;
    y = -y;
  }
  const double t = std::pow(rho / c.aF, 1.0 / c.n);
  const double theta = std::atan2(x, y) + c.rotation;

  GeoCoord out;
  out.longitude = theta / c.n + grid.longitudeOfOrigin;
  double phi = grid.sp1;
  for (int round = 0; round < kMaxLatitudeRounds; ++round) {
    const double es = c.e * std::sin(phi);
    const double next = kHalfPi - 2.0 * std::atan(t * std::pow((1.0 - es) / (1.0 + es), c.e / 2.0));
    if (next == phi) break;
    phi = next;
  }
  out.latitude = phi;
  return out;
}

}  // namespace zenolith
