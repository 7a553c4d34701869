// Where each tile kind comes from. Three settings name the sources:
//
//   mapsOnlineMapHost  "scheme://host[:port]" of road map, hybrid and terrain
//                      tiles (x/y/zoom paths with the GoogleVersion* prefixes)
//   mapsOnlineSatHost  the same for satellite tiles (quadtree paths)
//   mapsOnlineTemplate an XYZ address such as
//                      "https://tile.openstreetmap.org/{z}/{x}/{y}.png"
//
// "{s}" in a host stands for the server number 0..3 (in a template for one
// of "a", "b", "c"). A template serves the road map; when it also holds
// "{t}" (the kind's short name: map, sat, hyb, ter) it serves all four kinds.
// A kind without a source is not downloaded (its cached tiles still show).
//
// Tiles of the two hosts are cached in the cache folder itself under their
// classic names; tiles of a template go to a sub-folder named after the
// template's host, so that two templates never mix their tiles.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "app/maps/TileMath.h"

namespace rovana::maps {

struct TileSources {
  std::string mapHost;
  std::string satHost;
  std::string xyzTemplate;
  // The version prefixes by kind: satellite, road map, hybrid, terrain.
  std::array<std::string, kTileKinds> versions;
};

struct TileRequest {
  std::string base;    // "scheme://host[:port]"
  std::string path;    // from "/"
  std::string folder;  // cache sub-folder, empty for the cache folder itself
  bool xyz = false;    // from the template (HTTP caching applies)
};

// The request of one tile from server `server` (0..3); nothing when the
// kind has no source or the source is not a usable address.
std::optional<TileRequest> RequestFor(const TileSources& sources, const TileId& tile, int server);

// The cache sub-folder of tiles of `kind`: the template's folder when the
// template serves that kind, else empty.
std::string FolderFor(const TileSources& sources, TileKind kind);

// A short stable folder name for a template's host: lower-case letters,
// digits and "-", other characters as "_", at most 48 characters, never
// "temp" or empty ("xyz" then).
std::string TemplateFolder(std::string_view xyzTemplate);

// "scheme://host[:port]" and the rest of an address; nothing without an
// http(s) scheme, a host, or a path starting with "/".
struct SplitAddress {
  std::string base;
  std::string path;
};
std::optional<SplitAddress> SplitUrl(std::string_view url);

// Whether the template serves tiles of `kind`.
bool TemplateServes(std::string_view xyzTemplate, TileKind kind);

}  // namespace rovana::maps
