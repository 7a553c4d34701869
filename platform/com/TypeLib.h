// Type libraries: the description of a component library's dispatch
// interfaces (members, dispatch identifiers, argument names and types) and of
// its creatable classes.
//
// A type library is a small text file, installed beside the library it
// describes and registered under HKEY_CLASSES_ROOT\TypeLib. Its grammar, one
// statement per line, '#' starting a comment:
//
//   library NAME {LIBID} MAJOR.MINOR "help text"
//   dispinterface NAME {IID}            (or: source dispinterface NAME {IID})
//     DISPID KIND NAME[(PARAMS)] [: TYPE]
//   end
//   coclass NAME {CLSID} "description"
//     default INTERFACE
//     source INTERFACE
//     interface INTERFACE
//   end
//
// KIND is method, propget, propput or propputref. PARAMS is a comma-separated
// list of "[out] [optional] TYPE NAME". TYPE is one of I2, I4, R8, BOOL, BSTR,
// DATE, DISPATCH, VARIANT; a member without ": TYPE" returns nothing. A
// property get's result type follows the colon; a property put takes its new
// value as its last parameter.
//
// Quoted texts know two escapes, \" and \\. Blank lines, comments and extra
// blanks are ignored; anything else that does not fit is an error. Within an
// interface an identifier has one name, and a name one identifier (a get and a
// put share both); a coclass may name interfaces declared after it. The text is
// at most 1 MiB, a line at most 4096 characters.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/Types.h"
#include "platform/com/Variant.h"

namespace registry {
class Batch;
class Snapshot;
}  // namespace registry

namespace com {

enum class MemberKind : std::uint8_t { Method, PropGet, PropPut, PropPutRef };

// "method", "propget", "propput", "propputref".
COM_API std::string_view MemberKindName(MemberKind kind);
// The invoke flag that calls a member of this kind.
COM_API std::uint16_t InvokeFlagFor(MemberKind kind);

struct ParamInfo {
  std::string name;
  VarType type = VarType::Variant;
  bool out = false;
  bool optional = false;
};

struct MemberInfo {
  DispId id = 0;
  MemberKind kind = MemberKind::Method;
  std::string name;
  std::vector<ParamInfo> params;
  VarType result = VarType::Void;
};

struct InterfaceInfo {
  std::string name;
  IID iid;
  bool source = false;  // an outgoing (event) interface
  std::vector<MemberInfo> members;  // in interface order

  // The member with this identifier that answers any of the invoke flags
  // (a method answers kInvokeMethod, a property get kInvokePropertyGet, ...);
  // when several do, a method wins over a get, a get over a put, a put over a
  // putref.
  COM_API const MemberInfo* Find(DispId id, std::uint16_t flags) const;
  // Case-insensitive lookup of a member's identifier.
  COM_API std::optional<DispId> IdOfName(std::string_view member) const;
};

struct ClassInfo {
  std::string name;
  CLSID clsid;
  std::string description;
  std::string defaultInterface;
  std::string sourceInterface;              // empty when the class fires no events
  std::vector<std::string> otherInterfaces;
};

struct TypeLib {
  std::string name;
  Guid libid;
  std::uint16_t major = 1;
  std::uint16_t minor = 0;
  std::string helpText;
  std::vector<InterfaceInfo> interfaces;
  std::vector<ClassInfo> classes;

  COM_API const InterfaceInfo* FindInterface(std::string_view name) const;
  COM_API const InterfaceInfo* FindInterface(const IID& iid) const;
  COM_API const ClassInfo* FindClass(const CLSID& clsid) const;
  COM_API const ClassInfo* FindClass(std::string_view name) const;
};

// Parses type library text. On failure returns null and, when `error` is
// given, sets it to "line N: what is wrong".
COM_API std::shared_ptr<const TypeLib> ParseTypeLib(std::string_view text, std::string* error);

// Reads and parses a type library file (at most 1 MiB). Parsed files are
// kept by path, modification time and size, so loading again is cheap.
// TYPE_E_CANTLOADLIBRARY when it cannot be read or parsed; `error` then holds
// the reason (the parser's "line N: ..." for a bad text).
COM_API HRESULT LoadTypeLib(const std::filesystem::path& file, std::shared_ptr<const TypeLib>* out,
                            std::string* error = nullptr);

// Registers a type library file: HKEY_CLASSES_ROOT\TypeLib\{LIBID}\MAJOR.MINOR
// (decimal) with the help text, "0\linux" holding the absolute file path,
// FLAGS and HELPDIR, and HKEY_CLASSES_ROOT\Interface\{IID} for each interface
// (its TypeLib key with the LIBID and "Version", and the automation
// marshaller as ProxyStubClsid32), all in one registry batch. The registry
// failure status when the entries cannot be written.
//
// UnRegisterTypeLib removes the Interface keys that still name this library
// version, the version key, and the library key when no version is left.
// TYPE_E_LIBNOTREGISTERED when that version is not registered.
COM_API HRESULT RegisterTypeLib(const TypeLib& lib, const std::filesystem::path& file);
COM_API HRESULT UnRegisterTypeLib(const Guid& libid, std::uint16_t major, std::uint16_t minor);

// The same changes added to a caller's batch, so that a server can register
// (or remove) its classes and its type library in one atomic change of the
// registry. AddTypeLibRegistration: E_INVALIDARG for a null LIBID or an empty
// path. AddTypeLibUnregistration plans on `now`, the registry as a
// registry::Registry::Transact plan sees it; TYPE_E_LIBNOTREGISTERED (and
// nothing added) when that version is not registered. It reads the registered
// type library file but never the registry itself.
COM_API HRESULT AddTypeLibRegistration(const TypeLib& lib, const std::filesystem::path& file, registry::Batch* batch);
COM_API HRESULT AddTypeLibUnregistration(const registry::Snapshot& now, const Guid& libid, std::uint16_t major,
                                         std::uint16_t minor, registry::Batch* batch);

// Loads the registered file of a type library.
// TYPE_E_LIBNOTREGISTERED when no such registration exists.
COM_API HRESULT LoadRegTypeLib(const Guid& libid, std::uint16_t major, std::uint16_t minor,
                               std::shared_ptr<const TypeLib>* out);

}  // namespace com
