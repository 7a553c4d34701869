// The library's own ZenolithCE.tlb against the identifiers compiled into the
// library: every interface, member and dispatch identifier a client relies on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "lib/component/Identifiers.h"
#include "lib/nmea/NmeaParserEvents.h"
#include "platform/com/TypeLib.h"

namespace {

using com::MemberKind;
using com::VarType;

class ZenolithTypeLib : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_EQ(com::LoadTypeLib(ZEN_TLB_PATH, &lib_, &error), com::S_OK) << error;
  }
  const com::InterfaceInfo& Iface(const char* name) {
    static const com::InterfaceInfo none;
    const com::InterfaceInfo* info = lib_->FindInterface(name);
    EXPECT_NE(info, nullptr) << name;
    return info ? *info : none;
  }
  std::shared_ptr<const com::TypeLib> lib_;
};

TEST_F(ZenolithTypeLib, MatchesTheIdentifiersOfTheLibrary) {
  using namespace zenolith;
  EXPECT_EQ(lib_->name, "ZenolithCE");
  EXPECT_EQ(lib_->libid, LIBID_ZenolithCE);
  EXPECT_EQ(lib_->major * 100 + lib_->minor, 100);
  EXPECT_EQ(lib_->helpText, "ZenolithCE 1.0 Type Library");
  const std::pair<const char*, com::CLSID> classes[] = {
      {"NmeaParser", CLSID_NmeaParser}, {"NmeaSentence", CLSID_NmeaSentence}, {"NmeaGGA", CLSID_NmeaGGA},
      {"NmeaGLL", CLSID_NmeaGLL},       {"NmeaRMC", CLSID_NmeaRMC},           {"Position", CLSID_Position},
      {"Satellites", CLSID_Satellites}, {"Satellite", CLSID_Satellite},       {"Movement", CLSID_Movement},
      {"Quality", CLSID_Quality},       {"GpsFix", CLSID_GpsFix},             {"ComStatus", CLSID_ComStatus},
      {"CustomGrid", CLSID_CustomGrid}, {"CustomDatum", CLSID_CustomDatum},
  };
  ASSERT_EQ(lib_->classes.size(), std::size(classes));
  for (const auto& [name, clsid] : classes) {
    const com::ClassInfo* info = lib_->FindClass(clsid);
    ASSERT_NE(info, nullptr) << name;
    EXPECT_EQ(info->name, name);
    EXPECT_EQ(info->description, std::string(name) + " Class");
    EXPECT_EQ(info->defaultInterface, std::string("I") + name);
    EXPECT_EQ(info->sourceInterface, std::string(name) == "NmeaParser" ? "_INmeaParserEvents" : "");
  }
  const std::pair<const char*, com::IID> interfaces[] = {
      {"INmeaParser", IID_INmeaParser},     {"_INmeaParserEvents", IID__INmeaParserEvents},
      {"INmeaSentence", IID_INmeaSentence}, {"INmeaGGA", IID_INmeaGGA},
      {"INmeaGLL", IID_INmeaGLL},           {"INmeaRMC", IID_INmeaRMC},
      {"IPosition", IID_IPosition},         {"ISatellites", IID_ISatellites},
      {"ISatellite", IID_ISatellite},       {"IMovement", IID_IMovement},
      {"IQuality", IID_IQuality},           {"IGpsFix", IID_IGpsFix},
      {"IComStatus", IID_IComStatus},       {"ICustomGrid", IID_ICustomGrid},
      {"ICustomDatum", IID_ICustomDatum},
  };
  ASSERT_EQ(lib_->interfaces.size(), std::size(interfaces));
  for (const auto& [name, iid] : interfaces) {
    const com::InterfaceInfo* info = lib_->FindInterface(iid);
    ASSERT_NE(info, nullptr) << name;
    EXPECT_EQ(info->name, name);
  }
}

// The kinds of the members with one identifier in interface order: "method",
// or g(et), p(ut) and r(putref) letters.
std::string KindsById(const com::InterfaceInfo& info, com::DispId id) {
  static const char* const kLetters[] = {"method", "g", "p", "r"};
  std::string kinds;
  for (const com::MemberInfo& m : info.members)
    if (m.id == id) kinds += kLetters[static_cast<int>(m.kind)];
  return kinds;
}

TEST_F(ZenolithTypeLib, PositionHasItsTwentyEightIdentifiersInOrder) {
  const com::InterfaceInfo& info = Iface("IPosition");
  const char* names[] = {"LatitudeDMS", "LongitudeDMS", "LatitudeString", "LongitudeString", "Altitude",
                         "LatitudeRads", "LongitudeRads", "SetLatitudeDMS", "SetLongitudeDMS", "SetAltitude",
                         "Datum", "Grid", "Easting", "Northing", "Zone", "Latitude", "Longitude", "Distance",
                         "Bearing", "Move", "Copy", "ModifiedCount", "IsSameDatum", "IsSameGrid", "MakeSameDatum",
                         "MakeSameGrid", "CustomDatum", "CustomGrid"};
  std::vector<com::DispId> order;
  for (const com::MemberInfo& m : info.members)
    if (order.empty() || order.back() != m.id) order.push_back(m.id);
  ASSERT_EQ(order.size(), 28u) << "a get/put pair shares one identifier and sits together";
  for (int id = 1; id <= 28; ++id) {
    EXPECT_EQ(order[id - 1], id);
    EXPECT_EQ(info.IdOfName(names[id - 1]), id);
    const bool pair = (id >= 6 && id <= 7) || (id >= 11 && id <= 17);
    const char* kinds = pair ? "gp" : id == 22 ? "g" : id >= 27 ? "r" : "method";
    EXPECT_EQ(KindsById(info, id), kinds) << names[id - 1];
  }
  const com::MemberInfo* dms = info.Find(1, com::kInvokeMethod);
  ASSERT_EQ(dms->params.size(), 4u);
  for (const com::ParamInfo& p : dms->params) EXPECT_TRUE(p.out && p.type == VarType::Variant) << p.name;
  EXPECT_EQ(info.Find(18, com::kInvokeMethod)->params[0].type, VarType::Dispatch) << "Position2";
  EXPECT_EQ(info.Find(15, com::kInvokePropertyGet)->result, VarType::Bstr) << "Zone reads as text";
  EXPECT_EQ(info.Find(15, com::kInvokePropertyPut)->params[0].type, VarType::Variant) << "and takes anything";
  EXPECT_EQ(info.Find(27, com::kInvokePropertyPutRef)->params[0].type, VarType::Dispatch);
}

TEST_F(ZenolithTypeLib, GeodesyObjectsHaveTheirProperties) {
  const com::InterfaceInfo& datum = Iface("ICustomDatum");
  const com::InterfaceInfo& grid = Iface("ICustomGrid");
  ASSERT_EQ(datum.members.size(), 18u);
  ASSERT_EQ(grid.members.size(), 20u);
  for (int id = 1; id <= 9; ++id) {
    EXPECT_EQ(KindsById(datum, id), "gp") << id;
    EXPECT_EQ(datum.Find(id, com::kInvokePropertyPut)->params[0].type, VarType::R8);
  }
  EXPECT_EQ(datum.IdOfName("ScaleFactor"), 9);
  for (int id = 1; id <= 10; ++id) EXPECT_EQ(KindsById(grid, id), id == 2 ? "gr" : "gp") << id;
  EXPECT_EQ(grid.Find(2, com::kInvokePropertyGet)->result, VarType::Dispatch);
  EXPECT_EQ(grid.IdOfName("LatitudeSP2"), 10);
}

TEST_F(ZenolithTypeLib, NmeaParserAndItsEvents) {
  const com::InterfaceInfo& parser = Iface("INmeaParser");
  const char* rows[] = {"method Parse(BSTR)",          "propput AllEventsGeneric(BOOL)",
                        "propput GpsDatum(I2)",        "propput ComPort(I2)",
                        "propput BaudRate(I4)",        "propput PortEnabled(BOOL)",
                        "propput NoEvents(BOOL)",      "method GetGpsFix(I4,I2):VARIANT",
                        "method GetSatellites(I4):VARIANT", "method GetMovement(I4):VARIANT",
                        "method GetQuality(I4):VARIANT", "method GetComStatus():DISPATCH",
                        "method WriteData(BSTR)",      "propput ChecksumMandatory(BOOL)",
                        "method EventInterval(I4,I2)"};
  ASSERT_EQ(parser.members.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const com::MemberInfo& m = parser.members[i];
    std::string text = std::string(com::MemberKindName(m.kind)) + " " + m.name + "(";
    for (std::size_t p = 0; p < m.params.size(); ++p)
      text += (p ? "," : "") + std::string(com::VarTypeName(m.params[p].type));
    text += ")";
    if (m.result != VarType::Void) text += ":" + std::string(com::VarTypeName(m.result));
    EXPECT_EQ(m.id, static_cast<com::DispId>(i + 1));
    EXPECT_EQ(text, rows[i]);
  }

  const com::InterfaceInfo& events = Iface("_INmeaParserEvents");
  EXPECT_TRUE(events.source);
  // With the names the parser fires them by.
  const std::vector<std::pair<zenolith::NmeaParserEvent, std::vector<std::string>>> expected = {
      {zenolith::kEventIdGeneric, {"Generic", "objSentence"}},
      {zenolith::kEventIdGGA, {"GGA", "objGGA", "objSentence"}},
      {zenolith::kEventIdGLL, {"GLL", "objGLL", "objSentence"}},
      {zenolith::kEventIdRMC, {"RMC", "objRMC", "objSentence"}},
      {zenolith::kEventIdOnSatellites, {"OnSatellites", "objSatellites"}},
      {zenolith::kEventIdOnGpsFix, {"OnGpsFix", "objGpsFix"}},
      {zenolith::kEventIdOnMovement, {"OnMovement", "objMovement"}},
      {zenolith::kEventIdOnQuality, {"OnQuality", "objQuality"}},
      {zenolith::kEventIdOnComStatus, {"OnComStatus", "objComStatus"}},
  };
  ASSERT_EQ(events.members.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const com::MemberInfo& m = events.members[i];
    std::vector<std::string> row{m.name};
    for (const com::ParamInfo& p : m.params) row.push_back(p.type == VarType::Dispatch ? p.name : "?");
    EXPECT_EQ(row, expected[i].second);
    EXPECT_EQ(m.id, static_cast<com::DispId>(i + 1));
    EXPECT_EQ(m.id, expected[i].first) << m.name;
    EXPECT_EQ(m.kind, MemberKind::Method);
  }
}

TEST_F(ZenolithTypeLib, DecodedObjectsExposeTheirMembers) {
  const struct {
    const char* iface;
    com::DispId id;
    const char* name;
    VarType result;
  } rows[] = {
      {"INmeaSentence", 1, "Fields", VarType::Bstr}, {"INmeaSentence", 2, "FieldsCount", VarType::I2},
      {"INmeaGGA", 1, "Position", VarType::Dispatch}, {"INmeaGGA", 3, "UTC", VarType::Date},
      {"INmeaGLL", 2, "Valid", VarType::Bool},        {"INmeaRMC", 1, "GroundSpeed", VarType::R8},
      {"ISatellites", 0, "Item", VarType::Dispatch},  {"IMovement", 2, "Speed", VarType::R8},
      {"IGpsFix", 3, "FixType", VarType::I2},         {"IComStatus", 3, "BaudRate", VarType::I4},
  };
  for (const auto& r : rows) {
    const com::MemberInfo* m = Iface(r.iface).Find(r.id, com::kInvokeMethod | com::kInvokePropertyGet);
    ASSERT_NE(m, nullptr) << r.iface << " " << r.id;
    EXPECT_EQ(m->name, r.name);
    EXPECT_EQ(m->result, r.result) << r.name;
  }
  EXPECT_EQ(KindsById(Iface("INmeaSentence"), 3), "gp");
  EXPECT_EQ(Iface("INmeaSentence").Find(5, com::kInvokeMethod)->params.size(), 2u);
}

TEST_F(ZenolithTypeLib, PutsTakeNewValAndTheTextEmbedsSafely) {
  for (const com::InterfaceInfo& info : lib_->interfaces)
    for (const com::MemberInfo& m : info.members)
      if (m.kind == MemberKind::PropPut || m.kind == MemberKind::PropPutRef) {
        ASSERT_EQ(m.params.size(), 1u) << info.name << "." << m.name;
        EXPECT_EQ(m.params[0].name, "newVal") << info.name << "." << m.name;
      }
  // The build pastes the file into a raw string literal through configure_file.
  std::ifstream in(ZEN_TLB_PATH, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find(")zenolith_tlb"), std::string::npos);
  EXPECT_EQ(text.find('@'), std::string::npos);
}

}  // namespace
