// The demo maps: the committed pictures and calibration files are what the
// generator makes, the calibrations put the demo drive on the roads drawn
// for it, and the writer leaves complete files.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "tools/demo-maps/DemoMaps.h"

namespace {

namespace fs = std::filesystem;
using demomaps::MapSheet;

const fs::path kExamples = fs::path(ZEN_SOURCE_DIR) / "data" / "demo" / "examples";
constexpr QRgb kWater = 0xFFAAD3F2;
constexpr QRgb kMainRoad = 0xFFFCD68A;

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The calibration file as its reader takes it: "key = value" per line.
std::map<std::string, double> Keys(const std::string& text) {
  std::map<std::string, double> keys;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals);
    key.erase(key.find_last_not_of(' ') + 1);
    keys[key] = std::stod(line.substr(equals + 1));
  }
  return keys;
}

class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("demo-maps-" + std::to_string(rd()) + std::to_string(rd()));
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(DemoMaps, FontsAreThere) { ASSERT_EQ(demomaps::PrepareFonts(), ""); }

TEST(DemoMaps, CommittedCalibrationsAreTheGeneratorsOutput) {
  for (const MapSheet& sheet : demomaps::DemoMapSheets()) {
    const fs::path file = kExamples / demomaps::CalibrationName(sheet);
    ASSERT_TRUE(fs::exists(file)) << file << ": run demo-maps (tools/demo-maps)";
    EXPECT_EQ(ReadAll(file), demomaps::CalibrationText(sheet)) << file;
  }
}

TEST(DemoMaps, CommittedPicturesAreTheGeneratorsOutput) {
  ASSERT_EQ(demomaps::PrepareFonts(), "");
  for (const MapSheet& sheet : demomaps::DemoMapSheets()) {
    const fs::path file = kExamples / sheet.fileName;
    const QImage committed(QString::fromStdString(file.string()));
    ASSERT_FALSE(committed.isNull()) << file;
    EXPECT_EQ(committed.width(), sheet.width) << file;
    EXPECT_EQ(committed.height(), sheet.height) << file;
    EXPECT_LE(fs::file_size(file), 1536u * 1024) << file;
    EXPECT_EQ(demomaps::PixelHash(committed), demomaps::PixelHash(demomaps::DrawMap(sheet)))
        << file << " differs from what demo-maps draws now: run it again and look at the pictures";
  }
}

// Whatever was drawn before in the same run (caches warm or cold), a map
// comes out the same.
TEST(DemoMaps, DrawingAgainGivesTheSamePixels) {
  ASSERT_EQ(demomaps::PrepareFonts(), "");
  const auto& sheets = demomaps::DemoMapSheets();
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::uint64_t first = demomaps::PixelHash(demomaps::DrawMap(sheets[i]));
    for (std::size_t j = 0; j < sheets.size(); ++j) {
      if (j != i) demomaps::DrawMap(sheets[j]);
      EXPECT_EQ(demomaps::PixelHash(demomaps::DrawMap(sheets[i])), first) << sheets[i].fileName << " after " << sheets[j].fileName;
    }
  }
}

TEST(DemoMaps, CalibrationLinesAreInTheReadersOrder) {
  struct Case {
    int method;
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {1, {"width  = ", "height = ", "grid   = ", "ref1x  = ", "ref1y  = ", "lat1   = ", "lon1   = ", "widthM = "}},
      {2, {"width  = ", "height = ", "grid   = ", "ref1x  = ", "ref1y  = ", "lat1   = ", "lon1   = ", "ref2x  = ",
           "ref2y  = ", "lat2   = ", "lon2   = "}},
  };
  for (const Case& c : cases) {
    int seen = 0;
    for (const MapSheet& sheet : demomaps::DemoMapSheets()) {
      if (sheet.method != c.method) continue;
      ++seen;
      std::istringstream lines(demomaps::CalibrationText(sheet));
      std::string line;
      std::size_t i = 0;
      for (; std::getline(lines, line); ++i) {
        ASSERT_LT(i, c.keys.size()) << sheet.fileName;
        EXPECT_EQ(line.substr(0, 9), c.keys[i]) << sheet.fileName;
        const auto dot = line.find('.');
        if (c.keys[i].starts_with("lat") || c.keys[i].starts_with("lon")) {
          EXPECT_EQ(line.size() - dot - 1, 8u) << line;
        }
        if (c.keys[i].starts_with("widthM")) {
          EXPECT_EQ(line.size() - dot - 1, 2u) << line;
        }
      }
      EXPECT_EQ(i, c.keys.size()) << sheet.fileName;
    }
    EXPECT_GT(seen, 0) << "method " << c.method;
  }
}

// Positions put through the calibration's two references land on the
// pixels the projection drew them at, to well below a pixel.
TEST(DemoMaps, TwoPointCalibrationsMatchThePictures) {
  for (const MapSheet& sheet : demomaps::DemoMapSheets()) {
    if (sheet.method != 2) continue;
    const auto k = Keys(demomaps::CalibrationText(sheet));
    const demomaps::Projection projection(sheet);
    for (const demomaps::LatLon& fix : demomaps::DemoScene().drive) {
      const double x = k.at("ref1x") + (fix.lon - k.at("lon1")) / (k.at("lon2") - k.at("lon1")) * (k.at("ref2x") - k.at("ref1x"));
      const double y = k.at("ref1y") + (fix.lat - k.at("lat1")) / (k.at("lat2") - k.at("lat1")) * (k.at("ref2y") - k.at("ref1y"));
      ASSERT_NEAR(x, projection.X(fix.lon), 0.01) << sheet.fileName;
      ASSERT_NEAR(y, projection.Y(fix.lat), 0.01) << sheet.fileName;
    }
  }
}

// The ground width of the 1-point calibration is the picture's width in
// metres, within the grid's scale (a few parts in ten thousand).
TEST(DemoMaps, OnePointCalibrationHasTheGroundWidth) {
  for (const MapSheet& sheet : demomaps::DemoMapSheets()) {
    if (sheet.method != 1) continue;
    const auto k = Keys(demomaps::CalibrationText(sheet));
    EXPECT_EQ(k.at("ref1x"), sheet.width / 2);
    EXPECT_NEAR(k.at("lat1"), sheet.centre.lat, 1e-8);
    EXPECT_NEAR(k.at("lon1"), sheet.centre.lon, 1e-8);
    EXPECT_NEAR(k.at("widthM") / (sheet.width * sheet.metresPerPixel), 1.0, 1e-3);
    EXPECT_LT(k.at("widthM"), sheet.width * sheet.metresPerPixel);
  }
}

// The drive goes along the drawn main road: nearly every fix on the
// picture has a road's yellow within two pixels (names on the road leave
// yellow between their letters; landmark dots cover a few fixes).
TEST(DemoMaps, TheDriveIsOnTheRoads) {
  ASSERT_EQ(demomaps::PrepareFonts(), "");
  for (const MapSheet& sheet : demomaps::DemoMapSheets()) {
    const QImage picture = demomaps::DrawMap(sheet);
    const demomaps::Projection projection(sheet);
    int inside = 0, onRoad = 0;
    for (const demomaps::LatLon& fix : demomaps::DemoScene().drive) {
      const int x = static_cast<int>(projection.X(fix.lon)), y = static_cast<int>(projection.Y(fix.lat));
      if (x < 0 || y < 0 || x >= picture.width() || y >= picture.height()) continue;
      ++inside;
      bool yellow = false;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
          yellow = yellow || (picture.valid(x + dx, y + dy) && picture.pixel(x + dx, y + dy) == kMainRoad);
      if (yellow) ++onRoad;
    }
    EXPECT_GT(inside, 50) << sheet.fileName;
    EXPECT_GE(onRoad, inside * 95 / 100) << sheet.fileName << ": " << onRoad << " of " << inside;
  }
}

// Water where the lake and the wide river are, land where they are not.
TEST(DemoMaps, WaterIsWhereTheLakeIs) {
  ASSERT_EQ(demomaps::PrepareFonts(), "");
  struct Case {
    const char* what;
    demomaps::LatLon at;
    bool water;
  };
  const Case cases[] = {
      {"south part of the lake", {53.5620, 10.0070}, true},
      {"north part of the lake", {53.5720, 10.0040}, true},
      {"town west of the lake", {53.5665, 9.9850}, false},
      {"town east of the lake", {53.5665, 10.0250}, false},
  };
  for (const MapSheet& sheet : demomaps::DemoMapSheets()) {
    const QImage picture = demomaps::DrawMap(sheet);
    const demomaps::Projection projection(sheet);
    for (const Case& c : cases) {
      const int x = static_cast<int>(projection.X(c.at.lon)), y = static_cast<int>(projection.Y(c.at.lat));
      if (x < 0 || y < 0 || x >= picture.width() || y >= picture.height()) continue;
      EXPECT_EQ(picture.pixel(x, y) == kWater, c.water) << sheet.fileName << ": " << c.what;
    }
  }
}

TEST(DemoMaps, WritesEveryPictureAndCalibration) {
  TempFolder folder;
  ASSERT_EQ(demomaps::WriteDemoMaps(folder.path() / "examples"), "");
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder.path() / "examples")) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2 * demomaps::DemoMapSheets().size());  // no temporary file left
  for (const MapSheet& sheet : demomaps::DemoMapSheets()) {
    EXPECT_EQ(ReadAll(folder.path() / "examples" / demomaps::CalibrationName(sheet)), demomaps::CalibrationText(sheet));
    const QImage written(QString::fromStdString((folder.path() / "examples" / sheet.fileName).string()));
    EXPECT_EQ(demomaps::PixelHash(written), demomaps::PixelHash(demomaps::DrawMap(sheet))) << sheet.fileName;
  }
}

TEST(DemoMaps, AFolderThatCannotBeMadeIsReported) {
  TempFolder folder;
  fs::create_directories(folder.path());
  std::ofstream(folder.path() / "file") << "x";
  const std::string problem = demomaps::WriteDemoMaps(folder.path() / "file" / "examples");
  EXPECT_NE(problem.find("cannot create"), std::string::npos) << problem;
}

}  // namespace

// One application for the whole run, ended before the process ends, so the
// font libraries it loaded are released (the generator makes its own when it
// runs alone).
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QGuiApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
