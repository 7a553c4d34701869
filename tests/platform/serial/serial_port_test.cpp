// SerialPort against pseudo-terminals: the test holds the master side and
// registers the slave as a port in a temporary registry.
#include "platform/serial/SerialPort.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/serial/LineSpeed.h"
#include "platform/serial/PortDiscovery.h"
#include "platform/serial/PortTable.h"
#include "tests/support/TempRegistry.h"

namespace fs = std::filesystem;
using platform::SerialPort;
using platform::SerialSettings;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr int kPortError = 10007;
constexpr int kPort = 4;
// Generous bound for things that should happen "at once" on a loaded machine.
constexpr std::uint32_t kArrivalMs = 1000;
// Close must come back within this, whatever the device does.
constexpr long long kPromptCloseMs = 100;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    std::array<char, 128> name{};
    if (ptsname_r(master_, name.data(), name.size()) == 0) slave_ = name.data();
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool ok() const { return master_ >= 0 && !slave_.empty(); }
  int master() const { return master_; }
  const std::string& slave() const { return slave_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  bool Send(const Bytes& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Send(const std::string& text) const { return Send(ToBytes(text)); }

  // Reads from the master until `count` bytes came or nothing arrived for
  // `quietMs`.
  Bytes Receive(std::size_t count, int quietMs = static_cast<int>(kArrivalMs)) const {
    Bytes got;
    std::array<std::uint8_t, 4096> buffer{};
    while (got.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, quietMs) <= 0) break;
      const ssize_t n = ::read(master_, buffer.data(), buffer.size());
      if (n <= 0) break;
      got.insert(got.end(), buffer.begin(), buffer.begin() + n);
    }
    return got;
  }

  // The slave's line settings as the port left them: on a pty, termios
  // requests on the master act on the slave.
  speed_t SlaveSpeed() const {
    const termios tio = SlaveSettings();
    return cfgetospeed(&tio);
  }
  termios SlaveSettings() const {
    termios tio{};
    tcgetattr(master_, &tio);
    return tio;
  }
  // The speed in bits per second, also for rates without a Bnnn constant.
  std::int32_t SlaveRate() const { return platform::ReadLineSpeed(master_); }

 private:
  int master_ = -1;
  std::string slave_;
};

// Collects received chunks until `count` bytes came or `timeoutMs` passed.
Bytes Collect(SerialPort& port, std::size_t count, std::vector<std::size_t>* sizes = nullptr,
              std::uint32_t timeoutMs = kArrivalMs) {
  Bytes got;
  const auto start = Clock::now();
  while (got.size() < count && MsSince(start) < timeoutMs) {
    port.receivedEvent().Wait(50);
    while (auto chunk = port.TakeReceived()) {
      if (sizes) sizes->push_back(chunk->size());
      got.insert(got.end(), chunk->begin(), chunk->end());
    }
  }
  return got;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok()) << "no pseudo-terminal: " << std::strerror(errno);
    ASSERT_TRUE(platform::RegisterPort(kPort, pty_.slave(), "test pty"));
  }

  testing_support::TempRegistry registry_;
  Pty pty_;
};

TEST_F(SerialPortTest, ReadsWhatTheDeviceSends) {
  SerialPort port(kPort);
  ASSERT_TRUE(port.Open()) << port.error().message;
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.error().code, 0);
  ASSERT_TRUE(pty_.Send("$GPGGA,hello*00\r\n"));
  EXPECT_EQ(Collect(port, 17), ToBytes("$GPGGA,hello*00\r\n"));
}

TEST_F(SerialPortTest, WritesReachTheDeviceInOrder) {
  SerialPort port(kPort);
  ASSERT_TRUE(port.Open()) << port.error().message;
  Bytes expected;
  for (int i = 0; i < 50; ++i) {
    const Bytes line = ToBytes("$PTEST," + std::to_string(i) + "\r\n");
    port.Write(line.data(), line.size());
    expected.insert(expected.end(), line.begin(), line.end());
  }
  port.Write(nullptr, 5);  // ignored
  EXPECT_EQ(pty_.Receive(expected.size()), expected);
}

TEST_F(SerialPortTest, RandomChunksArriveCompleteAndInOrder) {
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    SerialPort port(kPort);
    SerialSettings s;
    s.timeoutMode = mode;
    ASSERT_TRUE(port.SetSettings(s));
    ASSERT_TRUE(port.Open()) << port.error().message;

    std::mt19937 random(1234 + mode);
    Bytes sent(20000);
    for (auto& b : sent) b = static_cast<std::uint8_t>(random());
    std::thread sender([&] {
      std::mt19937 r(99);
      std::size_t done = 0;
      while (done < sent.size()) {
        const std::size_t n = std::min<std::size_t>(1 + r() % 700, sent.size() - done);
        if (!pty_.Send(Bytes(sent.begin() + static_cast<std::ptrdiff_t>(done),
                             sent.begin() + static_cast<std::ptrdiff_t>(done + n))))
          break;
        done += n;
        if (r() % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(r() % 2000));
      }
    });
    std::vector<std::size_t> sizes;
    const Bytes got = Collect(port, sent.size(), &sizes, 5000);
    sender.join();
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
    std::size_t oversized = 0;
    for (std::size_t n : sizes) oversized += n > 256 ? 1 : 0;
    EXPECT_EQ(oversized, 0u);
  }
}

// Right after a chunk was delivered a fresh 200 ms read window begins: two
// bytes sent 30 ms apart then stay separate in mode 1 and are gathered into
// one chunk in mode 2.
TEST_F(SerialPortTest, TimeoutModesDecideHowBytesAreGathered) {
  struct Case {
    int mode;
    std::vector<std::size_t> sizes;
  };
  const Case cases[] = {{1, {1, 1}}, {2, {2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    SerialPort port(kPort);
    SerialSettings s;
    s.timeoutMode = c.mode;
    ASSERT_TRUE(port.SetSettings(s));
    ASSERT_TRUE(port.Open()) << port.error().message;
    ASSERT_TRUE(pty_.Send("x"));
    ASSERT_EQ(Collect(port, 1), ToBytes("x"));
    ASSERT_TRUE(pty_.Send("a"));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(pty_.Send("b"));
    std::vector<std::size_t> sizes;
    EXPECT_EQ(Collect(port, 2, &sizes), ToBytes("ab"));
    EXPECT_EQ(sizes, c.sizes);

    // A full buffer is handed over without waiting for the window's end.
    sizes.clear();
    const auto start = Clock::now();
    ASSERT_TRUE(pty_.Send(std::string(300, 'z')));
    EXPECT_EQ(Collect(port, 300, &sizes).size(), 300u);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.front(), 256u);
    if (c.mode == 1) {
      EXPECT_LT(MsSince(start), 150);
    }
  }
}

TEST_F(SerialPortTest, SecondOpenOfTheSamePortIsInUse) {
  SerialPort first(kPort), second(kPort);
  ASSERT_TRUE(first.Open()) << first.error().message;
  EXPECT_FALSE(second.Open());
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(second.error().code, kPortError);
  EXPECT_EQ(second.error().message, "Comm port in use!");
  // The refused attempt left the holder working.
  ASSERT_TRUE(pty_.Send("still here"));
  EXPECT_EQ(Collect(first, 10), ToBytes("still here"));
  first.Close();
  EXPECT_TRUE(second.Open()) << second.error().message;
  EXPECT_EQ(second.error().code, 0);
}

TEST_F(SerialPortTest, PortHeldByAnotherProcessIsInUse) {
  int toParent[2], toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  const std::string path = pty_.slave();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Only async-signal-safe calls in the child of a threaded process.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    char ok = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
    if (::write(toParent[1], &ok, 1) != 1) _exit(2);
    char go = 0;
    if (::read(toChild[0], &go, 1) != 1) _exit(3);
    _exit(0);
  }
  ::close(toParent[1]);
  ::close(toChild[0]);
  char ok = 0;
  ASSERT_EQ(::read(toParent[0], &ok, 1), 1);
  EXPECT_EQ(ok, 'y');

  SerialPort port(kPort);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.error().code, kPortError);
  EXPECT_EQ(port.error().message, "Comm port in use!");

  const char go = 'g';
  EXPECT_EQ(::write(toChild[1], &go, 1), 1);
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ::close(toParent[0]);
  ::close(toChild[1]);
  EXPECT_TRUE(port.Open()) << port.error().message;
}

TEST_F(SerialPortTest, UnknownOrVanishedPortDoesNotExist) {
  ASSERT_TRUE(platform::RegisterPort(8, (registry_.folder() / "no-such-device").string()));
  for (int number : {7, 8, -1}) {
    SCOPED_TRACE(number);
    SerialPort port(number);
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.error().code, kPortError);
    EXPECT_EQ(port.error().message, "Comm port does not exist");
  }
}

TEST_F(SerialPortTest, PortNumberIsFixedWhileOpen) {
  SerialPort port(kPort);
  ASSERT_TRUE(port.Open());
  EXPECT_FALSE(port.SetPort(5));
  EXPECT_EQ(port.error().code, kPortError);
  EXPECT_EQ(port.error().message, "Cannot set port is opened.");
  EXPECT_EQ(port.port(), kPort);
  EXPECT_TRUE(port.IsOpen());
  port.Close();
  EXPECT_TRUE(port.SetPort(5));
  EXPECT_EQ(port.port(), 5);
  EXPECT_EQ(port.error().code, 0);
}

TEST_F(SerialPortTest, BaudRateChangesWhileOpenWithoutReopening) {
  SerialPort port(kPort), rival(kPort);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(pty_.SlaveSpeed(), static_cast<speed_t>(B9600));
  // Bytes already queued in the open device survive the change: a reopen
  // would have flushed them.
  ASSERT_TRUE(pty_.Send("before"));
  ASSERT_TRUE(port.SetBaudRate(57600)) << port.error().message;
  termios tio = pty_.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B57600));
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B57600));
  EXPECT_EQ(port.settings().baudRate, 57600);
  EXPECT_FALSE(rival.Open());  // still held: never let go in between
  ASSERT_TRUE(pty_.Send("after"));
  EXPECT_EQ(Collect(port, 11), ToBytes("beforeafter"));

  EXPECT_FALSE(port.SetBaudRate(12345));
  EXPECT_EQ(port.error().code, kPortError);
  EXPECT_EQ(port.error().message, "Could not set DCB");
  EXPECT_EQ(port.settings().baudRate, 57600);
  EXPECT_EQ(pty_.SlaveSpeed(), static_cast<speed_t>(B57600));
  EXPECT_TRUE(port.IsOpen());

  // The receivers' old rates without a Bnnn constant reach the line too.
  for (const std::int32_t rate : {14400, 56000, 128000, 256000}) {
    ASSERT_TRUE(port.SetBaudRate(rate)) << rate << ": " << port.error().message;
    EXPECT_EQ(pty_.SlaveRate(), rate);
  }
  ASSERT_TRUE(port.SetBaudRate(4800));
  EXPECT_EQ(pty_.SlaveRate(), 4800);
}

TEST_F(SerialPortTest, LineSettingsReachTheDevice) {
  struct Case {
    const char* name;
    std::uint8_t dataBits, parity, stopBits, handshake;
    tcflag_t cflagSet, cflagClear, iflagSet, iflagClear;
  };
  const Case cases[] = {
      {"8N1", 8, 0, 0, 0, CS8, PARENB | CSTOPB | CRTSCTS, 0, IXON | IXOFF | INPCK},
      {"7E2 rts/cts", 7, 2, 2, 1, CS7 | PARENB | CSTOPB | CRTSCTS, PARODD | CMSPAR, INPCK, IXON},
      {"8O1 xon/xoff", 8, 1, 0, 4, CS8 | PARENB | PARODD, CMSPAR | CRTSCTS, INPCK | IXON | IXOFF, 0},
      {"7M1.5", 7, 3, 1, 0, CS7 | PARENB | PARODD | CMSPAR | CSTOPB, 0, INPCK, 0},
      {"8S1 dtr/dsr", 8, 4, 0, 2, CS8 | PARENB | CMSPAR, PARODD | CRTSCTS, INPCK, IXON},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SerialPort port(kPort);
    SerialSettings s;
    s.baudRate = 4800;
    s.dataBits = c.dataBits;
    s.parity = c.parity;
    s.stopBits = c.stopBits;
    s.handshake = c.handshake;
    ASSERT_TRUE(port.SetSettings(s));
    ASSERT_TRUE(port.Open()) << port.error().message;
    // A pty forces CS8 and clears PARENB whatever it is told, so those two
    // cannot be read back here; every other bit is kept.
    const termios tio = pty_.SlaveSettings();
    const tcflag_t forced = CSIZE | PARENB;
    EXPECT_EQ(tio.c_cflag & (c.cflagSet & ~forced), c.cflagSet & ~forced);
    EXPECT_EQ(tio.c_cflag & (c.cflagClear & ~forced), 0u);
    EXPECT_EQ(tio.c_iflag & c.iflagSet, c.iflagSet);
    EXPECT_EQ(tio.c_iflag & c.iflagClear, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);  // raw: NMEA bytes pass untouched
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    if (c.handshake & 4) {
      EXPECT_EQ(tio.c_cc[VSTART], 17);
      EXPECT_EQ(tio.c_cc[VSTOP], 19);
    }
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B4800));
  }
}

TEST_F(SerialPortTest, RejectedSettingsLeaveNothingOpen) {
  struct Case {
    const char* name;
    void (*change)(SerialSettings&);
    int code;
    const char* message;
  };
  const Case cases[] = {
      {"baud", [](SerialSettings& s) { s.baudRate = 12345; }, kPortError, "Could not set DCB"},
      {"negative baud", [](SerialSettings& s) { s.baudRate = -9600; }, kPortError, "Could not set DCB"},
      {"data bits", [](SerialSettings& s) { s.dataBits = 9; }, kPortError, "Could not set DCB"},
      {"parity", [](SerialSettings& s) { s.parity = 5; }, kPortError, "Could not set DCB"},
      {"stop bits", [](SerialSettings& s) { s.stopBits = 3; }, kPortError, "Could not set DCB"},
      {"time-out mode", [](SerialSettings& s) { s.timeoutMode = 3; }, kPortError, "Unexpected com port error."},
      {"write time-out", [](SerialSettings& s) { s.writeTimeoutConstant = -1; }, kPortError,
       "Unexpected com port error."},
      {"infrared", [](SerialSettings& s) { s.infrared = true; }, EOPNOTSUPP, "Error setting IR"},
  };
  SerialPort witness(kPort);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SerialPort port(kPort);
    SerialSettings s;
    c.change(s);
    EXPECT_TRUE(port.SetSettings(s));  // accepted while closed, checked by Open
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.error().code, c.code);
    EXPECT_EQ(port.error().message, c.message);
    // The failed open released the device and its locks.
    EXPECT_TRUE(witness.Open()) << witness.error().message;
    witness.Close();
  }
}

TEST_F(SerialPortTest, ClosingTheOtherSideSignalsTheErrorEvent) {
  SerialPort port(kPort);
  ASSERT_TRUE(port.Open());
  EXPECT_FALSE(port.errorEvent().Wait(30));
  pty_.CloseMaster();
  EXPECT_TRUE(port.errorEvent().Wait(kArrivalMs));
  EXPECT_EQ(port.error().code, EIO);
  EXPECT_EQ(port.error().message, "Error reading data from serial port.");
  EXPECT_TRUE(port.IsOpen());  // stays open until closed
  const auto start = Clock::now();
  port.Close();
  EXPECT_LT(MsSince(start), kPromptCloseMs);
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPortTest, CloseIsPromptWhileIdle) {
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    SerialPort port(kPort);
    SerialSettings s;
    s.timeoutMode = mode;
    ASSERT_TRUE(port.SetSettings(s));
    ASSERT_TRUE(port.Open());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = Clock::now();
    port.Close();
    EXPECT_LT(MsSince(start), kPromptCloseMs);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.errorEvent().IsSet());  // a requested close is no error
  }
}

// The test never reads the master, so the writer stalls on a full output
// buffer; Close must not wait for it.
TEST_F(SerialPortTest, CloseIsPromptWithAStalledWriter) {
  SerialPort port(kPort);
  ASSERT_TRUE(port.Open());
  const Bytes block(4096, 'w');
  for (int i = 0; i < 64; ++i) port.Write(block.data(), block.size());
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const auto start = Clock::now();
  port.Close();
  EXPECT_LT(MsSince(start), kPromptCloseMs);
  EXPECT_FALSE(port.errorEvent().IsSet());
}

// XOFF from the device stops the port's output (handshake 4); a write that
// cannot go out within constant + 1 ms per byte is dropped without an error,
// and XON lets the next one through.
TEST_F(SerialPortTest, XoffStallsOutputAndTheWriteTimeoutDropsIt) {
  SerialPort port(kPort);
  SerialSettings s;
  s.handshake = 4;
  s.writeTimeoutConstant = 20;
  ASSERT_TRUE(port.SetSettings(s));
  ASSERT_TRUE(port.Open());
  ASSERT_TRUE(pty_.Send(Bytes{19}));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const Bytes stalled(100, 's');
  port.Write(stalled.data(), stalled.size());
  std::this_thread::sleep_for(std::chrono::milliseconds(20 + 100 + 100));
  EXPECT_EQ(pty_.Receive(1, 30).size(), 0u);  // held back while stopped
  ASSERT_TRUE(pty_.Send(Bytes{17}));
  const Bytes tail = ToBytes("$TAIL\r\n");
  port.Write(tail.data(), tail.size());
  EXPECT_EQ(pty_.Receive(tail.size()), tail);  // the stalled chunk was dropped
  EXPECT_FALSE(port.errorEvent().IsSet());
}

TEST_F(SerialPortTest, PurgeEmptiesTheQueues) {
  SerialPort port(kPort);
  ASSERT_TRUE(port.Open());
  ASSERT_TRUE(pty_.Send("stale data"));
  ASSERT_TRUE(port.receivedEvent().Wait(kArrivalMs));
  port.Purge(false, true);
  EXPECT_FALSE(port.TakeReceived().has_value());
  EXPECT_FALSE(port.receivedEvent().IsSet());

  // Pending output: far more than the pty takes while nobody reads it.
  const Bytes block(4096, 'p');
  for (int i = 0; i < 32; ++i) port.Write(block.data(), block.size());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  port.Purge(true, false);
  const Bytes drained = pty_.Receive(32 * block.size(), 100);
  EXPECT_LT(drained.size(), 32 * block.size());
  const Bytes fresh = ToBytes("fresh");
  port.Write(fresh.data(), fresh.size());
  EXPECT_EQ(pty_.Receive(fresh.size()), fresh);
  ASSERT_TRUE(pty_.Send("new"));
  EXPECT_EQ(Collect(port, 3), ToBytes("new"));
}

// Mode 2 holds bytes for the rest of its window; a receive purge in that
// time drops them too, and bytes after the purge still come through.
TEST_F(SerialPortTest, PurgeDropsAChunkStillBeingGathered) {
  SerialPort port(kPort);
  SerialSettings s;
  s.timeoutMode = 2;
  ASSERT_TRUE(port.SetSettings(s));
  ASSERT_TRUE(port.Open());
  ASSERT_TRUE(pty_.Send("x"));
  ASSERT_EQ(Collect(port, 1), ToBytes("x"));  // a new window starts now
  ASSERT_TRUE(pty_.Send("stale"));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  port.Purge(false, true);
  ASSERT_TRUE(pty_.Send("new"));
  EXPECT_EQ(Collect(port, 3, nullptr, 600), ToBytes("new"));
}

TEST_F(SerialPortTest, ReopenStartsClean) {
  SerialPort port(kPort);
  ASSERT_TRUE(port.Open());
  ASSERT_TRUE(pty_.Send("left over"));
  ASSERT_TRUE(port.receivedEvent().Wait(kArrivalMs));
  port.Close();
  EXPECT_FALSE(port.TakeReceived().has_value());
  const Bytes ignored = ToBytes("ignored");
  port.Write(ignored.data(), ignored.size());  // closed: dropped
  ASSERT_TRUE(port.Open());
  EXPECT_TRUE(port.Open());  // already open: nothing happens
  EXPECT_FALSE(port.receivedEvent().IsSet());
  ASSERT_TRUE(pty_.Send("again"));
  EXPECT_EQ(Collect(port, 5), ToBytes("again"));
  EXPECT_EQ(pty_.Receive(1, 30).size(), 0u);  // "ignored" never went out
}

TEST_F(SerialPortTest, DestructorReleasesThePort) {
  {
    SerialPort port(kPort);
    ASSERT_TRUE(port.Open());
  }
  SerialPort next(kPort);
  EXPECT_TRUE(next.Open()) << next.error().message;
}

// ---- names and the port table -------------------------------------------

TEST(SerialPortNames, NameAndNumber) {
  EXPECT_EQ(platform::PortName(4), "COM4:");
  EXPECT_EQ(platform::PortName(12), "COM12:");
  struct Case {
    const char* name;
    std::int32_t number;
  };
  const Case cases[] = {
      {"COM4:", 4},  {"COM4", 4},          {"COM12:", 12}, {"\\\\.\\COM12", 12}, {"\\\\.\\COM3:", 3},
      {"COM0:", 0},  {"com7:", 7},         {"LPT1:", -1},  {"COM", -1},          {"COM:", -1},
      {"COMX1", -1}, {"\\\\.\\COM", -1},   {"", -1},       {"GPD1:", -1},        {"COM99999999999", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::PortNumber(c.name), c.number) << c.name;
}

class PortTableTest : public ::testing::Test {
 protected:
  registry::Registry Reg() const { return registry::Registry(registry_.file()); }
  void Entry(const std::string& subkey, const std::string& name, const std::string& device,
             const std::string& key = "") {
    const std::string path = std::string(platform::serial_detail::kActivePortsKey) + "\\" + subkey;
    registry::Registry reg = Reg();
    bool ok = reg.CreateKey(path).ok();
    if (!name.empty()) ok = ok && reg.SetString(path, "Name", name).ok();
    if (!device.empty()) ok = ok && reg.SetString(path, "Device", device).ok();
    if (!key.empty()) ok = ok && reg.SetString(path, "Key", key).ok();
    EXPECT_TRUE(ok) << subkey;
  }
  static std::vector<std::string> Texts(const std::vector<platform::ActivePort>& ports) {
    std::vector<std::string> texts;
    for (const auto& p : ports) texts.push_back(std::to_string(p.number) + "=" + p.text);
    return texts;
  }
  void Touch(const fs::path& file, const std::string& content = "") {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << content;
  }

  testing_support::TempRegistry registry_;
};

TEST_F(PortTableTest, ListIsSortedWithoutDuplicatesAndWithFriendlyNames) {
  ASSERT_TRUE(Reg().SetString("HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial", "FriendlyName", "Built-in UART").ok());
  ASSERT_TRUE(Reg().SetString("HKEY_LOCAL_MACHINE\\Drivers\\USB\\GPS", "FriendlyName", "GPS mouse").ok());
  Entry("a", "COM3:", "/dev/ttyS0", "Drivers\\BuiltIn\\Serial");
  Entry("b", "COM1:", "/dev/ttyUSB0", "HKEY_LOCAL_MACHINE\\Drivers\\USB\\GPS");
  Entry("c", "COM3:", "/dev/ttyS1", "Drivers\\USB\\GPS");  // duplicate: the first wins
  Entry("d", "COM12:", "/dev/ttyUSB7");                      // not a single-digit port
  Entry("e", "LPT1:", "/dev/lp0");
  Entry("f", "", "");                                        // no name at all
  Entry("g", "COM0", "/dev/ttyACM0", "Drivers\\Missing");    // driver key without a name
  Entry("h", "COMx:", "/dev/null");

  EXPECT_EQ(Texts(platform::ListActivePorts(false)), (std::vector<std::string>{"0=COM0:", "1=COM1:", "3=COM3:"}));
  EXPECT_EQ(Texts(platform::ListActivePorts(true)),
            (std::vector<std::string>{"0=COM0:", "1=COM1: GPS mouse", "3=COM3: Built-in UART"}));
  EXPECT_EQ(platform::DevicePathOf(3), "/dev/ttyS0");
  EXPECT_EQ(platform::DevicePathOf(12), "/dev/ttyUSB7");
  EXPECT_EQ(platform::DevicePathOf(5), "");
  EXPECT_EQ(platform::DevicePathOf(-1), "");
}

TEST_F(PortTableTest, EmptyOrMissingTableListsNothing) {
  EXPECT_TRUE(platform::ListActivePorts(true).empty());
  EXPECT_EQ(platform::DevicePathOf(1), "");
}

TEST_F(PortTableTest, RegisterAddsAndReplaces) {
  Entry("4", "COM7:", "/dev/ttyUSB3");  // an entry of another port already named "4"
  ASSERT_TRUE(platform::RegisterPort(4, "/dev/pts/a", "first"));
  EXPECT_EQ(platform::DevicePathOf(4), "/dev/pts/a");
  EXPECT_EQ(platform::DevicePathOf(7), "/dev/ttyUSB3");
  ASSERT_TRUE(platform::RegisterPort(4, "/dev/pts/b"));
  EXPECT_EQ(platform::DevicePathOf(4), "/dev/pts/b");
  EXPECT_EQ(Texts(platform::ListActivePorts(true)), (std::vector<std::string>{"4=COM4:", "7=COM7:"}));
  ASSERT_TRUE(platform::RegisterPort(4, "/dev/pts/c", "third"));
  EXPECT_EQ(Texts(platform::ListActivePorts(true)), (std::vector<std::string>{"4=COM4: third", "7=COM7:"}));
  EXPECT_FALSE(platform::RegisterPort(-1, "/dev/pts/d"));
  EXPECT_FALSE(platform::RegisterPort(5, ""));
}

TEST_F(PortTableTest, DiscoveryFillsFreeNumbersFromTheDeviceFolder) {
  const fs::path dev = registry_.folder() / "dev";
  const fs::path sys = registry_.folder() / "sys";
  for (const char* name : {"ttyUSB1", "ttyUSB0", "ttyACM0", "rfcomm0", "ttyS0", "ttyS1", "ttyS10", "ttyUSBx",
                           "tty0", "console", "ttyS", "ttyACM"})
    Touch(dev / name);
  Touch(sys / "ttyS0" / "type", "4\n");  // a 16550A
  Touch(sys / "ttyS1" / "type", "0\n");  // nothing behind it
  Entry("two", "COM2:", "/dev/elsewhere");
  Entry("five", "COM5:", (dev / "ttyACM0").string());  // already known

  EXPECT_EQ(platform::serial_detail::DiscoverPortsIn(dev, sys), 4);
  const std::pair<int, std::string> expected[] = {
      {1, "ttyUSB0"}, {2, ""}, {3, "ttyUSB1"}, {4, "rfcomm0"}, {5, "ttyACM0"}, {6, "ttyS0"}, {7, ""},
  };
  for (const auto& [number, device] : expected) {
    const std::string want = device.empty() ? "" : (dev / device).string();
    if (number == 2) continue;
    EXPECT_EQ(platform::DevicePathOf(number), want) << number;
  }
  EXPECT_EQ(platform::DevicePathOf(2), "/dev/elsewhere");
  EXPECT_EQ(Texts(platform::ListActivePorts(true))[0], "1=COM1: ttyUSB0");
  EXPECT_EQ(platform::serial_detail::DiscoverPortsIn(dev, sys), 0);  // nothing new the second time
}

TEST_F(PortTableTest, DiscoveryStopsAtPortNine) {
  const fs::path dev = registry_.folder() / "dev";
  for (int i = 0; i < 12; ++i) Touch(dev / ("ttyUSB" + std::to_string(i)));
  EXPECT_EQ(platform::serial_detail::DiscoverPortsIn(dev, registry_.folder() / "sys"), 9);
  EXPECT_EQ(platform::DevicePathOf(9), (dev / "ttyUSB8").string());
  EXPECT_EQ(platform::DevicePathOf(10), "");
  EXPECT_EQ(platform::serial_detail::DiscoverPortsIn(dev, registry_.folder() / "sys"), 0);
  EXPECT_EQ(platform::serial_detail::DiscoverPortsIn(registry_.folder() / "missing", registry_.folder()), 0);
}

}  // namespace
