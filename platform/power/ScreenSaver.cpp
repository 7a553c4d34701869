#include "platform/power/ScreenSaver.h"

#include <dbus/dbus.h>

#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kPath = "/org/freedesktop/ScreenSaver";
constexpr const char* kInterface = "org.freedesktop.ScreenSaver";

// Owns a DBusError and frees it on every path.
class Error {
 public:
  Error() { dbus_error_init(&error_); }
  ~Error() { dbus_error_free(&error_); }
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;
  DBusError* get() { return &error_; }
  bool set() const { return dbus_error_is_set(&error_); }
  std::string text() const {
    return std::string(error_.name ? error_.name : "") + ": " + (error_.message ? error_.message : "");
  }

 private:
  DBusError error_;
};

struct MessageUnref {
  void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

BusResult Failure(std::string text) { return BusResult{false, std::move(text)}; }

// Sends `call` and waits for the reply; null with the reason on failure.
Message Call(DBusConnection* connection, DBusMessage* call, std::string* error) {
  Error e;
  Message reply(dbus_connection_send_with_reply_and_block(connection, call, ScreenSaver::kCallTimeoutMs, e.get()));
  if (!reply) *error = e.set() ? e.text() : "no reply";
  return reply;
}

Message NewCall(const char* method) {
  return Message(dbus_message_new_method_call(kService, kPath, kInterface, method));
}

}  // namespace

std::unique_ptr<ScreenSaver> ScreenSaver::Connect(const std::string& address, std::string* error) {
  static std::once_flag threads;
  std::call_once(threads, [] { dbus_threads_init_default(); });

  std::string where = address;
  if (where.empty()) {
    // Asking libdbus for the session bus without an address would try to
    // launch one through X11; a machine without a bus simply has none.
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session || !*session) {
      *error = "no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
      return nullptr;
    }
    where = session;
  }
  Error e;
  DBusConnection* connection = dbus_connection_open_private(where.c_str(), e.get());
  if (!connection) {
    *error = e.text();
    return nullptr;
  }
  // A bus that goes away must not end the program (libdbus's default for bus
  // connections is to exit).
  dbus_connection_set_exit_on_disconnect(connection, FALSE);
  if (!dbus_bus_register(connection, e.get())) {
    *error = e.text();
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return nullptr;
  }
  return std::unique_ptr<ScreenSaver>(new ScreenSaver(connection));
}

ScreenSaver::~ScreenSaver() {
  if (inhibited_) UnInhibit();
  dbus_connection_close(connection_);
  dbus_connection_unref(connection_);
}

BusResult ScreenSaver::SimulateActivity() {
  Message call = NewCall("SimulateActivity");
  if (!call) return Failure("out of memory");
  std::string error;
  if (!Call(connection_, call.get(), &error)) return Failure(error);
  return BusResult{true, {}};
}

BusResult ScreenSaver::Inhibit(const std::string& application, const std::string& reason) {
  if (inhibited_) return BusResult{true, {}};
  // libdbus refuses (and may abort on) strings that are not UTF-8.
  if (!dbus_validate_utf8(application.c_str(), nullptr) || !dbus_validate_utf8(reason.c_str(), nullptr))
    return Failure("application or reason is not UTF-8");
  Message call = NewCall("Inhibit");
  if (!call) return Failure("out of memory");
  const char* app = application.c_str();
  const char* why = reason.c_str();
  if (!dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &app, DBUS_TYPE_STRING, &why, DBUS_TYPE_INVALID))
    return Failure("out of memory");
  std::string error;
  Message reply = Call(connection_, call.get(), &error);
  if (!reply) return Failure(error);
  Error e;
  dbus_uint32_t cookie = 0;
  if (!dbus_message_get_args(reply.get(), e.get(), DBUS_TYPE_UINT32, &cookie, DBUS_TYPE_INVALID))
    return Failure("unexpected reply to Inhibit: " + e.text());
  cookie_ = cookie;
  inhibited_ = true;
  return BusResult{true, {}};
}

BusResult ScreenSaver::UnInhibit() {
  if (!inhibited_) return BusResult{true, {}};
  Message call = NewCall("UnInhibit");
  if (!call) return Failure("out of memory");
  dbus_uint32_t cookie = cookie_;
  if (!dbus_message_append_args(call.get(), DBUS_TYPE_UINT32, &cookie, DBUS_TYPE_INVALID))
    return Failure("out of memory");
  std::string error;
  // Whatever the answer, the cookie is spent: a screen saver that lost it
  // (restarted) holds nothing for us any more.
  inhibited_ = false;
  if (!Call(connection_, call.get(), &error)) return Failure(error);
  return BusResult{true, {}};
}

}  // namespace platform
