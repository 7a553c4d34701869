// NmeaParser: the library's public NMEA front end (ProgID
// "ZenolithCE.NmeaParser", interface INmeaParser, events _INmeaParserEvents).
//
// It owns the port link, runs the decoder and hands the results to the client
// either as events or, with NoEvents, through the Get methods. Events fire on
// the thread that created the parser, which must run a message loop: the
// parser's own thread posts every received item to a hidden window of the
// creating thread, whose procedure decodes it and fires the events there, one
// at a time, in arrival order. Parse is the exception: its events fire
// during the call on the caller's thread.
//
// Errors: 10003 "Unknown datum!", "Unknown event type!"; 10006 "Port must be
// enabled!", "Port must not be enabled!", "Autodetect mode not allowed",
// "NoEvents must be set!"; 10007 port errors when enabling.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "lib/component/DispatchObject.h"
#include "lib/nmea/Decoder.h"
#include "lib/nmea/NmeaLineBuffer.h"
#include "lib/nmea/NmeaParserEvents.h"
#include "platform/com/ConnectionPoint.h"

namespace zenolith {

class PortLink;
struct ParserItem;

class NmeaParser final : public DispatchObject, public com::IConnectionPointContainer, private DecoderSink {
 public:
  NmeaParser();
  ~NmeaParser() override;

  // Fails (with rich error information) when the hidden window or the
  // parser thread cannot be made.
  static com::HRESULT Create(const com::IID& iid, void** object);

  com::HRESULT QueryInterface(const com::IID& iid, void** object) override {
    return DispatchObject::QueryInterface(iid, object);
  }
  std::uint32_t AddRef() override { return DispatchObject::AddRef(); }
  std::uint32_t Release() override { return DispatchObject::Release(); }

  com::HRESULT EnumConnectionPoints(std::vector<com::IConnectionPoint*>* points) override;
  com::HRESULT FindConnectionPoint(const com::IID& iid, com::IConnectionPoint** point) override;

  // Runs one posted item on the creating thread (the hidden window's procedure).
  void Deliver(std::uintptr_t number);
  // For the hidden window's table, which does not own the parser.
  bool TryAddRefFromWindow();

 protected:
  com::HRESULT Call(Invocation& call) override;
  com::HRESULT QueryExtra(const com::IID& iid, void** object) override;

 private:
  static const MemberRow<NmeaParser> kMembers[];  // size from the .cpp
  struct Worker;

  bool Start(std::string* error);  // window and thread
  void Run();                      // the parser thread
  void Post(ParserItem item);
  void Process(const ParserItem& item);

  // DecoderSink: forwards to the connected event sinks.
  void OnGeneric(com::IDispatch* sentence) override;
  void OnGGA(com::IDispatch* gga, com::IDispatch* sentence) override;
  void OnGLL(com::IDispatch* gll, com::IDispatch* sentence) override;
  void OnRMC(com::IDispatch* rmc, com::IDispatch* sentence) override;
  void OnGpsFix(com::IDispatch* fix) override;
  void OnSatellites(com::IDispatch* satellites) override;
  void OnMovement(com::IDispatch* movement) override;
  void OnQuality(com::IDispatch* quality) override;
  void OnComStatus(com::IDispatch* status) override;
  void Fire(NmeaParserEvent id, com::IDispatch* first, com::IDispatch* second = nullptr);

  void Parse(Invocation& call);
  void PutAllEventsGeneric(Invocation& call);
  void PutGpsDatum(Invocation& call);
  void PutComPort(Invocation& call);
  void PutBaudRate(Invocation& call);
  void PutPortEnabled(Invocation& call);
  void PutNoEvents(Invocation& call);
  void GetGpsFix(Invocation& call);
  void GetSatellites(Invocation& call);
  void GetMovement(Invocation& call);
  void GetQuality(Invocation& call);
  void GetComStatus(Invocation& call);
  void WriteData(Invocation& call);
  void PutChecksumMandatory(Invocation& call);
  void EventInterval(Invocation& call);

  com::ConnectionPoint events_;
  Decoder decoder_;
  NmeaLineBuffer parseBuffer_;
  std::unique_ptr<PortLink> link_;
  std::unique_ptr<Worker> worker_;

  bool allEventsGeneric_ = false;
  std::int16_t gpsDatum_ = 1;
  std::int16_t comPort_ = 0;
  std::int32_t baudRate_ = 4800;
  bool portEnabled_ = false;
  bool noEvents_ = false;
  bool checksumMandatory_ = true;
};

}  // namespace zenolith
