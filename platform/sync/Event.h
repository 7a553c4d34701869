// Events for threads that wait on several things at once: auto-reset events
// (a Set wakes one wait and is consumed by it) and manual-reset events (stay
// set until Reset), with WaitAny over a group of events.
#pragma once

#include <cstdint>
#include <span>

namespace platform {

class Event {
 public:
  explicit Event(bool manualReset = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was (or became) set within `timeoutMs`; an
  // auto-reset event is consumed by the wait that sees it.
  bool Wait(std::uint32_t timeoutMs);
  bool IsSet() const;

 private:
  friend int WaitAny(std::span<Event* const> events, std::uint32_t timeoutMs);
  struct State;
  State* state_;
};

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// Waits until one of `events` is set (consuming it when auto-reset) and
// returns its index, the lowest index when several are; -1 after `timeoutMs`.
// Null entries are skipped.
int WaitAny(std::span<Event* const> events, std::uint32_t timeoutMs);

// The 32-bit millisecond tick with wrap-safe differences.
std::uint32_t TickCount();
inline std::uint32_t TicksSince(std::uint32_t start) { return TickCount() - start; }

}  // namespace platform
