// The download of one tile, run as a job on the tile queue, and the HTTP
// caching facts kept beside a cached tile.
//
// The body goes to a temporary file in the cache's "temp" folder. It is
// moved to its final name only when the reply had status 200, is complete
// (as long as its Content-Length says) and starts like a PNG, JPEG or GIF
// picture; anything else is deleted, so an error page is never cached. A
// 304 to a revalidation keeps the cached file and renews its expiry.
//
// The fetch itself is given by the program (the online connection with
// its permission check); the job sees only TileFetch.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/maps/Loader.h"
#include "app/maps/TileSource.h"
#include "app/maps/TileVersions.h"

namespace rovana::maps {

inline constexpr std::uint64_t kTileReplyCap = 2 * 1024 * 1024;

struct TileFetchRequest {
  std::string base;                  // "scheme://host[:port]"
  std::string path;                  // from "/"
  std::vector<std::string> headers;  // "Name: value" (the revalidation's conditions)
  std::filesystem::path file;        // where the body is saved
  std::uint64_t cap = kTileReplyCap;
};

struct TileFetchReply {
  enum class Outcome {
    Received,  // a reply came; `status` says which, the body is in the file when `saved`
    Refused,   // not sent: downloads not allowed or no connection (tried again later)
    Failed,    // sent, but no usable reply (connection, broken off, too large)
  };
  Outcome outcome = Outcome::Failed;
  int status = 0;
  bool saved = false;
  std::uint64_t bytes = 0;  // body bytes saved
  std::optional<std::string> etag, lastModified, cacheControl, expires, contentLength;
};

using TileFetch = std::function<TileFetchReply(const TileFetchRequest&)>;

// The results of a download, by number: what a finished job reports.
enum class DownloadResult : int {
  Cached = 1,          // the tile is in the cache under its final name
  Failed = 2,          // no tile; tried again later
  ServiceError = 3,    // an error page, the version update changed nothing
  Forbidden = 4,       // a "403 Forbidden" page, or the version changed
  Refused = 5,         // the client did not send the request
  NotModified = 6,     // a revalidation's 304: the cached file stays
};

// HTTP caching facts of a cached tile, in "<tile file>.meta" beside it.
struct TileValidators {
  std::string etag;
  std::string lastModified;
  std::int64_t expires = 0;  // seconds since 1970 (UTC); 0 = unknown
  bool operator==(const TileValidators&) const = default;
};
std::optional<TileValidators> ReadValidators(const std::filesystem::path& tile);
// Through a temporary file and a rename; false when it could not be written.
bool WriteValidators(const std::filesystem::path& tile, const TileValidators& validators);
std::filesystem::path ValidatorsPath(const std::filesystem::path& tile);

// The expiry a reply gives, `now` seconds since 1970: "Cache-Control:
// max-age" first (no-cache and no-store: now), then "Expires"; without
// either, a week.
std::int64_t ExpiryOf(const TileFetchReply& reply, std::int64_t now);
// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT") in seconds since 1970.
std::optional<std::int64_t> ParseHttpDate(std::string_view text);

// Whether the first bytes are those of a PNG, a JPEG or a GIF file.
enum class PictureMagic { None, Png, Jpeg, Gif };
PictureMagic MagicOf(std::string_view head);

class TileDownloadJob : public Job {
 public:
  struct Input {
    TileId tile;
    TileRequest request;
    std::filesystem::path cacheFolder;
    // Sent as conditions when the cached tile is being revalidated.
    std::optional<TileValidators> revalidate;
    bool cachedPng = false;  // the revalidated satellite tile is a PNG file
    std::int64_t now = 0;  // seconds since 1970, for the expiry
  };
  TileDownloadJob(Input input, TileFetch fetch, std::shared_ptr<TileVersions> versions);
  void Run() override;

  // After done:
  DownloadResult result() const { return result_; }
  bool png() const { return png_; }  // the content was a PNG
  std::uint64_t size() const { return size_; }
  const std::filesystem::path& finalPath() const { return finalPath_; }
  const Input& input() const { return input_; }

  // The temporary and final paths of a tile of `request` in `cacheFolder`.
  static std::filesystem::path FinalPath(const std::filesystem::path& cacheFolder, const TileRequest& request,
                                         const TileId& tile, bool png);
  static std::filesystem::path TemporaryPath(const std::filesystem::path& cacheFolder, const TileRequest& request,
                                             const TileId& tile);

 private:
  DownloadResult Classify(const TileFetchReply& reply, const std::filesystem::path& temporary);

  Input input_;
  TileFetch fetch_;
  std::shared_ptr<TileVersions> versions_;
  DownloadResult result_ = DownloadResult::Failed;
  bool png_ = false;
  std::uint64_t size_ = 0;
  std::filesystem::path finalPath_;
};

}  // namespace rovana::maps
