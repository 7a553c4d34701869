#include "tests/support/SessionBus.h"

#include <dbus/dbus.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace testing_support {
namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kInterface = "org.freedesktop.ScreenSaver";

// Reads the daemon's first output line (its address) within `timeoutMs`.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char c;
    if (::read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return {};
}

}  // namespace

SessionBus::SessionBus() {
  char pattern[] = "/tmp/zen-bus-XXXXXX";
  if (!::mkdtemp(pattern)) return;
  folder_ = pattern;
  const std::filesystem::path config = folder_ / "bus.conf";
  std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig>\n"
                           "  <type>session</type>\n"
                           "  <listen>unix:path="
                        << (folder_ / "bus").string()
                        << "</listen>\n"
                           "  <policy context=\"default\">\n"
                           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                           "    <allow eavesdrop=\"true\"/>\n"
                           "    <allow own=\"*\"/>\n"
                           "  </policy>\n"
                           "</busconfig>\n";
  int out[2];
  if (::pipe(out) != 0) return;
  const std::string configArg = "--config-file=" + config.string();
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::execlp("dbus-daemon", "dbus-daemon", configArg.c_str(), "--nofork", "--print-address", nullptr);
    ::_exit(127);
  }
  ::close(out[1]);
  if (pid_ > 0) address_ = ReadLine(out[0], 5000);
  ::close(out[0]);
}

SessionBus::~SessionBus() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

FakeScreenSaver::FakeScreenSaver(const std::string& address) {
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* connection = dbus_connection_open_private(address.c_str(), &error);
  if (connection) {
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    serving_ = dbus_bus_register(connection, &error) &&
               dbus_bus_request_name(connection, kService, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) ==
                   DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
  }
  dbus_error_free(&error);
  connection_ = connection;
  if (serving_) thread_ = std::thread(&FakeScreenSaver::Serve, this);
}

FakeScreenSaver::~FakeScreenSaver() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (auto* connection = static_cast<DBusConnection*>(connection_)) {
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
  }
}

FakeScreenSaver::Counts FakeScreenSaver::counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void FakeScreenSaver::Serve() {
  auto* connection = static_cast<DBusConnection*>(connection_);
  std::uint32_t nextCookie = 1;
  while (!stop_ && dbus_connection_read_write(connection, 20)) {
    while (DBusMessage* message = dbus_connection_pop_message(connection)) {
      DBusMessage* reply = nullptr;
      if (dbus_message_is_method_call(message, kInterface, "Inhibit")) {
        const char* application = "";
        const char* reason = "";
        dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &application, DBUS_TYPE_STRING, &reason,
                              DBUS_TYPE_INVALID);
        const dbus_uint32_t cookie = nextCookie++;
        {
          std::lock_guard lock(mutex_);
          counts_.inhibits.push_back(cookie);
          counts_.applications.push_back(application);
        }
        reply = dbus_message_new_method_return(message);
        dbus_message_append_args(reply, DBUS_TYPE_UINT32, &cookie, DBUS_TYPE_INVALID);
      } else if (dbus_message_is_method_call(message, kInterface, "UnInhibit")) {
        dbus_uint32_t cookie = 0;
        dbus_message_get_args(message, nullptr, DBUS_TYPE_UINT32, &cookie, DBUS_TYPE_INVALID);
        {
          std::lock_guard lock(mutex_);
          counts_.uninhibits.push_back(cookie);
        }
        reply = dbus_message_new_method_return(message);
      } else if (dbus_message_is_method_call(message, kInterface, "SimulateActivity")) {
        {
          std::lock_guard lock(mutex_);
          ++counts_.activity;
        }
        reply = dbus_message_new_method_return(message);
      }
      if (reply) {
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);
      }
      dbus_message_unref(message);
    }
  }
}

}  // namespace testing_support
