#include "app/ui/Application.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/core/VersionBanner.h"
#include "app/coords/Locator.h"
#include "app/coords/Units.h"
#include "app/gps/GpsConnection.h"
#include "app/maps/Loader.h"
#include "app/maps/LocatorGrids.h"
#include "app/maps/MapCatalogue.h"
#include "app/maps/OnlineMaps.h"
#include "app/online/HttpRequest.h"
#include "app/online/OnlineConnection.h"
#include "app/online/WebService.h"
#include "app/online/WebServiceQueries.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/processing/Target.h"
#include "app/processing/TrackRecorder.h"
#include "app/waypoints/Waypoints.h"
#include "app/screen/BootThread.h"
#include "app/ui/MainScreen.h"
#include "app/ui/MapViewMaps.h"
#include "app/ui/OnlineServices.h"
#include "app/ui/PromptPlayer.h"
#include "app/dialogs/LanguageDialog.h"
#include "app/dialogs/LoadingDialog.h"
#include "platform/com/Runtime.h"
#include "platform/signals/ShutdownSignals.h"

namespace rovana::ui {

using screen::BootThread;
using screen::kCommandQuitAlt;
namespace {

namespace fs = std::filesystem;
constexpr const char* kLibraryFile = "libZenolithCE.so";

// A tile download through the online connection: kind 1 (map catalogue and
// tiles), refused while `mapsOnlineDownload` (mirrored in `mode`) says "only
// when online" and internet access is not allowed.
maps::TileFetch TileFetchOver(OnlineConnection& online, const std::atomic<int>& mode) {
  return [&online, &mode](const maps::TileFetchRequest& r) {
    FileFetch f;
    f.host = r.base;
    f.path = r.path;
    f.kind = kKindMapCatalogue;
    f.headers = r.headers;
    f.file = r.file;
    f.cap = r.cap;
    f.prepare = [&online, &mode](const HttpRequest& request) -> std::optional<std::string> {
      const int m = mode.load();
      if (m == 0 || (m == 2 && !online.allowInternet())) return std::nullopt;
      return request.path();
    };
    const FileFetchResult got = FetchToFile(online, f);
    maps::TileFetchReply reply;
    using O = FileFetchResult::Outcome;
    reply.outcome = got.outcome == O::kReceived  ? maps::TileFetchReply::Outcome::Received
                    : got.outcome == O::kRefused ? maps::TileFetchReply::Outcome::Refused
                                                 : maps::TileFetchReply::Outcome::Failed;
    reply.status = got.status;
    reply.saved = got.saved;
    reply.bytes = got.bytes;
    reply.etag = got.etag;
    reply.lastModified = got.lastModified;
    reply.cacheControl = got.cacheControl;
    reply.expires = got.expires;
    reply.contentLength = got.contentLength;
    return reply;
  };
}

maps::OnlineMapsConfig TileConfigOf(const SettingsStore& s) {
  maps::OnlineMapsConfig c;
  c.type = s.mapsOnlineType;
  c.hiRes = s.mapsOnlineHiRes;
  c.download = s.mapsOnlineDownload != 0;
  c.cacheSizeKB = s.mapsOnlineCacheSize;
  c.sources.mapHost = s.mapsOnlineMapHost;
  c.sources.satHost = s.mapsOnlineSatHost;
  c.sources.xyzTemplate = s.mapsOnlineTemplate;
  c.sources.versions = {s.GoogleVersionSat, s.GoogleVersionMap, s.GoogleVersionHyb, s.GoogleVersionTer};
  return c;
}

}  // namespace

WaypointsConfig WaypointsConfigOf(const SettingsStore& settings, const LanguageTable& language) {
  WaypointsConfig config;
  config.poisName = language.Entry(lang::kPoisDefaultName);
  config.routeName = language.Entry(lang::kTrackDefaultName);
  config.distanceText = [&settings](double metres) { return FormatDistanceText(UnitChoiceOf(settings), metres); };
  config.statisticsFactory = MakeAnalyzerStatistics;
  return config;
}

std::string ZenolithLibraryPath() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  const fs::path folder = ec ? fs::path(".") : exe.parent_path();
  for (const fs::path& candidate : {folder / kLibraryFile, folder.parent_path() / "lib" / kLibraryFile})
    if (fs::exists(candidate, ec)) return candidate.string();
  return (folder / kLibraryFile).string();
}

struct Application::Objects {
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<LanguageTable> language;
  com::ComPtr<com::IDispatch> position;  // the Locators' ZenolithCE.Position
  std::unique_ptr<Locator> locator;      // the locator box and the position entry
  std::unique_ptr<Locator> gridLocator;  // map calibration's grid conversions
  std::unique_ptr<maps::LocatorGrids> grids;
  // The queues come before the catalogue, whose maps release their jobs.
  std::unique_ptr<maps::Loader> pictures;  // picture decoding
  std::unique_ptr<maps::Loader> tiles;     // tile downloads (their room is still to come)
  std::unique_ptr<maps::MapCatalogue> catalogue;
  std::unique_ptr<maps::OnlineMaps> onlineMaps;  // the tiles; after both queues, before the connection goes
  std::atomic<int> tileDownloadMode{0};          // mapsOnlineDownload for the tile queue's thread
  std::unique_ptr<Waypoints> waypoints;  // the GPX files and their collections
  std::unique_ptr<TrackRecorder> recorder;
  std::unique_ptr<OnlineServices> online;  // fed by the GPS connection: goes after it
  std::unique_ptr<GpsConnection> gps;  // owns the filter, the live and trip statistics and GPSThread; feeds the recorder
  std::unique_ptr<PromptPlayer> sounds;  // the voice prompts, on the user-interface thread
  std::unique_ptr<Target> target;
  std::unique_ptr<BootThread> boot;
  std::unique_ptr<AppContext> context;
  std::unique_ptr<MainScreen> screen;
  std::unique_ptr<QSocketNotifier> signalWatch;  // the shutdown signals' pipe
  bool comInitialised = false;
};

Application::Application(StartOptions options) : options_(std::move(options)), objects_(std::make_unique<Objects>()) {}

Application::~Application() = default;

bool RegisterComponentLibrary(const std::string& library) {
  std::string error;
  const com::HRESULT status = com::RegisterServer(library, &error);
  if (status == com::CO_E_DLLNOTFOUND) {
    LogMessage("Failed to register DLL '%s' (1)", library.c_str());
    if (!error.empty()) LogMessage("%s", error.c_str());
  } else if (status == com::CO_E_ERRORINDLL) {
    LogMessage("Failed to register DLL '%s' (2)", library.c_str());
  } else if (status < 0) {
    LogMessage("Failed to register DLL '%s' (3)", library.c_str());
  } else {
    LogMessage("Registered DLL '%s'", library.c_str());
  }
  return status >= 0;
}

void Application::Boot() {
  Objects& o = *objects_;
  const LocalStamp now = LocalNow();
  LogMessage("Log of %s %s", FormatPackedDate(now.date).c_str(), FormatSecondsOfDay(now.seconds, ':').c_str());
  const std::string banner = VersionBanner();
  LogMessage("%s", banner.c_str());

  o.settings = std::make_unique<SettingsStore>(options_.folders.program);
  LogMessage("Settings store created");
  if (!options_.gpsName.empty()) {
    o.settings->gpsName = options_.gpsName;
    LogMessage("GPS source from the command line: %s", options_.gpsName.c_str());
  }
  ReportFolderProblems();
  o.language = std::make_unique<LanguageTable>(options_.folders.ResourceCandidates("Language"));
  o.language->Load("", false, LanguageSetting{o.settings->language, o.settings->languageInit});
  LogMessage("Language table created (%s)", o.language->language().c_str());
  const bool automatic = options_.unattended();
  if (!o.settings->languageInit) {
    if (automatic) {
      // Unattended: answer the first-start question with the configured language.
      o.language->Load("", true, LanguageSetting{o.settings->language, o.settings->languageInit});
      LogMessage("Language dialog answered automatically (%s)", o.settings->language.c_str());
    } else if (!signalled_) {
      LogMessage("Language dialog at first start");
      dialogs::LanguageDialog dialog(*o.language, *o.settings, true);
      dialog.resize(options_.width, options_.height);
      dialog.exec();
    }
  }
  o.online = std::make_unique<OnlineServices>(*o.settings, *o.language, quit_);
  LogMessage("Online connection created");

  const ScreenLayout layout = LayoutForScreen(options_.width, options_.height);
  LogMessage("rcClientFull = %d,%d,%d,%d", layout.full.left, layout.full.top, layout.full.right, layout.full.bottom);
  LogMessage("rcClientLoRes= %d,%d,%d,%d", layout.loRes.left, layout.loRes.top, layout.loRes.right, layout.loRes.bottom);
  LogMessage("orient       = %d", static_cast<int>(layout.orientation));

  const com::HRESULT created = com::CreateObject("ZenolithCE.Position", &o.position);
  if (com::Failed(created))
    LogMessage("Locator: ZenolithCE.Position could not be created (0x%08x); absent", static_cast<unsigned>(created));
  else
    LogMessage("Locator: ZenolithCE.Position created");

  o.locator = std::make_unique<Locator>(o.position, *o.settings, *o.language);
  o.gridLocator = std::make_unique<Locator>(o.position, *o.settings, *o.language);
  o.grids = std::make_unique<maps::LocatorGrids>(*o.gridLocator);
  o.pictures = std::make_unique<maps::Loader>("pictures");
  o.tiles = std::make_unique<maps::Loader>("tiles");
  o.pictures->Start();
  o.tiles->Start();
  o.catalogue = std::make_unique<maps::MapCatalogue>(*o.settings, *o.grids, *o.pictures);
  o.tileDownloadMode.store(o.settings->mapsOnlineDownload);
  o.onlineMaps = std::make_unique<maps::OnlineMaps>(
      *o.tiles, *o.pictures, TileFetchOver(o.online->connection(), o.tileDownloadMode),
      [service = &o.online->service()] { return service->Request(MapListQuery()); });
  o.onlineMaps->InitialiseCache(o.settings->CacheDataPath);
  LogMessage("Online maps created (%zu cached tiles)", o.onlineMaps->tileCount());

  o.waypoints = std::make_unique<Waypoints>(*o.settings, WaypointsConfigOf(*o.settings, *o.language));
  o.recorder = std::make_unique<TrackRecorder>(*o.waypoints);
  {
    dialogs::LoadingDialog loading(*o.settings, *o.language, QString::fromStdString(banner), layout.dpiX,
                                   o.waypoints.get(), o.catalogue.get());
    LogMessage("Loading dialog opened");
    loading.exec();
    LogMessage("Loading dialog closed");
  }
  o.catalogue->RememberSelection();

  o.gps = std::make_unique<GpsConnection>(*o.settings, quit_);
  o.gps->SetRecorder(o.recorder.get());
  o.gps->SetBuddy(o.online->FixHook());
  o.gps->Start();
  LogMessage("GPS connection created (%s)", o.settings->gpsName.empty() ? "no source" : o.settings->gpsName.c_str());
  o.sounds = std::make_unique<PromptPlayer>(options_.folders, *o.settings);
  TargetNames names{o.language->Entry(lang::kTargetName), o.language->Entry(lang::kMenuToolsTrainer)};
  o.target = std::make_unique<Target>(*o.settings, *o.waypoints,
                                      [sounds = o.sounds.get()](std::string_view file) { sounds->Play(file); }, names);
  o.target->Restore();  // the GPX files it may follow are loaded now
  LogMessage("Navigation target created");
  o.online->Start();  // the buddy tracker's thread
  o.online->StartDirections(options_.folders.temp);  // DirectionsThread

  o.boot = std::make_unique<BootThread>(*o.settings, quit_);
  o.boot->Start();
  LogMessage("boot time = %ums", static_cast<unsigned>(TickCount() - startTick_));
}

// The locator box and the grid convergence come from the Locator (its own
// position moves to the point asked about), the maps from the catalogue.
MapViewInputs Application::MapInputs() {
  Objects& o = *objects_;
  MapViewInputs inputs;
  Locator* locator = o.locator.get();
  maps::LocatorGrids* grids = o.grids.get();
  inputs.gridConvergence = [grids](const GeoPoint& at, int gridId) { return grids->Convergence(at, gridId); };
  inputs.locatorLines = [locator](const GeoPoint& at) {
    locator->SetPosition(at);
    const LocatorTexts t = locator->Format();
    std::vector<std::string> lines{t.latitudeLabel + " " + t.latitude, t.longitudeLabel + " " + t.longitude};
    if (!t.zone.empty()) lines.push_back(t.zone);
    lines.push_back(t.altitude);
    return lines;
  };
  inputs.maps = CatalogueMaps(*o.catalogue);
  inputs.autoGrid = CatalogueGrid(*o.catalogue);
  inputs.text = [language = o.language.get()](int entry) { return language->Entry(entry); };
  inputs.tiles = [settings = o.settings.get(), tiles = o.onlineMaps.get(),
                  mode = &o.tileDownloadMode](const maps::ViewTransform& view) {
    SettingsStore& s = *settings;
    // A new cache folder (the settings dialog) is taken up at the next paint.
    if (fs::path(s.CacheDataPath) != tiles->folder()) tiles->InitialiseCache(s.CacheDataPath);
    if (const std::optional<maps::VersionPaths> changed = tiles->TakeVersionChanges()) {
      s.GoogleVersionSat = (*changed)[0];
      s.GoogleVersionMap = (*changed)[1];
      s.GoogleVersionHyb = (*changed)[2];
      s.GoogleVersionTer = (*changed)[3];
    }
    mode->store(s.mapsOnlineDownload);
    return tiles->Paint(view, TileConfigOf(s), static_cast<std::int64_t>(std::time(nullptr)));
  };
  inputs.tileStatus = [settings = o.settings.get(), tiles = o.onlineMaps.get(), language = o.language.get()] {
    // Without any source the tiles are not in use: nothing to report.
    if (settings->mapsOnlineMapHost.empty() && settings->mapsOnlineSatHost.empty() &&
        settings->mapsOnlineTemplate.empty())
      return std::string();
    const std::optional<maps::TileStatus> status =
        maps::StatusOf(tiles->counts(), settings->mapsOnlineDownload != 0, tiles->versionChanged());
    if (!status) return std::string();
    std::string text = language->Entry(status->entry);
    if (status->number > 0) text += " " + std::to_string(status->number);
    return text;
  };
  Target* target = o.target.get();
  inputs.target = [target] { return target->TargetPoint(); };
  inputs.trainer = [target] { return target->TrainerPoint(); };
  inputs.directionPrompt = [target] { return static_cast<int>(target->prompt()); };
  OnlineServices* online = o.online.get();
  inputs.buddies = [online] {
    std::vector<MapBuddy> buddies;
    for (BuddyMark& b : online->Buddies()) buddies.push_back({std::move(b.position), b.ageSeconds});
    return buddies;
  };
  return inputs;
}

void Application::ReportFolderProblems() {
  std::string problems;
  for (const std::string& problem : {LogProblem(), objects_->settings->LoadProblem(), objects_->settings->SaveProblem()}) {
    if (problem.empty()) continue;
    LogMessage("%s", problem.c_str());
    std::fprintf(stderr, "rovana: %s\n", problem.c_str());
    problems += (problems.empty() ? "" : "\n\n") + problem;
  }
  if (problems.empty() || options_.unattended() || signalled_) return;
  // Said once, before anything else is asked, so that nothing is lost unseen.
  LogMessage("Folder problems shown to the user");
  QMessageBox box(QMessageBox::Warning, "Rovana", QString::fromStdString(problems), QMessageBox::Ok);
  box.resize(options_.width, box.sizeHint().height());
  box.exec();
}

void Application::WatchShutdownSignals() {
  if (!platform::ShutdownSignals::Install()) {
    LogMessage("Shutdown signals not handled: %s", std::strerror(errno));
    return;
  }
  objects_->signalWatch = std::make_unique<QSocketNotifier>(platform::ShutdownSignals::ReadFd(), QSocketNotifier::Read);
  QObject::connect(objects_->signalWatch.get(), &QSocketNotifier::activated, [this] {
    const int signal = platform::ShutdownSignals::Take();
    if (signal == 0 || signalled_) return;
    signalled_ = true;
    LogMessage("Signal %d (%s): shutting down", signal, sigabbrev_np(signal));
    EndWithoutQuestion();
  });
}

// Closes the open dialogs from the top down (the loading dialog closes by
// itself once LoadThread is done), then ends the main screen without the quit
// question. Runs again from the event loop until every dialog has unwound.
void Application::EndWithoutQuestion() {
  Objects& o = *objects_;
  for (int guard = 0; guard < 32; ++guard) {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QDialog*>(modal);
    if (!dialog || dialog == o.screen.get() || qobject_cast<dialogs::LoadingDialog*>(dialog)) break;
    dialog->reject();
  }
  QTimer::singleShot(0, QApplication::instance(), [this] {
    Objects& objects = *objects_;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != objects.screen.get()) {
      if (!qobject_cast<dialogs::LoadingDialog*>(modal)) EndWithoutQuestion();
      return;  // Run ends the session once the loading dialog is done
    }
    if (objects.screen) objects.screen->Quit(false);
  });
}

void Application::Shutdown() {
  Objects& o = *objects_;
  o.settings->trackRecording = o.recorder && o.recorder->recording();
  if (o.settings->trackRecording) o.recorder->Stop();  // ends the track and saves the files
  QApplication::setOverrideCursor(Qt::WaitCursor);  // saving may take a while on a slow card
  if (o.waypoints) LogMessage(o.waypoints->SaveAll() ? "Waypoint files saved" : "Some waypoint files could not be saved");
  if (o.gps) {
    o.gps->Save(*o.settings);
    LogMessage("Trip statistics and position stored");
  }
  if (o.settings->Save())
    LogMessage("Settings saved");
  else
    LogMessage("Settings could not be saved");
  QApplication::restoreOverrideCursor();
  if (o.settings->useConnMgr) LogMessage("No connection held");
}

int Application::Run() {
  quit_.store(false);
  startTick_ = TickCount();
  std::srand(startTick_);
  const std::string& home = options_.folders.program;
  if (home.empty() && options_.folders.source == HomeSource::UserData) {
    std::fprintf(stderr, "rovana: no home folder: set HOME or XDG_DATA_HOME, or give --home DIR\n");
    return 2;
  }
  if (const int error = CreateFolder(ProgramFolderPath(home)); error != 0)
    std::fprintf(stderr, "rovana: cannot create the home folder %s: %s\n", home.c_str(), std::strerror(error));
  OpenLog(options_.folders.logFile);
  LogMessage("Program folder %s", ProgramFolderPath(home).c_str());
  LogMessage("Resource folder %s", options_.folders.resources.empty() ? "(none)" : options_.folders.resources.c_str());
  WatchShutdownSignals();

  RegisterComponentLibrary(ZenolithLibraryPath());
  const com::HRESULT init = com::CoInitializeEx(com::Apartment::Multithreaded);
  objects_->comInitialised = !com::Failed(init);
  if (init != com::S_OK) LogMessage("CoInitializeEx returns = %d", init);
  // The HTML viewer of the directions pane is QTextBrowser, which needs no set-up.

  Boot();

  Objects& o = *objects_;
  o.context = std::make_unique<AppContext>(AppContext{*o.settings, *o.language, quit_, options_.unattended(),
                                                      [this] { Shutdown(); }, o.gps.get(), o.waypoints.get(),
                                                      o.recorder.get(), options_.folders.ResourceCandidates("Symbol"),
                                                      o.locator.get(), o.catalogue.get(), o.grids.get(),
                                                      o.target.get(), &o.online->actions()});
  o.context->directions = o.online->directions();
  o.context->services = o.online.get();
  o.context->onlineMaps = o.onlineMaps.get();
  o.screen = std::make_unique<MainScreen>(*o.context, options_.width, options_.height);
  o.screen->mapView().SetInputs(MapInputs());
  o.online->onChat = [screen = o.screen.get()] { screen->NotifyChat(); };
  o.online->onOpenAccount = [screen = o.screen.get()] { screen->OpenAccount(); };
  if (signalled_) QTimer::singleShot(0, o.screen.get(), [this] { objects_->screen->Quit(false); });
  if (options_.quitAfterMs >= 0) {
    QTimer::singleShot(options_.quitAfterMs, o.screen.get(), [this] {
      Objects& objects = *objects_;
      if (!options_.screenshot.isEmpty()) {
        if (objects.screen->SaveScreenshot(options_.screenshot)) {
          LogMessage("Screenshot saved to %s", options_.screenshot.toStdString().c_str());
          std::printf("%s\n", options_.screenshot.toStdString().c_str());
          std::fflush(stdout);
        } else {
          LogMessage("Screenshot could not be saved to %s", options_.screenshot.toStdString().c_str());
        }
      }
      objects.screen->ExecuteCommand(kCommandQuitAlt);
    });
  }
  o.screen->exec();

  quit_.store(true);
  o.boot->Stop();
  o.online->onChat = nullptr;
  o.online->onOpenAccount = nullptr;
  o.screen.reset();
  o.tiles->Stop();  // no download may use the connection after it is gone
  o.target.reset();
  o.sounds.reset();
  o.gps.reset();  // joins GPSThread, the recorder's and the tracker's last caller
  o.online.reset();  // joins the tracker's thread
  o.recorder.reset();
  o.waypoints.reset();
  o.catalogue.reset();
  o.onlineMaps.reset();
  o.tiles.reset();
  o.pictures.reset();
  o.grids.reset();
  o.gridLocator.reset();
  o.locator.reset();
  o.position.Reset();
  if (o.comInitialised) com::CoUninitialize();
  o.signalWatch.reset();
  platform::ShutdownSignals::Uninstall();
  LogMessage("Log closed");
  CloseLog();
  return 0;
}

}  // namespace rovana::ui
