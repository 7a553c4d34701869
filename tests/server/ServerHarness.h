// The web service started in-process on a free loopback port over a
// temporary database, with a clock the test steps by hand, and a client
// that reads the XML replies with the application's own reader.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/XmlReader.h"
#include "server/Actions.h"
#include "server/HttpFront.h"
#include "server/SqliteStorage.h"
#include "server/relay/TileStore.h"
#include "server/relay/WebRelay.h"

namespace server_test {

// One element of a reply: its name, the name of the element around it, its
// "id" attribute and its text.
struct Element {
  std::string name;
  std::string parent;
  std::optional<std::int64_t> id;
  std::string text;
};

class ReplyReader final : public rovana::XmlReader {
 public:
  explicit ReplyReader(std::string body)
      : rovana::XmlReader(std::make_unique<rovana::XmlMemorySource>(std::move(body), "reply")) {}
  std::vector<Element> elements;
  bool wellFormed = true;

 protected:
  void Parse() override {
    std::vector<std::size_t> open;  // indices into elements
    while (NextToken()) {
      if (type() == rovana::XmlToken::StartTag) {
        Element element;
        element.name = Name();
        element.parent = open.empty() ? "" : elements[open.back()].name;
        if (const auto id = Attribute("id")) element.id = rovana::ScanInt(*id);
        elements.push_back(element);
        if (!EmptyElement()) open.push_back(elements.size() - 1);
      } else if (type() == rovana::XmlToken::Text) {
        if (!open.empty()) elements[open.back()].text += Text(true);
      } else if (type() == rovana::XmlToken::EndTag) {
        if (open.empty() || elements[open.back()].name != Name()) wellFormed = false;
        if (!open.empty()) open.pop_back();
      }
    }
    if (!open.empty()) wellFormed = false;
  }
};

struct Reply {
  int status = 0;  // HTTP status, 0 when no reply came
  std::string body;
  std::vector<Element> elements;
  bool wellFormed = false;

  // The result code, or -100 without a result element.
  int result() const {
    const Element* element = First("result");
    return element && element->id ? static_cast<int>(*element->id) : -100;
  }
  const Element* First(const std::string& name, const std::string& parent = "") const {
    for (const Element& e : elements) {
      if (e.name == name && (parent.empty() || e.parent == parent)) return &e;
    }
    return nullptr;
  }
  std::string TextOf(const std::string& name, const std::string& parent = "") const {
    const Element* e = First(name, parent);
    return e ? e->text : "<missing " + name + ">";
  }
  std::vector<Element> All(const std::string& name) const {
    std::vector<Element> found;
    for (const Element& e : elements) {
      if (e.name == name) found.push_back(e);
    }
    return found;
  }
  // The children of the element at `index` in `elements`, as name -> text.
  std::map<std::string, std::string> ChildrenOf(const std::string& name, std::int64_t id) const {
    std::map<std::string, std::string> children;
    bool inside = false;
    for (const Element& e : elements) {
      if (e.name == name) inside = e.id && *e.id == id;
      else if (inside && e.parent == name) children[e.name] = e.text;
    }
    return children;
  }
};

inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
  std::random_device random;
  auto folder = std::filesystem::temp_directory_path() /
                (prefix + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(folder);
  return folder;
}

inline rovana::server::ServiceConfig TestConfig() {
  rovana::server::ServiceConfig config;
  config.passwordIterations = 1000;  // fast; the default is for real use
  config.sessionIdleSeconds = 3600;
  config.loginPerMinute = 600;
  config.loginBurst = 600;
  config.accountPerMinute = 6000;
  config.accountBurst = 6000;
  return config;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A logged-in account: its id and session, and the suffix the client adds
// to every request of the buddy service.
struct Login {
  std::int64_t user = 0;
  std::int64_t session = 0;
  std::string Suffix() const {
    return "&i=" + std::to_string(user) + "&s=" + std::to_string(session) + "&tick=123456";
  }
};

class TestServer {
 public:
  explicit TestServer(rovana::server::ServiceConfig config = TestConfig(), std::string cert = {},
                      std::string key = {})
      : folder_(MakeTempFolder("rovana-server-")) {
    log_.Open(logFile());
    Start(std::move(config), cert, key, relay_);
  }
  // The same with the relay on `relay`'s upstreams and its tiles served.
  explicit TestServer(const rovana::server::RelayConfig& relay) : folder_(MakeTempFolder("rovana-relay-")) {
    log_.Open(logFile());  // before the relay and the tile store, which log as they start
    webRelay_ = std::make_unique<rovana::server::WebRelay>(relay, log_);
    if (relay.HasTiles()) tiles_ = std::make_unique<rovana::server::TileStore>(relay, log_);
    Start(TestConfig(), {}, {}, *webRelay_);
  }
 private:
  void Start(rovana::server::ServiceConfig config, const std::string& cert, const std::string& key,
             rovana::server::RelayAdapter& relay) {
    storage_ = rovana::server::SqliteStorage::Open(database(), log_);
    service_ = std::make_unique<rovana::server::Service>(*storage_, log_, std::move(config),
                                                         relay, [this] { return now_.load(); });
    front_ = std::make_unique<rovana::server::HttpFront>(*service_, log_, cert, key, tiles_.get());
    port_ = front_->Bind("127.0.0.1", 0);
    thread_ = std::thread([this] { front_->Run(); });
    for (int i = 0; i < 500 && !front_->running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_read_timeout(10, 0);
    // The queries are sent as the application encodes them, byte for byte.
    client_->set_url_encode(false);
  }

 public:
  ~TestServer() {
    front_->Stop();
    if (thread_.joinable()) thread_.join();
    front_.reset();
    service_.reset();
    storage_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int port() const { return port_; }
  bool valid() const { return front_->valid() && port_ > 0; }
  std::filesystem::path database() const { return folder_ / "service.db"; }
  std::filesystem::path logFile() const { return folder_ / "server.log"; }
  std::string LogText() const { return ReadFile(logFile()); }
  // The server writes a request's log line after its reply has gone out, so
  // a test that has its reply may look before the line is there: waits (at
  // most five seconds) until every one of `lines` is in the log.
  std::string LogTextWith(const std::vector<std::string>& lines) const {
    std::string text;
    for (int attempt = 0; attempt < 500; ++attempt) {
      text = LogText();
      bool all = true;
      for (const std::string& line : lines) all = all && text.find(line) != std::string::npos;
      if (all) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text;
  }
  rovana::server::SqliteStorage& storage() { return *storage_; }
  void Advance(std::int64_t seconds) { now_ += seconds; }
  std::int64_t now() const { return now_; }

  // GET "/online/os.asp?" + query.
  Reply Get(const std::string& query) { return GetPath(std::string(rovana::server::kServicePath) + "?" + query); }
  Reply GetPath(const std::string& path) {
    Reply reply;
    auto result = client_->Get(path.c_str());
    if (!result) return reply;
    reply.status = result->status;
    reply.body = result->body;
    ReplyReader reader(reply.body);
    reader.Read();
    reply.elements = reader.elements;
    reply.wellFormed = reader.wellFormed && reader.problem().empty();
    return reply;
  }
  httplib::Client& client() { return *client_; }

  // Registers (when `create`) and logs in; a zero login when that fails.
  Login SignUp(const std::string& email, const std::string& password = "secret") {
    Get("a=ur&e=" + Encode(email) + "&p=" + Encode(password) + "&tick=1");
    const Reply reply = Get("a=ul&e=" + Encode(email) + "&p=" + Encode(password) +
                            "&s=&v=3.4.6+Linux&l=0&d=PPC&c=0123456789abcdef0123456789abcdef&tick=2");
    Login login;
    if (reply.result() != 0) return login;
    const Element* user = reply.First("user");
    login.user = user && user->id ? *user->id : 0;
    login.session = std::stoll("0" + reply.TextOf("session", "user"));
    return login;
  }

  // The client's encoding of a query value: UTF-8 bytes percent-encoded,
  // space as "+".
  static std::string Encode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
      if (std::isalnum(c) || c == '.' || c == '*' || c == '_' || c == '-') {
        out.push_back(static_cast<char>(c));
      } else if (c == ' ') {
        out.push_back('+');
      } else {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        out += hex;
      }
    }
    return out;
  }

 private:
  std::filesystem::path folder_;
  rovana::server::ServerLog log_;
  rovana::server::EmptyRelay relay_;
  std::unique_ptr<rovana::server::WebRelay> webRelay_;
  std::unique_ptr<rovana::server::TileStore> tiles_;
  std::atomic<std::int64_t> now_{1'800'000'000};
  std::unique_ptr<rovana::server::SqliteStorage> storage_;
  std::unique_ptr<rovana::server::Service> service_;
  std::unique_ptr<rovana::server::HttpFront> front_;
  std::thread thread_;
  int port_ = -1;
  std::unique_ptr<httplib::Client> client_;
};

}  // namespace server_test
