// "GPDn:" through a real gpsd on loopback that reads a receiver on a
// pseudo-terminal: its sentences reach the fix hooks, and nothing is written
// to the receiver even with configGPS set. Skipped when gpsd is not installed
// (apt-get install gpsd) or does not start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/gps/GPSThread.h"
#include "platform/gpsd/Channel.h"
#include "tests/app/gps/PtyReceiver.h"
#include "tests/support/TempRegistry.h"

namespace {

using gps_testing::MsSince;
using gps_testing::Nmea;
using gps_testing::PtyReceiver;
using gps_testing::WaitFor;
using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 5000;

std::string FindGpsd() {
  std::vector<std::string> folders = {"/usr/sbin", "/usr/local/sbin", "/sbin"};
  if (const char* path = std::getenv("PATH")) {
    std::string all(path);
    for (std::size_t start = 0; start <= all.size();) {
      std::size_t end = all.find(':', start);
      if (end == std::string::npos) end = all.size();
      folders.push_back(all.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const std::string& folder : folders) {
    const std::string candidate = folder + "/gpsd";
    if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::uint16_t FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  std::uint16_t port = 0;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
    port = ntohs(addr.sin_port);
  if (fd >= 0) close(fd);
  return port;
}

// A gpsd of its own: loopback only, its own port and control socket, in the
// foreground, reading the receiver at once and read-only (-b), ended in
// every case. The receiver repeats its sentences every 40 ms meanwhile.
class RealGpsdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(receiver_.ok());
    speaker_ = std::thread([this] {
      const std::string lines =
          Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") + "\r\n" +
          Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") + "\r\n";
      while (!quitSpeaker_) {
        receiver_.Send(lines, 100);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
      }
    });
    const std::string gpsd = FindGpsd();
    if (gpsd.empty()) GTEST_SKIP() << "gpsd is not installed (apt-get install gpsd): real-gpsd test skipped";
    const std::string port = std::to_string(FreePort());
    const std::string socketPath = (registry_.folder() / "gpsd.sock").string();
    std::vector<std::string> args = {gpsd, "-N", "-n", "-b", "-s", "4800", "-f", "8N1",
                                     "-S", port, "-F", socketPath, receiver_.slave()};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // no stray gpsd if this test dies
      if (getppid() != parent) _exit(127);
      int devNull = open("/dev/null", O_RDWR);
      if (devNull >= 0) {
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    ASSERT_GT(pid_, 0) << "fork failed";
    address_ = "127.0.0.1:" + port;
    setenv("ZENOLITH_GPSD", address_.c_str(), 1);
    const auto start = Clock::now();
    while (MsSince(start) < 3000) {
      gpsd::Channel probe(gpsd::Address{"127.0.0.1", port});
      if (probe.Connect()) return;
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        GTEST_SKIP() << "gpsd exited at start (status " << status << "): real-gpsd test skipped";
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    GTEST_SKIP() << "gpsd did not answer on port " << port << ": real-gpsd test skipped";
  }
  void TearDown() override {
    quitSpeaker_ = true;
    if (speaker_.joinable()) speaker_.join();
    unsetenv("ZENOLITH_GPSD");
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto start = Clock::now();
    while (waitpid(pid_, nullptr, WNOHANG) != pid_) {
      if (MsSince(start) > 1000) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }

  testing_support::TempRegistry registry_;
  PtyReceiver receiver_;
  std::thread speaker_;
  std::atomic<bool> quitSpeaker_{false};
  pid_t pid_ = -1;
  std::string address_;
};

TEST_F(RealGpsdTest, GpdReadsTheReceiverThroughGpsdAndWritesNothing) {
  std::mutex mutex;
  std::vector<double> latitudes;
  rovana::GpsFixHooks hooks;
  hooks.buddy = [&](const rovana::GeoPoint& p, double, double) {
    std::lock_guard lock(mutex);
    latitudes.push_back(p.latitude());
  };
  rovana::GpsOptions options;
  options.gpsName = "GPD1:";
  options.configGPS = true;
  std::atomic<bool> quit{false};
  rovana::GPSThread thread(quit, hooks, options, rovana::GeoPoint(0.1, 0.2), {20, 40, 1000});
  thread.Start();
  ASSERT_TRUE(WaitFor(
      [&] {
        std::lock_guard lock(mutex);
        return latitudes.size() >= 4;
      },
      kWaitMs));
  {
    std::lock_guard lock(mutex);
    EXPECT_DOUBLE_EQ(latitudes[0], 0.1) << "the start position first";
    EXPECT_NEAR(latitudes.back(), (48 + 7.038 / 60) * std::acos(-1.0) / 180, 1e-12);
  }
  EXPECT_EQ(thread.state(), rovana::GPSThread::State::Reading);
  EXPECT_EQ(thread.connections(), 1u);
  EXPECT_EQ(receiver_.Heard(), "") << "nothing is written through gpsd";
}

}  // namespace

namespace {

TEST(GpdWithoutGpsdTest, NobodyAnsweringIsAnOpenFailure) {
  const std::string address = "127.0.0.1:" + std::to_string(FreePort());
  setenv("ZENOLITH_GPSD", address.c_str(), 1);
  rovana::GpsOptions options;
  options.gpsName = "GPD1:";
  std::atomic<bool> quit{false};
  rovana::GPSThread thread(quit, {}, options, rovana::GeoPoint(), {20, 40, 1000});
  thread.Start();
  EXPECT_TRUE(WaitFor([&] { return thread.openFailures() >= 2; }, kWaitMs));
  EXPECT_EQ(thread.connections(), 0u);
  quit = true;
  thread.Join();
  unsetenv("ZENOLITH_GPSD");
}

}  // namespace
