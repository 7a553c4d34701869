// The check of the Bluetooth serial port drivers that the GPS dialog makes
// each time it opens. On the handhelds Rovana came from, the drivers of the
// ports Serial5 to Serial8 had to be "BTCEIF.DLL" for GPS mice to work, and
// the dialog offered to repair them. Linux has no such driver keys: the
// check looks in the registry, logs what it finds and never changes
// anything or asks anything.
#pragma once

#include <string>
#include <vector>

namespace registry {
class Registry;
}

namespace rovana {

inline constexpr const char* kBluetoothDriver = "BTCEIF.DLL";

// One line per driver key: "ok", "cannot access" or the driver found; each
// is logged as "Checking BlueTooth DLL in <key>" and its result.
std::vector<std::string> CheckBluetoothDrivers(const registry::Registry& registry);

}  // namespace rovana
