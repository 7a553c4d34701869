#include "platform/signals/ShutdownSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>

namespace platform {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> received{0};  // the first signal, 0 for none
std::atomic<int> writeFd{-1};
int readFd = -1;
struct sigaction previous[std::size(kSignals)];
bool installed = false;

void OnSignal(int signal) {
  int expected = 0;
  if (!received.compare_exchange_strong(expected, signal)) {
    // A second signal: the shutdown is taking too long for the sender.
    ::_exit(128 + signal);
  }
  const int saved = errno;  // a handler must not change errno under the interrupted code
  const int fd = writeFd.load();
  if (fd >= 0) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);  // a full pipe already holds a wake-up
  }
  errno = saved;
}

}  // namespace

bool ShutdownSignals::Install() {
  if (installed) return true;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  readFd = fds[0];
  writeFd.store(fds[1]);
  received.store(0);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    if (::sigaction(kSignals[i], &action, &previous[i]) != 0) {
      const int error = errno;
      for (std::size_t j = 0; j < i; ++j) ::sigaction(kSignals[j], &previous[j], nullptr);
      ::close(fds[0]);
      ::close(fds[1]);
      readFd = -1;
      writeFd.store(-1);
      errno = error;
      return false;
    }
  }
  installed = true;
  return true;
}

void ShutdownSignals::Uninstall() {
  if (!installed) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  const int fd = writeFd.exchange(-1);
  ::close(fd);
  ::close(readFd);
  readFd = -1;
  installed = false;
}

int ShutdownSignals::ReadFd() { return readFd; }

int ShutdownSignals::Take() {
  char bytes[16];
  while (readFd >= 0 && ::read(readFd, bytes, sizeof bytes) > 0) {
  }
  return received.load();
}

void ShutdownSignals::Reset() {
  Take();
  received.store(0);
}

}  // namespace platform
