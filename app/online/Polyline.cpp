#include "app/online/Polyline.h"

#include <cstdint>

namespace rovana {
namespace {

constexpr int kFirstChar = 63;   // '?'
constexpr int kLastChar = 126;   // '~'
constexpr std::uint32_t kMore = 0x20;
constexpr std::uint32_t kBits = 0x1f;

// One value from `at`, which moves past it; nothing when the text is bad.
std::optional<std::int64_t> NextValue(std::string_view text, std::size_t& at) {
  std::uint32_t assembled = 0;
  for (int group = 0; group < kPolylineMaxChars; ++group) {
    if (at >= text.size()) return std::nullopt;  // cut inside the value
    const int c = static_cast<unsigned char>(text[at++]);
    if (c < kFirstChar || c > kLastChar) return std::nullopt;
    const std::uint32_t bits = static_cast<std::uint32_t>(c - kFirstChar);
    assembled |= (bits & kBits) << (5 * group);
    if ((bits & kMore) == 0) {
      const std::int64_t rest = static_cast<std::int64_t>(assembled >> 1);
      return (assembled & 1u) ? -rest - 1 : rest;
    }
  }
  return std::nullopt;  // a seventh group would pass 30 bits
}

}  // namespace

std::optional<std::vector<std::int64_t>> DecodePolylineValues(std::string_view encoded) {
  std::vector<std::int64_t> values;
  std::size_t at = 0;
  while (at < encoded.size()) {
    const std::optional<std::int64_t> value = NextValue(encoded, at);
    if (!value) return std::nullopt;
    values.push_back(*value);
  }
  return values;
}

std::optional<std::vector<PolylinePoint>> DecodePolyline(std::string_view encoded) {
  const std::optional<std::vector<std::int64_t>> values = DecodePolylineValues(encoded);
  if (!values || values->size() % 2 != 0) return std::nullopt;
  std::vector<PolylinePoint> points;
  points.reserve(values->size() / 2);
  // Sums in 64 bits: a hostile line of many large steps cannot overflow.
  std::int64_t latitude = 0, longitude = 0;
  for (std::size_t i = 0; i < values->size(); i += 2) {
    latitude += (*values)[i];
    longitude += (*values)[i + 1];
    points.push_back({static_cast<double>(latitude) / kPolylineUnit, static_cast<double>(longitude) / kPolylineUnit});
  }
  return points;
}

}  // namespace rovana
