// The library's own type library: the file installed beside the library
// ("ZenolithCE.tlb"), or the copy compiled into the library when that file is
// missing or damaged, so that objects keep working in a broken installation.
#pragma once

#include <array>
#include <cstdint>
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

// An interface of the library's type library with its members indexed by
// dispatch identifier and kind, so that a call finds its member at once.
class InterfaceIndex {
 public:
  explicit InterfaceIndex(const com::InterfaceInfo& info);

  const com::InterfaceInfo& info() const { return *info_; }
  // The same member as InterfaceInfo::Find; identifiers 0 to 63 (all of the
  // library's) in constant time.
  const com::MemberInfo* Find(com::DispId id, std::uint16_t flags) const {
    if (id < 0 || id >= kDirectIds) return info_->Find(id, flags);
    // Kinds in order of preference, as Find has them: method, get, put,
    // putref, answering the invoke flags 1, 2, 4 and 8.
    const auto& kinds = members_[static_cast<std::size_t>(id)];
    for (std::size_t kind = 0; kind < kinds.size(); ++kind)
      if ((flags & (1u << kind)) && kinds[kind]) return kinds[kind];
    return nullptr;
  }

 private:
  static constexpr com::DispId kDirectIds = 64;
  const com::InterfaceInfo* info_;
  std::array<std::array<const com::MemberInfo*, 4>, kDirectIds> members_{};
};

// The index of an interface of LibraryTypeLib(), built once per process and
// kept for its lifetime; null when the type library has no such interface.
const InterfaceIndex* LibraryInterfaceIndex(const com::IID& iid);

// The text compiled into the library (generated from ZenolithCE.tlb).
extern const char* const kEmbeddedTypeLib;

// The folder and file of this library on disk, found through the loader.
std::filesystem::path LibraryFile();
std::filesystem::path TypeLibFile();  // beside LibraryFile()

}  // namespace zenolith
