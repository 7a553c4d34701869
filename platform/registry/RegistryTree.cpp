#include "platform/registry/RegistryTree.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <utility>

#include "platform/text/SafeText.h"

namespace registry::detail {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr char kHex[] = "0123456789abcdef";

void AppendHexByte(std::string* out, unsigned char c) {
  out->push_back(kHex[c >> 4]);
  out->push_back(kHex[c & 0x0f]);
}

// Shows a piece of a bad line in an error message without flooding the log
// or printing raw control bytes or invalid UTF-8 (both become \xHH).
std::string Excerpt(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out = platform::SafeText(text.substr(0, kMax));
  if (text.size() > kMax) out += "...";
  return out;
}

void AppendQuoted(std::string* out, std::string_view text) {
  out->push_back('"');
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': *out += "\\\\"; break;
      case '"': *out += "\\\""; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\t': *out += "\\t"; break;
      default:
        if (IsControl(c)) {
          *out += "\\x";
          AppendHexByte(out, c);
        } else {
          out->push_back(ch);
        }
    }
  }
  out->push_back('"');
}

// Reads a quoted string starting at line[*pos] == '"'; leaves *pos after the
// closing quote.
bool ReadQuoted(std::string_view line, std::size_t* pos, std::string* out, std::string* why) {
  std::size_t i = *pos + 1;
  out->clear();
  while (i < line.size()) {
    const char c = line[i++];
    if (c == '"') {
      *pos = i;
      return true;
    }
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (i >= line.size()) break;
    const char e = line[i++];
    switch (e) {
      case '\\': out->push_back('\\'); break;
      case '"': out->push_back('"'); break;
      case 'n': out->push_back('\n'); break;
      case 'r': out->push_back('\r'); break;
      case 't': out->push_back('\t'); break;
      case 'x': {
        const int hi = i < line.size() ? HexDigit(line[i]) : -1;
        const int lo = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
        if (hi < 0 || lo < 0) {
          *why = "\\x must be followed by two hex digits";
          return false;
        }
        out->push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default:
        *why = "unknown escape \\" + Excerpt(std::string_view(&e, 1));
        return false;
    }
  }
  *why = "unterminated string";
  return false;
}

void SkipBlanks(std::string_view line, std::size_t* pos) {
  while (*pos < line.size() && (line[*pos] == ' ' || line[*pos] == '\t')) ++*pos;
}

bool ParseValue(std::string_view text, Value* out, std::string* why) {
  if (!text.empty() && text.front() == '"') {
    std::string s;
    std::size_t pos = 0;
    if (!ReadQuoted(text, &pos, &s, why)) return false;
    if (pos != text.size()) {
      *why = "unexpected text after the string: " + Excerpt(text.substr(pos));
      return false;
    }
    *out = std::move(s);
    return true;
  }
  if (text.substr(0, 4) == "int:") {
    const std::string_view digits = text.substr(4);
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
      *why = "not a 64-bit decimal integer: " + Excerpt(digits);
      return false;
    }
    *out = n;
    return true;
  }
  if (text.substr(0, 4) == "hex:") {
    const std::string_view digits = text.substr(4);
    if (digits.size() % 2 != 0) {
      *why = "binary value has an odd number of hex digits";
      return false;
    }
    Binary bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
      const int hi = HexDigit(digits[i]), lo = HexDigit(digits[i + 1]);
      if (hi < 0 || lo < 0) {
        *why = "not a hex digit in binary value: " + Excerpt(digits.substr(i, 2));
        return false;
      }
      bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    *out = std::move(bytes);
    return true;
  }
  *why = "expected \"string\", int: or hex: after '=' but found: " + Excerpt(text);
  return false;
}

// The parser's state between lines.
struct ParseState {
  Key* root = nullptr;
  Key* current = nullptr;  // the key of the last [section]
  std::string currentPath;
  std::size_t entries = 0;
  bool sawHeader = false;
};

bool ParseSection(std::string_view path, ParseState* st, std::string* why) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, &names, why)) {
    *why = "bad key path [" + Excerpt(path) + "]: " + *why;
    return false;
  }
  Key* key = st->root;
  for (const std::string_view name : names) {
    bool created = false;
    key = key->AddChild(name, &created);
    if (created && ++st->entries > kMaxEntries) {
      *why = "more than " + std::to_string(kMaxEntries) + " keys and values";
      return false;
    }
  }
  st->current = key;
  st->currentPath = std::string(path);
  return true;
}

bool ParseValueLine(std::string_view line, ParseState* st, std::string* why) {
  if (!st->current) {
    *why = "value outside any [key] section";
    return false;
  }
  std::string name;
  std::size_t pos = 0;
  if (line.front() == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, &pos, &name, why)) {
    return false;
  }
  if (!ValidValueName(name)) {
    *why = "value name holds a NUL byte";
    return false;
  }
  SkipBlanks(line, &pos);
  if (pos >= line.size() || line[pos] != '=') {
    *why = "expected '=' after the value name";
    return false;
  }
  ++pos;
  SkipBlanks(line, &pos);
  Value value;
  if (!ParseValue(line.substr(pos), &value, why)) return false;
  if (st->current->FindValue(name)) {
    // Silently keeping one of two definitions would lose data the user wrote.
    *why = "value " + (name.empty() ? std::string("@") : "\"" + Excerpt(name) + "\"") + " appears twice in [" +
           Excerpt(st->currentPath) + "]";
    return false;
  }
  if (++st->entries > kMaxEntries) {
    *why = "more than " + std::to_string(kMaxEntries) + " keys and values";
    return false;
  }
  st->current->SetValue(name, std::move(value));
  return true;
}

bool ParseLine(std::string_view line, ParseState* st, std::string* why) {
  if (!st->sawHeader) {
    if (line.substr(0, kHeaderPrefix.size()) != kHeaderPrefix) {
      *why = "not a registry file: the first line must be \"" + std::string(kHeaderPrefix) +
             std::string(kFormatVersion) + "\"";
      return false;
    }
    const std::string_view version = line.substr(kHeaderPrefix.size());
    if (version != kFormatVersion) {
      *why = "unsupported format version \"" + Excerpt(version) + "\" (this program reads version " +
             std::string(kFormatVersion) + ")";
      return false;
    }
    st->sawHeader = true;
    return true;
  }
  if (line.front() == '[') {
    if (line.back() != ']' || line.size() < 2) {
      *why = "a [key] line must end with ']'";
      return false;
    }
    return ParseSection(line.substr(1, line.size() - 2), st, why);
  }
  if (line.front() == '@' || line.front() == '"') return ParseValueLine(line, st, why);
  *why = "unrecognised line: " + Excerpt(line);
  return false;
}

void WriteKey(const Key& key, std::string* path, std::string* out, std::size_t* entries) {
  const std::size_t pathLength = path->size();
  if (!path->empty()) path->push_back('\\');
  *path += key.name();
  *out += "\n[";
  *out += *path;
  *out += "]\n";
  for (const ValueEntry& v : key.values()) {
    if (v.name.empty())
      out->push_back('@');
    else
      AppendQuoted(out, v.name);
    out->push_back('=');
    if (const auto* s = std::get_if<std::string>(&v.value)) {
      AppendQuoted(out, *s);
    } else if (const auto* n = std::get_if<std::int64_t>(&v.value)) {
      *out += "int:";
      *out += std::to_string(*n);
    } else {
      *out += "hex:";
      const Binary& bytes = std::get<Binary>(v.value);
      std::size_t at = out->size();
      out->resize(at + 2 * bytes.size());
      for (const std::uint8_t b : bytes) {
        (*out)[at++] = kHex[b >> 4];
        (*out)[at++] = kHex[b & 0x0f];
      }
    }
    out->push_back('\n');
  }
  *entries += 1 + key.values().size();
  // Stop early rather than build a huge string only to refuse it.
  if (out->size() <= kMaxFileBytes && *entries <= kMaxEntries)
    for (const auto& child : key.children()) WriteKey(*child, path, out, entries);
  path->resize(pathLength);
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool SplitKeyPath(std::string_view path, std::vector<std::string_view>* names, std::string* why) {
  names->clear();
  if (path.empty()) {
    *why = "empty key path";
    return false;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    const std::string_view name = path.substr(start, end - start);
    if (name.empty()) {
      *why = "empty name in key path (leading, trailing or doubled backslash)";
      return false;
    }
    if (std::any_of(name.begin(), name.end(), [](char c) { return IsControl(static_cast<unsigned char>(c)); })) {
      *why = "control character in key path";
      return false;
    }
    if (names->size() == kMaxDepth) {
      *why = "key path deeper than " + std::to_string(kMaxDepth) + " names";
      return false;
    }
    names->push_back(name);
    if (end == path.size()) return true;
    start = end + 1;
  }
}

bool ValidValueName(std::string_view name) { return name.find('\0') == std::string_view::npos; }

Key* Key::Child(std::string_view name) const {
  const auto it = childIndex_.find(FoldCase(name));
  return it == childIndex_.end() ? nullptr : it->second;
}

Key* Key::AddChild(std::string_view name, bool* created) {
  std::string folded = FoldCase(name);
  if (const auto it = childIndex_.find(folded); it != childIndex_.end()) {
    *created = false;
    return it->second;
  }
  children_.push_back(std::make_unique<Key>(std::string(name)));
  Key* child = children_.back().get();
  childIndex_.emplace(std::move(folded), child);
  *created = true;
  return child;
}

bool Key::RemoveChild(std::string_view name) {
  const auto it = childIndex_.find(FoldCase(name));
  if (it == childIndex_.end()) return false;
  const Key* child = it->second;
  childIndex_.erase(it);
  children_.erase(std::find_if(children_.begin(), children_.end(),
                               [child](const std::unique_ptr<Key>& k) { return k.get() == child; }));
  return true;
}

const Value* Key::FindValue(std::string_view name) const {
  const auto it = valueIndex_.find(FoldCase(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second].value;
}

bool Key::SetValue(std::string_view name, Value value) {
  std::string folded = FoldCase(name);
  if (const auto it = valueIndex_.find(folded); it != valueIndex_.end()) {
    values_[it->second].value = std::move(value);
    return false;
  }
  values_.push_back(ValueEntry{std::string(name), std::move(value)});
  valueIndex_.emplace(std::move(folded), values_.size() - 1);
  return true;
}

bool Key::RemoveValue(std::string_view name) {
  const auto it = valueIndex_.find(FoldCase(name));
  if (it == valueIndex_.end()) return false;
  const std::size_t index = it->second;
  valueIndex_.erase(it);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(index));
  for (auto& [folded, i] : valueIndex_)
    if (i > index) --i;
  return true;
}

const Key* FindKey(const Key& root, const std::vector<std::string_view>& names) {
  const Key* key = &root;
  for (const std::string_view name : names) {
    key = key->Child(name);
    if (!key) return nullptr;
  }
  return key;
}

Key* FindKey(Key& root, const std::vector<std::string_view>& names) {
  return const_cast<Key*>(FindKey(static_cast<const Key&>(root), names));
}

bool Parse(std::string_view text, Key* root, std::size_t* errorLine, std::string* why) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  ParseState st;
  st.root = root;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    // Trim surrounding blanks (and a CR from an editor that writes CRLF); a
    // line's meaningful text always begins with [, @ or " and ends with ] or
    // a value, so nothing significant is lost.
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (!ParseLine(line, &st, why)) {
      *errorLine = lineNumber;
      return false;
    }
  }
  // A file of blank lines only (e.g. one the user emptied) is an empty registry.
  return true;
}

bool Serialize(const Key& root, std::string* out, std::string* why) {
  out->clear();
  *out += kHeaderPrefix;
  *out += kFormatVersion;
  out->push_back('\n');
  std::string path;
  std::size_t entries = 0;
  for (const auto& child : root.children()) {
    if (out->size() > kMaxFileBytes || entries > kMaxEntries) break;
    WriteKey(*child, &path, out, &entries);
  }
  if (out->size() > kMaxFileBytes) {
    *why = "the registry would be larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
    return false;
  }
  if (entries > kMaxEntries) {
    *why = "the registry would hold more than " + std::to_string(kMaxEntries) + " keys and values";
    return false;
  }
  return true;
}

}  // namespace registry::detail
