#include "lib/component/ServerLifetime.h"

#include <atomic>

namespace zenolith {
namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

void ObjectCreated() { g_objects.fetch_add(1, std::memory_order_relaxed); }
void ObjectDestroyed() { g_objects.fetch_sub(1, std::memory_order_acq_rel); }
void ServerLocked() { g_locks.fetch_add(1, std::memory_order_relaxed); }
void ServerUnlocked() { g_locks.fetch_sub(1, std::memory_order_acq_rel); }
bool ServerInUse() { return g_objects.load(std::memory_order_acquire) > 0 || g_locks.load(std::memory_order_acquire) > 0; }

}  // namespace zenolith
