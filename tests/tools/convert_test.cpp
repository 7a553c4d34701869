// zenolith convert, run as a user runs it: published control points, failing
// lines, and agreement with PROJ's cs2cs through whole Position objects
// (datum shift, zone rule and projection together).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "tests/support/Process.h"
#include "tests/support/TempRegistry.h"

namespace {

using testing_support::ProcessResult;
using testing_support::RunProcess;

const std::string kTool = ZEN_TOOL_PATH;

std::vector<std::string> Lines(const std::string& text) { return testing_support::SplitLines(text); }

std::vector<double> Numbers(const std::string& line) {
  std::vector<double> values;
  std::istringstream in(line);
  for (double v; in >> v;) values.push_back(v);
  return values;
}

class Convert : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(RunProcess(kTool, {"register"}).status, 0); }
  ProcessResult Run(const std::string& from, const std::string& to, const std::string& input) {
    return RunProcess(kTool, {"convert", "--from", from, "--to", to}, input);
  }
  testing_support::TempRegistry temp_;
};

TEST_F(Convert, PublishedControlPoints) {
  struct Case {
    const char* from;
    const char* to;
    const char* input;
    double x, y, tolerance;
  };
  const Case cases[] = {
      // Ordnance Survey's worked example: 52°39'27.2531" N, 1°43'04.5177" E on OSGB 36.
      {"OSGB_36", "OSGB_36/BRITISH_GRID", "52.657570301 1.717921581", 651409.903, 313177.270, 0.002},
      // The Swiss LV03 origin, 46°57'08.66" N 7°26'22.50" E on CH1903.
      {"CH_1903_PLUS", "CH_1903_PLUS/SWISS_GRID", "46.952405556 7.439583333", 600000, 200000, 0.01},
      {"AMERSFOORT", "AMERSFOORT/DUTCH_GRID", "53 6", 196105.283, 557057.739, 0.002},
  };
  int failures = 0;
  for (const Case& c : cases) {
    const ProcessResult r = Run(c.from, c.to, std::string(c.input) + "\n");
    const auto values = Numbers(r.out);
    if (r.status != 0 || values.size() < 2 || std::abs(values[0] - c.x) > c.tolerance ||
        std::abs(values[1] - c.y) > c.tolerance) {
      ADD_FAILURE() << c.to << ": " << r.out << r.err;
      ++failures;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(Convert, OutputFormsAndFailingLines) {
  const ProcessResult r = Run("WGS_84", "WGS_84/UTM_NORTH", "52 9\n\n52 9 100\nnorth east\n1 2 3 4\n95 0\n");
  EXPECT_EQ(r.status, 1) << "a failing line fails the run: " << r.err;
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              "500000.000 5761038.213 32U",
                              "500000.000 5761038.213 100.000 32U",
                              "error: line 4: expected two or three numbers: latitude longitude [altitude]",
                              "error: line 5: expected two or three numbers: latitude longitude [altitude]",
                              "error: line 6: Invalid latitude. Must be between -PI/2 and PI/2",
                          }));
  const ProcessResult back = Run("WGS_84/UTM_NORTH/32", "WGS_84", "500000 5761038.213\n");
  EXPECT_EQ(back.status, 0) << back.err;
  const auto latlon = Numbers(back.out);
  ASSERT_EQ(latlon.size(), 2u) << back.out;
  EXPECT_NEAR(latlon[0], 52, 1e-7) << "a millimetre of northing is 9e-9 degrees";
  EXPECT_EQ(latlon[1], 9.0);
  const ProcessResult spcs = Run("NAD_83", "NAD_83/SPCS_83", "32.5 -86.5\n");
  EXPECT_EQ(spcs.out, "error: line 1: Zone must be specified for this grid\n");
  const ProcessResult byNumber = Run("19", "19/31/0101", "30.5 -85.8333333333\n");
  EXPECT_EQ(byNumber.out, "200000.000 0.000 101\n");
}

// Guards the fault where nan, inf and 1e308 were converted to "nan nan" with
// exit status 0.
// Guards the position kept from line to line: a line converts as it would
// alone, whatever the lines before it (heights, failures, other zones) left.
TEST_F(Convert, EachLineAsIfAlone) {
  const std::string lines[] = {"52 9 1000", "51 7", "95 3", "48 11 -0", "-33 151", "0 0 1e7", "52 9", "90 0", "52 9"};
  for (const char* to : {"WGS_84/UTM_NORTH/32", "WGS_84/UTM_NORTH", "WGS_84/BRITISH_GRID", "WGS_84/SPCS_83/0101", "WGS_84"}) {
    std::string all, alone;
    for (const std::string& line : lines) {
      all += line + "\n";
      alone += Run("WGS_84", to, line + "\n").out;
    }
    std::string together = Run("WGS_84", to, all).out;
    // Error lines name their line number, which differs when run alone.
    for (std::size_t at; (at = together.find("line ")) != std::string::npos;)
      together.replace(at, together.find(':', at) - at, "LINE");
    for (std::size_t at; (at = alone.find("line ")) != std::string::npos;) alone.replace(at, alone.find(':', at) - at, "LINE");
    EXPECT_EQ(together, alone) << to;
  }
}

TEST_F(Convert, NonFiniteValuesAreRefusedNamingTheLine) {
  struct Case {
    const char* name;
    const char* from;
    const char* to;
    const char* line;
    const char* message;  // null: the library's own words or ours, after "error: line 2: "
  };
  const Case cases[] = {
      {"nan latitude", "WGS_84", "WGS_84/UTM_NORTH", "nan 9", "error: line 2: 'nan' is not a finite number"},
      {"inf longitude", "WGS_84", "WGS_84/UTM_NORTH", "52 inf", "error: line 2: 'inf' is not a finite number"},
      {"negative infinity", "WGS_84", "WGS_84", "52 -infinity", "error: line 2: '-infinity' is not a finite number"},
      {"nan altitude", "WGS_84", "WGS_84/UTM_NORTH", "52 9 NaN", "error: line 2: 'NaN' is not a finite number"},
      {"beyond a double", "WGS_84", "WGS_84", "52 1e999", "error: line 2: '1e999' is out of range"},
      {"two signs", "WGS_84", "WGS_84", "52 +-9", "error: line 2: expected two or three numbers: latitude longitude [altitude]"},
      {"1e308 northing", "WGS_84/UTM_NORTH/32", "WGS_84", "500000 1e308", nullptr},
      {"-1e308 easting", "WGS_84/UTM_NORTH/32", "WGS_84", "-1e308 5761038", nullptr},
      {"1e308 latitude", "WGS_84", "WGS_84/UTM_NORTH", "1e308 9", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = Run(c.from, c.to, std::string("\n") + c.line + "\n");
    if (c.message) {
      EXPECT_EQ(std::make_pair(r.status, r.out), std::make_pair(1, std::string(c.message) + "\n")) << r.err;
    } else {
      EXPECT_TRUE(r.status == 1 && r.out.rfind("error: line 2: ", 0) == 0 && Lines(r.out).size() == 1)
          << r.status << " " << r.out;
    }
  }
}

// Guards the fault where a folder given as FILE read as an empty input with
// exit status 0.
TEST_F(Convert, AFolderOrMissingFileIsReported) {
  const ProcessResult folder = RunProcess(kTool, {"convert", "--from", "WGS_84", "--to", "WGS_84", temp_.folder()});
  EXPECT_EQ(std::make_pair(folder.status, folder.err),
            std::make_pair(1, "zenolith convert: " + temp_.folder().string() + ": Is a directory\n"));
  const ProcessResult missing = RunProcess(kTool, {"convert", "--from", "WGS_84", "--to", "WGS_84", "/nonexistent"});
  EXPECT_EQ(std::make_pair(missing.status, missing.err),
            std::make_pair(1, std::string("zenolith convert: /nonexistent: No such file or directory\n")));
}

// Guards the fault where error messages quoted control bytes and invalid
// UTF-8 of the input raw.
TEST_F(Convert, MessagesShowControlBytesAndInvalidUtf8Escaped) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {"argument", {"--from", "WGS_84", "--to", "WGS_84", "--x\x1b[31m\xc3"},
       "zenolith convert: unexpected argument '--x\\x1b[31m\\xc3'\n"},
      {"file name", {"--from", "WGS_84", "--to", "WGS_84", "/nonexistent/\x7f\xff"},
       "zenolith convert: /nonexistent/\\x7f\\xff: No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"convert"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(RunProcess(kTool, args).err, c.message);
  }
}

TEST_F(Convert, UsageErrorsAndList) {
  EXPECT_EQ(RunProcess(kTool, {"convert"}).status, 2);
  EXPECT_EQ(RunProcess(kTool, {"convert", "--from", "MARS_2000", "--to", "WGS_84"}).status, 2);
  EXPECT_EQ(RunProcess(kTool, {"convert", "--from", "WGS_84", "--to", "WGS_84/NOWHERE"}).status, 2);
  EXPECT_EQ(RunProcess(kTool, {"convert", "--from", "WGS_84", "--to", "WGS_84/UTM_NORTH/x"}).status, 2);
  const ProcessResult list = RunProcess(kTool, {"convert", "--list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("  27 ED_50_DENMARK\n"), std::string::npos);
  EXPECT_NE(list.out.find("  51 SWEDISH_GRID_5gonV\n"), std::string::npos);
  EXPECT_NE(RunProcess(kTool, {"convert", "--help"}).out.find("usage: zenolith convert"), std::string::npos);
}

// cs2cs definitions of the same systems the library tables hold.
struct Oracle {
  const char* system;
  const char* proj;
  double lat0, lat1, lon0, lon1;  // the area of use sampled
  double tolerance;              // metres
};

bool HaveCs2cs() { return std::system("command -v cs2cs >/dev/null 2>&1") == 0; }

TEST_F(Convert, AgreesWithCs2csThroughWholePositions) {
  if (!HaveCs2cs()) GTEST_SKIP() << "cs2cs (Debian proj-bin) is not installed";
  const Oracle oracles[] = {
      {"OSGB_36/BRITISH_GRID",
       "+proj=tmerc +lat_0=49 +lon_0=-2 +k=0.9996012717 +x_0=400000 +y_0=-100000 +a=6377563.396 +es=0.00667054 "
       "+towgs84=375,-111,431,0,0,0,0",
       50, 58, -6, 1.5, 0.01},
      {"CH_1903_PLUS/SWISS_GRID",
       "+proj=somerc +lat_0=46.9524055556 +lon_0=7.4395833333 +k_0=1 +x_0=600000 +y_0=200000 +a=6377397.155 "
       "+es=0.006674372230614 +towgs84=674.374,15.056,405.346,0,0,0,0",
       45.8, 47.8, 6, 10.5, 0.01},
      {"AMERSFOORT/DUTCH_GRID",
       "+proj=sterea +lat_0=52.1561605556 +lon_0=5.3876388889 +k=0.9999079 +x_0=155000 +y_0=463000 "
       "+a=6377397.155 +es=0.006674372230614 +towgs84=565,49.9,465.8,-0.409,0.36,-1.869,4.08",
       50.8, 53.5, 3.4, 7.2, 0.03},
      {"ETRS_89/FRENCH_GRID_RGF_93",
       "+proj=lcc +lat_0=46.5 +lon_0=3 +lat_1=44 +lat_2=49 +x_0=700000 +y_0=6600000 +a=6378137 "
       "+es=0.006694380023011 +towgs84=0,0,0,0,0,0,0",
       42.5, 51, -4.5, 8, 0.01},
      {"NZGD_49/NZMG", "+proj=nzmg +lat_0=-41 +lon_0=173 +x_0=2510000 +y_0=6023150 +ellps=intl "
                       "+towgs84=59.47,-5.04,187.44,0.47,-0.1,1.024,-4.5993",
       -46.5, -35, 167, 178, 0.03},
  };
  int failures = 0;
  for (const Oracle& o : oracles) {
    std::string input;
    std::string cs2csInput;
    for (int i = 0; i < 10; ++i)
      for (int j = 0; j < 10; ++j) {
        const double lat = o.lat0 + (o.lat1 - o.lat0) * (i + 0.5) / 10;
        const double lon = o.lon0 + (o.lon1 - o.lon0) * (j + 0.5) / 10;
        char line[96];
        std::snprintf(line, sizeof line, "%.9f %.9f\n", lat, lon);
        input += line;
        std::snprintf(line, sizeof line, "%.9f %.9f\n", lon, lat);
        cs2csInput += line;
      }
    const ProcessResult ours = Run("WGS_84", o.system, input);
    const ProcessResult theirs = RunProcess("/bin/sh", {"-c", std::string("cs2cs -f %.4f +proj=longlat +datum=WGS84 +to ") + o.proj},
                                            cs2csInput);
    const auto a = Lines(ours.out), b = Lines(theirs.out);
    ASSERT_EQ(a.size(), 100u) << o.system << ours.err;
    ASSERT_EQ(b.size(), 100u) << o.system << theirs.err;
    double worst = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
      const auto x = Numbers(a[k]), y = Numbers(b[k]);
      if (x.size() < 2 || y.size() < 2) {
        ADD_FAILURE() << o.system << ": " << a[k] << " | " << b[k];
        ++failures;
        continue;
      }
      worst = std::max(worst, std::hypot(x[0] - y[0], x[1] - y[1]));
    }
    if (worst > o.tolerance) {
      ADD_FAILURE() << o.system << " differs from cs2cs by up to " << worst << " m";
      ++failures;
    }
    RecordProperty(o.system, std::to_string(worst));
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
