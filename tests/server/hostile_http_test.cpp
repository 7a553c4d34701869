// Hostile requests: every field of every action filled with junk, raw bytes
// on the socket, oversized and cut requests, many clients at once. The
// server answers each with a clean reply or HTTP error, keeps serving, the
// database stays whole, and the password never reaches the log.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/server/ServerHarness.h"

using server_test::Login;
using server_test::Reply;
using server_test::TestServer;

namespace {

constexpr const char* kPassword = "Zebra-Pa55w0rd";

struct Hostile {
  const char* name;
  std::string value;  // as it stands in the query
};

std::vector<Hostile> HostileValues() {
  return {
      {"SQL quote", "x'%3B+DROP+TABLE+accounts%3B+--"},
      {"SQL or", "%22+OR+1%3D1+--"},
      {"SQL comment and semicolon", "1%3B+DELETE+FROM+sessions"},
      {"huge", std::string(3500, 'A')},
      {"huge encoded", [] {
         std::string s;
         for (int i = 0; i < 1300; ++i) s += "%FF";
         return s;
       }()},
      {"binary", "%00%01%FF%FE%C0%AF"},
      {"cut UTF-8", "%E2%82"},
      {"lone percent", "%"},
      {"bad percent", "%G1%2"},
      {"markup", "%3C%2Freply%3E%3Cresult+id%3D%220%22%2F%3E"},
      {"entity", "%26amp%3B%26%23x0%3B"},
      {"negative", "-1"},
      {"beyond 64 bits", "99999999999999999999999"},
      {"real for integer", "1.5e308"},
      {"empty", ""},
      {"spaces", "+++"},
  };
}

// Each action with a query that would succeed and the fields it reads.
struct ActionFields {
  std::string action;
  std::vector<std::pair<std::string, std::string>> fields;
};

class ServerHostility : public ::testing::Test {
 protected:
  void SetUp() override {
    anna = server.SignUp("anna@example.org", kPassword);
    bob = server.SignUp("bob@example.org", kPassword);
    ASSERT_NE(anna.session, 0);
    ASSERT_EQ(server.Get("a=uc&n=Anna&c=1" + anna.Suffix()).result(), 0);
    ASSERT_EQ(server.Get("a=uc&n=Bob&c=2" + bob.Suffix()).result(), 0);
    ASSERT_EQ(server.Get("a=ba&n=Bob&c=2" + anna.Suffix()).result(), 0);
    const Reply track = server.Get("a=ct" + anna.Suffix());
    annasTrack = track.First("track")->id.value_or(0);
  }
  std::vector<ActionFields> Actions() const {
    const std::string b = std::to_string(bob.user);
    const std::string i = std::to_string(anna.user);
    const std::string s = std::to_string(anna.session);
    const std::string t = std::to_string(annasTrack);
    const std::string e = TestServer::Encode("anna@example.org");
    return {
        {"ur", {{"e", TestServer::Encode("new@example.org")}, {"p", "pw"}}},
        {"ul", {{"e", e}, {"p", kPassword}, {"s", ""}, {"v", "3.4.6"}, {"l", "0"}, {"d", "PPC"},
                {"c", "00"}}},
        {"uc", {{"n", "Anna"}, {"c", "1"}, {"i", i}, {"s", s}}},
        {"ct", {{"i", i}, {"s", s}}},
        {"up", {{"t", t}, {"p", "10"}, {"y", "1"}, {"x", "2"}, {"e", "3"}, {"v", "4"}, {"h", "5"},
                {"i", i}, {"s", s}}},
        {"bc", {{"b", b}, {"e", "1"}, {"i", i}, {"s", s}}},
        {"bl", {{"i", i}, {"s", s}}},
        {"bp", {{"i", i}, {"s", s}}},
        {"ba", {{"n", "Bob"}, {"c", "2"}, {"i", i}, {"s", s}}},
        {"bd", {{"b", "999999"}, {"i", i}, {"s", s}}},
        {"cs", {{"b", b}, {"m", "hi"}, {"i", i}, {"s", s}}},
        {"cr", {{"i", i}, {"s", s}}},
        {"gc", {{"q", "Berlin"}, {"i", i}, {"s", s}}},
        {"ls", {{"d", "1%2C2"}, {"b", "Pizza"}, {"i", i}, {"s", s}}},
    };
  }

  TestServer server;
  Login anna, bob;
  std::int64_t annasTrack = 0;
};

TEST_F(ServerHostility, JunkInEveryFieldGetsACleanReplyAndHarmsNothing) {
  int requests = 0;
  for (const ActionFields& action : Actions()) {
    for (std::size_t target = 0; target <= action.fields.size(); ++target) {
      for (const Hostile& hostile : HostileValues()) {
        // target == size: the hostile text as the action name itself.
        std::string query = "a=" + (target == action.fields.size() ? hostile.value : action.action);
        for (std::size_t f = 0; f < action.fields.size(); ++f) {
          query += "&" + action.fields[f].first + "=" +
                   (f == target ? hostile.value : action.fields[f].second);
        }
        query += "&tick=1";
        SCOPED_TRACE(action.action + " " +
                     (target < action.fields.size() ? action.fields[target].first : "a") + ": " +
                     hostile.name);
        const Reply reply = server.Get(query);
        ++requests;
        ASSERT_EQ(reply.status, 200);
        EXPECT_TRUE(reply.wellFormed) << reply.body;
        EXPECT_NE(reply.result(), -100) << reply.body;  // a result element is always there
        EXPECT_NE(reply.result(), 11) << reply.body;    // never a database failure
        EXPECT_EQ(reply.All("result").size(), 1u) << reply.body;  // markup stays text
      }
    }
  }
  EXPECT_GT(requests, 500);
  EXPECT_TRUE(server.storage().CheckIntegrity());
  // Both accounts, their pair and their passwords are as before.
  const Login annaAgain = server.SignUp("anna@example.org", kPassword);
  EXPECT_EQ(annaAgain.user, anna.user);
  EXPECT_EQ(server.SignUp("bob@example.org", kPassword).user, bob.user);
  const Reply list = server.Get("a=bl" + annaAgain.Suffix());
  EXPECT_EQ(list.All("buddy").size(), 1u) << list.body;
}

TEST_F(ServerHostility, ThePasswordNeverReachesTheLog) {
  server.Get("a=ul&e=anna%40example.org&p=" + std::string(kPassword) + "&tick=5");
  server.Get("a=ur&p=" + std::string(kPassword) + "&e=x%40example.org");
  server.Get("a=ul&%70=" + std::string(kPassword) + "&e=anna%40example.org");
  server.Get("a=zz&p=" + std::string(kPassword));
  server.client().Post("/online/os.asp?a=ul&p=" + std::string(kPassword), "p=x", "text/plain");
  // One line per request, the last four included.
  const std::string log = server.LogTextWith({"a=ul&e=anna%40example.org&p=***&tick=5 200 a=ul result=0",
                                              "a=ur&p=***&e=x%40example.org 200 a=ur result=0",
                                              "a=zz&p=*** 200 a=zz result=10", " POST "});
  EXPECT_EQ(log.find("Zebra"), std::string::npos) << log;
  EXPECT_EQ(log.find("Pa55"), std::string::npos) << log;
  EXPECT_NE(log.find("a=ul&e=anna%40example.org&p=***&tick=5 200 a=ul result=0"), std::string::npos) << log;
  EXPECT_NE(log.find("a=zz&p=*** 200 a=zz result=10"), std::string::npos) << log;
  EXPECT_NE(log.find(" POST "), std::string::npos) << log;
}

// Writes `bytes` to a fresh connection and reads until the server closes it
// or a second passes without data; what came back. (The connection is not
// half-closed: cpp-httplib answers nobody who has hung up.)
std::string RawExchange(int port, const std::string& bytes) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    pollfd wait{fd, POLLIN, 0};
    char buffer[4096];
    while (poll(&wait, 1, 1000) > 0) {
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      reply.append(buffer, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  return reply;
}

TEST_F(ServerHostility, RawBytesCutAndOversizedRequestsLeaveTheServerServing) {
  const std::string hello = "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + std::string(64, '\x42');
  struct Case {
    const char* name;
    std::string bytes;
    std::string expectStatus;  // "" when any answer (or none) is fine
  };
  const Case cases[] = {
      {"binary junk", std::string("\x00\xff\xfe junk\r\n\r\n", 12), ""},
      {"a TLS hello on the plain port", hello, ""},
      {"cut request line", "GET /online/os.asp?a=ul&e=x", ""},
      {"cut headers", "GET /online/os.asp?a=bl HTTP/1.1\r\nHost: x\r\n", ""},
      {"huge header", "GET /online/os.asp?a=bl HTTP/1.1\r\nHost: x\r\nX-Junk: " +
                          std::string(100000, 'j') + "\r\n\r\n", ""},
      {"huge target", "GET /online/os.asp?a=bl&m=" + std::string(20000, 'a') +
                          " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "414"},
      {"huge body", "POST /online/os.asp?a=bl HTTP/1.1\r\nHost: x\r\nContent-Length: 70000\r\n"
                    "Connection: close\r\n\r\n" + std::string(70000, 'b'), "413"},
      {"control bytes in the target", std::string("GET /online/os.asp?a=\x01\x7f\x00 HTTP/1.1\r\n"
                                                   "Host: x\r\n\r\n", 46), ""},
      {"other path", "GET /etc/passwd HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "404"},
      {"dot segments", "GET /online/../online/os.asp?a=bl HTTP/1.1\r\nHost: x\r\nConnection: close"
                       "\r\n\r\n", "404"},
      {"other method", "DELETE /online/os.asp?a=bl HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
       "405"},
      {"HTTP/1.0 without headers", "GET /online/os.asp?a=zz HTTP/1.0\r\n\r\n", "200"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string reply = RawExchange(server.port(), c.bytes);
    if (!c.expectStatus.empty()) {
      EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 " + c.expectStatus) << reply.substr(0, 200);
    }
    // The server still serves a normal request at once.
    EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 0);
  }
  // A client that sends half a request and then goes quiet holds no one up.
  std::thread stalled([this] { RawExchange(server.port(), "GET /online/os.asp?a="); });
  EXPECT_EQ(server.Get("a=bl" + anna.Suffix()).result(), 0);
  stalled.join();
  EXPECT_TRUE(server.storage().CheckIntegrity());
}

TEST_F(ServerHostility, ManyClientsAtOnceLoseNoMessage) {
  constexpr int kClients = 4;
  constexpr int kEach = 25;
  std::vector<std::thread> clients;
  std::atomic<int> accepted{0};
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", server.port());
      client.set_url_encode(false);
      for (int m = 0; m < kEach; ++m) {
        const std::string query = "/online/os.asp?a=cs&b=" + std::to_string(bob.user) + "&m=c" +
                                  std::to_string(c) + "m" + std::to_string(m) + anna.Suffix();
        auto result = client.Get(query.c_str());
        if (result && result->body.find("<result id=\"0\"/>") != std::string::npos) ++accepted;
        // Reads in between, from the same threads.
        client.Get(("/online/os.asp?a=bp" + bob.Suffix()).c_str());
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(accepted.load(), kClients * kEach);
  std::set<std::string> texts;
  for (int poll = 0; poll < 4; ++poll) {
    for (const auto& m : server.Get("a=cr" + bob.Suffix()).All("m")) {
      EXPECT_TRUE(texts.insert(m.text).second) << "delivered twice: " << m.text;
    }
  }
  EXPECT_EQ(texts.size(), static_cast<std::size_t>(kClients * kEach));
  EXPECT_TRUE(server.storage().CheckIntegrity());
}

}  // namespace
