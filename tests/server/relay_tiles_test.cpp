// Tiles served by rovana-server: the three path forms parsed into tile
// numbers, a tile folder and an MBTiles file made here (rows counted from
// the south), the caching headers and 304, and requests that try to leave
// the tile folder.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "tests/server/RelayHarness.h"

using rovana::server::MapTileAddress;
using rovana::server::Query;
using rovana::server::SatelliteTileAddress;
using rovana::server::TileAddress;
using rovana::server::XyzTileAddress;

namespace {

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "png tile body";
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "jpeg tile body";

std::string Describe(const std::optional<TileAddress>& address) {
  if (!address) return "none";
  return std::to_string(address->kind) + " " + std::to_string(address->z) + "/" + std::to_string(address->x) + "/" +
         std::to_string(address->y);
}

TEST(TileAddresses, SatelliteQuadtree) {
  struct Case {
    const char* path;
    const char* address;
  };
  const Case cases[] = {
      {"t=t", "1 0/0/0"},      {"t=tq", "1 1/0/0"},      {"t=tr", "1 1/1/0"},
      {"t=ts", "1 1/1/1"},     {"t=tt", "1 1/0/1"},      {"t=trr", "1 2/3/0"},
      {"t=tqrst", "1 4/6/3"},  {"t=", "none"},            {"t=q", "none"},
      {"t=tqx", "none"},       {"t=t%2F..", "none"},      {"v=21", "none"},
      {"t=tqqqqqqqqqqqqqqqqqqqqqq", "1 22/0/0"},
      {"t=tqqqqqqqqqqqqqqqqqqqqqqq", "none"},  // level 23
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Describe(SatelliteTileAddress(Query(std::string("n=404&v=21&") + c.path))), c.address);
  }
}

TEST(TileAddresses, MapKindsAndZoom) {
  struct Case {
    const char* query;
    const char* address;
  };
  const Case cases[] = {
      {"n=404&v=w2.61&x=0&y=0&zoom=17", "0 0/0/0"},
      {"n=404&v=w2.61&x=2161&y=1322&zoom=5", "0 12/2161/1322"},
      {"n=404&v=w2t.61&x=1&y=0&zoom=16", "2 1/1/0"},
      {"n=404&v=w2p.64&x=1&y=1&zoom=16", "3 1/1/1"},
      {"n=404&v=w9.1&x=1&y=1&zoom=16", "none"},
      {"n=404&v=w2.61&x=2&y=0&zoom=16", "none"},
      {"n=404&v=w2.61&x=0&y=0&zoom=18", "none"},
      {"n=404&v=w2.61&x=-1&y=0&zoom=16", "none"},
      {"n=404&v=w2.61&x=..%2F1&y=0&zoom=16", "none"},
      {"n=404&v=w2.61&x=1e1&y=0&zoom=10", "none"},
      {"n=404&v=w2.61&y=0&zoom=10", "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    EXPECT_EQ(Describe(MapTileAddress(Query(c.query))), c.address);
  }
}

TEST(TileAddresses, XyzParts) {
  EXPECT_EQ(Describe(XyzTileAddress("sat", "2", "3", "0")), "1 2/3/0");
  EXPECT_EQ(Describe(XyzTileAddress("hyb", "0", "0", "0")), "2 0/0/0");
  EXPECT_EQ(Describe(XyzTileAddress("foo", "1", "0", "0")), "none");
  EXPECT_EQ(Describe(XyzTileAddress("map", "23", "0", "0")), "none");
  EXPECT_EQ(Describe(XyzTileAddress("map", "1", "2", "0")), "none");
  EXPECT_EQ(Describe(XyzTileAddress("map", "1", "", "0")), "none");
}

TEST(TileAddresses, EtagLists) {
  EXPECT_TRUE(rovana::server::EtagMatches("\"ab\"", "\"ab\""));
  EXPECT_TRUE(rovana::server::EtagMatches("\"x\", W/\"ab\"", "\"ab\""));
  EXPECT_TRUE(rovana::server::EtagMatches("*", "\"ab\""));
  EXPECT_FALSE(rovana::server::EtagMatches("\"abc\"", "\"ab\""));
  EXPECT_FALSE(rovana::server::EtagMatches("", "\"ab\""));
}

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// An MBTiles file with one tile at (z, x, tmsRow) and one that is no picture.
void MakeMbtiles(const std::filesystem::path& file, int z, int x, int tmsRow, const std::string& bytes) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE metadata (name TEXT, value TEXT);"
                         "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB);"
                         "INSERT INTO tiles VALUES (3, 0, 0, X'3C68746D6C3E');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
  sqlite3_bind_int(insert, 1, z);
  sqlite3_bind_int(insert, 2, x);
  sqlite3_bind_int(insert, 3, tmsRow);
  sqlite3_bind_blob(insert, 4, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
  sqlite3_finalize(insert);
  sqlite3_close(db);
}

class TileServing : public ::testing::Test {
 protected:
  TileServing() : folder_(server_test::MakeTempFolder("rovana-tiles-")) {
    WriteFile(folder_ / "tiles/map/12/2161/1322.png", kPng);
    WriteFile(folder_ / "tiles/ter/1/1/1.jpg", kJpeg);
    WriteFile(folder_ / "tiles/hyb/1/0/0.png", "not a picture");
    WriteFile(folder_ / "tiles/sat/2/3/0.png", "the folder's satellite tile is hidden by the MBTiles file");
    WriteFile(folder_ / "secret.png", kPng);
    // Satellite level 2, x 3, y 0: TMS row 2^2 - 1 - 0 = 3.
    MakeMbtiles(folder_ / "sat.mbtiles", 2, 3, 3, kJpeg);
    config_.tileFolder = folder_ / "tiles";
    config_.mbtiles[rovana::server::kTileSat] = folder_ / "sat.mbtiles";
    config_.mbtiles[rovana::server::kTileMap] = folder_ / "missing.mbtiles";
    server_ = std::make_unique<relay_test::RelayServer>(config_);
  }
  ~TileServing() override {
    server_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path folder_;
  rovana::server::RelayConfig config_;
  std::unique_ptr<relay_test::RelayServer> server_;
};

TEST_F(TileServing, FoundTilesCarryCachingHeaders) {
  struct Case {
    const char* name;
    const char* path;
    const std::string& bytes;
    const char* type;
  };
  const Case cases[] = {
      {"xyz from the folder", "/tiles/map/12/2161/1322.png", kPng, "image/png"},
      {"road map path", "/mt?n=404&v=w2.61&x=2161&y=1322&zoom=5", kPng, "image/png"},
      {"terrain stored as jpg", "/mt?n=404&v=w2p.64&x=1&y=1&zoom=16", kJpeg, "image/jpeg"},
      {"xyz asking png of a jpg", "/tiles/ter/1/1/1.png", kJpeg, "image/jpeg"},
      {"satellite quadtree from MBTiles", "/kh?n=404&v=21&t=trr", kJpeg, "image/jpeg"},
      {"satellite xyz from MBTiles", "/tiles/sat/2/3/0.jpg", kJpeg, "image/jpeg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto reply = server_->client().Get(c.path);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->body, c.bytes);
    EXPECT_EQ(reply->get_header_value("Content-Type"), c.type);
    EXPECT_EQ(reply->get_header_value("Content-Length"), std::to_string(c.bytes.size()));
    EXPECT_EQ(reply->get_header_value_count("Cache-Control"), 1u);
    EXPECT_EQ(reply->get_header_value("Cache-Control"), "max-age=86400");
    EXPECT_EQ(reply->get_header_value("ETag").size(), 18u);
  }
}

TEST_F(TileServing, MatchingEtagGivesNotModified) {
  auto first = server_->client().Get("/tiles/map/12/2161/1322.png");
  ASSERT_TRUE(first);
  const std::string etag = first->get_header_value("ETag");
  auto again = server_->client().Get("/tiles/map/12/2161/1322.png", {{"If-None-Match", etag}});
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 304);
  EXPECT_EQ(again->body, "");
  EXPECT_EQ(again->get_header_value("ETag"), etag);
  auto other = server_->client().Get("/tiles/map/12/2161/1322.png", {{"If-None-Match", "\"0000\""}});
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 200);
  auto differentTile = server_->client().Get("/tiles/ter/1/1/1.jpg", {{"If-None-Match", etag}});
  ASSERT_TRUE(differentTile);
  EXPECT_EQ(differentTile->status, 200) << "another tile has another tag";
}

TEST_F(TileServing, AbsentHostileAndBrokenTilesGive404) {
  const char* paths[] = {
      "/tiles/map/12/2161/1323.png",
      "/tiles/map/13/2161/1322.png",
      "/tiles/hyb/1/0/0.png",  // not a picture
      "/tiles/../secret.png",
      "/tiles/map/../../secret.png",
      "/tiles/map/12/2161/..%2F..%2F..%2F..%2Fsecret.png",
      "/tiles/map%2F..%2F..%2F/0/0/0.png",
      "/tiles/%2e%2e/0/0/0.png",
      "/tiles/MAP/12/2161/1322.png",
      "/tiles/map/12/2161/1322.gif",
      "/tiles/map/12/9999/1322.png",
      "/tiles/map/99/0/0.png",
      "/mt?n=404&v=w2.61&x=..%2F..%2Fsecret&y=0&zoom=17",
      "/mt?n=404&v=..%2F..&x=0&y=0&zoom=17",
      "/kh?n=404&v=21&t=t..",
      "/kh?n=404&v=21",
      "/mt",
      "/tiles/",
  };
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    auto reply = server_->client().Get(path);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 404);
    EXPECT_EQ(reply->body.find("png tile body"), std::string::npos);
  }
  // The MBTiles file of a kind wins over the folder's file.
  auto satellite = server_->client().Get("/tiles/sat/2/3/0.png");
  ASSERT_TRUE(satellite);
  EXPECT_EQ(satellite->body, kJpeg);
  EXPECT_NE(server_->LogText().find("is not a PNG, JPEG or WebP picture"), std::string::npos);
  EXPECT_NE(server_->LogText().find("cannot open the MBTiles file"), std::string::npos);
}

TEST(TileServingOff, NoTileSourceNoTilePaths) {
  rovana::server::RelayConfig config;
  relay_test::RelayServer server(config);
  for (const char* path : {"/tiles/map/0/0/0.png", "/kh?t=t", "/mt?v=w2.1&x=0&y=0&zoom=17"}) {
    SCOPED_TRACE(path);
    auto reply = server.client().Get(path);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 404);
  }
}

}  // namespace
