// Units: how speeds, distances, altitudes, durations and headings are shown
// and typed. Inside the program speeds are km/h, distances and altitudes
// metres, durations seconds and angles radians; the user's units appear only
// in texts.
//
// Each unit table row has a long name (for the settings pages), a short name
// (appended to values), a factor (value in the unit = base value x factor)
// and a precision (decimals; a negative precision marks an automatic row that
// picks km/m/cm or mi/ya/ft/in by the size of the value).
//
// Numbers are written and read in the C locale whatever the process locale
// is. An index outside a table selects the table's default row. The missing
// value (the largest double, either sign) and values that are no finite
// number are shown as "?".
#pragma once

#include <limits>
#include <span>
#include <string>
#include <string_view>

namespace rovana {

class SettingsStore;

struct UnitRow {
  std::string_view longName;
  std::string_view shortName;
  double factor = 0;
  int precision = 0;  // decimals; negative: automatic row
};

inline constexpr int kAutomaticMetric = -1;  // km, m, cm
inline constexpr int kAutomaticUK = -2;      // mi, ya, ft, in
inline constexpr int kAutomaticUS = -3;      // mi, ft, in

// Speed units (setting unitSpeed), base km/h; 4 rows.
std::span<const UnitRow> SpeedUnits();
// Distance units (settings unitDistance and unitAltitude), base metre; 20 rows.
std::span<const UnitRow> DistanceUnits();

inline constexpr int kDefaultSpeedRow = 0;     // km/h
inline constexpr int kDefaultDistanceRow = 0;  // automatic metric
inline constexpr int kDefaultAltitudeRow = 1;  // metres

// The row an index selects: the index itself when it is inside the table,
// else the default row.
int SpeedRow(int unitSpeed);
int AltitudeRow(int unitAltitude);
// The same for distances; with `fixedUnit` an automatic row is replaced by
// the next row with a fixed precision (0 becomes metres, 12 and 13 statute
// miles).
int DistanceRow(int unitDistance, bool fixedUnit);

// The missing value and its text.
inline constexpr double kMissingValue = std::numeric_limits<double>::max();
inline constexpr std::string_view kMissingText = "?";
// True for +-kMissingValue, infinities and NaN.
bool IsMissing(double value);

// The user's unit choices, copied from the settings so that worker threads
// can format without touching the store.
struct UnitChoice {
  int unitSpeed = kDefaultSpeedRow;
  int unitDistance = kDefaultDistanceRow;
  int unitAltitude = kDefaultAltitudeRow;
  double altitudeOffset = 0;  // metres, added to every altitude shown
};
UnitChoice UnitChoiceOf(const SettingsStore& settings);

// A formatted value. `unit` is the unit an automatic distance row chose
// ("km", "m", "cm", "mi", "ya", "ft", "\""), empty otherwise; `shortName` is
// the selected row's short name (empty for automatic rows). A missing value
// gives value "?" with both unit texts empty. Joined() is value, unit and
// short name without spaces, as the program shows them.
struct UnitText {
  std::string value;
  std::string unit;
  std::string_view shortName;
  int row = 0;
  std::string Joined() const;
};

// Distance in metres in the unitDistance row (see DistanceRow for the flag).
UnitText FormatDistance(const UnitChoice& units, double metres, bool fixedUnit = false);
// FormatDistance(...).Joined(): "12km", "1.23km", "50cm", "5.000mi".
std::string FormatDistanceText(const UnitChoice& units, double metres, bool fixedUnit = false);
// A typed distance in the row's unit (automatic rows in their factor's unit:
// metres or miles) back to metres; 0 when nothing reads as a number.
double ParseDistance(const UnitChoice& units, std::string_view text, bool fixedUnit = false);

// Altitude in metres: (altitude + altitudeOffset) x factor with the row's
// precision in the unitAltitude row. An automatic row counts as its fixed
// row (metres, statute miles), since an altitude has one unit.
UnitText FormatAltitude(const UnitChoice& units, double metres);
// A typed altitude back to metres: value / factor - altitudeOffset.
double ParseAltitude(const UnitChoice& units, std::string_view text);

// Speed in km/h in the unitSpeed row.
UnitText FormatSpeed(const UnitChoice& units, double kmh);
double ParseSpeed(const UnitChoice& units, std::string_view text);

// "hh:mm:ss" or, with milliseconds, "hh:mm:ss:mmm"; a day or more is prefixed
// "<days>d ". Negative, missing and absurdly large values give "?".
std::string FormatDuration(double seconds, bool withMilliseconds);

// A heading (radians clockwise from north) against grid north: degrees of
// (heading - gridConvergence) in [0, 360), one decimal and the degree sign
// ("90.0°"); a value that would round to 360.0 shows as "0.0°".
std::string FormatHeading(double radians, double gridConvergence);

// "%.*f" of `value` in the C locale (decimals clamped to 0..17); missing
// values give "?".
std::string FormatFixed(double value, int decimals);
// What "%lf" reads from the start of `text` in the C locale (leading blanks
// and a sign allowed, the rest ignored); 0 when nothing reads or the number
// is not finite.
double ReadNumber(std::string_view text);

}  // namespace rovana
