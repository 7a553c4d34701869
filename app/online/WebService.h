// WebService: the session with Rovana's web service. Every request to the
// service goes through Request(), which checks whether the request may go
// (the request's kind and the setting governing it, the user's consent to go
// online), logs in when the session needs it, adds the session's suffix, sends
// it through the transport and reads the session's elements of the reply.
//
// Permission, by kind (ServiceKind):
//   - kinds 1, 3 and 6 are governed by mapsOnlineDownload, vozazidEnabled and
//     dirsRefresh: 1 allows the kind, 2 allows it only while allowInternet is
//     true, any other value refuses it. A refused request is dropped silently.
//   - while allowInternet is false the user is asked whether to go online for
//     the service ("yes" sets allowInternet).
//   - every kind but 0 needs a login; a failed login is shown to the user
//     (title, the result's text, a hint; Ok opens the account dialog).
//   - a request the user declined, or whose login failed, is refused with a
//     message; kinds 1, 3 and 6 then set their governing setting to 2 (only
//     while online), so the question is not asked again.
// Suffix: "&i=<user id>&s=<session id>" for every kind but 0, then
// "&tick=<ms tick>" for every request.
//
// Login (Login(), or the first request that needs it): without trackerEmail
// the result is -3, without trackerPassword 3, and nothing is sent. Otherwise
// allowInternet is set, "ul" is sent; result 12 (unknown user) registers the
// user with "ur" and, when that gives 0, logs in again. Result 0 without user
// id or session id counts as -1. A non-empty server message is shown once. A
// failed login ends the session and sets allowInternet back to false. Only
// one login runs at a time; requests that waited for it take its result.
// A reply with result 7 (session expired) logs in again once and repeats the
// request with the new session.
//
// Result codes: 0 logged in, -1 the login gave no user, -2 no reply, -3 no
// e-mail address set, 3 no password set, and the server's codes. Each of 0, 1,
// 3 to 9, 14, 15, 16, -1, -2 and -3 has a text in the language file; any
// other code reads "ERROR <code>".
//
// Threads: Request and Login may be called from any thread and block (the
// network, questions to the user); do not call them on the user-interface
// thread while a worker may be waiting for an answer from it. Settings are
// never written here: each change is applied to the session's own copy and
// handed to `post` for the store. Configure is called on the user-interface
// thread whenever the settings the session reads change. The password is
// never written to the log; logs name the action only.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/online/WebServiceQueries.h"
#include "app/online/WebServiceReply.h"
#include "app/online/WebServiceTypes.h"

namespace rovana {

class LanguageTable;

inline constexpr std::string_view kDefaultServiceHost = "http://127.0.0.1:8642";

// Result codes of the session.
inline constexpr std::int32_t kResultOk = 0;
inline constexpr std::int32_t kResultNoUser = -1;
inline constexpr std::int32_t kResultNoReply = -2;
inline constexpr std::int32_t kResultNoEmail = -3;
inline constexpr std::int32_t kResultNoPassword = 3;
inline constexpr std::int32_t kResultSessionExpired = 7;
inline constexpr std::int32_t kResultUnknownUser = 12;

// The settings the session reads, copied on the user-interface thread.
struct ServiceSettings {
  std::string host{kDefaultServiceHost};  // serviceHost
  std::string email;                      // trackerEmail
  std::string password;                   // trackerPassword
  bool allowInternet = false;
  std::int32_t mapsOnlineDownload = 0;
  std::int32_t vozazidEnabled = 0;
  std::int32_t dirsRefresh = 0;
};
ServiceSettings ServiceSettingsOf(const SettingsStore& store);

struct ServiceHooks {
  Transport transport;               // required; without it no request gets a reply
  PostFunction post;                 // settings changes; without it they stay in the session's copy
  AskFunction ask;                   // questions; without it every question is answered "no"
  std::function<void()> openAccount;  // after a failed login the user chose to fix (queued to the UI)
  TickFunction tick;                 // the "&tick=" value; platform::TickCount when empty
};

class WebService {
 public:
  // `deviceId`: what "ul" sends as "c" (MachineDeviceId() in the program).
  WebService(const LanguageTable& language, ServiceHooks hooks, std::string deviceId);
  WebService(const WebService&) = delete;
  WebService& operator=(const WebService&) = delete;

  void Configure(ServiceSettings settings);
  ServiceSettings settings() const;

  // Sends one action of the service; the reply body, or nothing when the
  // request was refused or no reply came.
  std::optional<std::string> Request(const ServiceAction& action);

  // The permission check and suffix alone, for requests the caller sends
  // itself (public services, kind 0): the suffix to append, or nothing when
  // the request is refused.
  std::optional<std::string> Prepare(int kind);

  // Sends `request` with only "&tick=" added: no permission check, no session
  // values. For servers that must not see the session (the second position
  // server) once the service itself has allowed the request.
  std::optional<std::string> SendDirect(ServiceRequest request);

  // Logs in now (see above) and gives the result code.
  std::int32_t Login();
  // Forgets the session; the next request that needs one logs in again.
  void Logout();

  bool loggedIn() const;
  std::int32_t userId() const;
  std::int32_t sessionId() const;
  std::int32_t lastResult() const;
  std::string serverMessage() const;

  // "logged in", "wrong password", ... or "ERROR <code>".
  std::string ResultText(std::int32_t code) const;

 private:
  struct LoginOutcome {
    std::int32_t result = kResultNoEmail;
    std::string message;  // the server's, to show
  };

  bool KindAllowed(int kind, const ServiceSettings& s) const;
  std::int32_t EnsureLoggedIn();
  LoginOutcome LoginLocked();
  std::int32_t SendLogin(const ServiceSettings& s, std::string& message);
  std::int32_t SendRegister(const ServiceSettings& s);
  void ApplySessionReply(const SessionReply& reply, bool fromLogin);
  void Refuse(int kind, bool declined);
  void ShowLoginFailure(std::int32_t result);
  void SetAllowInternet(bool value);
  bool Ask(UserQuestion::Buttons buttons, std::string text) const;
  void Post(SettingsChange change) const;
  std::string Entry(int number) const;
  std::optional<std::string> Send(const ServiceRequest& request, std::string_view action) const;
  std::uint32_t Tick() const;

  const LanguageTable& language_;
  const ServiceHooks hooks_;
  const std::string deviceId_;

  // Held for the whole of a login (the network), never while asking.
  std::mutex loginMutex_;
  // Guards everything below; never held across a call out of the session.
  mutable std::mutex stateMutex_;
  ServiceSettings settings_;
  bool loggedIn_ = false;
  std::int32_t userId_ = 0;
  std::int32_t sessionId_ = 0;
  std::int32_t lastResult_ = kResultNoEmail;
  std::string serverMessage_;
  std::uint64_t logins_ = 0;  // logins finished, so a waiting request sees one happened
  std::int32_t lastLoginResult_ = kResultNoEmail;
};

}  // namespace rovana
