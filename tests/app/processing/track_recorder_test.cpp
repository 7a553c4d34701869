// Track recording: positions offered by the GPS thread go through the
// thinning of the recording settings into a new track, stopping ends and
// saves it (or deletes an empty one), and the track cannot be deleted under
// a running recording.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "app/core/SettingsStore.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/processing/TrackRecorder.h"

namespace {

using namespace rovana;
namespace fs = std::filesystem;

struct Fixture {
  fs::path path;
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<Waypoints> waypoints;
  explicit Fixture(bool load = false) {
    char name[] = "/tmp/track_recorder_test_XXXXXX";
    path = mkdtemp(name);
    Open(load);
  }
  void Open(bool load) {
    waypoints.reset();
    settings = std::make_unique<SettingsStore>(path);
    settings->primaryDataPath = settings->secondaryDataPath = path.string();
    WaypointsConfig config;
    config.statisticsFactory = MakeAnalyzerStatistics;
    waypoints = std::make_unique<Waypoints>(*settings, config);
    if (load) waypoints->LoadAll();
  }
  ~Fixture() {
    waypoints.reset();
    fs::remove_all(path);
  }
};

// `north` and `east` metres from a start point, `time` seconds of the day.
GeoPoint Near(double north, double east, int time) {
  GeoPoint p(0.9, 0.17);
  p.Offset(north, east);
  p.setTime(time);
  return p;
}

TEST(TrackRecorder, ThinsTheTrackAndStopsWithTheLastPositionAsFinish) {
  Fixture f;
  TrackRecorder recorder(*f.waypoints);
  GpxParser& file = f.waypoints->NewFile("walk.gpx");
  POIs& track = recorder.Start(file, Near(0, 0, 0), TrackFilterSettings{});
  EXPECT_EQ(f.waypoints->recordingTrack(), &track);
  EXPECT_EQ(f.waypoints->current(), &track);
  recorder.Offer(Near(0, 0, 100), 36);   // the first point
  recorder.Offer(Near(10, 0, 101), 36);  // no direction yet: stored
  recorder.Offer(Near(20, 2, 102), 36);  // 2 m beside the line: dropped
  recorder.Offer(Near(30, 0, 103), 36);  // on the line: dropped
  EXPECT_EQ(track.count(), 2u);
  EXPECT_FALSE(f.waypoints->DeleteCollection(track, true)) << "the GPS thread may be appending";

  const TrackRecorder::Stopped stopped = recorder.Stop();
  EXPECT_TRUE(stopped.wasRecording);
  EXPECT_TRUE(stopped.hadPoints);
  EXPECT_TRUE(stopped.saved);
  EXPECT_EQ(stopped.fileName, "walk.gpx");
  EXPECT_EQ(stopped.label.find("..."), std::string::npos) << stopped.label;
  EXPECT_FALSE(recorder.recording());
  EXPECT_EQ(f.waypoints->recordingTrack(), nullptr);
  ASSERT_EQ(track.count(), 3u);
  EXPECT_EQ(track.LastPoint()->time(), 103);
  EXPECT_EQ(track.LastPoint()->sym(), "Finish");
  EXPECT_NEAR(track.statistics().Distance(), 30, 3.5) << "every candidate counts, kept or not";
  recorder.Offer(Near(40, 0, 104), 36);
  EXPECT_EQ(track.count(), 3u) << "nothing is recorded once stopped";

  f.Open(true);  // what was saved reads back
  ASSERT_EQ(f.waypoints->files().size(), 1u);
  const POIs* read = f.waypoints->FirstOf(*f.waypoints->files().front(), true);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->count(), 3u);
}

TEST(TrackRecorder, StoppingAnEmptyTrackDeletesItAndItsNewFile) {
  Fixture f;
  TrackRecorder recorder(*f.waypoints);
  recorder.Start(f.waypoints->NewFile("empty.gpx"), Near(0, 0, 0), TrackFilterSettings{});
  const TrackRecorder::Stopped stopped = recorder.Stop();
  EXPECT_TRUE(stopped.wasRecording);
  EXPECT_FALSE(stopped.hadPoints);
  EXPECT_TRUE(f.waypoints->files().empty());
  EXPECT_FALSE(fs::exists(f.path / "empty.gpx"));
  EXPECT_FALSE(recorder.Stop().wasRecording) << "a second stop has nothing to stop";
}

TEST(TrackRecorder, TheGpsThreadOffersWhileTheUserStopsAndStartsAgain) {
  Fixture f;
  TrackRecorder recorder(*f.waypoints);
  GpxParser& file = f.waypoints->NewFile("busy.gpx");
  // A point of its own keeps the file when an empty track is deleted with clean-up.
  f.waypoints->FirstOf(file)->AddPoint(Near(0, 0, 0), -1, true);
  TrackFilterSettings every;
  every.maxDevCheck = false;
  recorder.Start(file, Near(0, 0, 0), every);
  std::atomic<bool> done{false};
  std::thread gps([&] {
    for (int i = 0; !done; ++i) recorder.Offer(Near(i, 0, i % 86400), 5);
  });
  for (int round = 0; round < 20; ++round) {
    recorder.Stop();
    recorder.Start(file, Near(0, 0, 0), every);
  }
  done = true;
  gps.join();
  recorder.Stop();
  for (const POIs* c : f.waypoints->CollectionsOf(file)) {
    if (c->kind() == PoisKind::Track) {
      EXPECT_GT(c->count(), 0u) << "empty tracks are deleted";
    }
  }
}

}  // namespace
