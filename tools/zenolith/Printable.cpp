#include "tools/zenolith/Printable.h"

namespace zenolith::tools {
namespace {

// Length of the well-formed UTF-8 sequence at the start of `s`, 0 if none.
std::size_t SequenceLength(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

void AppendEscape(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

}  // namespace

std::string Printable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = SequenceLength(bytes);
    const auto lead = static_cast<unsigned char>(bytes[0]);
    // C1 controls are the two-byte sequences C2 80 to C2 9F.
    const bool control = length == 0 || lead < 0x20 || lead == 0x7F ||
                         (length == 2 && lead == 0xC2 && static_cast<unsigned char>(bytes[1]) <= 0x9F);
    if (control) {
      for (std::size_t i = 0; i < (length ? length : 1); ++i) AppendEscape(out, static_cast<unsigned char>(bytes[i]));
      bytes.remove_prefix(length ? length : 1);
    } else {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace zenolith::tools
