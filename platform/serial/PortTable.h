// The serial port table: port names and numbers, and the registry's list of
// active ports (HKEY_LOCAL_MACHINE\Drivers\Active\<n> with "Name" = "COMn:"
// and "Device" = the device path) through which SerialPort finds the device
// of a port number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// "COM4:" for 4; 4 for "COM4:" or "COM4" or "\\.\COM4"; -1 otherwise.
std::string PortName(std::int32_t number);
std::int32_t PortNumber(const std::string& name);

struct ActivePort {
  std::int32_t number;
  std::string text;  // "COM4:" or, with friendly names, "COM4: <FriendlyName>"
};
// The active ports of the serial port table, sorted by number, no duplicates
// (the first entry for a number wins). An entry's "Name" gives the port by
// its single digit after "COM", so only ports 0..9 are listed; "COM10:" and
// above are left out. A missing friendly name leaves the text "COM4:".
std::vector<ActivePort> ListActivePorts(bool friendlyNames);
// The device path for a port number from the table (any number, also 10 and
// above); empty when unknown.
std::string DevicePathOf(std::int32_t number);
// Adds or replaces a table entry (tests register pseudo-terminals this way).
bool RegisterPort(std::int32_t number, const std::string& devicePath, const std::string& friendlyName = "");
// Fills the free port numbers 1..9 of the table from /dev/ttyUSB*,
// /dev/ttyACM*, /dev/rfcomm*, /dev/ttyS* (in that order; ttyS only when sysfs
// shows a UART behind it), skipping devices already listed; the friendly name
// is the device's file name. Returns how many were added.
int DiscoverPorts();

}  // namespace platform
