// PortLink: chooses the parser's source of NMEA data (one fixed serial port,
// an automatic scan of the serial ports, or the GPS multiplexer gpsd), runs
// the thread that feeds received bytes into an NmeaLineBuffer, queues the
// complete sentences and signals when valid data starts and stops.
//
// ComPort: -1 (or below) gpsd only; 0 automatic (gpsd when it answers, else
// scan the serial ports of the port table except port 3); 1 to 9 that serial
// port. BaudRate 0 scans 4800 then 57600 baud in 2000 ms windows (with a
// fixed ComPort only that port), all candidate ports open at once; the first
// with a sentence whose checksum is good wins. A source that delivered valid
// sentences and then none for 4000 ms signals `stopped` once; an
// automatically found port (or gpsd connection) is then dropped and searched
// for (reconnected) again, a fixed port is kept. Data that returns signals
// `started` again.
//
// gpsd is reached at $ZENOLITH_GPSD ("host:port") when set, else
// 127.0.0.1:2947, and asked for raw NMEA with ?WATCH={"enable":true,"nmea":true}
// (see platform/gpsd/Channel.h); a lost connection is tried again every 2000 ms.
//
// Threads: the setters, Open, Close, TakeSentence and Write may be called from
// any thread but the link thread; Close must not be called while holding the
// library lock (the link thread takes it to queue sentences).
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

  // Defaults: ComPort 0, BaudRate 4800, checksums mandatory. ComPort and
  // BaudRate are read by Open.
  void SetComPort(std::int16_t port);
  void SetBaudRate(std::int32_t baud);  // a rate above 0 is applied to an open serial source at once
  void SetChecksumMandatory(bool mandatory);  // applies at once to the current line buffer
  std::int16_t comPort() const;
  std::int32_t baudRate() const;

  // Opens the source and starts the link thread (a scan starts without an
  // error). With a fixed port and baud rate, or gpsd only, a source that
  // cannot be opened fails here: error filled, nothing left running. The
  // serial port's errors come through (10007 "Comm port does not exist",
  // ...); gpsd not answering with ComPort -1 gives status 0x80040154 (class
  // not registered) with "Portrelay not installed! Cannot create object
  // PortrelayApi::Simple". Open while open does nothing and succeeds.
  // Reaching gpsd takes at most about 1 s when nothing answers.
  bool Open(ErrorRecord& error);
  // Stops the thread (promptly, also during a scan or a gpsd connect), closes
  // the source, resets the three events, empties the queue.
  void Close();
  bool IsOpen() const;

  // The next queued NmeaSentence, or null. At most 1024 wait; past that the
  // oldest are dropped.
  com::ComPtr<com::IDispatch> TakeSentence();
  // Queues text for the serial writer; nothing is sent when gpsd is the
  // source, while a scan runs, or after the port failed.
  void Write(std::string_view text);

  // The source for ComStatus: port -1 and baud 0 with gpsd; 0 and 0 while
  // none was found yet. After `stopped` they still name the source that
  // stopped, until another one is found or the link is closed.
  std::int16_t SourcePort() const;
  std::int32_t SourceBaud() const;

  // Auto-reset events for the parser's thread: `started` once per period of
  // flowing data (set before its first `data`), `data` after sentences were
  // queued, `stopped` once when the period ends.
  platform::Event& startedEvent();
  platform::Event& dataEvent();
  platform::Event& stoppedEvent();

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace zenolith
