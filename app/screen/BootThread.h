// BootThread: keeps the machine awake while Rovana runs. Every period (10 s)
// until the quit flag is set it resets the idle timer when
// `preventStandbyEnabled` is set, and holds the backlight at full power while
// `preventBackLightsEnabled` is set (released when the setting goes false).
//
// On Linux both go to the desktop's screen saver on the session bus: the idle
// timer reset is SimulateActivity, the backlight requirement an inhibit taken
// once and given back when the setting goes false or the thread ends. Without
// a session bus there is nothing to talk to: that is logged once and the
// passes do nothing. A failing call is logged when its reason changes, and
// tried again next pass (a screen saver may start later).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {
class ScreenSaver;
}

namespace rovana {
class SettingsStore;
}

namespace rovana::screen {

class BootThread {
 public:
  // `busAddress` empty: the session bus of the environment.
  BootThread(const SettingsStore& settings, std::atomic<bool>& quit,
             std::chrono::milliseconds period = std::chrono::milliseconds(10000), std::string busAddress = {});
  ~BootThread();  // stops and joins
  BootThread(const BootThread&) = delete;
  BootThread& operator=(const BootThread&) = delete;

  // Starts the thread and logs "BootThread=0x<thread id>".
  void Start();
  // Wakes the thread and waits for it; the quit flag should be set first.
  void Stop();

  int passes() const { return passes_.load(); }
  bool backlightHeld() const { return backlightHeld_.load(); }

 private:
  void Run();
  void Pass();
  void Report(const char* what, const std::string& error);

  const SettingsStore& settings_;
  std::atomic<bool>& quit_;
  std::chrono::milliseconds period_;
  std::string busAddress_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
  std::atomic<int> passes_{0};
  std::atomic<bool> backlightHeld_{false};
  // Used by the thread only.
  bool busChecked_ = false;
  std::unique_ptr<platform::ScreenSaver> saver_;
  std::string lastError_;
};

}  // namespace rovana::screen
