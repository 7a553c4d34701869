#include "platform/com/Runtime.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <system_error>

#include "platform/com/Variant.h"
#include "platform/registry/Registry.h"

namespace com {

// Whether t_errorInfo holds anything, readable without touching the optional
// (whose destructor makes each access go through a lazy-initialisation wrapper).
constinit thread_local bool detail::t_errorSet = false;

namespace {

thread_local int t_initCount = 0;
thread_local std::optional<ErrorInfo> t_errorInfo;
thread_local std::string t_registryError;

// After a lookup that found nothing: why the registry could not be read, if
// that was the reason (a damaged file reads as an empty registry).
void NoteRegistryProblem(const registry::Registry& reg) {
  const registry::Status status = reg.Check();
  t_registryError = status.ok() ? std::string() : SafeText(status.message);
}

std::string ClassKey(const CLSID& clsid) {
  return std::string(kClassesRoot) + "\\CLSID\\" + FormatGuid(clsid);
}

// One loaded server library. The handle stays open until the library says it
// can be unloaded, so class objects and instances never outlive their code.
struct LoadedLibrary {
  void* handle = nullptr;
  DllGetClassObjectFn getClassObject = nullptr;
  DllCanUnloadNowFn canUnloadNow = nullptr;
};

class LibraryTable {
 public:
  HRESULT Get(const std::filesystem::path& file, DllGetClassObjectFn* fn) {
    std::lock_guard lock(mutex_);
    auto it = libraries_.find(file);
    if (it == libraries_.end()) {
      void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handle) return CO_E_DLLNOTFOUND;
      LoadedLibrary lib;
      lib.handle = handle;
      lib.getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
      lib.canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
      if (!lib.getClassObject) {
        dlclose(handle);
        return CO_E_ERRORINDLL;
      }
      it = libraries_.emplace(file, lib).first;
    }
    *fn = it->second.getClassObject;
    return S_OK;
  }

  void FreeUnused() {
    std::lock_guard lock(mutex_);
    for (auto it = libraries_.begin(); it != libraries_.end();) {
      // A library without DllCanUnloadNow is never unloaded.
      if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
        dlclose(it->second.handle);
        it = libraries_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::vector<std::filesystem::path> Paths() {
    std::lock_guard lock(mutex_);
    std::vector<std::filesystem::path> paths;
    for (const auto& [path, lib] : libraries_) paths.push_back(path);
    return paths;
  }

 private:
  std::mutex mutex_;
  std::map<std::filesystem::path, LoadedLibrary> libraries_;
};

LibraryTable& Libraries() {
  static LibraryTable* table = new LibraryTable;  // never destroyed: servers may outlive main
  return *table;
}

std::filesystem::path Canonical(const std::filesystem::path& file) {
  std::error_code ec;
  auto canonical = std::filesystem::weakly_canonical(file, ec);
  return ec ? file : canonical;
}

HRESULT RunEntryPoint(const std::filesystem::path& library, const char* name, std::string* error) {
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* message = dlerror();
      *error = message ? message : "cannot load " + library.string();
    }
    return CO_E_DLLNOTFOUND;
  }
  auto fn = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, name));
  HRESULT hr = CO_E_ERRORINDLL;
  if (fn) {
    // Only what this call installs may explain its failure.
    ClearErrorInfo();
    hr = fn();
    if (Failed(hr) && error && t_errorInfo) *error = t_errorInfo->description;
  } else if (error) {
    *error = library.string() + " has no entry point " + name;
  }
  dlclose(handle);
  return hr;
}

}  // namespace

HRESULT CoInitializeEx(Apartment) { return t_initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (t_initCount > 0) --t_initCount;
}

void SetErrorInfo(const ErrorInfo& info) {
  // Descriptions echo names and texts that came from outside (ProgIDs,
  // member names, device paths, registry lines).
  t_errorInfo = ErrorInfo{SafeText(info.description), info.iid, SafeText(info.source)};
  detail::t_errorSet = true;
}
void detail::DropErrorInfo() {
  t_errorInfo.reset();
  detail::t_errorSet = false;
}

std::optional<ErrorInfo> GetErrorInfo() {
  std::optional<ErrorInfo> info;
  if (!detail::t_errorSet) return info;
  info.swap(t_errorInfo);
  detail::t_errorSet = false;
  return info;
}

std::string LastRegistryError() { return t_registryError; }

HRESULT CLSIDFromProgID(std::string_view progId, CLSID* clsid) {
  if (!clsid) return E_POINTER;
  t_registryError.clear();
  if (!progId.empty() && progId.front() == '{') {
    if (auto parsed = ParseGuid(progId)) {
      *clsid = *parsed;
      return S_OK;
    }
    return CO_E_CLASSSTRING;
  }
  // A ProgID is one key name: a backslash would reach into another key.
  if (progId.empty() || progId.find('\\') != std::string_view::npos) return CO_E_CLASSSTRING;
  const registry::Registry reg = registry::Registry::Default();
  const auto text = reg.GetString(std::string(kClassesRoot) + "\\" + std::string(progId) + "\\CLSID", "");
  const auto parsed = text ? ParseGuid(*text) : std::nullopt;
  if (!parsed) {
    NoteRegistryProblem(reg);
    return CO_E_CLASSSTRING;
  }
  *clsid = *parsed;
  return S_OK;
}

HRESULT ProgIDFromCLSID(const CLSID& clsid, std::string* progId) {
  if (!progId) return E_POINTER;
  t_registryError.clear();
  const registry::Registry reg = registry::Registry::Default();
  const auto text = reg.GetString(ClassKey(clsid) + "\\ProgID", "");
  if (!text) {
    NoteRegistryProblem(reg);
    return REGDB_E_CLASSNOTREG;
  }
  *progId = *text;
  return S_OK;
}

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  t_registryError.clear();
  const registry::Registry reg = registry::Registry::Default();
  const auto path = reg.GetString(ClassKey(clsid) + "\\InprocServer32", "");
  if (!path || path->empty()) {
    NoteRegistryProblem(reg);
    return REGDB_E_CLASSNOTREG;
  }
  DllGetClassObjectFn getClassObject = nullptr;
  if (HRESULT hr = Libraries().Get(Canonical(*path), &getClassObject); Failed(hr)) return hr;
  return getClassObject(&clsid, &iid, object);
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<IClassFactory> factory;
  if (HRESULT hr = CoGetClassObject(clsid, IID_IClassFactory, factory.PutVoid()); Failed(hr)) return hr;
  return factory->CreateInstance(outer, iid, object);
}

HRESULT CreateObject(std::string_view progId, ComPtr<IDispatch>* object) {
  if (!object) return E_POINTER;
  CLSID clsid;
  if (HRESULT hr = CLSIDFromProgID(progId, &clsid); Failed(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, IID_IDispatch, object->PutVoid());
}

void CoFreeUnusedLibraries() { Libraries().FreeUnused(); }

std::vector<std::filesystem::path> LoadedLibraries() { return Libraries().Paths(); }

HRESULT RegisterServer(const std::filesystem::path& library, std::string* error) {
  return RunEntryPoint(library, "DllRegisterServer", error);
}

HRESULT UnregisterServer(const std::filesystem::path& library, std::string* error) {
  return RunEntryPoint(library, "DllUnregisterServer", error);
}

HRESULT InvokeByName(IDispatch* object, std::string_view member, std::uint16_t flags, std::span<Variant> args,
                     Variant* result) {
  if (!object) return E_POINTER;
  const std::string_view names[] = {member};
  DispId id = kDispIdUnknown;
  if (HRESULT hr = object->GetIDsOfNames(names, &id); Failed(hr)) return hr;
  return object->Invoke(id, flags, args, result);
}

}  // namespace com
