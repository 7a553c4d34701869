// StepThread: a worker that runs its owner's step every `stepMs` until the
// program's quit flag is set or the thread object is destroyed; the tracker
// and the directions each run on one. Logs "<name>=0x<id>" when it starts.
// A step may block on the network for up to the transport's time-out; the
// destructor waits for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/sync/Event.h"

namespace rovana {

class StepThread {
 public:
  // Whether the first step runs at once or after the first wait.
  enum class First { Step, Wait };

  // Starts the thread; `quit` must outlive it. `name` is a literal.
  StepThread(const char* name, std::function<void()> step, const std::atomic<bool>& quit, std::uint32_t stepMs,
             First first);
  ~StepThread();
  StepThread(const StepThread&) = delete;
  StepThread& operator=(const StepThread&) = delete;

  std::uint32_t id() const { return id_; }
  std::uint64_t steps() const { return steps_.load(); }

 private:
  void Run();
  // Waits one step; false when the thread is to end.
  bool Wait();

  const char* const name_;
  const std::function<void()> step_;
  const std::atomic<bool>& quit_;
  const std::uint32_t stepMs_;
  const First first_;
  platform::Event stop_{true};
  std::atomic<std::uint64_t> steps_{0};
  std::thread thread_;
  std::uint32_t id_ = 0;
};

}  // namespace rovana
