#include "server/Actions.h"

#include <chrono>

namespace rovana::server {
namespace {

constexpr std::size_t kMaxQueryBytes = 4096;
constexpr std::size_t kMaxPasswordBytes = 256;
constexpr std::size_t kMaxClientFieldBytes = 64;
constexpr std::size_t kMaxNicknameBytes = 32;
constexpr std::size_t kMaxPinBytes = 16;
// A session is written back at most this often while it is in use.
constexpr std::int64_t kTouchEverySeconds = 60;

std::int64_t WallClock() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool ValidEmail(std::string_view email) {
  if (email.size() < 3 || !ValidText(email, 254)) return false;
  const std::size_t at = email.find('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == email.size() ||
      email.find('@', at + 1) != std::string_view::npos) {
    return false;
  }
  return email.find_first_of(" \t") == std::string_view::npos;
}

RelayReply EmptyRelay::Answer(std::string_view, const Query&, const RelayRequest&) {
  return {XmlReply(kOk).Finish(), kXmlContentType};
}

const Service::Action Service::kActions[] = {
    {"ur", false, &Service::Register},
    {"ul", false, &Service::Login},
    {"uc", true, &Service::ChangeNickname},
    {"ct", true, &Service::CreateTrack},
    {"up", true, &Service::UploadPosition},
    {"bc", true, &Service::EnableBuddy},
    {"bl", true, &Service::ListBuddies},
    {"bp", true, &Service::BuddyPositions},
    {"ba", true, &Service::AddBuddy},
    {"bd", true, &Service::DeleteBuddy},
    {"cs", true, &Service::SendChat},
    {"cr", true, &Service::ReceiveChat},
    {"gm", true, nullptr},
    {"gc", true, nullptr},
    {"di", true, nullptr},
    {"ro", true, nullptr},
    {"ls", true, nullptr},
    {"pa", true, nullptr},
    {"gn", true, nullptr},
    {"ys", true, nullptr},
};

Service::Service(Storage& storage, ServerLog& log, ServiceConfig config, RelayAdapter& relay,
                 Clock clock)
    : storage_(storage), log_(log), config_(std::move(config)), relay_(relay),
      clock_(clock ? std::move(clock) : Clock(WallClock)),
      accountLimit_(config_.accountPerMinute, config_.accountBurst),
      loginLimit_(config_.loginPerMinute, config_.loginBurst) {}

ServiceReply Service::Handle(std::string_view rawQuery, const std::string& address,
                             const RelayRequest& request) {
  ServiceReply reply;
  auto finish = [&reply](const XmlReply& xml) {
    reply.result = xml.result();
    reply.body = xml.Finish();
    return reply;
  };
  if (rawQuery.size() > kMaxQueryBytes) return finish(XmlReply(kBadRequest));
  const Query query(rawQuery);
  const std::string action = query.Get("a").value_or("");
  reply.action = ValidText(action, 8) ? action : "?";

  const Action* found = nullptr;
  for (const Action& candidate : kActions) {
    if (candidate.name == action) found = &candidate;
  }
  if (!found) return finish(XmlReply(kUnknownAction));

  Caller caller;
  const double now = static_cast<double>(clock_());
  if (found->needsSession) {
    if (const int code = CheckSession(query, caller); code != kOk) return finish(XmlReply(code));
    if (!accountLimit_.Allow("user " + std::to_string(caller.user), now)) {
      return finish(XmlReply(kRateLimited));
    }
  } else if (!loginLimit_.Allow("address " + address, now)) {
    return finish(XmlReply(kRateLimited));
  }

  if (!found->handler) {
    RelayReply relayed = relay_.Answer(found->name, query, request);
    reply.result = kOk;
    reply.body = std::move(relayed.body);
    reply.contentType = std::move(relayed.contentType);
    return reply;
  }
  return finish((this->*found->handler)(query, caller));
}

int Service::CheckSession(const Query& query, Caller& caller) {
  const auto user = query.Int("i");
  const auto session = query.Int("s");
  if (!user || !session) return kSessionExpired;
  const Stored<Session> stored = storage_.SessionById(*session);
  if (stored.status == StoreStatus::Failed) return kServerError;
  if (!stored.ok() || stored.value.user != *user) return kSessionExpired;
  const std::int64_t now = clock_();
  if (now - stored.value.lastUsed > config_.sessionIdleSeconds) {
    storage_.DeleteSession(*session);
    return kSessionExpired;
  }
  if (now - stored.value.lastUsed >= kTouchEverySeconds &&
      storage_.TouchSession(*session, now) == StoreStatus::Failed) {
    return kServerError;
  }
  caller.user = *user;
  caller.session = *session;
  return kOk;
}

XmlReply Service::Register(const Query& query, const Caller&) {
  const std::string email = query.Get("e").value_or("");
  const std::string password = query.Get("p").value_or("");
  if (!ValidEmail(email)) return XmlReply(kInvalidEmail);
  if (password.empty()) return XmlReply(kNoPassword);
  if (password.size() > kMaxPasswordBytes) return XmlReply(kBadRequest);
  const Stored<Account> existing = storage_.AccountByEmail(email);
  if (existing.ok()) return XmlReply(kEmailTaken);
  if (existing.status == StoreStatus::Failed) return XmlReply(kServerError);
  const auto hash = HashPassword(password, config_.passwordIterations);
  if (!hash) {
    log_.Write("password hashing failed");
    return XmlReply(kServerError);
  }
  const Stored<std::int64_t> created = storage_.CreateAccount(email, *hash, clock_());
  if (created.status == StoreStatus::Conflict) return XmlReply(kEmailTaken);
  if (!created.ok()) return XmlReply(kServerError);
  log_.Write("account " + std::to_string(created.value) + " registered");
  return XmlReply(kOk);
}

XmlReply Service::Login(const Query& query, const Caller&) {
  const std::string email = query.Get("e").value_or("");
  const std::string password = query.Get("p").value_or("");
  if (!ValidEmail(email)) return XmlReply(kInvalidEmail);
  if (password.empty()) return XmlReply(kNoPassword);
  if (password.size() > kMaxPasswordBytes) return XmlReply(kBadRequest);
  std::string client;
  for (const char* key : {"v", "d", "c", "s", "l"}) {
    const std::string value = query.Get(key).value_or("");
    if (!ValidText(value, kMaxClientFieldBytes)) return XmlReply(kBadRequest);
    if (!client.empty()) client += "; ";
    client += std::string(key) + "=" + value;
  }
  const Stored<Account> account = storage_.AccountByEmail(email);
  if (account.status == StoreStatus::NotFound) return XmlReply(kUnknownUser);
  if (!account.ok()) return XmlReply(kServerError);
  if (!VerifyPassword(password, account.value.password)) return XmlReply(kWrongPassword);

  const std::int64_t now = clock_();
  storage_.DeleteSessionsBefore(now - config_.sessionIdleSeconds);
  Session session{0, account.value.id, now, client};
  StoreStatus status = StoreStatus::Conflict;
  for (int attempt = 0; attempt < 8 && status == StoreStatus::Conflict; ++attempt) {
    const auto id = RandomId();
    if (!id) break;
    session.id = *id;
    status = storage_.CreateSession(session);
  }
  if (status != StoreStatus::Ok) return XmlReply(kServerError);

  XmlReply reply(kOk);
  reply.Open("user", account.value.id)
      .Int("session", session.id)
      .Text("nickname", account.value.nickname)
      .Text("pincode", account.value.pin);
  if (!config_.loginMessage.empty()) reply.Text("msg", config_.loginMessage);
  reply.Close("user");
  return reply;
}

XmlReply Service::ChangeNickname(const Query& query, const Caller& caller) {
  const std::string nickname = query.Get("n").value_or("");
  const std::string pin = query.Get("c").value_or("");
  if (nickname.empty() || !ValidText(nickname, kMaxNicknameBytes) || nickname.front() == ' ' ||
      nickname.back() == ' ' || pin.empty() || !ValidText(pin, kMaxPinBytes)) {
    return XmlReply(kBadRequest);
  }
  switch (storage_.SetNicknameAndPin(caller.user, nickname, pin)) {
    case StoreStatus::Ok: return XmlReply(kOk);
    case StoreStatus::Conflict: return XmlReply(kNicknameTaken);
    case StoreStatus::NotFound: return XmlReply(kSessionExpired);
    case StoreStatus::Failed: break;
  }
  return XmlReply(kServerError);
}

}  // namespace rovana::server
