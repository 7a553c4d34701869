// Variant storage, reference counts, conversions, default members, dates and
// number text.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/com/Variant.h"

namespace {

using com::DateValue;
using com::HRESULT;
using com::VarType;
using com::Variant;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// Day counts built from civil fields are sums of a whole day and a time
// fraction: exact to well below a millisecond (1.2e-8 days).
constexpr double kDayTolerance = 1e-9;

// Counts references instead of owning them; its default member returns
// `value` with `status`, and it records how it was called.
class FakeDispatch final : public com::IDispatch {
 public:
  HRESULT QueryInterface(const com::IID& iid, void** object) override {
    if (iid != com::IID_IUnknown && iid != com::IID_IDispatch) return com::E_NOINTERFACE;
    AddRef();
    *object = this;
    return com::S_OK;
  }
  std::uint32_t AddRef() override { return ++refs; }
  std::uint32_t Release() override { return --refs; }
  HRESULT GetTypeInfo(std::shared_ptr<const com::InterfaceInfo>*) override { return com::E_NOTIMPL; }
  HRESULT GetIDsOfNames(std::span<const std::string_view>, com::DispId*) override { return com::DISP_E_UNKNOWNNAME; }
  HRESULT Invoke(com::DispId id, std::uint16_t flags, std::span<Variant> args, Variant* result) override {
    ++invokes;
    lastId = id;
    lastFlags = flags;
    lastArgCount = args.size();
    if (result) *result = value;
    return status;
  }

  std::uint32_t refs = 1;  // the test's own reference
  Variant value;
  HRESULT status = com::S_OK;
  int invokes = 0;
  com::DispId lastId = -99;
  std::uint16_t lastFlags = 0;
  std::size_t lastArgCount = 99;
};

Variant Text(const char* s) { return Variant::Bstr(s); }
Variant Day(double d) { return Variant::Date(DateValue{d}); }

struct ConversionCase {
  const char* name;
  Variant from;
  VarType to;
  HRESULT status;
  Variant expected;  // checked only on success
};

std::vector<ConversionCase> ConversionTable() {
  const HRESULT ok = com::S_OK, mismatch = com::DISP_E_TYPEMISMATCH, overflow = com::DISP_E_OVERFLOW;
  const HRESULT badType = com::DISP_E_BADVARTYPE;
  return {
      {"empty to I2", Variant(), VarType::I2, ok, Variant::I2(0)},
      {"I2 to I2", Variant::I2(7), VarType::I2, ok, Variant::I2(7)},
      {"I4 fits I2", Variant::I4(1234), VarType::I2, ok, Variant::I2(1234)},
      {"I4 too big for I2", Variant::I4(-70000), VarType::I2, overflow, {}},
      {"R8 to I2 rounds to even", Variant::R8(2.5), VarType::I2, ok, Variant::I2(2)},
      {"date to I2 rounds", Day(1.5), VarType::I2, ok, Variant::I2(2)},
      {"blank-padded text to I2", Text(" \t12 \n"), VarType::I2, ok, Variant::I2(12)},
      {"true to I2", Variant::Bool(true), VarType::I2, ok, Variant::I2(-1)},
      {"false to I2", Variant::Bool(false), VarType::I2, ok, Variant::I2(0)},
      {"null object to I2", Variant::Dispatch(nullptr), VarType::I2, mismatch, {}},
      {"I2 to I4", Variant::I2(-5), VarType::I4, ok, Variant::I4(-5)},
      {"plus sign", Text("+42"), VarType::I4, ok, Variant::I4(42)},
      {"true to I4", Variant::Bool(true), VarType::I4, ok, Variant::I4(-1)},
      {"empty to I4", Variant(), VarType::I4, ok, Variant::I4(0)},
      {"word to I4", Text("abc"), VarType::I4, mismatch, {}},
      {"empty text to I4", Text(""), VarType::I4, mismatch, {}},
      {"I2 to R8", Variant::I2(3), VarType::R8, ok, Variant::R8(3)},
      {"I4 to R8", Variant::I4(-70000), VarType::R8, ok, Variant::R8(-70000)},
      {"date to R8 keeps the day count", Day(1.25), VarType::R8, ok, Variant::R8(1.25)},
      {"true to R8", Variant::Bool(true), VarType::R8, ok, Variant::R8(-1)},
      {"empty to R8", Variant(), VarType::R8, ok, Variant::R8(0)},
      {"text to R8", Text("0.1"), VarType::R8, ok, Variant::R8(0.1)},
      {"comma is no decimal separator", Text("1,5"), VarType::R8, mismatch, {}},
      {"R8 to date", Variant::R8(1.25), VarType::Date, ok, Day(1.25)},
      {"I2 to date", Variant::I2(2), VarType::Date, ok, Day(2)},
      {"true to date", Variant::Bool(true), VarType::Date, ok, Day(-1)},
      {"empty to date", Variant(), VarType::Date, ok, Day(0)},
      {"ISO day", Text("1900-01-01"), VarType::Date, ok, Day(2)},
      {"time alone", Text("12:00:00"), VarType::Date, ok, Day(0.5)},
      {"before the epoch", Text("1899-12-29T06:00:00"), VarType::Date, ok, Day(-1.25)},
      {"blank separator", Text("2000-01-01 12:00:00"), VarType::Date, ok, Day(36526.5)},
      {"number text to date", Text("36526.5"), VarType::Date, ok, Day(36526.5)},
      {"month 13", Text("2000-13-01"), VarType::Date, mismatch, {}},
      {"short fields", Text("2000-1-1"), VarType::Date, mismatch, {}},
      {"trailing zone", Text("2000-01-01T00:00:00Z"), VarType::Date, mismatch, {}},
      {"R8 beyond year 9999", Variant::R8(1e7), VarType::Date, overflow, {}},
      {"I4 beyond year 9999", Variant::I4(std::numeric_limits<std::int32_t>::max()), VarType::Date, overflow, {}},
      {"NaN to date", Variant::R8(kNaN), VarType::Date, overflow, {}},
      {"zero to bool", Variant::I2(0), VarType::Bool, ok, Variant::Bool(false)},
      {"I4 to bool", Variant::I4(5), VarType::Bool, ok, Variant::Bool(true)},
      {"small R8 to bool", Variant::R8(-0.1), VarType::Bool, ok, Variant::Bool(true)},
      {"date 0 to bool", Day(0), VarType::Bool, ok, Variant::Bool(false)},
      {"empty to bool", Variant(), VarType::Bool, ok, Variant::Bool(false)},
      {"TRUE", Text("TRUE"), VarType::Bool, ok, Variant::Bool(true)},
      {"padded false", Text(" false "), VarType::Bool, ok, Variant::Bool(false)},
      {"zero text", Text("0"), VarType::Bool, ok, Variant::Bool(false)},
      {"number text", Text("2.5"), VarType::Bool, ok, Variant::Bool(true)},
      {"yes is no boolean", Text("yes"), VarType::Bool, mismatch, {}},
      {"empty text to bool", Text(""), VarType::Bool, mismatch, {}},
      {"I2 to text", Variant::I2(-7), VarType::Bstr, ok, Text("-7")},
      {"I4 to text", Variant::I4(123456), VarType::Bstr, ok, Text("123456")},
      {"R8 to text", Variant::R8(2.5), VarType::Bstr, ok, Text("2.5")},
      {"true to text", Variant::Bool(true), VarType::Bstr, ok, Text("True")},
      {"false to text", Variant::Bool(false), VarType::Bstr, ok, Text("False")},
      {"empty to text", Variant(), VarType::Bstr, ok, Text("")},
      {"date and time to text", Day(36526.5), VarType::Bstr, ok, Text("2000-01-01T12:00:00")},
      {"time alone to text", Day(0.25), VarType::Bstr, ok, Text("06:00:00")},
      {"negative date to text", Day(-1.25), VarType::Bstr, ok, Text("1899-12-29T06:00:00")},
      {"date beyond range to text", Day(1e9), VarType::Bstr, overflow, {}},
      {"NaN date to text", Day(kNaN), VarType::Bstr, overflow, {}},
      {"null object to text", Variant::Dispatch(nullptr), VarType::Bstr, mismatch, {}},
      {"empty to object", Variant(), VarType::Dispatch, ok, Variant::Dispatch(nullptr)},
      {"number to object", Variant::I4(1), VarType::Dispatch, mismatch, {}},
      {"text to object", Text("x"), VarType::Dispatch, mismatch, {}},
      {"any type copies", Variant::I4(5), VarType::Variant, ok, Variant::I4(5)},
      {"to empty", Variant::I4(3), VarType::Empty, ok, Variant()},
      {"to by-reference", Variant::I4(3), VarType::ByRef, badType, {}},
      {"to void", Variant::I4(3), VarType::Void, badType, {}},
      {"unknown code", Variant::I4(3), static_cast<VarType>(99), badType, {}},
  };
}

TEST(VariantConversion, FromEachTypeToEachType) {
  for (const ConversionCase& c : ConversionTable()) {
    Variant out = Text("untouched");
    EXPECT_EQ(c.from.ChangeType(c.to, &out), c.status) << c.name << ": " << com::FormatStatus(c.status);
    if (c.status == com::S_OK) {
      EXPECT_EQ(out, c.expected) << c.name;
    } else {
      EXPECT_EQ(out, Text("untouched")) << c.name << ": a failed conversion leaves the target alone";
    }
  }
}

TEST(VariantConversion, RoundsHalfToEven) {
  const struct {
    double in;
    std::int32_t out;
  } cases[] = {{0.5, 0},   {1.5, 2},  {2.5, 2},   {3.5, 4},    {-0.5, 0},  {-1.5, -2},
               {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {0.49999999999999994, 0}, {-3.5, -4}};
  for (const auto& c : cases) {
    std::int32_t i4 = 99;
    std::int16_t i2 = 99;
    EXPECT_EQ(Variant::R8(c.in).ToInt32(&i4), com::S_OK) << c.in;
    EXPECT_EQ(Variant::R8(c.in).ToInt16(&i2), com::S_OK) << c.in;
    EXPECT_EQ(i4, c.out) << c.in;
    EXPECT_EQ(i2, c.out) << c.in;
  }
}

TEST(VariantConversion, IntegerRangeEdges) {
  const struct {
    Variant in;
    VarType to;
    HRESULT status;
  } cases[] = {
      {Variant::R8(32767), VarType::I2, com::S_OK},
      {Variant::R8(32768), VarType::I2, com::DISP_E_OVERFLOW},
      {Variant::R8(-32768), VarType::I2, com::S_OK},
      {Variant::R8(-32769), VarType::I2, com::DISP_E_OVERFLOW},
      {Variant::R8(32767.49), VarType::I2, com::S_OK},
      {Variant::R8(32767.5), VarType::I2, com::DISP_E_OVERFLOW},  // rounds up to 32768
      {Variant::R8(-32768.5), VarType::I2, com::S_OK},            // rounds to even -32768
      {Variant::I4(32768), VarType::I2, com::DISP_E_OVERFLOW},
      {Text("32768"), VarType::I2, com::DISP_E_OVERFLOW},
      {Variant::R8(2147483647.0), VarType::I4, com::S_OK},
      {Variant::R8(2147483648.0), VarType::I4, com::DISP_E_OVERFLOW},
      {Variant::R8(-2147483648.0), VarType::I4, com::S_OK},
      {Variant::R8(-2147483649.0), VarType::I4, com::DISP_E_OVERFLOW},
      {Variant::R8(2147483647.5), VarType::I4, com::DISP_E_OVERFLOW},
      {Variant::R8(kInf), VarType::I4, com::DISP_E_OVERFLOW},
      {Variant::R8(-kInf), VarType::I2, com::DISP_E_OVERFLOW},
      {Variant::R8(kNaN), VarType::I4, com::DISP_E_OVERFLOW},
      {Text("1e400"), VarType::I4, com::DISP_E_OVERFLOW},
  };
  for (const auto& c : cases) {
    Variant out;
    EXPECT_EQ(c.in.ChangeType(c.to, &out), c.status) << c.in.AsR8() << " " << c.in.AsBstr();
  }
}

TEST(VariantConversion, ParsesUntrustedText) {
  const std::string longOne = "1" + std::string(400, '0');
  const std::string tinyOne = "0." + std::string(400, '0') + "1";
  const struct {
    std::string text;
    HRESULT status;
    double value;
  } cases[] = {
      {"", com::DISP_E_TYPEMISMATCH, 0},        {"   ", com::DISP_E_TYPEMISMATCH, 0},
      {"-", com::DISP_E_TYPEMISMATCH, 0},       {"+", com::DISP_E_TYPEMISMATCH, 0},
      {".", com::DISP_E_TYPEMISMATCH, 0},       {"1e", com::DISP_E_TYPEMISMATCH, 0},
      {"1e+", com::DISP_E_TYPEMISMATCH, 0},     {"e5", com::DISP_E_TYPEMISMATCH, 0},
      {"1.2.3", com::DISP_E_TYPEMISMATCH, 0},   {"--1", com::DISP_E_TYPEMISMATCH, 0},
      {"+-1", com::DISP_E_TYPEMISMATCH, 0},     {"1 000", com::DISP_E_TYPEMISMATCH, 0},
      {"12abc", com::DISP_E_TYPEMISMATCH, 0},   {"nan", com::DISP_E_TYPEMISMATCH, 0},
      {"inf", com::DISP_E_TYPEMISMATCH, 0},     {"-infinity", com::DISP_E_TYPEMISMATCH, 0},
      {"0x1A", com::DISP_E_TYPEMISMATCH, 0},    {std::string("1\0", 2), com::DISP_E_TYPEMISMATCH, 0},
      {"1e999999999999999999999", com::DISP_E_OVERFLOW, 0},
      {"-1e400", com::DISP_E_OVERFLOW, 0},      {longOne, com::DISP_E_OVERFLOW, 0},
      {"1e-999999999999", com::S_OK, 0},        {tinyOne, com::S_OK, 0},
      {"0e99999", com::S_OK, 0},                {".5", com::S_OK, 0.5},
      {"5.", com::S_OK, 5},                     {"+.5e1", com::S_OK, 5},
      {"\t3\n", com::S_OK, 3},                  {"00012", com::S_OK, 12},
      {"-1.25E-2", com::S_OK, -0.0125},         {"5e-324", com::S_OK, 5e-324},
  };
  for (const auto& c : cases) {
    double value = -1;
    EXPECT_EQ(Variant::Bstr(c.text).ToDouble(&value), c.status) << '"' << c.text << '"';
    if (c.status == com::S_OK) {
      EXPECT_EQ(value, c.value) << '"' << c.text << '"';
    }
  }
  double negativeZero = 1;
  ASSERT_EQ(Text("-1e-400").ToDouble(&negativeZero), com::S_OK);
  EXPECT_TRUE(negativeZero == 0 && std::signbit(negativeZero)) << "underflow keeps the sign";
}

TEST(VariantRefCount, CopiesMovesAndAssignmentsKeepCountsExact) {
  FakeDispatch a, b;
  {
    Variant v = Variant::Dispatch(&a);
    EXPECT_EQ(a.refs, 2u);
    Variant copy(v);
    EXPECT_EQ(a.refs, 3u);
    Variant moved(std::move(copy));
    EXPECT_EQ(a.refs, 3u) << "a move transfers the reference";
    EXPECT_TRUE(copy.IsEmpty());
    Variant other = Variant::Dispatch(&b);
    other = v;  // releases b, adds a
    EXPECT_EQ(a.refs, 4u);
    EXPECT_EQ(b.refs, 1u);
    other = std::move(moved);  // releases one a, takes moved's
    EXPECT_EQ(a.refs, 3u);
    const Variant& alias = other;
    other = alias;
    EXPECT_EQ(a.refs, 3u) << "self-assignment";
    other = std::move(other);
    EXPECT_EQ(a.refs, 3u) << "self-move";
    other = Variant::I4(1);
    EXPECT_EQ(a.refs, 2u) << "overwriting with a number releases";
    v.Clear();
    EXPECT_EQ(a.refs, 1u);
    Variant null = Variant::Dispatch(nullptr);
    Variant nullCopy = null;
    EXPECT_EQ(nullCopy, null);
  }
  EXPECT_EQ(a.refs, 1u);
  EXPECT_EQ(b.refs, 1u);
}

TEST(VariantRefCount, ConversionsAndSlots) {
  FakeDispatch a;
  a.value = Variant::I4(3);
  {
    Variant v = Variant::Dispatch(&a);
    Variant out;
    EXPECT_EQ(v.ChangeType(VarType::Dispatch, &out), com::S_OK);
    EXPECT_EQ(a.refs, 3u);
    EXPECT_EQ(v.ChangeType(VarType::Variant, &v), com::S_OK);
    EXPECT_EQ(v.ChangeType(VarType::Dispatch, &v), com::S_OK);
    EXPECT_EQ(a.refs, 3u) << "converting in place";
    {
      com::ComPtr<com::IDispatch> object;
      EXPECT_EQ(v.ToDispatch(&object), com::S_OK);
      EXPECT_EQ(object.get(), &a);
      EXPECT_EQ(a.refs, 4u);
    }
    Variant slot = Variant::Ref(&v);
    Variant slotCopy = slot;
    EXPECT_EQ(a.refs, 3u) << "a slot owns nothing";
    EXPECT_EQ(out.ChangeType(VarType::I4, &out), com::S_OK) << "the default member replaces the object";
    EXPECT_EQ(out, Variant::I4(3));
    EXPECT_EQ(a.refs, 2u);
  }
  EXPECT_EQ(a.refs, 1u);
}

TEST(VariantDefaultMember, ConvertsTheValueOfTheObject) {
  FakeDispatch object;
  object.value = Variant::I4(42);
  const Variant v = Variant::Dispatch(&object);
  std::int16_t i2 = 0;
  EXPECT_EQ(v.ToInt16(&i2), com::S_OK);
  EXPECT_EQ(i2, 42);
  EXPECT_EQ(object.lastId, com::kDispIdValue);
  EXPECT_EQ(object.lastFlags, com::kInvokePropertyGet | com::kInvokeMethod);
  EXPECT_EQ(object.lastArgCount, 0u);
  std::string text;
  EXPECT_EQ(v.ToText(&text), com::S_OK);
  EXPECT_EQ(text, "42");
  EXPECT_EQ(object.invokes, 2);

  Variant out;
  EXPECT_EQ(v.ChangeType(VarType::Dispatch, &out), com::S_OK);
  EXPECT_EQ(v.ChangeType(VarType::Variant, &out), com::S_OK);
  EXPECT_EQ(object.invokes, 2) << "object targets take the object itself";

  object.value = Text("abc");
  EXPECT_EQ(v.ChangeType(VarType::I4, &out), com::DISP_E_TYPEMISMATCH);
}

// Guards: an object without a default member passed for a number reported
// "Member not found" instead of a type mismatch.
TEST(VariantDefaultMember, AnObjectWithoutDefaultMemberIsATypeMismatch) {
  struct Case {
    const char* name;
    HRESULT invokeStatus;
    HRESULT expected;
  };
  const Case cases[] = {
      {"no default member", com::DISP_E_MEMBERNOTFOUND, com::DISP_E_TYPEMISMATCH},
      {"unknown name stays", com::DISP_E_UNKNOWNNAME, com::DISP_E_UNKNOWNNAME},
      {"exception stays", com::DISP_E_EXCEPTION, com::DISP_E_EXCEPTION},
      {"out of memory stays", com::E_OUTOFMEMORY, com::E_OUTOFMEMORY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDispatch object;
    object.value = Variant::I4(1);
    object.status = c.invokeStatus;
    const Variant v = Variant::Dispatch(&object);
    Variant out;
    EXPECT_EQ(v.ChangeType(VarType::R8, &out), c.expected);
  }
}

TEST(VariantDefaultMember, StopsAtObjectsThatReturnThemselves) {
  FakeDispatch object;
  object.value = Variant::Dispatch(&object);
  const Variant v = Variant::Dispatch(&object);
  bool b = false;
  EXPECT_EQ(v.ToBool(&b), com::DISP_E_TYPEMISMATCH);
  EXPECT_GE(object.invokes, 1);
  EXPECT_LE(object.invokes, 8);
  EXPECT_EQ(object.refs, 3u) << "every intermediate value released";
  object.value.Clear();
}

TEST(VariantByRef, ReadsAndWritesThroughTheSlot) {
  Variant target = Text("17");
  Variant slot = Variant::Ref(&target);
  EXPECT_EQ(slot.type(), VarType::ByRef);
  EXPECT_EQ(&slot.Deref(), &target);
  EXPECT_EQ(&target.Deref(), &target);
  std::int32_t i4 = 0;
  EXPECT_EQ(slot.ToInt32(&i4), com::S_OK);
  EXPECT_EQ(i4, 17);
  EXPECT_EQ(slot.ChangeType(VarType::I4, &target), com::S_OK) << "out is the slot's target";
  EXPECT_EQ(target, Variant::I4(17));
  Variant copy;
  EXPECT_EQ(slot.ChangeType(VarType::Variant, &copy), com::S_OK);
  EXPECT_EQ(copy, Variant::I4(17)) << "any-type copies the value, not the slot";
  EXPECT_EQ(slot.ChangeType(VarType::R8, &slot), com::S_OK);
  EXPECT_EQ(slot, Variant::R8(17)) << "out is the slot itself";
  EXPECT_EQ(Variant::Ref(nullptr).ChangeType(VarType::I4, &copy), com::DISP_E_BADVARTYPE);
  EXPECT_EQ(Variant::I4(1).ChangeType(VarType::I4, nullptr), com::E_POINTER);
  EXPECT_EQ(Variant::I4(1).ToInt32(nullptr), com::E_POINTER);
}

TEST(Variant, EqualityAndAccessors) {
  FakeDispatch a, b;
  Variant x, y;
  EXPECT_EQ(Variant(), Variant());
  EXPECT_NE(Variant::I2(1), Variant::I4(1)) << "type counts";
  EXPECT_NE(Variant::R8(1), Day(1));
  EXPECT_EQ(Text("a"), Text("a"));
  EXPECT_EQ(Variant::Dispatch(&a), Variant::Dispatch(&a));
  EXPECT_NE(Variant::Dispatch(&a), Variant::Dispatch(&b));
  EXPECT_EQ(Variant::Ref(&x), Variant::Ref(&x));
  EXPECT_NE(Variant::Ref(&x), Variant::Ref(&y));
  const Variant i4 = Variant::I4(5);
  EXPECT_EQ(i4.AsI2(), 0);
  EXPECT_EQ(i4.AsR8(), 0);
  EXPECT_EQ(i4.AsBstr(), "");
  EXPECT_EQ(i4.AsDispatch(), nullptr);
  EXPECT_EQ(i4.AsRef(), nullptr);
  EXPECT_EQ(a.refs, 1u);
}

// Text lives beside the one-word values in the same storage: every way of
// moving or copying between the two kinds must leave each variant holding
// exactly one value (the sanitizer build sees any leak or double free).
TEST(Variant, TextAndWordsReplaceEachOther) {
  const std::string longText(100, 'x');  // beyond any small-string buffer
  const Variant values[] = {Variant(), Variant::I2(-3), Variant::R8(2.5), Text("ab"), Text(longText.c_str()), Day(1)};
  for (const Variant& from : values)
    for (const Variant& to : values) {
      Variant copied = to;
      copied = from;
      EXPECT_EQ(copied, from);
      Variant moved = to, source = from;
      moved = std::move(source);
      EXPECT_EQ(moved, from);
      EXPECT_TRUE(source.IsEmpty());
      Variant constructed(std::move(moved));
      EXPECT_EQ(constructed, from);
      Variant& self = constructed;
      constructed = std::move(self);
      EXPECT_EQ(constructed, from) << "moving onto itself keeps the value";
    }
}

TEST(Variant, TypeNames) {
  const struct {
    VarType type;
    const char* name;
  } cases[] = {{VarType::Empty, "EMPTY"}, {VarType::I2, "I2"},          {VarType::I4, "I4"},
               {VarType::R8, "R8"},       {VarType::Date, "DATE"},      {VarType::Bstr, "BSTR"},
               {VarType::Dispatch, "DISPATCH"}, {VarType::Bool, "BOOL"}, {VarType::Variant, "VARIANT"},
               {VarType::Void, "void"},   {VarType::ByRef, "BYREF"}};
  for (const auto& c : cases) EXPECT_EQ(com::VarTypeName(c.type), c.name);
}

TEST(AutomationDate, KnownDays) {
  const struct {
    com::CivilTime civil;
    double days;
  } cases[] = {
      {{1899, 12, 30}, 0},           {{1900, 1, 1}, 2},
      {{2000, 1, 1, 12}, 36526.5},   {{1899, 12, 29, 6}, -1.25},
      {{1899, 12, 28, 18}, -2.75},   {{1899, 12, 30, 18}, 0.75},
      {{100, 1, 1}, -657434},        {{9999, 12, 31}, 2958465},
      {{2000, 2, 29}, 36585},        {{1600, 3, 1, 0, 0, 0, 500}, -109511 - 0.5 / 86400},
  };
  for (const auto& c : cases) {
    DateValue date;
    ASSERT_TRUE(com::CivilToDate(c.civil, &date)) << c.days;
    EXPECT_NEAR(date.days, c.days, kDayTolerance);
    com::CivilTime back;
    ASSERT_TRUE(com::DateToCivil(DateValue{c.days}, &back)) << c.days;
    EXPECT_EQ(back, c.civil) << c.days;
  }
  com::CivilTime civil;
  ASSERT_TRUE(com::DateToCivil(DateValue{-0.5}, &civil));
  EXPECT_EQ(civil, (com::CivilTime{1899, 12, 30, 12})) << "between -1 and 0 the day is the epoch";
}

TEST(AutomationDate, RoundTripsAcrossTheRange) {
  int failures = 0;
  for (long long day = -657434; day <= 2958465; day += 997) {
    const int ms = static_cast<int>((day * 7919) % 86'400'000 + 86'400'000) % 86'400'000;
    DateValue date{static_cast<double>(day)};
    com::CivilTime civil;
    ASSERT_TRUE(com::DateToCivil(date, &civil)) << day;
    civil.hour = ms / 3'600'000;
    civil.minute = ms / 60'000 % 60;
    civil.second = ms / 1000 % 60;
    civil.millisecond = ms % 1000;
    com::CivilTime back;
    if (!com::CivilToDate(civil, &date) || !com::DateToCivil(date, &back) || back != civil) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

TEST(AutomationDate, RejectsInvalidFields) {
  const com::CivilTime cases[] = {
      {2000, 0, 1},  {2000, 13, 1}, {2000, 4, 31},          {1900, 2, 29},           {2001, 2, 29},
      {2000, 1, 0},  {99, 12, 31},  {10000, 1, 1},          {2000, 1, 1, 24},        {2000, 1, 1, 0, 60},
      {2000, 1, 1, 0, 0, 60},       {2000, 1, 1, 0, 0, 0, 1000}, {2000, 1, 1, 0, 0, 0, -1}, {2000, 1, 1, -1},
  };
  for (const com::CivilTime& c : cases) {
    DateValue date{123};
    EXPECT_FALSE(com::CivilToDate(c, &date)) << c.year << "-" << c.month << "-" << c.day << " " << c.hour;
  }
  DateValue leap;
  EXPECT_TRUE(com::CivilToDate({2000, 2, 29}, &leap));
  com::CivilTime civil;
  for (double days : {kNaN, kInf, -657435.0, 2958466.0, 1e300})
    EXPECT_FALSE(com::DateToCivil(DateValue{days}, &civil)) << days;
}

TEST(AutomationDate, RoundsToTheNearestMillisecond) {
  com::CivilTime civil;
  ASSERT_TRUE(com::DateToCivil(DateValue{86399.9996 / 86400}, &civil));
  EXPECT_EQ(civil, (com::CivilTime{1899, 12, 31})) << "23:59:59.9996 carries into the next day";
  ASSERT_TRUE(com::DateToCivil(DateValue{-1 - 86399.9996 / 86400}, &civil));
  EXPECT_EQ(civil, (com::CivilTime{1899, 12, 30})) << "also before the epoch";
  ASSERT_TRUE(com::DateToCivil(DateValue{0.5 + 0.0006 / 86400}, &civil));
  EXPECT_EQ(civil, (com::CivilTime{1899, 12, 30, 12, 0, 0, 1}));
  EXPECT_FALSE(com::DateToCivil(DateValue{2958465 + 86399.9996 / 86400}, &civil)) << "carries into year 10000";
}

TEST(AutomationDate, TextWithMilliseconds) {
  DateValue date;
  ASSERT_TRUE(com::CivilToDate({2024, 3, 5, 7, 8, 9, 123}, &date));
  std::string text;
  EXPECT_EQ(Variant::Date(date).ToText(&text), com::S_OK);
  EXPECT_EQ(text, "2024-03-05T07:08:09.123");
  DateValue back;
  EXPECT_EQ(Variant::Bstr(text).ToDate(&back), com::S_OK);
  EXPECT_NEAR(back.days, date.days, kDayTolerance);
  EXPECT_EQ(Text("00:00:01.5").ToDate(&back), com::S_OK);
  EXPECT_NEAR(back.days, 1.5 / 86400, kDayTolerance);
  EXPECT_EQ(Variant::Date(back).ToText(&text), com::S_OK);
  EXPECT_EQ(text, "00:00:01.500");
  for (const char* bad : {"00:00:01.", "00:00:01.1234", "24:00:00", "1:00:00", "2000-02-30", "2000-01-01T"})
    EXPECT_EQ(Text(bad).ToDate(&back), com::DISP_E_TYPEMISMATCH) << bad;
}

TEST(FormatNumber, ShortestTextThatReadsBack) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.1, "0.1"},       {1e21, "1e+21"},     {1e20, "100000000000000000000"},
      {123, "123"},       {-0.5, "-0.5"},      {5e-324, "5e-324"},
      {0.0, "0"},         {-0.0, "0"},         {1e6, "1000000"},
      {0.0001, "0.0001"}, {1e-7, "1e-7"},      {1.5e-7, "1.5e-7"},
      {123.456, "123.456"}, {1.0 / 3, "0.3333333333333333"},
      {-1.7976931348623157e308, "-1.7976931348623157e+308"},
      {kNaN, "nan"},      {kInf, "inf"},       {-kInf, "-inf"},
  };
  for (const auto& c : cases) EXPECT_EQ(com::FormatNumber(c.value), c.text);

  std::mt19937_64 random(20240305);
  int failures = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v) || v == 0) continue;
    const std::string text = com::FormatNumber(v);
    double back = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    if (ec != std::errc() || end != text.data() + text.size() || back != v) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
