#include "app/gps/BluetoothDriverCheck.h"

#include <algorithm>
#include <cctype>

#include "app/core/Log.h"
#include "platform/registry/Registry.h"

namespace rovana {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::vector<std::string> CheckBluetoothDrivers(const registry::Registry& registry) {
  std::vector<std::string> results;
  for (int n = 5; n <= 8; ++n) {
    const std::string key = "HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial" + std::to_string(n);
    LogMessage("Checking BlueTooth DLL in %s", key.c_str());
    const std::optional<std::string> dll = registry.GetString(key, "DLL");
    if (!dll) {
      LogMessage("Result: cannot access BlueTooth DLL!");
      results.emplace_back("cannot access");
    } else if (SameIgnoringCase(*dll, kBluetoothDriver)) {
      LogMessage("Result: ok");
      results.emplace_back("ok");
    } else {
      // Another driver: left as it is, since no repair applies here.
      LogMessage("Result: restore not applicable");
      results.push_back(*dll);
    }
  }
  return results;
}

}  // namespace rovana
