#include "server/RateLimiter.h"

#include <algorithm>

namespace rovana::server {

RateLimiter::RateLimiter(double perMinute, double burst, std::size_t maxKeys)
    : perSecond_(std::max(0.0, perMinute) / 60.0), burst_(std::max(1.0, burst)),
      maxKeys_(std::max<std::size_t>(1, maxKeys)) {}

bool RateLimiter::Allow(const std::string& key, double now) {
  std::lock_guard lock(mutex_);
  auto found = buckets_.find(key);
  if (found == buckets_.end()) {
    if (buckets_.size() >= maxKeys_) Prune(now);
    if (buckets_.size() >= maxKeys_) return false;
    found = buckets_.emplace(key, Bucket{burst_, now}).first;
  }
  Bucket& bucket = found->second;
  // A clock that went back gives no tokens, and never takes any.
  const double elapsed = std::max(0.0, now - bucket.updated);
  bucket.tokens = std::min(burst_, bucket.tokens + elapsed * perSecond_);
  bucket.updated = std::max(bucket.updated, now);
  if (bucket.tokens < 1.0) return false;
  bucket.tokens -= 1.0;
  return true;
}

void RateLimiter::Prune(double now) {
  for (auto it = buckets_.begin(); it != buckets_.end();) {
    const double elapsed = std::max(0.0, now - it->second.updated);
    if (it->second.tokens + elapsed * perSecond_ >= burst_) {
      it = buckets_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace rovana::server
