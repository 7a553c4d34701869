// The libcurl transfer against real servers on loopback: round trips, status
// codes, the reply cap, replies that break off or stall, redirects, streaming,
// threads, proxies from the environment and HTTPS with a test authority.
#include "platform/http/HttpTransfer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/LoopbackHttp.h"

namespace {

using platform::HttpFailure;
using platform::HttpOptions;
using platform::HttpRequestLine;
using platform::HttpTransfer;
using testing_support::LoopbackServer;
using testing_support::RawServer;

struct Outcome {
  bool opened = false;
  int status = 0;
  std::string body;
  bool endedCleanly = false;  // the last read gave {true, 0}
  HttpFailure failure = HttpFailure::kNone;
};

Outcome Fetch(const HttpRequestLine& request, const HttpOptions& options = {}, std::size_t piece = 1000) {
  Outcome o;
  HttpTransfer t;
  o.opened = t.Open(request, options);
  o.status = t.status();
  if (o.opened) {
    std::vector<char> buffer(piece);
    for (;;) {
      const platform::HttpRead r = t.Read(buffer.data(), buffer.size());
      if (!r.ok) break;
      if (r.bytes == 0) {
        o.endedCleanly = true;
        break;
      }
      o.body.append(buffer.data(), r.bytes);
    }
  }
  o.failure = t.failure();
  return o;
}

class HttpTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& r = server_.routes();
    r.Get("/hello", [](const httplib::Request&, httplib::Response& res) { res.set_content("hello world", "text/plain"); });
    r.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("nope", "text/plain");
    });
    r.Get("/agent", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.get_header_value("User-Agent"), "text/plain");
    });
    r.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.method + "|" + req.get_header_value("X-Test") + "|" + req.body, "text/plain");
    });
    r.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.method + "|" + req.get_header_value("X-Test") + "|" + req.body, "text/plain");
    });
    r.Get("/moved", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/hello"); });
    r.Get("/loop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
    r.Get("/empty", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    r.Get("/big", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(2 * 1024 * 1024, 'x'), "application/octet-stream");
    });
    // No Content-Length: the cap must catch it while it streams.
    r.Get("/big-chunked", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
        if (offset >= 3 * 1024 * 1024) {
          sink.done();
          return true;
        }
        const std::string block(64 * 1024, 'y');
        return sink.write(block.data(), block.size());
      });
    });
    ASSERT_TRUE(server_.Start());
  }

  LoopbackServer server_;
};

TEST_F(HttpTransferTest, RoundTrips) {
  struct Case {
    const char* name;
    HttpRequestLine request;
    int status;
    std::string body;
  };
  const std::string base = server_.base();
  const Case cases[] = {
      {"get", {base, "/hello"}, 200, "hello world"},
      {"base with a trailing slash", {base + "/", "/hello"}, 200, "hello world"},
      {"not found keeps its status and body", {base, "/missing"}, 404, "nope"},
      {"agent name", {base, "/agent"}, 200, "Rovana"},
      {"post with a body and a header", {base, "/echo", {"X-Test: 7"}, std::string("a=1&b=2")}, 200, "POST|7|a=1&b=2"},
      {"post with an empty body", {base, "/echo", {}, std::string()}, 200, "POST||"},
      {"get sends no body", {base, "/echo", {"X-Test: g"}}, 200, "GET|g|"},
      {"a header line with a line break is dropped", {base, "/echo", {"X-Test: a\r\nX-Evil: 1"}}, 200, "GET||"},
      {"redirect followed", {base, "/moved"}, 200, "hello world"},
      {"no content", {base, "/empty"}, 204, ""},
      {"big reply under a larger cap", {base, "/big"}, 200, std::string(2 * 1024 * 1024, 'x')},
  };
  HttpOptions roomy;
  roomy.replyCap = 4 * 1024 * 1024;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = Fetch(c.request, roomy);
    EXPECT_TRUE(o.opened);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(o.body.size(), c.body.size());
    EXPECT_TRUE(o.body == c.body);
    EXPECT_TRUE(o.endedCleanly);
  }
}

TEST_F(HttpTransferTest, FailuresNameTheirStep) {
  struct Case {
    const char* name;
    HttpRequestLine request;
    HttpOptions options;
    HttpFailure failure;
    bool reachesServer;
  };
  const std::string base = server_.base();
  HttpOptions small;
  small.replyCap = 1000;
  HttpOptions noRedirects;
  noRedirects.maxRedirects = 0;
  const Case cases[] = {
      {"ftp", {"ftp://127.0.0.1", "/x"}, {}, HttpFailure::kBadUrl, false},
      {"no host", {"http://", "/x"}, {}, HttpFailure::kBadUrl, false},
      {"no scheme", {"127.0.0.1", "/x"}, {}, HttpFailure::kBadUrl, false},
      {"path without slash", {base, "hello"}, {}, HttpFailure::kBadUrl, false},
      {"space in the path", {base, "/a b"}, {}, HttpFailure::kBadUrl, false},
      {"line break in the path", {base, "/a\r\nX: 1"}, {}, HttpFailure::kBadUrl, false},
      {"path in the base", {base + "/x", "/y"}, {}, HttpFailure::kBadUrl, false},
      {"nothing listens",
       {"http://127.0.0.1:" + std::to_string(testing_support::ClosedPort()), "/x"}, {}, HttpFailure::kConnect, false},
      {"announced size beyond the cap", {base, "/big"}, small, HttpFailure::kTooLarge, true},
      {"streamed size beyond the cap", {base, "/big-chunked"}, {}, HttpFailure::kTooLarge, true},
      {"redirect loop", {base, "/loop"}, {}, HttpFailure::kSend, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = server_.requests();
    const Outcome o = Fetch(c.request, c.options);
    EXPECT_FALSE(o.endedCleanly);
    EXPECT_EQ(o.failure, c.failure) << platform::HttpFailureName(o.failure);
    EXPECT_LE(o.body.size(), c.options.replyCap);
    EXPECT_EQ(server_.requests() > before, c.reachesServer);
  }
  // Without following, a redirect is a reply like any other.
  const Outcome moved = Fetch({base, "/moved"}, noRedirects);
  EXPECT_TRUE(moved.opened);
  EXPECT_EQ(moved.status, 302);
}

TEST(HttpTransferRawTest, BrokenRepliesNeverLookComplete) {
  struct Case {
    const char* name;
    std::string reply;
    int holdMs;
    bool opens;
    std::string body;  // what arrives before the failure
    HttpFailure failure;
  };
  const Case cases[] = {
      {"ends before its length", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort", 0, true, "short",
       HttpFailure::kBrokenOff},
      {"chunked without the last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", 0, true,
       "hello", HttpFailure::kBrokenOff},
      {"stalls", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab", 4000, true, "ab", HttpFailure::kBrokenOff},
      {"closed without a byte", "", 0, false, "", HttpFailure::kSend},
      {"not HTTP", "garbage\r\n\r\nmore garbage", 0, false, "", HttpFailure::kSend},
      {"headers never end", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n", 0, false, "", HttpFailure::kSend},
  };
  HttpOptions quick;
  quick.stallTimeoutMs = 1000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server(c.reply, c.holdMs);
    ASSERT_TRUE(server.ok());
    const Outcome o = Fetch({server.base(), "/x"}, quick);
    EXPECT_EQ(o.opened, c.opens);
    EXPECT_EQ(o.body, c.body);
    EXPECT_FALSE(o.endedCleanly);
    EXPECT_EQ(o.failure, c.failure) << platform::HttpFailureName(o.failure);
  }
}

TEST(HttpTransferRawTest, ReadsHandOutTheBodyBeforeItIsComplete) {
  // The second half is sent only once the client has read the first: a
  // transfer that waited for the whole reply would never finish.
  std::promise<void> firstRead;
  std::shared_future<void> gotFirst = firstRead.get_future().share();
  LoopbackServer server;
  server.routes().Get("/stream", [gotFirst](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/plain", [gotFirst](std::size_t offset, httplib::DataSink& sink) {
      if (offset == 0) return sink.write("first", 5);
      if (gotFirst.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return false;
      sink.write("second", 6);
      sink.done();
      return true;
    });
  });
  ASSERT_TRUE(server.Start());
  HttpTransfer t;
  ASSERT_TRUE(t.Open({server.base(), "/stream"}));
  char buffer[64];
  platform::HttpRead r = t.Read(buffer, sizeof buffer);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(std::string(buffer, r.bytes), "first");
  firstRead.set_value();
  std::string rest;
  while ((r = t.Read(buffer, 2)).ok && r.bytes > 0) rest.append(buffer, r.bytes);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(rest, "second");
  EXPECT_EQ(t.received(), 11u);
}

TEST(HttpTransferRawTest, ReadBeforeOpenAndAfterCloseFails) {
  HttpTransfer t;
  char c;
  EXPECT_FALSE(t.Read(&c, 1).ok);
  RawServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  ASSERT_TRUE(t.Open({server.base(), "/"}));
  t.Close();
  t.Close();
  EXPECT_FALSE(t.isOpen());
  EXPECT_FALSE(t.Read(&c, 1).ok);
}

TEST_F(HttpTransferTest, ThreadsEachWithTheirOwnTransfer) {
  constexpr int kThreads = 4, kEach = 10;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&] {
      for (int k = 0; k < kEach; ++k) {
        const Outcome o = Fetch({server_.base(), "/hello"});
        if (o.endedCleanly && o.body == "hello world") ++good;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(good.load(), kThreads * kEach);
}

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(HttpTransferProxyTest, TheEnvironmentsProxyCarriesTheRequest) {
  RawServer proxy("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nproxied");
  ASSERT_TRUE(proxy.ok());
  ScopedEnv noProxy("no_proxy", nullptr), noProxyUpper("NO_PROXY", nullptr);
  ScopedEnv httpProxy("http_proxy", proxy.base().c_str());
  // The name is never looked up: the proxy is asked for it.
  const Outcome o = Fetch({"http://rovana-test.invalid", "/online/os.asp?a=gm"});
  EXPECT_TRUE(o.endedCleanly);
  EXPECT_EQ(o.body, "proxied");
  ASSERT_EQ(proxy.heads().size(), 1u);
  EXPECT_EQ(proxy.heads()[0].rfind("GET http://rovana-test.invalid/online/os.asp?a=gm HTTP/1.1\r\n", 0), 0u)
      << proxy.heads()[0];
}

TEST(HttpTransferTlsTest, VerifiesThePeer) {
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
  GTEST_SKIP() << "cpp-httplib was built without OpenSSL: no HTTPS test server";
#endif
  testing_support::TestCertificate certificate;
  ASSERT_TRUE(certificate.ok());
  LoopbackServer server(&certificate);
  server.routes().Get("/hello", [](const httplib::Request&, httplib::Response& res) { res.set_content("secure", "text/plain"); });
  ASSERT_TRUE(server.Start());
  HttpOptions trusted;
  trusted.caFile = certificate.certificateFile();
  const std::string port = std::to_string(server.port());

  struct Case {
    const char* name;
    std::string base;
    HttpOptions options;
    bool ok;
  };
  const Case cases[] = {
      {"trusted, by address", "https://127.0.0.1:" + port, trusted, true},
      {"trusted, by name", "https://localhost:" + port, trusted, true},
      {"unknown authority", "https://127.0.0.1:" + port, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = Fetch({c.base, "/hello"}, c.options);
    EXPECT_EQ(o.endedCleanly, c.ok);
    EXPECT_EQ(o.body, c.ok ? "secure" : "");
    EXPECT_EQ(o.failure, c.ok ? HttpFailure::kNone : HttpFailure::kConnect) << platform::HttpFailureName(o.failure);
  }
}

}  // namespace
