// The target commands of the main screen: a tap near a shown point puts the
// marker on that point, View › Set target makes the object the target (a
// POI is followed where it moves, a route or track is followed along),
// Goto target centres the view on it, Delete target forgets both.
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <atomic>
#include <cmath>

#include "app/core/SettingsStore.h"
#include "app/processing/Target.h"
#include "app/ui/AppContext.h"
#include "app/ui/MainScreen.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using namespace rovana;
using rovana::ui::AppContext;
using rovana::ui::MainScreen;

constexpr int kSetTarget = 32826, kGotoTarget = 32825, kDeleteTarget = 32833;
constexpr double kDeg = 3.14159265358979323846 / 180;

struct Fixture : testing_support::WaypointsFixture {
  std::atomic<bool> quit{false};
  Target target{*home.settings, *waypoints, [](std::string_view) {}};
  AppContext context{*home.settings, *home.language, quit, true, [] {}, nullptr, waypoints.get(), recorder.get()};
  Fixture() {
    context.target = &target;
    SettingsStore& s = *home.settings;
    s.followUser = s.followMarker = false;
    s.heading = 0;
    s.translateX = -13.4 * kDeg;
    s.translateY = -52.5005 * kDeg;
    s.zoomN3 = kEarthRadius * std::cos(52.5 * kDeg) / 2;  // about 2 m per pixel
    Write("Town.gpx",
          "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\">\n"
          "<wpt lat=\"52.5004\" lon=\"13.4010\"><name>Bakery</name><sym>Pin</sym></wpt>\n"
          "<trk><name>Walk</name><trkseg>\n"
          "<trkpt lat=\"52.500\" lon=\"13.4\"/><trkpt lat=\"52.501\" lon=\"13.4\"/><trkpt lat=\"52.502\" lon=\"13.4\"/>\n"
          "</trkseg></trk>\n</gpx>\n");
    waypoints->LoadAll();
  }
};

QPoint PixelOf(MainScreen& screen, double latDeg, double lonDeg) {
  const maps::ScreenPoint p = screen.mapView().transform().ToScreen(lonDeg * kDeg, latDeg * kDeg);
  return QPoint(std::lround(p.x), std::lround(p.y)) + screen.mapArea().topLeft();
}

TEST(MainScreenTarget, AMarkedPointBecomesTheTargetAndDeleteForgetsIt) {
  struct Row {
    const char* what;
    double latDeg, lonDeg;  // the point tapped, 4 px beside it
    TargetState state;
    const char* collection;  // followed; empty for a position
  } rows[] = {
      {"a POI", 52.5004, 13.4010, TargetState::Position, ""},
      {"a track point", 52.501, 13.4, TargetState::NotJoined, "Town.gpx/Walk"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Fixture f;
    MainScreen screen(f.context, 480, 640);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    screen.repaint();
    EXPECT_FALSE(screen.actionOf(kGotoTarget)->isEnabled());
    QTest::mouseClick(&screen, Qt::LeftButton, {}, PixelOf(screen, r.latDeg, r.lonDeg) + QPoint(4, -3));
    ASSERT_TRUE(screen.MarkedObject().has_value());
    EXPECT_NEAR(screen.markerPosition()->latitude(), r.latDeg * kDeg, 1e-9) << "the marker sits on the point";

    screen.ExecuteCommand(kSetTarget);
    EXPECT_EQ(f.target.state(), r.state);
    EXPECT_EQ(f.target.collection(), *r.collection ? f.Collection(r.collection) : nullptr);
    EXPECT_TRUE(screen.actionOf(kGotoTarget)->isEnabled());
    EXPECT_TRUE(f.home.settings->targetSet);

    f.home.settings->followUser = true;
    screen.ExecuteCommand(kGotoTarget);
    EXPECT_FALSE(f.home.settings->followUser);
    EXPECT_NEAR(-f.home.settings->translateY, f.target.TargetPoint()->latitude(), 1e-12);

    screen.ExecuteCommand(kDeleteTarget);
    EXPECT_EQ(f.target.state(), TargetState::None);
    EXPECT_FALSE(screen.markerPosition().has_value());
    EXPECT_FALSE(f.home.settings->targetSet);
    EXPECT_FALSE(screen.actionOf(kDeleteTarget)->isEnabled());
  }
}

TEST(MainScreenTarget, APoiTargetFollowsThePointWhenItMoves) {
  Fixture f;
  MainScreen screen(f.context, 480, 640);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  screen.repaint();
  QTest::mouseClick(&screen, Qt::LeftButton, {}, PixelOf(screen, 52.5004, 13.4010));
  screen.ExecuteCommand(kSetTarget);
  ASSERT_EQ(f.target.state(), TargetState::Position);
  POIs& pois = *f.waypoints->FirstOf(f.Collection("Town.gpx/Walk")->file());
  GeoPoint moved = *pois.PointAt(0);
  moved.setLatitude(52.5008 * kDeg);
  ASSERT_TRUE(pois.ReplacePoint(pois.PointAt(0), moved));
  TargetInputs in;
  in.user = GeoPoint(52.49 * kDeg, 13.4 * kDeg);
  f.target.Tick(in);
  EXPECT_NEAR(f.target.TargetPoint()->latitude(), 52.5008 * kDeg, 1e-12);
}

}  // namespace
