// What the fuzz targets share: a check that aborts with its reason (so the
// fuzzer keeps the input), and a well-formed UTF-8 test written here, apart
// from the converters under test.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzz {

inline void Check(bool ok, const char* target, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "%s: %s\n", target, what);
  std::abort();
}

// Well-formed UTF-8: no overlong forms, surrogates or code points above
// U+10FFFF.
inline bool IsUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    unsigned code;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1, code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2, code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3, code = c & 0x07;
    } else {
      return false;
    }
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      code = (code << 6) | (d & 0x3F);
    }
    static constexpr unsigned kMin[] = {0, 0x80, 0x800, 0x10000};
    if (code < kMin[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace fuzz
