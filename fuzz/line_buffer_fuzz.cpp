// libFuzzer target: arbitrary bytes in arbitrary pieces through
// NmeaLineBuffer, with every found sentence turned into an NmeaSentence.
//
// Besides memory safety (run under AddressSanitizer) it checks what each
// found sentence must look like, and, for inputs that cannot overflow the
// ring, that the pieces give exactly the sentences of a line-by-line reading
// of the whole input.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "lib/nmea/NmeaLineBuffer.h"
#include "lib/nmea/NmeaSentence.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "line_buffer_fuzz: %s\n", what);
  std::abort();
}

unsigned Digit(unsigned char c) { return c >= '0' && c <= '9' ? c - '0' : c - 55u; }

// Line by line: a CR LF ends a line; its sentence starts at the line's last
// '$'; the checksum is read from the two bytes after the first '*' (which
// may be the CR LF itself), non-digits counting as byte - 55.
std::vector<std::string> Reference(std::string_view text, bool mandatory) {
  std::vector<std::string> found;
  std::size_t from = 0;
  for (std::size_t end; (end = text.find("\r\n", from)) != std::string_view::npos; from = end + 2) {
    const std::string_view line = text.substr(from, end - from);
    const std::size_t dollar = line.rfind('$');
    if (dollar == std::string_view::npos) continue;
    const std::string_view sentence = line.substr(dollar);
    const std::string withEnd = std::string(sentence) + "\r\n";
    const std::size_t stop = sentence.find_first_of("*\r");
    bool good;
    if (stop == std::string_view::npos || sentence[stop] == '\r') {
      good = !mandatory;
    } else {
      unsigned char sum = 0;
      for (char c : sentence.substr(1, stop - 1)) sum ^= static_cast<unsigned char>(c);
      const unsigned value = 16u * Digit(static_cast<unsigned char>(withEnd[stop + 1])) +
                             Digit(static_cast<unsigned char>(withEnd[stop + 2]));
      good = static_cast<unsigned char>(value) == sum;
    }
    if (good) found.emplace_back(sentence);
  }
  return found;
}

// No line longer than this, fed in pieces of at most kMaxPiece, keeps every
// unconsumed stretch within the ring.
constexpr std::size_t kMaxLine = 400;
constexpr std::size_t kMaxPiece = 100;

bool CannotOverflow(std::string_view text) {
  std::size_t from = 0;
  for (std::size_t end; (end = text.find("\r\n", from)) != std::string_view::npos; from = end + 2)
    if (end - from > kMaxLine) return false;
  return text.size() - from <= kMaxLine;
}

void CheckSentence(std::string_view text, bool mandatory) {
  Check(!text.empty() && text.front() == '$', "a sentence starts with $");
  Check(text.size() <= zenolith::NmeaLineBuffer::kSize - 2, "a sentence fits the work buffer");
  Check(text.find('$', 1) == std::string_view::npos, "a later $ restarts the sentence");
  Check(text.find("\r\n") == std::string_view::npos, "CR LF ends a sentence");
  if (mandatory) Check(text.find('*') != std::string_view::npos, "a mandatory checksum is there");

  com::ComPtr<com::IDispatch> object = zenolith::NmeaSentence::Make(text);
  zenolith::NmeaSentence* sentence = zenolith::NmeaSentence::From(object.get());
  Check(sentence != nullptr, "Make gives a sentence");
  if (text.size() < 6) {
    Check(sentence->Text().empty(), "a short text stays empty");
    return;
  }
  Check(sentence->Text() == text, "the text reads back unchanged");
  for (int i = 1; i <= sentence->FieldsCount(); ++i) Check(sentence->Field(i).has_value(), "fields up to the count");
  Check(!sentence->Field(sentence->FieldsCount() + 1), "no field above the count");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool mandatory = input.ConsumeBool();
  const bool drainAlways = input.ConsumeBool();
  // Piece sizes come first, so the bytes stay the same whatever the pieces.
  std::vector<std::size_t> pieces(input.ConsumeIntegralInRange<std::size_t>(1, 16));
  for (std::size_t& piece : pieces) piece = input.ConsumeIntegralInRange<std::size_t>(1, 700);
  const std::string text = input.ConsumeRemainingBytesAsString();

  const bool exact = CannotOverflow(text);
  zenolith::NmeaLineBuffer buffer;
  buffer.set_checksum_mandatory(mandatory);
  std::vector<std::string> found;
  std::size_t at = 0;
  for (std::size_t n = 0; at < text.size(); ++n) {
    std::size_t piece = pieces[n % pieces.size()];
    if (exact && piece > kMaxPiece) piece = piece % kMaxPiece + 1;
    const std::string_view bytes = std::string_view(text).substr(at, piece);
    at += bytes.size();
    const bool lineFeed = buffer.Append(bytes);
    Check(lineFeed == (bytes.find('\n') != std::string_view::npos), "Append reports a line feed");
    if (!lineFeed && !drainAlways) continue;
    while (buffer.FindNext()) {
      const std::string_view sentence = buffer.TakeText();
      CheckSentence(sentence, mandatory);
      found.emplace_back(sentence);
    }
  }
  // Searching only after a line feed loses nothing either: every sentence
  // ends in one.
  if (exact) Check(found == Reference(text, mandatory), "pieces give the reference sentences");
  return 0;
}
