// Registration, login, sessions, nickname and PIN, rate limits and the
// action table, over real HTTP on loopback.
#include <gtest/gtest.h>

#include "tests/server/ServerHarness.h"

using server_test::Login;
using server_test::Reply;
using server_test::TestServer;

namespace {

std::string LoginQuery(const std::string& email, const std::string& password) {
  return "a=ul&e=" + TestServer::Encode(email) + "&p=" + TestServer::Encode(password) +
         "&s=&v=3.4.6+Linux&l=0&d=PPC&c=00112233445566778899aabbccddeeff&tick=77";
}

TEST(ServerAccounts, RegisterThenLogInGivesUserSessionNicknameAndPin) {
  TestServer server;
  ASSERT_TRUE(server.valid());
  const Reply registered = server.Get("a=ur&e=anna%40example.org&p=geheim&tick=1");
  EXPECT_EQ(registered.status, 200);
  EXPECT_TRUE(registered.wellFormed) << registered.body;
  EXPECT_EQ(registered.result(), 0);

  const Reply login = server.Get(LoginQuery("anna@example.org", "geheim"));
  EXPECT_TRUE(login.wellFormed) << login.body;
  ASSERT_EQ(login.result(), 0) << login.body;
  const auto* user = login.First("user");
  ASSERT_NE(user, nullptr);
  ASSERT_TRUE(user->id.has_value());
  EXPECT_GT(*user->id, 0);
  EXPECT_GT(std::stoll(login.TextOf("session", "user")), 0);
  EXPECT_EQ(login.TextOf("nickname", "user"), "");
  EXPECT_EQ(login.TextOf("pincode", "user"), "");
  EXPECT_EQ(login.First("msg"), nullptr);  // no server message configured
  // Every login opens a session of its own.
  const Reply again = server.Get(LoginQuery("anna@example.org", "geheim"));
  EXPECT_NE(again.TextOf("session", "user"), login.TextOf("session", "user"));
}

TEST(ServerAccounts, ResultCodesOfRegisterAndLogin) {
  TestServer server;
  ASSERT_EQ(server.Get("a=ur&e=bob%40example.org&p=right").result(), 0);
  struct Case {
    const char* name;
    std::string query;
    int result;
  };
  const Case cases[] = {
      {"register a taken e-mail", "a=ur&e=bob%40example.org&p=x", 5},
      {"register a taken e-mail in other case", "a=ur&e=BOB%40Example.org&p=x", 5},
      {"register without password", "a=ur&e=new%40example.org&p=", 3},
      {"register without @", "a=ur&e=bob.example.org&p=x", 4},
      {"register with a space", "a=ur&e=b+ob%40example.org&p=x", 4},
      {"register with two @", "a=ur&e=a%40b%40example.org&p=x", 4},
      {"register with nothing before @", "a=ur&e=%40example.org&p=x", 4},
      {"register without e", "a=ur&p=x", 4},
      {"log in an unknown user", LoginQuery("nobody@example.org", "x"), 12},
      {"log in with the wrong password", LoginQuery("bob@example.org", "wrong"), 1},
      {"log in with the password in other case", LoginQuery("bob@example.org", "RIGHT"), 1},
      {"log in without password", LoginQuery("bob@example.org", ""), 3},
      {"log in with the e-mail in other case", LoginQuery("Bob@EXAMPLE.org", "right"), 0},
      {"log in with an overlong device id", LoginQuery("bob@example.org", "right") +
                                                "&c=" + std::string(65, 'a'), 0},
      {"log in with a binary version", "a=ul&v=%01%02&e=bob%40example.org&p=right", 2},
      {"no action", "e=bob%40example.org", 10},
      {"unknown action", "a=zz&tick=1", 10},
      {"action in other case", "a=UL&e=bob%40example.org&p=right", 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply reply = server.Get(c.query);
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.wellFormed) << reply.body;
    EXPECT_EQ(reply.result(), c.result) << reply.body;
  }
}

TEST(ServerAccounts, TheServerMessageComesWithEveryLogin) {
  auto config = server_test::TestConfig();
  config.loginMessage = "Wartung am Montag <22:00> & danach";
  TestServer server(config);
  server.Get("a=ur&e=c%40example.org&p=pw");
  const Reply login = server.Get(LoginQuery("c@example.org", "pw"));
  EXPECT_EQ(login.TextOf("msg", "user"), "Wartung am Montag <22:00> & danach");
}

TEST(ServerAccounts, EveryServiceActionChecksUserAndSession) {
  TestServer server;
  const Login anna = server.SignUp("anna@example.org");
  const Login bob = server.SignUp("bob@example.org");
  ASSERT_NE(anna.session, 0);
  ASSERT_NE(bob.session, 0);
  const char* actions[] = {"uc&n=x&c=1", "ct", "up&t=1&p=10&y=1&x=1&e=1&v=1&h=1", "bc&b=1&e=1",
                           "bl", "bp", "ba&n=x&c=1", "bd&b=1", "cs&b=1&m=x", "cr", "gm",
                           "gc&q=x", "di&sa=1%2C2&da=3%2C4", "ro&sa=1%2C2&da=3%2C4",
                           "ls&d=1%2C2&b=x", "pa&q=x", "gn&q=x", "ys&q=x"};
  struct Case {
    const char* name;
    std::string suffix;
  };
  const Case refused[] = {
      {"no i and s", "&tick=5"},
      {"no s", "&i=" + std::to_string(anna.user) + "&tick=5"},
      {"unknown session", "&i=" + std::to_string(anna.user) + "&s=1&tick=5"},
      {"another user's session", "&i=" + std::to_string(anna.user) + "&s=" +
                                     std::to_string(bob.session) + "&tick=5"},
      {"session not a number", "&i=" + std::to_string(anna.user) + "&s=abc&tick=5"},
  };
  for (const char* action : actions) {
    for (const Case& c : refused) {
      SCOPED_TRACE(std::string(action) + ": " + c.name);
      const Reply reply = server.Get(std::string("a=") + action + c.suffix);
      EXPECT_TRUE(reply.wellFormed);
      EXPECT_EQ(reply.result(), 7) << reply.body;
    }
  }
  // The relay actions answer an empty, valid reply for a good session.
  for (const char* relay : {"gm", "gc&q=Berlin", "di&sa=1%2C2&da=3%2C4", "ro&sa=1%2C2&da=3%2C4",
                            "ls&d=1%2C2&b=Pizza", "pa&q=x", "gn&q=x", "ys&q=x"}) {
    SCOPED_TRACE(relay);
    const Reply reply = server.Get(std::string("a=") + relay + anna.Suffix());
    EXPECT_TRUE(reply.wellFormed);
    EXPECT_EQ(reply.result(), 0);
  }
}

TEST(ServerAccounts, ASessionEndsAfterTheIdleTimeAndLivesWhileUsed) {
  auto config = server_test::TestConfig();
  config.sessionIdleSeconds = 600;
  TestServer server(config);
  const Login anna = server.SignUp("anna@example.org");
  // Used every 500 s, it lives far beyond 600 s.
  for (int step = 0; step < 6; ++step) {
    SCOPED_TRACE(step);
    server.Advance(500);
    EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 0);
  }
  server.Advance(601);
  EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 7);
  // Gone for good, even if the clock came back.
  server.Advance(-601);
  EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 7);
  // A new login gives a working session.
  const Login again = server.SignUp("anna@example.org");
  EXPECT_EQ(again.user, anna.user);
  EXPECT_EQ(server.Get("a=bl" + again.Suffix()).result(), 0);
}

TEST(ServerAccounts, NicknameAndPinAreSetCheckedAndReturnedAtLogin) {
  TestServer server;
  const Login anna = server.SignUp("anna@example.org", "pw");
  const Login bob = server.SignUp("bob@example.org", "pw");
  EXPECT_EQ(server.Get("a=uc&n=Anna+K.&c=4711" + anna.Suffix()).result(), 0);
  struct Case {
    const char* name;
    std::string query;
    int result;
  };
  const Case cases[] = {
      {"taken nickname", "a=uc&n=Anna+K.&c=1" + bob.Suffix(), 16},
      {"taken nickname in other case", "a=uc&n=anna+k.&c=1" + bob.Suffix(), 16},
      {"empty nickname", "a=uc&n=&c=1" + bob.Suffix(), 2},
      {"no PIN", "a=uc&n=Bob" + bob.Suffix(), 2},
      {"nickname too long", "a=uc&n=" + std::string(33, 'b') + "&c=1" + bob.Suffix(), 2},
      {"PIN too long", "a=uc&n=Bob&c=" + std::string(17, '1') + bob.Suffix(), 2},
      {"control character", "a=uc&n=B%0Aob&c=1" + bob.Suffix(), 2},
      {"leading space", "a=uc&n=+Bob&c=1" + bob.Suffix(), 2},
      {"invalid UTF-8", "a=uc&n=B%FFob&c=1" + bob.Suffix(), 2},
      {"umlauts", "a=uc&n=J%C3%BCrgen&c=0815" + bob.Suffix(), 0},
      {"own nickname again", "a=uc&n=Anna+K.&c=4712" + anna.Suffix(), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(server.Get(c.query).result(), c.result);
  }
  const Reply annaLogin = server.Get(LoginQuery("anna@example.org", "pw"));
  EXPECT_EQ(annaLogin.TextOf("nickname", "user"), "Anna K.");
  EXPECT_EQ(annaLogin.TextOf("pincode", "user"), "4712");
  const Reply bobLogin = server.Get(LoginQuery("bob@example.org", "pw"));
  EXPECT_EQ(bobLogin.TextOf("nickname", "user"), "J\xC3\xBCrgen");
}

TEST(ServerAccounts, RateLimitsPerAddressForLoginsAndPerAccountForTheRest) {
  auto config = server_test::TestConfig();
  config.loginPerMinute = 6;  // one every 10 s
  config.loginBurst = 3;
  config.accountPerMinute = 60;
  config.accountBurst = 5;
  TestServer server(config);
  const Login anna = server.SignUp("anna@example.org");  // two of the three
  EXPECT_EQ(server.Get(LoginQuery("anna@example.org", "secret")).result(), 0);
  EXPECT_EQ(server.Get(LoginQuery("anna@example.org", "secret")).result(), 8);
  EXPECT_EQ(server.Get("a=ur&e=other%40example.org&p=x").result(), 8);
  server.Advance(10);
  EXPECT_EQ(server.Get(LoginQuery("anna@example.org", "secret")).result(), 0);

  for (int i = 0; i < 5; ++i) EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 0) << i;
  EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 8);
  EXPECT_EQ(server.Get("a=cr" + anna.Suffix()).result(), 8);
  server.Advance(2);
  EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 0);
  EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 0);
  EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 8);
  // Refused requests changed nothing: the account still works normally later.
  server.Advance(60);
  EXPECT_EQ(server.Get("a=ct" + anna.Suffix()).result(), 0);
}

}  // namespace
