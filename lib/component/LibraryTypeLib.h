// The library's own type library: the file installed beside the library
// ("ZenolithCE.tlb"), or the copy compiled into the library when that file is
// missing or damaged, so that objects keep working in a broken installation.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "platform/com/TypeLib.h"
#include "platform/com/Variant.h"

namespace zenolith {

inline constexpr const char* kTypeLibFileName = "ZenolithCE.tlb";

// Parsed once per process; never null.
std::shared_ptr<const com::TypeLib> LibraryTypeLib();

// The interface description, sharing ownership with the library; null when
// the type library has no interface with that identifier.
std::shared_ptr<const com::InterfaceInfo> LibraryInterface(const com::IID& iid);

// An interface of the library's type library with its members indexed by
// dispatch identifier and kind, so that a call finds its member at once, and
// with each member's parameters summed up, so that a call sees at once
// whether its arguments can be passed on as they are.
class InterfaceIndex {
 public:
  static constexpr std::size_t kPlainParams = 4;

  struct Entry {
    const com::MemberInfo* member = nullptr;
    bool plain = false;  // no out parameter, at most kPlainParams parameters
    std::uint8_t count = 0;
    std::array<com::VarType, kPlainParams> types{};

    // One argument per parameter, each of its declared type (a VARIANT
    // parameter takes any value that is not a by-reference slot).
    bool Fits(std::span<const com::Variant> args) const {
      if (!plain || args.size() != count) return false;
      for (std::size_t i = 0; i < args.size(); ++i) {
        const com::VarType type = args[i].type();
        if (type == com::VarType::ByRef || (types[i] != com::VarType::Variant && types[i] != type)) return false;
      }
      return true;
    }
  };

  explicit InterfaceIndex(const com::InterfaceInfo& info);
  InterfaceIndex(InterfaceIndex&&) = default;  // the entries stay where they are

  const com::InterfaceInfo& info() const { return *info_; }
  // The member InterfaceInfo::Find gives for identifiers 0 to 63 (all of the
  // library's), in constant time; null for others.
  const Entry* Lookup(com::DispId id, std::uint16_t flags) const {
    if (id < 0 || id >= kDirectIds) return nullptr;
    // Kinds in order of preference, as Find has them: method, get, put,
    // putref, answering the invoke flags 1, 2, 4 and 8.
    const auto& kinds = byId_[static_cast<std::size_t>(id)];
    for (unsigned wanted = flags & 0xFu; wanted != 0; wanted &= wanted - 1)
      if (const Entry* entry = kinds[static_cast<std::size_t>(std::countr_zero(wanted))]) return entry;
    return nullptr;
  }
  // The same member as InterfaceInfo::Find.
  const com::MemberInfo* Find(com::DispId id, std::uint16_t flags) const {
    if (id < 0 || id >= kDirectIds) return info_->Find(id, flags);
    const Entry* entry = Lookup(id, flags);
    return entry ? entry->member : nullptr;
  }

 private:
  static constexpr com::DispId kDirectIds = 64;
  const com::InterfaceInfo* info_;
  std::vector<Entry> entries_;  // of the members with identifiers 0 to 63
  std::array<std::array<const Entry*, 4>, kDirectIds> byId_{};
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
