// OnlineServices: the online side of the application, owned by Application
// for the whole run. It holds the connection (with atomic mirrors of
// `allowInternet` and `useConnMgr` that worker threads read), the web-service
// session over HTTP requests, the buddy tracker and its thread, and the
// actions the online dialogs call.
//
// Threads: requests run on the tracker's thread and on a pool thread per
// dialog action. What they change in the settings is posted to the
// user-interface thread; what they ask the user goes there through one
// blocking call, answered "no" at once while the program shuts down. Once a
// second (on the UI thread) the session and the tracker read the settings
// again and the mirrors are refreshed.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogs/OnlineActions.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {
class LanguageTable;
class OnlineConnection;
class SettingsStore;
class Directions;
class DirectionsThread;
class Tracker;
class TrackerThread;
class WebService;
struct SearchTransport;
}  // namespace rovana

namespace rovana::ui {

// A buddy as the map shows it.
struct BuddyMark {
  GeoPoint position;  // with the nickname as its name
  int ageSeconds = 0;
};

class OnlineServices : public QObject {
  Q_OBJECT

 public:
  // `quit` is the application's flag: set, questions are answered "no".
  OnlineServices(SettingsStore& settings, const LanguageTable& language, const std::atomic<bool>& quit);
  ~OnlineServices() override;

  // Starts the tracker's thread (after the GPS connection exists).
  void Start();
  // What GPSThread hands the tracker with every fix.
  std::function<void(const GeoPoint&, double, double)> FixHook();
  // The actions of the online dialogs.
  const dialogs::OnlineActions& actions() const { return actions_; }
  // The buddies with a position, for the map.
  std::vector<BuddyMark> Buddies() const;
  // A chat line arrived (UI thread); the main screen opens the chat.
  std::function<void()> onChat;
  // After a failed login the user chose to see the account (UI thread).
  std::function<void()> onOpenAccount;

  // The directions to the target and their thread, once the GPX files are
  // loaded (pages in `tempFolder`); null before.
  void StartDirections(const std::filesystem::path& tempFolder);
  Directions* directions() const { return directions_.get(); }

  // Settings read again now (the timer does it every second).
  void FollowSettings();

  // The requests of the search providers and the geocoder: relay actions
  // through the session, the geocaching site's form POST directly. They
  // block: call them inside RunBlocking.
  SearchTransport SearchRequests();
  // allowInternet as the workers see it.
  bool online() const { return allowInternet_.load(); }
  // Reads the settings again, runs `work` on a pool thread and returns when
  // it is done; meanwhile the user-interface thread keeps serving its
  // questions and settings changes (but no input) in a local event loop.
  void RunBlocking(const std::function<void()>& work);

  // The connection and the session, for the map tiles' downloads and their
  // version update (safe from the tile queue's thread).
  OnlineConnection& connection() { return *connection_; }
  WebService& service() { return *service_; }

 private:
  bool AskOnUiThread(const std::string& text, bool yesNo);

  SettingsStore& settings_;
  const LanguageTable& language_;
  const std::atomic<bool>& quit_;
  std::atomic<bool> allowInternet_{false}, useConnMgr_{true};
  std::unique_ptr<OnlineConnection> connection_;
  std::unique_ptr<WebService> service_;
  std::unique_ptr<Tracker> tracker_;
  std::unique_ptr<TrackerThread> thread_;
  std::unique_ptr<Directions> directions_;
  std::unique_ptr<DirectionsThread> directionsThread_;
  dialogs::OnlineActions actions_;
  QTimer timer_;
};

}  // namespace rovana::ui
