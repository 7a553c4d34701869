// Text output of the tool's bulk commands (decode, convert): numbers and
// padded integers appended to a reused buffer without allocating per value,
// and a standard-output writer that sends the buffer in large blocks.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace zenolith::tools {

// Appends what printf's "%.*f" gives with `decimals` in the C locale for a
// finite v: correctly rounded (ties by the exact binary value), "-0.000" for
// negative zero and for negative values that round to zero; "inf", "-inf".
void AppendFixed(std::string& out, double v, int decimals);

// Appends what printf's "%0*d" gives: at least `width` characters, zeros
// after the sign.
void AppendPadded(std::string& out, int v, int width);

// Collects output and writes it to a stdio stream in blocks of about
// kBlock bytes; Flush writes the rest and flushes the stream.
class BlockWriter {
 public:
  static constexpr std::size_t kBlock = 64 * 1024;

  explicit BlockWriter(std::FILE* stream = stdout);
  ~BlockWriter() { Flush(); }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // The buffer to append to; call Done after each complete piece of output.
  std::string& text() { return text_; }
  void Done() {
    if (text_.size() >= kBlock) Write();
  }
  void Flush();

 private:
  void Write();
  std::FILE* stream_;
  std::string text_;
};

}  // namespace zenolith::tools
