// Status and identifier texts.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>

#include "platform/com/Runtime.h"
#include "platform/com/Types.h"
#include "platform/com/Unknown.h"

namespace {

using com::HRESULT;

TEST(FormatStatus, EightUpperCaseHexDigits) {
  const struct {
    HRESULT status;
    const char* text;
  } cases[] = {
      {com::S_OK, "0x00000000"},
      {com::S_FALSE, "0x00000001"},
      {com::MakeStatus(0x80042713), "0x80042713"},
      {com::E_FAIL, "0x80004005"},
      {com::DISP_E_TYPEMISMATCH, "0x80020005"},
      {com::E_UNEXPECTED, "0x8000FFFF"},
      {com::MakeStatus(0xFFFFFFFF), "0xFFFFFFFF"},
      {0x7FFFFFFF, "0x7FFFFFFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(com::FormatStatus(c.status), c.text);
}

TEST(DescribeStatus, KnownTexts) {
  const struct {
    HRESULT status;
    const char* text;
  } cases[] = {
      {com::DISP_E_TYPEMISMATCH, "Type mismatch."},
      {com::DISP_E_MEMBERNOTFOUND, "Member not found."},
      {com::DISP_E_UNKNOWNNAME, "Unknown name."},
      {com::DISP_E_OVERFLOW, "Out of present range."},
      {com::DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
      {com::DISP_E_PARAMNOTOPTIONAL, "Parameter not optional."},
      {com::CO_E_CLASSSTRING, "Invalid class string"},
      {com::REGDB_E_CLASSNOTREG, "Class not registered"},
      {com::CLASS_E_CLASSNOTAVAILABLE, "ClassFactory cannot supply requested class"},
      {com::E_NOINTERFACE, "No such interface supported"},
      {com::E_INVALIDARG, "The parameter is incorrect."},
      {com::E_FAIL, "Unspecified error"},
      {com::E_NOTIMPL, "Not implemented"},
      {com::E_POINTER, "Invalid pointer"},
      {com::CO_E_DLLNOTFOUND, "DLL for class not found"},
      {com::CO_E_ERRORINDLL, "Error in the DLL"},
      // Classic system codes win over the errno with the same number (5 is EIO on Linux).
      {com::E_ACCESSDENIED, "Access is denied."},
  };
  for (const auto& c : cases) EXPECT_EQ(com::DescribeStatus(c.status), c.text) << com::FormatStatus(c.status);
}

TEST(DescribeStatus, EveryRuntimeConstantHasAText) {
  const HRESULT all[] = {
      com::S_OK, com::S_FALSE, com::E_NOTIMPL, com::E_NOINTERFACE, com::E_POINTER, com::E_FAIL, com::E_UNEXPECTED,
      com::E_ACCESSDENIED, com::E_OUTOFMEMORY, com::E_INVALIDARG, com::DISP_E_UNKNOWNINTERFACE,
      com::DISP_E_MEMBERNOTFOUND, com::DISP_E_PARAMNOTFOUND, com::DISP_E_TYPEMISMATCH, com::DISP_E_UNKNOWNNAME,
      com::DISP_E_BADVARTYPE, com::DISP_E_EXCEPTION, com::DISP_E_OVERFLOW, com::DISP_E_BADPARAMCOUNT,
      com::DISP_E_PARAMNOTOPTIONAL, com::TYPE_E_ELEMENTNOTFOUND, com::TYPE_E_LIBNOTREGISTERED,
      com::TYPE_E_INVALIDSTATE, com::TYPE_E_CANTLOADLIBRARY, com::CLASS_E_NOAGGREGATION,
      com::CLASS_E_CLASSNOTAVAILABLE, com::REGDB_E_CLASSNOTREG, com::CO_E_CLASSSTRING, com::CO_E_DLLNOTFOUND,
      com::CO_E_ERRORINDLL, com::CONNECT_E_NOCONNECTION, com::CONNECT_E_ADVISELIMIT, com::CONNECT_E_CANNOTCONNECT,
      com::SELFREG_E_TYPELIB, com::SELFREG_E_CLASS};
  for (HRESULT hr : all) EXPECT_FALSE(com::DescribeStatus(hr).empty()) << com::FormatStatus(hr);
}

TEST(DescribeStatus, SystemErrorsAndUnknownStatuses) {
  for (int error : {ENOENT, EACCES, EROFS, ENOSPC})
    EXPECT_EQ(com::DescribeStatus(com::StatusFromErrno(error)), std::strerror(error)) << error;
  EXPECT_EQ(com::DescribeStatus(com::MakeStatus(0x80041234)), "");
  EXPECT_EQ(com::DescribeStatus(com::MakeStatus(0x8007FFFF)), "") << "an errno the C library does not know";
  EXPECT_EQ(com::DescribeStatus(com::MakeStatus(0x80070000)), "") << "errno 0 is no failure";
  EXPECT_EQ(com::DescribeStatus(0x12345), "");
}

TEST(FormatGuid, UpperCaseWithBraces) {
  constexpr com::Guid g = com::MakeGuid("7dd95801-9882-11cf-9fa9-00aa006c42c4");
  EXPECT_EQ(com::FormatGuid(g), "{7DD95801-9882-11CF-9FA9-00AA006C42C4}");
  EXPECT_EQ(com::FormatGuid(com::IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(com::FormatGuid(com::Guid{}), "{00000000-0000-0000-0000-000000000000}");
}

TEST(FormatGuid, RoundTripsThroughParseGuid) {
  std::mt19937 random(7);
  int failures = 0;
  for (int i = 0; i < 1000; ++i) {
    com::Guid g;
    g.data1 = static_cast<std::uint32_t>(random());
    g.data2 = static_cast<std::uint16_t>(random());
    g.data3 = static_cast<std::uint16_t>(random());
    for (auto& byte : g.data4) byte = static_cast<std::uint8_t>(random());
    const std::string text = com::FormatGuid(g);
    const auto back = com::ParseGuid(text);
    if (text.size() != 38 || !back || !(*back == g)) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

// Guards: error descriptions echoing untrusted text could carry NUL bytes
// and invalid UTF-8 to logs and terminals (the escaping itself is tested in
// tests/platform/text).
TEST(RichErrorText, DescriptionAndSourceAreMadeSafe) {
  com::SetErrorInfo({std::string("no class \"Zen\0\xFF\"", 16), com::IID{}, std::string("Zen\x01", 4)});
  const auto info = com::GetErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->description + " | " + info->source, "no class \"Zen\\x00\\xff\" | Zen\\x01");
}

}  // namespace
