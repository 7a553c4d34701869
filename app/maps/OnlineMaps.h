// OnlineMaps: the set of online map tiles. It knows which tiles are cached
// (the cache folder is scanned at start), downloads missing ones on the tile
// queue, decodes cached ones on the picture queue, keeps the cache under its
// size limit and plans each paint: which level fits the zoom, which tiles
// cover the screen, which coarser tiles fill in while finer ones are not
// ready, and the strips that place a Mercator tile on the view's
// latitudes. The user interface draws the resulting list.
//
// Tile states:
//   1 new (no file)       2 downloading      3 downloading again after a failure
//   4 cached file         5 decoding         6 picture ready
//   7 decode failed       8 service error without version change
//   9 download failed    10 forbidden or version changed   11 not sent (refused)
// States 1, 9, 10 and 11 download when downloads are allowed; 4 and 7
// decode; only 6 draws; 8 is not tried again in this run.
//
// A cached tile whose HTTP expiry has passed stays drawn while it is
// revalidated in the background (a 304 keeps the file, a new picture
// replaces it).
//
// Threads: user-interface thread only; the jobs report through their queue.
// The queues must outlive this object (their running jobs are released to
// them on destruction).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/maps/Loader.h"
#include "app/maps/TileDownload.h"
#include "app/maps/TileMath.h"
#include "app/maps/TileSource.h"
#include "app/maps/TileVersions.h"
#include "app/maps/ViewTransform.h"
#include "platform/picture/Picture.h"

namespace rovana::maps {

enum TileState : int {
  kTileNotATile = 0,
  kTileNew = 1,
  kTileDownloading = 2,
  kTileDownloadingAgain = 3,
  kTileCached = 4,
  kTileDecoding = 5,
  kTileReady = 6,
  kTileDecodeFailed = 7,
  kTileServiceError = 8,
  kTileDownloadFailed = 9,
  kTileForbidden = 10,
  kTileRefused = 11,
};
inline constexpr int kTileStates = 12;
using TileCounts = std::array<int, kTileStates>;

struct OnlineTile {
  TileId id;
  std::string folder;  // cache sub-folder, empty for the cache folder itself
  std::string file;    // file name in that folder
  std::uint64_t size = 0;
  std::uint64_t lastUse = 0;  // a use counter: larger is more recent
  int state = kTileNew;
  bool png = false;
  platform::picture::PicturePtr picture;
  int width = 0, height = 0;
  Job* download = nullptr;
  Job* decode = nullptr;
  bool revalidating = false;  // the download renews a cached file
  bool validatorsRead = false;
  std::optional<TileValidators> validators;
  std::uint64_t paintMark = 0;
  std::uint64_t failedMark = 0;  // the paint that collected a failed download
  // A download that failed, or a cached file that did not decode, is not
  // tried again before `retryAt` (seconds, as the paints' `now`): 15 s after
  // the first failure, twice as long after each further one, at most 10 min,
  // so that a missing tile is not asked of its server at the paint rate.
  int failures = 0;
  std::int64_t retryAt = 0;
};

// The wait before the next try after `failures` failures in a row.
std::int64_t TileRetryDelay(int failures);

// What a paint needs from the settings, copied on the UI thread.
struct OnlineMapsConfig {
  int type = 0;  // mapsOnlineType: 0 satellite, 1 road map, 2 hybrid, 3 terrain
  bool hiRes = false;
  bool download = false;  // mapsOnlineDownload non-zero
  int cacheSizeKB = 5000;
  TileSources sources;
};

// One horizontal band of a tile: rows [sourceTop, sourceBottom) of the
// picture (fractions of its height) go to that screen rectangle.
struct TileStrip {
  double sourceTop = 0, sourceBottom = 1;
  double left = 0, top = 0, right = 0, bottom = 0;
};

struct TileDraw {
  TileId id;
  const platform::picture::Picture* picture = nullptr;  // valid until the next paint
  bool overlay = false;  // hybrid labels: drawn with transparency over the base
  std::vector<TileStrip> strips;
};

struct TilePaint {
  int level = -1;  // the level chosen for the view
  std::vector<TileDraw> draws;  // in paint order: coarser fill first
  TileCounts counts{};          // states of the chosen level's tiles
};

// The one-line status of the last paint: a language entry and, for
// downloads, the number of tiles still to come (0: no number).
struct TileStatus {
  int entry = 0;
  int number = 0;
};
std::optional<TileStatus> StatusOf(const TileCounts& counts, bool downloadAllowed, bool versionChanged);

// The level whose tile under the screen centre is first narrower than 512
// pixels (256 with high resolution), at most kMaxTileLevel.
int ChooseLevel(const ViewTransform& view, bool hiRes);
// The strips a tile is drawn in: 2^k with k from the metres per pixel and
// the tile's screen width.
int StripExponent(double metresPerPixel, double tileWidth);

class OnlineMaps {
 public:
  OnlineMaps(Loader& downloads, Loader& pictures, TileFetch fetch, VersionFetch versionFetch);
  ~OnlineMaps();
  OnlineMaps(const OnlineMaps&) = delete;
  OnlineMaps& operator=(const OnlineMaps&) = delete;

  // Creates the folder and its "temp" sub-folder, forgets every tile and
  // scans the folder (and the template sub-folders) for cached tiles.
  void InitialiseCache(const std::filesystem::path& folder);
  // Deletes every cached tile file that no job or picture uses and scans
  // again.
  void ClearCache();

  // Plans one paint of a north-up view; `now` is seconds since 1970 (for
  // HTTP expiry). Trims the cache afterwards.
  TilePaint Paint(const ViewTransform& view, const OnlineMapsConfig& config, std::int64_t now);
  // Removes least recently used tiles above level 1 until the cache holds at
  // most |cacheSizeKB| kilobytes.
  void TrimCache(int cacheSizeKB);

  // Jobs of tiles not yet finished in either queue.
  bool pending() const;
  // Prefixes the version update changed, to be written into the settings.
  std::optional<VersionPaths> TakeVersionChanges();
  bool versionChanged() const { return versionChanged_; }

  std::uint64_t total() const { return total_; }
  std::size_t tileCount() const { return tiles_.size(); }
  const OnlineTile* Find(const TileId& id, const std::string& folder = {}) const;
  const std::filesystem::path& folder() const { return folder_; }
  const TileCounts& counts() const { return counts_; }

 private:
  using Key = std::pair<std::string, TileId>;
  OnlineTile& Record(const TileId& id, const std::string& folder);
  std::filesystem::path PathOf(const OnlineTile& tile) const;
  void Collect(OnlineTile& tile, std::int64_t now);
  // Asks a tile for its picture (starting a download or a decode as its
  // state says); the picture when it is ready.
  const platform::picture::Picture* Ask(OnlineTile& tile, const OnlineMapsConfig& config, std::int64_t now);
  void StartDownload(OnlineTile& tile, const OnlineMapsConfig& config, std::int64_t now, bool revalidate);
  void StartDecode(OnlineTile& tile);
  void Free(OnlineTile& tile);
  void ReleaseJobs(OnlineTile& tile);
  void ScanFolder(const std::filesystem::path& folder, const std::string& sub);
  void Plan(const ViewTransform& view, const OnlineMapsConfig& config, std::int64_t now, TilePaint& paint);
  void AddDraw(TilePaint& paint, const ViewTransform& view, const OnlineTile& tile, bool overlay);

  Loader& downloads_;
  Loader& pictures_;
  TileFetch fetch_;
  std::shared_ptr<TileVersions> versions_;
  std::filesystem::path folder_;
  std::map<Key, OnlineTile> tiles_;
  std::uint64_t total_ = 0;
  std::uint64_t useClock_ = 0;
  std::uint64_t paintMark_ = 0;
  TileCounts counts_{};
  int server_ = 0;
  bool versionChanged_ = false;
};

}  // namespace rovana::maps
