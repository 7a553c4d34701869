#include "app/coords/PositionText.h"

#include <climits>
#include <cmath>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"

namespace rovana {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegreesPerRadian = 360.0 / (2 * kPi);
// No latitude or longitude comes near this; beyond it the fields read "?".
constexpr double kLargestDegrees = 1e9;
constexpr std::size_t kLongestField = 40;  // what the dialog's "%lf" reads

// "%0*.*f": FormatFixed padded with leading zeros to `width`.
std::string ZeroPadded(double value, int decimals, std::size_t width) {
  std::string text = FormatFixed(value, decimals);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

std::string TwoDigits(long long value) {
  std::string text = std::to_string(value);
  if (text.size() < 2) text.insert(0, 1, '0');
  return text;
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

DisplayMode DisplayModeOf(int locatorTab) {
  return locatorTab >= 0 && locatorTab < kDisplayModes ? static_cast<DisplayMode>(locatorTab) : DisplayMode::DegMin;
}

HemisphereLetters HemisphereLettersOf(const LanguageTable& language) {
  HemisphereLetters letters;
  letters.north = language.Entry(lang::kCoordNorthLetter);
  letters.south = language.Entry(lang::kCoordSouthLetter);
  letters.east = language.Entry(lang::kCoordEastLetter);
  letters.west = language.Entry(lang::kCoordWestLetter);
  return letters;
}

AngleFields AngleFieldsOf(double radians, DisplayMode mode) {
  AngleFields fields;
  const double signedDegrees = radians * kDegreesPerRadian;
  if (!std::isfinite(signedDegrees) || std::abs(signedDegrees) > kLargestDegrees) {
    fields.degrees = fields.minutes = fields.seconds = std::string(kMissingText);
    return fields;
  }
  if (mode == DisplayMode::Signed) {
    fields.degrees = FormatFixed(signedDegrees, 8);
    return fields;
  }
  fields.negative = radians < 0;
  const double d = std::abs(signedDegrees);
  switch (mode) {
    case DisplayMode::DegMin: {
      // Thousandths of a minute, the printed precision, carried as integers.
      const long long t = std::llround(d * 60000);
      fields.degrees = std::to_string(t / 60000);
      fields.minutes = ZeroPadded(static_cast<double>(t % 60000) / 1000, 3, 6);
      break;
    }
    case DisplayMode::DegMinSec: {
      const long long h = std::llround(d * 360000);  // hundredths of a second
      fields.degrees = std::to_string(h / 360000);
      fields.minutes = TwoDigits(h / 6000 % 60);
      fields.seconds = ZeroPadded(static_cast<double>(h % 6000) / 100, 2, 5);
      break;
    }
    default:
      fields.degrees = FormatFixed(d, 8);
      break;
  }
  return fields;
}

std::string FormatAngle(double radians, DisplayMode mode, std::string_view positive, std::string_view negative) {
  const AngleFields f = AngleFieldsOf(radians, mode);
  if (mode == DisplayMode::Signed) return f.degrees;
  std::string text = f.degrees;
  if (mode == DisplayMode::DegMin) {
    text += kDegreeSign;
    text += f.minutes;
    text += '\'';
  } else if (mode == DisplayMode::DegMinSec) {
    text += kDegreeSign;
    text += f.minutes;
    text += '\'';
    text += f.seconds;
    text += '"';
  }
  text += f.negative ? negative : positive;
  return text;
}

double AngleOfFields(const AngleFields& fields, DisplayMode mode) {
  double degrees = 0;
  switch (mode) {
    case DisplayMode::DegMin:
      degrees = ReadInteger(fields.degrees) + ReadDecimal(fields.minutes) / 60;
      break;
    case DisplayMode::DegMinSec:
      degrees = ReadInteger(fields.degrees) + ReadInteger(fields.minutes) / 60.0 + ReadDecimal(fields.seconds) / 3600;
      break;
    default:
      degrees = ReadDecimal(fields.degrees);
      break;
  }
  const double radians = degrees * (2 * kPi) / 360.0;
  return fields.negative && mode != DisplayMode::Signed ? -radians : radians;
}

int ReadInteger(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  long long value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

double ReadDecimal(std::string_view text) { return ReadNumber(text.substr(0, kLongestField)); }

BritishGridText BritishGridTexts(double easting, double northing) {
  static constexpr std::string_view kLetters = "VWXYZQRSTULMNOPFGHJKABCDE";
  BritishGridText text;
  constexpr double kLargest = 1e12;  // metres; far beyond any square
  if (!std::isfinite(easting) || !std::isfinite(northing) || std::abs(easting) > kLargest ||
      std::abs(northing) > kLargest) {
    text.letters = "??";
    text.northing = "BNG ?";
    text.easting = "?? ?";
    return text;
  }
  // Hundredths of a metre, the printed precision: the square and the
  // position inside it come from the same rounded value, so 99999.996 m is
  // 0.00 in the next square, never 100000.00 in this one.
  const long long e = std::llround(easting * 100), n = std::llround(northing * 100);
  constexpr long long kSquare = 100000 * 100LL, kBlock = 500000 * 100LL;
  auto letter = [](long long index) { return index >= 0 && index < 25 ? kLetters[static_cast<std::size_t>(index)] : '?'; };
  if (e < 0 || n < 0) {
    text.letters = "??";  // west or south of the grid's origin: no square
  } else {
    text.letters += letter(5 * (n / kBlock) + e / kBlock + 7);
    text.letters += letter(5 * (n % kBlock / kSquare) + e % kBlock / kSquare);
  }
  const auto inside = [](long long v) { return static_cast<double>(v % kSquare) / 100; };
  text.northing = "BNG " + FormatFixed(inside(n), 2);
  text.easting = text.letters + " " + FormatFixed(inside(e), 2);
  return text;
}

std::string FormatGridCoordinate(double metres) { return FormatFixed(metres, 2); }

}  // namespace rovana
