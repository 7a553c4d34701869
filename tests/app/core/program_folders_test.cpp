#include "app/core/ProgramFolders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "tests/support/TempRegistry.h"

namespace fs = std::filesystem;
using namespace rovana;

namespace {

// Sets (or, with null, removes) an environment variable for the life of the
// object and restores the old state afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_.c_str(), old_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }

 private:
  std::string name_, old_;
  bool had_ = false;
};

// Runs the test body in `folder` as the current folder and goes back after.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const fs::path& folder) : old_(fs::current_path()) { fs::current_path(folder); }
  ~ScopedCurrentFolder() {
    std::error_code ec;
    fs::current_path(old_, ec);
  }

 private:
  fs::path old_;
};

TEST(ProgramFolders, FolderOfPath) {
  struct Row {
    const char* path;
    const char* folder;
  };
  const Row rows[] = {{"/usr/bin/rovana", "/usr/bin"}, {"/rovana", ""}, {"rovana", ""},
                      {"", ""},                       {"./rovana", "."}, {"/a/b/", "/a/b"}};
  for (const Row& r : rows) EXPECT_EQ(FolderOfPath(r.path), r.folder) << r.path;
}

TEST(ProgramFolders, SubfoldersAndLog) {
  struct Row {
    const char* program;
    const char* expected;  // the program folder as kept
  };
  // "" is the root folder: a program without a folder puts its data at "/data".
  const Row rows[] = {{"/opt/rovana", "/opt/rovana"}, {"/opt/rovana//", "/opt/rovana"}, {"", ""}, {"/", ""}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.program);
    const ProgramFolders f = FoldersUnder(r.program, HomeSource::Option);
    const std::string p = r.expected;
    EXPECT_EQ(f.program, p);
    EXPECT_EQ(f.data, p + "/data");
    EXPECT_EQ(f.examples, p + "/examples");
    EXPECT_EQ(f.cache, p + "/cache");
    EXPECT_EQ(f.samples, p + "/samples");
    EXPECT_EQ(f.language, p + "/Language");
    EXPECT_EQ(f.symbol, p + "/Symbol");
    EXPECT_EQ(f.temp, p + "/temp");
    EXPECT_EQ(f.logFile, p + "/log.txt");
    EXPECT_EQ(f.source, HomeSource::Option);
  }
}

TEST(ProgramFolders, InProgramFolder) {
  struct Row {
    const char* program;
    const char* name;
    const char* expected;
  };
  const Row rows[] = {{"/opt/rovana", "data", "/opt/rovana/data"},
                      {"", "data", "/data"},
                      {"", "settings.xml", "/settings.xml"},
                      {"/", "Language", "/Language"},
                      {"/opt/rovana/", "log.txt", "/opt/rovana/log.txt"}};
  for (const Row& r : rows) EXPECT_EQ(InProgramFolder(r.program, r.name), r.expected) << r.program << " " << r.name;
  EXPECT_EQ(ProgramFolderPath(""), "/");
  EXPECT_EQ(ProgramFolderPath("/opt/rovana"), "/opt/rovana");
}

// Regression: the settings store and the language table joined their names
// onto an empty program folder (a program in "/") and so took "settings.xml"
// and "Language" from the current folder instead of from "/".
TEST(ProgramFolders, EmptyProgramFolderIsTheRootForEveryPath) {
  testing_support::TempRegistry temp;  // also keeps the store away from the user's registry
  const fs::path work = temp.folder() / "work";
  fs::create_directories(work / "Language");
  // Bait in the current folder that a relative path would find.
  std::ofstream(work / "settings.xml") << "<?xml version=\"1.0\"?>\n<settings>\n <language><![CDATA[Bait]]></language>\n"
                                          " <primaryDataPath><![CDATA[bait]]></primaryDataPath>\n</settings>\n";
  std::u16string units = u"\xFEFF";
  for (int i = 0; i < kLanguageFileLines; ++i) units += u"Bait\r\n";
  std::string bytes;
  for (const char16_t u : units) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  std::ofstream(work / "Language" / "Bait.txt", std::ios::binary) << bytes;
  OpenLog(temp.folder() / "log.txt");
  ScopedCurrentFolder here(work);

  const ProgramFolders f = FoldersUnder("", HomeSource::UserData);
  SettingsStore store(f.program);
  EXPECT_EQ(store.folder(), "/");
  EXPECT_EQ(store.file(), "/settings.xml");
  EXPECT_NE(store.language, "Bait") << "read settings.xml of the current folder";
  if (!fs::exists("/settings.xml")) {  // a machine's own file in the root would set other values
    EXPECT_EQ(store.primaryDataPath, f.data);
    EXPECT_EQ(store.secondaryDataPath, f.examples);
    EXPECT_EQ(store.CacheDataPath, f.cache);
  }
  for (const SettingKey& row : SettingKeys()) {
    if (row.folderDefault == FolderDefault::None) continue;
    EXPECT_TRUE(DefaultText(row, "").starts_with("/")) << row.key;
  }

  LanguageTable table(f.program);
  EXPECT_EQ(table.folder(), f.language);
  EXPECT_EQ(table.FileOf("Bait"), "/Language/Bait.txt");
  EXPECT_FALSE(table.Load("Bait")) << "loaded Language/Bait.txt of the current folder";
  for (const LanguageChoice& choice : table.ListLanguages().items) EXPECT_NE(choice.name, "Bait");

  CloseLog();
  std::ifstream in(temp.folder() / "log.txt");
  std::stringstream log;
  log << in.rdbuf();
  EXPECT_NE(log.str().find("Searching language files at /Language/*.txt..."), std::string::npos) << log.str();
}

TEST(ProgramFolders, HomeOption) {
  struct Row {
    std::vector<const char*> args;
    const char* home;
  };
  const Row rows[] = {
      {{}, ""},
      {{"rovana"}, ""},
      {{"rovana", "--home", "/x"}, "/x"},
      {{"rovana", "--home=/y"}, "/y"},
      {{"rovana", "--home", "/a", "--home=/b"}, "/b"},  // the last one wins
      {{"rovana", "--home"}, ""},                       // no DIR
      {{"rovana", "--home", "--home=/z"}, "--home=/z"}, // the element after --home is its DIR
      {{"rovana", "--homework", "/w"}, ""},
      {{"rovana", "--home="}, ""},
      {{"rovana", nullptr, "--home", "/n"}, "/n"},
      {{"rovana", "--home", nullptr}, ""},
      {{"rovana", "--home", "dir with space", "-platform", "offscreen"}, "dir with space"},
  };
  for (const Row& r : rows) EXPECT_EQ(HomeOption(r.args), r.home) << testing::PrintToString(r.args.size());
}

FolderEnvironment Environment(const char* home, const char* xdg, const char* user, const char* dataDir = nullptr,
                              std::string exe = "/opt/rovana/bin/rovana") {
  return FolderEnvironment{home, xdg, user, dataDir, std::move(exe)};
}

TEST(ProgramFolders, HomePrecedenceOptionThenVariableThenUserDataFolder) {
  struct Row {
    const char* name;
    const char* option;
    FolderEnvironment environment;
    const char* program;
    HomeSource source;
  };
  const Row rows[] = {
      {"option wins", "/from/option", Environment("/from/env", "/xdg", "/home/u"), "/from/option", HomeSource::Option},
      {"ROVANA_HOME next", "", Environment("/from/env/", "/xdg", "/home/u"), "/from/env", HomeSource::Environment},
      {"XDG_DATA_HOME", "", Environment(nullptr, "/xdg/", "/home/u"), "/xdg/rovana", HomeSource::UserData},
      {"empty variables are unset", "", Environment("", "", "/home/u"), "/home/u/.local/share/rovana",
       HomeSource::UserData},
      {"relative XDG_DATA_HOME is ignored", "", Environment(nullptr, "rel/data", "/home/u"),
       "/home/u/.local/share/rovana", HomeSource::UserData},
      {"no home at all", "", Environment(nullptr, nullptr, nullptr), "", HomeSource::UserData},
      {"option tidied", "/a/./b/../c/", Environment(nullptr, nullptr, "/home/u"), "/a/c", HomeSource::Option},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const ProgramFolders f = ResolveProgramFolders(r.option, r.environment);
    EXPECT_EQ(f.program, r.program);
    EXPECT_EQ(f.source, r.source);
  }
}

TEST(ProgramFolders, ResourceFolderFromTheVariableElseBesideTheExecutable) {
  struct Row {
    const char* name;
    FolderEnvironment environment;
    const char* resources;
  };
  const Row rows[] = {
      {"installed", Environment(nullptr, nullptr, "/h", nullptr, "/usr/bin/rovana"), "/usr/share/rovana"},
      {"build tree", Environment(nullptr, nullptr, "/h", nullptr, "/src/build/debug/bin/rovana"),
       "/src/build/debug/share/rovana"},
      {"ROVANA_DATA_DIR wins", Environment(nullptr, nullptr, "/h", "/srv/res/", "/usr/bin/rovana"), "/srv/res"},
      {"empty ROVANA_DATA_DIR is unset", Environment(nullptr, nullptr, "/h", "", "/usr/bin/rovana"),
       "/usr/share/rovana"},
      {"program in the root folder", Environment(nullptr, nullptr, "/h", nullptr, "/rovana"), "/share/rovana"},
      {"unknown executable", Environment(nullptr, nullptr, "/h", nullptr, ""), ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ResolveProgramFolders("/home", r.environment).resources, r.resources);
  }
}

TEST(ProgramFolders, ResourcesAreLookedUpInTheHomeFirst) {
  ProgramFolders f = FoldersUnder("/home/u/rovana", HomeSource::Option);
  f.resources = "/usr/share/rovana";
  EXPECT_EQ(f.ResourceCandidates("Language"),
            (std::vector<fs::path>{"/home/u/rovana/Language", "/usr/share/rovana/Language"}));
  f.resources = f.program;
  EXPECT_EQ(f.ResourceCandidates("Language").size(), 1u) << "one folder when both are the same";
  f.resources.clear();
  EXPECT_EQ(f.ResourceCandidates("Language").size(), 1u) << "no resource folder";
}

TEST(ProgramFolders, RelativeFoldersAreTakenFromTheCurrentFolder) {
  testing_support::TempRegistry temp;
  const fs::path base = fs::canonical(temp.folder());
  ScopedCurrentFolder here(base);
  EXPECT_EQ(ResolveProgramFolders("home", Environment(nullptr, nullptr, "/h")).program, (base / "home").native());
  EXPECT_EQ(ResolveProgramFolders("", Environment("./env/sub/..", nullptr, "/h")).program, (base / "env").native());
  EXPECT_EQ(ResolveProgramFolders(".", Environment(nullptr, nullptr, "/h")).program, base.native());
  EXPECT_EQ(ResolveProgramFolders(".", Environment(nullptr, nullptr, "/h", "res")).resources, (base / "res").native());
}

TEST(ProgramFolders, FromArgvAndTheProcessEnvironment) {
  testing_support::TempRegistry temp;
  const std::string optionHome = (temp.folder() / "opt").native(), envHome = (temp.folder() / "env").native();
  const std::string xdg = (temp.folder() / "xdg").native();
  const char* withOption[] = {"rovana", "--home", optionHome.c_str(), nullptr};
  const char* without[] = {"rovana", nullptr};

  const fs::path executable = fs::canonical("/proc/self/exe");
  EXPECT_EQ(ExecutablePath(), executable.native());
  EXPECT_EQ(executable.filename(), "program_folders_test");

  ScopedEnv data(kDataDirVariable.data(), nullptr);
  {
    ScopedEnv env(kHomeVariable.data(), envHome.c_str());
    EXPECT_EQ(ResolveProgramFolders(3, withOption).program, optionHome);
    const ProgramFolders f = ResolveProgramFolders(1, without);
    EXPECT_EQ(f.program, envHome);
    EXPECT_EQ(f.source, HomeSource::Environment);
    EXPECT_EQ(f.resources, (executable.parent_path().parent_path() / "share/rovana").native());
  }
  {
    ScopedEnv env(kHomeVariable.data(), nullptr);
    ScopedEnv xdgEnv("XDG_DATA_HOME", xdg.c_str());
    for (const ProgramFolders& f : {ResolveProgramFolders(1, without), ResolveProgramFolders(0, nullptr)}) {
      EXPECT_EQ(f.program, xdg + "/rovana");
      EXPECT_EQ(f.source, HomeSource::UserData);
    }
  }
}

// ---------------------------------------------------------------------------

class CreateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = temp_.folder() / "base";
    fs::create_directories(base_);
    log_ = temp_.folder() / "log.txt";
    OpenLog(log_);
  }
  void TearDown() override { CloseLog(); }

  // The log's messages without their time stamps.
  std::vector<std::string> Messages() const {
    std::ifstream in(log_);
    std::vector<std::string> messages;
    for (std::string line; std::getline(in, line);) {
      const std::size_t colon = line.find(": ");
      messages.push_back(colon == std::string::npos ? line : line.substr(colon + 2));
    }
    return messages;
  }

  testing_support::TempRegistry temp_;
  fs::path base_, log_;
};

TEST_F(CreateFolderTest, CreatesMissingFoldersAndTakesExistingOnesQuietly) {
  const fs::path paths[] = {base_ / "data", base_ / "data", base_ / "a" / "b" / "c", base_ / "trailing" / "",
                            base_ / "a" / "." / "b" / ".." / "d"};
  for (const fs::path& p : paths) {
    EXPECT_EQ(CreateFolder(p), 0) << p;
    EXPECT_TRUE(fs::is_directory(p)) << p;
  }
  fs::create_directory_symlink(base_ / "data", base_ / "link");
  EXPECT_EQ(CreateFolder(base_ / "link"), 0);  // a link to a folder is that folder
  EXPECT_EQ(CreateFolder(base_ / "link" / "inner"), 0);
  EXPECT_TRUE(fs::is_directory(base_ / "data" / "inner"));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(CreateFolderTest, FailuresAreLoggedWithPathAndErrno) {
  std::ofstream(base_ / "file") << "x";
  fs::create_symlink(base_ / "nowhere", base_ / "dangling");
  const std::string longName(300, 'n');
  struct Row {
    fs::path path;
    int error;
  };
  const Row rows[] = {
      {base_ / "file", ENOTDIR},          // a file stands where the folder should be
      {base_ / "file" / "sub", ENOTDIR},  // ... or where a parent should be
      {base_ / longName, ENAMETOOLONG},
      {base_ / "dangling", ENOENT},
      {fs::path(), ENOENT},
  };
  std::vector<std::string> expected;
  for (const Row& r : rows) {
    EXPECT_EQ(CreateFolder(r.path), r.error) << r.path;
    expected.push_back("CreateDirectory(" + r.path.native() + "): ERROR " + std::to_string(r.error));
  }
  EXPECT_EQ(Messages(), expected);
  EXPECT_TRUE(fs::is_regular_file(base_ / "file"));
}

TEST_F(CreateFolderTest, PermissionDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write into any folder";
  fs::create_directory(base_ / "locked");
  fs::permissions(base_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(CreateFolder(base_ / "locked" / "x"), EACCES);
  fs::permissions(base_ / "locked", fs::perms::owner_all);
  ASSERT_EQ(Messages().size(), 1u);
}

}  // namespace
