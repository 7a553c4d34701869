// Position texts: the five display modes of an angle, the carry of rounded
// minutes and seconds, typed angles read back, and the British grid's square
// letters.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <random>
#include <string>

#include "app/coords/PositionText.h"

namespace {

using namespace rovana;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180;
double Degrees(double d, double m = 0, double s = 0) { return (d + m / 60 + s / 3600) * kRadiansPerDegree; }

std::string Latitude(double radians, DisplayMode mode) { return FormatAngle(radians, mode, "N", "S"); }
std::string Longitude(double radians, DisplayMode mode) { return FormatAngle(radians, mode, "E", "W"); }

TEST(PositionText, TheFiveModesOfAWorkedExample) {
  // 51°30' north, 0°07' west.
  const double lat = Degrees(51, 30), lon = -Degrees(0, 7);
  struct Case {
    DisplayMode mode;
    const char* latitude;
    const char* longitude;
  } cases[] = {
      {DisplayMode::Degrees, "51.50000000N", "0.11666667W"},
      {DisplayMode::DegMin, "51\u00B030.000'N", "0\u00B007.000'W"},
      {DisplayMode::DegMinSec, "51\u00B030'00.00\"N", "0\u00B007'00.00\"W"},
      {DisplayMode::Signed, "51.50000000", "-0.11666667"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    EXPECT_EQ(Latitude(lat, c.mode), c.latitude);
    EXPECT_EQ(Longitude(lon, c.mode), c.longitude);
  }
}

// Guards the carry: seconds or minutes that round up to 60 at the printed
// precision carry into the next minute or degree instead of reading "60.00".
TEST(PositionText, RoundedSecondsAndMinutesCarry) {
  struct Case {
    const char* name;
    double radians;
    DisplayMode mode;
    const char* text;
  } cases[] = {
      {"59.997 s", Degrees(10, 20, 59.997), DisplayMode::DegMinSec, "10\u00B021'00.00\"N"},
      {"59.994 s stays", Degrees(10, 20, 59.994), DisplayMode::DegMinSec, "10\u00B020'59.99\"N"},
      {"59 min 59.999 s", Degrees(10, 59, 59.999), DisplayMode::DegMinSec, "11\u00B000'00.00\"N"},
      {"59.99955 min", Degrees(10, 59.99955), DisplayMode::DegMin, "11\u00B000.000'N"},
      {"59.9994 min stays", Degrees(10, 59.9994), DisplayMode::DegMin, "10\u00B059.999'N"},
      {"minutes of a whole degree", Degrees(89, 59, 59.9999), DisplayMode::DegMin, "90\u00B000.000'N"},
      {"9.5 s pads", Degrees(1, 2, 9.5), DisplayMode::DegMinSec, "1\u00B002'09.50\"N"},
      {"south", -Degrees(33, 51, 35.9), DisplayMode::DegMinSec, "33\u00B051'35.90\"S"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Latitude(c.radians, c.mode), c.text);
  }
}

TEST(PositionText, HemisphereLettersComeFromTheCaller) {
  EXPECT_EQ(FormatAngle(-Degrees(12.5), DisplayMode::Degrees, "O", "W"), "12.50000000W");
  EXPECT_EQ(FormatAngle(Degrees(12.5), DisplayMode::Degrees, "O", "W"), "12.50000000O");
}

TEST(PositionText, NoNumberShowsAQuestionMark) {
  EXPECT_EQ(AngleFieldsOf(NAN, DisplayMode::DegMin).degrees, "?");
  EXPECT_EQ(AngleFieldsOf(INFINITY, DisplayMode::Signed).degrees, "?");
  EXPECT_EQ(AngleFieldsOf(1e300, DisplayMode::DegMinSec).seconds, "?");
}

// Typed fields: what each mode's fields mean.
TEST(PositionText, TypedFieldsReadBack) {
  struct Case {
    const char* name;
    DisplayMode mode;
    AngleFields fields;
    double degrees;
  } cases[] = {
      {"decimal", DisplayMode::Degrees, {"51.5", "", "", false}, 51.5},
      {"decimal south", DisplayMode::Degrees, {"51.5", "", "", true}, -51.5},
      {"decimal with junk after", DisplayMode::Degrees, {" 12.25xyz", "", "", false}, 12.25},
      {"degrees and minutes", DisplayMode::DegMin, {"10", "30.6", "", false}, 10.51},
      {"whole degrees only: %d", DisplayMode::DegMin, {"10.9", "6", "", true}, -10.1},
      {"dms", DisplayMode::DegMinSec, {"0", "7", "30", true}, -0.125},
      {"dms minutes are whole", DisplayMode::DegMinSec, {"1", "30.9", "0", false}, 1.5},
      {"signed ignores the hemisphere", DisplayMode::Signed, {"-3.5", "", "", true}, -3.5},
      {"nothing reads: 0", DisplayMode::DegMinSec, {"north", "", "x", false}, 0},
      {"a comma is no decimal point", DisplayMode::Degrees, {"1,5", "", "", false}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(AngleOfFields(c.fields, c.mode), c.degrees * kRadiansPerDegree, 1e-15);
  }
}

TEST(PositionText, IntegersReadAsPercentD) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"12", 12}, {"  -7x", -7}, {"+3", 3}, {"4.9", 4}, {"", 0}, {"-", 0}, {"x1", 0},
               {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadInteger(c.text), c.value);
  }
}

TEST(PositionText, DecimalsReadAtMostFortyCharacters) {
  EXPECT_DOUBLE_EQ(ReadDecimal("1" + std::string(39, '0')), 1e39);
  EXPECT_DOUBLE_EQ(ReadDecimal("1" + std::string(40, '0')), 1e39) << "the 41st character is not read";
}

// Format, then read the fields back: every mode returns the angle to within
// half of its last printed digit.
TEST(PositionText, EveryModeRoundTrips) {
  struct Mode {
    DisplayMode mode;
    double tolerance;  // degrees
  } modes[] = {
      {DisplayMode::Degrees, 0.5e-8},
      {DisplayMode::DegMin, 0.5e-3 / 60},
      {DisplayMode::DegMinSec, 0.5e-2 / 3600},
      {DisplayMode::Signed, 0.5e-8},
  };
  std::mt19937 random(17);
  std::uniform_real_distribution<double> angle(-kPi, kPi);
  for (const Mode& m : modes) {
    SCOPED_TRACE(static_cast<int>(m.mode));
    double worst = 0;
    for (int i = 0; i < 5000; ++i) {
      const double radians = i == 0 ? 0 : i == 1 ? kPi : i == 2 ? -kPi / 2 : angle(random);
      const double back = AngleOfFields(AngleFieldsOf(radians, m.mode), m.mode);
      worst = std::max(worst, std::abs(back - radians) / kRadiansPerDegree);
    }
    EXPECT_LE(worst, m.tolerance * (1 + 1e-9));
  }
}

TEST(PositionText, TextsIgnoreTheProcessLocale) {
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no comma locale on this machine";
  EXPECT_EQ(Latitude(Degrees(51.5), DisplayMode::Degrees), "51.50000000N");
  EXPECT_NEAR(AngleOfFields({"51.5", "", "", false}, DisplayMode::Degrees), Degrees(51.5), 1e-15);
  EXPECT_EQ(BritishGridTexts(530000.5, 180000.25).northing, "BNG 80000.25");
  std::setlocale(LC_NUMERIC, "C");
}

TEST(PositionText, BritishGridSquares) {
  struct Case {
    const char* name;
    double easting, northing;
    const char* letters;
    const char* northingText;
    const char* eastingText;
  } cases[] = {
      {"London", 530000, 180000, "TQ", "BNG 80000.00", "TQ 30000.00"},
      {"fractional metres kept", 651409.903, 313177.270, "TG", "BNG 13177.27", "TG 51409.90"},
      {"Ben Nevis", 216666, 771288, "NN", "BNG 71288.00", "NN 16666.00"},
      {"south-west corner", 0, 0, "SV", "BNG 0.00", "SV 0.00"},
      {"Shetland", 446000, 1141000, "HU", "BNG 41000.00", "HU 46000.00"},
      {"first letter beyond the table", 2000000, 2000000, "?V", "BNG 0.00", "?V 0.00"},
      {"west of the origin", -100, 50000, "??", "BNG 50000.00", "?? -100.00"},
      {"rounds into the next square", 199999.996, 50000, "SX", "BNG 50000.00", "SX 0.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BritishGridText t = BritishGridTexts(c.easting, c.northing);
    EXPECT_EQ(t.letters, c.letters);
    EXPECT_EQ(t.northing, c.northingText);
    EXPECT_EQ(t.easting, c.eastingText);
  }
  EXPECT_EQ(BritishGridTexts(NAN, 0).letters, "??");
}

TEST(PositionText, DisplayModeSettingOutsideTheTableIsTheDefault) {
  EXPECT_EQ(DisplayModeOf(0), DisplayMode::Degrees);
  EXPECT_EQ(DisplayModeOf(4), DisplayMode::Signed);
  EXPECT_EQ(DisplayModeOf(5), DisplayMode::DegMin);
  EXPECT_EQ(DisplayModeOf(-1), DisplayMode::DegMin);
}

}  // namespace
