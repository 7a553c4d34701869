#include "lib/nmea/SentenceText.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace zenolith {
namespace {

// printf into a string. The common short texts stay on the stack; a wild
// double ("%.5f" of 1e300) gets a heap buffer of its exact size.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...) {
  char small[64];
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string out;
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
    out.assign(small, static_cast<std::size_t>(length));
  } else if (length > 0) {
    out.resize(static_cast<std::size_t>(length));
    std::vsnprintf(out.data(), out.size() + 1, format, again);
  }
  va_end(again);
  return out;
}

// Degrees, whole minutes and decimal minutes after the 0.0005-second rounding
// and its carries. Wide integers so that a carry out of INT_MAX cannot overflow.
struct RoundedAngle {
  long long degrees;
  long long minutes;
  double decimalMinutes;
};

RoundedAngle Round(int degrees, int minutes, double seconds) {
  RoundedAngle r{degrees, minutes, 0.0};
  seconds += 0.0005;
  if (seconds >= 60.0) {
    ++r.minutes;
    seconds = 0.0;
    if (r.minutes == 60) {
      r.minutes = 0;
      ++r.degrees;
    }
  }
  r.decimalMinutes = seconds / 60.0 + static_cast<double>(r.minutes);
  return r;
}

const UtcTime& Or(const std::optional<UtcTime>& utc, UtcTime& now) {
  if (utc) return *utc;
  now = CurrentUtc();
  return now;
}

}  // namespace

UtcTime CurrentUtc() {
  std::timespec ts{};
  std::timespec_get(&ts, TIME_UTC);
  std::tm tm{};
  const std::time_t seconds = ts.tv_sec;
  gmtime_r(&seconds, &tm);
  return UtcTime{tm.tm_year + 1900, tm.tm_mon + 1,  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                 static_cast<int>(ts.tv_nsec / 1000000)};
}

// A leading "0" before the decimal minutes keeps two minute digits: "%.5f" of
// 7.03801 is only "7.03801".
std::string NmeaLatitudeText(int degrees, int minutes, double seconds) {
  const RoundedAngle r = Round(degrees, minutes, seconds);
  return r.minutes < 10 ? Format("%02lld0%.5f", r.degrees, r.decimalMinutes)
                        : Format("%02lld%.5f", r.degrees, r.decimalMinutes);
}

std::string NmeaLongitudeText(int degrees, int minutes, double seconds) {
  const RoundedAngle r = Round(degrees, minutes, seconds);
  return r.minutes < 10 ? Format("%03lld0%.5f", r.degrees, r.decimalMinutes)
                        : Format("%03lld%.5f", r.degrees, r.decimalMinutes);
}

std::string_view LatitudeHemisphere(double latitude) { return latitude >= 0.0 ? "N" : "S"; }
std::string_view LongitudeHemisphere(double longitude) { return longitude >= 0.0 ? "E" : "W"; }

std::string NmeaTimeText(const std::optional<UtcTime>& utc) {
  UtcTime now;
  const UtcTime& t = Or(utc, now);
  return Format("%02d%02d%02d", t.hour, t.minute, t.second);
}

std::string NmeaDateText(const std::optional<UtcTime>& utc) {
  UtcTime now;
  const UtcTime& t = Or(utc, now);
  const int year = (t.year % 100 + 100) % 100;  // never negative, also for odd years
  return Format("%02d%02d%02d", t.day, t.month, year);
}

std::string DisplayTimeText(const std::optional<UtcTime>& utc) {
  UtcTime now;
  const UtcTime& t = Or(utc, now);
  return Format("%02d:%02d.%02d", t.hour, t.minute, t.second);
}

}  // namespace zenolith
