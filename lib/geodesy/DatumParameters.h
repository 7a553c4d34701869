// The parameters of one geodetic datum: its ellipsoid and its seven-parameter
// shift towards WGS 84.
#pragma once

namespace zenolith {

// Arc-seconds to radians (pi / 648000) and back, with the library's fixed factors.
inline constexpr double kArcSecondsToRadians = 4.84813681109536e-06;
inline constexpr double kRadiansToArcSeconds = 206264.80624709636;

struct DatumParameters {
  double semiMajorAxis = 0;  // a, metres
  double e2 = 0;             // first eccentricity squared, never negative
  double dx = 0, dy = 0, dz = 0;  // translation, metres
  double rx = 0, ry = 0, rz = 0;  // rotation, radians
  double scale = 0;          // scale difference as a pure number (ppm * 1e-6); the factor is 1 + scale

  // Two datums are the same when all nine values compare equal.
  friend bool operator==(const DatumParameters&, const DatumParameters&) = default;
};

}  // namespace zenolith
