// The library's creatable classes, in registration order. The table names a
// class of every room, so it lives above them all, beside the entry points.
#pragma once

#include <span>

#include "lib/component/ClassEntry.h"
#include "platform/com/Types.h"

namespace zenolith {

std::span<const ClassEntry> Classes();
// The entry of `clsid`, or null for a class the library does not have.
const ClassEntry* FindClass(const com::CLSID& clsid);

}  // namespace zenolith
