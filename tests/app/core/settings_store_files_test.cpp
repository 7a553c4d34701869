// SettingsStore and the files it cannot or must not use as they are: damaged
// or unreadable files kept aside as "settings.xml.bad" with LoadProblem()
// saying so, texts longer than the reader takes cut at the save (the keys
// after them still read), and settings.xml as a FIFO, a device or a
// read-only file left alone, with SaveProblem() telling why.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/core/SettingsStore.h"
#include "app/core/TextCodec.h"
#include "app/core/XmlWriter.h"
#include "tests/support/LoggedFolder.h"
#include "tests/support/TempRegistry.h"

namespace rovana {
namespace {

namespace fs = std::filesystem;

const std::string kSmile = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair in UTF-16

std::string Repeat(const std::string& piece, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

std::string Utf16File(const std::string& utf8) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t u : Utf8ToUtf16(utf8)) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

// Values unlike the defaults in keys spread over the file: searchGeoNO is
// written first, translateX last.
void SetValues(SettingsStore& s) {
  s.searchGeoNO = false;
  s.speedSelected = 77.5;
  s.trackerPassword = "pa55word";
  s.horizon = 17;
  s.trackerInterval = 42;
  s.hiddenMaps.Add("north.jpg");
  s.userSymbol = "Me";
  s.translateX = 12.5;
}

class SettingsFilesTest : public testing_support::LoggedFolderTest {
 protected:
  fs::path File() const { return folder_ / "settings.xml"; }
  void WriteBytes(const std::string& bytes) const { std::ofstream(File(), std::ios::binary) << bytes; }
  // The saved file of a store holding SetValues, as UTF-8 text.
  std::string GoodFile() {
    SettingsStore store(folder_ / "elsewhere");
    fs::create_directories(folder_ / "elsewhere");
    SetValues(store);
    EXPECT_TRUE(store.Save());
    std::u16string units;
    const std::string bytes = ReadBytes(folder_ / "elsewhere" / "settings.xml");
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    fs::remove_all(folder_ / "elsewhere");
    return Utf16ToUtf8(units);
  }
  // `text` with `insert` put before the element `key`.
  static std::string Before(const std::string& text, const std::string& key, const std::string& insert) {
    const std::size_t at = text.find(" <" + key + ">");
    return text.substr(0, at) + insert + text.substr(at);
  }

  testing_support::TempRegistry registry_;
};

// Regression: a settings file read only in part (or not at all) was
// overwritten with defaults at quit, losing the password and every value.
TEST_F(SettingsFilesTest, DamagedFileIsKeptAsBadAndReported) {
  const std::string good = GoodFile();
  const std::string megabyte(1 << 20, 'x');
  struct Case {
    const char* what;
    std::function<void()> make;
    std::string reason;  // in LoadProblem(); "" for a file that is fine
    bool horizonRead;    // horizon (17) comes before the damage
    bool needsNonRoot = false;
  };
  const std::vector<Case> cases = {
      {"a good file", [&] { WriteBytes(Utf16File(good)); }, "", true},
      {"no file", [] {}, "", false},
      {"an empty file", [&] { WriteBytes(""); }, "", false},
      {"a huge unknown element mid-file",
       [&] { WriteBytes(Utf16File(Before(good, "translateX", " <junk>" + megabyte + "</junk>\n"))); },
       "is damaged (an XML token too long to read)", true},
      {"a 1 MB attribute", [&] { WriteBytes(Utf16File(Before(good, "translateX", " <junk a=\"" + megabyte + "\"/>\n"))); },
       "is damaged (an XML token too long to read)", true},
      {"a text too long for the reader",
       [&] { WriteBytes(Utf16File(Before(good, "horizon", " <geoCity><![CDATA[" + std::string(9000, 'c') + "]]></geoCity>\n"))); },
       "is damaged (an XML token too long to read)", false},
      {"cut inside a tag", [&] { WriteBytes(Utf16File(good.substr(0, good.find(" <translateX>") + 5))); },
       "is damaged (the data ends inside a token)", true},
      {"no closing tag", [&] { WriteBytes(Utf16File(good.substr(0, good.find("</settings>")))); },
       "is damaged (it has no closing </settings>)", true},
      {"not XML", [&] { WriteBytes("milk\neggs\n"); }, "is damaged (it has no closing </settings>)", false},
      {"no read permission",
       [&] {
         WriteBytes(Utf16File(good));
         ::chmod(File().c_str(), 0200);
       },
       "could not be read (Permission denied)", false, true},
  };
  for (const Case& c : cases) {
    if (c.needsNonRoot && ::geteuid() == 0) continue;  // root reads a 0200 file
    SCOPED_TRACE(c.what);
    c.make();
    const bool existed = fs::exists(File());
    ::chmod(File().c_str(), 0600);
    const std::string before = existed ? ReadBytes(File()) : "";
    if (existed && c.needsNonRoot) ::chmod(File().c_str(), 0200);

    SettingsStore store(folder_);
    const std::string problem = store.LoadProblem();
    const bool reported = c.reason.empty() ? problem.empty() : problem.find("settings.xml " + c.reason) == 0;
    const bool valuesKept = (store.horizon == 17) == c.horizonRead;
    const bool saved = store.Save();
    const fs::path bad = folder_ / "settings.xml.bad";
    ::chmod(bad.c_str(), 0600);
    const bool kept = c.reason.empty() ? !fs::exists(bad) : fs::exists(bad) && ReadBytes(bad) == before;
    const SettingsStore again(folder_);
    const bool rewritten = again.LoadProblem().empty() && again.horizon == store.horizon;
    // The kept file is the old one byte for byte, password and all.
    EXPECT_TRUE(reported && valuesKept && saved && kept && rewritten)
        << "problem [" << problem << "], horizon " << store.horizon << ", saved " << saved << ", kept " << kept
        << ", rewritten " << rewritten;
    fs::remove(File());
    fs::remove(bad);
  }
}

// An earlier kept file is never replaced; one store keeps only once.
TEST_F(SettingsFilesTest, EarlierBadFileIsNotReplaced) {
  std::ofstream(folder_ / "settings.xml.bad") << "from last week";
  WriteBytes("damaged one");
  SettingsStore store(folder_);
  EXPECT_FALSE(store.LoadProblem().empty());
  ASSERT_TRUE(store.Save());
  ASSERT_TRUE(store.Save());  // the second save replaces the store's own file
  EXPECT_EQ(ReadBytes(folder_ / "settings.xml.bad"), "from last week");
  EXPECT_EQ(ReadBytes(folder_ / "settings.xml.bad.2"), "damaged one");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"settings.xml", "settings.xml.bad", "settings.xml.bad.2"}));
  EXPECT_NE(LogText().find("Kept " + File().string() + " as " + File().string() + ".bad.2"), std::string::npos);
}

// Regression: texts longer than the reader's window were saved whole, and at
// the next start that key and every key after it fell back to the defaults.
TEST_F(SettingsFilesTest, LongTextsAreCutAndLaterKeysSurvive) {
  const std::size_t limit = XmlWriter::kMaxTextUnits;
  struct Case {
    const char* what;
    std::string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"at the bound", std::string(limit, 'a'), std::string(limit, 'a')},
      {"one over", std::string(limit + 1, 'a'), std::string(limit, 'a')},
      {"far over", std::string(50000, 'w'), std::string(limit, 'w')},
      {"only \"<\"", std::string(2500, '<'), std::string(limit / 4, '<')},
      {"outside the BMP", Repeat(kSmile, 5000), Repeat(kSmile, limit / 2)},
      {"\"&\" and a pair", Repeat("&" + kSmile, 2000), Repeat("&" + kSmile, limit / 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      SettingsStore store(folder_);
      SetValues(store);
      store.searchWhat = c.text;  // written early: most keys come after it
      store.chatMessages.Clear();
      store.chatMessages.Add("first");
      store.chatMessages.Add(c.text);
      store.chatMessages.Add("last");
      ASSERT_TRUE(store.Save());
      EXPECT_EQ(store.searchWhat, c.text) << "the session keeps the whole text";
    }
    const SettingsStore loaded(folder_);
    const std::vector<std::string> messages = {"first", c.expected, "last"};
    const bool later = loaded.horizon == 17 && loaded.trackerPassword == "pa55word" && loaded.trackerInterval == 42 &&
                       loaded.translateX == 12.5 && loaded.userSymbol == "Me" && loaded.hiddenMaps.Contains("north.jpg");
    EXPECT_TRUE(loaded.searchWhat == c.expected && loaded.chatMessages.items() == messages && later &&
                loaded.LoadProblem().empty())
        << "text of " << loaded.searchWhat.size() << " bytes, later keys read " << later << ", problem ["
        << loaded.LoadProblem() << "]";
  }
  EXPECT_NE(LogText().find("Text of <searchWhat> in " + File().string() + " cut from 8180 to 8179 characters"),
            std::string::npos);
}

// Regression: a settings.xml linked to a device or FIFO, or a read-only one,
// was replaced at quit. Now the save fails, the node or file stays, the
// session's values stay in memory, and both problems are reported.
TEST_F(SettingsFilesTest, FileThatMustNotBeReplacedIsLeftAlone) {
  const bool root = ::geteuid() == 0;
  const fs::path device = root ? folder_ / "null" : fs::path("/dev/null");  // root must not risk the real one
  struct Case {
    const char* what;
    std::function<bool()> make;  // false: the case cannot be set up here
    std::string saveProblem;
  };
  const std::vector<Case> cases = {
      {"link to a FIFO",
       [&] { return ::mkfifo((folder_ / "fifo").c_str(), 0600) == 0 && (fs::create_symlink("fifo", File()), true); },
       "its link target " + (folder_ / "fifo").string() + " is a FIFO"},
      {"link to a device",
       [&] {
         if (root && ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) return false;
         fs::create_symlink(device, File());
         return true;
       },
       "is a device"},
      {"a FIFO itself", [&] { return ::mkfifo(File().c_str(), 0600) == 0; }, "it is a FIFO"},
      {"a read-only file",
       [&] {
         SettingsStore first(folder_);
         first.horizon = 3;
         return first.Save() && ::chmod(File().c_str(), 0444) == 0;
       },
       "it is read-only (mode 0444)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.make()) continue;
    struct stat before{};
    ::lstat(File().c_str(), &before);
    const std::string bytes = S_ISREG(before.st_mode) ? ReadBytes(File()) : "";
    SettingsStore store(folder_);
    store.horizon = 23;
    const std::string problem = store.SaveProblem();
    const bool saved = store.Save();
    struct stat after{};
    ::lstat(File().c_str(), &after);
    const bool untouched = after.st_ino == before.st_ino && (after.st_mode & S_IFMT) == (before.st_mode & S_IFMT) &&
                           (!S_ISREG(after.st_mode) || ReadBytes(File()) == bytes);
    const bool told = problem.starts_with("Settings will not be saved: " + File().string() + ": ") &&
                      problem.find(c.saveProblem) != std::string::npos;
    EXPECT_TRUE(!saved && untouched && told && store.horizon == 23)
        << "saved " << saved << ", untouched " << untouched << ", problem [" << problem << "]";
    std::error_code ec;
    fs::remove(File(), ec);
    fs::remove(folder_ / "fifo", ec);
    fs::remove(device == "/dev/null" ? folder_ / "none" : device, ec);
  }
  EXPECT_EQ(SettingsStore(folder_).SaveProblem(), "") << "a fresh home can be saved to";
  EXPECT_NE(SettingsStore(folder_ / "missing").SaveProblem().find("does not exist"), std::string::npos);
}

}  // namespace
}  // namespace rovana
