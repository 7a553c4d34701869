#include "lib/component/Registration.h"

#include <string>

#include "lib/component/Identifiers.h"
#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"

namespace zenolith {
namespace {

std::string Root() { return std::string(com::kClassesRoot); }

std::string ProgId(const ClassEntry& entry) { return std::string(kLibraryName) + "." + std::string(entry.name); }
std::string VersionedProgId(const ClassEntry& entry) { return ProgId(entry) + ".1"; }
std::string Description(const ClassEntry& entry) { return std::string(entry.name) + " Class"; }
std::string ClassKey(const ClassEntry& entry) { return Root() + "\\CLSID\\" + com::FormatGuid(entry.clsid); }

com::HRESULT StatusOf(const registry::Status& status) {
  if (status.ok()) return com::S_OK;
  return status.error != 0 ? com::StatusFromErrno(status.error) : com::SELFREG_E_CLASS;
}

// Installs the reason as rich error information, so that a client can tell
// the user more than the status: above all, the registry's "path:line:
// reason" for a damaged file.
com::HRESULT Refuse(com::HRESULT hr, const std::string& reason) {
  com::SetErrorInfo({reason, com::IID{}, std::string(kLibraryName)});
  return hr;
}

void RemoveClasses(std::span<const ClassEntry> classes, registry::Batch* batch) {
  for (const ClassEntry& entry : classes) {
    batch->DeleteKey(Root() + "\\" + ProgId(entry));
    batch->DeleteKey(Root() + "\\" + VersionedProgId(entry));
    batch->DeleteKey(ClassKey(entry));
  }
}

}  // namespace

registry::Batch ClassRegistration(std::span<const ClassEntry> classes, const std::filesystem::path& library) {
  registry::Batch batch;
  const std::string libid = com::FormatGuid(LIBID_ZenolithCE);
  for (const ClassEntry& entry : classes) {
    const std::string clsid = com::FormatGuid(entry.clsid);
    const std::string key = ClassKey(entry);
    batch.SetString(key, "", Description(entry));
    batch.SetString(key + "\\ProgID", "", VersionedProgId(entry));
    batch.SetString(key + "\\VersionIndependentProgID", "", ProgId(entry));
    batch.SetString(key + "\\InprocServer32", "", library.string());
    if (!entry.threadingModel.empty())
      batch.SetString(key + "\\InprocServer32", "ThreadingModel", std::string(entry.threadingModel));
    batch.CreateKey(key + "\\Programmable");
    batch.SetString(key + "\\TypeLib", "", libid);
    batch.CreateKey(key + "\\Implemented Categories\\" + std::string(kCategorySafeForScripting));
    batch.CreateKey(key + "\\Implemented Categories\\" + std::string(kCategorySafeForInitializing));

    const std::string progIdKey = Root() + "\\" + ProgId(entry);
    batch.SetString(progIdKey, "", Description(entry));
    batch.SetString(progIdKey + "\\CLSID", "", clsid);
    batch.SetString(progIdKey + "\\CurVer", "", VersionedProgId(entry));

    const std::string versionedKey = Root() + "\\" + VersionedProgId(entry);
    batch.SetString(versionedKey, "", Description(entry));
    batch.SetString(versionedKey + "\\CLSID", "", clsid);
  }
  return batch;
}

com::HRESULT RegisterLibrary(std::span<const ClassEntry> classes, const std::filesystem::path& library,
                             const std::filesystem::path& typeLib) {
  std::shared_ptr<const com::TypeLib> lib;
  std::string why;
  if (com::Failed(com::LoadTypeLib(typeLib, &lib, &why)))
    return Refuse(com::SELFREG_E_TYPELIB, "cannot load the type library " + typeLib.string() + ": " + why);
  if (lib->libid != LIBID_ZenolithCE)
    return Refuse(com::SELFREG_E_TYPELIB, typeLib.string() + " is not the type library of " + std::string(kLibraryName));

  // Classes and type library in one rewrite of the registry: a reader (or a
  // writer killed half way) never sees classes without their type library.
  registry::Batch batch = ClassRegistration(classes, library);
  if (const com::HRESULT hr = com::AddTypeLibRegistration(*lib, typeLib, &batch); com::Failed(hr))
    return Refuse(hr, "cannot register the type library " + typeLib.string());
  const registry::Status status = registry::Registry::Default().Apply(batch);
  return status.ok() ? com::S_OK : Refuse(StatusOf(status), status.message);
}

com::HRESULT UnregisterLibrary(std::span<const ClassEntry> classes) {
  registry::Registry reg = registry::Registry::Default();
  // Read and written under one lock, so that a registration running at the
  // same time comes wholly before or wholly after this removal.
  const registry::Status status = reg.Transact([&](const registry::Snapshot& now, registry::Batch* batch) {
    RemoveClasses(classes, batch);
    // Not registered is fine: there is nothing of the type library to remove.
    (void)com::AddTypeLibUnregistration(now, LIBID_ZenolithCE, 1, 0, batch);
    return registry::Status{};
  });
  return status.ok() ? com::S_OK : Refuse(StatusOf(status), status.message);
}

}  // namespace zenolith
