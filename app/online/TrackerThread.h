// TrackerThread: runs Tracker::Step once per step (1000 ms) until the
// program's quit flag is set or the thread object is destroyed. Logs
// "TrackerThread=0x<id>" when it starts. A step may block on the network for
// up to the transport's time-out; the destructor waits for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/sync/Event.h"

namespace rovana {

class Tracker;

class TrackerThread {
 public:
  static constexpr std::uint32_t kStepMs = 1000;

  // Starts the thread; `quit` and `tracker` must outlive it.
  TrackerThread(Tracker& tracker, const std::atomic<bool>& quit, std::uint32_t stepMs = kStepMs);
  ~TrackerThread();
  TrackerThread(const TrackerThread&) = delete;
  TrackerThread& operator=(const TrackerThread&) = delete;

  std::uint32_t id() const { return id_; }
  std::uint64_t steps() const { return steps_.load(); }

 private:
  void Run();

  Tracker& tracker_;
  const std::atomic<bool>& quit_;
  const std::uint32_t stepMs_;
  platform::Event stop_{true};
  std::atomic<std::uint64_t> steps_{0};
  std::thread thread_;
  std::uint32_t id_ = 0;
};

}  // namespace rovana
