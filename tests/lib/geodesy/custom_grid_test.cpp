// CustomGrid at its interface, and a Position on a custom grid that copies a
// built-in one projecting exactly as the built-in grid does.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "lib/component/Identifiers.h"
#include "lib/geodesy/CustomGrid.h"
#include "lib/geodesy/Position.h"
#include "platform/com/Runtime.h"

namespace {

using com::ComPtr;
using com::IDispatch;
using com::Variant;

Variant Get(IDispatch* object, std::string_view name) {
  Variant v;
  EXPECT_EQ(com::InvokeByName(object, name, com::kInvokePropertyGet, {}, &v), com::S_OK) << name;
  return v;
}

com::HRESULT Put(IDispatch* object, std::string_view name, Variant v, std::uint16_t flags = com::kInvokePropertyPut) {
  return com::InvokeByName(object, name, flags, {&v, 1}, nullptr);
}

ComPtr<IDispatch> NewGrid() {
  ComPtr<IDispatch> grid;
  EXPECT_EQ(zenolith::CustomGrid::Create(zenolith::IID_ICustomGrid, grid.PutVoid()), com::S_OK);
  return grid;
}

ComPtr<IDispatch> NewPosition() {
  ComPtr<IDispatch> p;
  EXPECT_EQ(zenolith::Position::Create(zenolith::IID_IPosition, p.PutVoid()), com::S_OK);
  return p;
}

TEST(CustomGrid, DefaultsUnitsAndDatumRules) {
  ComPtr<IDispatch> grid = NewGrid();
  EXPECT_EQ(Get(grid.get(), "Datum"), Variant::I2(28));
  EXPECT_EQ(Get(grid.get(), "Algorithm").AsI2(), 3);
  EXPECT_EQ(Get(grid.get(), "ScaleFactor"), Variant::R8(1.0));
  EXPECT_EQ(Get(grid.get(), "FalseEasting"), Variant::R8(0));

  ASSERT_EQ(Put(grid.get(), "LongitudeOfOrigin", Variant::R8(-2)), com::S_OK);
  EXPECT_NEAR(Get(grid.get(), "LongitudeOfOrigin").AsR8(), -2, 1e-14);
  EXPECT_NEAR(zenolith::CustomGrid::From(grid.get())->parameters().longitudeOfOrigin, -2 * 3.14159265358979323846 / 180,
              1e-16)
      << "kept in radians";

  EXPECT_EQ(Put(grid.get(), "Datum", Variant::I2(29)), com::MakeStatus(0x80042713));
  EXPECT_EQ(com::GetErrorInfo()->description, "Unknown datum!");
  EXPECT_EQ(Put(grid.get(), "Datum", Variant::I2(3)), com::S_OK);

  // The custom datum is made on demand, kept, and putting one sets datum 28.
  const Variant first = Get(grid.get(), "CustomDatum");
  ASSERT_EQ(first.type(), com::VarType::Dispatch);
  EXPECT_EQ(Get(grid.get(), "CustomDatum").AsDispatch(), first.AsDispatch());
  EXPECT_EQ(Put(grid.get(), "CustomDatum", Variant::Dispatch(first.AsDispatch()), com::kInvokePropertyPutRef), com::S_OK);
  EXPECT_EQ(Get(grid.get(), "Datum"), Variant::I2(28));
  EXPECT_EQ(Put(grid.get(), "CustomDatum", Variant::Dispatch(nullptr), com::kInvokePropertyPutRef),
            com::MakeStatus(0x80042713));
}

TEST(CustomGrid, AGridLikeTheBritishGridProjectsLikeIt) {
  ComPtr<IDispatch> grid = NewGrid();
  Put(grid.get(), "Datum", Variant::I2(3));
  Put(grid.get(), "Algorithm", Variant::I2(3));
  Put(grid.get(), "FalseEasting", Variant::R8(400000));
  Put(grid.get(), "FalseNorthing", Variant::R8(-100000));
  Put(grid.get(), "LongitudeOfOrigin", Variant::R8(-2));
  Put(grid.get(), "LatitudeOfOrigin", Variant::R8(49));
  Put(grid.get(), "ScaleFactor", Variant::R8(0.9996012717));

  ComPtr<IDispatch> builtIn = NewPosition(), custom = NewPosition();
  for (IDispatch* p : {builtIn.get(), custom.get()}) {
    Put(p, "Latitude", Variant::R8(52.5));
    Put(p, "Longitude", Variant::R8(-1.25));
  }
  ASSERT_EQ(Put(builtIn.get(), "Grid", Variant::I2(3)), com::S_OK);
  ASSERT_EQ(Put(custom.get(), "CustomGrid", Variant::Dispatch(grid.get()), com::kInvokePropertyPutRef), com::S_OK);
  EXPECT_EQ(Get(custom.get(), "Grid"), Variant::I2(52));
  EXPECT_NEAR(Get(custom.get(), "Easting").AsR8(), Get(builtIn.get(), "Easting").AsR8(), 1e-6);
  EXPECT_NEAR(Get(custom.get(), "Northing").AsR8(), Get(builtIn.get(), "Northing").AsR8(), 1e-6);

  // The grid is shared: a change reaches the position on its next refresh.
  Put(grid.get(), "FalseEasting", Variant::R8(500000));
  Put(custom.get(), "Latitude", Variant::R8(52.5));
  EXPECT_NEAR(Get(custom.get(), "Easting").AsR8(), Get(builtIn.get(), "Easting").AsR8() + 100000, 1e-6);

  // Algorithm 7 does not exist.
  Put(grid.get(), "Algorithm", Variant::I2(7));
  Put(custom.get(), "Latitude", Variant::R8(52.5));
  Variant easting;
  EXPECT_EQ(com::InvokeByName(custom.get(), "Easting", com::kInvokePropertyGet, {}, &easting), com::MakeStatus(0x80042713));
  EXPECT_EQ(com::GetErrorInfo()->description, "Unknown algorithm for grid projection");
}

// Guards: NaN and infinities were taken by the real-valued puts.
TEST(CustomGrid, NonFiniteValuesAreRefusedAndKeepTheOldValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* member;
    double value;
  };
  const Case cases[] = {{"FalseEasting", nan},      {"FalseNorthing", inf},     {"ScaleFactor", -inf},
                        {"LongitudeOfOrigin", nan}, {"LatitudeOfOrigin", inf}, {"LatitudeSP1", nan},
                        {"LatitudeSP2", -inf}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    ComPtr<IDispatch> grid = NewGrid();
    ASSERT_EQ(Put(grid.get(), c.member, Variant::R8(2)), com::S_OK);
    const com::HRESULT hr = Put(grid.get(), c.member, Variant::R8(c.value));
    const auto info = com::GetErrorInfo();
    const std::string got = std::to_string(static_cast<unsigned>(hr)) + " " + (info ? info->description : "") + " " +
                            std::to_string(Get(grid.get(), c.member).AsR8());
    EXPECT_EQ(got, std::to_string(0x80042713u) + " " + c.member + " must be a finite number. " + std::to_string(2.0));
  }
}

}  // namespace
