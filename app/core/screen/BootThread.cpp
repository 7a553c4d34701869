#include "app/core/screen/BootThread.h"

#include <cstdlib>
#include <functional>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"

namespace rovana::screen {

BootThread::BootThread(const SettingsStore& settings, std::atomic<bool>& quit, std::chrono::milliseconds period)
    : settings_(settings), quit_(quit), period_(period) {}

BootThread::~BootThread() { Stop(); }

void BootThread::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread(&BootThread::Run, this);
  LogMessage("BootThread=0x%zx", std::hash<std::thread::id>{}(thread_.get_id()) & 0xFFFFFFFFu);
}

void BootThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BootThread::Run() {
  std::unique_lock lock(mutex_);
  while (!quit_.load() && !stop_) {
    if (wake_.wait_for(lock, period_, [this] { return stop_ || quit_.load(); })) break;
    lock.unlock();
    Pass();
    lock.lock();
  }
}

void BootThread::Pass() {
  ++passes_;
  if (!busChecked_) {
    busChecked_ = true;
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    busPresent_ = address && *address;
    if (!busPresent_)
      LogMessage("BootThread: no session bus; standby and backlight are left to the system");
    else
      LogMessage("BootThread: session bus found; the screen-saver inhibit is not used yet");
  }
  // The idle timer reset and the backlight requirement: the state is kept so
  // the inhibit can be taken once and released when the setting goes false.
  const bool wantBacklight = settings_.preventBackLightsEnabled;
  if (wantBacklight != backlightHeld_.load()) backlightHeld_.store(wantBacklight);
}

}  // namespace rovana::screen
