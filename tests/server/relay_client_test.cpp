// Rovana's readers of the relay actions against rovana-server answering from
// the demo's canned replies, every request a real HTTP request through the
// application's session: the geocoder, directions, the route, each search
// provider the relay serves, and the tile versions, each read into what the
// user would see.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <memory>

#include "app/maps/TileVersions.h"
#include "app/online/Directions.h"
#include "app/online/Geocoder.h"
#include "app/online/ReplyScanner.h"
#include "app/online/RouteReply.h"
#include "app/online/SearchProviders.h"
#include "tests/server/RelayHarness.h"
#include "tests/server/RovanaClient.h"

namespace {

using namespace rovana;

constexpr double kDegree = 3.14159265358979323846 / 180;
const std::filesystem::path kSource = ROVANA_SOURCE_DIR;

class RelayClient : public ::testing::Test {
 protected:
  void SetUp() override {
    // The demo configuration names its folders relative to the checkout.
    ASSERT_EQ(chdir(kSource.c_str()), 0);
    const auto read = server::ReadRelayConfig("data/demo/relay/relay.conf");
    ASSERT_TRUE(read.config) << read.error;
    relay = std::make_unique<relay_test::RelayServer>(*read.config);
    client = std::make_unique<server_test::RovanaClient>(relay->port(), "anna@example.org");
  }
  WebService& service() { return *client->service; }
  std::string Ask(const ServiceAction& action) { return service().Request(action).value_or("<no reply>"); }
  static void ExpectInTheDemoArea(const GeoPoint& p) {
    EXPECT_NEAR(p.latitude() / kDegree, 53.57, 0.1);
    EXPECT_NEAR(p.longitude() / kDegree, 10.0, 0.1);
  }

  std::unique_ptr<relay_test::RelayServer> relay;
  std::unique_ptr<server_test::RovanaClient> client;
};

TEST_F(RelayClient, GeocoderDirectionsAndRouteReadWhatTheServerSends) {
  const GeocodeResult found = Geocode("Hotel Atlantic, Hamburg", [this](const ServiceAction& a) { return service().Request(a); },
                                      *client->home.language, [] { return true; });
  ASSERT_TRUE(found.success) << found.text;
  ExpectInTheDemoArea(found.point);
  EXPECT_NE(found.point.name().find("Hotel Atlantic"), std::string::npos) << found.point.name();

  const std::string page = Ask(DirectionsQuery(53.55, 10.0, 53.57, 10.0, false));
  EXPECT_EQ(page.find("<form"), std::string::npos) << "the page is shown whole, without forms or links";
  EXPECT_EQ(page.find("href="), std::string::npos);
  const std::string headline = HeadlineOf(DirectionsPageOf(page));
  EXPECT_EQ(headline.rfind("<li>", 0), 0u) << headline;
  EXPECT_NE(headline.find("<br />"), std::string::npos) << headline;

  const auto route = RouteOfReply(Ask(RouteQuery(53.55, 10.0, 53.58, 10.0)), 836809);
  ASSERT_TRUE(route);
  ASSERT_GE(route->size(), 2u);
  for (const GeoPoint& p : *route) ExpectInTheDemoArea(p);
  EXPECT_GT(route->back().time(), route->front().time()) << "times grow along the route";
}

TEST_F(RelayClient, EveryRelayedSearchGivesPointsInTheArea) {
  SearchArea area;
  area.minLatitude = 53.54 * kDegree, area.maxLatitude = 53.60 * kDegree;
  area.minLongitude = 9.95 * kDegree, area.maxLongitude = 10.05 * kDegree;
  area.centre = GeoPoint(53.57 * kDegree, 10.0 * kDegree);
  for (SearchProvider provider : {SearchProvider::LocalA, SearchProvider::LocalB, SearchProvider::Articles,
                                  SearchProvider::Photos, SearchProvider::Weather}) {
    SCOPED_TRACE(static_cast<int>(provider));
    const auto request = ProviderRequest(provider, area, "hotel");
    ASSERT_TRUE(request);
    TextReplyStream reply(Ask(*request));
    reply.Open();
    SearchContext context{"Default"};
    ScanProviderReply(provider, reply, context, {}, {});
    ASSERT_FALSE(context.points.empty());
    for (const GeoPoint& p : context.points) {
      ExpectInTheDemoArea(p);
      EXPECT_FALSE(p.name().empty());
    }
  }
}

TEST_F(RelayClient, TheCatalogueGivesTheFourVersionPaths) {
  const std::string host = "127.0.0.1:" + std::to_string(relay->port());
  const maps::VersionScan scan = maps::ScanVersionReply(Ask(MapListQuery()), host, host);
  for (const auto& path : scan) {
    ASSERT_TRUE(path);
    EXPECT_TRUE(maps::SafeVersionPath(*path)) << *path;
  }
  EXPECT_EQ(scan[1], "/mt?n=404&v=w2.61&");
}

}  // namespace
