// The zenolith tool, run as a user runs it, against a temporary registry.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/Process.h"
#include "tests/support/TempRegistry.h"

namespace {

using testing_support::ProcessResult;
using testing_support::RunProcess;

const std::string kTool = ZEN_TOOL_PATH;

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
  const std::string script =
      "# a datum of our own\n"
      "d = new ZenolithCE.CustomDatum\n"
      "print d.SemiMajorAxis\n"
      "d.SemiMajorAxis = 6378137\n"
      "print d.SemiMajorAxis\n"
      "d.E2 = -0.0066   # stored without its sign\n"
      "print d.E2\n"
      "\n"
      "d.DeltaX = \"-89.5\"\n"
      "print d.DeltaX\n"
      "print d.Flattening\n"
      "d.DeltaY = \"north\"\n"
      "s = new ZenolithCE.NmeaSentence\n"
      "print s.Fields(1)\n"
      "q = new ZenolithCE.Nothing\n"
      "print d.ScaleFactor(1)\n"
      "call d.SemiMajorAxis\n"
      "a = d.SemiMajorAxis\n"
      "print a\n"
      "print d\n";
  const ProcessResult r = RunProcess(kTool, {"script"}, script);
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

TEST_F(ZenolithTool, UnregisterLeavesNoClasses) {
  ASSERT_EQ(RunProcess(kTool, {"unregister"}).status, 0);
  const ProcessResult r = RunProcess(kTool, {"classes"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST(ZenolithToolUsage, EveryCommandHasHelpAndBadUsageIsRefused) {
  testing_support::TempRegistry temp;
  for (const char* command : {"register", "unregister", "classes", "describe", "script"}) {
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
