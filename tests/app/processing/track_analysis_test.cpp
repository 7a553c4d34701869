// Track analysis: the x and y series of a track, reversed tracks, graph
// labels and the exact bytes of the ".tsf" export.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/core/SettingsStore.h"
#include "app/processing/TrackAnalysis.h"

namespace {

using namespace rovana;

constexpr double kTolerance = 1e-6;

GeoPoint At(double north, double altitude, int time) {
  GeoPoint p(north / kEarthRadius, 0.2, altitude);
  p.setTime(time);
  return p;
}

// 100 m every 10 s due north, climbing 10 m and then 20 m.
std::vector<GeoPoint> Climb() { return {At(0, 100, 100), At(100, 110, 110), At(200, 130, 120)}; }

void ExpectSeries(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], kTolerance) << "point " << i;
}

TEST(TrackAnalysis, XSeriesForwardsAndBackwards) {
  const std::vector<GeoPoint> midnight = {At(0, 0, 86390), At(50, 0, 86399), At(70, 0, 9)};
  struct Case {
    const char* name;
    std::vector<GeoPoint> points;
    int selector;
    bool reverse;
    std::vector<double> want;
  } cases[] = {
      {"distance", Climb(), kXDistance, false, {0, 100, 200}},
      {"distance reversed", {At(0, 0, 1), At(30, 0, 2), At(100, 0, 3)}, kXDistance, true, {0, 70, 100}},
      {"time", Climb(), kXTime, false, {0, 10, 20}},
      {"time across midnight", midnight, kXTime, false, {0, 9, 19}},
      {"time reversed across midnight", midnight, kXTime, true, {0, 10, 19}},
      {"unknown selector is distance", Climb(), 9, false, {0, 100, 200}},
      {"empty track", {}, kXTime, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectSeries(TrackXSeries(c.points, c.selector, c.reverse), c.want);
  }
}

TEST(TrackAnalysis, YSeriesReplayTheTrack) {
  struct Case {
    const char* name;
    int selector;
    bool reverse;
    std::vector<double> want;
  } cases[] = {
      {"altitude", kYAltitude, false, {100, 110, 130}},
      {"grade", kYGrade, false, {0, 10, 20}},
      {"speed", kYSpeed, false, {0, 36, 36}},
      {"speed reversed keeps the recorded values", kYSpeed, true, {36, 36, 0}},
      {"acceleration", kYAcceleration, false, {0, 1 / 9.8, 0}},
      {"longitudinal", kYLongitudinal, false, {0, 1 / 9.8, 0}},
      {"lateral", kYLateral, false, {0, 0, 0}},
      {"none", kYNone, false, {}},
      {"unknown selector is none", -4, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectSeries(TrackYSeries(Climb(), c.selector, c.reverse), c.want);
  }
}

TEST(TrackAnalysis, GraphLabels) {
  UnitChoice metric;
  UnitChoice imperial;
  imperial.unitAltitude = 16;
  imperial.altitudeOffset = 10;
  imperial.unitSpeed = 2;
  struct Case {
    const char* name;
    bool x;
    const UnitChoice& units;
    int selector;
    double value;
    const char* want;
  } cases[] = {
      {"distance", true, metric, kXDistance, 1234, "1.23km"},
      {"time", true, metric, kXTime, 725, "00:12:05"},
      {"altitude", false, imperial, kYAltitude, 100, "361ft"},
      {"grade", false, metric, kYGrade, 16.666, "16.7%"},
      {"speed", false, imperial, kYSpeed, 100, "54.0kts"},
      {"acceleration", false, metric, kYAcceleration, 0.254, "0.25G"},
      {"lateral", false, metric, kYLateral, -0.5, "-0.50G"},
      {"none", false, metric, kYNone, 3, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.x ? XSeriesLabel(c.units, c.selector, c.value) : YSeriesLabel(c.units, c.selector, c.value), c.want);
  }
}

// A temporary folder of the test's own.
struct Folder {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("track_analysis_test_" + std::to_string(::getpid()) + "_" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
  Folder() { std::filesystem::create_directories(path); }
  ~Folder() { std::filesystem::remove_all(path); }
};

std::string Read(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TsfLabels Labels() {
  TsfLabels labels;
  labels.x = {"Distance", "Time"};
  labels.y = {"", "Altitude", "Grade", "Speed", "Acceleration", "Longitudinal", "Lateral"};
  return labels;
}

TEST(TrackAnalysis, ExportFilesHoldExactlyTheseBytes) {
  UnitChoice us;
  us.unitDistance = 13;
  us.unitAltitude = 16;
  us.altitudeOffset = 10;
  us.unitSpeed = 3;
  struct Case {
    const char* name;
    TrackSeriesChoice choice;
    UnitChoice units;
    const char* bytes;
  } cases[] = {
      {"metric by distance", {kXDistance, kYAltitude, kYSpeed, false}, UnitChoice{},
       "Distance (m)\tAltitude (m)\tSpeed (kmh)\n"
       "0.000000\t100.000000\t0.000000\n"
       "100.000000\t110.000000\t36.000000\n"
       "200.000000\t130.000000\t36.000000\n"},
      {"by time with grade and acceleration", {kXTime, kYGrade, kYAcceleration, false}, UnitChoice{},
       "Time (s)\tGrade (%)\tAcceleration (G)\n"
       "0.000000\t0.000000\t0.000000\n"
       "10.000000\t10.000000\t0.102041\n"
       "20.000000\t20.000000\t0.000000\n"},
      {"US units, right series only", {kXDistance, kYNone, kYSpeed, false}, us,
       "Distance (mi)\tSpeed (mph)\n"
       "0.000000\t0.000000\n"
       "0.062137\t22.369363\n"
       "0.124274\t22.369363\n"},
      {"feet with the offset, reversed", {kXDistance, kYAltitude, kYNone, true}, us,
       "Distance (mi)\tAltitude (ft)\n"
       "0.000000\t459.317585\n"
       "0.062137\t393.700787\n"
       "0.124274\t360.892388\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Folder folder;
    const auto file = folder.path / "climb.tsf";
    const TrackSeries series = BuildTrackSeries(Climb(), c.choice);
    ASSERT_TRUE(WriteTsfFile(file, TsfText(series, c.choice, Labels(), c.units)));
    const std::string bytes = Read(file);
    EXPECT_EQ(bytes.size(), std::string(c.bytes).size());
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1) << "no temporary file left";
  }
}

TEST(TrackAnalysis, ExportReplacesAnOldFileWhole) {
  Folder folder;
  const auto file = folder.path / "old.tsf";
  std::ofstream(file) << "an older and much longer export that must not survive in part\n";
  ASSERT_TRUE(WriteTsfFile(file, "x (s)\n0.000000\n"));
  EXPECT_EQ(Read(file), "x (s)\n0.000000\n");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IRUSR, 0u);
}

TEST(TrackAnalysis, ExportThatCannotBeCreatedLeavesNothing) {
  Folder folder;
  EXPECT_FALSE(WriteTsfFile(folder.path / "missing" / "x.tsf", "text\n"));
  EXPECT_FALSE(std::filesystem::exists(folder.path / "missing"));
  // A folder where the file should go: the rename fails, the temporary
  // file goes away again.
  std::filesystem::create_directories(folder.path / "taken.tsf" / "inside");
  EXPECT_FALSE(WriteTsfFile(folder.path / "taken.tsf", "text\n"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1);
}

TEST(TrackAnalysis, DefaultFileNames) {
  struct Case {
    const char* name;
    const char* want;
  } cases[] = {
      {"Morning ride", "Morning ride.tsf"},
      {"", "track.tsf"},
      {"a/b\\c:d", "a_b_c_d.tsf"},
      {"..", "track.tsf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DefaultTsfName(c.name), c.want);
  }
}

TEST(TrackAnalysis, ChoiceComesFromTheSettings) {
  Folder folder;
  SettingsStore settings(folder.path);
  const TrackSeriesChoice defaults = TrackSeriesChoiceOf(settings);
  EXPECT_EQ(defaults.xSelector, kXDistance);
  EXPECT_EQ(defaults.leftSelector, kYAltitude);
  EXPECT_EQ(defaults.rightSelector, kYSpeed);
  EXPECT_FALSE(defaults.reverse);
  settings.targetReverseTrack = true;
  EXPECT_TRUE(TrackSeriesChoiceOf(settings).reverse);
}

}  // namespace
