// The rovana-server program: its command line, a run that serves, stops on
// SIGTERM and keeps its data for the next run, and HTTPS with a certificate.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "server/ServerOptions.h"
#include "tests/server/ServerHarness.h"
#include "tests/support/Process.h"

extern char** environ;

using server_test::TestServer;
using testing_support::RunProcess;

namespace {

TEST(ServerCommandLine, HelpAndMistakes) {
  const auto help = RunProcess(ROVANA_SERVER_PATH, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: rovana-server --db FILE"), std::string::npos);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {"no database", {}, "--db FILE is required"},
      {"listen without port", {"--db", "x", "--listen", "127.0.0.1"}, "--listen wants"},
      {"port out of range", {"--db", "x", "--listen", "127.0.0.1:70000"}, "--listen wants"},
      {"certificate without key", {"--db", "x", "--cert", "c.pem"}, "go together"},
      {"unknown option", {"--db", "x", "--verbose", "1"}, "unknown option --verbose"},
      {"value missing", {"--db"}, "--db needs a value"},
      {"zero idle time", {"--db", "x", "--session-idle", "0"}, "positive whole number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result = RunProcess(ROVANA_SERVER_PATH, c.args);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
}

TEST(ServerCommandLine, ListenAddressesAndLimits) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string host;
    int port;
  };
  const Case cases[] = {
      {"default", {"--db", "x"}, "127.0.0.1", 8642},
      {"all addresses", {"--db", "x", "--listen", "0.0.0.0:80"}, "0.0.0.0", 80},
      {"IPv6", {"--db", "x", "--listen", "[::1]:9000"}, "::1", 9000},
      {"port only", {"--db", "x", "--listen", ":9001"}, "127.0.0.1", 9001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = rovana::server::ParseServerOptions(c.args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->host, c.host);
    EXPECT_EQ(parsed.options->port, c.port);
  }
  const auto parsed = rovana::server::ParseServerOptions(
      {"--db", "x", "--session-idle", "900", "--login-rate", "5", "--message", "Hallo"});
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->service.sessionIdleSeconds, 900);
  EXPECT_EQ(parsed.options->service.loginPerMinute, 5);
  EXPECT_EQ(parsed.options->service.loginMessage, "Hallo");
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// The program running in the background until Stop().
class RunningServer {
 public:
  explicit RunningServer(std::vector<std::string> args) {
    std::vector<char*> argv{const_cast<char*>(ROVANA_SERVER_PATH)};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn(&pid_, ROVANA_SERVER_PATH, nullptr, nullptr, argv.data(), environ);
  }
  ~RunningServer() {
    if (pid_ > 0) Stop();
  }
  // SIGTERM, then the exit status.
  int Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
};

// Asks until the server answers (it needs a moment to start).
httplib::Result GetWhenUp(httplib::Client& client, const std::string& path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (auto result = client.Get(path.c_str())) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return client.Get(path.c_str());
}

TEST(ServerProgram, ServesStopsOnSigtermAndKeepsItsDataForTheNextRun) {
  const auto folder = server_test::MakeTempFolder("rovana-server-cli-");
  const std::string db = (folder / "service.db").string();
  const std::string log = (folder / "server.log").string();
  const int port = FreePort();
  const std::vector<std::string> args{"--db", db, "--listen", "127.0.0.1:" + std::to_string(port),
                                      "--log", log, "--message", "Willkommen"};
  const std::string login = "/online/os.asp?a=ul&e=anna%40example.org&p=pw&s=&v=1&l=0&d=PPC&c=0";
  {
    RunningServer server(args);
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false);
    auto registered = GetWhenUp(client, "/online/os.asp?a=ur&e=anna%40example.org&p=pw&tick=1");
    ASSERT_TRUE(registered);
    EXPECT_EQ(registered->status, 200);
    EXPECT_NE(registered->body.find("<result id=\"0\"/>"), std::string::npos);
    EXPECT_EQ(registered->get_header_value("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_EQ(server.Stop(), 0);
  }
  {
    RunningServer server(args);
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false);
    auto again = GetWhenUp(client, login);
    ASSERT_TRUE(again);
    server_test::ReplyReader reader(again->body);
    reader.Read();
    ASSERT_FALSE(reader.elements.empty());
    EXPECT_EQ(reader.elements[1].name, "result");
    EXPECT_EQ(reader.elements[1].id, 0);
    EXPECT_NE(again->body.find("<msg>Willkommen</msg>"), std::string::npos);
    EXPECT_EQ(server.Stop(), 0);
  }
  const std::string text = server_test::ReadFile(log);
  EXPECT_NE(text.find("listening on http://127.0.0.1:" + std::to_string(port)), std::string::npos);
  EXPECT_NE(text.find("signal 15: stopping"), std::string::npos);
  EXPECT_NE(text.find("stopped"), std::string::npos);
  EXPECT_EQ(text.find("p=pw"), std::string::npos);
  std::filesystem::remove_all(folder);
}

TEST(ServerProgram, ADatabaseThatCannotBeOpenedEndsTheStart) {
  const auto folder = server_test::MakeTempFolder("rovana-server-cli-");
  const auto result = RunProcess(ROVANA_SERVER_PATH, {"--db", folder.string(), "--listen",
                                                      "127.0.0.1:" + std::to_string(FreePort())});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot open the database"), std::string::npos) << result.err;
  std::filesystem::remove_all(folder);
}

TEST(ServerHttps, ServesTlsWithTheGivenCertificate) {
  const auto folder = server_test::MakeTempFolder("rovana-server-tls-");
  const std::string cert = (folder / "cert.pem").string();
  const std::string key = (folder / "key.pem").string();
  const auto made = RunProcess("/usr/bin/openssl",
                               {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                                "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                                "-keyout", key, "-out", cert});
  if (made.status != 0) GTEST_SKIP() << "openssl could not make a test certificate: " << made.err;

  TestServer server(server_test::TestConfig(), cert, key);
  ASSERT_TRUE(server.valid());
  httplib::SSLClient client("127.0.0.1", server.port());
  client.set_ca_cert_path(cert.c_str());
  client.enable_server_certificate_verification(true);
  client.set_url_encode(false);
  auto reply = client.Get("/online/os.asp?a=ur&e=tls%40example.org&p=pw");
  ASSERT_TRUE(reply) << httplib::to_string(reply.error());
  EXPECT_NE(reply->body.find("<result id=\"0\"/>"), std::string::npos);
  // Plain HTTP on the TLS port gets no reply.
  EXPECT_EQ(server.Get("a=zz").status, 0);

  rovana::server::ServerLog log;
  log.Open(folder / "other.log");
  rovana::server::EmptyRelay relay;
  auto storage = rovana::server::SqliteStorage::Open(folder / "other.db", log);
  rovana::server::Service service(*storage, log, server_test::TestConfig(), relay);
  rovana::server::HttpFront missing(service, log, (folder / "none.pem").string(), key);
  EXPECT_FALSE(missing.valid());
  std::filesystem::remove_all(folder);
}

}  // namespace
