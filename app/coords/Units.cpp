#include "app/coords/Units.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "app/core/SettingsStore.h"

namespace rovana {
namespace {

constexpr std::array<UnitRow, 4> kSpeedUnits{{
    {"km per hour (kmh)", "kmh", 1.0, 1},
    {"meters per second (ms)", "ms", 0.2777777777777778, 1},
    {"knots (kts)", "kts", 0.5399568034557235, 1},
    {"miles per hour (mph)", "mph", 0.621371192237334, 1},
}};

constexpr std::array<UnitRow, 20> kDistanceUnits{{
    {"(kilo)meters (km,m,cm)", "", 1.0, kAutomaticMetric},
    {"meters", "m", 1.0, 1},
    {"kilometers", "km", 0.001, 3},
    {"cables", "cb", 0.004556722076407116, 3},
    {"chains (surveyor's)", "ch", 0.049709695378986715, 2},
    {"fathoms", "f", 0.5468066491688539, 1},
    {"furlongs", "fu", 0.004970969537898671, 3},
    {"hands (height of horse)", "h", 9.84251968503937, 0},
    {"leagues, nautical", "l", 0.00017987060827922825, 3},
    {"leagues, statute", "l", 0.000207123730745778, 3},
    {"links (surveyor's)", "li", 4.970969537898672, 0},
    {"miles (nautical)", "nm", 0.0005399568034557236, 3},
    {"UK (mile,yard,foot,inch)", "", 0.0006213711922373339, kAutomaticUK},
    {"US (mile,foot,inch)", "", 0.0006213711922373339, kAutomaticUS},
    {"miles (statute)", "mi", 0.0006213711922373339, 3},
    {"yards", "ya", 1.0936132983377078, 0},
    {"feet", "ft", 3.280839895013123, 0},
    {"inches", "\"", 39.37007874015748, 0},
    {"paces", "p", 1.3123359580052494, 0},
    {"rods", "rd", 0.19883878151594686, 1},
}};

int RowIn(std::size_t size, int index, int fallback) {
  return index >= 0 && static_cast<std::size_t>(index) < size ? index : fallback;
}

// The next row at or after `row` with a fixed precision. The table's last
// row is fixed, so the search always ends inside it.
int FixedRowFrom(int row) {
  while (row + 1 < static_cast<int>(kDistanceUnits.size()) && kDistanceUnits[row].precision < 0) ++row;
  return kDistanceUnits[row].precision < 0 ? 1 : row;
}

// The automatic rows: the value text and the unit it chose, v in the row's
// unit (metres for metric, miles for UK and US).
void AutomaticDistance(int precision, double v, UnitText& out) {
  const auto set = [&out](double value, int decimals, std::string_view unit) {
    out.value = FormatFixed(value, decimals);
    out.unit = unit;
  };
  switch (precision) {
    case kAutomaticMetric:
      if (v >= 10000) return set(v / 1000, 0, "km");
      if (v >= 1000) return set(v / 1000, 2, "km");
      if (v > 0 && v < 1) return set(v * 100, 0, "cm");
      return set(v, 1, "m");
    case kAutomaticUK: {
      if (v >= 100) return set(v, 0, "mi");
      if (v >= 1) return set(v, 1, "mi");
      const double yards = v * 1760;
      if (yards >= 1 || yards == 0) return set(yards, 0, "ya");
      const double feet = yards * 3;
      if (feet >= 1) return set(feet, 0, "ft");
      return set(feet * 12, 0, "\"");
    }
    default: {  // kAutomaticUS
      if (v >= 100) return set(v, 0, "mi");
      if (v >= 1) return set(v, 1, "mi");
      if (v >= 0.1) return set(v, 2, "mi");
      const double feet = v * 5280;
      if (feet >= 1) return set(feet, 0, "ft");
      return set(feet * 12, 0, "\"");
    }
  }
}

UnitText Missing(int row) {
  UnitText out;
  out.value = kMissingText;
  out.row = row;
  return out;
}

UnitText Fixed(const UnitRow& row, int index, double value) {
  UnitText out;
  out.value = FormatFixed(value, row.precision);
  out.shortName = row.shortName;
  out.row = index;
  return out;
}

}  // namespace

std::span<const UnitRow> SpeedUnits() { return kSpeedUnits; }
std::span<const UnitRow> DistanceUnits() { return kDistanceUnits; }

int SpeedRow(int unitSpeed) { return RowIn(kSpeedUnits.size(), unitSpeed, kDefaultSpeedRow); }

int AltitudeRow(int unitAltitude) { return RowIn(kDistanceUnits.size(), unitAltitude, kDefaultAltitudeRow); }

int DistanceRow(int unitDistance, bool fixedUnit) {
  const int row = RowIn(kDistanceUnits.size(), unitDistance, kDefaultDistanceRow);
  return fixedUnit ? FixedRowFrom(row) : row;
}

bool IsMissing(double value) { return !std::isfinite(value) || std::fabs(value) == kMissingValue; }

UnitChoice UnitChoiceOf(const SettingsStore& settings) {
  return UnitChoice{settings.unitSpeed, settings.unitDistance, settings.unitAltitude, settings.altitudeOffset};
}

std::string UnitText::Joined() const {
  std::string text = value;
  text += unit;
  text += shortName;
  return text;
}

UnitText FormatDistance(const UnitChoice& units, double metres, bool fixedUnit) {
  const int index = DistanceRow(units.unitDistance, fixedUnit);
  if (IsMissing(metres)) return Missing(index);
  const UnitRow& row = kDistanceUnits[index];
  const double v = metres * row.factor;
  if (row.precision >= 0) return Fixed(row, index, v);
  UnitText out;
  out.row = index;
  AutomaticDistance(row.precision, v, out);
  return out;
}

std::string FormatDistanceText(const UnitChoice& units, double metres, bool fixedUnit) {
  return FormatDistance(units, metres, fixedUnit).Joined();
}

double ParseDistance(const UnitChoice& units, std::string_view text, bool fixedUnit) {
  return ReadNumber(text) / kDistanceUnits[DistanceRow(units.unitDistance, fixedUnit)].factor;
}

UnitText FormatAltitude(const UnitChoice& units, double metres) {
  const int index = FixedRowFrom(AltitudeRow(units.unitAltitude));
  if (IsMissing(metres)) return Missing(index);
  const UnitRow& row = kDistanceUnits[index];
  return Fixed(row, index, (metres + units.altitudeOffset) * row.factor);
}

double ParseAltitude(const UnitChoice& units, std::string_view text) {
  const UnitRow& row = kDistanceUnits[FixedRowFrom(AltitudeRow(units.unitAltitude))];
  return ReadNumber(text) / row.factor - units.altitudeOffset;
}

UnitText FormatSpeed(const UnitChoice& units, double kmh) {
  const int index = SpeedRow(units.unitSpeed);
  if (IsMissing(kmh)) return Missing(index);
  const UnitRow& row = kSpeedUnits[index];
  return Fixed(row, index, kmh * row.factor);
}

double ParseSpeed(const UnitChoice& units, std::string_view text) {
  return ReadNumber(text) / kSpeedUnits[SpeedRow(units.unitSpeed)].factor;
}

std::string FormatDuration(double seconds, bool withMilliseconds) {
  // Beyond this (some 30 million years) the day count no longer fits the
  // text sensibly; such a value is a fault upstream, shown as unknown.
  constexpr double kLargest = 1e15;
  if (IsMissing(seconds) || seconds < 0 || seconds >= kLargest) return std::string(kMissingText);
  auto t = static_cast<std::int64_t>(std::trunc(seconds));
  const int secs = static_cast<int>(t % 60);
  t /= 60;
  const int minutes = static_cast<int>(t % 60);
  t /= 60;
  const int hours = static_cast<int>(t % 24);
  const std::int64_t days = t / 24;

  char text[64];
  int length;
  if (withMilliseconds) {
    const int ms = std::clamp(static_cast<int>(std::trunc((seconds - std::floor(seconds)) * 1000)), 0, 999);
    length = std::snprintf(text, sizeof text, "%2.2d:%2.2d:%2.2d:%3.3d", hours, minutes, secs, ms);
  } else {
    length = std::snprintf(text, sizeof text, "%2.2d:%2.2d:%2.2d", hours, minutes, secs);
  }
  std::string clock(text, static_cast<std::size_t>(std::clamp(length, 0, static_cast<int>(sizeof text) - 1)));
  if (days < 1) return clock;
  return std::to_string(days) + "d " + clock;
}

std::string FormatHeading(double radians, double gridConvergence) {
  if (IsMissing(radians) || IsMissing(gridConvergence)) return std::string(kMissingText);
  constexpr double kDegreesPerRadian = 360.0 / (2 * 3.14159265358979323846);
  double a = std::fmod((radians - gridConvergence) * kDegreesPerRadian, 360.0);
  while (a < 0) a += 360.0;
  if (a >= 359.95) a = 0;  // one decimal would show "360.0"
  return FormatFixed(a, 1) + "\u00B0";
}

std::string FormatFixed(double value, int decimals) {
  if (IsMissing(value)) return std::string(kMissingText);
  // A finite double has at most 309 integer digits; 17 decimals are more
  // than a double holds.
  char text[400];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, std::clamp(decimals, 0, 17));
  if (error != std::errc{}) return std::string(kMissingText);
  return std::string(text, end);
}

double ReadNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  // from_chars takes no sign of its own here: a second sign ("+-1") is not
  // a number for "%lf" either.
  if (at >= text.size() || text[at] == '+' || text[at] == '-') return 0;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
  if (error != std::errc{} || !std::isfinite(value)) return 0;
  (void)end;
  return negative ? -value : value;
}

}  // namespace rovana
