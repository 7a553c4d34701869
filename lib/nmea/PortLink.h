// PortLink: chooses the parser's source of NMEA data (one fixed serial port,
// an automatic scan of the serial ports, or the GPS multiplexer gpsd), runs
// the thread that feeds received bytes into an NmeaLineBuffer, queues the
// complete sentences and signals when valid data starts and stops.
//
// ComPort: -1 gpsd only; 0 automatic (gpsd when it answers, else scan the
// serial ports except port 3); 1 to 9 that serial port. BaudRate 0 scans 4800
// then 57600 baud in 2000 ms windows. A flowing stream that falls silent for
// 4000 ms signals `stopped` once; data that returns signals `started` again.
//
// gpsd is reached at $ZENOLITH_GPSD ("host:port") when set, else
// localhost:2947, and asked for raw NMEA with ?WATCH={"enable":true,"nmea":true}.
#pragma once

#include <cstdint>
#include <string_view>

#include "lib/component/ErrorRecord.h"
#include "platform/com/Unknown.h"
#include "platform/sync/Event.h"

namespace zenolith {

class PortLink {
 public:
  PortLink();
  ~PortLink();  // closes
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  void SetComPort(std::int16_t port);
  void SetBaudRate(std::int32_t baud);  // applied to an open serial source at once
  void SetChecksumMandatory(bool mandatory);
  std::int16_t comPort() const;
  std::int32_t baudRate() const;

  // Opens the source and starts the link thread (a scan starts without an
  // error). With a fixed port and baud rate, or gpsd only, a source that
  // cannot be opened fails here: error filled, nothing left running.
  bool Open(ErrorRecord& error);
  void Close();
  bool IsOpen() const;

  // The next queued NmeaSentence, or null.
  com::ComPtr<com::IDispatch> TakeSentence();
  // Queues text for the serial writer; nothing is sent when gpsd is the source.
  void Write(std::string_view text);

  // The source for ComStatus: port -1 and baud 0 with gpsd.
  std::int16_t SourcePort() const;
  std::int32_t SourceBaud() const;

  platform::Event& startedEvent();
  platform::Event& dataEvent();
  platform::Event& stoppedEvent();

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace zenolith
