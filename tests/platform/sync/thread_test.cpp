#include "platform/sync/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>

namespace {

// Guards the log's thread names: two threads of one run, the first ended
// before the second starts, must not print the same id (pthread handles do).
TEST(StartThread, ReportsTheThreadsOwnIdAndEveryThreadADistinctOne) {
  std::set<std::uint32_t> ids;
  for (int i = 0; i < 4; ++i) {
    std::atomic<std::uint32_t> seenInside{0};
    platform::StartedThread started =
        platform::StartThread([&seenInside] { seenInside = platform::CurrentThreadId(); });
    started.thread.join();
    EXPECT_EQ(started.id, seenInside.load());
    EXPECT_NE(started.id, platform::CurrentThreadId());
    ids.insert(started.id);
  }
  EXPECT_EQ(ids.size(), 4u);
}

}  // namespace
