#include "platform/http/Connectivity.h"

#include <dbus/dbus.h>

#include <cstdlib>

namespace platform {
namespace {

constexpr const char* kService = "org.freedesktop.NetworkManager";
constexpr const char* kPath = "/org/freedesktop/NetworkManager";
constexpr const char* kInterface = "org.freedesktop.NetworkManager";
constexpr const char* kDefaultSystemBus = "unix:path=/run/dbus/system_bus_socket";

// NetworkManager's NMConnectivityState and NMState values.
constexpr unsigned kConnectivityUnknown = 0;
constexpr unsigned kConnectivityNone = 1;
constexpr unsigned kStateAsleep = 10;
constexpr unsigned kStateDisconnected = 20;
constexpr unsigned kStateDisconnecting = 30;

class Error {
 public:
  Error() { dbus_error_init(&error_); }
  ~Error() { dbus_error_free(&error_); }
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;
  DBusError* get() { return &error_; }
  bool set() const { return dbus_error_is_set(&error_); }
  std::string name() const { return error_.name ? error_.name : ""; }
  std::string text() const { return name() + ": " + (error_.message ? error_.message : ""); }

 private:
  DBusError error_;
};

struct Property {
  bool ok = false;
  bool noService = false;  // the name has no owner: NetworkManager is not running
  unsigned value = 0;
  std::string why;
};

// org.freedesktop.DBus.Properties.Get(interface, name) of a uint32 property.
Property GetUint32(DBusConnection* connection, const char* name) {
  Property result;
  DBusMessage* call = dbus_message_new_method_call(kService, kPath, DBUS_INTERFACE_PROPERTIES, "Get");
  if (!call) {
    result.why = "out of memory";
    return result;
  }
  // Never start NetworkManager just to ask it.
  dbus_message_set_auto_start(call, FALSE);
  const char* interface = kInterface;
  dbus_message_append_args(call, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
  Error e;
  DBusMessage* reply =
      dbus_connection_send_with_reply_and_block(connection, call, Connectivity::kCallTimeoutMs, e.get());
  dbus_message_unref(call);
  if (!reply) {
    result.why = e.set() ? e.text() : "no reply";
    result.noService = e.name() == DBUS_ERROR_SERVICE_UNKNOWN || e.name() == DBUS_ERROR_NAME_HAS_NO_OWNER;
    return result;
  }
  DBusMessageIter top, variant;
  if (dbus_message_iter_init(reply, &top) && dbus_message_iter_get_arg_type(&top) == DBUS_TYPE_VARIANT) {
    dbus_message_iter_recurse(&top, &variant);
    if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_UINT32) {
      dbus_uint32_t value = 0;
      dbus_message_iter_get_basic(&variant, &value);
      result.ok = true;
      result.value = value;
    }
  }
  if (!result.ok) result.why = std::string("unexpected reply for ") + name;
  dbus_message_unref(reply);
  return result;
}

}  // namespace

Connectivity::Connectivity(std::string busAddress) : address_(std::move(busAddress)) {}

Connectivity::~Connectivity() { Disconnect(); }

void Connectivity::Disconnect() {
  if (!connection_) return;
  dbus_connection_close(connection_);
  dbus_connection_unref(connection_);
  connection_ = nullptr;
}

bool Connectivity::Connect(std::string& why) {
  if (connection_ && dbus_connection_get_is_connected(connection_)) return true;
  Disconnect();
  static std::once_flag threads;
  std::call_once(threads, [] { dbus_threads_init_default(); });
  std::string where = address_;
  if (where.empty()) {
    const char* system = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    where = system && *system ? system : kDefaultSystemBus;
  }
  Error e;
  DBusConnection* connection = dbus_connection_open_private(where.c_str(), e.get());
  if (!connection) {
    why = "no system bus at " + where + " (" + e.text() + ")";
    return false;
  }
  dbus_connection_set_exit_on_disconnect(connection, FALSE);
  if (!dbus_bus_register(connection, e.get())) {
    why = "the bus at " + where + " refused us (" + e.text() + ")";
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return false;
  }
  connection_ = connection;
  return true;
}

ConnectivityAnswer Connectivity::Check() {
  std::lock_guard lock(mutex_);
  ConnectivityAnswer answer;
  if (!Connect(answer.detail)) return answer;  // no bus: connected as far as we know

  const Property connectivity = GetUint32(connection_, "Connectivity");
  if (!connectivity.ok) {
    // A NetworkManager that is not running, or one too old to have the
    // property: fall back to its state, then to "connected".
    if (connectivity.noService) {
      answer.detail = "NetworkManager is not running (" + connectivity.why + ")";
      return answer;
    }
  } else if (connectivity.value != kConnectivityUnknown) {
    answer.online = connectivity.value == kConnectivityNone ? Online::kOffline : Online::kConnected;
    answer.detail = "NetworkManager connectivity " + std::to_string(connectivity.value);
    return answer;
  }
  const Property state = GetUint32(connection_, "State");
  if (!state.ok) {
    answer.detail = "NetworkManager did not tell its state (" + state.why + ")";
    if (!dbus_connection_get_is_connected(connection_)) Disconnect();
    return answer;
  }
  const bool down =
      state.value == kStateAsleep || state.value == kStateDisconnected || state.value == kStateDisconnecting;
  answer.online = down ? Online::kOffline : Online::kConnected;
  answer.detail = "NetworkManager state " + std::to_string(state.value);
  return answer;
}

}  // namespace platform
