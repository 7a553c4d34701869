// UTC values, and the decoded sentences NmeaGGA, NmeaGLL, NmeaRMC and NmeaVTG
// built from their records, with their writers.
#include <cmath>
#include <mutex>

#include "lib/component/Identifiers.h"
#include "lib/component/LibraryLock.h"
#include "lib/geodesy/Position.h"
#include "lib/nmea/Decoded.h"

namespace zenolith {
namespace {

using Kind = com::MemberKind;

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
  com::ComPtr<NmeaSentence> sentence = NmeaSentence::New();
  if (!sentence) return {};
  write(*sentence.get());
  return com::ComPtr<com::IDispatch>::Adopt(sentence.Detach());
}

}  // namespace

// ------------------------------------------------------------ UTC and speed

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

com::ComPtr<com::IDispatch> MakePosition(const Place& place, std::int16_t datum) {
  com::ComPtr<Position> position = Position::New();
  if (!position) return {};
  position->SetGeodetic(place.latitude, place.longitude, datum);
  position->SetAltitudes(place.aboveSeaLevel, place.datumHeight);
  return com::ComPtr<com::IDispatch>::Adopt(position.Detach());
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
  hasPlace_ = true;
  position_.Reset();
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
  hasPlace_ = true;
  position_.Reset();
  Touch();
}

// The texts come from the same numbers as the Position object: its latitude
// as given, its longitude brought into -pi..pi, degrees-minutes-seconds as
// the position caches them.
void DecodedSentence::WritePlace(NmeaSentence& out, int first) const {
  if (!hasPlace_) {
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

// The first request builds the object that every request then copies.
void DecodedSentence::GetPosition(Invocation& call) {
  if (hasPlace_ && !position_) position_ = MakePosition(place_, datum_);
  call.result = com::Variant::Dispatch(CopyPosition(position_.get()).get());
}
void DecodedSentence::GetValid(Invocation& call) { call.result = com::Variant::Bool(valid_); }
void DecodedSentence::GetUtc(Invocation& call) { call.result = DateVariant(utc_); }

// ---------------------------------------------------------------------- GGA

// The fields are read by ParseGga (SentenceRecords.cpp).

// An object that is no NmeaSentence decodes as an empty record.
com::ComPtr<NmeaGGA> NmeaGGA::Decode(com::IDispatch* sentence, std::int16_t datum) {
  const NmeaSentence* s = NmeaSentence::From(sentence);
  return Make(sentence, s ? ParseGga(*s) : GgaRecord{}, datum);
}

void NmeaGGA::Fill(const GgaRecord& record) {
  satellitesInView_ = record.satellitesInView;
  hdop_ = record.hdop;
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

const MemberRow<NmeaGGA> NmeaGGA::kMembers[] = {
    {1, Kind::PropGet, &NmeaGGA::GetPosition},         {2, Kind::PropGet, &NmeaGGA::GetValid},
    {3, Kind::PropGet, &NmeaGGA::GetUtc},              {4, Kind::PropGet, &NmeaGGA::GetSatellitesInView},
    {5, Kind::PropGet, &NmeaGGA::GetHdop},
};

NmeaGGA::NmeaGGA() : ClassBase(IID_INmeaGGA, "ZenolithCE.NmeaGGA", kMembers) {}

void NmeaGGA::GetSatellitesInView(Invocation& call) { call.result = com::Variant::I2(satellitesInView_); }
void NmeaGGA::GetHdop(Invocation& call) { call.result = com::Variant::R8(hdop_); }

// ---------------------------------------------------------------------- GLL

// The fields are read by ParseGll.

com::ComPtr<NmeaGLL> NmeaGLL::Decode(com::IDispatch* sentence, std::int16_t datum) {
  const NmeaSentence* s = NmeaSentence::From(sentence);
  return Make(sentence, s ? ParseGll(*s) : GllRecord{}, datum);
}

void NmeaGLL::Write(NmeaSentence& out) const {
  Begin(out, "GLL");
  WritePlace(out, 1);
  out.SetField(5, NmeaTimeText(utc()));
  out.SetField(6, std::string_view(valid() ? "A" : "V"));
}

const MemberRow<NmeaGLL> NmeaGLL::kMembers[] = {
    {1, Kind::PropGet, &NmeaGLL::GetPosition},
    {2, Kind::PropGet, &NmeaGLL::GetValid},
    {3, Kind::PropGet, &NmeaGLL::GetUtc},
};

NmeaGLL::NmeaGLL() : ClassBase(IID_INmeaGLL, "ZenolithCE.NmeaGLL", kMembers) {}

// ---------------------------------------------------------------------- RMC

// The fields are read by ParseRmc.

com::ComPtr<NmeaRMC> NmeaRMC::Decode(com::IDispatch* sentence, std::int16_t datum) {
  const NmeaSentence* s = NmeaSentence::From(sentence);
  return Make(sentence, s ? ParseRmc(*s) : RmcRecord{}, datum);
}

void NmeaRMC::Fill(const RmcRecord& record) {
  knots_ = record.knots;
  heading_ = record.heading;
  magneticVariation_ = record.magneticVariation;
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

const MemberRow<NmeaRMC> NmeaRMC::kMembers[] = {
    {1, Kind::PropGet, &NmeaRMC::GetGroundSpeed}, {2, Kind::PropGet, &NmeaRMC::GetPosition},
    {3, Kind::PropGet, &NmeaRMC::GetValid},       {4, Kind::PropGet, &NmeaRMC::GetUtc},
    {5, Kind::PropGet, &NmeaRMC::GetHeading},     {6, Kind::PropGet, &NmeaRMC::GetMagneticVariation},
};

NmeaRMC::NmeaRMC() : ClassBase(IID_INmeaRMC, "ZenolithCE.NmeaRMC", kMembers) {}

// Unlike Movement.Speed, an unknown unit is no error here: it reads knots.
void NmeaRMC::GetGroundSpeed(Invocation& call) {
  call.result = com::Variant::R8(KnotsTo(knots_, call.I2(0)).value_or(knots_));
}
void NmeaRMC::GetHeading(Invocation& call) { call.result = com::Variant::R8(heading_); }
void NmeaRMC::GetMagneticVariation(Invocation& call) { call.result = com::Variant::R8(magneticVariation_); }

// ---------------------------------------------------------------------- VTG

// The fields are read by ParseVtg.
NmeaVTG NmeaVTG::Decode(com::IDispatch* sentence) {
  const NmeaSentence* s = NmeaSentence::From(sentence);
  return Make(sentence, s ? ParseVtg(*s) : VtgRecord{});
}

NmeaVTG NmeaVTG::Make(com::IDispatch* sentence, const VtgRecord& record) {
  NmeaVTG vtg;
  vtg.sentence_ = com::ComPtr<com::IDispatch>(sentence);
  vtg.valid_ = record.valid;
  vtg.heading_ = record.heading;
  vtg.knots_ = record.knots;
  vtg.magneticVariation_ = record.magneticVariation;
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
