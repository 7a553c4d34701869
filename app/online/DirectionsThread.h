// DirectionsThread: every second (after the wait, not before it) runs
// Directions::Step until the program's quit flag is set or the object is
// destroyed. Logs "DirectionsThread=0x<id>" when it starts. A step may block
// on the network for up to the transport's time-out; the destructor waits
// for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/sync/Event.h"

namespace rovana {

class Directions;

class DirectionsThread {
 public:
  static constexpr std::uint32_t kStepMs = 1000;

  // Starts the thread; `directions` and `quit` must outlive it.
  DirectionsThread(Directions& directions, const std::atomic<bool>& quit, std::uint32_t stepMs = kStepMs);
  ~DirectionsThread();
  DirectionsThread(const DirectionsThread&) = delete;
  DirectionsThread& operator=(const DirectionsThread&) = delete;

  std::uint32_t id() const { return id_; }
  std::uint64_t steps() const { return steps_.load(); }

 private:
  void Run();

  Directions& directions_;
  const std::atomic<bool>& quit_;
  const std::uint32_t stepMs_;
  platform::Event stop_{true};
  std::atomic<std::uint64_t> steps_{0};
  std::thread thread_;
  std::uint32_t id_ = 0;
};

}  // namespace rovana
