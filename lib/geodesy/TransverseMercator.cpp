// Transverse Mercator by Snyder's series (USGS Professional Paper 1395,
// formulas 3-21, 8-9 and 8-10 forward; 8-12 and 8-17 to 8-25 inverse).
//
// The series is truncated at the sixth power of the longitude difference:
// within 3 degrees of the central meridian it agrees with the exact
// projection to well under a millimetre; it degrades quickly beyond about
// 10 degrees and is not checked against any range (far-off points give
// whatever the series gives, NaN at worst).
#include <cmath>

#include "lib/geodesy/Algorithms.h"

namespace zenolith {
namespace {

// Sines of 2x, 4x, 6x and 8x from the sine and cosine of x.
struct MultipleAngles {
  double sin2, sin4, sin6, sin8;

  MultipleAngles(double sinX, double cosX) {
    sin2 = 2 * sinX * cosX;
    const double cos2 = (cosX - sinX) * (cosX + sinX);
    sin4 = 2 * sin2 * cos2;
    const double cos4 = 1 - 2 * sin2 * sin2;
    sin6 = sin4 * cos2 + cos4 * sin2;
    sin8 = 2 * sin4 * cos4;
  }
};

// Coefficients of the meridian arc (Snyder 3-21) for one eccentricity.
struct MeridianArc {
  double c0, c2, c4, c6;

  explicit MeridianArc(double e2) {
    const double e4 = e2 * e2, e6 = e4 * e2;
    c0 = 1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256;
    c2 = 3 * e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024;
    c4 = 15 * e4 / 256 + 45 * e6 / 1024;
    c6 = 35 * e6 / 3072;
  }

  // Distance along the meridian from the equator to latitude phi, metres,
  // given phi's sine and cosine: the multiple angles come from the
  // double-angle formulas rather than three more sines.
  double At(double a, double phi, double sinPhi, double cosPhi) const {
    const MultipleAngles m(sinPhi, cosPhi);
    return a * (c0 * phi - c2 * m.sin2 + c4 * m.sin4 - c6 * m.sin6);
  }
  double At(double a, double phi) const { return At(a, phi, std::sin(phi), std::cos(phi)); }
};

}  // namespace

PlanePoint TransverseMercatorForward(const GridRecord& grid, const Ellipsoid& ellipsoid, GeoCoord point) {
  const double a = ellipsoid.a, e2 = ellipsoid.e2;
  const double ep2 = e2 / (1 - e2);  // second eccentricity squared
  const double k0 = grid.scale;
  const MeridianArc arc(e2);

  const double phi = point.latitude;
  const double sinPhi = std::sin(phi), cosPhi = std::cos(phi), tanPhi = sinPhi / cosPhi;
  const double n = a / std::sqrt(1 - e2 * sinPhi * sinPhi);
  const double t = tanPhi * tanPhi;
  const double c = ep2 * cosPhi * cosPhi;
  const double aa = (point.longitude - grid.longitudeOfOrigin) * cosPhi;
  const double m = arc.At(a, phi, sinPhi, cosPhi);
  const double m0 = arc.At(a, grid.latitudeOfOrigin);

  const double a2 = aa * aa, a3 = a2 * aa, a4 = a3 * aa, a5 = a4 * aa, a6 = a5 * aa;
  PlanePoint out;
  out.easting = k0 * n * (aa + (1 - t + c) * a3 / 6 + (5 - 18 * t + t * t + 72 * c - 58 * ep2) * a5 / 120) +
                grid.falseEasting;
  out.northing = k0 * (m - m0 + n * tanPhi *
                                    (a2 / 2 + (5 - t + 9 * c + 4 * c * c) * a4 / 24 +
                                     (61 - 58 * t + t * t + 600 * c - 330 * ep2) * a6 / 720)) +
                 grid.falseNorthing;
  return out;
}

GeoCoord TransverseMercatorInverse(const GridRecord& grid, const Ellipsoid& ellipsoid, PlanePoint point) {
  const double a = ellipsoid.a, e2 = ellipsoid.e2;
  const double ep2 = e2 / (1 - e2);
  const double k0 = grid.scale;
  const MeridianArc arc(e2);

  // Footpoint latitude: the latitude whose meridian arc is the northing.
  const double m = arc.At(a, grid.latitudeOfOrigin) + (point.northing - grid.falseNorthing) / k0;
  const double mu = m / (a * arc.c0);
  const double root = std::sqrt(1 - e2);
  const double e1 = (1 - root) / (1 + root);
  const double e1_2 = e1 * e1, e1_3 = e1_2 * e1, e1_4 = e1_3 * e1;
  const MultipleAngles angles(std::sin(mu), std::cos(mu));
  const double phi1 = mu + (3 * e1 / 2 - 27 * e1_3 / 32) * angles.sin2 + (21 * e1_2 / 16 - 55 * e1_4 / 32) * angles.sin4 +
                      (151 * e1_3 / 96) * angles.sin6 + (1097 * e1_4 / 512) * angles.sin8;

  const double sin1 = std::sin(phi1), cos1 = std::cos(phi1), tan1 = sin1 / cos1;
  const double c1 = ep2 * cos1 * cos1;
  const double t1 = tan1 * tan1;
  const double w = 1 - e2 * sin1 * sin1;
  const double n1 = a / std::sqrt(w);
  const double r1 = a * (1 - e2) / (w * std::sqrt(w));
  const double d = (point.easting - grid.falseEasting) / (n1 * k0);

  const double d2 = d * d, d3 = d2 * d, d4 = d3 * d, d5 = d4 * d, d6 = d5 * d;
  GeoCoord out;
  out.latitude = phi1 - (n1 * tan1 / r1) *
                            (d2 / 2 - (5 + 3 * t1 + 10 * c1 - 4 * c1 * c1 - 9 * ep2) * d4 / 24 +
                             (61 + 90 * t1 + 298 * c1 + 45 * t1 * t1 - 252 * ep2 - 3 * c1 * c1) * d6 / 720);
  out.longitude = grid.longitudeOfOrigin +
                  (d - (1 + 2 * t1 + c1) * d3 / 6 + (5 - 2 * c1 + 28 * t1 - 3 * c1 * c1 + 8 * ep2 + 24 * t1 * t1) * d5 / 120) /
                      cos1;
  return out;
}

}  // namespace zenolith
