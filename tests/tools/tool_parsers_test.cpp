// The zenolith tool's parsers, called directly: the
// tool's own tests run the binary; these pin the pieces the fuzz targets
// exercise.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <variant>

#include "tools/zenolith/ConvertLine.h"
#include "tools/zenolith/ScriptParser.h"

namespace {

using namespace zenolith::tools;

// Guards the fault where "nan", "inf" and "+-5" read as numbers.
TEST(ZenolithConvertLine, ReadsTwoOrThreeFiniteNumbers) {
  struct Case {
    const char* name;
    const char* line;
    int count;
    double first;
    const char* error;
  };
  constexpr const char* kExpected = "expected two or three numbers: latitude longitude [altitude]";
  const Case cases[] = {
      {"two", "52 9", 2, 52, ""},
      {"three with blanks", " \t-33.5  +151.25e0 12\r", 3, -33.5, ""},
      {"one", "52", 0, 0, kExpected},
      {"four", "1 2 3 4", 0, 0, kExpected},
      {"word", "north east", 0, 0, kExpected},
      {"two signs", "+-5 3", 0, 0, kExpected},
      {"hexadecimal", "0x10 3", 0, 0, kExpected},
      {"nan", "nan 3", 0, 0, "'nan' is not a finite number"},
      {"infinity", "3 -inf", 0, 0, "'-inf' is not a finite number"},
      {"overflow", "1e999 3", 0, 0, "'1e999' is out of range"},
      {"largest double", "1.7976931348623157e308 3", 2, std::numeric_limits<double>::max(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CoordinateLine r = ParseCoordinateLine(c.line, false);
    EXPECT_EQ(std::make_tuple(r.count, r.count ? r.values[0] : 0.0, r.error),
              std::make_tuple(c.count, c.first, std::string(c.error)));
  }
}

TEST(ZenolithScriptParser, StatementsAndTheirWrittenForm) {
  struct Case {
    const char* name;
    const char* line;
    Statement::Kind kind;
    const char* written;
  };
  using K = Statement::Kind;
  const Case cases[] = {
      {"comment", "  # nothing", K::Empty, ""},
      {"create", "d = new ZenolithCE.CustomDatum # a datum", K::Create, "d = new ZenolithCE.CustomDatum"},
      {"create by identifier", "d=new {3A705FDC-6475-4F80-A254-FF7072A87966}", K::Create,
       "d = new {3A705FDC-6475-4F80-A254-FF7072A87966}"},
      {"a name beginning with new", "x = newton", K::Copy, "x = newton"},
      {"put a real", "d.RotX = 1e2", K::Put, "d.RotX = 100.0"},
      {"put a negative zero", "d.RotX = -0.0", K::Put, "d.RotX = -0.0"},
      {"put a text", "s.Sentence = \"a \\\"b\\\" \\\\ # c\"", K::Put, "s.Sentence = \"a \\\"b\\\" \\\\ # c\""},
      {"keep a call", "a = p.Altitude( 1 )", K::Keep, "a = p.Altitude(1)"},
      {"print a call", "print s.Fields(+2, true, x)", K::Print, "print s.Fields(2, true, x)"},
      {"print a name", "print a", K::PrintName, "print a"},
      {"call", "call p.SetAltitude(1, 34.5)", K::Invoke, "call p.SetAltitude(1, 34.5)"},
      {"integer beyond 32 bits", "x = 4294967296", K::Copy, "x = 4294967296.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = ParseStatement(c.line);
    ASSERT_TRUE(std::holds_alternative<Statement>(parsed)) << std::get<ScriptError>(parsed).message;
    const Statement& s = std::get<Statement>(parsed);
    EXPECT_EQ(std::make_pair(s.kind, FormatStatement(s)), std::make_pair(c.kind, std::string(c.written)));
  }
}

TEST(ZenolithScriptParser, LinesThatDoNotParse) {
  struct Case {
    const char* name;
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"keyword as a target", "new = 5", "a statement starts with a name, 'print' or 'call'"},
      {"blank in a ProgID", "d = new Zenolith CE", "a ProgID has no blanks"},
      {"keyword as a value", "x = print", "'print' cannot be used as a value"},
      {"number beyond a double", "x = 1e999", "'1e999' is not a number"},
      {"brace outside new", "x = {1}", "unexpected character '{'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = ParseStatement(c.line);
    ASSERT_TRUE(std::holds_alternative<ScriptError>(parsed));
    EXPECT_EQ(std::get<ScriptError>(parsed).message, c.message);
  }
}

}  // namespace
