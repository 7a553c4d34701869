// Per-thread message queues and window objects.
//
// One process-wide table, guarded by one mutex, holds the window classes, the
// windows and the queue of every thread that has called in. Each queue has its
// own mutex and condition variable so that a thread waiting for messages never
// holds the table lock. Lock order is table, then queue; nothing takes the
// table lock while holding a queue lock.
//
// Window procedures and anything they capture are never run or destroyed while
// a lock is held: a procedure may post, create and destroy windows, or pump
// messages itself, and a captured object's destructor may call back in.
#include "platform/com/MessageQueue.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace com {
namespace {

using Clock = std::chrono::steady_clock;
using ProcPtr = std::shared_ptr<const WindowProc>;

struct Queue {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<Message> messages;

  void Push(const Message& msg) {
    {
      std::lock_guard lock(mutex);
      messages.push_back(msg);
    }
    ready.notify_all();
  }
};
using QueuePtr = std::shared_ptr<Queue>;

struct Window {
  ThreadId owner = 0;
  ProcPtr proc;  // a copy of the class's procedure taken at creation
  std::string title;
  int width = 0;
  int height = 0;
};

struct State {
  std::mutex mutex;
  std::map<std::string, ProcPtr, std::less<>> classes;
  std::unordered_map<WindowHandle, Window> windows;
  std::unordered_map<ThreadId, QueuePtr> threads;
  // 64 bits so that running out of 32-bit handles is detectable rather than
  // wrapping round to handles that were already given out.
  std::uint64_t nextHandle = 1;
};

// Never destroyed: threads that outlive main() (detached workers, other
// libraries' static destructors) may still post or exit, and the thread-exit
// hook below needs the table to be there whenever it runs.
State& Table() {
  static State* const state = new State();
  return *state;
}

// Set once this thread's slot has been torn down at thread exit. A plain bool
// has no destructor, so it stays readable from later thread-exit destructors.
thread_local bool tlsSlotGone = false;

// The calling thread's queue, registered in the table for as long as the
// thread lives. Its destructor runs when the thread exits: the queue leaves the
// table (so posts to the thread fail from then on) and so do the thread's
// windows, which nobody could dispatch any more. Dropping the windows also
// matters because the kernel reuses thread ids: a new thread must not inherit
// an old thread's windows.
struct ThreadSlot {
  QueuePtr queue = std::make_shared<Queue>();
  ThreadId tid = CurrentThreadId();

  ThreadSlot() {
    State& s = Table();
    std::lock_guard lock(s.mutex);
    s.threads[tid] = queue;
  }

  ~ThreadSlot() {
    tlsSlotGone = true;
    std::vector<Window> dropped;  // destroyed after the lock is released
    {
      State& s = Table();
      std::lock_guard lock(s.mutex);
      auto it = s.threads.find(tid);
      if (it != s.threads.end() && it->second == queue) s.threads.erase(it);
      for (auto w = s.windows.begin(); w != s.windows.end();) {
        if (w->second.owner == tid) {
          try {
            dropped.push_back(std::move(w->second));
          } catch (...) {
            // Out of memory: release it here, under the lock, rather than
            // leave a window nobody can reach.
          }
          w = s.windows.erase(w);
        } else {
          ++w;
        }
      }
    }
  }

  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;
};

// Creates the queue on first use. A call made after this thread's slot was
// torn down (from another thread-local destructor) gets a private queue that
// nobody else can reach, which keeps such late calls harmless.
QueuePtr CurrentQueue() {
  if (tlsSlotGone) return std::make_shared<Queue>();
  thread_local ThreadSlot slot;
  return slot.queue;
}

// Exit codes are ints; going through intptr_t keeps negative codes intact when
// the receiver casts wparam back.
std::uintptr_t QuitCode(int exitCode) {
  return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(exitCode));
}

bool IsQuit(const Message& msg) { return msg.id == kMsgQuit; }

// Takes the front message, waiting no later than `deadline`. A deadline of
// nullopt waits for ever.
bool TakeMessage(Queue& q, Message* out, const Clock::time_point* deadline) {
  std::unique_lock lock(q.mutex);
  auto hasMessage = [&q] { return !q.messages.empty(); };
  if (deadline == nullptr) {
    q.ready.wait(lock, hasMessage);
  } else if (!q.ready.wait_until(lock, *deadline, hasMessage)) {
    return false;
  }
  *out = q.messages.front();
  q.messages.pop_front();
  return true;
}

}  // namespace

ThreadId CurrentThreadId() { return static_cast<ThreadId>(::syscall(SYS_gettid)); }

bool RegisterWindowClass(std::string_view className, WindowProc proc) {
  if (className.empty() || !proc) return false;
  try {
    auto shared = std::make_shared<const WindowProc>(std::move(proc));
    State& s = Table();
    std::lock_guard lock(s.mutex);
    if (s.classes.find(className) != s.classes.end()) return false;
    s.classes.emplace(std::string(className), std::move(shared));
    return true;
  } catch (...) {
    return false;
  }
}

bool UnregisterWindowClass(std::string_view className) {
  ProcPtr dropped;  // released outside the lock; existing windows keep a copy
  State& s = Table();
  std::lock_guard lock(s.mutex);
  auto it = s.classes.find(className);
  if (it == s.classes.end()) return false;
  dropped = std::move(it->second);
  s.classes.erase(it);
  return true;
}

WindowHandle CreateWindow(std::string_view className, std::string_view title, int width, int height) {
  // A thread that is already exiting could never dispatch to, nor clean up,
  // a new window.
  if (tlsSlotGone) return 0;
  try {
    // The queue must exist before the window is visible, or a post racing
    // with creation would find a window without a queue.
    const QueuePtr queue = CurrentQueue();
    const ThreadId self = CurrentThreadId();
    Window w;
    w.owner = self;
    w.title = std::string(title);
    w.width = width;
    w.height = height;

    State& s = Table();
    std::lock_guard lock(s.mutex);
    auto cls = s.classes.find(className);
    if (cls == s.classes.end()) return 0;
    if (s.nextHandle > std::numeric_limits<WindowHandle>::max()) return 0;
    w.proc = cls->second;
    const auto handle = static_cast<WindowHandle>(s.nextHandle);
    s.windows.emplace(handle, std::move(w));
    ++s.nextHandle;
    return handle;
  } catch (...) {
    return 0;
  }
}

bool DestroyWindow(WindowHandle window) {
  if (window == 0) return false;
  Window dropped;  // its procedure is released after the lock
  {
    State& s = Table();
    std::lock_guard lock(s.mutex);
    auto it = s.windows.find(window);
    if (it == s.windows.end() || it->second.owner != CurrentThreadId()) return false;
    dropped = std::move(it->second);
    s.windows.erase(it);
  }
  return true;
}

bool IsWindow(WindowHandle window) {
  if (window == 0) return false;
  State& s = Table();
  std::lock_guard lock(s.mutex);
  return s.windows.count(window) != 0;
}

ThreadId WindowThread(WindowHandle window) {
  State& s = Table();
  std::lock_guard lock(s.mutex);
  auto it = s.windows.find(window);
  return it == s.windows.end() ? 0 : it->second.owner;
}

std::string WindowTitle(WindowHandle window) {
  try {
    State& s = Table();
    std::lock_guard lock(s.mutex);
    auto it = s.windows.find(window);
    return it == s.windows.end() ? std::string() : it->second.title;
  } catch (...) {
    return {};
  }
}

bool PostMessage(WindowHandle window, std::uint32_t id, std::uintptr_t wparam, std::intptr_t lparam) {
  if (window == 0) return false;
  try {
    // The push happens under the table lock so that a post either reaches a
    // live queue or fails: the owner's exit cannot slip in between.
    State& s = Table();
    std::lock_guard lock(s.mutex);
    auto w = s.windows.find(window);
    if (w == s.windows.end()) return false;
    auto q = s.threads.find(w->second.owner);
    if (q == s.threads.end()) return false;
    q->second->Push(Message{window, id, wparam, lparam});
    return true;
  } catch (...) {
    return false;
  }
}

bool PostThreadMessage(ThreadId thread, std::uint32_t id, std::uintptr_t wparam, std::intptr_t lparam) {
  if (thread == 0) return false;
  try {
    State& s = Table();
    std::lock_guard lock(s.mutex);
    auto q = s.threads.find(thread);
    if (q == s.threads.end()) return false;
    q->second->Push(Message{0, id, wparam, lparam});
    return true;
  } catch (...) {
    return false;
  }
}

void PostQuitMessage(int exitCode) {
  try {
    CurrentQueue()->Push(Message{0, kMsgQuit, QuitCode(exitCode), 0});
  } catch (...) {
    // Out of memory: nothing sensible to report through a void call.
  }
}

// A null `msg` cannot receive anything, so it ends the caller's loop at once
// instead of blocking or consuming a message.
bool GetMessage(Message* msg) {
  if (msg == nullptr) return false;
  try {
    const QueuePtr q = CurrentQueue();
    if (!TakeMessage(*q, msg, nullptr)) return false;
    return !IsQuit(*msg);
  } catch (...) {
    *msg = Message{0, kMsgQuit, 0, 0};
    return false;
  }
}

// True whenever a message was there, kMsgQuit included; the caller tells quit
// apart by its id. A null `msg` still peeks or removes, it just isn't filled.
bool PeekMessage(Message* msg, bool remove) {
  try {
    const QueuePtr q = CurrentQueue();
    std::lock_guard lock(q->mutex);
    if (q->messages.empty()) return false;
    if (msg != nullptr) *msg = q->messages.front();
    if (remove) q->messages.pop_front();
    return true;
  } catch (...) {
    return false;
  }
}

bool WaitMessage(std::uint32_t timeoutMs) {
  try {
    const QueuePtr q = CurrentQueue();
    std::unique_lock lock(q->mutex);
    return q->ready.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&q] { return !q->messages.empty(); });
  } catch (...) {
    return false;
  }
}

std::intptr_t DispatchMessage(const Message& msg) {
  if (msg.window == 0) return 0;
  ProcPtr proc;
  {
    State& s = Table();
    std::lock_guard lock(s.mutex);
    auto it = s.windows.find(msg.window);
    if (it == s.windows.end()) return 0;
    // A window's procedure only ever runs on the thread that owns it; a
    // message handed over to some other thread is not delivered.
    if (it->second.owner != CurrentThreadId()) return 0;
    proc = it->second.proc;
  }
  // Called unlocked: the procedure may destroy its own window (our copy of
  // the pointer keeps the callable alive until it returns) or post to it.
  try {
    return (*proc)(msg.window, msg.id, msg.wparam, msg.lparam);
  } catch (...) {
    return 0;
  }
}

bool PumpMessagesUntil(const std::function<bool()>& done, std::uint32_t timeoutMs) {
  auto isDone = [&done]() -> bool {
    if (!done) return false;
    try {
      return done();
    } catch (...) {
      return false;
    }
  };

  try {
    const QueuePtr q = CurrentQueue();

    // With no time allowed, only the messages already queued on entry are
    // handled; anything they post in turn waits for the next pump. Otherwise a
    // procedure that keeps posting to itself would hold the loop for ever.
    std::size_t budget = std::numeric_limits<std::size_t>::max();
    if (timeoutMs == 0) {
      std::lock_guard lock(q->mutex);
      budget = q->messages.size();
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

    while (true) {
      if (isDone()) return true;
      if (budget == 0) return false;
      // The deadline is checked even when messages are waiting, for the same
      // reason as the budget above.
      if (timeoutMs != 0 && Clock::now() >= deadline) return isDone();

      Message msg;
      if (!TakeMessage(*q, &msg, &deadline)) return isDone();
      --budget;

      if (IsQuit(msg)) {
        // Back at the front: the outer loop sees the queue exactly as it would
        // have without this pump, quit first, anything posted after it later.
        {
          std::lock_guard lock(q->mutex);
          q->messages.push_front(msg);
        }
        q->ready.notify_all();
        return isDone();
      }
      DispatchMessage(msg);
    }
  } catch (...) {
    // Out of memory while queueing: the caller's condition is all there is.
    return isDone();
  }
}

}  // namespace com
