// A small JSON reader for upstream replies, which are untrusted: the whole
// text is parsed into a tree or refused, never partly. Bounded by the input
// (callers cap replies at 1 MiB) and by nesting depth. Numbers are read in
// the C locale; strings are checked UTF-8 with \u escapes (surrogate pairs
// included) decoded.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rovana::server {

class JsonValue {
 public:
  enum class Type { Null, Bool, Number, String, Array, Object };

  Type type() const { return type_; }
  bool IsObject() const { return type_ == Type::Object; }
  bool IsArray() const { return type_ == Type::Array; }
  bool IsString() const { return type_ == Type::String; }
  bool IsNumber() const { return type_ == Type::Number; }

  // The member `key` of an object; null for a missing key or a non-object.
  const JsonValue* Find(std::string_view key) const;
  // The elements of an array, the values of an object (empty otherwise).
  const std::vector<JsonValue>& Items() const { return items_; }
  const std::vector<std::string>& Keys() const { return keys_; }

  // The number, or a string that reads wholly as one ("53.5"): Nominatim
  // writes coordinates as strings.
  std::optional<double> Number() const;
  // The string; a number as written ("12"); nothing for other types.
  std::optional<std::string> Text() const;
  // Convenience for a member: its text, or "" when absent or not text.
  std::string TextOf(std::string_view key) const;
  std::optional<double> NumberOf(std::string_view key) const;

 private:
  friend class JsonParser;
  Type type_ = Type::Null;
  bool flag_ = false;
  double number_ = 0;
  std::string text_;                 // a string, or a number's source text
  std::vector<std::string> keys_;    // of an object, parallel to items_
  std::vector<JsonValue> items_;
};

inline constexpr int kMaxJsonDepth = 32;

// The value of the whole of `text` (white space around it allowed), or
// nothing when it is not valid JSON or nests deeper than kMaxJsonDepth.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace rovana::server
