// The POI dialog over real GPX files in a temporary data folder: adding a
// POI to the current collection, editing the selected point in place,
// moving a point and its audio note to another file, the attachments page
// (link, picture, Call, audio note) and the page remembered.
#include <gtest/gtest.h>

#include <QComboBox>
#include <algorithm>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/LanguageEntries.h"
#include "app/core/Log.h"
#include "app/core/Utilities.h"
#include "app/dialogs/AudioNote.h"
#include "app/dialogs/PoiDialog.h"
#include "app/ui/Symbols.h"
#include "app/waypoints/Attachments.h"
#include "app/waypoints/Waypoints.h"
#include "tests/support/TempHome.h"

namespace {

namespace fs = std::filesystem;
using rovana::GeoPoint;
using rovana::GpxParser;
using rovana::POIs;
using rovana::PointText;
using rovana::PoisKind;
using rovana::dialogs::PoiDialog;
using rovana::dialogs::PoiTab;

constexpr double kDegree = rovana::kPi / 180;

void Write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

GeoPoint Named(const std::string& name, int time) {
  GeoPoint p(52.5 * kDegree, 13.25 * kDegree, 34);
  p.setTime(time);
  p.setDate(2026 * 416 + 5 * 32 + 1);
  p.setText(PointText::Name, name);
  return p;
}

// Two files: "a.gpx" (its POIs, current) and "b.gpx" (its POIs, a route and
// a track), in a data folder of their own.
struct Fixture {
  testing_support::TempHome home;
  fs::path data;
  std::unique_ptr<rovana::Waypoints> waypoints;
  rovana::ui::SymbolTable symbols{std::vector<fs::path>{}};
  GpxParser* a = nullptr;
  GpxParser* b = nullptr;
  POIs* aPois = nullptr;
  POIs* bPois = nullptr;
  POIs* bRoute = nullptr;
  POIs* bTrack = nullptr;

  std::vector<QString> questions, told;
  std::vector<QUrl> urls;
  std::vector<QString> pickerFilters;
  bool answer = true;
  QString picked;

  Fixture() {
    data = home.folder() / "data";
    fs::create_directories(data);
    rovana::SettingsStore& s = *home.settings;
    s.primaryDataPath = s.secondaryDataPath = data.string();
    s.poiStyle = "Default";
    s.poiTab = 0;
    s.unitAltitude = 1;  // metres
    s.altitudeOffset = 0;
    rovana::OpenLog(home.folder() / "log.txt");
    waypoints = std::make_unique<rovana::Waypoints>(s);
    a = &waypoints->NewFile("a.gpx");
    b = &waypoints->NewFile("b.gpx");
    aPois = waypoints->FirstOf(*a);
    bPois = waypoints->FirstOf(*b);
    bRoute = &waypoints->AddCollection(*b, PoisKind::Route);
    bRoute->SetName("Walk");
    bRoute->AddPoint(Named("Start", 100), -1, true);
    bTrack = &waypoints->AddCollection(*b, PoisKind::Track);
    bTrack->SetName("Drive");
    waypoints->MakeCurrent(aPois);
    a->ClearModified();
    b->ClearModified();
  }
  ~Fixture() {
    waypoints.reset();
    rovana::CloseLog();
  }

  rovana::dialogs::PoiDialogHooks Hooks() {
    rovana::dialogs::PoiDialogHooks hooks;
    hooks.asker.question = [this](const QString& q) {
      questions.push_back(q);
      return answer;
    };
    hooks.asker.message = [this](const QString& m) { told.push_back(m); };
    hooks.openUrl = [this](const QUrl& url) {
      urls.push_back(url);
      return true;
    };
    hooks.pickPicture = [this](const QString&, const QString& filters) {
      pickerFilters.push_back(filters);
      return picked;
    };
    hooks.audioInput = "no-such-device";
    return hooks;
  }
  std::unique_ptr<PoiDialog> AddDialog(const GeoPoint& at) {
    return std::make_unique<PoiDialog>(*waypoints, *home.settings, *home.language, symbols, at, nullptr, Hooks());
  }
  std::unique_ptr<PoiDialog> DetailsDialog() {
    return std::make_unique<PoiDialog>(*waypoints, *home.settings, *home.language, symbols, nullptr, Hooks());
  }
  std::string Entry(int n) const { return home.language->Entry(n); }
  std::string LogText() const { return Read(home.folder() / "log.txt"); }
};

void ChooseCollection(PoiDialog& dialog, const POIs* collection) {
  const auto& offered = dialog.offeredCollections();
  const auto at = std::find(offered.begin(), offered.end(), collection);
  ASSERT_NE(at, offered.end());
  dialog.collectionBox()->setCurrentIndex(static_cast<int>(at - offered.begin()));
}

TEST(PoiDialog, AddPoiStampsANewPointAndAddsItToTheCurrentCollection) {
  struct Case {
    const char* name;
    std::string poiStyle;
    QString chosen;  // empty: left as offered
    std::string wantSym;
  } cases[] = {
      {"the remembered style", "Pin", "", "Pin"},
      {"another symbol becomes the style", "Pin", "Finish", "Finish"},
      {"an unknown style stays", "MySymbol", "", "MySymbol"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.home.settings->poiStyle = c.poiStyle;
    const rovana::LocalStamp before = rovana::LocalNow();
    auto dialog = f.AddDialog(GeoPoint(52.5 * kDegree, -13.25 * kDegree, 34));
    ASSERT_TRUE(dialog->ready());
    EXPECT_EQ(dialog->symbolBox()->currentText().toStdString(), c.poiStyle);
    EXPECT_EQ(dialog->collectionBox()->currentText().toStdString(), f.aPois->FullName());
    const std::string position = dialog->positionLabel()->text().toStdString();
    EXPECT_NE(position.find("52.500000\u00B0"), std::string::npos) << position;
    EXPECT_NE(position.find("-13.250000\u00B0"), std::string::npos) << position;
    EXPECT_NE(position.find("34.0m"), std::string::npos) << position;
    if (!c.chosen.isEmpty()) dialog->symbolBox()->setCurrentText(c.chosen);
    dialog->nameEdit()->setText("Well");
    dialog->descEdit()->setPlainText("fresh water");
    dialog->accept();

    ASSERT_EQ(f.aPois->count(), 1u);
    const GeoPoint p = f.aPois->Points()[0];
    EXPECT_EQ(p.name(), "Well");
    EXPECT_EQ(p.text(PointText::Desc), "fresh water");
    EXPECT_EQ(p.sym(), c.wantSym);
    EXPECT_NEAR(p.latitude(), 52.5 * kDegree, 1e-12);
    EXPECT_NEAR(p.longitude(), -13.25 * kDegree, 1e-12);
    EXPECT_EQ(p.altitude(), 34);
    EXPECT_EQ(p.date(), before.date);
    EXPECT_GE((p.time() - before.seconds + 86400) % 86400, 0);
    EXPECT_LE((p.time() - before.seconds + 86400) % 86400, 5) << "stamped now";
    EXPECT_EQ(f.home.settings->poiStyle, c.wantSym);
    EXPECT_EQ(f.aPois->SelectedPoint()->name(), "Well");
    EXPECT_EQ(dialog->storedPoint(), f.aPois->SelectedStoredPoint());
    EXPECT_TRUE(f.a->modified());
    EXPECT_FALSE(f.b->modified());
  }
}

TEST(PoiDialog, CancelAddsNothing) {
  Fixture f;
  auto dialog = f.AddDialog(GeoPoint(0.9, 0.2));
  dialog->nameEdit()->setText("Well");
  dialog->reject();
  EXPECT_EQ(f.aPois->count(), 0u);
  EXPECT_FALSE(f.a->modified());
}

TEST(PoiDialog, WithoutACurrentCollectionTheUserIsToldToChooseAFile) {
  Fixture f;
  f.waypoints->SetCurrentFile(nullptr);
  ASSERT_EQ(f.waypoints->current(), nullptr);
  EXPECT_FALSE(PoiDialog::AddPoi(*f.waypoints, *f.home.settings, *f.home.language, f.symbols, GeoPoint(0.9, 0.2),
                                 nullptr, f.Hooks()));
  EXPECT_FALSE(PoiDialog::ShowDetails(*f.waypoints, *f.home.settings, *f.home.language, f.symbols, nullptr,
                                      f.Hooks()));
  ASSERT_EQ(f.told.size(), 2u);
  for (const QString& m : f.told) EXPECT_EQ(m.toStdString(), f.Entry(rovana::lang::kPoiNeedsFile));
  EXPECT_EQ(PoiDialog::AddPointNow(*f.waypoints, *f.home.settings, GeoPoint(0.9, 0.2)), nullptr);
  for (POIs* c : f.waypoints->Collections()) EXPECT_EQ(c->count(), c == f.bRoute ? 1u : 0u) << c->FullName();
}

TEST(PoiDialog, APointFromTheMapGoesStraightIntoTheCurrentCollection) {
  Fixture f;
  f.home.settings->poiStyle = "Pin";
  const GeoPoint* stored = PoiDialog::AddPointNow(*f.waypoints, *f.home.settings, GeoPoint(0.9, 0.2, 5));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->sym(), "Pin");
  EXPECT_EQ(f.aPois->SelectedStoredPoint(), stored);
  EXPECT_EQ(stored->date(), rovana::TodayPacked());
}

TEST(PoiDialog, DetailsEditTheSelectedPointInPlace) {
  Fixture f;
  f.aPois->AddPoint(Named("Hut", 100), -1, true);
  GeoPoint second = Named("Spring", 200);
  second.setText(PointText::Phone, "+49 30 1");
  second.setText(PointText::Pic, "/pics/spring.jpg");
  GeoPoint* spring = f.aPois->AddPoint(second, -1, true);
  f.aPois->AddPoint(Named("Peak", 300), -1, true);
  f.aPois->SelectPoint(*spring);
  f.a->ClearModified();

  auto dialog = f.DetailsDialog();
  ASSERT_TRUE(dialog->ready());
  EXPECT_EQ(dialog->windowTitle().toStdString(), f.home.language->Title(rovana::lang::kMenuGpxPoiDetails));
  EXPECT_EQ(dialog->nameEdit()->text(), "Spring");
  EXPECT_EQ(dialog->phoneEdit()->text(), "+49 30 1");
  EXPECT_EQ(dialog->pictureEdit()->text(), "/pics/spring.jpg");
  EXPECT_EQ(dialog->symbolBox()->currentText(), "Default");
  dialog->nameEdit()->setText("Cold spring");
  dialog->descEdit()->setPlainText("drinkable");
  dialog->linkEdit()->setText("spring.example.org");
  dialog->phoneEdit()->setText("+49 30 2");
  dialog->symbolBox()->setCurrentText("Pin");
  dialog->accept();

  ASSERT_EQ(f.aPois->count(), 3u);
  const std::vector<GeoPoint> points = f.aPois->Points();
  EXPECT_EQ(points[0].name(), "Hut");
  EXPECT_EQ(points[1].name(), "Cold spring") << "edited where it was";
  EXPECT_EQ(points[2].name(), "Peak");
  EXPECT_EQ(spring->name(), "Cold spring") << "the same stored point";
  EXPECT_EQ(spring->text(PointText::Desc), "drinkable");
  EXPECT_EQ(spring->text(PointText::Link), "http://spring.example.org");
  EXPECT_EQ(spring->text(PointText::Phone), "+49 30 2");
  EXPECT_EQ(spring->text(PointText::Pic), "/pics/spring.jpg");
  EXPECT_EQ(spring->sym(), "Pin");
  EXPECT_EQ(spring->time(), 200) << "the time is the point's own";
  EXPECT_EQ(f.aPois->SelectedStoredPoint(), spring);
  EXPECT_EQ(f.home.settings->poiStyle, "Pin");
  EXPECT_TRUE(f.a->modified());
}

TEST(PoiDialog, LinksGetTheWebSchemeOnlyWhenTheyNameNone) {
  struct Case {
    const char* typed;
    const char* want;
  } cases[] = {
      {"x.org/path", "http://x.org/path"},
      {"https://x.org", "https://x.org"},
      {"http://x.org", "http://x.org"},
      {"mailto:a@b.org", "mailto:a@b.org"},
      {"  geo:52.5,13.25 ", "geo:52.5,13.25"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Fixture f;
    GeoPoint* p = f.aPois->AddPoint(Named("Hut", 100), -1, true);
    auto dialog = f.DetailsDialog();
    dialog->linkEdit()->setText(c.typed);
    emit dialog->linkEdit()->editingFinished();
    EXPECT_EQ(dialog->linkEdit()->text().toStdString(), c.want) << "completed when the edit ends";
    dialog->accept();
    EXPECT_EQ(p->text(PointText::Link), c.want);
  }
}

TEST(PoiDialog, CallHandsATelUrlToTheDesktop) {
  struct Case {
    const char* phone;
    const char* wantUrl;  // null: no call
  } cases[] = {
      {"+4930123456", "tel:+4930123456"},
      {"+49 30 123-456", "tel:+4930123-456"},
      {" 112 ", "tel:112"},
      {"", nullptr},
      {"   ", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phone);
    Fixture f;
    auto dialog = f.AddDialog(GeoPoint(0.9, 0.2));
    dialog->phoneEdit()->setText(c.phone);
    dialog->callButton()->click();
    if (!c.wantUrl) {
      EXPECT_TRUE(f.urls.empty());
      continue;
    }
    ASSERT_EQ(f.urls.size(), 1u);
    EXPECT_EQ(f.urls[0].toString().toStdString(), c.wantUrl);
    EXPECT_EQ(f.urls[0].scheme(), "tel");
  }
}

TEST(PoiDialog, ThePictureIsChosenWithTheImageFilters) {
  Fixture f;
  GeoPoint* p = f.aPois->AddPoint(Named("Hut", 100), -1, true);
  auto dialog = f.DetailsDialog();
  f.picked = "/home/u/hut.png";
  dialog->pictureButton()->click();
  ASSERT_EQ(f.pickerFilters.size(), 1u);
  EXPECT_EQ(f.pickerFilters[0].toStdString(), "jpg (*.jpg);;gif (*.gif);;png (*.png);;All (*.*)");
  EXPECT_EQ(dialog->pictureEdit()->text(), "/home/u/hut.png");
  f.picked.clear();
  dialog->pictureButton()->click();
  EXPECT_EQ(dialog->pictureEdit()->text(), "/home/u/hut.png") << "a cancelled choice keeps the picture";
  dialog->accept();
  EXPECT_EQ(p->text(PointText::Pic), "/home/u/hut.png");
}

TEST(PoiDialog, TheCollectionsOfferedArePoisAndRoutesAndThePointsOwn) {
  Fixture f;
  auto add = f.AddDialog(GeoPoint(0.9, 0.2));
  const auto& offered = add->offeredCollections();
  EXPECT_NE(std::find(offered.begin(), offered.end(), f.aPois), offered.end());
  EXPECT_NE(std::find(offered.begin(), offered.end(), f.bPois), offered.end());
  EXPECT_NE(std::find(offered.begin(), offered.end(), f.bRoute), offered.end());
  EXPECT_EQ(std::find(offered.begin(), offered.end(), f.bTrack), offered.end()) << "no track to add to";
  EXPECT_EQ(add->collectionBox()->count(), static_cast<int>(offered.size()));

  f.bTrack->AddPoint(Named("", 500), -1, true);
  f.waypoints->MakeCurrent(f.bTrack);
  auto details = f.DetailsDialog();
  const auto& own = details->offeredCollections();
  EXPECT_NE(std::find(own.begin(), own.end(), f.bTrack), own.end());
  EXPECT_EQ(details->collectionBox()->currentText().toStdString(), f.bTrack->FullName());
}

TEST(PoiDialog, AMovedPointTakesItsNoteToTheOtherFilesFolder) {
  struct Case {
    const char* name;
    bool toRoute;
    bool noteOfAnotherDayThere;
    std::string wantWav;
  } cases[] = {
      {"into the other file's POIs", false, false, "audio_10_00_00.wav"},
      {"beside a note of the same time", false, true, "audio_10_00_00-2.wav"},
      {"into a route of the other file", true, false, "audio_10_00_00.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    GeoPoint noted = Named("Bench", 36000);
    noted.setText(PointText::Wav, "audio_10_00_00.wav");
    f.aPois->AddPoint(noted, -1, true);
    Write(f.a->AttachmentFolder() / "audio_10_00_00.wav", "bench note");
    if (c.noteOfAnotherDayThere) Write(f.b->AttachmentFolder() / "audio_10_00_00.wav", "older note");
    POIs* target = c.toRoute ? f.bRoute : f.bPois;
    const std::size_t before = target->count();

    auto dialog = f.DetailsDialog();
    EXPECT_EQ(Read(dialog->temporaryFile()), "bench note") << "copied for playing";
    ChooseCollection(*dialog, target);
    dialog->accept();

    EXPECT_EQ(f.aPois->count(), 0u);
    ASSERT_EQ(target->count(), before + 1);
    const GeoPoint moved = target->Points().back();
    EXPECT_EQ(moved.name(), "Bench");
    EXPECT_EQ(moved.text(PointText::Wav), c.wantWav);
    EXPECT_EQ(Read(f.b->AttachmentFolder() / c.wantWav), "bench note");
    EXPECT_FALSE(fs::exists(f.a->AttachmentFolder() / "audio_10_00_00.wav"));
    if (c.noteOfAnotherDayThere) {
      EXPECT_EQ(Read(f.b->AttachmentFolder() / "audio_10_00_00.wav"), "older note");
    }
    EXPECT_EQ(target->SelectedPoint()->name(), "Bench");
    EXPECT_EQ(f.waypoints->current(), target) << "the point stays in the current collection";
    EXPECT_TRUE(f.a->modified());
    EXPECT_TRUE(f.b->modified());
    if (c.toRoute) {
      EXPECT_EQ(target->kind(), PoisKind::Route);
    }
  }
}

TEST(PoiDialog, MovingWithinOneFileLeavesTheNoteWhereItIs) {
  Fixture f;
  POIs& route = f.waypoints->AddCollection(*f.a, PoisKind::Route);
  GeoPoint noted = Named("Bench", 36000);
  noted.setText(PointText::Wav, "audio_10_00_00.wav");
  f.aPois->AddPoint(noted, -1, true);
  Write(f.a->AttachmentFolder() / "audio_10_00_00.wav", "bench note");
  auto dialog = f.DetailsDialog();
  ChooseCollection(*dialog, &route);
  dialog->accept();
  ASSERT_EQ(route.count(), 1u);
  EXPECT_EQ(route.Points()[0].text(PointText::Wav), "audio_10_00_00.wav");
  EXPECT_EQ(Read(f.a->AttachmentFolder() / "audio_10_00_00.wav"), "bench note");
}

TEST(PoiDialog, MovingIntoAnUnloadedFileReadsItFirst) {
  Fixture f;
  f.bPois->AddPoint(Named("Old", 50), -1, true);
  f.waypoints->RecomputeBounds(*f.b);
  rovana::GeoBounds far;
  far.minLongitude = far.minLatitude = -1;
  far.maxLongitude = far.maxLatitude = -0.9;
  f.waypoints->UnloadOutside(far);
  ASSERT_EQ(f.b->loadState(), rovana::LoadState::Unloaded);
  ASSERT_TRUE(f.bPois->Points().empty());

  f.aPois->AddPoint(Named("Bench", 36000), -1, true);
  auto dialog = f.DetailsDialog();
  ChooseCollection(*dialog, f.bPois);
  dialog->accept();
  EXPECT_EQ(f.b->loadState(), rovana::LoadState::Loaded);
  ASSERT_EQ(f.bPois->count(), 2u) << "the file's own points are back, the moved one after them";
  EXPECT_EQ(f.bPois->Points()[0].name(), "Old");
  EXPECT_EQ(f.bPois->Points()[1].name(), "Bench");
  EXPECT_TRUE(f.b->modified());
}

TEST(PoiDialog, ANewRecordingIsStoredInTheChosenFilesFolderOnOk) {
  struct Case {
    const char* name;
    bool oldNote;
    bool toB;
    std::vector<std::string> existingInFolder;
    std::string wantWav;
  } cases[] = {
      {"a first note", false, false, {}, "audio_10_00_00.wav"},
      {"the name of another day's note is taken", false, false, {"audio_10_00_00.wav"}, "audio_10_00_00-2.wav"},
      {"replacing the old note", true, false, {}, "audio_10_00_00-2.wav"},
      {"into another file", true, true, {}, "audio_10_00_00.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    GeoPoint bench = Named("Bench", 36000);
    if (c.oldNote) {
      bench.setText(PointText::Wav, "audio_10_00_00.wav");
      Write(f.a->AttachmentFolder() / "audio_10_00_00.wav", "old note");
    }
    f.aPois->AddPoint(bench, -1, true);
    GpxParser* file = c.toB ? f.b : f.a;
    for (const std::string& n : c.existingInFolder) Write(file->AttachmentFolder() / n, "other " + n);

    auto dialog = f.DetailsDialog();
    Write(dialog->temporaryFile(), "new note");
    dialog->RecordingFinished(true);
    EXPECT_EQ(dialog->audioLabel()->text().toStdString(), "audio_tmp.wav");
    if (c.toB) ChooseCollection(*dialog, f.bPois);
    dialog->accept();

    const POIs* target = c.toB ? f.bPois : f.aPois;
    ASSERT_EQ(target->count(), 1u);
    EXPECT_EQ(target->Points()[0].text(PointText::Wav), c.wantWav);
    EXPECT_EQ(Read(file->AttachmentFolder() / c.wantWav), "new note");
    EXPECT_FALSE(fs::exists(dialog->temporaryFile()));
    for (const std::string& n : c.existingInFolder) EXPECT_EQ(Read(file->AttachmentFolder() / n), "other " + n);
    if (c.oldNote) {
      EXPECT_FALSE(fs::exists(f.a->AttachmentFolder() / "audio_10_00_00.wav")) << "the replaced note is deleted";
    }
  }
}

TEST(PoiDialog, ANewPointsRecordingIsNamedAfterItsStamp) {
  Fixture f;
  auto dialog = f.AddDialog(GeoPoint(0.9, 0.2));
  Write(dialog->temporaryFile(), "new note");
  dialog->RecordingFinished(true);
  dialog->accept();
  ASSERT_EQ(f.aPois->count(), 1u);
  const GeoPoint p = f.aPois->Points()[0];
  const std::string wav = p.text(PointText::Wav);
  EXPECT_EQ(wav, rovana::AudioNoteName(p.time()));
  EXPECT_EQ(Read(f.a->AttachmentFolder() / wav), "new note");
}

TEST(PoiDialog, OpeningPreparesTheTemporaryFileFromThePointsNote) {
  Fixture f;
  const fs::path temporary = f.data / "audio_tmp.wav";
  Write(temporary, "left over");
  f.aPois->AddPoint(Named("Plain", 100), -1, true);
  {
    auto dialog = f.DetailsDialog();
    EXPECT_FALSE(fs::exists(temporary)) << "no note: the old recording is deleted";
    EXPECT_FALSE(dialog->playButton()->isEnabled());
    EXPECT_FALSE(dialog->deleteAudioButton()->isEnabled());
    EXPECT_EQ(dialog->audioLabel()->text().toStdString(), f.Entry(rovana::lang::kWordNone));
  }
  // A wav text from a file that climbs out of the attachment folder.
  Write(f.data / "victim.wav", "precious");
  GeoPoint hostile = Named("Hostile", 200);
  hostile.setText(PointText::Wav, "../victim.wav");
  f.aPois->SelectPoint(*f.aPois->AddPoint(hostile, -1, true));
  auto dialog = f.DetailsDialog();
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_FALSE(dialog->deleteAudioButton()->isEnabled());
  ChooseCollection(*dialog, f.bPois);
  dialog->accept();
  EXPECT_EQ(Read(f.data / "victim.wav"), "precious");
  EXPECT_FALSE(fs::exists(f.b->AttachmentFolder() / "victim.wav"));
}

TEST(PoiDialog, DeletingTheNoteAsksWithItsNameAndDeletesOnYes) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    Fixture f;
    f.answer = yes;
    GeoPoint noted = Named("Bench", 36000);
    noted.setText(PointText::Wav, "audio_10_00_00.wav");
    GeoPoint* stored = f.aPois->AddPoint(noted, -1, true);
    const fs::path note = f.a->AttachmentFolder() / "audio_10_00_00.wav";
    Write(note, "bench note");

    auto dialog = f.DetailsDialog();
    ASSERT_TRUE(dialog->deleteAudioButton()->isEnabled());
    dialog->deleteAudioButton()->click();
    ASSERT_EQ(f.questions.size(), 1u);
    EXPECT_EQ(f.questions[0].toStdString(),
              f.Entry(rovana::lang::kPoiDeleteAudioQuestion) + " (audio_10_00_00.wav)?");
    EXPECT_EQ(fs::exists(note), !yes);
    EXPECT_EQ(fs::exists(dialog->temporaryFile()), !yes);
    EXPECT_EQ(dialog->deleteAudioButton()->isEnabled(), !yes);
    dialog->reject();
    EXPECT_EQ(stored->text(PointText::Wav), yes ? "" : "audio_10_00_00.wav")
        << "a deleted note is gone from the point even after Cancel";
  }
}

TEST(PoiDialog, DeletingANewRecordingKeepsThePointsOwnNote) {
  Fixture f;
  GeoPoint noted = Named("Bench", 36000);
  noted.setText(PointText::Wav, "audio_10_00_00.wav");
  GeoPoint* stored = f.aPois->AddPoint(noted, -1, true);
  const fs::path note = f.a->AttachmentFolder() / "audio_10_00_00.wav";
  Write(note, "bench note");
  auto dialog = f.DetailsDialog();
  Write(dialog->temporaryFile(), "new note");
  dialog->RecordingFinished(true);
  dialog->deleteAudioButton()->click();
  ASSERT_EQ(f.questions.size(), 1u);
  EXPECT_EQ(f.questions[0].toStdString(), f.Entry(rovana::lang::kPoiDeleteAudioQuestion) + " (audio_tmp.wav)?");
  EXPECT_EQ(Read(note), "bench note");
  EXPECT_EQ(Read(dialog->temporaryFile()), "bench note") << "the old note is back for playing";
  EXPECT_EQ(dialog->audioLabel()->text().toStdString(), "audio_10_00_00.wav");
  dialog->accept();
  EXPECT_EQ(stored->text(PointText::Wav), "audio_10_00_00.wav");
  EXPECT_EQ(Read(note), "bench note");
}

TEST(PoiDialog, RecordingWithoutAnAudioDeviceFailsCleanly) {
  Fixture f;
  f.aPois->AddPoint(Named("Bench", 36000), -1, true);
  auto dialog = f.DetailsDialog();
  if (!rovana::dialogs::AudioNote::Available()) {
    EXPECT_FALSE(dialog->recordButton()->isEnabled()) << "without Qt Multimedia the audio buttons are off";
    return;
  }
  ASSERT_TRUE(dialog->recordButton()->isEnabled());
  dialog->recordButton()->click();
  EXPECT_EQ(dialog->recordButton()->text().toStdString(), f.Entry(rovana::lang::kPoiRecord)) << "not recording";
  EXPECT_NE(dialog->audioLabel()->text().indexOf("recording refused"), -1) << dialog->audioLabel()->text().toStdString();
  EXPECT_NE(f.LogText().find("Audio note: no audio input no-such-device"), std::string::npos) << f.LogText();
  dialog->accept();
  EXPECT_EQ(f.aPois->Points()[0].text(PointText::Wav), "") << "no note from a failed recording";
}

TEST(PoiDialog, ThePageShownLastIsRemembered) {
  Fixture f;
  f.home.settings->poiTab = static_cast<int>(PoiTab::Attachments);
  auto dialog = f.AddDialog(GeoPoint(0.9, 0.2));
  EXPECT_EQ(dialog->tabs()->currentIndex(), static_cast<int>(PoiTab::Attachments));
  dialog->tabs()->setCurrentIndex(static_cast<int>(PoiTab::General));
  dialog->reject();
  EXPECT_EQ(f.home.settings->poiTab, static_cast<int>(PoiTab::General));

  f.home.settings->poiTab = 7;  // from an old or edited settings file
  auto again = f.AddDialog(GeoPoint(0.9, 0.2));
  EXPECT_EQ(again->tabs()->currentIndex(), static_cast<int>(PoiTab::Attachments));
}

}  // namespace
