#include "app/gps/GpsPortList.h"

#include <array>
#include <filesystem>

#include "platform/serial/PortTable.h"

namespace rovana {
namespace {

constexpr std::array<std::int32_t, 16> kBaudRates = {0,    110,   300,   600,   1200,  2400,  4800,   9600,
                                                     14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

void Add(PortList& list, PortEntry entry) {
  for (PortEntry& old : list.entries)
    if (!entry.device.empty() && old.device == entry.device) {
      old = std::move(entry);
      return;
    }
  list.entries.push_back(std::move(entry));
}

}  // namespace

bool IsDeviceName(std::string_view gpsName) { return !gpsName.empty() && gpsName.back() == ':'; }

PortList MakePortList(std::string_view gpsName, std::string_view fileWord, std::span<const std::string> found) {
  PortList list;
  PortEntry replay{std::string(fileWord) + "...", "", true};
  const bool isFile = !gpsName.empty() && !IsDeviceName(gpsName);
  if (isFile) replay.display += "(" + std::filesystem::path(gpsName).filename().string() + ")";
  list.entries.push_back(std::move(replay));
  for (const char* prefix : {"COM", "GPD"})
    for (int n = 0; n <= 9; ++n) {
      const std::string name = prefix + std::to_string(n);
      Add(list, {name, name + ":", false});
    }
  for (const std::string& port : found) {
    // "COM4:" or "COM4: Friendly name" becomes "COM4: (Friendly name)".
    const std::size_t colon = port.find(':');
    if (colon == std::string::npos) continue;
    const std::string device = port.substr(0, colon + 1);
    std::string friendly = port.substr(colon + 1);
    friendly.erase(0, friendly.find_first_not_of(' '));
    Add(list, {friendly.empty() ? device : device + " (" + friendly + ")", device, false});
  }
  if (!isFile)
    for (std::size_t i = 1; i < list.entries.size(); ++i)
      if (list.entries[i].device == gpsName) list.selected = static_cast<int>(i);
  return list;
}

PortList MakePortList(std::string_view gpsName, std::string_view fileWord) {
  std::vector<std::string> found;
  for (const platform::ActivePort& port : platform::ListActivePorts(true)) found.push_back(port.text);
  return MakePortList(gpsName, fileWord, found);
}

std::span<const std::int32_t> BaudRates() { return kBaudRates; }

}  // namespace rovana
