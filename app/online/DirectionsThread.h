// DirectionsThread: every second (after the wait, not before it) runs
// Directions::Step until the program's quit flag is set or the object is
// destroyed. Logs "DirectionsThread=0x<id>" when it starts. A step may block
// on the network for up to the transport's time-out; the destructor waits
// for it.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/online/StepThread.h"

namespace rovana {

class Directions;

class DirectionsThread {
 public:
  static constexpr std::uint32_t kStepMs = 1000;

  // Starts the thread; `directions` and `quit` must outlive it.
  DirectionsThread(Directions& directions, const std::atomic<bool>& quit, std::uint32_t stepMs = kStepMs);

  std::uint32_t id() const { return thread_.id(); }
  std::uint64_t steps() const { return thread_.steps(); }

 private:
  StepThread thread_;
};

}  // namespace rovana
