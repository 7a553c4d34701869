// The version prefixes of the tile service (GoogleVersionSat, ...Map,
// ...Hyb, ...Ter) and their update from the web service's "gm" reply. The
// tile service answers an outdated prefix with an error page; a download
// job that sees one asks for the current prefixes once per run of the
// program.
//
// The reply names the four tile addresses as quoted texts in the order road
// map, satellite, hybrid, terrain, each behind the host name of server 0:
//   versions(["http://HOST/mt?n=404&v=w2.61&","http://HOST/kh?n=404&v=21&",...])
// "\x" with two hexadecimal digits stands for that byte. A prefix is taken
// only when it is printable, starts with "/" and has at most 256 characters;
// the reply is read up to 64 KiB.
//
// Threads: Update runs in a download job on the tile queue's worker; the
// user-interface thread sets hosts and prefixes before jobs are made and
// takes changed prefixes to write them into the settings. Every member
// takes the object's lock.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/maps/TileMath.h"

namespace rovana::maps {

inline constexpr std::size_t kVersionReplyCap = 64 * 1024;
inline constexpr std::size_t kMaxVersionPath = 256;

// Prefixes by kind index: satellite, road map, hybrid, terrain.
using VersionPaths = std::array<std::string, kTileKinds>;

// Sends "gm" to the web service; the reply body, nothing when it failed.
using VersionFetch = std::function<std::optional<std::string>()>;

// What a reply holds, by kind index; a missing or unsafe prefix is empty.
using VersionScan = std::array<std::optional<std::string>, kTileKinds>;
VersionScan ScanVersionReply(std::string_view reply, std::string_view mapHostName, std::string_view satHostName);

// "\xHH" sequences replaced by their bytes.
std::string DecodeHexEscapes(std::string_view text);

// Printable, from "/", at most kMaxVersionPath characters.
bool SafeVersionPath(std::string_view path);

class TileVersions {
 public:
  enum class Outcome { Failed, Unchanged, Changed, Skipped };

  explicit TileVersions(VersionFetch fetch) : fetch_(std::move(fetch)) {}

  // The hosts (as in the settings, "{s}" allowed) and the current prefixes.
  void Set(std::string mapHost, std::string satHost, const VersionPaths& paths);
  VersionPaths paths() const;

  // Asks the web service and keeps the prefixes that changed. After one
  // update that found all four, later calls log "GoogleVersionsUpdate skip"
  // and return Skipped.
  Outcome Update();
  bool done() const;

  // The prefixes after an update changed any, once; nothing otherwise.
  std::optional<VersionPaths> TakeChanged();

 private:
  mutable std::mutex lock_;
  VersionFetch fetch_;
  std::string mapHost_, satHost_;
  VersionPaths paths_;
  bool done_ = false;
  bool changed_ = false;
};

}  // namespace rovana::maps
