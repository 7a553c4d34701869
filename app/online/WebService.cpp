#include "app/online/WebService.h"

#include <cstdio>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/VersionBanner.h"
#include "app/online/QueryText.h"
#include "platform/sync/Event.h"

namespace rovana {
namespace {

struct ResultEntry {
  std::int32_t code;
  int entry;
};
constexpr ResultEntry kResultTexts[] = {
    {0, lang::kNetResultOk},       {1, lang::kNetResult1},        {3, lang::kNetResult3},
    {4, lang::kNetResult4},        {5, lang::kNetResult5},        {6, lang::kNetResult6},
    {7, lang::kNetResult7},        {8, lang::kNetResult8},        {9, lang::kNetResult9},
    {14, lang::kNetResult14},      {15, lang::kNetResult15},      {16, lang::kNetResult16},
    {-1, lang::kNetResultNoUser},  {-2, lang::kNetResultNoReply}, {-3, lang::kNetResultNoEmail},
};

// The service name the question to go online names, by kind.
constexpr int kServiceNames[] = {
    -1,                       // 0: public services, named by nobody
    lang::kServiceOnlineMaps, lang::kServiceVozazId,   lang::kServiceVozazId, lang::kServiceGeocoder,
    lang::kServiceDirections, lang::kServiceDirections, lang::kServiceSearch,
};

bool IsSessionAction(int kind) { return kind == kKindBuddyChange || kind == kKindBuddyQuery; }

std::string VersionText() {
  char text[128];
  const std::string_view channel = SalesChannelName(BuildSalesChannel());
  std::snprintf(text, sizeof text, "%d.%d.%d %.*s", kVersionMajor, kVersionMinor, kVersionPatch,
                static_cast<int>(channel.size()), channel.data());
  return text;
}

}  // namespace

ServiceSettings ServiceSettingsOf(const SettingsStore& store) {
  ServiceSettings s;
  s.host = store.serviceHost;
  s.email = store.trackerEmail;
  s.password = store.trackerPassword;
  s.allowInternet = store.allowInternet;
  s.mapsOnlineDownload = store.mapsOnlineDownload;
  s.vozazidEnabled = store.vozazidEnabled;
  s.dirsRefresh = store.dirsRefresh;
  return s;
}

WebService::WebService(const LanguageTable& language, ServiceHooks hooks, std::string deviceId)
    : language_(language), hooks_(std::move(hooks)), deviceId_(std::move(deviceId)) {}

void WebService::Configure(ServiceSettings settings) {
  std::lock_guard lock(stateMutex_);
  settings_ = std::move(settings);
}

ServiceSettings WebService::settings() const {
  std::lock_guard lock(stateMutex_);
  return settings_;
}

bool WebService::loggedIn() const {
  std::lock_guard lock(stateMutex_);
  return loggedIn_;
}
std::int32_t WebService::userId() const {
  std::lock_guard lock(stateMutex_);
  return userId_;
}
std::int32_t WebService::sessionId() const {
  std::lock_guard lock(stateMutex_);
  return sessionId_;
}
std::int32_t WebService::lastResult() const {
  std::lock_guard lock(stateMutex_);
  return lastResult_;
}
std::string WebService::serverMessage() const {
  std::lock_guard lock(stateMutex_);
  return serverMessage_;
}

std::string WebService::ResultText(std::int32_t code) const {
  for (const ResultEntry& row : kResultTexts)
    if (row.code == code) return Entry(row.entry);
  char text[32];
  std::snprintf(text, sizeof text, "ERROR %d", code);
  return text;
}

// ---- requests ----------------------------------------------------------------

std::optional<std::string> WebService::Request(const ServiceAction& action) {
  for (int attempt = 0;; ++attempt) {
    const std::optional<std::string> suffix = Prepare(action.kind);
    if (!suffix) return std::nullopt;
    ServiceRequest request;
    std::int32_t usedSession = 0;
    {
      std::lock_guard lock(stateMutex_);
      request.host = settings_.host.empty() ? std::string(kDefaultServiceHost) : settings_.host;
      usedSession = sessionId_;
    }
    request.path = action.query + *suffix;
    request.kind = action.kind;
    std::optional<std::string> body = Send(request, action.action);
    if (!body) {
      if (IsSessionAction(action.kind)) {
        std::lock_guard lock(stateMutex_);
        lastResult_ = kResultNoReply;
      }
      return std::nullopt;
    }
    if (action.kind == kKindPublic) return body;
    const SessionReply reply = ReadSessionReply(*body);
    ApplySessionReply(reply, false);
    if (reply.result == kResultSessionExpired && attempt == 0) {
      LogMessage("Web service: the session expired (%.*s); logging in again", static_cast<int>(action.action.size()),
                 action.action.data());
      std::lock_guard lock(stateMutex_);
      // Another request may have logged in again already.
      if (loggedIn_ && sessionId_ == usedSession) loggedIn_ = false;
      continue;
    }
    return body;
  }
}

bool WebService::KindAllowed(int kind, const ServiceSettings& s) const {
  std::int32_t governing = 0;
  switch (kind) {
    case kKindMapCatalogue: governing = s.mapsOnlineDownload; break;
    case kKindBuddyQuery: governing = s.vozazidEnabled; break;
    case kKindDirectionsRefresh: governing = s.dirsRefresh; break;
    default: return true;
  }
  return governing == 1 || (governing == 2 && s.allowInternet);
}

std::optional<std::string> WebService::Prepare(int kind) {
  const ServiceSettings s = settings();
  if (!KindAllowed(kind, s)) return std::nullopt;

  bool declined = false;
  bool failed = false;
  if (!s.allowInternet) {
    std::string question = Entry(lang::kNetGoOnlineQuestion);
    if (kind >= 0 && kind < static_cast<int>(std::size(kServiceNames)) && kServiceNames[kind] >= 0)
      question += "\n\n" + Entry(kServiceNames[kind]);
    if (Ask(UserQuestion::Buttons::YesNo, question)) {
      SetAllowInternet(true);
    } else {
      declined = true;
    }
  }
  if (!declined && kind != kKindPublic && !loggedIn()) failed = EnsureLoggedIn() != kResultOk;
  if (declined || failed) {
    Refuse(kind, declined);
    return std::nullopt;
  }

  std::string suffix;
  if (kind != kKindPublic) {
    std::lock_guard lock(stateMutex_);
    suffix = "&i=" + QueryInt(userId_) + "&s=" + QueryInt(sessionId_);
  }
  suffix += "&tick=" + QueryInt(Tick());
  return suffix;
}

std::optional<std::string> WebService::SendDirect(ServiceRequest request) {
  request.path += "&tick=" + QueryInt(Tick());
  return Send(request, "direct");
}

void WebService::Refuse(int kind, bool declined) {
  const std::string reason = Entry(declined ? lang::kNetDeclined : lang::kNetLoginFailed);
  std::string text;
  switch (kind) {
    case kKindMapCatalogue:
      {
        std::lock_guard lock(stateMutex_);
        settings_.mapsOnlineDownload = 2;
      }
      Post([](SettingsStore& store) { store.mapsOnlineDownload = 2; });
      text = reason + "\n\n'" + Entry(lang::kServiceOnlineMaps) + "' " + Entry(lang::kNetHintOnlineMaps);
      break;
    case kKindBuddyQuery:
      {
        std::lock_guard lock(stateMutex_);
        settings_.vozazidEnabled = 2;
      }
      Post([](SettingsStore& store) { store.vozazidEnabled = 2; });
      text = reason + "\n\n" + Entry(lang::kServiceVozazId) + " " + Entry(lang::kNetHintVozazId);
      break;
    case kKindDirectionsRefresh:
      {
        std::lock_guard lock(stateMutex_);
        settings_.dirsRefresh = 2;
      }
      Post([](SettingsStore& store) { store.dirsRefresh = 2; });
      text = reason + "\n\n" + Entry(lang::kServiceDirections) + " " + Entry(lang::kNetHintDirections);
      break;
    default: text = Entry(declined ? lang::kNetRefused : lang::kNetRequestFailed); break;
  }
  LogMessage("Web service: a request of kind %d was refused (%s)", kind, declined ? "offline" : "no login");
  Ask(UserQuestion::Buttons::Ok, text);
}

// ---- login -------------------------------------------------------------------

std::int32_t WebService::EnsureLoggedIn() {
  std::uint64_t seen = 0;
  {
    std::lock_guard lock(stateMutex_);
    if (loggedIn_) return kResultOk;
    seen = logins_;
  }
  LoginOutcome outcome;
  {
    std::lock_guard login(loginMutex_);
    {
      std::lock_guard lock(stateMutex_);
      if (loggedIn_) return kResultOk;
      // A login failed while this request waited: take its result rather
      // than asking the server (and the user) again at once.
      if (logins_ != seen && lastLoginResult_ != kResultOk) return lastLoginResult_;
    }
    outcome = LoginLocked();
  }
  if (!outcome.message.empty()) Ask(UserQuestion::Buttons::Ok, outcome.message);
  if (outcome.result != kResultOk) ShowLoginFailure(outcome.result);
  return outcome.result;
}

std::int32_t WebService::Login() {
  LoginOutcome outcome;
  {
    std::lock_guard login(loginMutex_);
    outcome = LoginLocked();
  }
  if (!outcome.message.empty()) Ask(UserQuestion::Buttons::Ok, outcome.message);
  return outcome.result;
}

void WebService::Logout() {
  std::lock_guard login(loginMutex_);
  std::lock_guard state(stateMutex_);
  loggedIn_ = false;
  userId_ = sessionId_ = 0;
  lastResult_ = kResultNoEmail;
  LogMessage("Logged out of the web service");
}

WebService::LoginOutcome WebService::LoginLocked() {
  const ServiceSettings s = settings();
  LoginOutcome out;
  if (s.email.empty()) {
    out.result = kResultNoEmail;
  } else if (s.password.empty()) {
    out.result = kResultNoPassword;
  } else {
    SetAllowInternet(true);
    out.result = SendLogin(s, out.message);
    LogMessage("reqLoginUser: %d", out.result);
    if (out.result == kResultUnknownUser) {
      const std::int32_t registered = SendRegister(s);
      LogMessage("reqRegisterUser: %d", registered);
      if (registered == kResultOk) {
        out.result = SendLogin(s, out.message);
        LogMessage("reqLoginUser2: %d", out.result);
      } else {
        out.result = registered;
      }
    }
  }
  {
    std::lock_guard lock(stateMutex_);
    lastResult_ = out.result;
    lastLoginResult_ = out.result;
    ++logins_;
    loggedIn_ = out.result == kResultOk;
    if (!loggedIn_) {
      userId_ = 0;
      sessionId_ = 0;
    }
    serverMessage_ = out.message;
  }
  // A failed login leaves Rovana offline, so that the services stop asking
  // until the user goes online again.
  if (out.result != kResultOk) SetAllowInternet(false);
  return out;
}

std::int32_t WebService::SendLogin(const ServiceSettings& s, std::string& message) {
  LoginDetails details;
  details.version = VersionText();
  details.deviceId = deviceId_;
  const ServiceAction action = LoginUserQuery(s.email, s.password, details);
  const ServiceRequest request{s.host.empty() ? std::string(kDefaultServiceHost) : s.host,
                               action.query + "&tick=" + QueryInt(Tick()), kKindPublic};
  const std::optional<std::string> body = Send(request, action.action);
  if (!body) return kResultNoReply;
  const SessionReply reply = ReadSessionReply(*body);
  if (!reply.result) return kResultNoReply;
  message = reply.message;
  if (*reply.result != kResultOk) return *reply.result;
  if (!reply.userId || *reply.userId == 0 || !reply.sessionId) return kResultNoUser;
  {
    std::lock_guard lock(stateMutex_);
    userId_ = *reply.userId;
    sessionId_ = *reply.sessionId;
  }
  ApplySessionReply(reply, true);
  return kResultOk;
}

std::int32_t WebService::SendRegister(const ServiceSettings& s) {
  const ServiceAction action = RegisterUserQuery(s.email, s.password);
  const ServiceRequest request{s.host.empty() ? std::string(kDefaultServiceHost) : s.host,
                               action.query + "&tick=" + QueryInt(Tick()), kKindPublic};
  const std::optional<std::string> body = Send(request, action.action);
  if (!body) return kResultNoReply;
  const SessionReply reply = ReadSessionReply(*body);
  return reply.result ? *reply.result : kResultNoReply;
}

void WebService::ApplySessionReply(const SessionReply& reply, bool fromLogin) {
  {
    std::lock_guard lock(stateMutex_);
    if (reply.result && !fromLogin) lastResult_ = *reply.result;
    if (!reply.message.empty() && !fromLogin) serverMessage_ = reply.message;
  }
  if (reply.nickname) Post([nickname = *reply.nickname](SettingsStore& store) { store.trackerNickname = nickname; });
  if (reply.pincode) Post([pin = *reply.pincode](SettingsStore& store) { store.trackerPINpublic = pin; });
}

void WebService::ShowLoginFailure(std::int32_t result) {
  const std::string text =
      Entry(lang::kNetLoginTitle) + " (" + ResultText(result) + "!)\n\n" + Entry(lang::kNetLoginHint);
  if (Ask(UserQuestion::Buttons::OkCancel, text) && hooks_.openAccount) hooks_.openAccount();
}

// ---- helpers -----------------------------------------------------------------

void WebService::SetAllowInternet(bool value) {
  {
    std::lock_guard lock(stateMutex_);
    if (settings_.allowInternet == value) return;
    settings_.allowInternet = value;
  }
  Post([value](SettingsStore& store) { store.allowInternet = value; });
}

bool WebService::Ask(UserQuestion::Buttons buttons, std::string text) const {
  if (!hooks_.ask) return false;
  try {
    return hooks_.ask(UserQuestion{buttons, std::move(text)});
  } catch (...) {
    LogMessage("Web service: asking the user failed");
    return false;
  }
}

void WebService::Post(SettingsChange change) const {
  if (!hooks_.post) return;
  try {
    hooks_.post(std::move(change));
  } catch (...) {
    LogMessage("Web service: a settings change could not be queued");
  }
}

std::string WebService::Entry(int number) const { return language_.Entry(number); }

std::optional<std::string> WebService::Send(const ServiceRequest& request, std::string_view action) const {
  const int length = static_cast<int>(action.size());
  if (!hooks_.transport) {
    LogMessage("Web service: no transport for \"%.*s\"", length, action.data());
    return std::nullopt;
  }
  std::optional<std::string> body;
  try {
    body = hooks_.transport(request);
  } catch (...) {
    LogMessage("Web service: the transport failed on \"%.*s\"", length, action.data());
    return std::nullopt;
  }
  if (!body) LogMessage("Web service: no reply to \"%.*s\"", length, action.data());
  return body;
}

std::uint32_t WebService::Tick() const { return hooks_.tick ? hooks_.tick() : platform::TickCount(); }

}  // namespace rovana
