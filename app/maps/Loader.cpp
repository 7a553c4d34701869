#include "app/maps/Loader.h"

#include <algorithm>
#include <new>

#include "app/core/Log.h"
#include "platform/sync/Thread.h"

namespace rovana::maps {

Loader::Loader(const char* name, LoaderPolicy policy, std::uint32_t idleMs)
    : name_(name ? name : "loader"), policy_(policy), idleMs_(idleMs) {}

Loader::~Loader() {
  Stop();
  std::lock_guard<std::recursive_mutex> guard(lock_);
  jobs_.clear();
}

void Loader::Start() {
  if (worker_.joinable()) return;
  quit_ = false;
  platform::StartedThread started = platform::StartThread([this] { WorkerLoop(); });
  worker_ = std::move(started.thread);
  workerId_ = started.id;
  LogMessage("LoaderThread=0x%x (%s)", static_cast<unsigned>(workerId_), name_);
}

void Loader::Stop() {
  if (!worker_.joinable()) return;
  quit_ = true;
  wake_.Set();
  worker_.join();
  worker_ = std::thread();
}

Job* Loader::Add(std::unique_ptr<Job> job) {
  if (!job) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(lock_);
  Job* raw = job.get();
  try {
    jobs_.push_front(std::move(job));
  } catch (const std::bad_alloc&) {
    LogMessage("Loader %s: no memory for a job", name_);
    return nullptr;
  }
  wake_.Set();
  return raw;
}

bool Loader::Cancel(Job* job) {
  if (!job) return false;
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (job->running_) return false;
  job->discard_ = true;
  return true;
}

void Loader::Release(Job* job) {
  if (!job) return;
  std::lock_guard<std::recursive_mutex> guard(lock_);
  job->discard_ = true;
}

bool Loader::IsDone(const Job* job) const {
  if (!job) return false;
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return job->done_;
}

bool Loader::IsRunning(const Job* job) const {
  if (!job) return false;
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return job->running_ && !job->done_;
}

int Loader::count() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return static_cast<int>(jobs_.size());
}

int Loader::pending() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return static_cast<int>(
      std::count_if(jobs_.begin(), jobs_.end(), [](const auto& job) { return !job->done_ && !job->discard_; }));
}

Job* Loader::NextJob() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  // Only this thread runs jobs and none runs now, so a discarded job is
  // never one in use by the worker; its owner has let go of it.
  std::erase_if(jobs_, [](const std::unique_ptr<Job>& job) { return job->discard_; });
  auto waiting = [](const std::unique_ptr<Job>& job) { return !job->running_; };
  Job* next = nullptr;
  if (policy_ == LoaderPolicy::OldestFirst) {
    auto it = std::find_if(jobs_.rbegin(), jobs_.rend(), waiting);
    if (it != jobs_.rend()) next = it->get();
  } else {
    auto it = std::find_if(jobs_.begin(), jobs_.end(), waiting);
    if (it != jobs_.end()) next = it->get();
  }
  if (next) next->running_ = true;
  return next;
}

void Loader::WorkerLoop() {
  while (!quit_) {
    Job* job = NextJob();
    if (!job) {
      wake_.Wait(idleMs_);
      continue;
    }
    try {
      job->Run();
    } catch (...) {
      LogMessage("Loader %s: a job failed with an exception", name_);
    }
    std::lock_guard<std::recursive_mutex> guard(lock_);
    job->done_ = true;
  }
}

}  // namespace rovana::maps
