#include "lib/component/LibraryTypeLib.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "lib/component/Identifiers.h"

namespace zenolith {
namespace {

std::shared_ptr<const com::TypeLib> Load() {
  std::shared_ptr<const com::TypeLib> lib;
  // The installed file wins so that it is what clients and this library agree
  // on; it must describe this library, not another one dropped in its place.
  if (com::Succeeded(com::LoadTypeLib(TypeLibFile(), &lib)) && lib->libid == LIBID_ZenolithCE) return lib;
  lib = com::ParseTypeLib(kEmbeddedTypeLib, nullptr);
  if (!lib) lib = std::make_shared<const com::TypeLib>();  // cannot happen: the build parses it
  return lib;
}

}  // namespace

std::shared_ptr<const com::TypeLib> LibraryTypeLib() {
  static const std::shared_ptr<const com::TypeLib> lib = Load();
  return lib;
}

InterfaceIndex::InterfaceIndex(const com::InterfaceInfo& info) : info_(&info) {
  static_assert(static_cast<int>(com::MemberKind::Method) == 0 && static_cast<int>(com::MemberKind::PropPutRef) == 3);
  entries_.reserve(info.members.size());  // never grows again: byId_ points into it
  for (const com::MemberInfo& member : info.members) {
    if (member.id < 0 || member.id >= kDirectIds) continue;
    const Entry*& slot = byId_[static_cast<std::size_t>(member.id)][static_cast<std::size_t>(member.kind)];
    if (slot) continue;  // the first of a kind wins, as in Find
    Entry& entry = entries_.emplace_back();
    entry.member = &member;
    entry.plain = member.params.size() <= kPlainParams;
    entry.count = static_cast<std::uint8_t>(std::min(member.params.size(), kPlainParams));
    for (std::size_t i = 0; i < entry.count; ++i) {
      entry.types[i] = member.params[i].type;
      if (member.params[i].out) entry.plain = false;
    }
    slot = &entry;
  }
}

const InterfaceIndex* LibraryInterfaceIndex(const com::IID& iid) {
  // Every object created asks once; the first part of the identifiers tells
  // the interfaces apart in a short contiguous scan.
  struct Table {
    std::vector<InterfaceIndex> indexes;
    std::vector<std::uint32_t> keys;
  };
  static const Table table = [] {
    Table all;
    for (const com::InterfaceInfo& info : LibraryTypeLib()->interfaces) {
      all.indexes.emplace_back(info);
      all.keys.push_back(info.iid.data1);
    }
    return all;
  }();
  // Objects come in runs of one class (the satellites of a sentence): the
  // last answer is tried first. The indexes never change, so any thread's
  // last answer is as good as its own.
  static std::atomic<const InterfaceIndex*> last{nullptr};
  if (const InterfaceIndex* hit = last.load(std::memory_order_relaxed); hit && hit->info().iid == iid) return hit;
  for (std::size_t i = 0; i < table.keys.size(); ++i)
    if (table.keys[i] == iid.data1 && table.indexes[i].info().iid == iid) {
      last.store(&table.indexes[i], std::memory_order_relaxed);
      return &table.indexes[i];
    }
  return nullptr;
}

std::shared_ptr<const com::InterfaceInfo> LibraryInterface(const com::IID& iid) {
  auto lib = LibraryTypeLib();
  const com::InterfaceInfo* info = lib->FindInterface(iid);
  if (!info) return nullptr;
  return std::shared_ptr<const com::InterfaceInfo>(lib, info);
}

std::filesystem::path LibraryFile() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryFile), &info) == 0 || !info.dli_fname) return {};
  std::error_code ec;
  auto path = std::filesystem::canonical(info.dli_fname, ec);
  return ec ? std::filesystem::path(info.dli_fname) : path;
}

std::filesystem::path TypeLibFile() { return LibraryFile().parent_path() / kTypeLibFileName; }

}  // namespace zenolith
