// Registration of type library files in the registry, and loading a
// registered one.
#include <algorithm>
#include <system_error>
#include <vector>

#include "platform/com/TypeLib.h"
#include "platform/registry/Registry.h"

namespace com {
namespace {

constexpr const char* kAutomationMarshaller = "{00020420-0000-0000-C000-000000000046}";

// GUID texts compare without regard to case, as the registry's key names do.
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string VersionText(std::uint16_t major, std::uint16_t minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}
std::string LibKey(const Guid& libid) { return "HKEY_CLASSES_ROOT\\TypeLib\\" + FormatGuid(libid); }
std::string VersionKey(const Guid& libid, std::uint16_t major, std::uint16_t minor) {
  return LibKey(libid) + "\\" + VersionText(major, minor);
}
std::string InterfaceKey(const IID& iid) { return "HKEY_CLASSES_ROOT\\Interface\\" + FormatGuid(iid); }

HRESULT StatusOf(const registry::Status& status) {
  if (status.ok()) return S_OK;
  return status.error != 0 ? StatusFromErrno(status.error) : E_FAIL;
}

}  // namespace

HRESULT AddTypeLibRegistration(const TypeLib& lib, const std::filesystem::path& file, registry::Batch* batch) {
  if (!batch) return E_POINTER;
  if (lib.libid.IsNull() || file.empty()) return E_INVALIDARG;
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::absolute(file, ec).lexically_normal();
  if (ec) return StatusFromErrno(ec.value());

  const std::string libid = FormatGuid(lib.libid);
  const std::string version = VersionText(lib.major, lib.minor);
  const std::string versionKey = VersionKey(lib.libid, lib.major, lib.minor);
  // A stale registration of this version (another path, other entries) goes
  // first; one batch makes the swap atomic for readers.
  batch->DeleteKey(versionKey);
  batch->SetString(versionKey, "", lib.helpText);
  batch->SetString(versionKey + "\\0\\linux", "", path.string());
  batch->SetString(versionKey + "\\FLAGS", "", "0");
  batch->SetString(versionKey + "\\HELPDIR", "", path.parent_path().string());
  for (const InterfaceInfo& info : lib.interfaces) {
    const std::string key = InterfaceKey(info.iid);
    batch->SetString(key, "", info.name);
    batch->SetString(key + "\\TypeLib", "", libid);
    batch->SetString(key + "\\TypeLib", "Version", version);
    batch->SetString(key + "\\ProxyStubClsid32", "", kAutomationMarshaller);
  }
  return S_OK;
}

HRESULT AddTypeLibUnregistration(const registry::Snapshot& now, const Guid& libid, std::uint16_t major,
                                 std::uint16_t minor, registry::Batch* batch) {
  if (!batch) return E_POINTER;
  const std::string libText = FormatGuid(libid);
  const std::string version = VersionText(major, minor);
  const std::string libKey = LibKey(libid);
  const std::string versionKey = VersionKey(libid, major, minor);
  if (!now.KeyExists(versionKey)) return TYPE_E_LIBNOTREGISTERED;

  // The interfaces come from the registered file; when it is gone, from every
  // Interface key, so that a deleted file does not leave its interfaces behind.
  std::vector<IID> candidates;
  std::shared_ptr<const TypeLib> lib;
  const auto file = now.GetString(versionKey + "\\0\\linux", "");
  if (file && Succeeded(LoadTypeLib(*file, &lib)) && lib->libid == libid) {
    for (const InterfaceInfo& info : lib->interfaces) candidates.push_back(info.iid);
  } else {
    for (const std::string& name : now.SubKeys("HKEY_CLASSES_ROOT\\Interface"))
      if (const auto iid = ParseGuid(name)) candidates.push_back(*iid);
  }

  for (const IID& iid : candidates) {
    // Only keys that still belong to this version: another library (or a
    // newer registration of this one) may have taken the interface over.
    const std::string key = InterfaceKey(iid);
    const auto owner = now.GetString(key + "\\TypeLib", "");
    const auto ownerVersion = now.GetString(key + "\\TypeLib", "Version");
    if (owner && EqualsIgnoreCase(*owner, libText) && ownerVersion == version) batch->DeleteKey(key);
  }
  const auto versions = now.SubKeys(libKey);
  const auto other = [&](const std::string& v) { return !EqualsIgnoreCase(v, version); };
  const bool others = std::any_of(versions.begin(), versions.end(), other);
  batch->DeleteKey(others ? versionKey : libKey);
  return S_OK;
}

HRESULT RegisterTypeLib(const TypeLib& lib, const std::filesystem::path& file) {
  registry::Batch batch;
  if (const HRESULT hr = AddTypeLibRegistration(lib, file, &batch); Failed(hr)) return hr;
  return StatusOf(registry::Registry::Default().Apply(batch));
}

HRESULT UnRegisterTypeLib(const Guid& libid, std::uint16_t major, std::uint16_t minor) {
  registry::Registry reg = registry::Registry::Default();
  // Not registered at all: answer without taking the writer's lock (which
  // would create the registry's folder and lock file).
  if (!reg.KeyExists(VersionKey(libid, major, minor))) return TYPE_E_LIBNOTREGISTERED;
  HRESULT hr = S_OK;
  const registry::Status status = reg.Transact([&](const registry::Snapshot& now, registry::Batch* batch) {
    hr = AddTypeLibUnregistration(now, libid, major, minor, batch);
    return registry::Status{};
  });
  return status.ok() ? hr : StatusOf(status);
}

HRESULT LoadRegTypeLib(const Guid& libid, std::uint16_t major, std::uint16_t minor,
                       std::shared_ptr<const TypeLib>* out) {
  if (!out) return E_POINTER;
  out->reset();
  const auto file = registry::Registry::Default().GetString(VersionKey(libid, major, minor) + "\\0\\linux", "");
  if (!file || file->empty()) return TYPE_E_LIBNOTREGISTERED;
  std::shared_ptr<const TypeLib> lib;
  if (const HRESULT hr = LoadTypeLib(*file, &lib); Failed(hr)) return hr;
  // The registration must lead to the library it was made for.
  if (lib->libid != libid) return TYPE_E_CANTLOADLIBRARY;
  *out = std::move(lib);
  return S_OK;
}

}  // namespace com
