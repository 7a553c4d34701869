// The library's single re-entrant lock, taken by every operation that reads or
// writes state shared between objects and threads (positions and the custom
// definitions they share, parser queues and stored objects).
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace zenolith {

// A re-entrant mutex for the library lock: every member call takes it, and a
// plain mutex with an owner check costs about half of what a recursive
// pthread mutex costs. Lockable, so lock_guard, unique_lock and
// condition_variable_any work with it (a wait releases one level, as with
// std::recursive_mutex).
class LibraryMutex {
 public:
  void lock() {
    const std::thread::id me = std::this_thread::get_id();
    // Only this thread ever stores its own id, so a relaxed read that sees
    // it is this thread's own earlier store.
    if (owner_.load(std::memory_order_relaxed) == me) {
      ++depth_;
      return;
    }
    mutex_.lock();
    owner_.store(me, std::memory_order_relaxed);
    depth_ = 1;
  }
  bool try_lock() {
    const std::thread::id me = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == me) {
      ++depth_;
      return true;
    }
    if (!mutex_.try_lock()) return false;
    owner_.store(me, std::memory_order_relaxed);
    depth_ = 1;
    return true;
  }
  void unlock() {
    if (--depth_ != 0) return;
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
  }

 private:
  std::mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  unsigned depth_ = 0;  // touched only by the owner
};

LibraryMutex& LibraryLock();

}  // namespace zenolith
