// Tile downloads over real HTTP on loopback, through the online connection's
// FetchToFile as the program wires it: what is cached, what is refused, and
// the revalidation of a cached tile.
#include "app/maps/TileDownload.h"

#include <gtest/gtest.h>

#include "app/online/HttpRequest.h"
#include "app/online/OnlineConnection.h"
#include "tests/app/maps/TileTestData.h"
#include "tests/support/LoggedFolder.h"
#include "tests/support/LoopbackHttp.h"

namespace {

namespace fs = std::filesystem;
using namespace rovana::maps;
using testing_support::kTinyPng;

// The program's fetch: one GET through the online connection.
TileFetch FetchOver(rovana::OnlineConnection& online) {
  return [&online](const TileFetchRequest& r) {
    rovana::FileFetch f;
    f.host = r.base;
    f.path = r.path;
    f.kind = 1;
    f.headers = r.headers;
    f.file = r.file;
    f.cap = r.cap;
    const rovana::FileFetchResult got = rovana::FetchToFile(online, f);
    TileFetchReply reply;
    using O = rovana::FileFetchResult::Outcome;
    reply.outcome = got.outcome == O::kReceived  ? TileFetchReply::Outcome::Received
                    : got.outcome == O::kRefused ? TileFetchReply::Outcome::Refused
                                                 : TileFetchReply::Outcome::Failed;
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

rovana::OnlineOptions Allowed() {
  rovana::OnlineOptions o;
  o.allowInternet = [] { return true; };
  o.useConnMgr = [] { return false; };
  return o;
}

class TileDownloadTest : public testing_support::LoggedFolderTest {
 protected:
  void SetUp() override {
    LoggedFolderTest::SetUp();
    cache_ = folder_ / "cache";
    fs::create_directories(cache_ / "temp");
    auto& r = server_.routes();
    auto png = [](const httplib::Request& req, httplib::Response& res) {
      if (req.get_header_value("If-None-Match") == "\"t1\"") {
        res.status = 304;
        res.set_header("Cache-Control", "max-age=60");
        return;
      }
      res.set_header("ETag", "\"t1\"");
      res.set_header("Cache-Control", "max-age=86400");
      res.set_content(kTinyPng, "image/png");
    };
    r.Get("/tiles/map/1/0/0.png", png);
    r.Get("/mt", png);
    r.Get("/html-error", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<html><body>Error: unknown version</body></html>", "text/html");
    });
    r.Get("/forbidden", [](const httplib::Request&, httplib::Response& res) {
      res.status = 403;
      res.set_content("<html><head><title>403 Forbidden</title></head></html>", "text/html");
    });
    r.Get("/status-500", [](const httplib::Request&, httplib::Response& res) {
      res.status = 500;
      res.set_content(kTinyPng, "image/png");
    });
    r.Get("/text", [](const httplib::Request&, httplib::Response& res) { res.set_content("not a picture", "text/plain"); });
    ASSERT_TRUE(server_.Start());
  }

  // Runs one download of the road-map tile (0, 0) at level 1.
  std::unique_ptr<TileDownloadJob> Download(const std::string& base, const std::string& path, bool xyz = false,
                                            std::optional<TileValidators> revalidate = std::nullopt) {
    TileDownloadJob::Input in;
    in.tile = {TileKind::RoadMap, 1, 0, 0};
    in.request = {base, path, xyz ? "loopback" : "", xyz};
    in.cacheFolder = cache_;
    in.revalidate = std::move(revalidate);
    in.now = 5000;
    auto job = std::make_unique<TileDownloadJob>(in, FetchOver(online_), nullptr);
    job->Run();
    return job;
  }

  fs::path cache_;
  testing_support::LoopbackServer server_;
  rovana::OnlineConnection online_{Allowed()};
};

TEST_F(TileDownloadTest, RepliesAndWhatIsCached) {
  const std::string truncated =
      "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 500\r\nConnection: close\r\n\r\n" + kTinyPng;
  testing_support::RawServer raw(truncated);
  ASSERT_TRUE(raw.ok());
  const std::string noLength = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n<html>oops</html>";
  testing_support::RawServer rawHtml(noLength);
  ASSERT_TRUE(rawHtml.ok());
  struct Case {
    const char* name;
    std::string base, path;
    DownloadResult result;
    bool cached;
  } cases[] = {
      {"a good PNG", server_.base(), "/mt?v=1&x=0&y=0&zoom=16", DownloadResult::Cached, true},
      {"an HTML error page (no version update here)", server_.base(), "/html-error", DownloadResult::Failed, false},
      {"a 403 page", server_.base(), "/forbidden", DownloadResult::Forbidden, false},
      {"a body shorter than its Content-Length", raw.base(), "/mt", DownloadResult::Failed, false},
      {"status 500 with picture bytes", server_.base(), "/status-500", DownloadResult::Failed, false},
      {"a 200 that is no picture", server_.base(), "/text", DownloadResult::Failed, false},
      {"other HTML", rawHtml.base(), "/mt", DownloadResult::Failed, false},
      {"nobody listening", "http://127.0.0.1:" + std::to_string(testing_support::ClosedPort()), "/mt",
       DownloadResult::Failed, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(cache_ / "gm_0_0_1.png");
    const auto job = Download(c.base, c.path);
    EXPECT_EQ(job->result(), c.result);
    EXPECT_EQ(fs::exists(cache_ / "gm_0_0_1.png"), c.cached);
    if (c.cached) EXPECT_EQ(fs::file_size(cache_ / "gm_0_0_1.png"), kTinyPng.size());
    EXPECT_TRUE(fs::is_empty(cache_ / "temp")) << "the temporary file is always gone";
  }
  EXPECT_NE(LogText().find("no permission to get tile, please visit " + server_.base() + "/forbidden"),
            std::string::npos);
}

TEST_F(TileDownloadTest, NotSentWhileInternetIsNotAllowed) {
  rovana::OnlineOptions o;
  o.allowInternet = [] { return false; };
  o.useConnMgr = [] { return true; };
  rovana::OnlineConnection closed(o);
  TileDownloadJob::Input in;
  in.tile = {TileKind::RoadMap, 1, 0, 0};
  in.request = {server_.base(), "/mt", "", false};
  in.cacheFolder = cache_;
  TileDownloadJob job(in, FetchOver(closed), nullptr);
  job.Run();
  EXPECT_EQ(job.result(), DownloadResult::Refused);
  EXPECT_EQ(server_.requests(), 0);
}

TEST_F(TileDownloadTest, TemplateTilesAreRevalidatedWithTheirETag) {
  const auto first = Download(server_.base(), "/tiles/map/1/0/0.png", true);
  ASSERT_EQ(first->result(), DownloadResult::Cached);
  const fs::path tile = cache_ / "loopback" / "gm_0_0_1.png";
  ASSERT_TRUE(fs::exists(tile));
  const auto stored = ReadValidators(tile);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->etag, "\"t1\"");
  EXPECT_EQ(stored->expires, 5000 + 86400);

  const auto again = Download(server_.base(), "/tiles/map/1/0/0.png", true, stored);
  EXPECT_EQ(again->result(), DownloadResult::NotModified);
  EXPECT_EQ(fs::file_size(tile), kTinyPng.size()) << "a 304 keeps the file";
  EXPECT_EQ(ReadValidators(tile)->expires, 5000 + 60);
  const std::vector<std::string> seen = server_.seen();
  EXPECT_EQ(seen.size(), 2u);
}

TEST(TileCachingRulesTest, ExpiryOfReplies) {
  struct Case {
    const char* name;
    std::optional<std::string> cacheControl, expires;
    std::int64_t expected;
  } cases[] = {
      {"max-age", "public, max-age=86400", std::nullopt, 1000 + 86400},
      {"max-age wins over Expires", "max-age=10", "Thu, 01 Jan 1970 00:00:00 GMT", 1010},
      {"no-cache revalidates at once", "no-cache", std::nullopt, 1000},
      {"an Expires date", std::nullopt, "Thu, 01 Jan 1970 01:00:00 GMT", 3600},
      {"an Expires date far ahead is capped at ten years", std::nullopt, "Sun, 06 Nov 1994 08:49:37 GMT",
       1000 + 10ll * 365 * 24 * 3600},
      {"an unreadable Expires is expired", std::nullopt, "0", 1000},
      {"nothing said: a week", std::nullopt, std::nullopt, 1000 + 7 * 24 * 3600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TileFetchReply reply;
    reply.cacheControl = c.cacheControl;
    reply.expires = c.expires;
    EXPECT_EQ(ExpiryOf(reply, 1000), c.expected);
  }
  EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
  EXPECT_FALSE(ParseHttpDate("Sun, 06 Foo 1994 08:49:37 GMT"));
  EXPECT_EQ(MagicOf(kTinyPng), PictureMagic::Png);
  EXPECT_EQ(MagicOf(testing_support::kJpegStart), PictureMagic::Jpeg);
  EXPECT_EQ(MagicOf(testing_support::kGifStart), PictureMagic::Gif);
  EXPECT_EQ(MagicOf("<html>"), PictureMagic::None);
}

}  // namespace
