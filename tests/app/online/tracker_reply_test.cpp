// The buddy replies read into the tracker: lists, positions, messages and the
// track, chat lines with their local times, the buddy actions, and hostile
// replies (cut, mis-nested, huge, deep, binary, too many buddies).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "app/online/Tracker.h"
#include "tests/app/online/TrackerFixture.h"
#include "tests/support/ScopedTimeZone.h"

namespace rovana {
namespace {

using testing_support::kDeg;
using testing_support::kTwoBuddies;
using testing_support::ResultReply;
using testing_support::Utc;

class TrackerReplyTest : public testing_support::TrackerFixture {
 protected:
  void SetUp() override {
    TrackerFixture::SetUp();
    server_.Always("bp", ResultReply(0));
    server_.Always("bl", ResultReply(0));
    Fresh();
  }
  // A tracker that has been through one step: logged in, no buddies, no list wanted.
  void Fresh() {
    tracker_ = MakeTracker();
    Step();
    ASSERT_FALSE(tracker_->needBuddyList());
    ASSERT_TRUE(tracker_->Buddies().empty());
  }
  std::string Summary() const {
    std::string out;
    for (const Buddy& b : tracker_->Buddies()) {
      if (!out.empty()) out += ";";
      out += std::to_string(b.id) + " " + b.nickname + (b.enabled ? " on" : " off");
      if (b.hasPosition) {
        char p[64];
        std::snprintf(p, sizeof p, " @%.4f,%.4f", b.latitude / kDeg, b.longitude / kDeg);
        out += p;
      }
    }
    return out;
  }
};

constexpr const char* kThreeBuddies =
    "<buddylist><buddy id=\"1\"><nickname>Anna</nickname><enabled>1</enabled></buddy>"
    "<buddy id=\"2\"><nickname>Bob</nickname><enabled>0</enabled></buddy>"
    "<buddy id=\"3\"><nickname>Cem</nickname><enabled>1</enabled></buddy></buddylist>";
constexpr const char* kAnnaAt =
    "<buddypositions><buddyposition id=\"1\"><age>5</age><t>3</t><y>48.5</y><x>11.25</x><h>90</h><s>12.5</s>"
    "</buddyposition></buddypositions>";

struct ReplyCase {
  const char* name;
  std::vector<std::string> replies;
  const char* buddies;
  bool needList = false;
};

TEST_F(TrackerReplyTest, ListsAndPositions) {
  const ReplyCase cases[] = {
      {"a list gives the buddies in order", {kTwoBuddies}, "1 Anna on;2 Bob off"},
      {"a later list drops who is not in it",
       {kTwoBuddies, "<buddylist><buddy id=\"2\"><nickname>Bob</nickname></buddy></buddylist>"}, "2 Bob off"},
      {"an empty list element drops everyone", {kTwoBuddies, "<buddylist/>"}, ""},
      {"an empty list drops everyone", {kTwoBuddies, "<buddylist></buddylist>"}, ""},
      {"a list deep inside the reply",
       {"<a><b><c><buddylist><buddy id=\"3\"><nickname>Cem</nickname><enabled>1</enabled></buddy></buddylist></c></b></a>"},
       "3 Cem on"},
      {"a buddy outside a list is added and nobody dropped",
       {kTwoBuddies, "<buddy id=\"4\"><nickname>Dana</nickname></buddy>"}, "1 Anna on;2 Bob off;4 Dana off"},
      {"a buddy updated in place keeps its place",
       {kTwoBuddies, "<buddylist><buddy id=\"2\"><nickname>Bobby</nickname><enabled>1</enabled></buddy><buddy id=\"1\"/></buddylist>"},
       "1 Anna on;2 Bobby on"},
      {"positions in degrees", {kTwoBuddies, kAnnaAt}, "1 Anna on @48.5000,11.2500;2 Bob off"},
      {"an enabled buddy without a position in a position list stays, without one", {kThreeBuddies, kAnnaAt},
       "1 Anna on @48.5000,11.2500;2 Bob off;3 Cem on"},
      {"an empty position list takes every enabled buddy's position",
       {kThreeBuddies, kAnnaAt, "<buddypositions/>"}, "1 Anna on;2 Bob off;3 Cem on"},
      {"a position of an unknown buddy asks for the list",
       {kTwoBuddies,
        "<buddypositions><buddyposition id=\"1\"><y>1</y><x>2</x></buddyposition>"
        "<buddyposition id=\"9\"><y>3</y><x>4</x></buddyposition></buddypositions>"},
       "1 Anna on @1.0000,2.0000;2 Bob off", true},
      {"a position outside a list drops nobody",
       {kThreeBuddies, "<buddyposition id=\"3\"><y>-33.5</y><x>-70.25</x></buddyposition>"},
       "1 Anna on;2 Bob off;3 Cem on @-33.5000,-70.2500"},
      // Hostile replies.
      {"a list cut short drops nobody and its open record is dropped",
       {kTwoBuddies, "<buddylist><buddy id=\"1\"><nickname>Changed"}, "1 Anna on;2 Bob off"},
      {"a buddy without its end tag ends with its list",
       {kTwoBuddies, "<buddylist><buddy id=\"5\"><nickname>Eve</nickname></buddylist>"}, "5 Eve off"},
      {"an end tag that matches nothing is ignored",
       {"<buddylist></foo><buddy id=\"6\"><nickname>F</nickname></buddy></buddylist>"}, "6 F off"},
      {"ids that are no number or too big, and none", {"<buddy id=\"x\"/><buddy id=\"99999999999\"/><buddy/>"}, ""},
      {"coordinates beyond the globe leave no position",
       {kTwoBuddies, "<buddypositions><buddyposition id=\"1\"><y>1e308</y><x>11</x></buddyposition></buddypositions>"},
       "1 Anna on;2 Bob off"},
      {"coordinates that are no numbers leave no position",
       {kTwoBuddies, "<buddypositions><buddyposition id=\"1\"><y>nan</y><x>inf</x></buddyposition></buddypositions>"},
       "1 Anna on;2 Bob off"},
      {"a position without coordinates",
       {kTwoBuddies, "<buddypositions><buddyposition id=\"1\"><age>3</age></buddyposition></buddypositions>"},
       "1 Anna on;2 Bob off"},
      {"unknown elements, attributes, declarations and comments are skipped",
       {"<?xml version=\"1.0\"?><!-- note --><reply><weather sun=\"1\"><buddy id=\"1\" x=\"y\"><nickname>Ann</nickname>"
        "<colour>red</colour></buddy></weather></reply>"},
       "1 Ann off"},
      {"a field nested deeper is not the record's",
       {"<buddy id=\"1\"><x><nickname>Deep</nickname></x><nickname>Top</nickname></buddy>"}, "1 Top off"},
      {"references and UTF-8 in a nickname",
       {"<buddy id=\"1\"><nickname>A&amp;B &#233; \xC3\xBC</nickname><enabled>7</enabled></buddy>"},
       "1 A&B \xC3\xA9 \xC3\xBC on"},
      {"an enabled value that is no number changes nothing",
       {kTwoBuddies, "<buddy id=\"1\"><enabled>yes</enabled></buddy>"}, "1 Anna on;2 Bob off"},
      {"an empty nickname element empties the nickname", {kTwoBuddies, "<buddy id=\"1\"><nickname/></buddy>"},
       "1  on;2 Bob off"},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    for (const std::string& reply : c.replies) tracker_->ReadReply(reply);
    EXPECT_EQ(Summary(), c.buddies);
    EXPECT_EQ(tracker_->needBuddyList(), c.needList);
  }
}

TEST_F(TrackerReplyTest, PositionDetailsAndTrack) {
  tracker_->ReadReply(kTwoBuddies);
  tracker_->ReadReply(kAnnaAt);
  const std::optional<Buddy> anna = tracker_->FindBuddy(1);
  ASSERT_TRUE(anna);
  EXPECT_NEAR(anna->heading, 90 * kDeg, 1e-12);
  EXPECT_EQ(anna->speed, 12.5);
  EXPECT_EQ(anna->age, 5);
  EXPECT_EQ(anna->t, 3);
  EXPECT_EQ(anna->lastSeen, tick_.load());
  EXPECT_FALSE(tracker_->FindBuddy(7));

  EXPECT_EQ(tracker_->ReadReply("<reply><result id=\"14\"/><result id=\"0\"/><track id=\"42\"/></reply>"), 14)
      << "the first result counts";
  EXPECT_EQ(tracker_->trackId(), 42);
  EXPECT_EQ(tracker_->ReadReply("<reply/>"), std::nullopt);
}

TEST_F(TrackerReplyTest, HugeTextsAreCutAtACharacterBoundary) {
  std::string nickname;
  for (int i = 0; i < 2500; ++i) nickname += "\xC3\xA9";  // 5000 bytes
  tracker_->ReadReply("<buddy id=\"1\"><nickname>" + nickname + "</nickname></buddy>");
  const std::optional<Buddy> b = tracker_->FindBuddy(1);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->nickname.size(), 1024u);
  EXPECT_EQ(b->nickname, nickname.substr(0, 1024));

  // A text too long for the reader's window ends the reply there.
  tracker_->ReadReply(kTwoBuddies);
  tracker_->ReadReply("<buddylist><buddy id=\"1\"><nickname>" + std::string(40000, 'x') + "</nickname></buddy></buddylist>");
  EXPECT_EQ(Summary(), "1 Anna on;2 Bob off");
}

TEST_F(TrackerReplyTest, DeepNestingAndJunkDoNoHarm) {
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += "<a>";
  tracker_->ReadReply(deep + kTwoBuddies);
  EXPECT_TRUE(tracker_->Buddies().empty()) << "elements deeper than the reader looks are unknown";
  tracker_->ReadReply(std::string(5000, '<') + std::string(5000, '>'));

  std::mt19937 random(3);
  for (int round = 0; round < 300; ++round) {
    std::string junk(random() % 600, '\0');
    for (char& c : junk) c = static_cast<char>(random() % 256);
    if (round % 2) junk = "<buddylist><buddy id=\"1\">" + junk;
    tracker_->ReadReply(junk);
  }
  EXPECT_LE(tracker_->Buddies().size(), Tracker::kMaxBuddies);
}

TEST_F(TrackerReplyTest, AtMostAThousandBuddies) {
  std::string list = "<buddylist>";
  for (int i = 1; i <= 5000; ++i) list += "<buddy id=\"" + std::to_string(i) + "\"/>";
  list += "</buddylist>";
  tracker_->ReadReply(list);
  const std::vector<Buddy> buddies = tracker_->Buddies();
  ASSERT_EQ(buddies.size(), Tracker::kMaxBuddies);
  EXPECT_EQ(buddies.front().id, 1);
  EXPECT_EQ(buddies.back().id, 1000);
  EXPECT_NE(LogText().find("more than 1000 buddies"), std::string::npos);
}

struct ChatCase {
  const char* name;
  const char* zone;
  std::time_t now;
  std::string message;  // the <msg> element
  const char* line;
  bool needList = false;
};

TEST_F(TrackerReplyTest, ReceivedChatLines) {
  const std::time_t morning = Utc(2026, 12, 9, 10, 0, 20);
  const ChatCase cases[] = {
      {"a known buddy", "UTC", morning, "<msg id=\"1\"><buddy>1</buddy><age>20</age><m>Hello</m></msg>",
       "2026-12-09 10:00:00 received Anna:\r\nHello"},
      {"the local time", "CET-1", morning, "<msg id=\"1\"><buddy>1</buddy><age>20</age><m>Hello</m></msg>",
       "2026-12-09 11:00:00 received Anna:\r\nHello"},
      {"an age reaching into yesterday", "UTC", Utc(2026, 12, 9, 0, 0, 10),
       "<msg id=\"1\"><buddy>1</buddy><age>20</age><m>Hi</m></msg>", "2026-12-08 23:59:50 received Anna:\r\nHi"},
      {"an age of days", "UTC", Utc(2026, 12, 9, 10, 0, 0),
       "<msg id=\"1\"><buddy>2</buddy><age>183600</age><m>old</m></msg>", "2026-12-07 07:00:00 received Bob:\r\nold"},
      {"a negative age is now", "UTC", morning, "<msg id=\"1\"><buddy>1</buddy><age>-50</age><m>x</m></msg>",
       "2026-12-09 10:00:20 received Anna:\r\nx"},
      {"no age is now", "UTC", morning, "<msg><buddy>1</buddy><m>x</m></msg>", "2026-12-09 10:00:20 received Anna:\r\nx"},
      {"an unknown buddy", "UTC", morning, "<msg id=\"1\"><buddy>9</buddy><age>0</age><m>who?</m></msg>",
       "2026-12-09 10:00:20 received ?:\r\nwho?", true},
      {"line breaks become CR LF", "UTC", morning, "<msg><buddy>1</buddy><m>a\nb\r\nc\rd</m></msg>",
       "2026-12-09 10:00:20 received Anna:\r\na\r\nb\r\nc\r\nd"},
      {"an empty message", "UTC", morning, "<msg><buddy>1</buddy><m/></msg>", "2026-12-09 10:00:20 received Anna:\r\n"},
  };
  for (const ChatCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::ScopedTimeZone zone(c.zone);
    Fresh();
    tracker_->ReadReply(kTwoBuddies);
    store_->chatMessages.Clear();
    received_.clear();
    now_ = c.now;
    tracker_->ReadReply("<reply><result id=\"0\"/>" + c.message + "</reply>");
    Drain();
    EXPECT_EQ(store_->chatMessages.items(), std::vector<std::string>{c.line});
    EXPECT_EQ(received_, std::vector<std::string>{c.line});
    EXPECT_EQ(tracker_->needBuddyList(), c.needList);
  }
}

TEST_F(TrackerReplyTest, MessagesThatAreNoChat) {
  tracker_->ReadReply(kTwoBuddies);
  Drain();
  tracker_->ReadReply("<reply><user id=\"17\"><msg>Welcome</msg></user></reply>");
  tracker_->ReadReply("<reply><msg id=\"3\"><age>1</age><m>from nobody</m></msg></reply>");
  EXPECT_EQ(ui_.pending(), 0u);
  EXPECT_TRUE(received_.empty());
}

TEST_F(TrackerReplyTest, EqualLinesAreAllKept) {
  testing_support::ScopedTimeZone zone("UTC");
  tracker_->ReadReply(kTwoBuddies);
  const std::string twice =
      "<reply><msg><buddy>1</buddy><m>ok</m></msg><msg><buddy>1</buddy><m>ok</m></msg></reply>";
  tracker_->ReadReply(twice);
  Drain();
  EXPECT_EQ(store_->chatMessages.size(), 2u);
}

TEST_F(TrackerReplyTest, SendingAChatMessage) {
  testing_support::ScopedTimeZone zone("UTC");
  now_ = Utc(2026, 12, 9, 12, 30, 5);
  tracker_->ReadReply(kTwoBuddies);
  server_.Queue("cs", ResultReply(0));
  server_.Queue("cs", ResultReply(14));
  EXPECT_TRUE(tracker_->SendChat(1, "Hi there"));
  EXPECT_FALSE(tracker_->SendChat(1, "lost"));
  Drain();
  EXPECT_EQ(store_->chatMessages.items(), std::vector<std::string>{"2026-12-09 12:30:05 sent Anna:\r\nHi there"});
  EXPECT_EQ(testing_support::QueryValue(server_.requests().back().path, "m"), "lost");
  EXPECT_TRUE(received_.empty()) << "a sent line is not a received one";
}

TEST_F(TrackerReplyTest, BuddyActions) {
  tracker_->ReadReply(kTwoBuddies);
  server_.Queue("ba", ResultReply(15));
  EXPECT_FALSE(tracker_->AddBuddy("Cem", "0000"));
  EXPECT_FALSE(tracker_->needBuddyList());
  server_.Queue("ba", ResultReply(0));
  EXPECT_TRUE(tracker_->AddBuddy("Cem", "1234"));
  EXPECT_TRUE(tracker_->needBuddyList()) << "the new buddy comes with the next list";

  server_.Queue("bc", ResultReply(0));
  EXPECT_TRUE(tracker_->EnableBuddy(2, true));
  EXPECT_TRUE(tracker_->FindBuddy(2)->enabled);

  server_.Queue("bd", std::nullopt);
  EXPECT_FALSE(tracker_->DeleteBuddy(2));
  EXPECT_TRUE(tracker_->FindBuddy(2));
  server_.Queue("bd", ResultReply(0));
  EXPECT_TRUE(tracker_->DeleteBuddy(2));
  EXPECT_FALSE(tracker_->FindBuddy(2));

  server_.Queue("uc", "<reply><result id=\"0\"/><user id=\"17\"><nickname>Annie</nickname><pincode>1111</pincode></user></reply>");
  EXPECT_TRUE(tracker_->ChangeIdentity("Annie", "1111"));
  Drain();
  EXPECT_EQ(store_->trackerNickname, "Annie");
  EXPECT_EQ(store_->trackerPINpublic, "1111");

  const std::vector<std::string> actions = server_.actions();
  ASSERT_GE(actions.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(actions.end() - 6, actions.end()),
            (std::vector<std::string>{"ba", "ba", "bc", "bd", "bd", "uc"}));
}

TEST_F(TrackerReplyTest, ChatLineFormat) {
  testing_support::ScopedTimeZone zone("UTC");
  EXPECT_EQ(Tracker::FormatChatLine(Utc(2011, 7, 9, 8, 5, 3), "sent", "Z", "t"), "2011-07-09 08:05:03 sent Z:\r\nt");
}

}  // namespace
}  // namespace rovana
