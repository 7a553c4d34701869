#include "app/online/ReplyScanner.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "app/core/TextCodec.h"

namespace rovana {
namespace {

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
void CutToBoundary(std::string& text, std::size_t limit) {
  if (text.size() <= limit) return;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

// Drops a last UTF-8 sequence that was cut short (the capture filled up
// inside it), so that it does not turn into U+FFFD.
void DropCutSequence(std::string& text) {
  std::size_t start = text.size();
  std::size_t continuation = 0;
  while (start > 0 && continuation < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
    --start;
    ++continuation;
  }
  if (start == 0) return;
  const auto lead = static_cast<unsigned char>(text[start - 1]);
  std::size_t length = 1;
  if ((lead & 0xE0) == 0xC0) length = 2;
  else if ((lead & 0xF0) == 0xE0) length = 3;
  else if ((lead & 0xF8) == 0xF0) length = 4;
  if (length > 1 && continuation + 1 < length) text.resize(start - 1);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Four hex digits at text[at], or -1.
long Hex4(std::string_view text, std::size_t at) {
  if (at + 4 > text.size()) return -1;
  long value = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    const int d = HexValue(text[i]);
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

}  // namespace

StreamRead TextReplyStream::Read(char* buffer, std::size_t length) {
  const std::size_t n = std::min(length, text_.size() - at_);
  text_.copy(buffer, n, at_);
  at_ += n;
  return {true, n};
}

int ReplyScanner::Next() {
  if (at_ == have_) {
    if (ended_ || failed_) return -1;
    const StreamRead r = stream_.Read(window_, kWindow);
    if (!r.ok) {
      failed_ = true;
      return -1;
    }
    if (r.bytes == 0) {
      ended_ = true;
      return -1;
    }
    have_ = r.bytes;
    at_ = 0;
  }
  return static_cast<unsigned char>(window_[at_++]);
}

bool ReplyScanner::ScanTo(std::string_view marker, std::string* capture, std::size_t capacity) {
  const std::size_t limit = capacity > 0 ? capacity - 1 : 0;
  std::string raw, scratch;
  bool full = limit == 0;
  EntityDecoder decoder;
  auto keep = [&](char c) {
    if (!capture) return;
    if (full) {
      scratch.clear();
      decoder.Feed(c, scratch);
      return;
    }
    decoder.Feed(c, raw);
    if (raw.size() >= limit) full = true;
  };
  auto finish = [&](bool found) {
    if (capture) {
      if (!full) decoder.Flush(raw);
      if (raw.size() >= limit) DropCutSequence(raw);
      *capture = SanitizeUtf8(raw);
      CutToBoundary(*capture, limit);
    }
    return found;
  };
  if (marker.empty()) return finish(true);

  // The last marker.size() characters read, held back from the capture until
  // it is clear they are not the marker; `escaped` marks which were escaped.
  std::string recent, escaped;
  for (int c; (c = Next()) >= 0;) {
    const bool isEscaped = escapeNext_;
    escapeNext_ = !isEscaped && c == '\\';
    recent += static_cast<char>(c);
    escaped += isEscaped ? '1' : '0';
    if (recent.size() > marker.size()) {
      keep(recent[0]);
      recent.erase(0, 1);
      escaped.erase(0, 1);
    }
    if (recent == marker && escaped.find('1') == std::string::npos) return finish(true);
  }
  for (const char c : recent) keep(c);
  return finish(false);
}

std::optional<std::string> ReplyScanner::ObjectText(std::size_t capacity) {
  if (!ScanTo("{")) return std::nullopt;
  std::string text;
  if (!ScanTo("}", &text, capacity)) return std::nullopt;
  return text;
}

std::string ValueOf(std::string_view text, std::string_view key) {
  const std::string name = "\"" + std::string(key) + "\"";
  std::size_t at = 0;
  for (;;) {
    const std::size_t found = text.find(name, at);
    if (found == std::string_view::npos) return {};
    at = found + name.size();
    while (at < text.size() && IsSpace(text[at])) ++at;
    if (at < text.size() && text[at] == ':') break;
  }
  ++at;
  bool quoted = false;
  while (at < text.size() && IsSpace(text[at])) ++at;
  if (at < text.size() && text[at] == '"') {
    quoted = true;
    ++at;
  }

  std::string value;
  while (at < text.size()) {
    const char c = text[at];
    // A quoted value may hold commas and braces ("Munich, Bavaria").
    if (c == '"' || (!quoted && (c == ',' || c == '}'))) break;
    if (c != '\\' || at + 1 >= text.size()) {
      value += c;
      ++at;
      continue;
    }
    const char e = text[at + 1];
    at += 2;
    switch (e) {
      case 'b': value += '\b'; break;
      case 'f': value += '\f'; break;
      case 'n': value += '\n'; break;
      case 'r': value += '\r'; break;
      case 't': value += '\t'; break;
      case 'u': {
        long code = Hex4(text, at);
        if (code < 0) {
          value += "\\u";
          break;
        }
        at += 4;
        if (code >= 0xD800 && code <= 0xDBFF && at + 1 < text.size() && text[at] == '\\' && text[at + 1] == 'u') {
          const long low = Hex4(text, at + 2);
          if (low >= 0xDC00 && low <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            at += 6;
          }
        }
        AppendUtf8(value, static_cast<char32_t>(code));  // a lone surrogate becomes U+FFFD
        break;
      }
      default: value += e; break;  // \" \\ \/ and anything else: the character itself
    }
  }
  while (!value.empty() && IsSpace(value.back())) value.pop_back();
  return SanitizeUtf8(value);
}

double NumberOf(std::string_view text, std::string_view key) {
  const std::string value = ValueOf(text, key);
  const char* begin = value.data();
  const char* end = value.data() + value.size();
  if (begin != end && *begin == '+') ++begin;
  double number = 0;
  const auto [stop, error] = std::from_chars(begin, end, number);
  (void)stop;
  if (error != std::errc() || !std::isfinite(number)) return 0;
  return number;
}

bool FlagOf(std::string_view text, std::string_view key) {
  const std::string value = ValueOf(text, key);
  return !value.empty() && (value[0] == 't' || value[0] == 'T');
}

}  // namespace rovana
