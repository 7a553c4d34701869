#include "app/online/DirectionsThread.h"

#include <algorithm>

#include "app/core/Log.h"
#include "app/online/Directions.h"
#include "platform/sync/Thread.h"

namespace rovana {
namespace {

// The quit flag is a plain flag, not an event: look at it this often.
constexpr std::uint32_t kQuitCheckMs = 100;

}  // namespace

DirectionsThread::DirectionsThread(Directions& directions, const std::atomic<bool>& quit, std::uint32_t stepMs)
    : directions_(directions), quit_(quit), stepMs_(stepMs) {
  platform::StartedThread started = platform::StartThread([this] { Run(); });
  thread_ = std::move(started.thread);
  id_ = started.id;
}

DirectionsThread::~DirectionsThread() {
  stop_.Set();
  if (thread_.joinable()) thread_.join();
}

void DirectionsThread::Run() {
  LogMessage("DirectionsThread=0x%x", platform::CurrentThreadId());
  while (!quit_.load()) {
    for (std::uint32_t waited = 0; waited < stepMs_;) {
      if (quit_.load()) return;
      const std::uint32_t slice = std::min(kQuitCheckMs, stepMs_ - waited);
      if (stop_.Wait(slice)) return;
      waited += slice;
    }
    directions_.Step();
    ++steps_;
  }
}

}  // namespace rovana
