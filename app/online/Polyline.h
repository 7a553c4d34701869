// The encoded polyline format of route replies (the format published for
// Google Maps polylines): a string of printable characters holding signed
// integers in units of 1e-5 degree, latitude first, each pair after the first
// a difference to the previous point.
//
// A value is a group of characters, each character minus 63 giving five
// bits, the least significant group first; bit 0x20 says another group
// follows. The lowest bit of the assembled number is the sign: set, the value
// is the complement of the rest (-(n >> 1) - 1), else n >> 1.
//
//   "?"          one value, 0
//   "_p~iF~ps|U" the point 38.5, -120.2
//
// Refused (nothing returned): a character outside '?' .. '~' (63 to 126), a
// value of more than six characters (over 30 bits), a value cut off while a
// continuation bit was set, and an odd number of values (a latitude without
// its longitude). An empty text is an empty line.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace rovana {

// Degrees, latitude before longitude.
struct PolylinePoint {
  double latitude = 0;
  double longitude = 0;
};

inline constexpr int kPolylineMaxChars = 6;  // characters of one value: 30 bits
inline constexpr double kPolylineUnit = 1e5;  // values per degree

// The values one after another, in units of 1e-5 degree, each as written
// (not yet summed): "?" gives {0}. Refused as above, except that any number
// of values is fine.
std::optional<std::vector<std::int64_t>> DecodePolylineValues(std::string_view encoded);

// The points, summed and in degrees.
std::optional<std::vector<PolylinePoint>> DecodePolyline(std::string_view encoded);

}  // namespace rovana
