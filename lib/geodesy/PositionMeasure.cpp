// Distances, bearings and moves between positions, copies, and the datum and
// grid comparisons. All run under the library lock taken by Position::Call.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "lib/component/Identifiers.h"
#include "lib/geodesy/CustomDatum.h"
#include "lib/geodesy/CustomGrid.h"
#include "lib/geodesy/Datums.h"
#include "lib/geodesy/Grids.h"
#include "lib/geodesy/Position.h"

namespace zenolith {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kEarthRadius = 6366710.0;  // metres per radian of a central angle
constexpr const char* kNullPosition = "Position may not be null.";

double CentralAngle(double lat1, double lon1, double lat2, double lon2) {
  const double sinLat = std::sin((lat1 - lat2) / 2);
  const double sinLon = std::sin((lon1 - lon2) / 2);
  const double h = sinLat * sinLat + std::cos(lat1) * std::cos(lat2) * sinLon * sinLon;
  return 2 * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

}  // namespace

Position* Position::Other(Invocation& call, std::size_t index) {
  com::ComPtr<com::IDispatch> object;
  call.Value(index).ToDispatch(&object);
  return Position::From(object.get());  // the caller holds the argument, so the object lives on
}

com::ComPtr<com::IDispatch> Position::MakeCopy() const {
  com::ComPtr<com::IDispatch> copy;
  if (com::Failed(Create(IID_IPosition, copy.PutVoid()))) return {};
  Position* p = From(copy.get());
  p->record_ = record_;
  p->record_.customDatum = nullptr;
  p->record_.customGrid = nullptr;
  if (CustomDatum* datum = CustomDatum::From(customDatum_.get())) {
    com::ComPtr<com::IDispatch> datumCopy;
    if (com::Succeeded(CustomDatum::Create(IID_ICustomDatum, datumCopy.PutVoid()))) {
      CustomDatum::From(datumCopy.get())->set_parameters(datum->parameters());
      p->AttachCustomDatum(datumCopy.get());
    }
  }
  if (CustomGrid* grid = CustomGrid::From(customGrid_.get())) p->AttachCustomGrid(grid->Clone().get());
  p->altitude0_ = altitude0_;
  p->geodeticStale_ = geodeticStale_;
  p->gridStale_ = gridStale_;
  p->empty_ = empty_;
  p->modifiedCount_ = 0;
  return copy;
}

bool Position::SameDatumAs(Position& other) {
  if (record_.datum == kCustomDatumId && other.record_.datum == kCustomDatumId)
    return ParametersOf(kCustomDatumId, record_.customDatum) == ParametersOf(kCustomDatumId, other.record_.customDatum);
  return record_.datum == other.record_.datum;
}

bool Position::SameGridAs(Position& other) {
  if (record_.grid == 0) return false;
  if (record_.grid == kCustomGridId && other.record_.grid == kCustomGridId)
    return record_.customGrid && other.record_.customGrid && record_.customGrid->SameAs(*other.record_.customGrid);
  if (record_.grid != other.record_.grid) return false;
  // The other's zone as its Zone text reads, which brings its grid values up to date.
  if (other.record_.grid != 0 && !other.RefreshGrid()) return false;
  const std::string text = ZoneText(other.record_.grid, other.record_.zone, other.record_.latitude);
  return std::atoi(text.c_str()) == record_.zone;
}

// The other position on this grid and zone, with its grid values up to date:
// itself when it already is, else a copy kept alive by *keep. Null (and the
// call failed) when the copy cannot be made or projected.
const Position* Position::OnThisGrid(Position& other, com::ComPtr<com::IDispatch>* keep, Invocation& call) {
  Position* target = &other;
  if (!SameGridAs(other)) {
    *keep = other.MakeCopy();
    target = From(keep->get());
    if (!target) {
      call.Fail(kErrorInvalidArgument, "Out of memory");
      return nullptr;
    }
    ErrorRecord error;
    if (!target->PutGrid(record_.grid, customGrid_.get(), error) || !target->PutZone(record_.zone, error)) {
      call.Fail(error.number, error.message);
      return nullptr;
    }
  }
  if (!target->RefreshGrid()) {
    call.Fail(target->error_.number, target->error_.message);
    return nullptr;
  }
  return target;
}

// The other position on this datum: itself, or a shifted copy kept by *keep.
const Position* Position::OnThisDatum(Position& other, com::ComPtr<com::IDispatch>* keep, Invocation& call) {
  if (SameDatumAs(other)) return &other;
  *keep = other.MakeCopy();
  Position* copy = From(keep->get());
  if (!copy) {
    call.Fail(kErrorInvalidArgument, "Out of memory");
    return nullptr;
  }
  ErrorRecord error;
  if (!copy->PutDatum(record_.datum, customDatum_.get(), error)) {
    call.Fail(error.number, error.message);
    return nullptr;
  }
  return copy;
}

void Position::Copy(Invocation& call) {
  com::ComPtr<com::IDispatch> copy = MakeCopy();
  if (!copy) return call.Fail(kErrorInvalidArgument, "Out of memory");
  call.result = com::Variant::Dispatch(copy.get());
}

void Position::IsSameDatum(Invocation& call) {
  Position* other = Other(call, 0);
  call.result = com::Variant::Bool(other && SameDatumAs(*other));
}

void Position::IsSameGrid(Invocation& call) {
  Position* other = Other(call, 0);
  call.result = com::Variant::Bool(other && SameGridAs(*other));
}

void Position::MakeSameDatum(Invocation& call) {
  Position* other = Other(call, 0);
  if (!other) return call.Fail(kErrorInvalidArgument, kNullPosition);
  if (other->record_.datum == kCustomDatumId)
    PutDatum(kCustomDatumId, other->customDatum_.get(), call.error);
  else
    PutDatum(other->record_.datum, nullptr, call.error);
}

void Position::MakeSameGrid(Invocation& call) {
  Position* other = Other(call, 0);
  if (!other) return call.Fail(kErrorInvalidArgument, kNullPosition);
  if (other->record_.grid == 0) return;
  if (other->record_.grid == kCustomGridId) {
    PutGrid(kCustomGridId, other->customGrid_.get(), call.error);
    return;
  }
  // The other's zone as it reads now: its grid values may be stale.
  if (!other->RefreshGrid()) return call.Fail(other->error_.number, other->error_.message);
  if (PutGrid(other->record_.grid, nullptr, call.error)) PutZone(other->record_.zone, call.error);
}

void Position::Distance(Invocation& call) {
  call.result = com::Variant::R8(0);
  Position* other = Other(call, 0);
  if (!other) return call.Fail(kErrorInvalidArgument, kNullPosition);
  std::int16_t method = 0;
  if (com::Failed(call.Value(1).ToInt16(&method)) || method < 1 || method > 3)
    return call.Fail(kErrorInvalidArgument, "Unknown method to calculate distance.");
  Touch();
  if (method == 3) {
    if (!RefreshGrid()) return;
    com::ComPtr<com::IDispatch> keep;
    const Position* target = OnThisGrid(*other, &keep, call);
    if (!target) return;
    call.result = com::Variant::R8(std::hypot(target->record_.easting - record_.easting,
                                              target->record_.northing - record_.northing));
    return;
  }
  if (!RefreshGeodetic()) return;
  if (!other->RefreshGeodetic()) return call.Fail(other->error_.number, other->error_.message);
  com::ComPtr<com::IDispatch> keep;
  const Position* target = OnThisDatum(*other, &keep, call);
  if (!target) return;
  const double c =
      CentralAngle(record_.latitude, record_.longitude, target->record_.latitude, target->record_.longitude);
  call.result = com::Variant::R8(method == 2 ? c : c * kEarthRadius);
}

void Position::Bearing(Invocation& call) {
  call.result = com::Variant::R8(0);
  Position* other = Other(call, 0);
  if (!other) return call.Fail(kErrorInvalidArgument, kNullPosition);
  std::int16_t method = 0;
  if (com::Failed(call.Value(1).ToInt16(&method)) || method < 1 || method > 3)
    return call.Fail(kErrorInvalidArgument, "Unknown method to calculate bearing.");
  Touch();
  double course = 0;
  if (method == 3) {
    if (!RefreshGrid()) return;
    com::ComPtr<com::IDispatch> keep;
    const Position* target = OnThisGrid(*other, &keep, call);
    if (!target) return;
    const double theta =
        std::atan2(target->record_.northing - record_.northing, target->record_.easting - record_.easting);
    course = kPi / 2 - theta;
    if (course < 0) course += 2 * kPi;
  } else {
    if (!RefreshGeodetic()) return;
    if (!other->RefreshGeodetic()) return call.Fail(other->error_.number, other->error_.message);
    com::ComPtr<com::IDispatch> keep;
    const Position* target = OnThisDatum(*other, &keep, call);
    if (!target) return;
    const double lat1 = record_.latitude, lon1 = record_.longitude;
    const double lat2 = target->record_.latitude, lon2 = target->record_.longitude;
    const double c = CentralAngle(lat1, lon1, lat2, lon2);
    if (c <= 1e-16) {
      course = 0;
    } else if (std::cos(lat1) < 1e-16) {
      course = lat1 > 0 ? kPi : 0;  // from a pole every way is south (or north)
    } else {
      course = 0;
      if (std::sin(c) >= 1e-16) {
        const double x = (std::sin(lat2) - std::sin(lat1) * std::cos(c)) / (std::sin(c) * std::cos(lat1));
        course = std::acos(std::clamp(x, -1.0, 1.0));
      }
      if (std::sin(lon1 - lon2) >= 0) course = 2 * kPi - course;
    }
  }
  double degrees = course * 180 / kPi;
  if (degrees == 360) degrees = 0;
  call.result = com::Variant::R8(degrees);
}

void Position::Move(Invocation& call) {
  Count();  // every Move counts, also one that fails
  double distance = 0, bearing = 0;
  std::int16_t method = 0;
  if (!FiniteArgument(call, 0, &distance) || !FiniteArgument(call, 1, &bearing)) return;
  if (com::Failed(call.Value(2).ToInt16(&method)) || method < 1 || method > 3)
    return call.Fail(kErrorInvalidArgument, "Unknown method.");
  Touch();
  if (method == 3) {
    if (!RefreshGrid()) return;
    const double theta = kPi / 2 - bearing * kPi / 180;
    const double easting = record_.easting + distance * std::cos(theta);
    const double northing = record_.northing + distance * std::sin(theta);
    if (!std::isfinite(easting) || !std::isfinite(northing))
      return call.Fail(kErrorInvalidArgument, "Move leaves the grid: the easting or northing would not be finite.");
    record_.easting = easting;
    record_.northing = northing;
    geodeticStale_ = true;
    gridStale_ = false;
    modifiedCount_ += 2;  // the easting and the northing put
    return;
  }
  if (!RefreshGeodetic()) return;
  const double d = method == 1 ? distance / kEarthRadius : distance;
  const double tc = bearing * kPi / 180;
  const double lat1 = record_.latitude, lon1 = record_.longitude;
  const double lat2 = std::asin(std::clamp(std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(tc),
                                           -1.0, 1.0));
  const double dlon = std::atan2(std::sin(tc) * std::sin(d) * std::cos(lat1), std::cos(d) - std::sin(lat1) * std::sin(lat2));
  if (PutLatitude(lat2, true, call.error)) PutLongitude(lon1 + dlon);
}

}  // namespace zenolith
