#include "lib/component/LibraryLock.h"

namespace zenolith {

constinit thread_local const char LibraryMutex::t_marker = 0;

// Marks the lock as waited for and sleeps until an unlock frees it; the lock
// is then taken as still waited for, since other sleepers may remain.
void LibraryMutex::LockContended() {
  int seen = state_.exchange(kWaiting, std::memory_order_acquire);
  while (seen != kFree) {
    state_.wait(kWaiting, std::memory_order_relaxed);
    seen = state_.exchange(kWaiting, std::memory_order_acquire);
  }
}

constinit LibraryMutex g_libraryLock;

}  // namespace zenolith
