// Loader: a queue of background jobs with one worker thread. One instance
// decodes map pictures, another downloads map tiles; both take the oldest
// waiting job first.
//
// Ownership: Add hands the job to the queue, which destroys it. The caller
// keeps the returned pointer as its reference to the job and must end that
// reference with Release (or a successful Cancel) before the queue may free
// it; the worker never frees a job the caller still refers to. A job that is
// running is never destroyed: Cancel refuses it, and its owner waits (by
// polling IsDone) until it is done and then releases it.
//
// Threads: every public method may be called from any thread; each takes the
// queue's re-entrant lock for its whole body. The worker runs a job outside
// the lock. Jobs still queued when the Loader is destroyed are destroyed
// with it (after the worker has stopped), so owners must not use their
// pointers after that.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/sync/Event.h"

namespace rovana::maps {

class Loader;

class Job {
 public:
  virtual ~Job() = default;
  // The work, on the worker thread, outside the queue's lock.
  virtual void Run() = 0;

 private:
  friend class Loader;
  bool running_ = false;  // guarded by the owning queue's lock
  bool done_ = false;
  bool discard_ = false;
};

enum class LoaderPolicy : int {
  OldestFirst = 0,  // the waiting job nearest the tail (what both queues use)
  NewestFirst = 1,  // the first waiting job from the head
};

class Loader {
 public:
  // `name` names the queue in its log lines ("pictures", "tiles"). The
  // worker waits `idleMs` between looks at an empty queue (an Add wakes it
  // at once).
  explicit Loader(const char* name, LoaderPolicy policy = LoaderPolicy::OldestFirst, std::uint32_t idleMs = 1000);
  // Stops the worker (waiting for a running job to end) and destroys every
  // job still queued.
  ~Loader();
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;

  // Starts the worker thread; logs "LoaderThread=0x%x" with its id. A
  // second call does nothing. Jobs added before it wait until then.
  void Start();
  // Ends the worker after its current job; jobs stay queued. Called by the
  // destructor; a stopped queue may be started again.
  void Stop();

  // Links `job` at the head; returns the caller's reference to it, null
  // when there is no job or no memory.
  Job* Add(std::unique_ptr<Job> job);
  // A job not yet running is marked discard (the worker destroys it) and the
  // call returns true; a running or finished job is left alone: false.
  bool Cancel(Job* job);
  // Marks the job discard: the worker destroys it on its next round. The
  // caller must not touch it afterwards.
  void Release(Job* job);
  bool IsDone(const Job* job) const;
  bool IsRunning(const Job* job) const;

  // Jobs in the queue, discarded ones not yet destroyed included.
  int count() const;
  // Jobs not yet done and not discarded (the main screen slows its redraws
  // while tiles are pending).
  int pending() const;
  std::uint32_t workerId() const { return workerId_; }

 private:
  void WorkerLoop();
  // Destroys discarded jobs and picks the next one to run, under the lock.
  Job* NextJob();

  const char* name_;
  const LoaderPolicy policy_;
  const std::uint32_t idleMs_;
  mutable std::recursive_mutex lock_;
  std::deque<std::unique_ptr<Job>> jobs_;  // front = head = newest
  platform::Event wake_;
  std::atomic<bool> quit_{false};
  std::thread worker_;
  std::uint32_t workerId_ = 0;
};

}  // namespace rovana::maps
