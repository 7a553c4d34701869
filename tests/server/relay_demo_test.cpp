// The demo's relay folder and tiles as committed: rovana-server configured
// with data/demo/relay/relay.conf answers every relay action with a reply of
// the shape the application reads, and serves the demo tiles; and
// tools/make-demo-tiles makes exactly the committed set of tile files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "server/relay/Json.h"
#include "server/relay/Polyline.h"
#include "tests/server/RelayHarness.h"
#include "tests/support/Process.h"

namespace {

const std::filesystem::path kSource = ROVANA_SOURCE_DIR;

bool WellFormedXml(const std::string& body) {
  server_test::ReplyReader reader(body);
  reader.Read();
  return reader.wellFormed && reader.problem().empty() && !reader.elements.empty();
}

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
    login = server->SignUp();
  }
  std::string Get(const std::string& query) {
    auto reply = server->client().Get(("/online/os.asp?" + query + login).c_str());
    return reply && reply->status == 200 ? reply->body : "<no reply>";
  }
  std::unique_ptr<relay_test::RelayServer> server;
  std::string login;
};

TEST_F(DemoRelay, EveryActionAnswersInItsShape) {
  EXPECT_TRUE(WellFormedXml(Get("a=gc&q=Hotel+Atlantic")));
  EXPECT_NE(Get("a=gc&q=x").find("<coordinates>10.0062,53.5573,0</coordinates>"), std::string::npos);
  EXPECT_TRUE(WellFormedXml(Get("a=ys&q=x")));
  EXPECT_TRUE(WellFormedXml(Get("a=gn&q=wikipediaBoundingBox%3Fnorth%3D54")));
  EXPECT_NE(Get("a=ls&d=53.56%2C10&b=hotel").find("latlng=53557300%2C10006200>"), std::string::npos);
  const std::string page = Get("a=di&sa=53.55%2C10&da=53.57%2C10");
  EXPECT_NE(page.find("</center></div><ol><li>"), std::string::npos);
  EXPECT_EQ(page.find("<form"), std::string::npos);
  EXPECT_EQ(page.find("href="), std::string::npos);
  for (const char* query : {"a=gn&q=findNearByWeatherJSON%3Flat%3D1", "a=pa&q=%2Fmap%2Fget_panoramas.php%3Fto%3D50"}) {
    SCOPED_TRACE(query);
    const auto json = rovana::server::ParseJson(Get(query));
    ASSERT_TRUE(json);
    EXPECT_TRUE(json->IsObject());
  }
  // The route lies in the demo area.
  const std::string route = Get("a=ro&sa=53.55%2C10&da=53.58%2C10");
  const std::size_t start = route.find("points:\"");
  ASSERT_NE(start, std::string::npos);
  std::string line = route.substr(start + 8, route.find('"', start + 8) - start - 8);
  std::string unescaped;
  for (std::size_t i = 0; i < line.size(); ++i) unescaped.push_back(line[i] == '\\' ? line[++i] : line[i]);
  const auto points = rovana::server::DecodePolyline(unescaped, 5);
  ASSERT_TRUE(points);
  ASSERT_GE(points->size(), 2u);
  for (const auto& point : *points) {
    EXPECT_NEAR(point.latitude, 53.566, 0.03);
    EXPECT_NEAR(point.longitude, 10.005, 0.03);
  }
}

TEST_F(DemoRelay, CatalogueAndTilesOfTheDemoArea) {
  const std::string catalogue = Get("a=gm");
  EXPECT_EQ(catalogue.rfind("versions([\"http://127.0.0.1:", 0), 0u) << catalogue;
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
