// The version prefixes read from the web service's "gm" reply.
#include "app/maps/TileVersions.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/LoggedFolder.h"

namespace {

using namespace rovana::maps;

const VersionPaths kDefaults = {"/kh?n=404&v=21&", "/mt?n=404&v=w2.61&", "/mt?n=404&v=w2t.61&", "/mt?n=404&v=w2p.64&"};

std::string Reply(const std::string& host, const std::string& map, const std::string& sat, const std::string& hyb,
                  const std::string& ter) {
  return "versions([\"http://" + host + map + "\",\"http://" + host + sat + "\",\"http://" + host + hyb +
         "\",\"http://" + host + ter + "\"])";
}

class TileVersionsTest : public testing_support::LoggedFolderTest {};

TEST_F(TileVersionsTest, ScanOfReplies) {
  const std::string host = "127.0.0.1:8080";
  struct Case {
    const char* name;
    std::string reply;
    VersionScan expected;
  } cases[] = {
      {"the four prefixes in reply order", Reply(host, "/mt?v=w2.62&", "/kh?v=22&", "/mt?v=w2t.62&", "/mt?v=w2p.65&"),
       {"/kh?v=22&", "/mt?v=w2.62&", "/mt?v=w2t.62&", "/mt?v=w2p.65&"}},
      {"hex escapes become bytes", Reply(host, "/mt?v=w2.62\\x26", "/kh?v=22\\x26", "/mt?v=3\\x26", "/mt?v=4\\x26"),
       {"/kh?v=22&", "/mt?v=w2.62&", "/mt?v=3&", "/mt?v=4&"}},
      {"a prefix not starting with a slash is refused", Reply(host, "mt?v=1&", "/kh?v=2&", "/mt?v=3&", "/mt?v=4&"),
       {"/kh?v=2&", std::nullopt, "/mt?v=3&", "/mt?v=4&"}},
      {"a control character is refused", Reply(host, "/mt?v=1\\x0a&", "/kh?v=2&", "/mt?v=3&", "/mt?v=4&"),
       {"/kh?v=2&", std::nullopt, "/mt?v=3&", "/mt?v=4&"}},
      {"a prefix of 257 characters is refused", Reply(host, "/" + std::string(256, 'a'), "/kh?v=2&", "/mt?v=3&", "/mt?v=4&"),
       {"/kh?v=2&", std::nullopt, "/mt?v=3&", "/mt?v=4&"}},
      {"a prefix of 256 characters is taken", Reply(host, "/" + std::string(255, 'a'), "/kh?v=2&", "/mt?v=3&", "/mt?v=4&"),
       {"/kh?v=2&", "/" + std::string(255, 'a'), "/mt?v=3&", "/mt?v=4&"}},
      {"another host is not read", Reply("elsewhere.example.org", "/mt?v=1&", "/kh?v=2&", "/mt?v=3&", "/mt?v=4&"),
       {std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
      {"past 64 KiB nothing is read", std::string(64 * 1024, ' ') + Reply(host, "/a", "/b", "/c", "/d"),
       {std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ScanVersionReply(c.reply, host, host), c.expected);
  }
}

TEST_F(TileVersionsTest, OneSuccessfulUpdatePerRun) {
  int asked = 0;
  std::string reply = Reply("127.0.0.1:8080", "/mt?v=w2.62&", "/kh?v=22&", "/mt?v=w2t.62&", "/mt?v=w2p.65&");
  TileVersions versions([&]() -> std::optional<std::string> {
    ++asked;
    return reply;
  });
  versions.Set("http://127.0.0.1:8080", "http://127.0.0.1:8080", kDefaults);
  EXPECT_EQ(versions.Update(), TileVersions::Outcome::Changed);
  EXPECT_TRUE(versions.done());
  const auto changed = versions.TakeChanged();
  ASSERT_TRUE(changed);
  EXPECT_EQ((*changed)[static_cast<int>(TileKind::RoadMap)], "/mt?v=w2.62&");
  EXPECT_FALSE(versions.TakeChanged()) << "changes are handed over once";
  EXPECT_EQ(versions.Update(), TileVersions::Outcome::Skipped);
  EXPECT_EQ(asked, 1) << "a second error page asks nothing";
  EXPECT_NE(LogText().find("GoogleVersionsUpdate skip"), std::string::npos);
}

TEST_F(TileVersionsTest, AnIncompleteReplyIsTriedAgain) {
  int asked = 0;
  std::string reply = Reply("127.0.0.1:8080", "/mt?n=404&v=w2.61&", "not/a path", "/mt?n=404&v=w2t.61&", "/mt?n=404&v=w2p.64&");
  TileVersions versions([&]() -> std::optional<std::string> {
    ++asked;
    return reply;
  });
  versions.Set("http://127.0.0.1:8080", "http://127.0.0.1:8080", kDefaults);
  EXPECT_EQ(versions.Update(), TileVersions::Outcome::Unchanged);
  EXPECT_FALSE(versions.done());
  reply = Reply("127.0.0.1:8080", "/mt?n=404&v=w2.61&", "/kh?n=404&v=21&", "/mt?n=404&v=w2t.61&", "/mt?n=404&v=w2p.64&");
  EXPECT_EQ(versions.Update(), TileVersions::Outcome::Unchanged);
  EXPECT_TRUE(versions.done());
  EXPECT_EQ(asked, 2);
}

TEST_F(TileVersionsTest, NoReplyOrNoHostFails) {
  TileVersions silent([] { return std::optional<std::string>(); });
  silent.Set("http://127.0.0.1:8080", "", kDefaults);
  EXPECT_EQ(silent.Update(), TileVersions::Outcome::Failed);
  TileVersions hostless([] { return std::optional<std::string>("versions([])"); });
  hostless.Set("", "", kDefaults);
  EXPECT_EQ(hostless.Update(), TileVersions::Outcome::Failed);
  // The reply must hold the road map's address up to its ")".
  TileVersions cut([] { return std::optional<std::string>("versions([\"http://h:1/mt?v=1&\""); });
  cut.Set("http://h:1", "http://h:1", kDefaults);
  EXPECT_EQ(cut.Update(), TileVersions::Outcome::Failed);
}

}  // namespace
