// Oblique stereographic projection by the double stereographic method
// (EPSG method 9809, IOGP Guidance Note 7-2): the ellipsoid is mapped
// conformally onto the Gauss sphere of radius √(ρ0·ν0), which is then
// projected stereographically from the antipode of the origin.
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "lib/geodesy/Algorithms.h"

namespace zenolith {
namespace {

constexpr double kQuarterPi = std::numbers::pi / 4.0;
constexpr double kHalfPi = std::numbers::pi / 2.0;
// Newton iteration of the inverse latitude: it converges quadratically, so
// a few rounds reach double precision; ten bound it on bad input.
constexpr int kMaxLatitudeRounds = 10;

// The constants of the Gauss sphere for one origin and ellipsoid.
struct GaussSphere {
  double e = 0;
  double twoRk0 = 0;  // 2·R·k0, metres
  double n = 0;       // ratio of sphere to ellipsoid longitudes
  double c = 0;       // scale of the conformal mapping
  double chi0 = 0;    // conformal latitude of the origin, radians
  double sinChi0 = 0, cosChi0 = 0;
  double tanChi0 = 0, tanHalfColatitude0 = 0;  // tan(chi0), tan(pi/4 - chi0/2)
};

// (1 − e·sinφ)/(1 + e·sinφ), the ellipsoid's factor in the conformal mapping.
double EccentricityRatio(double e, double phi) {
  const double es = e * std::sin(phi);
  return (1.0 - es) / (1.0 + es);
}

GaussSphere MakeSphere(const GridRecord& grid, const Ellipsoid& ellipsoid) {
  const double e2 = ellipsoid.e2;
  const double sin0 = std::sin(grid.latitudeOfOrigin);
  const double cos0 = std::cos(grid.latitudeOfOrigin);
  const double w = 1.0 - e2 * sin0 * sin0;
  const double rho0 = ellipsoid.a * (1.0 - e2) / std::pow(w, 1.5);
  const double nu0 = ellipsoid.a / std::sqrt(w);
  GaussSphere s;
  s.e = std::sqrt(e2);
  s.twoRk0 = 2.0 * std::sqrt(rho0 * nu0) * grid.scale;
  s.n = std::sqrt(1.0 + e2 * cos0 * cos0 * cos0 * cos0 / (1.0 - e2));
  const double s1 = (1.0 + sin0) / (1.0 - sin0);
  const double s2 = EccentricityRatio(s.e, grid.latitudeOfOrigin);
  const double w1 = std::pow(s1 * std::pow(s2, s.e), s.n);
  const double sinChi0 = (w1 - 1.0) / (w1 + 1.0);
  s.c = (s.n + sin0) * (1.0 - sinChi0) / ((s.n - sin0) * (1.0 + sinChi0));
  const double w2 = s.c * w1;
  s.chi0 = std::asin((w2 - 1.0) / (w2 + 1.0));
  s.sinChi0 = std::sin(s.chi0);
  s.cosChi0 = std::cos(s.chi0);
  s.tanChi0 = std::tan(s.chi0);
  s.tanHalfColatitude0 = std::tan(kQuarterPi - s.chi0 / 2.0);
  return s;
}

// The sphere of the grid and ellipsoid last asked for on this thread: the
// points of one conversion share it, so it is built once for all of them.
// The inputs are compared bit for bit, so the sphere is always the one
// MakeSphere gives.
const GaussSphere& SphereOf(const GridRecord& grid, const Ellipsoid& ellipsoid) {
  struct Cache {
    std::uint64_t key[4] = {};
    bool valid = false;
    GaussSphere sphere;
  };
  thread_local Cache cache;
  const std::uint64_t key[4] = {std::bit_cast<std::uint64_t>(grid.latitudeOfOrigin),
                                std::bit_cast<std::uint64_t>(grid.scale), std::bit_cast<std::uint64_t>(ellipsoid.a),
                                std::bit_cast<std::uint64_t>(ellipsoid.e2)};
  if (!cache.valid || key[0] != cache.key[0] || key[1] != cache.key[1] || key[2] != cache.key[2] ||
      key[3] != cache.key[3]) {
    cache.sphere = MakeSphere(grid, ellipsoid);
    for (int i = 0; i < 4; ++i) cache.key[i] = key[i];
    cache.valid = true;
  }
  return cache.sphere;
}

}  // namespace

PlanePoint ObliqueStereographicForward(const GridRecord& grid, const Ellipsoid& ellipsoid, GeoCoord point) {
  const GaussSphere& s = SphereOf(grid, ellipsoid);
  const double sinPhi = std::sin(point.latitude);
  const double w =
      s.c * std::pow((1.0 + sinPhi) / (1.0 - sinPhi) * std::pow(EccentricityRatio(s.e, point.latitude), s.e), s.n);
  const double chi = std::asin((w - 1.0) / (w + 1.0));
  // Λ − λ0: the longitude on the sphere, counted from the origin.
  const double dLambda = s.n * (point.longitude - grid.longitudeOfOrigin);
  const double b = 1.0 + std::sin(chi) * s.sinChi0 + std::cos(chi) * s.cosChi0 * std::cos(dLambda);
  PlanePoint out;
  out.easting = grid.falseEasting + s.twoRk0 * std::cos(chi) * std::sin(dLambda) / b;
  out.northing = grid.falseNorthing +
                 s.twoRk0 * (std::sin(chi) * s.cosChi0 - std::cos(chi) * s.sinChi0 * std::cos(dLambda)) / b;
  return out;
}

GeoCoord ObliqueStereographicInverse(const GridRecord& grid, const Ellipsoid& ellipsoid, PlanePoint point) {
  const GaussSphere& s = SphereOf(grid, ellipsoid);
  const double x = point.easting - grid.falseEasting;
  const double y = point.northing - grid.falseNorthing;
  // Stereographic plane back to the sphere.
  const double g = s.twoRk0 * s.tanHalfColatitude0;
  const double h = 2.0 * s.twoRk0 * s.tanChi0 + g;
  const double i = std::atan2(x, h + y);
  const double j = std::atan2(x, g - y) - i;
  const double chi = s.chi0 + 2.0 * std::atan((y - x * std::tan(j / 2.0)) / s.twoRk0);
  const double dLambda = j + 2.0 * i;  // Λ − λ0

  GeoCoord out;
  out.longitude = dLambda / s.n + grid.longitudeOfOrigin;
  // Sphere back to the ellipsoid: Newton's method on the isometric latitude.
  const double sinChi = std::sin(chi);
  const double psi = 0.5 * std::log((1.0 + sinChi) / (s.c * (1.0 - sinChi))) / s.n;
  const double e2 = ellipsoid.e2;
  double phi = 2.0 * std::atan(std::exp(psi)) - kHalfPi;
  for (int round = 0; round < kMaxLatitudeRounds; ++round) {
    const double psiPhi =
        std::log(std::tan(phi / 2.0 + kQuarterPi) * std::pow(EccentricityRatio(s.e, phi), s.e / 2.0));
    const double sinPhi = std::sin(phi);
    const double next = phi - (psiPhi - psi) * std::cos(phi) * (1.0 - e2 * sinPhi * sinPhi) / (1.0 - e2);
    if (next == phi) break;
    phi = next;
  }
  out.latitude = phi;
  return out;
}

}  // namespace zenolith
