#include "lib/geodesy/CustomDatum.h"

#include <cmath>

#include "lib/component/Identifiers.h"
#include "lib/component/LibraryLock.h"

namespace zenolith {
namespace {
using Kind = com::MemberKind;
}  // namespace

const MemberRow<CustomDatum> CustomDatum::kMembers[] = {
    {1, Kind::PropGet, &CustomDatum::GetSemiMajorAxis}, {1, Kind::PropPut, &CustomDatum::PutSemiMajorAxis},
    {2, Kind::PropGet, &CustomDatum::GetE2},            {2, Kind::PropPut, &CustomDatum::PutE2},
    {3, Kind::PropGet, &CustomDatum::GetDeltaX},        {3, Kind::PropPut, &CustomDatum::PutDeltaX},
    {4, Kind::PropGet, &CustomDatum::GetDeltaY},        {4, Kind::PropPut, &CustomDatum::PutDeltaY},
    {5, Kind::PropGet, &CustomDatum::GetDeltaZ},        {5, Kind::PropPut, &CustomDatum::PutDeltaZ},
    {6, Kind::PropGet, &CustomDatum::GetRotX},          {6, Kind::PropPut, &CustomDatum::PutRotX},
    {7, Kind::PropGet, &CustomDatum::GetRotY},          {7, Kind::PropPut, &CustomDatum::PutRotY},
    {8, Kind::PropGet, &CustomDatum::GetRotZ},          {8, Kind::PropPut, &CustomDatum::PutRotZ},
    {9, Kind::PropGet, &CustomDatum::GetScaleFactor},   {9, Kind::PropPut, &CustomDatum::PutScaleFactor},
};

CustomDatum::CustomDatum() : ClassBase(IID_ICustomDatum, "ZenolithCE.CustomDatum", kMembers) {}

// Positions read the values under the library lock; puts take it too so a
// position never sees a half-written datum.
com::HRESULT CustomDatum::Call(Invocation& call) {
  std::lock_guard lock(LibraryLock());
  // Every put takes one real parameter; NaN or an infinity would only come
  // back out of every position on this datum.
  double value = 0;
  if (call.member.kind == com::MemberKind::PropPut && !FiniteArgument(call, 0, &value)) return com::S_OK;
  return DispatchMember(call);
}

void CustomDatum::GetSemiMajorAxis(Invocation& call) { call.result = com::Variant::R8(params_.semiMajorAxis); }
void CustomDatum::PutSemiMajorAxis(Invocation& call) { params_.semiMajorAxis = call.R8(0); }
void CustomDatum::GetE2(Invocation& call) { call.result = com::Variant::R8(params_.e2); }
void CustomDatum::PutE2(Invocation& call) { params_.e2 = std::fabs(call.R8(0)); }
void CustomDatum::GetDeltaX(Invocation& call) { call.result = com::Variant::R8(params_.dx); }
void CustomDatum::PutDeltaX(Invocation& call) { params_.dx = call.R8(0); }
void CustomDatum::GetDeltaY(Invocation& call) { call.result = com::Variant::R8(params_.dy); }
void CustomDatum::PutDeltaY(Invocation& call) { params_.dy = call.R8(0); }
void CustomDatum::GetDeltaZ(Invocation& call) { call.result = com::Variant::R8(params_.dz); }
void CustomDatum::PutDeltaZ(Invocation& call) { params_.dz = call.R8(0); }
void CustomDatum::GetRotX(Invocation& call) { call.result = com::Variant::R8(params_.rx * kRadiansToArcSeconds); }
void CustomDatum::PutRotX(Invocation& call) { params_.rx = call.R8(0) * kArcSecondsToRadians; }
void CustomDatum::GetRotY(Invocation& call) { call.result = com::Variant::R8(params_.ry * kRadiansToArcSeconds); }
void CustomDatum::PutRotY(Invocation& call) { params_.ry = call.R8(0) * kArcSecondsToRadians; }
void CustomDatum::GetRotZ(Invocation& call) { call.result = com::Variant::R8(params_.rz * kRadiansToArcSeconds); }
void CustomDatum::PutRotZ(Invocation& call) { params_.rz = call.R8(0) * kArcSecondsToRadians; }
void CustomDatum::GetScaleFactor(Invocation& call) { call.result = com::Variant::R8(params_.scale); }
void CustomDatum::PutScaleFactor(Invocation& call) { params_.scale = call.R8(0); }

}  // namespace zenolith
