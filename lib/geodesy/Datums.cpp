// The datum catalogue and the seven-parameter datum shift.
//
// The shift runs geodetic -> geocentric on the source ellipsoid -> WGS 84 ->
// the target's geocentric frame -> geodetic on the target ellipsoid. The
// rotation is the position-vector (Helmert, EPSG 9606) convention with small
// angles; each component update reads the components already updated, which
// differs from the simultaneous matrix product by a few millimetres on the
// datums with rotations. Stored positions depend on that order, so it stays.
#include "lib/geodesy/Datums.h"

#include <array>
#include <cmath>

namespace zenolith {
namespace {

constexpr double kSec = kArcSecondsToRadians;  // arc-seconds to radians
constexpr double kPpm = 1e-6;                  // parts per million to a pure number

// Geocentric to geodetic stops after this many rounds even when the latitude
// still changes in its last bit (it normally settles after 3 to 5).
constexpr int kMaxLatitudeRounds = 10;

// Index 0 is all zero; the rows whose e2 is 0 belong to no built-in datum.
constexpr std::array<Ellipsoid, 37> kEllipsoids = {{
    {0, 0},
    {6377563.396, 0.00667054},          // 1 Airy 1830
    {6377340.189, 0.00667054015},       // 2 modified Airy
    {6378135.0, 0},                     // 3
    {6378160.0, 0.006694541855},        // 4 Australian National
    {6377397.155, 0.006674372230614},   // 5 Bessel 1841
    {6377397.155, 0},                   // 6
    {6377483.865, 0.00667437223},       // 7
    {6378206.4, 0.006768658},           // 8 Clarke 1866
    {6378249.145, 0.00680351128},       // 9
    {6377276.345, 0.00663784663},       // 10
    {6377304.063, 0.0066378663},        // 11
    {6377301.243, 0.00663784607},       // 12
    {6377295.664, 0},                   // 13
    {6377309.613, 0.00663784607},       // 14
    {6377298.556, 0.00663784663},       // 15
    {6378166.0, 0},                     // 16
    {6378150.0, 0},                     // 17
    {6378155.0, 0.00669342162},         // 18
    {6378160.0, 0},                     // 19
    {6378140.0, 0},                     // 20
    {6378137.0, 0.006694380023011},     // 21 GRS 1980
    {6378200.0, 0.00669342162},         // 22
    {6378270.0, 0.00672267002},         // 23
    {6378160.0, 0.00669460908},         // 24
    {6378388.0, 0.006722670022},        // 25 International 1924
    {6378157.5, 0},                     // 26
    {6378245.0, 0.00669342162},         // 27
    {6370997.0, 0},                     // 28
    {6378136.0, 0.006694385},           // 29
    {6378160.0, 0.00669454185},         // 30
    {6378165.0, 0},                     // 31
    {6378145.0, 0},                     // 32
    {6378135.0, 0.00669431778},         // 33 WGS 72
    {6378137.0, 0.006694379990197},     // 34 WGS 84
    {6378249.2, 0.00680348764},         // 35 Clarke 1880 (IGN)
    {6377492.018, 0.006674373},         // 36 modified Bessel
}};

// Shifts towards WGS 84: ellipsoid, dX dY dZ (m), rX rY rZ (arc-seconds
// converted to radians), scale difference (ppm converted to a pure number).
constexpr DatumRecord Row(std::int16_t ellipsoid, double dx, double dy, double dz, double rx, double ry, double rz,
                          double ppm) {
  return DatumRecord{ellipsoid, dx, dy, dz, rx * kSec, ry * kSec, rz * kSec, ppm * kPpm};
}

constexpr std::array<DatumRecord, 28> kDatums = {{
    DatumRecord{},
    Row(34, 0, 0, 0, 0, 0, 0, 0),                                                              // 1 WGS_84
    Row(21, 0, 0, 0, 0, 0, 0, 0),                                                              // 2 ETRS_89
    Row(1, 375, -111, 431, 0, 0, 0, 0),                                                        // 3 OSGB_36
    Row(5, 674.374, 15.056, 405.346, 0, 0, 0, 0),                                              // 4 CH_1903_PLUS
    Row(5, 414.1055246174, 41.3265500042, 603.0582474221, -0.8551163377, 2.141317406, -7.022729829, 0),  // 5 RT_90
    Row(2, 482.53, -130.596, 564.557, -1.042, -0.214, -0.631, 8.15),                           // 6 IRELAND_65
    Row(25, -90.7, -106.1, -119.2, 4.09, 0.218, -1.05, 1.37),                                  // 7 FINLAND_HAYFORD
    Row(25, -192.986, 13.673, -39.309, -0.4099, -2.9332, 2.6881, 0.43),                        // 8 LUREF
    Row(33, 0, 0, 4.5, 0, 0, 0.554, 0.219),                                                    // 9 WGS_72
    Row(4, -116, -50.47, 141.69, 0.23, 0.39, 0.344, 0.0983),                                   // 10 AGD_84
    Row(21, 0, 0, 0, 0, 0, 0, 0),                                                              // 11 GDA_94
    Row(5, 577.326, 90.129, 463.919, 5.1366, 1.4742, 5.297, 2.4232),                           // 12 MGI
    Row(25, 59.47, -5.04, 187.44, 0.47, -0.1, 1.024, -4.5993),                                 // 13 NZGD_49
    Row(21, 0, 0, 0, 0, 0, 0, 0),                                                              // 14 NZGD_2000
    Row(35, -168, -60, 320, 0, 0, 0, 0),                                                       // 15 NTF
    Row(25, -99.1, 53.3, -112.5, 0.419, -0.83, 1.885, -1),                                     // 16 BD_72
    Row(25, -89.5, -93.8, -123.1, 0, 0, -0.156, 1.2),                                          // 17 ED_50
    Row(5, 582, 105, 414, 1.04, 0.35, -3.08, 8.3),                                             // 18 DHDN_RAUENBERG
    Row(21, 0, 0, 0, 0, 0, 0, 0),                                                              // 19 NAD_83
    Row(8, -5, 135, 172, 0, 0, 0, 0),                                                          // 20 NAD_27_US_ALASKA
    Row(8, -9, 161, 179, 0, 0, 0, 0),                                                          // 21 NAD_27_US_EAST
    Row(8, -8, 160, 176, 0, 0, 0, 0),                                                          // 22 NAD_27_US_CONUS
    Row(8, -8, 159, 175, 0, 0, 0, 0),                                                          // 23 NAD_27_US_WEST
    Row(5, 565, 49.9, 465.8, -0.409, 0.36, -1.869, 4.08),                                      // 24 AMERSFOORT
    Row(25, -104.1, -49.1, -9.9, 0.971, -2.917, 0.714, -11.68),                                // 25 ROME_40
    Row(36, 278.3, 93, 474.5, 7.889, 0.05, -6.61, 6.21),                                       // 26 NGO_48
    Row(25, -81.0703, -89.3603, -115.7526, 0.48488, 0.02436, 0.41321, -0.540645),              // 27 ED_50_DENMARK
}};

constexpr std::array<std::string_view, 28> kDatumNames = {
    "",          "WGS_84",         "ETRS_89",          "OSGB_36",        "CH_1903_PLUS",    "RT_90",
    "IRELAND_65", "FINLAND_HAYFORD", "LUREF",           "WGS_72",         "AGD_84",          "GDA_94",
    "MGI",       "NZGD_49",        "NZGD_2000",        "NTF",            "BD_72",           "ED_50",
    "DHDN_RAUENBERG", "NAD_83",    "NAD_27_US_ALASKA", "NAD_27_US_EAST", "NAD_27_US_CONUS", "NAD_27_US_WEST",
    "AMERSFOORT", "ROME_40",       "NGO_48",           "ED_50_DENMARK",
};

// The latitude and height of a point at distance p from the axis and z from
// the equatorial plane: fixed-point iteration on the latitude, bounded so
// that NaN or a degenerate ellipsoid cannot hang.
//
// Away from the axis the iteration runs on tan(latitude), the same fixed
// point without a sine and an arc tangent each round (the result differs
// only in the last bits of the latitude); on or near the axis, and for an
// ellipsoid that is no ellipsoid, it runs on the latitude itself.
void GeocentricToGeodetic(double p, double z, double a, double e2, double* latitude, double* height) {
  // |tan(latitude)| below this (within about 0.00006 degrees of a pole)
  // keeps the tangent's square far from overflowing.
  constexpr double kMaxTangent = 1e6;
  if (p > 0 && std::abs(z) < kMaxTangent * p && e2 >= 0 && e2 < 1 && std::isfinite(a)) {
    double t = z / (p * (1 - e2));
    double n = 0;
    for (int round = 0; round < kMaxLatitudeRounds; ++round) {
      const double s = t / std::sqrt(1 + t * t);
      n = a / std::sqrt(1 - e2 * s * s);
      const double next = (z + e2 * n * s) / p;
      if (next == t) break;
      t = next;
    }
    *latitude = std::atan(t);
    *height = p * std::sqrt(1 + t * t) - n;
    return;
  }
  double lat = std::atan2(z, p * (1 - e2));
  double n = 0;
  for (int round = 0; round < kMaxLatitudeRounds; ++round) {
    const double s = std::sin(lat);
    n = a / std::sqrt(1 - e2 * s * s);
    const double next = std::atan2(z + e2 * n * s, p);
    if (next == lat) break;
    lat = next;
  }
  *latitude = lat;
  *height = p / std::cos(lat) - n;
}

bool HasShift(const DatumParameters& d) {
  return d.dx != 0 || d.dy != 0 || d.dz != 0 || d.rx != 0 || d.ry != 0 || d.rz != 0 || d.scale != 0;
}

}  // namespace

std::span<const DatumRecord> DatumTable() { return kDatums; }
std::span<const Ellipsoid> EllipsoidTable() { return kEllipsoids; }

std::string_view DatumName(std::int16_t datum) {
  if (datum < 1 || datum > kBuiltInDatums) return {};
  return kDatumNames[static_cast<std::size_t>(datum)];
}

DatumParameters ParametersOf(std::int16_t datum, const DatumParameters* custom) {
  if (datum == kCustomDatumId) return custom ? *custom : DatumParameters{};
  if (datum < 1 || datum > kBuiltInDatums) return {};
  const DatumRecord& r = kDatums[static_cast<std::size_t>(datum)];
  const Ellipsoid& e = kEllipsoids[static_cast<std::size_t>(r.ellipsoid)];
  return DatumParameters{e.a, e.e2, r.dx, r.dy, r.dz, r.rx, r.ry, r.rz, r.scale};
}

void ShiftDatum(double* latitude, double* longitude, double* height, const DatumParameters& from,
                const DatumParameters& to) {
  if (!latitude || !longitude || !height) return;
  if (from == to) return;  // same ellipsoid and parameters: bit-for-bit unchanged

  // Geodetic to geocentric on the source ellipsoid.
  const double phi = *latitude, lambda = *longitude, h = *height;
  const double sinPhi = std::sin(phi);
  const double nS = from.semiMajorAxis / std::sqrt(1 - from.e2 * sinPhi * sinPhi);
  double x = (nS + h) * std::cos(phi) * std::cos(lambda);
  double y = (nS + h) * std::cos(phi) * std::sin(lambda);
  double z = ((1 - from.e2) * nS + h) * sinPhi;

  // To WGS 84; each line uses the components already updated.
  if (HasShift(from)) {
    const double k = 1 + from.scale;
    x = k * (x - from.rz * y + from.ry * z) + from.dx;
    y = k * (from.rz * x + y - from.rx * z) + from.dy;
    z = k * (from.rx * y - from.ry * x + z) + from.dz;
  }
  // From WGS 84 to the target frame, the same way round.
  if (HasShift(to)) {
    const double k = 1 + to.scale;
    x = ((x - to.dx) + to.rz * (y - to.dy) - to.ry * (z - to.dz)) / k;
    y = ((y - to.dy) - to.rz * x + to.rx * (z - to.dz)) / k;
    z = ((z - to.dz) + to.ry * x - to.rx * y) / k;
  }

  // Geocentric to geodetic on the target ellipsoid.
  const double p = std::sqrt(x * x + y * y);
  GeocentricToGeodetic(p, z, to.semiMajorAxis, to.e2, latitude, height);
  *longitude = std::atan2(y, x);
}

}  // namespace zenolith
