// GpsData: the latest values of each NMEA sentence the application decodes
// (GGA, GSA, GSV, RMB, RMC, ZDA), one part per sentence, each with a counter
// that grows by one per decoded sentence. Readers compare the counters with
// the values they saw before to tell what changed.
//
// Every member has its reset value as its initializer: `GpsData{}` is the
// record after a reset. Latitudes and longitudes are signed decimal degrees
// (south and west negative); times are UTC as the receiver sends them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace rovana {

inline constexpr std::size_t kMaxSatellites = 36;  // GSV entries: 9 messages of 4
inline constexpr std::size_t kFixSatellites = 12;  // GSA's satellites used in the fix

// One satellite of the GSV table (12 bytes, as the satellite dialog copies it).
struct GpsSatellite {
  std::uint32_t used = 0;  // 1 when listed among the last GSA's satellites
  std::uint16_t number = 0;
  std::uint16_t snr = 0;        // dB-Hz, 0 when not tracked
  std::uint16_t azimuth = 0;    // degrees
  std::uint16_t elevation = 0;  // degrees
};

struct GgaPart {
  std::uint8_t hour = 0, minute = 0, second = 0;
  double latitude = 0, longitude = 0;
  std::uint8_t fixQuality = 0;  // 0 no fix, 1 GPS, 2 DGPS, ...
  std::uint8_t satellitesUsed = 0;
  double hdop = 0;
  double altitude = 0;  // metres above mean sea level
  std::uint32_t count = 0;
};

struct GsaPart {
  char mode = 'M';            // M manual, A automatic 2D/3D
  std::uint8_t fixType = 1;   // 1 none, 2 2D, 3 3D
  std::array<std::uint16_t, kFixSatellites> satellites{};  // 0 = unused slot
  double pdop = 0, hdop = 0, vdop = 0;
  std::uint32_t count = 0;
};

struct GsvPart {
  std::uint16_t inView = 0;  // at most kMaxSatellites
  std::array<GpsSatellite, kMaxSatellites> satellites{};
  std::uint32_t count = 0;
};

struct RmbPart {
  char status = 'V';  // A active, V void
  double crossTrackError = 0;  // nautical miles
  char steer = '?';            // L or R
  std::string origin, destination;  // waypoint identifiers, at most 24 characters
  double destinationLatitude = 0, destinationLongitude = 0;
  double range = 0;            // nautical miles
  double bearing = 0;          // degrees true
  double closingVelocity = 0;  // knots
  char arrival = 'V';          // A arrived
  std::uint32_t count = 0;
};

struct RmcPart {
  std::uint8_t hour = 0, minute = 0, second = 0;
  char status = 'V';  // A valid fix, V warning
  double latitude = 0, longitude = 0;
  double speed = 0;   // knots
  double course = 0;  // degrees true
  std::uint8_t day = 1, month = 1;
  std::uint16_t year = 2000;
  double magneticVariation = 0;  // degrees, west negative
  std::uint32_t count = 0;
};

struct ZdaPart {
  std::uint8_t hour = 0, minute = 0, second = 0;
  std::uint8_t day = 1, month = 1;
  std::uint16_t year = 2000;
  std::int8_t zoneHours = 0, zoneMinutes = 0;
  std::uint32_t count = 0;
};

struct GpsData {
  GgaPart gga;
  GsaPart gsa;
  GsvPart gsv;
  RmbPart rmb;
  RmcPart rmc;
  ZdaPart zda;
  std::uint32_t total = 0;  // every sentence with a good checksum, supported or not
};

}  // namespace rovana
