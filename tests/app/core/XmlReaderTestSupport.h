// What the XmlReader tests share: a reader that records every token, token
// builders, UTF-16 file bytes and a fixture with a temporary folder and log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/core/Log.h"
#include "app/core/XmlReader.h"
#include "tests/support/LoggedFolder.h"

namespace rovana::xml_test {

namespace fs = std::filesystem;

inline constexpr double kPi = 3.14159265358979323846;
// Values parsed from decimal text: equal up to the last bit or two.
inline constexpr double kParseTolerance = 1e-12;

struct Token {
  XmlToken type;
  std::string name;  // tag name, or decoded text for text and declarations
  std::vector<std::pair<std::string, std::string>> attributes;
  bool empty = false;
  bool operator==(const Token&) const = default;
};

inline void PrintTo(const Token& t, std::ostream* out) {
  *out << static_cast<int>(t.type) << ":[" << t.name << "]";
  for (const auto& [n, v] : t.attributes) *out << " " << n << "=" << v;
  if (t.empty) *out << " /";
}

inline std::string Describe(const std::vector<Token>& tokens) {
  std::ostringstream out;
  for (const Token& t : tokens) {
    out << static_cast<int>(t.type) << ":[" << t.name << "]";
    for (const auto& [n, v] : t.attributes) out << " " << n << "=" << v;
    if (t.empty) out << " /";
    out << "\n";
  }
  return out.str();
}

// Records every token; texts decoded with UTF-8 when asked.
class Recorder : public XmlReader {
 public:
  explicit Recorder(std::unique_ptr<XmlSource> source, bool utf8 = true)
      : XmlReader(std::move(source)), utf8_(utf8) {}
  Recorder(fs::path folder, std::string name) : XmlReader(std::move(folder), std::move(name)) {}

  std::vector<Token> tokens;
  std::size_t limit = 1'000'000;  // a reader that never ends would fail here, not hang

 protected:
  void Parse() override {
    while (tokens.size() < limit && NextToken()) {
      Token t{type(), {}, {}, EmptyElement()};
      if (type() == XmlToken::StartTag || type() == XmlToken::EndTag) {
        t.name = Name();
      } else {
        t.name = Text(utf8_);
      }
      for (std::size_t i = 0; i < AttributeCount(); ++i) t.attributes.emplace_back(AttributeName(i), AttributeValue(i));
      tokens.push_back(std::move(t));
    }
  }

 private:
  bool utf8_ = true;
};

inline std::vector<Token> Tokens(const std::string& bytes, bool utf8 = true, bool* read = nullptr) {
  Recorder r(std::make_unique<XmlMemorySource>(bytes), utf8);
  const bool ok = r.Read();
  if (read) *read = ok;
  return r.tokens;
}

inline std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

inline Token Start(std::string name, std::vector<std::pair<std::string, std::string>> attributes = {}, bool empty = false) {
  return Token{XmlToken::StartTag, std::move(name), std::move(attributes), empty};
}
inline Token End(std::string name) { return Token{XmlToken::EndTag, std::move(name), {}}; }
inline Token Text(std::string text) { return Token{XmlToken::Text, std::move(text), {}}; }
inline Token Decl(std::string text) { return Token{XmlToken::Declaration, std::move(text), {}}; }

// Hands out its bytes at most `piece` at a time, as a pipe or a slow card
// can, and fails every read from byte `failAt` on.
class PieceSource final : public XmlSource {
 public:
  PieceSource(std::string bytes, std::size_t piece, std::size_t failAt = SIZE_MAX)
      : XmlSource("/pieces", "pieces.xml"), bytes_(std::move(bytes)), piece_(piece), failAt_(failAt) {}
  bool Open() override { return true; }
  long Read(void* buffer, std::size_t size) override {
    if (at_ >= failAt_) return -1;
    const std::size_t n = std::min({size, piece_, bytes_.size() - at_, failAt_ - at_});
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }
  void Close() override {}

 private:
  std::string bytes_;
  std::size_t piece_, failAt_, at_ = 0;
};

class XmlReaderTest : public testing_support::LoggedFolderTest {
 protected:
  void WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
};

}  // namespace rovana::xml_test
