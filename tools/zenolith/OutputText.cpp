#include "tools/zenolith/OutputText.h"

#include <charconv>
#include <cmath>

namespace zenolith::tools {

void AppendNumber(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "nan";
    return;
  }
  if (std::isinf(v)) {
    out += v > 0 ? "inf" : "-inf";
    return;
  }
  if (v == 0) {
    out += '0';
    return;
  }
  if (std::fabs(v) < 1e15 && v == std::trunc(v)) {
    // Integers (satellite numbers, angles, counts) are most of what is
    // printed; below 2^53 their shortest digits are the integer itself.
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, static_cast<long long>(v)).ptr);
    return;
  }
  // to_chars gives the shortest round-trip digits as "d.ddde+xx"; they are
  // laid out as ECMAScript's Number to String does.
  char sci[40];
  const char* const end = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific).ptr;
  char digits[24];
  int k = 0;
  const char* p = sci;
  for (; p < end && *p != 'e'; ++p)
    if (*p != '.') digits[k++] = *p;
  int exponent = 0;
  ++p;  // past 'e'
  const bool negativeExponent = *p == '-';
  for (++p; p < end; ++p) exponent = exponent * 10 + (*p - '0');
  if (negativeExponent) exponent = -exponent;

  const int n = exponent + 1;  // the decimal point follows the first n digits
  const std::string_view d(digits, static_cast<std::size_t>(k));
  if (v < 0) out += '-';
  if (k <= n && n <= 21) {
    out += d;
    out.append(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out += d.substr(0, static_cast<std::size_t>(n));
    out += '.';
    out += d.substr(static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-n), '0');
    out += d;
  } else {
    out += d[0];
    if (k > 1) {
      out += '.';
      out += d.substr(1);
    }
    out += exponent >= 0 ? "e+" : "e-";
    char text[8];
    out.append(text, std::to_chars(text, text + sizeof text, exponent >= 0 ? exponent : -exponent).ptr);
  }
}

void AppendFixed(std::string& out, double v, int decimals) {
  // The largest double has 309 integer digits.
  char text[400];
  out.append(text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals).ptr);
}

void AppendPadded(std::string& out, int v, int width) {
  char text[16];
  char* const end = std::to_chars(text, text + sizeof text, v).ptr;
  const bool negative = v < 0;
  const int digits = static_cast<int>(end - text) - (negative ? 1 : 0);
  if (negative) out += '-';
  if (digits < width - (negative ? 1 : 0)) out.append(static_cast<std::size_t>(width - (negative ? 1 : 0) - digits), '0');
  out.append(text + (negative ? 1 : 0), end);
}

BlockWriter::BlockWriter(std::FILE* stream) : stream_(stream) { text_.reserve(kBlock + 4096); }

void BlockWriter::Write() {
  if (!text_.empty()) std::fwrite(text_.data(), 1, text_.size(), stream_);
  text_.clear();
}

void BlockWriter::Flush() {
  Write();
  std::fflush(stream_);
}

}  // namespace zenolith::tools
