// Map tiles served by rovana-server itself: from a folder laid out as
// KIND/Z/X/Y.png (or .jpg), KIND one of map, sat, hyb, ter, or from an
// MBTiles file (SQLite, rows counted from the south as TMS does) per kind.
// The tile addresses are parsed into numbers and checked against the level,
// so no request text ever becomes part of a file path.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/QueryText.h"
#include "server/ServerLog.h"
#include "server/relay/RelayConfig.h"

struct sqlite3;

namespace rovana::server {

inline constexpr int kMaxTileLevel = 22;
inline constexpr std::size_t kMaxTileBytes = 4 * 1024 * 1024;

// A tile: its kind (TileKind), level z (0 = the world in one tile) and
// column x and row y counted from the north-west, each 0 .. 2^z - 1.
struct TileAddress {
  int kind = kTileMap;
  int z = 0;
  int x = 0;
  int y = 0;
};

// "/kh?n=404&v=21&t=tqrst": one letter a level below the leading "t"; q
// north-west, r north-east, s south-east, t south-west.
std::optional<TileAddress> SatelliteTileAddress(const Query& query);
// "/mt?n=404&v=w2.61&x=3&y=5&zoom=14": the version's prefix gives the kind
// (w2. road map, w2t. hybrid, w2p. terrain); the level is 17 - zoom.
std::optional<TileAddress> MapTileAddress(const Query& query);
// "/tiles/<kind>/<z>/<x>/<y>.png" as its four parts.
std::optional<TileAddress> XyzTileAddress(std::string_view kind, std::string_view z, std::string_view x,
                                          std::string_view y);

struct Tile {
  std::string bytes;
  std::string contentType;  // "image/png", "image/jpeg" or "image/webp"
  std::string etag;         // quoted, from the bytes
};

class TileStore {
 public:
  // MBTiles files that cannot be opened are logged and left out.
  TileStore(const RelayConfig& config, ServerLog& log);
  ~TileStore();
  TileStore(const TileStore&) = delete;
  TileStore& operator=(const TileStore&) = delete;

  // The tile at `address`, or nothing when there is none (or it is not a
  // picture, or larger than kMaxTileBytes). Safe from many threads.
  std::optional<Tile> Find(const TileAddress& address) const;

 private:
  std::optional<std::string> FromMbtiles(sqlite3* database, const TileAddress& address) const;
  std::optional<std::string> FromFolder(const TileAddress& address) const;

  std::filesystem::path folder_;
  std::array<sqlite3*, kTileKinds> mbtiles_{};
  ServerLog& log_;
};

// True when an If-None-Match header ("\"a\", W/\"b\"" or "*") names `etag`.
bool EtagMatches(std::string_view ifNoneMatch, std::string_view etag);

}  // namespace rovana::server
