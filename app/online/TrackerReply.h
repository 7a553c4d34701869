// The reader shared by every reply of the buddy actions. Elements are found
// at any depth; unknown elements are skipped:
//
//   <result id="0"/>                              the action's result code
//   <track id="42"/>                              the active track id
//   <buddylist>                                   a whole list: buddies not in it are dropped
//     <buddy id="3"><nickname>Anna</nickname><enabled>1</enabled></buddy>
//   </buddylist>
//   <buddypositions>                              positions of the enabled buddies
//     <buddyposition id="3"><age>5</age><t>1</t>
//       <y>48.1</y><x>11.5</x><h>90</h><s>12.5</s></buddyposition>
//   </buddypositions>
//   <msg id="9"><buddy>3</buddy><age>20</age><m>Hello</m></msg>   a chat message
//
// A "msg" directly inside "user" is the session's server message, not chat.
// Elements nested more than 64 deep are not looked into.
// A record (buddy, buddyposition, msg) takes the texts of its direct
// children; it is handed on at its end tag, or when an enclosing element
// ends first. A list's end is handed on only when its end tag is read, so a
// reply cut inside a list never drops buddies; records still open at the end
// of the data are dropped. Numbers that do not convert leave their field
// unset; texts are cut to kMaxReplyText bytes at a character boundary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rovana {

struct BuddyRecord {
  std::optional<std::int32_t> id;
  std::optional<std::string> nickname;
  std::optional<std::int32_t> enabled;
};

struct PositionRecord {
  std::optional<std::int32_t> id;
  std::optional<std::int32_t> age, t;
  std::optional<double> latitude, longitude, heading;  // degrees (y, x, h)
  std::optional<double> speed;                         // s, as sent
};

struct MessageRecord {
  std::optional<std::int32_t> id;
  std::optional<std::int32_t> buddy;
  std::optional<std::int32_t> age;  // seconds since it was sent
  std::string text;                 // m
};

// What the reader finds, in document order.
class TrackerReplySink {
 public:
  virtual ~TrackerReplySink() = default;
  virtual void Result(std::int32_t code) = 0;
  virtual void Track(std::int32_t id) = 0;
  virtual void ListBegin() = 0;
  virtual void ListEnd() = 0;
  virtual void Buddy(const BuddyRecord& buddy) = 0;
  virtual void PositionsBegin() = 0;
  virtual void PositionsEnd() = 0;
  virtual void Position(const PositionRecord& position) = 0;
  virtual void Message(const MessageRecord& message) = 0;
};

void ReadTrackerReply(std::string_view body, TrackerReplySink& sink);

}  // namespace rovana
