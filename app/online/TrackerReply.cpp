#include "app/online/TrackerReply.h"

#include <memory>
#include <vector>

#include "app/core/XmlReader.h"
#include "app/online/WebServiceReply.h"

namespace rovana {
namespace {

// Deeper nesting is not looked into (its elements count as unknown).
constexpr std::size_t kMaxDepth = 64;

enum class RecordKind { None, Buddy, Position, Message };

class TrackerReplyReader final : public XmlReader {
 public:
  TrackerReplyReader(std::string_view body, TrackerReplySink& sink)
      : XmlReader(std::make_unique<XmlMemorySource>(std::string(body), "buddy reply")), sink_(sink) {}

 protected:
  void Parse() override {
    while (NextToken()) {
      switch (type()) {
        case XmlToken::StartTag: Start(); break;
        case XmlToken::Text: TextToken(); break;
        case XmlToken::EndTag: End(Name()); break;
        case XmlToken::Declaration: break;
      }
    }
  }

 private:
  void Start() {
    std::string name = Name();
    const bool empty = EmptyElement();
    if (overflow_ > 0) {  // too deep to look into
      if (!empty) Push(std::move(name));
      return;
    }
    if (record_ != RecordKind::None) {
      // A direct child of the open record names one of its fields.
      if (stack_.size() == recordDepth_ && empty) Field(name, std::string());
      if (!empty) Push(std::move(name));
      return;
    }
    if (name == "result") {
      if (const auto id = IntAttribute("id")) sink_.Result(*id);
    } else if (name == "track") {
      if (const auto id = IntAttribute("id")) sink_.Track(*id);
    } else if (name == "buddylist") {
      sink_.ListBegin();
      if (empty) sink_.ListEnd();
    } else if (name == "buddypositions") {
      sink_.PositionsBegin();
      if (empty) sink_.PositionsEnd();
    } else if (name == "buddy" || name == "buddyposition" || (name == "msg" && !InUser())) {
      record_ = name == "buddy" ? RecordKind::Buddy : name == "buddyposition" ? RecordKind::Position : RecordKind::Message;
      buddy_ = {};
      position_ = {};
      message_ = {};
      const auto id = IntAttribute("id");
      buddy_.id = position_.id = message_.id = id;
      if (empty) {
        Deliver();
        return;
      }
      Push(std::move(name));
      recordDepth_ = stack_.size();
      return;
    }
    if (!empty) Push(std::move(name));
  }

  void TextToken() {
    // The text of a field: the record's direct child is on top of the stack.
    if (record_ == RecordKind::None || stack_.size() != recordDepth_ + 1 || overflow_ > 0) return;
    Field(stack_.back(), Text(true));
  }

  void End(const std::string& name) {
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    // Close up to the matching open element; an end tag that matches none is ignored.
    std::size_t at = stack_.size();
    while (at > 0 && stack_[at - 1] != name) --at;
    if (at == 0) return;
    while (stack_.size() >= at) {
      const std::string closed = std::move(stack_.back());
      stack_.pop_back();
      if (record_ != RecordKind::None && stack_.size() + 1 == recordDepth_) {
        Deliver();
      } else if (record_ == RecordKind::None && closed == "buddylist") {
        sink_.ListEnd();
      } else if (record_ == RecordKind::None && closed == "buddypositions") {
        sink_.PositionsEnd();
      }
    }
  }

  void Push(std::string name) {
    if (stack_.size() >= kMaxDepth) {
      ++overflow_;
      return;
    }
    stack_.push_back(std::move(name));
  }

  void Field(const std::string& name, std::string text) {
    switch (record_) {
      case RecordKind::Buddy:
        if (name == "nickname") buddy_.nickname = CutUtf8(text, kMaxReplyText);
        if (name == "enabled") buddy_.enabled = ScanInt(text);
        break;
      case RecordKind::Position:
        if (name == "age") position_.age = ScanInt(text);
        if (name == "t") position_.t = ScanInt(text);
        if (name == "y") position_.latitude = ScanReal(text);
        if (name == "x") position_.longitude = ScanReal(text);
        if (name == "h") position_.heading = ScanReal(text);
        if (name == "s") position_.speed = ScanReal(text);
        break;
      case RecordKind::Message:
        if (name == "buddy") message_.buddy = ScanInt(text);
        if (name == "age") message_.age = ScanInt(text);
        if (name == "m") message_.text = CutUtf8(text, kMaxReplyText);
        break;
      case RecordKind::None: break;
    }
  }

  void Deliver() {
    const RecordKind kind = record_;
    record_ = RecordKind::None;
    recordDepth_ = 0;
    switch (kind) {
      case RecordKind::Buddy: sink_.Buddy(buddy_); break;
      case RecordKind::Position: sink_.Position(position_); break;
      case RecordKind::Message: sink_.Message(message_); break;
      case RecordKind::None: break;
    }
  }

  // The session's "msg" (a server message inside "user") is no chat message.
  bool InUser() const { return !stack_.empty() && stack_.back() == "user"; }

  std::optional<std::int32_t> IntAttribute(std::string_view name) const {
    const std::optional<std::string> value = Attribute(name);
    return value ? ScanInt(*value) : std::nullopt;
  }

  TrackerReplySink& sink_;
  std::vector<std::string> stack_;  // open elements, outermost first
  std::size_t overflow_ = 0;        // open elements beyond kMaxDepth
  RecordKind record_ = RecordKind::None;
  std::size_t recordDepth_ = 0;  // stack size with the record's element on top
  BuddyRecord buddy_;
  PositionRecord position_;
  MessageRecord message_;
};

}  // namespace

void ReadTrackerReply(std::string_view body, TrackerReplySink& sink) {
  TrackerReplyReader reader(body, sink);
  reader.Read();
}

}  // namespace rovana
