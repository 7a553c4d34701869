// Token buckets by key (an account id or a client address): each key may
// make `burst` requests at once and regains `perMinute` of them a minute.
// Safe from any thread. Keys whose bucket is full again are forgotten when
// the table grows, so a flood of addresses cannot grow it without bound.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

namespace rovana::server {

class RateLimiter {
 public:
  RateLimiter(double perMinute, double burst, std::size_t maxKeys = 100000);

  // True (and one request counted) when `key` may make a request at `now`
  // (seconds, any monotonic origin).
  bool Allow(const std::string& key, double now);

 private:
  struct Bucket {
    double tokens = 0;
    double updated = 0;
  };
  void Prune(double now);

  double perSecond_;
  double burst_;
  std::size_t maxKeys_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
};

}  // namespace rovana::server
