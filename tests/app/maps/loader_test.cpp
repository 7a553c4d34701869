// The job queue with its real worker thread: order, cancel, release and the
// life of a job that is running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/maps/Loader.h"
#include "platform/sync/Event.h"
#include "tests/support/LoggedFolder.h"

namespace {

using rovana::maps::Job;
using rovana::maps::Loader;
using rovana::maps::LoaderPolicy;

// A job that records its run and its end, and can be held inside Run.
struct Trace {
  std::mutex lock;
  std::vector<std::string> runs;
  std::atomic<int> destroyed{0};
};

class TracedJob : public Job {
 public:
  TracedJob(Trace& trace, std::string name, platform::Event* hold = nullptr, platform::Event* started = nullptr)
      : trace_(trace), name_(std::move(name)), hold_(hold), started_(started) {}
  ~TracedJob() override { ++trace_.destroyed; }
  void Run() override {
    if (started_) started_->Set();
    if (hold_) hold_->Wait(10000);
    std::lock_guard<std::mutex> guard(trace_.lock);
    trace_.runs.push_back(name_);
  }

 private:
  Trace& trace_;
  std::string name_;
  platform::Event* hold_;
  platform::Event* started_;
};

template <typename Condition>
bool WaitFor(Condition condition, int ms = 5000) {
  for (int waited = 0; waited < ms; waited += 5) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

class LoaderTest : public testing_support::LoggedFolderTest {};

TEST_F(LoaderTest, JobsRunInThePolicysOrder) {
  struct Case {
    const char* name;
    LoaderPolicy policy;
    std::vector<std::string> expected;
  } cases[] = {{"oldest first", LoaderPolicy::OldestFirst, {"a", "b", "c"}},
               {"newest first", LoaderPolicy::NewestFirst, {"c", "b", "a"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Trace trace;
    Loader loader("test", c.policy, 10);
    std::vector<Job*> jobs;
    for (const char* name : {"a", "b", "c"}) jobs.push_back(loader.Add(std::make_unique<TracedJob>(trace, name)));
    EXPECT_EQ(loader.count(), 3);
    EXPECT_EQ(loader.pending(), 3);
    loader.Start();
    ASSERT_TRUE(WaitFor([&] { return loader.IsDone(jobs[0]) && loader.IsDone(jobs[1]) && loader.IsDone(jobs[2]); }));
    EXPECT_EQ(trace.runs, c.expected);
    EXPECT_EQ(loader.pending(), 0);
    for (Job* job : jobs) loader.Release(job);
    EXPECT_TRUE(WaitFor([&] { return loader.count() == 0; }));
    EXPECT_EQ(trace.destroyed, 3);
  }
}

TEST_F(LoaderTest, StartingLogsTheWorkerThread) {
  Loader loader("pictures", LoaderPolicy::OldestFirst, 10);
  loader.Start();
  char expected[64];
  std::snprintf(expected, sizeof expected, "LoaderThread=0x%x", static_cast<unsigned>(loader.workerId()));
  EXPECT_NE(LogText().find(expected), std::string::npos) << LogText();
}

TEST_F(LoaderTest, AWaitingJobIsCancelledAndDestroyedWithoutRunning) {
  Trace trace;
  platform::Event hold(true), started(true);
  Loader loader("test", LoaderPolicy::OldestFirst, 10);
  Job* blocker = loader.Add(std::make_unique<TracedJob>(trace, "blocker", &hold, &started));
  Job* waiting = loader.Add(std::make_unique<TracedJob>(trace, "waiting"));
  loader.Start();
  ASSERT_TRUE(started.Wait(5000));
  EXPECT_TRUE(loader.Cancel(waiting));
  hold.Set();
  ASSERT_TRUE(WaitFor([&] { return loader.IsDone(blocker); }));
  loader.Release(blocker);
  ASSERT_TRUE(WaitFor([&] { return loader.count() == 0; }));
  EXPECT_EQ(trace.runs, std::vector<std::string>{"blocker"});
  EXPECT_EQ(trace.destroyed, 2);
}

TEST_F(LoaderTest, ARunningJobIsNotCancelledAndIsFreedOnlyAfterItIsDone) {
  Trace trace;
  platform::Event hold(true), started(true);
  Loader loader("test", LoaderPolicy::OldestFirst, 10);
  Job* job = loader.Add(std::make_unique<TracedJob>(trace, "long", &hold, &started));
  loader.Start();
  ASSERT_TRUE(started.Wait(5000));
  EXPECT_TRUE(loader.IsRunning(job));
  EXPECT_FALSE(loader.Cancel(job));
  EXPECT_FALSE(loader.IsDone(job));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(trace.destroyed, 0);  // still running, still there
  hold.Set();
  ASSERT_TRUE(WaitFor([&] { return loader.IsDone(job); }));
  EXPECT_FALSE(loader.Cancel(job));  // done: not cancelled either
  EXPECT_EQ(trace.destroyed, 0);     // done but not released
  loader.Release(job);
  EXPECT_TRUE(WaitFor([&] { return trace.destroyed == 1; }));
}

TEST_F(LoaderTest, AnAddWakesAnIdleWorkerAndStopKeepsWaitingJobs) {
  Trace trace;
  Loader loader("test", LoaderPolicy::OldestFirst, 60000);  // a wake-up per minute only
  loader.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Job* job = loader.Add(std::make_unique<TracedJob>(trace, "woken"));
  EXPECT_TRUE(WaitFor([&] { return loader.IsDone(job); }, 2000));
  loader.Stop();
  Job* later = loader.Add(std::make_unique<TracedJob>(trace, "later"));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(loader.IsDone(later));
  EXPECT_EQ(loader.pending(), 1);
}

TEST_F(LoaderTest, QueuedJobsDieWithTheQueue) {
  Trace trace;
  {
    Loader loader("test");
    loader.Add(std::make_unique<TracedJob>(trace, "never"));
    EXPECT_EQ(loader.Add(nullptr), nullptr);
  }
  EXPECT_EQ(trace.destroyed, 1);
  EXPECT_TRUE(trace.runs.empty());
}

}  // namespace
