#include "server/relay/Polyline.h"

#include <cmath>
#include <cstdint>

namespace rovana::server {
namespace {

constexpr std::size_t kMaxValueCharacters = 12;  // 60 bits

// One value at `at`, moved past it; nothing when malformed.
std::optional<std::int64_t> NextValue(std::string_view text, std::size_t& at) {
  std::uint64_t bits = 0;
  int shift = 0;
  for (std::size_t count = 0;; ++count) {
    if (at >= text.size() || count >= kMaxValueCharacters) return std::nullopt;
    const int c = static_cast<unsigned char>(text[at++]) - 63;
    if (c < 0 || c > 63) return std::nullopt;
    bits |= static_cast<std::uint64_t>(c & 0x1F) << shift;
    shift += 5;
    if (!(c & 0x20)) break;
  }
  const auto half = static_cast<std::int64_t>(bits >> 1);
  return (bits & 1) ? -half - 1 : half;
}

void AppendValue(std::string& out, std::int64_t value) {
  std::uint64_t bits = value < 0 ? ~(static_cast<std::uint64_t>(value) << 1)
                                 : static_cast<std::uint64_t>(value) << 1;
  while (bits >= 0x20) {
    out.push_back(static_cast<char>((0x20 | (bits & 0x1F)) + 63));
    bits >>= 5;
  }
  out.push_back(static_cast<char>(bits + 63));
}

}  // namespace

std::optional<std::vector<LatLon>> DecodePolyline(std::string_view text, int precision) {
  if (precision != 5 && precision != 6) return std::nullopt;
  const double scale = precision == 5 ? 1e5 : 1e6;
  std::vector<LatLon> points;
  std::int64_t latitude = 0;
  std::int64_t longitude = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto dLat = NextValue(text, at);
    if (!dLat) return std::nullopt;
    const auto dLon = NextValue(text, at);
    if (!dLon) return std::nullopt;
    latitude += *dLat;
    longitude += *dLon;
    const LatLon point{static_cast<double>(latitude) / scale, static_cast<double>(longitude) / scale};
    if (std::fabs(point.latitude) > 90 || std::fabs(point.longitude) > 180) return std::nullopt;
    points.push_back(point);
  }
  return points;
}

std::string EncodePolyline(const std::vector<LatLon>& points) {
  std::string out;
  std::int64_t latitude = 0;
  std::int64_t longitude = 0;
  for (const LatLon& point : points) {
    const auto lat = static_cast<std::int64_t>(std::llround(point.latitude * 1e5));
    const auto lon = static_cast<std::int64_t>(std::llround(point.longitude * 1e5));
    AppendValue(out, lat - latitude);
    AppendValue(out, lon - longitude);
    latitude = lat;
    longitude = lon;
  }
  return out;
}

}  // namespace rovana::server
