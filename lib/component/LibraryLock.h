// The library's single re-entrant lock, taken by every operation that reads or
// writes state shared between objects and threads (positions and the custom
// definitions they share, parser queues and stored objects).
#pragma once

#include <atomic>
#include <cstdint>

namespace zenolith {

// A re-entrant mutex for the library lock. Every member call takes it, so the
// uncontended path is inline: one compare-exchange to lock, one exchange to
// unlock, and the owner recognised by the address of a thread-local marker
// (no call into the thread library). A thread that finds the lock taken
// sleeps on the lock word (std::atomic wait, a futex on Linux) and is woken
// by the unlock that sees it waiting. Lockable, so lock_guard, unique_lock and
// condition_variable_any work with it (a wait releases one level, as with
// std::recursive_mutex).
class LibraryMutex {
 public:
  void lock() {
    const void* me = Self();
    if (owner_.load(std::memory_order_relaxed) == me) {
      ++depth_;
      return;
    }
    int expected = kFree;
    if (!state_.compare_exchange_strong(expected, kLocked, std::memory_order_acquire, std::memory_order_relaxed))
      LockContended();
    Own(me);
  }
  bool try_lock() {
    const void* me = Self();
    if (owner_.load(std::memory_order_relaxed) == me) {
      ++depth_;
      return true;
    }
    int expected = kFree;
    if (!state_.compare_exchange_strong(expected, kLocked, std::memory_order_acquire, std::memory_order_relaxed))
      return false;
    Own(me);
    return true;
  }
  void unlock() {
    if (--depth_ != 0) return;
    owner_.store(nullptr, std::memory_order_relaxed);
    if (state_.exchange(kFree, std::memory_order_release) == kWaiting) state_.notify_one();
  }

 private:
  enum : int { kFree = 0, kLocked = 1, kWaiting = 2 };

  // A value only this thread has while it runs: the address of its marker
  // (one definition, in LibraryLock.cpp, so every caller sees the same one).
  [[gnu::tls_model("initial-exec")]] static constinit thread_local const char t_marker;
  static const void* Self() { return &t_marker; }
  void Own(const void* me) {
    // Only this thread ever stores its own marker, so a relaxed read that
    // sees it is this thread's own earlier store.
    owner_.store(me, std::memory_order_relaxed);
    depth_ = 1;
  }
  void LockContended();

  std::atomic<int> state_{kFree};
  std::atomic<const void*> owner_{nullptr};
  unsigned depth_ = 0;  // touched only by the owner
};

// The lock itself: constant-initialised, so usable from any static
// initialiser, and reached without a call.
extern constinit LibraryMutex g_libraryLock;
inline LibraryMutex& LibraryLock() { return g_libraryLock; }

}  // namespace zenolith
