// The decoding of routed sentences into the objects a client receives
// (NmeaGGA, NmeaGLL, NmeaRMC; GpsFix, Movement, Quality, Satellites with
// Satellite items; ComStatus), with the fix type, the remembered GGA altitude,
// satellite assembly over GSV cycles, the per-event throttle by GPS time, and
// the store of the latest objects for polling in NoEvents mode.
//
// Decoding never fails: missing or malformed fields read as 0 or empty.
// ProcessSentence and the Process* status calls run on the one thread that
// delivers events; the stored objects and ComStatus are guarded by the
// library lock because polling runs on the client's threads.
#pragma once

#include <cstdint>

#include "platform/com/Unknown.h"

namespace zenolith {

class NmeaSentence;

// Event codes, also used by EventInterval.
inline constexpr int kEventGeneric = 1;
inline constexpr int kEventGpsFix = 5;
inline constexpr int kEventSatellites = 6;
inline constexpr int kEventMovement = 7;
inline constexpr int kEventQuality = 8;
inline constexpr int kEventComStatus = 9;

// What the decoder fires; the parser forwards these to its event sinks.
class DecoderSink {
 public:
  virtual void OnGeneric(com::IDispatch* sentence) = 0;
  virtual void OnGGA(com::IDispatch* gga, com::IDispatch* sentence) = 0;
  virtual void OnGLL(com::IDispatch* gll, com::IDispatch* sentence) = 0;
  virtual void OnRMC(com::IDispatch* rmc, com::IDispatch* sentence) = 0;
  virtual void OnGpsFix(com::IDispatch* fix) = 0;
  virtual void OnSatellites(com::IDispatch* satellites) = 0;
  virtual void OnMovement(com::IDispatch* movement) = 0;
  virtual void OnQuality(com::IDispatch* quality) = 0;
  virtual void OnComStatus(com::IDispatch* status) = 0;

 protected:
  ~DecoderSink() = default;
};

class Decoder {
 public:
  explicit Decoder(DecoderSink& sink);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  void set_all_events_generic(bool on);
  void set_gps_datum(std::int16_t datum);  // 1 to 28, checked by the caller
  void set_no_events(bool on);
  // `event` 5 to 8; a negative interval is stored as -1 (event off).
  void set_interval(int event, std::int32_t intervalMs);

  // Routes one NmeaSentence: sentence events, summary objects, Generic. An
  // object that is no NmeaSentence raises Generic alone.
  void ProcessSentence(com::IDispatch* sentence);
  void ProcessSentence(NmeaSentence& sentence);  // the same without asking the object what it is
  // The reader reports that valid sentences started to flow on port/baud.
  void ProcessStarted(std::int16_t port, std::int32_t baud);
  // The reader reports that the stream stopped: state and ComStatus cleared,
  // refilled with port and baud, OnComStatus fired.
  void ProcessStopped(std::int16_t port, std::int32_t baud);
  // The port was disabled: state and ComStatus cleared without an event.
  void Clear();

  // NoEvents polling. timeoutMs below 1: the latest object at once (null if
  // none arrived); else wait for the next one up to timeoutMs. GpsFix waits
  // only for a fix of at least `minFixType`. One waiter per kind.
  com::ComPtr<com::IDispatch> GetGpsFix(std::int32_t timeoutMs, std::int16_t minFixType);
  com::ComPtr<com::IDispatch> GetSatellites(std::int32_t timeoutMs);
  com::ComPtr<com::IDispatch> GetMovement(std::int32_t timeoutMs);
  com::ComPtr<com::IDispatch> GetQuality(std::int32_t timeoutMs);
  // A copy of the current ComStatus.
  com::ComPtr<com::IDispatch> GetComStatus();

 private:
  struct State;
  DecoderSink& sink_;
  State* state_;
};

}  // namespace zenolith
