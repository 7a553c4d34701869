// The datum catalogue: 27 built-in datums with their ellipsoids and their
// seven-parameter shifts towards WGS 84, and the datum shift itself.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "lib/geodesy/DatumParameters.h"
#include "lib/geodesy/GridRecord.h"

namespace zenolith {

inline constexpr std::int16_t kDatumWgs84 = 1;
inline constexpr std::int16_t kBuiltInDatums = 27;
inline constexpr std::int16_t kCustomDatumId = 28;

// One built-in datum as the library stores it: ellipsoid index, then the
// shift to WGS 84 (metres, radians, scale difference as a pure number).
struct DatumRecord {
  std::int16_t ellipsoid = 0;
  double dx = 0, dy = 0, dz = 0;
  double rx = 0, ry = 0, rz = 0;
  double scale = 0;
};

// Records 0 (all zero) to 27.
std::span<const DatumRecord> DatumTable();
// Ellipsoids 0 (all zero) to 36.
std::span<const Ellipsoid> EllipsoidTable();
// "WGS_84" for 1, ... "ED_50_DENMARK" for 27; empty outside 1 to 27.
std::string_view DatumName(std::int16_t datum);

// The datum's ellipsoid and shift in one record: built-in datums from the
// tables, 28 from `custom` (all zero when null), anything else all zero.
DatumParameters ParametersOf(std::int16_t datum, const DatumParameters* custom);

// True for the NAD 27 family (20 to 23): positions on any of them are
// projected on grids of any of them without a shift.
constexpr bool IsNad27(std::int16_t datum) { return datum >= 20 && datum <= 23; }

// Re-expresses latitude, longitude (radians) and ellipsoidal height (metres)
// given on `from` on `to`: geocentric on from's ellipsoid, to WGS 84 with
// from's parameters, from WGS 84 with to's parameters, geodetic on to's
// ellipsoid (at most 10 rounds, stopping on exact equality). Each component
// update uses the components already updated. Nothing changes when both
// ellipsoids and all parameters are equal. Longitude comes out in -pi..pi.
void ShiftDatum(double* latitude, double* longitude, double* height, const DatumParameters& from,
                const DatumParameters& to);

}  // namespace zenolith
