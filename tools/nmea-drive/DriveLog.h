// A made-up but plausible drive as a receiver's raw NMEA output: a loop
// around a lake at town speeds with stops, one RMC and GGA a second and the
// satellites (GSA, three GSV) every fifth second, CR LF line ends. The same
// options give the same bytes on every run, so the demo log and the tests
// built on it are reproducible.
#pragma once

#include <cstdint>
#include <string>

namespace nmeadrive {

struct DriveOptions {
  double centreLatitude = 53.5665;   // degrees; the loop's centre
  double centreLongitude = 10.0055;  // degrees
  double radiusNorth = 1050;         // metres; half the loop's extent north-south
  double radiusEast = 520;           // metres; half its extent east-west
  int laps = 1;
  double cruiseKmh = 28;             // top speed between stops
  double stopEveryMetres = 900;      // a stop (traffic light) this often
  int stopSeconds = 15;
  int startSecondOfDay = 9 * 3600;   // UTC time of the first fix
  int day = 14, month = 6, year = 2026;
  std::uint32_t seed = 7;            // small wobble of speed and altitude
};

// The whole log. Starts with the receiver standing for five seconds, ends
// standing at the start.
std::string MakeDriveLog(const DriveOptions& options);

// "$" + body + "*" + two hex digits of the XOR of body + "\r\n".
std::string Sentence(const std::string& body);

}  // namespace nmeadrive
