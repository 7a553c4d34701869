#include "app/maps/TileMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace rovana::maps {
namespace {

constexpr double kTilePi = std::numbers::pi;
// The clamps keep a position just inside the world's square so that its
// tile number never reaches 2^level.
constexpr double kMaxLongitude = 3.141492653589793;
constexpr double kMaxLatitude = 1.5706963267948966;

constexpr TileKindRow kKinds[kTileKinds] = {
    {TileKind::Satellite, 's', ".jpg", "sat"},
    {TileKind::RoadMap, 'm', ".png", "map"},
    {TileKind::Hybrid, 'h', ".png", "hyb"},
    {TileKind::Terrain, 't', ".jpg", "ter"},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// A decimal number of at most 7 digits (2^22 has 7) at the front of `text`.
bool TakeNumber(std::string_view& text, int& value) {
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits > 7) return false;
  std::from_chars(text.data(), text.data() + digits, value);
  text.remove_prefix(digits);
  return true;
}

}  // namespace

const TileKindRow& TileKindInfo(TileKind kind) {
  const int k = std::clamp(static_cast<int>(kind), 0, kTileKinds - 1);
  return kKinds[k];
}

std::optional<TileKind> TileKindOfLetter(char letter) {
  for (const TileKindRow& row : kKinds)
    if (row.letter == Lower(letter)) return row.kind;
  return std::nullopt;
}

TileXY PositionToTile(double latitude, double longitude, int level) {
  level = std::clamp(level, 0, kMaxTileLevel);
  const double n = static_cast<double>(1 << level);
  const int last = (1 << level) - 1;
  if (!std::isfinite(latitude)) latitude = 0;
  if (!std::isfinite(longitude)) longitude = 0;
  longitude = std::clamp(longitude, -kMaxLongitude, kMaxLongitude);
  latitude = std::clamp(latitude, -kMaxLatitude, kMaxLatitude);
  const int x = std::min(static_cast<int>((longitude + kTilePi) / (2 * kTilePi) * n), last);
  const double s = std::sin(latitude);
  const double t = (1 + s) / (1 - s);
  double m = t >= 0.0001 ? 0.5 * std::log(t) : -kMaxLongitude;
  m = std::min(m, kTilePi);
  const int y = std::clamp(static_cast<int>((1 - m / kTilePi) / 2 * n), 0, last);
  return {std::max(x, 0), y};
}

double TileLongitude(int level, double x) { return x / static_cast<double>(1 << level) * 2 * kTilePi - kTilePi; }

double TileLatitude(int level, double y) {
  const double u = kTilePi * (1 - 2 * y / static_cast<double>(1 << level));
  const double e = std::exp(2 * u);
  if (!std::isfinite(e)) return kTilePi / 2;
  return std::asin((e - 1) / (e + 1));
}

std::string QuadtreeKey(int level, int x, int y) {
  level = std::clamp(level, 0, kMaxTileLevel);
  std::string key = "t";
  int left = 0, top = 0, side = 1 << level;
  for (int l = 0; l < level; ++l) {
    side /= 2;
    const bool south = y >= top + side;  // the row half first
    const bool east = x >= left + side;
    if (south) top += side;
    if (east) left += side;
    key += south ? (east ? 's' : 't') : (east ? 'r' : 'q');
  }
  return key;
}

std::string SatellitePath(std::string_view version, int level, int x, int y) {
  return std::string(version) + "t=" + QuadtreeKey(level, x, y);
}

std::string MapPath(std::string_view version, int level, int x, int y) {
  return std::string(version) + "x=" + std::to_string(x) + "&y=" + std::to_string(y) +
         "&zoom=" + std::to_string(17 - level);
}

std::string TileFileName(const TileId& tile, bool png) {
  const TileKindRow& row = TileKindInfo(tile.kind);
  const char* suffix = tile.kind == TileKind::Satellite && png ? ".png" : row.suffix;
  return std::string("g") + row.letter + "_" + std::to_string(tile.x) + "_" + std::to_string(tile.y) + "_" +
         std::to_string(tile.level) + suffix;
}

std::optional<ParsedTileName> ParseTileFileName(std::string_view name) {
  if (name.size() < 4) return std::nullopt;
  const std::string_view suffix = name.substr(name.size() - 4);
  ParsedTileName out;
  if (EqualsNoCase(suffix, ".png"))
    out.png = true;
  else if (!EqualsNoCase(suffix, ".jpg"))
    return std::nullopt;
  name.remove_suffix(4);
  if (name.size() < 3 || name[2] != '_') return std::nullopt;
  const std::optional<TileKind> kind = TileKindOfLetter(name[1]);
  if (!kind) return std::nullopt;
  out.tile.kind = *kind;
  name.remove_prefix(3);
  int numbers[3] = {};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (name.empty() || name.front() != '_') return std::nullopt;
      name.remove_prefix(1);
    }
    if (!TakeNumber(name, numbers[i])) return std::nullopt;
  }
  if (!name.empty()) return std::nullopt;
  out.tile.x = numbers[0];
  out.tile.y = numbers[1];
  out.tile.level = numbers[2];
  if (out.tile.level > kMaxTileLevel) return std::nullopt;
  const int side = 1 << out.tile.level;
  if (out.tile.x >= side || out.tile.y >= side) return std::nullopt;
  return out;
}

std::string HostForServer(std::string_view host, int server) {
  std::string out;
  out.reserve(host.size());
  for (std::size_t i = 0; i < host.size(); ++i) {
    if (host.substr(i, 3) == "{s}") {
      out += static_cast<char>('0' + (server & 3));
      i += 2;
    } else {
      out += host[i];
    }
  }
  return out;
}

std::string HostName(std::string_view host) {
  const std::size_t scheme = host.find("://");
  if (scheme != std::string_view::npos) host.remove_prefix(scheme + 3);
  while (!host.empty() && host.back() == '/') host.remove_suffix(1);
  return std::string(host);
}

}  // namespace rovana::maps
