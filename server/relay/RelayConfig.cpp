#include "server/relay/RelayConfig.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "server/QueryText.h"

namespace rovana::server {
namespace {

constexpr const char* kTileKindNames[kTileKinds] = {"map", "sat", "hyb", "ter"};
constexpr std::size_t kMaxConfigBytes = 256 * 1024;

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::optional<long long> Whole(const std::string& text, long long low, long long high) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// "http://" or "https://", a host, an optional port and path; no query, no
// trailing "/" (removed), nothing that would break a request line.
bool SetUrl(std::string& url, const std::string& value, std::string& error) {
  std::string text = value;
  while (!text.empty() && text.back() == '/') text.pop_back();
  const bool schemeOk = text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
  const std::size_t host = text.find("://") + 3;
  if (!schemeOk || text.size() <= host || text.find_first_of("?#\"<> ") != std::string::npos ||
      !ValidText(text, 1024)) {
    error = "wants an http:// or https:// URL without a query";
    return false;
  }
  url = text;
  return true;
}

bool SetUpstream(UpstreamConfig& upstream, const std::string& value, std::string& error) {
  if (value == "none" || value == "off") {
    upstream.url.clear();
    return true;
  }
  return SetUrl(upstream.url, value, error);
}

bool SetInterval(UpstreamConfig& upstream, const std::string& value, std::string& error) {
  const auto ms = Whole(value, 0, 60000);
  if (!ms) {
    error = "wants milliseconds from 0 to 60000";
    return false;
  }
  upstream.intervalMs = static_cast<int>(*ms);
  return true;
}

bool SetText(std::string& field, const std::string& value, std::string& error) {
  if (!ValidText(value, 256)) {
    error = "wants a line of UTF-8 text of at most 256 bytes";
    return false;
  }
  field = value;
  return true;
}

// A version path is written into the catalogue between double quotes and
// read back by the client up to the next one, so it may not hold one.
bool SetVersion(std::string& field, const std::string& value, std::string& error) {
  if (value.empty() || value[0] != '/' || value.find_first_of("\"\\<> )") != std::string::npos ||
      !ValidText(value, 200)) {
    error = "wants a path starting with \"/\" without quotes, blanks or backslashes";
    return false;
  }
  field = value;
  return true;
}

struct Key {
  const char* name;
  const char* help;
  bool (*set)(RelayConfig&, const std::string&, std::string&);
};

const Key kKeys[] = {
    {"contact", "an e-mail address or URL named in the User-Agent of upstream requests",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetText(c.contact, v, e); }},
    {"geocoder", "Nominatim-compatible URL for gc, ls and ys, or none",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetUpstream(c.geocoder, v, e); }},
    {"geocoder-interval", "milliseconds between two geocoder requests (1000)",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetInterval(c.geocoder, v, e); }},
    {"router", "OSRM-compatible URL for di and ro, or none",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetUpstream(c.router, v, e); }},
    {"router-interval", "milliseconds between two router requests (1000)",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetInterval(c.router, v, e); }},
    {"router-profile", "the router's profile (driving)",
     [](RelayConfig& c, const std::string& v, std::string& e) {
       if (v.empty() || v.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_") != std::string::npos) {
         e = "wants a profile name of letters, digits, - and _";
         return false;
       }
       c.routerProfile = v;
       return true;
     }},
    {"router-geometry", "polyline, polyline6 or geojson: what the router is asked for (polyline6)",
     [](RelayConfig& c, const std::string& v, std::string& e) {
       if (v == "polyline") c.routerPrecision = 5;
       else if (v == "polyline6") c.routerPrecision = 6;
       else if (v == "geojson") c.routerPrecision = 0;
       else {
         e = "wants polyline, polyline6 or geojson";
         return false;
       }
       return true;
     }},
    {"geonames", "GeoNames-compatible URL for gn, or none",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetUpstream(c.geonames, v, e); }},
    {"geonames-interval", "milliseconds between two GeoNames requests (1000)",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetInterval(c.geonames, v, e); }},
    {"geonames-user", "the GeoNames account name sent as username",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetText(c.geonamesUser, v, e); }},
    {"photos", "URL of a get_panoramas.php-compatible photo service for pa, or none",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetUpstream(c.photos, v, e); }},
    {"photos-interval", "milliseconds between two photo requests (1000)",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetInterval(c.photos, v, e); }},
    {"fixtures", "a folder of canned replies (gc.xml, di.html, ...), used before any upstream",
     [](RelayConfig& c, const std::string& v, std::string&) { c.fixtures = v; return true; }},
    {"tiles", "a folder of tiles as KIND/Z/X/Y.png or .jpg (KIND: map, sat, hyb, ter)",
     [](RelayConfig& c, const std::string& v, std::string&) { c.tileFolder = v; return true; }},
    {"tiles-map", "an MBTiles file of road map tiles",
     [](RelayConfig& c, const std::string& v, std::string&) { c.mbtiles[kTileMap] = v; return true; }},
    {"tiles-sat", "an MBTiles file of satellite tiles",
     [](RelayConfig& c, const std::string& v, std::string&) { c.mbtiles[kTileSat] = v; return true; }},
    {"tiles-hyb", "an MBTiles file of hybrid overlay tiles",
     [](RelayConfig& c, const std::string& v, std::string&) { c.mbtiles[kTileHyb] = v; return true; }},
    {"tiles-ter", "an MBTiles file of terrain tiles",
     [](RelayConfig& c, const std::string& v, std::string&) { c.mbtiles[kTileTer] = v; return true; }},
    {"version-map", "the road map's version path (/mt?n=404&v=w2.61&)",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetVersion(c.versions[kTileMap], v, e); }},
    {"version-sat", "the satellite version path (/kh?n=404&v=21&)",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetVersion(c.versions[kTileSat], v, e); }},
    {"version-hyb", "the hybrid version path (/mt?n=404&v=w2t.61&)",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetVersion(c.versions[kTileHyb], v, e); }},
    {"version-ter", "the terrain version path (/mt?n=404&v=w2p.64&)",
     [](RelayConfig& c, const std::string& v, std::string& e) { return SetVersion(c.versions[kTileTer], v, e); }},
    {"timeout", "seconds to wait for an upstream's connection and each read (10)",
     [](RelayConfig& c, const std::string& v, std::string& e) {
       const auto seconds = Whole(v, 1, 300);
       if (!seconds) {
         e = "wants seconds from 1 to 300";
         return false;
       }
       c.timeoutSeconds = static_cast<int>(*seconds);
       return true;
     }},
    {"reply-cap", "bytes of one upstream reply at most (1048576)",
     [](RelayConfig& c, const std::string& v, std::string& e) {
       const auto bytes = Whole(v, 1024, 16 * 1024 * 1024);
       if (!bytes) {
         e = "wants bytes from 1024 to 16777216";
         return false;
       }
       c.replyCap = static_cast<std::size_t>(*bytes);
       return true;
     }},
};

}  // namespace

const char* TileKindName(int kind) {
  return kind >= 0 && kind < kTileKinds ? kTileKindNames[kind] : "";
}

bool RelayConfig::HasTiles() const {
  if (!tileFolder.empty()) return true;
  for (const auto& file : mbtiles) {
    if (!file.empty()) return true;
  }
  return false;
}

std::string RelayConfig::UserAgent() const {
  std::string agent = "rovana-server/1.0";
  if (!contact.empty()) agent += " (+" + contact + ")";
  return agent;
}

ParsedRelayConfig ParseRelayConfig(const std::string& text, const std::string& name) {
  RelayConfig config;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    const std::string where = name + ":" + std::to_string(number) + ": ";
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos) return {std::nullopt, where + "wants \"key = value\""};
    const std::string key = Trim(trimmed.substr(0, equals));
    const std::string value = Trim(trimmed.substr(equals + 1));
    const Key* found = nullptr;
    for (const Key& candidate : kKeys) {
      if (key == candidate.name) found = &candidate;
    }
    if (!found) return {std::nullopt, where + "unknown key \"" + key + "\""};
    std::string error;
    if (!found->set(config, value, error)) return {std::nullopt, where + key + " " + error};
  }
  return {config, {}};
}

ParsedRelayConfig ReadRelayConfig(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {std::nullopt, file.string() + ": cannot be read"};
  std::string text(kMaxConfigBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kMaxConfigBytes) return {std::nullopt, file.string() + ": larger than 256 KiB"};
  return ParseRelayConfig(text, file.string());
}

std::string RelayConfigUsage() {
  std::string usage = "Keys of the --config file (\"key = value\" lines, \"#\" comments):\n";
  for (const Key& key : kKeys) {
    std::string name = std::string("  ") + key.name;
    if (name.size() < 22) name.resize(22, ' ');
    else name += "\n" + std::string(22, ' ');
    usage += name + key.help + "\n";
  }
  return usage;
}

}  // namespace rovana::server
