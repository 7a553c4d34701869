// Basic vocabulary of the component runtime: statuses, 128-bit identifiers.
//
// The runtime is shaped after the classic component object model so that the
// library's interfaces read as their documentation describes them, but it is
// plain C++: statuses are 32-bit HRESULT values, identifiers are 16-byte GUIDs.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <optional>
#include <string>
#include <string_view>

#define COM_API __attribute__((visibility("default")))

namespace com {

using HRESULT = std::int32_t;
using DispId = std::int32_t;

constexpr HRESULT MakeStatus(std::uint32_t value) { return static_cast<HRESULT>(value); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeStatus(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeStatus(0x80004002);
constexpr HRESULT E_POINTER = MakeStatus(0x80004003);
constexpr HRESULT E_FAIL = MakeStatus(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeStatus(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeStatus(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = MakeStatus(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeStatus(0x80070057);

constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeStatus(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeStatus(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeStatus(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeStatus(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeStatus(0x80020006);
constexpr HRESULT DISP_E_BADVARTYPE = MakeStatus(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = MakeStatus(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = MakeStatus(0x8002000A);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeStatus(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeStatus(0x8002000F);

constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MakeStatus(0x8002802B);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = MakeStatus(0x8002801D);
constexpr HRESULT TYPE_E_INVALIDSTATE = MakeStatus(0x80028029);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = MakeStatus(0x80029C4A);

constexpr HRESULT CLASS_E_NOAGGREGATION = MakeStatus(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeStatus(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeStatus(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = MakeStatus(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeStatus(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = MakeStatus(0x800401F9);
constexpr HRESULT CONNECT_E_NOCONNECTION = MakeStatus(0x80040200);
constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeStatus(0x80040201);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeStatus(0x80040202);
constexpr HRESULT SELFREG_E_TYPELIB = MakeStatus(0x80040200);
constexpr HRESULT SELFREG_E_CLASS = MakeStatus(0x80040201);

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

// A system error number (errno) as a failure status, the way the classic
// runtime wraps operating-system codes: facility 7, code in the low 16 bits.
constexpr HRESULT StatusFromErrno(int error) {
  return MakeStatus(0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu));
}

// "0x80042713": upper-case hexadecimal, as scripts and logs print statuses.
COM_API std::string FormatStatus(HRESULT hr);

// A short English description of the runtime's own statuses ("Type mismatch."),
// used when a failing call left no rich error information; empty when unknown.
COM_API std::string DescribeStatus(HRESULT hr);

// Text from untrusted input made safe for messages: valid UTF-8 is kept,
// control bytes (also tab and line feed) and bytes that are no part of valid
// UTF-8 become "\xnn" (platform::SafeText), so a message never carries a NUL byte or invalid
// UTF-8 into a log or a terminal.
COM_API std::string SafeText(std::string_view text);

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};

  friend constexpr bool operator==(const Guid& a, const Guid& b) {
    if (std::is_constant_evaluated()) {
      if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
      for (int i = 0; i < 8; ++i)
        if (a.data4[i] != b.data4[i]) return false;
      return true;
    }
    // At run time (every QueryInterface compares several): two words.
    std::uint64_t x[2], y[2];
    std::memcpy(x, &a, sizeof x);
    std::memcpy(y, &b, sizeof y);
    return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
  }
  constexpr bool IsNull() const { return *this == Guid{}; }
};
static_assert(sizeof(Guid) == 16, "a GUID compares as two 64-bit words");
using IID = Guid;
using CLSID = Guid;

namespace detail {
constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace detail

// Reads "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", with or without braces.
constexpr std::optional<Guid> ParseGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  std::uint8_t bytes[16] = {};
  int n = 0;
  for (std::size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int hi = detail::HexValue(text[i]);
    const int lo = detail::HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  Guid g;
  g.data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
            (std::uint32_t{bytes[2]} << 8) | bytes[3];
  g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
  return g;
}

// For identifiers written in the source: a malformed literal fails to compile.
consteval Guid MakeGuid(std::string_view text) {
  const auto g = ParseGuid(text);
  if (!g) throw "malformed GUID literal";
  return *g;
}

// "{7DD95801-9882-11CF-9FA9-00AA006C42C4}": upper case, with braces.
COM_API std::string FormatGuid(const Guid& g);

}  // namespace com
