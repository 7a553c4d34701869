#include "tools/zenolith/ScriptParser.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace zenolith::tools {
namespace {

enum class TokenKind { Name, Number, Text, Symbol };

struct Token {
  TokenKind kind;
  std::string text;  // the name, the number as written, the unescaped text, or the symbol
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)); }

bool IsKeyword(std::string_view name) {
  return name == "print" || name == "call" || name == "new" || name == "true" || name == "false";
}

// Splits a line into tokens; a '#' outside a text ends the line.
std::optional<ScriptError> Tokenize(std::string_view line, std::vector<Token>* tokens) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == '#') {
      break;
    } else if (IsNameStart(c)) {
      std::size_t j = i;
      while (j < line.size() && IsNameChar(line[j])) ++j;
      tokens->push_back({TokenKind::Name, std::string(line.substr(i, j - i))});
      i = j;
    } else if (IsDigit(c) || ((c == '-' || c == '+' || c == '.') && i + 1 < line.size() &&
                              (IsDigit(line[i + 1]) || line[i + 1] == '.'))) {
      std::size_t j = i + 1;
      while (j < line.size() && (IsNameChar(line[j]) || line[j] == '.' ||
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
      if (!closed) return ScriptError{"unterminated text"};
      tokens->push_back({TokenKind::Text, std::move(text)});
      i = j;
    } else if (c == '=' || c == '.' || c == '(' || c == ')' || c == ',') {
      tokens->push_back({TokenKind::Symbol, std::string(1, c)});
      ++i;
    } else {
      // The whole character when it is UTF-8, so a message can show it.
      const auto lead = static_cast<unsigned char>(c);
      std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      for (std::size_t k = 1; k < n; ++k)
        if (i + k >= line.size() || (static_cast<unsigned char>(line[i + k]) & 0xC0) != 0x80) n = 1;
      return ScriptError{"unexpected character '" + std::string(line.substr(i, n)) + "'"};
    }
  }
  return std::nullopt;
}

std::optional<ScriptError> ParseNumber(const std::string& text, com::Variant* value) {
  // The tokenizer lets a number start with one sign; from_chars takes only '-'.
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
  auto [end, ec] = std::from_chars(first, last, d, std::chars_format::general);
  if (ec != std::errc() || end != last) return ScriptError{"'" + text + "' is not a number"};
  *value = com::Variant::R8(d);
  return std::nullopt;
}

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

  bool IsSymbol(std::size_t at, char c) const {
    return at < tokens_.size() && tokens_[at].kind == TokenKind::Symbol && tokens_[at].text[0] == c;
  }
  bool IsName(std::size_t at) const { return at < tokens_.size() && tokens_[at].kind == TokenKind::Name; }
  void Skip(std::size_t n) { pos_ += n; }

  std::optional<ScriptError> ExpectEnd() const {
    if (pos_ >= tokens_.size()) return std::nullopt;
    return ScriptError{"unexpected '" + tokens_[pos_].text + "'"};
  }

  std::optional<ScriptError> ParseOperand(Operand* operand) {
    if (pos_ >= tokens_.size()) return ScriptError{"a value is missing"};
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
        if (IsKeyword(t.text)) return ScriptError{"'" + t.text + "' cannot be used as a value"};
        operand->kind = Operand::Name;
        operand->name = t.text;
        return std::nullopt;
      case TokenKind::Symbol:
        break;
    }
    return ScriptError{"a value is expected before '" + t.text + "'"};
  }

  // NAME.Member or NAME.Member(ARG, ...)
  std::optional<ScriptError> ParseCall(Call* call) {
    if (!IsName(pos_) || IsKeyword(tokens_[pos_].text)) return ScriptError{"an object name is expected"};
    call->object = tokens_[pos_++].text;
    if (!IsSymbol(pos_, '.')) return ScriptError{"'.' is expected after '" + call->object + "'"};
    ++pos_;
    if (!IsName(pos_)) return ScriptError{"a member name is expected after '.'"};
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
      if (!IsSymbol(pos_, ',')) return ScriptError{"',' or ')' is expected"};
      ++pos_;
    }
  }

 private:
  const std::vector<Token>& tokens_;
  std::size_t pos_ = 0;
};

// NAME = new PROGID, read from the raw line before tokenizing: the ProgID
// may hold points, braces and hyphens ("{3A705FDC-...}"). Nothing when the
// line has another form.
std::optional<std::variant<Statement, ScriptError>> ParseCreate(std::string_view line) {
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < line.size() && IsBlank(line[i])) ++i;
  };
  skipBlanks();
  if (i >= line.size() || !IsNameStart(line[i])) return std::nullopt;
  const std::size_t nameStart = i;
  while (i < line.size() && IsNameChar(line[i])) ++i;
  const std::string_view name = line.substr(nameStart, i - nameStart);
  if (IsKeyword(name)) return std::nullopt;
  skipBlanks();
  if (i >= line.size() || line[i] != '=') return std::nullopt;
  ++i;
  skipBlanks();
  if (line.substr(i, 3) != "new" || (i + 3 < line.size() && IsNameChar(line[i + 3]))) return std::nullopt;
  std::string_view rest = line.substr(i + 3);
  rest = rest.substr(0, rest.find('#'));
  auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!rest.empty() && space(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && space(rest.back())) rest.remove_suffix(1);
  if (rest.empty()) return ScriptError{"a ProgID is expected after 'new'"};
  for (char c : rest)
    if (space(c)) return ScriptError{"a ProgID has no blanks"};
  Statement s;
  s.kind = Statement::Kind::Create;
  s.target = std::string(name);
  s.progId = std::string(rest);
  return s;
}

std::string FormatOperand(const Operand& operand) {
  if (operand.kind == Operand::Name) return operand.name;
  const com::Variant& v = operand.value;
  switch (v.type()) {
    case com::VarType::I4:
      return std::to_string(v.AsI4());
    case com::VarType::R8: {
      const double d = v.AsR8();
      if (d == 0) return std::signbit(d) ? "-0.0" : "0.0";
      std::string text = com::FormatNumber(d);
      if (text.find_first_of(".eE") == std::string::npos) text += ".0";
      return text;
    }
    case com::VarType::Bool:
      return v.AsBool() ? "true" : "false";
    default: {
      std::string text = "\"";
      for (char c : v.AsBstr()) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
      }
      return text + "\"";
    }
  }
}

std::string FormatCall(const Call& call) {
  std::string text = call.object + "." + call.member;
  if (!call.parens) return text;
  text += "(";
  for (std::size_t i = 0; i < call.args.size(); ++i) text += (i ? ", " : "") + FormatOperand(call.args[i]);
  return text + ")";
}

}  // namespace

std::variant<Statement, ScriptError> ParseStatement(std::string_view line) {
  if (auto create = ParseCreate(line)) return std::move(*create);
  std::vector<Token> tokens;
  if (auto e = Tokenize(line, &tokens)) return *e;
  Statement s;
  if (tokens.empty()) return s;
  Parser parser(tokens);
  const Token& first = tokens[0];

  // print EXPR / call EXPR / print NAME
  if (first.kind == TokenKind::Name && (first.text == "print" || first.text == "call")) {
    const bool print = first.text == "print";
    if (print && tokens.size() == 2 && parser.IsName(1)) {
      s.kind = Statement::Kind::PrintName;
      s.target = tokens[1].text;
      return s;
    }
    parser.Skip(1);
    if (auto e = parser.ParseCall(&s.call)) return *e;
    if (auto e = parser.ExpectEnd()) return *e;
    s.kind = print ? Statement::Kind::Print : Statement::Kind::Invoke;
    return s;
  }

  if (first.kind != TokenKind::Name || IsKeyword(first.text))
    return ScriptError{"a statement starts with a name, 'print' or 'call'"};

  // NAME = EXPR / NAME = VALUE
  if (parser.IsSymbol(1, '=')) {
    s.target = first.text;
    parser.Skip(2);
    if (parser.IsName(2) && parser.IsSymbol(3, '.')) {
      if (auto e = parser.ParseCall(&s.call)) return *e;
      s.kind = Statement::Kind::Keep;
    } else {
      if (auto e = parser.ParseOperand(&s.value)) return *e;
      s.kind = Statement::Kind::Copy;
    }
    if (auto e = parser.ExpectEnd()) return *e;
    return s;
  }

  // NAME.Member = VALUE
  if (parser.IsSymbol(1, '.') && parser.IsName(2) && parser.IsSymbol(3, '=')) {
    parser.Skip(4);
    if (auto e = parser.ParseOperand(&s.value)) return *e;
    if (auto e = parser.ExpectEnd()) return *e;
    s.kind = Statement::Kind::Put;
    s.call.object = first.text;
    s.call.member = tokens[2].text;
    return s;
  }

  return ScriptError{"expected 'NAME = new PROGID', 'NAME.Member = VALUE', 'print EXPR' or 'call EXPR'"};
}

std::string FormatStatement(const Statement& s) {
  switch (s.kind) {
    case Statement::Kind::Empty: return "";
    case Statement::Kind::Create: return s.target + " = new " + s.progId;
    case Statement::Kind::Keep: return s.target + " = " + FormatCall(s.call);
    case Statement::Kind::Copy: return s.target + " = " + FormatOperand(s.value);
    case Statement::Kind::Put: return s.call.object + "." + s.call.member + " = " + FormatOperand(s.value);
    case Statement::Kind::Print: return "print " + FormatCall(s.call);
    case Statement::Kind::PrintName: return "print " + s.target;
    case Statement::Kind::Invoke: return "call " + FormatCall(s.call);
  }
  return "";
}

}  // namespace zenolith::tools
