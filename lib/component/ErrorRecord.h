// The error record every library object carries, and its conversion into the
// status and rich error information a client receives.
//
// A failing operation fills the record with a number and a message; the next
// operation on the object clears it first. When a component method returns
// with a filled record, the client gets status 0x80040000 plus the number
// (10003 becomes 0x80042713) and rich error information holding the message,
// the interface called and the class (by ProgID) as source. System errors
// passed through keep the system's code in the low 16 bits the same way.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/Types.h"

namespace zenolith {

// The library's error numbers.
inline constexpr int kErrorInvalidArgument = 10003;
inline constexpr int kErrorIndexOutOfBounds = 10004;
inline constexpr int kErrorWrongState = 10006;
inline constexpr int kErrorPort = 10007;
inline constexpr int kErrorWindow = 10018;

struct ErrorRecord {
  int number = 0;  // 0: no error
  std::string message;

  void Clear() {
    number = 0;
    message.clear();
  }
  void Set(int errorNumber, std::string_view text) {
    number = errorNumber;
    message.assign(text);
  }
  bool IsSet() const { return number != 0; }
};

// 0x80040000 plus the number's low 16 bits.
constexpr com::HRESULT StatusForError(int number) {
  return com::MakeStatus(0x80040000u + (static_cast<unsigned>(number) & 0xFFFFu));
}

// Installs the record as the thread's rich error information and returns its
// status; S_OK (and nothing installed) for an empty record.
com::HRESULT ReportError(const ErrorRecord& record, const com::IID& iid, std::string_view source);

}  // namespace zenolith
