// The road from a receiver to a recorded track: a receiver on a
// pseudo-terminal registered as a serial port is recorded fix by fix, while
// the same sentences replayed from a log file leave the track empty.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "app/core/SettingsStore.h"
#include "app/gps/GpsConnection.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/processing/TrackRecorder.h"
#include "platform/serial/PortTable.h"
#include "tests/app/gps/PtyReceiver.h"
#include "tests/support/TempRegistry.h"

namespace {

using namespace rovana;
using gps_testing::DataFolder;
using gps_testing::PtyReceiver;
using gps_testing::ReadWhole;
using gps_testing::WaitFor;

std::size_t Sentences(const std::string& capture) {
  std::size_t count = capture.starts_with('$') ? 1 : 0;
  for (std::size_t at = capture.find("\n$"); at != std::string::npos; at = capture.find("\n$", at + 1)) ++count;
  return count;
}

int Fixes(const std::string& capture) {
  int fixes = 0;
  for (std::size_t at = capture.find("$GPRMC,"); at != std::string::npos; at = capture.find("$GPRMC,", at + 1))
    if (capture.compare(capture.find(',', at + 7) + 1, 1, "A") == 0) ++fixes;
  return fixes;
}

TEST(GpsRecording, ADeviceIsRecordedAndAReplayedLogIsNot) {
  const std::string capture = ReadWhole(DataFolder() / "bu353s4.log");
  const int fixes = Fixes(capture);
  ASSERT_GT(fixes, 20);
  for (const bool device : {true, false}) {
    SCOPED_TRACE(device ? "device" : "replayed log");
    testing_support::TempRegistry registry;
    SettingsStore settings(registry.folder());
    settings.primaryDataPath = settings.secondaryDataPath = registry.folder().string();
    settings.gpsEnabled = true;
    settings.baudRate = 4800;
    PtyReceiver receiver;
    if (device) {
      ASSERT_TRUE(receiver.ok());
      ASSERT_TRUE(platform::RegisterPort(6, receiver.slave()));
      settings.gpsName = "COM6:";
    } else {
      std::ofstream(registry.folder() / "trip.pgl", std::ios::binary) << capture;
      settings.gpsName = (registry.folder() / "trip.pgl").string();
    }
    WaypointsConfig config;
    config.statisticsFactory = MakeAnalyzerStatistics;
    Waypoints waypoints(settings, config);
    TrackRecorder recorder(waypoints);
    TrackFilterSettings every;
    every.maxDevCheck = false;
    POIs& track = recorder.Start(waypoints.NewFile("live.gpx"), GeoPoint(), every);

    std::atomic<bool> quit{false};
    auto gps = std::make_unique<GpsConnection>(settings, quit, GPSThread::Timings{20, 40, 150});
    gps->SetRecorder(&recorder);
    gps->Start();
    if (device) {
      ASSERT_TRUE(WaitFor([&] { return gps->thread().state() == GPSThread::State::Reading; }, 5000));
      ASSERT_TRUE(receiver.Send(capture));
    }
    ASSERT_TRUE(WaitFor([&] { return gps->thread().sentences() == Sentences(capture); }, 10000));
    gps.reset();  // the thread's last fix is in
    // The first GGA with a fix, before any RMC, is a fix of its own.
    if (device) {
      EXPECT_GE(track.count(), static_cast<std::size_t>(fixes));
      EXPECT_LE(track.count(), static_cast<std::size_t>(fixes) + 1);
      EXPECT_GT(track.statistics().Distance(), 0);
    } else {
      EXPECT_EQ(track.count(), 0u);
    }
    recorder.Stop();
  }
}

}  // namespace
