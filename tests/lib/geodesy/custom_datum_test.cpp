// CustomDatum keeps what the geodesy needs: rotations in radians, E2 without
// sign, the scale difference as given, and equality over all nine values.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "lib/component/Identifiers.h"
#include "lib/geodesy/CustomDatum.h"
#include "platform/com/Runtime.h"

namespace {

using com::ComPtr;
using com::IDispatch;
using com::Variant;
using zenolith::CustomDatum;

ComPtr<IDispatch> NewDatum() {
  ComPtr<IDispatch> datum;
  EXPECT_EQ(CustomDatum::Create(zenolith::IID_ICustomDatum, datum.PutVoid()), com::S_OK);
  return datum;
}

void Put(IDispatch* datum, com::DispId id, double value) {
  Variant v = Variant::R8(value);
  ASSERT_EQ(datum->Invoke(id, com::kInvokePropertyPut, {&v, 1}, nullptr), com::S_OK);
}

TEST(CustomDatum, StoresRotationsInRadiansAndE2WithoutSign) {
  ComPtr<IDispatch> datum = NewDatum();
  CustomDatum* object = CustomDatum::From(datum.get());
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->parameters(), zenolith::DatumParameters{}) << "all zero after creation";

  Put(datum.get(), 1, 6377397.155);
  Put(datum.get(), 2, -0.006674372230614);
  Put(datum.get(), 3, 582);
  Put(datum.get(), 4, 105);
  Put(datum.get(), 5, 414);
  Put(datum.get(), 6, 1);
  Put(datum.get(), 7, 0.35);
  Put(datum.get(), 8, -3.08);
  Put(datum.get(), 9, 8.3e-06);

  const zenolith::DatumParameters& p = object->parameters();
  EXPECT_EQ(p.semiMajorAxis, 6377397.155);
  EXPECT_EQ(p.e2, 0.006674372230614);
  EXPECT_EQ(p.dx, 582);
  EXPECT_EQ(p.dy, 105);
  EXPECT_EQ(p.dz, 414);
  EXPECT_EQ(p.rx, 4.84813681109536e-06);
  EXPECT_EQ(p.ry, 0.35 * 4.84813681109536e-06);
  EXPECT_EQ(p.rz, -3.08 * 4.84813681109536e-06);
  EXPECT_EQ(p.scale, 8.3e-06) << "the scale difference, not 1 + difference";
}

TEST(CustomDatum, TwoDatumsAreEqualOnlyWhenAllNineValuesAre) {
  ComPtr<IDispatch> a = NewDatum();
  ComPtr<IDispatch> b = NewDatum();
  for (com::DispId id = 1; id <= 9; ++id) {
    Put(a.get(), id, id * 1.5);
    Put(b.get(), id, id * 1.5);
  }
  EXPECT_EQ(CustomDatum::From(a.get())->parameters(), CustomDatum::From(b.get())->parameters());
  for (com::DispId id = 1; id <= 9; ++id) {
    Put(b.get(), id, id * 1.5 + 1e-9);
    EXPECT_NE(CustomDatum::From(a.get())->parameters(), CustomDatum::From(b.get())->parameters()) << id;
    Put(b.get(), id, id * 1.5);
  }
}

TEST(CustomDatum, AForeignObjectIsNotTakenForOne) {
  EXPECT_EQ(CustomDatum::From(nullptr), nullptr);
}

// Guards: NaN and infinities were taken by the real-valued puts.
TEST(CustomDatum, NonFiniteValuesAreRefusedAndKeepTheOldValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const char* members[] = {"SemiMajorAxis", "E2", "DeltaX", "DeltaY", "DeltaZ", "RotX", "RotY", "RotZ", "ScaleFactor"};
  int n = 0;
  for (const char* member : members) {
    SCOPED_TRACE(member);
    ComPtr<IDispatch> datum = NewDatum();
    CustomDatum* object = CustomDatum::From(datum.get());
    const zenolith::DatumParameters before = object->parameters();
    Variant v = Variant::R8(++n % 3 == 0 ? nan : n % 3 == 1 ? inf : -inf);
    const com::HRESULT hr = com::InvokeByName(datum.get(), member, com::kInvokePropertyPut, {&v, 1}, nullptr);
    const auto info = com::GetErrorInfo();
    const std::string got = std::to_string(static_cast<unsigned>(hr)) + " " + (info ? info->description : "") +
                            (object->parameters() == before ? " unchanged" : " changed");
    EXPECT_EQ(got, std::to_string(0x80042713u) + " " + member + " must be a finite number. unchanged");
  }
}

}  // namespace
