#include "tools/zenolith/ScriptHost.h"

#include <cctype>
#include <charconv>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"

namespace zenolith::tools {
namespace {

enum class TokenKind { Name, Number, Text, Symbol };

struct Token {
  TokenKind kind;
  std::string text;  // the name, the number as written, the unescaped text, or the symbol
};

struct ParseError {
  std::string message;
};

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Splits a line into tokens; a '#' outside a text ends the line.
std::optional<ParseError> Tokenize(std::string_view line, std::vector<Token>* tokens) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (IsNameStart(c)) {
      std::size_t j = i;
      while (j < line.size() && IsNameChar(line[j])) ++j;
      tokens->push_back({TokenKind::Name, std::string(line.substr(i, j - i))});
      i = j;
    } else if (std::isdigit(static_cast<unsigned char>(c)) || ((c == '-' || c == '+' || c == '.') && i + 1 < line.size() &&
                                                               (std::isdigit(static_cast<unsigned char>(line[i + 1])) || line[i + 1] == '.'))) {
      std::size_t j = i + 1;
      while (j < line.size() && (std::isalnum(static_cast<unsigned char>(line[j])) || line[j] == '.' ||
                                 ((line[j] == '-' || line[j] == '+') && (line[j - 1] == 'e' || line[j - 1] == 'E'))))
        ++j;
      tokens->push_back({TokenKind::Number, std::string(line.substr(i, j - i))});
      i = j;
    } else if (c == '"') {
      std::string text;
      std::size_t j = i + 1;
      bool closed = false;
      while (j < line.size()) {
        if (line[j] == '\\' && j + 1 < line.size() && (line[j + 1] == '"' || line[j + 1] == '\\')) {
          text += line[j + 1];
          j += 2;
        } else if (line[j] == '"') {
          closed = true;
          ++j;
          break;
        } else {
          text += line[j++];
        }
      }
      if (!closed) return ParseError{"unterminated text"};
      tokens->push_back({TokenKind::Text, std::move(text)});
      i = j;
    } else if (c == '=' || c == '.' || c == '(' || c == ')' || c == ',') {
      tokens->push_back({TokenKind::Symbol, std::string(1, c)});
      ++i;
    } else {
      return ParseError{std::string("unexpected character '") + c + "'"};
    }
  }
  return std::nullopt;
}

bool IsKeyword(std::string_view name) {
  return name == "print" || name == "call" || name == "new" || name == "true" || name == "false";
}

// A literal or a name, as an argument or a value to put.
struct Operand {
  enum Kind { Literal, Name } kind = Literal;
  com::Variant value;  // for Literal
  std::string name;    // for Name
};

struct Call {
  std::string object;
  std::string member;
  bool parens = false;
  std::vector<Operand> args;
};

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

  bool AtEnd() const { return pos_ >= tokens_.size(); }
  bool IsSymbol(std::size_t at, char c) const {
    return at < tokens_.size() && tokens_[at].kind == TokenKind::Symbol && tokens_[at].text[0] == c;
  }
  bool IsName(std::size_t at) const { return at < tokens_.size() && tokens_[at].kind == TokenKind::Name; }
  std::size_t pos() const { return pos_; }

  std::optional<ParseError> ExpectEnd() const {
    if (AtEnd()) return std::nullopt;
    return ParseError{"unexpected '" + tokens_[pos_].text + "'"};
  }

  std::optional<ParseError> ParseOperand(Operand* operand) {
    if (AtEnd()) return ParseError{"a value is missing"};
    const Token& t = tokens_[pos_++];
    switch (t.kind) {
      case TokenKind::Text:
        operand->value = com::Variant::Bstr(t.text);
        return std::nullopt;
      case TokenKind::Number:
        return ParseNumber(t.text, &operand->value);
      case TokenKind::Name:
        if (t.text == "true" || t.text == "false") {
          operand->value = com::Variant::Bool(t.text == "true");
          return std::nullopt;
        }
        if (IsKeyword(t.text)) return ParseError{"'" + t.text + "' cannot be used as a value"};
        operand->kind = Operand::Name;
        operand->name = t.text;
        return std::nullopt;
      case TokenKind::Symbol:
        break;
    }
    return ParseError{"a value is expected before '" + t.text + "'"};
  }

  // NAME.Member or NAME.Member(ARG, ...)
  std::optional<ParseError> ParseCall(Call* call) {
    if (!IsName(pos_) || IsKeyword(tokens_[pos_].text)) return ParseError{"an object name is expected"};
    call->object = tokens_[pos_++].text;
    if (!IsSymbol(pos_, '.')) return ParseError{"'.' is expected after '" + call->object + "'"};
    ++pos_;
    if (!IsName(pos_)) return ParseError{"a member name is expected after '.'"};
    call->member = tokens_[pos_++].text;
    if (!IsSymbol(pos_, '(')) return std::nullopt;
    ++pos_;
    call->parens = true;
    if (IsSymbol(pos_, ')')) {
      ++pos_;
      return std::nullopt;
    }
    while (true) {
      Operand arg;
      if (auto e = ParseOperand(&arg)) return e;
      call->args.push_back(std::move(arg));
      if (IsSymbol(pos_, ')')) {
        ++pos_;
        return std::nullopt;
      }
      if (!IsSymbol(pos_, ',')) return ParseError{"',' or ')' is expected"};
      ++pos_;
    }
  }

  void Skip(std::size_t n) { pos_ += n; }

 private:
  static std::optional<ParseError> ParseNumber(const std::string& text, com::Variant* value) {
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    const char* last = text.data() + text.size();
    if (text.find_first_of(".eE") == std::string::npos) {
      long long n = 0;
      auto [end, ec] = std::from_chars(first, last, n);
      if (ec == std::errc() && end == last && n >= std::numeric_limits<std::int32_t>::min() &&
          n <= std::numeric_limits<std::int32_t>::max()) {
        *value = com::Variant::I4(static_cast<std::int32_t>(n));
        return std::nullopt;
      }
    }
    double d = 0;
    auto [end, ec] = std::from_chars(first, last, d);
    if (ec != std::errc() || end != last) return ParseError{"'" + text + "' is not a number"};
    *value = com::Variant::R8(d);
    return std::nullopt;
  }

  const std::vector<Token>& tokens_;
  std::size_t pos_ = 0;
};

std::string FailureText(com::HRESULT hr) {
  std::string description;
  if (auto info = com::GetErrorInfo()) description = info->description;
  if (description.empty()) description = com::DescribeStatus(hr);
  if (description.empty()) description = "the call failed";
  return "error " + com::FormatStatus(hr) + ": " + description;
}

}  // namespace

std::string FormatValue(const com::Variant& value) {
  const com::Variant& v = value.Deref();
  switch (v.type()) {
    case com::VarType::Empty:
      return "<empty>";
    case com::VarType::I2:
      return std::to_string(v.AsI2());
    case com::VarType::I4:
      return std::to_string(v.AsI4());
    case com::VarType::R8:
      return com::FormatNumber(v.AsR8());
    case com::VarType::Bool:
      return v.AsBool() ? "true" : "false";
    case com::VarType::Bstr:
      return v.AsBstr();
    case com::VarType::Dispatch:
      return v.AsDispatch() ? "<object>" : "<nothing>";
    default: {
      std::string text;
      if (com::Succeeded(v.ToText(&text))) return text;
      return "<" + std::string(com::VarTypeName(v.type())) + ">";
    }
  }
}

ScriptHost::ScriptHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

int ScriptHost::Run(std::istream& script) {
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    if (!RunLine(line, number)) return 2;
  }
  return 0;
}

bool ScriptHost::RunLine(std::string_view line, int number) {
  auto stop = [&](const std::string& message) {
    err_ << "line " << number << ": " << message << "\n";
    return false;
  };

  std::vector<Token> tokens;
  if (auto e = Tokenize(line, &tokens)) return stop(e->message);
  if (tokens.empty()) return true;
  Parser parser(tokens);

  // Resolves an operand to a value; null when it names nothing.
  auto valueOf = [&](const Operand& operand) -> const com::Variant* {
    if (operand.kind == Operand::Literal) return &operand.value;
    auto it = names_.find(operand.name);
    return it == names_.end() ? nullptr : &it->second;
  };

  // Runs a call; on success *result and the out slots are filled.
  auto run = [&](const Call& call, com::Variant* result, std::string* outs) -> std::optional<bool> {
    auto it = names_.find(call.object);
    if (it == names_.end()) return stop("'" + call.object + "' is not defined");
    com::IDispatch* object = it->second.Deref().type() == com::VarType::Dispatch ? it->second.Deref().AsDispatch() : nullptr;
    if (!object) return stop("'" + call.object + "' is not an object");
    com::ComPtr<com::IDispatch> keep(object);  // the call may overwrite the name

    const std::string_view names[] = {call.member};
    com::DispId id = com::kDispIdUnknown;
    com::ClearErrorInfo();
    if (com::HRESULT hr = object->GetIDsOfNames(names, &id); com::Failed(hr)) {
      out_ << FailureText(hr) << "\n";
      return true;
    }
    const std::uint16_t flags = com::kInvokeMethod | com::kInvokePropertyGet;
    std::shared_ptr<const com::InterfaceInfo> info;
    object->GetTypeInfo(&info);
    const com::MemberInfo* member = info ? info->Find(id, flags) : nullptr;

    std::vector<com::Variant> slots(call.args.size());
    std::vector<com::Variant> args(call.args.size());
    for (std::size_t i = 0; i < call.args.size(); ++i) {
      const bool out = member && i < member->params.size() && member->params[i].out;
      if (out) {
        args[i] = com::Variant::Ref(&slots[i]);
        continue;
      }
      const com::Variant* value = valueOf(call.args[i]);
      if (!value) return stop("'" + call.args[i].name + "' is not defined");
      args[i] = value->Deref();
    }
    if (com::HRESULT hr = object->Invoke(id, flags, args, result); com::Failed(hr)) {
      out_ << FailureText(hr) << "\n";
      return true;
    }
    for (std::size_t i = 0; i < call.args.size(); ++i) {
      if (!args[i].IsByRef()) continue;
      *outs += " " + FormatValue(slots[i]);
      if (call.args[i].kind == Operand::Name) names_[call.args[i].name] = slots[i];
    }
    return std::nullopt;
  };

  const Token& first = tokens[0];
  // print EXPR / call EXPR / print NAME
  if (first.kind == TokenKind::Name && (first.text == "print" || first.text == "call")) {
    parser.Skip(1);
    const bool print = first.text == "print";
    if (print && parser.IsName(1) && !parser.IsSymbol(2, '.') && tokens.size() == 2) {
      auto it = names_.find(tokens[1].text);
      if (it == names_.end()) return stop("'" + tokens[1].text + "' is not defined");
      out_ << FormatValue(it->second) << "\n";
      return true;
    }
    Call call;
    if (auto e = parser.ParseCall(&call)) return stop(e->message);
    if (auto e = parser.ExpectEnd()) return stop(e->message);
    com::Variant result;
    std::string outs;
    if (auto done = run(call, &result, &outs)) return *done;
    if (print) out_ << FormatValue(result) << outs << "\n";
    return true;
  }

  if (first.kind != TokenKind::Name || IsKeyword(first.text))
    return stop("a statement starts with a name, 'print' or 'call'");

  // NAME = new PROGID / NAME = EXPR / NAME = VALUE
  if (parser.IsSymbol(1, '=')) {
    if (parser.IsName(2) && tokens[2].text == "new") {
      // The ProgID is the raw rest of the line: it may hold points and braces.
      std::string_view rest = line.substr(line.find('=') + 1);
      rest = rest.substr(rest.find("new") + 3);
      const auto hash = rest.find('#');
      if (hash != std::string_view::npos) rest = rest.substr(0, hash);
      while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
      while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.back()))) rest.remove_suffix(1);
      if (rest.empty()) return stop("a ProgID is expected after 'new'");
      if (rest.find_first_of(" \t") != std::string_view::npos) return stop("a ProgID has no blanks");
      com::ComPtr<com::IDispatch> object;
      com::ClearErrorInfo();
      if (com::HRESULT hr = com::CreateObject(rest, &object); com::Failed(hr)) {
        out_ << FailureText(hr) << "\n";
        return true;
      }
      names_[first.text] = com::Variant::Dispatch(object.get());
      return true;
    }
    parser.Skip(2);
    if (parser.IsName(2) && parser.IsSymbol(3, '.')) {
      Call call;
      if (auto e = parser.ParseCall(&call)) return stop(e->message);
      if (auto e = parser.ExpectEnd()) return stop(e->message);
      com::Variant result;
      std::string outs;
      if (auto done = run(call, &result, &outs)) return *done;
      names_[first.text] = std::move(result);
      return true;
    }
    Operand operand;
    if (auto e = parser.ParseOperand(&operand)) return stop(e->message);
    if (auto e = parser.ExpectEnd()) return stop(e->message);
    const com::Variant* value = valueOf(operand);
    if (!value) return stop("'" + operand.name + "' is not defined");
    com::Variant copy = *value;
    names_[first.text] = std::move(copy);
    return true;
  }

  // NAME.Member = VALUE
  if (parser.IsSymbol(1, '.') && parser.IsName(2) && parser.IsSymbol(3, '=')) {
    parser.Skip(4);
    Operand operand;
    if (auto e = parser.ParseOperand(&operand)) return stop(e->message);
    if (auto e = parser.ExpectEnd()) return stop(e->message);
    auto it = names_.find(first.text);
    if (it == names_.end()) return stop("'" + first.text + "' is not defined");
    com::IDispatch* object = it->second.Deref().type() == com::VarType::Dispatch ? it->second.Deref().AsDispatch() : nullptr;
    if (!object) return stop("'" + first.text + "' is not an object");
    const com::Variant* value = valueOf(operand);
    if (!value) return stop("'" + operand.name + "' is not defined");
    com::ComPtr<com::IDispatch> keep(object);
    com::Variant arg = value->Deref();

    const std::string_view names[] = {tokens[2].text};
    com::DispId id = com::kDispIdUnknown;
    com::ClearErrorInfo();
    com::HRESULT hr = object->GetIDsOfNames(names, &id);
    if (com::Succeeded(hr)) {
      // An object is put by reference where the member takes one, as a
      // script's "Set" would.
      const bool isObject = arg.type() == com::VarType::Dispatch;
      hr = object->Invoke(id, isObject ? com::kInvokePropertyPutRef : com::kInvokePropertyPut, {&arg, 1}, nullptr);
      if (isObject && hr == com::DISP_E_MEMBERNOTFOUND) {
        com::ClearErrorInfo();
        hr = object->Invoke(id, com::kInvokePropertyPut, {&arg, 1}, nullptr);
      }
    }
    if (com::Failed(hr)) out_ << FailureText(hr) << "\n";
    return true;
  }

  return stop("expected 'NAME = new PROGID', 'NAME.Member = VALUE', 'print EXPR' or 'call EXPR'");
}

}  // namespace zenolith::tools
