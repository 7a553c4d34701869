// The event sink of zenolith decode and listen: every event of an NmeaParser
// printed as one JSON object per line, in event order. Members of the event
// objects are called by identifier (looked up once per interface), and the
// lines are appended to one block writer.
#pragma once

#include <array>
#include <string>

#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"
#include "tools/zenolith/BoundMembers.h"
#include "tools/zenolith/OutputText.h"

namespace zenolith::tools {

class JsonSink final : public com::IDispatch {
 public:
  // `generic`: print Generic events too. `flushEachLine`: hand every line to
  // the stream at once (live output), else in blocks.
  JsonSink(BlockWriter& out, bool generic, bool flushEachLine) : out_(out), generic_(generic), flushEachLine_(flushEachLine) {}

  com::HRESULT QueryInterface(const com::IID& iid, void** object) override;
  std::uint32_t AddRef() override { return 2; }  // lives on the command's stack
  std::uint32_t Release() override { return 1; }
  com::HRESULT GetTypeInfo(std::shared_ptr<const com::InterfaceInfo>*) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(std::span<const std::string_view>, com::DispId*) override { return com::E_NOTIMPL; }
  // Event `id` of the parser's event interface; args[0] is the event object.
  com::HRESULT Invoke(com::DispId id, std::uint16_t flags, std::span<com::Variant> args, com::Variant* result) override;

 private:
  // Reading members of one object into value_.
  const com::Variant& Get(com::IDispatch* object, com::DispId id);
  const com::Variant& Call(com::IDispatch* object, com::DispId id, std::int16_t argument);
  // The object a property holds (kept alive in *holder), null when none.
  com::IDispatch* Object(com::IDispatch* object, com::DispId id, com::Variant* holder);

  // Appending one value of value_ (or of v) in JSON.
  void Number(const com::Variant& v);
  void Boolean(const com::Variant& v);
  void Utc(const com::Variant& v);
  void Text(const com::Variant& v);
  // ,"lat":D,"lon":D from a position.
  void LatLon(com::IDispatch* position, const com::DispId* ids);

  void Generic(com::IDispatch* event);
  void Sentence(com::DispId id, com::IDispatch* event);
  void Satellites(com::IDispatch* event);
  void GpsFix(com::IDispatch* event);
  void Movement(com::IDispatch* event);
  void Quality(com::IDispatch* event);
  void ComStatus(com::IDispatch* event);

  BlockWriter& out_;
  std::string& line_ = out_.text();
  bool generic_;
  bool flushEachLine_;
  com::Variant value_, position_, satellite_;
  std::array<com::Variant, 1> argument_;
  std::string text_;

  BoundMembers genericMembers_{"Sentence"};
  BoundMembers ggaMembers_{"Position", "Valid", "UTC", "SatellitesInView", "HDOP"};
  BoundMembers gllMembers_{"Position", "Valid", "UTC"};
  BoundMembers rmcMembers_{"Position", "Valid", "UTC", "GroundSpeed", "Heading", "MagneticVariation"};
  BoundMembers satellitesMembers_{"Count", "Item"};
  BoundMembers satelliteMembers_{"ID", "Elevation", "Azimuth", "SNR", "UsedForFix"};
  BoundMembers fixMembers_{"FixType", "UTC", "Position"};
  BoundMembers movementMembers_{"Speed", "Heading", "MagneticVariation"};
  BoundMembers qualityMembers_{"PDOP", "HDOP", "VDOP"};
  BoundMembers statusMembers_{"ValidNmea", "ValidFix", "ComPort", "BaudRate"};
  BoundMembers positionMembers_{"Latitude", "Longitude", "Altitude"};
};

}  // namespace zenolith::tools
