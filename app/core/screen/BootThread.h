// BootThread: keeps the machine awake while Rovana runs. Every period (10 s)
// until the quit flag is set it resets the idle timer when
// `preventStandbyEnabled` is set, and holds the backlight at full power while
// `preventBackLightsEnabled` is set (released when the setting goes false).
//
// On Linux both map to the freedesktop screen-saver inhibit of the session
// bus. Without a session bus there is nothing to talk to: that is logged once
// and the passes do nothing.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace rovana {
class SettingsStore;
}

namespace rovana::screen {

class BootThread {
 public:
  BootThread(const SettingsStore& settings, std::atomic<bool>& quit,
             std::chrono::milliseconds period = std::chrono::milliseconds(10000));
  ~BootThread();  // stops and joins
  BootThread(const BootThread&) = delete;
  BootThread& operator=(const BootThread&) = delete;

  // Starts the thread and logs "BootThread=0x<id>".
  void Start();
  // Wakes the thread and waits for it; the quit flag should be set first.
  void Stop();

  int passes() const { return passes_.load(); }
  bool backlightHeld() const { return backlightHeld_.load(); }

 private:
  void Run();
  void Pass();

  const SettingsStore& settings_;
  std::atomic<bool>& quit_;
  std::chrono::milliseconds period_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
  std::atomic<int> passes_{0};
  std::atomic<bool> backlightHeld_{false};
  bool busChecked_ = false;
  bool busPresent_ = false;
};

}  // namespace rovana::screen
