// Online requests against a loopback server: round trips and counters, the
// settings gate, the prepare hook, the connection check, the reset
// generation, and what reaches the log.
#include "app/online/HttpRequest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/LoggedFolder.h"
#include "tests/support/LoopbackHttp.h"

namespace {

using rovana::HttpRequest;
using rovana::OnlineConnection;
using rovana::OnlineOptions;
using testing_support::LoopbackServer;

// Reads a request to its end; nothing when a read failed.
std::optional<std::string> ReadAll(rovana::ReplyStream& stream) {
  std::string body;
  char buffer[100];
  for (;;) {
    const rovana::StreamRead r = stream.Read(buffer, sizeof buffer);
    if (!r.ok) return std::nullopt;
    if (r.bytes == 0) return body;
    body.append(buffer, r.bytes);
  }
}

class HttpRequestTest : public testing_support::LoggedFolderTest {
 protected:
  void SetUp() override {
    LoggedFolderTest::SetUp();
    auto& r = server_.routes();
    r.Get("/hello", [](const httplib::Request&, httplib::Response& res) { res.set_content("hello world", "text/plain"); });
    r.Get("/online/os.asp", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("<result id=\"0\"/>" + req.get_param_value("a"), "text/xml");
    });
    r.Get("/missing", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    r.Get("/server-error", [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
    r.Post("/post", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.get_header_value("X-A") + req.get_header_value("X-B") + ":" + req.body, "text/plain");
    });
    r.Get("/big", [](const httplib::Request&, httplib::Response& res) { res.set_content(std::string(5000, 'b'), "text/plain"); });
    ASSERT_TRUE(server_.Start());
  }

  OnlineOptions Options() {
    OnlineOptions o;
    o.allowInternet = [this] { return allow_.load(); };
    o.useConnMgr = [this] { return useConnMgr_.load(); };
    o.connectivity = [this] {
      ++checks_;
      return platform::ConnectivityAnswer{online_.load(), "test network"};
    };
    return o;
  }

  LoopbackServer server_;
  std::atomic<bool> allow_{true};
  std::atomic<bool> useConnMgr_{true};
  std::atomic<platform::Online> online_{platform::Online::kConnected};
  std::atomic<int> checks_{0};
};

TEST_F(HttpRequestTest, RoundTripsAndCounters) {
  struct Case {
    const char* name;
    std::string path;
    std::string headers;
    std::optional<std::string> body;
    std::string reply;
  };
  const Case cases[] = {
      {"get", "/hello", "", std::nullopt, "hello world"},
      {"get with a query", "/online/os.asp?a=gm&tick=5", "", std::nullopt, "<result id=\"0\"/>gm"},
      {"post with CR LF headers", "/post", "X-A: 1\r\nX-B: 2\r\n", std::string("k=v"), "12:k=v"},
      {"post with LF headers", "/post", "X-A: 3\nX-B: 4", std::string("body"), "34:body"},
  };
  OnlineConnection online(Options());
  std::uint64_t sent = 0, received = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpRequest request(online, server_.base(), c.path, 0, c.headers, c.body);
    ASSERT_TRUE(request.Open());
    EXPECT_EQ(request.status(), 200);
    EXPECT_EQ(ReadAll(request), c.reply);
    EXPECT_EQ(request.bytesReceived(), c.reply.size());
    const std::uint64_t expectSent = (c.body ? 5 + c.body->size() : 4) + c.path.size();
    EXPECT_EQ(request.requestBytes(), expectSent);
    sent += expectSent;
    received += c.reply.size();
    EXPECT_EQ(online.requestBytes(), sent);
    EXPECT_EQ(online.replyBytes(), received);
  }
  EXPECT_TRUE(online.connectionHeld());
}

TEST_F(HttpRequestTest, HostWithoutSchemeIsPlainHttp) {
  OnlineConnection online(Options());
  HttpRequest request(online, "127.0.0.1:" + std::to_string(server_.port()), "/hello");
  EXPECT_EQ(request.host(), server_.base());
  ASSERT_TRUE(request.Open());
  EXPECT_EQ(ReadAll(request), "hello world");
}

TEST_F(HttpRequestTest, RequestsThatDoNotOpen) {
  struct Case {
    const char* name;
    bool allow, useConnMgr;
    platform::Online network;
    std::string host;  // empty: the test server
    std::string path;
    bool reachesServer;
    std::string logged;
  };
  const std::string closed = "http://127.0.0.1:" + std::to_string(testing_support::ClosedPort());
  const Case cases[] = {
      {"internet not allowed", false, true, platform::Online::kConnected, "", "/hello", false,
       "could not connect to internet"},
      {"offline", true, true, platform::Online::kOffline, "", "/hello", false, "could not connect to internet"},
      {"not found", true, true, platform::Online::kConnected, "", "/missing", true, "fail on HttpSendRequest: status 404"},
      {"server error", true, true, platform::Online::kConnected, "", "/server-error", true,
       "fail on HttpSendRequest: status 500"},
      {"nothing listens", true, true, platform::Online::kConnected, closed, "/hello", false, "fail on InternetConnect"},
      {"not an address", true, true, platform::Online::kConnected, "", "no-slash", false, "fail on HttpOpenRequest"},
      {"unknown scheme", true, true, platform::Online::kConnected, "gopher://127.0.0.1", "/", false,
       "fail on HttpOpenRequest"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    allow_ = c.allow;
    useConnMgr_ = c.useConnMgr;
    online_ = c.network;
    OnlineConnection online(Options());
    const int before = server_.requests();
    HttpRequest request(online, c.host.empty() ? server_.base() : c.host, c.path);
    EXPECT_FALSE(request.Open());
    char byte;
    EXPECT_FALSE(request.Read(&byte, 1).ok);
    EXPECT_EQ(server_.requests() > before, c.reachesServer);
    EXPECT_NE(LogText().find(c.logged), std::string::npos) << LogText();
  }
}

TEST_F(HttpRequestTest, WithoutTheConnectionManagerOnlyReadsAreGated) {
  // useConnMgr false skips the connection step, so the request goes out;
  // the reply is still not read while internet access is not allowed.
  useConnMgr_ = false;
  allow_ = false;
  OnlineConnection online(Options());
  HttpRequest request(online, server_.base(), "/hello");
  EXPECT_TRUE(request.Open());
  EXPECT_EQ(checks_.load(), 0);
  char buffer[16];
  EXPECT_FALSE(request.Read(buffer, sizeof buffer).ok);
  allow_ = true;
  EXPECT_FALSE(request.Read(buffer, sizeof buffer).ok) << "a failed read closes the request";
  EXPECT_EQ(online.replyBytes(), 0u);
}

TEST_F(HttpRequestTest, InternetSwitchedOffWhileReading) {
  OnlineConnection online(Options());
  HttpRequest request(online, server_.base(), "/big");
  ASSERT_TRUE(request.Open());
  char buffer[100];
  ASSERT_TRUE(request.Read(buffer, sizeof buffer).ok);
  allow_ = false;
  EXPECT_FALSE(request.Read(buffer, sizeof buffer).ok);
  EXPECT_EQ(request.bytesReceived(), 100u);
}

TEST_F(HttpRequestTest, PrepareHookDecidesThePath) {
  struct Case {
    const char* name;
    std::optional<std::string> answer;
    bool opens;
    std::string seen;  // the request line the server got, or "" for none
  };
  const Case cases[] = {
      {"refused", std::nullopt, false, ""},
      {"suffix added", std::string("/online/os.asp?a=bl&i=7&s=9&tick=123"), true, "GET /online/os.asp?a=bl&i=7&s=9&tick=123"},
  };
  OnlineConnection online(Options());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = server_.requests();
    const int checksBefore = checks_.load();
    HttpRequest request(online, server_.base(), "/online/os.asp?a=bl", 3);
    int calls = 0;
    request.prepare = [&](const HttpRequest& r) {
      ++calls;
      EXPECT_EQ(r.kind(), 3);
      EXPECT_EQ(r.path(), "/online/os.asp?a=bl");
      return c.answer;
    };
    EXPECT_EQ(request.Open(), c.opens);
    EXPECT_EQ(calls, 1);
    if (c.seen.empty()) {
      EXPECT_EQ(server_.requests(), before);
      EXPECT_EQ(checks_.load(), checksBefore) << "a refused request does not even check the connection";
    } else {
      ASSERT_FALSE(server_.seen().empty());
      EXPECT_EQ(server_.seen().back(), c.seen);
      EXPECT_EQ(request.sentPath(), *c.answer);
      EXPECT_EQ(request.requestBytes(), 4 + c.answer->size());
    }
  }
  EXPECT_EQ(LogText().find("fail on"), std::string::npos) << "a refusal is not a failure";
}

TEST_F(HttpRequestTest, ARequestFromBeforeAResetFails) {
  OnlineConnection online(Options());
  HttpRequest old(online, server_.base(), "/hello");
  online.Reset();
  HttpRequest fresh(online, server_.base(), "/hello");
  EXPECT_EQ(fresh.generation(), old.generation() + 1);
  EXPECT_FALSE(old.Open());
  EXPECT_EQ(server_.requests(), 0);
  EXPECT_NE(LogText().find("reinit occurred"), std::string::npos);
  EXPECT_TRUE(fresh.Open());
  EXPECT_EQ(ReadAll(fresh), "hello world");
}

TEST_F(HttpRequestTest, TheHeldConnectionFollowsTheNetwork) {
  OnlineConnection online(Options());
  EXPECT_FALSE(online.connectionHeld());
  struct Step {
    const char* name;
    platform::Online network;
    bool opens;
    bool held;
  };
  const Step steps[] = {
      {"connected", platform::Online::kConnected, true, true},
      {"dropped", platform::Online::kOffline, false, false},
      {"back", platform::Online::kConnected, true, true},
      {"no manager counts as connected", platform::Online::kNoManager, true, true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    online_ = s.network;
    HttpRequest request(online, server_.base(), "/hello");
    EXPECT_EQ(request.Open(), s.opens);
    EXPECT_EQ(online.connectionHeld(), s.held);
  }
  online.ReleaseConnection();
  EXPECT_FALSE(online.connectionHeld());
  const std::string log = LogText();
  EXPECT_NE(log.find("The connection dropped"), std::string::npos);
  EXPECT_NE(log.find("No connection manager"), std::string::npos);
  EXPECT_NE(log.find("Connection released"), std::string::npos);
}

TEST_F(HttpRequestTest, PasswordsNeverReachTheLog) {
  OnlineConnection online(Options());
  HttpRequest request(online, server_.base(), "/missing?a=ul&e=me%40example.org&p=s3cret&v=1");
  EXPECT_FALSE(request.Open());
  const std::string log = LogText();
  EXPECT_NE(log.find("/missing?a=ul&e=me%40example.org&p=***&v=1"), std::string::npos) << log;
  EXPECT_EQ(log.find("s3cret"), std::string::npos) << log;
}

TEST(MaskPasswordTest, OnlyThePasswordParameter) {
  struct Case {
    const char* path;
    const char* logged;
  };
  const Case cases[] = {
      {"/online/os.asp?a=ul&e=x&p=secret&s=1", "/online/os.asp?a=ul&e=x&p=***&s=1"},
      {"/online/os.asp?p=secret", "/online/os.asp?p=***"},
      {"/online/os.asp?a=ur&e=x&p=", "/online/os.asp?a=ur&e=x&p=***"},
      {"/online/os.asp?a=up&t=1&p=2&p=3", "/online/os.asp?a=up&t=1&p=***&p=***"},
      {"/online/os.asp?ap=1&pp=2", "/online/os.asp?ap=1&pp=2"},
      {"/path/p=not-a-query", "/path/p=not-a-query"},
      {"/x?a=1&&p=z", "/x?a=1&&p=***"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(rovana::MaskPassword(c.path), c.logged);
  }
}

TEST_F(HttpRequestTest, CountersAddUpAcrossThreads) {
  OnlineConnection online(Options());
  constexpr int kThreads = 4, kEach = 8;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&] {
      for (int k = 0; k < kEach; ++k) {
        HttpRequest request(online, server_.base(), "/hello");
        if (request.Open() && ReadAll(request) == "hello world") ++good;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(good.load(), kThreads * kEach);
  EXPECT_EQ(online.replyBytes(), static_cast<std::uint64_t>(kThreads * kEach * 11));
  EXPECT_EQ(online.requestBytes(), static_cast<std::uint64_t>(kThreads * kEach * (4 + 6)));
}

TEST_F(HttpRequestTest, TheReplyCapHolds) {
  OnlineConnection online(Options());
  HttpRequest capped(online, server_.base(), "/big");
  capped.setReplyCap(1000);
  if (capped.Open()) {
    EXPECT_EQ(ReadAll(capped), std::nullopt);
  }
  EXPECT_LE(capped.bytesReceived(), 1000u);
  EXPECT_NE(LogText().find("fail on"), std::string::npos);
  HttpRequest roomy(online, server_.base(), "/big");
  ASSERT_TRUE(roomy.Open());
  EXPECT_EQ(ReadAll(roomy)->size(), 5000u);
}

TEST(SplitHeaderLinesTest, Separators) {
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"A: 1", {"A: 1"}},
      {"A: 1\r\nB: 2\r\n", {"A: 1", "B: 2"}},
      {"A: 1\n\nB: 2", {"A: 1", "B: 2"}},
      {"\r\n\r\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(rovana::SplitHeaderLines(c.text), c.lines);
  }
}

}  // namespace
