// Text forms of statuses and identifiers, for logs, the registry and messages.
#include "platform/com/Types.h"

#include <cstdio>
#include <cstring>

#include "platform/text/SafeText.h"

namespace com {

namespace {

struct StatusText {
  HRESULT status;
  const char* text;
};

// One row per status the runtime and the library return. The classic wording
// is kept where scripts and users already know it ("Type mismatch.").
//
// Connection points and self-registration share two codes (0x80040200 and
// 0x80040201, both facility-ITF "first" codes), so their rows name both
// meanings: the status alone cannot tell which subsystem produced it.
constexpr StatusText kStatusTexts[] = {
    {S_OK, "The operation completed successfully."},
    {S_FALSE, "The operation completed with a false result."},
    {E_NOTIMPL, "Not implemented"},
    {E_NOINTERFACE, "No such interface supported"},
    {E_POINTER, "Invalid pointer"},
    {E_FAIL, "Unspecified error"},
    {E_UNEXPECTED, "Catastrophic failure"},
    {E_ACCESSDENIED, "Access is denied."},
    {E_OUTOFMEMORY, "Not enough memory is available to complete this operation."},
    {E_INVALIDARG, "The parameter is incorrect."},
    {DISP_E_UNKNOWNINTERFACE, "Unknown interface."},
    {DISP_E_MEMBERNOTFOUND, "Member not found."},
    {DISP_E_PARAMNOTFOUND, "Parameter not found."},
    {DISP_E_TYPEMISMATCH, "Type mismatch."},
    {DISP_E_UNKNOWNNAME, "Unknown name."},
    {DISP_E_BADVARTYPE, "Bad variable type."},
    {DISP_E_EXCEPTION, "Exception occurred."},
    {DISP_E_OVERFLOW, "Out of present range."},
    {DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
    {DISP_E_PARAMNOTOPTIONAL, "Parameter not optional."},
    {TYPE_E_ELEMENTNOTFOUND, "Element not found."},
    {TYPE_E_LIBNOTREGISTERED, "Library not registered."},
    {TYPE_E_INVALIDSTATE, "Old format or invalid type library."},
    {TYPE_E_CANTLOADLIBRARY, "Error loading type library/DLL."},
    {CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)"},
    {CLASS_E_CLASSNOTAVAILABLE, "ClassFactory cannot supply requested class"},
    {REGDB_E_CLASSNOTREG, "Class not registered"},
    {CO_E_CLASSSTRING, "Invalid class string"},
    {CO_E_DLLNOTFOUND, "DLL for class not found"},
    {CO_E_ERRORINDLL, "Error in the DLL"},
    {CONNECT_E_NOCONNECTION, "The connection does not exist, or the type library could not be registered."},
    {CONNECT_E_ADVISELIMIT, "The connection limit has been reached, or the classes could not be registered."},
    {CONNECT_E_CANNOTCONNECT, "Cannot connect: the sink does not support the event interface."},
};

static_assert(SELFREG_E_TYPELIB == CONNECT_E_NOCONNECTION && SELFREG_E_CLASS == CONNECT_E_ADVISELIMIT,
              "the shared rows above describe both meanings of these codes");

// strerror_r comes in two shapes (XSI returns int, GNU returns the text);
// these overloads take whichever the C library declares.
[[maybe_unused]] const char* ErrorText(int rc, const char* buffer) { return rc == 0 ? buffer : ""; }
[[maybe_unused]] const char* ErrorText(const char* text, const char*) { return text ? text : ""; }

std::string ErrnoText(int error) {
  if (error == 0) return {};  // "Success" says nothing about a failure
  char buffer[256] = {};
  std::string text = ErrorText(strerror_r(error, buffer, sizeof buffer), buffer);
  // Numbers the C library does not know come back as a placeholder text.
  if (text.rfind("Unknown error", 0) == 0) return {};
  return text;
}

}  // namespace

std::string FormatStatus(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
  return buffer;
}

std::string DescribeStatus(HRESULT hr) {
  // The runtime's own constants come first: three of them (E_ACCESSDENIED,
  // E_OUTOFMEMORY, E_INVALIDARG) carry the classic system codes 5, 14 and 87
  // in facility 7, which on Linux are also the errno values EIO, EFAULT and
  // EUSERS. Statuses built from errno are described by their rich error
  // information first, so the classic wording wins here.
  for (const StatusText& row : kStatusTexts)
    if (row.status == hr) return row.text;
  const auto value = static_cast<std::uint32_t>(hr);
  if ((value & 0xFFFF0000u) == 0x80070000u) return ErrnoText(static_cast<int>(value & 0xFFFFu));
  return {};
}

std::string FormatGuid(const Guid& g) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.data1), static_cast<unsigned>(g.data2), static_cast<unsigned>(g.data3),
                g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return buffer;
}

std::string SafeText(std::string_view text) { return platform::SafeText(text); }

}  // namespace com
