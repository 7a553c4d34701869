// Runs the real program on a temporary home folder in screenshot mode and
// checks the start-up and shutdown order in its log and the screenshot.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempHome.h"
#include "tests/support/Process.h"

namespace {

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(Startup, LogShowsStartupAndShutdownInOrderAndScreenshotHasTheScreenSize) {
  testing_support::TempHome home;
  const std::string png = (home.folder() / "shot.png").string();
  const auto result = testing_support::RunProcess(
      ROVANA_PATH, {"--home", home.folder().string(), "--screen", "240x320", "--screenshot", png, "--quit-after", "200"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find(png), std::string::npos);

  // Each expected piece must appear in a later line than the one before.
  const char* order[] = {
      "Program folder ",       "Registered DLL '",     "Log of ",
      "Rovana 3.",             "Settings store created", "Language table created",
      "Language dialog answered automatically", "Online connection created",
      "rcClientFull = 0,0,240,320", "rcClientLoRes= 0,0,240,320", "orient       = 1",
      "Locator: ZenolithCE.Position created", "LoaderThread=0x", "LoadThread=0x",
      "Loading dialog closed", "GPSThread=0x",         "GPS connection created",
      "TrackerThread=0x",      "BootThread=0x",        "boot time = ",
      "Starting Rovana",       "Screenshot saved to ", "Quitting Rovana!",
      "Waypoint files saved",  "Trip statistics and position stored",           "Settings saved",
      "Log closed",
  };
  const std::vector<std::string> lines = ReadLines(home.folder() / "log.txt");
  std::size_t at = 0;
  int failures = 0;
  for (const char* piece : order) {
    std::size_t found = at;
    while (found < lines.size() && lines[found].find(piece) == std::string::npos) ++found;
    if (found == lines.size()) {
      ++failures;
      ADD_FAILURE() << "missing or out of order: " << piece;
    } else {
      at = found + 1;
    }
  }
  EXPECT_EQ(failures, 0);

  const QImage image(QString::fromStdString(png));
  EXPECT_EQ(image.width(), 240);
  EXPECT_EQ(image.height(), 320);
  // The answered first start is stored, so the next start asks no more.
  std::ifstream settings(home.folder() / "settings.xml", std::ios::binary);
  std::stringstream bytes;
  bytes << settings.rdbuf();
  EXPECT_GT(bytes.str().size(), 1000u);
  EXPECT_TRUE(std::filesystem::is_directory(home.folder() / "data"));
}

// Guards --quit-after on its own: it used to wait for a person at the
// first-start language dialog and at the quit question.
TEST(Startup, QuitAfterAloneAnswersTheQuestionsAndQuits) {
  testing_support::TempHome home;
  for (int run = 0; run < 2; ++run) {  // the first start, then a start with settings.xml
    const auto result = testing_support::RunProcess(ROVANA_PATH, {"--home", home.folder().string(), "--quit-after", "100"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;  // no screenshot asked for, none printed
    const std::vector<std::string> lines = ReadLines(home.folder() / "log.txt");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("Log closed"), std::string::npos) << "run " << run;
  }
}

TEST(Startup, CommandLineErrorsAndHelp) {
  const auto help = testing_support::RunProcess(ROVANA_PATH, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--screenshot"), std::string::npos);
  for (const char* bad : {"x", "0x10", "640", "10x-3", "99999x2"}) {
    const auto r = testing_support::RunProcess(ROVANA_PATH, {"--screen", bad});
    EXPECT_EQ(r.status, 2) << bad;
  }
  EXPECT_EQ(testing_support::RunProcess(ROVANA_PATH, {"--bogus"}).status, 2);
  EXPECT_EQ(testing_support::RunProcess(ROVANA_PATH, {"--quit-after", "abc"}).status, 2);
}

// Guards settings that cannot be saved: a read-only settings.xml was
// replaced, and a home that could not be written lost the session's settings
// without a word. Now the user is told on stderr (and in the first dialog)
// and the file is left as it was.
TEST(Startup, SettingsThatCannotBeSavedAreReportedAndLeftAlone) {
  testing_support::TempHome home;
  const std::filesystem::path file = home.folder() / "settings.xml";
  const std::string kept = "<?xml version=\"1.0\"?>\n<settings>\n<languageInit>1</languageInit>\n</settings>\n";
  std::ofstream(file) << kept;
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  const auto result = testing_support::RunProcess(ROVANA_PATH, {"--home", home.folder().string(), "--quit-after", "100"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.err.find("rovana: Settings will not be saved"), std::string::npos) << result.err;
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), kept);
  std::filesystem::permissions(file, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

// A home that cannot be made is said on stderr; the program still runs.
TEST(Startup, HomeThatCannotBeCreatedIsReported) {
  testing_support::TempHome home;
  std::ofstream(home.folder() / "file") << "not a folder";
  const auto result = testing_support::RunProcess(
      ROVANA_PATH, {"--home", (home.folder() / "file" / "home").string(), "--quit-after", "100"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.err.find("cannot create the home folder"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("cannot open the log"), std::string::npos) << result.err;
}
