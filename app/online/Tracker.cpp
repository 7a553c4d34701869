#include "app/online/Tracker.h"

#include <climits>
#include <cmath>
#include <unordered_set>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/online/TrackerReply.h"
#include "app/online/WebService.h"
#include "app/online/WebServiceQueries.h"
#include "platform/sync/Event.h"

namespace rovana {
namespace {

constexpr double kDegrees = 180.0 / kPi;

// Whole seconds from `last` to `now`; "long ago" when there was none.
std::int32_t SecondsSince(const std::optional<std::uint32_t>& last, std::uint32_t now) {
  if (!last) return INT32_MAX;
  return static_cast<std::int32_t>((now - *last) / 1000);
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// A fix's date and time as seconds, so that gaps across midnight count; a
// fix without a date has its time of day only.
std::int64_t FixSeconds(const GeoPoint& point) {
  std::int64_t seconds = point.time();
  const CivilDate date = UnpackDate(point.date());
  if (point.date() > 0 && date.month >= 1 && date.month <= 12 && date.day >= 1)
    seconds += DaysFromCivil(date.year, date.month, date.day) * kSecondsPerDay;
  return seconds;
}

// Every line break as carriage return + line feed, as the chat log keeps them.
std::string CrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsSuccess(const std::optional<std::int32_t>& result) { return result && *result == kResultOk; }

}  // namespace

TrackerSettings TrackerSettingsOf(const SettingsStore& store) {
  TrackerSettings s;
  s.uploadPosEnabled = store.uploadPosEnabled;
  s.uploadPosInterval = store.uploadPosInterval;
  s.downloadPosEnabled = store.downloadPosEnabled;
  s.downloadPosInterval = store.downloadPosInterval;
  s.pollMsgEnabled = store.pollMsgEnabled;
  s.pollMsgInterval = store.pollMsgInterval;
  s.secondaryServer = store.secondaryServer;
  s.secondaryUrl = store.secondaryUrl;
  return s;
}

// Applies one reply to the tracker; runs with the list mutex held.
class Tracker::Reply final : public TrackerReplySink {
 public:
  explicit Reply(Tracker& tracker) : tracker_(tracker), now_(tracker.Tick()) {}

  std::optional<std::int32_t> result;
  bool namedTrack = false;
  std::vector<std::string> received;  // chat lines, for chatReceived once the lock is gone

  void Result(std::int32_t code) override {
    if (!result) result = code;
  }
  void Track(std::int32_t id) override {
    tracker_.trackId_ = id;
    namedTrack = true;
  }
  void ListBegin() override {
    inList_ = true;
    listed_.clear();
  }
  void ListEnd() override {
    if (!inList_) return;
    inList_ = false;
    std::erase_if(tracker_.buddies_, [this](const rovana::Buddy& b) { return !listed_.contains(b.id); });
  }
  void Buddy(const BuddyRecord& record) override {
    if (!record.id) return;
    rovana::Buddy* buddy = tracker_.FindLocked(*record.id);
    if (!buddy) {
      if (tracker_.buddies_.size() >= kMaxBuddies) {
        if (!warnedFull_) LogMessage("Buddy reply: more than %zu buddies; the rest are ignored", kMaxBuddies);
        warnedFull_ = true;
        return;
      }
      buddy = &tracker_.buddies_.emplace_back();
      buddy->id = *record.id;
    }
    buddy->lastSeen = now_;
    if (record.nickname) buddy->nickname = *record.nickname;
    if (record.enabled) buddy->enabled = *record.enabled != 0;
    if (inList_) listed_.insert(*record.id);
  }
  void PositionsBegin() override {
    inPositions_ = true;
    positioned_.clear();
  }
  void PositionsEnd() override {
    if (!inPositions_) return;
    inPositions_ = false;
    // An enabled buddy the list has no position for (not uploaded yet, or
    // no longer) shows without one; it stays a buddy until a buddy list
    // drops it.
    for (rovana::Buddy& b : tracker_.buddies_)
      if (b.enabled && !positioned_.contains(b.id)) b.hasPosition = false;
  }
  void Position(const PositionRecord& record) override {
    if (!record.id) return;
    rovana::Buddy* buddy = tracker_.FindLocked(*record.id);
    if (!buddy) {
      tracker_.needBuddyList_ = true;
      return;
    }
    if (inPositions_) positioned_.insert(*record.id);
    buddy->lastSeen = now_;
    if (record.age) buddy->age = *record.age;
    if (record.t) buddy->t = *record.t;
    const double lat = record.latitude.value_or(NAN), lon = record.longitude.value_or(NAN);
    if (!(std::fabs(lat) <= 90) || !(std::fabs(lon) <= 180)) {
      LogMessage("Buddy reply: buddy %d has no usable position", *record.id);
      return;
    }
    const double heading = record.heading.value_or(0), speed = record.speed.value_or(0);
    buddy->latitude = lat / kDegrees;
    buddy->longitude = lon / kDegrees;
    buddy->heading = std::isfinite(heading) ? NormalizeAngle(heading / kDegrees) : 0;
    buddy->speed = std::isfinite(speed) ? speed : 0;
    buddy->hasPosition = true;
  }
  void Message(const MessageRecord& record) override {
    if (!record.buddy) {
      LogMessage("Buddy reply: a chat message names no buddy; it is dropped");
      return;
    }
    if (!tracker_.FindLocked(*record.buddy)) tracker_.needBuddyList_ = true;
    received.push_back(tracker_.AddChatLine(*record.buddy, record.text, record.age.value_or(0), false));
  }

 private:
  Tracker& tracker_;
  const std::uint32_t now_;
  bool inList_ = false, inPositions_ = false, warnedFull_ = false;
  std::unordered_set<std::int32_t> listed_, positioned_;
};

Tracker::Tracker(WebService& service, const LanguageTable& language, TrackerHooks hooks)
    : service_(service), language_(language), hooks_(std::move(hooks)) {
  newTrack_ = true;
  needBuddyList_ = true;
}

void Tracker::Configure(TrackerSettings settings) {
  std::lock_guard lock(listMutex_);
  settings_ = std::move(settings);
}

void Tracker::NewFix(const GeoPoint& point, double speedKmh, double courseDeg) {
  const std::int64_t seconds = FixSeconds(point);
  std::lock_guard lock(fixMutex_);
  fix_ = Fix{point.latitude(), point.longitude(), point.altitude(), speedKmh, courseDeg};
  if (haveFixTime_ && seconds - fixSeconds_ > kNewTrackGap) {
    newTrack_ = true;
    ++trackMarks_;
  }
  fixSeconds_ = seconds;
  haveFixTime_ = true;
  newFix_ = true;
  ++fixCount_;
}

std::function<void(const GeoPoint&, double, double)> Tracker::FixHook() {
  return [this](const GeoPoint& point, double speedKmh, double courseDeg) { NewFix(point, speedKmh, courseDeg); };
}

void Tracker::Reset() {
  {
    std::lock_guard lock(fixMutex_);
    // Before the first fix there is nothing to upload.
    newFix_ = fixCount_ > 0;
    newTrack_ = true;
    ++trackMarks_;
    lastUpload_.reset();
  }
  std::lock_guard lock(listMutex_);
  needBuddyList_ = true;
  lastDownload_.reset();
  lastPoll_.reset();
  lastChatActivity_.reset();
}

void Tracker::Step() {
  if (service_.settings().vozazidEnabled == 0) return;
  const std::uint32_t now = Tick();
  TrackerSettings s;
  bool wantList = false;
  {
    std::lock_guard lock(listMutex_);
    s = settings_;
    // Cleared before asking, so that a reply naming an unknown buddy asks again.
    wantList = needBuddyList_;
    needBuddyList_ = false;
  }
  if (wantList && !RequestBuddyList()) {
    std::lock_guard lock(listMutex_);
    needBuddyList_ = true;
  }

  Upload(s, now);

  bool due = false;
  {
    std::lock_guard lock(listMutex_);
    due = s.downloadPosEnabled && SecondsSince(lastDownload_, now) >= s.downloadPosInterval;
  }
  if (due && RequestPositions()) {
    std::lock_guard lock(listMutex_);
    lastDownload_ = now;
  }

  {
    std::lock_guard lock(listMutex_);
    due = s.pollMsgEnabled && SecondsSince(lastPoll_, now) >= PollPeriod(s, now);
  }
  if (due && ReceiveChat()) {
    std::lock_guard lock(listMutex_);
    lastPoll_ = now;
  }
}

std::int32_t Tracker::PollPeriod(const TrackerSettings& s, std::uint32_t now) const {
  const std::int32_t since = SecondsSince(lastChatActivity_, now);
  if (since < kActiveChat) return kActivePoll;
  if (since < s.pollMsgInterval) return s.pollMsgInterval / 2;
  return s.pollMsgInterval;
}

void Tracker::Upload(const TrackerSettings& s, std::uint32_t now) {
  if (!s.uploadPosEnabled) return;
  Fix fix;
  std::uint64_t count = 0, marks = 0;
  bool track = false;
  {
    std::lock_guard lock(fixMutex_);
    if (!newFix_ || SecondsSince(lastUpload_, now) < s.uploadPosInterval) return;
    fix = fix_;
    count = fixCount_;
    track = newTrack_;
    marks = trackMarks_;
  }
  if (track && CreateTrack()) {
    std::lock_guard lock(fixMutex_);
    if (trackMarks_ == marks) newTrack_ = false;  // no new gap since
  }
  const std::optional<std::int32_t> id = trackId();
  if (!id) return;

  UploadFix up;
  up.track = *id;
  up.interval = s.uploadPosInterval;
  up.latitude = fix.latitude * kDegrees;
  up.longitude = fix.longitude * kDegrees;
  up.altitude = fix.altitude;
  up.speedKmh = fix.speedKmh;
  up.courseDeg = fix.courseDeg;
  const ServiceAction action = UploadPositionQuery(up);
  if (!IsSuccess(Perform(action))) return;
  SendSecondary(s, action);
  std::lock_guard lock(fixMutex_);
  lastUpload_ = now;
  if (fixCount_ == count) newFix_ = false;  // a fix that came during the upload is still new
}

void Tracker::SendSecondary(const TrackerSettings& s, const ServiceAction& upload) {
  if (s.secondaryServer.empty() || s.secondaryUrl.empty()) return;
  ServiceRequest request;
  request.host = s.secondaryServer.find("://") == std::string::npos ? "http://" + s.secondaryServer : s.secondaryServer;
  request.path = s.secondaryUrl.front() == '/' ? s.secondaryUrl : "/" + s.secondaryUrl;
  // The upload's own parameters only: the session's ids are for the service.
  const std::size_t query = upload.query.find('?');
  request.path += request.path.find('?') == std::string::npos ? '?' : '&';
  request.path += upload.query.substr(query == std::string::npos ? upload.query.size() : query + 1);
  request.kind = kKindBuddyQuery;
  service_.SendDirect(std::move(request));  // its reply is not read
}

// ---- actions -----------------------------------------------------------------

std::optional<std::int32_t> Tracker::Perform(const ServiceAction& action) {
  const std::optional<std::string> body = service_.Request(action);
  if (!body) return std::nullopt;
  return ReadReply(*body).value_or(kResultOk);
}

bool Tracker::RequestBuddyList() { return IsSuccess(Perform(BuddyListQuery())); }
bool Tracker::RequestPositions() { return IsSuccess(Perform(BuddyPositionsQuery())); }
bool Tracker::ReceiveChat() { return IsSuccess(Perform(ReceiveChatQuery())); }

bool Tracker::CreateTrack() {
  const std::optional<std::string> body = service_.Request(CreateTrackQuery());
  if (!body) return false;
  const Summary summary = Apply(*body);
  return summary.namedTrack && summary.result.value_or(kResultOk) == kResultOk;
}

bool Tracker::AddBuddy(std::string_view nickname, std::string_view pin) {
  if (!IsSuccess(Perform(AddBuddyQuery(nickname, pin)))) return false;
  std::lock_guard lock(listMutex_);
  needBuddyList_ = true;
  return true;
}

bool Tracker::DeleteBuddy(std::int32_t id) {
  if (!IsSuccess(Perform(DeleteBuddyQuery(id)))) return false;
  std::lock_guard lock(listMutex_);
  std::erase_if(buddies_, [id](const Buddy& b) { return b.id == id; });
  return true;
}

bool Tracker::EnableBuddy(std::int32_t id, bool enabled) {
  if (!IsSuccess(Perform(EnableBuddyQuery(id, enabled)))) return false;
  std::lock_guard lock(listMutex_);
  if (Buddy* buddy = FindLocked(id)) buddy->enabled = enabled;
  return true;
}

bool Tracker::ChangeIdentity(std::string_view nickname, std::string_view pin) {
  return IsSuccess(Perform(ChangeIdentityQuery(nickname, pin)));
}

bool Tracker::SendChat(std::int32_t buddy, std::string_view text) {
  if (!IsSuccess(Perform(SendChatQuery(buddy, text)))) return false;
  AddChatLine(buddy, text, 0, true);
  return true;
}

// ---- replies and chat --------------------------------------------------------

std::optional<std::int32_t> Tracker::ReadReply(std::string_view body) { return Apply(body).result; }

Tracker::Summary Tracker::Apply(std::string_view body) {
  std::vector<std::string> received;
  Summary summary;
  {
    std::lock_guard lock(listMutex_);
    Reply reply(*this);
    ReadTrackerReply(body, reply);
    summary.result = reply.result;
    summary.namedTrack = reply.namedTrack;
    received = std::move(reply.received);
  }
  // Outside the lock: the receiver may look at the buddies.
  if (hooks_.chatReceived)
    for (const std::string& line : received) hooks_.chatReceived(line);
  return summary;
}

std::string Tracker::AddChatLine(std::int32_t buddy, std::string_view text, std::int32_t ageSeconds, bool sent) {
  std::lock_guard lock(listMutex_);
  const Buddy* found = FindLocked(buddy);
  const std::string nickname = found ? found->nickname : "?";
  const std::time_t when = Now() - std::max<std::int32_t>(ageSeconds, 0);
  std::string line = FormatChatLine(when, language_.Entry(sent ? lang::kOnlineSent : lang::kOnlineReceived), nickname,
                                    CrLf(text));
  lastChatActivity_ = Tick();
  if (hooks_.post) hooks_.post([line](SettingsStore& store) { store.chatMessages.Add(line, true); });
  return line;
}

std::string Tracker::FormatChatLine(std::time_t when, std::string_view word, std::string_view nickname,
                                    std::string_view text) {
  const LocalStamp stamp = LocalStampOf(when);
  std::string line = FormatPackedDate(stamp.date) + " " + FormatSecondsOfDay(stamp.seconds, ':') + " ";
  line += word;
  line += ' ';
  line += nickname;
  line += ":\r\n";
  line += text;
  return line;
}

// ---- state -------------------------------------------------------------------

Buddy* Tracker::FindLocked(std::int32_t id) {
  for (Buddy& buddy : buddies_)
    if (buddy.id == id) return &buddy;
  return nullptr;
}

std::optional<Buddy> Tracker::FindBuddy(std::int32_t id) const {
  std::lock_guard lock(listMutex_);
  for (const Buddy& buddy : buddies_)
    if (buddy.id == id) return buddy;
  return std::nullopt;
}

std::vector<Buddy> Tracker::Buddies() const {
  std::lock_guard lock(listMutex_);
  return buddies_;
}

std::optional<std::int32_t> Tracker::trackId() const {
  std::lock_guard lock(listMutex_);
  return trackId_;
}

bool Tracker::needBuddyList() const {
  std::lock_guard lock(listMutex_);
  return needBuddyList_;
}

bool Tracker::newTrack() const {
  std::lock_guard lock(fixMutex_);
  return newTrack_;
}

bool Tracker::newFix() const {
  std::lock_guard lock(fixMutex_);
  return newFix_;
}

std::uint32_t Tracker::Tick() const { return hooks_.tick ? hooks_.tick() : platform::TickCount(); }
std::time_t Tracker::Now() const { return hooks_.now ? hooks_.now() : std::time(nullptr); }

}  // namespace rovana
