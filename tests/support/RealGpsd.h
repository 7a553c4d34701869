// A gpsd of its own for a test: loopback only (gpsd's default), a free port,
// in the foreground (-N), reading the device before any client asks (-n: it
// must open the device before it drops root's privileges), read-only on it
// (-b: no probing writes), a fixed speed and framing (-s, -f: no start-up
// hunt), its control socket in the given folder, and ended in every case
// (SIGTERM, then SIGKILL; PR_SET_PDEATHSIG if the test itself dies).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/gpsd/Channel.h"

namespace testing_support {

class RealGpsd {
 public:
  RealGpsd() = default;
  ~RealGpsd() { Stop(); }
  RealGpsd(const RealGpsd&) = delete;
  RealGpsd& operator=(const RealGpsd&) = delete;

  // The gpsd program on the PATH or in the usual sbin folders; empty when
  // gpsd is not installed.
  static std::string Find() {
    std::vector<std::string> folders = {"/usr/sbin", "/usr/local/sbin", "/sbin"};
    if (const char* path = std::getenv("PATH")) {
      const std::string all(path);
      for (std::size_t start = 0; start <= all.size();) {
        std::size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        folders.push_back(all.substr(start, end - start));
        start = end + 1;
      }
    }
    for (const std::string& folder : folders) {
      const std::string candidate = folder + "/gpsd";
      if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
  }

  // Starts gpsd on `device` and waits up to 3 s until it answers. False with
  // `why` filled when it is not installed, exits or stays silent (a reason
  // to skip, not to fail).
  bool Start(const std::string& device, const std::filesystem::path& socketFolder, std::string* why) {
    const std::string gpsd = Find();
    if (gpsd.empty()) {
      *why = "gpsd is not installed (apt-get install gpsd)";
      return false;
    }
    port_ = std::to_string(FreePort());
    const std::string socketPath = (socketFolder / "gpsd.sock").string();
    std::vector<std::string> args = {gpsd, "-N", "-n", "-b", "-s", "4800", "-f", "8N1",
                                     "-S", port_, "-F", socketPath, device};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // no stray gpsd if the test dies
      if (getppid() != parent) _exit(127);
      const int devNull = open("/dev/null", O_RDWR);
      if (devNull >= 0) {
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (pid_ < 0) {
      *why = "fork failed";
      return false;
    }
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
      gpsd::Channel probe(gpsd::Address{"127.0.0.1", port_});
      if (probe.Connect()) return true;
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        *why = "gpsd exited at start (status " + std::to_string(status) + ")";
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    *why = "gpsd did not answer on port " + port_;
    return false;
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto start = std::chrono::steady_clock::now();
    while (waitpid(pid_, nullptr, WNOHANG) != pid_) {
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }

  const std::string& port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + port_; }

  // A loopback TCP port nobody listens on right now.
  static std::uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    std::uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
      port = ntohs(addr.sin_port);
    if (fd >= 0) close(fd);
    return port;
  }

 private:
  std::string port_;
  pid_t pid_ = -1;
};

}  // namespace testing_support
