#include "app/online/Directions.h"

#include <cstdio>
#include <unistd.h>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/online/RouteReply.h"
#include "platform/sync/Event.h"

namespace rovana {
namespace {

constexpr double kRadiansToDegrees = 180.0 / 3.14159265358979323846;
constexpr std::string_view kHeaderEnd = "</center></div>";
constexpr std::string_view kItem = "<li>";
constexpr std::string_view kParagraph = "<p>";
constexpr std::string_view kBreak = "<br />";

// At most `limit` bytes of `text`, shortened to the start of a UTF-8
// character so that a cut never leaves half of one.
std::string_view CutAt(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string_view Before(std::string_view text, std::string_view marker, std::size_t from = 0) {
  const std::size_t at = text.find(marker, from);
  return at == std::string_view::npos ? text : text.substr(0, at);
}

// Temporary file, flush, rename: a viewer reading the page meanwhile sees
// the old one or the new one, never half of either.
bool WritePage(const std::filesystem::path& file, std::string_view text) {
  const std::filesystem::path part = file.string() + ".part";
  std::FILE* out = std::fopen(part.c_str(), "wb");
  if (!out) {
    LogMessage("Directions: %s cannot be written", part.c_str());
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  ok = std::fflush(out) == 0 && ok;
  ok = ::fsync(fileno(out)) == 0 && ok;
  ok = std::fclose(out) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(part, file, error);
  if (!ok || error) {
    std::filesystem::remove(part, error);
    LogMessage("Directions: %s could not be saved", file.c_str());
    return false;
  }
  return true;
}

std::string FileUrl(const std::filesystem::path& file) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const unsigned char c : file.string()) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '.' || c == '-' || c == '_' || c == '~';
    if (plain) {
      url.push_back(static_cast<char>(c));
    } else {
      url.push_back('%');
      url.push_back(kHex[c >> 4]);
      url.push_back(kHex[c & 15]);
    }
  }
  return url;
}

double Degrees(double radians) { return radians * kRadiansToDegrees; }

bool MovedFrom(const GeoPoint& now, const std::optional<GeoPoint>& before) {
  return !before || now.Distance(*before) > kDirectionsMoveMetres;
}

}  // namespace

std::string DirectionsPageOf(std::string_view reply) {
  return std::string(Before(Before(reply, "<form"), "href="));
}

std::string HeadlineOf(std::string_view page) {
  const std::size_t header = page.find(kHeaderEnd);
  if (header == std::string_view::npos) return std::string(CutAt(page, kMaxHeadline));
  std::string_view text = CutAt(page.substr(header + kHeaderEnd.size()), kMaxHeadline);
  if (const std::size_t item = text.find(kItem); item != std::string_view::npos) {
    text = text.substr(item);
    const std::size_t first = text.find(kBreak);
    if (first != std::string_view::npos) text = Before(text, kBreak, first + kBreak.size());
  } else {
    if (const std::size_t p = text.find(kParagraph); p != std::string_view::npos) text = text.substr(p + kParagraph.size());
    text = Before(text, kBreak);
  }
  return std::string(text);
}

Directions::Directions(const LanguageTable& language, std::filesystem::path tempFolder, DirectionsHooks hooks)
    : language_(language), folder_(std::move(tempFolder)), hooks_(std::move(hooks)) {
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  headline_ = "<b><font color=black>" + language_.Entry(lang::kDirectionsWaiting) + "</font></b>";
  WritePage(headlinePage(), headline_);
  body_ = headline_;  // until the first fetch the dialog waits too
  WritePage(bodyPage(), body_);
}

void Directions::SetPlaces(const GeoPoint& user, std::optional<GeoPoint> target) {
  std::lock_guard lock(mutex_);
  user_ = user;
  target_ = std::move(target);
}

void Directions::RequestFetch() {
  std::lock_guard lock(mutex_);
  lastFetch_ = 1;
  ++requests_;
}

bool Directions::FetchPending() const {
  std::lock_guard lock(mutex_);
  return lastFetch_ == 1;
}

std::int64_t Directions::ChangeCount() const {
  std::lock_guard lock(mutex_);
  return changes_;
}

std::string Directions::headline() const {
  std::lock_guard lock(mutex_);
  return headline_;
}

std::uint32_t Directions::lastFetch() const {
  std::lock_guard lock(mutex_);
  return lastFetch_;
}

std::string Directions::bodyUrl() const { return FileUrl(bodyPage()); }
std::string Directions::headlineUrl() const { return FileUrl(headlinePage()); }

bool Directions::LockFree() const {
  if (!mutex_.try_lock()) return false;
  mutex_.unlock();
  return true;
}

std::uint32_t Directions::Tick() const { return hooks_.tick ? hooks_.tick() : platform::TickCount(); }

bool Directions::Step() {
  // What the fetch needs, copied under the lock.
  GeoPoint from;
  std::optional<GeoPoint> to;
  bool requested = false;
  std::uint64_t requestsSeen = 0;
  {
    std::lock_guard lock(mutex_);
    requested = lastFetch_ == 1;
    if (!requested) {
      const std::uint32_t elapsed = Tick() - lastFetch_;  // unsigned: wraps with the tick
      if (!refresh_.load() || elapsed / 1000 <= kDirectionsRefreshS) return false;
      if (target_ && !MovedFrom(user_, lastFrom_) && !MovedFrom(*target_, lastTo_)) return false;
    }
    from = user_;
    to = target_;
    requestsSeen = requests_;
  }

  const Result result = Fetch(from, to, requested);  // the network, without the lock

  std::lock_guard lock(mutex_);
  // Steps without a target repeat the same notice every second: the page is
  // written only when it changes.
  if (result.page != body_) {
    body_ = result.page;
    WritePage(bodyPage(), body_);
  }
  if (result.replied || !to) {
    lastFrom_ = from;
    lastTo_ = to;
  }
  if (requested || result.instruction != headline_) {
    headline_ = result.instruction;
    WritePage(headlinePage(), headline_);
    lastFetch_ = Tick();
    if (lastFetch_ <= 1) lastFetch_ = 2;  // 0 and 1 have meanings of their own
    ++changes_;
  }
  // Refresh pressed while this download ran: fetch again on the next step.
  if (requests_ != requestsSeen) lastFetch_ = 1;
  return true;
}

std::string Directions::RedNotice(std::string_view text) const {
  return "<b><font color=red>" + std::string(text) + "</font></b>";
}

std::string Directions::FailureNotice() const {
  const bool online = hooks_.online && hooks_.online();
  if (!online)
    return RedNotice(language_.Entry(lang::kNetOffline)) + "<br>" + language_.Entry(lang::kServiceDirections) + " " +
           language_.Entry(lang::kNetHintDirections);
  return RedNotice(language_.Entry(lang::kNetRequestFailed)) + "<br>" + language_.Entry(lang::kServiceDirections) +
         ": " + language_.Entry(lang::kNetTryLater);
}

Directions::Result Directions::Fetch(const GeoPoint& from, const std::optional<GeoPoint>& to, bool requested) const {
  Result result;
  if (!to) {
    result.instruction = RedNotice(language_.Entry(lang::kDirectionsNoTarget));
    result.page = result.instruction;
    return result;
  }
  std::optional<std::string> reply;
  if (hooks_.request)
    reply = hooks_.request(DirectionsQuery(Degrees(from.latitude()), Degrees(from.longitude()),
                                           Degrees(to->latitude()), Degrees(to->longitude()), !requested));
  if (!reply) {
    result.instruction = FailureNotice();
    result.page = result.instruction;
    return result;
  }
  result.page = DirectionsPageOf(*reply);
  result.instruction = HeadlineOf(result.page);
  result.replied = true;
  return result;
}

Directions::RouteFetch Directions::FetchRoute(const GeoPoint& from, const GeoPoint& to, std::int32_t today) const {
  RouteFetch fetch;
  std::optional<std::string> reply;
  if (hooks_.request)
    reply = hooks_.request(RouteQuery(Degrees(from.latitude()), Degrees(from.longitude()), Degrees(to.latitude()),
                                      Degrees(to.longitude())));
  if (!reply) {
    fetch.outcome = hooks_.online && hooks_.online() ? RouteFetch::Outcome::Failed : RouteFetch::Outcome::Offline;
    return fetch;
  }
  std::optional<std::vector<GeoPoint>> points = RouteOfReply(*reply, today);
  if (!points || points->empty()) {
    LogMessage("Directions: the route reply holds no route");
    fetch.outcome = RouteFetch::Outcome::NoRoute;
    return fetch;
  }
  fetch.points = std::move(*points);
  fetch.outcome = RouteFetch::Outcome::Ok;
  return fetch;
}

}  // namespace rovana
