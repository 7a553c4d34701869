// Writing and removing the library's registration: for every class its
// ProgIDs, description, in-process server path, threading model, type library
// and the safe-for-scripting and safe-for-initialising categories; and the
// registration of the type library itself.
#pragma once

#include <filesystem>
#include <span>

#include "lib/component/ClassEntry.h"
#include "platform/registry/Registry.h"

namespace zenolith {

inline constexpr std::string_view kCategorySafeForScripting = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr std::string_view kCategorySafeForInitializing = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

// The class entries as one batch (the type library's entries are added apart).
registry::Batch ClassRegistration(std::span<const ClassEntry> classes, const std::filesystem::path& library);

// Registers classes and type library in one atomic change of the registry:
// afterwards either all of it is there or (on failure) nothing was written.
// SELFREG_E_TYPELIB when the type library file cannot be loaded or is not
// this library's; a registry that cannot be read or written gives the
// system's failure status (a damaged file: 0x8007004A). Every failure also
// installs rich error information (source "ZenolithCE") whose description
// says why; for a registry failure it is the registry's message, which names
// the file and, for a damaged one, the line: "PATH:LINE: REASON (the file was
// left unchanged)".
com::HRESULT RegisterLibrary(std::span<const ClassEntry> classes, const std::filesystem::path& library,
                             const std::filesystem::path& typeLib);
// Removes what RegisterLibrary wrote, also in one atomic change planned on the
// registry as it is under the writer's lock; S_OK when it was not registered.
// Failures are reported as for RegisterLibrary.
com::HRESULT UnregisterLibrary(std::span<const ClassEntry> classes);

}  // namespace zenolith
