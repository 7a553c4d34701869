// PortLink against fake receivers on pseudo-terminals registered as serial
// ports in a temporary registry. gpsd is pointed at a refusing loopback port, so
// automatic mode always scans the serial ports and a real gpsd never joins in.
//
// A fake receiver with a rate of its own speaks only while its line is set to
// that rate. Every fake line starts at 9600 baud, a rate the link never uses,
// so a test can tell whether the link ever configured (opened) a port.
#include "lib/nmea/PortLink.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial/PortTable.h"
#include "tests/support/FakeReceiver.h"
#include "tests/support/TempRegistry.h"

using zenolith::ErrorRecord;
using zenolith::PortLink;

namespace {

using namespace testing_support;  // the fake receiver and its NMEA helpers
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kArrivalMs = 1000;       // "at once" on a loaded machine
constexpr long long kPromptCloseMs = 300;        // Close while scanning or reading
constexpr long long kSilenceMs = 4000;           // the link's rule
constexpr long long kSilenceToleranceMs = 700;   // scheduling and the device's pacing
constexpr long long kScanWindowMs = 2000;        // the link's rule

std::string BadChecksum(const std::string& body) {
  std::string s = Nmea(body);
  s[s.size() - 3] = s[s.size() - 3] == '0' ? '1' : '0';
  return s;
}

// A loopback port that refuses connections for as long as the object lives:
// bound (so nobody else gets it) but not listening.
class RefusingPort {
 public:
  RefusingPort() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
      address_ = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  }
  ~RefusingPort() {
    if (fd_ >= 0) close(fd_);
  }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  const std::string& address() const { return address_; }

 private:
  int fd_ = -1;
  std::string address_;
};

const std::string kGsa = Nmea("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
const std::string kBadRmc = BadChecksum("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");

class PortLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(noGpsd_.address().empty());
    if (const char* old = std::getenv("ZENOLITH_GPSD")) oldGpsd_ = old;
    setenv("ZENOLITH_GPSD", noGpsd_.address().c_str(), 1);
  }
  void TearDown() override {
    if (oldGpsd_.empty())
      unsetenv("ZENOLITH_GPSD");
    else
      setenv("ZENOLITH_GPSD", oldGpsd_.c_str(), 1);
  }
  // A fake receiver registered as serial port `number`.
  FakeReceiver& Device(int number) {
    devices_.push_back(std::make_unique<FakeReceiver>());
    EXPECT_TRUE(devices_.back()->ok());
    EXPECT_TRUE(platform::RegisterPort(number, devices_.back()->slave()));
    return *devices_.back();
  }
  static bool OpenLink(PortLink& link, std::int16_t port, std::int32_t baud) {
    link.SetComPort(port);
    link.SetBaudRate(baud);
    ErrorRecord error;
    const bool ok = link.Open(error);
    EXPECT_FALSE(error.IsSet()) << error.number << " " << error.message;
    return ok;
  }

  testing_support::TempRegistry registry_;
  RefusingPort noGpsd_;
  std::string oldGpsd_;
  std::vector<std::unique_ptr<FakeReceiver>> devices_;
};

TEST_F(PortLinkTest, FixedPortDeliversGoodSentencesAfterStarted) {
  FakeReceiver& gps = Device(1);
  gps.Speak({kGga, kBadRmc, kRmc}, 0);
  PortLink link;
  ASSERT_TRUE(OpenLink(link, 1, 4800));
  EXPECT_TRUE(link.IsOpen());
  ASSERT_TRUE(link.dataEvent().Wait(kArrivalMs));
  EXPECT_TRUE(link.startedEvent().Wait(0)) << "started comes with the first data";
  EXPECT_EQ(link.SourcePort(), 1);
  EXPECT_EQ(link.SourceBaud(), 4800);
  EXPECT_EQ(gps.LineSpeed(), B4800);

  const std::vector<std::string> texts = Collect(link, 4, 2 * kArrivalMs);
  ASSERT_GE(texts.size(), 4u);
  int failures = 0;
  for (const std::string& text : texts)
    if (text != WithoutLineEnd(kGga) && text != WithoutLineEnd(kRmc)) {
      ADD_FAILURE() << "unexpected sentence " << text;
      ++failures;
    }
  EXPECT_EQ(failures, 0);
  EXPECT_FALSE(link.startedEvent().IsSet()) << "started is signalled once per period of data";
  EXPECT_FALSE(link.stoppedEvent().IsSet());

  ErrorRecord again;
  EXPECT_TRUE(link.Open(again)) << "opening an open link does nothing";
  EXPECT_FALSE(again.IsSet());
}

// More than the 512-byte ring in one burst: the link must cut sentences out of
// each chunk before it appends the next.
TEST_F(PortLinkTest, BurstLongerThanTheRingArrivesWhole) {
  FakeReceiver& gps = Device(2);
  PortLink link;
  ASSERT_TRUE(OpenLink(link, 2, 4800));
  std::string burst;
  std::vector<std::string> expected;
  for (int i = 0; i < 24; ++i) {
    char body[96];
    std::snprintf(body, sizeof body, "GPGGA,1235%02d,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", i);
    burst += Nmea(body);
    expected.push_back(WithoutLineEnd(Nmea(body)));
  }
  ASSERT_GT(burst.size(), 3 * 512u);
  gps.WriteRaw(burst);
  EXPECT_EQ(Collect(link, expected.size(), 2 * kArrivalMs), expected);
}

TEST_F(PortLinkTest, ChecksumOptionalAppliesWhileOpen) {
  FakeReceiver& gps = Device(1);
  const std::string noChecksum = "$GPGSV,1,1,01,07,79,048,42\r\n";
  PortLink link;
  ASSERT_TRUE(OpenLink(link, 1, 4800));
  gps.WriteRaw(noChecksum + kGga);
  EXPECT_EQ(Collect(link, 1, kArrivalMs), std::vector<std::string>{WithoutLineEnd(kGga)});
  link.SetChecksumMandatory(false);
  gps.WriteRaw(noChecksum);
  EXPECT_EQ(Collect(link, 1, kArrivalMs), std::vector<std::string>{WithoutLineEnd(noChecksum)});
}

TEST_F(PortLinkTest, FixedPortWithoutDeviceFailsAndLeavesNothingRunning) {
  PortLink link;
  link.SetComPort(7);
  link.SetBaudRate(4800);
  ErrorRecord error;
  EXPECT_FALSE(link.Open(error));
  EXPECT_EQ(error.number, zenolith::kErrorPort);
  EXPECT_EQ(error.message, "Comm port does not exist");
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(PortLinkTest, MultiplexerOnlyWithoutGpsdFailsWithItsMessage) {
  PortLink link;
  link.SetComPort(-1);
  ErrorRecord error;
  const auto start = Clock::now();
  EXPECT_FALSE(link.Open(error));
  EXPECT_LT(MsSince(start), 200) << "a refused connection is seen at once";
  EXPECT_EQ(error.message, "Portrelay not installed! Cannot create object PortrelayApi::Simple");
  EXPECT_EQ(zenolith::StatusForError(error.number), com::REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(link.SourcePort(), 0);
}

TEST_F(PortLinkTest, SetBaudRateAppliesToTheOpenPortWithoutReopening) {
  FakeReceiver& gps = Device(4);
  PortLink link;
  ASSERT_TRUE(OpenLink(link, 4, 4800));
  auto fdsOnDevice = [&] {
    std::set<std::string> fds;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec))
      if (std::filesystem::read_symlink(entry.path(), ec) == gps.slave()) fds.insert(entry.path().filename());
    return fds;
  };
  const std::set<std::string> before = fdsOnDevice();
  ASSERT_EQ(before.size(), 1u);

  // Half a sentence before the change and the rest after it: it arrives whole
  // only if the port and its line buffer were kept.
  const std::string half = kRmc.substr(0, 30);
  gps.WriteRaw(half);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  link.SetBaudRate(57600);
  EXPECT_EQ(gps.LineSpeed(), B57600);
  EXPECT_EQ(link.SourceBaud(), 57600);
  EXPECT_EQ(fdsOnDevice(), before);
  gps.WriteRaw(kRmc.substr(30));
  EXPECT_EQ(Collect(link, 1, kArrivalMs), std::vector<std::string>{WithoutLineEnd(kRmc)});
}

TEST_F(PortLinkTest, WriteReachesTheSerialPort) {
  FakeReceiver& gps = Device(1);
  PortLink link;
  ASSERT_TRUE(OpenLink(link, 1, 4800));
  const std::string command = Nmea("PSRF100,1,4800,8,1,0");
  link.Write(command);
  EXPECT_EQ(gps.Read(command.size(), kArrivalMs), command);
}

TEST_F(PortLinkTest, CloseIsPromptAndClearsEverything) {
  struct Row {
    const char* name;
    std::int16_t port;
    std::int32_t baud;
  };
  constexpr Row kRows[] = {
      {"automatic scan", 0, 4800},
      {"scan of one port", 1, 0},
      {"read loop", 1, 4800},
  };
  FakeReceiver& gps = Device(1);
  gps.Speak({kGga}, B4800);
  for (const Row& row : kRows) {
    PortLink link;
    ASSERT_TRUE(OpenLink(link, row.port, row.baud)) << row.name;
    link.dataEvent().Wait(row.port > 0 ? kArrivalMs : 100);
    const auto start = Clock::now();
    link.Close();
    EXPECT_LT(MsSince(start), kPromptCloseMs) << row.name;
    EXPECT_FALSE(link.IsOpen()) << row.name;
    EXPECT_FALSE(link.startedEvent().IsSet()) << row.name;
    EXPECT_FALSE(link.dataEvent().IsSet()) << row.name;
    EXPECT_FALSE(link.TakeSentence()) << row.name;
    EXPECT_EQ(link.SourcePort(), 0) << row.name;
    link.Write("$PSRF,after close\r\n");  // no source: nothing happens
  }
}

TEST_F(PortLinkTest, PortThreeIsUsedWhenNamedExplicitly) {
  FakeReceiver& three = Device(3);
  FakeReceiver& other = Device(5);
  three.Speak({kGga}, B4800);
  other.Speak({kRmc}, B4800);
  {
    PortLink fixed;
    ASSERT_TRUE(OpenLink(fixed, 3, 4800));
    EXPECT_EQ(Collect(fixed, 1, kArrivalMs), std::vector<std::string>{WithoutLineEnd(kGga)});
    EXPECT_EQ(fixed.SourcePort(), 3);
  }
  // BaudRate 0 scans the named port only, even port 3.
  PortLink scanned;
  ASSERT_TRUE(OpenLink(scanned, 3, 0));
  ASSERT_TRUE(scanned.startedEvent().Wait(kArrivalMs));
  EXPECT_EQ(scanned.SourcePort(), 3);
  EXPECT_EQ(scanned.SourceBaud(), 4800);
  EXPECT_EQ(Collect(scanned, 1, kArrivalMs).at(0), WithoutLineEnd(kGga));
  EXPECT_FALSE(other.Heard(B4800)) << "port 5 was not named and must not be opened";
}

// Takes a little over one 2000 ms scan window: the receiver answers only at
// 57600 baud, the second rate tried.
TEST_F(PortLinkTest, ScanFindsA57600ReceiverInTheSecondWindowAndSkipsBadAndPortThree) {
  FakeReceiver& noisy = Device(1);
  FakeReceiver& three = Device(3);
  FakeReceiver& fast = Device(5);
  noisy.Speak({kBadRmc}, 0);  // every rate, never a good checksum
  three.Speak({kGga}, B4800);  // would win the first window if it were scanned
  fast.Speak({kGsa}, B57600);

  PortLink link;
  const auto start = Clock::now();
  ASSERT_TRUE(OpenLink(link, 0, 4800));
  ASSERT_TRUE(link.startedEvent().Wait(kScanWindowMs + kArrivalMs + 500));
  const long long foundAfter = MsSince(start);
  EXPECT_GE(foundAfter, kScanWindowMs - 100) << "found only in the second window";
  EXPECT_EQ(link.SourcePort(), 5);
  EXPECT_EQ(link.SourceBaud(), 57600);
  const std::vector<std::string> texts = Collect(link, 3, kArrivalMs);
  EXPECT_EQ(texts, std::vector<std::string>(3, WithoutLineEnd(kGsa)));

  EXPECT_TRUE(noisy.Heard(B4800) && noisy.Heard(B57600)) << "port 1 was a candidate at both rates";
  EXPECT_FALSE(three.Heard(B4800) || three.Heard(B57600)) << "port 3 was opened by the scan";
  EXPECT_EQ(three.LineSpeed(), B9600);
}

// SLOW (about 4.5 s): the only test that waits out the 4000 ms silence rule.
// A fixed port keeps its open port through the silence; an automatically
// found port is released and found again. Each receiver sets its line to 9600
// when it falls silent, so a port opened again reads 4800 afterwards. The
// fixed receiver goes on sending noise without a sentence in it: bytes alone
// do not keep a stream alive.
TEST_F(PortLinkTest, SLOW_SilenceSignalsStoppedOnceAndDataStartsAgain) {
  FakeReceiver& fixedGps = Device(1);
  FakeReceiver& foundGps = Device(2);
  fixedGps.Speak({kGga}, 0);
  foundGps.Speak({kRmc}, B4800);
  PortLink fixed, found;
  ASSERT_TRUE(OpenLink(fixed, 1, 4800));
  ASSERT_TRUE(OpenLink(found, 2, 0));
  ASSERT_TRUE(fixed.startedEvent().Wait(kArrivalMs));
  ASSERT_TRUE(found.startedEvent().Wait(kArrivalMs));
  ASSERT_EQ(found.SourcePort(), 2);

  fixedGps.Speak({"\x7f\x15 noise without a sentence \x0b*00\r\n"}, 0);
  foundGps.Silence();
  const auto silentSince = Clock::now();
  fixedGps.SetLineSpeed(B9600);
  foundGps.SetLineSpeed(B9600);
  while (fixed.TakeSentence() || found.TakeSentence()) {
  }

  ASSERT_TRUE(fixed.stoppedEvent().Wait(kSilenceMs + kSilenceToleranceMs));
  const long long stoppedAfter = MsSince(silentSince);
  EXPECT_GE(stoppedAfter, kSilenceMs - kSilenceToleranceMs);
  EXPECT_LE(stoppedAfter, kSilenceMs + kSilenceToleranceMs);
  ASSERT_TRUE(found.stoppedEvent().Wait(kSilenceToleranceMs));
  EXPECT_EQ(found.SourcePort(), 2) << "the port that stopped is still reported";

  // The scan opens the released port again at 4800 at once; the fixed port
  // is neither reopened nor reconfigured.
  const auto reopened = Clock::now();
  while (foundGps.LineSpeed() != B4800 && MsSince(reopened) < static_cast<long long>(kArrivalMs))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(foundGps.LineSpeed(), B4800);
  EXPECT_EQ(fixedGps.LineSpeed(), B9600);
  EXPECT_TRUE(fixed.IsOpen());

  fixedGps.Speak({kGga}, 0);
  foundGps.Speak({kRmc}, B4800);
  EXPECT_TRUE(fixed.startedEvent().Wait(kArrivalMs));
  EXPECT_TRUE(found.startedEvent().Wait(kArrivalMs));
  EXPECT_EQ(found.SourcePort(), 2);
  EXPECT_EQ(Collect(fixed, 1, kArrivalMs).at(0), WithoutLineEnd(kGga));
  EXPECT_EQ(Collect(found, 1, kArrivalMs).at(0), WithoutLineEnd(kRmc));
  EXPECT_FALSE(fixed.stoppedEvent().IsSet()) << "stopped is signalled once";
  EXPECT_FALSE(found.stoppedEvent().IsSet()) << "stopped is signalled once";
}

}  // namespace
