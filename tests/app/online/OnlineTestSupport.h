// Stand-ins for what the program gives the web-service session: a transport
// that records every request and answers from a script, a user who answers
// questions from a script, and the user-interface thread's queue of settings
// changes (run by Drain on the test's thread, as the main screen's timer
// would). The English language table comes from the repository's data.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/online/WebService.h"
#include "app/online/WebServiceTypes.h"

namespace testing_support {

inline std::filesystem::path SourceLanguageFolder() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "data" / "Language";
}

// The value of query key `key` in `path` ("" when absent).
inline std::string QueryValue(const std::string& path, const std::string& key) {
  const std::size_t q = path.find('?');
  if (q == std::string::npos) return {};
  std::size_t at = q + 1;
  while (at <= path.size()) {
    std::size_t end = path.find('&', at);
    if (end == std::string::npos) end = path.size();
    const std::string pair = path.substr(at, end - at);
    if (pair.starts_with(key + "=")) return pair.substr(key.size() + 1);
    at = end + 1;
  }
  return {};
}

inline bool HasQueryKey(const std::string& path, const std::string& key) {
  return path.find("?" + key + "=") != std::string::npos || path.find("&" + key + "=") != std::string::npos;
}

// Answers by action ("a=" of the query): each action's queued replies in
// order, then its standing reply, then nothing (no reply). Thread-safe.
class FakeServer {
 public:
  void Queue(const std::string& action, std::optional<std::string> reply) {
    std::lock_guard lock(mutex_);
    queued_[action].push_back(std::move(reply));
  }
  void Always(const std::string& action, std::optional<std::string> reply) {
    std::lock_guard lock(mutex_);
    standing_[action] = std::move(reply);
  }
  // Each answer to `action` takes this long.
  void Delay(const std::string& action, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delays_[action] = delay;
  }

  rovana::Transport transport() {
    return [this](const rovana::ServiceRequest& request) -> std::optional<std::string> {
      const std::string action = QueryValue(request.path, "a");
      std::chrono::milliseconds delay{0};
      std::optional<std::string> reply;
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (auto d = delays_.find(action); d != delays_.end()) delay = d->second;
        if (auto q = queued_.find(action); q != queued_.end() && !q->second.empty()) {
          reply = q->second.front();
          q->second.pop_front();
        } else if (auto s = standing_.find(action); s != standing_.end()) {
          reply = s->second;
        }
      }
      if (delay.count() > 0) std::this_thread::sleep_for(delay);
      return reply;
    };
  }

  std::vector<rovana::ServiceRequest> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // The actions asked for, in order ("ul", "bl", ...).
  std::vector<std::string> actions() const {
    std::vector<std::string> out;
    for (const auto& r : requests()) out.push_back(QueryValue(r.path, "a"));
    return out;
  }
  std::size_t Count(const std::string& action) const {
    std::size_t n = 0;
    for (const std::string& a : actions()) n += a == action;
    return n;
  }
  void ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<rovana::ServiceRequest> requests_;
  std::map<std::string, std::deque<std::optional<std::string>>> queued_;
  std::map<std::string, std::optional<std::string>> standing_;
  std::map<std::string, std::chrono::milliseconds> delays_;
};

// A user who answers every question with `answer` unless a scripted answer
// is queued, and remembers what was asked.
class FakeUser {
 public:
  bool answer = false;

  void Queue(bool a) {
    std::lock_guard lock(mutex_);
    queued_.push_back(a);
  }
  rovana::AskFunction ask() {
    return [this](const rovana::UserQuestion& q) {
      std::lock_guard lock(mutex_);
      asked_.push_back(q);
      if (!queued_.empty()) {
        const bool a = queued_.front();
        queued_.pop_front();
        return a;
      }
      return answer;
    };
  }
  std::vector<rovana::UserQuestion> asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& q : asked()) out.push_back(q.text);
    return out;
  }

 private:
  mutable std::mutex mutex_;
  std::deque<bool> queued_;
  std::vector<rovana::UserQuestion> asked_;
};

// The user-interface thread's queue of settings changes.
class FakeUiQueue {
 public:
  rovana::PostFunction post() {
    return [this](rovana::SettingsChange change) {
      std::lock_guard lock(mutex_);
      changes_.push_back(std::move(change));
    };
  }
  // Runs the queued changes on `store`; how many ran.
  std::size_t Drain(rovana::SettingsStore& store) {
    std::vector<rovana::SettingsChange> changes;
    {
      std::lock_guard lock(mutex_);
      changes.swap(changes_);
    }
    for (auto& change : changes) change(store);
    return changes.size();
  }
  std::size_t pending() const {
    std::lock_guard lock(mutex_);
    return changes_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<rovana::SettingsChange> changes_;
};

inline constexpr const char* kLoginOk =
    "<?xml version=\"1.0\"?><reply><result id=\"0\"/><user id=\"17\"><session>4711</session>"
    "<nickname>Anna</nickname><pincode>2468</pincode></user></reply>";

inline std::string ResultReply(int code) { return "<reply><result id=\"" + std::to_string(code) + "\"/></reply>"; }

}  // namespace testing_support
