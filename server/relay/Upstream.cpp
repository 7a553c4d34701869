#include "server/relay/Upstream.h"

#include <httplib.h>

#include <cctype>
#include <thread>

namespace rovana::server {

std::optional<std::chrono::milliseconds> Throttle::Reserve(Clock::time_point now,
                                                           std::chrono::milliseconds maxWait) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Clock::time_point slot = next_ && *next_ > now ? *next_ : now;
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(slot - now);
  if (wait > maxWait) return std::nullopt;
  next_ = slot + interval_;
  return wait;
}

Upstream::Upstream(std::string name, const UpstreamConfig& upstream, const RelayConfig& config,
                   ServerLog& log)
    : name_(std::move(name)), userAgent_(config.UserAgent()),
      timeoutSeconds_(config.timeoutSeconds), cap_(config.replyCap), log_(log),
      throttle_(std::chrono::milliseconds(upstream.intervalMs)) {
  if (!upstream.enabled()) return;
  // The URL was checked when the configuration was read: scheme, "://", host.
  const std::size_t hostStart = upstream.url.find("://") + 3;
  const std::size_t slash = upstream.url.find('/', hostStart);
  origin_ = upstream.url.substr(0, slash);
  if (slash != std::string::npos) prefix_ = upstream.url.substr(slash);
}

UpstreamReply Upstream::Get(const std::string& target) {
  UpstreamReply reply;
  if (!enabled()) {
    reply.problem = "not configured";
    return reply;
  }
  const auto wait = throttle_.Reserve(Throttle::Clock::now(), kMaxWait);
  if (!wait) {
    reply.problem = "busy: too many requests waiting";
    log_.Write("upstream " + name_ + ": " + reply.problem);
    return reply;
  }
  if (wait->count() > 0) std::this_thread::sleep_for(*wait);

  bool tooLarge = false;
  try {
    httplib::Client client(origin_);
    client.set_connection_timeout(timeoutSeconds_, 0);
    client.set_read_timeout(timeoutSeconds_, 0);
    client.set_write_timeout(timeoutSeconds_, 0);
    client.set_follow_location(false);
    client.set_url_encode(false);
    const httplib::Headers headers = {{"User-Agent", userAgent_}, {"Accept-Language", "en"}};
    auto result = client.Get(
        prefix_ + target, headers,
        [&reply](const httplib::Response& response) {
          reply.status = response.status;
          return true;
        },
        [&](const char* data, std::size_t length) {
          if (reply.body.size() + length > cap_) {
            tooLarge = true;
            return false;
          }
          reply.body.append(data, length);
          return true;
        });
    if (tooLarge) {
      reply.problem = "reply larger than " + std::to_string(cap_) + " bytes";
    } else if (!result) {
      reply.problem = "no reply (" + httplib::to_string(result.error()) + ")";
    } else if (result->status != 200) {
      reply.problem = "HTTP status " + std::to_string(result->status);
    } else {
      reply.ok = true;
    }
  } catch (const std::exception& failure) {
    reply.problem = std::string("request failed: ") + failure.what();
  }
  if (!reply.ok) {
    reply.body.clear();
    log_.Write("upstream " + name_ + ": " + reply.problem);
  }
  return reply;
}

std::string EncodeUrlValue(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

}  // namespace rovana::server
