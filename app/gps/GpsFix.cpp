#include "app/gps/GpsFix.h"

#include <ctime>
#include <numbers>

#include "app/waypoints/GeoPoint.h"

namespace rovana {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kMetresPerSecondToKnots = 3.6 / kKnotsToKmh;

}  // namespace

LocalStamp LocalStampFromUtc(int year, int month, int day, int hour, int minute, int second) {
  std::tm utc{};
  utc.tm_year = year - 1900;
  utc.tm_mon = month - 1;
  utc.tm_mday = day;
  utc.tm_hour = hour;
  utc.tm_min = minute;
  utc.tm_sec = second;
  const std::time_t when = timegm(&utc);
  if (when == static_cast<std::time_t>(-1)) return {};
  return LocalStampOf(when);
}

LocalStamp StampOfTimeOfDay(int hour, int minute, int second, std::time_t now) {
  const std::time_t midnight = now - now % kSecondsPerDay;  // UTC midnight before `now`
  std::time_t when = midnight + SecondsOfDay(hour, minute, second);
  if (when - now > kSecondsPerDay / 2) when -= kSecondsPerDay;
  if (now - when > kSecondsPerDay / 2) when += kSecondsPerDay;
  return LocalStampOf(when);
}

LocalStamp FixStamp(const GpsData& data, std::time_t now) {
  const RmcPart& r = data.rmc;
  if (r.count > 0) return LocalStampFromUtc(r.year, r.month, r.day, r.hour, r.minute, r.second);
  // The RMC part was filled from GGA, which has no date.
  if (data.gga.count > 0) return StampOfTimeOfDay(r.hour, r.minute, r.second, now);
  return LocalStampOf(now);
}

void FillRmcFromGga(GpsData& data) {
  RmcPart& r = data.rmc;
  const GgaPart& g = data.gga;
  if (r.status == 'A') {
    const GeoPoint from(r.latitude * kDegToRad, r.longitude * kDegToRad);
    const GeoPoint to(g.latitude * kDegToRad, g.longitude * kDegToRad);
    int elapsed = SecondsOfDay(g.hour, g.minute, g.second) - SecondsOfDay(r.hour, r.minute, r.second);
    if (elapsed < 0) elapsed += kSecondsPerDay;
    r.speed = elapsed > 0 ? from.Distance(to) / elapsed * kMetresPerSecondToKnots : 0;
    r.course = from.Course(to) / kDegToRad;
  } else {
    r.speed = 0;
    r.course = 0;
  }
  r.status = g.fixQuality != 0 ? 'A' : 'V';
  r.hour = g.hour;
  r.minute = g.minute;
  r.second = g.second;
  r.latitude = g.latitude;
  r.longitude = g.longitude;
}

}  // namespace rovana
