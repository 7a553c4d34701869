#include "platform/sync/Thread.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <future>

namespace platform {

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(::syscall(SYS_gettid)); }

StartedThread StartThread(std::function<void()> body) {
  std::promise<std::uint32_t> started;
  std::future<std::uint32_t> id = started.get_future();
  StartedThread result;
  result.thread = std::thread([&started, body = std::move(body)] {
    started.set_value(CurrentThreadId());  // `started` is gone once the caller has the id
    body();
  });
  result.id = id.get();
  return result;
}

}  // namespace platform
