// The main screen's GPX menu with a real waypoint store: Record track opens
// the record dialog, starts a track at the user's position and stops it with
// its file saved; Add POI puts a point into the current collection; the menu
// states follow the store.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <atomic>

#include "app/dialogs/PoiDialog.h"
#include "app/dialogs/RecordTrackDialog.h"
#include "app/dialogs/TrackAnalyzerDialog.h"
#include "app/ui/MainScreen.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using rovana::GeoPoint;
using rovana::ui::AppContext;
using rovana::ui::MainScreen;

constexpr int kRecordTrack = 32828, kAddPoi = 32797, kPoiDetails = 32881, kGpxDetails = 32859;

struct Fixture : testing_support::WaypointsFixture {
  std::atomic<bool> quit{false};
  AppContext context{*home.settings, *home.language, quit, true, [] {}, nullptr, waypoints.get(), recorder.get()};
};

// Accepts the next modal dialog of type T once it is up.
template <typename T>
void AcceptNext() {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll] {
    if (T* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      modal->accept();
    }
  });
  poll->start(10);
}

TEST(MainScreenGpx, RecordTrackStartsAndStopsARecordingThatIsSaved) {
  Fixture f;
  MainScreen screen(f.context, 480, 640);
  EXPECT_FALSE(screen.actionOf(kRecordTrack)->isChecked());
  EXPECT_FALSE(screen.actionOf(kGpxDetails)->isEnabled()) << "no file, no current collection";

  AcceptNext<rovana::dialogs::RecordTrackDialog>();  // the proposed new file
  screen.ExecuteCommand(kRecordTrack);
  ASSERT_TRUE(f.recorder->recording());
  EXPECT_TRUE(screen.actionOf(kRecordTrack)->isChecked());
  EXPECT_TRUE(screen.actionOf(kGpxDetails)->isEnabled());
  EXPECT_EQ(f.waypoints->current(), f.recorder->track());
  const std::string fileName = f.recorder->track()->file().name();
  GeoPoint p(0.9, 0.17);
  p.setTime(100);
  f.recorder->Offer(p, 20);

  screen.ExecuteCommand(kRecordTrack);
  EXPECT_FALSE(f.recorder->recording());
  EXPECT_FALSE(screen.actionOf(kRecordTrack)->isChecked());
  EXPECT_TRUE(std::filesystem::exists(f.data / fileName)) << "stopping saves the track's file";
}

TEST(MainScreenGpx, AddPoiPutsAPointIntoTheCurrentCollection) {
  Fixture f;
  f.LoadSamples();
  MainScreen screen(f.context, 480, 640);
  rovana::POIs* current = f.waypoints->current();
  ASSERT_NE(current, nullptr);
  const std::size_t before = current->count();
  EXPECT_TRUE(screen.actionOf(kPoiDetails)->isEnabled());
  AcceptNext<rovana::dialogs::PoiDialog>();
  screen.ExecuteCommand(kAddPoi);
  EXPECT_EQ(current->count(), before + 1);
  EXPECT_FALSE(current->LastPoint()->sym().empty());
}

TEST(MainScreenGpx, TheTrackAnalyzerOpensOnTheStore) {
  Fixture f;
  f.LoadSamples();
  MainScreen screen(f.context, 480, 640);
  bool opened = false;
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, &opened] {
    if (auto* dialog = qobject_cast<rovana::dialogs::TrackAnalyzerDialog*>(QApplication::activeModalWidget())) {
      opened = dialog->chosenCollection() != nullptr;
      poll->stop();
      poll->deleteLater();
      dialog->reject();
    }
  });
  poll->start(10);
  screen.ExecuteCommand(32834);
  EXPECT_TRUE(opened) << "a route or track of the samples is chosen";
}

TEST(MainScreenGpx, WithoutAStoreTheGpxCommandsDoNothing) {
  testing_support::TempHome home;
  std::atomic<bool> quit{false};
  AppContext context{*home.settings, *home.language, quit, true, [] {}};
  MainScreen screen(context, 480, 640);
  EXPECT_FALSE(screen.actionOf(kRecordTrack)->isEnabled());
  // The GPX commands, Map › Select and Details, Tools › Locator and the track analyzer.
  for (int command : {kRecordTrack, kAddPoi, kPoiDetails, kGpxDetails, 32858, 32784, 32894, 32835, 32834, 32852})
    screen.ExecuteCommand(command);
  EXPECT_FALSE(screen.markerPosition().has_value());
  screen.ExecuteCommand(32893);  // View › Goto user
  EXPECT_TRUE(screen.markerPosition().has_value()) << "the marker is on the user";
  EXPECT_FALSE(screen.actionOf(kGpxDetails)->isEnabled());
}

}  // namespace
