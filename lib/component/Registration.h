// Writing and removing the library's registration: for every class its
// ProgIDs, description, in-process server path, threading model, type library
// and the safe-for-scripting and safe-for-initialising categories; and the
// registration of the type library itself.
#pragma once

#include <filesystem>
#include <span>

#include "lib/component/ClassTable.h"
#include "platform/registry/Registry.h"

namespace zenolith {

inline constexpr std::string_view kCategorySafeForScripting = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr std::string_view kCategorySafeForInitializing = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

// The class entries as one batch (the type library is registered apart).
registry::Batch ClassRegistration(std::span<const ClassEntry> classes, const std::filesystem::path& library);

// Registers classes and type library. Nothing is written when the type
// library file cannot be loaded (SELFREG_E_TYPELIB); a registry that cannot
// be written gives the system's failure status, and whatever was written is
// taken back.
com::HRESULT RegisterLibrary(std::span<const ClassEntry> classes, const std::filesystem::path& library,
                             const std::filesystem::path& typeLib);
// Removes what RegisterLibrary wrote; S_OK when it was not registered.
com::HRESULT UnregisterLibrary(std::span<const ClassEntry> classes);

}  // namespace zenolith
