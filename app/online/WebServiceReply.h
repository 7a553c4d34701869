// The session's elements of a web-service reply (login, registration and
// the buddy actions), read with the application's XML reader:
//
//   <result id="0"/>                     the result code of the action
//   <user id="17">                       the user id
//     <session>4711</session>            the session id
//     <nickname>Anna</nickname>          the user's nickname (UTF-8)
//     <pincode>6137</pincode>            the user's public PIN
//     <msg>Welcome back</msg>            a message to show after login
//   </user>
//
// Elements are found at any depth; unknown ones are skipped. The first
// `result` counts. A number that does not convert leaves its field unset.
// Texts are cut to kMaxReplyText bytes at a character boundary. A damaged or
// cut reply gives what was read before the damage.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rovana {

inline constexpr std::size_t kMaxReplyText = 1024;

struct SessionReply {
  std::optional<std::int32_t> result;
  std::optional<std::int32_t> userId;
  std::optional<std::int32_t> sessionId;
  std::optional<std::string> nickname;
  std::optional<std::string> pincode;
  std::string message;
};

SessionReply ReadSessionReply(std::string_view body);

// `text` cut to at most `limit` bytes without splitting a UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t limit);

}  // namespace rovana
