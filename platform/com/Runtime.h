// The component runtime: thread initialisation, rich error information,
// creation of objects by ProgID or class identifier through the registry, and
// the loading and freeing of in-process server libraries.
//
// Registration layout (HKEY_CLASSES_ROOT of platform/registry):
//   HKEY_CLASSES_ROOT\PROGID                 default: description
//   HKEY_CLASSES_ROOT\PROGID\CLSID           default: "{CLSID}"
//   HKEY_CLASSES_ROOT\PROGID\CurVer          default: versioned ProgID
//   HKEY_CLASSES_ROOT\CLSID\{CLSID}\InprocServer32   default: library path
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/Types.h"
#include "platform/com/Unknown.h"

namespace com {

inline constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";

// The entry points an in-process server library exports with C linkage:
//   HRESULT DllGetClassObject(const Guid* clsid, const Guid* iid, void** object);
//   HRESULT DllCanUnloadNow();     S_OK when no object or lock is outstanding
//   HRESULT DllRegisterServer();
//   HRESULT DllUnregisterServer();
using DllGetClassObjectFn = HRESULT (*)(const Guid* clsid, const Guid* iid, void** object);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

enum class Apartment { Multithreaded, SingleThreaded };

// Counts initialisations per thread: S_OK for the first, S_FALSE afterwards.
COM_API HRESULT CoInitializeEx(Apartment apartment = Apartment::Multithreaded);
COM_API void CoUninitialize();

// Rich error information, kept per thread. A server installs it before it
// returns a failure; the client takes it (which clears it) after the call.
// SetErrorInfo passes description and source through SafeText.
struct ErrorInfo {
  std::string description;
  IID iid;             // the interface whose member failed
  std::string source;  // the failing class, by ProgID
};
COM_API void SetErrorInfo(const ErrorInfo& info);
namespace detail {
// Whether this thread holds error information. Every dispatch call clears it,
// so the test is inline: a flag in the static TLS block.
[[gnu::tls_model("initial-exec")]] COM_API extern constinit thread_local bool t_errorSet;
COM_API void DropErrorInfo();
}  // namespace detail
inline void ClearErrorInfo() {
  if (detail::t_errorSet) detail::DropErrorInfo();
}
COM_API std::optional<ErrorInfo> GetErrorInfo();  // takes it

// Why the registry could not be read, when that made the last lookup of this
// thread find nothing: the registry's message naming the file and, for a
// damaged file, the line ("PATH:LINE: REASON"), made safe with SafeText.
// Empty when that lookup's registry was readable (the entry is simply not
// there) or when it succeeded. Set by CLSIDFromProgID, ProgIDFromCLSID and
// CoGetClassObject (so also CoCreateInstance and CreateObject); a damaged
// registry reads as an empty one, so their statuses alone cannot tell.
COM_API std::string LastRegistryError();

// The CLSID registered for a ProgID (versioned or not); CO_E_CLASSSTRING when
// the ProgID is not registered. A "{...}" text is accepted as a CLSID itself.
COM_API HRESULT CLSIDFromProgID(std::string_view progId, CLSID* clsid);
COM_API HRESULT ProgIDFromCLSID(const CLSID& clsid, std::string* progId);

// Loads the class's registered library (once per process) and asks its
// DllGetClassObject. REGDB_E_CLASSNOTREG when the class has no registration,
// CO_E_DLLNOTFOUND when the library cannot be loaded, CO_E_ERRORINDLL when it
// has no DllGetClassObject.
COM_API HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** object);
COM_API HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object);
// ProgID creation, for clients that name classes: CLSIDFromProgID then
// CoCreateInstance for IDispatch.
COM_API HRESULT CreateObject(std::string_view progId, ComPtr<IDispatch>* object);

// Asks every loaded library's DllCanUnloadNow and unloads those that answer S_OK.
COM_API void CoFreeUnusedLibraries();
// The canonical paths of the libraries loaded now, for diagnostics and tests.
COM_API std::vector<std::filesystem::path> LoadedLibraries();

// Self-registration of an in-process server: loads the library file and runs
// its DllRegisterServer or DllUnregisterServer. CO_E_DLLNOTFOUND when the file
// cannot be loaded, CO_E_ERRORINDLL when the entry point is missing; else what
// the entry point returned. On failure `error` receives the loader's message,
// or the description of the rich error information the entry point installed
// (ZenolithCE's names the registry file and line of a damaged registry); that
// information also stays for GetErrorInfo. `error` is untouched on success.
COM_API HRESULT RegisterServer(const std::filesystem::path& library, std::string* error = nullptr);
COM_API HRESULT UnregisterServer(const std::filesystem::path& library, std::string* error = nullptr);

// Calls a member through IDispatch by name, for clients and tests.
class Variant;
COM_API HRESULT InvokeByName(IDispatch* object, std::string_view member, std::uint16_t flags,
                             std::span<Variant> args, Variant* result);

}  // namespace com
