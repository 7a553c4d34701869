// LogMessage: the "HH:MM:SS: message" line in local time, the cut of long
// messages, the truncation of the previous log, every line on disk as soon as
// the call returns (read back while the log stays open), whole lines from
// many threads at once, and a log that could not be opened.
#include "app/core/Log.h"
#include "tests/support/ScopedTimeZone.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace rovana {
namespace {

namespace fs = std::filesystem;

// The longest message kept whole.
constexpr std::size_t kMessageLimit = 1024;
// "HH:MM:SS: " in front of every message.
constexpr std::size_t kStampLength = 10;

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = fs::temp_directory_path() / ("log-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = folder_ / "log.txt";
  }
  void TearDown() override {
    CloseLog();
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string Contents() const {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // The file's lines without their '\n'; the last entry holds what follows
  // the last '\n' (empty when the file ends with one).
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    const std::string text = Contents();
    std::size_t from = 0;
    for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
      lines.push_back(text.substr(from, nl - from));
    lines.push_back(text.substr(from));
    return lines;
  }
  fs::path folder_, file_;
};

// Seconds since midnight of a "HH:MM:SS" stamp, -1 when it is none.
int StampSeconds(const std::string& line) {
  static const std::regex stamp("^([01][0-9]|2[0-3]):([0-5][0-9]):([0-5][0-9]): ");
  std::smatch m;
  if (!std::regex_search(line, m, stamp)) return -1;
  return std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stoi(m[3]);
}

int LocalSecondsNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

using testing_support::ScopedTimeZone;

TEST_F(LogTest, LineIsTheLocalTimeAndTheMessage) {
  // Five and a half hours east of UTC: a stamp in UTC, or in the zone the
  // machine happens to have, differs from the local time of this zone.
  ScopedTimeZone zone("ROV-5:30");
  OpenLog(file_);
  const int before = LocalSecondsNow();
  LogMessage("fix %d of %s at %.2f", 7, "GPS", 1.5);
  const int after = LocalSecondsNow();
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u) << Contents();
  EXPECT_EQ(lines[1], "") << "the line ends with a newline";
  const std::string& line = lines[0];
  ASSERT_EQ(line.size(), kStampLength + std::string("fix 7 of GPS at 1.50").size()) << line;
  EXPECT_EQ(line.substr(kStampLength), "fix 7 of GPS at 1.50");
  const int stamp = StampSeconds(line);
  ASSERT_GE(stamp, 0) << line;
  if (before <= after) {  // the call did not straddle midnight
    EXPECT_GE(stamp, before) << line;
    EXPECT_LE(stamp, after) << line;
  }
}

// Regression: the message buffer held 1023 characters and a terminating zero,
// so a message of exactly 1024 characters lost its last one.
TEST_F(LogTest, MessagesAreCutAt1024Characters) {
  struct Case {
    std::size_t length;  // of the message handed over
    std::size_t kept;    // of the message in the line
  };
  const Case cases[] = {{0, 0},       {1, 1},       {1023, 1023},  {1024, 1024},
                        {1025, 1024}, {5000, 1024}, {100000, 1024}};
  int failures = 0;
  for (const Case& c : cases) {
    OpenLog(file_);
    std::string message(c.length, 'm');
    if (c.length > 0) message.back() = 'z';  // shows whether the end survived
    LogMessage("%s", message.c_str());
    const std::string expected = message.substr(0, c.kept);
    const std::string text = Contents();
    if (text.size() != kStampLength + c.kept + 1 || text.back() != '\n' ||
        text.compare(kStampLength, c.kept, expected) != 0 || StampSeconds(text) < 0) {
      ++failures;
      ADD_FAILURE() << "message of " << c.length << ": line of " << text.size() << " bytes, expected "
                    << kStampLength + c.kept + 1;
    }
  }
  // A cut through a formatted field, not just through a long argument.
  OpenLog(file_);
  LogMessage("%2000d|", 1);
  const std::string text = Contents();
  EXPECT_EQ(text.size(), kStampLength + kMessageLimit + 1);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(failures, 0);
}

// Guards the cut of a long message through a multibyte character: the line
// must stay valid UTF-8, ending with the last whole character.
TEST_F(LogTest, ACutNeverSplitsAUtf8Character) {
  int failures = 0;
  for (std::size_t pad = 1020; pad <= 1024; ++pad) {
    OpenLog(file_);
    const std::string message = std::string(pad, 'a') + "\xE2\x82\xAC\xF0\x9F\x98\x80tail";  // euro, emoji
    LogMessage("%s", message.c_str());
    const std::string text = Contents();
    const std::string kept = text.substr(kStampLength, text.size() - kStampLength - 1);
    // What was kept is a prefix of the message that ends on a character boundary.
    const bool prefix = message.compare(0, kept.size(), kept) == 0;
    const bool boundary = kept.size() == message.size() ||
                          (static_cast<unsigned char>(message[kept.size()]) & 0xC0) != 0x80;
    if (!prefix || !boundary || kept.size() > kMessageLimit || kept.size() + 4 <= kMessageLimit) {
      ++failures;
      ADD_FAILURE() << "pad " << pad << ": kept " << kept.size() << " bytes";
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(LogTest, OpeningTruncatesThePreviousLog) {
  {
    std::ofstream old(file_);
    for (int i = 0; i < 1000; ++i) old << "00:00:00: line of an earlier run " << i << "\n";
  }
  OpenLog(file_);
  EXPECT_EQ(Contents(), "") << "the old log is gone as soon as the new one is open";
  LogMessage("first of this run");
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(kStampLength), "first of this run");

  // Opening again while a log is open starts it over too.
  OpenLog(file_);
  LogMessage("second run");
  ASSERT_EQ(Lines().size(), 2u);
  EXPECT_EQ(Lines()[0].substr(kStampLength), "second run");
}

TEST_F(LogTest, EveryLineIsInTheFileWhenTheCallReturns) {
  OpenLog(file_);
  int failures = 0;
  for (int i = 0; i < 200; ++i) {
    LogMessage("line %d", i);
    // Read through a second descriptor while the log stays open: what a
    // crash right after the call would leave behind.
    const std::vector<std::string> lines = Lines();
    const bool ok = lines.size() == static_cast<std::size_t>(i) + 2 && lines.back().empty() &&
                    lines[static_cast<std::size_t>(i)].substr(kStampLength) == "line " + std::to_string(i);
    if (!ok) {
      ++failures;
      ADD_FAILURE() << "after line " << i << ": " << lines.size() << " lines";
      break;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(LogTest, LinesFromManyThreadsStayWhole) {
  constexpr int kThreads = 8;
  constexpr int kLinesEach = 300;
  constexpr std::size_t kBody = 900;  // long lines, so a torn write would show
  OpenLog(file_);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      const std::string body(kBody, static_cast<char>('a' + t));
      for (int i = 0; i < kLinesEach; ++i) LogMessage("T%d L%d %s", t, i, body.c_str());
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::regex form("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]: T([0-9]+) L([0-9]+) ([a-z]+)$");
  std::map<std::pair<int, int>, int> seen;
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.back(), "") << "the file ends with a whole line";
  lines.pop_back();
  int torn = 0;
  for (const std::string& line : lines) {
    std::smatch m;
    const int t = std::regex_match(line, m, form) ? std::stoi(m[1]) : -1;
    if (t < 0 || t >= kThreads || m[3].str() != std::string(kBody, static_cast<char>('a' + t))) {
      if (++torn <= 3) ADD_FAILURE() << "torn line: " << line.substr(0, 80);
      continue;
    }
    ++seen[{t, std::stoi(m[2])}];
  }
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
  int missing = 0;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kLinesEach; ++i)
      if (seen[{t, i}] != 1) ++missing;
  EXPECT_EQ(missing, 0) << "every line exactly once";
}

TEST_F(LogTest, LogThatCouldNotBeOpenedSwallowsLines) {
  // Before any log, after closing, and with a log that failed to open:
  // lines vanish and nothing breaks.
  CloseLog();
  LogMessage("nowhere %d", 1);

  OpenLog(file_);
  LogMessage("kept");
  const fs::path missing = folder_ / "missing" / "log.txt";
  OpenLog(missing);  // the folder does not exist
  LogMessage("gone %s", "too");
  EXPECT_FALSE(fs::exists(missing));
  fs::create_directories(folder_ / "folder.txt");
  OpenLog(folder_ / "folder.txt");  // a folder, not a file
  for (int i = 0; i < 100; ++i) LogMessage("gone %d", i);
  EXPECT_TRUE(fs::is_directory(folder_ / "folder.txt"));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 100; ++i) LogMessage("gone from a thread %d", i);
    });
  for (std::thread& thread : threads) thread.join();
  CloseLog();
  CloseLog();  // twice is harmless

  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u) << "the earlier log got no lines after the failed open:\n" << Contents();
  EXPECT_EQ(lines[0].substr(kStampLength), "kept");
}

// Regression: with a read-only home the log could not be opened and nothing
// said so anywhere. Now one line goes to stderr per failed open (not one
// per message), and LogProblem() holds the reason for the user interface.
TEST_F(LogTest, LogThatCannotBeOpenedSaysSoOnceOnStderr) {
  std::ofstream(folder_ / "plain") << "a file, not a folder";
  fs::create_directories(folder_ / "taken.txt");
  fs::create_directories(folder_ / "locked");
  struct Case {
    const char* what;
    fs::path file;
    std::string reason;
    bool needsNonRoot;  // root writes into read-only folders
  };
  const std::vector<Case> cases = {
      {"missing folder", folder_ / "missing" / "log.txt", "No such file or directory", false},
      {"a folder in the way", folder_ / "taken.txt", "Is a directory", false},
      {"a file as the folder", folder_ / "plain" / "log.txt", "Not a directory", false},
      {"read-only folder", folder_ / "locked" / "log.txt", "Permission denied", true},
  };
  fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  for (const Case& c : cases) {
    if (c.needsNonRoot && ::geteuid() == 0) continue;
    SCOPED_TRACE(c.what);
    testing::internal::CaptureStderr();
    const bool opened = OpenLog(c.file);
    for (int i = 0; i < 50; ++i) LogMessage("lost %d", i);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string expected = "rovana: cannot open the log " + c.file.string() + ": " + c.reason + "; messages are not logged\n";
    const std::string problem = LogProblem();
    EXPECT_TRUE(!opened && err == expected && problem == c.file.string() + ": " + c.reason)
        << "opened " << opened << ", stderr [" << err << "], problem [" << problem << "]";
  }
  fs::permissions(folder_ / "locked", fs::perms::owner_all);

  testing::internal::CaptureStderr();
  EXPECT_TRUE(OpenLog(file_));
  LogMessage("kept");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(LogProblem(), "") << "a log that opened has no problem";
  EXPECT_EQ(Lines().size(), 2u);
}

// A formatting failure leaves the buffer's contents unspecified; the line
// must still be whole and say which message it was.
TEST_F(LogTest, MessageThatCannotBeFormattedStillGivesAWholeLine) {
  OpenLog(file_);
  const wchar_t lone[] = {0xD800, 0};  // a lone surrogate has no multibyte form
  LogMessage("before %ls after", lone);
  LogMessage("next");
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u) << Contents();
  EXPECT_GE(StampSeconds(lines[0]), 0);
  EXPECT_EQ(lines[0].substr(kStampLength), "message could not be formatted: before %ls after");
  EXPECT_EQ(lines[1].substr(kStampLength), "next");
}

}  // namespace
}  // namespace rovana
