// The library as a client sees it: registered into a temporary registry,
// loaded by the runtime, objects created by ProgID and called by dispatch.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lib/component/Identifiers.h"
#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"
#include "platform/registry/Registry.h"
#include "tests/support/TempRegistry.h"

namespace {

namespace fs = std::filesystem;
using com::ComPtr;
using com::IDispatch;
using com::Variant;

const fs::path kLibrary = ZEN_LIBRARY_PATH;

const char* const kClassNames[] = {"NmeaParser", "NmeaSentence", "NmeaGGA",   "NmeaGLL",  "NmeaRMC",
                                   "Position",   "Satellites",   "Satellite", "Movement", "Quality",
                                   "GpsFix",     "ComStatus",    "CustomGrid", "CustomDatum"};

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(com::RegisterServer(kLibrary), com::S_OK); }
  void TearDown() override { com::CoFreeUnusedLibraries(); }

  registry::Registry reg() const { return registry::Registry(temp_.file()); }

  testing_support::TempRegistry temp_;
};

ComPtr<IDispatch> Create(std::string_view progId) {
  ComPtr<IDispatch> object;
  EXPECT_EQ(com::CreateObject(progId, &object), com::S_OK) << progId;
  return object;
}

Variant Get(IDispatch* object, com::DispId id) {
  Variant result;
  EXPECT_EQ(object->Invoke(id, com::kInvokePropertyGet, {}, &result), com::S_OK);
  return result;
}

com::HRESULT Put(IDispatch* object, com::DispId id, Variant value) {
  return object->Invoke(id, com::kInvokePropertyPut, {&value, 1}, nullptr);
}

TEST_F(ServerTest, RegistersEveryClassWithItsProgIdsPathTypeLibAndCategories) {
  const std::string root = "HKEY_CLASSES_ROOT\\";
  const std::string libid = com::FormatGuid(zenolith::LIBID_ZenolithCE);
  const std::string path = fs::canonical(kLibrary).string();
  int failures = 0;
  for (const char* name : kClassNames) {
    const std::string progId = std::string("ZenolithCE.") + name;
    const auto clsid = reg().GetString(root + progId + "\\CLSID", "");
    if (!clsid) {
      ADD_FAILURE() << progId << " has no CLSID";
      ++failures;
      continue;
    }
    EXPECT_EQ(reg().GetString(root + progId + ".1\\CLSID", ""), clsid) << progId;
    EXPECT_EQ(reg().GetString(root + progId + "\\CurVer", ""), progId + ".1");
    EXPECT_EQ(reg().GetString(root + progId, ""), std::string(name) + " Class");
    const std::string key = root + "CLSID\\" + *clsid;
    EXPECT_EQ(reg().GetString(key, ""), std::string(name) + " Class");
    EXPECT_EQ(reg().GetString(key + "\\ProgID", ""), progId + ".1");
    EXPECT_EQ(reg().GetString(key + "\\VersionIndependentProgID", ""), progId);
    EXPECT_EQ(reg().GetString(key + "\\InprocServer32", ""), path);
    EXPECT_TRUE(reg().KeyExists(key + "\\Programmable"));
    EXPECT_EQ(reg().GetString(key + "\\TypeLib", ""), libid);
    EXPECT_TRUE(reg().KeyExists(key + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_TRUE(reg().KeyExists(key + "\\Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}"));
    const bool freeThreaded = std::string(name) == "CustomDatum" || std::string(name) == "CustomGrid";
    EXPECT_EQ(reg().GetString(key + "\\InprocServer32", "ThreadingModel"),
              freeThreaded ? std::optional<std::string>("Free") : std::nullopt)
        << progId;
  }
  EXPECT_EQ(failures, 0);

  // The type library is registered and is the file installed beside the library.
  std::shared_ptr<const com::TypeLib> lib;
  ASSERT_EQ(com::LoadRegTypeLib(zenolith::LIBID_ZenolithCE, 1, 0, &lib), com::S_OK);
  EXPECT_EQ(lib->classes.size(), 14u);
  EXPECT_TRUE(fs::exists(fs::path(path).parent_path() / "ZenolithCE.tlb"));
}

TEST_F(ServerTest, UnregisterRemovesEverythingItWrote) {
  ASSERT_EQ(com::UnregisterServer(kLibrary), com::S_OK);
  const std::string root = "HKEY_CLASSES_ROOT";
  for (const std::string& key : reg().SubKeys(root))
    EXPECT_TRUE(key == "CLSID" || key == "TypeLib" || key == "Interface") << "left behind: " << key;
  for (const char* parent : {"CLSID", "TypeLib", "Interface"})
    EXPECT_TRUE(reg().SubKeys(root + "\\" + parent).empty()) << parent;
  ComPtr<IDispatch> object;
  EXPECT_EQ(com::CreateObject("ZenolithCE.CustomDatum", &object), com::CO_E_CLASSSTRING);
  // Unregistering twice is harmless.
  EXPECT_EQ(com::UnregisterServer(kLibrary), com::S_OK);
}

TEST(ServerRegistration, AnUnwritableRegistryGivesTheSystemFailureStatus) {
  testing_support::TempRegistry temp;
  const fs::path blocker = temp.folder() / "not-a-folder";
  std::ofstream(blocker) << "x";
  const fs::path unwritable = blocker / "registry";
  setenv("ZENOLITH_REGISTRY", unwritable.c_str(), 1);
  const com::HRESULT hr = com::RegisterServer(kLibrary);
  EXPECT_TRUE(com::Failed(hr)) << com::FormatStatus(hr);
  EXPECT_EQ(static_cast<std::uint32_t>(hr) & 0xFFFF0000u, 0x80070000u) << com::FormatStatus(hr);
}

TEST_F(ServerTest, EveryRegisteredClassIsCreatableAndAnUnknownOneIsNot) {
  for (const char* name : kClassNames) {
    ComPtr<IDispatch> object;
    EXPECT_EQ(com::CreateObject(std::string("ZenolithCE.") + name, &object), com::S_OK) << name;
    EXPECT_TRUE(object) << name;
  }
  ComPtr<IDispatch> object;
  EXPECT_EQ(com::CreateObject("ZenolithCE.NoSuchClass", &object), com::CO_E_CLASSSTRING);

  // A class identifier registered for this library that the library does not have.
  const std::string stranger = "{0B0B0B0B-1111-2222-3333-444444444444}";
  ASSERT_TRUE(reg().SetString("HKEY_CLASSES_ROOT\\CLSID\\" + stranger + "\\InprocServer32", "",
                              fs::canonical(kLibrary).string())
                  .ok());
  com::CLSID clsid;
  ASSERT_EQ(com::CLSIDFromProgID(stranger, &clsid), com::S_OK);
  EXPECT_EQ(com::CoCreateInstance(clsid, nullptr, com::IID_IDispatch, object.PutVoid()), com::CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ServerTest, CustomDatumPropertiesByIdAndByName) {
  ComPtr<IDispatch> datum = Create("ZenolithCE.CustomDatum");
  ASSERT_TRUE(datum);
  const char* const names[] = {"SemiMajorAxis", "E2",   "DeltaX", "DeltaY",     "DeltaZ",
                               "RotX",          "RotY", "RotZ",   "ScaleFactor"};
  for (com::DispId id = 1; id <= 9; ++id) {
    EXPECT_EQ(Get(datum.get(), id), Variant::R8(0)) << "all zero after creation: " << id;
    const std::string_view name[] = {names[id - 1]};
    com::DispId found = 0;
    ASSERT_EQ(datum->GetIDsOfNames(name, &found), com::S_OK) << names[id - 1];
    EXPECT_EQ(found, id) << names[id - 1];
  }
  // Names ignore case; unknown names fail.
  const std::string_view lower[] = {"semimajoraxis"};
  com::DispId id = 0;
  EXPECT_EQ(datum->GetIDsOfNames(lower, &id), com::S_OK);
  EXPECT_EQ(id, 1);
  const std::string_view unknown[] = {"Flattening"};
  EXPECT_EQ(datum->GetIDsOfNames(unknown, &id), com::DISP_E_UNKNOWNNAME);

  struct Case {
    const char* name;
    double put;
    double get;
  };
  const Case cases[] = {
      {"SemiMajorAxis", 6378137.0, 6378137.0}, {"E2", -0.0066, 0.0066}, {"E2", 0.00669438, 0.00669438},
      {"DeltaX", -89.5, -89.5},                {"DeltaY", 15.25, 15.25}, {"DeltaZ", 1e-3, 1e-3},
      {"RotX", 1.0, 1.0},                      {"RotY", -2.9332, -2.9332}, {"RotZ", 0.554, 0.554},
      {"ScaleFactor", 8.15e-06, 8.15e-06},
  };
  for (const Case& c : cases) {
    Variant value = Variant::R8(c.put);
    ASSERT_EQ(com::InvokeByName(datum.get(), c.name, com::kInvokePropertyPut, {&value, 1}, nullptr), com::S_OK);
    Variant result;
    ASSERT_EQ(com::InvokeByName(datum.get(), c.name, com::kInvokePropertyGet, {}, &result), com::S_OK);
    ASSERT_EQ(result.type(), com::VarType::R8);
    EXPECT_NEAR(result.AsR8(), c.get, std::abs(c.get) * 1e-14) << c.name;
  }
  // Rotations are kept in radians and the two factors round trip.
  Variant one = Variant::I4(1);
  ASSERT_EQ(Put(datum.get(), 6, one), com::S_OK);
  EXPECT_NEAR(Get(datum.get(), 6).AsR8(), 1.0, 1e-15);
}

TEST_F(ServerTest, ArgumentsAreConvertedOrRefusedWithRichErrorInformation) {
  ComPtr<IDispatch> datum = Create("ZenolithCE.CustomDatum");
  ASSERT_TRUE(datum);
  EXPECT_EQ(Put(datum.get(), 3, Variant::Bstr("12.5")), com::S_OK);
  EXPECT_EQ(Get(datum.get(), 3), Variant::R8(12.5));
  EXPECT_EQ(Put(datum.get(), 3, Variant::Bool(true)), com::S_OK);
  EXPECT_EQ(Get(datum.get(), 3), Variant::R8(-1));

  EXPECT_EQ(Put(datum.get(), 3, Variant::Bstr("north")), com::DISP_E_TYPEMISMATCH);
  auto info = com::GetErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_NE(info->description.find("Type mismatch"), std::string::npos) << info->description;
  EXPECT_EQ(info->source, "ZenolithCE.CustomDatum");
  EXPECT_EQ(info->iid, zenolith::IID_ICustomDatum);
  EXPECT_FALSE(com::GetErrorInfo()) << "taking the error information clears it";
  EXPECT_EQ(Get(datum.get(), 3), Variant::R8(-1)) << "a refused put changes nothing";

  // Guards: an object without a default member passed for a number reported
  // "Member not found" instead of a type mismatch.
  ComPtr<IDispatch> other = Create("ZenolithCE.CustomDatum");
  EXPECT_EQ(Put(datum.get(), 3, Variant::Dispatch(other.get())), com::DISP_E_TYPEMISMATCH);
  info = com::GetErrorInfo();
  EXPECT_EQ(info ? info->description : "", "Type mismatch. Argument newVal of DeltaX.");

  Variant two[2] = {Variant::R8(1), Variant::R8(2)};
  EXPECT_EQ(datum->Invoke(3, com::kInvokePropertyPut, two, nullptr), com::DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(datum->Invoke(3, com::kInvokeMethod, {}, nullptr), com::DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(datum->Invoke(10, com::kInvokePropertyGet, {}, nullptr), com::DISP_E_MEMBERNOTFOUND);
}

TEST_F(ServerTest, ReferenceCountsAndUnloading) {
  const fs::path path = fs::canonical(kLibrary);
  {
    ComPtr<IDispatch> datum = Create("ZenolithCE.CustomDatum");
    ASSERT_TRUE(datum);
    EXPECT_EQ(datum->AddRef(), 2u);
    EXPECT_EQ(datum->Release(), 1u);

    ComPtr<com::IUnknown> unknown;
    ASSERT_EQ(datum.As(com::IID_IUnknown, &unknown), com::S_OK);
    ComPtr<IDispatch> typed;
    ASSERT_EQ(datum.As(zenolith::IID_ICustomDatum, &typed), com::S_OK);
    EXPECT_EQ(typed.get(), datum.get());
    ComPtr<com::IConnectionPointContainer> none;
    EXPECT_EQ(datum.As(com::IID_IConnectionPointContainer, &none), com::E_NOINTERFACE);

    com::CoFreeUnusedLibraries();
    EXPECT_EQ(com::LoadedLibraries(), std::vector<fs::path>{path}) << "a live object keeps its library loaded";
  }
  com::CoFreeUnusedLibraries();
  EXPECT_TRUE(com::LoadedLibraries().empty()) << "the last release lets the library go";

  // A locked server stays loaded without objects.
  com::CLSID clsid;
  ASSERT_EQ(com::CLSIDFromProgID("ZenolithCE.CustomDatum.1", &clsid), com::S_OK);
  {
    ComPtr<com::IClassFactory> factory;
    ASSERT_EQ(com::CoGetClassObject(clsid, com::IID_IClassFactory, factory.PutVoid()), com::S_OK);
    ASSERT_EQ(factory->LockServer(true), com::S_OK);
  }
  com::CoFreeUnusedLibraries();
  EXPECT_EQ(com::LoadedLibraries().size(), 1u);
  {
    ComPtr<com::IClassFactory> factory;
    ASSERT_EQ(com::CoGetClassObject(clsid, com::IID_IClassFactory, factory.PutVoid()), com::S_OK);
    ASSERT_EQ(factory->LockServer(false), com::S_OK);
    ComPtr<com::IUnknown> outer;
    ComPtr<IDispatch> aggregated;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<com::IUnknown*>(factory.get()), com::IID_IDispatch,
                                      aggregated.PutVoid()),
              com::CLASS_E_NOAGGREGATION);
  }
  com::CoFreeUnusedLibraries();
  EXPECT_TRUE(com::LoadedLibraries().empty());

  // And it loads again on the next creation.
  ComPtr<IDispatch> again = Create("ZenolithCE.CustomDatum");
  EXPECT_TRUE(again);
}

}  // namespace
