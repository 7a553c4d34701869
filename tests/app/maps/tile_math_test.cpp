// Tile numbering, request paths and cache file names.
#include "app/maps/TileMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/maps/TileSource.h"

namespace {

using namespace rovana::maps;

constexpr double kDeg = 3.14159265358979323846 / 180;
constexpr double kAngleTolerance = 1e-12;

TEST(TileMathTest, PositionToTile) {
  struct Case {
    const char* name;
    double latDeg, lonDeg;
    int level;
    TileXY expected;
  } cases[] = {
      {"origin at level 0", 0, 0, 0, {0, 0}},
      {"origin at level 1", 0, 0, 1, {1, 1}},
      {"Hamburg at level 10", 53.55, 10.0, 10, {540, 330}},
      {"north-west corner", 85, -180, 3, {0, 0}},
      {"east edge stays inside", 0, 180, 4, {15, 8}},
      {"north pole clamps to row 0", 90, 0, 5, {16, 0}},
      {"south pole clamps to the last row", -90, 0, 5, {16, 31}},
      {"deepest level", 0, 0, 22, {1 << 21, 1 << 21}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PositionToTile(c.latDeg * kDeg, c.lonDeg * kDeg, c.level), c.expected);
  }
}

TEST(TileMathTest, CornersAreTheInverseOfTheNumbering) {
  // The corner of a tile lies on the tile itself (nudged inside).
  for (int level : {1, 5, 12, 20}) {
    SCOPED_TRACE(level);
    const int x = (1 << level) / 3, y = (1 << level) / 5;
    const double lon = TileLongitude(level, x + 0.001), lat = TileLatitude(level, y + 0.001);
    EXPECT_EQ(PositionToTile(lat, lon, level), (TileXY{x, y}));
  }
  EXPECT_NEAR(TileLatitude(0, 0), 85.0511287798066 * kDeg, 1e-10);
  EXPECT_NEAR(TileLatitude(1, 1), 0.0, kAngleTolerance);
  EXPECT_NEAR(TileLongitude(2, 4), 3.14159265358979323846, kAngleTolerance);
}

TEST(TileMathTest, RequestPaths) {
  struct Case {
    const char* name;
    std::string path, expected;
  } cases[] = {
      {"level 0 satellite is t alone", SatellitePath("/kh?n=404&v=21&", 0, 0, 0), "/kh?n=404&v=21&t=t"},
      {"level 2, x 3, y 0 ends in rr", SatellitePath("/kh?n=404&v=21&", 2, 3, 0), "/kh?n=404&v=21&t=trr"},
      {"south-west quarter", SatellitePath("/kh?", 1, 0, 1), "/kh?t=tt"},
      {"south-east then north-west", SatellitePath("/kh?", 2, 2, 2), "/kh?t=tsq"},
      {"road map with zoom 17 - level", MapPath("/mt?n=404&v=w2.61&", 6, 12, 34), "/mt?n=404&v=w2.61&x=12&y=34&zoom=11"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.path, c.expected);
  }
}

TEST(TileMathTest, FileNames) {
  EXPECT_EQ(TileFileName({TileKind::RoadMap, 6, 12, 34}), "gm_12_34_6.png");
  EXPECT_EQ(TileFileName({TileKind::Satellite, 3, 1, 2}, false), "gs_1_2_3.jpg");
  EXPECT_EQ(TileFileName({TileKind::Satellite, 3, 1, 2}, true), "gs_1_2_3.png");
  EXPECT_EQ(TileFileName({TileKind::Hybrid, 0, 0, 0}), "gh_0_0_0.png");
  EXPECT_EQ(TileFileName({TileKind::Terrain, 1, 1, 0}), "gt_1_0_1.jpg");

  struct Case {
    const char* name;
    const char* file;
    bool valid;
    TileId tile;
    bool png;
  } cases[] = {
      {"road map", "gm_12_34_6.png", true, {TileKind::RoadMap, 6, 12, 34}, true},
      {"upper-case letter and suffix", "GS_1_2_3.JPG", true, {TileKind::Satellite, 3, 1, 2}, false},
      {"unknown kind letter", "gx_1_2_3.png", false, {}, false},
      {"x outside the level", "gm_8_0_3.png", false, {}, false},
      {"level above 22", "gm_0_0_23.png", false, {}, false},
      {"trailing text", "gm_1_2_3x.png", false, {}, false},
      {"other suffix", "gm_1_2_3.gif", false, {}, false},
      {"validators file", "gm_1_2_3.png.meta", false, {}, false},
      {"missing number", "gm_1_2.png", false, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = ParseTileFileName(c.file);
    ASSERT_EQ(parsed.has_value(), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(parsed->tile, c.tile);
    EXPECT_EQ(parsed->png, c.png);
  }
}

TEST(TileMathTest, Sources) {
  TileSources s;
  s.mapHost = "http://mt{s}.example.org:8080";
  s.satHost = "khm{s}.example.org";
  s.versions = {"/kh?v=1&", "/mt?v=w2.61&", "/mt?v=w2t.61&", "/mt?v=w2p.64&"};
  struct Case {
    const char* name;
    std::string xyzTemplate;
    TileId tile;
    int server;
    std::optional<std::string> url;
    std::string folder;
  } cases[] = {
      {"road map from the map host", "", {TileKind::RoadMap, 6, 12, 34}, 2, "http://mt2.example.org:8080/mt?v=w2.61&x=12&y=34&zoom=11", ""},
      {"satellite without scheme", "", {TileKind::Satellite, 1, 1, 0}, 3, "http://khm3.example.org/kh?v=1&t=tr", ""},
      {"template serves the road map", "https://{s}.tile.example.org/{z}/{x}/{y}.png", {TileKind::RoadMap, 3, 4, 5}, 1,
       "https://b.tile.example.org/3/4/5.png", "_s__tile_example_org"},
      {"template without {t} leaves terrain to the host", "https://tile.example.org/{z}/{x}/{y}.png",
       {TileKind::Terrain, 3, 4, 5}, 0, "http://mt0.example.org:8080/mt?v=w2p.64&x=4&y=5&zoom=14", ""},
      {"template with {t} serves every kind", "http://127.0.0.1:9/tiles/{t}/{z}/{x}/{y}.png",
       {TileKind::Hybrid, 2, 1, 1}, 0, "http://127.0.0.1:9/tiles/hyb/2/1/1.png", "127_0_0_1_9"},
      {"unusable template", "ftp://x/{z}", {TileKind::RoadMap, 1, 0, 0}, 0, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s.xyzTemplate = c.xyzTemplate;
    const auto request = RequestFor(s, c.tile, c.server);
    ASSERT_EQ(request.has_value(), c.url.has_value());
    if (!request) continue;
    EXPECT_EQ(request->base + request->path, *c.url);
    EXPECT_EQ(request->folder, c.folder);
    EXPECT_EQ(FolderFor(s, c.tile.kind), c.folder);
  }
  TileSources none;
  EXPECT_FALSE(RequestFor(none, {TileKind::RoadMap, 1, 0, 0}, 0)) << "no host, no template: no download";
}

}  // namespace
