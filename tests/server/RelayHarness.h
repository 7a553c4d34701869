// A fake outside service on loopback for the relay's tests: canned replies
// by path (status, body, a delay before answering), and a record of every
// request target and User-Agent it saw. Plus a whole rovana-server front
// with a WebRelay and a TileStore, for tests over HTTP.
#pragma once

#include <httplib.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/relay/TileStore.h"
#include "server/relay/WebRelay.h"
#include "tests/server/ServerHarness.h"

namespace relay_test {

struct Canned {
  int status = 200;
  std::string body;
  std::string type = "application/json";
  int delayMs = 0;
};

class FakeUpstream {
 public:
  FakeUpstream() {
    server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      Canned canned;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        targets_.push_back(request.target);
        agents_.push_back(request.get_header_value("User-Agent"));
        const auto found = replies_.find(request.path);
        if (found == replies_.end()) {
          response.status = 404;
          return;
        }
        canned = found->second;
      }
      if (canned.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(canned.delayMs));
      response.status = canned.status;
      response.set_content(canned.body, canned.type.c_str());
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    for (int i = 0; i < 500 && !server_.is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~FakeUpstream() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  FakeUpstream(const FakeUpstream&) = delete;
  FakeUpstream& operator=(const FakeUpstream&) = delete;

  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  void Answer(const std::string& path, Canned canned) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[path] = std::move(canned);
  }
  std::vector<std::string> targets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return targets_;
  }
  std::string lastTarget() {
    std::lock_guard<std::mutex> lock(mutex_);
    return targets_.empty() ? "<none>" : targets_.back();
  }
  std::string lastAgent() {
    std::lock_guard<std::mutex> lock(mutex_);
    return agents_.empty() ? "<none>" : agents_.back();
  }

 private:
  httplib::Server server_;
  int port_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::map<std::string, Canned> replies_;
  std::vector<std::string> targets_;
  std::vector<std::string> agents_;
};

// A configuration with every upstream on the fake, no throttle (the
// throttle has its own test) and a short time-out.
inline rovana::server::RelayConfig FakeConfig(const FakeUpstream& fake) {
  rovana::server::RelayConfig config;
  config.contact = "ops@example.org";
  for (rovana::server::UpstreamConfig* upstream :
       {&config.geocoder, &config.router, &config.geonames, &config.photos}) {
    upstream->url = fake.url();
    upstream->intervalMs = 0;
  }
  config.geonamesUser = "demo";
  config.timeoutSeconds = 1;
  return config;
}

// The full front: service, relay, tiles, on a free loopback port.
class RelayServer : public server_test::TestServer {
 public:
  explicit RelayServer(const rovana::server::RelayConfig& config) : TestServer(config) {}
  // A registered, logged-in account's "&i=..&s=..&tick=.." suffix.
  std::string SignUp() { return TestServer::SignUp("relay@example.org", "pw").Suffix(); }
};

}  // namespace relay_test
