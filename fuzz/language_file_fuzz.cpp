// libFuzzer target: the language file check on arbitrary bytes, and on
// files built line by line from the input, so that whole 429-line files
// (the only ones accepted) are reached too.
//
// Checks against a reading of the format written here: the file is accepted
// exactly when the reading accepts it; an accepted file has 430 entries, the
// last one empty, every entry UTF-8 with CR only before LF; writing the
// entries back (CR LF as "\n", UTF-16 little-endian, CR LF after each line)
// gives the file's bytes after its byte-order marks; a rejected file has no
// entries; the line count never exceeds the file's line breaks plus one.
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "app/core/LanguageTable.h"
#include "fuzz/FuzzCheck.h"

namespace {

void Check(bool ok, const char* what) { fuzz::Check(ok, "language_file_fuzz", what); }

std::u16string Units(const std::string& bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
  return units;
}

// The format (the 1 MiB limit is the file reader's): UTF-16 little-endian,
// no UTF-8 or big-endian
// byte-order mark, any number of FEFF first; then exactly 429 lines each
// ended by CR LF, with no NUL, no CR without LF and no unpaired surrogate in
// the lines that count.
bool Acceptable(const std::string& bytes) {
  if (bytes.size() % 2) return false;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return false;
  const std::u16string units = Units(bytes);
  std::size_t i = 0;
  while (i < units.size() && units[i] == 0xFEFF) ++i;
  if (i < units.size() && units[i] == 0xFFFE) return false;
  int lines = 0;
  for (; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c == u'\r') {
      if (i + 1 >= units.size() || units[i + 1] != u'\n') return false;
      ++lines, ++i;
      continue;
    }
    if (lines >= rovana::kLanguageFileLines) return false;  // text after the last line
    if (c == 0) return false;
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return lines == rovana::kLanguageFileLines;
}

void AppendUtf16(std::string& bytes, char32_t c) {
  auto unit = [&](char32_t u) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  };
  if (c < 0x10000) {
    unit(c);
  } else {
    unit(0xD800 + ((c - 0x10000) >> 10));
    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

// UTF-8 back to UTF-16 bytes, for well-formed input only.
std::string Utf16Bytes(const std::string& utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t code = n == 0 ? c : n == 1 ? c & 0x1F : n == 2 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k <= n; ++k) code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    AppendUtf16(bytes, code);
    i += n + 1;
  }
  return bytes;
}

// A file of about 429 lines from the input: each line's characters are
// input bytes widened to 16 bits or input byte pairs as they stand.
std::string BuildFile(FuzzedDataProvider& input) {
  std::string bytes;
  for (int marks = input.ConsumeIntegralInRange(0, 2); marks > 0; --marks) bytes += "\xFF\xFE";
  const int lines = rovana::kLanguageFileLines + input.ConsumeIntegralInRange(-1, 1);
  const bool pairs = input.ConsumeBool();
  const std::string text = input.ConsumeRemainingBytesAsString();
  std::size_t at = 0;
  for (int line = 0; line < lines; ++line) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string piece = text.substr(std::min(at, text.size()), end - std::min(at, text.size()));
    at = end + 1;
    if (pairs)
      bytes += piece.substr(0, piece.size() & ~std::size_t{1});
    else
      for (unsigned char c : piece) AppendUtf16(bytes, c);
    if (line + 1 < lines || at <= text.size()) bytes += std::string("\r\0\n\0", 4);
  }
  return bytes;
}

}  // namespace

// The first byte chooses the mode (odd: built line by line), so that a seed
// is that byte and a real file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  FuzzedDataProvider input(data + 1, size - 1);
  const std::string bytes = data[0] & 1 ? BuildFile(input) : input.ConsumeRemainingBytesAsString();
  const rovana::LanguageFile file = rovana::ParseLanguageFile(bytes, "fuzz.txt");

  Check(file.ok == Acceptable(bytes), "accepted exactly when the format allows");
  int breaks = 0;
  for (char16_t c : Units(bytes)) breaks += c == u'\n';
  Check(file.lines >= 0 && file.lines <= breaks + 1, "the line count is bounded by the line breaks");
  if (!file.ok) {
    Check(file.entries.empty(), "a rejected file has no entries");
    return 0;
  }
  Check(file.lines == rovana::kLanguageFileLines, "an accepted file has 429 lines");
  Check(file.entries.size() == static_cast<std::size_t>(rovana::kLanguageEntries), "430 entries");
  Check(file.entries.back().empty(), "the last entry is empty");
  std::string rebuilt;
  for (std::size_t n = 0; n + 1 < file.entries.size(); ++n) {
    const std::string& entry = file.entries[n];
    Check(fuzz::IsUtf8(entry), "an entry is UTF-8");
    std::string escaped;
    for (std::size_t i = 0; i < entry.size(); ++i) {
      if (entry[i] == '\r') {
        Check(i + 1 < entry.size() && entry[i + 1] == '\n', "a CR in an entry comes before LF");
        escaped += "\\n";
        ++i;
      } else {
        escaped += entry[i];  // a line feed without CR is no line break, only a character
      }
    }
    rebuilt += Utf16Bytes(escaped) + std::string("\r\0\n\0", 4);
  }
  std::size_t start = 0;
  while (start + 1 < bytes.size() && bytes.compare(start, 2, "\xFF\xFE") == 0) start += 2;
  Check(bytes.compare(start, std::string::npos, rebuilt) == 0, "the entries write back to the file");
  return 0;
}
