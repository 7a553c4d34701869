// DirectionsDialog (Tools › Directions...): the directions page from the
// user to the target, its Refresh (the page shows "..." until the fetch is
// done), "Refresh automatically" (`dirsRefresh`), and "Create route", which
// asks the new route's name, fetches the route with the wait cursor on (the
// download runs on a worker thread while this thread keeps answering the
// session's questions), and puts it into the current GPX file as a new
// route. Without a target it only says so; a failed fetch says offline,
// failed or "No route was found.".
#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/dialogs/DialogAsker.h"
#include "app/online/Directions.h"
#include "app/waypoints/GeoPoint.h"

class QCheckBox;
class QPushButton;
class QTextBrowser;

namespace rovana {
class LanguageTable;
class POIs;
class SettingsStore;
class Waypoints;
}  // namespace rovana

namespace rovana::dialogs {

struct DirectionsDialogHooks {
  std::function<GeoPoint()> user;                     // the user's position
  std::function<std::optional<GeoPoint>()> target;    // the target point, nothing without target
  std::function<void(POIs& route)> routeCreated;      // open its details, redraw the map
  std::function<std::int32_t()> today;                // packed local date; LocalNow's when empty
  DialogAsker asker;                                  // name prompt and messages
};

// Loads `browser` with the page when `directions` changed since `shown` (the
// count the viewer showed last, -1 at first) or when `force`; true when it
// did. What the directions pane on the main screen uses too.
bool ShowDirectionsPage(QTextBrowser& browser, const std::filesystem::path& page, std::int64_t changeCount,
                        std::int64_t& shown, bool force);

class DirectionsDialog : public QDialog {
  Q_OBJECT

 public:
  DirectionsDialog(Directions& directions, Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                   DirectionsDialogHooks hooks, QWidget* parent = nullptr);

  void Refresh();
  void CreateRoute();
  // The page again when the directions changed (every 200 ms).
  void FollowDirections();

  QTextBrowser* browser() const { return browser_; }
  QPushButton* refreshButton() const { return refresh_; }
  QPushButton* routeButton() const { return route_; }
  QCheckBox* autoRefresh() const { return auto_; }
  // The route the last Create route made, null before.
  POIs* createdRoute() const { return created_; }

 private:
  Directions::RouteFetch FetchOffThread(const GeoPoint& from, const GeoPoint& to, std::int32_t today);

  Directions& directions_;
  Waypoints& waypoints_;
  SettingsStore& settings_;
  const LanguageTable& language_;
  DirectionsDialogHooks hooks_;
  QTextBrowser* browser_ = nullptr;
  QPushButton* refresh_ = nullptr;
  QPushButton* route_ = nullptr;
  QCheckBox* auto_ = nullptr;
  QTimer timer_;
  std::int64_t shown_ = -1;
  POIs* created_ = nullptr;
};

}  // namespace rovana::dialogs
