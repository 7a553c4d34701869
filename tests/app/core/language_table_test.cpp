#include "app/core/LanguageTable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "app/core/LanguageEntries.h"
#include "app/core/Log.h"
#include "tests/support/TempRegistry.h"

namespace fs = std::filesystem;
using rovana::kLanguageEntries;
using rovana::kLanguageFileLines;
using rovana::LanguageSetting;
using rovana::LanguageTable;
namespace lang = rovana::lang;

namespace {

// The repository's own language files, so that the shipped texts are tested.
fs::path ShippedFolder() {
#ifdef ROVANA_LANGUAGE_DIR
  return ROVANA_LANGUAGE_DIR;
#else
  return fs::path(__FILE__).parent_path() / "../../../data/Language";
#endif
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteBytes(const fs::path& file, std::string_view bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// UTF-16 little-endian bytes of some units.
std::string Le(std::u16string_view units) {
  std::string bytes;
  for (char16_t u : units) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// A file of `count` lines: "Testish", then "Line 1", "Line 2", ...; `replace`
// puts its own units in place of one line.
std::string LinesFile(int count, bool bom = true, bool terminateLast = true, int replaceLine = -1,
                      std::u16string replacement = {}) {
  std::u16string units = bom ? u"\xFEFF" : u"";
  for (int i = 0; i < count; ++i) {
    units += i == replaceLine ? replacement : i == 0 ? u"Testish" : Ascii("Line " + std::to_string(i));
    if (i + 1 < count || terminateLast) units += u"\r\n";
  }
  return Le(units);
}

std::string WithLine(int index, std::u16string text) { return LinesFile(kLanguageFileLines, true, true, index, text); }

class LanguageTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = registry_.folder() / "home";
    fs::create_directories(home_ / "Language");
    rovana::OpenLog(home_ / "log.txt");
  }
  void TearDown() override { rovana::CloseLog(); }

  std::string Log() const { return ReadBytes(home_ / "log.txt"); }
  fs::path File(const std::string& name) const { return home_ / "Language" / (name + ".txt"); }
  void CopyShipped(const std::string& name) const {
    fs::copy_file(ShippedFolder() / (name + ".txt"), File(name), fs::copy_options::overwrite_existing);
  }

  testing_support::TempRegistry registry_;  // a private folder, and the user's registry stays untouched
  fs::path home_;
};

// Structure of the shipped files, checked on the raw bytes and then through
// the reader: every main-screen text and every other entry must be present.
TEST_F(LanguageTableTest, ShippedFilesAreCompleteAndWellFormed) {
  for (const char* name : {"English", "German"}) {
    SCOPED_TRACE(name);
    const fs::path path = ShippedFolder() / (std::string(name) + ".txt");
    const std::string bytes = ReadBytes(path);
    ASSERT_GT(bytes.size(), 2u);
    ASSERT_EQ(bytes.size() % 2, 0u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    int lineBreaks = 0, strayBreaks = 0, escapes = 0;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto unit = [&](std::size_t at) {
        return at + 1 < bytes.size() ? (static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8) : -1;
      };
      if (unit(i) == '\r' && unit(i + 2) == '\n') {
        ++lineBreaks;
        i += 2;
      } else if (unit(i) == '\r' || unit(i) == '\n') {
        ++strayBreaks;
      } else if (unit(i) == '\\' && unit(i + 2) == 'n') {
        ++escapes;
      }
    }
    EXPECT_EQ(lineBreaks, kLanguageFileLines);
    EXPECT_EQ(strayBreaks, 0);
    EXPECT_GT(escapes, 0) << "the files should exercise the line-break escape";

    const rovana::LanguageFile file = rovana::ReadLanguageFile(path);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.lines, kLanguageFileLines);
    ASSERT_EQ(file.entries.size(), static_cast<std::size_t>(kLanguageEntries));
    EXPECT_EQ(file.entries[kLanguageEntries - 1], "");
    int decodedBreaks = 0;
    for (int i = 0; i < kLanguageFileLines; ++i) {
      const std::string& text = file.entries[static_cast<std::size_t>(i)];
      EXPECT_FALSE(text.empty()) << "entry " << i;
      EXPECT_EQ(text.find('%'), std::string::npos) << "entry " << i << " could act as a format: " << text;
      EXPECT_EQ(text.find("\\n"), std::string::npos) << "entry " << i;
      for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++decodedBreaks;
    }
    EXPECT_EQ(decodedBreaks, escapes);
  }
}

TEST_F(LanguageTableTest, MenuTextsAreTheBuiltInEnglishOnesAndTranslated) {
  CopyShipped("English");
  CopyShipped("German");
  LanguageTable table(home_);
  ASSERT_TRUE(table.Load("English"));
  EXPECT_EQ(table.Entry(lang::kLanguageName), "English");
  EXPECT_EQ(table.Entry(lang::kMessageCaption), "Rovana");
  EXPECT_EQ(table.Entry(lang::kQuitQuestion).back(), '?');
  const char* topEnglish[] = {"View", "Map", "GPX", "Tools", "Config"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(table.Entry(lang::kTopMenus[i]), topEnglish[i]);
  std::set<int> commands, entries;
  for (const auto& item : lang::kMenuItemTexts) {
    EXPECT_EQ(table.Entry(item.entry), item.english) << "command " << item.command;
    EXPECT_TRUE(commands.insert(item.command).second) << "command listed twice: " << item.command;
    EXPECT_TRUE(entries.insert(item.entry).second) << "entry used by two items: " << item.entry;
  }
  EXPECT_EQ(commands.size(), 35u);

  ASSERT_TRUE(table.Load("German"));
  EXPECT_EQ(table.Entry(lang::kLanguageName), "Deutsch");
  EXPECT_EQ(table.Entry(lang::kMenuView), "Ansicht");
  EXPECT_EQ(table.Entry(lang::kMenuConfigQuit), "Beenden");
  EXPECT_EQ(table.Entry(lang::kMenuViewGotoTarget), "Zum Ziel");
  for (const auto& item : lang::kMenuItemTexts) {
    EXPECT_FALSE(table.Entry(item.entry).empty()) << item.command;
    EXPECT_NE(table.Entry(item.entry), rovana::kLanguagePlaceholder) << item.command;
  }
  EXPECT_EQ(table.Title(lang::kMenuConfigSettings), "Einstellungen");
  EXPECT_EQ(table.Entry(lang::kLanguageIntroBoot), "Willkommen bei Rovana!\r\nBitte w\xC3\xA4hlen Sie Ihre Sprache.");
  EXPECT_EQ(Log().find("rejected"), std::string::npos) << Log();
}

// Every way a file can be wrong: rejected, logged with its path and the
// reason, and the English texts shown instead.
TEST_F(LanguageTableTest, BadFilesAreRejectedLoggedAndEnglishIsUsed) {
  CopyShipped("English");
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    std::string logged;
  };
  const auto bytes = [](std::string content) { return [content](const fs::path& p) { WriteBytes(p, content); }; };
  std::string utf8Lines;
  for (int i = 0; i < kLanguageFileLines; ++i) utf8Lines += "Li\r\n";
  std::string bigEndian = "\xFE\xFF";
  for (int i = 0; i < kLanguageFileLines; ++i) bigEndian += std::string("\0L\0\r\0\n", 6);
  std::string oversize;
  for (std::size_t i = 0; i < rovana::kLanguageFileMaxBytes / 2 + 1; ++i) oversize += i % 40 == 39 ? std::string("\r\0\n\0", 4) : std::string("A\0", 2);
  const std::u16string lonelyHigh(1, char16_t(0xD83D)), lonelyLow(1, char16_t(0xDE00));

  const std::vector<Case> cases = {
      {"last line unterminated", bytes(LinesFile(kLanguageFileLines, true, false)),
       "contained 429 lines, the last without a line break, whereas 429 lines ended by a line break were expected"},
      {"ten lines", bytes(LinesFile(10)), "contained 10 lines whereas 429 lines were expected"},
      // Regression: one line too many used to end the program.
      {"one line too many", bytes(LinesFile(kLanguageFileLines + 1)), "contained 430 lines whereas 429 lines were expected"},
      {"far too many lines", bytes(LinesFile(5000)), "contained 5000 lines whereas 429 lines were expected"},
      {"empty file", bytes(""), "contained 0 lines whereas 429 lines were expected"},
      {"missing file", [](const fs::path&) {}, "Could not open language file"},
      {"a folder", [](const fs::path& p) { fs::create_directory(p); }, "Could not open language file"},
      {"dangling link", [](const fs::path& p) { fs::create_symlink("nowhere.txt", p); }, "Could not open language file"},
      {"a FIFO", [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, "Could not open language file"},
      {"odd byte count", bytes(LinesFile(kLanguageFileLines) + "x"), "odd number of bytes"},
      {"UTF-8 with mark", bytes("\xEF\xBB\xBF" + utf8Lines), "UTF-8 byte-order mark"},
      {"UTF-8 without mark", bytes(utf8Lines), "contained 1 line, the last without a line break"},
      {"big-endian", bytes(bigEndian), "big-endian byte-order mark"},
      {"lone high surrogate", bytes(WithLine(7, u"x" + lonelyHigh + u"y")), "unpaired surrogate in line 8"},
      {"high surrogate ends the line", bytes(WithLine(3, u"x" + lonelyHigh)), "unpaired surrogate in line 4"},
      {"lone low surrogate", bytes(WithLine(0, lonelyLow)), "unpaired surrogate in line 1"},
      {"zero character", bytes(WithLine(2, std::u16string(u"a\0b", 3))), "zero character in line 3"},
      {"CR without LF", bytes(WithLine(4, u"a\rb")), "carriage return without line feed in line 5"},
      {"larger than the limit", bytes(oversize), "larger than 1048576 bytes"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    const std::string name = "Bad" + std::to_string(i);
    cases[i].make(File(name));
    const std::size_t logStart = Log().size();  // only this case's lines count
    LanguageTable table(home_);
    EXPECT_FALSE(table.Load(name));
    EXPECT_EQ(table.language(), "English");
    EXPECT_EQ(table.Entry(lang::kMenuView), "View");
    const std::string log = Log().substr(logStart);
    const std::size_t at = log.find(cases[i].logged);
    ASSERT_NE(at, std::string::npos) << log;
    const std::string line = log.substr(at, log.find('\n', at) - at);
    EXPECT_NE(line.find("(" + File(name).string() + ")"), std::string::npos) << line;
  }
}

// Regression: a rejected file whose last line had no line break was logged
// with one line too few ("contained 428 lines" for 429).
TEST_F(LanguageTableTest, RejectionCountsEveryLine) {
  const auto lfOnly = [](int count) {
    std::u16string units = u"\xFEFF";
    for (int i = 0; i < count; ++i) units += u"x\n";
    return Le(units);
  };
  struct Case {
    const char* what;
    std::string bytes;
    int lines;
    std::string logged;  // "" for an accepted file
  };
  const std::string bom = Le(u"\xFEFF");
  const std::vector<Case> cases = {
      {"429 lines", LinesFile(kLanguageFileLines), kLanguageFileLines, ""},
      {"429 lines without a mark", LinesFile(kLanguageFileLines, false), kLanguageFileLines, ""},
      {"last of 429 unterminated", LinesFile(kLanguageFileLines, true, false), kLanguageFileLines,
       "contained 429 lines, the last without a line break, whereas 429 lines ended by a line break were expected"},
      {"last of 429 unterminated, no mark", LinesFile(kLanguageFileLines, false, false), kLanguageFileLines,
       "contained 429 lines, the last without a line break"},
      {"last of 430 unterminated", LinesFile(kLanguageFileLines + 1, true, false), kLanguageFileLines + 1,
       "contained 430 lines, the last without a line break"},
      {"428 lines", LinesFile(kLanguageFileLines - 1), kLanguageFileLines - 1,
       "contained 428 lines whereas 429 lines were expected"},
      {"trailing empty line", LinesFile(kLanguageFileLines) + Le(u"\r\n"), kLanguageFileLines + 1,
       "contained 430 lines whereas 429 lines were expected"},
      {"two trailing empty lines", LinesFile(kLanguageFileLines) + Le(u"\r\n\r\n"), kLanguageFileLines + 2,
       "contained 431 lines whereas"},
      {"one unterminated line", Le(u"abc"), 1, "contained 1 line, the last without a line break, whereas 429"},
      {"one empty line", bom + Le(u"\r\n"), 1, "contained 1 line whereas 429 lines were expected"},
      {"only a mark", bom, 0, "contained 0 lines whereas 429 lines were expected"},
      {"nothing", "", 0, "contained 0 lines whereas 429 lines were expected"},
      {"line feeds only", lfOnly(kLanguageFileLines), 1, "has 429 line feeds without a carriage return"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t logStart = Log().size();
    const rovana::LanguageFile file = rovana::ParseLanguageFile(c.bytes, "case.txt");
    const std::string log = Log().substr(logStart);
    const bool logOk = c.logged.empty() ? log.find("rejected") == std::string::npos : log.find(c.logged) != std::string::npos;
    EXPECT_TRUE(file.lines == c.lines && file.ok == c.logged.empty() && logOk)
        << "lines " << file.lines << ", ok " << file.ok << ", log:\n" << log;
  }
}

TEST_F(LanguageTableTest, UnreadableFileIsRejected) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads files of any mode";
  CopyShipped("English");
  WriteBytes(File("Locked"), LinesFile(kLanguageFileLines));
  ASSERT_EQ(chmod(File("Locked").c_str(), 0), 0);
  LanguageTable table(home_);
  EXPECT_FALSE(table.Load("Locked"));
  EXPECT_EQ(table.Entry(lang::kLanguageName), "English");
  EXPECT_NE(Log().find("Could not open language file (" + File("Locked").string() + ")."), std::string::npos) << Log();
}

TEST_F(LanguageTableTest, WithoutEnglishEveryEntryIsThePlaceholder) {
  WriteBytes(File("Testish"), LinesFile(kLanguageFileLines));
  LanguageTable table(home_);
  EXPECT_EQ(table.Entry(0), "...");
  ASSERT_TRUE(table.Load("Testish"));
  EXPECT_FALSE(table.Load("Missing"));  // and no English to fall back on
  EXPECT_EQ(table.count(), 0);
  EXPECT_EQ(table.language(), "");
  for (int i = 0; i < kLanguageEntries; ++i) EXPECT_EQ(table.Entry(i), "...") << i;
  EXPECT_NE(Log().find("Could not open language file (" + File("English").string() + ")."), std::string::npos);
}

TEST_F(LanguageTableTest, DecodesWhatTheFormatAllows) {
  struct Case {
    std::u16string line;
    std::string text;
  };
  const std::vector<Case> cases = {
      {u"one\\ntwo\\nthree", "one\r\ntwo\r\nthree"},
      {u"\\n", "\r\n"},
      {u"a\\\\nb", "a\\\r\nb"},   // only the backslash right before "n" is taken
      {u"tail\\", "tail\\"},       // a backslash at the end of the line stays
      {u"tab\\t", "tab\\t"},
      {u"\\N", "\\N"},
      {u"Gr\u00FC\u00DFe", "Gr\xC3\xBC\xC3\x9F" "e"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"lf\ninside", "lf\ninside"},  // a bare line feed is text, not a line end
      {u"", ""},
  };
  std::u16string units = u"\xFEFF\xFEFF" u"Testish\r\n";  // two marks: both skipped
  for (int i = 1; i < kLanguageFileLines; ++i)
    units += (i <= static_cast<int>(cases.size()) ? cases[static_cast<std::size_t>(i - 1)].line : u"x") + u"\r\n";
  const rovana::LanguageFile file = rovana::ParseLanguageFile(Le(units), "memory");
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.entries[0], "Testish");
  for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(file.entries[i + 1], cases[i].text) << "line " << i + 1;

  const rovana::LanguageFile plain = rovana::ParseLanguageFile(LinesFile(kLanguageFileLines, false), "memory");
  ASSERT_TRUE(plain.ok) << "the byte-order mark is optional";
  EXPECT_EQ(plain.entries[0], "Testish");
  EXPECT_EQ(plain.entries[428], "Line 428");
}

TEST_F(LanguageTableTest, StoresTheChoiceOnlyWhenItLoaded) {
  CopyShipped("English");
  CopyShipped("German");
  std::string language = "German";
  bool languageInit = false;
  const LanguageSetting setting{language, languageInit};
  LanguageTable table(home_);

  EXPECT_TRUE(table.Load("", true, setting));  // no name: the setting's language
  EXPECT_EQ(table.Entry(lang::kLanguageName), "Deutsch");
  EXPECT_EQ(language, "German");
  EXPECT_TRUE(languageInit);

  EXPECT_FALSE(table.Load("Missing", true, setting));
  EXPECT_EQ(table.Entry(lang::kLanguageName), "English");
  EXPECT_EQ(language, "German");

  EXPECT_TRUE(table.Load("English", false, setting));
  EXPECT_EQ(language, "German");
  EXPECT_TRUE(table.Load("English", true, setting));
  EXPECT_EQ(language, "English");

  language = "Gone";
  languageInit = false;
  EXPECT_FALSE(table.Load("", true, setting));
  EXPECT_EQ(table.Entry(lang::kMenuView), "View");
  EXPECT_EQ(language, "Gone");
  EXPECT_FALSE(languageInit);
}

TEST_F(LanguageTableTest, ListsTheValidLanguagesOfTheFolder) {
  CopyShipped("English");
  CopyShipped("German");
  WriteBytes(File("Short"), LinesFile(10));
  WriteBytes(home_ / "Language" / "Upper.TXT", LinesFile(kLanguageFileLines));
  WriteBytes(home_ / "Language" / "notes.md", LinesFile(kLanguageFileLines));
  WriteBytes(home_ / "Language" / ".txt", LinesFile(kLanguageFileLines));
  fs::create_directory(File("Folder"));

  LanguageTable table(home_);
  ASSERT_TRUE(table.Load("German"));
  const rovana::LanguageList list = table.ListLanguages();
  ASSERT_EQ(list.items.size(), 3u);
  EXPECT_EQ(list.items[0].name, "English");
  EXPECT_EQ(list.items[0].display, "English");
  EXPECT_EQ(list.items[1].name, "German");
  EXPECT_EQ(list.items[1].display, "Deutsch");
  EXPECT_EQ(list.items[2].name, "Upper");
  EXPECT_EQ(list.items[2].display, "Testish");
  EXPECT_EQ(list.selected, 1);
  EXPECT_EQ(table.Entry(lang::kLanguageName), "Deutsch") << "listing must not change the table";
  const std::string log = Log();
  EXPECT_NE(log.find("Searching language files at " + (home_ / "Language" / "*.txt").string() + "..."), std::string::npos);
  EXPECT_NE(log.find("contained 10 lines whereas 429 lines were expected (" + File("Short").string() + ")"),
            std::string::npos);

  ASSERT_TRUE(table.Load(list.items[2].name)) << "a listed name must load, whatever the case of .txt";
  EXPECT_EQ(table.Entry(lang::kLanguageName), "Testish");

  LanguageTable nowhere(home_ / "no-such-folder");
  const rovana::LanguageList none = nowhere.ListLanguages();
  EXPECT_TRUE(none.items.empty());
  EXPECT_EQ(none.selected, -1);
}

// A fresh home has no Language folder: the shipped files are found in the
// resource folder, and a file of the home's own wins over the shipped one.
TEST_F(LanguageTableTest, HomeFilesComeFirstThenTheShippedFolder) {
  const fs::path shipped = registry_.folder() / "share" / "Language";
  fs::create_directories(shipped);
  fs::copy_file(ShippedFolder() / "English.txt", shipped / "English.txt");
  fs::copy_file(ShippedFolder() / "German.txt", shipped / "German.txt");
  WriteBytes(File("German"), WithLine(0, u"Mein Deutsch"));  // the user's own German

  LanguageTable fresh({registry_.folder() / "fresh" / "Language", shipped});
  ASSERT_TRUE(fresh.Load("English"));
  EXPECT_EQ(fresh.Entry(lang::kLanguageName), "English");
  const rovana::LanguageList shippedOnly = fresh.ListLanguages();
  ASSERT_EQ(shippedOnly.items.size(), 2u);
  EXPECT_EQ(shippedOnly.items[1].display, "Deutsch");

  LanguageTable table({home_ / "Language", shipped});
  ASSERT_TRUE(table.Load("German"));
  EXPECT_EQ(table.Entry(lang::kLanguageName), "Mein Deutsch");
  const rovana::LanguageList list = table.ListLanguages();
  ASSERT_EQ(list.items.size(), 2u) << "a language in both folders is listed once";
  EXPECT_EQ(list.items[0].name, "English");
  EXPECT_EQ(list.items[1].display, "Mein Deutsch");
  EXPECT_EQ(list.selected, 1);
}

TEST_F(LanguageTableTest, LookupsOutOfRangeAreSafe) {
  CopyShipped("English");
  LanguageTable table(home_);
  for (int n : {-1, INT_MIN, kLanguageEntries, kLanguageEntries + 1, INT_MAX}) {
    EXPECT_EQ(table.Entry(n), "...") << n;
    EXPECT_EQ(table.Title(n), "...") << n;
  }
  ASSERT_TRUE(table.Load("English"));
  for (int n : {-1, INT_MIN, kLanguageEntries, INT_MAX}) EXPECT_EQ(table.Entry(n), "...") << n;
  EXPECT_EQ(table.Entry(kLanguageEntries - 1), "") << "the empty line after the last line break";
  EXPECT_EQ(table.Title(lang::kMenuMapSelect), "Select");
  EXPECT_EQ(table.Title(lang::kMenuView), "View");
}

TEST_F(LanguageTableTest, NamesCannotReachOutsideTheLanguageFolder) {
  CopyShipped("English");
  WriteBytes(home_ / "Secret.txt", LinesFile(kLanguageFileLines));
  LanguageTable table(home_);
  const std::vector<std::string> names = {"../Secret", "", ".", "..", "a/b", std::string("Eng\0lish", 8)};
  for (const std::string& name : names) {
    EXPECT_FALSE(table.Load(name)) << name;
    EXPECT_EQ(table.Entry(lang::kLanguageName), "English") << name;
  }
}

// Readers on other threads see one whole table at a time, also while a
// failed load falls back to English (never the cleared "..." in between).
TEST_F(LanguageTableTest, ReadersNeverSeeAHalfLoadedTable) {
  CopyShipped("English");
  CopyShipped("German");
  LanguageTable table(home_);
  ASSERT_TRUE(table.Load("English"));
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0}, wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t)
    readers.emplace_back([&] {
      while (!stop) {
        const std::string view = table.Entry(lang::kMenuView);
        const std::string name = table.Entry(lang::kLanguageName);
        if ((view != "View" && view != "Ansicht") || (name != "English" && name != "Deutsch")) ++wrong;
        ++reads;
      }
    });
  for (int i = 0; i < 30; ++i) {
    table.Load("German");
    table.Load("Missing");
  }
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(reads, 0);
}

}  // namespace
