// The encoded polyline format of web maps: each coordinate, scaled by 10^5
// (or 10^6 for "polyline6"), is written as the difference from the previous
// point in groups of 5 bits (character = bits + 63, 0x20 set on all but the
// last group, least significant first), the sign in the lowest bit. Points
// are latitude first. "_p~iF~ps|U" is 38.5, -120.2.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rovana::server {

struct LatLon {
  double latitude = 0;   // degrees
  double longitude = 0;  // degrees
};

// The points of `text` at `precision` decimals (5 or 6); nothing when a
// character lies outside '?'..'~', a value is cut off or longer than 12
// characters, a latitude lies outside +-90 or a longitude outside +-180.
std::optional<std::vector<LatLon>> DecodePolyline(std::string_view text, int precision);

// `points` at 5 decimals (rounded to 1e-5 degree before the differences are
// taken, so no error adds up).
std::string EncodePolyline(const std::vector<LatLon>& points);

}  // namespace rovana::server
