// Per-thread message queues and window objects.
//
// A window belongs to the thread that created it. Any thread may post a
// message to a window; the message waits in the owning thread's queue until
// that thread's loop takes it (GetMessage / PeekMessage) and hands it to
// DispatchMessage, which runs the window procedure on the owning thread. This
// is how a component that works on its own thread delivers events on the
// thread that created it. Messages posted by one thread to one queue are taken
// in the order they were posted.
//
// A thread's queue is created on its first call into this API. When the thread
// exits, its queue and its windows go with it. Messages for a window that has
// been destroyed are dropped (DispatchMessage returns 0). Every call is safe
// from any thread; window procedures run with no lock held, so they may post,
// create or destroy windows and pump messages themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/com/Types.h"

namespace com {

using WindowHandle = std::uint32_t;  // 0 is no window
using ThreadId = std::uint32_t;      // the kernel's thread id (gettid)

inline constexpr std::uint32_t kMsgQuit = 0x0012;
inline constexpr std::uint32_t kMsgUser = 0x0400;

struct Message {
  WindowHandle window = 0;  // 0 for a thread message
  std::uint32_t id = 0;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
};

using WindowProc =
    std::function<std::intptr_t(WindowHandle window, std::uint32_t id, std::uintptr_t wparam, std::intptr_t lparam)>;

COM_API ThreadId CurrentThreadId();

// Window classes, by name (case-sensitive). Registering a name twice fails.
COM_API bool RegisterWindowClass(std::string_view className, WindowProc proc);
COM_API bool UnregisterWindowClass(std::string_view className);

// Creates a window of a registered class owned by the calling thread; 0 when
// the class is unknown. Width, height and title are kept for inspection only.
COM_API WindowHandle CreateWindow(std::string_view className, std::string_view title, int width, int height);
// Only the owning thread may destroy a window; false otherwise or when unknown.
COM_API bool DestroyWindow(WindowHandle window);
COM_API bool IsWindow(WindowHandle window);
COM_API ThreadId WindowThread(WindowHandle window);  // 0 when unknown
COM_API std::string WindowTitle(WindowHandle window);

// Queues a message for the window's thread; false when the window is unknown.
COM_API bool PostMessage(WindowHandle window, std::uint32_t id, std::uintptr_t wparam, std::intptr_t lparam);
// Queues a window-less message for a thread that has a queue; false otherwise.
COM_API bool PostThreadMessage(ThreadId thread, std::uint32_t id, std::uintptr_t wparam, std::intptr_t lparam);
// Queues kMsgQuit with the exit code for the calling thread.
COM_API void PostQuitMessage(int exitCode);

// Waits for the next message of the calling thread's queue. Returns false when
// it is kMsgQuit (the message is still stored in *msg), true otherwise. A null
// `msg` returns false at once.
COM_API bool GetMessage(Message* msg);
// Like GetMessage without waiting: false when the queue is empty, true for any
// message there (kMsgQuit included; tell it by its id). A null `msg` is allowed.
COM_API bool PeekMessage(Message* msg, bool remove);
// Waits until the calling thread's queue holds a message or `timeoutMs` passes;
// true when a message is there.
COM_API bool WaitMessage(std::uint32_t timeoutMs);
// Runs the window procedure of the message's window; 0 when there is none.
COM_API std::intptr_t DispatchMessage(const Message& msg);

// Takes and dispatches the calling thread's messages until `done()` is true or
// `timeoutMs` has passed (checking `done` before each wait and after each
// message). Returns done(). With a time-out of 0 only the messages queued on
// entry are handled. A kMsgQuit stops the loop and is put back at the front of
// the queue so an outer loop sees it next.
COM_API bool PumpMessagesUntil(const std::function<bool()>& done, std::uint32_t timeoutMs);

}  // namespace com
