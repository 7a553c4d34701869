#include "lib/geodesy/Position.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <numbers>

#include "lib/component/Identifiers.h"
#include "lib/component/LibraryLock.h"
#include "lib/geodesy/CustomDatum.h"
#include "lib/geodesy/CustomGrid.h"
#include "lib/geodesy/Datums.h"
#include "lib/geodesy/Grids.h"

namespace zenolith {
namespace {

using Kind = com::MemberKind;
constexpr double kPi = std::numbers::pi;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

constexpr const char* kInvalidParameter = "Invalid parameter!";
constexpr const char* kNoGeodetic =
    "The easting and northing have no latitude and longitude on this grid (the result is not a finite number).";
constexpr const char* kNoGrid =
    "The latitude and longitude have no easting and northing on this grid (the result is not a finite number).";
constexpr const char* kBeyondPole =
    "The easting and northing have no latitude on this grid (it would lie beyond a pole).";
// Inverse projections may land a hair past a pole through rounding.
constexpr double kPoleSlack = 1e-12;
constexpr const char* kNoShift = "The position cannot be shifted to this datum (the result is not a finite number).";

// Real arguments of the position are coordinates, angles, distances and
// heights: none of them means anything as NaN or an infinity.
bool ArgDouble(Invocation& call, std::size_t i, double* out) { return FiniteArgument(call, i, out); }

bool AllFinite(std::initializer_list<double> values) {
  for (const double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

bool ArgInt16(Invocation& call, std::size_t i, std::int16_t* out) {
  if (com::Succeeded(call.Value(i).ToInt16(out))) return true;
  call.Fail(kErrorInvalidArgument, kInvalidParameter);
  return false;
}

// A zone may come as a number or as text; text is read up to its first
// non-digit, so "32U" is zone 32 and "U" is zone 0.
bool ArgZone(Invocation& call, std::size_t i, std::int16_t* out) {
  const com::Variant& v = call.Value(i);
  if (v.type() == com::VarType::Bstr) {
    const std::string& text = v.AsBstr();
    std::size_t p = 0;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
    long value = 0;
    bool negative = false;
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) negative = text[p++] == '-';
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9' && value < 100000; ++p) value = value * 10 + (text[p] - '0');
    if (value > 32767) {
      call.Fail(kErrorInvalidArgument, "Invalid Zone for this grid!");
      return false;
    }
    *out = static_cast<std::int16_t>(negative ? -value : value);
    return true;
  }
  return ArgInt16(call, i, out);
}

}  // namespace

const MemberRow<Position> Position::kMembers[] = {
    {1, Kind::Method, &Position::LatitudeDMS},
    {2, Kind::Method, &Position::LongitudeDMS},
    {3, Kind::Method, &Position::LatitudeString},
    {4, Kind::Method, &Position::LongitudeString},
    {5, Kind::Method, &Position::Altitude},
    {6, Kind::PropGet, &Position::GetLatitudeRads},
    {6, Kind::PropPut, &Position::PutLatitudeRads},
    {7, Kind::PropGet, &Position::GetLongitudeRads},
    {7, Kind::PropPut, &Position::PutLongitudeRads},
    {8, Kind::Method, &Position::SetLatitudeDMS},
    {9, Kind::Method, &Position::SetLongitudeDMS},
    {10, Kind::Method, &Position::SetAltitude},
    {11, Kind::PropGet, &Position::GetDatum},
    {11, Kind::PropPut, &Position::PutDatumMember},
    {12, Kind::PropGet, &Position::GetGrid},
    {12, Kind::PropPut, &Position::PutGridMember},
    {13, Kind::PropGet, &Position::GetEasting},
    {13, Kind::PropPut, &Position::PutEasting},
    {14, Kind::PropGet, &Position::GetNorthing},
    {14, Kind::PropPut, &Position::PutNorthing},
    {15, Kind::PropGet, &Position::GetZone},
    {15, Kind::PropPut, &Position::PutZoneMember},
    {16, Kind::PropGet, &Position::GetLatitude},
    {16, Kind::PropPut, &Position::PutLatitudeMember},
    {17, Kind::PropGet, &Position::GetLongitude},
    {17, Kind::PropPut, &Position::PutLongitudeMember},
    {18, Kind::Method, &Position::Distance},
    {19, Kind::Method, &Position::Bearing},
    {20, Kind::Method, &Position::Move},
    {21, Kind::Method, &Position::Copy},
    {22, Kind::PropGet, &Position::GetModifiedCount},
    {23, Kind::Method, &Position::IsSameDatum},
    {24, Kind::Method, &Position::IsSameGrid},
    {25, Kind::Method, &Position::MakeSameDatum},
    {26, Kind::Method, &Position::MakeSameGrid},
    {27, Kind::PropPutRef, &Position::PutCustomDatum},
    {28, Kind::PropPutRef, &Position::PutCustomGrid},
};

Position::Position() : ClassBase(IID_IPosition, "ZenolithCE.Position", kMembers) {}
Position::~Position() = default;

com::HRESULT Position::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  const com::HRESULT hr = DispatchMember(call);
  // The last line of defence: no member hands out NaN or an infinity as if
  // it were a result.
  if (com::Succeeded(hr) && !call.error.IsSet() && call.result.type() == com::VarType::R8 &&
      !std::isfinite(call.result.AsR8())) {
    call.result.Clear();
    call.Fail(kErrorInvalidArgument, call.member.name + " has no finite value for this position.");
  }
  return hr;
}

void Position::SetGeodetic(double latitude, double longitude, std::int16_t datum) {
  std::lock_guard lock(LibraryLock());
  record_.datum = datum;
  ErrorRecord ignored;
  PutLatitude(latitude, false, ignored);
  PutLongitude(longitude);
}

void Position::SetAltitudes(double aboveSeaLevel, double datumHeight) {
  std::lock_guard lock(LibraryLock());
  altitude0_ = aboveSeaLevel;
  record_.altitude = datumHeight;
  Count();
}

bool Position::RefreshGeodetic() {
  if (!geodeticStale_) return true;
  GeodeticRecord work = record_;
  if (Outcome outcome = ProjectInverse(work); !outcome) {
    error_.Set(kErrorInvalidArgument, outcome.error);
    return false;
  }
  if (!AllFinite({work.latitude, work.longitude})) {
    error_.Set(kErrorInvalidArgument, kNoGeodetic);
    return false;
  }
  if (std::abs(work.latitude) > kPi / 2 + kPoleSlack) {
    error_.Set(kErrorInvalidArgument, kBeyondPole);
    return false;
  }
  record_.latitude = work.latitude;
  record_.longitude = work.longitude;
  latitudeDms_ = LatitudeDms(record_.latitude);
  longitudeDms_ = LongitudeDms(record_.longitude);
  geodeticStale_ = false;
  return true;
}

bool Position::RefreshGrid() {
  if (!gridStale_) return true;
  GeodeticRecord work = record_;
  if (Outcome outcome = ProjectForward(work); !outcome) {
    error_.Set(kErrorInvalidArgument, outcome.error);
    return false;
  }
  if (!AllFinite({work.easting, work.northing})) {
    error_.Set(kErrorInvalidArgument, kNoGrid);
    return false;
  }
  record_.easting = work.easting;
  record_.northing = work.northing;
  record_.zone = work.zone;
  gridStale_ = false;
  return true;
}

bool Position::PutLatitude(double latitude, bool checkRange, ErrorRecord& error) {
  if (checkRange && !(latitude >= -kPi / 2 && latitude <= kPi / 2)) {
    error.Set(kErrorInvalidArgument, "Invalid latitude. Must be between -PI/2 and PI/2");
    return false;
  }
  Touch();
  record_.latitude = latitude;
  latitudeDms_ = LatitudeDms(latitude);
  geodeticStale_ = false;
  gridStale_ = true;
  Count();
  return true;
}

void Position::PutLongitude(double longitude) {
  Touch();
  record_.longitude = NormaliseLongitude(longitude);
  longitudeDms_ = LongitudeDms(record_.longitude);
  geodeticStale_ = false;
  gridStale_ = true;
  Count();
}

void Position::AttachCustomDatum(com::IDispatch* datum) {
  customDatum_ = com::ComPtr<com::IDispatch>(datum);
  CustomDatum* object = CustomDatum::From(datum);
  record_.customDatum = object ? &object->parameters() : nullptr;
}

void Position::AttachCustomGrid(com::IDispatch* grid) {
  customGrid_ = com::ComPtr<com::IDispatch>(grid);
  CustomGrid* object = CustomGrid::From(grid);
  record_.customGrid = object ? &object->parameters() : nullptr;
}

// Datum put and CustomDatum put: relabel while empty, relabel and re-read the
// grid values while they are the truth, else shift the coordinates.
bool Position::PutDatum(std::int16_t datum, com::IDispatch* custom, ErrorRecord& error) {
  const DatumParameters* customParams = nullptr;
  if (datum == kCustomDatumId) {
    CustomDatum* object = CustomDatum::From(custom);
    if (!object) {
      error.Set(kErrorInvalidArgument, custom ? kInvalidParameter : "CustomDatum may not be null.");
      return false;
    }
    customParams = &object->parameters();
    if (record_.datum == kCustomDatumId && record_.customDatum && *record_.customDatum == *customParams) return true;
  } else {
    if (datum == record_.datum) return true;
  }

  const GeodeticRecord before = record_;
  const com::ComPtr<com::IDispatch> previousCustom = customDatum_;
  if (empty_) {
    // nothing to convert yet
  } else if (geodeticStale_) {
    // Grid values are the truth: keep them and read them on the new datum.
    record_.datum = datum;
    record_.customDatum = customParams;
    if (!RefreshGeodetic()) {
      record_ = before;
      error = error_;
      return false;
    }
  } else {
    ShiftDatum(&record_.latitude, &record_.longitude, &record_.altitude,
               ParametersOf(record_.datum, record_.customDatum), ParametersOf(datum, customParams));
    if (!AllFinite({record_.latitude, record_.longitude, record_.altitude})) {
      record_ = before;
      error.Set(kErrorInvalidArgument, kNoShift);
      return false;
    }
    latitudeDms_ = LatitudeDms(record_.latitude);
    longitudeDms_ = LongitudeDms(record_.longitude);
    gridStale_ = true;
  }
  record_.datum = datum;
  if (datum == kCustomDatumId)
    AttachCustomDatum(custom);
  else {
    customDatum_.Reset();
    record_.customDatum = nullptr;
  }
  Count();
  return true;
}

bool Position::PutGrid(std::int16_t grid, com::IDispatch* custom, ErrorRecord& error) {
  if (grid == kCustomGridId) {
    CustomGrid* object = CustomGrid::From(custom);
    if (!object) {
      error.Set(kErrorInvalidArgument, custom ? kInvalidParameter : "CustomGrid may not be null.");
      return false;
    }
    if (record_.grid == kCustomGridId && record_.customGrid && record_.customGrid->SameAs(object->parameters()))
      return true;
  } else if (grid == record_.grid) {
    return true;
  }
  if (!empty_) {
    if (!RefreshGeodetic()) {
      error = error_;
      return false;
    }
    gridStale_ = true;
  }
  record_.grid = grid;
  record_.zone = 0;
  if (grid == kCustomGridId)
    AttachCustomGrid(custom);
  else {
    customGrid_.Reset();
    record_.customGrid = nullptr;
  }
  Count();
  return true;
}

bool Position::PutZone(std::int16_t zone, ErrorRecord& error) {
  if (zone == record_.zone) return true;
  if (!HasZones(record_.grid)) return true;  // grids without zones ignore the put
  if (!IsValidZone(record_.grid, zone)) {
    error.Set(kErrorInvalidArgument, "Invalid Zone for this grid!");
    return false;
  }
  if (!RefreshGeodetic()) {
    error = error_;
    return false;
  }
  record_.forcedZone = (IsUtmGrid(record_.grid) || record_.grid == kGridDhdn) ? zone : 0;
  record_.zone = zone;
  gridStale_ = true;
  Count();
  return true;
}

void Position::LatitudeDMS(Invocation& call) {
  Touch();
  if (!RefreshGeodetic()) return;
  call.SetOut(0, com::Variant::I2(latitudeDms_.degrees));
  call.SetOut(1, com::Variant::I2(latitudeDms_.minutes));
  call.SetOut(2, com::Variant::R8(latitudeDms_.seconds));
  call.SetOut(3, com::Variant::Bstr(record_.latitude < 0 ? "S" : "N"));
}

void Position::LongitudeDMS(Invocation& call) {
  Touch();
  if (!RefreshGeodetic()) return;
  call.SetOut(0, com::Variant::I2(longitudeDms_.degrees));
  call.SetOut(1, com::Variant::I2(longitudeDms_.minutes));
  call.SetOut(2, com::Variant::R8(longitudeDms_.seconds));
  call.SetOut(3, com::Variant::Bstr(record_.longitude < 0 ? "W" : "E"));
}

void Position::LatitudeString(Invocation& call) {
  std::int16_t format = 0;
  if (!ArgInt16(call, 0, &format)) return;
  if (format != 0 && format != 1) return call.Fail(kErrorInvalidArgument, kInvalidParameter);
  Touch();
  if (!RefreshGeodetic()) return;
  call.result = com::Variant::Bstr(format == 0 ? DmsText(latitudeDms_, record_.latitude < 0 ? 'S' : 'N')
                                               : DmsDecimalMinutes(latitudeDms_, 2));
}

void Position::LongitudeString(Invocation& call) {
  std::int16_t format = 0;
  if (!ArgInt16(call, 0, &format)) return;
  if (format != 0 && format != 1) return call.Fail(kErrorInvalidArgument, kInvalidParameter);
  Touch();
  if (!RefreshGeodetic()) return;
  call.result = com::Variant::Bstr(format == 0 ? DmsText(longitudeDms_, record_.longitude < 0 ? 'W' : 'E')
                                               : DmsDecimalMinutes(longitudeDms_, 3));
}

void Position::Altitude(Invocation& call) {
  std::int16_t format = 0;
  if (!ArgInt16(call, 0, &format)) return;
  if (format != 0 && format != 1) return call.Fail(kErrorInvalidArgument, kInvalidParameter);
  if (!RefreshGeodetic()) return;
  call.result = com::Variant::R8(format == 0 ? altitude0_ : record_.altitude);
}

void Position::GetLatitudeRads(Invocation& call) {
  Touch();
  if (RefreshGeodetic()) call.result = com::Variant::R8(record_.latitude);
}

void Position::PutLatitudeRads(Invocation& call) {
  double latitude = 0;
  if (ArgDouble(call, 0, &latitude)) PutLatitude(latitude, true, call.error);
}

void Position::GetLongitudeRads(Invocation& call) {
  Touch();
  if (RefreshGeodetic()) call.result = com::Variant::R8(record_.longitude);
}

void Position::PutLongitudeRads(Invocation& call) {
  double longitude = 0;
  if (ArgDouble(call, 0, &longitude)) PutLongitude(longitude);
}

void Position::GetLatitude(Invocation& call) {
  Touch();
  if (RefreshGeodetic()) call.result = com::Variant::R8(record_.latitude * kRadToDeg);
}

void Position::PutLatitudeMember(Invocation& call) {
  double degrees = 0;
  if (ArgDouble(call, 0, &degrees)) PutLatitude(degrees * kDegToRad, true, call.error);
}

void Position::GetLongitude(Invocation& call) {
  Touch();
  if (RefreshGeodetic()) call.result = com::Variant::R8(record_.longitude * kRadToDeg);
}

void Position::PutLongitudeMember(Invocation& call) {
  double degrees = 0;
  if (ArgDouble(call, 0, &degrees)) PutLongitude(degrees * kDegToRad);
}

void Position::SetLatitudeDMS(Invocation& call) {
  double degrees = 0, minutes = 0, seconds = 0;
  std::string hemisphere;
  if (!ArgDouble(call, 0, &degrees) || !ArgDouble(call, 1, &minutes) || !ArgDouble(call, 2, &seconds)) return;
  if (com::Failed(call.Value(3).ToText(&hemisphere))) return call.Fail(kErrorInvalidArgument, kInvalidParameter);
  if (!(degrees >= 0 && degrees <= 90))
    return call.Fail(kErrorInvalidArgument, "Invalid value of Degrees. Must be between 0 and 90!");
  double latitude = degrees * kPi / 180 + minutes * kPi / 10800 + seconds * kPi / 648000;
  if (!hemisphere.empty() && hemisphere[0] == 'S') latitude = -latitude;
  PutLatitude(latitude, false, call.error);
}

void Position::SetLongitudeDMS(Invocation& call) {
  double degrees = 0, minutes = 0, seconds = 0;
  std::string hemisphere;
  if (!ArgDouble(call, 0, &degrees) || !ArgDouble(call, 1, &minutes) || !ArgDouble(call, 2, &seconds)) return;
  if (com::Failed(call.Value(3).ToText(&hemisphere))) return call.Fail(kErrorInvalidArgument, kInvalidParameter);
  double longitude = degrees * kPi / 180 + minutes * kPi / 10800 + seconds * kPi / 648000;
  if (!hemisphere.empty() && hemisphere[0] == 'W') longitude = -longitude;
  PutLongitude(longitude);
}

void Position::SetAltitude(Invocation& call) {
  Count();  // counted even when the format is refused
  std::int16_t format = 0;
  double altitude = 0;
  if (!ArgInt16(call, 0, &format) || !ArgDouble(call, 1, &altitude)) return;
  if (format == 0)
    altitude0_ = altitude;
  else if (format == 1)
    record_.altitude = altitude;
  else
    call.Fail(kErrorInvalidArgument, kInvalidParameter);
}

void Position::GetDatum(Invocation& call) { call.result = com::Variant::I2(record_.datum); }

void Position::PutDatumMember(Invocation& call) {
  std::int16_t datum = 0;
  if (com::Failed(call.Value(0).ToInt16(&datum))) return call.Fail(kErrorInvalidArgument, "Unknown datum!");
  if (datum == kCustomDatumId) return call.Fail(kErrorInvalidArgument, "Set Position.CustomDatum instead!");
  if (datum < 1 || datum > kBuiltInDatums) return call.Fail(kErrorInvalidArgument, "Unknown datum!");
  PutDatum(datum, nullptr, call.error);
}

void Position::PutCustomDatum(Invocation& call) {
  com::ComPtr<com::IDispatch> datum;
  call.Value(0).ToDispatch(&datum);
  PutDatum(kCustomDatumId, datum.get(), call.error);
}

void Position::GetGrid(Invocation& call) { call.result = com::Variant::I2(record_.grid); }

void Position::PutGridMember(Invocation& call) {
  std::int16_t grid = 0;
  if (com::Failed(call.Value(0).ToInt16(&grid))) return call.Fail(kErrorInvalidArgument, "Unknown grid!");
  if (grid == kCustomGridId) return call.Fail(kErrorInvalidArgument, "Set Position.CustomGrid instead!");
  if (grid < 0 || grid > kCustomGridId) return call.Fail(kErrorInvalidArgument, "Unknown grid!");
  PutGrid(grid, nullptr, call.error);
}

void Position::PutCustomGrid(Invocation& call) {
  com::ComPtr<com::IDispatch> grid;
  call.Value(0).ToDispatch(&grid);
  PutGrid(kCustomGridId, grid.get(), call.error);
}

void Position::GetEasting(Invocation& call) {
  Touch();
  if (RefreshGrid()) call.result = com::Variant::R8(record_.easting);
}

void Position::PutEasting(Invocation& call) {
  double easting = 0;
  if (!ArgDouble(call, 0, &easting)) return;
  Touch();
  record_.easting = easting;
  geodeticStale_ = true;
  gridStale_ = false;
  Count();
}

void Position::GetNorthing(Invocation& call) {
  Touch();
  if (RefreshGrid()) call.result = com::Variant::R8(record_.northing);
}

void Position::PutNorthing(Invocation& call) {
  double northing = 0;
  if (!ArgDouble(call, 0, &northing)) return;
  Touch();
  record_.northing = northing;
  geodeticStale_ = true;
  gridStale_ = false;
  Count();
}

void Position::GetZone(Invocation& call) {
  if (record_.grid != 0 && !RefreshGrid()) return;
  if (!RefreshGeodetic()) return;  // the band letter needs the current latitude
  call.result = com::Variant::Bstr(ZoneText(record_.grid, record_.zone, record_.latitude));
}

void Position::PutZoneMember(Invocation& call) {
  std::int16_t zone = 0;
  if (ArgZone(call, 0, &zone)) PutZone(zone, call.error);
}

void Position::GetModifiedCount(Invocation& call) { call.result = com::Variant::I4(modifiedCount_); }

}  // namespace zenolith
