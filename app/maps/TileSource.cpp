#include "app/maps/TileSource.h"

#include <algorithm>

namespace rovana::maps {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Replaces every `key` in `text` by `value`.
void ReplaceAll(std::string& text, std::string_view key, std::string_view value) {
  for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
}

bool Printable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F;
  });
}

}  // namespace

std::optional<SplitAddress> SplitUrl(std::string_view url) {
  if (!Printable(url)) return std::nullopt;
  std::size_t hostStart = 0;
  if (StartsWithNoCase(url, "https://"))
    hostStart = 8;
  else if (StartsWithNoCase(url, "http://"))
    hostStart = 7;
  else
    return std::nullopt;
  const std::size_t slash = url.find('/', hostStart);
  if (slash == hostStart || hostStart >= url.size()) return std::nullopt;
  SplitAddress out;
  out.base = std::string(url.substr(0, slash));
  out.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  return out;
}

bool TemplateServes(std::string_view xyzTemplate, TileKind kind) {
  if (xyzTemplate.empty()) return false;
  if (xyzTemplate.find("{t}") != std::string_view::npos) return true;
  return kind == TileKind::RoadMap;
}

std::string TemplateFolder(std::string_view xyzTemplate) {
  std::string host;
  if (const std::optional<SplitAddress> split = SplitUrl(xyzTemplate)) host = split->base;
  const std::size_t scheme = host.find("://");
  if (scheme != std::string::npos) host.erase(0, scheme + 3);
  std::string name;
  for (char c : host) {
    if (name.size() >= 48) break;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    name += keep ? c : '_';
  }
  if (name.empty() || name == "temp") name = "xyz";
  return name;
}

std::string FolderFor(const TileSources& sources, TileKind kind) {
  return TemplateServes(sources.xyzTemplate, kind) ? TemplateFolder(sources.xyzTemplate) : std::string();
}

std::optional<TileRequest> RequestFor(const TileSources& sources, const TileId& tile, int server) {
  TileRequest request;
  if (TemplateServes(sources.xyzTemplate, tile.kind)) {
    std::string url = sources.xyzTemplate;
    ReplaceAll(url, "{s}", std::string(1, static_cast<char>('a' + (server & 3) % 3)));
    ReplaceAll(url, "{z}", std::to_string(tile.level));
    ReplaceAll(url, "{x}", std::to_string(tile.x));
    ReplaceAll(url, "{y}", std::to_string(tile.y));
    ReplaceAll(url, "{t}", TileKindInfo(tile.kind).name);
    std::optional<SplitAddress> split = SplitUrl(url);
    if (!split) return std::nullopt;
    request.base = std::move(split->base);
    request.path = std::move(split->path);
    request.folder = TemplateFolder(sources.xyzTemplate);
    request.xyz = true;
    return request;
  }
  const bool satellite = tile.kind == TileKind::Satellite;
  const std::string& host = satellite ? sources.satHost : sources.mapHost;
  if (host.empty()) return std::nullopt;
  std::string base = HostForServer(host, server);
  if (base.find("://") == std::string::npos) base = "http://" + base;
  while (!base.empty() && base.back() == '/') base.pop_back();
  const std::string& version = sources.versions[static_cast<int>(tile.kind)];
  request.path = satellite ? SatellitePath(version, tile.level, tile.x, tile.y)
                           : MapPath(version, tile.level, tile.x, tile.y);
  const std::optional<SplitAddress> check = SplitUrl(base + request.path);
  if (!check || check->base != base) return std::nullopt;
  request.base = std::move(base);
  return request;
}

}  // namespace rovana::maps
