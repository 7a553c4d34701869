#include "app/core/Utilities.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace rovana {
namespace {

constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

int ClampToInt(std::int64_t value) {
  if (value < kIntMin) return static_cast<int>(kIntMin);
  if (value > kIntMax) return static_cast<int>(kIntMax);
  return static_cast<int>(value);
}

// Punctuation that web queries carry unescaped, besides ASCII letters and
// digits. One row per character.
constexpr char16_t kUrlKept[] = {u'.', u'*', u'_', u'<', u'>', u'/', u'"'};

bool IsUrlKept(char16_t unit) {
  if ((unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9')) return true;
  for (char16_t kept : kUrlKept)
    if (unit == kept) return true;
  return false;
}

// The encoding of one unit: 1 byte, or '%' and 2 to 4 hex digits.
struct EncodedUnit {
  char bytes[6];
  std::size_t size;
};

EncodedUnit EncodeUnit(char16_t unit) {
  EncodedUnit e{};
  if (IsUrlKept(unit)) {
    e.bytes[0] = static_cast<char>(unit);
    e.size = 1;
  } else if (unit == u' ') {
    e.bytes[0] = '+';
    e.size = 1;
  } else {
    const int n = std::snprintf(e.bytes, sizeof e.bytes, "%%%2.2X", static_cast<unsigned>(unit));
    e.size = n > 0 ? static_cast<std::size_t>(n) : 0;  // at most "%FFFF", 5 bytes
  }
  return e;
}

// A dpi that cannot divide or scale counts as the design dpi.
int UsableDpi(int dpi) { return dpi > 0 ? dpi : kDesignDpi; }

}  // namespace

// --- packed date -----------------------------------------------------------

std::int32_t PackDate(int year, int month, int day) {
  const std::int64_t packed = std::int64_t{year} * kPackedYearFactor + std::int64_t{month} * kPackedMonthFactor + day;
  if (packed < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  if (packed > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(packed);
}

CivilDate UnpackDate(std::int32_t packed) {
  return {static_cast<int>(packed / kPackedYearFactor),
          static_cast<int>((packed % kPackedYearFactor) / kPackedMonthFactor),
          static_cast<int>(packed % kPackedMonthFactor)};
}

std::string FormatPackedDate(std::int32_t packed) {
  const CivilDate date = UnpackDate(packed);
  char text[48];  // three ints with signs and separators always fit
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::int32_t PackedDateOf(const std::tm& local) {
  return PackDate(ClampToInt(std::int64_t{local.tm_year} + 1900), ClampToInt(std::int64_t{local.tm_mon} + 1),
                  local.tm_mday);
}

// --- seconds of the day ----------------------------------------------------

int SecondsOfDay(int hours, int minutes, int seconds) {
  return ClampToInt(std::int64_t{hours} * 3600 + std::int64_t{minutes} * 60 + seconds);
}

int SecondsOfDayOf(const std::tm& local) { return SecondsOfDay(local.tm_hour, local.tm_min, local.tm_sec); }

std::string FormatSecondsOfDay(int value, char separator) {
  char text[48];  // three ints with signs and two separators always fit
  const int n = std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", value / 3600, separator, (value % 3600) / 60,
                              separator, value % 60);
  // The length, not the first zero: a zero separator stays in the text.
  return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

LocalStamp LocalStampOf(std::time_t when) {
  std::tm local{};
  if (!localtime_r(&when, &local)) return {};
  return {PackedDateOf(local), SecondsOfDayOf(local)};
}

LocalStamp LocalNow() { return LocalStampOf(std::time(nullptr)); }
std::int32_t TodayPacked() { return LocalNow().date; }
int SecondsOfDayNow() { return LocalNow().seconds; }

// --- angles ----------------------------------------------------------------

double NormalizeAngle(double radians) {
  double r = std::fmod(radians, kTwoPi);
  if (r < 0) r += kTwoPi;
  // -1e-20 + 2π rounds to 2π itself, which lies outside the range.
  if (r >= kTwoPi) r = 0;
  return r;
}

double AngleDifference(double a, double b) {
  double d = NormalizeAngle(b) - NormalizeAngle(a);
  if (d > kPi)
    d -= kTwoPi;
  else if (d <= -kPi)
    d += kTwoPi;
  return d;
}

double AngleMean(double a, double b) {
  a = NormalizeAngle(a);
  b = NormalizeAngle(b);
  double sum = a + b;
  // Angles on both sides of north: their plain mean would point south.
  if (std::fabs(a - b) >= kPi) sum -= kTwoPi;
  return NormalizeAngle(sum / 2);
}

// --- URL encoding ----------------------------------------------------------

std::string UrlEncode(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 3);
  for (char16_t unit : units) {
    const EncodedUnit e = EncodeUnit(unit);
    out.append(e.bytes, e.size);
  }
  return out;
}

std::string UrlEncode(std::string_view utf8) { return UrlEncode(std::u16string_view(Utf8ToUtf16(utf8))); }

std::size_t UrlEncodeInto(std::u16string_view units, char* out, std::size_t capacity) {
  if (!out || capacity == 0) return 0;
  std::size_t used = 0;
  out[0] = '\0';
  for (char16_t unit : units) {
    const EncodedUnit e = EncodeUnit(unit);
    if (e.size >= capacity - used) break;  // the unit and the terminating zero must both fit
    for (std::size_t k = 0; k < e.size; ++k) out[used + k] = e.bytes[k];
    used += e.size;
    out[used] = '\0';
  }
  return used;
}

// --- resolution scaling ----------------------------------------------------

int DpiForScreen(int widthPixels, int heightPixels) {
  return widthPixels > kHighDpiThreshold || heightPixels > kHighDpiThreshold ? kHighDpi : kDesignDpi;
}

int ScaleToScreen(int value, int dpi) {
  const std::int64_t magnitude = std::llabs(std::int64_t{value});
  const std::int64_t scaled = (magnitude * UsableDpi(dpi) + kDesignDpi / 2) / kDesignDpi;
  return ClampToInt(value < 0 ? -scaled : scaled);
}

int ScaleToDesign(int value, int dpi) {
  const int d = UsableDpi(dpi);
  const std::int64_t magnitude = std::llabs(std::int64_t{value});
  const std::int64_t scaled = (magnitude * kDesignDpi + d / 2) / d;
  return ClampToInt(value < 0 ? -scaled : scaled);
}

Orientation OrientationOf(int widthPixels, int heightPixels) {
  if (heightPixels < widthPixels) return Orientation::Landscape;
  if (heightPixels > widthPixels) return Orientation::Portrait;
  return Orientation::Square;
}

ScreenLayout LayoutForScreen(int widthPixels, int heightPixels) {
  ScreenLayout layout;
  layout.dpiX = layout.dpiY = DpiForScreen(widthPixels, heightPixels);
  layout.full = {0, 0, widthPixels, heightPixels};
  layout.loRes = {0, 0, ScaleToDesign(widthPixels, layout.dpiX), ScaleToDesign(heightPixels, layout.dpiY)};
  layout.orientation = OrientationOf(widthPixels, heightPixels);
  return layout;
}

}  // namespace rovana
