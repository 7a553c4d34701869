// The record-track dialog: which new file names it accepts (and stays open
// for the ones it refuses), what an accepted name creates, and recording to
// a file already in the list.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>

#include "app/dialogs/RecordTrackDialog.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using rovana::Waypoints;
using rovana::dialogs::ProposedTrackFileName;
using rovana::dialogs::RecordTrackDialog;
namespace lang = rovana::lang;

TEST(RecordTrack, TheProposedNameIsTheLocalDateAndTimeWithDashes) {
  std::tm when{};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 2;
  when.tm_mday = 4;
  when.tm_hour = 5;
  when.tm_min = 6;
  when.tm_sec = 7;
  when.tm_isdst = -1;
  EXPECT_EQ(ProposedTrackFileName(std::mktime(&when)), "2026-03-04_05-06-07.gpx");
}

TEST(RecordTrack, TheDialogProposesANewFileAndListsTheLoadedOnes) {
  testing_support::WaypointsFixture f;
  f.LoadSamples();
  f.waypoints->MakeCurrent(f.Collection("Other.gpx/POIs"));
  RecordTrackDialog dialog(*f.waypoints, *f.home.settings, *f.home.language, nullptr, f.Asker());
  EXPECT_TRUE(dialog.newFileButton()->isChecked());
  EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.gpx$)")
                  .match(dialog.newNameEdit()->text())
                  .hasMatch())
      << dialog.newNameEdit()->text().toStdString();
  ASSERT_EQ(dialog.existingCombo()->count(), 2);
  EXPECT_EQ(dialog.existingCombo()->itemText(0).toStdString(), "Home.gpx");
  EXPECT_EQ(dialog.existingCombo()->itemText(1).toStdString(), "Other.gpx");
  EXPECT_EQ(dialog.existingCombo()->currentIndex(), 1) << "the current file is preselected";
  EXPECT_FALSE(dialog.existingCombo()->isEnabled());
  dialog.existingFileButton()->setChecked(true);
  EXPECT_TRUE(dialog.existingCombo()->isEnabled());
  EXPECT_FALSE(dialog.newNameEdit()->isEnabled());
}

TEST(RecordTrack, WithoutFilesOnlyANewFileCanBeChosen) {
  testing_support::WaypointsFixture f;
  RecordTrackDialog dialog(*f.waypoints, *f.home.settings, *f.home.language, nullptr, f.Asker());
  EXPECT_FALSE(dialog.existingFileButton()->isEnabled());
  EXPECT_EQ(dialog.existingCombo()->count(), 0);
}

TEST(RecordTrack, NewNamesAreCheckedAndARefusedNameKeepsTheDialogOpen) {
  struct Case {
    const char* name;
    QString typed;  // empty: keep the proposed name
    int message;    // 0: accepted
  };
  const Case cases[] = {
      {"the proposed name", "", 0},
      {"one character before .gpx", "a.gpx", 0},
      {"upper-case extension", "Trip.GPX", 0},
      {"blanks around are trimmed", "  walk.gpx ", 0},
      {"only the extension", ".gpx", lang::kGpxBadName},
      {"another extension", "walk.txt", lang::kGpxBadName},
      {"empty", " ", lang::kGpxBadName},
      {"a path", "sub/walk.gpx", lang::kGpxBadName},
      {"a loaded file", "Home.gpx", lang::kGpxNameExists},
      {"a loaded file in other case", "HOME.gpx", lang::kGpxNameExists},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::WaypointsFixture f;
    f.LoadSamples();
    RecordTrackDialog dialog(*f.waypoints, *f.home.settings, *f.home.language, nullptr, f.Asker());
    if (!c.typed.isEmpty()) dialog.newNameEdit()->setText(c.typed);
    const std::string expectedName = dialog.newNameEdit()->text().trimmed().toStdString();
    dialog.show();
    dialog.accept();
    if (c.message == 0) {
      EXPECT_TRUE(f.messages.empty());
      EXPECT_EQ(dialog.result(), QDialog::Accepted);
      EXPECT_FALSE(dialog.isVisible());
      ASSERT_NE(dialog.file(), nullptr);
      EXPECT_EQ(dialog.file()->name(), expectedName);
      EXPECT_EQ(dialog.file()->folder(), f.data);
      EXPECT_EQ(f.waypoints->files().size(), 3u);
      ASSERT_NE(f.waypoints->current(), nullptr);
      EXPECT_EQ(&f.waypoints->current()->file(), dialog.file());
      EXPECT_EQ(f.waypoints->current()->kind(), rovana::PoisKind::POIs);
      EXPECT_EQ(f.home.settings->selectedPOIs, expectedName + "/" + f.Entry(lang::kPoisDefaultName));
    } else {
      ASSERT_EQ(f.messages.size(), 1u);
      EXPECT_EQ(f.messages[0].toStdString(), f.Entry(c.message));
      EXPECT_NE(dialog.result(), QDialog::Accepted);
      EXPECT_TRUE(dialog.isVisible());
      EXPECT_EQ(dialog.file(), nullptr);
      EXPECT_EQ(f.waypoints->files().size(), 2u);
      // The user corrects the name and the same dialog accepts it.
      dialog.newNameEdit()->setText("corrected.gpx");
      dialog.accept();
      EXPECT_EQ(dialog.result(), QDialog::Accepted);
      ASSERT_NE(dialog.file(), nullptr);
      EXPECT_EQ(dialog.file()->name(), "corrected.gpx");
    }
  }
}

TEST(RecordTrack, AnExistingFileIsChosenWithoutCreatingOne) {
  testing_support::WaypointsFixture f;
  f.LoadSamples();
  RecordTrackDialog dialog(*f.waypoints, *f.home.settings, *f.home.language, nullptr, f.Asker());
  dialog.newNameEdit()->setText("bad name");  // not checked for an existing file
  dialog.existingFileButton()->setChecked(true);
  dialog.existingCombo()->setCurrentIndex(0);
  dialog.trackNameEdit()->setText(" Morning run ");
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(f.messages.empty());
  EXPECT_EQ(dialog.file(), f.File("Home.gpx"));
  EXPECT_EQ(dialog.trackName(), "Morning run");
  EXPECT_EQ(f.waypoints->files().size(), 2u);
}

TEST(RecordTrack, AnUnloadedExistingFileIsReadAgain) {
  testing_support::WaypointsFixture f;
  f.LoadSamples();
  rovana::GeoBounds far;
  far.minLongitude = far.minLatitude = -1;
  far.maxLongitude = far.maxLatitude = -0.9;
  f.waypoints->MakeCurrent(f.Collection("Other.gpx/POIs"));  // the current file stays in memory
  f.waypoints->UnloadOutside(far);
  ASSERT_EQ(f.File("Home.gpx")->loadState(), rovana::LoadState::Unloaded);
  RecordTrackDialog dialog(*f.waypoints, *f.home.settings, *f.home.language, nullptr, f.Asker());
  dialog.existingFileButton()->setChecked(true);
  dialog.existingCombo()->setCurrentIndex(0);
  dialog.accept();
  ASSERT_EQ(dialog.file(), f.File("Home.gpx"));
  EXPECT_EQ(dialog.file()->loadState(), rovana::LoadState::Loaded);
  EXPECT_EQ(f.Collection("Home.gpx/Walk")->count(), 3u);
}

TEST(RecordTrack, TheChosenFileTakesTheRecordingAndTheTrackItsName) {
  testing_support::WaypointsFixture f;
  RecordTrackDialog dialog(*f.waypoints, *f.home.settings, *f.home.language, nullptr, f.Asker());
  dialog.newNameEdit()->setText("run.gpx");
  dialog.trackNameEdit()->setText("Run");
  dialog.accept();
  ASSERT_NE(dialog.file(), nullptr);
  rovana::POIs& track = f.recorder->Start(*dialog.file(), rovana::GeoPoint(0.9, 0.2),
                                          rovana::TrackFilterSettingsOf(*f.home.settings));
  track.SetName(dialog.trackName());
  f.recorder->Offer(rovana::GeoPoint(0.9, 0.2), 5);
  f.recorder->Offer(rovana::GeoPoint(0.9001, 0.2), 5);
  const rovana::TrackRecorder::Stopped stopped = f.recorder->Stop();
  EXPECT_TRUE(stopped.hadPoints);
  EXPECT_TRUE(stopped.saved);
  EXPECT_TRUE(std::filesystem::exists(f.data / "run.gpx"));
  EXPECT_NE(f.Collection("run.gpx/Run"), nullptr);
}

}  // namespace
