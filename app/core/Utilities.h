// Small helpers shared by every part of Rovana: packed dates and seconds of
// the day, angle arithmetic on radians, URL encoding for web queries and the
// screen-resolution scaling rule of the layouts.
//
// Everything here is a pure function of its arguments except the few
// wrappers marked "reads the clock". Nothing throws, allocates unbounded
// memory or reads past its input; out-of-range input gives the documented
// result instead of undefined behaviour.
//
// The in-place string shifts (ShiftLeft) and the hexadecimal digit value
// (HexDigitValue, IsHexDigit) live in TextCodec.h together with the UTF-8 and
// UTF-16 conversions; this header includes it so callers find them here too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "app/core/TextCodec.h"

namespace rovana {

// ---------------------------------------------------------------------------
// Packed date: year × 416 + month × 32 + day in one integer, so that dates
// compare and sort as integers. Month 1..12 and day 1..31 round-trip for any
// year from 0 to 5'000'000; month 0..12 and day 0..31 also fit without
// spilling into the next field (12 × 32 + 31 = 415 < 416).

inline constexpr std::int32_t kPackedYearFactor = 416;
inline constexpr std::int32_t kPackedMonthFactor = 32;

struct CivilDate {
  int year = 0;
  int month = 0;  // 1..12 for a real date
  int day = 0;    // 1..31 for a real date
  bool operator==(const CivilDate&) const = default;
};

// year × 416 + month × 32 + day, computed in 64 bits and clamped to the range
// of std::int32_t, so absurd years saturate instead of overflowing.
std::int32_t PackDate(int year, int month, int day);
inline std::int32_t PackDate(const CivilDate& date) { return PackDate(date.year, date.month, date.day); }

// year = packed / 416, month = (packed mod 416) / 32, day = packed mod 32,
// with C's truncating division (a negative value gives non-positive fields).
CivilDate UnpackDate(std::int32_t packed);

// "%04d-%02d-%02d" of the unpacked fields: 836809 gives "2011-07-09".
std::string FormatPackedDate(std::int32_t packed);

// The packed date of a broken-down local time (tm_year + 1900, tm_mon + 1,
// tm_mday).
std::int32_t PackedDateOf(const std::tm& local);

// ---------------------------------------------------------------------------
// Seconds of the day: hours × 3600 + minutes × 60 + seconds, 0..86399 for a
// real time of day (86400 during a leap second).

inline constexpr int kSecondsPerDay = 86400;

int SecondsOfDay(int hours, int minutes, int seconds);  // clamped to the int range like PackDate
int SecondsOfDayOf(const std::tm& local);

// "%02d%c%02d%c%02d" of hours = value / 3600, minutes = (value mod 3600) / 60,
// seconds = value mod 60 with `separator` between them: 45296 with ':' gives
// "12:34:56". Values of a day or more give hours of 24 and above; negative
// values give negative fields, as C's division does.
std::string FormatSecondsOfDay(int value, char separator);

// The local date and time of one clock reading, so that both halves agree
// across midnight.
struct LocalStamp {
  std::int32_t date = 0;  // packed date
  int seconds = 0;        // seconds of the day
};

// Local time (the C library's time zone rules) of `when`. A time that the C
// library cannot convert gives {0, 0}.
LocalStamp LocalStampOf(std::time_t when);

// Reads the clock.
LocalStamp LocalNow();
std::int32_t TodayPacked();
int SecondsOfDayNow();

// ---------------------------------------------------------------------------
// Angles, in radians.

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// Brings an angle into [0, 2π): remainder by 2π, plus 2π when negative. A
// tiny negative angle whose sum would round up to 2π gives 0. Infinity and
// NaN give NaN.
double NormalizeAngle(double radians);

// Signed turn from `a` to `b` in (−π, π]: both are normalised first, then
// b − a is brought into range by adding or subtracting 2π. NaN in, NaN out.
double AngleDifference(double a, double b);

// Mean direction of two angles in [0, 2π): the inputs are normalised, then
// (a + b) / 2 with 2π taken off the sum first when |a − b| is π or more, so
// 350° and 10° give 0°, not 180°. For angles exactly π apart the result is
// the one of the two perpendicular directions this rule yields.
double AngleMean(double a, double b);

// ---------------------------------------------------------------------------
// URL encoding of query values, defined on UTF-16 code units: ASCII letters
// and digits and the characters . * _ < > / " stay as they are, a space
// becomes '+', every other unit becomes '%' followed by its value in
// upper-case hex with at least two digits ("%FC" for ü, "%26" for '&',
// "%20AC" for €, "%D83D%DE00" for one character outside the basic plane).
// The result is plain ASCII.

std::string UrlEncode(std::u16string_view units);

// The UTF-8 text is first converted to UTF-16 (malformed bytes become U+FFFD,
// which encodes as "%FFFD").
std::string UrlEncode(std::string_view utf8);

// Writes the encoding into `out` of `capacity` bytes and keeps it
// zero-terminated after every unit. A unit whose encoding does not fit whole
// is not written, nor is anything after it. Returns the number of bytes
// written before the terminating zero; a capacity of 0 writes nothing and
// returns 0.
std::size_t UrlEncodeInto(std::u16string_view units, char* out, std::size_t capacity);

// ---------------------------------------------------------------------------
// Resolution scaling. Layouts are designed in 96-dpi units; screens wider or
// taller than 479 pixels count as 192 dpi (both axes), all others as 96.

inline constexpr int kDesignDpi = 96;
inline constexpr int kHighDpi = 192;
inline constexpr int kHighDpiThreshold = 479;  // pixels; above this on either axis is 192 dpi

int DpiForScreen(int widthPixels, int heightPixels);

// 96-dpi units to pixels: (|v| × dpi + 48) / 96 with the sign of v kept, so
// 3 units at 192 dpi are 6 pixels and at 96 dpi stay 3; −1 at 144 dpi is −2.
// A dpi of 0 or less counts as 96. Results beyond the int range saturate.
int ScaleToScreen(int value, int dpi);

// Pixels to 96-dpi units: (|v| × 96 + dpi / 2) / dpi with the sign of v kept,
// so 480 pixels at 192 dpi are 240 units and 5 pixels are 3 units. A dpi of 0
// or less counts as 96. Results beyond the int range saturate.
int ScaleToDesign(int value, int dpi);

struct ClientRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const ClientRect&) const = default;
};

enum class Orientation : int { Landscape = 0, Portrait = 1, Square = 2 };

Orientation OrientationOf(int widthPixels, int heightPixels);

// What the layout step derives from the screen (or main window) size: both
// dpi values, the full client rectangle in pixels, the same rectangle in
// 96-dpi units and the orientation. 480 × 640 gives 192 dpi, a low-resolution
// rectangle of 0,0,240,320 and Portrait.
struct ScreenLayout {
  int dpiX = kDesignDpi;
  int dpiY = kDesignDpi;
  ClientRect full{};
  ClientRect loRes{};
  Orientation orientation = Orientation::Square;
};

ScreenLayout LayoutForScreen(int widthPixels, int heightPixels);

}  // namespace rovana
