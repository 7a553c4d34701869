#include "lib/component/LibraryTypeLib.h"

#include <dlfcn.h>

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
  for (const com::MemberInfo& member : info.members) {
    if (member.id < 0 || member.id >= kDirectIds) continue;
    const com::MemberInfo*& slot = members_[static_cast<std::size_t>(member.id)][static_cast<std::size_t>(member.kind)];
    if (!slot) slot = &member;  // the first of a kind wins, as in Find
  }
}

const InterfaceIndex* LibraryInterfaceIndex(const com::IID& iid) {
  static const std::vector<InterfaceIndex> indexes = [] {
    std::vector<InterfaceIndex> all;
    for (const com::InterfaceInfo& info : LibraryTypeLib()->interfaces) all.emplace_back(info);
    return all;
  }();
  for (const InterfaceIndex& index : indexes)
    if (index.info().iid == iid) return &index;
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
