// The calibration file: what is written, what reading accepts, and round
// trips through it.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/maps/MapImage.h"
#include "tests/app/maps/MapsFixture.h"

namespace {

using rovana::maps::CalibrationMethod;
using rovana::maps::MapImage;
using rovana::maps::MapPoint;
using testing_support::kDeg;

constexpr double kDegreeTolerance = 0.51e-8;  // the file keeps 8 decimals of a degree
constexpr double kWidthTolerance = 0.0051;    // and 2 of a metre

class CalibrationFileTest : public testing_support::MapsFolderTest {};

TEST_F(CalibrationFileTest, OnePointFileHasTheExactLines) {
  auto map = SizedMap("a.png", 400, 300);
  ASSERT_TRUE(map->Calibrate1Point(10, 20, 13.4 * kDeg, 52.5 * kDeg, 2500, 0, true));
  EXPECT_EQ(Read("a.txt"),
            "width  = 400\nheight = 300\ngrid   = 0\nref1x  = 10\nref1y  = 20\n"
            "lat1   = 52.50000000\nlon1   = 13.40000000\nwidthM = 2500.00\n");
}

struct OnePointCase {
  const char* name;
  int grid, width, height, x, y;
  double latDeg, lonDeg, widthM, expectedWidthM;
};

TEST_F(CalibrationFileTest, OnePointRoundTrips) {
  const OnePointCase cases[] = {
      {"default grid", 0, 400, 300, 10, 20, 52.5, 13.4, 2500.0, 2500.0},
      {"utm north off the central meridian", testing_support::kUtmNorth, 1000, 800, 0, 0, 60.2, 25.7, 12345.678,
       12345.678},
      {"utm south", testing_support::kUtmSouth, 640, 480, 320, 240, -33.9, 18.4, 800.25, 800.25},
      {"south-west, reference at a far corner", 0, 500, 500, 499, 1, -45.0, -70.5, 3.0, 3.0},
      {"a width below 1 m becomes 1 m", 0, 100, 100, 0, 0, 10.0, 10.0, 0.2, 1.0},
      {"many decimals", 0, 2000, 1000, 7, 9, 47.123456789, 8.987654321, 98765.4321, 98765.4321},
  };
  for (const OnePointCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto map = SizedMap("m.png", c.width, c.height);
    ASSERT_TRUE(map->Calibrate1Point(c.x, c.y, c.lonDeg * kDeg, c.latDeg * kDeg, c.widthM, c.grid, true));
    auto again = Open("m.png");
    ASSERT_TRUE(again->calibrated());
    EXPECT_EQ(again->method(), CalibrationMethod::OnePoint);
    EXPECT_EQ(again->grid(), c.grid);
    EXPECT_EQ(again->width(), c.width);
    EXPECT_EQ(again->reference1Pixel().x, c.x);
    EXPECT_EQ(again->reference1Pixel().y, c.y);
    EXPECT_NEAR(again->reference1Position().y / kDeg, c.latDeg, kDegreeTolerance);
    EXPECT_NEAR(again->reference1Position().x / kDeg, c.lonDeg, kDegreeTolerance);
    EXPECT_NEAR(again->widthM(), c.expectedWidthM, kWidthTolerance);
    // The far corner lands on the same pixel through both transforms.
    const MapPoint corner = map->corners()[2];
    EXPECT_NEAR(again->ToPixel(corner.x, corner.y)->x, c.width + 1.7, 0.01);
    EXPECT_NEAR(again->ToPixel(corner.x, corner.y)->y, c.height + 1.1, 0.01);
  }
}

TEST_F(CalibrationFileTest, TwoPointRoundTripsWithItsSecondReference) {
  auto map = SizedMap("t.jpg", 1000, 800);
  auto g1 = grids_.ToGrid(60 * kDeg, 25 * kDeg, testing_support::kUtmNorth);
  auto p2 = grids_.FromGrid(g1->northing - 6000, g1->easting + 8000, testing_support::kUtmNorth, g1->zone);
  map->Calibrate2Point({100, 100}, {25 * kDeg, 60 * kDeg}, {900, 700}, {p2->longitude, p2->latitude},
                       testing_support::kUtmNorth);
  ASSERT_TRUE(map->calibrated());
  EXPECT_EQ(map->method(), CalibrationMethod::TwoPoint);
  EXPECT_NEAR(map->widthM(), 10000, 0.01);  // 0.1 px per metre
  EXPECT_NE(Read("t.txt").find("ref2x  = 900\nref2y  = 700\nlat2   = "), std::string::npos) << Read("t.txt");

  auto again = Open("t.jpg");
  ASSERT_TRUE(again->calibrated());
  EXPECT_EQ(again->method(), CalibrationMethod::TwoPoint);
  EXPECT_EQ(again->reference2Pixel().x, 900);
  EXPECT_EQ(again->reference2Pixel().y, 700);
  EXPECT_NEAR(again->reference2Position().y, p2->latitude, kDegreeTolerance * kDeg);
  EXPECT_NEAR(again->reference2Position().x, p2->longitude, kDegreeTolerance * kDeg);
  EXPECT_NEAR(again->widthM(), 10000, 0.01);
}

struct ReadCase {
  const char* name;
  std::string text;
  bool calibrated;
  int width = 0;
  MapPoint ref1{};
  CalibrationMethod method = CalibrationMethod::OnePoint;
  int grid = 0;
};

TEST_F(CalibrationFileTest, ReadingAcceptsWhatItShould) {
  const std::string size = "width = 400\nheight = 300\n";
  const std::string two = "ref1x = 10\nref1y = 10\nlat1 = 50\nlon1 = 10\nref2x = 390\nref2y = 290\n"
                          "lat2 = 49.99\nlon2 = 10.01\n";
  const ReadCase cases[] = {
      {"no reference pixel: the reference is pixel 0,0", size + "lat1 = 50\nlon1 = 10\nwidthM = 1000\n", true, 400},
      {"lat and lon stand for lat1 and lon1", size + "lat = 50\nlon = 10\nwidthM = 1000\nref1x = 5\nref1y = 6\n",
       true, 400, {5, 6}},
      {"only lat1 stays uncalibrated", size + "lat1 = 50\nwidthM = 1000\n", false},
      {"only lon1 stays uncalibrated", size + "lon1 = 10\nwidthM = 1000\n", false},
      {"no height stays uncalibrated", "width = 400\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n", false},
      {"a width of 0 is refused", "width = 0\nheight = 300\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n", false},
      {"a negative height is refused", "width = 400\nheight = -3\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n", false},
      {"a width of 100001 is refused", "width = 100001\nheight = 30\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n",
       false},
      {"a width of 100000 is taken", "width = 100000\nheight = 30\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n", true,
       100000},
      {"a latitude beyond the pole is refused", size + "lat1 = 90.5\nlon1 = 10\nwidthM = 1000\n", false},
      // Guards the unbounded key scan: a key of 10000 letters is one ignored line.
      {"a very long key is ignored", std::string(10000, 'k') + " = 5\n" + size + "lat1 = 50\nlon1 = 10\nwidthM = 9\n",
       true, 400},
      {"a later line overrides", "width = 10\n" + size + "lat1 = 50\nlon1 = 10\nwidthM = 1000\n", true, 400},
      {"text after the number is ignored", size + "lat1 = 50.5 deg\nlon1 = 10\nwidthM = 1000\n", true, 400},
      {"windows line ends", "width = 400\r\nheight = 300\r\nlat1 = 50\r\nlon1 = 10\r\nwidthM = 1000\r\n", true, 400},
      {"key and value must be apart from the sign", "width=400\nheight=300\nlat1=50\nlon1=10\nwidthM=1000\n", false},
      {"a value that is no number is ignored", size + "lat1 = nan\nlon1 = 10\nwidthM = 1000\n", false},
      {"keys are compared exactly", size + "LAT1 = 50\nlon1 = 10\nwidthM = 1000\n", false},
      {"two references", size + two, true, 400, {10, 10}, CalibrationMethod::TwoPoint},
      {"two references without lon2", size + two.substr(0, two.rfind("lon2")), false},
      {"a grid of the catalogue is taken", size + "grid = 1\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n", true, 400, {},
       CalibrationMethod::OnePoint, testing_support::kUtmNorth},
      {"an unknown grid falls back to the first", size + "grid = 77\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n", true,
       400, {}, CalibrationMethod::OnePoint, 0},
      {"an empty file", "", false},
      {"a file is read up to 64 KiB", size + std::string(70000, '#') + "\nlat1 = 50\nlon1 = 10\nwidthM = 9\n", false},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Write("r.gif", "");
    Write("r.txt", c.text);
    auto map = Open("r.gif");
    EXPECT_EQ(map->calibrated(), c.calibrated);
    if (!c.calibrated || !map->calibrated()) continue;
    EXPECT_EQ(map->width(), c.width);
    EXPECT_EQ(map->reference1Pixel().x, c.ref1.x);
    EXPECT_EQ(map->reference1Pixel().y, c.ref1.y);
    EXPECT_EQ(map->method(), c.method);
    EXPECT_EQ(map->grid(), c.grid);
  }
}

// A locale whose decimal sign is a comma: an installed one, else one built
// with localedef into the test folder (found through LOCPATH).
const char* CommaLocale(const std::filesystem::path& folder) {
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name)) return name;
  const std::filesystem::path locales = folder / "locales";
  std::filesystem::create_directories(locales);
  const std::string command =
      "localedef -i de_DE -f UTF-8 '" + (locales / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return nullptr;
  setenv("LOCPATH", locales.c_str(), 1);
  return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") ? "de_DE.UTF-8" : nullptr;
}

TEST_F(CalibrationFileTest, NumbersAreWrittenAndReadInTheCLocale) {
  const char* comma = CommaLocale(folder_);
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed or can be built";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  ASSERT_STREQ(probe, "1,5") << comma;
  auto map = SizedMap("c.png", 400, 300);
  map->Calibrate1Point(0, 0, 13.25 * kDeg, 52.5 * kDeg, 1234.5, 0, true);
  auto again = Open("c.png");
  std::setlocale(LC_NUMERIC, "C");
  unsetenv("LOCPATH");
  EXPECT_NE(Read("c.txt").find("lat1   = 52.50000000\n"), std::string::npos) << Read("c.txt");
  EXPECT_NE(Read("c.txt").find("widthM = 1234.50\n"), std::string::npos);
  ASSERT_TRUE(again->calibrated());
  EXPECT_NEAR(again->reference1Position().x / kDeg, 13.25, kDegreeTolerance);
}

TEST_F(CalibrationFileTest, DecalibratingDeletesTheFileAndKeepsThePicture) {
  auto map = SizedMap("d.bmp", 400, 300);
  map->Calibrate1Point(0, 0, 10 * kDeg, 50 * kDeg, 1000, 0, true);
  ASSERT_TRUE(Exists("d.txt"));
  map->Decalibrate();
  EXPECT_FALSE(map->calibrated());
  EXPECT_FALSE(map->visible());
  EXPECT_FALSE(Exists("d.txt"));
  EXPECT_TRUE(Exists("d.bmp"));
}

TEST_F(CalibrationFileTest, ASingularTransformLeavesTheMapUncalibratedAndWritesNothing) {
  auto map = SizedMap("s.png", 400, 300);
  map->Calibrate1Point(0, 0, 10 * kDeg, 50 * kDeg, 1000, 0, true);
  const std::string before = Read("s.txt");
  rovana::matrixT flat(3, 3);  // all zero
  EXPECT_FALSE(map->SetTransform(flat, {.reference1AndWidth = true, .bothReferences = true, .write = true}));
  EXPECT_FALSE(map->calibrated());
  EXPECT_EQ(Read("s.txt"), before);
  EXPECT_NE(LogText().find("matrixT::operator!: Inversion of a singular matrix"), std::string::npos);
}

// Guards "a.jpg" and "a.png" sharing "a.txt": the other picture's calibration
// is replaced only when the hook agrees, and loading never replaces it.
TEST_F(CalibrationFileTest, ASharedCalibrationFileIsReplacedOnlyWhenTheHookAgrees) {
  Write("a.jpg", "");
  auto map = SizedMap("a.png", 400, 300);
  const std::string original = Read("a.txt");
  std::string askedAbout;
  bool answer = false;
  env_.overwrite = [&](const MapImage& m, const std::string& other) {
    askedAbout = m.name() + " over " + other;
    return answer;
  };
  map->Calibrate1Point(0, 0, 10 * kDeg, 50 * kDeg, 1000, 0, true);
  EXPECT_EQ(askedAbout, "a.png over a.jpg");
  EXPECT_EQ(Read("a.txt"), original);
  EXPECT_NE(LogText().find("a.txt is also the calibration of a.jpg"), std::string::npos);
  answer = true;
  map->Calibrate1Point(0, 0, 10 * kDeg, 50 * kDeg, 1000, 0, true);
  EXPECT_NE(Read("a.txt"), original);

  // A two-point file is rewritten when loaded, except when it is shared.
  const std::string twoPoint = "width = 400\nheight = 300\nref1x = 10\nref1y = 10\nlat1 = 50\nlon1 = 10\n"
                               "ref2x = 390\nref2y = 290\nlat2 = 49.99\nlon2 = 10.01\n";
  Write("a.txt", twoPoint);
  askedAbout.clear();
  auto loaded = Open("a.png");
  EXPECT_TRUE(loaded->calibrated());
  EXPECT_EQ(askedAbout, "");
  EXPECT_EQ(Read("a.txt"), twoPoint);
  Write("b.png", "");
  Write("b.txt", twoPoint);
  Open("b.png");
  EXPECT_NE(Read("b.txt"), twoPoint);
  EXPECT_NE(Read("b.txt").find("ref2x  = 390\n"), std::string::npos);
}

}  // namespace
