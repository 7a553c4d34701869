// The buddy service: tracks and positions, the buddy pairs, chat.
#include <algorithm>
#include <cmath>

#include "server/Actions.h"

namespace rovana::server {
namespace {

constexpr std::size_t kMaxMessageBytes = 1000;
constexpr std::int64_t kMaxUploadInterval = 86400;
constexpr double kMaxAltitude = 1e6;  // metres
constexpr double kMaxSpeed = 1e5;     // kilometres per hour

XmlReply Failed(StoreStatus status) {
  return XmlReply(status == StoreStatus::Failed ? kServerError : kBuddyNotFound);
}

}  // namespace

void Service::AppendBuddy(XmlReply& reply, const BuddyEntry& buddy) {
  reply.Open("buddy", buddy.id)
      .Text("nickname", buddy.nickname)
      .Int("enabled", buddy.enabled ? 1 : 0)
      .Close("buddy");
}

XmlReply Service::CreateTrack(const Query&, const Caller& caller) {
  const Stored<std::int64_t> track = storage_.CreateTrack(caller.user, clock_());
  if (!track.ok()) return XmlReply(kServerError);
  XmlReply reply(kOk);
  reply.Empty("track", track.value);
  return reply;
}

XmlReply Service::UploadPosition(const Query& query, const Caller& caller) {
  const auto track = query.Int("t");
  const auto interval = query.Int("p");
  const auto latitude = query.Real("y");
  const auto longitude = query.Real("x");
  const auto altitude = query.Real("e");
  const auto speed = query.Real("v");
  const auto course = query.Real("h");
  if (!track || !interval || !latitude || !longitude || !altitude || !speed || !course ||
      *interval < 0 || *interval > kMaxUploadInterval || std::abs(*latitude) > 90 ||
      std::abs(*longitude) > 180 || std::abs(*altitude) > kMaxAltitude ||
      std::abs(*speed) > kMaxSpeed || std::abs(*course) > 3600) {
    return XmlReply(kBadRequest);
  }
  const Stored<std::int64_t> owner = storage_.TrackOwner(*track);
  if (owner.status == StoreStatus::Failed) return XmlReply(kServerError);
  if (!owner.ok() || owner.value != caller.user) return XmlReply(kNotAllowed);
  const Position position{*track,   caller.user, clock_(), *latitude, *longitude,
                          *altitude, *speed,      *course,  *interval};
  if (storage_.AddPosition(position) != StoreStatus::Ok) return XmlReply(kServerError);
  return XmlReply(kOk);
}

XmlReply Service::EnableBuddy(const Query& query, const Caller& caller) {
  const auto buddy = query.Int("b");
  const auto enabled = query.Int("e");
  if (!buddy || !enabled) return XmlReply(kBadRequest);
  const StoreStatus status = storage_.SetBuddyEnabled(caller.user, *buddy, *enabled != 0);
  if (status != StoreStatus::Ok) return Failed(status);
  const Stored<Account> account = storage_.AccountById(*buddy);
  XmlReply reply(kOk);
  AppendBuddy(reply, {*buddy, account.ok() ? account.value.nickname : "", *enabled != 0});
  return reply;
}

XmlReply Service::ListBuddies(const Query&, const Caller& caller) {
  const auto buddies = storage_.Buddies(caller.user);
  if (!buddies.ok()) return XmlReply(kServerError);
  XmlReply reply(kOk);
  reply.Open("buddylist");
  for (const BuddyEntry& buddy : buddies.value) AppendBuddy(reply, buddy);
  reply.Close("buddylist");
  return reply;
}

XmlReply Service::BuddyPositions(const Query&, const Caller& caller) {
  const auto positions = storage_.BuddyPositions(caller.user);
  if (!positions.ok()) return XmlReply(kServerError);
  const std::int64_t now = clock_();
  XmlReply reply(kOk);
  reply.Open("buddypositions");
  for (const Position& p : positions.value) {
    reply.Open("buddyposition", p.user)
        .Int("age", std::max<std::int64_t>(0, now - p.time))
        .Int("t", p.track)
        .Real("y", p.latitude)
        .Real("x", p.longitude)
        .Real("e", p.altitude)
        .Real("h", p.course)
        .Real("s", p.speed)
        .Close("buddyposition");
  }
  reply.Close("buddypositions");
  return reply;
}

XmlReply Service::AddBuddy(const Query& query, const Caller& caller) {
  const std::string nickname = query.Get("n").value_or("");
  const std::string pin = query.Get("c").value_or("");
  if (nickname.empty() || !ValidText(nickname, 64) || !ValidText(pin, 64)) {
    return XmlReply(kBadRequest);
  }
  const Stored<Account> buddy = storage_.AccountByNickname(nickname);
  if (!buddy.ok()) return Failed(buddy.status);
  if (buddy.value.id == caller.user) return XmlReply(kNotAllowed);
  if (buddy.value.pin.empty() || buddy.value.pin != pin) return XmlReply(kWrongPin);
  const StoreStatus status = storage_.AddBuddyPair(caller.user, buddy.value.id);
  if (status == StoreStatus::Failed) return XmlReply(kServerError);
  // An existing pair is kept as it is: adding again is not an error.
  const Stored<std::vector<BuddyEntry>> buddies = storage_.Buddies(caller.user);
  XmlReply reply(kOk);
  for (const BuddyEntry& entry : buddies.value) {
    if (entry.id == buddy.value.id) AppendBuddy(reply, entry);
  }
  return reply;
}

XmlReply Service::DeleteBuddy(const Query& query, const Caller& caller) {
  const auto buddy = query.Int("b");
  if (!buddy) return XmlReply(kBadRequest);
  const StoreStatus status = storage_.DeleteBuddyPair(caller.user, *buddy);
  if (status != StoreStatus::Ok) return Failed(status);
  // The remaining list, so that the client drops the deleted buddy at once.
  return ListBuddies(query, caller);
}

XmlReply Service::SendChat(const Query& query, const Caller& caller) {
  const auto buddy = query.Int("b");
  const std::string text = query.Get("m").value_or("");
  if (!buddy || text.empty() || !ValidText(text, kMaxMessageBytes, true)) {
    return XmlReply(kBadRequest);
  }
  const Stored<bool> isBuddy = storage_.IsBuddy(caller.user, *buddy);
  if (!isBuddy.ok()) return XmlReply(kServerError);
  if (!isBuddy.value) return XmlReply(kBuddyNotFound);
  const ChatMessage message{0, caller.user, *buddy, text, clock_()};
  if (!storage_.AddMessage(message).ok()) return XmlReply(kServerError);
  return XmlReply(kOk);
}

XmlReply Service::ReceiveChat(const Query&, const Caller& caller) {
  const auto messages = storage_.TakeUndelivered(caller.user, config_.messagesPerReply);
  if (!messages.ok()) return XmlReply(kServerError);
  const std::int64_t now = clock_();
  XmlReply reply(kOk);
  for (const ChatMessage& message : messages.value) {
    reply.Open("msg", message.id)
        .Int("buddy", message.sender)
        .Int("age", std::max<std::int64_t>(0, now - message.sent))
        .Text("m", message.text)
        .Close("msg");
  }
  return reply;
}

}  // namespace rovana::server
