// CustomDatum: a datum of the caller's own (ProgID "ZenolithCE.CustomDatum",
// interface ICustomDatum), nine doubles all 0 after creation.
//
// Members (dispatch identifiers 1 to 9, each a get and a put):
//   SemiMajorAxis  metres
//   E2             eccentricity squared; a negative value is stored without its sign
//   DeltaX/Y/Z     metres
//   RotX/Y/Z       arc-seconds at the interface, kept in radians
//   ScaleFactor    scale difference (ppm * 1e-6), not 1 + difference
//
// Objects are shared: a Position or CustomGrid keeps a reference to the
// object it was handed and sees later changes. Reads and writes run under the
// library lock, as do the geodesy operations that use the values.
#pragma once

#include "lib/component/ClassBase.h"
#include "lib/geodesy/DatumParameters.h"

namespace zenolith {

// Asks a CustomDatum of this library for its C++ object (no reference added).
inline constexpr com::IID IID_CustomDatumObject = com::MakeGuid("5A0E9C6B-2F61-4C0B-9B0E-6F2C1D7A3E41");

class CustomDatum final : public ClassBase<CustomDatum, IID_CustomDatumObject> {
 public:
  CustomDatum();

  const DatumParameters& parameters() const { return params_; }
  void set_parameters(const DatumParameters& params) { params_ = params; }

 protected:
  // Refuses a put of NaN or an infinity, then runs the member (library lock held).
  com::HRESULT Call(Invocation& call) override;

 private:
  static const MemberRow<CustomDatum> kMembers[];

  void GetSemiMajorAxis(Invocation& call);
  void PutSemiMajorAxis(Invocation& call);
  void GetE2(Invocation& call);
  void PutE2(Invocation& call);
  void GetDeltaX(Invocation& call);
  void PutDeltaX(Invocation& call);
  void GetDeltaY(Invocation& call);
  void PutDeltaY(Invocation& call);
  void GetDeltaZ(Invocation& call);
  void PutDeltaZ(Invocation& call);
  void GetRotX(Invocation& call);
  void PutRotX(Invocation& call);
  void GetRotY(Invocation& call);
  void PutRotY(Invocation& call);
  void GetRotZ(Invocation& call);
  void PutRotZ(Invocation& call);
  void GetScaleFactor(Invocation& call);
  void PutScaleFactor(Invocation& call);

  DatumParameters params_;
};

}  // namespace zenolith
