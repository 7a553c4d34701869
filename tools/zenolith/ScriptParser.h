// The statements of a zenolith script, parsed from one line each without
// running anything (see ScriptHost.h for the language). The parser knows no
// objects: whether a NAME is defined is the host's concern.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/com/Variant.h"

namespace zenolith::tools {

// A literal (a number, a "text", true or false) or a NAME, as an argument or
// a value to put. Whole numbers within 32 bits are I4, other numbers R8.
struct Operand {
  enum Kind { Literal, Name } kind = Literal;
  com::Variant value;  // for Literal
  std::string name;    // for Name
};

// NAME.Member or NAME.Member(ARG, ...)
struct Call {
  std::string object;
  std::string member;
  bool parens = false;
  std::vector<Operand> args;
};

struct Statement {
  enum class Kind {
    Empty,      // a blank or comment line
    Create,     // target = new progId
    Keep,       // target = call
    Copy,       // target = value
    Put,        // call.object.call.member = value (call has no parentheses)
    Print,      // print call
    PrintName,  // print target
    Invoke,     // call call
  } kind = Kind::Empty;
  std::string target;
  std::string progId;
  Call call;
  Operand value;
};

// A line that does not parse: the message, raw (it may quote the line).
struct ScriptError {
  std::string message;
};

// Parses one line (without its line feed). Names are [A-Za-z_][A-Za-z0-9_]*;
// the keywords print, call, new, true and false are no object names.
std::variant<Statement, ScriptError> ParseStatement(std::string_view line);

// The statement as a line that parses back to an equal statement (R8 numbers
// keep a decimal point or exponent; texts are escaped).
std::string FormatStatement(const Statement& statement);

}  // namespace zenolith::tools
