#include "app/maps/TileVersions.h"

#include <algorithm>

#include "app/core/Log.h"

namespace rovana::maps {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The reply's order of the four addresses, as kind indices.
constexpr TileKind kReplyOrder[kTileKinds] = {TileKind::RoadMap, TileKind::Satellite, TileKind::Hybrid,
                                              TileKind::Terrain};

}  // namespace

std::string DecodeHexEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
        HexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool SafeVersionPath(std::string_view path) {
  if (path.empty() || path.size() > kMaxVersionPath || path.front() != '/') return false;
  return std::all_of(path.begin(), path.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F;
  });
}

VersionScan ScanVersionReply(std::string_view reply, std::string_view mapHostName, std::string_view satHostName) {
  VersionScan scan;
  if (reply.size() > kVersionReplyCap) reply = reply.substr(0, kVersionReplyCap);
  const std::string text = DecodeHexEscapes(reply);
  std::size_t at = 0;
  for (TileKind kind : kReplyOrder) {
    const std::string_view host = kind == TileKind::Satellite ? satHostName : mapHostName;
    const std::size_t found = host.empty() ? std::string::npos : text.find(host, at);
    if (found == std::string::npos) {
      LogMessage("GoogleVersionsUpdate %s not found", TileKindInfo(kind).name);
      continue;
    }
    const std::size_t start = found + host.size();
    const std::size_t quote = text.find('"', start);
    if (quote == std::string::npos) {
      LogMessage("GoogleVersionsUpdate %s not found", TileKindInfo(kind).name);
      at = text.size();
      continue;
    }
    at = quote;
    const std::string_view value = std::string_view(text).substr(start, quote - start);
    if (!SafeVersionPath(value)) {
      LogMessage("GoogleVersionsUpdate %s not found (unusable path)", TileKindInfo(kind).name);
      continue;
    }
    LogMessage("GoogleVersionsUpdate %s found", TileKindInfo(kind).name);
    scan[static_cast<int>(kind)] = std::string(value);
  }
  return scan;
}

void TileVersions::Set(std::string mapHost, std::string satHost, const VersionPaths& paths) {
  std::lock_guard<std::mutex> guard(lock_);
  mapHost_ = std::move(mapHost);
  satHost_ = std::move(satHost);
  if (!changed_) paths_ = paths;  // prefixes not yet taken over stay
}

VersionPaths TileVersions::paths() const {
  std::lock_guard<std::mutex> guard(lock_);
  return paths_;
}

bool TileVersions::done() const {
  std::lock_guard<std::mutex> guard(lock_);
  return done_;
}

TileVersions::Outcome TileVersions::Update() {
  std::string mapName, satName;
  VersionFetch fetch;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (done_) {
      LogMessage("GoogleVersionsUpdate skip");
      return Outcome::Skipped;
    }
    mapName = HostName(HostForServer(mapHost_, 0));
    satName = HostName(HostForServer(satHost_, 0));
    fetch = fetch_;
  }
  LogMessage("GoogleVersionsUpdate start");
  if (!fetch || mapName.empty()) return Outcome::Failed;
  std::optional<std::string> reply = fetch();
  if (!reply) return Outcome::Failed;
  if (reply->size() > kVersionReplyCap) reply->resize(kVersionReplyCap);
  // The road map's address must be whole, up to its ")".
  const std::size_t first = reply->find(mapName);
  if (first == std::string::npos || reply->find(')', first) == std::string::npos) return Outcome::Failed;
  LogMessage("GoogleVersionsUpdate proceeded");
  const VersionScan scan = ScanVersionReply(*reply, mapName, satName.empty() ? mapName : satName);

  std::lock_guard<std::mutex> guard(lock_);
  if (done_) return Outcome::Skipped;
  bool changed = false, all = true;
  for (int k = 0; k < kTileKinds; ++k) {
    if (!scan[k]) {
      all = false;
      continue;
    }
    if (*scan[k] != paths_[k]) {
      paths_[k] = *scan[k];
      changed = true;
    }
  }
  if (all) done_ = true;
  if (changed) changed_ = true;
  return changed ? Outcome::Changed : Outcome::Unchanged;
}

std::optional<VersionPaths> TileVersions::TakeChanged() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!changed_) return std::nullopt;
  changed_ = false;
  return paths_;
}

}  // namespace rovana::maps
