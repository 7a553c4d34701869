#include "app/online/Entities.h"

#include <array>
#include <cstdint>

namespace rovana {
namespace {

// HTML's names for U+00A0 to U+00FF, in code order.
constexpr std::array<std::string_view, 96> kLatin1 = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct Named {
  std::string_view name;
  char32_t code;
};
constexpr Named kOther[] = {
    {"amp", U'&'},       {"lt", U'<'},        {"gt", U'>'},        {"quot", U'"'},      {"apos", U'\''},
    {"euro", U'\u20AC'}, {"ndash", U'\u2013'}, {"mdash", U'\u2014'}, {"lsquo", U'\u2018'}, {"rsquo", U'\u2019'},
    {"ldquo", U'\u201C'}, {"rdquo", U'\u201D'}, {"bull", U'\u2022'},  {"hellip", U'\u2026'}, {"trade", U'\u2122'},
};

bool IsAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// "#65" or "#x41": the code, U+FFFD for an impossible one, nothing when the
// digits are malformed.
std::optional<char32_t> NumericEntity(std::string_view text) {
  const bool hex = text.size() > 1 && (text[1] == 'x' || text[1] == 'X');
  const std::string_view digits = text.substr(hex ? 2 : 1);
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
  }
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return U'\uFFFD';
  return static_cast<char32_t>(value);
}

}  // namespace

std::optional<char32_t> NamedEntity(std::string_view name) {
  for (std::size_t i = 0; i < kLatin1.size(); ++i)
    if (kLatin1[i] == name) return static_cast<char32_t>(0xA0 + i);
  for (const Named& n : kOther)
    if (n.name == name) return n.code;
  return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void EntityDecoder::Resolve(std::string& out) {
  std::optional<char32_t> code;
  if (!pending_.empty() && pending_[0] == '#')
    code = NumericEntity(pending_);
  else
    code = NamedEntity(pending_);
  if (code) {
    AppendUtf8(out, *code);
  } else {
    out += '&';
    out += pending_;
    out += ';';
  }
  open_ = false;
  pending_.clear();
}

void EntityDecoder::Feed(char c, std::string& out) {
  if (!open_) {
    if (c == '&') {
      open_ = true;
      pending_.clear();
    } else {
      out += c;
    }
    return;
  }
  if (c == ';') {
    Resolve(out);
    return;
  }
  const bool fits = pending_.size() < kLongestReference;
  if (fits && (IsAlnum(c) || (c == '#' && pending_.empty()))) {
    pending_ += c;
    return;
  }
  // Not a reference after all: what was held back goes out as written.
  out += '&';
  out += pending_;
  pending_.clear();
  if (c == '&') return;  // stays open for the next reference
  open_ = false;
  out += c;
}

void EntityDecoder::Flush(std::string& out) {
  if (!open_) return;
  out += '&';
  out += pending_;
  pending_.clear();
  open_ = false;
}

std::string DecodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  EntityDecoder decoder;
  for (const char c : text) decoder.Feed(c, out);
  decoder.Flush(out);
  return out;
}

}  // namespace rovana
