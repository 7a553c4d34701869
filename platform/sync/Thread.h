// Threads that know the kernel's id of themselves. Logs name threads by that
// id: unlike a pthread handle it is not handed to the next thread as soon as
// one ends, so two threads of one run never print the same number.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>

namespace platform {

// The kernel's id of the calling thread (gettid).
std::uint32_t CurrentThreadId();

struct StartedThread {
  std::thread thread;
  std::uint32_t id = 0;  // the new thread's CurrentThreadId()
};

// Starts `body` on a new thread and returns once that thread runs, with its id.
StartedThread StartThread(std::function<void()> body);

}  // namespace platform
