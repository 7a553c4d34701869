// One creatable class as the entry points and the registration see it; the
// library's table of them is lib/ClassTable.h.
#pragma once

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

}  // namespace zenolith
