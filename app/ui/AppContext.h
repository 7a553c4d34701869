// What the main screen and the dialogs need from the application: the
// long-lived objects, the quit flag and the shutdown steps. The application
// owns all of it for the whole run; the screen only borrows it.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <vector>

namespace rovana {
class SettingsStore;
class LanguageTable;
class GpsConnection;
class Locator;
class Target;
class TrackRecorder;
class Waypoints;
class Directions;
namespace maps {
class GridConverter;
class MapCatalogue;
class OnlineMaps;
}  // namespace maps
}  // namespace rovana

namespace rovana::dialogs {
struct OnlineActions;
}

namespace rovana::ui {

class OnlineServices;

struct AppContext {
  SettingsStore& settings;
  LanguageTable& language;
  std::atomic<bool>& quit;  // set once by the user-interface thread; worker threads poll it
  // Unattended run (--quit-after): questions are answered OK at once and
  // the first-start language dialog takes the configured language.
  bool automatic = false;
  // The steps of shutdown between the quit question and the end of the main
  // screen: record track state, save waypoint files, statistics totals and
  // settings, release the connection. Called once, after "Quitting Rovana!".
  std::function<void()> shutdown;
  // The GPS connection with the filter and the statistics; null in tests of
  // the screen alone.
  GpsConnection* gps = nullptr;
  // The GPX files and collections, and the track recorder; null in tests of
  // the screen alone.
  Waypoints* waypoints = nullptr;
  TrackRecorder* recorder = nullptr;
  // The "Symbol" folders, the home's first, for the map symbols.
  std::vector<std::filesystem::path> symbolFolders = {};
  // The locator (coordinates as the user reads them), the map catalogue and
  // the calibration's grid conversions; null in tests of the screen alone.
  Locator* locator = nullptr;
  maps::MapCatalogue* catalogue = nullptr;
  maps::GridConverter* grids = nullptr;
  // The navigation target with the trainer and the voice prompts; null in
  // tests of the screen alone (the screen then sounds the speed alert
  // itself).
  Target* target = nullptr;
  // What the online dialogs ask of the web service and the buddy tracker;
  // null in tests of the screen alone.
  const dialogs::OnlineActions* online = nullptr;
  // Directions to the target and routes from the web service; null until
  // the GPX files are loaded, and in tests of the screen alone.
  Directions* directions = nullptr;
  // The online services themselves, for the search and the geocoder; null
  // in tests of the screen alone.
  OnlineServices* services = nullptr;
  // The online map tiles (their dialog clears the cache); null in tests of
  // the screen alone.
  maps::OnlineMaps* onlineMaps = nullptr;
};

}  // namespace rovana::ui
