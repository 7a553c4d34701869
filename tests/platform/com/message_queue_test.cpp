// Thread message queues and windows: delivery on the owning thread, ordering,
// destroyed windows, quit handling, pumping with time-outs and re-entrant
// window procedures.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/com/MessageQueue.h"

namespace {

using com::Message;
using com::ThreadId;
using com::WindowHandle;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kMsgA = com::kMsgUser + 1;
constexpr std::uint32_t kMsgB = com::kMsgUser + 2;
const auto kNever = [] { return false; };

struct Call {
  std::uint32_t id;
  std::uintptr_t wparam;
  std::intptr_t lparam;
  ThreadId thread;
};

long long ElapsedMs(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// All tests share the test thread's queue, so each starts and ends with it
// empty, and uses class names of its own.
class MessageQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { Drain(); }
  void TearDown() override {
    for (WindowHandle w : windows_) com::DestroyWindow(w);
    for (const std::string& name : classes_) com::UnregisterWindowClass(name);
    Drain();
  }

  static void Drain() {
    while (com::PeekMessage(nullptr, true)) {
    }
  }

  std::string NewClass(com::WindowProc proc) {
    static int counter = 0;
    std::string name = "mq_test_class_" + std::to_string(++counter);
    EXPECT_TRUE(com::RegisterWindowClass(name, std::move(proc)));
    classes_.push_back(name);
    return name;
  }

  WindowHandle NewWindow(const std::string& cls, std::string_view title = "window") {
    const WindowHandle w = com::CreateWindow(cls, title, 100, 50);
    if (w != 0) windows_.push_back(w);
    return w;
  }

  // Its procedure records every call in `calls_` and returns `result_`.
  WindowHandle NewRecordingWindow(std::string_view title = "recorder") {
    return NewWindow(NewClass([this](WindowHandle, std::uint32_t id, std::uintptr_t wp, std::intptr_t lp) {
                       calls_.push_back(Call{id, wp, lp, com::CurrentThreadId()});
                       return result_;
                     }),
                     title);
  }

  std::vector<Call> calls_;
  std::intptr_t result_ = 0;

 private:
  std::vector<std::string> classes_;
  std::vector<WindowHandle> windows_;
};

TEST_F(MessageQueueTest, CurrentThreadIdIsTheKernelThreadId) {
  EXPECT_EQ(com::CurrentThreadId(), static_cast<ThreadId>(::syscall(SYS_gettid)));
  ThreadId other = 0;
  std::thread([&] { other = com::CurrentThreadId(); }).join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, com::CurrentThreadId());
}

TEST_F(MessageQueueTest, ClassRegistrationErrors) {
  int calls = 0;
  com::WindowProc proc = [&calls](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) {
    ++calls;
    return std::intptr_t{5};
  };
  const std::string name = NewClass(proc);
  EXPECT_FALSE(com::RegisterWindowClass(name, proc));
  EXPECT_FALSE(com::RegisterWindowClass("", proc));
  EXPECT_FALSE(com::RegisterWindowClass("mq_test_no_proc", com::WindowProc()));
  EXPECT_FALSE(com::UnregisterWindowClass("mq_test_unknown"));
  EXPECT_EQ(com::CreateWindow("mq_test_unknown", "x", 1, 1), 0u);
  EXPECT_EQ(com::CreateWindow("MQ" + name.substr(2), "x", 1, 1), 0u);  // names are case-sensitive

  // Windows keep their procedure once their class is gone; the name is free.
  const WindowHandle w = NewWindow(name);
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(com::UnregisterWindowClass(name));
  EXPECT_FALSE(com::UnregisterWindowClass(name));
  EXPECT_EQ(com::CreateWindow(name, "x", 1, 1), 0u);
  EXPECT_EQ(com::DispatchMessage(Message{w, kMsgA, 0, 0}), 5);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(com::RegisterWindowClass(name, proc));
}

TEST_F(MessageQueueTest, WindowPropertiesAndUnknownHandles) {
  const WindowHandle a = NewRecordingWindow("first window");
  ASSERT_NE(a, 0u);
  EXPECT_TRUE(com::IsWindow(a));
  EXPECT_EQ(com::WindowThread(a), com::CurrentThreadId());
  EXPECT_EQ(com::WindowTitle(a), "first window");

  result_ = -42;
  EXPECT_EQ(com::DispatchMessage(Message{a, kMsgA, 7, -9}), -42);
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].id, kMsgA);
  EXPECT_EQ(calls_[0].wparam, 7u);
  EXPECT_EQ(calls_[0].lparam, -9);

  ASSERT_TRUE(com::DestroyWindow(a));
  EXPECT_FALSE(com::DestroyWindow(a));
  EXPECT_GT(NewRecordingWindow(), a);  // handles are never reused
  for (WindowHandle bad : {a, WindowHandle{0}, WindowHandle{0xFFFFFFF0u}}) {
    EXPECT_FALSE(com::IsWindow(bad));
    EXPECT_EQ(com::WindowThread(bad), 0u);
    EXPECT_EQ(com::WindowTitle(bad), "");
    EXPECT_FALSE(com::PostMessage(bad, kMsgA, 0, 0));
    EXPECT_EQ(com::DispatchMessage(Message{bad, kMsgA, 0, 0}), 0);
  }
  EXPECT_EQ(calls_.size(), 1u);
  EXPECT_FALSE(com::PeekMessage(nullptr, false));
}

TEST_F(MessageQueueTest, PostsFromAWorkerRunOnTheOwnerInOrder) {
  const WindowHandle w = NewRecordingWindow();
  constexpr int kCount = 1000;
  std::thread worker([w] {
    for (int i = 0; i < kCount; ++i) com::PostMessage(w, kMsgA, static_cast<std::uintptr_t>(i), -i);
  });
  const bool done = com::PumpMessagesUntil([&] { return calls_.size() >= kCount; }, 1000);
  worker.join();
  ASSERT_TRUE(done);
  ASSERT_EQ(calls_.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(calls_[i].thread, com::CurrentThreadId()) << i;
    ASSERT_EQ(calls_[i].wparam, static_cast<std::uintptr_t>(i)) << i;
    ASSERT_EQ(calls_[i].lparam, -i) << i;
  }
}

TEST_F(MessageQueueTest, TwoWorkersEachKeepTheirOrder) {
  const WindowHandle w = NewRecordingWindow();
  constexpr std::uintptr_t kEach = 500;
  auto post = [w](std::uint32_t id) {
    for (std::uintptr_t i = 0; i < kEach; ++i) com::PostMessage(w, id, i, 0);
  };
  std::thread a(post, kMsgA);
  std::thread b(post, kMsgB);
  const bool done = com::PumpMessagesUntil([&] { return calls_.size() >= 2 * kEach; }, 1000);
  a.join();
  b.join();
  ASSERT_TRUE(done);
  std::uintptr_t next[2] = {0, 0};
  for (const Call& c : calls_) {
    ASSERT_EQ(c.thread, com::CurrentThreadId());
    ASSERT_EQ(c.wparam, next[c.id == kMsgB]++);
  }
  EXPECT_EQ(next[0], kEach);
  EXPECT_EQ(next[1], kEach);
}

TEST_F(MessageQueueTest, MessagesForADestroyedWindowAreDropped) {
  const WindowHandle w = NewRecordingWindow();
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 1, 0));
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 2, 0));
  ASSERT_TRUE(com::DestroyWindow(w));
  EXPECT_FALSE(com::PostMessage(w, kMsgA, 3, 0));

  // Both are still queued; dispatching them does nothing.
  Message m;
  int taken = 0;
  while (com::PeekMessage(&m, true)) {
    EXPECT_EQ(m.window, w);
    EXPECT_EQ(com::DispatchMessage(m), 0);
    ++taken;
  }
  EXPECT_EQ(taken, 2);
  EXPECT_TRUE(calls_.empty());
}

TEST_F(MessageQueueTest, OnlyTheOwnerMayDestroyOrDispatch) {
  const WindowHandle w = NewRecordingWindow();
  bool destroyed = true;
  std::intptr_t dispatched = -1;
  std::thread([&] {
    destroyed = com::DestroyWindow(w);
    dispatched = com::DispatchMessage(Message{w, kMsgA, 0, 0});
  }).join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(dispatched, 0);
  EXPECT_TRUE(calls_.empty());
  EXPECT_TRUE(com::IsWindow(w));
  EXPECT_TRUE(com::DestroyWindow(w));
}

TEST_F(MessageQueueTest, PumpStopsAsSoonAsTheConditionHolds) {
  const WindowHandle w = NewRecordingWindow();
  for (std::uintptr_t i = 0; i < 5; ++i) ASSERT_TRUE(com::PostMessage(w, kMsgA, i, 0));
  EXPECT_TRUE(com::PumpMessagesUntil([&] { return calls_.size() >= 3; }, 1000));
  EXPECT_EQ(calls_.size(), 3u);
  Message m;
  ASSERT_TRUE(com::PeekMessage(&m, false));
  EXPECT_EQ(m.wparam, 3u);

  // A condition that already holds dispatches nothing.
  EXPECT_TRUE(com::PumpMessagesUntil([] { return true; }, 1000));
  EXPECT_EQ(calls_.size(), 3u);
}

TEST_F(MessageQueueTest, PumpTimesOutOrWakesForAPost) {
  auto start = Clock::now();
  EXPECT_FALSE(com::PumpMessagesUntil(kNever, 50));
  EXPECT_GE(ElapsedMs(start), 50);
  EXPECT_LT(ElapsedMs(start), 900);
  EXPECT_FALSE(com::PumpMessagesUntil(std::function<bool()>(), 10));  // empty: never done

  const WindowHandle w = NewRecordingWindow();
  std::thread worker([w] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    com::PostMessage(w, kMsgA, 0, 0);
  });
  start = Clock::now();
  const bool done = com::PumpMessagesUntil([&] { return !calls_.empty(); }, 1000);
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_LT(ElapsedMs(start), 900);
}

TEST_F(MessageQueueTest, PumpWithNoTimeHandlesOnlyWhatIsQueued) {
  // Posts one more each time; the cap only keeps a faulty pump from spinning
  // for ever.
  constexpr int kCap = 1000000;
  int calls = 0;
  const WindowHandle w = NewWindow(NewClass([&](WindowHandle self, std::uint32_t, std::uintptr_t, std::intptr_t) {
    if (++calls < kCap) com::PostMessage(self, kMsgA, 0, 0);
    return std::intptr_t{0};
  }));
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 0, 0));
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 0, 0));
  EXPECT_FALSE(com::PumpMessagesUntil(kNever, 0));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(com::PumpMessagesUntil([&] { return calls >= 2; }, 0));

  // Nor can such a procedure hold a pump past its time limit.
  const auto start = Clock::now();
  EXPECT_FALSE(com::PumpMessagesUntil(kNever, 30));
  EXPECT_LT(ElapsedMs(start), 900);
  EXPECT_GT(calls, 2);
  EXPECT_LT(calls, kCap);
  ASSERT_TRUE(com::DestroyWindow(w));
}

TEST_F(MessageQueueTest, GetMessageLoopEndsAtQuit) {
  const WindowHandle w = NewRecordingWindow();
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 1, 0));
  ASSERT_TRUE(com::PostThreadMessage(com::CurrentThreadId(), kMsgB, 2, 0));
  com::PostQuitMessage(-3);
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 3, 0));

  std::vector<Message> seen;
  Message m;
  while (com::GetMessage(&m)) {
    seen.push_back(m);
    com::DispatchMessage(m);
  }
  EXPECT_EQ(m.id, com::kMsgQuit);
  EXPECT_EQ(m.window, 0u);
  EXPECT_EQ(static_cast<std::intptr_t>(m.wparam), -3);  // negative codes survive
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].window, 0u);
  EXPECT_EQ(seen[1].id, kMsgB);
  ASSERT_EQ(calls_.size(), 1u);  // a thread message reaches no procedure
  EXPECT_EQ(calls_[0].wparam, 1u);
  EXPECT_FALSE(com::GetMessage(nullptr));  // returns, rather than blocking
}

TEST_F(MessageQueueTest, PumpPostsQuitAgainForTheOuterLoop) {
  const WindowHandle w = NewRecordingWindow();
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 1, 0));
  com::PostQuitMessage(4);
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 2, 0));

  const auto start = Clock::now();
  EXPECT_FALSE(com::PumpMessagesUntil(kNever, 1000));
  EXPECT_LT(ElapsedMs(start), 500);
  ASSERT_EQ(calls_.size(), 1u);

  // The quit comes out first, then the message that followed it.
  Message m;
  ASSERT_FALSE(com::GetMessage(&m));
  EXPECT_EQ(m.wparam, 4u);
  ASSERT_TRUE(com::GetMessage(&m));
  EXPECT_EQ(m.wparam, 2u);

  com::PostQuitMessage(0);
  EXPECT_TRUE(com::PumpMessagesUntil([] { return true; }, 0));
  ASSERT_TRUE(com::PeekMessage(&m, true));
  EXPECT_EQ(m.id, com::kMsgQuit);
}

TEST_F(MessageQueueTest, PostThreadMessageNeedsALiveThreadWithAQueue) {
  EXPECT_FALSE(com::PostThreadMessage(0, kMsgA, 0, 0));
  const std::string cls = NewClass([](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) {
    return std::intptr_t{0};
  });
  std::promise<std::pair<ThreadId, WindowHandle>> started;
  std::promise<Message> received;
  std::thread worker([&] {
    started.set_value({com::CurrentThreadId(), com::CreateWindow(cls, "worker", 1, 1)});
    Message m;
    if (!com::WaitMessage(1000) || !com::PeekMessage(&m, true)) m = Message{};
    received.set_value(m);
  });
  const auto [tid, window] = started.get_future().get();
  ASSERT_NE(window, 0u);
  EXPECT_EQ(com::WindowThread(window), tid);
  EXPECT_TRUE(com::PostThreadMessage(tid, kMsgB, 11, 12));
  const Message m = received.get_future().get();
  EXPECT_EQ(m.window, 0u);
  EXPECT_EQ(m.id, kMsgB);
  EXPECT_EQ(m.wparam, 11u);
  EXPECT_EQ(m.lparam, 12);
  worker.join();

  // The thread's queue and windows went with it.
  EXPECT_FALSE(com::PostThreadMessage(tid, kMsgB, 0, 0));
  EXPECT_FALSE(com::PostMessage(window, kMsgA, 0, 0));
  EXPECT_FALSE(com::IsWindow(window));

  // A live thread that never called in has no queue.
  std::promise<ThreadId> quietId;
  std::promise<void> release;
  std::thread quiet([&] {
    quietId.set_value(static_cast<ThreadId>(::syscall(SYS_gettid)));
    release.get_future().wait();
  });
  EXPECT_FALSE(com::PostThreadMessage(quietId.get_future().get(), kMsgA, 0, 0));
  release.set_value();
  quiet.join();
}

TEST_F(MessageQueueTest, ProcedureMayPostToOrDestroyItsOwnWindow) {
  std::vector<std::uintptr_t> seen;
  const WindowHandle w = NewWindow(NewClass([&](WindowHandle self, std::uint32_t, std::uintptr_t wp, std::intptr_t) {
    seen.push_back(wp);
    if (wp < 9) com::PostMessage(self, kMsgA, wp + 1, 0);
    if (wp == 9) com::PostMessage(self, kMsgA, 100, 0);
    if (wp == 100 && com::DestroyWindow(self)) com::PostMessage(self, kMsgA, 200, 0);
    return std::intptr_t{0};
  }));
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 0, 0));
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 50, 0));  // queued behind the chain's start
  EXPECT_FALSE(com::PumpMessagesUntil(kNever, 30));
  EXPECT_FALSE(com::IsWindow(w));
  const std::vector<std::uintptr_t> expected = {0, 50, 1, 2, 3, 4, 5, 6, 7, 8, 9, 100};
  EXPECT_EQ(seen, expected);
}

TEST_F(MessageQueueTest, ProcedureMayCreateWindowsAndPumpNested) {
  const WindowHandle inner = NewRecordingWindow();
  std::string cls;
  WindowHandle created = 0;
  bool nestedDone = false;
  cls = NewClass([&](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) {
    created = NewWindow(cls, "child");
    com::PostMessage(inner, kMsgB, 5, 0);
    nestedDone = com::PumpMessagesUntil([&] { return !calls_.empty(); }, 1000);
    return std::intptr_t{0};
  });
  ASSERT_TRUE(com::PostMessage(NewWindow(cls, "outer"), kMsgA, 0, 0));
  ASSERT_TRUE(com::PumpMessagesUntil([&] { return nestedDone; }, 1000));
  EXPECT_EQ(com::WindowTitle(created), "child");
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].wparam, 5u);
}

TEST_F(MessageQueueTest, ThrowingCallbacksAreContained) {
  const WindowHandle w = NewWindow(NewClass([](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    throw std::runtime_error("procedure failed");
  }));
  EXPECT_EQ(com::DispatchMessage(Message{w, kMsgA, 0, 0}), 0);
  ASSERT_TRUE(com::PostMessage(w, kMsgA, 0, 0));
  EXPECT_FALSE(com::PumpMessagesUntil([]() -> bool { throw std::runtime_error("condition failed"); }, 0));
  EXPECT_FALSE(com::PeekMessage(nullptr, false));
}

TEST_F(MessageQueueTest, WaitMessageTimesOutAndWakes) {
  auto start = Clock::now();
  EXPECT_FALSE(com::WaitMessage(30));
  EXPECT_GE(ElapsedMs(start), 30);
  EXPECT_FALSE(com::WaitMessage(0));

  const ThreadId self = com::CurrentThreadId();
  std::thread worker([self] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    com::PostThreadMessage(self, kMsgA, 0, 0);
  });
  start = Clock::now();
  EXPECT_TRUE(com::WaitMessage(1000));
  EXPECT_LT(ElapsedMs(start), 900);
  worker.join();
  EXPECT_TRUE(com::WaitMessage(0));  // waiting leaves the message queued
  EXPECT_TRUE(com::PeekMessage(nullptr, true));
  EXPECT_FALSE(com::PeekMessage(nullptr, false));
}

// Worker threads each run a loop for a window of their own and echo what the
// test thread sends them back to it; a quit sent as a thread message ends them.
TEST_F(MessageQueueTest, ThreadsRunIndependentLoops) {
  constexpr int kThreads = 4;
  constexpr std::uintptr_t kPerThread = 50;
  const WindowHandle home = NewRecordingWindow();
  const std::string cls = NewClass([home](WindowHandle self, std::uint32_t, std::uintptr_t wp, std::intptr_t) {
    com::PostMessage(home, kMsgB, wp, static_cast<std::intptr_t>(self));
    return std::intptr_t{0};
  });
  std::vector<std::promise<WindowHandle>> ready(kThreads);
  std::vector<std::thread> loops;
  for (auto& r : ready) {
    loops.emplace_back([&cls, &r] {
      r.set_value(com::CreateWindow(cls, "loop", 1, 1));
      Message m;
      while (com::GetMessage(&m)) com::DispatchMessage(m);
    });
  }
  std::vector<WindowHandle> targets;
  for (auto& r : ready) targets.push_back(r.get_future().get());
  std::vector<ThreadId> owners;
  for (WindowHandle w : targets) owners.push_back(com::WindowThread(w));
  for (std::uintptr_t i = 0; i < kPerThread; ++i)
    for (WindowHandle w : targets) EXPECT_TRUE(com::PostMessage(w, kMsgA, i, 0));

  const bool done = com::PumpMessagesUntil([&] { return calls_.size() >= kThreads * kPerThread; }, 1000);
  for (ThreadId tid : owners) EXPECT_TRUE(com::PostThreadMessage(tid, com::kMsgQuit, 0, 0));
  for (auto& l : loops) l.join();
  ASSERT_TRUE(done);
  for (WindowHandle w : targets) {
    std::uintptr_t next = 0;
    for (const Call& c : calls_) {
      if (c.lparam == static_cast<std::intptr_t>(w)) {
        EXPECT_EQ(c.wparam, next++);
      }
    }
    EXPECT_EQ(next, kPerThread);
    EXPECT_FALSE(com::IsWindow(w));
  }
}

}  // namespace
