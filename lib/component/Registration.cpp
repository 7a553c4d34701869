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
  if (com::Failed(com::LoadTypeLib(typeLib, &lib)) || lib->libid != LIBID_ZenolithCE) return com::SELFREG_E_TYPELIB;

  registry::Registry reg = registry::Registry::Default();
  if (com::HRESULT hr = StatusOf(reg.Apply(ClassRegistration(classes, library))); com::Failed(hr)) return hr;
  if (com::HRESULT hr = com::RegisterTypeLib(*lib, typeLib); com::Failed(hr)) {
    registry::Batch undo;
    RemoveClasses(classes, &undo);
    reg.Apply(undo);
    return hr;
  }
  return com::S_OK;
}

com::HRESULT UnregisterLibrary(std::span<const ClassEntry> classes) {
  registry::Batch batch;
  RemoveClasses(classes, &batch);
  if (com::HRESULT hr = StatusOf(registry::Registry::Default().Apply(batch)); com::Failed(hr)) return hr;
  const com::HRESULT hr = com::UnRegisterTypeLib(LIBID_ZenolithCE, 1, 0);
  return hr == com::TYPE_E_LIBNOTREGISTERED ? com::S_OK : hr;
}

}  // namespace zenolith
