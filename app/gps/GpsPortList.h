// The sources the GPS settings dialog offers: the replay entry (a log file),
// COM0 to COM9, GPD0 to GPD9 (gpsd) and the serial ports of the port table
// with their friendly names; and the baud rates. Qt-free, so the rules are
// tested without a dialog.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rovana {

struct PortEntry {
  std::string display;  // what the list shows
  std::string device;   // what gpsName becomes; empty for the replay entry
  bool replay = false;  // choosing it asks for a file
};

struct PortList {
  std::vector<PortEntry> entries;
  int selected = 0;  // the entry matching gpsName (the replay entry for a file)
};

// A device name ends in ':' ("COM4:", "GPD1:"); anything else is a log file.
bool IsDeviceName(std::string_view gpsName);

// `fileWord` is the dialog's word for a file; the replay entry shows
// "<fileWord>..." or, while gpsName is a file, "<fileWord>...(<file name>)".
// `found` are the port table's ports as "COMn:" or "COMn: <friendly name>".
// An entry whose device is listed already replaces the older one in its place.
PortList MakePortList(std::string_view gpsName, std::string_view fileWord, std::span<const std::string> found);
// The same with the ports of the serial port table.
PortList MakePortList(std::string_view gpsName, std::string_view fileWord);

// 0 ("default": leave the port's speed alone) and the rates offered.
std::span<const std::int32_t> BaudRates();

}  // namespace rovana
