// NMEA 0183 sentences read into plain records: values and flags only, no
// objects and no allocation. The decoder builds the objects a client
// receives (NmeaGGA, GpsFix, Movement, ...) from these records; the fuzz
// targets and the benchmark read sentences through them without any object.
//
// Reading never fails: a missing or malformed field reads as 0 or empty
// ('\0'), and a record of a sentence of another type holds whatever its
// fields give. Units: angles in radians, headings and magnetic variation in
// degrees (west negative), speeds in knots, altitudes in metres.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "lib/nmea/NmeaSentence.h"
#include "lib/nmea/SentenceText.h"

namespace zenolith {

// ------------------------------------------------------------ field readers

// Decimal text up to the first character that cannot continue the number
// (leading blanks skipped, "4807.038x" reads 4807.038); 0 for empty text and
// for anything that is no decimal number ("nan", "0x1A" reads 0).
double ParseReal(std::string_view text);
// The same for integers, saturated to the 32-bit range.
std::int32_t ParseInt32(std::string_view text);
// A field of `sentence`: absent fields read as empty (0, '\0').
double FieldReal(const NmeaSentence& sentence, int index);
std::int32_t FieldInt32(const NmeaSentence& sentence, int index);
std::int16_t FieldInt16(const NmeaSentence& sentence, int index);  // the low 16 bits of FieldInt32
char FieldFirst(const NmeaSentence& sentence, int index);

// hhmmss.sss as a real number; year, month and day stay 0.
UtcTime DecodeTime(double hhmmss);
// ddmmyy as an integer into `utc`: years below 80 are 20yy, else 19yy.
void DecodeDate(std::int32_t ddmmyy, UtcTime& utc);

// A position as decoded, before it becomes a Position object.
struct Place {
  double latitude = 0;       // radians, north positive
  double longitude = 0;      // radians, east positive
  double aboveSeaLevel = 0;  // metres above mean sea level
  double datumHeight = 0;    // metres above the ellipsoid
};
// Latitude, hemisphere, longitude, hemisphere from four fields starting at
// `first`: ddmm.mmmm read as degrees and minutes; "S" and "W" negate. Empty
// fields read as 0. Nullopt when either angle is impossible: minutes of 60 or
// more, beyond 90 degrees of latitude or 180 of longitude, or not finite; the
// records then say not valid, with the place of empty fields.
std::optional<Place> DecodePlace(const NmeaSentence& sentence, int first);

// ------------------------------------------------------------------ records

// GGA: UTC time (no date), place with both altitudes, fix quality.
struct GgaRecord {
  UtcTime utc;
  Place place;        // altitude above sea level from field 9, datum height adds field 11
  bool valid = false;  // a possible place and a fix quality other than "0"
  std::int16_t satellitesInView = 0;
  double hdop = 0;
};
GgaRecord ParseGga(const NmeaSentence& sentence);

// GLL: place and UTC time (no date); valid with status "A".
struct GllRecord {
  UtcTime utc;
  Place place;
  bool valid = false;
};
GllRecord ParseGll(const NmeaSentence& sentence);

// RMC: UTC time and date, place, speed, track and magnetic variation; valid
// with status "A".
struct RmcRecord {
  UtcTime utc;
  Place place;
  bool valid = false;
  double knots = 0;
  double heading = 0;            // track made good, degrees true
  double magneticVariation = 0;  // degrees, west negative
};
RmcRecord ParseRmc(const NmeaSentence& sentence);

// VTG: true track and speed; valid with "T" after the track.
struct VtgRecord {
  bool valid = false;
  double heading = 0;
  double knots = 0;
  double magneticVariation = 0;  // true minus magnetic track; 0 unless the magnetic track is given
};
VtgRecord ParseVtg(const NmeaSentence& sentence);

// GSA: the IDs of the satellites used for the fix (0 for an empty slot) and
// the dilutions of precision.
struct GsaRecord {
  static constexpr int kSlots = 12;
  std::int16_t used[kSlots] = {};
  double pdop = 0, hdop = 0, vdop = 0;
};
GsaRecord ParseGsa(const NmeaSentence& sentence);

// GSV: one message of a cycle. Its satellites come in blocks of four fields
// from field 4 on (the last block may be short); ParseGsvSatellite reads one.
struct GsvRecord {
  std::int16_t messages = 0;  // in this cycle
  std::int16_t number = 0;    // of this message
  int blocks = 0;             // blocks of satellites the message has room for
};
struct GsvSatellite {
  std::int16_t id = 0;  // 0: no satellite in this block
  std::int16_t elevation = 0, azimuth = 0, snr = 0;
};
GsvRecord ParseGsv(const NmeaSentence& sentence);
GsvSatellite ParseGsvSatellite(const NmeaSentence& sentence, int block);  // block 0 to blocks - 1

}  // namespace zenolith
