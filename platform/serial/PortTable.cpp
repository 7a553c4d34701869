// Port names and the serial port table in the registry.
//
// An entry is a subkey of HKEY_LOCAL_MACHINE\Drivers\Active holding
//   Name   = "COM4:"
//   Device = "/dev/ttyUSB0"
//   Key    = "Drivers\Serial\COM4"  (a driver key, relative to
//            HKEY_LOCAL_MACHINE, whose "FriendlyName" describes the device)
// which is the layout Windows CE keeps for its active drivers, so tools that
// know that layout read ours too.
#include "platform/serial/PortTable.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/registry/Registry.h"
#include "platform/serial/PortDiscovery.h"

namespace platform {

namespace {

using serial_detail::kActivePortsKey;

constexpr std::string_view kMachineRoot = "HKEY_LOCAL_MACHINE\\";
constexpr std::string_view kDriverKeyPrefix = "Drivers\\Serial\\";
// Port numbers longer than this are not port numbers (and would overflow).
constexpr std::size_t kMaxPortDigits = 9;
constexpr std::int32_t kFirstDiscovered = 1;
constexpr std::int32_t kLastDiscovered = 9;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

// The decimal number at the start of `digits`, or -1 when there is none.
std::int32_t LeadingNumber(std::string_view digits) {
  std::size_t count = 0;
  while (count < digits.size() && std::isdigit(static_cast<unsigned char>(digits[count]))) ++count;
  if (count == 0 || count > kMaxPortDigits) return -1;
  std::int32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value = value * 10 + (digits[i] - '0');
  return value;
}

struct TableEntry {
  std::string subkey;
  std::string name;
  std::string device;
  std::string driverKey;
};

std::vector<TableEntry> ReadTable(const registry::Registry& reg) {
  std::vector<TableEntry> entries;
  for (const std::string& subkey : reg.SubKeys(kActivePortsKey)) {
    const std::string key = std::string(kActivePortsKey) + "\\" + subkey;
    TableEntry entry;
    entry.subkey = subkey;
    entry.name = reg.GetString(key, "Name").value_or("");
    entry.device = reg.GetString(key, "Device").value_or("");
    entry.driverKey = reg.GetString(key, "Key").value_or("");
    entries.push_back(std::move(entry));
  }
  return entries;
}

// The "Key" value is relative to HKEY_LOCAL_MACHINE as on Windows CE; a full
// path is accepted too.
std::string AbsoluteDriverKey(const std::string& key) {
  if (StartsWithNoCase(key, "HKEY_")) return key;
  return std::string(kMachineRoot) + key;
}

std::string ReadFirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  if (in) std::getline(in, line);
  return line;
}

// Device families in the order they get port numbers: USB adapters and
// GPS mice first, Bluetooth next, built-in UARTs last.
struct DeviceFamily {
  std::string_view prefix;
  bool checkUart;  // only when sysfs names a real UART behind the node
};
constexpr std::array<DeviceFamily, 4> kDeviceFamilies = {{
    {"ttyUSB", false},
    {"ttyACM", false},
    {"rfcomm", false},
    {"ttyS", true},
}};

// `name` is prefix + digits only; gives the digits' value or -1.
std::int32_t FamilySuffix(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return -1;
  const std::string_view rest = name.substr(prefix.size());
  if (!std::all_of(rest.begin(), rest.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return -1;
  return LeadingNumber(rest);
}

bool IsRealUart(const std::filesystem::path& sysTtyFolder, const std::string& name) {
  const std::string type = ReadFirstLine(sysTtyFolder / name / "type");
  return LeadingNumber(type) > 0;  // 0 is PORT_UNKNOWN: no hardware behind it
}

}  // namespace

std::string PortName(std::int32_t number) { return "COM" + std::to_string(number) + ":"; }

std::int32_t PortNumber(const std::string& name) {
  constexpr std::string_view kDevicePrefix = "\\\\.\\COM";
  if (StartsWithNoCase(name, kDevicePrefix)) return LeadingNumber(std::string_view(name).substr(kDevicePrefix.size()));
  if (name.size() >= 4 && StartsWithNoCase(name, "COM")) return LeadingNumber(std::string_view(name).substr(3));
  return -1;
}

std::vector<ActivePort> ListActivePorts(bool friendlyNames) {
  const registry::Registry reg = registry::Registry::Default();
  std::map<std::int32_t, std::string> ports;  // sorted by number, first entry wins
  for (const TableEntry& entry : ReadTable(reg)) {
    // The port is the single digit after "COM": COM10: and above are not
    // single-digit ports and are left out rather than misread as COM1:.
    if (entry.name.size() < 4 || entry.name.compare(0, 3, "COM") != 0) continue;
    if (!std::isdigit(static_cast<unsigned char>(entry.name[3]))) continue;
    if (entry.name.size() > 4 && std::isdigit(static_cast<unsigned char>(entry.name[4]))) continue;
    const std::int32_t number = entry.name[3] - '0';
    if (ports.count(number) != 0) continue;
    std::string text = PortName(number);
    if (friendlyNames && !entry.driverKey.empty()) {
      const auto friendly = reg.GetString(AbsoluteDriverKey(entry.driverKey), "FriendlyName");
      if (friendly && !friendly->empty()) text += " " + *friendly;
    }
    ports.emplace(number, std::move(text));
  }
  std::vector<ActivePort> list;
  list.reserve(ports.size());
  for (auto& [number, text] : ports) list.push_back(ActivePort{number, std::move(text)});
  return list;
}

std::string DevicePathOf(std::int32_t number) {
  if (number < 0) return "";
  const registry::Registry reg = registry::Registry::Default();
  for (const TableEntry& entry : ReadTable(reg)) {
    if (PortNumber(entry.name) == number) return entry.device;
  }
  return "";
}

bool RegisterPort(std::int32_t number, const std::string& devicePath, const std::string& friendlyName) {
  if (number < 0 || devicePath.empty()) return false;
  registry::Registry reg = registry::Registry::Default();
  const std::vector<TableEntry> table = ReadTable(reg);

  std::string subkey;
  for (const TableEntry& entry : table) {
    if (PortNumber(entry.name) == number) {
      subkey = entry.subkey;
      break;
    }
  }
  if (subkey.empty()) {
    // Prefer the port number as the subkey's name; another entry may hold it.
    const auto taken = [&](const std::string& candidate) {
      return std::any_of(table.begin(), table.end(), [&](const TableEntry& e) {
        return e.subkey.size() == candidate.size() && StartsWithNoCase(e.subkey, candidate);
      });
    };
    subkey = std::to_string(number);
    for (int suffix = 2; taken(subkey); ++suffix) subkey = std::to_string(number) + "-" + std::to_string(suffix);
  }

  const std::string key = std::string(kActivePortsKey) + "\\" + subkey;
  const std::string driverKey = std::string(kDriverKeyPrefix) + "COM" + std::to_string(number);
  registry::Batch batch;
  batch.SetString(key, "Name", PortName(number));
  batch.SetString(key, "Device", devicePath);
  batch.SetString(key, "Key", driverKey);
  if (friendlyName.empty())
    batch.DeleteValue(AbsoluteDriverKey(driverKey), "FriendlyName");
  else
    batch.SetString(AbsoluteDriverKey(driverKey), "FriendlyName", friendlyName);
  return reg.Apply(batch).ok();
}

int DiscoverPorts() { return serial_detail::DiscoverPortsIn("/dev", "/sys/class/tty"); }

namespace serial_detail {

int DiscoverPortsIn(const std::filesystem::path& devFolder, const std::filesystem::path& sysTtyFolder) {
  struct Found {
    std::size_t family;
    std::int32_t suffix;
    std::string name;
  };
  std::vector<Found> found;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(devFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    for (std::size_t f = 0; f < kDeviceFamilies.size(); ++f) {
      const std::int32_t suffix = FamilySuffix(name, kDeviceFamilies[f].prefix);
      if (suffix < 0) continue;
      if (kDeviceFamilies[f].checkUart && !IsRealUart(sysTtyFolder, name)) break;
      found.push_back(Found{f, suffix, name});
      break;
    }
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.family != b.family ? a.family < b.family : a.suffix < b.suffix;
  });

  const registry::Registry reg = registry::Registry::Default();
  const std::vector<TableEntry> table = ReadTable(reg);
  std::array<bool, kLastDiscovered + 1> used{};
  for (const TableEntry& entry : table) {
    const std::int32_t number = PortNumber(entry.name);
    if (number >= 0 && number <= kLastDiscovered) used[static_cast<std::size_t>(number)] = true;
  }

  int added = 0;
  std::int32_t next = kFirstDiscovered;
  for (const Found& device : found) {
    const std::string path = (devFolder / device.name).string();
    const bool known = std::any_of(table.begin(), table.end(), [&](const TableEntry& e) { return e.device == path; });
    if (known) continue;
    while (next <= kLastDiscovered && used[static_cast<std::size_t>(next)]) ++next;
    if (next > kLastDiscovered) break;
    if (!RegisterPort(next, path, device.name)) break;  // the registry refuses changes: stop trying
    used[static_cast<std::size_t>(next)] = true;
    ++added;
  }
  return added;
}

}  // namespace serial_detail

}  // namespace platform
