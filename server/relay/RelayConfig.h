// The relay's configuration file ("--config FILE"): one "key = value" a line,
// "#" starts a comment line, blank lines are skipped. Every upstream is off
// until its key is given, so an empty file answers every relay action with an
// empty reply. Example:
//
//   contact = admin@example.org
//   geocoder = https://nominatim.openstreetmap.org
//   router = https://router.project-osrm.org
//   geonames = http://api.geonames.org
//   geonames-user = demo
//   fixtures = /srv/rovana/relay
//   tiles = /srv/rovana/tiles
//   tiles-sat = /srv/rovana/satellite.mbtiles
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace rovana::server {

// One outside service: a base URL ("https://host[:port][/prefix]") and the
// least time between two requests to it (public services ask for one
// request a second at most).
struct UpstreamConfig {
  std::string url;  // "" = off
  int intervalMs = 1000;
  bool enabled() const { return !url.empty(); }
};

// The four tile kinds of the map catalogue, in the order of its reply.
enum TileKind : int { kTileMap = 0, kTileSat = 1, kTileHyb = 2, kTileTer = 3 };
inline constexpr int kTileKinds = 4;
// Folder names and key suffixes: "map", "sat", "hyb", "ter".
const char* TileKindName(int kind);

struct RelayConfig {
  std::string contact;            // named in the User-Agent of every upstream request
  UpstreamConfig geocoder;        // Nominatim-compatible: gc, ls, ys
  UpstreamConfig router;          // OSRM-compatible: di, ro
  std::string routerProfile = "driving";
  int routerPrecision = 6;        // geometry asked for: 5 "polyline", 6 "polyline6", 0 "geojson"
  UpstreamConfig geonames;        // GeoNames-compatible: gn
  std::string geonamesUser;
  UpstreamConfig photos;          // a get_panoramas.php service: pa
  std::filesystem::path fixtures; // answers from files; "" = none
  std::filesystem::path tileFolder;                     // {kind}/{z}/{x}/{y}.png or .jpg
  std::array<std::filesystem::path, kTileKinds> mbtiles; // per kind, wins over the folder
  // The map catalogue's version paths ("gm"), by TileKind.
  std::array<std::string, kTileKinds> versions = {"/mt?n=404&v=w2.61&", "/kh?n=404&v=21&",
                                                  "/mt?n=404&v=w2t.61&", "/mt?n=404&v=w2p.64&"};
  int timeoutSeconds = 10;              // connection and each read of an upstream
  std::size_t replyCap = 1024 * 1024;   // bytes of one upstream reply at most

  bool HasTiles() const;
  // "rovana-server/1.0 (+contact)".
  std::string UserAgent() const;
};

struct ParsedRelayConfig {
  std::optional<RelayConfig> config;  // nothing when the file is wrong
  std::string error;                  // "FILE:LINE: why"
};

ParsedRelayConfig ReadRelayConfig(const std::filesystem::path& file);
// The same from text; `name` stands for the file in messages.
ParsedRelayConfig ParseRelayConfig(const std::string& text, const std::string& name);

// The keys, for --help.
std::string RelayConfigUsage();

}  // namespace rovana::server
