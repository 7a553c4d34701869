// Reply headers of a transfer: found by name in any letter case, trimmed,
// taken from the final reply only (not from a redirect before it), and
// kept after the transfer is closed.
#include <gtest/gtest.h>

#include <string>

#include "platform/http/HttpTransfer.h"
#include "tests/support/LoopbackHttp.h"

namespace {

using platform::HttpTransfer;
using testing_support::LoopbackServer;
using testing_support::RawServer;

TEST(HttpReplyHeadersTest, FinalReplysHeadersByName) {
  LoopbackServer server;
  server.routes().Get("/moved", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("ETag", "\"from-the-redirect\"");
    res.set_redirect("/tile");
  });
  server.routes().Get("/tile", [](const httplib::Request& req, httplib::Response& res) {
    res.set_header("ETag", "\"abc\"");
    res.set_header("Cache-Control", "max-age=86400");
    res.set_content(req.get_header_value("If-None-Match"), "text/plain");
  });
  ASSERT_TRUE(server.Start());
  struct Case {
    const char* name;
    std::string path, header;
    std::optional<std::string> value;
  } cases[] = {
      {"exact name", "/tile", "ETag", "\"abc\""},
      {"other letter case", "/tile", "cache-control", "max-age=86400"},
      {"absent", "/tile", "Expires", std::nullopt},
      {"a prefix of a name is not the name", "/tile", "Cache", std::nullopt},
      {"after a redirect: the final reply's", "/moved", "etag", "\"abc\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpTransfer t;
    ASSERT_TRUE(t.Open({server.base(), c.path, {"If-None-Match: \"x\""}}));
    char buffer[64];
    const platform::HttpRead r = t.Read(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, r.bytes), "\"x\"") << "request headers are sent";
    t.Close();
    EXPECT_EQ(t.header(c.header), c.value);
  }
}

TEST(HttpReplyHeadersTest, SpacesAroundAValueAreTrimmed) {
  RawServer raw("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nETag:   \"t\"  \r\nConnection: close\r\n\r\nok");
  ASSERT_TRUE(raw.ok());
  HttpTransfer t;
  ASSERT_TRUE(t.Open({raw.base(), "/"}));
  EXPECT_EQ(t.header("etag"), "\"t\"");
  EXPECT_EQ(t.header("content-length"), "2");
}

}  // namespace
