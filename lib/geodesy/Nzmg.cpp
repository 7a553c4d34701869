// New Zealand Map Grid: a conformal projection of the International 1924
// ellipsoid given as a complex polynomial in the isometric-latitude and
// longitude offsets from the origin (Reilly, Department of Lands and Survey
// Technical Circular 1973/32). Its constants and coefficients are fixed;
// the grid record and the ellipsoid do not enter. The inverse series are
// truncated: forward then inverse closes to about 0.1 mm over New Zealand.
#include <array>
#include <complex>
#include <numbers>

#include "lib/geodesy/Algorithms.h"

namespace zenolith {
namespace {

using Complex = std::complex<double>;

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kSemiMajorAxis = 6378388.0;         // International 1924
constexpr double kLatitudeOfOriginDeg = -41.0;
constexpr double kLongitudeOfOrigin = 173.0 * kDegToRad;
constexpr double kFalseNorthing = 6023150.0;
constexpr double kFalseEasting = 2510000.0;
// The series work in units of 10^5 arc-seconds of latitude.
constexpr double kDegreesToSeriesUnits = 3600.0 / 1.0e5;
// The inverse refines the C-series estimate with this many Newton-Raphson
// rounds on the B series, as the published method does.
constexpr int kNewtonRounds = 2;

// Latitude offset to isometric-latitude offset.
constexpr std::array<double, 10> kA = {0.6399175073, -0.1358797613, 0.063294409, -0.02526853, 0.0117879,
                                       -0.0055161,   0.0026906,     -0.001333,   0.00067,     -0.00034};
// Forward complex series.
const std::array<Complex, 6> kB = {Complex(0.7557853228, 0.0),        Complex(0.249204646, 0.003371507),
                                   Complex(-0.001541739, 0.041058560), Complex(-0.10162907, 0.01727609),
                                   Complex(-0.26623489, -0.36249218),  Complex(-0.6870983, -1.1651967)};
// Inverse complex series (first estimate).
const std::array<Complex, 6> kC = {Complex(1.3231270439, 0.0),        Complex(-0.577245789, -0.007809598),
                                   Complex(0.508307513, -0.112208952), Complex(-0.15094762, 0.18200602),
                                   Complex(1.01418179, 1.64497696),    Complex(1.9660549, 2.5127645)};
// Isometric-latitude offset back to latitude offset.
constexpr std::array<double, 9> kD = {1.5627014243, 0.5185406398, -0.03333098, -0.1052906, -0.0368594,
                                      0.007317,     0.01220,      0.00394,     -0.0013};

// Σ c_n·x^n for n = 1..N (no constant term), by Horner's scheme.
template <typename T, std::size_t N>
T PowerSeries(const std::array<T, N>& c, T x) {
  T sum = c[N - 1];
  for (std::size_t n = N - 1; n > 0; --n) sum = sum * x + c[n - 1];
  return sum * x;
}

}  // namespace

PlanePoint NzmgForward(GeoCoord point) {
  const double dPhi = (point.latitude / kDegToRad - kLatitudeOfOriginDeg) * kDegreesToSeriesUnits;
  const double dPsi = PowerSeries(kA, dPhi);
  const Complex theta(dPsi, point.longitude - kLongitudeOfOrigin);
  const Complex z = PowerSeries(kB, theta);
  PlanePoint out;
  out.northing = kFalseNorthing + kSemiMajorAxis * z.real();
  out.easting = kFalseEasting + kSemiMajorAxis * z.imag();
  return out;
}

GeoCoord NzmgInverse(PlanePoint point) {
  const Complex z((point.northing - kFalseNorthing) / kSemiMajorAxis,
                  (point.easting - kFalseEasting) / kSemiMajorAxis);
  Complex theta = PowerSeries(kC, z);
  // Newton-Raphson on z = Σ B_n·θ^n:
  // θ ← (z + Σ (n−1)·B_n·θ^n) / Σ n·B_n·θ^(n−1).
  for (int round = 0; round < kNewtonRounds; ++round) {
    Complex numerator = z;
    Complex denominator = kB[0];
    Complex power = theta;  // θ^(n−1) for n = 2 on the first pass
    for (std::size_t i = 1; i < kB.size(); ++i) {
      const double n = static_cast<double>(i + 1);
      denominator += n * kB[i] * power;
      power *= theta;
      numerator += (n - 1.0) * kB[i] * power;
    }
    theta = numerator / denominator;
  }
  const double dPhi = PowerSeries(kD, theta.real());
  GeoCoord out;
  out.latitude = (kLatitudeOfOriginDeg + dPhi / kDegreesToSeriesUnits) * kDegToRad;
  out.longitude = kLongitudeOfOrigin + theta.imag();
  return out;
}

}  // namespace zenolith
