// The four entry points of the library, with C linkage. Everything else in the
// library is hidden (see the linker version script beside this file).
#include "lib/ClassTable.h"
#include "lib/component/ClassFactory.h"
#include "lib/component/LibraryTypeLib.h"
#include "lib/component/Registration.h"
#include "lib/component/ServerLifetime.h"
#include "platform/com/Runtime.h"

using com::HRESULT;

#define ZEN_EXPORT extern "C" __attribute__((visibility("default")))

ZEN_EXPORT HRESULT DllGetClassObject(const com::CLSID* clsid, const com::IID* iid, void** object) {
  if (!object) return com::E_POINTER;
  *object = nullptr;
  if (!clsid || !iid) return com::E_POINTER;
  const zenolith::ClassEntry* entry = zenolith::FindClass(*clsid);
  if (!entry || !entry->create) return com::CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) zenolith::ClassFactory(entry->create);
  if (!factory) return com::E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(*iid, object);
  factory->Release();
  return hr;
}

ZEN_EXPORT HRESULT DllCanUnloadNow() { return zenolith::ServerInUse() ? com::S_FALSE : com::S_OK; }

ZEN_EXPORT HRESULT DllRegisterServer() {
  const std::filesystem::path library = zenolith::LibraryFile();
  if (library.empty()) {
    com::SetErrorInfo({"the library cannot find its own file", com::IID{}, std::string(zenolith::kLibraryName)});
    return com::E_UNEXPECTED;
  }
  return zenolith::RegisterLibrary(zenolith::Classes(), library, zenolith::TypeLibFile());
}

ZEN_EXPORT HRESULT DllUnregisterServer() { return zenolith::UnregisterLibrary(zenolith::Classes()); }
