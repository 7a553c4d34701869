// A numbered serial port ("COMn:") on Linux termios, with its own reader and
// writer threads and data queues.
//
// Port numbers resolve through the serial port table of the registry
// (PortTable.h), filled from the machine's serial devices and extendable by
// users and tests (a pseudo-terminal is a real serial device).
//
// Errors use the library's error numbers and messages (10007 "Comm port does
// not exist", "Comm port in use!", "Could not open comm port!", "Could not set
// DCB", "Unexpected com port error.", "Cannot set port is opened.", and the
// system code with "Error setting DTR" or "Error reading data from serial
// port."; "Error writing data to serial port." for a failed write). The
// device is opened exclusively (an flock advisory lock, which also holds
// against root, plus TIOCEXCL), so a port another program or another
// SerialPort holds is "in use".
//
// Linux mapping of the settings: handshake 1 is CRTSCTS, 4 is IXON|IXOFF with
// XON 17 / XOFF 19; 2 keeps DTR raised (termios has no DSR flow control).
// Devices without modem lines (pseudo-terminals) ignore the RTS/DTR settings.
// Stop bits 1 (one and a half) is sent as CSTOPB. `infrared` cannot be
// honoured (Linux has no IrDA stack) and makes Open fail with "Error setting
// IR". Write completions and the modem-line watch are not reported; the two
// flags are kept for callers that set them.
//
// Threads: one owner calls the members; Write, TakeReceived, Purge, error and
// the events may also be used from other threads. Close returns within a few
// milliseconds whatever the device does, discarding unsent output.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sync/Event.h"

namespace platform {

struct SerialError {
  int code = 0;  // 10007, or a system error number; 0 for none
  std::string message;
};

struct SerialSettings {
  std::int32_t baudRate = 9600;
  std::uint8_t dataBits = 8;
  std::uint8_t parity = 0;     // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stopBits = 0;   // 0 one, 1 one and a half, 2 two
  std::uint8_t handshake = 0;  // bit set: 1 RTS/CTS, 2 DTR/DSR, 4 XON/XOFF
  bool rtsOn = true;
  bool dtrOn = true;
  bool infrared = false;
  std::int32_t timeoutMode = 1;          // 1: return with what arrived; 2: fill the buffer or 200 ms
  std::int32_t writeTimeoutConstant = 0;  // ms
  bool deliverReceivedData = true;
  bool deliverWriteCompletions = true;
  bool watchModemLines = true;
};

class SerialPort {
 public:
  explicit SerialPort(std::int32_t portNumber);
  ~SerialPort();  // closes
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  std::int32_t port() const;
  bool SetPort(std::int32_t portNumber);  // false with "Cannot set port is opened." while open
  const SerialSettings& settings() const;  // read on the owner's thread
  // Changing the baud rate or the line settings while open rewrites them at
  // once (no reopen). Rates: the termios rates 50..4000000 baud, or 0 to
  // leave the line's speed as it is (the line is still made raw); another rate
  // gives 10007 "Could not set DCB" (at once when open, else at Open). A
  // rejected change while open keeps the previous settings.
  bool SetBaudRate(std::int32_t baud);
  bool SetSettings(const SerialSettings& settings);

  bool Open();  // false with error() filled; nothing stays open then
  void Close();
  bool IsOpen() const;

  // One received chunk (at most 256 bytes), or nothing. Time-out mode 1
  // delivers what one wake-up brought (waiting up to 200 ms per read); mode 2
  // delivers when 256 bytes are gathered or 200 ms after the read began.
  std::optional<std::vector<std::uint8_t>> TakeReceived();
  // Queues bytes for the writer thread and returns at once (dropped while
  // closed). A non-zero write time-out constant bounds one chunk's write to
  // constant + 1 ms per byte; what is not out by then is dropped silently.
  void Write(const std::uint8_t* bytes, std::size_t count);
  void Purge(bool transmit, bool receive);

  // Both auto-reset, and reset by Open and Close.
  Event& receivedEvent();  // set after each queued chunk
  // Set when a read or write failed (not during Close); the failing thread
  // then idles until Close. The other side hanging up counts as EIO.
  Event& errorEvent();

  SerialError error() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace platform
