// The summary objects the decoder hands out: GpsFix, Movement, Quality,
// Satellites with Satellite items, and ComStatus.
#include <mutex>

#include "lib/component/Identifiers.h"
#include "lib/component/LibraryLock.h"
#include "lib/nmea/Decoded.h"

namespace zenolith {
namespace {

using Kind = com::MemberKind;

// The C++ object of `object` when it answers `iid` (no reference added).
template <class T>
T* Unwrap(com::IDispatch* object, const com::IID& iid) {
  void* self = nullptr;
  if (!object || com::Failed(object->QueryInterface(iid, &self))) return nullptr;
  return static_cast<T*>(self);
}

// QueryExtra of every summary class: its own object, without a reference.
com::HRESULT Expose(void* self, const com::IID& own, const com::IID& iid, void** object) {
  if (iid != own) return com::E_NOINTERFACE;
  *object = self;
  return com::S_OK;
}

template <class T>
com::ComPtr<T> New() {
  return com::ComPtr<T>::Adopt(new (std::nothrow) T());
}

}  // namespace

// -------------------------------------------------------------------- GpsFix

const MemberRow<GpsFix> GpsFix::kMembers[3] = {
    {1, Kind::PropGet, &GpsFix::GetUtc},
    {2, Kind::PropGet, &GpsFix::GetPosition},
    {3, Kind::PropGet, &GpsFix::GetFixType},
};

GpsFix::GpsFix() : DispatchObject(IID_IGpsFix, "ZenolithCE.GpsFix") {}
com::HRESULT GpsFix::Create(const com::IID& iid, void** object) { return CreateInstanceOf<GpsFix>(iid, object); }
GpsFix* GpsFix::From(com::IDispatch* object) { return Unwrap<GpsFix>(object, IID_GpsFixObject); }
com::HRESULT GpsFix::QueryExtra(const com::IID& iid, void** object) { return Expose(this, IID_GpsFixObject, iid, object); }

com::ComPtr<GpsFix> GpsFix::Make(std::int16_t fixType, const UtcTime& utc, const Place& place, std::int16_t datum) {
  com::ComPtr<GpsFix> fix = New<GpsFix>();
  if (!fix) return fix;
  fix->fixType_ = fixType;
  fix->utc_ = utc;
  fix->place_ = place;
  fix->datum_ = datum;
  fix->hasPlace_ = true;
  return fix;
}

com::HRESULT GpsFix::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<GpsFix>(this, kMembers, call);
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

const MemberRow<Movement> Movement::kMembers[3] = {
    {1, Kind::PropGet, &Movement::GetHeading},
    {2, Kind::PropGet, &Movement::GetSpeed},
    {3, Kind::PropGet, &Movement::GetMagneticVariation},
};

Movement::Movement() : DispatchObject(IID_IMovement, "ZenolithCE.Movement") {}
com::HRESULT Movement::Create(const com::IID& iid, void** object) { return CreateInstanceOf<Movement>(iid, object); }
Movement* Movement::From(com::IDispatch* object) { return Unwrap<Movement>(object, IID_MovementObject); }
com::HRESULT Movement::QueryExtra(const com::IID& iid, void** object) {
  return Expose(this, IID_MovementObject, iid, object);
}

com::ComPtr<Movement> Movement::Make(double knots, double heading, double magneticVariation, bool valid) {
  com::ComPtr<Movement> movement = New<Movement>();
  if (!movement) return movement;
  movement->knots_ = knots;
  movement->heading_ = heading;
  movement->magneticVariation_ = magneticVariation;
  movement->valid_ = valid;
  return movement;
}

com::HRESULT Movement::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<Movement>(this, kMembers, call);
}

void Movement::GetHeading(Invocation& call) { call.result = com::Variant::R8(heading_); }
void Movement::GetSpeed(Invocation& call) {
  const std::optional<double> speed = KnotsTo(knots_, call.I2(0));
  if (!speed) return call.Fail(kErrorInvalidArgument, "Invalid parameter!");
  call.result = com::Variant::R8(*speed);
}
void Movement::GetMagneticVariation(Invocation& call) { call.result = com::Variant::R8(magneticVariation_); }

// ------------------------------------------------------------------- Quality

const MemberRow<Quality> Quality::kMembers[3] = {
    {1, Kind::PropGet, &Quality::GetPdop},
    {2, Kind::PropGet, &Quality::GetHdop},
    {3, Kind::PropGet, &Quality::GetVdop},
};

Quality::Quality() : DispatchObject(IID_IQuality, "ZenolithCE.Quality") {}
com::HRESULT Quality::Create(const com::IID& iid, void** object) { return CreateInstanceOf<Quality>(iid, object); }
Quality* Quality::From(com::IDispatch* object) { return Unwrap<Quality>(object, IID_QualityObject); }
com::HRESULT Quality::QueryExtra(const com::IID& iid, void** object) { return Expose(this, IID_QualityObject, iid, object); }

com::ComPtr<Quality> Quality::Make(double pdop, double hdop, double vdop) {
  com::ComPtr<Quality> quality = New<Quality>();
  if (!quality) return quality;
  quality->pdop_ = pdop;
  quality->hdop_ = hdop;
  quality->vdop_ = vdop;
  return quality;
}

com::HRESULT Quality::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<Quality>(this, kMembers, call);
}

void Quality::GetPdop(Invocation& call) { call.result = com::Variant::R8(pdop_); }
void Quality::GetHdop(Invocation& call) { call.result = com::Variant::R8(hdop_); }
void Quality::GetVdop(Invocation& call) { call.result = com::Variant::R8(vdop_); }

// ----------------------------------------------------------------- Satellite

const MemberRow<Satellite> Satellite::kMembers[5] = {
    {1, Kind::PropGet, &Satellite::GetId},      {2, Kind::PropGet, &Satellite::GetElevation},
    {3, Kind::PropGet, &Satellite::GetAzimuth}, {4, Kind::PropGet, &Satellite::GetSnr},
    {5, Kind::PropGet, &Satellite::GetUsedForFix},
};

Satellite::Satellite() : DispatchObject(IID_ISatellite, "ZenolithCE.Satellite") {}
com::HRESULT Satellite::Create(const com::IID& iid, void** object) { return CreateInstanceOf<Satellite>(iid, object); }
Satellite* Satellite::From(com::IDispatch* object) { return Unwrap<Satellite>(object, IID_SatelliteObject); }
com::HRESULT Satellite::QueryExtra(const com::IID& iid, void** object) {
  return Expose(this, IID_SatelliteObject, iid, object);
}

void Satellite::set_view(std::int16_t elevation, std::int16_t azimuth, std::int16_t snr) {
  elevation_ = elevation;
  azimuth_ = azimuth;
  snr_ = snr;
}

com::HRESULT Satellite::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<Satellite>(this, kMembers, call);
}

void Satellite::GetId(Invocation& call) { call.result = com::Variant::I2(id_); }
void Satellite::GetElevation(Invocation& call) { call.result = com::Variant::I2(elevation_); }
void Satellite::GetAzimuth(Invocation& call) { call.result = com::Variant::I2(azimuth_); }
void Satellite::GetSnr(Invocation& call) { call.result = com::Variant::I2(snr_); }
void Satellite::GetUsedForFix(Invocation& call) { call.result = com::Variant::Bool(usedForFix_); }

// ---------------------------------------------------------------- Satellites

const MemberRow<Satellites> Satellites::kMembers[2] = {
    {1, Kind::PropGet, &Satellites::GetCount},
    {0, Kind::PropGet, &Satellites::GetItem},
};

Satellites::Satellites() : DispatchObject(IID_ISatellites, "ZenolithCE.Satellites") {}
com::HRESULT Satellites::Create(const com::IID& iid, void** object) { return CreateInstanceOf<Satellites>(iid, object); }
Satellites* Satellites::From(com::IDispatch* object) { return Unwrap<Satellites>(object, IID_SatellitesObject); }
com::HRESULT Satellites::QueryExtra(const com::IID& iid, void** object) {
  return Expose(this, IID_SatellitesObject, iid, object);
}

Satellite* Satellites::Find(std::int16_t id) const {
  for (const Item& item : items_)
    if (item.satellite->id() == id) return item.satellite;
  return nullptr;
}

Satellite* Satellites::FindOrAdd(std::int16_t id) {
  if (Satellite* known = Find(id)) return known;
  if (items_.size() >= kMaxSatellites) return nullptr;
  com::ComPtr<Satellite> added = New<Satellite>();
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

com::HRESULT Satellites::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<Satellites>(this, kMembers, call);
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

const MemberRow<ComStatus> ComStatus::kMembers[4] = {
    {1, Kind::PropGet, &ComStatus::GetValidNmea},
    {2, Kind::PropGet, &ComStatus::GetComPort},
    {3, Kind::PropGet, &ComStatus::GetBaudRate},
    {4, Kind::PropGet, &ComStatus::GetValidFix},
};

ComStatus::ComStatus() : DispatchObject(IID_IComStatus, "ZenolithCE.ComStatus") {}
com::HRESULT ComStatus::Create(const com::IID& iid, void** object) { return CreateInstanceOf<ComStatus>(iid, object); }
ComStatus* ComStatus::From(com::IDispatch* object) { return Unwrap<ComStatus>(object, IID_ComStatusObject); }
com::HRESULT ComStatus::QueryExtra(const com::IID& iid, void** object) {
  return Expose(this, IID_ComStatusObject, iid, object);
}

com::ComPtr<ComStatus> ComStatus::Make(const ComStatusValues& values) {
  com::ComPtr<ComStatus> status = New<ComStatus>();
  if (status) status->values_ = values;
  return status;
}

com::HRESULT ComStatus::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  return Dispatch<ComStatus>(this, kMembers, call);
}

void ComStatus::GetValidNmea(Invocation& call) { call.result = com::Variant::Bool(values_.validNmea); }
void ComStatus::GetComPort(Invocation& call) { call.result = com::Variant::I2(values_.comPort); }
void ComStatus::GetBaudRate(Invocation& call) { call.result = com::Variant::I4(values_.baudRate); }
void ComStatus::GetValidFix(Invocation& call) { call.result = com::Variant::Bool(values_.validFix); }

}  // namespace zenolith
