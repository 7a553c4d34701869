#include "lib/nmea/SentenceRecords.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <numbers>

namespace zenolith {
namespace {

constexpr double kDegreesToRadians = std::numbers::pi / 180.0;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A double truncated to int, clamped so that garbage fields cannot overflow.
int TruncToInt(double v) {
  if (!std::isfinite(v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

// ------------------------------------------------------------ field readers

double ParseReal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t start = i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  const std::size_t mantissaEnd = i;
  // An exponent counts only when digits follow it ("12e" reads 12).
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  // The fields of a receiver: at most 15 digits and no exponent. The digits
  // as an integer are exact in a double, and so is 10^k up to 10^22, so one
  // division gives the correctly rounded value from_chars would give.
  if (i == mantissaEnd && digits <= 15) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::int64_t mantissa = 0;
    std::size_t decimals = 0;
    bool fraction = false;
    for (std::size_t k = start; k < mantissaEnd; ++k) {
      if (text[k] == '.') {
        fraction = true;
        continue;
      }
      mantissa = mantissa * 10 + (text[k] - '0');
      decimals += fraction;
    }
    const double value = static_cast<double>(mantissa) / kPowers[decimals];
    return negative ? -value : value;
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data() + start, text.data() + i, value);
  if (ec != std::errc() || end != text.data() + i || !std::isfinite(value)) return 0;
  return negative ? -value : value;
}

std::int32_t ParseInt32(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) {  // saturate, as strtol does, instead of overflowing
      value = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
      break;
    }
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

double FieldReal(const NmeaSentence& sentence, int index) { return ParseReal(sentence.Field(index).value_or("")); }
std::int32_t FieldInt32(const NmeaSentence& sentence, int index) { return ParseInt32(sentence.Field(index).value_or("")); }
std::int16_t FieldInt16(const NmeaSentence& sentence, int index) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(FieldInt32(sentence, index))));
}
char FieldFirst(const NmeaSentence& sentence, int index) {
  const std::string_view text = sentence.Field(index).value_or("");
  return text.empty() ? '\0' : text.front();
}

// The 0.000005 keeps 235959.999 at 999 ms although the double sits just below.
UtcTime DecodeTime(double v) {
  UtcTime utc;
  utc.hour = TruncToInt(v * 0.0001);
  utc.minute = TruncToInt(v * 0.01) % 100;
  const double rest = v - utc.hour * 10000.0 - utc.minute * 100.0;
  utc.second = TruncToInt(rest);
  utc.millisecond = TruncToInt((rest - utc.second) * 1000 + 0.000005);
  return utc;
}

void DecodeDate(std::int32_t a, UtcTime& utc) {
  utc.day = a / 10000;
  utc.month = (a / 100) % 100;
  const int yy = a % 100;
  utc.year = yy < 80 ? 2000 + yy : 1900 + yy;
}

// 4807.038 is 48 degrees 7 minutes and 0.038 * 60 = 2.28 seconds. Integer
// division of the whole part is done in doubles so garbage cannot overflow.
// A field no receiver could send (minutes of 60 or more, more than 90 or 180
// degrees, a number that is not finite) makes the whole place impossible:
// "9999.999" would otherwise become a latitude of 100.67 degrees.
std::optional<Place> DecodePlace(const NmeaSentence& sentence, int first) {
  const auto angle = [&](int index, double limit) -> std::optional<double> {
    const double v = FieldReal(sentence, index);
    if (!std::isfinite(v)) return std::nullopt;
    const double n = std::trunc(v);
    const double degrees = std::trunc(n / 100);
    const double minutes = n - degrees * 100;
    const double seconds = (v - n) * 60;
    if (std::fabs(minutes) >= 60) return std::nullopt;
    const double angleDegrees = minutes / 60 + degrees + seconds / 3600;
    if (std::fabs(angleDegrees) > limit) return std::nullopt;
    return angleDegrees * kDegreesToRadians;
  };
  const std::optional<double> latitude = angle(first, 90);
  const std::optional<double> longitude = angle(first + 2, 180);
  if (!latitude || !longitude) return std::nullopt;
  Place place;
  place.latitude = *latitude;
  if (FieldFirst(sentence, first + 1) == 'S') place.latitude = -place.latitude;
  place.longitude = *longitude;
  if (FieldFirst(sentence, first + 3) == 'W') place.longitude = -place.longitude;
  return place;
}

// ---------------------------------------------------------------------- GGA

// $GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000*7D
//   1  030719.000   UTC time hhmmss.sss
//   2  3747.0873    latitude ddmm.mmmm      3  S  hemisphere
//   4  17518.8938   longitude dddmm.mmmm    5  E  hemisphere
//   6  1            fix quality: 0 invalid; anything else (also empty) valid
//   7  08           satellites in view      8  1.1  HDOP
//   9  59.9         altitude above mean sea level, metres (10 "M")
//   11 23.7         geoid separation, metres (12 "M"); 13, 14 DGPS age and station
GgaRecord ParseGga(const NmeaSentence& s) {
  GgaRecord gga;
  const std::optional<Place> decoded = DecodePlace(s, 2);
  gga.place = decoded.value_or(Place{});
  gga.place.aboveSeaLevel = FieldReal(s, 9);
  gga.place.datumHeight = gga.place.aboveSeaLevel + FieldReal(s, 11);
  gga.valid = decoded && FieldFirst(s, 6) != '0';
  gga.utc = DecodeTime(FieldReal(s, 1));
  gga.satellitesInView = FieldInt16(s, 7);
  gga.hdop = FieldReal(s, 8);
  return gga;
}

// ---------------------------------------------------------------------- GLL

// $GPGLL,5155.55442,N,00434.65873,E,083723.00,A,A*6E
//   1  5155.55442   latitude ddmm.mmmmm     2  N  hemisphere
//   3  00434.65873  longitude dddmm.mmmmm   4  E  hemisphere
//   5  083723.00    UTC time hhmmss.ss
//   6  A            status: A valid, anything else invalid; 7 mode (NMEA 2.3)
GllRecord ParseGll(const NmeaSentence& s) {
  GllRecord gll;
  const std::optional<Place> place = DecodePlace(s, 1);
  gll.place = place.value_or(Place{});
  gll.valid = place && FieldFirst(s, 6) == 'A';
  gll.utc = DecodeTime(FieldReal(s, 5));
  return gll;
}

// ---------------------------------------------------------------------- RMC

// $GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28
//   1  125106     UTC time hhmmss(.sss)
//   2  V          status: A valid, anything else invalid
//   3  3854.5087  latitude     4  N  hemisphere
//   5  07726.4523 longitude    6  W  hemisphere
//   7  0.0        speed over ground, knots
//   8  0.0        track made good, degrees true
//   9  241011     UTC date ddmmyy
//   10 10.5       magnetic variation, degrees   11  W  (west is negative)
//   12 S          mode (NMEA 2.3), not used
RmcRecord ParseRmc(const NmeaSentence& s) {
  RmcRecord rmc;
  rmc.utc = DecodeTime(FieldReal(s, 1));
  DecodeDate(FieldInt32(s, 9), rmc.utc);
  const std::optional<Place> place = DecodePlace(s, 3);
  rmc.place = place.value_or(Place{});
  rmc.valid = place && FieldFirst(s, 2) == 'A';
  rmc.knots = FieldReal(s, 7);
  rmc.heading = FieldReal(s, 8);
  rmc.magneticVariation = FieldReal(s, 10);
  if (FieldFirst(s, 11) == 'W') rmc.magneticVariation = -rmc.magneticVariation;
  return rmc;
}

// ---------------------------------------------------------------------- VTG

// $GPVTG,0.0,T,10.5,M,0.0,N,0.0,K*7A
//   1  0.0   track made good, degrees true   2  T  (anything else: invalid)
//   3  10.5  track made good, degrees magnetic; 0 or empty: no variation
//   4  M
//   5  0.0   speed over ground, knots        6  N
//   7  0.0   speed over ground, km/h (not read; derived from knots)   8  K
// Magnetic variation = true track - magnetic track, so 0.0 T and 10.5 M give
// -10.5 (10.5 degrees west), as the RMC of the same receiver reports.
VtgRecord ParseVtg(const NmeaSentence& s) {
  VtgRecord vtg;
  vtg.heading = FieldReal(s, 1);
  vtg.valid = FieldFirst(s, 2) == 'T';
  vtg.knots = FieldReal(s, 5);
  const double magneticTrack = FieldReal(s, 3);
  if (magneticTrack != 0) vtg.magneticVariation = vtg.heading - magneticTrack;
  return vtg;
}

// ---------------------------------------------------------------------- GSA

// $GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5*33
//   1  A        selection mode: A automatic, M manual
//   2  3        fix: 1 none, 2 2D, 3 3D (not used: FixType comes from GGA/RMC/GLL)
//   3-14        IDs of the satellites used for the fix, empty when unused
//   15 1.8 PDOP   16 1.1 HDOP   17 1.5 VDOP
GsaRecord ParseGsa(const NmeaSentence& s) {
  GsaRecord gsa;
  for (int slot = 0; slot < GsaRecord::kSlots; ++slot) gsa.used[slot] = FieldInt16(s, 3 + slot);
  gsa.pdop = FieldReal(s, 15);
  gsa.hdop = FieldReal(s, 16);
  gsa.vdop = FieldReal(s, 17);
  return gsa;
}

// ---------------------------------------------------------------------- GSV

// $GPGSV,3,1,12,17,72,207,32,28,59,095,31,06,35,347,25,01,29,132,23*7B
//   1  3   messages in this cycle     2  1   number of this message
//   3  12  satellites in view (not used: the list counts itself)
//   4-7    ID, elevation (degrees), azimuth (degrees), SNR (dB, empty when
//          not tracked); further blocks of four follow, the last may be short
// A block begins at every field 4, 8, ... below FieldsCount.
GsvRecord ParseGsv(const NmeaSentence& s) {
  GsvRecord gsv;
  gsv.messages = FieldInt16(s, 1);
  gsv.number = FieldInt16(s, 2);
  gsv.blocks = s.FieldsCount() > 4 ? (s.FieldsCount() - 1) / 4 : 0;
  return gsv;
}

GsvSatellite ParseGsvSatellite(const NmeaSentence& s, int block) {
  const int k = 4 + 4 * block;
  GsvSatellite satellite;
  satellite.id = FieldInt16(s, k);
  satellite.elevation = FieldInt16(s, k + 1);
  satellite.azimuth = FieldInt16(s, k + 2);
  satellite.snr = FieldInt16(s, k + 3);
  return satellite;
}

}  // namespace zenolith
