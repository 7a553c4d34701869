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

// The British grid's 100-km squares, five rows of five from the south; the
// first letter names a 500-km block, the second a square inside it.
constexpr std::string_view kLetters = "VWXYZQRSTULMNOPFGHJKABCDE";
constexpr int kFirstBlockLetter = 7;  // "S": the block at the grid's origin
constexpr double kSquareMetres = 100000, kBlockMetres = 500000;
constexpr std::size_t kLongestNumber = 40;
constexpr int kReferenceDigits = 5;  // a reference in metres has five digits per coordinate

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A British grid field taken apart: the leading word in upper case ("TQ",
// "BNG"; empty when the text does not begin with a letter, and `ok` false)
// and up to two numbers, each digits with at most one decimal point.
struct FieldParts {
  bool ok = false;
  std::string word;
  std::string_view numbers[2];
  int count = 0;
};

FieldParts SplitField(std::string_view text) {
  FieldParts parts;
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  while (at < text.size() && IsLetter(text[at]) && parts.word.size() <= 3) parts.word += Upper(text[at++]);
  if (parts.word.empty()) return parts;
  for (;;) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at == text.size()) break;
    const std::size_t start = at;
    int digits = 0, points = 0;
    for (; at < text.size() && (IsDigit(text[at]) || text[at] == '.'); ++at) (IsDigit(text[at]) ? digits : points)++;
    const std::size_t length = at - start;
    if (digits == 0 || points > 1 || length > kLongestNumber || parts.count == 2) return parts;
    if (at < text.size() && !IsBlank(text[at])) return parts;  // "30000m", "300x"
    parts.numbers[parts.count++] = text.substr(start, length);
  }
  parts.ok = true;
  return parts;
}

// Metres inside a square, or -1 when the number is not inside one.
double InsideSquare(std::string_view number, double scale = 1) {
  const double metres = ReadNumber(number) * scale;
  return std::isfinite(metres) && metres >= 0 && metres < kSquareMetres ? metres : -1;
}

// What one field holds.
struct FieldValue {
  enum Kind { Unreadable, Bare, Square, Bng, Reference } kind = Unreadable;
  double value = 0;   // Bare: the full coordinate; Square, Bng: metres inside the square
  GridCorner corner;  // Square, Reference: the square's south-west corner
  double easting = 0, northing = 0;  // Reference: the full coordinates
};

FieldValue ReadField(std::string_view text) {
  FieldValue field;
  const FieldParts parts = SplitField(text);
  std::size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  const bool number = first == text.size() || IsDigit(text[first]) || text[first] == '.' || text[first] == '+' ||
                      text[first] == '-';
  if (number) {
    field.kind = FieldValue::Bare;
    field.value = ReadDecimal(text);
    return field;
  }
  if (!parts.ok || parts.word.empty()) return field;
  if (parts.word == "BNG") {
    if (parts.count > 1) return field;
    field.value = parts.count == 1 ? InsideSquare(parts.numbers[0]) : 0;
    if (field.value >= 0) field.kind = FieldValue::Bng;
    return field;
  }
  const auto corner = BritishSquareCorner(parts.word);
  if (!corner) return field;
  field.corner = *corner;
  if (parts.count < 2) {
    field.value = parts.count == 1 ? InsideSquare(parts.numbers[0]) : 0;
    if (field.value >= 0) field.kind = FieldValue::Square;
    return field;
  }
  // Two whole numbers of k digits each are a reference to 10^(5-k) metres.
  const std::string_view e = parts.numbers[0], n = parts.numbers[1];
  double scale = 1;
  if (e.size() == n.size() && e.size() <= static_cast<std::size_t>(kReferenceDigits) &&
      e.find('.') == std::string_view::npos && n.find('.') == std::string_view::npos)
    scale = std::pow(10.0, kReferenceDigits - static_cast<int>(e.size()));
  const double east = InsideSquare(e, scale), north = InsideSquare(n, scale);
  if (east < 0 || north < 0) return field;
  field.kind = FieldValue::Reference;
  field.easting = corner->easting + east;
  field.northing = corner->northing + north;
  return field;
}

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
    text.letters += letter(5 * (n / kBlock) + e / kBlock + kFirstBlockLetter);
    text.letters += letter(5 * (n % kBlock / kSquare) + e % kBlock / kSquare);
  }
  const auto inside = [](long long v) { return static_cast<double>(v % kSquare) / 100; };
  text.northing = "BNG " + FormatFixed(inside(n), 2);
  text.easting = text.letters + " " + FormatFixed(inside(e), 2);
  return text;
}

std::optional<GridCorner> BritishSquareCorner(std::string_view letters) {
  if (letters.size() != 2) return std::nullopt;
  const std::size_t first = kLetters.find(Upper(letters[0])), second = kLetters.find(Upper(letters[1]));
  if (first == std::string_view::npos || second == std::string_view::npos || first < kFirstBlockLetter)
    return std::nullopt;
  const auto block = static_cast<int>(first) - kFirstBlockLetter, square = static_cast<int>(second);
  GridCorner corner;
  corner.easting = (block % 5) * kBlockMetres + (square % 5) * kSquareMetres;
  corner.northing = (block / 5) * kBlockMetres + (square / 5) * kSquareMetres;
  return corner;
}

BritishGridInput ReadBritishGridFields(std::string_view northingField, std::string_view eastingField,
                                       double shownNorthing, GridField edited) {
  FieldValue e = ReadField(eastingField), n = ReadField(northingField);
  if (e.kind == FieldValue::Bng) e.kind = FieldValue::Unreadable;    // "BNG" names a northing
  if (n.kind == FieldValue::Square) n.kind = FieldValue::Unreadable;  // square letters go with the easting
  BritishGridInput input;
  switch (e.kind) {
    case FieldValue::Bare: input.easting = e.value; break;
    case FieldValue::Square: input.easting = e.corner.easting + e.value; break;
    case FieldValue::Reference: input.easting = e.easting; break;
    default: break;
  }
  input.eastingRead = e.kind != FieldValue::Unreadable;
  // The 100-km row of a northing inside its square: the easting's letters,
  // else the row the page showed.
  double row = 0;
  if (e.kind == FieldValue::Square || e.kind == FieldValue::Reference)
    row = e.corner.northing;
  else if (std::isfinite(shownNorthing) && shownNorthing >= 0 && shownNorthing < 1e12)
    row = std::floor(shownNorthing / kSquareMetres) * kSquareMetres;
  switch (n.kind) {
    case FieldValue::Bare: input.northing = n.value; break;
    case FieldValue::Bng: input.northing = row + n.value; break;
    case FieldValue::Reference: input.northing = n.northing; break;
    default: break;
  }
  input.northingRead = n.kind != FieldValue::Unreadable;
  // A whole reference in the field being typed in gives both coordinates;
  // one in the other field gives only its own axis (already taken above),
  // so what the user is typing is never overruled.
  const bool eWhole = e.kind == FieldValue::Reference, nWhole = n.kind == FieldValue::Reference;
  const FieldValue* whole = nullptr;
  if (edited == GridField::Northing)
    whole = nWhole ? &n : nullptr;
  else if (edited == GridField::Easting)
    whole = eWhole ? &e : nullptr;
  else
    whole = eWhole ? &e : nWhole ? &n : nullptr;
  if (whole) {
    input.easting = whole->easting;
    input.northing = whole->northing;
    input.eastingRead = input.northingRead = true;
  }
  input.reference = e.kind == FieldValue::Reference || n.kind == FieldValue::Reference;
  return input;
}

std::string FormatGridCoordinate(double metres) { return FormatFixed(metres, 2); }

}  // namespace rovana
