// The map view's geometry: zoom limits, the screen transform both ways, the
// heading modes, the visible area, on-screen thinning, clipping at the
// deepest zoom, the grid lines and the scale bar.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "app/maps/ViewTransform.h"

using namespace rovana;
using namespace rovana::maps;

namespace {

constexpr double kDeg = kPi / 180;

ViewInput At(double latDeg, double lonDeg, double zoom = 5215789.654483851, int w = 480, int h = 640, int dpi = 192) {
  ViewInput in;
  in.width = w;
  in.height = h;
  in.dpi = dpi;
  in.panX = -lonDeg * kDeg;
  in.panY = -latDeg * kDeg;
  in.zoom = zoom;
  in.verticalOffsetUnits = 0;
  return in;
}

}  // namespace

TEST(ViewTransform, ZoomIsClampedToTheLimitsOfTheDpi) {
  struct Row {
    double zoom;
    int dpi;
    double expected;
  } rows[] = {
      {1e9, 96, kMaxZoom},      {1e9, 192, kMaxZoom * 2}, {1.0, 96, kMinZoom},   {1.0, 192, kMinZoom * 2},
      {5e6, 96, 5e6},           {-3, 96, kMinZoom},       {NAN, 96, kMinZoom},   {1e9, 144, kMaxZoom * 2},
  };
  for (const Row& r : rows) {
    EXPECT_DOUBLE_EQ(ClampZoom(r.zoom, r.dpi), r.expected) << r.zoom << " at " << r.dpi;
    ViewInput in = At(0, 0, r.zoom, 240, 320, r.dpi);
    EXPECT_DOUBLE_EQ(ViewTransform::Build(in).zoom(), r.expected);
  }
}

TEST(ViewTransform, CosFactorNeverDropsBelowAHalf) {
  struct Row {
    double latDeg, factor;
  } rows[] = {{0, 1}, {60, 0.5}, {45, std::cos(45 * kDeg)}, {89.9, 0.5}, {90, 0.5}, {-90, 0.5}, {120, 0.5}};
  for (const Row& r : rows) {
    const ViewTransform t = ViewTransform::Build(At(r.latDeg, 10));
    EXPECT_NEAR(t.cosFactor(), r.factor, 1e-12) << r.latDeg;
    // The vertical scale is at most twice the horizontal one.
    EXPECT_LE(std::fabs(t.screen().at(1, 1)), 2 * std::fabs(t.screen().at(0, 0)) + 1e-6);
  }
}

TEST(ViewTransform, PanIsClampedAndTheCentreLiesMidScreenPlusTheOffset) {
  struct Row {
    double panX, panY, wantX, wantY;
    int offsetUnits, dpi;
    double centreY;
  } rows[] = {
      {0.5, 0.2, 0.5, 0.2, 0, 96, 160},     {4, 2, kPi, kPi / 2, -13, 96, 147},
      {-4, -2, -kPi, -kPi / 2, 29, 192, 218}, {0.1, -0.1, 0.1, -0.1, -14, 192, 132},
  };
  for (const Row& r : rows) {
    ViewInput in;
    in.width = 240;
    in.height = 320;
    in.dpi = r.dpi;
    in.panX = r.panX;
    in.panY = r.panY;
    in.verticalOffsetUnits = r.offsetUnits;
    const ViewTransform t = ViewTransform::Build(in);
    EXPECT_DOUBLE_EQ(t.panX(), r.wantX);
    EXPECT_DOUBLE_EQ(t.panY(), r.wantY);
    const ScreenPoint c = t.centrePixel();
    EXPECT_NEAR(c.x, 120, 1e-6);
    EXPECT_NEAR(c.y, r.centreY, 1e-6);
  }
}

TEST(ViewTransform, ScreenAndPositionRoundTrip) {
  struct Row {
    double latDeg, lonDeg, zoom, rotation;
    int mode;
  } rows[] = {
      {0, 0, 5215789.654483851, 0, 0},   {48.2, 16.4, 1e6, 0, 0},         {-33.9, 151.2, 2e3, 0, 0},
      {60, -150, 8e7, 0, 0},             {51.5, -0.1, 2e5, 0.7, 1},       {10, 20, kMaxZoom * 2, 0, 0},
  };
  for (const Row& r : rows) {
    ViewInput in = At(r.latDeg, r.lonDeg, r.zoom);
    in.rotation = r.rotation;
    in.headingMode = r.mode;
    const ViewTransform t = ViewTransform::Build(in);
    for (const ScreenPoint& s : {ScreenPoint{0, 0}, ScreenPoint{479, 0}, ScreenPoint{240, 320}, ScreenPoint{13, 600}}) {
      const GeoPoint p = t.ToPosition(s.x, s.y);
      const ScreenPoint back = t.ToScreen(p);
      EXPECT_NEAR(back.x, s.x, 1e-4) << r.latDeg << "," << r.lonDeg;
      EXPECT_NEAR(back.y, s.y, 1e-4) << r.latDeg << "," << r.lonDeg;
    }
  }
}

TEST(ViewTransform, HeadingModesTurnTheView) {
  // Where a point 1 km east of the centre lies relative to the centre pixel,
  // as a screen angle (clockwise from up).
  struct Row {
    int mode;
    bool following;
    double stored, course, convergence;
    bool target;
    double rotation;
  } rows[] = {
      {0, false, 1.0, 0.5, 0.0, false, 0.0},   // grid north up, the stored rotation is replaced
      {0, true, 1.0, 0.5, 0.1, false, 0.1},    // rotation := grid convergence
      {1, true, 0.0, kPi / 2, 0.0, false, kPi / 2},  // course up
      {1, false, 0.3, kPi / 2, 0.0, false, 0.3},     // not following: the stored rotation stays
      {2, true, 0.0, 0.0, 0.05, false, 0.05},        // no target: grid convergence
      {2, true, 0.0, 0.0, 0.0, true, kPi},           // target due south
  };
  for (const Row& r : rows) {
    ViewInput in = At(45, 7);
    in.headingMode = r.mode;
    in.followingUser = r.following;
    in.rotation = r.stored;
    in.course = r.course;
    in.gridConvergence = [c = r.convergence](const GeoPoint&) { return c; };
    if (r.target) in.target = GeoPoint(44 * kDeg, 7 * kDeg);
    const ViewTransform t = ViewTransform::Build(in);
    EXPECT_NEAR(t.rotation(), r.rotation, 1e-6) << r.mode;
    // The course equal to the rotation points straight up.
    EXPECT_NEAR(std::remainder(t.ScreenAngle(t.centre(), t.rotation()), 2 * kPi), 0, 1e-9) << r.mode;
    EXPECT_EQ(t.northUp(), r.mode == 0);
  }
}

TEST(ViewTransform, ANorthwardCourseReadsZeroOnANorthUpScreen) {
  const ViewTransform t = ViewTransform::Build(At(47, 8));
  EXPECT_DOUBLE_EQ(t.ScreenAngle(t.centre(), 0), 0);
  EXPECT_NEAR(t.ScreenAngle(t.centre(), kPi / 2), kPi / 2, 1e-9);
  EXPECT_NEAR(t.ScreenAngle(t.centre(), kPi), kPi, 1e-9);
  EXPECT_NEAR(t.ScreenAngle(t.centre(), 3 * kPi / 2), 3 * kPi / 2, 1e-9);
}

TEST(ViewTransform, VisibleAreaAndMetresPerPixel) {
  struct Row {
    double latDeg, lonDeg, zoom;
  } rows[] = {{0, 0, 1e6}, {48, 16, 5e6}, {-60, 100, 2e5}, {0, 179.99, 1e7}};
  for (const Row& r : rows) {
    const ViewTransform t = ViewTransform::Build(At(r.latDeg, r.lonDeg, r.zoom));
    const GeoBounds& v = t.visible();
    EXPECT_NEAR(v.maxLongitude - v.minLongitude, 480 / t.zoom(), 1e-12);
    EXPECT_NEAR(v.maxLatitude - v.minLatitude, 640 * t.cosFactor() / t.zoom(), 1e-12);
    const GeoPoint c = t.centre();
    EXPECT_TRUE(c.longitude() > v.minLongitude && c.longitude() < v.maxLongitude);
    EXPECT_TRUE(c.latitude() > v.minLatitude && c.latitude() < v.maxLatitude);
    EXPECT_NEAR(t.metresPerPixel(), kEarthRadius * std::cos(r.latDeg * kDeg) / t.zoom(), 1e-9);
    // One pixel east is about that many metres on the ground.
    const GeoPoint a = t.ToPosition(240, 320), b = t.ToPosition(241, 320);
    EXPECT_NEAR(a.Distance(b), t.metresPerPixel(), t.metresPerPixel() * 1e-3);
  }
}

TEST(Thinning, PointSkipFollowsTheSevenPixelRule) {
  struct Row {
    std::size_t count;
    double distance, mpp;
    int dpi, skip;
  } rows[] = {
      {10000, 10000, 100, 96, 700},  // 7 x 100 m = 700.5 m per drawn segment, 1 m per point
      {10000, 10000, 100, 192, 1400},
      {10000, 10000, 0.1, 96, 1},
      {10000, 10000, 0.01, 96, 0},
      {0, 10000, 100, 96, 0},
      {10, 0, 100, 96, 0},
      {100, 100, -100, 96, 700},     // the sign of the scale does not matter
  };
  for (const Row& r : rows) EXPECT_EQ(PointSkip(r.count, r.distance, r.mpp, r.dpi), r.skip) << r.count << " " << r.mpp;
}

TEST(Thinning, TenThousandPointsVisitEvery701stAndEndAtTheLast) {
  const std::vector<std::size_t> visited = VisitedIndices(10000, 700);
  ASSERT_EQ(visited.size(), 16u);  // 0, 701, ..., 9814, then 9999
  for (std::size_t i = 0; i + 1 < visited.size(); ++i) EXPECT_EQ(visited[i], i * 701);
  EXPECT_EQ(visited.back(), 9999u);

  // The whole road: a 10 km track northwards, 1 m per point, at 100 m per pixel.
  std::vector<GeoPoint> track;
  GeoPoint p(45 * kDeg, 7 * kDeg);
  for (int i = 0; i < 10000; ++i) {
    track.push_back(p);
    p.Offset(1, 0);
  }
  ViewInput in = At(45.04, 7, 1, 240, 320, 96);
  in.zoom = kEarthRadius * std::cos(45.04 * kDeg) / 100;
  const ViewTransform t = ViewTransform::Build(in);
  EXPECT_NEAR(t.metresPerPixel(), 100, 1e-9);
  const int skip = PointSkip(track.size(), 10000, t.metresPerPixel(), 96);
  EXPECT_EQ(skip, 700);
  const ClippedPath path = TracePoints(track, skip, t, std::nullopt, 50);
  ASSERT_EQ(path.runs().size(), 1u);
  EXPECT_EQ(path.vertices(), 16u);
  const ScreenPoint last = t.ToScreen(track.back());
  EXPECT_DOUBLE_EQ(path.runs()[0].back().x, last.x);
  EXPECT_DOUBLE_EQ(path.runs()[0].back().y, last.y);
}

TEST(Thinning, ScreenExtentIsAtLeastTenPixelsEachWay) {
  GeoBounds small;
  small.Widen(GeoPoint(0, 0));
  EXPECT_DOUBLE_EQ(ExtentOnScreen(small, 10).area(), 100);
  GeoBounds km;
  km.Widen(GeoPoint(0, 0));
  km.Widen(GeoPoint(1000 / kEarthRadius, 2000 / kEarthRadius));
  const ScreenExtent e = ExtentOnScreen(km, 10);
  EXPECT_NEAR(e.width, 200, 1e-4);
  EXPECT_NEAR(e.height, 100, 1e-4);
}

TEST(Clipping, SegmentsAreCutToTheBox) {
  const ClipBox box = ClipBox::Screen(100, 100, 10);  // -10 .. 110
  struct Row {
    ScreenPoint a, b;
    bool kept;
    ScreenPoint wantA, wantB;
  } rows[] = {
      {{0, 0}, {50, 50}, true, {0, 0}, {50, 50}},
      {{-100, 50}, {200, 50}, true, {-10, 50}, {110, 50}},
      {{50, -1e9}, {50, 1e9}, true, {50, -10}, {50, 110}},
      {{-1e9, -1e9}, {1e9, 1e9}, true, {-10, -10}, {110, 110}},
      {{-200, -200}, {-100, 500}, false, {}, {}},
      {{120, 0}, {300, 300}, false, {}, {}},
      {{NAN, 0}, {50, 50}, false, {}, {}},
      {{0, 0}, {INFINITY, 50}, false, {}, {}},
  };
  for (const Row& r : rows) {
    ScreenPoint a = r.a, b = r.b;
    EXPECT_EQ(ClipSegment(a, b, box), r.kept) << r.a.x << "," << r.a.y;
    if (!r.kept) continue;
    EXPECT_NEAR(a.x, r.wantA.x, 1e-6);
    EXPECT_NEAR(a.y, r.wantA.y, 1e-6);
    EXPECT_NEAR(b.x, r.wantB.x, 1e-6);
    EXPECT_NEAR(b.y, r.wantB.y, 1e-6);
  }
}

TEST(Clipping, PathsStayJoinedAndBreakWhereTheyLeave) {
  ClippedPath path(ClipBox::Screen(100, 100, 0));
  path.MoveTo({10, 10});
  path.LineTo({20, 20});
  path.LineTo({30, 10});
  path.LineTo({500, 10});   // leaves on the right
  path.LineTo({500, 50});   // outside
  path.LineTo({50, 50});    // comes back
  path.LineTo({60, 60});
  ASSERT_EQ(path.runs().size(), 2u);
  EXPECT_EQ(path.runs()[0].size(), 4u);
  EXPECT_EQ(path.runs()[0].back(), (ScreenPoint{100, 10}));
  EXPECT_EQ(path.runs()[1].front(), (ScreenPoint{100, 50}));
  EXPECT_EQ(path.runs()[1].back(), (ScreenPoint{60, 60}));
}

TEST(Clipping, DeepestZoomTrackStaysOnTheScreenWithoutHanging) {
  // A track across a continent seen at the deepest zoom: its vertices lie
  // around 1e9 pixels away from the screen.
  std::vector<GeoPoint> track;
  for (int i = 0; i <= 1000; ++i) track.emplace_back((45 + (i - 500) * 0.09) * kDeg, (10 + (i - 500) * 0.34) * kDeg);
  ViewInput in = At(45, 10, 1e12);  // clamped to the deepest zoom
  const ViewTransform t = ViewTransform::Build(in);
  EXPECT_DOUBLE_EQ(t.zoom(), kMaxZoom * 2);
  const ScreenPoint far = t.ToScreen(track.front());
  EXPECT_GT(std::hypot(far.x, far.y), 1e8);
  const auto start = std::chrono::steady_clock::now();
  const ClippedPath path = TracePoints(track, 0, t, std::nullopt, 64);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  ASSERT_EQ(path.runs().size(), 1u);  // the two segments through the centre
  EXPECT_EQ(path.runs()[0].size(), 3u);
  const ClipBox box = ClipBox::Screen(480, 640, 64);
  for (const ScreenPoint& p : path.runs()[0]) EXPECT_TRUE(box.Contains(p)) << p.x << "," << p.y;
  // It passes through the screen centre, as the line of the track does.
  const auto& run = path.runs()[0];
  const ScreenPoint c = t.centrePixel();
  const double cross = (run[1].x - run[0].x) * (c.y - run[0].y) - (run[1].y - run[0].y) * (c.x - run[0].x);
  EXPECT_LT(std::fabs(cross) / std::hypot(run[1].x - run[0].x, run[1].y - run[0].y), 1.0);
}

TEST(Grid, LinesThinOutAndBlendTowardsTheBackground) {
  // s = pixels between lines; q = width / s.
  struct Row {
    double gridStep;
    int width;
    bool draw;
    double weight;  // -1: the grid colour unchanged
  } rows[] = {
      {200, 1, true, -1},     // 200 px apart at 1 m per pixel: q = 0.005
      {100, 1, true, -1},     // q = 0.01 exactly
      {100, 0, false, 0},     // no width, no lines
      {10, 1, false, 0},      // 10 px apart: q = 0.1
      {20, 1, false, 0},      // q = 0.05
      {25, 1, true, 0.75},    // 25 px apart: q = 0.04
      {50, 1, true, 0.25},    // 50 px: q = 0.02
  };
  for (const Row& r : rows) {
    ViewInput in = At(0, 0, kEarthRadius / 1.0, 240, 320, 96);
    const ViewTransform t = ViewTransform::Build(in);
    const GridLines g = MakeGridLines(t, r.gridStep, r.width, 0x000000FF, 0x00FFFFFF, 8);
    EXPECT_EQ(g.draw, r.draw) << r.gridStep;
    if (!g.draw) continue;
    EXPECT_NEAR(g.spacing, r.gridStep, 1e-6);
    const std::uint32_t want = r.weight < 0 ? 0x000000FF : BlendColour(0x000000FF, 0x00FFFFFF, r.weight);
    EXPECT_EQ(g.colour, want);
    EXPECT_GE(g.lines.size(), static_cast<std::size_t>(240 / g.spacing + 320 / g.spacing));
    const ClipBox box = ClipBox::Screen(240, 320, 8);
    for (const auto& [a, b] : g.lines) EXPECT_TRUE(box.Contains(a) && box.Contains(b));
  }
}

TEST(Grid, LinesStayOnTheGroundWhileTheViewPans) {
  auto xs = [](double lonDeg) {
    ViewInput in = At(0, lonDeg, kEarthRadius / 1.0, 240, 320, 96);  // 1 m per pixel
    const ViewTransform t = ViewTransform::Build(in);
    std::vector<double> out;
    for (const auto& [a, b] : MakeGridLines(t, 100, 1, 0, 0xFFFFFF, 0).lines)
      if (std::fabs(a.x - b.x) < 1e-6) out.push_back(t.ToPosition(a.x, 160).longitude());
    return out;
  };
  const std::vector<double> before = xs(0.001), after = xs(0.0012);
  ASSERT_FALSE(before.empty());
  int shared = 0;
  for (double a : before)
    for (double b : after) shared += std::fabs(a - b) < 1e-9;
  EXPECT_GE(shared, 1);
}

TEST(ScaleBar, RoundLengthsThatFit) {
  struct Row {
    double mpp, maxPixels, metres;
  } rows[] = {{1, 100, 100}, {1, 99, 50}, {3, 100, 200}, {0.01, 80, 0.5}, {1000, 120, 100000}, {0, 100, 0}};
  for (const Row& r : rows) {
    const ScaleBar bar = MakeScaleBar(r.mpp, r.maxPixels);
    EXPECT_DOUBLE_EQ(bar.metres, r.metres) << r.mpp;
    EXPECT_LE(bar.pixels, r.maxPixels);
  }
}

TEST(ViewTransform, VerticalOffsetFromTheLayout) {
  struct Row {
    OffsetFlags flags;
    int units;
  } rows[] = {
      {{}, -13},
      {{true, false, false, 0, false}, 29},
      {{false, true, true, 0, false}, -13},
      {{false, false, true, 1, false}, 11},
      {{false, true, false, 2, true}, -4},
  };
  for (const Row& r : rows) EXPECT_EQ(VerticalOffsetUnits(r.flags), r.units);
  EXPECT_EQ(ScaleUnits(-13, 192), -26);
  EXPECT_EQ(ScaleUnits(29, 96), 29);
}

TEST(Clipping, PolygonsAreCutToTheBox) {
  const ClipBox box = ClipBox::Screen(100, 100, 0);
  struct Row {
    std::vector<ScreenPoint> polygon;
    std::size_t vertices;
    double area;
  } rows[] = {
      {{{10, 10}, {90, 10}, {90, 90}, {10, 90}}, 4, 6400},                  // inside
      {{{-1e9, -1e9}, {1e9, -1e9}, {1e9, 1e9}, {-1e9, 1e9}}, 4, 10000},     // covers the screen
      {{{50, -20}, {120, 50}, {50, 120}, {-20, 50}}, 8, 8200},              // a diamond with its tips cut
      {{{200, 200}, {300, 200}, {300, 300}}, 0, 0},                         // outside
      {{{NAN, 0}, {10, 10}, {0, 10}}, 0, 0},
  };
  for (const Row& r : rows) {
    const std::vector<ScreenPoint> out = ClipPolygon(r.polygon, box);
    EXPECT_EQ(out.size(), r.vertices);
    double area = 0;  // shoelace
    for (std::size_t i = 0; i < out.size(); ++i) {
      const ScreenPoint& a = out[i];
      const ScreenPoint& b = out[(i + 1) % out.size()];
      area += a.x * b.y - b.x * a.y;
      EXPECT_TRUE(box.Contains(a));
    }
    EXPECT_NEAR(std::fabs(area) / 2, r.area, 1e-6);
  }
}
