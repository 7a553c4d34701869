// libFuzzer target: zenolith script lines, parsed and then run by the script
// host against no objects (the registry is an empty temporary one, so every
// "new" fails as a user's would without registration).
//
// Checks: a parsed statement written back by FormatStatement parses to an
// equal statement; names are names and never keywords where objects go; a
// run ends with status 0 or 2, and with 2 the error stream holds exactly one
// "line N: " message for a line that exists; everything on the error stream
// is UTF-8 without control bytes but its line feeds.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/FuzzCheck.h"
#include "platform/com/Runtime.h"
#include "tools/zenolith/ScriptHost.h"
#include "tools/zenolith/ScriptParser.h"

namespace {

using zenolith::tools::Call;
using zenolith::tools::Operand;
using zenolith::tools::Statement;

void Check(bool ok, const char* what) { fuzz::Check(ok, "script_fuzz", what); }

bool SameValue(const com::Variant& a, const com::Variant& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case com::VarType::I4: return a.AsI4() == b.AsI4();
    case com::VarType::R8: return a.AsR8() == b.AsR8() && std::signbit(a.AsR8()) == std::signbit(b.AsR8());
    case com::VarType::Bool: return a.AsBool() == b.AsBool();
    case com::VarType::Bstr: return a.AsBstr() == b.AsBstr();
    case com::VarType::Empty: return true;
    default: return false;
  }
}

bool SameOperand(const Operand& a, const Operand& b) {
  return a.kind == b.kind && (a.kind == Operand::Name ? a.name == b.name : SameValue(a.value, b.value));
}

bool SameCall(const Call& a, const Call& b) {
  if (a.object != b.object || a.member != b.member || a.parens != b.parens || a.args.size() != b.args.size()) return false;
  for (std::size_t i = 0; i < a.args.size(); ++i)
    if (!SameOperand(a.args[i], b.args[i])) return false;
  return true;
}

bool Same(const Statement& a, const Statement& b) {
  return a.kind == b.kind && a.target == b.target && a.progId == b.progId && SameCall(a.call, b.call) &&
         SameOperand(a.value, b.value);
}

bool IsName(const std::string& name) {
  if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

bool IsKeyword(const std::string& name) {
  return name == "print" || name == "call" || name == "new" || name == "true" || name == "false";
}

void CheckStatement(const Statement& s) {
  using Kind = Statement::Kind;
  const bool call = s.kind == Kind::Keep || s.kind == Kind::Print || s.kind == Kind::Invoke || s.kind == Kind::Put;
  if (call) {
    Check(IsName(s.call.object) && !IsKeyword(s.call.object), "an object is a name, not a keyword");
    Check(IsName(s.call.member), "a member is a name");
  }
  if (s.kind == Kind::Create || s.kind == Kind::Keep || s.kind == Kind::Copy)
    Check(IsName(s.target) && !IsKeyword(s.target), "a target is a name, not a keyword");
  if (s.kind == Kind::PrintName) Check(IsName(s.target), "print takes a name");
  if (s.kind == Kind::Create)
    Check(!s.progId.empty() && s.progId.find_first_of(" \t\r\n\v\f#") == std::string::npos, "a ProgID has no blanks");
  if (s.kind == Kind::Put) Check(!s.call.parens && s.call.args.empty(), "a put has no arguments");
  for (const Operand& o : s.call.args)
    if (o.kind == Operand::Name) Check(IsName(o.name) && !IsKeyword(o.name), "an argument name is no keyword");
}

void CheckPrintable(const std::string& text) {
  Check(fuzz::IsUtf8(text), "messages are UTF-8");
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    Check(c == '\n' || (c >= 0x20 && c != 0x7F), "messages hold no control byte");
    if (c == 0xC2 && i + 1 < text.size()) Check(static_cast<unsigned char>(text[i + 1]) >= 0xA0, "no C1 control");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // An empty registry of our own: no class is found, none is loaded.
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("script_fuzz-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  setenv("ZENOLITH_REGISTRY", (folder / "registry").c_str(), 1);
  com::CoInitializeEx();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  int lines = 0;
  std::istringstream split(script);
  for (std::string line; std::getline(split, line);) {
    ++lines;
    auto parsed = zenolith::tools::ParseStatement(line);
    if (auto* error = std::get_if<zenolith::tools::ScriptError>(&parsed)) {
      Check(!error->message.empty(), "an error has a message");
      continue;
    }
    const Statement& statement = std::get<Statement>(parsed);
    CheckStatement(statement);
    const std::string text = zenolith::tools::FormatStatement(statement);
    auto again = zenolith::tools::ParseStatement(text);
    Check(std::holds_alternative<Statement>(again), "a written statement parses");
    Check(Same(statement, std::get<Statement>(again)), "a written statement parses to itself");
  }

  std::ostringstream out, err;
  std::istringstream in(script);
  int status;
  {
    zenolith::tools::ScriptHost host(out, err);
    status = host.Run(in);
  }
  Check(status == 0 || status == 2, "a run ends with 0 or 2");
  const std::string messages = err.str();
  CheckPrintable(messages);
  if (status == 0) {
    Check(messages.empty(), "a run to the end stops no line");
  } else {
    Check(messages.rfind("line ", 0) == 0 && messages.back() == '\n' &&
              messages.find('\n') == messages.size() - 1,
          "a stopped run gives one 'line N: ' message");
    const long number = std::strtol(messages.c_str() + 5, nullptr, 10);
    Check(number >= 1 && number <= lines, "the message names a line of the script");
  }
  return 0;
}
