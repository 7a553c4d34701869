#include "tests/support/FakeNetworkManager.h"

#include <dbus/dbus.h>

#include <cstring>

namespace testing_support {

FakeNetworkManager::FakeNetworkManager(const std::string& address) {
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* connection = dbus_connection_open_private(address.c_str(), &error);
  if (connection) {
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    serving_ = dbus_bus_register(connection, &error) &&
               dbus_bus_request_name(connection, "org.freedesktop.NetworkManager", DBUS_NAME_FLAG_DO_NOT_QUEUE,
                                     &error) == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
  }
  dbus_error_free(&error);
  connection_ = connection;
  if (serving_) thread_ = std::thread(&FakeNetworkManager::Serve, this);
}

FakeNetworkManager::~FakeNetworkManager() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (auto* connection = static_cast<DBusConnection*>(connection_)) {
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
  }
}

void FakeNetworkManager::Serve() {
  auto* connection = static_cast<DBusConnection*>(connection_);
  while (!stop_ && dbus_connection_read_write(connection, 20)) {
    while (DBusMessage* message = dbus_connection_pop_message(connection)) {
      if (dbus_message_is_method_call(message, DBUS_INTERFACE_PROPERTIES, "Get")) {
        ++calls_;
        const char* interface = "";
        const char* name = "";
        dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name,
                              DBUS_TYPE_INVALID);
        const int value = std::strcmp(name, "Connectivity") == 0 ? connectivity_.load()
                          : std::strcmp(name, "State") == 0       ? state_.load()
                                                                  : -1;
        DBusMessage* reply;
        if (value < 0) {
          reply = dbus_message_new_error(message, DBUS_ERROR_UNKNOWN_PROPERTY, "no such property");
        } else {
          reply = dbus_message_new_method_return(message);
          DBusMessageIter top, variant;
          dbus_message_iter_init_append(reply, &top);
          dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, DBUS_TYPE_UINT32_AS_STRING, &variant);
          const dbus_uint32_t v = static_cast<dbus_uint32_t>(value);
          dbus_message_iter_append_basic(&variant, DBUS_TYPE_UINT32, &v);
          dbus_message_iter_close_container(&top, &variant);
        }
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);
      }
      dbus_message_unref(message);
    }
  }
}

}  // namespace testing_support
