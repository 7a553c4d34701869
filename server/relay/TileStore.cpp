#include "server/relay/TileStore.h"

#include <sqlite3.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace rovana::server {
namespace {

std::optional<int> SmallNumber(std::string_view text, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 || value > high) {
    return std::nullopt;
  }
  return value;
}

std::optional<TileAddress> Checked(TileAddress address) {
  if (address.z < 0 || address.z > kMaxTileLevel) return std::nullopt;
  const std::int64_t side = std::int64_t{1} << address.z;
  if (address.x < 0 || address.y < 0 || address.x >= side || address.y >= side) return std::nullopt;
  return address;
}

// The picture type of `bytes` by its signature, or "".
std::string PictureType(const std::string& bytes) {
  if (bytes.rfind("\x89PNG\r\n\x1a\n", 0) == 0) return "image/png";
  if (bytes.size() > 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0) return "image/jpeg";
  if (bytes.size() > 12 && bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 4, "WEBP") == 0) {
    return "image/webp";
  }
  return {};
}

std::string EtagOf(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
  for (const unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  char text[24];
  std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace

std::optional<TileAddress> SatelliteTileAddress(const Query& query) {
  const std::string path = query.Get("t").value_or("");
  if (path.empty() || path[0] != 't' || path.size() > kMaxTileLevel + 1) return std::nullopt;
  TileAddress address{kTileSat, static_cast<int>(path.size()) - 1, 0, 0};
  for (std::size_t i = 1; i < path.size(); ++i) {
    int column = 0;
    int row = 0;
    switch (path[i]) {
      case 'q': break;
      case 'r': column = 1; break;
      case 's': column = 1; row = 1; break;
      case 't': row = 1; break;
      default: return std::nullopt;
    }
    address.x = address.x * 2 + column;
    address.y = address.y * 2 + row;
  }
  return Checked(address);
}

std::optional<TileAddress> MapTileAddress(const Query& query) {
  struct Prefix {
    std::string_view text;
    int kind;
  };
  static constexpr Prefix kPrefixes[] = {{"w2t.", kTileHyb}, {"w2p.", kTileTer}, {"w2.", kTileMap}};
  const std::string version = query.Get("v").value_or("");
  const Prefix* found = nullptr;
  for (const Prefix& prefix : kPrefixes) {
    if (!found && version.rfind(prefix.text, 0) == 0) found = &prefix;
  }
  const auto x = SmallNumber(query.Get("x").value_or(""), 1 << kMaxTileLevel);
  const auto y = SmallNumber(query.Get("y").value_or(""), 1 << kMaxTileLevel);
  const auto zoom = SmallNumber(query.Get("zoom").value_or(""), 17);
  if (!found || !x || !y || !zoom) return std::nullopt;
  return Checked({found->kind, 17 - *zoom, *x, *y});
}

std::optional<TileAddress> XyzTileAddress(std::string_view kind, std::string_view z, std::string_view x,
                                          std::string_view y) {
  int found = -1;
  for (int k = 0; k < kTileKinds; ++k) {
    if (kind == TileKindName(k)) found = k;
  }
  const auto level = SmallNumber(z, kMaxTileLevel);
  const auto column = SmallNumber(x, 1 << kMaxTileLevel);
  const auto row = SmallNumber(y, 1 << kMaxTileLevel);
  if (found < 0 || !level || !column || !row) return std::nullopt;
  return Checked({found, *level, *column, *row});
}

TileStore::TileStore(const RelayConfig& config, ServerLog& log) : folder_(config.tileFolder), log_(log) {
  for (int kind = 0; kind < kTileKinds; ++kind) {
    const std::filesystem::path& file = config.mbtiles[kind];
    if (file.empty()) continue;
    sqlite3* database = nullptr;
    const int status = sqlite3_open_v2(file.c_str(), &database, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (status != SQLITE_OK) {
      log_.Write("tiles: cannot open the MBTiles file " + file.string() + ": " +
                 (database ? sqlite3_errmsg(database) : sqlite3_errstr(status)));
      sqlite3_close(database);
      continue;
    }
    sqlite3_busy_timeout(database, 2000);
    mbtiles_[kind] = database;
  }
}

TileStore::~TileStore() {
  for (sqlite3* database : mbtiles_) sqlite3_close(database);
}

std::optional<std::string> TileStore::FromMbtiles(sqlite3* database, const TileAddress& address) const {
  sqlite3_stmt* statement = nullptr;
  const char* sql = "SELECT tile_data FROM tiles WHERE zoom_level = ? AND tile_column = ? AND tile_row = ?";
  if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK) {
    log_.Write(std::string("tiles: an MBTiles file cannot be read: ") + sqlite3_errmsg(database));
    sqlite3_finalize(statement);
    return std::nullopt;
  }
  // MBTiles counts rows from the south.
  const int tmsRow = static_cast<int>((std::int64_t{1} << address.z) - 1 - address.y);
  sqlite3_bind_int(statement, 1, address.z);
  sqlite3_bind_int(statement, 2, address.x);
  sqlite3_bind_int(statement, 3, tmsRow);
  std::optional<std::string> bytes;
  if (sqlite3_step(statement) == SQLITE_ROW) {
    const int size = sqlite3_column_bytes(statement, 0);
    const void* data = sqlite3_column_blob(statement, 0);
    if (data && size > 0 && static_cast<std::size_t>(size) <= kMaxTileBytes) {
      bytes = std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
    }
  }
  sqlite3_finalize(statement);
  return bytes;
}

std::optional<std::string> TileStore::FromFolder(const TileAddress& address) const {
  // Every part of the path is a known name or a number written here.
  const std::filesystem::path base = folder_ / TileKindName(address.kind) / std::to_string(address.z) /
                                     std::to_string(address.x);
  for (const char* extension : {".png", ".jpg"}) {
    const std::filesystem::path file = base / (std::to_string(address.y) + extension);
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) continue;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size == 0 || size > kMaxTileBytes) continue;
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != bytes.size()) continue;
    return bytes;
  }
  return std::nullopt;
}

std::optional<Tile> TileStore::Find(const TileAddress& request) const {
  const auto address = Checked(request);
  if (!address || address->kind < 0 || address->kind >= kTileKinds) return std::nullopt;
  std::optional<std::string> bytes;
  if (sqlite3* database = mbtiles_[address->kind]) bytes = FromMbtiles(database, *address);
  if (!bytes && !folder_.empty()) bytes = FromFolder(*address);
  if (!bytes) return std::nullopt;
  Tile tile;
  tile.contentType = PictureType(*bytes);
  if (tile.contentType.empty()) {
    log_.Write("tiles: " + std::string(TileKindName(address->kind)) + " " + std::to_string(address->z) + "/" +
               std::to_string(address->x) + "/" + std::to_string(address->y) + " is not a PNG, JPEG or WebP picture");
    return std::nullopt;
  }
  tile.etag = EtagOf(*bytes);
  tile.bytes = std::move(*bytes);
  return tile;
}

bool EtagMatches(std::string_view header, std::string_view etag) {
  std::size_t at = 0;
  while (at <= header.size()) {
    std::size_t comma = header.find(',', at);
    if (comma == std::string_view::npos) comma = header.size();
    std::string_view item = header.substr(at, comma - at);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    if (item.rfind("W/", 0) == 0) item.remove_prefix(2);
    if (item == "*" || item == etag) return true;
    at = comma + 1;
  }
  return false;
}

}  // namespace rovana::server
