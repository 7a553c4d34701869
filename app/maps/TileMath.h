// Tile numbering of the online map service: the world in Web Mercator,
// 2^level tiles per side at each level, row 0 at the north; the request
// paths of the service (quadtree letters for satellite tiles, x/y/zoom for
// the others, XYZ templates) and the names of cached tile files.
//
// Angles are radians, latitude before longitude. Positions outside the
// Mercator range are clamped to it, so every position has a tile.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rovana::maps {

enum class TileKind : int { Satellite = 0, RoadMap = 1, Hybrid = 2, Terrain = 3 };
inline constexpr int kTileKinds = 4;
inline constexpr int kMaxTileLevel = 22;

// One row per kind: the letter of its file names, whether its files are
// PNG, and the short name XYZ templates and the reference server use.
struct TileKindRow {
  TileKind kind;
  char letter;         // "g<letter>_x_y_level"
  const char* suffix;  // ".png" or ".jpg"; satellite tiles follow their content
  const char* name;    // "{t}" in a template: map, sat, hyb, ter
};
const TileKindRow& TileKindInfo(TileKind kind);
// The kind of a file-name letter (either case).
std::optional<TileKind> TileKindOfLetter(char letter);

struct TileId {
  TileKind kind = TileKind::RoadMap;
  int level = 0;
  int x = 0, y = 0;
  auto operator<=>(const TileId&) const = default;
};

struct TileXY {
  int x = 0, y = 0;
  bool operator==(const TileXY&) const = default;
};

// The tile under a position at `level` (0..kMaxTileLevel).
TileXY PositionToTile(double latitude, double longitude, int level);

// The north-west corner of tile (x, y); x and y may be 2^level for the far
// edges. Fractions are allowed (the strips of a tile).
double TileLongitude(int level, double x);
double TileLatitude(int level, double y);

// "t" followed by one letter per level: q north-west, r north-east, s
// south-east, t south-west, from the whole world down to `level`.
std::string QuadtreeKey(int level, int x, int y);
// The satellite path: `version` + "t=" + QuadtreeKey.
std::string SatellitePath(std::string_view version, int level, int x, int y);
// The road map, hybrid and terrain path: `version` + "x=%d&y=%d&zoom=%d"
// with zoom = 17 - level.
std::string MapPath(std::string_view version, int level, int x, int y);

// "g<letter>_<x>_<y>_<level><suffix>"; `png` chooses the suffix of
// satellite tiles.
std::string TileFileName(const TileId& tile, bool png = false);

struct ParsedTileName {
  TileId tile;
  bool png = false;
};
// Reads a cache file name: "<any letter><kind letter>_x_y_level" and ".png"
// or ".jpg" (either case), numbers in range for the level.
std::optional<ParsedTileName> ParseTileFileName(std::string_view name);

// `host` with every "{s}" replaced by the server number.
std::string HostForServer(std::string_view host, int server);
// The host's name without scheme ("tiles.example.org:8080"), as it appears in
// the service's version reply.
std::string HostName(std::string_view host);

}  // namespace rovana::maps
