// Position through its dispatch interface: puts, gets, refresh rules, texts,
// zones, distances, bearings, moves, copies and comparisons.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "lib/component/Identifiers.h"
#include "lib/geodesy/CustomDatum.h"
#include "lib/geodesy/CustomGrid.h"
#include "lib/geodesy/Grids.h"
#include "lib/geodesy/Position.h"
#include "platform/com/Runtime.h"

namespace {

using com::ComPtr;
using com::IDispatch;
using com::Variant;

constexpr double kPi = std::numbers::pi;

// A Position (or CustomDatum/CustomGrid) driven by member names, the way a
// client calls it.
class Obj {
 public:
  explicit Obj(ComPtr<IDispatch> p) : p_(std::move(p)) {}
  static Obj NewPosition() {
    ComPtr<IDispatch> p;
    EXPECT_EQ(zenolith::Position::Create(zenolith::IID_IPosition, p.PutVoid()), com::S_OK);
    return Obj(p);
  }

  com::HRESULT Put(std::string_view name, Variant v) {
    return com::InvokeByName(p_.get(), name, com::kInvokePropertyPut, {&v, 1}, nullptr);
  }
  com::HRESULT PutRef(std::string_view name, IDispatch* object) {
    Variant v = Variant::Dispatch(object);
    return com::InvokeByName(p_.get(), name, com::kInvokePropertyPutRef, {&v, 1}, nullptr);
  }
  Variant Get(std::string_view name) {
    Variant v;
    last_ = com::InvokeByName(p_.get(), name, com::kInvokePropertyGet, {}, &v);
    return v;
  }
  Variant Call(std::string_view name, std::vector<Variant> args) {
    Variant v;
    last_ = com::InvokeByName(p_.get(), name, com::kInvokeMethod, args, &v);
    return v;
  }
  double R8(std::string_view name) { return Get(name).AsR8(); }
  // The rich error description of the last failure.
  static std::string Error() {
    auto info = com::GetErrorInfo();
    return info ? info->description : std::string();
  }

  com::HRESULT last() const { return last_; }
  IDispatch* get() const { return p_.get(); }

 private:
  ComPtr<IDispatch> p_;
  com::HRESULT last_ = com::S_OK;
};

constexpr com::HRESULT kInvalid = com::MakeStatus(0x80042713);

TEST(Position, LatitudeRangeAndLongitudeNormalisation) {
  Obj p = Obj::NewPosition();
  EXPECT_EQ(p.Put("Latitude", Variant::R8(90.5)), kInvalid);
  EXPECT_EQ(Obj::Error(), "Invalid latitude. Must be between -PI/2 and PI/2");
  EXPECT_EQ(p.Put("Latitude", Variant::R8(90)), com::S_OK) << "exactly 90 is accepted";
  EXPECT_EQ(p.Put("Longitude", Variant::R8(190)), com::S_OK);
  EXPECT_NEAR(p.R8("Longitude"), -170, 1e-12);

  Variant d, m, s, h;
  Variant args[4] = {Variant::Ref(&d), Variant::Ref(&m), Variant::Ref(&s), Variant::Ref(&h)};
  ASSERT_EQ(com::InvokeByName(p.get(), "LongitudeDMS", com::kInvokeMethod, args, nullptr), com::S_OK);
  EXPECT_EQ(d, Variant::I2(170));
  EXPECT_EQ(m, Variant::I2(0));
  EXPECT_EQ(s.AsR8(), 0);
  EXPECT_EQ(h, Variant::Bstr("W"));
}

TEST(Position, DmsSettersCheckDegreesAndOnlyUpperCaseHemispheresNegate) {
  Obj p = Obj::NewPosition();
  p.Call("SetLatitudeDMS", {Variant::I2(45), Variant::I2(30), Variant::R8(0), Variant::Bstr("s")});
  EXPECT_NEAR(p.R8("Latitude"), 45.5, 1e-12) << "a lower-case s stays north";
  p.Call("SetLatitudeDMS", {Variant::I2(45), Variant::I2(30), Variant::R8(0), Variant::Bstr("South")});
  EXPECT_NEAR(p.R8("Latitude"), -45.5, 1e-12);
  p.Call("SetLatitudeDMS", {Variant::I2(91), Variant::I2(0), Variant::R8(0), Variant::Bstr("N")});
  EXPECT_EQ(p.last(), kInvalid);
  EXPECT_EQ(Obj::Error(), "Invalid value of Degrees. Must be between 0 and 90!");
  p.Call("SetLatitudeDMS", {Variant::I2(89), Variant::I2(120), Variant::R8(0), Variant::Bstr("N")});
  EXPECT_EQ(p.last(), com::S_OK);
  EXPECT_NEAR(p.R8("Latitude"), 91, 1e-12) << "minutes are not range-checked";
  p.Call("SetLongitudeDMS", {Variant::I2(12), Variant::I2(30), Variant::R8(15), Variant::Bstr("W")});
  EXPECT_NEAR(p.R8("Longitude"), -(12 + 30 / 60.0 + 15 / 3600.0), 1e-12);
}

TEST(Position, TextForms) {
  struct Case {
    const char* setter;
    int degrees, minutes;
    double seconds;
    const char* hemisphere;
    const char* getter;
    int format;
    const char* expected;
  };
  const Case cases[] = {
      {"SetLatitudeDMS", 59, 59, 59.9996, "N", "LatitudeString", 0, "60 0'0.00 N"},
      {"SetLatitudeDMS", 5, 3, 15, "N", "LatitudeString", 1, "0503.25000"},
      {"SetLongitudeDMS", 12, 30, 15, "E", "LongitudeString", 1, "01230.25000"},
      {"SetLatitudeDMS", 48, 7, 2.28, "S", "LatitudeString", 0, "48 7'2.28 S"},
      {"SetLongitudeDMS", 1, 43, 4.5177, "W", "LongitudeString", 0, "1 43'4.52 W"},
  };
  int failures = 0;
  for (const Case& c : cases) {
    Obj p = Obj::NewPosition();
    p.Call(c.setter, {Variant::I2(static_cast<std::int16_t>(c.degrees)), Variant::I2(static_cast<std::int16_t>(c.minutes)),
                      Variant::R8(c.seconds), Variant::Bstr(c.hemisphere)});
    const Variant text = p.Call(c.getter, {Variant::I2(static_cast<std::int16_t>(c.format))});
    if (text.AsBstr() != c.expected) {
      ADD_FAILURE() << c.getter << "(" << c.format << ") of " << c.degrees << " " << c.minutes << " " << c.seconds
                    << ": " << text.AsBstr() << " instead of " << c.expected;
      ++failures;
    }
  }
  EXPECT_EQ(failures, 0);
  Obj p = Obj::NewPosition();
  p.Call("LatitudeString", {Variant::I2(2)});
  EXPECT_EQ(p.last(), kInvalid);
  EXPECT_EQ(Obj::Error(), "Invalid parameter!");
}

TEST(Position, AnEmptyPositionOnlyRelabelsItsDatum) {
  Obj p = Obj::NewPosition();
  EXPECT_EQ(p.Put("Datum", Variant::I2(3)), com::S_OK);
  EXPECT_EQ(p.Get("Datum"), Variant::I2(3));
  EXPECT_EQ(p.R8("Latitude"), 0) << "no shift while empty";
  EXPECT_EQ(p.Put("Datum", Variant::I2(28)), kInvalid);
  EXPECT_EQ(Obj::Error(), "Set Position.CustomDatum instead!");
  EXPECT_EQ(p.Put("Datum", Variant::I2(0)), kInvalid);
  EXPECT_EQ(Obj::Error(), "Unknown datum!");
  EXPECT_EQ(p.Put("Grid", Variant::I2(53)), kInvalid);
  EXPECT_EQ(Obj::Error(), "Unknown grid!");
  EXPECT_EQ(p.Put("Grid", Variant::I2(52)), kInvalid);
  EXPECT_EQ(Obj::Error(), "Set Position.CustomGrid instead!");
  EXPECT_EQ(p.PutRef("CustomDatum", nullptr), kInvalid);
  EXPECT_EQ(Obj::Error(), "CustomDatum may not be null.");
  EXPECT_EQ(p.PutRef("CustomGrid", nullptr), kInvalid);
  EXPECT_EQ(Obj::Error(), "CustomGrid may not be null.");
}

TEST(Position, SettingTheSameDatumChangesNothingAndAShiftIsUndone) {
  Obj p = Obj::NewPosition();
  p.Put("Latitude", Variant::R8(52.658));
  p.Put("Longitude", Variant::R8(1.716));
  const double lat = p.R8("LatitudeRads"), lon = p.R8("LongitudeRads");
  const auto count = p.Get("ModifiedCount").AsI4();
  EXPECT_EQ(p.Put("Datum", Variant::I2(1)), com::S_OK);
  EXPECT_EQ(p.R8("LatitudeRads"), lat);
  EXPECT_EQ(p.Get("ModifiedCount").AsI4(), count) << "nothing happened, nothing counted";
  ASSERT_EQ(p.Put("Datum", Variant::I2(3)), com::S_OK);
  EXPECT_GT(std::abs(p.R8("Latitude") - 52.658), 1e-5) << "OSGB 36 is a real shift";
  ASSERT_EQ(p.Put("Datum", Variant::I2(1)), com::S_OK);
  EXPECT_NEAR(p.R8("LatitudeRads"), lat, 1e-9);
  EXPECT_NEAR(p.R8("LongitudeRads"), lon, 1e-9);
}

TEST(Position, GridValuesAreReadOnTheGridAndInvertedOnce) {
  Obj p = Obj::NewPosition();
  ASSERT_EQ(p.Put("Grid", Variant::I2(1)), com::S_OK);
  ASSERT_EQ(p.Put("Zone", Variant::I2(32)), com::S_OK);
  ASSERT_EQ(p.Put("Easting", Variant::R8(500000)), com::S_OK);
  ASSERT_EQ(p.Put("Northing", Variant::R8(5761038.21)), com::S_OK);
  const double lat = p.R8("Latitude");
  EXPECT_NEAR(lat, 52.0, 1e-3);
  EXPECT_NEAR(p.R8("Longitude"), 9.0, 1e-9) << "the central meridian of zone 32";
  EXPECT_EQ(p.Get("Zone"), Variant::Bstr("32U"));
  const auto count = p.Get("ModifiedCount").AsI4();
  EXPECT_EQ(p.R8("Latitude"), lat);
  EXPECT_EQ(p.Get("ModifiedCount").AsI4(), count) << "reading counts nothing";

  EXPECT_EQ(p.Put("Zone", Variant::I2(61)), kInvalid);
  EXPECT_EQ(Obj::Error(), "Invalid Zone for this grid!");
  EXPECT_EQ(p.Put("Zone", Variant::Bstr("33U")), com::S_OK) << "a zone text is read up to its letter";
}

TEST(Position, ZoneTextsAndIgnoredZones) {
  struct Case {
    double latitude;
    const char* zone;
  };
  for (const Case& c : {Case{52, "32U"}, Case{-10, "32L"}, Case{0, "32N"}, Case{60, "32V"}}) {
    Obj p = Obj::NewPosition();
    p.Put("Latitude", Variant::R8(c.latitude));
    p.Put("Longitude", Variant::R8(9));
    p.Put("Grid", Variant::I2(1));
    EXPECT_EQ(p.Get("Zone"), Variant::Bstr(c.zone)) << c.latitude;
  }
  // The band follows the latitude even when the zone stays the same.
  Obj p = Obj::NewPosition();
  p.Put("Latitude", Variant::R8(52));
  p.Put("Longitude", Variant::R8(9));
  p.Put("Grid", Variant::I2(1));
  EXPECT_EQ(p.Get("Zone"), Variant::Bstr("32U"));
  p.Put("Latitude", Variant::R8(60));
  EXPECT_EQ(p.Get("Zone"), Variant::Bstr("32V"));

  Obj british = Obj::NewPosition();
  british.Put("Grid", Variant::I2(3));
  EXPECT_EQ(british.Put("Zone", Variant::I2(5)), com::S_OK) << "ignored on a grid without zones";
  EXPECT_EQ(british.Get("Zone"), Variant::Bstr(""));
  Obj none = Obj::NewPosition();
  EXPECT_EQ(none.Get("Zone"), Variant::Bstr(""));
}

TEST(Position, DistanceBearingAndMove) {
  Obj a = Obj::NewPosition(), b = Obj::NewPosition();
  a.Put("Latitude", Variant::R8(0));
  a.Put("Longitude", Variant::R8(0));
  b.Put("Latitude", Variant::R8(0));
  b.Put("Longitude", Variant::R8(1));
  Variant other = Variant::Dispatch(b.get());
  EXPECT_NEAR(a.Call("Distance", {other, Variant::I2(1)}).AsR8(), 6366710 * kPi / 180, 1e-6);
  EXPECT_NEAR(a.Call("Distance", {other, Variant::I2(2)}).AsR8(), kPi / 180, 1e-15);
  EXPECT_NEAR(a.Call("Bearing", {other, Variant::I2(1)}).AsR8(), 90, 1e-9);
  EXPECT_NEAR(b.Call("Bearing", {Variant::Dispatch(a.get()), Variant::I2(1)}).AsR8(), 270, 1e-9) << "due west";
  Obj north = Obj::NewPosition();
  north.Put("Latitude", Variant::R8(1));
  EXPECT_EQ(a.Call("Bearing", {Variant::Dispatch(north.get()), Variant::I2(1)}).AsR8(), 0) << "due north, never 360";

  a.Call("Distance", {other, Variant::I2(4)});
  EXPECT_EQ(Obj::Error(), "Unknown method to calculate distance.");
  a.Call("Bearing", {other, Variant::I2(0)});
  EXPECT_EQ(Obj::Error(), "Unknown method to calculate bearing.");
  a.Call("Distance", {Variant::Dispatch(nullptr), Variant::I2(1)});
  EXPECT_EQ(Obj::Error(), "Position may not be null.");

  const auto count = a.Get("ModifiedCount").AsI4();
  a.Call("Move", {Variant::R8(1), Variant::R8(0), Variant::I2(4)});
  EXPECT_EQ(a.last(), kInvalid);
  EXPECT_EQ(Obj::Error(), "Unknown method.");
  EXPECT_EQ(a.Get("ModifiedCount").AsI4(), count + 1) << "a failing Move still counts";

  // Moving by the distance and bearing to b lands on b.
  const double distance = a.Call("Distance", {other, Variant::I2(1)}).AsR8();
  a.Call("Move", {Variant::R8(distance), Variant::R8(90), Variant::I2(1)});
  EXPECT_NEAR(a.R8("Latitude"), 0, 1e-12);
  EXPECT_NEAR(a.R8("Longitude"), 1, 1e-12);
}

TEST(Position, CopiesAreIndependentAndComparisonsFollowTheirRules) {
  Obj a = Obj::NewPosition();
  a.Put("Latitude", Variant::R8(51.5));
  a.Put("Longitude", Variant::R8(-0.1));
  a.Put("Grid", Variant::I2(3));
  Variant copy = a.Call("Copy", {});
  ASSERT_EQ(copy.type(), com::VarType::Dispatch);
  Obj b(ComPtr<IDispatch>(copy.AsDispatch()));
  EXPECT_EQ(b.Get("ModifiedCount"), Variant::I4(0));
  EXPECT_EQ(b.R8("Easting"), a.R8("Easting"));
  EXPECT_EQ(a.Call("IsSameDatum", {Variant::Dispatch(b.get())}), Variant::Bool(true));
  EXPECT_EQ(a.Call("IsSameGrid", {Variant::Dispatch(b.get())}), Variant::Bool(true));
  b.Put("Latitude", Variant::R8(52));
  EXPECT_EQ(a.R8("Latitude"), 51.5) << "a copy does not share the record";
  b.Put("Datum", Variant::I2(3));
  EXPECT_EQ(a.Call("IsSameDatum", {Variant::Dispatch(b.get())}), Variant::Bool(false));
  EXPECT_EQ(a.Call("IsSameDatum", {Variant::Dispatch(nullptr)}), Variant::Bool(false));
  a.Call("MakeSameDatum", {Variant::Dispatch(b.get())});
  EXPECT_EQ(a.Get("Datum"), Variant::I2(3));

  Obj plain = Obj::NewPosition();
  EXPECT_EQ(plain.Call("IsSameGrid", {Variant::Dispatch(plain.get())}), Variant::Bool(false)) << "grid 0 is never the same";
  plain.Call("MakeSameGrid", {Variant::Dispatch(a.get())});
  EXPECT_EQ(plain.Get("Grid"), Variant::I2(3));
}

TEST(Position, CustomDatumsAreSharedAndCompareByValue) {
  ComPtr<IDispatch> datum;
  ASSERT_EQ(zenolith::CustomDatum::Create(zenolith::IID_ICustomDatum, datum.PutVoid()), com::S_OK);
  Obj d(datum);
  d.Put("SemiMajorAxis", Variant::R8(6378137));
  d.Put("E2", Variant::R8(0.00669437999014));
  Obj p = Obj::NewPosition();
  p.Put("Latitude", Variant::R8(10));
  ASSERT_EQ(p.PutRef("CustomDatum", datum.get()), com::S_OK);
  EXPECT_EQ(p.Get("Datum"), Variant::I2(28));
  EXPECT_NEAR(p.R8("Latitude"), 10, 1e-6) << "WGS 84 parameters with no shift";
  const auto count = p.Get("ModifiedCount").AsI4();
  EXPECT_EQ(p.PutRef("CustomDatum", datum.get()), com::S_OK);
  EXPECT_EQ(p.Get("ModifiedCount").AsI4(), count) << "an equal custom datum changes nothing";

  Variant copy = p.Call("Copy", {});
  Obj q(ComPtr<IDispatch>(copy.AsDispatch()));
  EXPECT_EQ(p.Call("IsSameDatum", {Variant::Dispatch(q.get())}), Variant::Bool(true));
  d.Put("DeltaX", Variant::R8(100));  // seen by p, not by its copy
  EXPECT_EQ(p.Call("IsSameDatum", {Variant::Dispatch(q.get())}), Variant::Bool(false));
}

TEST(Position, SetAltitudeCountsEvenWhenRefused) {
  Obj p = Obj::NewPosition();
  p.Call("SetAltitude", {Variant::I2(0), Variant::R8(520)});
  p.Call("SetAltitude", {Variant::I2(1), Variant::R8(567.9)});
  EXPECT_EQ(p.Call("Altitude", {Variant::I2(0)}).AsR8(), 520);
  EXPECT_EQ(p.Call("Altitude", {Variant::I2(1)}).AsR8(), 567.9);
  const auto count = p.Get("ModifiedCount").AsI4();
  p.Call("SetAltitude", {Variant::I2(2), Variant::R8(1)});
  EXPECT_EQ(p.last(), kInvalid);
  EXPECT_EQ(p.Get("ModifiedCount").AsI4(), count + 1);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int16_t kGridUtm = 1;

// Everything a client can read of a position, as one text for comparing.
std::string Snapshot(Obj& p) {
  char text[256];
  std::snprintf(text, sizeof text, "lat %.12g lon %.12g E %.12g N %.12g alt %.12g/%.12g grid %d", p.R8("Latitude"),
                p.R8("Longitude"), p.R8("Easting"), p.R8("Northing"), p.Call("Altitude", {Variant::I2(0)}).AsR8(),
                p.Call("Altitude", {Variant::I2(1)}).AsR8(), p.Get("Grid").AsI2());
  return text;
}

Obj PlacedPosition() {
  Obj p = Obj::NewPosition();
  p.Put("Grid", Variant::I2(kGridUtm));
  p.Put("Latitude", Variant::R8(48.1));
  p.Put("Longitude", Variant::R8(11.5));
  p.Call("SetAltitude", {Variant::I2(0), Variant::R8(500)});
  p.Call("SetAltitude", {Variant::I2(1), Variant::R8(547)});
  return p;
}

// Guards: NaN and infinities were taken by the real-valued puts and methods.
TEST(PositionLimits, NonFiniteArgumentsAreRefusedAndChangeNothing) {
  struct Case {
    const char* name;
    const char* member;
    std::uint16_t flags;
    std::vector<Variant> args;
    const char* message;
  };
  const std::uint16_t put = com::kInvokePropertyPut, method = com::kInvokeMethod;
  const Case cases[] = {
      {"Latitude NaN", "Latitude", put, {Variant::R8(kNaN)}, "Latitude must be a finite number."},
      {"Latitude +inf", "Latitude", put, {Variant::R8(kInf)}, "Latitude must be a finite number."},
      {"Latitude -inf", "Latitude", put, {Variant::R8(-kInf)}, "Latitude must be a finite number."},
      {"Longitude NaN", "Longitude", put, {Variant::R8(kNaN)}, "Longitude must be a finite number."},
      {"Longitude -inf", "Longitude", put, {Variant::R8(-kInf)}, "Longitude must be a finite number."},
      {"Longitude NaN text", "Longitude", put, {Variant::Bstr("nan")}, "Invalid parameter!"},
      {"LatitudeRads NaN", "LatitudeRads", put, {Variant::R8(kNaN)}, "LatitudeRads must be a finite number."},
      {"LongitudeRads +inf", "LongitudeRads", put, {Variant::R8(kInf)}, "LongitudeRads must be a finite number."},
      {"Easting NaN", "Easting", put, {Variant::R8(kNaN)}, "Easting must be a finite number."},
      {"Easting +inf", "Easting", put, {Variant::R8(kInf)}, "Easting must be a finite number."},
      {"Northing -inf", "Northing", put, {Variant::R8(-kInf)}, "Northing must be a finite number."},
      {"Northing NaN", "Northing", put, {Variant::R8(kNaN)}, "Northing must be a finite number."},
      {"SetLatitudeDMS degrees NaN", "SetLatitudeDMS", method,
       {Variant::R8(kNaN), Variant::R8(0), Variant::R8(0), Variant::Bstr("N")}, "Degrees must be a finite number."},
      {"SetLatitudeDMS minutes NaN", "SetLatitudeDMS", method,
       {Variant::R8(10), Variant::R8(kNaN), Variant::R8(0), Variant::Bstr("N")}, "Minutes must be a finite number."},
      {"SetLatitudeDMS seconds +inf", "SetLatitudeDMS", method,
       {Variant::R8(10), Variant::R8(0), Variant::R8(kInf), Variant::Bstr("S")}, "Seconds must be a finite number."},
      {"SetLongitudeDMS degrees -inf", "SetLongitudeDMS", method,
       {Variant::R8(-kInf), Variant::R8(0), Variant::R8(0), Variant::Bstr("E")}, "Degrees must be a finite number."},
      {"SetLongitudeDMS minutes +inf", "SetLongitudeDMS", method,
       {Variant::R8(10), Variant::R8(kInf), Variant::R8(0), Variant::Bstr("W")}, "Minutes must be a finite number."},
      {"SetLongitudeDMS seconds NaN", "SetLongitudeDMS", method,
       {Variant::R8(10), Variant::R8(0), Variant::R8(kNaN), Variant::Bstr("W")}, "Seconds must be a finite number."},
      {"SetAltitude sea level NaN", "SetAltitude", method, {Variant::I2(0), Variant::R8(kNaN)},
       "Altitude must be a finite number."},
      {"SetAltitude datum height +inf", "SetAltitude", method, {Variant::I2(1), Variant::R8(kInf)},
       "Altitude must be a finite number."},
      {"Move distance NaN", "Move", method, {Variant::R8(kNaN), Variant::R8(0), Variant::I2(1)},
       "Distance must be a finite number."},
      {"Move distance +inf on the grid", "Move", method, {Variant::R8(kInf), Variant::R8(0), Variant::I2(3)},
       "Distance must be a finite number."},
      {"Move bearing -inf", "Move", method, {Variant::R8(100), Variant::R8(-kInf), Variant::I2(2)},
       "Bearing must be a finite number."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Obj p = PlacedPosition();
    const std::string before = Snapshot(p);
    std::vector<Variant> args = c.args;
    const com::HRESULT hr = com::InvokeByName(p.get(), c.member, c.flags, args, nullptr);
    const std::string message = Obj::Error();
    char got[512];
    std::snprintf(got, sizeof got, "status %08X \"%s\" %s", static_cast<unsigned>(hr), message.c_str(),
                  Snapshot(p).c_str());
    char want[512];
    std::snprintf(want, sizeof want, "status %08X \"%s\" %s", static_cast<unsigned>(kInvalid), c.message,
                  before.c_str());
    EXPECT_STREQ(got, want);
  }
}

// Guards: absurd but finite inputs gave NaN back silently. Every read then
// either succeeds with a finite number or fails with a message.
TEST(PositionLimits, HugeInputsNeverReadAsNaN) {
  struct Case {
    const char* name;
    std::int16_t grid;
    const char* member;  // put with `value`, or a Move of that distance (grid method)
    double value;
  };
  std::vector<Case> cases;
  for (std::int16_t grid = 1; grid <= zenolith::kBuiltInGrids; ++grid)
    for (const char* member : {"Easting", "Northing"})
      for (const double value : {1e308, -1e308}) cases.push_back({"", grid, member, value});
  cases.push_back({"", kGridUtm, "Move", 1e308});
  cases.push_back({"", kGridUtm, "SetAltitude", 1e308});
  for (const Case& c : cases) {
    char name[96];
    std::snprintf(name, sizeof name, "grid %d %s %g", c.grid, c.member, c.value);
    SCOPED_TRACE(name);
    Obj p = PlacedPosition();
    p.Put("Grid", Variant::I2(c.grid));
    const std::string member = c.member;
    if (member == "Move") {
      p.Call("Move", {Variant::R8(c.value), Variant::R8(45), Variant::I2(3)});
      p.Call("Move", {Variant::R8(c.value), Variant::R8(45), Variant::I2(3)});
    } else if (member == "SetAltitude") {
      p.Call("SetAltitude", {Variant::I2(1), Variant::R8(c.value)});
      p.Put("Datum", Variant::I2(2));
    } else {
      p.Put(c.member, Variant::R8(c.value));
    }
    Obj::Error();
    std::string problems;
    for (const char* read : {"Latitude", "Longitude", "LatitudeRads", "Easting", "Northing"}) {
      const Variant v = p.Get(read);
      const std::string error = Obj::Error();
      if (com::Succeeded(p.last()) && !std::isfinite(v.AsR8())) problems += std::string(read) + " reads non-finite; ";
      // A latitude beyond a pole is as meaningless as NaN (a UTM northing of 1e308 read 9e62°).
      if (com::Succeeded(p.last()) && std::string(read) == "Latitude" && std::abs(v.AsR8()) > 90 + 1e-9)
        problems += "Latitude beyond a pole; ";
      if (com::Failed(p.last()) && error.empty()) problems += std::string(read) + " fails without a message; ";
    }
    Obj other = PlacedPosition();
    other.Put("Grid", Variant::I2(c.grid));
    for (const std::int16_t how : {1, 3}) {
      const Variant d = p.Call("Distance", {Variant::Dispatch(other.get()), Variant::I2(how)});
      if (com::Succeeded(p.last()) && !std::isfinite(d.AsR8())) problems += "Distance reads non-finite; ";
      const Variant b = p.Call("Bearing", {Variant::Dispatch(other.get()), Variant::I2(how)});
      if (com::Succeeded(p.last()) && !std::isfinite(b.AsR8())) problems += "Bearing reads non-finite; ";
    }
    Obj::Error();
    EXPECT_EQ(problems, "");
  }
}

}  // namespace
