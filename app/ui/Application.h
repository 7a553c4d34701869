// The Rovana program from start to end: folders, log, registration of
// ZenolithCE, the component runtime, the long-lived objects in their fixed
// order, the loading dialog, BootThread, the main screen and the ordered
// shutdown. A QApplication must exist before Run.
//
// Objects of rooms that are still to come (online connection, maps, tile
// loaders, navigation target, directions, search, buddy tracker) are left
// absent; each is logged as absent at its place in the
// order, and everything that would use one is guarded.
#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <string>

#include "app/core/ProgramFolders.h"
#include "app/ui/MapView.h"
#include "app/waypoints/Waypoints.h"

namespace rovana {
class LanguageTable;
}

namespace rovana::ui {

// The language's default collection names, distances in the user's unit
// and Analyzer statistics for every collection.
WaypointsConfig WaypointsConfigOf(const SettingsStore& settings, const LanguageTable& language);

struct StartOptions {
  ProgramFolders folders;
  int width = 480;  // pixels of the simulated screen
  int height = 640;
  QString screenshot;    // PNG written after quitAfterMs, then quit; empty for none
  int quitAfterMs = -1;  // < 0: run until the user quits
  std::string gpsName;   // --gps: becomes the setting gpsName; empty keeps the setting

  // A run that quits by itself answers its questions itself: the first-start
  // language dialog takes the configured language and the quit question OK.
  bool unattended() const { return quitAfterMs >= 0; }
};

// The library's file name beside the program or in ../lib next to its bin
// folder (the build tree and an installation have the same layout).
std::string ZenolithLibraryPath();

// Loads `library`, calls its DllRegisterServer and unloads it. Logs
// "Failed to register DLL '<library>' (1)" when it cannot be loaded, "(2)"
// when the export is missing and "(3)" when the export fails; true only when
// the registration succeeded.
bool RegisterComponentLibrary(const std::string& library);

class Application {
 public:
  explicit Application(StartOptions options);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Start-up, the modal main screen, shutdown. Returns the exit code.
  int Run();

 private:
  struct Objects;
  void Boot();
  void Shutdown();
  // The log, settings load and settings save problems: logged, on stderr and
  // in one message box (not in unattended runs).
  void ReportFolderProblems();
  // What the map view asks of the locator and the map catalogue.
  MapViewInputs MapInputs();
  // SIGINT, SIGTERM and SIGHUP start the normal shutdown without the question.
  void WatchShutdownSignals();
  void EndWithoutQuestion();

  StartOptions options_;
  std::atomic<bool> quit_{false};
  std::uint32_t startTick_ = 0;
  bool signalled_ = false;  // a shutdown signal came; the session ends without asking
  std::unique_ptr<Objects> objects_;
};

}  // namespace rovana::ui
