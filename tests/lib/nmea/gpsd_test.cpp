// The gpsd source: GpsdChannel and PortLink against a scripted fake gpsd on
// loopback (protocol details, hang-ups, peers that are not gpsd), and against
// a real gpsd reading NMEA from a pseudo-terminal (skipped when gpsd cannot
// be started; install it with `apt-get install gpsd`).
#include "platform/gpsd/Channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "lib/nmea/NmeaLineBuffer.h"
#include "lib/nmea/PortLink.h"
#include "platform/serial/PortTable.h"
#include "tests/support/FakeReceiver.h"
#include "tests/support/RealGpsd.h"
#include "tests/support/TempRegistry.h"

using zenolith::ErrorRecord;
using GpsdAddress = gpsd::Address;
using GpsdChannel = gpsd::Channel;
using zenolith::PortLink;

namespace {

using namespace testing_support;  // the fake receiver and its NMEA helpers
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kArrivalMs = 1000;  // "at once" on a loaded machine
constexpr long long kPromptMs = 300;        // for things that must not wait out a time-out
constexpr std::string_view kWatch = "?WATCH={\"enable\":true,\"nmea\":true}";
// gpsd 3.22's first replies, as a real one sent them to a client.
constexpr std::string_view kVersion =
    "{\"class\":\"VERSION\",\"release\":\"3.22\",\"rev\":\"3.22\",\"proto_major\":3,\"proto_minor\":14}\r\n";
constexpr std::string_view kDevices =
    "{\"class\":\"DEVICES\",\"devices\":[{\"class\":\"DEVICE\",\"path\":\"/dev/pts/0\",\"native\":0,\"bps\":4800}]}\r\n";
constexpr std::string_view kWatchReply = "{\"class\":\"WATCH\",\"enable\":true,\"json\":false,\"nmea\":true}\r\n";
// A report that may come between sentences at any time; a '$' and "*47" in it
// make it look as much like a sentence tail as possible.
constexpr std::string_view kDeviceReport =
    "{\"class\":\"DEVICE\",\"path\":\"/dev/pts/$1\",\"driver\":\"NMEA0183*47\",\"activated\":0}\r\n";

// All bytes the channel delivers until `wanted` appears in them or time runs out.
std::string Drain(GpsdChannel& channel, std::string_view wanted, std::uint32_t timeoutMs) {
  std::string got;
  const auto start = Clock::now();
  while (got.find(wanted) == std::string::npos && MsSince(start) < timeoutMs) {
    while (auto chunk = channel.TakeReceived()) got.append(chunk->begin(), chunk->end());
    if (got.find(wanted) == std::string::npos) channel.receivedEvent().Wait(50);
  }
  return got;
}

bool SendAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// One line (without its line end) from `fd`, or what came before `timeoutMs`.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  const auto start = Clock::now();
  char c = 0;
  while (MsSince(start) < timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    if (recv(fd, &c, 1, 0) != 1 || c == '\n') break;
    line += c;
  }
  return line;
}

int Listener(std::uint16_t* port, bool listening = true) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || (listening && listen(fd, 4) != 0) ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

// A scripted gpsd on loopback: the i-th accepted connection runs sessions[i]
// (later ones are closed at once), one at a time on the server's thread.
class FakeGpsd {
 public:
  using Session = std::function<void(int fd)>;
  explicit FakeGpsd(std::vector<Session> sessions) : sessions_(std::move(sessions)) {
    listener_ = Listener(&port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeGpsd() {
    quit_ = true;
    thread_.join();
    if (listener_ >= 0) close(listener_);
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  GpsdAddress gpsdAddress() const { return {"127.0.0.1", std::to_string(port_)}; }
  bool quitting() const { return quit_.load(); }
  int accepted() const { return accepted_.load(); }

 private:
  void Serve() {
    while (!quit_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      const std::size_t index = static_cast<std::size_t>(accepted_++);
      if (index < sessions_.size()) sessions_[index](fd);
      close(fd);
    }
  }
  std::vector<Session> sessions_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<int> accepted_{0};
};

// Holds the connection until the server ends or the client hangs up.
void HoldOpen(const FakeGpsd& server, int fd) {
  while (!server.quitting()) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) > 0) {
      char c;
      if (recv(fd, &c, 1, 0) <= 0) return;
    }
  }
}

class ScopedGpsdAddress {
 public:
  explicit ScopedGpsdAddress(const std::string& address) {
    if (const char* old = std::getenv("ZENOLITH_GPSD")) old_ = old;
    setenv("ZENOLITH_GPSD", address.c_str(), 1);
  }
  ~ScopedGpsdAddress() {
    if (old_.empty())
      unsetenv("ZENOLITH_GPSD");
    else
      setenv("ZENOLITH_GPSD", old_.c_str(), 1);
  }

 private:
  std::string old_;
};

TEST(GpsdAddressTest, ParsesHostAndPortOrFallsBack) {
  struct Row {
    const char* text;
    const char* host;
    const char* port;
  };
  constexpr Row kRows[] = {
      {nullptr, "127.0.0.1", "2947"},
      {"", "127.0.0.1", "2947"},
      {"localhost:3000", "localhost", "3000"},
      {"127.0.0.1:65535", "127.0.0.1", "65535"},
      {"[::1]:2948", "::1", "2948"},
      {"gps.example:1", "gps.example", "1"},
      {"localhost", "127.0.0.1", "2947"},      // no port
      {"localhost:", "127.0.0.1", "2947"},     // empty port
      {":2947", "127.0.0.1", "2947"},          // empty host
      {"localhost:0", "127.0.0.1", "2947"},    // port out of range
      {"localhost:65536", "127.0.0.1", "2947"},
      {"localhost:29x7", "127.0.0.1", "2947"},
      {"::1:2947", "127.0.0.1", "2947"},       // IPv6 needs brackets
      {"[::1]", "127.0.0.1", "2947"},
      {"[::1:2947", "127.0.0.1", "2947"},
  };
  int failures = 0;
  for (const Row& row : kRows) {
    const GpsdAddress got = GpsdChannel::ParseAddress(row.text);
    if (got.host != row.host || got.port != row.port) {
      ADD_FAILURE() << (row.text ? row.text : "(null)") << " gave " << got.host << " " << got.port;
      ++failures;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(GpsdChannelTest, AsksForRawNmeaAndDropsGpsdsJsonLines) {
  std::string command;
  // A receiver's sentence with a bare line feed, then a JSON report in two
  // pieces: without the filter the report would be glued onto the sentence.
  const std::string bareLf = WithoutLineEnd(kGga) + "\n";
  FakeGpsd server({[&](int fd) {
    command = ReadLine(fd, 1000);
    SendAll(fd, std::string(kVersion) + std::string(kDevices) + std::string(kWatchReply) + bareLf);
    SendAll(fd, kDeviceReport.substr(0, 20));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    SendAll(fd, std::string(kDeviceReport.substr(20)) + kRmc);
  }});
  GpsdChannel channel(server.gpsdAddress());
  ASSERT_TRUE(channel.Connect()) << channel.lastError();
  EXPECT_TRUE(channel.IsConnected());
  const std::string got = Drain(channel, kRmc, kArrivalMs);
  EXPECT_EQ(command, kWatch);
  EXPECT_EQ(got, bareLf + kRmc) << "only the NMEA bytes pass, unchanged";

  zenolith::NmeaLineBuffer buffer;
  buffer.Append(got);
  ASSERT_TRUE(buffer.FindNext());
  EXPECT_EQ(buffer.TakeText(), WithoutLineEnd(kRmc));
  EXPECT_FALSE(buffer.FindNext());
}

TEST(GpsdChannelTest, PeersThatAreNotGpsdAreRefusedInTime) {
  struct Row {
    const char* name;
    std::string reply;  // empty: the peer stays silent
    int error;
    long long withinMs;
  };
  const Row kRows[] = {
      {"another service", "SSH-2.0-OpenSSH_9.2\r\n", EPROTO, kPromptMs},
      {"a JSON line that is not VERSION", std::string(kDevices), EPROTO, kPromptMs},
      {"silence", "", ETIMEDOUT, GpsdChannel::kConnectTimeoutMs + kPromptMs},
  };
  for (const Row& row : kRows) {
    FakeGpsd server({[&](int fd) {
      ReadLine(fd, 1000);
      if (!row.reply.empty()) SendAll(fd, row.reply);
      HoldOpen(server, fd);
    }});
    GpsdChannel channel(server.gpsdAddress());
    const auto start = Clock::now();
    EXPECT_FALSE(channel.Connect()) << row.name;
    EXPECT_LT(MsSince(start), row.withinMs) << row.name;
    EXPECT_EQ(channel.lastError(), row.error) << row.name;
    EXPECT_FALSE(channel.IsConnected()) << row.name;
  }
  // Bound but not listening: refused, and nobody else can take the port meanwhile.
  std::uint16_t refusing = 0;
  const int bound = Listener(&refusing, false);
  GpsdChannel nobody(GpsdAddress{"127.0.0.1", std::to_string(refusing)});
  EXPECT_FALSE(nobody.Connect());
  EXPECT_EQ(nobody.lastError(), ECONNREFUSED);
  if (bound >= 0) close(bound);
}

TEST(GpsdChannelTest, HangUpSetsTheErrorEventAndCloseDoesNot) {
  FakeGpsd server({[&](int fd) {
                     ReadLine(fd, 1000);
                     SendAll(fd, std::string(kVersion) + kGga);
                   },
                   [&](int fd) {
                     ReadLine(fd, 1000);
                     SendAll(fd, kVersion);
                     HoldOpen(server, fd);
                   }});
  GpsdChannel channel(server.gpsdAddress());
  ASSERT_TRUE(channel.Connect());
  EXPECT_TRUE(channel.errorEvent().Wait(kArrivalMs));
  EXPECT_FALSE(channel.IsConnected());
  EXPECT_EQ(channel.lastError(), ECONNRESET);

  ASSERT_TRUE(channel.Connect()) << "a channel connects again after a hang-up";
  EXPECT_FALSE(channel.TakeReceived()) << "nothing of the old connection is left";
  channel.Close();
  EXPECT_FALSE(channel.errorEvent().IsSet());
  EXPECT_FALSE(channel.IsConnected());
}

TEST(GpsdPortLinkTest, JsonNeverBecomesASentence) {
  FakeGpsd server({[&](int fd) {
    ReadLine(fd, 1000);
    SendAll(fd, std::string(kVersion) + std::string(kDevices) + std::string(kWatchReply));
    SendAll(fd, WithoutLineEnd(kGga) + "\n" + std::string(kDeviceReport) + kRmc);
    HoldOpen(server, fd);
  }});
  ScopedGpsdAddress gpsd(server.address());
  PortLink link;
  link.SetComPort(-1);
  ErrorRecord error;
  ASSERT_TRUE(link.Open(error)) << error.message;
  EXPECT_EQ(Collect(link, 1, kArrivalMs), std::vector<std::string>{WithoutLineEnd(kRmc)});
  link.dataEvent().Wait(100);
  EXPECT_FALSE(link.TakeSentence()) << "nothing else was a sentence";
}

// gpsd goes away after some data: the link signals stopped once and is back
// with started as soon as gpsd answers again.
TEST(GpsdPortLinkTest, LostGpsdSignalsStoppedAndReconnects) {
  FakeGpsd server({[&](int fd) {
                     ReadLine(fd, 1000);
                     SendAll(fd, std::string(kVersion) + kGga + kGga);
                     std::this_thread::sleep_for(std::chrono::milliseconds(100));
                   },
                   [&](int fd) {
                     ReadLine(fd, 1000);
                     SendAll(fd, std::string(kVersion) + kRmc);
                     HoldOpen(server, fd);
                   }});
  ScopedGpsdAddress gpsd(server.address());
  PortLink link;
  link.SetComPort(-1);
  ErrorRecord error;
  ASSERT_TRUE(link.Open(error)) << error.message;
  ASSERT_TRUE(link.startedEvent().Wait(kArrivalMs));
  EXPECT_EQ(Collect(link, 2, kArrivalMs), std::vector<std::string>(2, WithoutLineEnd(kGga)));
  ASSERT_TRUE(link.stoppedEvent().Wait(kArrivalMs));
  ASSERT_TRUE(link.startedEvent().Wait(kArrivalMs));
  EXPECT_EQ(Collect(link, 1, kArrivalMs), std::vector<std::string>{WithoutLineEnd(kRmc)});
  EXPECT_EQ(link.SourcePort(), -1);
  EXPECT_EQ(link.SourceBaud(), 0);
  EXPECT_FALSE(link.stoppedEvent().IsSet());
  EXPECT_EQ(server.accepted(), 2);
}

TEST(GpsdPortLinkTest, CloseIsPromptWhileWaitingToReconnect) {
  std::atomic<bool> served{false};
  FakeGpsd server({[&](int fd) {
    ReadLine(fd, 1000);
    SendAll(fd, std::string(kVersion) + kGga);
    served = true;
  }});  // every later connection is hung up at once: the link keeps trying
  ScopedGpsdAddress gpsd(server.address());
  PortLink link;
  link.SetComPort(-1);
  ErrorRecord error;
  ASSERT_TRUE(link.Open(error));
  ASSERT_TRUE(link.stoppedEvent().Wait(kArrivalMs));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto start = Clock::now();
  link.Close();
  EXPECT_LT(MsSince(start), kPromptMs);
  EXPECT_TRUE(served.load());
}

// --- A real gpsd --------------------------------------------------------

// A gpsd of its own per test (testing_support::RealGpsd) whose device is a
// fake receiver that sends kGga every 40 ms at any line speed and remembers
// whether anything was written to it.
class RealGpsdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    receiver_.Speak({kGga}, 0);
    ASSERT_TRUE(receiver_.ok());
    std::string why;
    if (!gpsd_.Start(receiver_.slave(), registry_.folder(), &why)) GTEST_SKIP() << why << ": real-gpsd tests skipped";
    address_ = gpsd_.address();
  }

  testing_support::TempRegistry registry_;
  FakeReceiver receiver_;
  testing_support::RealGpsd gpsd_;
  std::string address_;
};

TEST_F(RealGpsdTest, MultiplexerOnlyDeliversTheReceiversSentences) {
  ScopedGpsdAddress gpsd(address_);
  PortLink link;
  link.SetComPort(-1);
  ErrorRecord error;
  ASSERT_TRUE(link.Open(error)) << error.message;
  EXPECT_EQ(Collect(link, 3, 2 * kArrivalMs), std::vector<std::string>(3, WithoutLineEnd(kGga)));
  EXPECT_TRUE(link.startedEvent().IsSet());
  EXPECT_EQ(link.SourcePort(), -1);
  EXPECT_EQ(link.SourceBaud(), 0);

  link.Write(Nmea("PSRF100,1,4800,8,1,0"));  // nothing is written through gpsd
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(receiver_.heardBack());
}

TEST_F(RealGpsdTest, AutomaticModeUsesGpsdAndScansNoSerialPort) {
  FakeReceiver serial;
  serial.Speak({kRmc}, 0);  // would be found at 4800 in the first window if scanned
  ASSERT_TRUE(serial.ok());
  ASSERT_TRUE(platform::RegisterPort(1, serial.slave()));
  ScopedGpsdAddress gpsd(address_);
  PortLink link;
  link.SetComPort(0);
  ErrorRecord error;
  ASSERT_TRUE(link.Open(error)) << error.message;
  EXPECT_EQ(Collect(link, 2, 2 * kArrivalMs), std::vector<std::string>(2, WithoutLineEnd(kGga)));
  EXPECT_EQ(link.SourcePort(), -1);
  EXPECT_EQ(link.SourceBaud(), 0);
  EXPECT_EQ(serial.LineSpeed(), B9600) << "the serial port was opened";
}

}  // namespace
