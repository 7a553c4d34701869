// The session's elements of a reply: result, user, session, nickname, PIN
// and server message at any depth, and damaged or hostile replies.
#include "app/online/WebServiceReply.h"

#include <gtest/gtest.h>

#include <random>

namespace rovana {
namespace {

struct SessionCase {
  const char* name;
  std::string body;
  std::optional<int> result, user, session;
  std::optional<std::string> nickname, pincode;
  std::string message;
};

TEST(WebServiceReply, Table) {
  const SessionCase cases[] = {
      {"a whole login reply",
       "<?xml version=\"1.0\"?><reply><result id=\"0\"/><user id=\"17\"><session>4711</session><nickname>Anna</nickname>"
       "<pincode>2468</pincode><msg>Welcome</msg></user></reply>",
       0, 17, 4711, "Anna", "2468", "Welcome"},
      {"nothing", "", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, ""},
      {"the first result counts", "<result id=\"12\"/><result id=\"0\"/>", 12, {}, {}, {}, {}, ""},
      {"deep inside other elements", "<a><b><result id=\"5\"></result><c><user id=\"3\"/></c></b></a>", 5, 3, {}, {}, {}, ""},
      {"children outside user are not the user's",
       "<result id=\"0\"/><session>9</session><nickname>X</nickname><msg>chat</msg>", 0, {}, {}, {}, {}, ""},
      {"empty nickname and PIN", "<user id=\"1\"><nickname/><pincode></pincode></user>", {}, 1, {}, "", "", ""},
      {"a cut reply keeps what came before", "<result id=\"0\"/><user id=\"17\"><session>47", 0, 17, 47, {}, {}, ""},
      {"a result that is no number", "<result id=\"zero\"/>", {}, {}, {}, {}, {}, ""},
      {"a result too big", "<result id=\"99999999999\"/>", {}, {}, {}, {}, {}, ""},
      {"a session that is no number", "<user id=\"1\"><session>abc</session></user>", {}, 1, {}, {}, {}, ""},
      {"references and UTF-8", "<user id=\"1\"><nickname>A&amp;B \xC3\xA9</nickname><msg>1 &lt; 2</msg></user>", {}, 1, {},
       "A&B \xC3\xA9", {}, "1 < 2"},
      {"unknown elements are skipped",
       "<reply><weather/><result id=\"8\"><why>busy</why></result><user id=\"2\"><shoe>9</shoe></user></reply>", 8, 2, {},
       {}, {}, ""},
  };
  for (const SessionCase& c : cases) {
    SCOPED_TRACE(c.name);
    const SessionReply r = ReadSessionReply(c.body);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.userId, c.user);
    EXPECT_EQ(r.sessionId, c.session);
    EXPECT_EQ(r.nickname, c.nickname);
    EXPECT_EQ(r.pincode, c.pincode);
    EXPECT_EQ(r.message, c.message);
  }
}

TEST(WebServiceReply, HugeTextsAreCut) {
  const SessionReply r = ReadSessionReply("<user id=\"1\"><msg>" + std::string(5000, 'm') + "</msg></user>");
  EXPECT_EQ(r.message, std::string(kMaxReplyText, 'm'));
}

TEST(WebServiceReply, CutUtf8KeepsWholeCharacters) {
  EXPECT_EQ(CutUtf8("abc", 5), "abc");
  EXPECT_EQ(CutUtf8("ab\xE2\x82\xAC", 4), "ab");
  EXPECT_EQ(CutUtf8("ab\xE2\x82\xAC", 5), "ab\xE2\x82\xAC");
  EXPECT_EQ(CutUtf8("\xC3\xA9\xC3\xA9", 3), "\xC3\xA9");
  EXPECT_EQ(CutUtf8("abc", 0), "");
}

TEST(WebServiceReply, JunkDoesNoHarm) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    std::string junk(random() % 800, '\0');
    for (char& c : junk) c = static_cast<char>(random() % 256);
    if (round % 3 == 0) junk = "<user id=\"1\"><msg>" + junk;
    const SessionReply r = ReadSessionReply(junk);
    EXPECT_LE(r.message.size(), kMaxReplyText);
  }
}

}  // namespace
}  // namespace rovana
