// Directions: the driving directions from the user's position to the target,
// fetched from the web service ("di") and kept as two small HTML pages in
// the program's temp folder: "dirsBody.html" (the reply, for the Directions
// dialog) and "dirsHeadline.html" (the current instruction, for the
// directions pane on the main screen). Also the route ("ro") from the user
// to the target as points for a new route.
//
// Who calls what:
//   - the user-interface thread gives the places (SetPlaces, every paint),
//     follows `dirsRefresh` (SetRefresh), asks for a fetch (RequestFetch,
//     the dialog's Refresh) and shows the pages when ChangeCount() is newer
//     than what its viewer last showed;
//   - DirectionsThread runs Step() once a second: a requested fetch at once,
//     else with `dirsRefresh` on an automatic one when more than 4 s passed
//     since the last headline change and the user or the target moved more
//     than 20 m since the last fetch (always without a target).
//
// The lock guards the state only; the download runs without it (what it
// needs is copied first, the result stored under the lock afterwards), so the
// user-interface thread never waits for the network.
//
// The instruction of a reply: the page is the reply cut at its first "<form"
// and then at its first "href="; the instruction is what follows the first
// "</center></div>" (at most 2048 bytes): with an "<li>" it starts there and
// ends before the second "<br />" after it, else it starts after the first
// "<p>" (if any) and ends before the first "<br />". A page without
// "</center></div>" is the instruction as a whole. Without a target, or
// when the download failed, the instruction and the page are a red notice.
//
// An automatic fetch whose instruction equals the shown one changes nothing
// (headline page, change count and last fetch stay); a requested fetch
// always counts as a change. Nothing here throws: failures become notices.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/online/WebServiceQueries.h"
#include "app/online/WebServiceTypes.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

class LanguageTable;

inline constexpr std::size_t kMaxHeadline = 2048;        // bytes of the instruction
inline constexpr double kDirectionsMoveMetres = 20.0;    // a move that asks for new directions
inline constexpr std::uint32_t kDirectionsRefreshS = 4;  // seconds between automatic fetches, more than
inline constexpr std::string_view kBodyPageName = "dirsBody";
inline constexpr std::string_view kHeadlinePageName = "dirsHeadline";

struct DirectionsHooks {
  // Sends one action through the web-service session (WebService::Request):
  // the body, or nothing when refused or without reply. Blocks.
  std::function<std::optional<std::string>(const ServiceAction&)> request;
  // Whether the program is online now (allowInternet): a download that
  // failed says "offline" or "failed" by it.
  std::function<bool()> online;
  TickFunction tick;  // platform::TickCount when empty
};

// The page cut at the first "<form", then at the first "href=".
std::string DirectionsPageOf(std::string_view reply);
// The instruction of a page (see above), at most kMaxHeadline bytes, never
// cut inside a UTF-8 character.
std::string HeadlineOf(std::string_view page);

class Directions {
 public:
  // Writes both pages (the waiting text) into `tempFolder`, which is created
  // when missing.
  Directions(const LanguageTable& language, std::filesystem::path tempFolder, DirectionsHooks hooks);
  Directions(const Directions&) = delete;
  Directions& operator=(const Directions&) = delete;

  // User-interface thread.
  void SetPlaces(const GeoPoint& user, std::optional<GeoPoint> target);
  void SetRefresh(bool on) { refresh_ = on; }
  // The next step fetches, whatever moved (kind 5, not governed by dirsRefresh).
  void RequestFetch();
  // True while a requested fetch has not finished: viewers show "...".
  bool FetchPending() const;

  // One step of DirectionsThread; blocks on the network when it fetches.
  // True when it fetched.
  bool Step();

  // What the viewers show. A viewer remembers the count it last showed
  // (-1 at first) and loads the page again when ChangeCount() differs.
  std::int64_t ChangeCount() const;
  std::string headline() const;
  std::uint32_t lastFetch() const;
  std::filesystem::path bodyPage() const { return folder_ / (std::string(kBodyPageName) + ".html"); }
  std::filesystem::path headlinePage() const { return folder_ / (std::string(kHeadlinePageName) + ".html"); }
  // "file://" and the page's path, percent-encoded where a URL needs it.
  std::string bodyUrl() const;
  std::string headlineUrl() const;

  // The route from `from` to `to` ("ro", kind 5), dated from `today`
  // (packed). Any thread; takes no lock. NoRoute: a reply without a line or
  // with a line of no points.
  struct RouteFetch {
    enum class Outcome { Ok, Offline, Failed, NoRoute };
    Outcome outcome = Outcome::Failed;
    std::vector<GeoPoint> points;
  };
  RouteFetch FetchRoute(const GeoPoint& from, const GeoPoint& to, std::int32_t today) const;

  // For tests: no thread holds the lock at this moment (ask from a thread
  // that does not hold it itself).
  bool LockFree() const;

 private:
  struct Result {
    std::string instruction;
    std::string page;
    bool replied = false;  // a reply was read
  };
  Result Fetch(const GeoPoint& from, const std::optional<GeoPoint>& to, bool requested) const;
  std::string RedNotice(std::string_view text) const;
  std::string FailureNotice() const;
  std::uint32_t Tick() const;

  const LanguageTable& language_;
  const std::filesystem::path folder_;
  const DirectionsHooks hooks_;
  std::atomic<bool> refresh_{false};

  mutable std::mutex mutex_;  // guards everything below
  std::uint32_t lastFetch_ = 0;  // 1: fetch now
  std::uint64_t requests_ = 0;   // RequestFetch calls, so one made during a download is kept
  std::int64_t changes_ = 0;
  GeoPoint user_;
  std::optional<GeoPoint> target_;
  std::optional<GeoPoint> lastFrom_;
  std::optional<GeoPoint> lastTo_;
  std::string headline_;
  std::string body_;  // what the body page holds
};

}  // namespace rovana
