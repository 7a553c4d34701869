// The library's own type library: the file installed beside the library
// ("ZenolithCE.tlb"), or the copy compiled into the library when that file is
// missing or damaged, so that objects keep working in a broken installation.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/com/TypeLib.h"

namespace zenolith {

inline constexpr const char* kTypeLibFileName = "ZenolithCE.tlb";

// Parsed once per process; never null.
std::shared_ptr<const com::TypeLib> LibraryTypeLib();

// The interface description, sharing ownership with the library; null when
// the type library has no interface with that identifier.
std::shared_ptr<const com::InterfaceInfo> LibraryInterface(const com::IID& iid);

// The text compiled into the library (generated from ZenolithCE.tlb).
extern const char* const kEmbeddedTypeLib;

// The folder and file of this library on disk, found through the loader.
std::filesystem::path LibraryFile();
std::filesystem::path TypeLibFile();  // beside LibraryFile()

}  // namespace zenolith
