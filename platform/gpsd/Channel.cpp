#include "platform/gpsd/Channel.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

namespace gpsd {

namespace {

constexpr const char* kDefaultHost = "127.0.0.1";
constexpr const char* kDefaultPort = "2947";

// gpsd protocol: start watching, and relay each device's sentences as they
// came (raw NMEA) instead of gpsd's own JSON reports.
constexpr std::string_view kWatchCommand = "?WATCH={\"enable\":true,\"nmea\":true}\n";
// gpsd answers every new client's first command with this report first.
constexpr std::string_view kVersionReport = "{\"class\":\"VERSION\"";
// The VERSION report is about 90 bytes; a first line longer than this is not gpsd.
constexpr std::size_t kMaxReplyLine = 512;

bool ValidPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

}  // namespace

Address Channel::ParseAddress(const char* text) {
  const Address fallback{kDefaultHost, kDefaultPort};
  if (!text || !*text) return fallback;
  std::string_view all(text);
  std::string_view host, port;
  if (all.front() == '[') {  // [v6-address]:port
    std::size_t close = all.find(']');
    if (close == std::string_view::npos || close + 1 >= all.size() || all[close + 1] != ':') return fallback;
    host = all.substr(1, close - 1);
    port = all.substr(close + 2);
  } else {
    std::size_t colon = all.rfind(':');
    if (colon == std::string_view::npos || all.find(':') != colon) return fallback;  // one colon only
    host = all.substr(0, colon);
    port = all.substr(colon + 1);
  }
  if (host.empty() || !ValidPort(port)) return fallback;
  return Address{std::string(host), std::string(port)};
}

Address Channel::AddressFromEnvironment() { return ParseAddress(std::getenv("ZENOLITH_GPSD")); }

Channel::Channel() : Channel(AddressFromEnvironment()) {}

Channel::Channel(Address address) : address_(std::move(address)) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Channel::~Channel() {
  Close();
  if (wakeFd_ >= 0) close(wakeFd_);
}

// Waits for `events` on `fd` or for a wake-up; true only when `fd` is ready.
bool Channel::WaitFd(int fd, short events, std::uint32_t timeoutMs) {
  pollfd fds[2] = {{fd, events, 0}, {wakeFd_, POLLIN, 0}};
  const std::uint32_t start = platform::TickCount();
  for (;;) {
    if (cancelled_.load()) return false;
    const std::uint32_t spent = platform::TicksSince(start);
    if (spent >= timeoutMs) return false;
    int ready = poll(fds, 2, static_cast<int>(timeoutMs - spent));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    if (fds[1].revents != 0) return false;  // woken: cancelled or closing
    return fds[0].revents != 0;
  }
}

bool Channel::Connect() {
  if (connected_.load()) return true;
  Close();  // a reader that ended after a hang-up is joined here
  if (cancelled_.load()) {
    lastError_ = ECANCELED;
    return false;
  }

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(address_.host.c_str(), address_.port.c_str(), &hints, &found) != 0 || !found) {
    lastError_ = EHOSTUNREACH;
    return false;
  }

  int fd = -1;
  int failure = ECONNREFUSED;
  for (addrinfo* ai = found; ai && fd < 0; ai = ai->ai_next) {
    int candidate = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (candidate < 0) {
      failure = errno;
      continue;
    }
    int result = connect(candidate, ai->ai_addr, ai->ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
      if (WaitFd(candidate, POLLOUT, kConnectTimeoutMs)) {
        int soError = 0;
        socklen_t length = sizeof soError;
        result = getsockopt(candidate, SOL_SOCKET, SO_ERROR, &soError, &length) == 0 && soError == 0 ? 0 : -1;
        failure = soError != 0 ? soError : errno;
      } else {
        failure = cancelled_.load() ? ECANCELED : ETIMEDOUT;
      }
    } else if (result != 0) {
      failure = errno;
    }
    if (result == 0)
      fd = candidate;
    else
      close(candidate);
  }
  freeaddrinfo(found);
  if (fd < 0) {
    lastError_ = failure;
    return false;
  }

  if (!Handshake(fd)) {
    close(fd);
    return false;
  }
  fd_ = fd;
  connected_ = true;
  // Cleared before the reader starts: a hang-up it sees at once must not be
  // overwritten.
  lastError_ = 0;
  try {
    reader_ = std::thread([this, fd] { ReadThread(fd); });
  } catch (const std::system_error& e) {
    lastError_ = e.code().value();
    Close();
    return false;
  }
  return true;
}

// Sends the WATCH command and reads gpsd's first reply line, which must be its
// VERSION report. Whatever follows that line in the same reads is delivered.
bool Channel::Handshake(int fd) {
  std::size_t sent = 0;
  while (sent < kWatchCommand.size()) {
    ssize_t n = send(fd, kWatchCommand.data() + sent, kWatchCommand.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      if (!WaitFd(fd, POLLOUT, kConnectTimeoutMs)) {
        lastError_ = cancelled_.load() ? ECANCELED : ETIMEDOUT;
        return false;
      }
    } else {
      lastError_ = n < 0 ? errno : EPIPE;
      return false;
    }
  }

  char reply[kMaxReplyLine];
  std::size_t have = 0;
  const std::uint32_t start = platform::TickCount();
  for (;;) {
    const std::uint32_t spent = platform::TicksSince(start);
    if (spent >= kConnectTimeoutMs || !WaitFd(fd, POLLIN, kConnectTimeoutMs - spent)) {
      lastError_ = cancelled_.load() ? ECANCELED : ETIMEDOUT;
      return false;
    }
    ssize_t n = recv(fd, reply + have, sizeof reply - have, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      lastError_ = n < 0 ? errno : ECONNRESET;
      return false;
    }
    have += static_cast<std::size_t>(n);
    const void* lineFeed = std::memchr(reply, '\n', have);
    if (!lineFeed) {
      if (have == sizeof reply) break;  // no line end in time: not gpsd
      continue;
    }
    const std::size_t lineEnd = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - reply) + 1;
    if (std::string_view(reply, lineEnd).substr(0, kVersionReport.size()) != kVersionReport) break;
    atLineStart_ = true;
    inJsonLine_ = false;
    Deliver(reply + lineEnd, have - lineEnd);
    return true;
  }
  lastError_ = EPROTO;  // something answered, but not gpsd
  return false;
}

void Channel::ReadThread(int fd) {
  char chunk[kChunkSize];
  int failure = 0;
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int ready = poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      break;
    }
    if (fds[1].revents != 0 || closing_.load()) break;
    if (fds[0].revents == 0) continue;
    ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n > 0) {
      Deliver(chunk, static_cast<std::size_t>(n));
    } else if (n == 0) {
      failure = ECONNRESET;  // gpsd hung up
      break;
    } else if (errno != EINTR && errno != EAGAIN) {
      failure = errno;
      break;
    }
  }
  connected_ = false;
  if (failure != 0 && !closing_.load()) {
    lastError_ = failure;
    error_.Set();
  }
}

// Copies the bytes, minus gpsd's JSON lines, into chunks of at most
// kChunkSize and queues them. A JSON line is one that starts with '{'; it is
// skipped through its line feed, even across reads.
void Channel::Deliver(const char* bytes, std::size_t count) {
  std::vector<std::uint8_t> out;
  auto flush = [&] {
    if (out.empty()) return;
    {
      std::lock_guard lock(queueMutex_);
      if (queue_.size() >= kMaxQueuedChunks) queue_.pop_front();
      queue_.push_back(std::move(out));
    }
    out = {};
    received_.Set();
  };
  for (std::size_t i = 0; i < count; ++i) {
    const char c = bytes[i];
    if (inJsonLine_) {
      if (c == '\n') {
        inJsonLine_ = false;
        atLineStart_ = true;
      }
      continue;
    }
    if (atLineStart_ && c == '{') {
      inJsonLine_ = true;
      atLineStart_ = false;
      continue;
    }
    atLineStart_ = (c == '\n');
    if (out.empty()) out.reserve(kChunkSize);
    out.push_back(static_cast<std::uint8_t>(c));
    if (out.size() == kChunkSize) flush();
  }
  flush();
}

void Channel::Close() {
  closing_ = true;
  if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
  if (wakeFd_ >= 0) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t ignored = write(wakeFd_, &one, sizeof one);
  }
  if (reader_.joinable()) reader_.join();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  // Take the wake-up back so that the next connection's reader waits again;
  // after Cancel it stays, and every wait ends at once.
  if (wakeFd_ >= 0 && !cancelled_.load()) {
    std::uint64_t value = 0;
    [[maybe_unused]] ssize_t ignored = read(wakeFd_, &value, sizeof value);
  }
  connected_ = false;
  {
    std::lock_guard lock(queueMutex_);
    queue_.clear();
  }
  received_.Reset();
  error_.Reset();
  closing_ = false;
}

void Channel::Cancel() {
  cancelled_ = true;
  if (wakeFd_ >= 0) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t ignored = write(wakeFd_, &one, sizeof one);
  }
}

std::optional<std::vector<std::uint8_t>> Channel::TakeReceived() {
  std::lock_guard lock(queueMutex_);
  if (queue_.empty()) return std::nullopt;
  std::vector<std::uint8_t> chunk = std::move(queue_.front());
  queue_.pop_front();
  return chunk;
}

}  // namespace gpsd
