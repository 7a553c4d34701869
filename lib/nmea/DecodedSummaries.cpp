// The summary objects the decoder hands out: GpsFix, Movement, Quality,
// Satellites with Satellite items, and ComStatus.
#include <mutex>

#include "lib/component/Identifiers.h"
#include "lib/component/LibraryLock.h"
#include "lib/nmea/Decoded.h"

namespace zenolith {
namespace {

using Kind = com::MemberKind;

}  // namespace

// -------------------------------------------------------------------- GpsFix

const MemberRow<GpsFix> GpsFix::kMembers[] = {
    {1, Kind::PropGet, &GpsFix::GetUtc},
    {2, Kind::PropGet, &GpsFix::GetPosition},
    {3, Kind::PropGet, &GpsFix::GetFixType},
};

GpsFix::GpsFix() : ClassBase(IID_IGpsFix, "ZenolithCE.GpsFix", kMembers) {}

com::ComPtr<GpsFix> GpsFix::Make(std::int16_t fixType, const UtcTime& utc, const Place& place, std::int16_t datum) {
  com::ComPtr<GpsFix> fix = GpsFix::New();
  if (!fix) return fix;
  fix->fixType_ = fixType;
  fix->utc_ = utc;
  fix->place_ = place;
  fix->datum_ = datum;
  fix->hasPlace_ = true;
  return fix;
}

void GpsFix::GetUtc(Invocation& call) { call.result = com::Variant::Date(UtcToDate(utc_)); }
// A copy, so that a client moving or re-projecting it leaves the fix as it
// was; the first request builds the object that every request then copies.
void GpsFix::GetPosition(Invocation& call) {
  if (hasPlace_ && !position_) position_ = MakePosition(place_, datum_);
  call.result = com::Variant::Dispatch(CopyPosition(position_.get()).get());
}
void GpsFix::GetFixType(Invocation& call) { call.result = com::Variant::I2(fixType_); }

// ------------------------------------------------------------------ Movement

const MemberRow<Movement> Movement::kMembers[] = {
    {1, Kind::PropGet, &Movement::GetHeading},
    {2, Kind::PropGet, &Movement::GetSpeed},
    {3, Kind::PropGet, &Movement::GetMagneticVariation},
};

Movement::Movement() : ClassBase(IID_IMovement, "ZenolithCE.Movement", kMembers) {}

com::ComPtr<Movement> Movement::Make(double knots, double heading, double magneticVariation, bool valid) {
  com::ComPtr<Movement> movement = Movement::New();
  if (!movement) return movement;
  movement->knots_ = knots;
  movement->heading_ = heading;
  movement->magneticVariation_ = magneticVariation;
  movement->valid_ = valid;
  return movement;
}

void Movement::GetHeading(Invocation& call) { call.result = com::Variant::R8(heading_); }
void Movement::GetSpeed(Invocation& call) {
  const std::optional<double> speed = KnotsTo(knots_, call.I2(0));
  if (!speed) return call.Fail(kErrorInvalidArgument, "Invalid parameter!");
  call.result = com::Variant::R8(*speed);
}
void Movement::GetMagneticVariation(Invocation& call) { call.result = com::Variant::R8(magneticVariation_); }

// ------------------------------------------------------------------- Quality

const MemberRow<Quality> Quality::kMembers[] = {
    {1, Kind::PropGet, &Quality::GetPdop},
    {2, Kind::PropGet, &Quality::GetHdop},
    {3, Kind::PropGet, &Quality::GetVdop},
};

Quality::Quality() : ClassBase(IID_IQuality, "ZenolithCE.Quality", kMembers) {}

com::ComPtr<Quality> Quality::Make(double pdop, double hdop, double vdop) {
  com::ComPtr<Quality> quality = Quality::New();
  if (!quality) return quality;
  quality->pdop_ = pdop;
  quality->hdop_ = hdop;
  quality->vdop_ = vdop;
  return quality;
}

void Quality::GetPdop(Invocation& call) { call.result = com::Variant::R8(pdop_); }
void Quality::GetHdop(Invocation& call) { call.result = com::Variant::R8(hdop_); }
void Quality::GetVdop(Invocation& call) { call.result = com::Variant::R8(vdop_); }

// ----------------------------------------------------------------- Satellite

const MemberRow<Satellite> Satellite::kMembers[] = {
    {1, Kind::PropGet, &Satellite::GetId},      {2, Kind::PropGet, &Satellite::GetElevation},
    {3, Kind::PropGet, &Satellite::GetAzimuth}, {4, Kind::PropGet, &Satellite::GetSnr},
    {5, Kind::PropGet, &Satellite::GetUsedForFix},
};

Satellite::Satellite() : ClassBase(IID_ISatellite, "ZenolithCE.Satellite", kMembers) {}

void Satellite::set_view(std::int16_t elevation, std::int16_t azimuth, std::int16_t snr) {
  elevation_ = elevation;
  azimuth_ = azimuth;
  snr_ = snr;
}

void Satellite::GetId(Invocation& call) { call.result = com::Variant::I2(id_); }
void Satellite::GetElevation(Invocation& call) { call.result = com::Variant::I2(elevation_); }
void Satellite::GetAzimuth(Invocation& call) { call.result = com::Variant::I2(azimuth_); }
void Satellite::GetSnr(Invocation& call) { call.result = com::Variant::I2(snr_); }
void Satellite::GetUsedForFix(Invocation& call) { call.result = com::Variant::Bool(usedForFix_); }

// ---------------------------------------------------------------- Satellites

const MemberRow<Satellites> Satellites::kMembers[] = {
    {1, Kind::PropGet, &Satellites::GetCount},
    {0, Kind::PropGet, &Satellites::GetItem},
};

Satellites::Satellites() : ClassBase(IID_ISatellites, "ZenolithCE.Satellites", kMembers) {}

Satellite* Satellites::Find(std::int16_t id) const {
  for (const Item& item : items_)
    if (item.satellite->id() == id) return item.satellite;
  return nullptr;
}

Satellite* Satellites::FindOrAdd(std::int16_t id) {
  if (Satellite* known = Find(id)) return known;
  if (items_.size() >= kMaxSatellites) return nullptr;
  com::ComPtr<Satellite> added = Satellite::New();
  if (!added) return nullptr;
  added->set_id(id);
  Satellite* satellite = added.get();
  items_.push_back({com::ComPtr<com::IDispatch>(satellite), satellite});
  return satellite;
}

void Satellites::Reset() {
  items_.clear();
  expected_ = 1;
}

// The list is capped at kMaxSatellites, so the count fits the 16-bit result.
void Satellites::GetCount(Invocation& call) { call.result = com::Variant::I2(static_cast<std::int16_t>(items_.size())); }

void Satellites::GetItem(Invocation& call) {
  const int index = call.I2(0);
  if (index < 1 || static_cast<std::size_t>(index) > items_.size())
    return call.Fail(kErrorIndexOutOfBounds, "Index out of bounds");
  call.result = com::Variant::Dispatch(items_[static_cast<std::size_t>(index) - 1].object.get());
}

// ----------------------------------------------------------------- ComStatus

const MemberRow<ComStatus> ComStatus::kMembers[] = {
    {1, Kind::PropGet, &ComStatus::GetValidNmea},
    {2, Kind::PropGet, &ComStatus::GetComPort},
    {3, Kind::PropGet, &ComStatus::GetBaudRate},
    {4, Kind::PropGet, &ComStatus::GetValidFix},
};

ComStatus::ComStatus() : ClassBase(IID_IComStatus, "ZenolithCE.ComStatus", kMembers) {}

com::ComPtr<ComStatus> ComStatus::Make(const ComStatusValues& values) {
  com::ComPtr<ComStatus> status = ComStatus::New();
  if (status) status->values_ = values;
  return status;
}

void ComStatus::GetValidNmea(Invocation& call) { call.result = com::Variant::Bool(values_.validNmea); }
void ComStatus::GetComPort(Invocation& call) { call.result = com::Variant::I2(values_.comPort); }
void ComStatus::GetBaudRate(Invocation& call) { call.result = com::Variant::I4(values_.baudRate); }
void ComStatus::GetValidFix(Invocation& call) { call.result = com::Variant::Bool(values_.validFix); }

}  // namespace zenolith
