// Units: the table rows, the automatic distance rows, altitude with its
// offset, speeds, durations, headings, typed values and the missing value.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <locale>
#include <string>
#include <unistd.h>

#include "app/coords/Units.h"
#include "app/core/SettingsStore.h"

namespace {

using namespace rovana;

constexpr double kMile = 1 / 0.0006213711922373339;  // metres
constexpr double kPi = 3.14159265358979323846;

UnitChoice Distance(int row) {
  UnitChoice units;
  units.unitDistance = row;
  return units;
}

TEST(Units, TablesHoldEveryRowWithItsNamesFactorsAndPrecisions) {
  ASSERT_EQ(SpeedUnits().size(), 4u);
  ASSERT_EQ(DistanceUnits().size(), 20u);
  // Spot rows from both ends and the automatic ones; the factors are checked
  // against the unit definitions, not against the table's own numbers.
  struct Case {
    const char* name;
    UnitRow row;
    double metresPerUnit;
  } cases[] = {
      {"automatic metric", DistanceUnits()[0], 1},
      {"metres", DistanceUnits()[1], 1},
      {"kilometres", DistanceUnits()[2], 1000},
      {"cables (120 fathoms)", DistanceUnits()[3], 219.456},
      {"chains (66 ft)", DistanceUnits()[4], 20.1168},
      {"fathoms", DistanceUnits()[5], 1.8288},
      {"furlongs", DistanceUnits()[6], 201.168},
      {"hands", DistanceUnits()[7], 0.1016},
      {"nautical leagues (3 Admiralty miles)", DistanceUnits()[8], 3 * 1853.184},
      {"statute leagues", DistanceUnits()[9], 3 * 1609.344},
      {"links", DistanceUnits()[10], 0.201168},
      {"nautical miles", DistanceUnits()[11], 1852},
      {"automatic UK", DistanceUnits()[12], 1609.344},
      {"automatic US", DistanceUnits()[13], 1609.344},
      {"statute miles", DistanceUnits()[14], 1609.344},
      {"yards", DistanceUnits()[15], 0.9144},
      {"feet", DistanceUnits()[16], 0.3048},
      {"inches", DistanceUnits()[17], 0.0254},
      {"paces (2.5 ft)", DistanceUnits()[18], 0.762},
      {"rods", DistanceUnits()[19], 5.0292},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(c.row.factor * c.metresPerUnit, 1.0, 1e-12);
  }
  EXPECT_EQ(SpeedUnits()[1].longName, "meters per second (ms)");
  EXPECT_NEAR(SpeedUnits()[1].factor * 3.6, 1.0, 1e-15);
  EXPECT_NEAR(SpeedUnits()[2].factor * 1.852, 1.0, 1e-15);
  EXPECT_NEAR(SpeedUnits()[3].factor * 1.609344, 1.0, 1e-12);
  EXPECT_EQ(SpeedUnits()[3].shortName, "mph");
  EXPECT_EQ(DistanceUnits()[0].longName, "(kilo)meters (km,m,cm)");
  EXPECT_EQ(DistanceUnits()[0].precision, kAutomaticMetric);
  EXPECT_EQ(DistanceUnits()[12].precision, kAutomaticUK);
  EXPECT_EQ(DistanceUnits()[13].longName, "US (mile,foot,inch)");
  EXPECT_EQ(DistanceUnits()[13].precision, kAutomaticUS);
  EXPECT_EQ(DistanceUnits()[17].shortName, "\"");
  EXPECT_EQ(DistanceUnits()[9].longName, "leagues, statute");
  EXPECT_EQ(DistanceUnits()[4].precision, 2);
}

TEST(Units, AutomaticDistanceRowsPickTheirUnitBySize) {
  struct Case {
    const char* name;
    int row;
    double metres;
    const char* value;
    const char* unit;
  } cases[] = {
      {"12345 m", 0, 12345, "12", "km"},
      {"1234 m", 0, 1234, "1.23", "km"},
      {"0.5 m", 0, 0.5, "50", "cm"},
      {"0 m", 0, 0, "0.0", "m"},
      {"999 m", 0, 999, "999.0", "m"},
      {"UK 0.5 mile", 12, 0.5 * kMile, "880", "ya"},
      {"UK 0.0001 mile", 12, 0.0001 * kMile, "6", "\""},
      {"UK 0.0005 mile", 12, 0.0005 * kMile, "3", "ft"},
      {"UK 2.5 miles", 12, 2.5 * kMile, "2.5", "mi"},
      {"UK 150 miles", 12, 150 * kMile, "150", "mi"},
      {"UK 0", 12, 0, "0", "ya"},
      {"US 0.05 mile", 13, 0.05 * kMile, "264", "ft"},
      {"US 0.5 mile", 13, 0.5 * kMile, "0.50", "mi"},
      {"US 0.0001 mile", 13, 0.0001 * kMile, "6", "\""},
      {"US 12 miles", 13, 12 * kMile, "12.0", "mi"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const UnitText text = FormatDistance(Distance(c.row), c.metres);
    EXPECT_EQ(text.value, c.value);
    EXPECT_EQ(text.unit, c.unit);
    EXPECT_EQ(text.shortName, "");
    EXPECT_EQ(text.row, c.row);
  }
}

TEST(Units, FixedDistanceRowsUseTheirPrecisionAndShortName) {
  struct Case {
    const char* name;
    int row;
    bool fixedUnit;
    double metres;
    const char* joined;
    int wantRow;
  } cases[] = {
      {"kilometres", 2, false, 1234, "1.234km", 2},
      {"feet", 16, false, 100, "328ft", 16},
      {"chains", 4, false, 100, "4.97ch", 4},
      {"metric with the fixed flag", 0, true, 12345, "12345.0m", 1},
      {"UK with the fixed flag", 12, true, 5 * kMile, "5.000mi", 14},
      {"US with the fixed flag", 13, true, kMile, "1.000mi", 14},
      {"a fixed row keeps the flag", 15, true, 1, "1ya", 15},
      {"row past the end", 20, false, 1234, "1.23km", 0},
      {"negative row", -1, false, 12345, "12km", 0},
      {"huge row with the flag", 1000, true, 2, "2.0m", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const UnitText text = FormatDistance(Distance(c.row), c.metres, c.fixedUnit);
    EXPECT_EQ(text.Joined(), c.joined);
    EXPECT_EQ(FormatDistanceText(Distance(c.row), c.metres, c.fixedUnit), c.joined);
    EXPECT_EQ(text.row, c.wantRow);
  }
}

TEST(Units, TypedDistancesBecomeMetres) {
  struct Case {
    const char* name;
    int row;
    bool fixedUnit;
    const char* text;
    double metres;
  } cases[] = {
      {"2 statute miles through the UK row", 12, true, "2", 3218.688},
      {"metres", 1, false, "  12.5", 12.5},
      {"kilometres", 2, false, "1.5km", 1500},
      {"feet", 16, false, "-10", -3.048},
      {"nothing parses", 1, false, "abc", 0},
      {"empty", 1, false, "", 0},
      {"a sign and nothing", 1, false, "-", 0},
      {"two signs", 1, false, "+-3", 0},
      {"plus sign", 1, false, "+3", 3},
      {"comma is no decimal point", 1, false, "2,5", 2},
      {"out of range", 1, false, "1e999", 0},
      {"not a number", 1, false, "nan", 0},
      {"infinity", 1, false, "inf", 0},
      {"exponent", 2, false, "1e1", 10000},
      {"out of table", 99, false, "7", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(ParseDistance(Distance(c.row), c.text, c.fixedUnit), c.metres, 1e-9);
  }
}

TEST(Units, AltitudesTakeTheOffsetBothWays) {
  struct Case {
    const char* name;
    int row;
    double offset;
    double metres;
    const char* value;
    const char* shortName;
  } cases[] = {
      {"feet with offset 10", 16, 10, 100, "361", "ft"},
      {"metres by default", 1, 0, 123.44, "123.4", "m"},
      {"automatic metric counts as metres", 0, 0, 123.44, "123.4", "m"},
      {"row out of range: metres", 77, 0, 5, "5.0", "m"},
      {"negative offset", 1, -20.5, 100, "79.5", "m"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnitChoice units;
    units.unitAltitude = c.row;
    units.altitudeOffset = c.offset;
    const UnitText text = FormatAltitude(units, c.metres);
    EXPECT_EQ(text.value, c.value);
    EXPECT_EQ(text.shortName, c.shortName);
    EXPECT_NEAR(ParseAltitude(units, text.value), c.metres, 0.2);
  }
  UnitChoice feet;
  feet.unitAltitude = 16;
  feet.altitudeOffset = 10;
  EXPECT_NEAR(ParseAltitude(feet, "361"), 361 * 0.3048 - 10, 1e-9);
}

TEST(Units, SpeedsUseTheirRow) {
  struct Case {
    const char* name;
    int row;
    double kmh;
    const char* value;
    const char* shortName;
  } cases[] = {
      {"knots", 2, 100, "54.0", "kts"},
      {"metres per second", 1, 100, "27.8", "ms"},
      {"kmh", 0, 12.345, "12.3", "kmh"},
      {"mph", 3, 100, "62.1", "mph"},
      {"out of range", 4, 100, "100.0", "kmh"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnitChoice units;
    units.unitSpeed = c.row;
    const UnitText text = FormatSpeed(units, c.kmh);
    EXPECT_EQ(text.value, c.value);
    EXPECT_EQ(text.shortName, c.shortName);
  }
  UnitChoice knots;
  knots.unitSpeed = 2;
  EXPECT_NEAR(ParseSpeed(knots, "10"), 18.52, 1e-9);
}

TEST(Units, MissingValuesShowAsAQuestionMark) {
  const double values[] = {kMissingValue, -kMissingValue, INFINITY, NAN};
  for (double v : values) {
    SCOPED_TRACE(v);
    EXPECT_EQ(FormatDistanceText(Distance(0), v), "?");
    EXPECT_EQ(FormatDistanceText(Distance(16), v), "?");
    EXPECT_EQ(FormatAltitude(UnitChoice{}, v).Joined(), "?");
    EXPECT_EQ(FormatSpeed(UnitChoice{}, v).value, "?");
    EXPECT_EQ(FormatDuration(v, false), "?");
    EXPECT_EQ(FormatHeading(v, 0), "?");
    EXPECT_EQ(FormatFixed(v, 2), "?");
  }
  EXPECT_EQ(FormatDistance(Distance(16), kMissingValue).row, 16) << "the row still names the unit";
  EXPECT_FALSE(IsMissing(1e300));
}

TEST(Units, Durations) {
  struct Case {
    double seconds;
    bool milliseconds;
    const char* text;
  } cases[] = {
      {90061.5, false, "1d 01:01:01"},
      {90061.5, true, "1d 01:01:01:500"},
      {0, false, "00:00:00"},
      {59.999, true, "00:00:59:999"},
      {3600 * 23 + 59 * 60 + 59, false, "23:59:59"},
      {86400 * 12, false, "12d 00:00:00"},
      {-1, false, "?"},
      {1e20, false, "?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatDuration(c.seconds, c.milliseconds), c.text);
  }
}

TEST(Units, HeadingsAreDegreesFromGridNorth) {
  struct Case {
    const char* name;
    double radians, convergence;
    const char* text;
  } cases[] = {
      {"north", 0, 0, "0.0\u00B0"},
      {"east", kPi / 2, 0, "90.0\u00B0"},
      {"south", kPi, 0, "180.0\u00B0"},
      {"west", 1.5 * kPi, 0, "270.0\u00B0"},
      {"grid turned by 2 degrees", kPi / 2, 2 * kPi / 180, "88.0\u00B0"},
      {"negative result wraps", 0, 10 * kPi / 180, "350.0\u00B0"},
      {"more than a turn", 2 * kPi + kPi / 4, 0, "45.0\u00B0"},
      {"just below north rounds to 0", 2 * kPi - 0.0001, 0, "0.0\u00B0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatHeading(c.radians, c.convergence), c.text);
  }
}

// A C++ locale whose decimal separator is a comma.
struct CommaDecimals : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(Units, NumbersIgnoreTheProcessLocale) {
  // The C library's locale too, where the system has a comma locale.
  const bool cLocale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
  EXPECT_EQ(FormatFixed(1.5, 1), "1.5");
  EXPECT_EQ(ReadNumber("1.25"), 1.25);
  EXPECT_EQ(FormatDistanceText(Distance(0), 1234), "1.23km");
  EXPECT_EQ(FormatDuration(1.5, true), "00:00:01:500");
  std::locale::global(previous);
  if (cLocale) std::setlocale(LC_NUMERIC, "C");
}

TEST(Units, ChoiceComesFromTheSettings) {
  const auto folder = std::filesystem::temp_directory_path() / ("units_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  {
    SettingsStore settings(folder);
    const UnitChoice defaults = UnitChoiceOf(settings);
    EXPECT_EQ(defaults.unitSpeed, 0);
    EXPECT_EQ(defaults.unitDistance, 0);
    EXPECT_EQ(defaults.unitAltitude, 1);
    EXPECT_EQ(defaults.altitudeOffset, 0);
    settings.unitSpeed = 2;
    settings.unitDistance = 13;
    settings.unitAltitude = 16;
    settings.altitudeOffset = 4.5;
    const UnitChoice chosen = UnitChoiceOf(settings);
    EXPECT_EQ(chosen.unitSpeed, 2);
    EXPECT_EQ(chosen.unitDistance, 13);
    EXPECT_EQ(chosen.unitAltitude, 16);
    EXPECT_EQ(chosen.altitudeOffset, 4.5);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
