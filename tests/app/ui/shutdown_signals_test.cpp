// SIGINT, SIGTERM and SIGHUP sent to a running Rovana: each starts the normal
// shutdown without the quit question, from the main screen and from a modal
// dialog alike, and the program ends with status 0 and everything saved.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/signals/ShutdownSignals.h"
#include "tests/support/TempRegistry.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits up to `limit` for `piece` in the file; true when it came.
bool WaitFor(const fs::path& file, const std::string& piece, std::chrono::milliseconds limit = 20s) {
  for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(20ms))
    if (ReadFile(file).find(piece) != std::string::npos) return true;
  return false;
}

// The exit status, 128 + signal when killed, -1 when it did not end in time
// (then it is killed).
int WaitForExit(pid_t pid, std::chrono::milliseconds limit = 20s) {
  for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(20ms)) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

pid_t StartRovana(const fs::path& home) {
  const std::string homeText = home.string();
  const char* argv[] = {ROVANA_PATH, "--home", homeText.c_str(), nullptr};
  pid_t pid = -1;
  EXPECT_EQ(::posix_spawn(&pid, ROVANA_PATH, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  return pid;
}

struct Case {
  const char* name;
  int signal;
  bool firstStart;  // the first-start language dialog is open when the signal comes
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class ShutdownSignalTest : public ::testing::TestWithParam<Case> {};

TEST_P(ShutdownSignalTest, StartsTheNormalShutdown) {
  const Case& c = GetParam();
  testing_support::TempRegistry registry;
  const fs::path home = registry.folder() / "home";
  fs::create_directories(home);
  if (!c.firstStart) {
    // A home whose language was chosen before: straight to the main screen.
    std::ofstream(home / "settings.xml") << "<?xml version=\"1.0\"?>\n<settings>\n<languageInit>1</languageInit>\n"
                                             "<language>German</language>\n</settings>\n";
  }
  const pid_t pid = StartRovana(home);
  ASSERT_GT(pid, 0);
  const fs::path log = home / "log.txt";
  const bool ready = WaitFor(log, c.firstStart ? "Language dialog at first start" : "Starting Rovana");
  if (ready) std::this_thread::sleep_for(200ms);  // the dialog's or the screen's event loop runs
  ::kill(pid, c.signal);
  const int status = WaitForExit(pid);
  ASSERT_TRUE(ready) << ReadFile(log);
  EXPECT_EQ(status, 0) << ReadFile(log);

  const std::string text = ReadFile(log);
  for (const std::string& piece : {std::string("Signal ") + std::to_string(c.signal) + " (" + sigabbrev_np(c.signal) +
                                       "): shutting down",
                                   std::string("Quitting Rovana!"), std::string("Settings saved"),
                                   std::string("Log closed")})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text;
  const std::string settings = ReadFile(home / "settings.xml");
  EXPECT_GT(settings.size(), 1000u) << "the whole settings file is written";
}

INSTANTIATE_TEST_SUITE_P(Signals, ShutdownSignalTest,
                         ::testing::Values(Case{"TermOnTheMainScreen", SIGTERM, false},
                                           Case{"IntOnTheMainScreen", SIGINT, false},
                                           Case{"HupOnTheMainScreen", SIGHUP, false},
                                           Case{"TermInTheFirstStartDialog", SIGTERM, true}),
                         [](const ::testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

// Guards a damaged settings.xml: it was overwritten with defaults at quit.
// The user is told once in a message box at start-up (here ended by a
// signal), and the damaged file is kept beside the new one.
TEST(ShutdownSignals, DamagedSettingsAreShownOnceAndKept) {
  testing_support::TempRegistry registry;
  const fs::path home = registry.folder() / "home";
  fs::create_directories(home);
  const std::string damaged = "<?xml version=\"1.0\"?>\n<settings>\n<languageInit>1</languageInit>\n<password>kept";
  std::ofstream(home / "settings.xml") << damaged;
  const pid_t pid = StartRovana(home);
  ASSERT_GT(pid, 0);
  const bool shown = WaitFor(home / "log.txt", "Folder problems shown to the user");
  if (shown) std::this_thread::sleep_for(200ms);
  ::kill(pid, SIGTERM);
  EXPECT_EQ(WaitForExit(pid), 0);
  ASSERT_TRUE(shown) << ReadFile(home / "log.txt");
  EXPECT_EQ(ReadFile(home / "settings.xml.bad"), damaged);
  EXPECT_GT(ReadFile(home / "settings.xml").size(), 1000u) << "a whole new settings file";
}

// The first signal only wakes the event loop; a second ends the process at
// once with 128 + its number, so a hanging shutdown can still be stopped.
TEST(ShutdownSignals, FirstWakesTheLoopSecondEndsAtOnce) {
  ASSERT_TRUE(platform::ShutdownSignals::Install());
  ASSERT_GE(platform::ShutdownSignals::ReadFd(), 0);
  EXPECT_EQ(platform::ShutdownSignals::Take(), 0);
  ::raise(SIGHUP);
  char byte = 0;
  EXPECT_EQ(::read(platform::ShutdownSignals::ReadFd(), &byte, 1), 1) << "the pipe is readable";
  EXPECT_EQ(platform::ShutdownSignals::Take(), SIGHUP);
  platform::ShutdownSignals::Reset();
  EXPECT_EXIT(
      {
        ::raise(SIGTERM);
        ::raise(SIGINT);
        std::_Exit(0);  // not reached
      },
      ::testing::ExitedWithCode(128 + SIGINT), "");
  platform::ShutdownSignals::Uninstall();
  EXPECT_EQ(platform::ShutdownSignals::ReadFd(), -1);
}

}  // namespace
