#include "platform/sync/Event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// One thread blocked in WaitAny. Every event it waits on keeps a pointer to
// it while the wait lasts; Set raises `woken` and notifies, so the waiter
// sleeps on its own condition variable instead of polling the events.
struct Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool woken = false;
};

// Nullopt means "no deadline" (kInfinite).
std::optional<Clock::time_point> DeadlineFor(std::uint32_t timeoutMs) {
  if (timeoutMs == kInfinite) return std::nullopt;
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

// Lock order: an event's mutex before a waiter's mutex, never the reverse.
struct Event::State {
  explicit State(bool manual) : manualReset(manual) {}
  const bool manualReset;
  mutable std::mutex mutex;
  bool signaled = false;
  std::vector<Waiter*> waiters;

  // Called with `mutex` held: true when set, consuming an auto-reset event.
  bool TryTake() {
    if (!signaled) return false;
    if (!manualReset) signaled = false;
    return true;
  }
};

Event::Event(bool manualReset) : state_(new State(manualReset)) {}

Event::~Event() { delete state_; }

void Event::Set() {
  std::lock_guard lock(state_->mutex);
  state_->signaled = true;
  for (Waiter* waiter : state_->waiters) {
    {
      std::lock_guard wlock(waiter->mutex);
      waiter->woken = true;
    }
    waiter->cv.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard lock(state_->mutex);
  state_->signaled = false;
}

bool Event::IsSet() const {
  std::lock_guard lock(state_->mutex);
  return state_->signaled;
}

bool Event::Wait(std::uint32_t timeoutMs) {
  Event* self = this;
  return WaitAny(std::span<Event* const>(&self, 1), timeoutMs) == 0;
}

int WaitAny(std::span<Event* const> events, std::uint32_t timeoutMs) {
  const auto deadline = DeadlineFor(timeoutMs);

  // Fast path: something is already set, no registration needed.
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i] == nullptr) continue;
    std::lock_guard lock(events[i]->state_->mutex);
    if (events[i]->state_->TryTake()) return static_cast<int>(i);
  }
  if (timeoutMs == 0) return -1;

  // Register first, then check: a Set that lands between the check of an
  // event and the sleep has already raised `woken`, so no wake-up is lost.
  Waiter waiter;
  for (Event* event : events) {
    if (event == nullptr) continue;
    std::lock_guard lock(event->state_->mutex);
    event->state_->waiters.push_back(&waiter);
  }

  int found = -1;
  for (;;) {
    for (std::size_t i = 0; i < events.size() && found < 0; ++i) {
      if (events[i] == nullptr) continue;
      std::lock_guard lock(events[i]->state_->mutex);
      if (events[i]->state_->TryTake()) found = static_cast<int>(i);
    }
    if (found >= 0) break;

    std::unique_lock wlock(waiter.mutex);
    if (!waiter.woken) {
      if (deadline) {
        if (!waiter.cv.wait_until(wlock, *deadline, [&] { return waiter.woken; })) break;
      } else {
        waiter.cv.wait(wlock, [&] { return waiter.woken; });
      }
    }
    // Another thread may have consumed the event that woke us: look again.
    waiter.woken = false;
  }

  for (Event* event : events) {
    if (event == nullptr) continue;
    std::lock_guard lock(event->state_->mutex);
    auto& list = event->state_->waiters;
    // The same event may appear twice in `events`; remove one entry per pass.
    auto it = std::find(list.begin(), list.end(), &waiter);
    if (it != list.end()) list.erase(it);
  }
  return found;
}

std::uint32_t TickCount() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

}  // namespace platform
