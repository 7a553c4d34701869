#include "tests/support/TempPostgres.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

namespace testing_support {
namespace fs = std::filesystem;

namespace {

// The account the cluster runs as: ourselves, or "postgres" when we are root.
struct Account {
  bool switchUser = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

bool AccountFor(Account* account, std::string* why) {
  if (geteuid() != 0) return true;
  const passwd* pw = getpwnam("postgres");
  if (!pw) {
    *why = "running as root and there is no postgres account to run the server as";
    return false;
  }
  *account = {true, pw->pw_uid, pw->pw_gid};
  return true;
}

// Starts `argv` as the account, its output into `log`; the child dies with
// the test. Returns the child's pid, or -1.
pid_t Spawn(const std::vector<std::string>& argv, const Account& account, const std::string& log) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (out >= 0) {
    dup2(out, 1);
    dup2(out, 2);
  }
  if (account.switchUser && (setgid(account.gid) != 0 || setuid(account.uid) != 0)) _exit(126);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

std::string TempPostgres::BinFolder() {
  std::error_code ec;
  std::vector<fs::path> found;
  for (fs::directory_iterator it("/usr/lib/postgresql", ec), end; !ec && it != end; it.increment(ec))
    if (access((it->path() / "bin" / "initdb").c_str(), X_OK) == 0) found.push_back(it->path() / "bin");
  if (found.empty()) return {};
  // The newest version: folders are named by their major version.
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    return std::stoi("0" + a.parent_path().filename().string()) < std::stoi("0" + b.parent_path().filename().string());
  });
  return found.back().string();
}

bool TempPostgres::Start(std::string* why) {
  const std::string bin = BinFolder();
  if (bin.empty()) {
    *why = "PostgreSQL is not installed (tools/install-deps installs it)";
    return false;
  }
  Account account;
  if (!AccountFor(&account, why)) return false;
  char name[] = "/tmp/rovana-pg-XXXXXX";
  if (!mkdtemp(name)) {
    *why = "no temporary folder";
    return false;
  }
  folder_ = name;
  const std::string log = folder_ + "/server.log";
  if (account.switchUser && (chown(folder_.c_str(), account.uid, account.gid) != 0 || chmod(folder_.c_str(), 0700) != 0)) {
    *why = "cannot hand the temporary folder to the postgres account";
    return false;
  }
  const pid_t init = Spawn({bin + "/initdb", "-D", folder_ + "/data", "-A", "trust", "-U", "rovana", "-E", "UTF8",
                            "--locale=C", "--no-sync"},
                           account, log);
  if (init < 0 || Wait(init) != 0) {
    *why = "initdb failed (see " + log + ")";
    return false;
  }
  std::mt19937 random(std::random_device{}());
  port_ = std::uniform_int_distribution<int>(20000, 60000)(random);
  server_ = Spawn({bin + "/postgres", "-D", folder_ + "/data", "-k", folder_, "-p", std::to_string(port_), "-c",
                   "listen_addresses=", "-c", "fsync=off", "-c", "full_page_writes=off"},
                  account, log);
  if (server_ < 0) {
    *why = "the server could not be started";
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    const pid_t ready = Spawn({bin + "/pg_isready", "-q", "-h", folder_, "-p", std::to_string(port_)}, Account{}, log);
    if (ready >= 0 && Wait(ready) == 0) return true;
    int status = 0;
    if (waitpid(server_, &status, WNOHANG) == server_) {
      server_ = -1;
      *why = "the server ended at start-up (see " + log + ")";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  *why = "the server did not answer within 20 s (see " + log + ")";
  return false;
}

void TempPostgres::Stop() {
  if (server_ > 0) {
    kill(server_, SIGINT);  // fast shutdown
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (waitpid(server_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(server_, SIGKILL);
        waitpid(server_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    server_ = -1;
  }
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    folder_.clear();
  }
}

std::string TempPostgres::ConnectionString() const {
  return "host=" + folder_ + " port=" + std::to_string(port_) + " user=rovana dbname=postgres";
}

std::string TempPostgres::Uri() const {
  return "postgresql://rovana@/postgres?host=" + folder_ + "&port=" + std::to_string(port_);
}

}  // namespace testing_support
