#include "app/online/TrackerThread.h"

#include <algorithm>

#include "app/core/Log.h"
#include "app/online/Tracker.h"
#include "platform/sync/Thread.h"

namespace rovana {
namespace {

// The quit flag is a plain flag, not an event: look at it this often.
constexpr std::uint32_t kQuitCheckMs = 100;

}  // namespace

TrackerThread::TrackerThread(Tracker& tracker, const std::atomic<bool>& quit, std::uint32_t stepMs)
    : tracker_(tracker), quit_(quit), stepMs_(stepMs) {
  platform::StartedThread started = platform::StartThread([this] { Run(); });
  thread_ = std::move(started.thread);
  id_ = started.id;
}

TrackerThread::~TrackerThread() {
  stop_.Set();
  if (thread_.joinable()) thread_.join();
}

void TrackerThread::Run() {
  LogMessage("TrackerThread=0x%x", platform::CurrentThreadId());
  while (!quit_.load() && !stop_.IsSet()) {
    tracker_.Step();
    ++steps_;
    for (std::uint32_t waited = 0; waited < stepMs_ && !quit_.load();) {
      const std::uint32_t slice = std::min(kQuitCheckMs, stepMs_ - waited);
      if (stop_.Wait(slice)) return;
      waited += slice;
    }
  }
}

}  // namespace rovana
