// Swiss oblique conformal cylindrical projection (swisstopo's "double
// projection"): the ellipsoid is mapped conformally onto a sphere of radius R
// that touches it at the origin, the sphere is rotated so that the origin lies
// on its equator, and the rotated sphere is projected by an equatorial
// Mercator projection. The grid record's scale factor is not used.
#include <cmath>
#include <numbers>

#include "lib/geodesy/Algorithms.h"

namespace zenolith {
namespace {

constexpr double kQuarterPi = std::numbers::pi / 4.0;
constexpr double kHalfPi = std::numbers::pi / 2.0;
// Latitude iteration of the inverse: each round gains about two decimal
// digits (the error shrinks by roughly e²), so ten rounds are far beyond
// double precision for any latitude inside the grid.
constexpr int kMaxLatitudeRounds = 10;

// The constants of the conformal sphere for one origin and ellipsoid.
struct Sphere {
  double e = 0;       // first eccentricity
  double radius = 0;  // R, the sphere's radius in metres
  double alpha = 0;   // ratio of sphere to ellipsoid longitudes
  double b0 = 0;      // latitude of the origin on the sphere, radians
  double k = 0;       // constant of the isometric latitude mapping
};

// ln tan(π/4 + x/2), the isometric latitude of a sphere.
double IsometricSphere(double latitude) { return std::log(std::tan(kQuarterPi + latitude / 2.0)); }

// e/2 · ln((1 + e·sinφ)/(1 − e·sinφ)), the ellipsoid's correction to it.
double EllipsoidCorrection(double e, double latitude) {
  const double es = e * std::sin(latitude);
  return e / 2.0 * std::log((1.0 + es) / (1.0 - es));
}

Sphere MakeSphere(const GridRecord& grid, const Ellipsoid& ellipsoid) {
  const double phi0 = grid.latitudeOfOrigin;
  const double sin0 = std::sin(phi0);
  const double cos0 = std::cos(phi0);
  const double e2 = ellipsoid.e2;
  Sphere s;
  s.e = std::sqrt(e2);
  s.radius = ellipsoid.a * std::sqrt(1.0 - e2) / (1.0 - e2 * sin0 * sin0);
  s.alpha = std::sqrt(1.0 + e2 / (1.0 - e2) * cos0 * cos0 * cos0 * cos0);
  s.b0 = std::asin(sin0 / s.alpha);
  s.k = IsometricSphere(s.b0) - s.alpha * IsometricSphere(phi0) + s.alpha * EllipsoidCorrection(s.e, phi0);
  return s;
}

}  // namespace

PlanePoint SwissObliqueForward(const GridRecord& grid, const Ellipsoid& ellipsoid, GeoCoord point) {
  const Sphere s = MakeSphere(grid, ellipsoid);
  // Ellipsoid to sphere: equal isometric latitudes up to the constant K.
  const double isometric =
      s.alpha * IsometricSphere(point.latitude) - s.alpha * EllipsoidCorrection(s.e, point.latitude) + s.k;
  const double b = 2.0 * (std::atan(std::exp(isometric)) - kQuarterPi);
  const double l = s.alpha * (point.longitude - grid.longitudeOfOrigin);
  // Rotation that brings the origin onto the equator of the sphere.
  const double lBar = std::atan(std::sin(l) / (std::sin(s.b0) * std::tan(b) + std::cos(s.b0) * std::cos(l)));
  const double bBar = std::asin(std::cos(s.b0) * std::sin(b) - std::sin(s.b0) * std::cos(b) * std::cos(l));
  // Equatorial Mercator on the rotated sphere.
  PlanePoint out;
  out.easting = s.radius * lBar + grid.falseEasting;
  out.northing = s.radius / 2.0 * std::log((1.0 + std::sin(bBar)) / (1.0 - std::sin(bBar))) + grid.falseNorthing;
  return out;
}

GeoCoord SwissObliqueInverse(const GridRecord& grid, const Ellipsoid& ellipsoid, PlanePoint point) {
  const Sphere s = MakeSphere(grid, ellipsoid);
  // Mercator and rotation back, in closed form.
  const double bBar = 2.0 * (std::atan(std::exp((point.northing - grid.falseNorthing) / s.radius)) - kQuarterPi);
  const double lBar = (point.easting - grid.falseEasting) / s.radius;
  const double b = std::asin(std::cos(s.b0) * std::sin(bBar) + std::sin(s.b0) * std::cos(bBar) * std::cos(lBar));
  const double l = std::atan(std::sin(lBar) / (std::cos(s.b0) * std::cos(lBar) - std::sin(s.b0) * std::tan(bBar)));

  GeoCoord out;
  out.longitude = grid.longitudeOfOrigin + l / s.alpha;
  // Sphere to ellipsoid: the isometric latitude of the ellipsoid depends on
  // the latitude sought, so iterate from the spherical latitude until the
  // value stops changing.
  const double sphereTerm = (IsometricSphere(b) - s.k) / s.alpha;
  double phi = b;
  for (int round = 0; round < kMaxLatitudeRounds; ++round) {
    const double isometric = sphereTerm + s.e * std::log(std::tan(kQuarterPi + std::asin(s.e * std::sin(phi)) / 2.0));
    const double next = 2.0 * std::atan(std::exp(isometric)) - kHalfPi;
    if (next == phi) break;
    phi = next;
  }
  out.latitude = phi;
  return out;
}

}  // namespace zenolith
