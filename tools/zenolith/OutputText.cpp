#include "tools/zenolith/OutputText.h"

#include <charconv>
#include <cmath>

namespace zenolith::tools {

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
