// Query strings as the application sends them: "key=value" pairs joined by
// "&", each value percent-encoded as UTF-8 bytes with a space written as "+".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rovana::server {

// Percent-decodes one key or value: "%HH" becomes that byte, "+" a space. A
// "%" not followed by two hexadecimal digits stays as written. The result
// may hold any bytes (check it with ValidText before storing it).
std::string DecodeQueryValue(std::string_view text);

// The decoded pairs of a query string (the part after "?", without it), in
// order. Empty pairs ("a=1&&b=2") are skipped; a key without "=" has an
// empty value.
class Query {
 public:
  Query() = default;
  explicit Query(std::string_view query);

  // The first value of `key`, or nothing when the key is absent.
  std::optional<std::string> Get(std::string_view key) const;
  bool Has(std::string_view key) const { return Get(key).has_value(); }
  // The first value of `key` as a decimal integer in the C locale ("-12",
  // "+7"); nothing when absent, empty, not wholly a number, or outside 64 bits.
  std::optional<std::int64_t> Int(std::string_view key) const;
  // The first value of `key` as a finite decimal number in the C locale
  // ("52.5", "-0.125", "1e3"); nothing when absent, malformed or not finite.
  std::optional<double> Real(std::string_view key) const;

  std::size_t size() const { return pairs_.size(); }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// True when `text` is valid UTF-8 (no overlong forms, no surrogates) without
// control characters other than tab, line feed and carriage return
// (`allowLineBreaks`) and at most `maxBytes` bytes long.
bool ValidText(std::string_view text, std::size_t maxBytes, bool allowLineBreaks = false);

// The query of a request target ("/online/os.asp?a=ul&p=x") with the value of
// every "p" key replaced by "***", so that passwords never reach a log. Other
// bytes outside printable ASCII are written as "\xHH" so that one request is
// one log line.
std::string LoggableTarget(std::string_view target);

}  // namespace rovana::server
