// The demo's tiles as committed: rovana-server configured with
// data/demo/relay/relay.conf serves them at every tile path (the relay
// replies of that folder are read by the application's own readers in
// relay_client_test); and tools/make-demo-tiles makes exactly the committed
// set of tile files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "tests/server/RelayHarness.h"
#include "tests/support/Process.h"

namespace {

const std::filesystem::path kSource = ROVANA_SOURCE_DIR;

std::set<std::string> FilesUnder(const std::filesystem::path& root) {
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.insert(std::filesystem::relative(entry.path(), root).string());
  }
  return files;
}

class DemoRelay : public ::testing::Test {
 protected:
  void SetUp() override {
    // The configuration names its folders relative to the checkout.
    ASSERT_EQ(chdir(kSource.c_str()), 0);
    const auto read = rovana::server::ReadRelayConfig("data/demo/relay/relay.conf");
    ASSERT_TRUE(read.config) << read.error;
    server = std::make_unique<relay_test::RelayServer>(*read.config);
  }
  std::unique_ptr<relay_test::RelayServer> server;
};

TEST_F(DemoRelay, TilesOfTheDemoArea) {
  // The demo area's centre at levels 12 to 15, each kind.
  struct Case {
    const char* path;
    const char* type;
  };
  const Case cases[] = {
      {"/tiles/map/12/2161/1323.png", "image/png"},
      {"/mt?n=404&v=w2.61&x=17294&y=10587&zoom=2", "image/png"},
      {"/mt?n=404&v=w2t.61&x=8647&y=5293&zoom=3", "image/png"},
      {"/mt?n=404&v=w2p.64&x=4323&y=2646&zoom=4", "image/jpeg"},
      {"/tiles/sat/15/17294/10587.jpg", "image/jpeg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto reply = server->client().Get(c.path);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->get_header_value("Content-Type"), c.type);
  }
}

TEST(DemoTiles, ToolMakesTheCommittedSet) {
  const auto have = testing_support::RunProcess("/usr/bin/python3", {"-c", "import PIL"});
  if (have.status != 0) GTEST_SKIP() << "python3-pil is not installed";
  const auto folder = server_test::MakeTempFolder("rovana-demo-tiles-");
  const auto made = testing_support::RunProcess((kSource / "tools/make-demo-tiles").string(), {folder.string()});
  ASSERT_EQ(made.status, 0) << made.err;
  const auto committed = FilesUnder(kSource / "data/demo/tiles");
  EXPECT_EQ(FilesUnder(folder), committed);
  EXPECT_GT(committed.size(), 100u);
  std::uintmax_t bytes = 0;
  for (const std::string& file : committed) bytes += std::filesystem::file_size(kSource / "data/demo/tiles" / file);
  EXPECT_LT(bytes, 1024u * 1024u) << "the demo tiles stay small";
  std::filesystem::remove_all(folder);
}

}  // namespace
