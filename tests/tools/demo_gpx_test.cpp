// The demo GPX file: the committed file is exactly the generator's output
// for the committed drive, the same on every run, and it loads as Rovana
// loads it with the landmarks, the route and a thinned track of the drive.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/SettingsStore.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/waypoints/GpxParser.h"
#include "app/waypoints/Waypoints.h"
#include "tools/demo-gpx/DemoGpx.h"

namespace {

namespace fs = std::filesystem;
using namespace rovana;

constexpr double kDeg = 3.14159265358979323846 / 180;

struct Folder {
  fs::path path;
  Folder() {
    char name[] = "/tmp/demo_gpx_test_XXXXXX";
    path = mkdtemp(name);
  }
  ~Folder() { fs::remove_all(path); }
};

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string& Drive() {
  static const std::string drive = ReadAll(ZEN_SOURCE_DIR "/data/demo/drive.pgl");
  return drive;
}

// The drive's RMC positions and times, read here without the application's
// decoder.
struct Rmc {
  GeoPoint point;
  int time = 0;
};
std::vector<Rmc> RmcFixes() {
  std::vector<Rmc> fixes;
  std::istringstream in(Drive());
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("$GPRMC,", 0) != 0) continue;
    std::vector<std::string> f;
    std::stringstream fields(line.substr(1, line.find('*') - 1));
    for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
    const double lat = std::stod(f[3].substr(0, 2)) + std::stod(f[3].substr(2)) / 60;
    const double lon = std::stod(f[5].substr(0, 3)) + std::stod(f[5].substr(3)) / 60;
    const int time = std::stoi(f[1].substr(0, 2)) * 3600 + std::stoi(f[1].substr(2, 2)) * 60 + std::stoi(f[1].substr(4, 2));
    fixes.push_back({GeoPoint(lat * kDeg, lon * kDeg), time});
  }
  return fixes;
}

// Metres to the nearest fix of the drive.
double ToRoute(const std::vector<Rmc>& fixes, const GeoPoint& p) {
  double best = 1e9;
  for (const Rmc& f : fixes) best = std::min(best, f.point.Distance(p));
  return best;
}

std::string Checked(const std::string& body) {
  unsigned sum = 0;
  for (const char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

TEST(DemoGpx, TheDemoFileIsTheToolsOutput) {
  ASSERT_FALSE(Drive().empty()) << "data/demo/drive.pgl";
  const Folder a, b;
  ASSERT_EQ(demogpx::WriteDemoGpx(Drive(), a.path), "");
  ASSERT_EQ(demogpx::WriteDemoGpx(Drive(), b.path), "");
  const std::string made = ReadAll(a.path / demogpx::kFileName);
  EXPECT_EQ(made, ReadAll(b.path / demogpx::kFileName)) << "the same bytes on every run";
  EXPECT_TRUE(made == ReadAll(ZEN_SOURCE_DIR "/data/demo/examples/Alster.gpx"))
      << "regenerate with: demo-gpx --out data/demo/examples/Alster.gpx";
  EXPECT_EQ(fs::directory_iterator(a.path)->path().filename(), demogpx::kFileName) << "no temporary file left";
}

TEST(DemoGpx, TheDemoFileLoadsWithItsCollections) {
  const Folder folder;
  fs::copy_file(ZEN_SOURCE_DIR "/data/demo/examples/Alster.gpx", folder.path / "Alster.gpx");
  SettingsStore settings(folder.path);
  settings.primaryDataPath = settings.secondaryDataPath = folder.path.string();
  WaypointsConfig config;
  config.statisticsFactory = MakeAnalyzerStatistics;
  Waypoints waypoints(settings, config);
  ASSERT_EQ(waypoints.LoadAll(), 1);
  const GpxParser& file = *waypoints.files().front();
  EXPECT_EQ(file.created().time, 9 * 3600);
  const std::vector<POIs*> collections = waypoints.CollectionsOf(file);
  ASSERT_EQ(collections.size(), 3u);
  const std::vector<Rmc> fixes = RmcFixes();
  ASSERT_GT(fixes.size(), 600u);

  const POIs& pois = *collections[0];
  EXPECT_EQ(pois.kind(), PoisKind::POIs);
  EXPECT_EQ(pois.name(), demogpx::kPoisName);
  const std::vector<GeoPoint> landmarks = pois.Points();
  ASSERT_EQ(landmarks.size(), demogpx::Landmarks().size());
  for (std::size_t i = 0; i < landmarks.size(); ++i) {
    const demogpx::Landmark& l = demogpx::Landmarks()[i];
    const GeoPoint& p = landmarks[i];
    EXPECT_EQ(p.name(), l.name);
    EXPECT_EQ(p.text(PointText::Desc), l.desc);
    EXPECT_EQ(p.sym(), l.sym);
    EXPECT_LT(ToRoute(fixes, p), 0.5) << l.name << " lies on the route";
    EXPECT_LT(p.Distance(GeoPoint(l.latitude * kDeg, l.longitude * kDeg)), 400) << l.name << " is near its place";
  }

  const POIs& route = *collections[1];
  EXPECT_EQ(route.kind(), PoisKind::Route);
  EXPECT_EQ(route.name(), demogpx::kRouteName);
  const std::vector<GeoPoint> stops = route.Points();
  ASSERT_EQ(stops.size(), demogpx::RouteStops().size());
  for (std::size_t i = 0; i < stops.size(); ++i) {
    EXPECT_EQ(stops[i].name(), demogpx::RouteStops()[i].name);
    EXPECT_EQ(stops[i].time(), demogpx::RouteStops()[i].time);
  }

  POIs& track = *collections[2];
  EXPECT_EQ(track.kind(), PoisKind::Track);
  EXPECT_EQ(track.name(), demogpx::kTrackName);
  const std::vector<GeoPoint> points = track.Points();
  ASSERT_GT(points.size(), 20u);
  EXPECT_LT(points.size(), fixes.size() / 4) << "thinned as a recording is";
  EXPECT_LT(points.front().Distance(fixes.front().point), 0.5);
  EXPECT_EQ(points.front().time(), fixes.front().time);
  // The drive ends standing for a few seconds where it arrived.
  EXPECT_LT(points.back().Distance(fixes.back().point), 0.5) << "the track ends where the drive ends";
  EXPECT_NEAR(points.back().time(), fixes.back().time, 5);
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_LT(ToRoute(fixes, points[i]), 0.5) << "track point " << i << " is a fix of the drive";
    if (i > 0) {
      EXPECT_GT(points[i].time(), points[i - 1].time()) << "track point " << i;
    }
  }
  // Thinning cuts corners a little, never a long way.
  EXPECT_NEAR(track.statistics().Distance(), 5140, 150);
}

TEST(DemoGpx, LogsWithoutAFixOrAFolderWriteNothing) {
  const std::string fix = Checked("GPRMC,090000.00,A,5333.4064,N,01000.3300,E,0.00,0.0,140626,2.1,E,A");
  struct Case {
    const char* what;
    std::string log;
    bool folderIsAFile;
    bool written;
  };
  const std::vector<Case> cases = {
      {"empty log", "", false, false},
      {"no valid fix", Checked("GPRMC,090000.00,V,5333.4064,N,01000.3300,E,0.00,0.0,140626,2.1,E,A"), false, false},
      {"bad checksum", "$GPRMC,090000.00,A,5333.4064,N,01000.3300,E,0.00,0.0,140626,2.1,E,A*00\r\n", false, false},
      {"binary junk", std::string("\x00\xFF$$**\r\n\x01$GP", 12), false, false},
      {"folder is a file", fix, true, false},
      {"one fix, without line end", fix.substr(0, fix.size() - 2), false, true},
  };
  for (const Case& c : cases) {
    const Folder folder;
    fs::path target = folder.path / "out";
    if (c.folderIsAFile) {
      std::ofstream(folder.path / "file") << "x";
      target = folder.path / "file" / "out";
    }
    const std::string problem = demogpx::WriteDemoGpx(c.log, target, "t.gpx");
    EXPECT_EQ(problem.empty(), c.written) << c.what << ": " << problem;
    EXPECT_EQ(fs::exists(target / "t.gpx"), c.written) << c.what;
    if (c.written) {
      const std::string text = ReadAll(target / "t.gpx");
      EXPECT_NE(text.find("<trkpt lat=\"53.556773\" lon=\"10.005500\">"), std::string::npos) << text;
    }
  }
}

}  // namespace
