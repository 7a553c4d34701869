// Online tiles on the map view, offscreen: a cached tile is decoded and
// drawn where the view puts it (and nowhere when the view is not north-up),
// and the online maps dialog writes its page and clears the cache only
// after asking.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <chrono>
#include <thread>

#include "app/core/SettingsStore.h"
#include "app/dialogs/OnlineMapsDialog.h"
#include "app/maps/Loader.h"
#include "app/maps/OnlineMaps.h"
#include "app/ui/MapView.h"
#include "tests/app/maps/TileTestData.h"
#include "tests/app/ui/WaypointsFixture.h"

using namespace rovana;

namespace {

constexpr int kW = 480, kH = 640;
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kTileRed = qRgb(200, 30, 30);  // the colour of kTinyPng

struct TileScene {
  testing_support::WaypointsFixture f;
  SettingsStore& s = *f.home.settings;
  maps::Loader downloads{"tiles", maps::LoaderPolicy::OldestFirst, 10};
  maps::Loader pictures{"pictures", maps::LoaderPolicy::OldestFirst, 10};
  maps::OnlineMaps tiles{downloads, pictures, {}, {}};
  ui::MapView view{s};
  screen::ViewBinding binding = screen::BindView(s);
  QImage image{kW, kH, QImage::Format_RGB32};
  ui::MapFrame frame;

  TileScene() {
    downloads.Start();
    pictures.Start();
    s.gridEnabled = false;
    s.followUser = false;
    s.translateX = s.translateY = 0;
    s.zoomN3 = 100;  // level 1 fits: four tiles around (0, 0)
    s.mapsOnlineType = 1;
    s.mapsOnlineDownload = 0;
    frame.width = kW;
    frame.height = kH;
    frame.verticalOffsetUnits = 0;
    const std::filesystem::path cache = f.home.folder() / "cache";
    testing_support::WriteFile(cache / "gm_0_0_1.png", testing_support::kTinyPng);  // the north-west quarter
    tiles.InitialiseCache(cache);
    ui::MapViewInputs inputs;
    inputs.tiles = [this](const maps::ViewTransform& t) {
      maps::OnlineMapsConfig c;
      c.type = s.mapsOnlineType;
      c.download = false;
      return tiles.Paint(t, c, 0);
    };
    inputs.tileStatus = [] { return std::string("Decoding tiles..."); };
    view.SetInputs(inputs);
  }
  void Paint() {
    image.fill(kWhite);
    QPainter painter(&image);
    view.Build(binding, frame);
    view.PaintLayers(painter, frame, nullptr, nullptr);
  }
  // Paints until the decode of the cached tile has come back.
  void PaintUntilDecoded() {
    for (int round = 0; round < 200; ++round) {
      Paint();
      if (view.tilesDrawn() > 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
};

TEST(OnlineMapsView, ACachedTileIsDrawnInItsQuarter) {
  TileScene sc;
  sc.PaintUntilDecoded();
  ASSERT_EQ(sc.view.tilesDrawn(), 1);
  const maps::ScreenPoint centre = sc.view.transform().centrePixel();
  const int cx = static_cast<int>(centre.x), cy = static_cast<int>(centre.y);
  EXPECT_EQ(sc.image.pixel(cx - 40, cy - 40), kTileRed) << "north-west of (0, 0)";
  EXPECT_EQ(sc.image.pixel(cx + 40, cy + 40), kWhite) << "south-east: no tile cached";
  EXPECT_EQ(sc.image.pixel(cx + 40, cy - 40), kWhite) << "north-east: no tile cached";
}

TEST(OnlineMapsView, NoTilesUnlessNorthUpAndEnabled) {
  struct Case {
    const char* name;
    int heading;
    bool enabled, hyperzooming;
    int drawn;
  } cases[] = {
      {"north-up and enabled", 0, true, false, 1},
      {"course up", 1, true, false, 0},
      {"switched off", 0, false, false, 0},
      {"switched off but hyperzooming", 0, false, true, 1},
  };
  TileScene sc;
  sc.PaintUntilDecoded();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sc.s.heading = sc.s.headingH = c.heading;
    sc.s.rotate = sc.s.rotateH = c.heading ? 1.0 : 0.0;
    sc.s.mapsOnlineEnabled = c.enabled;
    sc.s.hyperzooming = c.hyperzooming;
    sc.s.zoomH3 = 100;
    sc.binding = screen::BindView(sc.s);
    sc.Paint();
    EXPECT_EQ(sc.view.tilesDrawn(), c.drawn);
  }
}

TEST(OnlineMapsDialog, WritesThePageAndClearsOnlyAfterAsking) {
  testing_support::WaypointsFixture f;
  SettingsStore& s = *f.home.settings;
  int asked = 0, cleared = 0;
  bool answer = false;
  dialogs::DialogAsker asker;
  asker.question = [&](const QString& q) {
    ++asked;
    EXPECT_TRUE(q.startsWith("Delete all stored map tiles"));
    return answer;
  };
  dialogs::OnlineMapsDialog dialog(s, *f.home.language, nullptr, asker, [&] { ++cleared; });
  dialog.clearButton()->click();
  EXPECT_EQ(cleared, 0) << "cancelled";
  answer = true;
  dialog.clearButton()->click();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(cleared, 1);

  dialog.showBox()->setChecked(false);
  dialog.downloadBox()->setCurrentIndex(2);
  dialog.typeBox()->setCurrentIndex(3);
  dialog.hiResBox()->setChecked(true);
  dialog.cacheSizeBox()->setValue(1234);
  dialog.templateEdit()->setText("  https://tile.example.org/{z}/{x}/{y}.png ");
  dialog.mapHostEdit()->setText("http://127.0.0.1:8642");
  dialog.satHostEdit()->setText("");
  dialog.accept();
  EXPECT_FALSE(s.mapsOnlineEnabled);
  EXPECT_EQ(s.mapsOnlineDownload, 2);
  EXPECT_EQ(s.mapsOnlineType, 3);
  EXPECT_TRUE(s.mapsOnlineHiRes);
  EXPECT_EQ(s.mapsOnlineCacheSize, 1234);
  EXPECT_EQ(s.mapsOnlineTemplate, "https://tile.example.org/{z}/{x}/{y}.png");
  EXPECT_EQ(s.mapsOnlineMapHost, "http://127.0.0.1:8642");
  EXPECT_EQ(s.mapsOnlineSatHost, "");
}

}  // namespace
