// SerialPort on Linux termios.
//
// The descriptor stays non-blocking for its whole life: every wait happens in
// poll(), which also watches an eventfd that Close raises, so neither thread
// can sit in read() or write() past a Close (a silent device or a stalled
// CTS line would otherwise hold Close forever). VMIN = VTIME = 0 for the same
// reason; the read time-outs are kept by the reader thread itself.
#include "platform/serial/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <optional>
#include <system_error>

#include "platform/serial/LineSpeed.h"
#include "platform/serial/PortTable.h"

namespace platform {

namespace {

constexpr int kPortError = 10007;
constexpr std::size_t kChunkSize = 256;
constexpr std::uint32_t kReadWindowMs = 200;  // the read constant of both time-out modes
constexpr std::uint32_t kWriteMsPerByte = 1;  // the write multiplier
constexpr unsigned char kXon = 17;
constexpr unsigned char kXoff = 19;

constexpr std::uint8_t kHandshakeRtsCts = 1;
constexpr std::uint8_t kHandshakeDtrDsr = 2;
constexpr std::uint8_t kHandshakeXonXoff = 4;

struct BaudRow {
  std::int32_t rate;
  speed_t speed;
};
constexpr std::array<BaudRow, 30> kBaudRates = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
}};

struct DataBitsRow {
  std::uint8_t bits;
  tcflag_t size;
};
constexpr std::array<DataBitsRow, 4> kDataBits = {{{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}}};

// Mark and space parity are the sticky-parity variants (CMSPAR) of odd and even.
struct ParityRow {
  std::uint8_t parity;
  tcflag_t flags;
};
constexpr std::array<ParityRow, 5> kParities = {{
    {0, 0},
    {1, PARENB | PARODD},
    {2, PARENB},
    {3, PARENB | PARODD | CMSPAR},
    {4, PARENB | CMSPAR},
}};

// termios has no 1.5 stop bits; UARTs send 1.5 for CSTOPB with 5 data bits
// and 2 otherwise, which is the nearest the line discipline offers.
struct StopBitsRow {
  std::uint8_t stopBits;
  tcflag_t flags;
};
constexpr std::array<StopBitsRow, 3> kStopBits = {{{0, 0}, {1, CSTOPB}, {2, CSTOPB}}};

template <typename Table, typename Match>
const typename Table::value_type* FindRow(const Table& table, Match match) {
  for (const auto& row : table)
    if (match(row)) return &row;
  return nullptr;
}

SerialError PortError(const char* message) { return SerialError{kPortError, message}; }

// Modem-line ioctls on a device without modem lines (a pseudo-terminal, some
// USB CDC adapters) fail with ENOTTY or EINVAL; that is no fault of the port.
bool LinesUnsupported(int err) { return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP; }

// 0 on success or when the device has no such line, else errno.
int SetModemLine(int fd, int line, bool on) {
  int bits = line;
  if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return 0;
  const int err = errno;
  return LinesUnsupported(err) ? 0 : err;
}

// Line settings: raw 8-bit transfer with the configured framing, rate and
// flow control. Fails with "Could not set DCB".
std::optional<SerialError> ApplyLineSettings(int fd, const SerialSettings& s) {
  // Rate 0 keeps the line's speed: the line is still made raw below.
  const bool keepSpeed = s.baudRate == 0;
  const auto* baud = FindRow(kBaudRates, [&](const BaudRow& r) { return r.rate == s.baudRate; });
  const auto* data = FindRow(kDataBits, [&](const DataBitsRow& r) { return r.bits == s.dataBits; });
  const auto* parity = FindRow(kParities, [&](const ParityRow& r) { return r.parity == s.parity; });
  const auto* stop = FindRow(kStopBits, [&](const StopBitsRow& r) { return r.stopBits == s.stopBits; });
  const bool otherSpeed = baud == nullptr && !keepSpeed && IsOtherLineSpeed(s.baudRate);
  if ((baud == nullptr && !keepSpeed && !otherSpeed) || data == nullptr || parity == nullptr || stop == nullptr)
    return PortError("Could not set DCB");

  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return PortError("Could not set DCB");
  cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | data->size | parity->flags | stop->flags;
  tio.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY);
  if (parity->flags != 0) tio.c_iflag |= INPCK;
  if (s.handshake & kHandshakeRtsCts) tio.c_cflag |= CRTSCTS;
  if (s.handshake & kHandshakeXonXoff) {
    tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VSTART] = kXon;
    tio.c_cc[VSTOP] = kXoff;
  }
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (baud != nullptr && (cfsetispeed(&tio, baud->speed) != 0 || cfsetospeed(&tio, baud->speed) != 0))
    return PortError("Could not set DCB");
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return PortError("Could not set DCB");
  if (otherSpeed && !SetOtherLineSpeed(fd, s.baudRate)) return PortError("Could not set DCB");

  // With RTS/CTS the driver owns RTS. Linux has no DSR flow control, so the
  // DTR/DSR handshake keeps DTR raised and leaves DSR unwatched.
  if (!(s.handshake & kHandshakeRtsCts) && SetModemLine(fd, TIOCM_RTS, s.rtsOn) != 0)
    return PortError("Could not set DCB");
  if (s.handshake & kHandshakeDtrDsr) {
    if (SetModemLine(fd, TIOCM_DTR, true) != 0) return PortError("Could not set DCB");
  } else if (s.handshake != 0 || !s.dtrOn) {
    if (SetModemLine(fd, TIOCM_DTR, s.dtrOn) != 0) return PortError("Could not set DCB");
  }
  return std::nullopt;
}

bool TimeoutsValid(const SerialSettings& s) {
  return (s.timeoutMode == 1 || s.timeoutMode == 2) && s.writeTimeoutConstant >= 0;
}

}  // namespace

struct SerialPort::Impl {
  explicit Impl(std::int32_t number) : port(number) {}

  // Control state: touched by the owner's calls under `control`.
  std::mutex control;
  std::int32_t port;
  SerialSettings settings;
  int fd = -1;
  int wakeFd = -1;  // eventfd raised by Close; never read, so it wakes every poll
  bool exclusive = false;  // TIOCEXCL is ours to clear
  std::thread reader, writer;

  // What the threads read while running.
  std::atomic<bool> open{false};
  std::atomic<bool> closing{false};
  std::atomic<int> timeoutMode{1};
  std::atomic<bool> deliverReceived{true};
  std::atomic<std::int32_t> writeTimeout{0};
  // Purge bumps these so a chunk being read or written when it runs is dropped.
  std::atomic<unsigned> rxGeneration{0}, txGeneration{0};

  // Queues and the error record, shared with the threads.
  mutable std::mutex data;
  std::deque<std::vector<std::uint8_t>> received, toWrite;
  SerialError error;

  Event receivedEvent{false};
  Event errorEvent{false};
  Event writeEvent{false};
  Event stopEvent{true};

  void SetError(SerialError e) {
    std::lock_guard lock(data);
    error = std::move(e);
  }
  void ClearError() { SetError(SerialError{}); }

  void PublishSettings(const SerialSettings& s) {
    timeoutMode = s.timeoutMode;
    deliverReceived = s.deliverReceivedData;
    writeTimeout = s.writeTimeoutConstant;
  }

  // A thread that failed reports once (not while Close is running) and then
  // idles until Close stops it.
  void Fail(int err, const char* message) {
    SetError(SerialError{err, message});
    if (!closing) errorEvent.Set();
    stopEvent.Wait(kInfinite);
  }

  std::optional<SerialError> OpenDevice();
  void CloseDevice();
  void ReadLoop();
  void WriteLoop();
  // 0 written (or given up after the write time-out or a purge), -1 closing, else errno.
  int WriteWhole(const std::vector<std::uint8_t>& chunk, unsigned generation);
};

std::optional<SerialError> SerialPort::Impl::OpenDevice() {
  const std::string path = DevicePathOf(port);
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) return PortError("Comm port does not exist");

  // O_NONBLOCK keeps open() from waiting for carrier detect, and stays on.
  fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENODEV || err == ENXIO) return PortError("Comm port does not exist");
    if (err == EBUSY || err == EACCES || err == EWOULDBLOCK) return PortError("Comm port in use!");
    return SerialError{err == 0 ? kPortError : err, "Could not open comm port!"};
  }
  // The advisory lock first: TIOCEXCL does not stop root, and setting it on a
  // tty someone else holds would lock them in after we leave.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    if (err == EWOULDBLOCK || err == EBUSY || err == EACCES) return PortError("Comm port in use!");
    return SerialError{err, "Could not open comm port!"};
  }
  // A non-tty fails here and again, properly reported, at tcgetattr.
  exclusive = ioctl(fd, TIOCEXCL) == 0;

  if (auto e = ApplyLineSettings(fd, settings)) return e;
  if (!TimeoutsValid(settings)) return PortError("Unexpected com port error.");
  if (settings.dtrOn && settings.handshake == 0) {
    if (const int err = SetModemLine(fd, TIOCM_DTR, true); err != 0) return SerialError{err, "Error setting DTR"};
  }
  tcflush(fd, TCIOFLUSH);
  // The kernel has no IrDA stack any more (removed in Linux 4.17), so there
  // is nothing to switch a port to.
  if (settings.infrared) return SerialError{EOPNOTSUPP, "Error setting IR"};

  wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) return SerialError{errno, "Could not open comm port!"};
  return std::nullopt;
}

void SerialPort::Impl::CloseDevice() {
  if (fd >= 0) {
    if (exclusive) ioctl(fd, TIOCNXCL);
    exclusive = false;
    // Unsent output would make close() wait for it (up to the driver's
    // closing_wait, 30 s on UARTs, forever with CTS low); the queues are
    // dropped on Close anyway.
    tcflush(fd, TCOFLUSH);
    ::close(fd);
    fd = -1;
  }
  if (wakeFd >= 0) {
    ::close(wakeFd);
    wakeFd = -1;
  }
}

void SerialPort::Impl::ReadLoop() {
  std::array<std::uint8_t, kChunkSize> buffer{};
  while (!stopEvent.IsSet()) {
    // Mode 1 hands over whatever one wake-up brought; mode 2 gathers for the
    // whole window unless the buffer fills first.
    const bool gather = timeoutMode == 2;
    unsigned generation = rxGeneration;
    const std::uint32_t start = TickCount();
    std::size_t filled = 0;
    int failure = 0;
    bool stop = false;
    while (filled < buffer.size() && !(filled > 0 && !gather)) {
      const std::uint32_t elapsed = TicksSince(start);
      if (elapsed >= kReadWindowMs) break;
      pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
      const int ready = poll(fds, 2, static_cast<int>(kReadWindowMs - elapsed));
      if (ready < 0) {
        if (errno == EINTR) continue;
        failure = errno;
        break;
      }
      if (fds[1].revents != 0) {
        stop = true;
        break;
      }
      if (ready == 0) break;
      if (fds[0].revents & POLLNVAL) {
        failure = EBADF;
        break;
      }
      // Bytes gathered before a Purge belong to the purged past.
      if (const unsigned now = rxGeneration; now != generation) {
        generation = now;
        filled = 0;
      }
      const ssize_t n = read(fd, buffer.data() + filled, buffer.size() - filled);
      if (n > 0) {
        filled += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n < 0) {
        failure = errno;
        break;
      }
      // Ready but nothing to read: the other side hung up (a pty whose
      // master closed, a USB adapter pulled out). The read itself returns 0
      // there, so the hang-up is reported as the I/O error it is.
      if (fds[0].revents & (POLLHUP | POLLERR)) {
        failure = EIO;
        break;
      }
      // A spurious wake-up: sit out the rest of the window rather than spin.
      pollfd wake = {wakeFd, POLLIN, 0};
      const std::uint32_t spent = TicksSince(start);
      poll(&wake, 1, spent >= kReadWindowMs ? 0 : static_cast<int>(kReadWindowMs - spent));
      break;
    }
    if (filled > 0 && deliverReceived && !closing) {
      bool queued = false;
      {
        std::lock_guard lock(data);  // Purge bumps the generation under this lock
        if (generation == rxGeneration) {
          received.emplace_back(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(filled));
          queued = true;
        }
      }
      if (queued) receivedEvent.Set();
    }
    if (stop) return;
    if (failure != 0) {
      Fail(failure, "Error reading data from serial port.");
      return;
    }
  }
}

int SerialPort::Impl::WriteWhole(const std::vector<std::uint8_t>& chunk, unsigned generation) {
  const std::int32_t constant = writeTimeout;
  const bool timed = constant > 0;
  const std::uint64_t limit = static_cast<std::uint64_t>(constant) + chunk.size() * kWriteMsPerByte;
  const std::uint32_t start = TickCount();
  std::size_t done = 0;
  while (done < chunk.size()) {
    if (generation != txGeneration) return 0;
    const ssize_t n = ::write(fd, chunk.data() + done, chunk.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return errno;
    // The output buffer is full: wait until it drains, Close, or the time-out.
    int waitMs = -1;
    if (timed) {
      const std::uint32_t elapsed = TicksSince(start);
      if (elapsed >= limit) return 0;  // a timed-out write ends short, without an error
      waitMs = static_cast<int>(std::min<std::uint64_t>(limit - elapsed, 0x7FFFFFFF));
    }
    pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
    const int ready = poll(fds, 2, waitMs);
    if (ready < 0 && errno != EINTR) return errno;
    if (fds[1].revents != 0) return -1;
    if (fds[0].revents & POLLNVAL) return EBADF;
    // POLLHUP/POLLERR: the next write reports the error itself.
  }
  return 0;
}

void SerialPort::Impl::WriteLoop() {
  Event* const events[] = {&stopEvent, &writeEvent};
  for (;;) {
    if (WaitAny(events, kInfinite) != 1) return;
    for (;;) {
      std::vector<std::uint8_t> chunk;
      unsigned generation = 0;
      {
        std::lock_guard lock(data);
        if (toWrite.empty()) break;
        chunk = std::move(toWrite.front());
        toWrite.pop_front();
        generation = txGeneration;
      }
      const int result = WriteWhole(chunk, generation);
      if (result < 0) return;
      if (result > 0) {
        Fail(result, "Error writing data to serial port.");
        return;
      }
    }
  }
}

SerialPort::SerialPort(std::int32_t portNumber) : impl_(new Impl(portNumber)) {}

SerialPort::~SerialPort() {
  Close();
  delete impl_;
}

std::int32_t SerialPort::port() const { return impl_->port; }

bool SerialPort::SetPort(std::int32_t portNumber) {
  std::lock_guard lock(impl_->control);
  if (impl_->fd >= 0) {
    impl_->SetError(PortError("Cannot set port is opened."));
    return false;
  }
  impl_->ClearError();
  impl_->port = portNumber;
  return true;
}

const SerialSettings& SerialPort::settings() const { return impl_->settings; }

bool SerialPort::SetBaudRate(std::int32_t baud) {
  SerialSettings s = impl_->settings;
  s.baudRate = baud;
  return SetSettings(s);
}

bool SerialPort::SetSettings(const SerialSettings& s) {
  std::lock_guard lock(impl_->control);
  impl_->ClearError();
  if (impl_->fd >= 0) {
    // Applied to the open device at once; a rejected change leaves the old
    // settings in force and in the object.
    std::optional<SerialError> e = ApplyLineSettings(impl_->fd, s);
    if (!e && !TimeoutsValid(s)) e = PortError("Unexpected com port error.");
    if (e) {
      ApplyLineSettings(impl_->fd, impl_->settings);
      impl_->SetError(*e);
      return false;
    }
  }
  impl_->settings = s;
  impl_->PublishSettings(s);
  return true;
}

bool SerialPort::Open() {
  std::lock_guard lock(impl_->control);
  if (impl_->fd >= 0) return true;
  impl_->ClearError();
  if (std::optional<SerialError> e = impl_->OpenDevice()) {
    impl_->CloseDevice();
    impl_->SetError(std::move(*e));
    return false;
  }
  impl_->PublishSettings(impl_->settings);
  impl_->stopEvent.Reset();
  impl_->errorEvent.Reset();
  impl_->receivedEvent.Reset();
  impl_->writeEvent.Reset();
  impl_->closing = false;
  try {
    impl_->reader = std::thread([this] { impl_->ReadLoop(); });
    impl_->writer = std::thread([this] { impl_->WriteLoop(); });
  } catch (const std::system_error& e) {
    impl_->closing = true;
    impl_->stopEvent.Set();
    if (impl_->reader.joinable()) impl_->reader.join();
    impl_->CloseDevice();
    impl_->closing = false;
    impl_->SetError(SerialError{e.code().value(), "Could not open comm port!"});
    return false;
  }
  impl_->open = true;
  return true;
}

void SerialPort::Close() {
  std::lock_guard lock(impl_->control);
  if (impl_->fd < 0) return;
  impl_->closing = true;
  impl_->open = false;
  impl_->stopEvent.Set();
  const std::uint64_t one = 1;
  // Wakes both threads out of poll(); the counter cannot overflow from one add.
  [[maybe_unused]] const ssize_t n = ::write(impl_->wakeFd, &one, sizeof one);
  if (impl_->reader.joinable()) impl_->reader.join();
  if (impl_->writer.joinable()) impl_->writer.join();
  impl_->CloseDevice();
  impl_->stopEvent.Reset();
  {
    std::lock_guard dlock(impl_->data);
    impl_->received.clear();
    impl_->toWrite.clear();
  }
  impl_->receivedEvent.Reset();
  impl_->writeEvent.Reset();
  impl_->errorEvent.Reset();
  impl_->closing = false;
}

bool SerialPort::IsOpen() const { return impl_->open; }

std::optional<std::vector<std::uint8_t>> SerialPort::TakeReceived() {
  std::lock_guard lock(impl_->data);
  if (impl_->received.empty()) return std::nullopt;
  std::vector<std::uint8_t> chunk = std::move(impl_->received.front());
  impl_->received.pop_front();
  return chunk;
}

void SerialPort::Write(const std::uint8_t* bytes, std::size_t count) {
  if (bytes == nullptr || count == 0 || !impl_->open) return;
  {
    std::lock_guard lock(impl_->data);
    impl_->toWrite.emplace_back(bytes, bytes + count);
  }
  impl_->writeEvent.Set();
}

void SerialPort::Purge(bool transmit, bool receive) {
  std::lock_guard lock(impl_->control);
  {
    std::lock_guard dlock(impl_->data);
    if (transmit) {
      impl_->toWrite.clear();
      ++impl_->txGeneration;
    }
    if (receive) {
      impl_->received.clear();
      ++impl_->rxGeneration;
    }
  }
  if (receive) impl_->receivedEvent.Reset();
  if (impl_->fd >= 0 && (transmit || receive))
    tcflush(impl_->fd, transmit && receive ? TCIOFLUSH : (transmit ? TCOFLUSH : TCIFLUSH));
}

Event& SerialPort::receivedEvent() { return impl_->receivedEvent; }
Event& SerialPort::errorEvent() { return impl_->errorEvent; }

SerialError SerialPort::error() const {
  std::lock_guard lock(impl_->data);
  return impl_->error;
}

}  // namespace platform
