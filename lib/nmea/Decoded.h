// The objects decoded from NMEA 0183 sentences (built from the plain records
// of SentenceRecords.h), and the UTC and speed helpers they share.
//
// Decoded sentences (one per received sentence, handed to the sentence
// events): NmeaGGA, NmeaGLL, NmeaRMC (ProgIDs "ZenolithCE.NmeaGGA", ...) and
// the internal NmeaVTG. Each keeps the sentence it was decoded from; after one
// of its values is changed through a setter, or when it has none, Sentence()
// writes a new "$GP..." sentence from the values and keeps that one.
//
// Summaries: GpsFix, Movement, Quality, Satellites with Satellite items, and
// ComStatus. They are filled by the decoder and only read afterwards.
//
// Units: angles of positions in radians inside (the Position object), headings
// and magnetic variation in degrees (west negative), speeds held in knots,
// altitudes in metres, UTC values as automation dates at the interface (date
// part 0 when the value has no date; milliseconds kept).
//
// Decoding never fails: a missing or malformed field reads as 0 or empty.
// Every member call runs under the library lock, so a writer and a reader of
// the same object on two threads do not meet halfway. The Position objects of
// decoded sentences and fixes are made when a client first asks for one.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "lib/component/ClassBase.h"
#include "lib/nmea/NmeaSentence.h"
#include "lib/nmea/SentenceRecords.h"
#include "lib/nmea/SentenceText.h"

namespace zenolith {

// Ask an object of this library for its C++ object (no reference added).
inline constexpr com::IID IID_NmeaGGAObject = com::MakeGuid("50E6EB7F-062F-4A1F-9115-5304AB67411F");
inline constexpr com::IID IID_NmeaGLLObject = com::MakeGuid("9DFEC581-6638-420F-BD70-A506315DA66E");
inline constexpr com::IID IID_NmeaRMCObject = com::MakeGuid("3B971212-25AD-4759-968A-66F6BF9E2394");
inline constexpr com::IID IID_GpsFixObject = com::MakeGuid("3D85AA13-7B39-4DF9-AA74-3B55F2AAD059");
inline constexpr com::IID IID_MovementObject = com::MakeGuid("A22A555F-4C24-4593-B15F-55A7FAD25071");
inline constexpr com::IID IID_QualityObject = com::MakeGuid("AADDC03B-8DFC-4905-8DC3-4D2BB544EF60");
inline constexpr com::IID IID_SatellitesObject = com::MakeGuid("7E31A3DD-E574-4331-9159-7AE84C8B635D");
inline constexpr com::IID IID_SatelliteObject = com::MakeGuid("FA8360A9-1FE1-45B7-BB60-83DC3E1A8B29");
inline constexpr com::IID IID_ComStatusObject = com::MakeGuid("B7332ED2-A94F-45DE-9CFD-3A4251274904");

// ------------------------------------------------------------ UTC and speed

bool HasDate(const UtcTime& utc);  // any of year, month, day non-zero
// The automation date of a UTC value: with its date when it has a valid one,
// else the time of day alone (date part 0); 0 when the time is out of range.
com::DateValue UtcToDate(const UtcTime& utc);
// Milliseconds from day 0 (undated values count from day 0, so two undated
// values compare by time of day); used to count GPS seconds between events.
long long UtcMilliseconds(const UtcTime& utc);

// Speed units of Movement.Speed and NmeaRMC.GroundSpeed: 0 knots, 1 metres
// per second, 2 kilometres per hour, 3 miles per hour. Nothing outside 0..3.
std::optional<double> KnotsTo(double knots, int unit);

// A new Position holding `place` with datum label `datum`; null only when
// out of memory.
com::ComPtr<com::IDispatch> MakePosition(const Place& place, std::int16_t datum);
// Position.Copy of `position`; null for null.
com::ComPtr<com::IDispatch> CopyPosition(com::IDispatch* position);

// ---------------------------------------------------------- decoded sentences

// What NmeaGGA, NmeaGLL and NmeaRMC share: the sentence, Valid, UTC, the
// position and the modified flag of the writer.
class DecodedSentence : public DispatchObject {
 public:
  // The sentence decoded from, or (when a value changed since, or there is
  // none) a new one written from the values, which is kept. Null only when
  // out of memory.
  com::ComPtr<com::IDispatch> Sentence();

  bool valid() const { return valid_; }
  const std::optional<UtcTime>& utc() const { return utc_; }
  bool has_position() const { return hasPlace_; }
  const Place& place() const { return place_; }
  std::int16_t datum() const { return datum_; }
  bool modified() const { return modified_; }

  // Setters mark the object modified.
  void set_valid(bool valid);
  void set_utc(const UtcTime& utc);
  void set_place(const Place& place, std::int16_t datum);

 protected:
  DecodedSentence(const com::IID& iid, std::string_view progId);
  // Takes the sentence and the common values; `sentence` is kept as it is.
  void Keep(com::IDispatch* sentence, bool valid, const UtcTime& utc, const Place& place, std::int16_t datum);
  // A decoded sentence of type T (null only when out of memory) keeping
  // `sentence`, filled from `record` by T::Fill.
  template <class T, class Record>
  static com::ComPtr<T> MakeFrom(com::IDispatch* sentence, const Record& record, std::int16_t datum) {
    com::ComPtr<T> decoded = T::New();
    if (decoded) {
      decoded->Keep(sentence, record.valid, record.utc, record.place, datum);
      decoded->Fill(record);
    }
    return decoded;
  }
  void Touch() { modified_ = true; }
  // Fills a fresh sentence with the command and fields of this type.
  virtual void Write(NmeaSentence& out) const = 0;
  // Latitude, "N"/"S", longitude, "E"/"W" into four fields from `first`;
  // "0000.00000", "N", "00000.00000", "E" without a position.
  void WritePlace(NmeaSentence& out, int first) const;

  void GetPosition(Invocation& call);
  void GetValid(Invocation& call);
  void GetUtc(Invocation& call);

 private:
  com::ComPtr<com::IDispatch> sentence_;
  com::ComPtr<com::IDispatch> position_;  // built from place_ when first asked for; handed out only as copies
  std::optional<UtcTime> utc_;
  Place place_;
  std::int16_t datum_ = 1;
  bool hasPlace_ = false;
  bool valid_ = false;
  bool modified_ = false;
};

// NmeaGGA (interface INmeaGGA): Position, Valid, UTC (time only),
// SatellitesInView, HDOP.
class NmeaGGA final : public ClassBase<NmeaGGA, IID_NmeaGGAObject, DecodedSentence> {
 public:
  NmeaGGA();
  // Decodes a GGA NmeaSentence; positions get datum label `datum`. Null only
  // when out of memory.
  static com::ComPtr<NmeaGGA> Decode(com::IDispatch* sentence, std::int16_t datum);
  // The same from the record of `sentence`, read already.
  static com::ComPtr<NmeaGGA> Make(com::IDispatch* sentence, const GgaRecord& record, std::int16_t datum) {
    return MakeFrom<NmeaGGA>(sentence, record, datum);
  }
  void Fill(const GgaRecord& record);

  std::int16_t satellites_in_view() const { return satellitesInView_; }
  double hdop() const { return hdop_; }
  void set_satellites_in_view(std::int16_t count);
  void set_hdop(double hdop);

 protected:
  void Write(NmeaSentence& out) const override;

 private:
  static const MemberRow<NmeaGGA> kMembers[];
  void GetSatellitesInView(Invocation& call);
  void GetHdop(Invocation& call);

  std::int16_t satellitesInView_ = 0;
  double hdop_ = 0;
};

// NmeaGLL (interface INmeaGLL): Position, Valid, UTC (time only).
class NmeaGLL final : public ClassBase<NmeaGLL, IID_NmeaGLLObject, DecodedSentence> {
 public:
  NmeaGLL();
  static com::ComPtr<NmeaGLL> Decode(com::IDispatch* sentence, std::int16_t datum);
  static com::ComPtr<NmeaGLL> Make(com::IDispatch* sentence, const GllRecord& record, std::int16_t datum) {
    return MakeFrom<NmeaGLL>(sentence, record, datum);
  }
  void Fill(const GllRecord&) {}

 protected:
  void Write(NmeaSentence& out) const override;

 private:
  static const MemberRow<NmeaGLL> kMembers[];
};

// NmeaRMC (interface INmeaRMC): GroundSpeed(frm) (knots for a unit outside
// 0..3), Position, Valid, UTC (with date), Heading (degrees),
// MagneticVariation (degrees, west negative).
class NmeaRMC final : public ClassBase<NmeaRMC, IID_NmeaRMCObject, DecodedSentence> {
 public:
  NmeaRMC();
  static com::ComPtr<NmeaRMC> Decode(com::IDispatch* sentence, std::int16_t datum);
  static com::ComPtr<NmeaRMC> Make(com::IDispatch* sentence, const RmcRecord& record, std::int16_t datum) {
    return MakeFrom<NmeaRMC>(sentence, record, datum);
  }
  void Fill(const RmcRecord& record);

  double knots() const { return knots_; }
  double heading() const { return heading_; }
  double magnetic_variation() const { return magneticVariation_; }
  void set_knots(double knots);
  void set_heading(double degrees);
  void set_magnetic_variation(double degrees);

 protected:
  void Write(NmeaSentence& out) const override;

 private:
  static const MemberRow<NmeaRMC> kMembers[];
  void GetGroundSpeed(Invocation& call);
  void GetHeading(Invocation& call);
  void GetMagneticVariation(Invocation& call);

  double knots_ = 0;
  double heading_ = 0;
  double magneticVariation_ = 0;
};

// A VTG sentence as decoded; no component class, only the decoder and its
// writer use it.
class NmeaVTG {
 public:
  static NmeaVTG Decode(com::IDispatch* sentence);
  static NmeaVTG Make(com::IDispatch* sentence, const VtgRecord& record);

  bool valid() const { return valid_; }
  double heading() const { return heading_; }  // true heading, degrees
  double knots() const { return knots_; }
  double magnetic_variation() const { return magneticVariation_; }  // 0 unless the magnetic track is given
  void set_valid(bool valid);
  void set_heading(double degrees);
  void set_knots(double knots);
  void set_magnetic_variation(double degrees);
  // As DecodedSentence::Sentence.
  com::ComPtr<com::IDispatch> Sentence();

 private:
  com::ComPtr<com::IDispatch> sentence_;
  bool valid_ = false;
  bool modified_ = false;
  double heading_ = 0;
  double knots_ = 0;
  double magneticVariation_ = 0;
};

// ------------------------------------------------------------------ summaries

// GpsFix (interface IGpsFix): UTC, Position, FixType (0 none, 2 without
// altitude, 3 with altitude).
class GpsFix final : public ClassBase<GpsFix, IID_GpsFixObject> {
 public:
  GpsFix();
  // Its Position (datum label `datum`) is made when first asked for.
  static com::ComPtr<GpsFix> Make(std::int16_t fixType, const UtcTime& utc, const Place& place, std::int16_t datum);

  std::int16_t fix_type() const { return fixType_; }
  const UtcTime& utc() const { return utc_; }
  const Place& place() const { return place_; }
  std::int16_t datum() const { return datum_; }

 private:
  static const MemberRow<GpsFix> kMembers[];
  void GetUtc(Invocation& call);
  void GetPosition(Invocation& call);
  void GetFixType(Invocation& call);

  std::int16_t fixType_ = 0;
  UtcTime utc_;
  Place place_;
  std::int16_t datum_ = 1;
  bool hasPlace_ = false;
  com::ComPtr<com::IDispatch> position_;  // built from place_ when first asked for; handed out only as copies
};

// Movement (interface IMovement): Heading (degrees), Speed(frm) (error 10003
// "Invalid parameter!" for a unit outside 0..3), MagneticVariation (degrees).
class Movement final : public ClassBase<Movement, IID_MovementObject> {
 public:
  Movement();
  static com::ComPtr<Movement> Make(double knots, double heading, double magneticVariation, bool valid);

  double knots() const { return knots_; }
  double heading() const { return heading_; }
  double magnetic_variation() const { return magneticVariation_; }
  bool valid() const { return valid_; }  // not exposed: an invalid movement is never delivered

 private:
  static const MemberRow<Movement> kMembers[];
  void GetHeading(Invocation& call);
  void GetSpeed(Invocation& call);
  void GetMagneticVariation(Invocation& call);

  double knots_ = 0, heading_ = 0, magneticVariation_ = 0;
  bool valid_ = false;
};

// Quality (interface IQuality): PDOP, HDOP, VDOP.
class Quality final : public ClassBase<Quality, IID_QualityObject> {
 public:
  Quality();
  static com::ComPtr<Quality> Make(double pdop, double hdop, double vdop);

  double pdop() const { return pdop_; }
  double hdop() const { return hdop_; }
  double vdop() const { return vdop_; }

 private:
  static const MemberRow<Quality> kMembers[];
  void GetPdop(Invocation& call);
  void GetHdop(Invocation& call);
  void GetVdop(Invocation& call);

  double pdop_ = 0, hdop_ = 0, vdop_ = 0;
};

// Satellite (interface ISatellite): ID, Elevation and Azimuth (degrees), SNR
// (dB), UsedForFix (false when created).
class Satellite final : public ClassBase<Satellite, IID_SatelliteObject> {
 public:
  Satellite();

  std::int16_t id() const { return id_; }
  std::int16_t elevation() const { return elevation_; }
  std::int16_t azimuth() const { return azimuth_; }
  std::int16_t snr() const { return snr_; }
  bool used_for_fix() const { return usedForFix_; }
  void set_id(std::int16_t id) { id_ = id; }
  void set_view(std::int16_t elevation, std::int16_t azimuth, std::int16_t snr);
  void set_used_for_fix(bool used) { usedForFix_ = used; }

 private:
  static const MemberRow<Satellite> kMembers[];
  void GetId(Invocation& call);
  void GetElevation(Invocation& call);
  void GetAzimuth(Invocation& call);
  void GetSnr(Invocation& call);
  void GetUsedForFix(Invocation& call);

  std::int16_t id_ = 0, elevation_ = 0, azimuth_ = 0, snr_ = 0;
  bool usedForFix_ = false;
};

// Satellites (interface ISatellites): Count, Item(Index) for Index 1 to Count
// (else error 10004 "Index out of bounds"), in order of first appearance.
// While the decoder assembles it, it also keeps the number of the next
// expected GSV message (1 when created).
class Satellites final : public ClassBase<Satellites, IID_SatellitesObject> {
 public:
  Satellites();

  std::size_t count() const { return items_.size(); }
  Satellite* item(std::size_t index) const { return items_[index].satellite; }  // 0-based, index < count()
  // A stream of never-ending GSV cycles cannot grow the list beyond this.
  static constexpr std::size_t kMaxSatellites = 1024;

  // The satellite with that ID (null when absent); FindOrAdd appends a new
  // one, or gives null when the list is full or memory is out.
  Satellite* Find(std::int16_t id) const;
  Satellite* FindOrAdd(std::int16_t id);
  void Reset();  // empty, expecting message 1

  std::int16_t expected_message() const { return expected_; }
  void set_expected_message(std::int16_t number) { expected_ = number; }

 private:
  static const MemberRow<Satellites> kMembers[];
  void GetCount(Invocation& call);
  void GetItem(Invocation& call);

  struct Item {
    com::ComPtr<com::IDispatch> object;
    Satellite* satellite;
  };
  std::vector<Item> items_;
  std::int16_t expected_ = 1;
};

// The four values of a ComStatus; all 0 or false when cleared.
struct ComStatusValues {
  bool validNmea = false;
  bool validFix = false;
  std::int16_t comPort = 0;   // -1 when the data comes through gpsd
  std::int32_t baudRate = 0;  // 0 with gpsd
  friend bool operator==(const ComStatusValues&, const ComStatusValues&) = default;
};

// ComStatus (interface IComStatus): ValidNmea, ComPort, BaudRate, ValidFix.
class ComStatus final : public ClassBase<ComStatus, IID_ComStatusObject> {
 public:
  ComStatus();
  static com::ComPtr<ComStatus> Make(const ComStatusValues& values);

  const ComStatusValues& values() const { return values_; }

 private:
  static const MemberRow<ComStatus> kMembers[];
  void GetValidNmea(Invocation& call);
  void GetComPort(Invocation& call);
  void GetBaudRate(Invocation& call);
  void GetValidFix(Invocation& call);

  ComStatusValues values_;
};

// ------------------------------------------------------------- decoder clock

// The millisecond tick the decoder reads for its 4999 ms fix time-out (a
// monotonic clock by default). Tests replace it to step time without
// sleeping; null restores the default. Returns the previous source.
using TickSource = std::uint32_t (*)();
TickSource ExchangeDecoderTickSource(TickSource source);
std::uint32_t DecoderTicks();

}  // namespace zenolith
