// OnlineMaps: tile records, their jobs and the cache folder. The paint
// planning is in OnlineMapsPaint.cpp.
#include "app/maps/OnlineMaps.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "app/core/Log.h"
#include "app/maps/PictureJob.h"

namespace rovana::maps {
namespace fs = std::filesystem;
namespace {

// Files of 9 bytes or less are left-overs of failed writes, never tiles.
constexpr std::uintmax_t kSmallestTile = 10;

int StateAfter(DownloadResult result) {
  switch (result) {
    case DownloadResult::Cached: return kTileCached;
    case DownloadResult::NotModified: return kTileCached;
    case DownloadResult::Failed: return kTileDownloadFailed;
    case DownloadResult::ServiceError: return kTileServiceError;
    case DownloadResult::Forbidden: return kTileForbidden;
    case DownloadResult::Refused: return kTileRefused;
  }
  return kTileDownloadFailed;
}

void MakeFolder(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error && !fs::is_directory(folder))
    LogMessage("CreateDirectory(%s): ERROR %d", folder.c_str(), error.value());
}

}  // namespace

OnlineMaps::OnlineMaps(Loader& downloads, Loader& pictures, TileFetch fetch, VersionFetch versionFetch)
    : downloads_(downloads),
      pictures_(pictures),
      fetch_(std::move(fetch)),
      versions_(std::make_shared<TileVersions>(std::move(versionFetch))) {}

OnlineMaps::~OnlineMaps() {
  for (auto& [key, tile] : tiles_) ReleaseJobs(tile);
}

void OnlineMaps::ReleaseJobs(OnlineTile& tile) {
  // A job that is running is destroyed by its worker once it is done.
  if (tile.download && !downloads_.Cancel(tile.download)) downloads_.Release(tile.download);
  if (tile.decode && !pictures_.Cancel(tile.decode)) pictures_.Release(tile.decode);
  tile.download = tile.decode = nullptr;
}

fs::path OnlineMaps::PathOf(const OnlineTile& tile) const {
  return tile.folder.empty() ? folder_ / tile.file : folder_ / tile.folder / tile.file;
}

OnlineTile& OnlineMaps::Record(const TileId& id, const std::string& folder) {
  auto [at, added] = tiles_.try_emplace(Key{folder, id});
  if (added) {
    at->second.id = id;
    at->second.folder = folder;
    at->second.file = TileFileName(id, false);
  }
  return at->second;
}

const OnlineTile* OnlineMaps::Find(const TileId& id, const std::string& folder) const {
  const auto at = tiles_.find(Key{folder, id});
  return at == tiles_.end() ? nullptr : &at->second;
}

void OnlineMaps::InitialiseCache(const fs::path& folder) {
  for (auto& [key, tile] : tiles_) ReleaseJobs(tile);
  tiles_.clear();
  total_ = 0;
  folder_ = folder;
  if (folder_.empty()) return;
  MakeFolder(folder_);
  MakeFolder(folder_ / "temp");
  // What a download left in "temp" when the program ended is never a tile.
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_ / "temp", error))
    if (entry.is_regular_file(error)) fs::remove(entry.path(), error);
  ScanFolder(folder_, {});
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_, error)) {
    const std::string name = entry.path().filename().string();
    if (name != "temp" && entry.is_directory(error)) ScanFolder(entry.path(), name);
  }
  // The oldest files count as least recently used.
  std::vector<std::pair<fs::file_time_type, OnlineTile*>> order;
  for (auto& [key, tile] : tiles_) order.emplace_back(fs::last_write_time(PathOf(tile), error), &tile);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [when, tile] : order) tile->lastUse = ++useClock_;
}

void OnlineMaps::ScanFolder(const fs::path& folder, const std::string& sub) {
  for (const char* suffix : {".png", ".jpg"}) {
    LogMessage("Loading %s GoogleMaps from %s...", suffix, folder.c_str());
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
      const std::string name = entry.path().filename().string();
      const std::optional<ParsedTileName> parsed = ParseTileFileName(name);
      if (!parsed || parsed->png != (suffix[1] == 'p')) continue;
      if (!entry.is_regular_file(error)) continue;
      const std::uintmax_t size = entry.file_size(error);
      if (error || size < kSmallestTile) continue;
      const Key key{sub, parsed->tile};
      if (tiles_.count(key)) continue;  // a satellite tile in both formats: the PNG wins
      OnlineTile& tile = tiles_[key];
      tile.id = parsed->tile;
      tile.folder = sub;
      tile.file = name;
      tile.png = parsed->png;
      tile.size = size;
      tile.state = kTileCached;
      total_ += size;
    }
  }
}

void OnlineMaps::ClearCache() {
  std::error_code error;
  for (auto it = tiles_.begin(); it != tiles_.end();) {
    OnlineTile& tile = it->second;
    Free(tile);
    if (tile.download || tile.decode || tile.picture || tile.size == 0) {
      ++it;
      continue;
    }
    fs::remove(PathOf(tile), error);
    fs::remove(ValidatorsPath(PathOf(tile)), error);
    it = tiles_.erase(it);
  }
  InitialiseCache(folder_);
}

void OnlineMaps::TrimCache(int cacheSizeKB) {
  const std::uint64_t limit = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(cacheSizeKB)));
  while (total_ / 1024 > limit) {
    auto oldest = tiles_.end();
    for (auto it = tiles_.begin(); it != tiles_.end(); ++it) {
      const OnlineTile& t = it->second;
      if (t.id.level > 1 && t.size > 0 && (oldest == tiles_.end() || t.lastUse < oldest->second.lastUse)) oldest = it;
    }
    if (oldest == tiles_.end()) return;
    OnlineTile& tile = oldest->second;
    if (tile.download || tile.decode || tile.picture) return;  // still in use: try on a later paint
    std::error_code error;
    const fs::path path = PathOf(tile);
    fs::remove(path, error);
    if (error && fs::exists(path)) {
      LogMessage("Cannot delete tile %s: %s", path.c_str(), error.message().c_str());
      return;
    }
    fs::remove(ValidatorsPath(path), error);
    total_ -= std::min(total_, tile.size);
    tiles_.erase(oldest);
  }
}

bool OnlineMaps::pending() const {
  for (const auto& [key, tile] : tiles_) {
    if (tile.download && !downloads_.IsDone(tile.download)) return true;
    if (tile.decode && !pictures_.IsDone(tile.decode)) return true;
  }
  return false;
}

std::optional<VersionPaths> OnlineMaps::TakeVersionChanges() {
  std::optional<VersionPaths> changed = versions_->TakeChanged();
  if (changed) versionChanged_ = true;
  return changed;
}

std::int64_t TileRetryDelay(int failures) {
  constexpr std::int64_t kFirst = 15, kLongest = 600;
  if (failures <= 0) return 0;
  return failures > 6 ? kLongest : std::min(kLongest, kFirst << (failures - 1));
}

void OnlineMaps::Collect(OnlineTile& tile, std::int64_t now) {
  if (!tile.download || !downloads_.IsDone(tile.download)) return;
  auto* job = static_cast<TileDownloadJob*>(tile.download);
  const DownloadResult result = job->result();
  const bool revalidating = tile.revalidating;
  tile.revalidating = false;
  if (result == DownloadResult::Cached) {
    tile.failures = 0;
    total_ -= std::min(total_, tile.size);
    tile.size = job->size();
    total_ += tile.size;
    tile.png = job->png();
    tile.file = job->finalPath().filename().string();
    tile.validators = ReadValidators(job->finalPath());
    tile.validatorsRead = true;
    // New content: the old picture goes, the new file is decoded.
    if (tile.decode && pictures_.Cancel(tile.decode)) tile.decode = nullptr;
    if (!tile.decode) {
      tile.picture.reset();
      tile.state = kTileCached;
    }
  } else if (result == DownloadResult::NotModified) {
    tile.validators = ReadValidators(job->finalPath());
    tile.validatorsRead = true;
    if (tile.state != kTileReady && tile.state != kTileDecoding) tile.state = kTileCached;
  } else if (!revalidating) {
    tile.state = StateAfter(result);
    tile.failedMark = paintMark_;
    // Failures of the server or the network wait before the next try; a
    // refusal here (offline, downloads off) or a changed version does not.
    if (tile.state == kTileDownloadFailed) tile.retryAt = now + TileRetryDelay(++tile.failures);
  } else {
    // The cached file stays drawn; it is asked again after its expiry is
    // renewed by a later revalidation.
    if (tile.validators) tile.validators->expires = job->input().now + 60;
  }
  downloads_.Release(tile.download);
  tile.download = nullptr;
}

void OnlineMaps::StartDownload(OnlineTile& tile, const OnlineMapsConfig& config, std::int64_t now, bool revalidate) {
  if (tile.download || !config.download) return;
  const int server = (server_ + 1) % 4;
  std::optional<TileRequest> request = RequestFor(config.sources, tile.id, server);
  if (!request) return;  // no source for this kind: cached tiles only
  server_ = server;
  TileDownloadJob::Input input;
  input.tile = tile.id;
  input.request = std::move(*request);
  input.cacheFolder = folder_;
  input.now = now;
  input.cachedPng = tile.png;
  if (revalidate) input.revalidate = tile.validators;
  tile.download = downloads_.Add(std::make_unique<TileDownloadJob>(std::move(input), fetch_, versions_));
  if (!tile.download) return;
  tile.revalidating = revalidate;
  if (!revalidate) tile.state = tile.state == kTileNew ? kTileDownloading : kTileDownloadingAgain;
}

void OnlineMaps::StartDecode(OnlineTile& tile) {
  tile.decode = pictures_.Add(std::make_unique<PictureJob>(PathOf(tile).string()));
  tile.state = tile.decode ? kTileDecoding : kTileDecodeFailed;
}

const platform::picture::Picture* OnlineMaps::Ask(OnlineTile& tile, const OnlineMapsConfig& config,
                                                  std::int64_t now) {
  tile.lastUse = ++useClock_;
  tile.paintMark = paintMark_;
  switch (tile.state) {
    case kTileNew:
    case kTileDownloadFailed:
    case kTileForbidden:
    case kTileRefused:
      // A failure shows in one paint's status before the tile is tried again.
      if (tile.failedMark != paintMark_ && now >= tile.retryAt) StartDownload(tile, config, now, false);
      break;
    case kTileCached:
      StartDecode(tile);
      break;
    case kTileDecodeFailed:
      if (now >= tile.retryAt) StartDecode(tile);
      break;
    case kTileDecoding:
      if (tile.decode && pictures_.IsDone(tile.decode)) {
        auto* job = static_cast<PictureJob*>(tile.decode);
        tile.picture = job->TakePicture();
        tile.width = job->width();
        tile.height = job->height();
        tile.state = tile.picture ? kTileReady : kTileDecodeFailed;
        if (!tile.picture) tile.retryAt = now + TileRetryDelay(1);
        pictures_.Release(tile.decode);
        tile.decode = nullptr;
      }
      break;
    default:
      break;
  }
  if (tile.state == kTileCached || tile.state == kTileDecoding || tile.state == kTileReady) {
    if (!tile.validatorsRead) {
      tile.validators = ReadValidators(PathOf(tile));
      tile.validatorsRead = true;
    }
    if (tile.validators && tile.validators->expires <= now) StartDownload(tile, config, now, true);
  }
  return tile.state == kTileReady ? tile.picture.get() : nullptr;
}

void OnlineMaps::Free(OnlineTile& tile) {
  if (tile.download && downloads_.Cancel(tile.download)) {
    tile.download = nullptr;
    if (!tile.revalidating) tile.state = kTileNew;
    tile.revalidating = false;
  }
  if (tile.decode) {
    if (pictures_.Cancel(tile.decode)) {
      tile.decode = nullptr;
    } else if (pictures_.IsDone(tile.decode)) {
      pictures_.Release(tile.decode);  // its picture goes with the job
      tile.decode = nullptr;
    } else {
      return;  // running: collected on a later paint
    }
    tile.state = kTileCached;
  }
  if (tile.picture) {
    tile.picture.reset();
    tile.state = kTileCached;
  }
}

}  // namespace rovana::maps
