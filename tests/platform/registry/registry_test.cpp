#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using registry::Batch;
using registry::Binary;
using registry::Registry;
using registry::StatusCode;
using registry::Value;

namespace {

// Every test gets its own folder; the registry file sits one folder deeper so
// that writes also have to create their parent folder.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = fs::temp_directory_path() / ("registry-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = folder_ / "conf" / "registry";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  Registry Reg() const { return Registry(file_); }
  std::string ReadFile() const {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void WriteFile(const std::string& text) const {
    fs::create_directories(file_.parent_path());
    std::ofstream(file_, std::ios::binary) << text;
  }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(file_.parent_path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_, file_;
};

std::vector<std::string> ValueNames(const Registry& reg, std::string_view key) {
  std::vector<std::string> names;
  for (const auto& v : reg.Values(key)) names.push_back(v.name);
  return names;
}

using Strings = std::vector<std::string>;

TEST_F(RegistryTest, StringsRoundTripAnyBytes) {
  std::string allBytes;
  for (int c = 0; c < 256; ++c) allBytes.push_back(static_cast<char>(c));
  const Strings samples = {"",       "plain",  "line one\nline two\n", "\r\n\r", "say \"hi\"", "C:\\dir\\",
                           "\\",     "\\\"",   "tab\there",            "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x9A\x80",
                           "[A\\B]", "@=\"x\"", std::string("nul\0inside", 10), allBytes, "\xFF\xFE invalid utf-8"};
  for (std::size_t i = 0; i < samples.size(); ++i)
    ASSERT_TRUE(Reg().SetString("K", "v" + std::to_string(i), samples[i]).ok()) << i;
  const Registry other(file_);  // a fresh object must read the file, not memory of the writes
  for (std::size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(other.GetString("K", "v" + std::to_string(i)), samples[i]) << i;
  const std::string text = ReadFile();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(samples.size()) + 3)
      << "every value must stay on one line";
}

TEST_F(RegistryTest, AwkwardValueNamesRoundTrip) {
  const Strings names = {"", "@", "with \"quotes\"", "new\nline", "back\\slash", "=", "\xC3\xA9t\xC3\xA9", " spaced "};
  for (const auto& n : names) ASSERT_TRUE(Reg().SetString("K", n, "value of " + n).ok()) << n;
  EXPECT_EQ(ValueNames(Reg(), "K"), names);
  for (const auto& n : names) EXPECT_EQ(Reg().GetString("K", n), "value of " + n) << n;
  EXPECT_EQ(Reg().CreateKey("K\\Sub").code, StatusCode::Ok);
  EXPECT_EQ(Reg().SetString("K", std::string("a\0b", 3), "x").code, StatusCode::Invalid);
}

TEST_F(RegistryTest, IntegersAndBinaryRoundTrip) {
  const std::vector<std::int64_t> numbers = {0, 1, -1, 42, std::numeric_limits<std::int64_t>::min(),
                                             std::numeric_limits<std::int64_t>::max()};
  for (std::size_t i = 0; i < numbers.size(); ++i) ASSERT_TRUE(Reg().SetInteger("N", std::to_string(i), numbers[i]).ok());
  Binary all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  ASSERT_TRUE(Reg().SetBinary("B", "all", all).ok());
  ASSERT_TRUE(Reg().SetBinary("B", "empty", {}).ok());
  for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(Reg().GetInteger("N", std::to_string(i)), numbers[i]);
  EXPECT_EQ(Reg().GetBinary("B", "all"), all);
  EXPECT_EQ(Reg().GetBinary("B", "empty"), Binary{});
}

TEST_F(RegistryTest, TypesAndMissingValuesAreToldApart) {
  ASSERT_TRUE(Reg().SetInteger("K", "n", 7).ok());
  EXPECT_EQ(Reg().GetString("K", "n"), std::nullopt);
  EXPECT_EQ(Reg().GetBinary("K", "n"), std::nullopt);
  Value v;
  EXPECT_EQ(Reg().GetValue("K", "n", &v).code, StatusCode::Ok);
  EXPECT_EQ(std::get<std::int64_t>(v), 7);
  EXPECT_EQ(Reg().GetValue("K", "other", &v).code, StatusCode::NotFound);
  EXPECT_EQ(Reg().GetValue("Nope", "n", &v).code, StatusCode::NotFound);
  ASSERT_TRUE(Reg().SetString("K", "n", "now text").ok());  // a value may change type
  EXPECT_EQ(Reg().GetString("K", "n"), "now text");
  EXPECT_EQ(Reg().GetInteger("K", "n"), std::nullopt);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirCase) {
  ASSERT_TRUE(Reg().SetString("HKEY_Classes_Root\\Foo.Bar", "ThreadingModel", "Both").ok());
  EXPECT_EQ(Reg().GetString("hkey_classes_root\\FOO.BAR", "threadingmodel"), "Both");
  ASSERT_TRUE(Reg().SetString("HKEY_CLASSES_ROOT\\foo.bar", "THREADINGMODEL", "Apartment").ok());
  EXPECT_EQ(Reg().SubKeys(""), Strings{"HKEY_Classes_Root"});
  EXPECT_EQ(Reg().SubKeys("HKEY_CLASSES_ROOT"), Strings{"Foo.Bar"});
  EXPECT_EQ(ValueNames(Reg(), "HKEY_CLASSES_ROOT\\Foo.Bar"), Strings{"ThreadingModel"});
  EXPECT_EQ(Reg().GetString("HKEY_Classes_Root\\Foo.Bar", "ThreadingModel"), "Apartment");
  // Only ASCII folds: these are different names.
  ASSERT_TRUE(Reg().CreateKey("U\\\xC3\xA9").ok());
  ASSERT_TRUE(Reg().CreateKey("U\\\xC3\x89").ok());
  EXPECT_EQ(Reg().SubKeys("U").size(), 2u);
}

TEST_F(RegistryTest, DefaultValueAndImplicitParents) {
  ASSERT_TRUE(Reg().SetString("A\\B\\C", "", "default").ok());
  EXPECT_TRUE(Reg().KeyExists("A"));
  EXPECT_TRUE(Reg().KeyExists("a\\b"));
  EXPECT_EQ(Reg().GetString("A\\B\\C", ""), "default");
  EXPECT_EQ(Reg().GetString("A\\B\\C", "@"), std::nullopt);
  EXPECT_EQ(ValueNames(Reg(), "A\\B\\C"), Strings{""});
  EXPECT_NE(ReadFile().find("\n@=\"default\"\n"), std::string::npos);
}

TEST_F(RegistryTest, CreationOrderIsKept) {
  for (const char* k : {"R\\Zulu", "R\\alpha", "R\\Mike"}) ASSERT_TRUE(Reg().CreateKey(k).ok());
  for (const char* n : {"z", "a", "m"}) ASSERT_TRUE(Reg().SetInteger("R", n, 1).ok());
  ASSERT_TRUE(Reg().SetInteger("R", "A", 2).ok());  // overwriting keeps the position
  EXPECT_EQ(Reg().SubKeys("R"), (Strings{"Zulu", "alpha", "Mike"}));
  EXPECT_EQ(ValueNames(Reg(), "R"), (Strings{"z", "a", "m"}));
  ASSERT_TRUE(Reg().DeleteValue("R", "z").ok());
  ASSERT_TRUE(Reg().SetInteger("R", "z", 3).ok());
  EXPECT_EQ(ValueNames(Reg(), "R"), (Strings{"a", "m", "z"}));
  // Within one change the lookup tables must follow removals too.
  Batch batch;
  batch.DeleteValue("R", "a");
  batch.SetInteger("R", "z", 4);
  batch.SetInteger("R", "M", 5);
  ASSERT_TRUE(Reg().Apply(batch).ok());
  EXPECT_EQ(ValueNames(Reg(), "R"), (Strings{"m", "z"}));
  EXPECT_NE(ReadFile().find("\"m\"=int:5\n\"z\"=int:4\n"), std::string::npos) << ReadFile();
}

TEST_F(RegistryTest, DeletesAreRecursiveAndReportMissing) {
  ASSERT_TRUE(Reg().SetString("T\\Gone\\Deep\\Deeper", "x", "1").ok());
  ASSERT_TRUE(Reg().SetString("T\\Kept", "y", "2").ok());
  ASSERT_TRUE(Reg().SetString("T", "v", "3").ok());
  EXPECT_EQ(Reg().DeleteValue("T", "missing").code, StatusCode::NotFound);
  EXPECT_EQ(Reg().DeleteValue("T\\Nope", "v").code, StatusCode::NotFound);
  EXPECT_EQ(Reg().DeleteValue("t", "V").code, StatusCode::Ok);
  EXPECT_EQ(Reg().GetString("T", "v"), std::nullopt);
  EXPECT_EQ(Reg().DeleteKey("t\\gone").code, StatusCode::Ok);
  EXPECT_FALSE(Reg().KeyExists("T\\Gone"));
  EXPECT_FALSE(Reg().KeyExists("T\\Gone\\Deep\\Deeper"));
  EXPECT_EQ(Reg().GetString("T\\Kept", "y"), "2");
  EXPECT_EQ(Reg().DeleteKey("T\\Gone").code, StatusCode::NotFound);
  EXPECT_EQ(ReadFile().find("Deep"), std::string::npos);
}

TEST_F(RegistryTest, MalformedKeyPathsAreInvalidAndTouchNothing) {
  const Strings bad = {"", "\\", "\\A", "A\\", "A\\\\B", "A\\B\tC", std::string("A\0B", 3), "A\x7f", "Line\nBreak"};
  for (const auto& key : bad) {
    EXPECT_EQ(Reg().SetString(key, "n", "v").code, StatusCode::Invalid) << key;
    EXPECT_EQ(Reg().CreateKey(key).code, StatusCode::Invalid) << key;
    EXPECT_EQ(Reg().DeleteKey(key).code, StatusCode::Invalid) << key;
    Value v;
    EXPECT_EQ(Reg().GetValue(key, "n", &v).code, StatusCode::Invalid) << key;
    EXPECT_FALSE(Reg().KeyExists(key));
    Batch batch;
    batch.CreateKey("Fine");
    batch.DeleteValue(key, "n");
    EXPECT_EQ(Reg().Apply(batch).code, StatusCode::Invalid) << key;
  }
  EXPECT_FALSE(fs::exists(file_.parent_path())) << "invalid calls must not create folders or files";
  std::string deep = "K";
  for (int i = 1; i < 512; ++i) deep += "\\K";
  EXPECT_TRUE(Reg().CreateKey(deep).ok());
  EXPECT_EQ(Reg().CreateKey(deep + "\\K").code, StatusCode::Invalid);
  EXPECT_TRUE(Reg().KeyExists(deep)) << "the deepest allowed key must read back from the file";
}

TEST_F(RegistryTest, BatchAppliesInOrderOrNotAtAll) {
  Batch batch;
  batch.SetString("P\\Q", "a", "1");
  batch.DeleteKey("P\\Q");
  batch.SetString("P\\Q", "b", "2");
  batch.DeleteValue("P\\Missing", "x");  // missing things are no error in a batch
  batch.DeleteKey("P\\Missing");
  batch.CreateKey("P\\R");
  ASSERT_TRUE(Reg().Apply(batch).ok());
  EXPECT_EQ(ValueNames(Reg(), "P\\Q"), Strings{"b"});
  EXPECT_TRUE(Reg().KeyExists("P\\R"));

  const std::string before = ReadFile();
  Batch bad;
  bad.SetString("P", "new", "x");
  bad.DeleteKey("P\\Q");
  bad.SetString("P\\\\Broken", "n", "v");
  bad.SetString("P", "after", "y");
  const auto status = Reg().Apply(bad);
  EXPECT_EQ(status.code, StatusCode::Invalid);
  EXPECT_NE(status.message.find("operation 3"), std::string::npos) << status.message;
  EXPECT_EQ(ReadFile(), before);
  EXPECT_TRUE(Reg().Apply(Batch{}).ok());
}

// A hand-edited file in every tolerated shape.
TEST_F(RegistryTest, ReadsHandEditedFile) {
  WriteFile(
      "\xEF\xBB\xBF; written by hand\r\n"
      "ZenolithCE Registry 1\r\n"
      "\n"
      "# comment\n"
      "  [Top\\Mid\\Leaf]  \r\n"
      "@ = \"d\"\n"
      "\t\"n\"=int:-5\n"
      "\"h\"=hex:00Ff\n"
      "[Top]\n"
      "\"t\"=\"x\\x01\\ty\"\n"
      "[top\\mid\\leaf]\n"
      "\"later\"=\"merged\"\n");
  EXPECT_TRUE(Reg().Check().ok()) << Reg().Check().message;
  EXPECT_EQ(Reg().GetString("Top\\Mid\\Leaf", ""), "d");
  EXPECT_EQ(Reg().GetInteger("Top\\Mid\\Leaf", "n"), -5);
  EXPECT_EQ(Reg().GetBinary("Top\\Mid\\Leaf", "h"), (Binary{0x00, 0xff}));
  EXPECT_EQ(Reg().GetString("Top", "t"), "x\x01\ty");
  EXPECT_EQ(ValueNames(Reg(), "Top\\Mid\\Leaf"), (Strings{"", "n", "h", "later"}));
  EXPECT_EQ(Reg().SubKeys("Top"), Strings{"Mid"});
}

TEST_F(RegistryTest, WritesTheDocumentedFormat) {
  ASSERT_TRUE(Reg().SetString("A\\B", "", "q\"\n").ok());
  ASSERT_TRUE(Reg().SetInteger("A\\B", "N", -3).ok());
  ASSERT_TRUE(Reg().SetBinary("A\\B", "Bin", {0x00, 0xab, 0x10}).ok());
  EXPECT_EQ(ReadFile(),
            "ZenolithCE Registry 1\n\n[A]\n\n[A\\B]\n@=\"q\\\"\\n\"\n\"N\"=int:-3\n\"Bin\"=hex:00ab10\n");
}

struct Corruption {
  const char* text;
  int line;
  const char* reason;  // part of the message
};

TEST_F(RegistryTest, CorruptFileIsReportedAndNeverOverwritten) {
  const std::vector<Corruption> cases = {
      {"[A]\n\"x\"=\"1\"\n", 1, "first line"},
      {"ZenolithCE Registry 2\n", 1, "version"},
      {"ZenolithCE Registry 1\n\"x\"=\"1\"\n", 2, "outside"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=\"unterminated\n", 3, "unterminated"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=\"bad \\q escape\"\n", 3, "escape"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=\"\\x4\"\n", 3, "hex digits"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=int:99999999999999999999\n", 3, "integer"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=int:12z\n", 3, "integer"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=hex:abc\n", 3, "odd"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=hex:zz\n", 3, "hex digit"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=dword:1\n", 3, "expected"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"\n", 3, "'='"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=\"1\" trailing\n", 3, "unexpected text"},
      {"ZenolithCE Registry 1\n[A]\n\"\\x00\"=\"1\"\n", 3, "NUL"},
      {"ZenolithCE Registry 1\n\n[A\\\\B]\n", 3, "key path"},
      {"ZenolithCE Registry 1\n[\\A]\n", 2, "key path"},
      {"ZenolithCE Registry 1\n[A\n", 2, "']'"},
      {"ZenolithCE Registry 1\n[A]\n\"x\"=\"1\"\n\"X\"=\"2\"\n", 4, "twice"},
      {"ZenolithCE Registry 1\n[A]\ngarbage\n", 3, "unrecognised"},
      {"ZenolithCE Registry 1\n[A]\n\xff\xfe\x00\x01\n", 3, "unrecognised"},
  };
  for (const auto& c : cases) {
    WriteFile(c.text);
    const auto check = Reg().Check();
    EXPECT_EQ(check.code, StatusCode::IoError) << c.text;
    const std::string where = file_.string() + ":" + std::to_string(c.line) + ":";
    EXPECT_NE(check.message.find(where), std::string::npos) << check.message;
    EXPECT_NE(check.message.find(c.reason), std::string::npos) << check.message;
    Value v;
    EXPECT_EQ(Reg().GetValue("A", "x", &v).code, StatusCode::IoError);
    EXPECT_FALSE(Reg().KeyExists("A"));
    EXPECT_TRUE(Reg().SubKeys("").empty());
    EXPECT_EQ(Reg().SetString("A", "y", "2").code, StatusCode::IoError);
    Batch batch;
    batch.DeleteKey("A");
    EXPECT_EQ(Reg().Apply(batch).code, StatusCode::IoError);
    EXPECT_EQ(ReadFile(), c.text);
  }
}

// Random damage to a good file must give Ok or IoError, never a crash.
TEST_F(RegistryTest, DamagedFilesNeverCrash) {
  ASSERT_TRUE(Reg().SetString("A\\B", "", "text \"q\" \\ \n end").ok());
  ASSERT_TRUE(Reg().SetInteger("A\\B", "n", -12345).ok());
  ASSERT_TRUE(Reg().SetBinary("A\\C", "b", {1, 2, 250}).ok());
  const std::string good = ReadFile();
  std::mt19937 rng(1234);
  for (int round = 0; round < 300; ++round) {
    std::string bad = good;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !bad.empty(); ++e) {
      const std::size_t at = rng() % bad.size();
      switch (rng() % 3) {
        case 0: bad[at] = static_cast<char>(rng()); break;
        case 1: bad.erase(at, 1); break;
        default: bad.resize(at); break;
      }
    }
    WriteFile(bad);
    const auto code = Reg().Check().code;
    EXPECT_TRUE(code == StatusCode::Ok || code == StatusCode::IoError);
    if (code == StatusCode::IoError) {
      EXPECT_EQ(Reg().SetInteger("Z", "z", 1).code, StatusCode::IoError);
      EXPECT_EQ(ReadFile(), bad);
    }
  }
}

TEST_F(RegistryTest, OversizedOrOddFilesAreRefused) {
  fs::create_directories(file_.parent_path());
  {
    std::ofstream(file_) << "ZenolithCE Registry 1\n";
  }
  fs::resize_file(file_, (std::uintmax_t{64} << 20) + 1);  // sparse: cheap to make
  EXPECT_EQ(Reg().Check().error, EFBIG);
  EXPECT_EQ(Reg().SetString("A", "x", "1").code, StatusCode::IoError);
  EXPECT_EQ(fs::file_size(file_), (std::uintmax_t{64} << 20) + 1);

  fs::remove(file_);
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  EXPECT_EQ(Reg().Check().code, StatusCode::IoError);  // must not block on the FIFO
  EXPECT_EQ(Reg().SetString("A", "x", "1").code, StatusCode::IoError);
  fs::remove(file_);
  fs::create_directory(file_);
  EXPECT_EQ(Reg().Check().error, EISDIR);
}

TEST_F(RegistryTest, ChangesThatWouldOutgrowTheLimitAreRefused) {
  ASSERT_TRUE(Reg().SetString("A", "small", "1").ok());
  const std::string before = ReadFile();
  const auto status = Reg().SetBinary("A", "huge", Binary((std::size_t{32} << 20) + 1, 0x5a));
  EXPECT_EQ(status.code, StatusCode::IoError);
  EXPECT_EQ(ReadFile(), before);
}

TEST_F(RegistryTest, MissingFileIsEmptyAndReadsCreateNothing) {
  EXPECT_TRUE(Reg().Check().ok());
  EXPECT_FALSE(Reg().KeyExists("A"));
  EXPECT_TRUE(Reg().SubKeys("").empty());
  EXPECT_FALSE(fs::exists(file_.parent_path()));
  EXPECT_TRUE(Registry("").Check().ok());
  EXPECT_EQ(Registry("").SetString("A", "x", "1").code, StatusCode::IoError);
}

TEST_F(RegistryTest, WritesLeaveOnlyTheFileAndItsLockPrivate) {
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(Reg().SetInteger("K", "n" + std::to_string(i), i).ok());
  EXPECT_EQ(FolderEntries(), (Strings{"registry", "registry.lock"}));
  struct stat st {};
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // An unchanged result is not rewritten at all.
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  const ino_t inode = st.st_ino;
  ASSERT_TRUE(Reg().CreateKey("k").ok());
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, inode);
}

TEST_F(RegistryTest, ThreadsWithSeparateObjectsLoseNothing) {
  constexpr int kThreads = 8, kEach = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([this, t] {
      const Registry reg(file_);
      Registry writer(file_);
      for (int i = 0; i < kEach; ++i) {
        ASSERT_TRUE(writer.SetInteger("Shared", "t" + std::to_string(t) + "_" + std::to_string(i), t * 1000 + i).ok());
        (void)reg.Values("Shared");  // readers run alongside the writers
      }
    });
  for (auto& th : threads) th.join();
  const auto values = Reg().Values("Shared");
  ASSERT_EQ(values.size(), static_cast<std::size_t>(kThreads * kEach));
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kEach; ++i)
      EXPECT_EQ(Reg().GetInteger("Shared", "t" + std::to_string(t) + "_" + std::to_string(i)), t * 1000 + i);
  EXPECT_EQ(FolderEntries(), (Strings{"registry", "registry.lock"}));
}

TEST_F(RegistryTest, ParentAndChildProcessesLoseNothing) {
  constexpr int kEach = 100;
  ASSERT_TRUE(Reg().CreateKey("Procs").ok());
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char c;
    ::close(go[1]);
    if (::read(go[0], &c, 1) != 1) ::_exit(3);
    Registry reg(file_);
    for (int i = 0; i < kEach; ++i)
      if (!reg.SetInteger("Procs\\Child", "c" + std::to_string(i), i).ok()) ::_exit(1);
    ::_exit(0);
  }
  ::close(go[0]);
  ASSERT_EQ(::write(go[1], "g", 1), 1);
  ::close(go[1]);
  Registry reg(file_);
  int failures = 0;  // no early return: the child must be waited for before the folder goes
  for (int i = 0; i < kEach; ++i) failures += !reg.SetInteger("Procs\\Parent", "p" + std::to_string(i), i).ok();
  EXPECT_EQ(failures, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Reg().Values("Procs\\Parent").size(), static_cast<std::size_t>(kEach));
  EXPECT_EQ(Reg().Values("Procs\\Child").size(), static_cast<std::size_t>(kEach));
}

// Guards: a damaged line was echoed into the message with its invalid UTF-8.
TEST_F(RegistryTest, MessagesShowBadLinesAsValidUtf8) {
  struct Case {
    const char* name;
    std::string line;
    std::string shown;
  };
  const Case cases[] = {
      {"valid UTF-8 is kept", "gr\xc3\xbc\xc3\x9f" "e", "gr\xc3\xbc\xc3\x9f" "e"},
      {"a lone lead byte", "a\xc3z", "a\\xc3z"},
      {"control bytes", std::string("a\x01\x7f\x00z", 5), "a\\x01\\x7f\\x00z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile("ZenolithCE Registry 1\n[A]\n" + c.line + "\n");
    EXPECT_EQ(Reg().Check().message, file_.string() + ":3: unrecognised line: " + c.shown);
  }
}

// Sets or unsets an environment variable for one scope.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~EnvVar() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(RegistryPath, DefaultPathFollowsTheEnvironment) {
  {
    EnvVar file("ZENOLITH_REGISTRY", "/tmp/explicit/reg");
    EnvVar xdg("XDG_CONFIG_HOME", "/tmp/xdg");
    EnvVar home("HOME", "/tmp/home");
    EXPECT_EQ(Registry::DefaultPath(), fs::path("/tmp/explicit/reg"));
    EXPECT_EQ(Registry::Default().path(), fs::path("/tmp/explicit/reg"));
  }
  {
    EnvVar file("ZENOLITH_REGISTRY", "");
    EnvVar xdg("XDG_CONFIG_HOME", "/tmp/xdg");
    EnvVar home("HOME", "/tmp/home");
    EXPECT_EQ(Registry::DefaultPath(), fs::path("/tmp/xdg/zenolithce/registry"));
  }
  {
    EnvVar file("ZENOLITH_REGISTRY", nullptr);
    EnvVar home("HOME", "/tmp/home");
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
      EnvVar unset("XDG_CONFIG_HOME", xdg);
      EXPECT_EQ(Registry::DefaultPath(), fs::path("/tmp/home/.config/zenolithce/registry"));
    }
  }
}

}  // namespace
