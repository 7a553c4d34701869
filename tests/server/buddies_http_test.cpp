// Two accounts become buddies, see each other's positions and chat, over
// real HTTP on loopback.
#include <gtest/gtest.h>

#include "tests/server/ServerHarness.h"

using server_test::Login;
using server_test::Reply;
using server_test::TestServer;

namespace {

class ServerBuddies : public ::testing::Test {
 protected:
  void SetUp() override {
    anna = server.SignUp("anna@example.org");
    bob = server.SignUp("bob@example.org");
    ASSERT_NE(anna.session, 0);
    ASSERT_NE(bob.session, 0);
    ASSERT_EQ(server.Get("a=uc&n=Anna&c=1111" + anna.Suffix()).result(), 0);
    ASSERT_EQ(server.Get("a=uc&n=Bob+%26+Co&c=2222" + bob.Suffix()).result(), 0);
  }
  // Makes the two buddies, Anna adding Bob.
  void Befriend() {
    ASSERT_EQ(server.Get("a=ba&n=Bob+%26+Co&c=2222" + anna.Suffix()).result(), 0);
  }
  std::int64_t Track(const Login& who) {
    const Reply reply = server.Get("a=ct" + who.Suffix());
    const auto* track = reply.First("track");
    return track && track->id ? *track->id : 0;
  }
  int Upload(const Login& who, std::int64_t track, const std::string& values) {
    return server.Get("a=up&t=" + std::to_string(track) + "&p=10&" + values + who.Suffix()).result();
  }
  std::vector<std::int64_t> PositionIds(const Login& who) {
    std::vector<std::int64_t> ids;
    const Reply reply = server.Get("a=bp" + who.Suffix());
    EXPECT_TRUE(reply.First("buddypositions"));
    for (const auto& e : reply.All("buddyposition")) ids.push_back(e.id.value_or(-1));
    return ids;
  }

  TestServer server;
  Login anna, bob;
};

TEST_F(ServerBuddies, AddingNeedsTheRightNicknameAndPin) {
  struct Case {
    const char* name;
    std::string query;
    int result;
  };
  const Case cases[] = {
      {"unknown nickname", "a=ba&n=Carl&c=2222", 14},
      {"wrong PIN", "a=ba&n=Bob+%26+Co&c=2223", 15},
      {"no PIN", "a=ba&n=Bob+%26+Co", 15},
      {"oneself", "a=ba&n=Anna&c=1111", 13},
      {"no nickname", "a=ba&c=2222", 2},
      {"nickname in other case", "a=ba&n=bob+%26+co&c=2222", 0},
      {"again", "a=ba&n=Bob+%26+Co&c=2222", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(server.Get(c.query + anna.Suffix()).result(), c.result);
  }
  // The reply to an addition names the new buddy for the client's list.
  const Reply added = server.Get("a=ba&n=Bob+%26+Co&c=2222" + anna.Suffix());
  EXPECT_EQ(added.ChildrenOf("buddy", bob.user).at("nickname"), "Bob & Co");
}

TEST_F(ServerBuddies, BothSidesListEachOtherEnabled) {
  Befriend();
  const Reply annas = server.Get("a=bl" + anna.Suffix());
  ASSERT_TRUE(annas.wellFormed) << annas.body;
  ASSERT_EQ(annas.All("buddy").size(), 1u);
  EXPECT_EQ(annas.All("buddy")[0].parent, "buddylist");
  EXPECT_EQ(annas.ChildrenOf("buddy", bob.user),
            (std::map<std::string, std::string>{{"nickname", "Bob & Co"}, {"enabled", "1"}}));
  const Reply bobs = server.Get("a=bl" + bob.Suffix());
  EXPECT_EQ(bobs.ChildrenOf("buddy", anna.user).at("nickname"), "Anna");
  // A list without buddies is an empty list, not a missing one.
  const Login carl = server.SignUp("carl@example.org");
  const Reply carls = server.Get("a=bl" + carl.Suffix());
  EXPECT_TRUE(carls.First("buddylist"));
  EXPECT_TRUE(carls.All("buddy").empty());
}

TEST_F(ServerBuddies, EachSeesTheOthersLatestPositionWithItsAge) {
  Befriend();
  const std::int64_t annasTrack = Track(anna);
  const std::int64_t bobsTrack = Track(bob);
  ASSERT_GT(bobsTrack, 0);
  EXPECT_NE(annasTrack, bobsTrack);
  EXPECT_TRUE(PositionIds(anna).empty());  // Bob has not uploaded yet

  EXPECT_EQ(Upload(bob, bobsTrack, "y=53.5&x=9.9&e=12&v=30&h=90"), 0);
  server.Advance(10);
  EXPECT_EQ(Upload(bob, bobsTrack, "y=53.5511&x=-9.9937&e=15.5&v=42.25&h=271.5"), 0);
  server.Advance(25);
  const Reply positions = server.Get("a=bp" + anna.Suffix());
  ASSERT_TRUE(positions.wellFormed) << positions.body;
  const auto fields = positions.ChildrenOf("buddyposition", bob.user);
  EXPECT_EQ(fields.at("age"), "25");
  EXPECT_EQ(fields.at("t"), std::to_string(bobsTrack));
  EXPECT_EQ(fields.at("y"), "53.5511");
  EXPECT_EQ(fields.at("x"), "-9.9937");
  EXPECT_EQ(fields.at("h"), "271.5");
  EXPECT_EQ(fields.at("s"), "42.25");
  EXPECT_EQ(PositionIds(anna), std::vector<std::int64_t>{bob.user});

  EXPECT_EQ(Upload(anna, annasTrack, "y=48.1&x=11.6&e=500&v=0&h=0"), 0);
  EXPECT_EQ(PositionIds(bob), std::vector<std::int64_t>{anna.user});
  // Strangers see nobody.
  const Login carl = server.SignUp("carl@example.org");
  EXPECT_TRUE(PositionIds(carl).empty());
}

TEST_F(ServerBuddies, UploadsAreCheckedForTrackAndValues) {
  const std::int64_t track = Track(bob);
  struct Case {
    const char* name;
    std::string query;
    int result;
  };
  const Case cases[] = {
      {"another user's track", "a=up&t=" + std::to_string(track) + "&p=10&y=1&x=1&e=1&v=1&h=1" +
                                   anna.Suffix(), 13},
      {"unknown track", "a=up&t=999999&p=10&y=1&x=1&e=1&v=1&h=1" + bob.Suffix(), 13},
      {"latitude beyond 90", "a=up&t=" + std::to_string(track) + "&p=10&y=90.5&x=1&e=1&v=1&h=1" +
                                 bob.Suffix(), 2},
      {"longitude beyond 180", "a=up&t=" + std::to_string(track) +
                                   "&p=10&y=1&x=-180.1&e=1&v=1&h=1" + bob.Suffix(), 2},
      {"missing course", "a=up&t=" + std::to_string(track) + "&p=10&y=1&x=1&e=1&v=1" +
                             bob.Suffix(), 2},
      {"not a number", "a=up&t=" + std::to_string(track) + "&p=10&y=nan&x=1&e=1&v=1&h=1" +
                           bob.Suffix(), 2},
      {"decimal comma", "a=up&t=" + std::to_string(track) + "&p=10&y=1%2C5&x=1&e=1&v=1&h=1" +
                            bob.Suffix(), 2},
      {"negative interval", "a=up&t=" + std::to_string(track) + "&p=-1&y=1&x=1&e=1&v=1&h=1" +
                                bob.Suffix(), 2},
      {"the edges", "a=up&t=" + std::to_string(track) + "&p=0&y=-90&x=180&e=-400&v=0&h=360" +
                        bob.Suffix(), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(server.Get(c.query).result(), c.result);
  }
}

TEST_F(ServerBuddies, EitherSideDisablingHidesThePositionsBothWays) {
  Befriend();
  Upload(anna, Track(anna), "y=1&x=2&e=3&v=4&h=5");
  Upload(bob, Track(bob), "y=6&x=7&e=8&v=9&h=10");
  ASSERT_EQ(PositionIds(anna).size(), 1u);

  const Reply disabled = server.Get("a=bc&b=" + std::to_string(bob.user) + "&e=0" + anna.Suffix());
  EXPECT_EQ(disabled.result(), 0);
  EXPECT_EQ(disabled.ChildrenOf("buddy", bob.user).at("enabled"), "0");
  EXPECT_TRUE(PositionIds(anna).empty());
  EXPECT_TRUE(PositionIds(bob).empty());
  EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).ChildrenOf("buddy", bob.user).at("enabled"), "0");
  EXPECT_EQ(server.Get("a=bl" + bob.Suffix()).ChildrenOf("buddy", anna.user).at("enabled"), "1");

  EXPECT_EQ(server.Get("a=bc&b=" + std::to_string(bob.user) + "&e=1" + anna.Suffix()).result(), 0);
  EXPECT_EQ(PositionIds(anna), std::vector<std::int64_t>{bob.user});
  const Login carl = server.SignUp("carl@example.org");
  EXPECT_EQ(server.Get("a=bc&b=" + std::to_string(carl.user) + "&e=1" + anna.Suffix()).result(), 14);
  EXPECT_EQ(server.Get("a=bc&b=x&e=1" + anna.Suffix()).result(), 2);
}

TEST_F(ServerBuddies, ChatMessagesArriveOnceWithSenderAgeAndText) {
  Befriend();
  const std::string text = "Hallo Bob! <b>5 \xE2\x82\xAC</b> & \"mehr\"\r\nZweite Zeile";
  EXPECT_EQ(server.Get("a=cs&b=" + std::to_string(bob.user) + "&m=" + TestServer::Encode(text) +
                       anna.Suffix()).result(), 0);
  server.Advance(7);
  const Reply received = server.Get("a=cr" + bob.Suffix());
  ASSERT_TRUE(received.wellFormed) << received.body;
  const auto messages = received.All("msg");
  ASSERT_EQ(messages.size(), 1u);
  ASSERT_TRUE(messages[0].id);
  const auto fields = received.ChildrenOf("msg", *messages[0].id);
  EXPECT_EQ(fields.at("buddy"), std::to_string(anna.user));
  EXPECT_EQ(fields.at("age"), "7");
  EXPECT_EQ(fields.at("m"), text);
  // Delivered once: the next poll is empty, and the sender gets nothing back.
  EXPECT_TRUE(server.Get("a=cr" + bob.Suffix()).All("msg").empty());
  EXPECT_TRUE(server.Get("a=cr" + anna.Suffix()).All("msg").empty());

  const Login carl = server.SignUp("carl@example.org");
  struct Case {
    const char* name;
    std::string query;
    int result;
  };
  const Case cases[] = {
      {"to a stranger", "a=cs&b=" + std::to_string(carl.user) + "&m=hi" + anna.Suffix(), 14},
      {"empty", "a=cs&b=" + std::to_string(bob.user) + "&m=" + anna.Suffix(), 2},
      {"too long", "a=cs&b=" + std::to_string(bob.user) + "&m=" + std::string(1001, 'x') +
                       anna.Suffix(), 2},
      {"NUL byte", "a=cs&b=" + std::to_string(bob.user) + "&m=a%00b" + anna.Suffix(), 2},
      {"back from Bob", "a=cs&b=" + std::to_string(anna.user) + "&m=Hi+Anna" + bob.Suffix(), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(server.Get(c.query).result(), c.result);
  }
  const Reply annas = server.Get("a=cr" + anna.Suffix());
  ASSERT_EQ(annas.All("msg").size(), 1u);
  EXPECT_EQ(annas.TextOf("m", "msg"), "Hi Anna");
}

TEST_F(ServerBuddies, ManyMessagesComeInPortionsInTheOrderSent) {
  Befriend();
  for (int i = 0; i < 60; ++i) {
    ASSERT_EQ(server.Get("a=cs&b=" + std::to_string(bob.user) + "&m=n" + std::to_string(i) +
                         anna.Suffix()).result(), 0);
  }
  const Reply first = server.Get("a=cr" + bob.Suffix());
  const Reply second = server.Get("a=cr" + bob.Suffix());
  ASSERT_EQ(first.All("msg").size(), 50u);
  ASSERT_EQ(second.All("msg").size(), 10u);
  EXPECT_EQ(first.All("m").front().text, "n0");
  EXPECT_EQ(first.All("m").back().text, "n49");
  EXPECT_EQ(second.All("m").back().text, "n59");
}

TEST_F(ServerBuddies, DeletingEndsThePairOnBothSides) {
  Befriend();
  Upload(bob, Track(bob), "y=6&x=7&e=8&v=9&h=10");
  const Reply deleted = server.Get("a=bd&b=" + std::to_string(bob.user) + anna.Suffix());
  EXPECT_EQ(deleted.result(), 0);
  // The reply is the remaining list, so the client drops Bob at once.
  EXPECT_TRUE(deleted.First("buddylist"));
  EXPECT_TRUE(deleted.All("buddy").empty());
  EXPECT_TRUE(server.Get("a=bl" + bob.Suffix()).All("buddy").empty());
  EXPECT_TRUE(PositionIds(anna).empty());
  EXPECT_EQ(server.Get("a=cs&b=" + std::to_string(anna.user) + "&m=hallo" + bob.Suffix()).result(), 14);
  EXPECT_EQ(server.Get("a=bd&b=" + std::to_string(bob.user) + anna.Suffix()).result(), 14);
  EXPECT_EQ(server.Get("a=bd" + anna.Suffix()).result(), 2);
}

}  // namespace
