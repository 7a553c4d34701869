// The Directions dialog offscreen over real GPX files and pages in a real
// temp folder: Refresh shows "..." until the page comes, "Refresh
// automatically" is dirsRefresh, and Create route without a target, with no
// route in the reply, and with a route that lands in the current file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTextBrowser>
#include <mutex>

#include "app/core/Utilities.h"
#include "app/dialogs/DirectionsDialog.h"
#include "app/online/Directions.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using rovana::Directions;
using rovana::GeoPoint;
using rovana::POIs;
using rovana::PoisKind;
using rovana::dialogs::DirectionsDialog;
namespace lang = rovana::lang;

constexpr double kDeg = 3.14159265358979323846 / 180.0;
constexpr const char* kDirectionsReply =
    "<html><body><div class=\"head\"><center>12.3 km, 15 min</center></div><ol>"
    "<li>Head north on Lombardsbr\xC3\xBC" "cke<br />0.4 km<br /></li></ol></body></html>";
constexpr const char* kRouteReply = "<reply><result id=\"0\"/><route>points:\"_p~iF~ps|U_ulLnnqC_mqNvxq`@\"</route></reply>";

struct Fixture : testing_support::WaypointsFixture {
  std::mutex mutex;
  std::optional<std::string> directionsReply = std::string(kDirectionsReply);
  std::optional<std::string> routeReply = std::string(kRouteReply);
  std::optional<GeoPoint> target = GeoPoint(53.5573 * kDeg, 10.0062 * kDeg);
  std::vector<POIs*> created;
  std::unique_ptr<Directions> directions;

  Fixture() {
    LoadSamples();
    rovana::DirectionsHooks hooks;
    hooks.request = [this](const rovana::ServiceAction& action) {
      std::lock_guard lock(mutex);  // the route is fetched on a worker thread
      return action.action == "ro" ? routeReply : directionsReply;
    };
    hooks.online = [] { return true; };
    directions = std::make_unique<Directions>(*home.language, home.folder() / "temp", std::move(hooks));
  }
  std::unique_ptr<DirectionsDialog> Dialog() {
    rovana::dialogs::DirectionsDialogHooks hooks;
    hooks.user = [] { return GeoPoint(53.5558 * kDeg, 9.9947 * kDeg); };
    hooks.target = [this] { return target; };
    hooks.routeCreated = [this](POIs& route) { created.push_back(&route); };
    hooks.today = [] { return rovana::PackDate(2026, 12, 9); };
    hooks.asker = Asker();
    return std::make_unique<DirectionsDialog>(*directions, *waypoints, *home.settings, *home.language, std::move(hooks));
  }
};

TEST(DirectionsDialog, RefreshShowsDotsUntilThePageComes) {
  Fixture f;
  auto dialog = f.Dialog();
  EXPECT_EQ(dialog->browser()->toPlainText().toStdString(), f.Entry(lang::kDirectionsWaiting));
  dialog->refreshButton()->click();
  EXPECT_EQ(dialog->browser()->toPlainText(), "...");
  dialog->FollowDirections();
  EXPECT_EQ(dialog->browser()->toPlainText(), "...") << "the fetch has not run";
  ASSERT_TRUE(f.directions->Step());
  dialog->FollowDirections();
  EXPECT_TRUE(dialog->browser()->toPlainText().contains(QString::fromUtf8("Head north on Lombardsbr\xC3\xBC" "cke")))
      << dialog->browser()->toPlainText().toStdString();
  EXPECT_TRUE(dialog->browser()->toPlainText().contains("12.3 km, 15 min"));
}

TEST(DirectionsDialog, TheCheckBoxIsDirsRefresh) {
  Fixture f;
  f.home.settings->dirsRefresh = 2;
  auto dialog = f.Dialog();
  EXPECT_TRUE(dialog->autoRefresh()->isChecked());
  dialog->autoRefresh()->click();
  EXPECT_EQ(f.home.settings->dirsRefresh, 0);
  dialog->autoRefresh()->click();
  EXPECT_EQ(f.home.settings->dirsRefresh, 1);
}

TEST(DirectionsDialog, CreateRouteOutcomes) {
  struct Case {
    const char* name;
    bool hasTarget;
    std::optional<std::string> reply;
    std::optional<QString> typed;
    int message;  // language entry, 0 for none
    std::size_t points;
  } cases[] = {
      {"no target", false, kRouteReply, QString("Hotel"), lang::kDirectionsNoTarget, 0},
      {"no route in the reply", true, std::string("<reply><result id=\"0\"/></reply>"), QString("Hotel"),
       lang::kDirectionsNoRoute, 0},
      {"no reply", true, std::nullopt, QString("Hotel"), lang::kNetRequestFailed, 0},
      {"name cancelled", true, kRouteReply, std::nullopt, 0, 0},
      {"a route", true, kRouteReply, QString(" Hotel "), 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    if (!c.hasTarget) f.target.reset();
    f.routeReply = c.reply;
    f.typed = c.typed;
    const std::size_t before = f.waypoints->Collections().size();
    auto dialog = f.Dialog();
    dialog->routeButton()->click();
    if (c.message) {
      ASSERT_EQ(f.messages.size(), 1u);
      EXPECT_EQ(f.messages[0].toStdString(), f.Entry(c.message));
    } else {
      EXPECT_TRUE(f.messages.empty());
    }
    if (c.points == 0) {
      EXPECT_EQ(f.waypoints->Collections().size(), before);
      EXPECT_TRUE(f.created.empty());
      continue;
    }
    ASSERT_EQ(f.created.size(), 1u);
    POIs* route = f.created[0];
    EXPECT_EQ(dialog->createdRoute(), route);
    EXPECT_EQ(route->kind(), PoisKind::Route);
    EXPECT_EQ(route->name(), "Hotel");
    EXPECT_EQ(route->count(), c.points);
    EXPECT_EQ(f.waypoints->current(), route);
    EXPECT_EQ(&route->file(), f.waypoints->currentFile());
    EXPECT_EQ(route->Points().front().date(), rovana::PackDate(2026, 12, 9));
    EXPECT_EQ(f.prompts.size(), 1u);
  }
}

}  // namespace
