// The texts that the sentence writers put into NMEA 0183 fields: coordinates
// as ddmm.mmmmm / dddmm.mmmmm with their hemisphere letters, and UTC time and
// date. Also the UTC value that every decoded object carries.
//
// All functions are total: any input (negative, out of range, NaN) gives some
// bounded text and never fails.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zenolith {

// A UTC value as decoded from NMEA fields. A value decoded from a time field
// alone has year, month and day 0. Fields are not range-checked.
struct UtcTime {
  int year = 0;   // four digits (2024), or 0 without a date
  int month = 0;  // 1 to 12, or 0 without a date
  int day = 0;    // 1 to 31, or 0 without a date
  int hour = 0, minute = 0, second = 0;
  int millisecond = 0;  // 0 to 999
  friend bool operator==(const UtcTime&, const UtcTime&) = default;
};

// The system clock as a UTC value, with the date and milliseconds.
UtcTime CurrentUtc();

// Latitude of `degrees` whole degrees, `minutes` whole minutes and `seconds`
// seconds (of the absolute value) as "ddmm.mmmmm": 0.0005 s is added to the
// seconds first, 60 seconds carry into the minutes and 60 minutes into the
// degrees; the whole minutes always take two digits ("4807.03801").
std::string NmeaLatitudeText(int degrees, int minutes, double seconds);
// The same for a longitude with three degree digits ("01131.00000").
std::string NmeaLongitudeText(int degrees, int minutes, double seconds);

// "N" for a latitude of 0 or more, else "S" (also for NaN).
std::string_view LatitudeHemisphere(double latitude);
// "E" for a longitude of 0 or more, else "W" (also for NaN).
std::string_view LongitudeHemisphere(double longitude);

// "hhmmss" of the value, without fraction; the current UTC when there is none.
std::string NmeaTimeText(const std::optional<UtcTime>& utc);
// "ddmmyy" of the value (year modulo 100); the current UTC when there is none.
std::string NmeaDateText(const std::optional<UtcTime>& utc);
// "hh:mm.ss" of the value, for display; the current UTC when there is none.
std::string DisplayTimeText(const std::optional<UtcTime>& utc);

}  // namespace zenolith
