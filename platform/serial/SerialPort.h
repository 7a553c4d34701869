// A numbered serial port ("COMn:") on Linux termios, with its own reader and
// writer threads and data queues.
//
// Port numbers resolve through the serial port table of the registry
// (HKEY_LOCAL_MACHINE\Drivers\Active\<n> with "Name" = "COMn:" and "Device" =
// the device path), filled from the machine's serial devices and extendable
// by users and tests (a pseudo-terminal is a real serial device).
//
// Errors use the library's error numbers and messages (10007 "Comm port does
// not exist", "Comm port in use!", "Could not open comm port!", "Could not set
// DCB", "Unexpected com port error.", "Cannot set port is opened.", and the
// system code with "Error setting DTR" or "Error reading data from serial
// port."). The device is opened exclusively (TIOCEXCL plus an advisory lock),
// so a port another program holds is "in use".
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
  const SerialSettings& settings() const;
  // Changing the baud rate or the line settings while open rewrites them at once.
  bool SetBaudRate(std::int32_t baud);
  bool SetSettings(const SerialSettings& settings);

  bool Open();  // false with error() filled; nothing stays open then
  void Close();
  bool IsOpen() const;

  // One received chunk (at most 256 bytes), or nothing.
  std::optional<std::vector<std::uint8_t>> TakeReceived();
  // Queues bytes for the writer thread and returns at once.
  void Write(const std::uint8_t* bytes, std::size_t count);
  void Purge(bool transmit, bool receive);

  Event& receivedEvent();  // auto-reset, set after each queued chunk
  Event& errorEvent();     // set when a read or write failed (not during Close)

  SerialError error() const;

 private:
  struct Impl;
  Impl* impl_;
};

// "COM4:" for 4; 4 for "COM4:" or "COM4" or "\\.\COM4"; -1 otherwise.
std::string PortName(std::int32_t number);
std::int32_t PortNumber(const std::string& name);

struct ActivePort {
  std::int32_t number;
  std::string text;  // "COM4:" or, with friendly names, "COM4: <FriendlyName>"
};
// The active ports of the serial port table, sorted by number, no duplicates.
std::vector<ActivePort> ListActivePorts(bool friendlyNames);
// The device path for a port number from the table; empty when unknown.
std::string DevicePathOf(std::int32_t number);
// Adds or replaces a table entry (tests register pseudo-terminals this way).
bool RegisterPort(std::int32_t number, const std::string& devicePath, const std::string& friendlyName = "");
// Fills the table from /dev/ttyUSB*, /dev/ttyACM*, /dev/rfcomm*, /dev/ttyS*
// for ports not yet in it; returns how many were added.
int DiscoverPorts();

}  // namespace platform
