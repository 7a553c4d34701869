// Field readers, UTC values, and the decoded sentences NmeaGGA, NmeaGLL,
// NmeaRMC and NmeaVTG with their decoders and writers.
#include <charconv>
#include <cmath>
#include <climits>
#include <mutex>
#include <numbers>

#include "lib/component/Identifiers.h"
#include "lib/component/LibraryLock.h"
#include "lib/geodesy/Position.h"
#include "lib/nmea/Decoded.h"

namespace zenolith {
namespace {

using Kind = com::MemberKind;

constexpr double kDegreesToRadians = std::numbers::pi / 180.0;
// A heading that "%.1f" would print as 360.0 is written as 0.0.
constexpr double kFullCircleHeading = 359.95;

// One row per unit of Movement.Speed and NmeaRMC.GroundSpeed.
struct SpeedUnit {
  int code;
  double fromKnots;
};
constexpr SpeedUnit kSpeedUnits[] = {
    {0, 1.0},               // knots
    {1, 0.51444341959472},  // metres per second
    {2, 1.85199631054099},  // kilometres per hour
    {3, 1.1507771555},      // miles per hour
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A double truncated to int, clamped so that garbage fields cannot overflow.
int TruncToInt(double v) {
  if (!std::isfinite(v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

com::Variant DateVariant(const std::optional<UtcTime>& utc) {
  return com::Variant::Date(utc ? UtcToDate(*utc) : com::DateValue{});
}

// Sets the command of a fresh sentence; a three-character command gives the
// talker "GP".
void Begin(NmeaSentence& out, std::string_view command) {
  ErrorRecord ignored;
  out.SetCommand(command, ignored);
}

void WriteHeading(NmeaSentence& out, int index, double heading) {
  if (heading >= kFullCircleHeading)
    out.SetField(index, std::string_view("0.0"));
  else
    out.SetField(index, heading, 1);
}

// A new sentence filled by `write`; null only when out of memory.
template <class Writer>
com::ComPtr<com::IDispatch> NewSentence(Writer&& write) {
  com::ComPtr<com::IDispatch> object;
  if (com::Failed(NmeaSentence::Create(IID_INmeaSentence, object.PutVoid()))) return {};
  if (NmeaSentence* sentence = NmeaSentence::From(object.get())) write(*sentence);
  return object;
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
  // An exponent counts only when digits follow it ("12e" reads 12).
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
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

double FieldReal(NmeaSentence& sentence, int index) { return ParseReal(sentence.Field(index).value_or("")); }
std::int32_t FieldInt32(NmeaSentence& sentence, int index) { return ParseInt32(sentence.Field(index).value_or("")); }
std::int16_t FieldInt16(NmeaSentence& sentence, int index) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(FieldInt32(sentence, index))));
}
char FieldFirst(NmeaSentence& sentence, int index) {
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

bool HasDate(const UtcTime& utc) { return utc.year != 0 || utc.month != 0 || utc.day != 0; }

com::DateValue UtcToDate(const UtcTime& utc) {
  com::CivilTime civil;  // 1899-12-30: date part 0
  civil.hour = utc.hour;
  civil.minute = utc.minute;
  civil.second = utc.second;
  civil.millisecond = utc.millisecond;
  com::DateValue date;
  if (HasDate(utc)) {
    com::CivilTime dated = civil;
    dated.year = utc.year;
    dated.month = utc.month;
    dated.day = utc.day;
    if (com::CivilToDate(dated, &date)) return date;
  }
  if (com::CivilToDate(civil, &date)) return date;
  return {};
}

long long UtcMilliseconds(const UtcTime& utc) {
  long long days = 0;
  if (utc.month >= 1 && utc.month <= 12 && utc.day >= 1 && utc.day <= 31) days = DaysFromCivil(utc.year, utc.month, utc.day);
  return days * 86'400'000LL + ((utc.hour * 60LL + utc.minute) * 60 + utc.second) * 1000 + utc.millisecond;
}

std::optional<double> KnotsTo(double knots, int unit) {
  for (const SpeedUnit& row : kSpeedUnits)
    if (row.code == unit) return knots * row.fromKnots;
  return std::nullopt;
}

// 4807.038 is 48 degrees 7 minutes and 0.038 * 60 = 2.28 seconds. Integer
// division of the whole part is done in doubles so garbage cannot overflow.
// A field no receiver could send (minutes of 60 or more, more than 90 or 180
// degrees, a number that is not finite) makes the whole place impossible:
// "9999.999" would otherwise become a latitude of 100.67 degrees.
std::optional<Place> DecodePlace(NmeaSentence& sentence, int first) {
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

com::ComPtr<com::IDispatch> MakePosition(const Place& place, std::int16_t datum) {
  com::ComPtr<com::IDispatch> object;
  if (com::Failed(Position::Create(IID_IPosition, object.PutVoid()))) return {};
  if (Position* position = Position::From(object.get())) {
    position->SetGeodetic(place.latitude, place.longitude, datum);
    position->SetAltitudes(place.aboveSeaLevel, place.datumHeight);
  }
  return object;
}

com::ComPtr<com::IDispatch> CopyPosition(com::IDispatch* position) {
  if (!position) return {};
  com::Variant copy;
  if (com::Failed(position->Invoke(21, com::kInvokeMethod, {}, &copy))) return {};  // IPosition.Copy
  com::ComPtr<com::IDispatch> result;
  copy.ToDispatch(&result);
  return result;
}

// ---------------------------------------------------------- decoded sentences

DecodedSentence::DecodedSentence(const com::IID& iid, std::string_view progId) : DispatchObject(iid, progId) {}

void DecodedSentence::Keep(com::IDispatch* sentence, bool valid, const UtcTime& utc, const Place& place,
                           std::int16_t datum) {
  sentence_ = com::ComPtr<com::IDispatch>(sentence);
  valid_ = valid;
  utc_ = utc;
  place_ = place;
  datum_ = datum;
  position_ = MakePosition(place, datum);
}

com::ComPtr<com::IDispatch> DecodedSentence::Sentence() {
  std::lock_guard lock(LibraryLock());
  if (modified_ || !sentence_) {
    com::ComPtr<com::IDispatch> written = NewSentence([this](NmeaSentence& out) { Write(out); });
    if (!written) return sentence_;
    sentence_ = std::move(written);
    modified_ = false;
  }
  return sentence_;
}

void DecodedSentence::set_valid(bool valid) {
  std::lock_guard lock(LibraryLock());
  valid_ = valid;
  Touch();
}

void DecodedSentence::set_utc(const UtcTime& utc) {
  std::lock_guard lock(LibraryLock());
  utc_ = utc;
  Touch();
}

void DecodedSentence::set_place(const Place& place, std::int16_t datum) {
  std::lock_guard lock(LibraryLock());
  place_ = place;
  datum_ = datum;
  position_ = MakePosition(place, datum);
  Touch();
}

// The texts come from the same numbers as the Position object: its latitude
// as given, its longitude brought into -pi..pi, degrees-minutes-seconds as
// the position caches them.
void DecodedSentence::WritePlace(NmeaSentence& out, int first) const {
  if (!position_) {
    out.SetField(first, std::string_view("0000.00000"));
    out.SetField(first + 1, std::string_view("N"));
    out.SetField(first + 2, std::string_view("00000.00000"));
    out.SetField(first + 3, std::string_view("E"));
    return;
  }
  const double longitude = NormaliseLongitude(place_.longitude);
  const Dms lat = LatitudeDms(place_.latitude);
  const Dms lon = LongitudeDms(longitude);
  out.SetField(first, NmeaLatitudeText(lat.degrees, lat.minutes, lat.seconds));
  out.SetField(first + 1, LatitudeHemisphere(place_.latitude));
  out.SetField(first + 2, NmeaLongitudeText(lon.degrees, lon.minutes, lon.seconds));
  out.SetField(first + 3, LongitudeHemisphere(longitude));
}

void DecodedSentence::GetPosition(Invocation& call) {
  call.result = com::Variant::Dispatch(CopyPosition(position_.get()).get());
}
void DecodedSentence::GetValid(Invocation& call) { call.result = com::Variant::Bool(valid_); }
void DecodedSentence::GetUtc(Invocation& call) { call.result = DateVariant(utc_); }

// ---------------------------------------------------------------------- GGA

// $GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000*7D
//   1  030719.000   UTC time hhmmss.sss
//   2  3747.0873    latitude ddmm.mmmm      3  S  hemisphere
//   4  17518.8938   longitude dddmm.mmmm    5  E  hemisphere
//   6  1            fix quality: 0 invalid; anything else (also empty) valid
//   7  08           satellites in view      8  1.1  HDOP
//   9  59.9         altitude above mean sea level, metres (10 "M")
//   11 23.7         geoid separation, metres (12 "M"); 13, 14 DGPS age and station
NmeaGGA::NmeaGGA() : DecodedSentence(IID_INmeaGGA, "ZenolithCE.NmeaGGA") {}

com::ComPtr<NmeaGGA> NmeaGGA::Decode(com::IDispatch* sentence, std::int16_t datum) {
  com::ComPtr<NmeaGGA> gga = com::ComPtr<NmeaGGA>::Adopt(new (std::nothrow) NmeaGGA());
  if (!gga) return gga;
  NmeaSentence* s = NmeaSentence::From(sentence);
  if (!s) {
    gga->Keep(sentence, false, UtcTime{}, Place{}, datum);
    return gga;
  }
  const std::optional<Place> decoded = DecodePlace(*s, 2);
  Place place = decoded.value_or(Place{});
  place.aboveSeaLevel = FieldReal(*s, 9);
  place.datumHeight = place.aboveSeaLevel + FieldReal(*s, 11);
  const bool valid = decoded && FieldFirst(*s, 6) != '0';
  gga->Keep(sentence, valid, DecodeTime(FieldReal(*s, 1)), place, datum);
  gga->satellitesInView_ = FieldInt16(*s, 7);
  gga->hdop_ = FieldReal(*s, 8);
  return gga;
}

void NmeaGGA::Write(NmeaSentence& out) const {
  Begin(out, "GGA");
  out.SetField(1, NmeaTimeText(utc()));
  WritePlace(out, 2);
  out.SetField(6, std::string_view(valid() ? "1" : "0"));
  out.SetField(7, static_cast<std::int32_t>(satellitesInView_));
  out.SetField(8, hdop_, 1);
  if (has_position()) {
    out.SetField(9, place().aboveSeaLevel, 1);
    out.SetField(11, place().datumHeight - place().aboveSeaLevel, 1);
  } else {
    out.SetField(9, std::string_view("0.0"));
    out.SetField(11, std::string_view("0.0"));
  }
  out.SetField(10, std::string_view("M"));
  out.SetField(12, std::string_view("M"));
  out.SetField(13, std::string_view(""));
  out.SetField(14, std::string_view(""));
}

void NmeaGGA::set_satellites_in_view(std::int16_t count) {
  std::lock_guard lock(LibraryLock());
  satellitesInView_ = count;
  Touch();
}

void NmeaGGA::set_hdop(double hdop) {
  std::lock_guard lock(LibraryLock());
  hdop_ = hdop;
  Touch();
}

const MemberRow<NmeaGGA> NmeaGGA::kMembers[5] = {
    {1, Kind::PropGet, &NmeaGGA::GetPosition},         {2, Kind::PropGet, &NmeaGGA::GetValid},
    {3, Kind::PropGet, &NmeaGGA::GetUtc},              {4, Kind::PropGet, &NmeaGGA::GetSatellitesInView},
    {5, Kind::PropGet, &NmeaGGA::GetHdop},
};

com::HRESULT NmeaGGA::Create(const com::IID& iid, void** object) { return CreateInstanceOf<NmeaGGA>(iid, object); }

NmeaGGA* NmeaGGA::From(com::IDispatch* object) {
  void* self = nullptr;
  if (!object || com::Failed(object->QueryInterface(IID_NmeaGGAObject, &self))) return nullptr;
  return static_cast<NmeaGGA*>(self);
}

com::HRESULT NmeaGGA::QueryExtra(const com::IID& iid, void** object) {
  if (iid != IID_NmeaGGAObject) return com::E_NOINTERFACE;
  *object = this;  // internal access only: no reference is handed out
  return com::S_OK;
}

com::HRESULT NmeaGGA::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<NmeaGGA>(this, kMembers, call);
}

void NmeaGGA::GetSatellitesInView(Invocation& call) { call.result = com::Variant::I2(satellitesInView_); }
void NmeaGGA::GetHdop(Invocation& call) { call.result = com::Variant::R8(hdop_); }

// ---------------------------------------------------------------------- GLL

// $GPGLL,5155.55442,N,00434.65873,E,083723.00,A,A*6E
//   1  5155.55442   latitude ddmm.mmmmm     2  N  hemisphere
//   3  00434.65873  longitude dddmm.mmmmm   4  E  hemisphere
//   5  083723.00    UTC time hhmmss.ss
//   6  A            status: A valid, anything else invalid; 7 mode (NMEA 2.3)
NmeaGLL::NmeaGLL() : DecodedSentence(IID_INmeaGLL, "ZenolithCE.NmeaGLL") {}

com::ComPtr<NmeaGLL> NmeaGLL::Decode(com::IDispatch* sentence, std::int16_t datum) {
  com::ComPtr<NmeaGLL> gll = com::ComPtr<NmeaGLL>::Adopt(new (std::nothrow) NmeaGLL());
  if (!gll) return gll;
  NmeaSentence* s = NmeaSentence::From(sentence);
  if (!s) {
    gll->Keep(sentence, false, UtcTime{}, Place{}, datum);
    return gll;
  }
  const std::optional<Place> place = DecodePlace(*s, 1);
  gll->Keep(sentence, place && FieldFirst(*s, 6) == 'A', DecodeTime(FieldReal(*s, 5)), place.value_or(Place{}), datum);
  return gll;
}

void NmeaGLL::Write(NmeaSentence& out) const {
  Begin(out, "GLL");
  WritePlace(out, 1);
  out.SetField(5, NmeaTimeText(utc()));
  out.SetField(6, std::string_view(valid() ? "A" : "V"));
}

const MemberRow<NmeaGLL> NmeaGLL::kMembers[3] = {
    {1, Kind::PropGet, &NmeaGLL::GetPosition},
    {2, Kind::PropGet, &NmeaGLL::GetValid},
    {3, Kind::PropGet, &NmeaGLL::GetUtc},
};

com::HRESULT NmeaGLL::Create(const com::IID& iid, void** object) { return CreateInstanceOf<NmeaGLL>(iid, object); }

NmeaGLL* NmeaGLL::From(com::IDispatch* object) {
  void* self = nullptr;
  if (!object || com::Failed(object->QueryInterface(IID_NmeaGLLObject, &self))) return nullptr;
  return static_cast<NmeaGLL*>(self);
}

com::HRESULT NmeaGLL::QueryExtra(const com::IID& iid, void** object) {
  if (iid != IID_NmeaGLLObject) return com::E_NOINTERFACE;
  *object = this;
  return com::S_OK;
}

com::HRESULT NmeaGLL::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<NmeaGLL>(this, kMembers, call);
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
NmeaRMC::NmeaRMC() : DecodedSentence(IID_INmeaRMC, "ZenolithCE.NmeaRMC") {}

com::ComPtr<NmeaRMC> NmeaRMC::Decode(com::IDispatch* sentence, std::int16_t datum) {
  com::ComPtr<NmeaRMC> rmc = com::ComPtr<NmeaRMC>::Adopt(new (std::nothrow) NmeaRMC());
  if (!rmc) return rmc;
  NmeaSentence* s = NmeaSentence::From(sentence);
  if (!s) {
    rmc->Keep(sentence, false, UtcTime{}, Place{}, datum);
    return rmc;
  }
  UtcTime utc = DecodeTime(FieldReal(*s, 1));
  DecodeDate(FieldInt32(*s, 9), utc);
  const std::optional<Place> place = DecodePlace(*s, 3);
  rmc->Keep(sentence, place && FieldFirst(*s, 2) == 'A', utc, place.value_or(Place{}), datum);
  rmc->knots_ = FieldReal(*s, 7);
  rmc->heading_ = FieldReal(*s, 8);
  rmc->magneticVariation_ = FieldReal(*s, 10);
  if (FieldFirst(*s, 11) == 'W') rmc->magneticVariation_ = -rmc->magneticVariation_;
  return rmc;
}

void NmeaRMC::Write(NmeaSentence& out) const {
  Begin(out, "RMC");
  out.SetField(1, NmeaTimeText(utc()));
  out.SetField(2, std::string_view(valid() ? "A" : "V"));
  WritePlace(out, 3);
  out.SetField(7, knots_, 2);
  WriteHeading(out, 8, heading_);
  out.SetField(9, NmeaDateText(utc()));
  out.SetField(10, std::fabs(magneticVariation_), 1);
  out.SetField(11, std::string_view(magneticVariation_ >= 0 ? "E" : "W"));
}

void NmeaRMC::set_knots(double knots) {
  std::lock_guard lock(LibraryLock());
  knots_ = knots;
  Touch();
}

void NmeaRMC::set_heading(double degrees) {
  std::lock_guard lock(LibraryLock());
  heading_ = degrees;
  Touch();
}

void NmeaRMC::set_magnetic_variation(double degrees) {
  std::lock_guard lock(LibraryLock());
  magneticVariation_ = degrees;
  Touch();
}

const MemberRow<NmeaRMC> NmeaRMC::kMembers[6] = {
    {1, Kind::PropGet, &NmeaRMC::GetGroundSpeed}, {2, Kind::PropGet, &NmeaRMC::GetPosition},
    {3, Kind::PropGet, &NmeaRMC::GetValid},       {4, Kind::PropGet, &NmeaRMC::GetUtc},
    {5, Kind::PropGet, &NmeaRMC::GetHeading},     {6, Kind::PropGet, &NmeaRMC::GetMagneticVariation},
};

com::HRESULT NmeaRMC::Create(const com::IID& iid, void** object) { return CreateInstanceOf<NmeaRMC>(iid, object); }

NmeaRMC* NmeaRMC::From(com::IDispatch* object) {
  void* self = nullptr;
  if (!object || com::Failed(object->QueryInterface(IID_NmeaRMCObject, &self))) return nullptr;
  return static_cast<NmeaRMC*>(self);
}

com::HRESULT NmeaRMC::QueryExtra(const com::IID& iid, void** object) {
  if (iid != IID_NmeaRMCObject) return com::E_NOINTERFACE;
  *object = this;
  return com::S_OK;
}

com::HRESULT NmeaRMC::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<NmeaRMC>(this, kMembers, call);
}

// Unlike Movement.Speed, an unknown unit is no error here: it reads knots.
void NmeaRMC::GetGroundSpeed(Invocation& call) {
  call.result = com::Variant::R8(KnotsTo(knots_, call.I2(0)).value_or(knots_));
}
void NmeaRMC::GetHeading(Invocation& call) { call.result = com::Variant::R8(heading_); }
void NmeaRMC::GetMagneticVariation(Invocation& call) { call.result = com::Variant::R8(magneticVariation_); }

// ---------------------------------------------------------------------- VTG

// $GPVTG,0.0,T,10.5,M,0.0,N,0.0,K*7A
//   1  0.0   track made good, degrees true   2  T  (anything else: invalid)
//   3  10.5  track made good, degrees magnetic; 0 or empty: no variation
//   4  M
//   5  0.0   speed over ground, knots        6  N
//   7  0.0   speed over ground, km/h (not read; derived from knots)   8  K
// Magnetic variation = true track - magnetic track, so 0.0 T and 10.5 M give
// -10.5 (10.5 degrees west), as the RMC of the same receiver reports.
NmeaVTG NmeaVTG::Decode(com::IDispatch* sentence) {
  NmeaVTG vtg;
  vtg.sentence_ = com::ComPtr<com::IDispatch>(sentence);
  NmeaSentence* s = NmeaSentence::From(sentence);
  if (!s) return vtg;
  vtg.heading_ = FieldReal(*s, 1);
  vtg.valid_ = FieldFirst(*s, 2) == 'T';
  vtg.knots_ = FieldReal(*s, 5);
  const double magneticTrack = FieldReal(*s, 3);
  if (magneticTrack != 0) vtg.magneticVariation_ = vtg.heading_ - magneticTrack;
  return vtg;
}

void NmeaVTG::set_valid(bool valid) {
  valid_ = valid;
  modified_ = true;
}
void NmeaVTG::set_heading(double degrees) {
  heading_ = degrees;
  modified_ = true;
}
void NmeaVTG::set_knots(double knots) {
  knots_ = knots;
  modified_ = true;
}
void NmeaVTG::set_magnetic_variation(double degrees) {
  magneticVariation_ = degrees;
  modified_ = true;
}

com::ComPtr<com::IDispatch> NmeaVTG::Sentence() {
  if (!modified_ && sentence_) return sentence_;
  com::ComPtr<com::IDispatch> written = NewSentence([this](NmeaSentence& out) {
    Begin(out, "VTG");
    WriteHeading(out, 1, heading_);
    out.SetField(2, std::string_view("T"));
    out.SetField(3, heading_ - magneticVariation_, 1);
    out.SetField(4, std::string_view("M"));
    out.SetField(5, knots_, 2);
    out.SetField(6, std::string_view("N"));
    out.SetField(7, KnotsTo(knots_, 2).value_or(0), 2);
    out.SetField(8, std::string_view("K"));
  });
  if (!written) return sentence_;
  sentence_ = std::move(written);
  modified_ = false;
  return sentence_;
}

}  // namespace zenolith
