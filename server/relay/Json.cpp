#include "server/relay/Json.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "server/QueryText.h"

namespace rovana::server {

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Whole() {
    JsonValue value;
    if (!Value(value, 0)) return std::nullopt;
    SkipBlanks();
    if (at_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void SkipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' ||
                                  text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Take(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue& value, int depth) {
    if (depth > kMaxJsonDepth) return false;
    SkipBlanks();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') return Object(value, depth);
    if (c == '[') return Array(value, depth);
    if (c == '"') {
      value.type_ = JsonValue::Type::String;
      return String(value.text_);
    }
    if (Take("true")) {
      value.type_ = JsonValue::Type::Bool;
      value.flag_ = true;
      return true;
    }
    if (Take("false")) {
      value.type_ = JsonValue::Type::Bool;
      return true;
    }
    if (Take("null")) return true;
    return NumberValue(value);
  }

  bool Object(JsonValue& value, int depth) {
    value.type_ = JsonValue::Type::Object;
    ++at_;
    SkipBlanks();
    if (Take("}")) return true;
    for (;;) {
      SkipBlanks();
      std::string key;
      if (at_ >= text_.size() || text_[at_] != '"' || !String(key)) return false;
      SkipBlanks();
      if (!Take(":")) return false;
      JsonValue member;
      if (!Value(member, depth + 1)) return false;
      value.keys_.push_back(std::move(key));
      value.items_.push_back(std::move(member));
      SkipBlanks();
      if (Take("}")) return true;
      if (!Take(",")) return false;
    }
  }

  bool Array(JsonValue& value, int depth) {
    value.type_ = JsonValue::Type::Array;
    ++at_;
    SkipBlanks();
    if (Take("]")) return true;
    for (;;) {
      JsonValue item;
      if (!Value(item, depth + 1)) return false;
      value.items_.push_back(std::move(item));
      SkipBlanks();
      if (Take("]")) return true;
      if (!Take(",")) return false;
    }
  }

  bool Hex4(std::uint32_t& unit) {
    if (at_ + 4 > text_.size()) return false;
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      unit <<= 4;
      if (h >= '0' && h <= '9') unit |= static_cast<std::uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f') unit |= static_cast<std::uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') unit |= static_cast<std::uint32_t>(h - 'A' + 10);
      else return false;
    }
    return true;
  }

  static void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    for (;;) {
      if (at_ >= text_.size()) return false;
      const unsigned char c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') break;
      if (c < 0x20) return false;
      if (c != '\\') {
        out.push_back(static_cast<char>(c));
        ++at_;
        continue;
      }
      if (++at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          std::uint32_t unit = 0;
          if (!Hex4(unit)) return false;
          if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint32_t low = 0;
            if (!Take("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, unit);
          break;
        }
        default: return false;
      }
    }
    ++at_;  // the closing quote
    return ValidUtf8(out);
  }

  // Escaped control characters (\b, \u0001) are legal JSON, so only the
  // UTF-8 of the raw bytes is checked.
  static bool ValidUtf8(const std::string& text) {
    std::string stripped;
    stripped.reserve(text.size());
    for (char c : text) stripped.push_back(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
    return ValidText(stripped, stripped.size() + 1);
  }

  bool NumberValue(JsonValue& value) {
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    auto digits = [this] {
      const std::size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > from;
    };
    if (!digits()) return false;
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!digits()) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return false;
    }
    const std::string_view written = text_.substr(start, at_ - start);
    double number = 0;
    const auto [end, error] = std::from_chars(written.data(), written.data() + written.size(), number);
    if (error != std::errc() || end != written.data() + written.size() || !std::isfinite(number)) {
      return false;
    }
    value.type_ = JsonValue::Type::Number;
    value.number_ = number;
    value.text_ = std::string(written);
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

const JsonValue* JsonValue::Find(std::string_view key) const {
  if (type_ != Type::Object) return nullptr;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) return &items_[i];
  }
  return nullptr;
}

std::optional<double> JsonValue::Number() const {
  if (type_ == Type::Number) return number_;
  if (type_ != Type::String || text_.empty()) return std::nullopt;
  double number = 0;
  const auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), number);
  if (error != std::errc() || end != text_.data() + text_.size() || !std::isfinite(number)) {
    return std::nullopt;
  }
  return number;
}

std::optional<std::string> JsonValue::Text() const {
  if (type_ == Type::String || type_ == Type::Number) return text_;
  return std::nullopt;
}

std::string JsonValue::TextOf(std::string_view key) const {
  const JsonValue* member = Find(key);
  if (!member) return {};
  return member->Text().value_or("");
}

std::optional<double> JsonValue::NumberOf(std::string_view key) const {
  const JsonValue* member = Find(key);
  return member ? member->Number() : std::nullopt;
}

std::optional<JsonValue> ParseJson(std::string_view text) { return JsonParser(text).Whole(); }

}  // namespace rovana::server
