// GPX files and collections: real files in temporary folders, read back by
// our reader and by independent tools where installed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/core/SettingsStore.h"
#include "app/waypoints/GpxParser.h"
#include "app/waypoints/Waypoints.h"

namespace {

using namespace rovana;
namespace fs = std::filesystem;

constexpr double kDeg = 3.14159265358979323846 / 180;

struct Folder {
  fs::path path;
  Folder() {
    char name[] = "/tmp/gpx_test_XXXXXX";
    path = mkdtemp(name);
  }
  ~Folder() { fs::remove_all(path); }
  void Write(const std::string& name, const std::string& text) const { std::ofstream(path / name) << text; }
  std::string Read(const std::string& name) const {
    std::ifstream in(path / name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

struct Fixture {
  Folder folder;
  SettingsStore settings{folder.path};
  Waypoints waypoints{settings};
  Fixture() {
    settings.primaryDataPath = folder.path.string();
    settings.secondaryDataPath = folder.path.string();
  }
};

bool Has(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

TEST(Gpx, FindsFilesByTheirGpxEndingInAnyCase) {
  Fixture f;
  for (const char* name : {"a.gpx", "B.GPX", "c.gpx.txt", "d.Gpx"}) f.folder.Write(name, "<gpx></gpx>");
  EXPECT_EQ(f.waypoints.CountFiles(), 3);
  std::vector<int> heard;
  EXPECT_EQ(f.waypoints.LoadAll([&](int loaded, int total) { heard.push_back(loaded * 10 + total); }), 3);
  EXPECT_EQ(heard, (std::vector<int>{13, 23, 33}));
  ASSERT_NE(f.waypoints.current(), nullptr) << "the first file's POIs when no collection is remembered";
  EXPECT_EQ(&f.waypoints.current()->file(), f.waypoints.files().front().get());
  EXPECT_TRUE(f.settings.selectedPOIs.empty());
}

TEST(Gpx, ReadsPointsRoutesAndTracks) {
  Fixture f;
  f.folder.Write("t.gpx",
                 "<?xml version=\"1.0\"?><gpx><name>Set</name>"
                 "<wpt lat=\"52.5\" lon=\"-1.25\"><ele>12.5</ele><name>A</name><wav>../x.wav</wav></wpt>"
                 "<rte><name>Loop</name><number>7</number><rtept lat=\"1\" lon=\"2\"><name>R</name></rtept></rte>"
                 "<trk><trkseg><trkpt lat=\"1\" lon=\"1\"><time>2024-05-06T10:00:00Z</time></trkpt></trkseg>"
                 "<trkseg><trkpt lat=\"1.1\" lon=\"1\"/></trkseg><trkseg><trkpt lat=\"1.2\" lon=\"1\"/></trkseg></trk>"
                 "</gpx>");
  ASSERT_EQ(f.waypoints.LoadAll(), 1);
  GpxParser& file = *f.waypoints.files().front();
  POIs* pois = f.waypoints.Find(file, 0);
  ASSERT_NE(pois, nullptr);
  EXPECT_EQ(pois->name(), "Set");
  ASSERT_EQ(pois->count(), 1u);
  const GeoPoint p = *pois->FirstPoint();
  EXPECT_NEAR(p.latitude(), 0.916297857, 1e-9);
  EXPECT_NEAR(p.longitude(), -0.021816616, 1e-9);
  EXPECT_EQ(p.text(PointText::Wav), "");  // a path is not an attachment name
  POIs* route = f.waypoints.Find(file, 1);
  ASSERT_NE(route, nullptr);
  EXPECT_EQ(route->name(), "Loop - 7");
  POIs* track = f.waypoints.Find(file, 2);
  ASSERT_NE(track, nullptr);
  const auto points = track->Points();
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[1].time(), 36001);  // missing times follow the point before
  EXPECT_EQ(points[2].time(), 36002);
  EXPECT_EQ(points[2].sym(), "Finish");
  EXPECT_FALSE(file.modified());
}

TEST(Gpx, ReadsGpx11WithMetadataExtensionsAndZonedTimes) {
  Fixture f;
  f.folder.Write("t.gpx",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?><gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
                 "<metadata><name>Meta</name><author><name>Someone</name></author>"
                 "<time>2023-01-02T03:04:05.250+02:00</time></metadata>"
                 "<wpt lat=\"10\" lon=\"20\"><time>2023-01-02T03:04:05.5Z</time><name>W</name>"
                 "<link href=\"http://x.org/a?b&amp;c\"><text>t</text></link>"
                 "<extensions><name>not this</name></extensions></wpt></gpx>");
  ASSERT_EQ(f.waypoints.LoadAll(), 1);
  GpxParser& file = *f.waypoints.files().front();
  POIs* pois = f.waypoints.Find(file, 0);
  EXPECT_EQ(pois->name(), "Meta");
  EXPECT_EQ(file.created().date, 2023 * 416 + 1 * 32 + 2);
  EXPECT_EQ(file.created().time, 3 * 3600 + 4 * 60 + 5);
  const GeoPoint p = *pois->FirstPoint();
  EXPECT_EQ(p.name(), "W");
  EXPECT_EQ(p.text(PointText::Link), "http://x.org/a?b&c");
  EXPECT_EQ(p.time(), 3 * 3600 + 4 * 60 + 5);
}

TEST(Gpx, DamagedFilesKeepWhatCouldBeReadAndNeverCrash) {
  const std::string good =
      "<gpx><wpt lat=\"1\" lon=\"2\"><name>A</name></wpt><trk><trkseg><trkpt lat=\"1\" lon=\"1\"/>"
      "<trkpt lat=\"2\" lon=\"1\"/></trkseg></trk></gpx>";
  for (std::size_t cut = 0; cut <= good.size(); ++cut) {
    Fixture f;
    f.folder.Write("t.gpx", good.substr(0, cut));
    f.waypoints.LoadAll();
  }
  Fixture f;
  static constexpr char kJunk[] = "\x01\xff<<>>&&\0\0binary";
  f.folder.Write("junk.gpx", std::string(kJunk, sizeof kJunk - 1));
  EXPECT_EQ(f.waypoints.LoadAll(), 1);
  EXPECT_EQ(f.waypoints.Find(*f.waypoints.files().front(), 0)->count(), 0u);
}

void FillSample(Waypoints& w, GpxParser& file) {
  POIs& pois = *w.Find(file, 0);
  GeoPoint a(52.5 * kDeg, -1.25 * kDeg, 99.5);
  a.setDate(2025 * 416 + 3 * 32 + 4);
  a.setTime(3600);
  a.setText(PointText::Name, "Αθήνα Москва 東京 🚀 a]]>b");
  a.setText(PointText::Desc, std::string("bad\x01" "char\r\nline"));
  a.setText(PointText::Link, "http://x.org/?a=\"1\"&b");
  pois.AddPoint(a, -1, true);
  POIs& track = w.AddCollection(file, PoisKind::Track);
  track.SetName("Трек");
  for (int i = 0; i < 3; ++i) {
    GeoPoint t((10 + i * 0.001) * kDeg, 20 * kDeg, i);
    t.setDate(2025 * 416 + 3 * 32 + 4);
    t.setTime(7200 + i);
    track.AddPoint(t, -1, true);
  }
  track.AddPoint(std::nullopt, -1, true);
}

TEST(Gpx, WrittenFilesReadBackInBothEncodings) {
  for (bool unicode : {false, true}) {
    SCOPED_TRACE(unicode);
    Fixture f;
    GpxParser& file = f.waypoints.NewFile("out.gpx");
    FillSample(f.waypoints, file);
    f.waypoints.RecomputeBounds(file);
    ASSERT_TRUE(file.modified());
    ASSERT_TRUE(file.SaveIfModified(unicode));
    EXPECT_FALSE(file.modified());
    EXPECT_FALSE(fs::exists(f.folder.path / "out.gpx.temp"));
    if (!unicode) {
      const std::string text = f.folder.Read("out.gpx");
      EXPECT_NE(text.find("<wpt lat=\"52.500000\" lon=\"-1.250000\">\n <ele>99.500000</ele>\n"), std::string::npos);
      EXPECT_NE(text.find("<time>2025-03-04T01:00:00Z</time>"), std::string::npos);
      EXPECT_NE(text.find("Москва"), std::string::npos);  // UTF-8, not low bytes
      if (Has("xmllint"))
        EXPECT_EQ(std::system(("xmllint --noout " + (f.folder.path / "out.gpx").string()).c_str()), 0);
    }
    Fixture g;
    fs::copy_file(f.folder.path / "out.gpx", g.folder.path / "out.gpx");
    ASSERT_EQ(g.waypoints.LoadAll(), 1);
    GpxParser& back = *g.waypoints.files().front();
    const GeoPoint a = *g.waypoints.Find(back, 0)->FirstPoint();
    EXPECT_EQ(a.name(), "Αθήνα Москва 東京 🚀 a]]>b");
    EXPECT_EQ(a.text(PointText::Desc), "badchar\nline");
    EXPECT_EQ(a.text(PointText::Link), "http://x.org/?a=\"1\"&b");
    EXPECT_NEAR(a.altitude(), 99.5, 1e-6);
    POIs* track = g.waypoints.FirstOf(back, true);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->name(), "Трек");
    EXPECT_EQ(track->count(), 3u);
  }
}

TEST(Gpx, GpsbabelReadsOurFilesAndWeReadItsGpx11) {
  if (!Has("gpsbabel")) GTEST_SKIP() << "gpsbabel is not installed";
  Fixture f;
  GpxParser& file = f.waypoints.NewFile("ours.gpx");
  FillSample(f.waypoints, file);
  ASSERT_TRUE(file.Save(false));
  const fs::path ours = f.folder.path / "ours.gpx", theirs = f.folder.path / "theirs.gpx";
  ASSERT_EQ(std::system(("gpsbabel -i gpx -f " + ours.string() + " -o gpx -F " + theirs.string()).c_str()), 0);
  const std::string text = f.folder.Read("theirs.gpx");
  EXPECT_NE(text.find("Αθήνα Москва 東京 🚀 a]]&gt;b"), std::string::npos) << text;
  EXPECT_NE(text.find("2025-03-04T01:00:00Z"), std::string::npos);
  EXPECT_NE(text.find("<ele>99.500</ele>"), std::string::npos);
  EXPECT_NE(text.find("Трек"), std::string::npos);
  fs::remove(ours);
  Fixture g;
  fs::copy_file(theirs, g.folder.path / "theirs.gpx");
  ASSERT_EQ(g.waypoints.LoadAll(), 1);
  GpxParser& back = *g.waypoints.files().front();
  EXPECT_EQ(g.waypoints.Find(back, 0)->FirstPoint()->name(), "Αθήνα Москва 東京 🚀 a]]>b");
  ASSERT_NE(g.waypoints.FirstOf(back, true), nullptr);
  const auto points = g.waypoints.FirstOf(back, true)->Points();
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[2].time(), 7202);
  EXPECT_NEAR(points[2].altitude(), 2, 1e-6);
}

TEST(Gpx, FailedSaveKeepsTheOldFileAndTheModifiedFlag) {
  Fixture f;
  f.folder.Write("t.gpx", "<gpx><wpt lat=\"1\" lon=\"2\"/></gpx>");
  f.waypoints.LoadAll();
  GpxParser& file = *f.waypoints.files().front();
  f.waypoints.Find(file, 0)->AddPoint(GeoPoint(0.1, 0.2), -1, true);
  ASSERT_TRUE(file.modified());
  // A file its owner may not write is never replaced, even by root.
  chmod((f.folder.path / "t.gpx").c_str(), 0444);
  EXPECT_FALSE(file.SaveIfModified(false));
  EXPECT_TRUE(file.modified());
  EXPECT_EQ(f.folder.Read("t.gpx"), "<gpx><wpt lat=\"1\" lon=\"2\"/></gpx>");
}

TEST(Gpx, RenameRefusesPathsAndNeverReplaces) {
  Fixture f;
  f.folder.Write("a.gpx", "<gpx/>");
  f.folder.Write("b.gpx", "other");
  f.waypoints.LoadAll();
  GpxParser& a = *f.waypoints.files().front();
  ASSERT_EQ(a.name(), "a.gpx");
  EXPECT_FALSE(f.waypoints.RenameFile(a, "../x.gpx"));
  EXPECT_FALSE(f.waypoints.RenameFile(a, "b.gpx"));
  EXPECT_EQ(f.folder.Read("b.gpx"), "other");
  EXPECT_TRUE(f.waypoints.RenameFile(a, "c.gpx"));
  EXPECT_EQ(a.name(), "c.gpx");
  EXPECT_TRUE(fs::exists(f.folder.path / "c.gpx"));
}

TEST(Gpx, NewNamesAreChecked) {
  Fixture f;
  f.waypoints.NewFile("have.gpx");
  struct Case {
    const char* name;
    Waypoints::NameCheck want;
  } cases[] = {{"abcde.gpx", Waypoints::NameCheck::Good}, {".gpx", Waypoints::NameCheck::Bad},
               {"abcde.txt", Waypoints::NameCheck::Bad},  {"a/b.gpx", Waypoints::NameCheck::Bad},
               {"HAVE.GPX", Waypoints::NameCheck::Exists}};
  for (const Case& c : cases) EXPECT_EQ(f.waypoints.CheckNewName(c.name), c.want) << c.name;
}

// Times as files write them: the usual form and its variants read alike,
// zones and fractions are ignored, and fields out of range are dropped.
TEST(Gpx, TimesAreReadLeniently) {
  constexpr std::int32_t kJune14 = 2026 * 416 + 6 * 32 + 14;
  constexpr std::int32_t kNine = 9 * 3600 + 52;  // 09:00:52
  struct Case {
    const char* text;
    std::int32_t date, time;
  };
  const Case cases[] = {
      {"2026-06-14T09:00:52Z", kJune14, kNine},
      {"2026-06-14T09:00:52", kJune14, kNine},
      {"2026-06-14T09:00:52.250Z", kJune14, kNine},
      {"2026-06-14T09:00:52+02:00", kJune14, kNine},  // no zone conversion
      {"2026-06-14T09:00:52-05:00", kJune14, kNine},
      {"  2026-06-14T09:00:52Z", kJune14, kNine},
      {"2026/06/14 09:00:52", kJune14, kNine},
      {"2026-6-14T9:0:52Z", kJune14, kNine},
      {"12026-06-14T09:00:52Z", 12026 * 416 + 6 * 32 + 14, kNine},
      {"2026-06-14T09:00", kJune14, 9 * 3600},
      {"2026-06-14T09Z00:52", kJune14, 9 * 3600},    // a zone ends the fields
      {"2026-06-14Z09:00:52", kJune14, 0},
      {"2026-06-14T09:00:521", kJune14, 0},           // 521 seconds: no time
      {"2026-06-14T24:00:52Z", kJune14, 0},
      {"2026-06-14T09:60:52Z", kJune14, 0},
      {"2026-06-14T09:00:60Z", kJune14, 9 * 3600 + 59},  // a leap second
      {"2026-06-14", kJune14, 0},
      {"2026-13-14T09:00:52Z", 0, 0},
      {"2026-06-32T09:00:52Z", 0, 0},
      {"20260614T090052Z", 0, 0},
      {"T", 0, 0},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    const GpxTime t = ParseGpxTime(c.text);
    EXPECT_EQ(t.date, c.date) << c.text;
    EXPECT_EQ(t.time, c.time) << c.text;
  }
}

}  // namespace
