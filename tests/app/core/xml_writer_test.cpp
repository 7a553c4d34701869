// XmlWriter: the exact bytes of every element form in both encodings, texts
// that must survive a write and a read (markup, references, CDATA ends,
// characters outside the BMP, malformed UTF-8), the "C" locale for reals,
// the atomic save (no temporary left, a failed save keeps the old file, a
// planted link is not followed, a linked file is replaced through its link),
// file modes, and xmllint as an independent
// judge of every kind of file the writer produces.
#include "app/core/XmlWriter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "app/core/Log.h"
#include "app/core/TextCodec.h"
#include "app/core/XmlReader.h"
#include "tests/app/core/XmlWriterTestSupport.h"
#include "tests/support/Shell.h"
#include "tests/support/LoggedFolder.h"

namespace rovana {
namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

using testing_xml::TextCollector;
using testing_xml::Writer;

std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

using testing_support::RunShell;
using Command = testing_support::ShellResult;

bool HaveXmllint() { return RunShell("command -v xmllint").status == 0; }

class XmlWriterTest : public testing_support::LoggedFolderTest {
 protected:
  std::string ReadFile(const std::string& name) const { return ReadBytes(folder_ / name); }
  mode_t Mode(const std::string& name) const {
    struct stat st{};
    ::stat((folder_ / name).c_str(), &st);
    return st.st_mode & 07777;
  }
};

TEST_F(XmlWriterTest, ElementFormsInBothEncodings) {
  struct Case {
    const char* what;
    std::function<void(Writer&)> write;
    std::string expected;  // UTF-8, after the declaration
  };
  const LatLonAlt position{52.5 * kPi / 180, -1.25 * kPi / 180, 100.25};
  const std::vector<Case> cases = {
      {"raw", [](Writer& w) { w.Raw("<settings>\n"); }, "<settings>\n"},
      {"format", [](Writer& w) { w.Format("<%s n=\"%d\">", "x", 7); }, "<x n=\"7\">"},
      {"integer", [](Writer& w) { w.IntElement("horizon", -5); }, " <horizon>-5</horizon>\n"},
      {"boolean", [](Writer& w) { w.BoolElement("a", true); w.BoolElement("b", false); }, " <a>1</a>\n <b>0</b>\n"},
      {"real", [](Writer& w) { w.RealElement("zoomN3", 5215789.654483851); }, " <zoomN3>5215789.654484</zoomN3>\n"},
      {"position", [&](Writer& w) { w.PositionElement("position", position); },
       " <position>52.500000#-1.250000#100.250000</position>\n"},
      {"text", [](Writer& w) { w.TextElement("language", "English"); }, " <language><![CDATA[English]]></language>\n"},
      {"empty text writes nothing", [](Writer& w) { w.TextElement("language", ""); }, ""},
      {"text without carriage returns", [](Writer& w) { w.TextElement("t", "a\r\nb"); }, " <t><![CDATA[a\nb]]></t>\n"},
      {"text with markup", [](Writer& w) { w.TextElement("t", "a<b>&]]>"); }, " <t><![CDATA[a&lt;b&gt;&amp;]]&gt;]]></t>\n"},
      {"empty element", [](Writer& w) { w.EmptyElement("link", "href", "http://x/?a=1&b=\"2\""); },
       " <link href=\"http://x/?a=1&amp;b=&quot;2&quot;\"></link>\n"},
      {"empty element without value", [](Writer& w) { w.EmptyElement("link", "href", ""); }, ""},
      {"list", [](Writer& w) { w.ListElement("hiddenMaps", {"one", "", "two"}); },
       " <hiddenMaps>\n <s><![CDATA[one]]></s>\n <s></s>\n <s><![CDATA[two]]></s>\n </hiddenMaps>\n"},
      {"non-ASCII", [](Writer& w) { w.TextElement("t", "\xC3\xA9\xF0\x9F\x98\x80"); },
       " <t><![CDATA[\xC3\xA9\xF0\x9F\x98\x80]]></t>\n"},
      {"control characters and malformed UTF-8", [](Writer& w) { w.TextElement("t", "a\x01" "b\xFF"); },
       " <t><![CDATA[a\xEF\xBF\xBD" "b\xEF\xBF\xBD]]></t>\n"},
  };
  const std::string declaration = "<?xml version=\"1.0\"?>\n";
  int failures = 0;
  for (const Case& c : cases) {
    for (const bool unicode : {false, true}) {
      Writer writer(folder_, "out.xml", c.write);
      if (!writer.Save(unicode)) {
        ++failures;
        ADD_FAILURE() << c.what << ": save failed";
        continue;
      }
      const std::string expected = unicode ? Utf16Bytes(Utf8ToUtf16(declaration + c.expected)) : declaration + c.expected;
      const std::string got = ReadFile("out.xml");
      if (got != expected) {
        ++failures;
        ADD_FAILURE() << c.what << " (unicode " << unicode << "):\n got [" << got << "]\n expected [" << expected << "]";
      }
      if (writer.bytesWritten() != got.size()) {
        ++failures;
        ADD_FAILURE() << c.what << ": counted " << writer.bytesWritten() << " bytes of " << got.size();
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

// A locale with a decimal comma, built for the test so that no installed
// locale is needed: only its LC_NUMERIC part, over the ASCII character map.
bool UseCommaLocale(const fs::path& folder) {
  fs::create_directories(folder / "locales");
  std::ofstream(folder / "comma.src") << "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\n"
                                         "grouping 3;3\nEND LC_NUMERIC\n";
  RunShell("localedef -c -i '" + (folder / "comma.src").string() + "' -f ANSI_X3.4-1968 '" +
           (folder / "locales" / "comma").string() + "'");
  ::setenv("LOCPATH", (folder / "locales").c_str(), 1);
  return std::setlocale(LC_NUMERIC, "comma") != nullptr;
}

class ValueReader : public XmlReader {
 public:
  ValueReader(fs::path folder, std::string name) : XmlReader(std::move(folder), std::move(name)) {}
  double value = 0;

 protected:
  void Parse() override {
    while (NextToken())
      if (IsTag(XmlToken::StartTag, "r")) value = ReadReal();
  }
};

TEST_F(XmlWriterTest, RealsIgnoreTheUserLocale) {
  const bool comma = UseCommaLocale(folder_);
  char plain[32];
  std::snprintf(plain, sizeof plain, "%.1f", 1.5);
  if (!comma || std::string(plain) != "1,5") {
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    GTEST_SKIP() << "cannot build a locale with a decimal comma (localedef missing?)";
  }
  Writer writer(folder_, "out.xml", [](Writer& w) {
    w.RealElement("r", 1.5);
    w.Format("%lf", 2.25);
  });
  const bool saved = writer.Save(false);
  ValueReader reader(folder_, "out.xml");
  reader.Read();
  std::setlocale(LC_NUMERIC, "C");
  ::unsetenv("LOCPATH");
  ASSERT_TRUE(saved);
  EXPECT_EQ(ReadFile("out.xml"), "<?xml version=\"1.0\"?>\n <r>1.500000</r>\n2.250000");
  EXPECT_EQ(reader.value, 1.5);
}

TEST_F(XmlWriterTest, TextsReadBackAsWritten) {
  const std::vector<std::string> texts = {
      "plain",
      "a &lt; b stays as typed",
      "&amp;#60; and &#60;",
      "ends ]]> in the middle ]]>",
      "<![CDATA[ inside ]]>",
      "<b>bold</b> & \"quoted\" 'apostrophe'",
      "line one\nline two",
      " leading and trailing blanks ",
      "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
      std::string(3000, 'z'),
  };
  int failures = 0;
  for (const bool unicode : {false, true}) {
    Writer writer(folder_, "texts.xml", [&](Writer& w) {
      w.Raw("<r>\n");
      for (const std::string& t : texts) {
        w.TextElement("t", t);
        w.EmptyElement("e", "v", t);
      }
      w.Raw("</r>\n");
    });
    ASSERT_TRUE(writer.Save(unicode));
    TextCollector reader(folder_, "texts.xml");
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(reader.unicode(), unicode);
    if (reader.texts != texts || reader.values != texts) {
      ++failures;
      for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(i < reader.texts.size() ? reader.texts[i] : "<missing>", texts[i]) << "text, unicode " << unicode;
        EXPECT_EQ(i < reader.values.size() ? reader.values[i] : "<missing>", texts[i]) << "attribute, unicode " << unicode;
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(XmlWriterTest, SaveLeavesNoTemporaryFileAndReplacesAStaleOne) {
  std::ofstream(folder_ / "doc.xml.temp") << "left by a crash";
  Writer writer(folder_, "doc.xml", [](Writer& w) { w.Raw("<r/>\n"); });
  ASSERT_TRUE(writer.Save(false));
  EXPECT_EQ(Entries(), std::vector<std::string>{"doc.xml"});
  EXPECT_EQ(ReadFile("doc.xml"), "<?xml version=\"1.0\"?>\n<r/>\n");
}

TEST_F(XmlWriterTest, PlantedLinkIsNotFollowed) {
  const fs::path victim = folder_ / "victim.txt";
  std::ofstream(victim) << "precious";
  fs::create_symlink(victim, folder_ / "doc.xml.temp");
  Writer writer(folder_, "doc.xml", [](Writer& w) { w.Raw("<r/>\n"); });
  ASSERT_TRUE(writer.Save(false));
  EXPECT_EQ(ReadFile("victim.txt"), "precious");
  EXPECT_EQ(ReadFile("doc.xml"), "<?xml version=\"1.0\"?>\n<r/>\n");
}

// Regression: a save renamed its temporary file over a linked settings.xml,
// which replaced the link with a plain file and never updated the linked file.
TEST_F(XmlWriterTest, SaveThroughALinkReplacesTheLinkedFile) {
  const std::string document = "<?xml version=\"1.0\"?>\n<r/>\n";
  const auto body = [](Writer& w) { w.Raw("<r/>\n"); };
  fs::create_directories(folder_ / "home");
  fs::create_directories(folder_ / "store" / "deep");
  // Files left beside link or target: only the target and the links may stay.
  const auto leftovers = [&] {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(folder_))
      if (e.path().extension() == ".temp") found.push_back(e.path().string());
    return found;
  };
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // link below folder_, its target as written
    std::string real;                                        // the file at the end, below folder_
    std::optional<mode_t> mode;                              // explicit mode for the writer
    mode_t expectedMode;
  };
  const std::string store = (folder_ / "store").string();
  const std::vector<Case> cases = {
      {"absolute link", {{"home/a.xml", store + "/a.xml"}}, "store/a.xml", std::nullopt, 0640},
      {"relative link", {{"home/b.xml", "../store/deep/b.xml"}}, "store/deep/b.xml", std::nullopt, 0640},
      {"chain of links", {{"home/c.xml", "c2.xml"}, {"home/c2.xml", "../store/c3.xml"}, {"store/c3.xml", "deep/c.xml"}},
       "store/deep/c.xml", std::nullopt, 0640},
      {"explicit mode on the linked file", {{"home/d.xml", "../store/d.xml"}}, "store/d.xml", 0600, 0600},
  };
  const mode_t oldMask = ::umask(022);
  int failures = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path real = folder_ / c.real;
    std::ofstream(real) << "old contents";
    ::chmod(real.c_str(), 0640);
    for (const auto& [link, target] : c.links) fs::create_symlink(target, folder_ / link);
    const fs::path link = folder_ / c.links.front().first;
    // A folder in the way of "<link>.temp" fails a temporary file made beside
    // the link instead of beside the target, even for root.
    fs::create_directories(link.string() + ".temp/inside");

    Writer writer(link.parent_path(), link.filename().string(), body, c.mode);
    const bool saved = writer.Save(false);
    fs::remove_all(link.string() + ".temp");
    std::ifstream in(real, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    struct stat st{};
    ::stat(real.c_str(), &st);
    bool linksKept = true;
    for (const auto& [name, target] : c.links)
      linksKept = linksKept && fs::is_symlink(folder_ / name) && fs::read_symlink(folder_ / name) == target;
    const std::vector<std::string> left = leftovers();
    if (!saved || contents.str() != document || (st.st_mode & 07777) != c.expectedMode || !linksKept || !left.empty()) {
      ++failures;
      ADD_FAILURE() << "saved " << saved << ", contents [" << contents.str() << "], mode " << std::oct
                    << (st.st_mode & 07777) << std::dec << ", links kept " << linksKept << ", leftovers "
                    << left.size() << "\n" << LogText();
    }
  }
  ::umask(oldMask);
  EXPECT_EQ(failures, 0);
}

// Regression (with the test above): a dangling link is saved through to the
// file it names when that folder exists, and fails cleanly when it does not.
TEST_F(XmlWriterTest, DanglingAndLoopingLinks) {
  const auto body = [](Writer& w) { w.Raw("<r/>\n"); };
  fs::create_directories(folder_ / "store");

  fs::create_symlink("store/new.xml", folder_ / "new.xml");
  Writer dangling(folder_, "new.xml", body);
  EXPECT_TRUE(dangling.Save(false));
  EXPECT_TRUE(fs::is_symlink(folder_ / "new.xml"));
  EXPECT_EQ(ReadFile("store/new.xml"), "<?xml version=\"1.0\"?>\n<r/>\n");

  fs::create_symlink("missing/lost.xml", folder_ / "lost.xml");
  Writer nowhere(folder_, "lost.xml", body);
  EXPECT_FALSE(nowhere.Save(false));
  EXPECT_TRUE(fs::is_symlink(folder_ / "lost.xml"));
  EXPECT_EQ(fs::read_symlink(folder_ / "lost.xml"), "missing/lost.xml");
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
  EXPECT_NE(LogText().find("lost.xml: it links to " + (folder_ / "missing/lost.xml").string() +
                           ", whose folder does not exist"),
            std::string::npos)
      << LogText();

  fs::create_symlink("loop2.xml", folder_ / "loop1.xml");
  fs::create_symlink("loop1.xml", folder_ / "loop2.xml");
  Writer loop(folder_, "loop1.xml", body);
  EXPECT_FALSE(loop.Save(false));
  EXPECT_EQ(fs::read_symlink(folder_ / "loop1.xml"), "loop2.xml");
  EXPECT_EQ(fs::read_symlink(folder_ / "loop2.xml"), "loop1.xml");
  EXPECT_NE(LogText().find("Cannot save " + (folder_ / "loop1.xml").string()), std::string::npos) << LogText();

  EXPECT_EQ(Entries(), (std::vector<std::string>{"loop1.xml", "loop2.xml", "lost.xml", "new.xml", "store"}));
}

// A write that fails half-way (the file size limit stands in for a full
// disk) leaves the old file untouched and no temporary file.
TEST_F(XmlWriterTest, FailedWriteKeepsTheOldFile) {
  std::ofstream(folder_ / "doc.xml") << "old contents";
  const std::string piece(5000, 'b');  // texts are bounded, so many of them make the big file
  Writer writer(folder_, "doc.xml", [&](Writer& w) {
    for (int i = 0; i < 60; ++i) w.TextElement("t", piece);
  });

  struct rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 100000;
  auto* previous = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = writer.Save(false);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, previous);

  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFile("doc.xml"), "old contents");
  EXPECT_EQ(Entries(), std::vector<std::string>{"doc.xml"});
  EXPECT_NE(LogText().find("Error writing file"), std::string::npos);
}

TEST_F(XmlWriterTest, TemporaryFileThatCannotBeMadeKeepsTheOldFile) {
  std::ofstream(folder_ / "doc.xml") << "old contents";
  // A folder in the way of the temporary file: fails even for root.
  fs::create_directories(folder_ / "doc.xml.temp" / "inside");
  Writer writer(folder_, "doc.xml", [](Writer& w) { w.Raw("<r/>\n"); });
  EXPECT_FALSE(writer.Save(false));
  EXPECT_EQ(ReadFile("doc.xml"), "old contents");
  EXPECT_NE(LogText().find("Cannot replace"), std::string::npos);

  Writer nowhere(folder_ / "missing", "doc.xml", [](Writer& w) { w.Raw("<r/>\n"); });
  EXPECT_FALSE(nowhere.Save(false));
}

TEST_F(XmlWriterTest, ReadOnlyFolderKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders; the folder-in-the-way test covers root";
  std::ofstream(folder_ / "doc.xml") << "old contents";
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  Writer writer(folder_, "doc.xml", [](Writer& w) { w.Raw("<r/>\n"); });
  EXPECT_FALSE(writer.Save(false));
  fs::permissions(folder_, fs::perms::owner_all);
  EXPECT_EQ(ReadFile("doc.xml"), "old contents");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"doc.xml"}));
}

TEST_F(XmlWriterTest, FileModes) {
  const mode_t oldMask = ::umask(0);
  Writer secret(folder_, "secret.xml", [](Writer& w) { w.Raw("<r/>\n"); }, 0600);
  EXPECT_TRUE(secret.Save(true));
  EXPECT_EQ(Mode("secret.xml"), 0600u) << "an explicit mode ignores the umask";
  ::chmod((folder_ / "secret.xml").c_str(), 0644);
  EXPECT_TRUE(secret.Save(true));
  EXPECT_EQ(Mode("secret.xml"), 0600u) << "a rewrite restores the explicit mode";

  ::umask(022);
  Writer plain(folder_, "plain.xml", [](Writer& w) { w.Raw("<r/>\n"); });
  EXPECT_TRUE(plain.Save(false));
  EXPECT_EQ(Mode("plain.xml"), 0644u);
  ::chmod((folder_ / "plain.xml").c_str(), 0666);
  EXPECT_TRUE(plain.Save(false));
  EXPECT_EQ(Mode("plain.xml"), 0666u) << "a rewrite keeps the file's mode, whatever the umask";
  ::umask(oldMask);
}

// xmllint, an independent parser, must accept what the writer produces in
// both encodings, and see the values the writer meant.
TEST_F(XmlWriterTest, XmllintAcceptsEveryForm) {
  if (!HaveXmllint()) GTEST_SKIP() << "xmllint not installed (Debian package libxml2-utils)";
  auto body = [](Writer& w) {
    w.Raw("<doc>\n");
    w.IntElement("int", 42);
    w.BoolElement("bool", true);
    w.RealElement("real", -0.5);
    w.PositionElement("position", LatLonAlt{0.5, -0.25, 10});
    w.TextElement("text", "a<b>&c]]>d \"q\" 'a' caf\xC3\xA9 \xF0\x9F\x98\x80 \x01 \xFF");
    w.EmptyElement("link", "href", "http://x/?a=1&b=<2>\"'");
    w.ListElement("list", {"one", "", "two & three"});
    w.Raw("</doc>\n");
  };
  int failures = 0;
  for (const bool unicode : {false, true}) {
    const std::string name = unicode ? "wide.xml" : "narrow.xml";
    Writer writer(folder_, name, body);
    ASSERT_TRUE(writer.Save(unicode));
    const std::string file = (folder_ / name).string();
    const Command lint = RunShell("xmllint --noout '" + file + "'");
    if (lint.status != 0) {
      ++failures;
      ADD_FAILURE() << name << ": " << lint.output;
    }
    const Command value = RunShell("xmllint --xpath 'string(/doc/int)' '" + file + "'");
    // xmllint ends an XPath string result with a line feed.
    EXPECT_EQ(value.output, "42\n") << name;
    const Command href = RunShell("xmllint --xpath 'string(/doc/link/@href)' '" + file + "'");
    EXPECT_EQ(href.output, "http://x/?a=1&b=<2>\"'\n") << name;
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace rovana
