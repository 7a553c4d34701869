// The GPX files dialog over real files: the tree it shows, check boxes
// between files and collections, selection as the current collection, new
// routes, renaming, and deleting with clean-up - the track being recorded
// too, while positions keep arriving.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <thread>

#include "app/dialogs/CollectionDetailsDialog.h"
#include "app/dialogs/GpxDialog.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using rovana::POIs;
using rovana::PoisKind;
using rovana::dialogs::GpxDialog;
using testing_support::WaypointsFixture;
namespace fs = std::filesystem;
namespace lang = rovana::lang;

struct Fixture : WaypointsFixture {
  Fixture() { LoadSamples(); }
  std::unique_ptr<GpxDialog> Dialog() {
    return std::make_unique<GpxDialog>(*waypoints, *recorder, *home.settings, *home.language, nullptr, Asker());
  }
};

std::string Label(const QTreeWidgetItem* item) { return item->text(0).toStdString(); }
bool Checked(const QTreeWidgetItem* item) { return item->checkState(0) == Qt::Checked; }
void SetChecked(QTreeWidgetItem* item, bool on) { item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked); }

TEST(GpxDialog, TheTreeShowsEveryFileWithItsCollectionsInListOrder) {
  WaypointsFixture g;
  g.home.settings->hiddenPOIs.Add("Home.gpx/Loop");
  g.LoadSamples();
  g.waypoints->MakeCurrent(g.Collection("Home.gpx/Walk"));
  const auto dialog = std::make_unique<GpxDialog>(*g.waypoints, *g.recorder, *g.home.settings, *g.home.language,
                                                  nullptr, g.Asker());
  QTreeWidget* tree = dialog->tree();
  ASSERT_EQ(tree->topLevelItemCount(), 2);

  struct Row {
    const char* label;
    std::string kind;
    bool checked;
  };
  struct FileCase {
    const char* name;
    bool checked;
    std::vector<Row> rows;
  };
  const FileCase cases[] = {
      {"Home.gpx", true,
       {{"Home points (2)", g.Entry(lang::kPoisDefaultName), true},
        {"Loop (2222.4m)", g.Entry(lang::kWordRoute), false},
        {"Walk (222.2m)", g.Entry(lang::kWordTrack), true}}},
      {"Other.gpx", true, {{"POIs (1)", g.Entry(lang::kPoisDefaultName), true}}},
  };
  for (int i = 0; i < 2; ++i) {
    const FileCase& c = cases[i];
    SCOPED_TRACE(c.name);
    const QTreeWidgetItem* file = tree->topLevelItem(i);
    EXPECT_EQ(Label(file), c.name);
    EXPECT_EQ(Checked(file), c.checked);
    ASSERT_EQ(file->childCount(), static_cast<int>(c.rows.size()));
    for (int j = 0; j < file->childCount(); ++j) {
      SCOPED_TRACE(c.rows[j].label);
      EXPECT_EQ(Label(file->child(j)), c.rows[j].label);
      EXPECT_EQ(file->child(j)->text(1).toStdString(), c.rows[j].kind);
      EXPECT_EQ(Checked(file->child(j)), c.rows[j].checked);
    }
  }
  EXPECT_EQ(tree->currentItem(), dialog->ItemOf(*g.Collection("Home.gpx/Walk")));
}

TEST(GpxDialog, CheckBoxesPassBetweenAFileAndItsCollections) {
  Fixture f;
  const auto dialog = f.Dialog();
  QTreeWidgetItem* home = dialog->ItemOf(*f.File("Home.gpx"));
  ASSERT_NE(home, nullptr);
  ASSERT_EQ(home->childCount(), 3);
  rovana::GpxParser& file = *f.File("Home.gpx");
  struct Step {
    const char* name;
    int item;  // -1: the file, else a collection
    bool on;
    bool fileChecked;
    std::vector<bool> collections;
    std::size_t hidden;
  };
  const Step steps[] = {
      {"file off hides all", -1, false, false, {false, false, false}, 3},
      {"file on shows all", -1, true, true, {true, true, true}, 0},
      {"one collection off", 0, false, true, {false, true, true}, 1},
      {"two off", 1, false, true, {false, false, true}, 2},
      {"the last off unchecks the file", 2, false, false, {false, false, false}, 3},
      {"one back on checks the file", 1, true, true, {false, true, false}, 2},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    SetChecked(s.item < 0 ? home : home->child(s.item), s.on);
    EXPECT_EQ(Checked(home), s.fileChecked);
    EXPECT_EQ(file.shown(), s.fileChecked);
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(Checked(home->child(j)), s.collections[j]) << j;
      EXPECT_EQ(f.waypoints->CollectionsOf(file)[j]->visible(), s.collections[j]) << j;
    }
    EXPECT_EQ(f.home.settings->hiddenPOIs.size(), s.hidden);
  }
  EXPECT_TRUE(f.home.settings->hiddenPOIs.Contains("Home.gpx/Home points"));
  EXPECT_TRUE(Checked(dialog->ItemOf(*f.File("Other.gpx")))) << "the other file is left alone";
}

TEST(GpxDialog, SelectingMakesCollectionsAndFilesCurrent) {
  Fixture f;
  const auto dialog = f.Dialog();
  POIs* loop = f.Collection("Home.gpx/Loop");
  dialog->tree()->setCurrentItem(dialog->ItemOf(*loop));
  EXPECT_EQ(f.waypoints->current(), loop);
  EXPECT_EQ(f.home.settings->selectedPOIs, "Home.gpx/Loop");
  EXPECT_TRUE(dialog->deleteButton()->isEnabled());

  dialog->tree()->setCurrentItem(dialog->ItemOf(*f.File("Other.gpx")));
  EXPECT_EQ(f.waypoints->current(), nullptr);
  EXPECT_EQ(f.waypoints->currentFile(), f.File("Other.gpx"));
  EXPECT_FALSE(dialog->deleteButton()->isEnabled());
  EXPECT_FALSE(dialog->detailsButton()->isEnabled());
  EXPECT_TRUE(dialog->renameButton()->isEnabled());

  // A rebuilt tree selects the current file when no collection is current.
  dialog->Rebuild();
  EXPECT_EQ(dialog->tree()->currentItem(), dialog->ItemOf(*f.File("Other.gpx")));
}

TEST(GpxDialog, NewRouteAddsANamedEmptyRouteToTheCurrentFile) {
  Fixture f;
  f.waypoints->SetCurrentFile(f.File("Other.gpx"));
  const auto dialog = f.Dialog();
  f.typed = std::nullopt;  // cancelled
  dialog->NewRoute();
  EXPECT_EQ(f.waypoints->CollectionsOf(*f.File("Other.gpx")).size(), 1u);
  ASSERT_EQ(f.prompts.size(), 1u);
  EXPECT_EQ(f.prompts[0].toStdString(), f.Entry(lang::kGpxRouteNamePrompt));

  f.typed = "Evening";
  dialog->NewRoute();
  POIs* route = f.Collection("Other.gpx/Evening");
  ASSERT_NE(route, nullptr);
  EXPECT_EQ(route->kind(), PoisKind::Route);
  EXPECT_EQ(route->count(), 0u);
  EXPECT_EQ(f.waypoints->current(), route);
  EXPECT_TRUE(f.File("Other.gpx")->modified());
  EXPECT_EQ(dialog->tree()->currentItem(), dialog->ItemOf(*route));
  EXPECT_EQ(dialog->ItemOf(*f.File("Other.gpx"))->childCount(), 2);
}

TEST(GpxDialog, RenameRefusesBadAndTakenNamesAndMovesTheFile) {
  struct Case {
    const char* name;
    QString typed;
    int message;  // 0: renamed
  };
  const Case cases[] = {
      {"a taken name", "Other.gpx", lang::kGpxNameExists},
      {"a taken name in other case", "other.GPX", lang::kGpxNameExists},
      {"no extension", "Home", lang::kGpxBadName},
      {"a path", "../Home.gpx", lang::kGpxBadName},
      {"a good name", "Renamed.gpx", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    rovana::GpxParser& home = *f.File("Home.gpx");
    f.Collection("Home.gpx/Loop")->SetVisible(false);
    f.waypoints->MakeCurrent(f.Collection("Home.gpx/Walk"));
    fs::create_directories(f.data / "Home");  // the attachment folder
    const auto dialog = f.Dialog();
    f.typed = c.typed;
    dialog->RenameCurrentFile();
    if (c.message) {
      ASSERT_EQ(f.messages.size(), 1u);
      EXPECT_EQ(f.messages[0].toStdString(), f.Entry(c.message));
      EXPECT_EQ(home.name(), "Home.gpx");
      EXPECT_TRUE(fs::exists(f.data / "Home.gpx"));
      continue;
    }
    EXPECT_TRUE(f.messages.empty());
    EXPECT_EQ(home.name(), "Renamed.gpx");
    EXPECT_FALSE(fs::exists(f.data / "Home.gpx"));
    EXPECT_TRUE(fs::exists(f.data / "Renamed.gpx"));
    EXPECT_TRUE(fs::is_directory(f.data / "Renamed"));
    EXPECT_EQ(Label(dialog->ItemOf(home)), "Renamed.gpx");
    // Hidden and current stay with the collections under their new names.
    EXPECT_EQ(f.home.settings->selectedPOIs, "Renamed.gpx/Walk");
    EXPECT_TRUE(f.home.settings->hiddenPOIs.Contains("Renamed.gpx/Loop"));
    EXPECT_FALSE(f.home.settings->hiddenPOIs.Contains("Home.gpx/Loop"));
    EXPECT_FALSE(Checked(dialog->ItemOf(*f.Collection("Renamed.gpx/Loop"))));
  }
}

TEST(GpxDialog, ANewFileNotYetSavedCanBeRenamed) {
  Fixture f;
  rovana::GpxParser& fresh = f.waypoints->NewFile("fresh.gpx");
  f.waypoints->SetCurrentFile(&fresh);
  const auto dialog = f.Dialog();
  f.typed = "later.gpx";
  dialog->RenameCurrentFile();
  EXPECT_TRUE(f.messages.empty());
  EXPECT_EQ(fresh.name(), "later.gpx");
  EXPECT_TRUE(fs::exists(f.data / "later.gpx"));
}

TEST(GpxDialog, DeleteAsksByKindAndCleansUp) {
  struct Case {
    const char* name;
    const char* collection;
    bool answer;
    int question;
    bool deleted;
    bool fileLeft;      // Home.gpx still listed
    std::size_t homeCollections;  // after the delete
  };
  const Case cases[] = {
      {"a route, answered Cancel", "Home.gpx/Loop", false, lang::kGpxDeleteRouteQuestion, false, true, 3},
      {"a route", "Home.gpx/Loop", true, lang::kGpxDeleteRouteQuestion, true, true, 2},
      {"a track", "Home.gpx/Walk", true, lang::kGpxDeleteRouteQuestion, true, true, 2},
      // The file keeps a POIs collection, a new empty one.
      {"the POIs beside a route and a track", "Home.gpx/Home points", true, lang::kGpxDeletePoisQuestion, true, true,
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    POIs* target = f.Collection(c.collection);
    ASSERT_NE(target, nullptr);
    f.waypoints->MakeCurrent(target);
    const auto dialog = f.Dialog();
    f.answer = c.answer;
    dialog->DeleteCurrent();
    ASSERT_EQ(f.questions.size(), 1u);
    EXPECT_EQ(f.questions[0].toStdString(), f.Entry(c.question) + "?");
    EXPECT_EQ(f.Collection(c.collection) == nullptr, c.deleted);
    ASSERT_EQ(f.File("Home.gpx") != nullptr, c.fileLeft);
    EXPECT_EQ(f.waypoints->CollectionsOf(*f.File("Home.gpx")).size(), c.homeCollections);
    EXPECT_EQ(dialog->ItemOf(*f.File("Home.gpx"))->childCount(), static_cast<int>(c.homeCollections));
    if (c.deleted) {
      ASSERT_NE(f.waypoints->current(), nullptr);
      EXPECT_EQ(&f.waypoints->current()->file(), f.File("Home.gpx"));
      EXPECT_EQ(f.waypoints->current()->kind(), PoisKind::POIs);
      EXPECT_TRUE(f.File("Home.gpx")->modified());
    }
  }
}

TEST(GpxDialog, DeletingTheLastContentOfAFileDeletesTheFile) {
  Fixture f;
  f.waypoints->MakeCurrent(f.Collection("Other.gpx/POIs"));
  const auto dialog = f.Dialog();
  dialog->DeleteCurrent();
  EXPECT_EQ(f.File("Other.gpx"), nullptr);
  EXPECT_FALSE(fs::exists(f.data / "Other.gpx"));
  EXPECT_EQ(dialog->tree()->topLevelItemCount(), 1);
  EXPECT_EQ(f.waypoints->current(), nullptr);
  EXPECT_TRUE(f.home.settings->selectedPOIs.empty());
  EXPECT_FALSE(dialog->deleteButton()->isEnabled());
}

TEST(GpxDialog, APinnedFileKeepsItsCollectionsAndItsRecording) {
  Fixture f;
  f.File("Home.gpx")->SetPinned(true);
  f.waypoints->MakeCurrent(f.Collection("Home.gpx/Loop"));
  const auto dialog = f.Dialog();
  dialog->DeleteCurrent();
  EXPECT_NE(f.Collection("Home.gpx/Loop"), nullptr);
  EXPECT_EQ(dialog->ItemOf(*f.File("Home.gpx"))->childCount(), 3);

  POIs& track = f.recorder->Start(*f.File("Home.gpx"), rovana::GeoPoint(0.9, 0.2), rovana::TrackFilterSettings{});
  dialog->Rebuild();
  dialog->DeleteCurrent();
  EXPECT_TRUE(f.recorder->recording());
  EXPECT_EQ(f.recorder->track(), &track);
}

// Deleting the track being recorded stops the recording first; the GPS
// thread keeps offering positions all the while.
TEST(GpxDialog, DeletingTheRecordingTrackStopsTheRecordingAndNeverCrashes) {
  struct Case {
    const char* name;
    const char* file;  // where the track is recorded
    int points;        // offered before the delete, besides the thread's
    bool fileLeft;
  };
  const Case cases[] = {
      {"a track with points", "Home.gpx", 5, true},
      {"an empty track is deleted by the stop alone", "Home.gpx", 0, true},
      {"an empty track in an otherwise empty new file", "new.gpx", 0, false},
      {"a track with points, saved by the stop, in an otherwise empty new file", "new.gpx", 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    if (!f.File(c.file)) f.waypoints->NewFile(c.file);
    rovana::GpxParser& file = *f.File(c.file);
    rovana::TrackFilterSettings everyPoint;
    everyPoint.maxDevCheck = false;
    POIs& track = f.recorder->Start(file, rovana::GeoPoint(0.9, 0.2), everyPoint);
    for (int i = 0; i < c.points; ++i) f.recorder->Offer(rovana::GeoPoint(0.9 + i * 1e-4, 0.2), 5);
    ASSERT_EQ(track.count(), static_cast<std::size_t>(c.points));
    const std::size_t before = f.waypoints->CollectionsOf(file).size();
    const auto dialog = f.Dialog();
    EXPECT_EQ(f.waypoints->current(), &track);
    std::atomic<bool> stop{false};
    // The thread offers only to tracks that have points already: one of its
    // points would keep an empty track from being deleted by the stop.
    std::thread gps([&] {
      for (int i = 0; !stop; ++i) {
        if (c.points > 0) f.recorder->Offer(rovana::GeoPoint(0.91 + (i % 100) * 1e-4, 0.2), 5);
        std::this_thread::yield();
      }
    });
    dialog->DeleteCurrent();
    stop = true;
    gps.join();
    EXPECT_FALSE(f.recorder->recording());
    EXPECT_EQ(f.waypoints->recordingTrack(), nullptr);
    ASSERT_EQ(f.File(c.file) != nullptr, c.fileLeft);
    if (c.fileLeft) {
      EXPECT_EQ(f.waypoints->CollectionsOf(*f.File(c.file)).size(), before - 1);
      for (POIs* left : f.waypoints->CollectionsOf(*f.File(c.file)))
        EXPECT_FALSE(left->kind() == PoisKind::Track && left->name().empty()) << "the recorded track is gone";
      EXPECT_EQ(dialog->ItemOf(*f.File(c.file))->childCount(), static_cast<int>(before - 1));
    } else {
      EXPECT_FALSE(fs::exists(f.data / c.file));
    }
    f.recorder->Offer(rovana::GeoPoint(0.95, 0.2), 5);  // a late position goes nowhere
  }
}

TEST(GpxDialog, WithoutFilesTheDialogOnlySaysSo) {
  WaypointsFixture f;
  GpxDialog dialog(*f.waypoints, *f.recorder, *f.home.settings, *f.home.language, nullptr, f.Asker());
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].toStdString(), f.Entry(lang::kGpxNoFiles));
  EXPECT_EQ(dialog.tree()->topLevelItemCount(), 0);
}

TEST(GpxDialog, DetailsEditTheCurrentCollectionAndTheTreeFollows) {
  Fixture f;
  POIs* loop = f.Collection("Home.gpx/Loop");
  f.waypoints->MakeCurrent(loop);
  const auto dialog = f.Dialog();
  QTimer::singleShot(0, [] {
    auto* details = qobject_cast<rovana::dialogs::CollectionDetailsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(details, nullptr);
    details->nameEdit()->setText("Big loop");
    details->accept();
  });
  dialog->OpenDetails();
  EXPECT_EQ(loop->name(), "Big loop");
  EXPECT_EQ(Label(dialog->ItemOf(*loop)), "Big loop (2222.4m)");
  EXPECT_EQ(f.waypoints->current(), loop);
  EXPECT_EQ(f.home.settings->selectedPOIs, "Home.gpx/Big loop");
}

}  // namespace
