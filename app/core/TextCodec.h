// Text conversions at file boundaries. Inside the program text is UTF-8 in
// std::string; UTF-16 (char16_t units) appears only where a file is defined on
// 16-bit units, such as settings.xml, and is converted here.
//
// Nothing here throws or fails: malformed input is repaired with U+FFFD
// (the replacement character), so every result is well-formed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rovana {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes UTF-8 into UTF-16. Code points above U+FFFF become surrogate pairs.
// Each malformed piece (a stray continuation byte, a sequence cut short, an
// overlong form, an encoded surrogate, a value above U+10FFFF, the bytes
// 0xC0, 0xC1 and 0xF5 to 0xFF) becomes one U+FFFD per maximal ill-formed
// subsequence, as Unicode recommends, and decoding goes on after it. A zero
// byte is decoded like any other character.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Encodes UTF-16 as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Well-formed UTF-8 for any byte string (malformed pieces as above).
std::string SanitizeUtf8(std::string_view bytes);

// Appends one code point as UTF-16; a surrogate or a value above U+10FFFF
// appends U+FFFD instead.
void AppendUtf16(std::u16string& out, char32_t code);

// Replaces the XML references &lt; &gt; &amp; &apos; &quot; &#N; and &#xH;
// in one left-to-right pass, so each is decoded once ("&amp;lt;" gives
// "&lt;"). Unknown or malformed references stay as written; a character
// reference to NUL, a surrogate or a value above U+10FFFF gives U+FFFD.
std::u16string DecodeXmlReferences(std::u16string_view text);

// Drops the first `count` characters in place; a count at or beyond the length
// leaves the string empty.
void ShiftLeft(std::string& text, std::size_t count);
void ShiftLeft(std::u16string& text, std::size_t count);

// Value of one hexadecimal digit (0-9, a-f, A-F); any other character gives 0.
int HexDigitValue(char32_t c);
// True for 0-9, a-f, A-F.
bool IsHexDigit(char32_t c);

}  // namespace rovana
