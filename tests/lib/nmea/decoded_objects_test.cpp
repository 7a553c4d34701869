// The decoded objects on their own: member tables against the type library,
// speed units, Satellites.Item bounds, UTC values as automation dates,
// Position copies, and the sentence writers (round trips
// through a decode, untouched objects keeping their original text).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "lib/component/Identifiers.h"
#include "lib/nmea/Decoded.h"
#include "lib/nmea/NmeaSentence.h"
#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"
#include "tests/support/TempRegistry.h"

namespace {

using com::ComPtr;
using com::IDispatch;
using com::Variant;
using namespace zenolith;

const testing_support::TempRegistry kRegistry;

constexpr double kRadToDeg = 180.0 / 3.14159265358979323846;
// Written coordinates carry five decimals of a minute after a 0.0005 s nudge.
constexpr double kWrittenMinuteTolerance = 2e-5;
constexpr com::HRESULT kInvalidArgument = com::MakeStatus(0x80042713);
constexpr com::HRESULT kOutOfBounds = com::MakeStatus(0x80042714);

std::string Nmea(std::string_view body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum & 0xFF);
  return "$" + std::string(body) + tail;
}

ComPtr<IDispatch> Sentence(std::string_view body) { return NmeaSentence::Make(Nmea(body)); }
std::string TextOf(IDispatch* sentence) { return NmeaSentence::From(sentence)->Text(); }

com::HRESULT Read(IDispatch* o, std::string_view name, std::vector<Variant> args, Variant* out) {
  return com::InvokeByName(o, name, com::kInvokePropertyGet, args, out);
}
Variant Get(IDispatch* o, std::string_view name, std::vector<Variant> args = {}) {
  Variant v;
  EXPECT_EQ(Read(o, name, std::move(args), &v), com::S_OK) << name;
  return v;
}
std::string Error() {
  auto info = com::GetErrorInfo();
  return info ? info->description : std::string();
}

// Real sentences: BU-353-S4 (Hamilton, NZ), u-blox LEA-5H, and NMEA examples.
constexpr std::string_view kGga = "GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000";
constexpr std::string_view kRmc = "GPRMC,123520.250,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";
constexpr std::string_view kGll = "GPGLL,5155.55442,N,00434.65873,E,083723.00,A,A";

TEST(DecodedObjects, MemberTablesAnswerEveryTypeLibraryMember) {
  com::ComPtr<Satellites> satellites = com::ComPtr<Satellites>::Adopt(new Satellites());
  satellites->FindOrAdd(5);
  std::vector<std::pair<std::string, ComPtr<IDispatch>>> objects = {
      {"NmeaGGA", ComPtr<IDispatch>(NmeaGGA::Decode(Sentence(kGga).get(), 1).get())},
      {"NmeaGLL", ComPtr<IDispatch>(NmeaGLL::Decode(Sentence(kGll).get(), 1).get())},
      {"NmeaRMC", ComPtr<IDispatch>(NmeaRMC::Decode(Sentence(kRmc).get(), 1).get())},
      {"Satellites", ComPtr<IDispatch>(satellites.get())},
  };
  const std::pair<const char*, com::HRESULT (*)(const com::IID&, void**)> created[] = {
      {"GpsFix", &GpsFix::Create},       {"Movement", &Movement::Create},   {"Quality", &Quality::Create},
      {"Satellite", &Satellite::Create}, {"ComStatus", &ComStatus::Create}, {"NmeaGGA", &NmeaGGA::Create},
      {"NmeaGLL", &NmeaGLL::Create},     {"NmeaRMC", &NmeaRMC::Create},
  };
  for (const auto& [name, create] : created) {
    ComPtr<IDispatch> object;
    ASSERT_EQ(create(com::IID_IDispatch, object.PutVoid()), com::S_OK) << name;
    objects.emplace_back(name, object);
  }
  for (const auto& [name, object] : objects) {
    std::shared_ptr<const com::InterfaceInfo> info;
    ASSERT_EQ(object->GetTypeInfo(&info), com::S_OK) << name;
    EXPECT_EQ("I" + name, info->name);
    for (const com::MemberInfo& member : info->members) {
      std::vector<Variant> args(member.params.size(), Variant::I2(1));
      Variant result;
      const com::HRESULT hr = object->Invoke(member.id, com::InvokeFlagFor(member.kind), args, &result);
      EXPECT_EQ(hr, com::S_OK) << name << "." << member.name;
      EXPECT_EQ(result.type(), member.result) << name << "." << member.name;
    }
  }
}

TEST(DecodedObjects, SpeedUnits) {
  ComPtr<Movement> movement = Movement::Make(10, 90, 0, true);
  ComPtr<NmeaRMC> rmc = NmeaRMC::Decode(Sentence("GPRMC,1,A,,,,,10,,,,").get(), 1);
  const std::pair<std::int16_t, double> units[] = {
      {0, 10.0}, {1, 5.1444341959472}, {2, 18.5199631054099}, {3, 11.507771555}};
  for (const auto& [frm, expected] : units) {
    EXPECT_DOUBLE_EQ(Get(movement.get(), "Speed", {Variant::I2(frm)}).AsR8(), expected) << frm;
    EXPECT_DOUBLE_EQ(Get(rmc.get(), "GroundSpeed", {Variant::I2(frm)}).AsR8(), expected) << frm;
  }
  for (std::int16_t frm : {std::int16_t{4}, std::int16_t{-1}}) {
    Variant v;
    EXPECT_EQ(Read(movement.get(), "Speed", {Variant::I2(frm)}, &v), kInvalidArgument) << frm;
    EXPECT_EQ(Error(), "Invalid parameter!");
    EXPECT_DOUBLE_EQ(Get(rmc.get(), "GroundSpeed", {Variant::I2(frm)}).AsR8(), 10.0) << "knots for unit " << frm;
  }
}

TEST(DecodedObjects, SatellitesItemBounds) {
  ComPtr<Satellites> satellites = com::ComPtr<Satellites>::Adopt(new Satellites());
  satellites->FindOrAdd(17)->set_view(72, 207, 32);
  satellites->FindOrAdd(28);
  EXPECT_EQ(satellites->FindOrAdd(17), satellites->item(0)) << "an ID appears once";
  EXPECT_EQ(Get(satellites.get(), "Count").AsI2(), 2);
  for (std::int16_t index : {std::int16_t{0}, std::int16_t{3}, std::int16_t{-1}}) {
    Variant v;
    EXPECT_EQ(Read(satellites.get(), "Item", {Variant::I2(index)}, &v), kOutOfBounds) << index;
    EXPECT_EQ(Error(), "Index out of bounds");
  }
  Variant index = Variant::I2(1), item;  // Item is the default member
  ASSERT_EQ(satellites->Invoke(com::kDispIdValue, com::kInvokePropertyGet, {&index, 1}, &item), com::S_OK);
  EXPECT_EQ(Get(item.AsDispatch(), "SNR").AsI2(), 32);
}

TEST(DecodedObjects, UtcIsAnAutomationDate) {
  EXPECT_EQ(UtcToDate(UtcTime{0, 0, 0, 25, 0, 0, 0}).days, 0.0) << "an impossible time gives 0";
  ComPtr<NmeaGGA> gga = NmeaGGA::Decode(Sentence(kGga).get(), 1);
  const double days = Get(gga.get(), "UTC").AsDate().days;
  EXPECT_NEAR(days, (3 * 3600 + 7 * 60 + 19) / 86400.0, 1e-9) << "time alone: date part 0";
  com::CivilTime civil;
  ASSERT_TRUE(com::DateToCivil(Get(NmeaRMC::Decode(Sentence(kRmc).get(), 1).get(), "UTC").AsDate(), &civil));
  EXPECT_EQ(civil, (com::CivilTime{1994, 3, 23, 12, 35, 20, 250})) << "milliseconds survive";
  // An empty date field (day and month 0) cannot be a date: the time alone.
  ComPtr<NmeaRMC> undated = NmeaRMC::Decode(Sentence("GPRMC,120000,A,,,,,,,,,").get(), 1);
  EXPECT_DOUBLE_EQ(Get(undated.get(), "UTC").AsDate().days, 0.5);
  ComPtr<IDispatch> fix;
  ASSERT_EQ(GpsFix::Create(com::IID_IDispatch, fix.PutVoid()), com::S_OK);
  EXPECT_DOUBLE_EQ(Get(fix.get(), "UTC").AsDate().days, 0.0);
}

TEST(DecodedObjects, PositionIsHandedOutAsACopy) {
  ComPtr<NmeaGGA> gga = NmeaGGA::Decode(Sentence(kGga).get(), 7);
  ComPtr<IDispatch> first, second;
  Get(gga.get(), "Position").ToDispatch(&first);
  Get(gga.get(), "Position").ToDispatch(&second);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.get(), second.get());
  EXPECT_EQ(Get(first.get(), "Datum").AsI2(), 7) << "the parser's GpsDatum labels the position";
  Variant moved = Variant::R8(1.0);
  ASSERT_EQ(com::InvokeByName(first.get(), "Latitude", com::kInvokePropertyPut, {&moved, 1}, nullptr), com::S_OK);
  EXPECT_NEAR(Get(second.get(), "Latitude").AsR8(), -(37 + 47.0873 / 60), 1e-9);
  ComPtr<IDispatch> third;
  Get(gga.get(), "Position").ToDispatch(&third);
  EXPECT_NEAR(Get(third.get(), "Latitude").AsR8(), -(37 + 47.0873 / 60), 1e-9);
  EXPECT_FALSE(gga->modified()) << "reading never marks the object modified";
}

// ------------------------------------------------------------------ writers

TEST(Writers, UntouchedObjectsReturnTheirOwnSentence) {
  for (std::string_view body : {kGga, kRmc, kGll}) {
    ComPtr<IDispatch> original = Sentence(body);
    const std::string type(body.substr(2, 3));
    ComPtr<IDispatch> back;
    if (type == "GGA") back = NmeaGGA::Decode(original.get(), 1)->Sentence();
    if (type == "RMC") back = NmeaRMC::Decode(original.get(), 1)->Sentence();
    if (type == "GLL") back = NmeaGLL::Decode(original.get(), 1)->Sentence();
    EXPECT_EQ(back.get(), original.get()) << type;
    EXPECT_EQ(TextOf(back.get()), Nmea(body)) << type;
  }
  NmeaVTG vtg = NmeaVTG::Decode(Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K").get());
  EXPECT_EQ(TextOf(vtg.Sentence().get()), Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"));
}

TEST(Writers, GgaRoundTrip) {
  ComPtr<NmeaGGA> gga = NmeaGGA::Decode(Sentence(kGga).get(), 1);
  gga->set_hdop(2.34);
  ComPtr<IDispatch> written = gga->Sentence();
  EXPECT_EQ(TextOf(written.get()), Nmea("GPGGA,030719,3747.08731,S,17518.89381,E,1,8,2.3,59.9,M,23.7,M,,"));
  EXPECT_FALSE(gga->modified());
  EXPECT_EQ(gga->Sentence().get(), written.get()) << "the written sentence is kept";

  ComPtr<NmeaGGA> again = NmeaGGA::Decode(written.get(), 1);
  EXPECT_TRUE(again->valid());
  EXPECT_EQ(again->utc(), std::optional<UtcTime>(UtcTime{0, 0, 0, 3, 7, 19, 0})) << "written without fraction";
  EXPECT_EQ(again->satellites_in_view(), 8);
  EXPECT_DOUBLE_EQ(again->hdop(), 2.3);
  EXPECT_NEAR(again->place().latitude * kRadToDeg * 60, gga->place().latitude * kRadToDeg * 60, kWrittenMinuteTolerance);
  EXPECT_NEAR(again->place().longitude * kRadToDeg * 60, gga->place().longitude * kRadToDeg * 60,
              kWrittenMinuteTolerance);
  EXPECT_DOUBLE_EQ(again->place().aboveSeaLevel, 59.9);
  EXPECT_NEAR(again->place().datumHeight, 59.9 + 23.7, 1e-9);

  gga->set_valid(false);
  EXPECT_EQ(NmeaSentence::From(gga->Sentence().get())->Field(6).value_or("?"), "0");
}

TEST(Writers, RmcRoundTripWithHeadingAndVariation) {
  ComPtr<NmeaRMC> rmc = NmeaRMC::Decode(Sentence(kRmc).get(), 1);
  rmc->set_heading(359.96);  // would print 360.0
  EXPECT_EQ(TextOf(rmc->Sentence().get()), Nmea("GPRMC,123520,A,4807.03801,N,01131.00001,E,22.40,0.0,230394,3.1,W"));
  ComPtr<NmeaRMC> again = NmeaRMC::Decode(rmc->Sentence().get(), 1);
  EXPECT_TRUE(again->valid());
  EXPECT_DOUBLE_EQ(again->knots(), 22.4);
  EXPECT_DOUBLE_EQ(again->heading(), 0.0);
  EXPECT_DOUBLE_EQ(again->magnetic_variation(), -3.1);
  EXPECT_EQ(again->utc(), std::optional<UtcTime>(UtcTime{1994, 3, 23, 12, 35, 20, 0})) << "written without fraction";
  rmc->set_magnetic_variation(0);
  rmc->set_valid(false);
  NmeaSentence& s = *NmeaSentence::From(rmc->Sentence().get());
  EXPECT_EQ(s.Field(2).value_or("?"), "V");
  EXPECT_EQ(s.Field(10).value_or("?"), "0.0");
  EXPECT_EQ(s.Field(11).value_or("?"), "E");
}

TEST(Writers, GllAndVtg) {
  ComPtr<NmeaGLL> gll = NmeaGLL::Decode(Sentence(kGll).get(), 1);
  gll->set_valid(false);
  ComPtr<NmeaGLL> again = NmeaGLL::Decode(gll->Sentence().get(), 1);
  EXPECT_FALSE(again->valid());
  EXPECT_EQ(NmeaSentence::From(gll->Sentence().get())->FieldsCount(), 6);
  EXPECT_NEAR(again->place().latitude * kRadToDeg * 60, (51 * 60 + 55.55442), kWrittenMinuteTolerance);
  EXPECT_NEAR(again->place().longitude * kRadToDeg * 60, (4 * 60 + 34.65873), kWrittenMinuteTolerance);
  EXPECT_EQ(again->utc(), std::optional<UtcTime>(UtcTime{0, 0, 0, 8, 37, 23, 0}));

  NmeaVTG vtg = NmeaVTG::Decode(Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K").get());
  EXPECT_NEAR(vtg.magnetic_variation(), 20.3, 1e-12);
  vtg.set_knots(10);
  EXPECT_EQ(TextOf(vtg.Sentence().get()), Nmea("GPVTG,54.7,T,34.4,M,10.00,N,18.52,K"));
}

// Objects a client created itself hold no sentence and no position.
TEST(Writers, EmptyObjectsWriteZeroPositionsAndTheClock) {
  ComPtr<IDispatch> object;
  ASSERT_EQ(NmeaGGA::Create(com::IID_IDispatch, object.PutVoid()), com::S_OK);
  EXPECT_EQ(Get(object.get(), "Position").AsDispatch(), nullptr);
  NmeaSentence& gga = *NmeaSentence::From(NmeaGGA::From(object.get())->Sentence().get());
  EXPECT_EQ(gga.FullCommand(), "GPGGA");
  EXPECT_EQ(gga.FieldsCount(), 14);
  const std::pair<int, std::string_view> fields[] = {{2, "0000.00000"}, {3, "N"}, {4, "00000.00000"}, {5, "E"},
                                                     {6, "0"},          {7, "0"}, {8, "0.0"},         {9, "0.0"},
                                                     {10, "M"},         {11, "0.0"}, {13, ""},        {14, ""}};
  for (const auto& [index, text] : fields) EXPECT_EQ(gga.Field(index).value_or("?"), text) << index;
  EXPECT_EQ(gga.Field(1).value_or("").size(), 6u) << "the current UTC time";

  ASSERT_EQ(NmeaRMC::Create(com::IID_IDispatch, object.PutVoid()), com::S_OK);
  NmeaSentence& rmc = *NmeaSentence::From(NmeaRMC::From(object.get())->Sentence().get());
  EXPECT_EQ(rmc.Field(9).value_or("").size(), 6u) << "the current UTC date";
  EXPECT_EQ(rmc.Text().substr(rmc.Text().size() - 3, 1), "*");
}

TEST(Writers, HugeValuesStayBounded) {
  ComPtr<NmeaGGA> gga = NmeaGGA::Decode(Sentence("GPGGA,1e300,1e300,N,-1e300,W,1,99999,1e300,1e300,M,-1e300,M,,").get(), 1);
  gga->set_hdop(1e300);
  const std::string text = TextOf(gga->Sentence().get());
  EXPECT_LE(text.size(), 255u);
  EXPECT_EQ(text.rfind("$GPGGA,", 0), 0u);
}

// Guards: impossible coordinates ("9999.999" as 100.67 degrees, minutes of
// 60 or more) decoded as a valid fix.
TEST(DecodedPlace, ImpossibleCoordinatesAreNoValidFix) {
  enum Kind { kGgaKind, kGllKind, kRmcKind };
  struct Case {
    const char* name;
    Kind kind;
    std::string_view lat, lon;
    bool valid;
    double latitude, longitude;  // degrees; 0 and 0 when the place is impossible
  };
  const Case cases[] = {
      {"GGA ordinary", kGgaKind, "4807.038", "01131.000", true, 48 + 7.038 / 60, 11 + 31.0 / 60},
      {"GGA latitude 9999.999", kGgaKind, "9999.999", "01131.000", false, 0, 0},
      {"GGA latitude minutes 60", kGgaKind, "4860.000", "01131.000", false, 0, 0},
      {"GGA latitude minutes 59.9999", kGgaKind, "4859.9999", "01131.000", true, 48 + 59.9999 / 60, 11 + 31.0 / 60},
      {"GGA latitude 90 exactly", kGgaKind, "9000.000", "01131.000", true, 90, 11 + 31.0 / 60},
      {"GGA latitude past 90", kGgaKind, "9000.001", "01131.000", false, 0, 0},
      {"GGA longitude minutes 75", kGgaKind, "4807.038", "01175.000", false, 0, 0},
      {"GGA longitude 180 exactly", kGgaKind, "4807.038", "18000.000", true, 48 + 7.038 / 60, 180},
      {"GGA longitude past 180", kGgaKind, "4807.038", "18000.010", false, 0, 0},
      {"GGA latitude signed minutes 70", kGgaKind, "-4870.000", "01131.000", false, 0, 0},
      {"GLL ordinary", kGllKind, "5155.55442", "00434.65873", true, 51 + 55.55442 / 60, 4 + 34.65873 / 60},
      {"GLL latitude 9100", kGllKind, "9100.000", "00434.65873", false, 0, 0},
      {"GLL latitude minutes 99", kGllKind, "5199.000", "00434.65873", false, 0, 0},
      {"GLL longitude 99999.999", kGllKind, "5155.55442", "99999.999", false, 0, 0},
      {"RMC ordinary", kRmcKind, "3854.5087", "07726.4523", true, 38 + 54.5087 / 60, 77 + 26.4523 / 60},
      {"RMC latitude minutes 60.5", kRmcKind, "3860.5", "07726.4523", false, 0, 0},
      {"RMC longitude 18100", kRmcKind, "3854.5087", "18100.000", false, 0, 0},
      {"RMC latitude 9999.999", kRmcKind, "9999.999", "07726.4523", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string place = std::string(c.lat) + ",N," + std::string(c.lon) + ",E";
    ComPtr<IDispatch> decoded;
    switch (c.kind) {
      case kGgaKind:
        decoded = ComPtr<IDispatch>(NmeaGGA::Decode(Sentence("GPGGA,030719.000," + place + ",1,08,1.1,59.9,M,23.7,M,,").get(), 1).get());
        break;
      case kGllKind:
        decoded = ComPtr<IDispatch>(NmeaGLL::Decode(Sentence("GPGLL," + place + ",083723.00,A,A").get(), 1).get());
        break;
      case kRmcKind:
        decoded = ComPtr<IDispatch>(NmeaRMC::Decode(Sentence("GPRMC,125106,A," + place + ",0.0,0.0,241011,,").get(), 1).get());
        break;
    }
    ASSERT_TRUE(decoded);
    const ComPtr<IDispatch> position(Get(decoded.get(), "Position").AsDispatch());
    ASSERT_TRUE(position);
    char got[96], want[96];
    std::snprintf(got, sizeof got, "valid %d lat %.7f lon %.7f", Get(decoded.get(), "Valid").AsBool() ? 1 : 0,
                  Get(position.get(), "Latitude").AsR8(), Get(position.get(), "Longitude").AsR8());
    std::snprintf(want, sizeof want, "valid %d lat %.7f lon %.7f", c.valid ? 1 : 0, c.latitude, c.longitude);
    EXPECT_STREQ(got, want);
  }
}

}  // namespace
