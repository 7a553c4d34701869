// What the connection derives from the GpsData record for one fix: its time
// stamp, and the RMC part made up from GGA for receivers that send no RMC.
#pragma once

#include <cstdint>
#include <ctime>

#include "app/core/Utilities.h"
#include "app/gps/GpsData.h"

namespace rovana {

inline constexpr double kKnotsToKmh = 1.852;

// The local date and time of a UTC date and time, both from one source
// through the C library's time zone rules, so that a fix just after midnight
// UTC or local time carries the date that goes with its time. A date the C
// library cannot convert gives {0, 0}.
LocalStamp LocalStampFromUtc(int year, int month, int day, int hour, int minute, int second);

// The local stamp of a receiver's UTC time of day that comes without a date
// (GGA): on the UTC date that puts it within 12 hours of `now`, so that the
// stamps of successive fixes agree with each other and with later RMC dates.
LocalStamp StampOfTimeOfDay(int hour, int minute, int second, std::time_t now);

// The fix's stamp: from the RMC date and time when an RMC was decoded since
// the record was reset; else (the RMC part filled from GGA) the GGA's time of
// day on the nearest date; else `now`.
LocalStamp FixStamp(const GpsData& data, std::time_t now = std::time(nullptr));

// For a receiver that sends GGA but no RMC: the RMC part from the latest GGA.
// When the RMC part held a valid fix, speed (knots) and course (degrees) come
// from the spherical distance and bearing from that position to the new one
// over the seconds between their times of day (a new time of day smaller
// than the old one is on the next day; no time elapsed gives speed 0), else
// both are 0. Then status = "A" when the GGA has a fix ("V" otherwise), and
// time and position are the GGA's.
void FillRmcFromGga(GpsData& data);

}  // namespace rovana
