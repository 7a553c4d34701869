#include "lib/component/LibraryTypeLib.h"

#include <dlfcn.h>

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
