#include "app/screen/BootThread.h"

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "platform/power/ScreenSaver.h"
#include "platform/sync/Thread.h"

namespace rovana::screen {

namespace {
constexpr const char* kApplication = "Rovana";
constexpr const char* kBacklightReason = "Keeping the screen on while navigating";
}  // namespace

BootThread::BootThread(const SettingsStore& settings, std::atomic<bool>& quit, std::chrono::milliseconds period,
                       std::string busAddress)
    : settings_(settings), quit_(quit), period_(period), busAddress_(std::move(busAddress)) {}

BootThread::~BootThread() { Stop(); }

void BootThread::Start() {
  if (thread_.joinable()) return;
  platform::StartedThread started = platform::StartThread([this] { Run(); });
  thread_ = std::move(started.thread);
  LogMessage("BootThread=0x%x", started.id);
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
  lock.unlock();
  // Leaving gives the backlight back; the connection goes with the thread.
  if (saver_ && saver_->inhibited()) Report("UnInhibit", saver_->UnInhibit().error);
  saver_.reset();
  backlightHeld_ = false;
}

void BootThread::Report(const char* what, const std::string& error) {
  if (error.empty() || error == lastError_) return;
  lastError_ = error;
  LogMessage("BootThread: screen saver %s failed: %s", what, error.c_str());
}

void BootThread::Pass() {
  ++passes_;
  if (!busChecked_) {
    busChecked_ = true;
    std::string error;
    saver_ = platform::ScreenSaver::Connect(busAddress_, &error);
    if (!saver_) LogMessage("BootThread: %s; standby and backlight are left to the system", error.c_str());
  }
  if (!saver_) return;

  if (settings_.preventStandbyEnabled) {
    platform::BusResult result = saver_->SimulateActivity();
    if (!result.ok) Report("SimulateActivity", result.error);
  }
  const bool wantBacklight = settings_.preventBackLightsEnabled;
  if (wantBacklight && !saver_->inhibited()) {
    platform::BusResult result = saver_->Inhibit(kApplication, kBacklightReason);
    if (!result.ok) Report("Inhibit", result.error);
  } else if (!wantBacklight && saver_->inhibited()) {
    platform::BusResult result = saver_->UnInhibit();
    if (!result.ok) Report("UnInhibit", result.error);
  }
  backlightHeld_ = saver_->inhibited();
}

}  // namespace rovana::screen
