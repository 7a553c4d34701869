// Start-up's registration of the component library logs each way it can
// fail with its own number, and start-up goes on.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/core/Log.h"
#include "app/ui/Application.h"
#include "tests/support/TempHome.h"

namespace {

std::string Logged(const std::filesystem::path& log) {
  std::stringstream text;
  text << std::ifstream(log).rdbuf();
  return text.str();
}

TEST(RegisterComponentLibrary, EachFailureIsLoggedWithItsNumber) {
  testing_support::TempHome home;
  const std::filesystem::path log = home.folder() / "log.txt";
  struct Row {
    std::string library;
    const char* logged;
  };
  const std::string missing = (home.folder() / "libNoSuchLibrary.so").string();
  const Row rows[] = {
      {missing, "Failed to register DLL '%s' (1)"},
      {COM_RUNTIME_PATH, "Failed to register DLL '%s' (2)"},  // a library without the export
      {FAILING_SERVER_PATH, "Failed to register DLL '%s' (3)"},
  };
  for (const Row& row : rows) {
    rovana::OpenLog(log);
    EXPECT_FALSE(rovana::ui::RegisterComponentLibrary(row.library)) << row.library;
    rovana::CloseLog();
    char expected[512];
    std::snprintf(expected, sizeof expected, row.logged, row.library.c_str());
    EXPECT_NE(Logged(log).find(expected), std::string::npos) << Logged(log);
  }
}

}  // namespace
