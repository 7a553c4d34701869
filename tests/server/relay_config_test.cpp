// The relay's configuration file: what each key sets, the mistakes it
// refuses with file and line, and rovana-server's --config and --help.
#include <gtest/gtest.h>

#include <fstream>

#include "server/relay/RelayConfig.h"
#include "tests/server/ServerHarness.h"
#include "tests/support/Process.h"

using rovana::server::ParseRelayConfig;
using rovana::server::RelayConfig;
using testing_support::RunProcess;

namespace {

TEST(RelayConfigFile, NothingIsOnByDefault) {
  const auto parsed = ParseRelayConfig("# nothing but a comment\n\n   \n", "relay.conf");
  ASSERT_TRUE(parsed.config) << parsed.error;
  const RelayConfig& config = *parsed.config;
  EXPECT_FALSE(config.geocoder.enabled());
  EXPECT_FALSE(config.router.enabled());
  EXPECT_FALSE(config.geonames.enabled());
  EXPECT_FALSE(config.photos.enabled());
  EXPECT_FALSE(config.HasTiles());
  EXPECT_TRUE(config.fixtures.empty());
  EXPECT_EQ(config.versions[rovana::server::kTileSat], "/kh?n=404&v=21&");
  EXPECT_EQ(config.UserAgent(), "rovana-server/1.0");
}

TEST(RelayConfigFile, KeysSetTheirFields) {
  const auto parsed = ParseRelayConfig(
      "contact = ops@example.org\n"
      "geocoder = https://nominatim.example.org/\n"
      "geocoder-interval = 1500\n"
      "router=http://127.0.0.1:5000/osrm\n"
      "router-profile = foot\n"
      "router-geometry = geojson\n"
      "geonames = http://api.geonames.org\n"
      "geonames-user = demo\n"
      "photos = none\n"
      "fixtures = /srv/relay\n"
      "tiles = /srv/tiles\n"
      "tiles-sat = /srv/sat.mbtiles\n"
      "version-map = /mt?n=404&v=w2.99&\n"
      "timeout = 3\n"
      "reply-cap = 65536\r\n",
      "relay.conf");
  ASSERT_TRUE(parsed.config) << parsed.error;
  const RelayConfig& c = *parsed.config;
  struct Case {
    const char* name;
    std::string got;
    std::string want;
  };
  const Case cases[] = {
      {"user agent", c.UserAgent(), "rovana-server/1.0 (+ops@example.org)"},
      {"geocoder without trailing slash", c.geocoder.url, "https://nominatim.example.org"},
      {"geocoder interval", std::to_string(c.geocoder.intervalMs), "1500"},
      {"router with a path", c.router.url, "http://127.0.0.1:5000/osrm"},
      {"router interval default", std::to_string(c.router.intervalMs), "1000"},
      {"profile", c.routerProfile, "foot"},
      {"geometry", std::to_string(c.routerPrecision), "0"},
      {"geonames user", c.geonamesUser, "demo"},
      {"photos off", c.photos.url, ""},
      {"fixtures", c.fixtures.string(), "/srv/relay"},
      {"tile folder", c.tileFolder.string(), "/srv/tiles"},
      {"satellite mbtiles", c.mbtiles[rovana::server::kTileSat].string(), "/srv/sat.mbtiles"},
      {"road map version", c.versions[rovana::server::kTileMap], "/mt?n=404&v=w2.99&"},
      {"timeout", std::to_string(c.timeoutSeconds), "3"},
      {"reply cap, CR LF line", std::to_string(c.replyCap), "65536"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(k.got, k.want);
  }
  EXPECT_TRUE(c.HasTiles());
}

TEST(RelayConfigFile, MistakesNameFileAndLine) {
  struct Case {
    const char* name;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"no equals sign", "\ngeocoder https://x\n", "relay.conf:2: wants \"key = value\""},
      {"unknown key", "colour = red\n", "relay.conf:1: unknown key \"colour\""},
      {"URL without scheme", "router = example.org\n", "relay.conf:1: router wants an http"},
      {"URL with a query", "geocoder = https://x/?evil=1\n", "wants an http"},
      {"ftp URL", "geonames = ftp://x\n", "wants an http"},
      {"interval not a number", "router-interval = soon\n", "wants milliseconds"},
      {"negative interval", "router-interval = -1\n", "wants milliseconds"},
      {"unknown geometry", "router-geometry = wkt\n", "wants polyline, polyline6 or geojson"},
      {"profile with a slash", "router-profile = ../x\n", "wants a profile name"},
      {"version with a quote", "version-sat = /kh?v=\"1\n", "version-sat wants a path"},
      {"version without slash", "version-ter = mt?v=1\n", "wants a path"},
      {"zero timeout", "timeout = 0\n", "wants seconds"},
      {"tiny reply cap", "reply-cap = 10\n", "wants bytes"},
      {"contact with a control byte", "contact = a\x01" "b\n", "wants a line of UTF-8 text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = ParseRelayConfig(c.text, "relay.conf");
    EXPECT_FALSE(parsed.config);
    EXPECT_NE(parsed.error.find(c.message), std::string::npos) << parsed.error;
  }
}

TEST(RelayConfigFile, ReadFromFile) {
  const auto folder = server_test::MakeTempFolder("rovana-relay-config-");
  const auto file = folder / "relay.conf";
  std::ofstream(file) << "geocoder = http://127.0.0.1:1\n";
  const auto read = rovana::server::ReadRelayConfig(file);
  ASSERT_TRUE(read.config) << read.error;
  EXPECT_EQ(read.config->geocoder.url, "http://127.0.0.1:1");
  const auto missing = rovana::server::ReadRelayConfig(folder / "none.conf");
  EXPECT_FALSE(missing.config);
  EXPECT_NE(missing.error.find("cannot be read"), std::string::npos);
  std::filesystem::remove_all(folder);
}

TEST(RelayConfigFile, ServerTakesConfigOption) {
  const auto help = RunProcess(ROVANA_SERVER_PATH, {"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* key : {"--config FILE", "geocoder", "router-geometry", "tiles-sat", "version-map", "fixtures"}) {
    SCOPED_TRACE(key);
    EXPECT_NE(help.out.find(key), std::string::npos);
  }
  const auto folder = server_test::MakeTempFolder("rovana-relay-config-");
  std::ofstream(folder / "bad.conf") << "# upstreams\ngeocoder = nominatim\n";
  const auto bad = RunProcess(ROVANA_SERVER_PATH, {"--db", (folder / "s.db").string(), "--config",
                                                   (folder / "bad.conf").string()});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("bad.conf:2: geocoder wants an http"), std::string::npos) << bad.err;
  std::filesystem::remove_all(folder);
}

}  // namespace
