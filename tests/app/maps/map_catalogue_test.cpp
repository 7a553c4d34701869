// The catalogue over real folders: which files are maps, their order, the
// selected and hidden maps, and pictures loaded through a real worker.
#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/core/SettingsStore.h"
#include "app/maps/Loader.h"
#include "app/maps/MapCatalogue.h"
#include "tests/app/maps/TestGrids.h"
#include "tests/support/LoggedFolder.h"
#include "tests/support/TempRegistry.h"

namespace {

namespace fs = std::filesystem;
using rovana::maps::MapCatalogue;
using rovana::maps::MapImage;

class CatalogueTest : public testing_support::LoggedFolderTest {
 protected:
  void SetUp() override {
    LoggedFolderTest::SetUp();
    settings_ = std::make_unique<rovana::SettingsStore>(folder_);
    primary_ = folder_ / "data";
    secondary_ = folder_ / "examples";
    fs::create_directories(primary_);
    fs::create_directories(secondary_);
    settings_->primaryDataPath = primary_.string();
    settings_->secondaryDataPath = secondary_.string();
    catalogue_ = std::make_unique<MapCatalogue>(*settings_, grids_, pictures_);
  }
  void TearDown() override {
    catalogue_.reset();
    LoggedFolderTest::TearDown();
  }

  static void Touch(const fs::path& file, const std::string& text = "") {
    std::ofstream out(file, std::ios::binary);
    out << text;
  }
  // A 1-point map of the default grid whose ground width is `widthM`.
  static void Calibrated(const fs::path& folder, const std::string& name, double widthM) {
    Touch(folder / name);
    Touch(folder / (name.substr(0, name.size() - 3) + "txt"),
          "width = 400\nheight = 300\nlat1 = 50\nlon1 = 10\nwidthM = " + std::to_string(widthM) + "\n");
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& map : catalogue_->maps()) names.push_back(map->name());
    return names;
  }

  testing_support::TempRegistry registry_;
  testing_support::TestGrids grids_;
  rovana::maps::Loader pictures_{"pictures", rovana::maps::LoaderPolicy::OldestFirst, 10};
  std::unique_ptr<rovana::SettingsStore> settings_;
  std::unique_ptr<MapCatalogue> catalogue_;
  fs::path primary_, secondary_;
};

TEST_F(CatalogueTest, LargerCalibratedMapsComeFirstThenUncalibratedOnesInDiscoveryOrder) {
  struct File {
    const char* name;
    double widthM;  // 0: uncalibrated
  };
  struct Case {
    const char* name;
    std::vector<File> files;
    std::vector<std::string> expected;
  } cases[] = {
      {"small found first", {{"s.gif", 2000}, {"b.jpg", 3000}, {"u.png", 0}}, {"b.jpg", "s.gif", "u.png"}},
      {"big found first", {{"b.gif", 3000}, {"s.jpg", 2000}, {"u.png", 0}}, {"b.gif", "s.jpg", "u.png"}},
      {"uncalibrated found first", {{"u.gif", 0}, {"s.bmp", 2000}, {"b.png", 3000}}, {"b.png", "s.bmp", "u.gif"}},
      {"equal areas keep discovery order", {{"u1.gif", 0}, {"e1.gif", 2000}, {"e2.jpg", 2000}, {"u2.png", 0}},
       {"e1.gif", "e2.jpg", "u1.gif", "u2.png"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(primary_);
    fs::create_directories(primary_);
    for (const File& f : c.files) {
      if (f.widthM > 0)
        Calibrated(primary_, f.name, f.widthM);
      else
        Touch(primary_ / f.name);
    }
    catalogue_ = std::make_unique<MapCatalogue>(*settings_, grids_, pictures_);
    catalogue_->Load();
    EXPECT_EQ(Names(), c.expected);
    // Areas 4 and 9 as the sizes say: 2000 m and 3000 m wide, same shape.
    if (catalogue_->at(0).area() != catalogue_->at(1).area())
      EXPECT_NEAR(catalogue_->at(1).area() / catalogue_->at(0).area(), 4.0 / 9.0, 1e-3);
  }
}

// Guards the extension test: it matches the end of the name only.
TEST_F(CatalogueTest, MapFilesAreThoseWhoseNameEndsWithAPictureExtension) {
  for (const char* name : {"x.gif.png", "Y.PNG", "photo.Jpg", "z.png.txt", "w.jpeg", "noext", ".png", "icon.ico",
                           "a.bmp", "gif"})
    Touch(primary_ / name);
  fs::create_directories(primary_ / "folder.png");
  catalogue_->Load();
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.bmp", "photo.Jpg", "Y.PNG", "x.gif.png", "icon.ico"}));
  EXPECT_EQ(catalogue_->CountMapFiles(), 5);
  EXPECT_NE(LogText().find("Loading .png maps from " + primary_.string() + "..."), std::string::npos);
}

TEST_F(CatalogueTest, BothFoldersAreScannedUnlessTheyAreTheSame) {
  Touch(primary_ / "p.png");
  Touch(secondary_ / "s.png");
  std::vector<std::string> progress;
  catalogue_->Load([&](const std::string& name) { progress.push_back(name); });
  EXPECT_EQ(Names(), (std::vector<std::string>{"p.png", "s.png"}));
  EXPECT_EQ(progress, Names());
  EXPECT_EQ(catalogue_->at(1).folder(), secondary_.string());

  settings_->secondaryDataPath = primary_.string() + "/";
  catalogue_ = std::make_unique<MapCatalogue>(*settings_, grids_, pictures_);
  catalogue_->Load();
  EXPECT_EQ(Names(), (std::vector<std::string>{"p.png"}));
}

TEST_F(CatalogueTest, TheCatalogueHoldsAtMostAThousandMaps) {
  for (int i = 0; i < 1003; ++i) Touch(primary_ / ("m" + std::to_string(10000 + i) + ".png"));
  catalogue_->Load();
  EXPECT_EQ(catalogue_->size(), 1000u);
  EXPECT_EQ(catalogue_->CountMapFiles(), 1000);
  EXPECT_FALSE(catalogue_->Insert(std::make_unique<MapImage>(catalogue_->environment(), primary_.string(), "x.png")));
}

TEST_F(CatalogueTest, TheSelectedMapComesFromTheSettingOrIsTheFirst) {
  Calibrated(primary_, "a.png", 3000);
  Calibrated(primary_, "b.png", 2000);
  struct Case {
    const char* name;
    std::string setting;
    std::string selected;
  } cases[] = {{"named map", "b.png", "b.png"},
               {"a map that is gone: the first, and the setting rewritten", "gone.png", "a.png"},
               {"no setting", "", "a.png"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings_->selectedMap = c.setting;
    catalogue_ = std::make_unique<MapCatalogue>(*settings_, grids_, pictures_);
    catalogue_->Load();
    ASSERT_NE(catalogue_->selected(), nullptr);
    EXPECT_EQ(catalogue_->selected()->name(), c.selected);
    EXPECT_EQ(settings_->selectedMap, c.selected);
  }
  catalogue_->SetSelected(catalogue_->Find("b.png"));
  EXPECT_EQ(settings_->selectedMap, "b.png");
  catalogue_ = std::make_unique<MapCatalogue>(*settings_, grids_, pictures_);
  catalogue_->Load();  // empty folders would leave nothing selected
  fs::remove_all(primary_);
  catalogue_ = std::make_unique<MapCatalogue>(*settings_, grids_, pictures_);
  catalogue_->Load();
  EXPECT_EQ(catalogue_->selected(), nullptr);
  EXPECT_EQ(settings_->selectedMap, "b.png");
}

TEST_F(CatalogueTest, HiddenMapsAreKeptInTheSetting) {
  Calibrated(primary_, "a.png", 3000);
  Calibrated(primary_, "b.png", 2000);
  settings_->hiddenMaps.Add("b.png");
  catalogue_->Load();
  EXPECT_TRUE(catalogue_->Find("a.png")->visible());
  EXPECT_FALSE(catalogue_->Find("b.png")->visible());
  catalogue_->SetVisible(*catalogue_->Find("a.png"), false);
  catalogue_->SetVisible(*catalogue_->Find("b.png"), true);
  EXPECT_EQ(settings_->hiddenMaps.items(), std::vector<std::string>{"a.png"});
  EXPECT_FALSE(catalogue_->Find("a.png")->visible());
  EXPECT_EQ(catalogue_->VisibleCalibrated(), std::vector<MapImage*>{catalogue_->Find("b.png")});
}

TEST_F(CatalogueTest, OnlyVisibleCalibratedMapsAreDrawable) {
  Calibrated(primary_, "big.png", 3000);
  Calibrated(primary_, "small.png", 2000);
  Touch(primary_ / "plain.png");
  catalogue_->Load();
  EXPECT_EQ(catalogue_->VisibleCalibrated(),
            (std::vector<MapImage*>{catalogue_->Find("big.png"), catalogue_->Find("small.png")}));
  catalogue_->Find("big.png")->Decalibrate();
  EXPECT_EQ(catalogue_->VisibleCalibrated(), std::vector<MapImage*>{catalogue_->Find("small.png")});
  EXPECT_FALSE(fs::exists(primary_ / "big.txt"));
}

class PictureLoadingTest : public CatalogueTest {
 protected:
  void SavePng(const std::string& name, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(QString::fromStdString((primary_ / name).string()), "PNG"));
  }
  bool PollPicture(MapImage& map) {
    for (int i = 0; i < 500; ++i) {
      if (map.EnsurePicture(pictures_)) return true;
      if (map.failed()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

TEST_F(PictureLoadingTest, APictureIsDecodedOnTheWorkerAndFreedAgain) {
  SavePng("p.png", 64, 48);
  catalogue_->Load();
  MapImage& map = catalogue_->at(0);
  EXPECT_FALSE(map.EnsurePicture(pictures_));  // a job is queued; the worker is not running yet
  EXPECT_TRUE(map.pictureJobPending());
  pictures_.Start();
  ASSERT_TRUE(PollPicture(map));
  EXPECT_EQ(map.width(), 64);
  EXPECT_EQ(map.height(), 48);
  EXPECT_FALSE(map.pictureJobPending());
  ASSERT_NE(map.picture(), nullptr);
  EXPECT_TRUE(map.FreePicture());
  EXPECT_FALSE(map.loaded());
}

TEST_F(PictureLoadingTest, APictureThatFailsIsNotTriedAgainUntilFreed) {
  Touch(primary_ / "bad.png", "not a picture");
  pictures_.Start();
  catalogue_->Load();
  MapImage& map = catalogue_->at(0);
  EXPECT_FALSE(PollPicture(map));
  EXPECT_TRUE(map.failed());
  EXPECT_FALSE(map.EnsurePicture(pictures_));  // the next redraw
  EXPECT_FALSE(map.pictureJobPending());
  EXPECT_EQ(pictures_.pending(), 0);
  EXPECT_NE(LogText().find("bad.png"), std::string::npos);
  map.FreePicture();
  EXPECT_FALSE(map.failed());
  EXPECT_FALSE(map.EnsurePicture(pictures_));
  EXPECT_TRUE(map.pictureJobPending());  // tried again after freeing
}

TEST_F(PictureLoadingTest, AWaitingJobIsCancelledWhenThePictureIsFreed) {
  SavePng("p.png", 8, 8);
  catalogue_->Load();
  MapImage& map = catalogue_->at(0);
  map.EnsurePicture(pictures_);
  ASSERT_EQ(pictures_.pending(), 1);
  EXPECT_TRUE(map.FreePicture());
  EXPECT_FALSE(map.pictureJobPending());
  EXPECT_EQ(pictures_.pending(), 0);
  map.setPinned(true);
  pictures_.Start();
  ASSERT_TRUE(PollPicture(map));
  EXPECT_FALSE(map.FreePicture());  // pinned while being calibrated
  EXPECT_TRUE(map.loaded());
}

TEST_F(PictureLoadingTest, LoadingNowFreesTheOtherPictures) {
  SavePng("a.png", 8, 8);
  SavePng("b.png", 16, 4);
  pictures_.Start();
  catalogue_->Load();
  MapImage& a = *catalogue_->Find("a.png");
  MapImage& b = *catalogue_->Find("b.png");
  ASSERT_TRUE(PollPicture(a));
  EXPECT_TRUE(catalogue_->EnsurePictureNow(b, 10, 50));
  EXPECT_TRUE(b.loaded());
  EXPECT_FALSE(a.loaded());
  EXPECT_EQ(b.width(), 16);
}

}  // namespace
