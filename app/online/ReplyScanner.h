// Picks values out of a reply as it streams in, through a 256-byte window,
// without holding the whole reply: JSON-like objects from search and route
// services, or any text with known markers.
//
//   ReplyScanner scan(request);                   // an opened stream
//   while (auto object = scan.ObjectText(1024)) {  // {"lat":48.1,"name":"K&ouml;ln"}
//     double lat = NumberOf(*object, "lat");
//     std::string name = ValueOf(*object, "name");  // "Köln"
//   }
//
// Bytes are taken as they come; no input makes it fail other than by
// returning false.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/online/Entities.h"
#include "app/online/ReplyStream.h"

namespace rovana {

class ReplyScanner {
 public:
  static constexpr std::size_t kWindow = 256;

  // `stream` must be open; the scanner reads it but does not close it.
  explicit ReplyScanner(ReplyStream& stream) : stream_(stream) {}

  // Reads until `marker` has been seen; true when it was, false at the end of
  // the stream or when a read failed. A character after an unescaped
  // backslash never counts towards the marker. With `capture`, the text read
  // before the marker (the marker itself left out) is put there: entity
  // references replaced, UTF-8 kept (malformed bytes become U+FFFD), cut to
  // at most `capacity` - 1 bytes on a character boundary; reading still goes
  // on to the marker. An empty marker is found at once.
  bool ScanTo(std::string_view marker, std::string* capture = nullptr, std::size_t capacity = 0);

  // The text between the next "{" and the "}" after it (at most
  // `capacity` - 1 bytes of it), or nothing when the stream ends first.
  // Objects inside the object are not followed: the first "}" ends it.
  std::optional<std::string> ObjectText(std::size_t capacity);

  bool ended() const { return ended_; }    // the stream's end was reached
  bool failed() const { return failed_; }  // a read failed

 private:
  int Next();  // the next byte, or -1

  ReplyStream& stream_;
  char window_[kWindow];
  std::size_t have_ = 0;
  std::size_t at_ = 0;
  bool escapeNext_ = false;
  bool ended_ = false;
  bool failed_ = false;
};

// A reply already held in memory (a body the web service handed back) as a
// stream, so the same scanners read it; each read gives at most `length`
// bytes, the end once the text is used up.
class TextReplyStream final : public ReplyStream {
 public:
  explicit TextReplyStream(std::string text) : text_(std::move(text)) {}
  bool Open() override {
    at_ = 0;
    return true;
  }
  void Close() override {}
  StreamRead Read(char* buffer, std::size_t length) override;

 private:
  std::string text_;
  std::size_t at_ = 0;
};

// Within captured text: the value after "\"key\":". Spaces after the colon
// are skipped; a value that opens with a quote runs to the next unescaped
// quote (commas and braces included: "Munich, Bavaria"), any other (number,
// true, false) to the next comma, "}" or quote; trailing spaces are dropped.
// JSON escapes (\" \\ \/ \b \f \n \r \t \uXXXX) are decoded.
// Empty when the key is not there.
std::string ValueOf(std::string_view text, std::string_view key);

// The value as a number in the C locale whatever the user's locale; 0 when
// the key is missing, the value is not a number or not finite.
double NumberOf(std::string_view text, std::string_view key);

// True when the value begins with "t" or "T"; false for "f"/"F", and for a
// missing key or any other value.
bool FlagOf(std::string_view text, std::string_view key);

}  // namespace rovana
