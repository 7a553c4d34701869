#include "app/core/TextCodec.h"

#include <algorithm>
#include <cstdint>

namespace rovana {
namespace {

// Well-formed UTF-8 lead bytes (Unicode table 3-7): how many continuation
// bytes follow and the range the first of them must lie in; the later ones
// are always 0x80..0xBF. The narrowed first ranges exclude overlong forms,
// surrogates and values above U+10FFFF.
struct LeadRow {
  std::uint8_t first, last;  // lead byte range
  int continuations;
  std::uint8_t low, high;    // allowed range of the first continuation byte
};

constexpr LeadRow kLeadRows[] = {
    {0xC2, 0xDF, 1, 0x80, 0xBF},
    {0xE0, 0xE0, 2, 0xA0, 0xBF},
    {0xE1, 0xEC, 2, 0x80, 0xBF},
    {0xED, 0xED, 2, 0x80, 0x9F},
    {0xEE, 0xEF, 2, 0x80, 0xBF},
    {0xF0, 0xF0, 3, 0x90, 0xBF},
    {0xF1, 0xF3, 3, 0x80, 0xBF},
    {0xF4, 0xF4, 3, 0x80, 0x8F},
};

const LeadRow* FindLead(std::uint8_t byte) {
  for (const LeadRow& row : kLeadRows)
    if (byte >= row.first && byte <= row.last) return &row;
  return nullptr;
}

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Named references, replaced in one left-to-right pass together with the
// numeric ones, so "&amp;lt;" reads as "&lt;" and never as "<".
struct NamedReference {
  std::u16string_view name;
  char16_t character;
};
constexpr NamedReference kNamedReferences[] = {
    {u"lt", u'<'}, {u"gt", u'>'}, {u"amp", u'&'}, {u"apos", u'\''}, {u"quot", u'"'},
};
// "&#x10FFFF;" with some leading zeros to spare.
constexpr std::size_t kLongestReference = 16;

// Parses the reference starting at text[at] == '&'. On success appends its
// character(s) and returns the length of the reference; 0 when the text there
// is no reference we know.
std::size_t DecodeReference(std::u16string_view text, std::size_t at, std::u16string& out) {
  const std::size_t limit = std::min(text.size(), at + kLongestReference);
  std::size_t semicolon = kNotFound;
  for (std::size_t i = at + 1; i < limit; ++i) {
    if (text[i] == u';') {
      semicolon = i;
      break;
    }
  }
  if (semicolon == kNotFound) return 0;
  const std::u16string_view body = text.substr(at + 1, semicolon - at - 1);
  const std::size_t length = semicolon - at + 1;
  for (const NamedReference& row : kNamedReferences) {
    if (body == row.name) {
      out += row.character;
      return length;
    }
  }
  if (body.size() < 2 || body[0] != u'#') return 0;
  const bool hex = body[1] == u'x' || body[1] == u'X';
  const std::u16string_view digits = body.substr(hex ? 2 : 1);
  if (digits.empty()) return 0;
  char32_t code = 0;
  for (const char16_t c : digits) {
    if (hex ? !IsHexDigit(c) : (c < u'0' || c > u'9')) return 0;
    code = code * (hex ? 16 : 10) + static_cast<char32_t>(HexDigitValue(c));
    if (code > 0x10FFFF) code = 0x110000;  // stays invalid, never overflows
  }
  AppendUtf16(out, code == 0 ? kReplacementCharacter : code);  // invalid codes give U+FFFD too
  return length;
}

}  // namespace

std::u16string DecodeXmlReferences(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == u'&') {
      if (const std::size_t used = DecodeReference(text, i, out)) {
        i += used;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

void AppendUtf16(std::u16string& out, char32_t code) {
  if (IsSurrogate(code) || code > 0x10FFFF) code = kReplacementCharacter;
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  const std::size_t n = utf8.size();
  while (i < n) {
    const auto lead = static_cast<std::uint8_t>(utf8[i++]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      continue;
    }
    const LeadRow* row = FindLead(lead);
    if (!row) {  // stray continuation byte or a byte that never starts a character
      out += static_cast<char16_t>(kReplacementCharacter);
      continue;
    }
    char32_t code = lead & (0x3F >> row->continuations);
    std::uint8_t low = row->low, high = row->high;
    bool complete = true;
    for (int k = 0; k < row->continuations; ++k) {
      const auto next = i < n ? static_cast<std::uint8_t>(utf8[i]) : 0;
      if (i >= n || next < low || next > high) {
        complete = false;  // the byte that broke the sequence is decoded afresh
        break;
      }
      code = (code << 6) | (next & 0x3F);
      ++i;
      low = 0x80;
      high = 0xBF;
    }
    AppendUtf16(out, complete ? code : kReplacementCharacter);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (IsSurrogate(c)) {
      c = kReplacementCharacter;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string SanitizeUtf8(std::string_view bytes) { return Utf16ToUtf8(Utf8ToUtf16(bytes)); }

void ShiftLeft(std::string& text, std::size_t count) { text.erase(0, count < text.size() ? count : text.size()); }

void ShiftLeft(std::u16string& text, std::size_t count) {
  text.erase(0, count < text.size() ? count : text.size());
}

bool IsHexDigit(char32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexDigitValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return 0;
}

}  // namespace rovana
