// demo-online: buddy tracking on one machine. Starts the reference server on
// loopback with a fresh database, makes two accounts ("you" and the buddy
// "Alster-buddy") that are buddies, lets the buddy drive the demo loop a
// little ahead of you, uploading its position every second, and runs Rovana
// on a copy of the demo home logged in as "you": the buddy shows on the map.
//
//   demo-online [--screenshot FILE] [--quit-after MS] [--help]
//
// Everything lives in a temporary folder that is removed at the end.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/online/OnlineConnection.h"
#include "app/online/ServiceTransport.h"
#include "app/online/Tracker.h"
#include "app/online/WebService.h"

namespace {

namespace fs = std::filesystem;
using namespace rovana;

constexpr int kPort = 18642;
constexpr int kBuddyLead = 60;  // fixes (seconds of the drive) the buddy is ahead

fs::path SelfFolder() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path();
}

pid_t Spawn(const std::vector<std::string>& argv) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  std::perror(args[0]);
  _exit(127);
}

// The demo drive's positions, one per RMC sentence with a fix.
std::vector<GeoPoint> DrivePositions(const fs::path& log) {
  std::ifstream in(log, std::ios::binary);
  std::vector<GeoPoint> out;
  constexpr double kRad = 3.14159265358979323846 / 180;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("$GPRMC,", 0) != 0) continue;
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string part; std::getline(fields, part, ',');) f.push_back(part);
    if (f.size() < 7 || f[2] != "A" || f[3].size() < 4 || f[5].size() < 5) continue;
    // "ddmm.mmmm" and "dddmm.mmmm"; a field that is no number skips the line.
    double latDeg = 0, latMin = 0, lonDeg = 0, lonMin = 0;
    auto number = [](const std::string& text, double& value) {
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      return error == std::errc() && end == text.data() + text.size();
    };
    if (!number(f[3].substr(0, 2), latDeg) || !number(f[3].substr(2), latMin) || !number(f[5].substr(0, 3), lonDeg) ||
        !number(f[5].substr(3), lonMin))
      continue;
    const double lat = latDeg + latMin / 60, lon = lonDeg + lonMin / 60;
    out.emplace_back((f[4] == "S" ? -lat : lat) * kRad, (f[6] == "W" ? -lon : lon) * kRad);
  }
  return out;
}

// One account's online side, as Rovana has it.
struct Account {
  SettingsStore settings;
  std::unique_ptr<OnlineConnection> connection;
  std::unique_ptr<WebService> service;
  std::unique_ptr<Tracker> tracker;

  Account(const fs::path& folder, const LanguageTable& language, const std::string& email) : settings(folder) {
    settings.serviceHost = "http://127.0.0.1:" + std::to_string(kPort);
    settings.trackerEmail = email;
    settings.trackerPassword = "demo-" + email;
    settings.allowInternet = true;
    settings.useConnMgr = false;
    settings.vozazidEnabled = 1;
    settings.uploadPosInterval = 1;
    OnlineOptions options;
    options.allowInternet = [] { return true; };
    options.useConnMgr = [] { return false; };
    connection = std::make_unique<OnlineConnection>(options);
    ServiceHooks hooks;
    hooks.transport = HttpTransport(*connection);
    hooks.post = [this](SettingsChange change) { change(settings); };
    hooks.ask = [](const UserQuestion&) { return true; };
    service = std::make_unique<WebService>(language, hooks, std::string(32, '0'));
    service->Configure(ServiceSettingsOf(settings));
    TrackerHooks trackerHooks;
    trackerHooks.post = hooks.post;
    tracker = std::make_unique<Tracker>(*service, language, trackerHooks);
    tracker->Configure(TrackerSettingsOf(settings));
  }
};

int Usage(int status) {
  std::fprintf(status ? stderr : stdout,
               "usage: demo-online [--screenshot FILE] [--quit-after MS]\n"
               "Runs the reference server on 127.0.0.1:%d with two demo accounts that are buddies, drives\n"
               "the buddy along the demo loop, and starts Rovana on a copy of the demo home logged in as\n"
               "the other account, so that the buddy shows on road-map tiles the server serves from the\n"
               "demo's tile folder (the demo's own maps hidden). --screenshot and --quit-after are\n"
               "handed to Rovana (without them it runs until you quit it).\n",
               kPort);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> rovanaArgs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return Usage(0);
    if ((arg == "--screenshot" || arg == "--quit-after") && i + 1 < argc) {
      rovanaArgs.push_back(arg);
      rovanaArgs.push_back(argv[++i]);
    } else {
      return Usage(2);
    }
  }
  const fs::path bin = SelfFolder();
  char name[] = "/tmp/rovana-demo-online-XXXXXX";
  if (!mkdtemp(name)) return 1;
  const fs::path folder = name;
  std::error_code ec;
  fs::copy(ROVANA_DEMO_HOME, folder / "home", fs::copy_options::recursive, ec);
  fs::remove(folder / "home" / "settings.xml", ec);
  fs::remove(folder / "home" / "log.txt", ec);
  fs::create_directories(folder / "you");
  fs::create_directories(folder / "buddy");

  // The server answers the relay actions from the demo's canned replies and
  // serves the demo's synthetic tiles.
  const fs::path demo = ROVANA_DEMO_HOME;
  const fs::path relayConfig = folder / "relay.conf";
  std::ofstream(relayConfig) << "fixtures = " << (demo / "relay").string() << "\n"
                             << "tiles = " << (demo / "tiles").string() << "\n";
  const pid_t server = Spawn({(bin / "rovana-server").string(), "--db", (folder / "service.db").string(), "--listen",
                              "127.0.0.1:" + std::to_string(kPort), "--log", (folder / "server.log").string(),
                              "--config", relayConfig.string()});
  LanguageTable language(std::vector<fs::path>{bin.parent_path() / "share" / "rovana" / "Language"});
  language.Load("English");
  Account you(folder / "you", language, "you@demo.rovana"), buddy(folder / "buddy", language, "buddy@demo.rovana");
  bool up = false;
  for (int i = 0; i < 50 && !up; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    up = you.service->Login() == 0;
  }
  if (!up || buddy.service->Login() != 0 || !you.tracker->ChangeIdentity("you", "1234") ||
      !buddy.tracker->ChangeIdentity("Alster-buddy", "4321") || buddy.service->Login() != 0 ||
      !you.tracker->AddBuddy("Alster-buddy", buddy.settings.trackerPINpublic)) {
    std::fprintf(stderr, "demo-online: the server at 127.0.0.1:%d did not take the demo accounts (see %s)\n", kPort,
                 (folder / "server.log").c_str());
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    return 1;
  }
  std::printf("demo-online: server on 127.0.0.1:%d, accounts \"you\" and \"Alster-buddy\"\n", kPort);

  // Rovana's home: the demo, logged in as "you", buddies every 2 s.
  {
    SettingsStore s(folder / "home");
    s.languageInit = true;
    s.language = "English";
    s.gpsName = (folder / "home" / "drive.pgl").string();
    s.gpsEnabled = true;
    s.serviceHost = you.settings.serviceHost;
    s.trackerEmail = you.settings.trackerEmail;
    s.trackerPassword = you.settings.trackerPassword;
    s.allowInternet = true;
    s.useConnMgr = false;
    s.vozazidEnabled = 1;
    s.downloadPosInterval = 2;
    // Road-map tiles from the same server around the demo maps.
    s.mapsOnlineMapHost = s.serviceHost;
    s.mapsOnlineSatHost = s.serviceHost;
    s.mapsOnlineDownload = 1;
    s.mapsOnlineType = 1;
    // Zoomed out to where the demo's tiles (levels 12 to 15) are the ones
    // drawn, and the demo's own maps hidden, so that the tiles show.
    s.zoomN3 = 2.0e6;
    for (const char* map : {"Alster-overview.png", "Aussenalster.png", "Alster-south.png"}) s.hiddenMaps.Add(map);
    s.Save();
  }

  // The buddy drives the loop from a minute ahead, a fix a second.
  const std::vector<GeoPoint> drive = DrivePositions(folder / "home" / "drive.pgl");
  std::atomic<bool> stop{false};
  std::thread driver([&] {
    for (std::size_t i = kBuddyLead; !stop.load() && !drive.empty(); ++i) {
      GeoPoint p = drive[i % drive.size()];
      p.setTime(static_cast<int>(i));
      buddy.tracker->NewFix(p, 25.0, 0.0);
      buddy.tracker->Step();
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  });

  std::vector<std::string> run = {(bin / "rovana").string(), "--home", (folder / "home").string()};
  run.insert(run.end(), rovanaArgs.begin(), rovanaArgs.end());
  const pid_t rovana = Spawn(run);
  int status = 0;
  waitpid(rovana, &status, 0);
  stop = true;
  driver.join();
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  fs::remove_all(folder, ec);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
