#include "server/QueryText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace rovana::server {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string DecodeQueryValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

Query::Query(std::string_view query) {
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view pair = query.substr(start, end - start);
    if (!pair.empty()) {
      const std::size_t equals = pair.find('=');
      if (equals == std::string_view::npos) {
        pairs_.emplace_back(DecodeQueryValue(pair), std::string());
      } else {
        pairs_.emplace_back(DecodeQueryValue(pair.substr(0, equals)),
                            DecodeQueryValue(pair.substr(equals + 1)));
      }
    }
    start = end + 1;
  }
}

std::optional<std::string> Query::Get(std::string_view key) const {
  for (const auto& [k, v] : pairs_) {
    if (k == key) return v;
  }
  return std::nullopt;
}

std::optional<std::int64_t> Query::Int(std::string_view key) const {
  const auto value = Get(key);
  if (!value || value->empty()) return std::nullopt;
  std::string_view digits = *value;
  if (digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return number;
}

std::optional<double> Query::Real(std::string_view key) const {
  const auto value = Get(key);
  if (!value || value->empty() || value->size() > 64) return std::nullopt;
  std::string_view digits = *value;
  if (digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  double number = 0;
  // from_chars reads the C locale's form whatever the process locale is.
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number,
                                            std::chars_format::general);
  if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(number)) {
    return std::nullopt;
  }
  return number;
}

bool ValidText(std::string_view text, std::size_t maxBytes, bool allowLineBreaks) {
  if (text.size() > maxBytes) return false;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      const bool lineBreak = lead == '\n' || lead == '\r';
      if ((lead < 0x20 && lead != '\t' && !(allowLineBreaks && lineBreak)) || lead == 0x7f) {
        return false;
      }
      ++i;
      continue;
    }
    int length = 0;
    char32_t code = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
      length = 2;
      code = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
      length = 3;
      code = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      code = (code << 6) | (next & 0x3f);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10ffff)) ||
        (code >= 0xd800 && code <= 0xdfff) || (code >= 0x80 && code < 0xa0)) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string LoggableTarget(std::string_view target) {
  std::string out;
  out.reserve(target.size());
  const std::size_t question = target.find('?');
  std::size_t i = 0;
  auto append = [&out](char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7f || c == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out.push_back(c);
    }
  };
  const std::size_t pathEnd = question == std::string_view::npos ? target.size() : question + 1;
  for (; i < pathEnd; ++i) append(target[i]);
  while (i < target.size()) {
    std::size_t end = target.find('&', i);
    if (end == std::string_view::npos) end = target.size();
    const std::string_view pair = target.substr(i, end - i);
    const std::size_t equals = pair.find('=');
    const std::string_view key = pair.substr(0, equals);
    if (equals != std::string_view::npos && DecodeQueryValue(key) == "p") {
      for (char c : key) append(c);
      out += "=***";
    } else {
      for (char c : pair) append(c);
    }
    if (end < target.size()) out.push_back('&');
    i = end + 1;
  }
  return out;
}

}  // namespace rovana::server
