// Entity references in reply text, replaced as the text streams by: the named
// ones of a fixed table (the XML five, nbsp and the other Latin-1 names of
// HTML, and a few typographic ones: euro, ndash, mdash, quotes, bull, hellip,
// trade), "&#NNN;" and "&#xHH;". Names are case-sensitive ("&Auml;" is not
// "&auml;"). A numeric reference to 0, a surrogate or beyond U+10FFFF gives
// U+FFFD. Anything else that starts with "&" (an unknown name, a missing
// ";", a reference longer than any known one) stays as written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rovana {

// The code point of a named entity ("amp" -> U+0026), or nothing.
std::optional<char32_t> NamedEntity(std::string_view name);

// Appends `code` as UTF-8 (U+FFFD for a surrogate or a value beyond U+10FFFF).
void AppendUtf8(std::string& out, char32_t code);

// Feeds bytes one at a time; decoded text goes to `out`.
class EntityDecoder {
 public:
  static constexpr std::size_t kLongestReference = 10;  // characters between "&" and ";"

  void Feed(char c, std::string& out);
  // Ends the text: a reference still open is written as it was.
  void Flush(std::string& out);

 private:
  void Resolve(std::string& out);

  bool open_ = false;
  std::string pending_;  // after the "&"
};

// The whole text at once.
std::string DecodeEntities(std::string_view text);

}  // namespace rovana
