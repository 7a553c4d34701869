// One Rovana's online side for the server tests: a home of its own with its
// settings, the connection, the session and the buddy tracker, talking to a
// server on loopback. Everything runs on the test's thread, so what the
// session changes goes straight to the store.
#pragma once

#include <memory>
#include <string>

#include "app/core/SettingsStore.h"
#include "app/online/OnlineConnection.h"
#include "app/online/ServiceTransport.h"
#include "app/online/Tracker.h"
#include "app/online/WebService.h"
#include "tests/support/TempHome.h"

namespace server_test {

struct RovanaClient {
  testing_support::TempHome home;
  std::unique_ptr<rovana::OnlineConnection> connection;
  std::unique_ptr<rovana::WebService> service;
  std::unique_ptr<rovana::Tracker> tracker;

  // Logs in as `email` (registered on the first login) on the server at
  // 127.0.0.1:`port`, with buddy tracking and tile downloads allowed.
  RovanaClient(int port, const std::string& email) {
    using namespace rovana;
    SettingsStore& s = *home.settings;
    s.serviceHost = "http://127.0.0.1:" + std::to_string(port);
    s.trackerEmail = email;
    s.trackerPassword = "pass-" + email;
    s.allowInternet = true;
    s.useConnMgr = false;
    s.vozazidEnabled = 1;
    s.mapsOnlineDownload = 1;  // governs the map catalogue ("gm") too
    OnlineOptions options;
    options.allowInternet = [] { return true; };
    options.useConnMgr = [] { return false; };
    connection = std::make_unique<OnlineConnection>(options);
    ServiceHooks hooks;
    hooks.transport = HttpTransport(*connection);
    hooks.post = [&s](SettingsChange change) { change(s); };
    hooks.ask = [](const UserQuestion&) { return true; };
    service = std::make_unique<WebService>(*home.language, hooks, std::string(32, '0'));
    service->Configure(ServiceSettingsOf(s));
    TrackerHooks trackerHooks;
    trackerHooks.post = hooks.post;
    tracker = std::make_unique<Tracker>(*service, *home.language, trackerHooks);
    tracker->Configure(TrackerSettingsOf(s));
  }
  rovana::SettingsStore& settings() { return *home.settings; }
};

}  // namespace server_test
