#include "app/maps/TileDownload.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <system_error>

#include "app/core/Log.h"

namespace rovana::maps {
namespace fs = std::filesystem;
namespace {

constexpr std::int64_t kDefaultLifetime = 7 * 24 * 3600;  // a reply that says nothing
constexpr std::int64_t kLongestLifetime = 10ll * 365 * 24 * 3600;
constexpr std::size_t kHeadBytes = 255;                   // what the error page checks look at
constexpr std::size_t kMaxValidatorText = 256;
constexpr std::uintmax_t kMaxValidatorsFile = 4096;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Validator texts go back into request headers: one printable line.
bool SafeValidator(std::string_view text) {
  return text.size() <= kMaxValidatorText && std::all_of(text.begin(), text.end(), [](char c) {
           const auto u = static_cast<unsigned char>(c);
           return u >= 0x20 && u < 0x7F;
         });
}

std::optional<std::int64_t> Number(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::string ReadHead(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string head(kHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return head;
}

}  // namespace

PictureMagic MagicOf(std::string_view head) {
  if (head.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return PictureMagic::Png;
  if (head.size() >= 3 && static_cast<unsigned char>(head[0]) == 0xFF && static_cast<unsigned char>(head[1]) == 0xD8 &&
      static_cast<unsigned char>(head[2]) == 0xFF)
    return PictureMagic::Jpeg;
  if (head.substr(0, 6) == "GIF87a" || head.substr(0, 6) == "GIF89a") return PictureMagic::Gif;
  return PictureMagic::None;
}

std::optional<std::int64_t> ParseHttpDate(std::string_view text) {
  // "Sun, 06 Nov 1994 08:49:37 GMT"
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  std::string_view rest = Trim(text.substr(comma + 1));
  auto word = [&rest]() {
    rest = Trim(rest);
    const std::size_t space = rest.find(' ');
    const std::string_view w = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    return w;
  };
  const std::optional<std::int64_t> day = Number(word());
  const std::string month = Lower(word());
  const std::optional<std::int64_t> year = Number(word());
  const std::string_view clock = word();
  if (!day || !year || *day < 1 || *day > 31 || *year < 1970 || *year > 9999 || clock.size() != 8) return std::nullopt;
  const auto m = std::find(kMonths.begin(), kMonths.end(), month);
  if (m == kMonths.end()) return std::nullopt;
  const std::optional<std::int64_t> hh = Number(clock.substr(0, 2)), mm = Number(clock.substr(3, 2)),
                                    ss = Number(clock.substr(6, 2));
  if (!hh || !mm || !ss || clock[2] != ':' || clock[5] != ':' || *hh > 23 || *mm > 59 || *ss > 60) return std::nullopt;
  const int monthNumber = static_cast<int>(m - kMonths.begin()) + 1;
  return DaysFromCivil(*year, monthNumber, static_cast<int>(*day)) * 86400 + *hh * 3600 + *mm * 60 + *ss;
}

std::int64_t ExpiryOf(const TileFetchReply& reply, std::int64_t now) {
  if (reply.cacheControl) {
    std::string_view rest = *reply.cacheControl;
    while (!rest.empty()) {
      const std::size_t comma = rest.find(',');
      const std::string item = Lower(Trim(rest.substr(0, comma)));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      if (item == "no-cache" || item == "no-store") return now;
      if (item.rfind("max-age=", 0) == 0)
        if (const std::optional<std::int64_t> age = Number(item.substr(8)))
          return now + std::clamp<std::int64_t>(*age, 0, kLongestLifetime);
    }
  }
  if (reply.expires) {
    const std::optional<std::int64_t> at = ParseHttpDate(*reply.expires);
    // An unreadable date ("0", "-1") means already expired.
    return at ? std::min(*at, now + kLongestLifetime) : now;
  }
  return now + kDefaultLifetime;
}

fs::path ValidatorsPath(const fs::path& tile) {
  fs::path meta = tile;
  meta += ".meta";
  return meta;
}

std::optional<TileValidators> ReadValidators(const fs::path& tile) {
  const fs::path meta = ValidatorsPath(tile);
  std::error_code error;
  const std::uintmax_t size = fs::file_size(meta, error);
  if (error || size > kMaxValidatorsFile) return std::nullopt;
  std::ifstream in(meta, std::ios::binary);
  if (!in) return std::nullopt;
  TileValidators v;
  bool any = false;
  for (std::string line; std::getline(in, line);) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (!SafeValidator(value)) continue;
    if (key == "etag") {
      v.etag = value;
      any = true;
    } else if (key == "last-modified") {
      v.lastModified = value;
      any = true;
    } else if (key == "expires") {
      if (const std::optional<std::int64_t> n = Number(value)) {
        v.expires = *n;
        any = true;
      }
    }
  }
  if (!any) return std::nullopt;
  return v;
}

bool WriteValidators(const fs::path& tile, const TileValidators& v) {
  const fs::path meta = ValidatorsPath(tile);
  fs::path temporary = meta;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (SafeValidator(v.etag) && !v.etag.empty()) out << "etag=" << v.etag << '\n';
    if (SafeValidator(v.lastModified) && !v.lastModified.empty()) out << "last-modified=" << v.lastModified << '\n';
    out << "expires=" << std::to_string(v.expires) << '\n';
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, meta, error);
  if (error) fs::remove(temporary, error);
  return !error;
}

fs::path TileDownloadJob::FinalPath(const fs::path& cacheFolder, const TileRequest& request, const TileId& tile,
                                    bool png) {
  fs::path folder = cacheFolder;
  if (!request.folder.empty()) folder /= request.folder;
  return folder / TileFileName(tile, png);
}

fs::path TileDownloadJob::TemporaryPath(const fs::path& cacheFolder, const TileRequest& request,
                                        const TileId& tile) {
  const std::string prefix = request.folder.empty() ? std::string() : request.folder + "_";
  return cacheFolder / "temp" / (prefix + TileFileName(tile, false));
}

TileDownloadJob::TileDownloadJob(Input input, TileFetch fetch, std::shared_ptr<TileVersions> versions)
    : input_(std::move(input)), fetch_(std::move(fetch)), versions_(std::move(versions)) {}

void TileDownloadJob::Run() {
  const fs::path temporary = TemporaryPath(input_.cacheFolder, input_.request, input_.tile);
  std::error_code error;
  fs::create_directories(temporary.parent_path(), error);  // the user may have emptied the cache folder
  fs::remove(temporary, error);
  TileFetchRequest request;
  request.base = input_.request.base;
  request.path = input_.request.path;
  request.file = temporary;
  if (input_.revalidate) {
    if (!input_.revalidate->etag.empty()) request.headers.push_back("If-None-Match: " + input_.revalidate->etag);
    if (!input_.revalidate->lastModified.empty())
      request.headers.push_back("If-Modified-Since: " + input_.revalidate->lastModified);
  }
  TileFetchReply reply;
  if (fetch_) reply = fetch_(request);
  result_ = Classify(reply, temporary);
  if (result_ != DownloadResult::Cached) fs::remove(temporary, error);
}

DownloadResult TileDownloadJob::Classify(const TileFetchReply& reply, const fs::path& temporary) {
  std::error_code error;
  if (reply.outcome == TileFetchReply::Outcome::Refused) return DownloadResult::Refused;
  if (reply.outcome != TileFetchReply::Outcome::Received) return DownloadResult::Failed;
  const std::string where = input_.request.base + input_.request.path;

  if (reply.status == 304) {
    // Only a tile we asked about may be kept; its content is unchanged.
    if (!input_.revalidate) return DownloadResult::Failed;
    png_ = input_.cachedPng;
    const fs::path cached = FinalPath(input_.cacheFolder, input_.request, input_.tile, png_);
    if (!fs::exists(cached, error)) return DownloadResult::Failed;
    TileValidators v = *input_.revalidate;
    if (reply.etag && SafeValidator(*reply.etag)) v.etag = *reply.etag;
    if (reply.lastModified && SafeValidator(*reply.lastModified)) v.lastModified = *reply.lastModified;
    v.expires = ExpiryOf(reply, input_.now);
    WriteValidators(cached, v);
    finalPath_ = cached;
    size_ = fs::file_size(cached, error);
    if (error) size_ = 0;
    return DownloadResult::NotModified;
  }
  if (!reply.saved) return DownloadResult::Failed;
  const std::string head = ReadHead(temporary);
  if (head.empty()) return DownloadResult::Failed;

  const std::string lowered = Lower(head);
  if (lowered.find("html") != std::string::npos) {
    if (head.find("Error") != std::string::npos) {
      LogMessage("error response! (%s)", where.c_str());
      // Only the classic service answers an old version with an error page.
      if (input_.request.xyz || !versions_) return DownloadResult::Failed;
      switch (versions_->Update()) {
        case TileVersions::Outcome::Changed: return DownloadResult::Forbidden;
        case TileVersions::Outcome::Unchanged: return DownloadResult::ServiceError;
        case TileVersions::Outcome::Skipped: {
          // A request made with a prefix that an earlier update of this run
          // replaced is tried again with the new one; otherwise the service
          // refuses the current prefix and the tile is given up.
          const std::string current = versions_->paths()[static_cast<int>(input_.tile.kind)];
          const bool outdated = input_.request.path.compare(0, current.size(), current) != 0;
          return outdated ? DownloadResult::Forbidden : DownloadResult::ServiceError;
        }
        case TileVersions::Outcome::Failed: return DownloadResult::Failed;
      }
      return DownloadResult::Failed;
    }
    if (head.find("<title>403 Forbidden</title>") != std::string::npos) {
      LogMessage("no permission to get tile, please visit %s%s", input_.request.base.c_str(),
                 input_.request.path.c_str());
      return DownloadResult::Forbidden;
    }
    return DownloadResult::Failed;
  }
  if (reply.status == 403) {
    LogMessage("no permission to get tile, please visit %s%s", input_.request.base.c_str(),
               input_.request.path.c_str());
    return DownloadResult::Forbidden;
  }
  if (reply.status != 200) {
    LogMessage("Tile: status %d from %s", reply.status, where.c_str());
    return DownloadResult::Failed;
  }
  const PictureMagic magic = MagicOf(head);
  if (magic == PictureMagic::None) {
    LogMessage("Tile: not a picture from %s", where.c_str());
    return DownloadResult::Failed;
  }
  const std::uintmax_t bytes = fs::file_size(temporary, error);
  if (error) return DownloadResult::Failed;
  if (reply.contentLength) {
    const std::optional<std::int64_t> announced = Number(Trim(*reply.contentLength));
    if (!announced || *announced < 0 || static_cast<std::uintmax_t>(*announced) != bytes) {
      LogMessage("Tile: %ju of %s bytes from %s", bytes, reply.contentLength->c_str(), where.c_str());
      return DownloadResult::Failed;
    }
  }
  png_ = magic == PictureMagic::Png;
  finalPath_ = FinalPath(input_.cacheFolder, input_.request, input_.tile, png_);
  fs::create_directories(finalPath_.parent_path(), error);
  fs::rename(temporary, finalPath_, error);
  if (error) {
    LogMessage("Tile: cannot move %s to %s: %s", temporary.c_str(), finalPath_.c_str(), error.message().c_str());
    return DownloadResult::Failed;
  }
  size_ = bytes;
  // A satellite tile that changed its format leaves no file of the old one.
  if (input_.tile.kind == TileKind::Satellite) {
    const fs::path other = FinalPath(input_.cacheFolder, input_.request, input_.tile, !png_);
    fs::remove(other, error);
    fs::remove(ValidatorsPath(other), error);
  }
  if (reply.etag || reply.lastModified || reply.cacheControl || reply.expires) {
    TileValidators v;
    if (reply.etag && SafeValidator(*reply.etag)) v.etag = *reply.etag;
    if (reply.lastModified && SafeValidator(*reply.lastModified)) v.lastModified = *reply.lastModified;
    v.expires = ExpiryOf(reply, input_.now);
    WriteValidators(finalPath_, v);
  } else {
    fs::remove(ValidatorsPath(finalPath_), error);
  }
  return DownloadResult::Cached;
}

}  // namespace rovana::maps
