// Position: one geographic position (ProgID "ZenolithCE.Position", interface
// IPosition) presented as radians, degrees, degrees-minutes-seconds, text and
// grid easting/northing/zone, converted between datums and grids on demand.
//
// The object keeps one geodetic record plus presentation state. Writing grid
// values marks latitude/longitude stale (the inverse projection runs before
// they are next read); writing geodetic values, the datum, grid or zone marks
// the grid values stale (the forward projection runs before they are next
// read). A projection that fails leaves its flag set, so it is retried on the
// next read, and its message reaches the caller through the getter.
//
// Every operation holds the library lock (re-entrant: Distance calls Copy and
// MakeSameDatum under it). Failures fill the error record with 10003 and the
// message; the values are left as they were, except that SetAltitude and Move
// count in ModifiedCount even when they fail.
//
// Real arguments (coordinates, angles, heights, Move's distance and bearing)
// must be finite: NaN or an infinity fails with "<name> must be a finite
// number.". Absurd finite values are taken, but a projection, datum shift or
// move whose result is not finite fails with a message instead, and no
// member ever returns NaN or an infinity.
#pragma once

#include <cstdint>
#include <string>

#include "lib/component/ClassBase.h"
#include "lib/geodesy/GridProjection.h"

namespace zenolith {

inline constexpr com::IID IID_PositionObject = com::MakeGuid("9E4A61C3-5B2D-4F08-A7C1-3D6E8B0F2A95");

// Degrees, minutes and seconds of an absolute angle (seconds rounded to 0.001).
struct Dms {
  std::int16_t degrees = 0;
  std::int16_t minutes = 0;
  double seconds = 0;
};

// The caches as the position builds them from an angle in radians; the
// latitude form adds 5e-11 before each truncation, the longitude form does not.
Dms LatitudeDms(double latitude);
Dms LongitudeDms(double longitude);
// "%d %d'%.2f %c" after adding 0.0005 to the seconds (with carries).
std::string DmsText(const Dms& dms, char hemisphere);
// NMEA ddmm.mmmmm ("%02d%.5f", or with 3 degree digits for a longitude) with
// the minutes always two digits before the point.
std::string DmsDecimalMinutes(const Dms& dms, int degreeDigits);
// Longitudes outside -pi..pi brought into it.
double NormaliseLongitude(double longitude);
// "32U" for UTM grids, the zone number for DHDN, the number or "" elsewhere.
std::string ZoneText(std::int16_t grid, std::int16_t zone, double latitude);

class Position final : public ClassBase<Position, IID_PositionObject> {
 public:
  Position();
  ~Position() override;

  // Direct access for the library's own classes (the NMEA decoders), under
  // the library lock: set latitude/longitude in radians, the two altitudes
  // and the datum label of a fresh position.
  void SetGeodetic(double latitude, double longitude, std::int16_t datum);
  void SetAltitudes(double aboveSeaLevel, double datumHeight);

 protected:
  // Runs the member under the library lock and refuses a result of NaN or an infinity.
  com::HRESULT Call(Invocation& call) override;

 private:
  static const MemberRow<Position> kMembers[];

  // Refreshes: false (and the error record filled) when the projection fails.
  bool RefreshGeodetic();
  bool RefreshGrid();
  void Touch() { empty_ = false; }
  void Count() { ++modifiedCount_; }

  bool PutLatitude(double latitude, bool checkRange, ErrorRecord& error);
  void PutLongitude(double longitude);
  bool PutDatum(std::int16_t datum, com::IDispatch* custom, ErrorRecord& error);
  bool PutGrid(std::int16_t grid, com::IDispatch* custom, ErrorRecord& error);
  bool PutZone(std::int16_t zone, ErrorRecord& error);
  void AttachCustomDatum(com::IDispatch* datum);
  void AttachCustomGrid(com::IDispatch* grid);
  com::ComPtr<com::IDispatch> MakeCopy() const;
  // The other position of Distance, Bearing and the Same/MakeSame methods.
  Position* Other(Invocation& call, std::size_t index);

  void LatitudeDMS(Invocation& call);
  void LongitudeDMS(Invocation& call);
  void LatitudeString(Invocation& call);
  void LongitudeString(Invocation& call);
  void Altitude(Invocation& call);
  void GetLatitudeRads(Invocation& call);
  void PutLatitudeRads(Invocation& call);
  void GetLongitudeRads(Invocation& call);
  void PutLongitudeRads(Invocation& call);
  void SetLatitudeDMS(Invocation& call);
  void SetLongitudeDMS(Invocation& call);
  void SetAltitude(Invocation& call);
  void GetDatum(Invocation& call);
  void PutDatumMember(Invocation& call);
  void GetGrid(Invocation& call);
  void PutGridMember(Invocation& call);
  void GetEasting(Invocation& call);
  void PutEasting(Invocation& call);
  void GetNorthing(Invocation& call);
  void PutNorthing(Invocation& call);
  void GetZone(Invocation& call);
  void PutZoneMember(Invocation& call);
  void GetLatitude(Invocation& call);
  void PutLatitudeMember(Invocation& call);
  void GetLongitude(Invocation& call);
  void PutLongitudeMember(Invocation& call);
  void Distance(Invocation& call);
  void Bearing(Invocation& call);
  void Move(Invocation& call);
  void Copy(Invocation& call);
  void GetModifiedCount(Invocation& call);
  void IsSameDatum(Invocation& call);
  void IsSameGrid(Invocation& call);
  void MakeSameDatum(Invocation& call);
  void MakeSameGrid(Invocation& call);
  void PutCustomDatum(Invocation& call);
  void PutCustomGrid(Invocation& call);

  bool SameDatumAs(Position& other);
  const Position* OnThisGrid(Position& other, com::ComPtr<com::IDispatch>* keep, Invocation& call);
  const Position* OnThisDatum(Position& other, com::ComPtr<com::IDispatch>* keep, Invocation& call);
  bool SameGridAs(Position& other);

  GeodeticRecord record_;
  com::ComPtr<com::IDispatch> customDatum_;
  com::ComPtr<com::IDispatch> customGrid_;
  double altitude0_ = 0;  // above mean sea level: stored and returned, never shifted
  Dms latitudeDms_, longitudeDms_;
  bool geodeticStale_ = false;
  bool gridStale_ = false;
  bool empty_ = true;
  std::int32_t modifiedCount_ = 0;
};

}  // namespace zenolith
