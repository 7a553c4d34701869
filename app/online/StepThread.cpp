#include "app/online/StepThread.h"

#include <algorithm>

#include "app/core/Log.h"
#include "platform/sync/Thread.h"

namespace rovana {
namespace {

// The quit flag is a plain flag, not an event: look at it this often.
constexpr std::uint32_t kQuitCheckMs = 100;

}  // namespace

StepThread::StepThread(const char* name, std::function<void()> step, const std::atomic<bool>& quit,
                       std::uint32_t stepMs, First first)
    : name_(name), step_(std::move(step)), quit_(quit), stepMs_(stepMs), first_(first) {
  platform::StartedThread started = platform::StartThread([this] { Run(); });
  thread_ = std::move(started.thread);
  id_ = started.id;
}

StepThread::~StepThread() {
  stop_.Set();
  if (thread_.joinable()) thread_.join();
}

bool StepThread::Wait() {
  for (std::uint32_t waited = 0; waited < stepMs_;) {
    if (quit_.load()) return false;
    const std::uint32_t slice = std::min(kQuitCheckMs, stepMs_ - waited);
    if (stop_.Wait(slice)) return false;
    waited += slice;
  }
  return !quit_.load();
}

void StepThread::Run() {
  LogMessage("%s=0x%x", name_, platform::CurrentThreadId());
  if (first_ == First::Wait && !Wait()) return;
  while (!quit_.load() && !stop_.IsSet()) {
    step_();
    ++steps_;
    if (!Wait()) return;
  }
}

}  // namespace rovana
