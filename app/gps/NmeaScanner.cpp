#include "app/gps/NmeaScanner.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>

namespace rovana {

namespace {

// The data of one sentence split into fields once; a field beyond the last
// or an empty one reads as absent. Each field is cut to kFieldSize - 1
// characters, the most the reference reader copies.
class Fields {
 public:
  static constexpr std::size_t kMaxFields = 64;  // 255 data characters hold at most 128; later ones read as absent

  explicit Fields(std::string_view data) {
    std::size_t start = 0;
    for (;;) {
      std::size_t end = start;
      while (end < data.size() && data[end] != ',' && data[end] != '*') ++end;
      if (count_ < kMaxFields) fields_[count_++] = data.substr(start, std::min(end - start, NmeaScanner::kFieldSize - 1));
      if (end >= data.size() || data[end] == '*') break;
      start = end + 1;
    }
  }

  std::string_view operator[](int n) const {
    return n >= 0 && static_cast<std::size_t>(n) < count_ ? fields_[static_cast<std::size_t>(n)] : std::string_view();
  }
  bool Has(int n) const { return !(*this)[n].empty(); }
  char First(int n, char absent) const { return Has(n) ? (*this)[n].front() : absent; }

 private:
  std::array<std::string_view, kMaxFields> fields_{};
  std::size_t count_ = 0;
};

// Decimal text as the C library's atoi/atof read it in the C locale: the
// longest number at the start (a leading '+' allowed), 0 when there is none.
std::string_view SkipSpaceAndPlus(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return text;
}

long Int(std::string_view text) {
  text = SkipSpaceAndPlus(text);
  long value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

double Double(std::string_view text) {
  text = SkipSpaceAndPlus(text);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

double DoubleOr0(const Fields& f, int n) { return f.Has(n) ? Double(f[n]) : 0; }
long IntOr(const Fields& f, int n, long absent) { return f.Has(n) ? Int(f[n]) : absent; }

// ddmm.mmmm (latitude, 2 degree digits) or dddmm.mmmm (longitude, 3), signed
// by the hemisphere field after it. A field shorter than its degree digits is
// absent: there is no angle in it.
std::optional<double> Coordinate(const Fields& f, int n, std::size_t degreeDigits) {
  const std::string_view text = f[n];
  if (text.size() < degreeDigits) return std::nullopt;
  double value = static_cast<double>(Int(text.substr(0, degreeDigits))) + Double(text.substr(degreeDigits)) / 60.0;
  const char hemisphere = f.First(n + 1, 'N');
  if (hemisphere == 'S' || hemisphere == 'W') value = -value;
  return value;
}

void SetCoordinate(const Fields& f, int n, std::size_t degreeDigits, double& out) {
  if (auto value = Coordinate(f, n, degreeDigits)) out = *value;
}

struct Triple {
  std::uint8_t a, b, c;
};

// hhmmss or ddmmyy in pairs (a fraction after them is dropped); a field of
// fewer than six characters is absent.
std::optional<Triple> Pairs(std::string_view text) {
  if (text.size() < 6) return std::nullopt;
  return Triple{static_cast<std::uint8_t>(Int(text.substr(0, 2))), static_cast<std::uint8_t>(Int(text.substr(2, 2))),
                static_cast<std::uint8_t>(Int(text.substr(4, 2)))};
}

template <typename Part>
void SetTime(const Fields& f, int n, Part& part) {
  if (auto t = Pairs(f[n])) {
    part.hour = t->a;
    part.minute = t->b;
    part.second = t->c;
  }
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
//   0 time  1,2 latitude  3,4 longitude  5 fix quality  6 satellites used
//   7 HDOP  8 altitude (9 unit, 10 geoid separation, ... not read)
// An absent field keeps the old value.
void DecodeGga(const Fields& f, GpsData& d) {
  GgaPart& g = d.gga;
  SetTime(f, 0, g);
  SetCoordinate(f, 1, 2, g.latitude);
  SetCoordinate(f, 3, 3, g.longitude);
  if (f.Has(5)) g.fixQuality = static_cast<std::uint8_t>(f[5].front() - '0');
  if (f.Has(6)) g.satellitesUsed = static_cast<std::uint8_t>(Int(f[6].substr(0, 2)));
  if (f.Has(7)) g.hdop = Double(f[7]);
  if (f.Has(8)) g.altitude = Double(f[8]);
  ++g.count;
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39
//   0 mode  1 fix type  2..13 satellites used  14 PDOP  15 HDOP  16 VDOP
// Absent satellites and DOPs give 0; an absent mode or fix type keeps the old one.
void DecodeGsa(const Fields& f, GpsData& d) {
  GsaPart& g = d.gsa;
  if (f.Has(0)) g.mode = f[0].front();
  if (f.Has(1)) g.fixType = static_cast<std::uint8_t>(f[1].front() - '0');
  for (std::size_t i = 0; i < kFixSatellites; ++i)
    g.satellites[i] = static_cast<std::uint16_t>(IntOr(f, static_cast<int>(2 + i), 0));
  g.pdop = DoubleOr0(f, 14);
  g.hdop = DoubleOr0(f, 15);
  g.vdop = DoubleOr0(f, 16);
  ++g.count;
}

// $GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75
//   0 messages (1..8)  1 this message (1..9)  2 satellites in view
//   3+4i..6+4i for i = 0..3: number, elevation, azimuth, SNR
// Message m fills entries (m - 1) x 4 to (m - 1) x 4 + 3; entries of earlier
// cycles stay. Numbers out of range drop the whole sentence (no count).
bool DecodeGsv(const Fields& f, GpsData& d) {
  if (!f.Has(0) || !f.Has(1)) return false;
  const long messages = Int(f[0]);
  const long message = Int(f[1]);
  if (messages < 0 || messages > 9 || message < 0 || message > 9) return false;
  if (messages < 1 || messages > 8 || message < 1) return false;
  GsvPart& g = d.gsv;
  // A receiver may claim more satellites than the table holds; the count
  // never says more than there are entries for.
  g.inView = static_cast<std::uint16_t>(std::clamp<long>(IntOr(f, 2, 0), 0, static_cast<long>(kMaxSatellites)));
  for (int i = 0; i < 4; ++i) {
    GpsSatellite& s = g.satellites[static_cast<std::size_t>((message - 1) * 4 + i)];
    const int base = 3 + 4 * i;
    s.number = static_cast<std::uint16_t>(IntOr(f, base, 0));
    s.elevation = static_cast<std::uint16_t>(IntOr(f, base + 1, 0));
    s.azimuth = static_cast<std::uint16_t>(IntOr(f, base + 2, 0));
    s.snr = static_cast<std::uint16_t>(IntOr(f, base + 3, 0));
    const auto& used = d.gsa.satellites;
    s.used = s.number != 0 && std::find(used.begin(), used.end(), s.number) != used.end() ? 1 : 0;
  }
  ++g.count;
  return true;
}

// $GPRMB,A,0.66,L,003,004,4917.24,N,12309.57,W,001.3,052.5,000.5,V*20
//   0 status  1 cross-track error  2 steer  3 origin  4 destination
//   5,6 destination latitude  7,8 destination longitude  9 range
//   10 bearing  11 closing velocity  12 arrival
void DecodeRmb(const Fields& f, GpsData& d) {
  RmbPart& r = d.rmb;
  r.status = f.First(0, 'V');
  r.crossTrackError = DoubleOr0(f, 1);
  r.steer = f.First(2, '?');
  r.origin = std::string(f[3]);
  r.destination = std::string(f[4]);
  SetCoordinate(f, 5, 2, r.destinationLatitude);
  SetCoordinate(f, 7, 3, r.destinationLongitude);
  r.range = DoubleOr0(f, 9);
  r.bearing = DoubleOr0(f, 10);
  r.closingVelocity = DoubleOr0(f, 11);
  r.arrival = f.First(12, 'V');
  ++r.count;
}

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A
//   0 time  1 status  2,3 latitude  4,5 longitude  6 speed (knots)
//   7 course  8 date ddmmyy  9 magnetic variation  10 its direction
void DecodeRmc(const Fields& f, GpsData& d) {
  RmcPart& r = d.rmc;
  SetTime(f, 0, r);
  r.status = f.First(1, 'V');
  SetCoordinate(f, 2, 2, r.latitude);
  SetCoordinate(f, 4, 3, r.longitude);
  r.speed = DoubleOr0(f, 6);
  r.course = DoubleOr0(f, 7);
  if (auto date = Pairs(f[8])) {
    r.day = date->a;
    r.month = date->b;
    r.year = static_cast<std::uint16_t>(2000 + date->c);
  }
  r.magneticVariation = DoubleOr0(f, 9);
  if (f.First(10, 'E') == 'W') r.magneticVariation = -r.magneticVariation;
  ++r.count;
}

// $GPZDA,201530.00,04,07,2002,00,00*60
//   0 time  1 day  2 month  3 year (absent 1 each)  4 zone hours  5 zone minutes
void DecodeZda(const Fields& f, GpsData& d) {
  ZdaPart& z = d.zda;
  SetTime(f, 0, z);
  z.day = static_cast<std::uint8_t>(IntOr(f, 1, 1));
  z.month = static_cast<std::uint8_t>(IntOr(f, 2, 1));
  z.year = static_cast<std::uint16_t>(IntOr(f, 3, 1));
  z.zoneHours = static_cast<std::int8_t>(IntOr(f, 4, 0));
  z.zoneMinutes = static_cast<std::int8_t>(IntOr(f, 5, 0));
  ++z.count;
}

// Decoders that cannot refuse a sentence, and GSV, which can.
template <void (*Decode)(const Fields&, GpsData&)>
bool Always(const Fields& f, GpsData& d) {
  Decode(f, d);
  return true;
}

struct SentenceRow {
  std::string_view address;
  bool (*decode)(const Fields&, GpsData&);
};

constexpr std::array<SentenceRow, 6> kSentences = {{
    {"GPGGA", Always<DecodeGga>},
    {"GPGSA", Always<DecodeGsa>},
    {"GPGSV", DecodeGsv},
    {"GPRMB", Always<DecodeRmb>},
    {"GPRMC", Always<DecodeRmc>},
    {"GPZDA", Always<DecodeZda>},
}};

}  // namespace

void NmeaScanner::Feed(const char* bytes, std::size_t count) {
  if (bytes == nullptr) return;
  for (std::size_t i = 0; i < count; ++i) Step(static_cast<unsigned char>(bytes[i]));
}

void NmeaScanner::Reset() {
  data_ = GpsData{};
  step_ = 0;
  xor_ = 0;
  received_ = 0;
  length_ = 0;
  addressLength_ = 0;
}

void NmeaScanner::Step(unsigned char byte) {
  // A zero stands for a line end, which never belongs to a sentence: a line
  // the reader had to cut where the source paused goes on in the next one.
  if (byte == 0) return;
  switch (step_) {
    case 0:
      if (byte == '$') {
        xor_ = 0;
        length_ = 0;
        step_ = 1;
      }
      break;
    case 1:
      xor_ ^= byte;
      if (byte == ',' || byte == '*') {
        addressLength_ = length_;
        length_ = 0;
        step_ = 2;
      } else {
        address_[length_++] = static_cast<char>(byte);
        if (length_ >= kAddressSize) step_ = 0;
      }
      break;
    case 2:
      if (byte == '*') {
        step_ = 3;
      } else {
        xor_ ^= byte;
        buffer_[length_++] = static_cast<char>(byte);
        if (length_ >= kDataSize) step_ = 0;
      }
      break;
    case 3:
      received_ = static_cast<std::uint8_t>(byte * 16 - (byte > '9' ? 112 : 0));
      step_ = 4;
      break;
    default: {
      int low = -1;
      if (byte >= '0' && byte <= '9') low = byte - '0';
      if (byte >= 'A' && byte <= 'F') low = byte - 'A' + 10;
      if (low >= 0 && static_cast<std::uint8_t>(received_ + low) == xor_) {
        received_ = static_cast<std::uint8_t>(received_ + low);
        Handle();
      }
      step_ = 0;
      break;
    }
  }
}

void NmeaScanner::Handle() {
  const std::string_view data(buffer_, length_);
  const std::string_view address(address_, addressLength_);
  const Fields fields(data);
  bool counted = true;
  for (const SentenceRow& row : kSentences)
    if (row.address == address) {
      counted = row.decode(fields, data_);
      break;
    }
  if (counted) ++data_.total;
}

bool NmeaScanner::GetField(std::string_view data, int n, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  data = data.substr(0, data.find('\0'));
  const std::string_view field = Fields(data)[n];
  if (field.empty()) return false;
  const std::size_t length = std::min(field.size(), size - 1);
  std::memcpy(out, field.data(), length);
  out[length] = '\0';
  return true;
}

}  // namespace rovana
