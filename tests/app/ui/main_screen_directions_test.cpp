// The directions on the main screen: the pane shows the headline page while
// dirsRefresh is on (and is hidden while it is off), the places handed to
// the directions are the user and the target, and Tools › Directions is
// built.
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <QTextBrowser>
#include <atomic>
#include <mutex>

#include "app/core/SettingsStore.h"
#include "app/online/Directions.h"
#include "app/processing/Target.h"
#include "app/ui/AppContext.h"
#include "app/ui/MainScreen.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using namespace rovana;
using rovana::ui::AppContext;
using rovana::ui::MainScreen;

constexpr int kDirectionsCommand = 32877;
constexpr double kDeg = 3.14159265358979323846 / 180;

struct Fixture : testing_support::WaypointsFixture {
  std::atomic<bool> quit{false};
  Target target{*home.settings, *waypoints, [](std::string_view) {}};
  AppContext context{*home.settings, *home.language, quit, true, [] {}, nullptr, waypoints.get(), recorder.get()};
  std::mutex mutex;
  std::vector<std::string> queries;
  std::unique_ptr<Directions> directions;

  Fixture() {
    LoadSamples();
    DirectionsHooks hooks;
    hooks.request = [this](const ServiceAction& action) -> std::optional<std::string> {
      std::lock_guard lock(mutex);
      queries.push_back(action.query);
      return std::string("<div><center>1 km</center></div><ol><li>Turn right<br />1 km<br /></li></ol>");
    };
    hooks.online = [] { return true; };
    directions = std::make_unique<Directions>(*home.language, home.folder() / "temp", std::move(hooks));
    context.target = &target;
    context.directions = directions.get();
  }
};

TEST(MainScreenDirections, ThePaneShowsTheHeadlineWhileRefreshIsOn) {
  Fixture f;
  f.home.settings->dirsRefresh = 1;
  f.target.SetPositionTarget(GeoPoint(52.52 * kDeg, 13.41 * kDeg));
  MainScreen screen(f.context, 480, 640);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  screen.TickDirections();
  QTextBrowser* pane = screen.directionsPane();
  ASSERT_NE(pane, nullptr);
  EXPECT_TRUE(pane->isVisible());
  EXPECT_EQ(pane->toPlainText().toStdString(), f.Entry(lang::kDirectionsWaiting));
  EXPECT_TRUE(screen.mapArea().contains(pane->geometry()));

  f.directions->RequestFetch();
  ASSERT_TRUE(f.directions->Step());
  ASSERT_EQ(f.queries.size(), 1u);
  EXPECT_NE(f.queries[0].find("&da=52.520000%2C13.410000"), std::string::npos) << f.queries[0];
  screen.TickDirections();
  EXPECT_TRUE(pane->toPlainText().startsWith("Turn right")) << pane->toPlainText().toStdString();

  f.home.settings->dirsRefresh = 0;
  screen.TickDirections();
  EXPECT_FALSE(pane->isVisible());
}

TEST(MainScreenDirections, TheDirectionsCommandIsBuilt) {
  Fixture f;
  MainScreen screen(f.context, 480, 640);
  ASSERT_NE(screen.actionOf(kDirectionsCommand), nullptr);
  EXPECT_TRUE(screen.actionOf(kDirectionsCommand)->isEnabled());
  screen.TickDirections();
  EXPECT_EQ(screen.directionsPane(), nullptr) << "no pane while dirsRefresh is 0";
}

}  // namespace
