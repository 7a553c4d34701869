// The map view painted offscreen: a track in its colour where the transform
// puts it, a map picture stretched to its corners (outlines when it is not
// north-up), the user symbol at the fix, the heading arrow, collections
// shown as anchors when zoomed out, the deepest zoom without artefacts, and
// the locator lines of the marker, the catalogue as the maps input.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>

#include "app/core/SettingsStore.h"
#include "app/dialogs/CalibrationChoiceDialog.h"
#include "app/maps/Loader.h"
#include "app/maps/MapCatalogue.h"
#include "app/maps/MapImage.h"
#include "app/ui/MainScreen.h"
#include "app/ui/MapViewMaps.h"
#include "app/ui/MapView.h"
#include "app/ui/Symbols.h"
#include "tests/app/maps/TestGrids.h"
#include "tests/app/ui/WaypointsFixture.h"

using namespace rovana;
using rovana::ui::MapFrame;
using rovana::ui::MapPicture;
using rovana::ui::MapView;

namespace {

constexpr double kDeg = maps::kPi / 180;
constexpr int kW = 480, kH = 640;
const QRgb kWhite = qRgb(255, 255, 255);

// A track "Line" northwards from 52.5 N 13.4 E, 200 points 1 m apart.
std::string TrackGpx(int points, double stepDeg) {
  std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\"><trk><name>Line</name><trkseg>\n";
  for (int i = 0; i < points; ++i) {
    char row[96];
    std::snprintf(row, sizeof row, "<trkpt lat=\"%.7f\" lon=\"13.4\"/>\n", 52.5 + i * stepDeg);
    gpx += row;
  }
  return gpx + "</trkseg></trk></gpx>\n";
}

struct Scene {
  testing_support::WaypointsFixture f;
  SettingsStore& s = *f.home.settings;
  MapView view{s};
  ui::SymbolTable symbols{std::vector<std::filesystem::path>{}};
  screen::ViewBinding binding = screen::BindView(s);
  QImage image{kW, kH, QImage::Format_RGB32};
  MapFrame frame;

  Scene() {
    s.gridEnabled = false;
    s.labels2Enabled = false;
    s.followUser = false;
    s.heading = 0;
    frame.width = kW;
    frame.height = kH;
    frame.dpi = 192;
    frame.verticalOffsetUnits = 0;
  }
  void LookAt(double latDeg, double lonDeg, double metresPerPixel) {
    s.translateX = -lonDeg * kDeg;
    s.translateY = -latDeg * kDeg;
    s.zoomN3 = kEarthRadius * std::cos(latDeg * kDeg) / metresPerPixel;
  }
  void Paint() {
    image.fill(kWhite);
    QPainter painter(&image);
    view.Build(binding, frame);
    view.PaintLayers(painter, frame, f.waypoints.get(), &symbols);
  }
  QRgb At(maps::ScreenPoint p, int dx = 0, int dy = 0) const {
    return image.pixel(static_cast<int>(std::lround(p.x)) + dx, static_cast<int>(std::lround(p.y)) + dy);
  }
  int CountNotWhite(QRect r) const {
    int n = 0;
    for (int y = std::max(0, r.top()); y <= std::min(kH - 1, r.bottom()); ++y)
      for (int x = std::max(0, r.left()); x <= std::min(kW - 1, r.right()); ++x) n += image.pixel(x, y) != kWhite;
    return n;
  }
};

// A 100 x 100 pixel picture over 0.01 x 0.01 degrees east and south of
// (west, north): its transform from (longitude, latitude) to pixels.
matrixT HundredPixelsOver(double westDeg, double northDeg) {
  matrixT m;
  m.Resize(3, 3);
  m(0, 0) = 100 / (0.01 * kDeg);
  m(0, 2) = -westDeg * kDeg * 100 / (0.01 * kDeg);
  m(1, 1) = -100 / (0.01 * kDeg);
  m(1, 2) = northDeg * kDeg * 100 / (0.01 * kDeg);
  m(2, 2) = 1;
  return m;
}

}  // namespace

TEST(MapView, TrackIsDrawnInItsColourWhereTheTransformPutsIt) {
  Scene sc;
  sc.f.Write("Line.gpx", TrackGpx(200, 0.00001).c_str());  // about 1.1 m apart
  sc.f.waypoints->LoadAll();
  POIs* track = sc.f.Collection("Line.gpx/Line");
  ASSERT_NE(track, nullptr);
  track->SetColor(0x0000FF);  // red
  track->SetWidth(2);
  sc.LookAt(52.501, 13.4, 0.5);
  sc.Paint();
  EXPECT_EQ(sc.view.collectionsDrawn(), 1);
  const maps::ViewTransform& t = sc.view.transform();
  const std::vector<GeoPoint> points = track->Points();
  for (std::size_t i : {10u, 50u, 100u, 150u, 190u}) {
    const maps::ScreenPoint p = t.ToScreen(points[i]);
    ASSERT_TRUE(p.x > 0 && p.x < kW && p.y > 0 && p.y < kH) << i;
    EXPECT_EQ(sc.At(p), qRgb(255, 0, 0)) << i;
    EXPECT_EQ(sc.At(p, 20, 0), kWhite) << i;   // beside the line: background
    EXPECT_EQ(sc.At(p, -20, 0), kWhite) << i;
  }
}

TEST(MapView, MapPictureIsStretchedToItsCornersAndOutlinedWhenNotNorthUp) {
  // A 100 x 100 picture in four coloured quarters over 0.01 x 0.01 degrees.
  QImage picture(100, 100, QImage::Format_RGB32);
  const QRgb quarter[4] = {qRgb(255, 0, 0), qRgb(0, 160, 0), qRgb(0, 0, 255), qRgb(200, 200, 0)};
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) picture.setPixel(x, y, quarter[(y >= 50) * 2 + (x >= 50)]);
  const double west = 13.40 * kDeg, east = 13.41 * kDeg, north = 52.51 * kDeg, south = 52.50 * kDeg;
  MapPicture map;
  map.picture = picture;
  map.size = picture.size();
  map.state = MapPicture::State::Loaded;
  map.toPixel.Identity();
  map.toPixel.Resize(3, 3);
  map.toPixel(0, 0) = 100 / (east - west);
  map.toPixel(0, 2) = -west * 100 / (east - west);
  map.toPixel(1, 1) = -100 / (north - south);
  map.toPixel(1, 2) = north * 100 / (north - south);
  map.toPixel(2, 2) = 1;

  struct Row {
    int headingMode;
    MapPicture::State state;
    bool picture;
    QRgb centre;  // the colour inside, away from the corners
  } rows[] = {
      {0, MapPicture::State::Loaded, true, 0},
      {1, MapPicture::State::Loading, false, qRgb(200, 200, 200)},
      {1, MapPicture::State::Failed, false, qRgb(255, 200, 200)},
      {0, MapPicture::State::Failed, false, qRgb(255, 200, 200)},
  };
  for (const Row& r : rows) {
    Scene sc;
    MapPicture shown = map;
    shown.state = r.state;
    if (!r.picture) shown.picture = QImage();
    sc.view.SetInputs({.maps = [&](const ui::MapRequest& request) {
      EXPECT_EQ(request.northUp, r.headingMode == 0);
      return std::vector<MapPicture>{shown};
    }});
    sc.s.heading = r.headingMode;
    sc.LookAt(52.505, 13.405, 2);
    sc.Paint();
    EXPECT_EQ(sc.view.mapsDrawn(), 1);
    const maps::ViewTransform& t = sc.view.transform();
    const maps::ScreenPoint tl = t.ToScreen(west, north), br = t.ToScreen(east, south);
    if (r.picture) {
      // Each corner of the screen rectangle shows its quarter; outside is white.
      EXPECT_EQ(sc.At(tl, 3, 3), quarter[0]);
      EXPECT_EQ(sc.At({br.x, tl.y}, -4, 3), quarter[1]);
      EXPECT_EQ(sc.At({tl.x, br.y}, 3, -4), quarter[2]);
      EXPECT_EQ(sc.At(br, -4, -4), quarter[3]);
      EXPECT_EQ(sc.At(tl, -3, -3), kWhite);
      EXPECT_EQ(sc.At(br, 3, 3), kWhite);
    } else {
      EXPECT_EQ(sc.At({(tl.x + br.x) / 2, (tl.y + br.y) / 2}), r.centre);
      EXPECT_EQ(sc.At(tl, 1, 1), qRgb(0, 0, 0));  // the 2 px outline
      EXPECT_EQ(sc.At(tl, -6, -6), kWhite);
    }
  }
}

TEST(MapView, MapsSmallerThanTenByTenPixelsAreNotDrawn) {
  struct Row {
    double metresPerPixel;
    int drawn;
  } rows[] = {{2, 1}, {50, 1}, {110, 1}, {120, 0}, {1000, 0}};  // the map is 0.01 degrees: 1112 m tall, 677 m wide
  for (const Row& r : rows) {
    Scene sc;
    MapPicture map;
    map.size = QSize(100, 100);
    map.state = MapPicture::State::Loading;
    map.toPixel = HundredPixelsOver(13.40, 52.51);
    sc.view.SetInputs({.maps = [&](const ui::MapRequest&) { return std::vector<MapPicture>{map}; }});
    sc.LookAt(52.505, 13.405, r.metresPerPixel);
    sc.Paint();
    EXPECT_EQ(sc.view.mapsDrawn(), r.drawn) << r.metresPerPixel;
  }
}

TEST(MapView, UserSymbolSitsOnTheFix) {
  Scene sc;
  sc.s.userEnabled = true;
  sc.s.userSymbol = "User";
  sc.s.directionEnabled = false;
  sc.LookAt(48, 11, 10);
  struct Row {
    double dLat, dLon;  // degrees from the centre
  } rows[] = {{0, 0}, {0.005, 0.003}, {-0.01, -0.005}};
  for (const Row& r : rows) {
    sc.frame.user = GeoPoint((48 + r.dLat) * kDeg, (11 + r.dLon) * kDeg);
    sc.Paint();
    const maps::ScreenPoint p = sc.view.transform().ToScreen(*sc.frame.user);
    const QPoint c(std::lround(p.x), std::lround(p.y));
    // The 20 x 20 symbol at 192 dpi is 40 x 40 around its hot-spot (10, 10).
    EXPECT_GT(sc.CountNotWhite(QRect(c - QPoint(20, 20), QSize(40, 40))), 40) << r.dLat;
    const int all = sc.CountNotWhite(QRect(0, 0, kW, kH));
    EXPECT_EQ(all, sc.CountNotWhite(QRect(c - QPoint(21, 21), QSize(42, 42)))) << "nothing elsewhere";
  }
}

TEST(MapView, HeadingArrowPointsAlongTheCourse) {
  struct Row {
    int mode;
    bool follow;
    double course, angle;
  } rows[] = {
      {0, false, 0, 0},                 // a northward course reads 0
      {0, false, maps::kPi / 2, maps::kPi / 2},
      {0, false, maps::kPi, maps::kPi},
      {1, true, 1.0, 0},                // course up: always straight up
      {1, true, 4.0, 0},
  };
  for (const Row& r : rows) {
    Scene sc;
    sc.s.directionEnabled = true;
    sc.s.directionSize = 9;
    sc.s.heading = r.mode;
    sc.s.followUser = r.follow;
    sc.LookAt(45, 7, 5);
    sc.frame.user = GeoPoint(45 * kDeg, 7 * kDeg);
    sc.frame.course = r.course;
    sc.Paint();
    ASSERT_TRUE(sc.view.headingArrow().has_value());
    const MapView::Arrow& a = *sc.view.headingArrow();
    EXPECT_NEAR(std::remainder(a.angle - r.angle, 2 * maps::kPi), 0, 1e-9) << r.course;
    const double length = std::hypot(a.to.x() - a.from.x(), a.to.y() - a.from.y());
    EXPECT_NEAR(length, 90, 0.5);  // directionSize x 5 at 192 dpi
    if (r.angle == 0) {
      EXPECT_NEAR(a.to.x(), a.from.x(), 1e-9);
      EXPECT_LT(a.to.y(), a.from.y());
      // The arrow's pixels are above the user, in the direction colour.
      EXPECT_EQ(sc.image.pixel(std::lround(a.from.x()), std::lround(a.from.y() - 45)), qRgb(255, 100, 100));
    }
  }
}

TEST(MapView, ZoomedOutCollectionsShowTheirAnchorOnly) {
  Scene sc;
  sc.f.Write("Line.gpx", TrackGpx(200, 0.00001).c_str());
  sc.f.waypoints->LoadAll();
  sc.LookAt(52.5, 13.4, 1000);  // 220 m of track is far below 10 x 10 pixels
  sc.Paint();
  EXPECT_EQ(sc.view.collectionsDrawn(), 0);
  EXPECT_EQ(sc.view.verticesDrawn(), 0u);
  POIs* track = sc.f.Collection("Line.gpx/Line");
  ASSERT_NE(track, nullptr);
  const maps::ScreenPoint a = sc.view.transform().ToScreen(track->anchor());
  EXPECT_GT(sc.CountNotWhite(QRect(std::lround(a.x) - 20, std::lround(a.y) - 20, 40, 40)), 20);
  sc.LookAt(52.501, 13.4, 0.5);
  sc.Paint();
  EXPECT_EQ(sc.view.collectionsDrawn(), 1);
}

TEST(MapView, PointsWithAnAudioNoteCarryTheNoteMark) {
  Scene sc;
  sc.f.Write("Notes.gpx",
             "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\">\n"
             "<wpt lat=\"48.0\" lon=\"11.0\"><name>Plain</name><sym>Pin</sym></wpt>\n"
             "<wpt lat=\"48.001\" lon=\"11.001\"><name>Spoken</name><sym>Pin</sym><wav>note.wav</wav></wpt>\n"
             "</gpx>\n");
  sc.f.waypoints->LoadAll();
  sc.LookAt(48.0005, 11.0005, 1);
  sc.Paint();
  EXPECT_EQ(sc.view.audioMarksDrawn(), 1);
  // The mark's dark body lies 2 px (4 at 192 dpi) inside the pin's top-left
  // corner; the plain point has nothing there.
  const ui::Symbol& pin = sc.symbols.Find("Pin");
  auto markArea = [&](double latDeg, double lonDeg) {
    const maps::ScreenPoint p = sc.view.transform().ToScreen(lonDeg * kDeg, latDeg * kDeg);
    const QPoint topLeft(std::lround(p.x) - pin.hotSpot.x() * 2, std::lround(p.y) - pin.hotSpot.y() * 2);
    int dark = 0;
    for (int y = 4; y < 20; ++y)
      for (int x = 4; x < 20; ++x) dark += qGray(sc.image.pixel(topLeft + QPoint(x, y))) < 60;
    return dark;
  };
  EXPECT_GT(markArea(48.001, 11.001), 20);
  EXPECT_LT(markArea(48.0, 11.0), markArea(48.001, 11.001) / 2);
}

TEST(MapView, DisplayGridDecidesWhichPicturesShowAndTurnsTheView) {
  // A 100 x 100 red picture over 0.01 x 0.01 degrees.
  QImage red(100, 100, QImage::Format_RGB32);
  red.fill(qRgb(255, 0, 0));
  MapPicture map;
  map.picture = red;
  map.size = red.size();
  map.state = MapPicture::State::Loaded;
  map.toPixel = HundredPixelsOver(13.40, 52.51);
  constexpr double kConvergence7 = 0.01;  // radians, the test's grid 7
  struct Row {
    bool gridAuto;
    int locatorGrid, mapGrid;
    QRgb centre;
    double rotation;
  } rows[] = {
      {false, 0, 0, qRgb(255, 0, 0), 0},
      {false, 0, 7, qRgb(200, 200, 200), 0},    // another grid: the outline only
      {false, 7, 7, qRgb(255, 0, 0), kConvergence7},
      {true, 0, 7, qRgb(255, 0, 0), kConvergence7},  // the view turns to the map's grid
  };
  for (const Row& r : rows) {
    Scene sc;
    sc.s.gridAuto = r.gridAuto;
    sc.s.locatorGrid = r.locatorGrid;
    MapPicture shown = map;
    shown.grid = r.mapGrid;
    sc.view.SetInputs({.gridConvergence = [](const GeoPoint&, int grid) { return grid == 7 ? kConvergence7 : 0.0; },
                       .maps = [&](const ui::MapRequest& request) {
                         MapPicture m = shown;
                         if (request.displayGrid != m.grid) m.picture = QImage();  // as the catalogue frees it
                         return std::vector<MapPicture>{m};
                       },
                       .autoGrid = [&](const ui::MapRequest&) { return std::optional<int>(r.mapGrid); }});
    sc.LookAt(52.505, 13.405, 2);
    sc.Paint();
    EXPECT_NEAR(sc.view.transform().rotation(), r.rotation, 1e-12) << r.gridAuto << r.mapGrid;
    EXPECT_EQ(sc.view.displayGrid(), r.gridAuto ? r.mapGrid : r.locatorGrid);
    const maps::ScreenPoint c = sc.view.transform().ToScreen(13.405 * kDeg, 52.505 * kDeg);
    EXPECT_EQ(sc.At(c), r.centre) << r.gridAuto << r.mapGrid;
  }
}

TEST(MapView, CompassShowsThePromptTheLabelsAndTheTrainerOnItsRim) {
  // Each row paints the compass with one thing more than the plain one; the
  // region where that thing belongs must change, and only there.
  struct Row {
    const char* what;
    int prompt;
    bool userLabel, targetLabel, trainer;
    QRect changed;  // within the 200 x 200 compass
  } rows[] = {
      {"left prompt", 2, false, false, false, QRect(64, 64, 72, 72)},
      {"arrived prompt", 5, false, false, false, QRect(64, 64, 72, 72)},
      {"user label", 0, true, false, false, QRect(40, 40, 120, 30)},
      {"target label", 0, false, true, false, QRect(40, 130, 120, 30)},
      {"trainer due east", 0, false, false, true, QRect(170, 80, 30, 40)},
  };
  auto paint = [](const Row* r) {
    Scene sc;
    sc.s.compassDirectionEnabled = false;
    sc.s.compassLabelUser = r && r->userLabel;
    sc.s.compassLabelTarget = r && r->targetLabel;
    sc.s.trainerVisible = true;
    sc.s.headingCompass = 0;
    sc.LookAt(48, 11, 1000);
    sc.frame.user = GeoPoint(48 * kDeg, 11 * kDeg);
    sc.frame.course = 0;
    const bool trainer = r && r->trainer;
    sc.view.SetInputs({.target = [] { return std::optional<GeoPoint>(GeoPoint(47 * kDeg, 11 * kDeg)); },
                       .trainer = [trainer]() -> std::optional<GeoPoint> {
                         if (!trainer) return std::nullopt;
                         return GeoPoint(48 * kDeg, 14 * kDeg);  // far east: on the rim
                       },
                       .directionPrompt = [r] { return r ? r->prompt : 0; },
                       .text = [](int) { return std::string("U"); }});
    sc.s.targetEnabled = false;  // no target rim marker, only its label
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(kWhite);
    QPainter painter(&image);
    sc.view.Build(sc.binding, sc.frame);
    sc.view.PaintCompass(painter, QRect(0, 0, 200, 200), sc.frame, nullptr, &sc.symbols);
    return image;
  };
  const QImage plain = paint(nullptr);
  for (const Row& r : rows) {
    const QImage with = paint(&r);
    int inside = 0, outside = 0;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 200; ++x)
        if (with.pixel(x, y) != plain.pixel(x, y)) ++(r.changed.contains(x, y) ? inside : outside);
    EXPECT_GT(inside, 15) << r.what;
    EXPECT_EQ(outside, 0) << r.what;
  }
}

TEST(MapView, DeepestZoomDrawsOnlyTheLineThroughTheScreen) {
  Scene sc;
  // Two points 2 degrees apart on a diagonal through the view centre.
  sc.f.Write("Long.gpx",
             "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\"><trk><name>Long</name><trkseg>\n"
             "<trkpt lat=\"51.5\" lon=\"12.4\"/><trkpt lat=\"53.5\" lon=\"14.4\"/>\n</trkseg></trk></gpx>\n");
  sc.f.waypoints->LoadAll();
  POIs* track = sc.f.Collection("Long.gpx/Long");
  ASSERT_NE(track, nullptr);
  track->SetColor(0xFF0000);  // blue
  track->SetWidth(1);
  sc.LookAt(52.5, 13.4, 1);
  sc.s.zoomN3 = 1e12;  // clamped to the deepest zoom
  const auto start = std::chrono::steady_clock::now();
  sc.Paint();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  const maps::ViewTransform& t = sc.view.transform();
  EXPECT_DOUBLE_EQ(t.zoom(), maps::kMaxZoom * 2);
  const maps::ScreenPoint far = t.ToScreen(track->Points().front());
  EXPECT_GT(std::fabs(far.x), 1e6);
  // The line's pixels: blue, and every one lies on the line through both points.
  const maps::ScreenPoint p0 = far, p1 = t.ToScreen(track->Points().back());
  const double dx = p1.x - p0.x, dy = p1.y - p0.y, len = std::hypot(dx, dy);
  int coloured = 0, stray = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      if (sc.image.pixel(x, y) == kWhite) continue;
      ++coloured;
      const double distance = std::fabs(dx * (y - p0.y) - dy * (x - p0.x)) / len;
      if (distance > 3) ++stray;
    }
  EXPECT_GT(coloured, 300);  // it crosses the whole screen
  EXPECT_EQ(stray, 0);
  EXPECT_EQ(sc.At(t.centrePixel()), qRgb(0, 0, 255));
}

TEST(MapView, LocatorLinesFollowTheMarkerElseTheUser) {
  Scene sc;
  std::vector<GeoPoint> asked;
  sc.view.SetInputs({.locatorLines = [&](const GeoPoint& p) {
    asked.push_back(p);
    return std::vector<std::string>{"line " + std::to_string(asked.size())};
  }});
  MapFrame frame;
  EXPECT_TRUE(sc.view.LocatorLines(frame).empty());  // neither marker nor user
  frame.user = GeoPoint(0.1, 0.2);
  EXPECT_EQ(sc.view.LocatorLines(frame), std::vector<std::string>{"line 1"});
  frame.marker = GeoPoint(0.3, 0.4);
  EXPECT_EQ(sc.view.LocatorLines(frame), std::vector<std::string>{"line 2"});
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_DOUBLE_EQ(asked[1].latitude(), 0.3);
  MapView bare(sc.s);
  EXPECT_TRUE(bare.LocatorLines(frame).empty());  // not connected yet
}

TEST(MapView, GridLinesAppearInTheirColour) {
  Scene sc;
  sc.s.gridEnabled = true;
  sc.s.gridStep = 100;
  sc.s.gridWidth = 1;
  sc.s.gridCol = 0x00FF00;  // green
  sc.LookAt(10, 10, 1);     // 100 px apart
  sc.Paint();
  int green = 0;
  for (int x = 0; x < kW; ++x) green += sc.image.pixel(x, kH / 3) == qRgb(0, 255, 0);
  EXPECT_GE(green, 4);  // the meridians crossing a row
  EXPECT_LE(green, 12);
}

// ---- the map view in the main screen ------------------------------------------

namespace {

struct ScreenFixture {
  testing_support::TempHome home;
  std::atomic<bool> quit{false};
  ui::AppContext context{*home.settings, *home.language, quit, true, [] {}};
};

QPoint InWindow(const ui::MainScreen& screen, QPoint inMap) { return inMap + screen.mapArea().topLeft(); }

}  // namespace

TEST(MainScreenMap, TapPutsTheMarkerOnThePositionAndTheLocatorReadsIt) {
  struct Row {
    bool followMarker;
    QPoint tap;
  } rows[] = {{false, {200, 350}}, {false, {300, 420}}, {true, {200, 350}}};
  for (const Row& r : rows) {
    ScreenFixture f;
    f.home.settings->followMarker = r.followMarker;
    ui::MainScreen screen(f.context, 480, 640);
    std::vector<GeoPoint> asked;
    screen.mapView().SetInputs({.locatorLines = [&](const GeoPoint& p) {
      asked.push_back(p);
      return std::vector<std::string>{"somewhere"};
    }});
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    screen.repaint();
    const GeoPoint expected = screen.mapView().transform().ToPosition(r.tap.x(), r.tap.y());
    QTest::mouseClick(&screen, Qt::LeftButton, {}, InWindow(screen, r.tap));
    ASSERT_TRUE(screen.markerPosition().has_value());
    EXPECT_NEAR(screen.markerPosition()->latitude(), expected.latitude(), 1e-12);
    EXPECT_NEAR(screen.markerPosition()->longitude(), expected.longitude(), 1e-12);
    screen.repaint();
    ASSERT_FALSE(asked.empty());
    EXPECT_NEAR(asked.back().latitude(), expected.latitude(), 1e-12);  // the locator box shows the marker
    const maps::ScreenPoint centre = screen.mapView().transform().centrePixel();
    const QPoint wanted = r.followMarker ? QPoint(std::lround(centre.x), std::lround(centre.y)) : r.tap;
    EXPECT_EQ(*screen.marker(), wanted) << "the view centres on the marker with followMarker";
  }
}

TEST(MainScreenMap, KeysPanAQuarterScreenAndZoomTheView) {
  struct Row {
    int key;
    Qt::KeyboardModifiers modifiers;
    QPoint shift;  // where the old centre goes, in quarter screens
    double zoom;
  } rows[] = {
      {Qt::Key_Left, {}, {1, 0}, 1},  {Qt::Key_Right, {}, {-1, 0}, 1}, {Qt::Key_Up, {}, {0, 1}, 1},
      {Qt::Key_Down, {}, {0, -1}, 1}, {Qt::Key_Up, Qt::ControlModifier, {0, 0}, 2},
      {Qt::Key_1, {}, {0, 0}, 0.5},
  };
  for (const Row& r : rows) {
    ScreenFixture f;
    f.home.settings->followUser = false;
    f.home.settings->translateX = -13.4 * kDeg;
    f.home.settings->translateY = -52.5 * kDeg;
    ui::MainScreen screen(f.context, 480, 640);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    screen.repaint();
    const GeoPoint before = screen.mapView().transform().centre();
    const double zoom = f.home.settings->zoomN3;
    QTest::keyClick(&screen, static_cast<Qt::Key>(r.key), r.modifiers);
    screen.repaint();
    const maps::ViewTransform& t = screen.mapView().transform();
    const maps::ScreenPoint moved = t.ToScreen(before), centre = t.centrePixel();
    EXPECT_NEAR(moved.x - centre.x, r.shift.x() * screen.mapArea().width() / 4.0, 1e-3) << r.key;
    // The vertical scale follows the cosine of the new centre's latitude.
    EXPECT_NEAR(moved.y - centre.y, r.shift.y() * screen.mapArea().height() / 4.0, 0.02) << r.key;
    EXPECT_DOUBLE_EQ(f.home.settings->zoomN3, zoom * r.zoom);
  }
}

// ---- the catalogue as the maps input ------------------------------------------

TEST(CatalogueMaps, PicturesComeWhenNorthUpAndGoOutsideTheView) {
  testing_support::TempHome home;
  testing_support::TestGrids grids;
  maps::Loader pictures{"pictures", maps::LoaderPolicy::OldestFirst, 10};
  pictures.Start();
  const std::filesystem::path data = home.folder() / "data";
  std::filesystem::create_directories(data);
  home.settings->primaryDataPath = home.settings->secondaryDataPath = data.string();
  QImage png(200, 100, QImage::Format_RGB32);
  png.fill(Qt::blue);
  ASSERT_TRUE(png.save(QString::fromStdString((data / "m.png").string()), "PNG"));
  std::ofstream(data / "m.txt") << "width = 200\nheight = 100\nref1x = 0\nref1y = 0\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n";
  maps::MapCatalogue catalogue(*home.settings, grids, pictures);
  catalogue.Load();
  ASSERT_EQ(catalogue.size(), 1u);
  maps::MapImage& map = catalogue.at(0);
  catalogue.SetVisible(map, true);
  ASSERT_TRUE(map.calibrated());
  const auto input = ui::CatalogueMaps(catalogue);

  ui::MapRequest request;
  request.visible.Widen(GeoPoint(49.99 * kDeg, 9.99 * kDeg));
  request.visible.Widen(GeoPoint(50.01 * kDeg, 10.02 * kDeg));
  request.metresPerPixel = 5;  // the map is 200 x 100 pixels on the screen
  request.northUp = true;
  std::vector<MapPicture> shown = input(request);
  for (int i = 0; i < 250 && !(shown.size() == 1 && shown[0].state == MapPicture::State::Loaded); ++i) {
    QTest::qWait(20);
    shown = input(request);
  }
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].state, MapPicture::State::Loaded);
  EXPECT_EQ(shown[0].picture.size(), QSize(200, 100));
  EXPECT_EQ(shown[0].picture.pixel(100, 50), qRgb(0, 0, 255));
  EXPECT_TRUE(shown[0].selected);
  ASSERT_EQ(shown[0].references.size(), 1u);

  request.northUp = false;  // outlines only: the picture goes
  shown = input(request);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].picture.isNull());
  EXPECT_FALSE(map.loaded());

  request.northUp = true;
  request.metresPerPixel = 1000;  // smaller than 10 x 10 pixels
  EXPECT_TRUE(input(request).empty());
  request.metresPerPixel = 5;
  request.visible = GeoBounds{};
  request.visible.Widen(GeoPoint(0, 0));
  request.visible.Widen(GeoPoint(0.001, 0.001));
  EXPECT_TRUE(input(request).empty());  // outside the view
  EXPECT_FALSE(map.loaded());
}

// Calibration "by map": the stylus drags the picture under a fixed view and
// the zoom keys scale it; "by grid" leaves the calibration alone.
TEST(MainScreenMap, CalibrationByMapMovesThePictureUnderAFixedView) {
  ScreenFixture f;
  testing_support::TestGrids grids;
  maps::Loader pictures{"pictures", maps::LoaderPolicy::OldestFirst, 10};
  pictures.Start();
  const std::filesystem::path data = f.home.folder() / "data";
  std::filesystem::create_directories(data);
  f.home.settings->primaryDataPath = f.home.settings->secondaryDataPath = data.string();
  f.home.settings->followUser = false;
  f.home.settings->translateX = -10.001 * kDeg;
  f.home.settings->translateY = -49.999 * kDeg;
  QImage png(200, 100, QImage::Format_RGB32);
  png.fill(Qt::blue);
  ASSERT_TRUE(png.save(QString::fromStdString((data / "m.png").string()), "PNG"));
  std::ofstream(data / "m.txt") << "width = 200\nheight = 100\nref1x = 0\nref1y = 0\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n";
  maps::MapCatalogue catalogue(*f.home.settings, grids, pictures);
  catalogue.Load();
  ASSERT_EQ(catalogue.size(), 1u);
  maps::MapImage& map = catalogue.at(0);
  f.context.catalogue = &catalogue;
  f.context.grids = &grids;
  ui::MainScreen screen(f.context, 480, 640);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  screen.repaint();
  // The screen pixel of the map's top-left corner.
  auto corner = [&] {
    const std::optional<maps::MapPoint> at = map.ToPosition(0, 0);
    return screen.mapView().transform().ToScreen(GeoPoint(at->y, at->x));
  };
  for (const auto choice : {rovana::dialogs::CalibrationChoice::ByGrid, rovana::dialogs::CalibrationChoice::ByMap}) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, choice] {
      if (auto* d = qobject_cast<rovana::dialogs::CalibrationChoiceDialog*>(QApplication::activeModalWidget())) {
        poll->stop();
        poll->deleteLater();
        (choice == rovana::dialogs::CalibrationChoice::ByMap ? d->byMapButton() : d->byGridButton())->click();
      }
    });
    poll->start(10);
    screen.ExecuteCommand(32786);  // Map › Calibrate
    ASSERT_TRUE(screen.calibrationMode());
    EXPECT_TRUE(map.pinned());
    screen.repaint();
    const maps::ScreenPoint before = corner();
    const GeoPoint centre = screen.mapView().transform().centre();
    const double cornerLongitude = map.ToPosition(0, 0)->x;
    QTest::keyClick(&screen, Qt::Key_Left);  // a quarter screen
    screen.repaint();
    const maps::ScreenPoint after = corner();
    const bool moved = map.ToPosition(0, 0)->x != cornerLongitude;
    if (choice == rovana::dialogs::CalibrationChoice::ByMap) {
      // The view stays; the picture moved on the screen as a pan would move it.
      EXPECT_NEAR(after.x - before.x, screen.mapArea().width() / 4.0, 0.5);
      EXPECT_NEAR(after.y, before.y, 0.5);
      EXPECT_DOUBLE_EQ(screen.mapView().transform().centre().longitude(), centre.longitude());
      EXPECT_TRUE(moved) << "the calibration moved";
    } else {
      EXPECT_FALSE(moved) << "the calibration stays";
      EXPECT_NEAR(after.x - before.x, screen.mapArea().width() / 4.0, 0.5) << "the view moved over the map";
    }
    screen.ExecuteCommand(32786);  // out of calibration mode
    EXPECT_FALSE(screen.calibrationMode());
    EXPECT_FALSE(map.pinned());
  }
}
