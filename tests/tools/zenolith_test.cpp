// The zenolith tool, run as a user runs it, against a temporary registry.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/Process.h"
#include "tests/support/TempRegistry.h"

namespace {

using testing_support::ProcessResult;
using testing_support::RunProcess;

const std::string kTool = ZEN_TOOL_PATH;
const std::string kSourceDir = ZEN_SOURCE_DIR;

std::vector<std::string> Lines(const std::string& text) { return testing_support::SplitLines(text); }

class ZenolithTool : public ::testing::Test {
 protected:
  void SetUp() override {
    const ProcessResult r = RunProcess(kTool, {"register"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  testing_support::TempRegistry temp_;
};

TEST_F(ZenolithTool, ClassesListsEveryRegisteredClassOnce) {
  const ProcessResult r = RunProcess(kTool, {"classes"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 14u) << r.out;
  for (const std::string& line : lines) {
    std::istringstream fields(line);
    std::string progId, versioned, clsid, path;
    fields >> progId >> versioned >> clsid >> path;
    EXPECT_EQ(progId.rfind("ZenolithCE.", 0), 0u) << line;
    EXPECT_EQ(versioned, progId + ".1") << line;
    EXPECT_EQ(clsid.size(), 38u) << line;
    EXPECT_NE(path.find("libZenolithCE.so"), std::string::npos) << line;
  }
}

TEST_F(ZenolithTool, DescribeShowsTheMembersFromTheTypeLibrary) {
  const ProcessResult r = RunProcess(kTool, {"describe", "ZenolithCE.CustomDatum"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"CustomDatum Class\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("interface ICustomDatum"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 propget SemiMajorAxis() : R8"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("9 propput ScaleFactor(R8 newVal)"), std::string::npos) << r.out;
  EXPECT_EQ(RunProcess(kTool, {"describe", "ZenolithCE.Nothing"}).status, 1);

  const ProcessResult all = RunProcess(kTool, {"describe"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.out.find("source _INmeaParserEvents"), std::string::npos);
}

TEST_F(ZenolithTool, ScriptPutsGetsAndReportsFailures) {
  const ProcessResult r = RunProcess(kTool, {"script", kSourceDir + "/tests/tools/data/custom_datum.zs"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> expected = {
      "0",
      "6378137",
      "0.0066",
      "-89.5",
      "error 0x80020006: Unknown name.",
      "error 0x80020005: Type mismatch. Argument newVal of DeltaY.",
      "error 0x80042714: Index out of bounds",
      "error 0x800401F3: Invalid class string",
      "error 0x8002000E: Wrong number of arguments for ScaleFactor: 1 given, 0 expected.",
      "6378137",
      "<object>",
  };
  EXPECT_EQ(Lines(r.out), expected) << r.out;
}

TEST_F(ZenolithTool, AScriptLineThatDoesNotParseStopsTheScript) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"print d.", "line 2: a member name is expected after '.'"},
      {"d.SemiMajorAxis = ", "line 2: a value is missing"},
      {"print x.E2", "line 2: 'x' is not defined"},
      {"d.E2 = \"open", "line 2: unterminated text"},
      {"d.E2 = 1 2", "line 2: unexpected '2'"},
      {"y = new", "line 2: a ProgID is expected after 'new'"},
      {"print d.E2(1", "line 2: ',' or ')' is expected"},
      {"= 5", "line 2: a statement starts with a name, 'print' or 'call'"},
      {"d.E2 = @", "line 2: unexpected character '@'"},
  };
  for (const Case& c : cases) {
    const std::string script = std::string("d = new ZenolithCE.CustomDatum\n") + c.line + "\nprint d.E2\n";
    const ProcessResult r = RunProcess(kTool, {"script"}, script);
    EXPECT_EQ(r.status, 2) << c.line;
    EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.line;
    EXPECT_EQ(r.out, "") << "nothing after the bad line runs: " << c.line;
  }
}

// Guards the fault where an object put into a number reported "Member not
// found" instead of a type mismatch.
TEST_F(ZenolithTool, AnObjectPutWhereAValueGoesIsATypeMismatch) {
  struct Case {
    const char* name;
    const char* line;
  };
  const Case cases[] = {
      {"number property", "d.RotX = d"},
      {"another number property", "d.SemiMajorAxis = p"},
      {"text property", "s.Sentence = d"},
      {"boolean property", "n.ChecksumMandatory = s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string script =
        "d = new ZenolithCE.CustomDatum\np = new ZenolithCE.Position\ns = new ZenolithCE.NmeaSentence\n"
        "n = new ZenolithCE.NmeaParser\n" + std::string(c.line) + "\n";
    const ProcessResult r = RunProcess(kTool, {"script"}, script);
    EXPECT_EQ(r.out.rfind("error 0x80020005: Type mismatch.", 0), 0u) << r.out << r.err;
  }
}

// Guards the fault where a ProgID in braces (a class identifier) stopped the
// script as an unexpected character.
TEST_F(ZenolithTool, ScriptCreatesAnObjectByItsClassIdentifier) {
  std::string clsid;
  for (const std::string& line : Lines(RunProcess(kTool, {"classes"}).out)) {
    std::istringstream fields(line);
    std::string progId, versioned;
    fields >> progId >> versioned >> clsid;
    if (progId == "ZenolithCE.CustomDatum") break;
  }
  ASSERT_EQ(clsid.size(), 38u);
  const ProcessResult r = RunProcess(kTool, {"script"}, "d = new " + clsid + "  # by identifier\nprint d.SemiMajorAxis\n");
  EXPECT_EQ(std::make_pair(r.status, r.out), std::make_pair(0, std::string("0\n"))) << r.err;
}

// Guards the fault where messages quoted NUL, control bytes and invalid
// UTF-8 of a script raw onto the terminal.
TEST_F(ZenolithTool, ScriptMessagesShowControlBytesAndInvalidUtf8Escaped) {
  struct Case {
    const char* name;
    std::string line;
    const char* message;
  };
  const Case cases[] = {
      {"NUL in a name", std::string("print d.Ro\0X", 12), "line 2: unexpected character '\\x00'\n"},
      {"invalid byte", "d.E2 = \xff", "line 2: unexpected character '\\xff'\n"},
      {"escape sequence", "print d.E2 \x1b[2J", "line 2: unexpected character '\\x1b'\n"},
      {"cut character", "d.E2 = 1 \"a\xc3\"", "line 2: unexpected 'a\\xc3'\n"},
      {"C1 control in a text", "d.E2 = 1 \"\xc2\x9b\"", "line 2: unexpected '\\xc2\\x9b'\n"},
      {"a character is kept", "d.E2 = \xc3\xa9", "line 2: unexpected character '\xc3\xa9'\n"},
      {"backslashes are kept", "d.E2 = 1 \"a\\\\b\"", "line 2: unexpected 'a\\b'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = RunProcess(kTool, {"script"}, "d = new ZenolithCE.CustomDatum\n" + c.line + "\n");
    EXPECT_EQ(std::make_pair(r.status, r.err), std::make_pair(2, std::string(c.message)));
  }
}

// Guards the faults where a damaged registry read as one without classes
// (exit status 0) and where register failed without naming file and line.
TEST_F(ZenolithTool, ADamagedRegistryIsReportedWithItsFileAndLine) {
  std::ofstream(temp_.file(), std::ios::app) << "garbage \x01 line\n";
  int lines = 0;
  std::ifstream in(temp_.file());
  for (std::string line; std::getline(in, line);) ++lines;
  const std::string where = temp_.file().string() + ":" + std::to_string(lines) + ": ";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    int status;
  };
  const Case cases[] = {
      {"classes", {"classes"}, "", 1},
      {"describe", {"describe"}, "", 1},
      {"register", {"register"}, "", 1},
      {"unregister", {"unregister"}, "", 1},
      {"script goes on after a failing line", {"script"}, "d = new ZenolithCE.CustomDatum\n", 0},
      {"convert", {"convert", "--from", "WGS_84", "--to", "WGS_84"}, "52 9\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = RunProcess(kTool, c.args, c.input);
    const std::string said = r.out + r.err;
    EXPECT_TRUE(r.status == c.status && said.find(where + "unrecognised line: garbage \\x01 line") != std::string::npos)
        << "status " << r.status << ": " << said;
  }
}

// Guards the fault where a folder given as the script read as an empty
// script with exit status 0.
TEST_F(ZenolithTool, AScriptThatCannotBeReadIsReported) {
  const ProcessResult folder = RunProcess(kTool, {"script", temp_.folder()});
  EXPECT_EQ(std::make_pair(folder.status, folder.err),
            std::make_pair(1, "zenolith script: " + temp_.folder().string() + ": Is a directory\n"));
  const ProcessResult missing = RunProcess(kTool, {"script", "/nonexistent.zs"});
  EXPECT_EQ(std::make_pair(missing.status, missing.err),
            std::make_pair(1, std::string("zenolith script: /nonexistent.zs: No such file or directory\n")));
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
  const std::filesystem::path locked = temp_.folder() / "locked.zs";
  std::ofstream(locked) << "print x\n";
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  const ProcessResult denied = RunProcess(kTool, {"script", locked});
  EXPECT_EQ(std::make_pair(denied.status, denied.err),
            std::make_pair(1, "zenolith script: " + locked.string() + ": Permission denied\n"));
}

TEST_F(ZenolithTool, UnregisterLeavesNoClasses) {
  ASSERT_EQ(RunProcess(kTool, {"unregister"}).status, 0);
  const ProcessResult r = RunProcess(kTool, {"classes"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST(ZenolithToolUsage, EveryCommandHasHelpAndBadUsageIsRefused) {
  testing_support::TempRegistry temp;
  for (const char* command : {"register", "unregister", "classes", "describe", "script", "convert", "decode", "listen"}) {
    const ProcessResult r = RunProcess(kTool, {command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_NE(r.out.find(std::string("usage: zenolith ") + command), std::string::npos) << command;
  }
  EXPECT_EQ(RunProcess(kTool, {"--help"}).status, 0);
  EXPECT_EQ(RunProcess(kTool, {}).status, 2);
  EXPECT_EQ(RunProcess(kTool, {"frobnicate"}).status, 2);
  EXPECT_EQ(RunProcess(kTool, {"classes", "extra"}).status, 2);
  EXPECT_EQ(RunProcess(kTool, {"register", "--library"}).status, 2);
  const ProcessResult missing = RunProcess(kTool, {"register", "--library", "/nonexistent/libZenolithCE.so"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("0x800401F8"), std::string::npos) << missing.err;
}

}  // namespace
