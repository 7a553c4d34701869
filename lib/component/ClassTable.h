// The library's creatable classes, in registration order.
#pragma once

#include <span>
#include <string_view>

#include "lib/component/ClassFactory.h"
#include "platform/com/Types.h"

namespace zenolith {

inline constexpr std::string_view kLibraryName = "ZenolithCE";

struct ClassEntry {
  std::string_view name;           // "NmeaParser": ProgID "ZenolithCE.NmeaParser"
  com::CLSID clsid;
  std::string_view threadingModel;  // "Free", or empty when the class names none
  CreateFunction create;            // null while the class is not available
};

std::span<const ClassEntry> Classes();
const ClassEntry* FindClass(const com::CLSID& clsid);

}  // namespace zenolith
