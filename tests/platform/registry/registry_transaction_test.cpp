// Transactions (a plan read and applied under one lock) and the clean-up of
// temporary files that killed writers leave beside the registry.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/Registry.h"

namespace fs = std::filesystem;
using registry::Batch;
using registry::Registry;
using registry::Snapshot;
using registry::Status;
using registry::StatusCode;

namespace {

class RegistryTransaction : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = fs::temp_directory_path() / ("registry-tx-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = folder_ / "registry";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  Registry Reg() const { return Registry(file_); }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_, file_;
};

// Adds one to "Counter\\n" (kept as text, so the plan must read it first).
Status Increment(const Snapshot& now, Batch* batch) {
  const int n = std::stoi(now.GetString("Counter", "n").value_or("0"));
  batch->SetString("Counter", "n", std::to_string(n + 1));
  return {};
}

TEST_F(RegistryTransaction, ThePlanSeesTheRegistryAsItIsAndItsBatchIsApplied) {
  ASSERT_TRUE(Reg().SetString("A\\B", "x", "1").ok());
  ASSERT_TRUE(Reg().CreateKey("A\\C").ok());
  const Status s = Reg().Transact([](const Snapshot& now, Batch* batch) {
    EXPECT_TRUE(now.KeyExists("a\\b")) << "names compare without case";
    EXPECT_FALSE(now.KeyExists("A\\D"));
    EXPECT_EQ(now.SubKeys("A"), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(now.SubKeys(""), (std::vector<std::string>{"A"}));
    EXPECT_EQ(now.GetString("A\\B", "x"), "1");
    EXPECT_EQ(now.GetString("A\\B", "y"), std::nullopt);
    EXPECT_EQ(now.GetString("A\\\\B", "x"), std::nullopt) << "an invalid path finds nothing";
    for (const std::string& name : now.SubKeys("A")) batch->DeleteKey("A\\" + name);
    batch->SetString("Done", "", "yes");
    return Status{};
  });
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_TRUE(Reg().SubKeys("A").empty());
  EXPECT_EQ(Reg().GetString("Done", ""), "yes");
}

TEST_F(RegistryTransaction, AFailingPlanOrAnInvalidOperationChangesNothing) {
  ASSERT_TRUE(Reg().SetString("Keep", "", "old").ok());
  const Status refused = Reg().Transact([](const Snapshot&, Batch* batch) {
    batch->SetString("Keep", "", "new");
    return Status{StatusCode::NotFound, 0, "nothing to do"};
  });
  EXPECT_EQ(refused.code, StatusCode::NotFound);
  EXPECT_EQ(refused.message, "nothing to do");
  const Status invalid = Reg().Transact([](const Snapshot&, Batch* batch) {
    batch->SetString("Keep", "", "new");
    batch->SetString("Bad\\\\Path", "", "x");
    return Status{};
  });
  EXPECT_EQ(invalid.code, StatusCode::Invalid);
  EXPECT_EQ(Reg().GetString("Keep", ""), "old");
}

// Read-modify-write from threads and a second process: no increment is lost,
// which would happen if the plan read outside the writer's lock.
TEST_F(RegistryTransaction, ConcurrentReadModifyWritesLoseNothing) {
  constexpr int kThreads = 3, kEach = 40;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Registry reg(file_);
    for (int i = 0; i < kEach; ++i)
      if (!reg.Transact(Increment).ok()) ::_exit(1);
    ::_exit(0);
  }
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      Registry reg(file_);
      for (int i = 0; i < kEach; ++i) failures[t] += !reg.Transact(Increment).ok();
    });
  for (auto& th : threads) th.join();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(std::count(failures.begin(), failures.end(), 0), kThreads);
  EXPECT_EQ(Reg().GetString("Counter", "n"), std::to_string((kThreads + 1) * kEach));
}

// Guards: temporary files of writers killed before their rename stayed
// beside the registry for ever.
TEST_F(RegistryTransaction, TheNextWriterRemovesStaleTemporaryFilesOnly) {
  struct Case {
    const char* name;
    bool stale;
  };
  const Case cases[] = {
      {"registry.tmp.4242.0123456789abcdef", true},
      {"registry.tmp.1.ffffffffffffffff", true},
      {"registry.tmp.4242.0123456789abcde", false},    // 15 digits
      {"registry.tmp.4242.0123456789ABCDEF", false},   // upper case is not ours
      {"registry.tmp.x42.0123456789abcdef", false},    // no process id
      {"registry.tmp.1", false},                        // another registry's name
      {"registry.tmp.1.tmp.2.0123456789abcdef", false}, // that registry's own temporary file
      {"other.tmp.4242.0123456789abcdef", false},      // another file's temporary file
      {"registry.lock", false},
  };
  for (const Case& c : cases) std::ofstream(folder_ / c.name) << "left over";
  ASSERT_TRUE(Reg().SetString("Key", "", "value").ok());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(fs::exists(folder_ / c.name), !c.stale);
  }
  EXPECT_EQ(Reg().GetString("Key", ""), "value");
}

// A writer killed between writing its temporary file and the rename leaves
// the old registry and a stale file, which the next change removes.
TEST_F(RegistryTransaction, AWriterKilledBeforeItsRenameLeavesTheOldRegistry) {
  ASSERT_TRUE(Reg().SetString("Key", "", "old").ok());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Stands in for a writer at the moment of its death: the lock is held
    // (by this process) and the temporary file is written but not renamed.
    std::ofstream(folder_ / ("registry.tmp." + std::to_string(::getpid()) + ".00000000deadbeef")) << "half";
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(Reg().GetString("Key", ""), "old");
  ASSERT_TRUE(Reg().SetString("Key", "", "new").ok());
  EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"registry", "registry.lock"}));
}

}  // namespace
