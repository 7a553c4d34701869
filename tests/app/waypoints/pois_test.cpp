// Collections: recording with a thinning decision, the end signal, deletion
// with clean-up, unloading and reloading, labels and chart series.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/core/SettingsStore.h"
#include "app/waypoints/Waypoints.h"

namespace {

using namespace rovana;
namespace fs = std::filesystem;

struct Fixture {
  fs::path path;
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<Waypoints> waypoints;
  Fixture() {
    char name[] = "/tmp/pois_test_XXXXXX";
    path = mkdtemp(name);
    settings = std::make_unique<SettingsStore>(path);
    settings->primaryDataPath = settings->secondaryDataPath = path.string();
    waypoints = std::make_unique<Waypoints>(*settings);
  }
  ~Fixture() {
    waypoints.reset();
    fs::remove_all(path);
  }
};

GeoPoint At(double lat, int time) {
  GeoPoint p(lat, 0.1);
  p.setTime(time);
  return p;
}

// A visible area no test file reaches.
GeoBounds FarAway() {
  GeoBounds far;
  far.minLongitude = far.minLatitude = -1;
  far.maxLongitude = far.maxLatitude = -0.9;
  return far;
}

TEST(POIs, RecordingKeepsWhatTheFilterKeepsAndFinishAppendsTheLastPosition) {
  Fixture f;
  GpxParser& file = f.waypoints->NewFile("rec.gpx");
  POIs& track = f.waypoints->AddCollection(file, PoisKind::Track);
  f.waypoints->SetRecordingTrack(&track, [](const GeoPoint&, double) { return false; });
  track.AddPoint(At(0.1, 100), 5, true);  // the first point is always stored
  track.AddPoint(At(0.2, 101), 5, true);  // thinned away
  EXPECT_EQ(track.count(), 1u);
  EXPECT_EQ(track.ListLabel().find("..."), track.ListLabel().size() - 4);
  track.AddPoint(std::nullopt, -1, true);
  ASSERT_EQ(track.count(), 2u);
  EXPECT_EQ(track.LastPoint()->latitude(), 0.2);
  EXPECT_EQ(track.LastPoint()->sym(), "Finish");
  EXPECT_EQ(track.FirstPoint()->sym(), "Trailhead");
  EXPECT_EQ(f.waypoints->recordingTrack(), nullptr);
  EXPECT_TRUE(file.modified());
}

TEST(POIs, TimeRepairCountsAcrossMidnight) {
  Fixture f;
  POIs& pois = *f.waypoints->Find(f.waypoints->NewFile("t.gpx"), 0);
  pois.AddPoint(At(0.1, 86399), -1, true);
  pois.AddPoint(At(0.2, 86399), -1, true);
  EXPECT_EQ(pois.Points()[1].time(), 0);
  EXPECT_EQ(pois.Points()[1].sym(), "Default");
}

TEST(POIs, DeletingTheOnlyPoisCollectionBesideATrackLeavesANewOne) {
  Fixture f;
  GpxParser& file = f.waypoints->NewFile("t.gpx");
  POIs& track = f.waypoints->AddCollection(file, PoisKind::Track);
  track.AddPoint(At(0.1, 1), -1, true);
  ASSERT_TRUE(f.waypoints->DeleteCollection(*f.waypoints->Find(file, 0), true));
  ASSERT_NE(f.waypoints->FirstOf(file), nullptr);
  EXPECT_EQ(f.waypoints->FirstOf(file)->count(), 0u);
}

TEST(POIs, DeletingTheLastContentDeletesTheFile) {
  Fixture f;
  GpxParser& file = f.waypoints->NewFile("t.gpx");
  POIs& track = f.waypoints->AddCollection(file, PoisKind::Track);
  ASSERT_TRUE(file.Save(false));
  f.waypoints->MakeCurrent(&track);
  ASSERT_TRUE(f.waypoints->DeleteCollection(track, true));
  EXPECT_TRUE(f.waypoints->files().empty());
  EXPECT_EQ(f.waypoints->current(), nullptr);
  EXPECT_FALSE(fs::exists(f.path / "t.gpx"));
}

TEST(POIs, DeletingARouteOfAnUnloadedFileKeepsTheFileItsPoisHold) {
  Fixture f;
  GpxParser& file = f.waypoints->NewFile("t.gpx");
  f.waypoints->FirstOf(file)->AddPoint(At(0.2, 5), -1, true);
  POIs& route = f.waypoints->AddCollection(file, PoisKind::Route);
  f.waypoints->RecomputeBounds(file);
  const GeoBounds far = FarAway();
  f.waypoints->UnloadOutside(far);
  ASSERT_EQ(file.loadState(), LoadState::Unloaded);
  ASSERT_TRUE(f.waypoints->DeleteCollection(route, true));
  EXPECT_EQ(f.waypoints->files().size(), 1u);
  EXPECT_TRUE(fs::exists(f.path / "t.gpx")) << "the unloaded POIs still count";
  ASSERT_TRUE(file.modified());
  ASSERT_TRUE(f.waypoints->SaveAll());
  EXPECT_EQ(f.waypoints->FirstOf(file)->count(), 1u) << "read again before it was written";
  f.waypoints = std::make_unique<Waypoints>(*f.settings);
  ASSERT_EQ(f.waypoints->LoadAll(), 1);
  EXPECT_EQ(f.waypoints->FirstOf(*f.waypoints->files().front())->count(), 1u) << "the point is still on disk";
  EXPECT_EQ(f.waypoints->FirstOf(*f.waypoints->files().front(), true), nullptr) << "the route is gone";
}

TEST(POIs, PinnedFilesRefuseDeletion) {
  Fixture f;
  GpxParser& file = f.waypoints->NewFile("t.gpx");
  file.SetPinned(true);
  EXPECT_FALSE(f.waypoints->DeleteCollection(*f.waypoints->Find(file, 0), true));
}

TEST(POIs, UnloadSavesFirstAndReloadMatchesCollectionsByNumber) {
  Fixture f;
  GpxParser& file = f.waypoints->NewFile("t.gpx");
  POIs& track = f.waypoints->AddCollection(file, PoisKind::Track);
  track.SetName("T");
  for (int i = 0; i < 3; ++i) track.AddPoint(At(0.1 + i * 0.01, 10 + i), -1, true);
  f.waypoints->RecomputeBounds(file);
  const GeoBounds far = FarAway();
  f.waypoints->UnloadOutside(far);
  EXPECT_EQ(file.loadState(), LoadState::Unloaded);
  EXPECT_TRUE(track.Points().empty());
  EXPECT_EQ(track.count(), 3u) << "the count stays for labels and clean-up";
  EXPECT_TRUE(fs::exists(f.path / "t.gpx"));

  ASSERT_TRUE(f.waypoints->EnsureLoaded(file));
  EXPECT_EQ(track.count(), 3u);
  EXPECT_EQ(track.name(), "T");
  EXPECT_FALSE(file.modified());
}

TEST(POIs, UnloadKeepsPointsWhenTheSaveFails) {
  Fixture f;
  GpxParser& file = f.waypoints->AddFile(f.path / "missing-folder", "t.gpx", true, LoadState::Loaded);
  POIs& pois = *f.waypoints->Find(file, 0);
  pois.AddPoint(At(0.1, 1), -1, true);
  f.waypoints->RecomputeBounds(file);
  const GeoBounds far = FarAway();
  f.waypoints->UnloadOutside(far);
  EXPECT_EQ(file.loadState(), LoadState::Loaded);
  EXPECT_EQ(pois.count(), 1u);
  EXPECT_TRUE(file.modified());
}

TEST(POIs, RenamingToTheSelectedNameMakesItCurrent) {
  Fixture f;
  f.settings->selectedPOIs = "t.gpx/Walk";
  GpxParser& file = f.waypoints->NewFile("t.gpx");
  POIs& track = f.waypoints->AddCollection(file, PoisKind::Track);
  track.SetName("Walk");
  EXPECT_EQ(f.waypoints->current(), &track);
}

TEST(POIs, VisibilityGoesThroughHiddenList) {
  Fixture f;
  GpxParser& file = f.waypoints->NewFile("t.gpx");
  POIs& pois = *f.waypoints->Find(file, 0);
  pois.SetVisible(false);
  EXPECT_TRUE(f.settings->hiddenPOIs.Contains("t.gpx/POIs"));
  EXPECT_FALSE(file.shown());
  pois.SetVisible(true);
  EXPECT_FALSE(f.settings->hiddenPOIs.Contains("t.gpx/POIs"));
}

TEST(POIs, SeriesRunForwardAndBackFromZero) {
  Fixture f;
  POIs& track = f.waypoints->AddCollection(f.waypoints->NewFile("t.gpx"), PoisKind::Track);
  track.AddPoint(At(0.1, 86390), -1, true);
  track.AddPoint(At(0.1, 86395), -1, true);
  track.AddPoint(At(0.1, 5), -1, true);
  EXPECT_EQ(track.TimeSeries(false), (std::vector<double>{0, 5, 15}));
  EXPECT_EQ(track.TimeSeries(true), (std::vector<double>{0, 10, 15}));
}

TEST(POIs, RecordingAndReadingRunOnTwoThreads) {
  Fixture f;
  POIs& track = f.waypoints->AddCollection(f.waypoints->NewFile("t.gpx"), PoisKind::Track);
  f.waypoints->SetRecordingTrack(&track);
  std::thread gps([&] {
    for (int i = 0; i < 2000; ++i) track.AddPoint(At(0.1 + i * 1e-6, i), 3, true);
  });
  std::size_t seen = 0;
  for (int i = 0; i < 200; ++i) seen = std::max(seen, track.Points().size());
  gps.join();
  EXPECT_EQ(track.count(), 2000u);
  EXPECT_LE(seen, 2000u);
}

TEST(POIs, LinksGetHttpOnlyWithoutAScheme) {
  struct Case {
    const char* typed;
    const char* want;
  } cases[] = {{"x.org", "http://x.org"},       {"https://x.org", "https://x.org"}, {"mailto:a@b", "mailto:a@b"},
               {"c:\\pic", "http://c:\\pic"}, {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(WithLinkScheme(c.typed), c.want) << c.typed;
}

TEST(POIs, ReplacingAPointKeepsItsPlaceAndItsAddress) {
  Fixture f;
  GpxParser& file = f.waypoints->NewFile("t.gpx");
  POIs& pois = *f.waypoints->FirstOf(file);
  GeoPoint* first = pois.AddPoint(At(0.1, 10), -1, true);
  pois.AddPoint(At(0.2, 20), -1, true);
  file.ClearModified();

  GeoPoint edited = *first;
  edited.setLatitude(0.3);
  edited.setText(PointText::Name, "Well");
  edited.setText(PointText::Link, "http://x.org");
  ASSERT_TRUE(pois.ReplacePoint(first, edited));
  EXPECT_EQ(pois.Points()[0].name(), "Well");
  EXPECT_EQ(pois.Points()[0].text(PointText::Link), "http://x.org");
  EXPECT_EQ(pois.Points()[1].latitude(), 0.2) << "the order stays";
  EXPECT_EQ(first->name(), "Well") << "the reference still names the point";
  EXPECT_EQ(pois.bounds().maxLatitude, 0.3);
  EXPECT_EQ(pois.bounds().minLatitude, 0.2) << "bounds recomputed, the old place left out";
  EXPECT_EQ(pois.anchor().latitude(), 0.3);
  EXPECT_TRUE(file.modified());

  const GeoPoint stranger = At(0.4, 30);
  EXPECT_FALSE(pois.ReplacePoint(&stranger, edited));
  EXPECT_EQ(pois.count(), 2u);
}

TEST(POIs, TheSelectedStoredPointIsTheOneSelectedPointCopies) {
  Fixture f;
  POIs& pois = *f.waypoints->FirstOf(f.waypoints->NewFile("t.gpx"));
  EXPECT_EQ(pois.SelectedStoredPoint(), nullptr);
  GeoPoint* first = pois.AddPoint(At(0.1, 10), -1, true);
  GeoPoint named = At(0.2, 20);
  named.setText(PointText::Name, "Hut");
  GeoPoint* hut = pois.AddPoint(named, -1, true);
  EXPECT_EQ(pois.SelectedStoredPoint(), first) << "nothing selected: the first point";
  pois.SelectPoint(*hut);
  EXPECT_EQ(pois.SelectedStoredPoint(), hut);
  EXPECT_EQ(pois.SelectedPoint()->name(), "Hut");
}

TEST(POIs, RandomColoursLeaveOneChannelOut) {
  for (int i = 0; i < 200; ++i) {
    const std::uint32_t c = RandomColor();
    const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    EXPECT_EQ((r == 0) + (g == 0) + (b == 0), 1) << std::hex << c;
    EXPECT_EQ(c >> 24, 0u);
  }
}

}  // namespace

namespace {

// Dialogs name stored points by PointAt; the address must be the one the
// edits look for, also after a move.
TEST(POIs, PointAtNamesTheStoredPointsInListOrder) {
  Fixture f;
  POIs& pois = *f.waypoints->Find(f.waypoints->NewFile("t.gpx"), 0);
  const GeoPoint* a = pois.AddPoint(At(0.1, 1), -1, true);
  const GeoPoint* b = pois.AddPoint(At(0.2, 2), -1, true);
  EXPECT_EQ(pois.PointAt(0), a);
  EXPECT_EQ(pois.PointAt(1), b);
  EXPECT_EQ(pois.PointAt(2), nullptr);
  ASSERT_TRUE(pois.MovePointUp(pois.PointAt(1)));
  EXPECT_EQ(pois.PointAt(0), b);
  ASSERT_TRUE(pois.DeletePoint(pois.PointAt(1)));
  EXPECT_EQ(pois.PointAt(1), nullptr);
  EXPECT_EQ(pois.Points()[0].latitude(), 0.2);
}

}  // namespace
