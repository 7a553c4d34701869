// The web service's actions: one request's query (the action in "a") in, one
// XML reply out. Independent of HTTP, so that the front end and the tests
// share it. Every reply carries a result code (ResultCode); a request that
// cannot be served still gets a well-formed reply with a code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "server/QueryText.h"
#include "server/RateLimiter.h"
#include "server/ServerLog.h"
#include "server/Storage.h"
#include "server/XmlReply.h"

namespace rovana::server {

// The codes the client knows have the meanings its texts give them; 2, 10,
// 11 and 13 are this server's own.
enum ResultCode : int {
  kOk = 0,
  kWrongPassword = 1,
  kBadRequest = 2,         // a parameter missing, malformed or too long
  kNoPassword = 3,
  kInvalidEmail = 4,
  kEmailTaken = 5,
  kSessionExpired = 7,     // also: unknown session, or one of another user
  kRateLimited = 8,        // "server busy": too many requests, try later
  kUnknownAction = 10,
  kServerError = 11,       // the database failed; nothing was changed
  kUnknownUser = 12,
  kNotAllowed = 13,        // a buddy of oneself, another user's track
  kBuddyNotFound = 14,
  kWrongPin = 15,
  kNicknameTaken = 16,
};

struct ServiceConfig {
  // A session ends this long after its last request.
  std::int64_t sessionIdleSeconds = 6 * 3600;
  int passwordIterations = kDefaultPasswordIterations;
  // Requests of one account (every action but ur and ul).
  double accountPerMinute = 240;
  double accountBurst = 60;
  // Registrations and logins from one address.
  double loginPerMinute = 12;
  double loginBurst = 10;
  // Shown to the user after each login when not empty.
  std::string loginMessage;
  // At most this many chat messages per "cr" reply; the rest come next time.
  int messagesPerReply = 50;
};

inline constexpr const char* kXmlContentType = "text/xml; charset=utf-8";

// What a relay answer may need of the HTTP request besides its query.
struct RelayRequest {
  std::string host;     // the request's Host header as sent ("" when absent)
  bool secure = false;  // the front speaks HTTPS
};

// A relay action's whole reply: XML, HTML, JSON or plain text.
struct RelayReply {
  std::string body;
  std::string contentType = kXmlContentType;
};

// The actions that forward to outside services (maps list, geocoder,
// directions, route, searches). The service checks the session and the rate
// limit first; the adapter gives the whole reply body. Answer never throws
// and is called from many threads at once.
class RelayAdapter {
 public:
  virtual ~RelayAdapter() = default;
  virtual RelayReply Answer(std::string_view action, const Query& query,
                            const RelayRequest& request) = 0;
};

// Answers every relay action with a valid reply that holds nothing.
class EmptyRelay final : public RelayAdapter {
 public:
  RelayReply Answer(std::string_view action, const Query& query,
                    const RelayRequest& request) override;
};

struct ServiceReply {
  std::string action;  // as requested (for the log), "" when absent
  int result = kOk;
  std::string body;    // the XML document, or a relay's reply
  std::string contentType = kXmlContentType;
};

class Service {
 public:
  // Seconds since the Unix epoch; tests pass a clock they step by hand.
  using Clock = std::function<std::int64_t()>;

  Service(Storage& storage, ServerLog& log, ServiceConfig config, RelayAdapter& relay,
          Clock clock = {});

  // `query` is the raw query string (after "?"), `address` the client's;
  // `request` is handed to the relay adapter.
  ServiceReply Handle(std::string_view query, const std::string& address,
                      const RelayRequest& request = {});

 private:
  struct Caller {
    std::int64_t user = 0;
    std::int64_t session = 0;
  };
  using Handler = XmlReply (Service::*)(const Query&, const Caller&);
  struct Action {
    std::string_view name;
    bool needsSession;
    Handler handler;  // null: answered by the relay adapter
  };
  static const Action kActions[];

  int CheckSession(const Query& query, Caller& caller);

  XmlReply Register(const Query& query, const Caller& caller);
  XmlReply Login(const Query& query, const Caller& caller);
  XmlReply ChangeNickname(const Query& query, const Caller& caller);
  XmlReply CreateTrack(const Query& query, const Caller& caller);
  XmlReply UploadPosition(const Query& query, const Caller& caller);
  XmlReply EnableBuddy(const Query& query, const Caller& caller);
  XmlReply ListBuddies(const Query& query, const Caller& caller);
  XmlReply BuddyPositions(const Query& query, const Caller& caller);
  XmlReply AddBuddy(const Query& query, const Caller& caller);
  XmlReply DeleteBuddy(const Query& query, const Caller& caller);
  XmlReply SendChat(const Query& query, const Caller& caller);
  XmlReply ReceiveChat(const Query& query, const Caller& caller);

  void AppendBuddy(XmlReply& reply, const BuddyEntry& buddy);

  Storage& storage_;
  ServerLog& log_;
  ServiceConfig config_;
  RelayAdapter& relay_;
  Clock clock_;
  RateLimiter accountLimit_;
  RateLimiter loginLimit_;
};

// Accepted e-mail addresses: 3 to 254 bytes of UTF-8 without spaces or
// control characters, one "@" with text on both sides.
bool ValidEmail(std::string_view email);

}  // namespace rovana::server
