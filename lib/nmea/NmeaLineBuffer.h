// NmeaLineBuffer: a fixed 512-byte ring that receives raw bytes and cuts out
// complete sentences ("$" ... "\r\n") whose checksum is correct.
//
// Used in a loop: Append the bytes just read; then while FindNext() succeeds,
// TakeText() (or make an NmeaSentence of it) and pass it on. No allocation
// happens per byte: bytes go into the ring, a found sentence is copied once
// into a 512-byte work buffer. Bytes that arrive while more than 512 are
// unconsumed overwrite the oldest ones; the search then goes on from the
// oldest byte still held, so a sentence begun before is lost and a sentence
// is at most 510 characters. Bad input is never an error: bytes outside
// "$" ... "\r\n" and sentences with a wrong (or, while checksums are
// mandatory, missing) checksum are skipped. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zenolith {

class NmeaLineBuffer {
 public:
  static constexpr std::size_t kSize = 512;

  // Stores the bytes; true when a line feed was among them.
  bool Append(const char* bytes, std::size_t count);
  bool Append(std::string_view text) { return Append(text.data(), text.size()); }

  // Finds the next complete sentence with a good checksum (or none, when
  // checksums are optional); remembers its start and end.
  bool FindNext();
  // The sentence last found, without its carriage return and line feed; valid
  // until the next call on this buffer.
  std::string_view TakeText();

  void set_checksum_mandatory(bool mandatory) { checksumMandatory_ = mandatory; }
  bool checksum_mandatory() const { return checksumMandatory_; }

 private:
  static constexpr std::size_t kMask = kSize - 1;
  static_assert((kSize & kMask) == 0 && 65536 % kSize == 0, "16-bit positions must wrap with the ring");

  // The checksum of the sentence from the '$' at `start` to just past the
  // line feed at `end`.
  bool ChecksumGood(std::uint16_t start, std::uint16_t end) const;

  char ring_[kSize] = {};
  char work_[kSize] = {};
  // Invariant: write_ - scan_ (16-bit) is at most kSize; Append moves scan_
  // up when older bytes are overwritten.
  std::uint16_t write_ = 0, scan_ = 0, start_ = 0, end_ = 0;  // taken modulo 512 when used
  // A sentence begun at scan_ and walked up to walked_ without its line end
  // (so the next search resumes there instead of walking it again).
  std::uint16_t walked_ = 0;
  bool walkValid_ = false;
  std::uint16_t length_ = 0;  // of the text in work_
  bool checksumMandatory_ = true;
};

}  // namespace zenolith
