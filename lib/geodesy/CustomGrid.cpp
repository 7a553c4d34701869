#include "lib/geodesy/CustomGrid.h"

#include <numbers>

#include "lib/component/Identifiers.h"
#include "lib/geodesy/CustomDatum.h"

namespace zenolith {
namespace {

using Kind = com::MemberKind;
constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kRadToDeg = 180.0 / std::numbers::pi;

// Reads argument 0 as a finite number; anything else fails the call.
bool Number(Invocation& call, double* out) { return FiniteArgument(call, 0, out); }

}  // namespace

const MemberRow<CustomGrid> CustomGrid::kMembers[] = {
    {1, Kind::PropGet, &CustomGrid::GetDatum},
    {1, Kind::PropPut, &CustomGrid::PutDatum},
    {2, Kind::PropGet, &CustomGrid::GetCustomDatum},
    {2, Kind::PropPutRef, &CustomGrid::PutCustomDatum},
    {3, Kind::PropGet, &CustomGrid::GetAlgorithm},
    {3, Kind::PropPut, &CustomGrid::PutAlgorithm},
    {4, Kind::PropGet, &CustomGrid::GetFalseEasting},
    {4, Kind::PropPut, &CustomGrid::PutFalseEasting},
    {5, Kind::PropGet, &CustomGrid::GetFalseNorthing},
    {5, Kind::PropPut, &CustomGrid::PutFalseNorthing},
    {6, Kind::PropGet, &CustomGrid::GetLongitudeOfOrigin},
    {6, Kind::PropPut, &CustomGrid::PutLongitudeOfOrigin},
    {7, Kind::PropGet, &CustomGrid::GetLatitudeOfOrigin},
    {7, Kind::PropPut, &CustomGrid::PutLatitudeOfOrigin},
    {8, Kind::PropGet, &CustomGrid::GetScaleFactor},
    {8, Kind::PropPut, &CustomGrid::PutScaleFactor},
    {9, Kind::PropGet, &CustomGrid::GetLatitudeSP1},
    {9, Kind::PropPut, &CustomGrid::PutLatitudeSP1},
    {10, Kind::PropGet, &CustomGrid::GetLatitudeSP2},
    {10, Kind::PropPut, &CustomGrid::PutLatitudeSP2},
};

CustomGrid::CustomGrid() : ClassBase(IID_ICustomGrid, "ZenolithCE.CustomGrid", kMembers) {}

com::ComPtr<com::IDispatch> CustomGrid::Clone() const {
  com::ComPtr<com::IDispatch> copy;
  if (com::Failed(Create(IID_ICustomGrid, copy.PutVoid()))) return {};
  CustomGrid* grid = From(copy.get());
  grid->params_ = params_;
  grid->params_.customDatum = nullptr;
  if (CustomDatum* datum = CustomDatum::From(datum_.get())) {
    com::ComPtr<com::IDispatch> datumCopy;
    if (com::Succeeded(CustomDatum::Create(IID_ICustomDatum, datumCopy.PutVoid()))) {
      CustomDatum::From(datumCopy.get())->set_parameters(datum->parameters());
      grid->AttachDatum(datumCopy.get());
    }
  }
  return copy;
}

void CustomGrid::AttachDatum(com::IDispatch* datum) {
  datum_ = com::ComPtr<com::IDispatch>(datum);
  CustomDatum* object = CustomDatum::From(datum);
  params_.customDatum = object ? &object->parameters() : nullptr;
}

void CustomGrid::GetDatum(Invocation& call) { call.result = com::Variant::I2(params_.datum); }

void CustomGrid::PutDatum(Invocation& call) {
  std::int16_t datum = 0;
  if (com::Failed(call.Value(0).ToInt16(&datum)) || datum < 1 || datum > 28) {
    call.Fail(kErrorInvalidArgument, "Unknown datum!");
    return;
  }
  params_.datum = datum;
}

void CustomGrid::GetCustomDatum(Invocation& call) {
  if (!datum_) {
    com::ComPtr<com::IDispatch> created;
    if (com::Failed(CustomDatum::Create(IID_ICustomDatum, created.PutVoid()))) {
      call.Fail(kErrorInvalidArgument, "Out of memory");
      return;
    }
    AttachDatum(created.get());
  }
  call.result = com::Variant::Dispatch(datum_.get());
}

void CustomGrid::PutCustomDatum(Invocation& call) {
  com::ComPtr<com::IDispatch> object;
  call.Value(0).ToDispatch(&object);
  if (!object) {
    call.Fail(kErrorInvalidArgument, "CustomDatum may not be null.");
    return;
  }
  if (!CustomDatum::From(object.get())) {
    call.Fail(kErrorInvalidArgument, "Invalid parameter!");
    return;
  }
  AttachDatum(object.get());
  params_.datum = 28;
}

void CustomGrid::GetAlgorithm(Invocation& call) { call.result = com::Variant::I2(params_.algorithm); }

void CustomGrid::PutAlgorithm(Invocation& call) {
  std::int16_t algorithm = 0;
  if (com::Failed(call.Value(0).ToInt16(&algorithm))) {
    call.Fail(kErrorInvalidArgument, "Invalid parameter!");
    return;
  }
  params_.algorithm = algorithm;
}

void CustomGrid::GetFalseEasting(Invocation& call) { call.result = com::Variant::R8(params_.falseEasting); }
void CustomGrid::PutFalseEasting(Invocation& call) { Number(call, &params_.falseEasting); }
void CustomGrid::GetFalseNorthing(Invocation& call) { call.result = com::Variant::R8(params_.falseNorthing); }
void CustomGrid::PutFalseNorthing(Invocation& call) { Number(call, &params_.falseNorthing); }
void CustomGrid::GetScaleFactor(Invocation& call) { call.result = com::Variant::R8(params_.scale); }
void CustomGrid::PutScaleFactor(Invocation& call) { Number(call, &params_.scale); }

void CustomGrid::GetLongitudeOfOrigin(Invocation& call) {
  call.result = com::Variant::R8(params_.longitudeOfOrigin * kRadToDeg);
}
void CustomGrid::PutLongitudeOfOrigin(Invocation& call) {
  double degrees = 0;
  if (Number(call, &degrees)) params_.longitudeOfOrigin = degrees * kDegToRad;
}
void CustomGrid::GetLatitudeOfOrigin(Invocation& call) {
  call.result = com::Variant::R8(params_.latitudeOfOrigin * kRadToDeg);
}
void CustomGrid::PutLatitudeOfOrigin(Invocation& call) {
  double degrees = 0;
  if (Number(call, &degrees)) params_.latitudeOfOrigin = degrees * kDegToRad;
}
void CustomGrid::GetLatitudeSP1(Invocation& call) { call.result = com::Variant::R8(params_.sp1 * kRadToDeg); }
void CustomGrid::PutLatitudeSP1(Invocation& call) {
  double degrees = 0;
  if (Number(call, &degrees)) params_.sp1 = degrees * kDegToRad;
}
void CustomGrid::GetLatitudeSP2(Invocation& call) { call.result = com::Variant::R8(params_.sp2 * kRadToDeg); }
void CustomGrid::PutLatitudeSP2(Invocation& call) {
  double degrees = 0;
  if (Number(call, &degrees)) params_.sp2 = degrees * kDegToRad;
}

}  // namespace zenolith
