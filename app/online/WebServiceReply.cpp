#include "app/online/WebServiceReply.h"

#include <memory>

#include "app/core/XmlReader.h"

namespace rovana {
namespace {

class SessionReplyReader final : public XmlReader {
 public:
  SessionReplyReader(std::string_view body, SessionReply& reply)
      : XmlReader(std::make_unique<XmlMemorySource>(std::string(body), "web service reply")), reply_(reply) {}

 protected:
  void Parse() override {
    // The name of the element whose text is read next, set by its start tag
    // inside "user" and cleared by any other token than its text.
    std::string field;
    int userDepth = 0;  // open "user" elements
    while (NextToken()) {
      switch (type()) {
        case XmlToken::StartTag: {
          const std::string name = Name();
          field.clear();
          if (name == "result") {
            if (!reply_.result) reply_.result = IntAttribute("id");
          } else if (name == "user") {
            if (const auto id = IntAttribute("id")) reply_.userId = id;
            if (!EmptyElement()) ++userDepth;
          } else if (userDepth > 0 && !EmptyElement() &&
                     (name == "session" || name == "nickname" || name == "pincode" || name == "msg")) {
            field = name;
          } else if (userDepth > 0 && EmptyElement()) {
            // "<nickname/>": an empty text.
            if (name == "nickname") reply_.nickname = std::string();
            if (name == "pincode") reply_.pincode = std::string();
          }
          break;
        }
        case XmlToken::Text:
          if (!field.empty()) Take(field, Text(true));
          field.clear();
          break;
        case XmlToken::EndTag:
          if (!field.empty() && IsTag(XmlToken::EndTag, field)) Take(field, std::string());  // "<msg></msg>"
          field.clear();
          if (IsTag(XmlToken::EndTag, "user") && userDepth > 0) --userDepth;
          break;
        case XmlToken::Declaration: break;
      }
    }
  }

 private:
  std::optional<std::int32_t> IntAttribute(std::string_view name) const {
    const std::optional<std::string> value = Attribute(name);
    return value ? ScanInt(*value) : std::nullopt;
  }

  void Take(const std::string& field, std::string text) {
    if (field == "session") {
      if (const auto id = ScanInt(text)) reply_.sessionId = id;
    } else if (field == "nickname") {
      reply_.nickname = CutUtf8(text, kMaxReplyText);
    } else if (field == "pincode") {
      reply_.pincode = CutUtf8(text, kMaxReplyText);
    } else if (field == "msg") {
      reply_.message = CutUtf8(text, kMaxReplyText);
    }
  }

  SessionReply& reply_;
};

}  // namespace

std::string CutUtf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  std::size_t end = limit;
  // Back over continuation bytes to the start of the character that would be cut.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

SessionReply ReadSessionReply(std::string_view body) {
  SessionReply reply;
  SessionReplyReader reader(body, reply);
  reader.Read();
  return reply;
}

}  // namespace rovana
