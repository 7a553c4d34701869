#include "lib/nmea/NmeaLineBuffer.h"

#include <cstring>

namespace zenolith {
namespace {

// A checksum digit: '0'..'9' as their value, any other byte as byte - 55, so
// 'A'..'F' give 10..15 and lower-case letters never match.
constexpr unsigned HexDigit(unsigned char byte) { return byte >= '0' && byte <= '9' ? byte - '0' : byte - 55u; }

}  // namespace

// Only the newest kSize bytes of one call can survive in the ring, so older
// ones are not copied at all; the 16-bit write position still advances by the
// whole count (65536 is a multiple of kSize, so the modulo stays right).
bool NmeaLineBuffer::Append(const char* bytes, std::size_t count) {
  if (bytes == nullptr || count == 0) return false;
  const bool overflow = count > kSize || static_cast<std::uint16_t>(write_ - scan_) + count > kSize;
  const std::size_t keep = count < kSize ? count : kSize;
  const char* from = bytes + (count - keep);
  const auto newWrite = static_cast<std::uint16_t>(write_ + count);
  const std::size_t at = static_cast<std::uint16_t>(newWrite - keep) & kMask;
  const std::size_t first = keep < kSize - at ? keep : kSize - at;
  std::memcpy(ring_ + at, from, first);
  std::memcpy(ring_, from + first, keep - first);
  write_ = newWrite;
  if (overflow) {
    // The oldest unconsumed bytes were overwritten: the search resumes at the
    // oldest byte still held, and a sentence begun before it is gone.
    scan_ = static_cast<std::uint16_t>(write_ - kSize);
    walkValid_ = false;
  }
  return std::memchr(bytes, '\n', count) != nullptr;
}

bool NmeaLineBuffer::FindNext() {
  for (;;) {
    std::uint16_t p = scan_;
    std::uint16_t start = scan_;
    char previous = '$';
    if (walkValid_) {
      p = walked_;
      previous = ring_[static_cast<std::uint16_t>(p - 1) & kMask];
    } else {
      while (p != write_ && ring_[p & kMask] != '$') ++p;
      if (p == write_) {
        scan_ = p;
        return false;
      }
      start = p++;
    }

    bool complete = false;
    while (p != write_) {
      const char c = ring_[p & kMask];
      ++p;
      if (c == '\n' && previous == '\r') {
        complete = true;
        break;
      }
      if (c == '$') start = static_cast<std::uint16_t>(p - 1);  // a broken sentence is dropped
      previous = c;
    }
    if (!complete) {
      scan_ = start;
      walked_ = write_;
      walkValid_ = true;
      return false;
    }

    walkValid_ = false;
    scan_ = p;
    if (!ChecksumGood(start, p)) continue;

    start_ = start;
    end_ = p;
    // Without its CR LF; at most kSize - 2 bytes since scan_ never lags write_
    // by more than kSize.
    length_ = static_cast<std::uint16_t>(end_ - start_ - 2);
    const std::size_t at = start_ & kMask;
    const std::size_t first = length_ < kSize - at ? length_ : kSize - at;
    std::memcpy(work_, ring_ + at, first);
    std::memcpy(work_ + first, ring_, length_ - first);
    work_[length_] = '\0';
    return true;
  }
}

bool NmeaLineBuffer::ChecksumGood(std::uint16_t start, std::uint16_t end) const {
  unsigned char sum = 0;
  std::uint16_t p = static_cast<std::uint16_t>(start + 1);
  for (; p != end; ++p) {
    const auto c = static_cast<unsigned char>(ring_[p & kMask]);
    if (c == '*') break;
    if (c == '\r') return !checksumMandatory_;  // no checksum
    sum ^= c;
  }
  if (p == end) return !checksumMandatory_;  // not reached: the final CR stops the loop
  // The line end follows the '*', so both digits lie inside the sentence.
  const auto high = static_cast<unsigned char>(ring_[static_cast<std::uint16_t>(p + 1) & kMask]);
  const auto low = static_cast<unsigned char>(ring_[static_cast<std::uint16_t>(p + 2) & kMask]);
  return static_cast<unsigned char>(16u * HexDigit(high) + HexDigit(low)) == sum;
}

std::string_view NmeaLineBuffer::TakeText() { return {work_, length_}; }

}  // namespace zenolith
