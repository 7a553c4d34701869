// The freedesktop screen saver (org.freedesktop.ScreenSaver) on a D-Bus
// session bus: what keeps a Linux machine awake while Rovana navigates.
//
//   SimulateActivity  resets the desktop's idle timer, as user input would;
//   Inhibit/UnInhibit keeps the screen from blanking (and the session from
//                     going idle) until released or until we disconnect.
//
// Every call blocks for at most kCallTimeoutMs and reports failure through a
// small result; nothing throws. One object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct DBusConnection;

namespace platform {

struct BusResult {
  bool ok = false;
  std::string error;  // the bus's error name and message when !ok
};

class ScreenSaver {
 public:
  static constexpr int kCallTimeoutMs = 2000;

  // Connects to the bus at `address` (a D-Bus address such as
  // "unix:path=/run/user/1000/bus"); an empty address means the session bus
  // named by DBUS_SESSION_BUS_ADDRESS. Null when there is no such bus,
  // with the reason in `error`.
  static std::unique_ptr<ScreenSaver> Connect(const std::string& address, std::string* error);

  ~ScreenSaver();  // disconnecting also ends a held inhibit on the bus side
  ScreenSaver(const ScreenSaver&) = delete;
  ScreenSaver& operator=(const ScreenSaver&) = delete;

  BusResult SimulateActivity();

  // Takes an inhibit unless one is held. `application` and `reason` are
  // shown by desktops that list inhibitors; both must be UTF-8.
  BusResult Inhibit(const std::string& application, const std::string& reason);
  // Releases a held inhibit; succeeds at once when none is held.
  BusResult UnInhibit();
  bool inhibited() const { return inhibited_; }

 private:
  explicit ScreenSaver(DBusConnection* connection) : connection_(connection) {}

  DBusConnection* connection_;
  bool inhibited_ = false;
  std::uint32_t cookie_ = 0;
};

}  // namespace platform
