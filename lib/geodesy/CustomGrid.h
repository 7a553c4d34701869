// CustomGrid: a grid of the caller's own (ProgID "ZenolithCE.CustomGrid",
// interface ICustomGrid), used by a Position whose grid is 52.
//
// Members (dispatch identifiers 1 to 10, each a get and a put):
//   Datum               1 to 28 ("Unknown datum!" otherwise); 28 after creation
//   CustomDatum         the datum for Datum 28; get creates an all-zero one on
//                       demand, put by reference also sets Datum to 28
//   Algorithm           any value is kept; an unsupported one fails when projecting (3 after creation)
//   FalseEasting, FalseNorthing           metres (0)
//   LongitudeOfOrigin, LatitudeOfOrigin   degrees at the interface, kept in radians (0)
//   ScaleFactor         scale at origin (1.0)
//   LatitudeSP1, LatitudeSP2              degrees, kept in radians (0)
//
// Like CustomDatum, a CustomGrid is shared by the positions it is handed to;
// positions read the values under the library lock, and the members run under it.
#pragma once

#include "lib/component/ClassBase.h"
#include "lib/geodesy/GridProjection.h"

namespace zenolith {

inline constexpr com::IID IID_CustomGridObject = com::MakeGuid("C2B7E0D4-8A3F-4E61-9D25-7B0F3A6C1E52");

class CustomGrid final : public ClassBase<CustomGrid, IID_CustomGridObject> {
 public:
  CustomGrid();

  // The values, with customDatum pointing into the attached CustomDatum.
  const CustomGridParameters& parameters() const { return params_; }
  // A new CustomGrid with the same values and a copy of the custom datum.
  com::ComPtr<com::IDispatch> Clone() const;

 private:
  static const MemberRow<CustomGrid> kMembers[];

  void AttachDatum(com::IDispatch* datum);

  void GetDatum(Invocation& call);
  void PutDatum(Invocation& call);
  void GetCustomDatum(Invocation& call);
  void PutCustomDatum(Invocation& call);
  void GetAlgorithm(Invocation& call);
  void PutAlgorithm(Invocation& call);
  void GetFalseEasting(Invocation& call);
  void PutFalseEasting(Invocation& call);
  void GetFalseNorthing(Invocation& call);
  void PutFalseNorthing(Invocation& call);
  void GetLongitudeOfOrigin(Invocation& call);
  void PutLongitudeOfOrigin(Invocation& call);
  void GetLatitudeOfOrigin(Invocation& call);
  void PutLatitudeOfOrigin(Invocation& call);
  void GetScaleFactor(Invocation& call);
  void PutScaleFactor(Invocation& call);
  void GetLatitudeSP1(Invocation& call);
  void PutLatitudeSP1(Invocation& call);
  void GetLatitudeSP2(Invocation& call);
  void PutLatitudeSP2(Invocation& call);

  CustomGridParameters params_;
  com::ComPtr<com::IDispatch> datum_;  // the CustomDatum params_.customDatum points into
};

}  // namespace zenolith
