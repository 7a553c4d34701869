// One outside service the relay forwards to: plain GETs below its base URL
// with our User-Agent, time-outs, a size cap on the reply and a throttle
// that spaces requests (public Nominatim and OSRM servers allow one a
// second). Safe from many threads: each request has its own connection.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "server/ServerLog.h"
#include "server/relay/RelayConfig.h"

namespace rovana::server {

// Hands out request slots at least `interval` apart.
class Throttle {
 public:
  using Clock = std::chrono::steady_clock;
  explicit Throttle(std::chrono::milliseconds interval) : interval_(interval) {}

  // How long a request arriving at `now` must wait for its slot, which is
  // then taken; nothing (and no slot taken) when that exceeds `maxWait`.
  std::optional<std::chrono::milliseconds> Reserve(Clock::time_point now,
                                                   std::chrono::milliseconds maxWait);

 private:
  std::mutex mutex_;
  std::chrono::milliseconds interval_;
  std::optional<Clock::time_point> next_;  // the first free slot
};

struct UpstreamReply {
  bool ok = false;      // a 200 reply within the cap
  int status = 0;       // HTTP status, 0 when none came
  std::string body;
  std::string problem;  // why not ok, for the log
};

class Upstream {
 public:
  // `name` is used in log lines ("geocoder"). A request waits at most this
  // long for its slot before it is refused as busy.
  static constexpr std::chrono::milliseconds kMaxWait{5000};

  Upstream(std::string name, const UpstreamConfig& upstream, const RelayConfig& config,
           ServerLog& log);

  bool enabled() const { return !origin_.empty(); }
  // GET of base path + `target` ("/search?q=..."; already percent-encoded).
  // A failure is logged once here.
  UpstreamReply Get(const std::string& target);

 private:
  std::string name_;
  std::string origin_;  // "https://host:port"
  std::string prefix_;  // "/nominatim" or ""
  std::string userAgent_;
  int timeoutSeconds_;
  std::size_t cap_;
  ServerLog& log_;
  Throttle throttle_;
};

// Percent-encodes a query value as UTF-8 bytes (unreserved characters kept,
// space as "%20").
std::string EncodeUrlValue(std::string_view text);

}  // namespace rovana::server
