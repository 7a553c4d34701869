// Tracker: buddy tracking and chat over the web service. GPSThread hands it
// every fix (NewFix); TrackerThread calls Step() once a second, which
//   1. asks for the buddy list ("bl") while one is needed;
//   2. uploads the latest fix ("up") when there is a new one, uploads are on
//      and uploadPosInterval seconds have passed since the last upload; a new
//      track ("ct") is created first when the fixes were more than 900 s
//      apart (or after Reset). After the service took it, the same position
//      goes to the second server (secondaryServer as host, secondaryUrl as
//      path; skipped when either is empty) without the session's "i" and "s";
//   3. asks for the buddies' positions ("bp") every downloadPosInterval s;
//   4. polls for chat messages ("cr"): every 3 s within 20 s of the last chat
//      activity, every pollMsgInterval / 2 s until pollMsgInterval s have
//      passed, then every pollMsgInterval s.
// Nothing happens while vozazidEnabled is 0. A request that failed or was
// refused leaves its time as it was, so it is tried again on the next step.
// Elapsed times are whole seconds (milliseconds divided by 1000).
//
// Every reply goes through one reader (TrackerReply.h): a buddy list replaces
// the list (buddies not in it are dropped), a position list updates the
// buddies and drops every enabled buddy without a position in it, and a
// position or message naming an unknown buddy makes the next step ask for the
// list. Chat lines go to chatMessages through `post`:
//   "<yyyy-mm-dd> <hh:mm:ss> <received|sent> <nickname or ?>:\r\n<text>"
// with the local time the message was sent (now minus its age).
//
// Threads: NewFix is called on GPSThread, Step on TrackerThread, the rest
// from anywhere. One mutex guards the latest fix (never held over the
// network, so a slow upload never holds up GPSThread), another the buddy
// list, the flags and the times. Settings are copied in with Configure on the
// user-interface thread and never written here.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/online/WebServiceTypes.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

class LanguageTable;
class WebService;
struct ServiceAction;

// The settings the tracker reads (vozazidEnabled is the session's).
struct TrackerSettings {
  bool uploadPosEnabled = true;
  std::int32_t uploadPosInterval = 10;  // seconds
  bool downloadPosEnabled = true;
  std::int32_t downloadPosInterval = 10;  // seconds
  bool pollMsgEnabled = true;
  std::int32_t pollMsgInterval = 30;  // seconds
  std::string secondaryServer;        // host, with or without "http://"
  std::string secondaryUrl;           // path, "/" added in front when missing
};
TrackerSettings TrackerSettingsOf(const SettingsStore& store);

struct Buddy {
  std::int32_t id = 0;
  std::string nickname;
  bool enabled = false;
  std::uint32_t lastSeen = 0;  // tick of the last reply that named it
  double latitude = 0;         // radians
  double longitude = 0;        // radians
  double heading = 0;          // radians
  double speed = 0;            // as the server sends it
  std::int32_t age = 0;        // as the server sends it
  std::int32_t t = 0;          // as the server sends it
  bool hasPosition = false;
};

struct TrackerHooks {
  PostFunction post;                  // chatMessages changes
  TickFunction tick;                  // platform::TickCount when empty
  std::function<std::time_t()> now;   // the wall clock for chat lines; std::time when empty
  // A chat line was received (for chatNotify); called on the thread that read it.
  std::function<void(const std::string& line)> chatReceived;
};

class Tracker {
 public:
  static constexpr std::int32_t kNewTrackGap = 900;     // seconds between fixes that start a new track
  static constexpr std::int32_t kActiveChat = 20;       // seconds after chat activity that poll fast
  static constexpr std::int32_t kActivePoll = 3;        // seconds between polls then
  static constexpr std::size_t kMaxBuddies = 1000;      // more in one reply are ignored

  Tracker(WebService& service, const LanguageTable& language, TrackerHooks hooks);
  Tracker(const Tracker&) = delete;
  Tracker& operator=(const Tracker&) = delete;

  void Configure(TrackerSettings settings);

  // The latest fix: position (radians, metres, time of day and date), speed
  // and course (degrees).
  void NewFix(const GeoPoint& point, double speedKmh, double courseDeg);
  // For GpsFixHooks::buddy; the tracker must outlive the GPS thread.
  std::function<void(const GeoPoint&, double, double)> FixHook();

  // New fix, new track and buddy list wanted; every time forgotten.
  void Reset();
  // One step of TrackerThread.
  void Step();

  // The buddy actions; each true when a reply came with result 0 (or none).
  bool RequestBuddyList();   // bl
  bool RequestPositions();   // bp
  bool CreateTrack();        // ct; true only when the reply named the track
  bool ReceiveChat();        // cr
  bool AddBuddy(std::string_view nickname, std::string_view pin);     // ba
  bool DeleteBuddy(std::int32_t id);                                  // bd
  bool EnableBuddy(std::int32_t id, bool enabled);                    // bc
  bool ChangeIdentity(std::string_view nickname, std::string_view pin);  // uc
  bool SendChat(std::int32_t buddy, std::string_view text);           // cs; the line is logged as sent

  // Appends a chat line for `buddy` sent `ageSeconds` ago and notes the chat
  // activity. Gives the line.
  std::string AddChatLine(std::int32_t buddy, std::string_view text, std::int32_t ageSeconds, bool sent);

  // Reads a reply of a buddy action; its result code, or nothing without one.
  std::optional<std::int32_t> ReadReply(std::string_view body);

  std::optional<Buddy> FindBuddy(std::int32_t id) const;
  std::vector<Buddy> Buddies() const;  // in order of arrival
  std::optional<std::int32_t> trackId() const;
  bool needBuddyList() const;
  bool newTrack() const;
  bool newFix() const;

  // "<date> <time> <word> <nickname>:\r\n<text>" for the local time of `when`.
  static std::string FormatChatLine(std::time_t when, std::string_view word, std::string_view nickname,
                                    std::string_view text);

 private:
  class Reply;
  struct Summary {
    std::optional<std::int32_t> result;
    bool namedTrack = false;
  };
  Summary Apply(std::string_view body);

  struct Fix {
    double latitude = 0, longitude = 0, altitude = 0;  // radians, metres
    double speedKmh = 0, courseDeg = 0;
  };

  void Upload(const TrackerSettings& settings, std::uint32_t now);
  void SendSecondary(const TrackerSettings& settings, const ServiceAction& upload);
  std::optional<std::int32_t> Perform(const ServiceAction& action);  // result: 0 for none, nothing without a reply
  std::int32_t PollPeriod(const TrackerSettings& settings, std::uint32_t now) const;
  std::uint32_t Tick() const;
  std::time_t Now() const;
  Buddy* FindLocked(std::int32_t id);

  WebService& service_;
  const LanguageTable& language_;
  const TrackerHooks hooks_;

  // The latest fix.
  mutable std::mutex fixMutex_;
  Fix fix_;
  std::int64_t fixSeconds_ = 0;  // the fix's date and time as seconds
  bool haveFixTime_ = false;
  bool newFix_ = false;
  bool newTrack_ = false;
  std::uint64_t fixCount_ = 0;    // fixes taken, so an upload clears only the fix it sent
  std::uint64_t trackMarks_ = 0;  // times newTrack_ was set, likewise for "ct"
  std::optional<std::uint32_t> lastUpload_;

  // The buddy list and the rest.
  mutable std::recursive_mutex listMutex_;
  TrackerSettings settings_;
  std::vector<Buddy> buddies_;
  bool needBuddyList_ = false;
  std::optional<std::int32_t> trackId_;
  std::optional<std::uint32_t> lastDownload_, lastPoll_, lastChatActivity_;
};

}  // namespace rovana
