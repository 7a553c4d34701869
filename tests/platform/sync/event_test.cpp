#include "platform/sync/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using platform::Event;
using platform::kInfinite;
using platform::TickCount;
using platform::TicksSince;
using platform::WaitAny;

namespace {

using Clock = std::chrono::steady_clock;

// How late a wake-up or a time-out may come on a loaded CI machine.
constexpr auto kLateness = std::chrono::milliseconds(150);

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(EventTest, AutoResetIsConsumedByOneWait) {
  Event e;
  EXPECT_FALSE(e.IsSet());
  e.Set();
  e.Set();  // setting twice is still one signal
  EXPECT_TRUE(e.IsSet());
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.IsSet());
  EXPECT_FALSE(e.Wait(0));
}

TEST(EventTest, ManualResetStaysSetUntilReset) {
  Event e(true);
  e.Set();
  EXPECT_TRUE(e.Wait(0));
  EXPECT_TRUE(e.Wait(10));
  EXPECT_TRUE(e.IsSet());
  e.Reset();
  EXPECT_FALSE(e.IsSet());
  EXPECT_FALSE(e.Wait(0));
}

TEST(EventTest, WaitTimesOutAfterItsTime) {
  Event e;
  for (std::uint32_t timeout : {0u, 20u, 60u}) {
    SCOPED_TRACE(timeout);
    const auto start = Clock::now();
    EXPECT_FALSE(e.Wait(timeout));
    const auto took = MsSince(start);
    EXPECT_GE(took, static_cast<long long>(timeout));
    EXPECT_LT(took, static_cast<long long>(timeout) + kLateness.count());
  }
}

TEST(EventTest, WaitAnyReturnsLowestSetIndexAndConsumesOnlyThat) {
  Event a, b, manual(true);
  Event* const group[] = {&a, &b, &manual};
  b.Set();
  a.Set();
  manual.Set();
  EXPECT_EQ(WaitAny(group, 0), 0);
  EXPECT_FALSE(a.IsSet());
  EXPECT_TRUE(b.IsSet());  // untouched by the wait that returned a
  EXPECT_EQ(WaitAny(group, 0), 1);
  EXPECT_EQ(WaitAny(group, 0), 2);
  EXPECT_EQ(WaitAny(group, 0), 2);  // manual reset: still set
  manual.Reset();
  EXPECT_EQ(WaitAny(group, 15), -1);
}

TEST(EventTest, WaitAnySkipsNullEntriesAndHandlesRepeats) {
  Event e;
  Event* const group[] = {nullptr, &e, &e, nullptr};
  EXPECT_EQ(WaitAny(group, 10), -1);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    e.Set();
  });
  EXPECT_EQ(WaitAny(group, 1000), 1);
  setter.join();
  // The registration of a repeated event is undone completely: a later Set
  // must not touch the finished wait's stack.
  e.Set();
  EXPECT_TRUE(e.Wait(0));
  EXPECT_EQ(WaitAny(std::span<Event* const>(), 5), -1);
}

TEST(EventTest, SetFromAnotherThreadWakesWaitAnyPromptly) {
  Event a, b, c;
  Event* const group[] = {&a, &b, &c};
  for (int target = 0; target < 3; ++target) {
    SCOPED_TRACE(target);
    const auto start = Clock::now();
    std::thread setter([&, target] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      group[target]->Set();
    });
    EXPECT_EQ(WaitAny(group, kInfinite), target);
    EXPECT_LT(MsSince(start), 20 + kLateness.count());
    setter.join();
    EXPECT_FALSE(group[target]->IsSet());
  }
}

// Two threads bounce a token many times; a single lost wake-up shows up as
// a time-out.
TEST(EventTest, PingPongLosesNoWakeUp) {
  constexpr int kRounds = 2000;
  Event ping, pong, quit(true);
  std::atomic<int> echoed{0};
  std::thread echo([&] {
    Event* const group[] = {&quit, &ping};
    while (WaitAny(group, 2000) == 1) {
      ++echoed;
      pong.Set();
    }
  });
  int timeouts = 0;
  for (int i = 0; i < kRounds && timeouts < 5; ++i) {
    ping.Set();
    if (!pong.Wait(1000)) ++timeouts;
  }
  quit.Set();
  echo.join();
  EXPECT_EQ(timeouts, 0);
  EXPECT_EQ(echoed.load(), kRounds);
}

TEST(EventTest, AutoResetReleasesOneWaiterManualReleasesAll) {
  for (bool manual : {false, true}) {
    SCOPED_TRACE(manual);
    Event e(manual);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) waiters.emplace_back([&] {
        if (e.Wait(250)) ++woken;
      });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    e.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(woken.load(), manual ? 3 : 1);
  }
}

TEST(EventTest, TickCountFollowsTheSteadyClock) {
  const std::uint32_t start = TickCount();
  const auto clockStart = Clock::now();
  std::uint32_t previous = start;
  int backwards = 0;
  while (MsSince(clockStart) < 40) {
    const std::uint32_t now = TickCount();
    if (static_cast<std::int32_t>(now - previous) < 0) ++backwards;
    previous = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(backwards, 0);
  const std::uint32_t ticks = TicksSince(start);
  const auto real = MsSince(clockStart);
  EXPECT_GE(ticks + 1, static_cast<std::uint32_t>(40));
  EXPECT_LE(static_cast<long long>(ticks), real + 1);
}

}  // namespace
