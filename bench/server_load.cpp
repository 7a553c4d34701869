// Load on the reference web-service server: many simulated Rovana clients on
// loopback, each registering and logging in, creating a track, then once a
// second uploading a position and asking for its buddies' positions, for a
// bounded time. Reports requests per second, latency percentiles, errors
// and the database size.
//
//   server_load --server build/release/bin/rovana-server [--clients 200] [--seconds 60]
//
// The server is started on a free loopback port with a database in a
// temporary folder and stopped at the end. The exit status is 1 when any
// request failed (a transport error, a status other than 200, or a result
// code other than 0).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string server;
  int clients = 200;
  int seconds = 60;
};

int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  const int port = ntohs(a.sin_port);
  close(s);
  return port;
}

// HTTP/1.1 requests to the server, each on a connection of its own.
class Connection {
 public:
  explicit Connection(int port) : port_(port) {}
  ~Connection() { Close(); }

  // The reply body of a GET, nothing on a transport error or a status
  // other than 200.
  std::optional<std::string> Get(const std::string& path, int timeoutSeconds) {
    if (!Open(timeoutSeconds)) return std::nullopt;
    // One connection per request, as Rovana's client makes them.
    const std::string request =
        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: Rovana\r\nConnection: close\r\n\r\n";
    std::optional<std::string> body;
    if (send(fd_, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size()))
      body = ReadReply();
    Close();
    return body;
  }

 private:
  bool Open(int timeoutSeconds) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port_));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      Close();
      return false;
    }
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval timeout{timeoutSeconds, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    buffer_.clear();
    return true;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  bool Fill() {
    char chunk[16384];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }
  std::optional<std::string> ReadReply() {
    status_ = 0;
    std::size_t end;
    while ((end = buffer_.find("\r\n\r\n")) == std::string::npos)
      if (buffer_.size() > 65536 || !Fill()) return std::nullopt;
    std::string head = buffer_.substr(0, end);
    buffer_.erase(0, end + 4);
    if (head.size() < 12) return std::nullopt;
    status_ = std::atoi(head.c_str() + 9);
    for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = head.find("content-length:");
    if (at == std::string::npos) return std::nullopt;  // the server always sends a length
    const std::size_t length = std::strtoul(head.c_str() + at + 15, nullptr, 10);
    while (buffer_.size() < length)
      if (!Fill()) return std::nullopt;
    std::string body = buffer_.substr(0, length);
    buffer_.erase(0, length);
    if (status_ != 200) return std::nullopt;
    return body;
  }

  int port_;
  int fd_ = -1;
  int status_ = 0;
  std::string buffer_;
};

// The integer after `marker` in `xml` ("<result id=\"" gives the result code).
std::optional<long> After(const std::string& xml, const std::string& marker) {
  const std::size_t at = xml.find(marker);
  if (at == std::string::npos) return std::nullopt;
  return std::strtol(xml.c_str() + at + marker.size(), nullptr, 10);
}

struct Stats {
  std::mutex mutex;
  std::vector<double> latencies;  // ms
  long errors = 0;
  std::string firstError;
};

class Client {
 public:
  Client(int port, int index, Stats& stats) : connection_(port), index_(index), stats_(stats) {}

  // Registers, logs in and creates a track; not timed (a password hash is
  // slow on purpose, and devices log in once, not every second).
  bool Join(Stats& joins) {
    const std::string email = "load" + std::to_string(index_) + "%40example.org";
    const std::string password = "&p=secret" + std::to_string(index_);
    if (!Call("/online/os.asp?a=ur&e=" + email + password, false, joins, kJoinTimeout)) return false;
    const std::optional<std::string> login =
        Call("/online/os.asp?a=ul&e=" + email + password + "&s=&v=3.4.6%20load&l=0&d=PPC&c=", false, joins, kJoinTimeout);
    if (!login) return false;
    const long user = After(*login, "<user id=\"").value_or(0);
    const long session = After(*login, "<session>").value_or(0);
    suffix_ = "&i=" + std::to_string(user) + "&s=" + std::to_string(session);
    const std::optional<std::string> track = Call("/online/os.asp?a=ct", true, joins, kJoinTimeout);
    if (!track) return false;
    track_ = After(*track, "<track id=\"").value_or(0);
    return true;
  }

  // Once a second until `until`: a position up, the buddies' positions down.
  void Run(Clock::time_point until) {
    const long trackId = track_;
    double lat = 53.55 + index_ * 1e-4, lon = 10.0;
    auto next = Clock::now();
    while (Clock::now() < until) {
      char up[256];
      std::snprintf(up, sizeof up, "/online/os.asp?a=up&t=%ld&p=1&y=%f&x=%f&e=%f&v=%f&h=%f", trackId, lat, lon, 10.0,
                    20.0, 90.0);
      if (!Call(up, true, stats_, kTimeout)) return;
      if (!Call("/online/os.asp?a=bp", true, stats_, kTimeout)) return;
      lon += 1e-4;
      next += std::chrono::seconds(1);
      std::this_thread::sleep_until(next);
    }
  }

 private:
  static constexpr int kTimeout = 10, kJoinTimeout = 120;  // seconds

  std::optional<std::string> Call(const std::string& path, bool session, Stats& stats, int timeout) {
    const std::string full = path + (session ? suffix_ : "") + "&tick=" + std::to_string(++tick_);
    const auto start = Clock::now();
    std::optional<std::string> body = connection_.Get(full, timeout);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const long result = body ? After(*body, "<result id=\"").value_or(-2) : -2;
    std::lock_guard lock(stats.mutex);
    stats.latencies.push_back(ms);
    if (!body || result != 0) {
      ++stats.errors;
      if (stats.firstError.empty())
        stats.firstError = (body ? "result " + std::to_string(result) : std::string("no reply")) + " for " + path;
      return std::nullopt;
    }
    return body;
  }

  Connection connection_;
  int index_;
  Stats& stats_;
  std::string suffix_;
  long track_ = 0;
  long tick_ = 0;
};

bool Answers(int port) { return Connection(port).Get("/online/os.asp?a=bl&tick=0", 2).has_value(); }

int Usage(int status) {
  std::fprintf(status ? stderr : stdout,
               "usage: server_load --server PATH [--clients N] [--seconds S]\n"
               "Starts the reference server on a free loopback port with a temporary database and runs N\n"
               "simulated clients (default 200) for S seconds (default 60): each registers, logs in, creates a\n"
               "track, then uploads a position and asks for buddy positions once a second.\n");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return Usage(0);
    if (i + 1 >= argc) return Usage(2);
    if (arg == "--server") o.server = argv[++i];
    else if (arg == "--clients") o.clients = std::clamp(std::atoi(argv[++i]), 1, 2000);
    else if (arg == "--seconds") o.seconds = std::clamp(std::atoi(argv[++i]), 1, 3600);
    else return Usage(2);
  }
  if (o.server.empty()) return Usage(2);

  char folder[] = "/tmp/rovana-load-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string db = std::string(folder) + "/load.db";
  const int port = FreePort();
  const std::string listen = "127.0.0.1:" + std::to_string(port);
  const pid_t server = fork();
  if (server == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const std::string log = std::string(folder) + "/server.log";
    // Every simulated device comes from the loopback address: the per-address
    // login limit would stop all but the first few.
    execl(o.server.c_str(), o.server.c_str(), "--db", db.c_str(), "--listen", listen.c_str(), "--log", log.c_str(),
          "--login-rate", "100000", static_cast<char*>(nullptr));
    _exit(127);
  }
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    up = Answers(port);
  }
  if (!up) {
    std::fprintf(stderr, "server_load: %s did not answer on %s\n", o.server.c_str(), listen.c_str());
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    fs::remove_all(folder);
    return 1;
  }

  Stats stats, joins;
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < o.clients; ++i) clients.push_back(std::make_unique<Client>(port, i, stats));
  // Everyone joins first, a few at a time, then the timed run starts.
  const auto joinStart = Clock::now();
  std::atomic<int> next{0}, joined{0};
  {
    std::vector<std::thread> joiners;
    for (int j = 0; j < 8; ++j)
      joiners.emplace_back([&] {
        for (int i; (i = next++) < o.clients;) joined += clients[static_cast<std::size_t>(i)]->Join(joins);
      });
    for (std::thread& t : joiners) t.join();
  }
  const double joinSeconds = std::chrono::duration<double>(Clock::now() - joinStart).count();
  std::printf("server_load: %d of %d clients registered, logged in and made a track in %.1f s (%ld errors%s%s)\n",
              joined.load(), o.clients, joinSeconds, joins.errors, joins.errors ? ", first: " : "",
              joins.firstError.c_str());

  const auto start = Clock::now();
  const auto until = start + std::chrono::seconds(o.seconds);
  std::vector<std::thread> threads;
  threads.reserve(clients.size());
  for (auto& client : clients) threads.emplace_back([&client, until] { client->Run(until); });
  for (std::thread& t : threads) t.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  std::error_code ec;
  std::uintmax_t bytes = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().rfind("load.db", 0) == 0) bytes += it->file_size(ec);

  std::vector<double>& l = stats.latencies;
  std::sort(l.begin(), l.end());
  auto at = [&l](double q) { return l.empty() ? 0.0 : l[std::min(l.size() - 1, static_cast<std::size_t>(q * l.size()))]; };
  std::printf("server_load: %d clients for %.1f s: %zu requests, %.0f requests/s, p50 %.2f ms, p99 %.2f ms, "
              "errors %ld, database %.1f KiB\n",
              o.clients, elapsed, l.size(), l.size() / elapsed, at(0.50), at(0.99), stats.errors, bytes / 1024.0);
  if (stats.errors) std::printf("server_load: first error: %s\n", stats.firstError.c_str());
  fs::remove_all(folder, ec);
  return stats.errors || joins.errors ? 1 : 0;
}
