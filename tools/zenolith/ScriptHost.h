// An automation script host: runs small scripts against the library's objects
// through the component runtime, so that library users can try the objects
// without writing C++.
//
// One statement per line; '#' starts a comment; blank lines are skipped.
//   NAME = new PROGID            create an object
//   NAME = EXPR                  keep the result of a call
//   NAME.Member = VALUE          put a property (an object VALUE puts by reference)
//   print EXPR | print NAME      print a result on one line
//   call EXPR                    call without printing
// EXPR is NAME.Member (a property get) or NAME.Member(ARG, ...) (a method
// call); VALUE and ARG are a number, a "text" (\" and \\ escaped), true,
// false, or a NAME. Out arguments are printed after the result, separated by
// single blanks; an out argument given as a NAME also stores the value there.
//
// A failing member prints "error 0xXXXXXXXX: DESCRIPTION" and the script goes
// on; a line that does not parse (or names an unknown NAME) stops the script
// with "line N: MESSAGE" on the error stream. Both messages show control
// bytes and malformed UTF-8 of the line as \xHH escapes.
#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"
#include "tools/zenolith/ScriptParser.h"

namespace zenolith::tools {

class ScriptHost {
 public:
  ScriptHost(std::ostream& out, std::ostream& err);

  // Runs every line of `script`; returns 0 when it ran to its end, 2 when a
  // line did not parse.
  int Run(std::istream& script);
  // Runs one line (numbered for messages); false stops the script.
  bool RunLine(std::string_view line, int number);

 private:
  bool Execute(const Statement& statement, int number);
  // Prints "line N: MESSAGE" and returns false.
  bool Stop(int number, const std::string& message);
  const com::Variant* ValueOf(const Operand& operand) const;
  // The object a name holds; null (after Stop) when the name is undefined or
  // holds no object.
  com::IDispatch* ObjectOf(const std::string& name, int number);
  // Runs a call; nothing when it succeeded (*result and the out arguments in
  // *outs filled), else whether the script goes on.
  std::optional<bool> RunCall(const Call& call, int number, com::Variant* result, std::string* outs);
  // One function per statement kind; each returns whether the script goes on.
  bool PrintName(const Statement& statement, int number);  // print NAME
  bool Invoke(const Statement& statement, int number);     // print EXPR, call EXPR
  bool Create(const Statement& statement);                 // NAME = new PROGID
  bool Keep(const Statement& statement, int number);       // NAME = EXPR
  bool Copy(const Statement& statement, int number);       // NAME = VALUE
  bool Put(const Statement& statement, int number);        // NAME.Member = VALUE

  std::ostream& out_;
  std::ostream& err_;
  std::map<std::string, com::Variant, std::less<>> names_;
};

// The text the script host prints for a value: numbers as the shortest text
// that reads back to the same double, true/false, texts as they are,
// "<object>", "<nothing>" for a null object, "<empty>".
std::string FormatValue(const com::Variant& value);

}  // namespace zenolith::tools
