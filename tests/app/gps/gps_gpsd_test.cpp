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
#include "tests/support/RealGpsd.h"
#include "tests/support/TempRegistry.h"

namespace {

using gps_testing::MsSince;
using gps_testing::Nmea;
using gps_testing::PtyReceiver;
using gps_testing::WaitFor;
using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 5000;

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
    std::string why;
    if (!gpsd_.Start(receiver_.slave(), registry_.folder(), &why)) GTEST_SKIP() << why << ": real-gpsd test skipped";
    address_ = gpsd_.address();
    setenv("ZENOLITH_GPSD", address_.c_str(), 1);
  }
  void TearDown() override {
    quitSpeaker_ = true;
    if (speaker_.joinable()) speaker_.join();
    unsetenv("ZENOLITH_GPSD");
    gpsd_.Stop();
  }

  testing_support::TempRegistry registry_;
  PtyReceiver receiver_;
  std::thread speaker_;
  std::atomic<bool> quitSpeaker_{false};
  testing_support::RealGpsd gpsd_;
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
  const std::string address = "127.0.0.1:" + std::to_string(testing_support::RealGpsd::FreePort());
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
