// The collection details dialog over real files: what OK writes (and that
// an unchanged OK or Cancel leaves the file unmodified), the statistics in
// the user's units, and moving and deleting points.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/dialogs/CollectionDetailsDialog.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using rovana::POIs;
using rovana::dialogs::CollectionDetailsDialog;
using rovana::dialogs::DetailLine;
using testing_support::WaypointsFixture;
namespace lang = rovana::lang;

struct Fixture : WaypointsFixture {
  Fixture() { LoadSamples(); }
  std::unique_ptr<CollectionDetailsDialog> Dialog(const std::string& fullName) {
    POIs* c = Collection(fullName);
    EXPECT_NE(c, nullptr) << fullName;
    return std::make_unique<CollectionDetailsDialog>(*c, *waypoints, *home.settings, *home.language, nullptr,
                                                     Asker());
  }
};

std::vector<std::string> Names(const POIs& c) {
  std::vector<std::string> out;
  for (const rovana::GeoPoint& p : c.Points()) out.push_back(p.name());
  return out;
}

std::vector<std::string> Rows(const QListWidget* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
  return out;
}

TEST(CollectionDetails, OkWritesNameDescColourAndWidth) {
  Fixture f;
  POIs& loop = *f.Collection("Home.gpx/Loop");
  ASSERT_FALSE(loop.file().modified());
  const auto dialog = f.Dialog("Home.gpx/Loop");
  EXPECT_EQ(dialog->nameEdit()->text().toStdString(), "Loop");
  ASSERT_NE(dialog->colourButton(), nullptr);
  dialog->nameEdit()->setText(" Long loop ");
  dialog->descEdit()->setPlainText("Around the lake");
  f.colour = 0x00336699u;
  dialog->colourButton()->click();
  EXPECT_EQ(dialog->chosenColour(), 0x00336699u);
  dialog->widthBox()->setValue(5);
  dialog->accept();
  EXPECT_EQ(loop.name(), "Long loop");
  EXPECT_EQ(loop.desc(), "Around the lake");
  EXPECT_EQ(loop.color(), 0x00336699u);
  EXPECT_EQ(loop.width(), 5);
  EXPECT_TRUE(loop.file().modified());

  // Written to the file and read back.
  ASSERT_TRUE(loop.file().Save(false));
  WaypointsFixture again;
  std::filesystem::copy_file(f.data / "Home.gpx", again.data / "Home.gpx");
  again.waypoints->LoadAll();
  POIs* read = again.Collection("Home.gpx/Long loop");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->color(), 0x00336699u);
  EXPECT_EQ(read->width(), 5);
  EXPECT_EQ(read->desc(), "Around the lake");
}

TEST(CollectionDetails, UnchangedOkCancelAndACancelledColourChangeNothing) {
  struct Case {
    const char* name;
    bool ok;
  };
  for (const Case& c : {Case{"unchanged OK", true}, Case{"Cancel after edits", false}}) {
    SCOPED_TRACE(c.name);
    Fixture f;
    POIs& walk = *f.Collection("Home.gpx/Walk");
    const std::uint32_t colour = walk.color();
    const auto dialog = f.Dialog("Home.gpx/Walk");
    f.colour = std::nullopt;  // the colour dialog cancelled
    dialog->colourButton()->click();
    EXPECT_EQ(dialog->chosenColour(), colour);
    if (c.ok) {
      dialog->accept();
    } else {
      dialog->nameEdit()->setText("Changed");
      dialog->widthBox()->setValue(9);
      dialog->reject();
    }
    EXPECT_EQ(walk.name(), "Walk");
    EXPECT_EQ(walk.color(), colour);
    EXPECT_EQ(walk.width(), 2);
    EXPECT_FALSE(walk.file().modified());
  }
}

TEST(CollectionDetails, PoisHaveNeitherColourNorWidth) {
  Fixture f;
  const auto dialog = f.Dialog("Home.gpx/Home points");
  EXPECT_EQ(dialog->colourButton(), nullptr);
  EXPECT_EQ(dialog->widthBox(), nullptr);
  EXPECT_EQ(Rows(dialog->pointList()), (std::vector<std::string>{"Bakery", "Station"}));
  dialog->descEdit()->setPlainText("Shops");
  dialog->accept();
  EXPECT_EQ(f.Collection("Home.gpx/Home points")->desc(), "Shops");
}

TEST(CollectionDetails, StatisticsAreInTheUsersUnits) {
  Fixture f;
  f.home.settings->excludeStops = false;
  const auto dialog = f.Dialog("Home.gpx/Walk");
  // 2 x 111.12 m in 2 x 60 s (6.7 km/h), 100 m up to 110 m and down to 105 m.
  struct Case {
    DetailLine line;
    int label;
    const char* value;
  };
  const Case cases[] = {
      {DetailLine::Distance, lang::kWordDistance, "222.2m"},
      {DetailLine::TotalTime, lang::kTripTotalTime, "00:02:00"},
      {DetailLine::MovingTime, lang::kTripMovingTime, "00:02:00"},
      {DetailLine::AverageSpeed, lang::kTripAverageSpeed, "6.7kmh"},
      {DetailLine::MaxSpeed, lang::kTripMaxSpeed, "6.7kmh"},
      {DetailLine::MinAltitude, lang::kTripMinAltitude, "100.0m"},
      {DetailLine::MaxAltitude, lang::kTripMaxAltitude, "110.0m"},
      {DetailLine::Climb, lang::kTripClimb, "10.0m"},
      {DetailLine::Descent, lang::kTripDescent, "5.0m"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(f.Entry(c.label));
    EXPECT_EQ(dialog->statisticLabel(c.line).toStdString(), f.Entry(c.label) + ":");
    EXPECT_EQ(dialog->statisticValue(c.line).toStdString(), c.value);
  }
}

TEST(CollectionDetails, TheAltitudeOffsetMovesAltitudesButNotClimbs) {
  Fixture f;
  f.home.settings->unitAltitude = 16;  // feet
  f.home.settings->altitudeOffset = 10;
  const auto dialog = f.Dialog("Home.gpx/Walk");
  EXPECT_EQ(dialog->statisticValue(DetailLine::MinAltitude).toStdString(), "361ft");  // 110 m
  EXPECT_EQ(dialog->statisticValue(DetailLine::Climb).toStdString(), "33ft");        // 10 m
}

TEST(CollectionDetails, PointsMoveUpAndDownAndAreDeleted) {
  struct Step {
    const char* name;
    int row;
    enum { Up, Down, Delete } action;
    bool answer;
    std::vector<std::string> order;
    int selected;
  };
  const Step steps[] = {
      {"the first cannot move up", 0, Step::Up, true, {"R1", "R2", "R3"}, 0},
      {"down", 0, Step::Down, true, {"R2", "R1", "R3"}, 1},
      {"down again", 1, Step::Down, true, {"R2", "R3", "R1"}, 2},
      {"the last cannot move down", 2, Step::Down, true, {"R2", "R3", "R1"}, 2},
      {"up", 2, Step::Up, true, {"R2", "R1", "R3"}, 1},
      {"delete refused", 0, Step::Delete, false, {"R2", "R1", "R3"}, 0},
      {"delete", 0, Step::Delete, true, {"R1", "R3"}, 0},
      {"delete the last", 1, Step::Delete, true, {"R1"}, 0},
  };
  Fixture f;
  POIs& loop = *f.Collection("Home.gpx/Loop");
  const auto dialog = f.Dialog("Home.gpx/Loop");
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    f.answer = s.answer;
    dialog->pointList()->setCurrentRow(s.row);
    const std::size_t asked = f.questions.size();
    const std::string shown = Rows(dialog->pointList())[static_cast<std::size_t>(s.row)];
    switch (s.action) {
      case Step::Up: dialog->upButton()->click(); break;
      case Step::Down: dialog->downButton()->click(); break;
      case Step::Delete:
        dialog->deletePointButton()->click();
        ASSERT_EQ(f.questions.size(), asked + 1);
        EXPECT_EQ(f.questions.back().toStdString(), f.Entry(lang::kPoiDeletePointQuestion) + " (" + shown + ")?");
        break;
    }
    EXPECT_EQ(Names(loop), s.order);
    EXPECT_EQ(Rows(dialog->pointList()), s.order);
    EXPECT_EQ(dialog->pointList()->currentRow(), s.selected);
  }
  EXPECT_TRUE(loop.file().modified());
}

TEST(CollectionDetails, AnUnloadedFileIsReadAgainBeforeThePointsAreShown) {
  Fixture f;
  rovana::GpxParser& home = *f.File("Home.gpx");
  rovana::GeoBounds far;
  far.minLongitude = far.minLatitude = -1;
  far.maxLongitude = far.maxLatitude = -0.9;
  f.waypoints->MakeCurrent(f.Collection("Other.gpx/POIs"));
  f.waypoints->UnloadOutside(far);
  ASSERT_EQ(home.loadState(), rovana::LoadState::Unloaded);
  ASSERT_TRUE(f.Collection("Home.gpx/Loop")->Points().empty());
  const auto dialog = f.Dialog("Home.gpx/Loop");
  EXPECT_EQ(Rows(dialog->pointList()), (std::vector<std::string>{"R1", "R2", "R3"}));
  EXPECT_EQ(home.loadState(), rovana::LoadState::Loaded);
}

TEST(CollectionDetails, ARenameKeepsTheCollectionHiddenAndCurrent) {
  Fixture f;
  POIs& walk = *f.Collection("Home.gpx/Walk");
  walk.SetVisible(false);
  f.waypoints->MakeCurrent(&walk);
  const auto dialog = f.Dialog("Home.gpx/Walk");
  dialog->nameEdit()->setText("Stroll");
  dialog->accept();
  EXPECT_FALSE(walk.visible());
  EXPECT_TRUE(f.home.settings->hiddenPOIs.Contains("Home.gpx/Stroll"));
  EXPECT_FALSE(f.home.settings->hiddenPOIs.Contains("Home.gpx/Walk"));
  EXPECT_EQ(f.waypoints->current(), &walk);
  EXPECT_EQ(f.home.settings->selectedPOIs, "Home.gpx/Stroll");
}

}  // namespace
