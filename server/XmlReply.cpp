#include "server/XmlReply.h"

#include <cmath>
#include <cstdio>

namespace rovana::server {

std::string EscapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string FormatReal(double value) {
  if (!std::isfinite(value)) return "0";
  char text[64];
  // "%f" follows LC_NUMERIC; the server never changes it from "C", and the
  // decimal point is forced below in case a host program does.
  std::snprintf(text, sizeof text, "%.7f", value);
  std::string out(text);
  for (char& c : out) {
    if (c == ',') c = '.';
  }
  const std::size_t point = out.find('.');
  if (point != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  if (out == "-0") out = "0";
  return out;
}

XmlReply::XmlReply(int result) : result_(result) {}

XmlReply& XmlReply::Open(std::string_view name, std::int64_t id) {
  body_ += "<" + std::string(name) + " id=\"" + std::to_string(id) + "\">";
  return *this;
}

XmlReply& XmlReply::Open(std::string_view name) {
  body_ += "<" + std::string(name) + ">";
  return *this;
}

XmlReply& XmlReply::Close(std::string_view name) {
  body_ += "</" + std::string(name) + ">\n";
  return *this;
}

XmlReply& XmlReply::Empty(std::string_view name, std::int64_t id) {
  body_ += "<" + std::string(name) + " id=\"" + std::to_string(id) + "\"/>\n";
  return *this;
}

XmlReply& XmlReply::Text(std::string_view name, std::string_view text) {
  body_ += "<" + std::string(name) + ">" + EscapeXml(text) + "</" + std::string(name) + ">";
  return *this;
}

XmlReply& XmlReply::Int(std::string_view name, std::int64_t value) {
  return Text(name, std::to_string(value));
}

XmlReply& XmlReply::Real(std::string_view name, double value) {
  return Text(name, FormatReal(value));
}

std::string XmlReply::Finish() const {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<reply>\n<result id=\"" +
         std::to_string(result_) + "\"/>\n" + body_ + "</reply>\n";
}

}  // namespace rovana::server
