// The XML replies of the web service: one "reply" root holding a "result"
// element with the result code and whatever elements the action adds. Text
// and attribute values are escaped; the document is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rovana::server {

// "&", "<", ">", '"' and "'" as entity references; everything else as is
// (callers pass valid UTF-8 only).
std::string EscapeXml(std::string_view text);

// Numbers in the C locale: integers in decimal, reals with up to 7 decimals
// ("52.5", "-0.1234567"), trailing zeros dropped.
std::string FormatReal(double value);

class XmlReply {
 public:
  explicit XmlReply(int result);

  // <name id="id">
  XmlReply& Open(std::string_view name, std::int64_t id);
  XmlReply& Open(std::string_view name);
  XmlReply& Close(std::string_view name);
  // <name id="id"/>
  XmlReply& Empty(std::string_view name, std::int64_t id);
  // <name>escaped text</name>
  XmlReply& Text(std::string_view name, std::string_view text);
  XmlReply& Int(std::string_view name, std::int64_t value);
  XmlReply& Real(std::string_view name, double value);

  int result() const { return result_; }
  // The whole document.
  std::string Finish() const;

 private:
  int result_;
  std::string body_;
};

}  // namespace rovana::server
