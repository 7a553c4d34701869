// A drive guided along a track, the fixes coming from a receiver on a
// pseudo-terminal through the GPS connection: the drive's own loop, recorded
// earlier, is the target. The driver joins it at the start, hears "straight
// on" while keeping to it, and arrives once, at the end of the loop, not at
// once on its last leg, which lies beside the start.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/core/SettingsStore.h"
#include "app/gps/GpsConnection.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/processing/Target.h"
#include "app/waypoints/Waypoints.h"
#include "platform/serial/PortTable.h"
#include "tests/app/gps/PtyReceiver.h"
#include "tests/support/TempRegistry.h"
#include "tools/nmea-drive/DriveLog.h"

namespace {

using namespace rovana;
using gps_testing::PtyReceiver;
using gps_testing::WaitFor;

// The log cut after each RMC sentence: what the receiver sends each second.
std::vector<std::string> Seconds(const std::string& log) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t at = log.find("$GPRMC"); at != std::string::npos; at = log.find("$GPRMC", at + 1)) {
    const std::size_t end = log.find('\n', at) + 1;
    out.push_back(log.substr(from, end - from));
    from = end;
  }
  return out;
}

double Degrees(const std::string& value, const std::string& hemisphere, int degreeDigits) {
  const double d = std::stod(value.substr(0, degreeDigits)) + std::stod(value.substr(degreeDigits)) / 60;
  return hemisphere == "S" || hemisphere == "W" ? -d : d;
}

// The RMC positions with a fix, as the earlier recording kept them.
std::vector<GeoPoint> RmcPositions(const std::vector<std::string>& seconds) {
  std::vector<GeoPoint> out;
  for (const std::string& chunk : seconds) {
    const std::string rmc = chunk.substr(chunk.find("$GPRMC"));
    std::vector<std::string> f;
    for (std::size_t a = 0, b; a <= rmc.size(); a = b + 1) {
      b = std::min(rmc.find_first_of(",*", a), rmc.size());
      f.push_back(rmc.substr(a, b - a));
    }
    if (f.size() < 7 || f[2] != "A") continue;
    constexpr double kRad = 3.14159265358979323846 / 180;
    out.emplace_back(Degrees(f[3], f[4], 2) * kRad, Degrees(f[5], f[6], 3) * kRad);
  }
  return out;
}

std::size_t SentencesIn(const std::string& bytes) {
  std::size_t n = 0;
  for (char c : bytes) n += c == '$';
  return n;
}

TEST(GpsTarget, ADriveRoundTheRecordedLoopIsGuidedAndArrivesOnceAtItsEnd) {
  nmeadrive::DriveOptions drive;
  drive.radiusNorth = 90;
  drive.radiusEast = 60;
  drive.cruiseKmh = 20;
  drive.stopEveryMetres = 100000;  // no stops on the way
  const std::vector<std::string> seconds = Seconds(nmeadrive::MakeDriveLog(drive));
  const std::vector<GeoPoint> loop = RmcPositions(seconds);
  ASSERT_GT(loop.size(), 40u);

  testing_support::TempRegistry registry;
  SettingsStore settings(registry.folder());
  settings.primaryDataPath = settings.secondaryDataPath = registry.folder().string();
  settings.gpsEnabled = true;
  settings.soundEnabled = settings.targetEnabled = true;
  settings.trainerEnabled = settings.speedAlertEnabled = settings.targetReverseTrack = false;
  WaypointsConfig config;
  config.statisticsFactory = MakeAnalyzerStatistics;
  Waypoints waypoints(settings, config);
  POIs& track = waypoints.AddCollection(waypoints.NewFile("loop.gpx"), PoisKind::Track);
  // The recording began once the car had moved off; the drive ended where
  // it had stood, so when the driver sets out again the loop's last leg lies
  // nearer than its first.
  std::size_t moving = 1;
  while (moving < loop.size() && loop[moving].Distance(loop[0]) < 5) ++moving;
  for (std::size_t i = moving; i < loop.size(); ++i) track.AddPoint(loop[i], -1, true);
  track.AddPoint(std::nullopt, -1, true);

  std::vector<std::string> heard;
  Target target(settings, waypoints, [&heard](std::string_view file) { heard.emplace_back(file); });
  target.SetCollectionTarget(*track.FirstPoint(), track);

  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(7, receiver.slave()));
  settings.gpsName = "COM7:";
  std::atomic<bool> quit{false};
  GpsConnection gps(settings, quit, GPSThread::Timings{20, 40, 150});
  gps.Start();
  ASSERT_TRUE(WaitFor([&] { return gps.thread().state() == GPSThread::State::Reading; }, 5000));

  std::uint32_t now = 1000;
  std::size_t sent = 0;
  int followingTicks = 0, arrivals = 0;
  TargetState last = target.state();
  for (const std::string& second : seconds) {
    ASSERT_TRUE(receiver.Send(second));
    sent += SentencesIn(second);
    ASSERT_TRUE(WaitFor([&] { return gps.thread().sentences() >= sent; }, 5000));
    if (!gps.HasFix()) continue;
    TargetInputs in{now, gps.filter().GetPosition(false), gps.live().Speed(), gps.live().MovingHeading(),
                    gps.live().AverageSpeed(true)};
    target.Tick(in);
    now += 1000;
    followingTicks += target.state() == TargetState::Following;
    arrivals += target.state() == TargetState::Arrived && last != TargetState::Arrived;
    last = target.state();
  }
  EXPECT_EQ(arrivals, 1);
  EXPECT_EQ(target.state(), TargetState::Arrived);
  EXPECT_GT(followingTicks, static_cast<int>(loop.size()) / 2) << "followed the loop, not arrived at its start";
  EXPECT_NEAR(target.userAlong(), track.statistics().Distance(), 1e-6);
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard.back(), "Arrive.wav");
  EXPECT_EQ(std::count(heard.begin(), heard.end(), "Arrive.wav"), 1) << "standing at the end: said once";
  EXPECT_GE(std::count(heard.begin(), heard.end(), "Straight.wav"), 1);
  EXPECT_EQ(std::count(heard.begin(), heard.end(), "TryUTurn.wav"), 0);
}

}  // namespace
