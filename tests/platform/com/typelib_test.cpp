// Type libraries: the grammar and its error messages, member lookup, files
// and registration.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/TypeLib.h"
#include "platform/com/Unknown.h"
#include "platform/registry/Registry.h"
#include "tests/support/TempRegistry.h"

namespace {

namespace fs = std::filesystem;
using com::MemberKind;
using com::VarType;

constexpr com::Guid kLibid = com::MakeGuid("11111111-2222-3333-4444-555555555555");
constexpr com::IID kIid = com::MakeGuid("AAAAAAAA-0000-0000-0000-000000000001");
constexpr com::IID kEventsIid = com::MakeGuid("AAAAAAAA-0000-0000-0000-000000000002");

const std::string kLibLine = "library Demo {11111111-2222-3333-4444-555555555555} 1.0 \"Demo Library\"\n";
const std::string kIfaceLine = "dispinterface IDemo {AAAAAAAA-0000-0000-0000-000000000001}\n";
const std::string kClassLine = "coclass Demo {BBBBBBBB-0000-0000-0000-000000000001} \"Demo Class\"\n";
const std::string kDemo = kLibLine + kIfaceLine +
                          "  1 propget Value : R8\n"
                          "  1 propput Value(R8 newVal)\n"
                          "  2 method Run(BSTR What, [optional] I4 Count) : VARIANT\n"
                          "end\n"
                          "source dispinterface _IDemoEvents {AAAAAAAA-0000-0000-0000-000000000002}\n"
                          "  1 method Done(DISPATCH objResult)\n"
                          "end\n" +
                          kClassLine + "  default IDemo\n  source _IDemoEvents\nend\n";

std::string Lib(const std::string& body) { return kLibLine + body; }
std::string Iface(const std::string& members) { return kLibLine + kIfaceLine + members + "end\n"; }
std::string Class(const std::string& body) { return Iface("") + kClassLine + body; }

std::shared_ptr<const com::TypeLib> Parse(const std::string& text, std::string* error = nullptr) {
  std::string ignored;
  return com::ParseTypeLib(text, error ? error : &ignored);
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(TypeLibParse, ReadsLibraryInterfacesMembersAndClasses) {
  std::string error = "stale";
  const auto lib = Parse(kDemo, &error);
  ASSERT_TRUE(lib) << error;
  EXPECT_EQ(error, "");
  EXPECT_EQ(lib->name + "|" + lib->helpText, "Demo|Demo Library");
  EXPECT_EQ(lib->libid, kLibid);
  ASSERT_EQ(lib->interfaces.size(), 2u);
  const com::InterfaceInfo& demo = lib->interfaces[0];
  EXPECT_EQ(demo.iid, kIid);
  EXPECT_FALSE(demo.source);
  EXPECT_TRUE(lib->interfaces[1].source);
  ASSERT_EQ(demo.members.size(), 3u);
  EXPECT_EQ(demo.members[0].result, VarType::R8);
  EXPECT_EQ(demo.members[1].result, VarType::Void) << "no colon, no result";
  const com::MemberInfo& run = demo.members[2];
  EXPECT_EQ(run.id, 2);
  EXPECT_EQ(run.result, VarType::Variant);
  ASSERT_EQ(run.params.size(), 2u);
  EXPECT_EQ(run.params[0].name, "What");
  EXPECT_EQ(run.params[0].type, VarType::Bstr);
  EXPECT_TRUE(!run.params[0].optional && run.params[1].optional);

  const com::ClassInfo* cls = lib->FindClass(com::MakeGuid("BBBBBBBB-0000-0000-0000-000000000001"));
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(cls, lib->FindClass("Demo"));
  EXPECT_EQ(cls->description + "|" + cls->defaultInterface + "|" + cls->sourceInterface,
            "Demo Class|IDemo|_IDemoEvents");
  EXPECT_EQ(lib->FindInterface(kEventsIid), &lib->interfaces[1]);
  EXPECT_EQ(lib->FindInterface("idemo"), nullptr) << "interface names are exact";
}

TEST(TypeLibParse, ToleratesLayoutCommentsAndLineEnds) {
  const std::string text =
      "\r\n# heading\n   library\tDemo  {11111111-2222-3333-4444-555555555555}   1.0   "
      "\"a \\\"b\\\" # c \\\\\"  # comment\r\n\n"
      "dispinterface IDemo {aaaaaaaa-0000-0000-0000-000000000001}   # lower-case hex\n"
      "\t-4   method   Enum ( )  :  DISPATCH\r\n"
      "  7 method Out([out] [optional] VARIANT A , [optional][out] VARIANT B)\n"
      "end   # done\n" +
      kClassLine + "  default IDemo\n  interface ILater\nend\n" +
      "dispinterface ILater {AAAAAAAA-0000-0000-0000-000000000003}\nend";  // no final line feed
  std::string error;
  const auto lib = Parse(text, &error);
  ASSERT_TRUE(lib) << error;
  EXPECT_EQ(lib->helpText, "a \"b\" # c \\");
  const com::InterfaceInfo& demo = lib->interfaces[0];
  EXPECT_EQ(demo.iid, kIid);
  ASSERT_EQ(demo.members.size(), 2u);
  EXPECT_EQ(demo.members[0].id, -4);
  EXPECT_TRUE(demo.members[0].params.empty());
  for (const com::ParamInfo& p : demo.members[1].params) EXPECT_TRUE(p.out && p.optional) << p.name;
  EXPECT_EQ(lib->classes[0].otherInterfaces, std::vector<std::string>{"ILater"});
}

TEST(TypeLibParse, RefusesMalformedTextWithTheLineAndTheReason) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "line 1: missing library line"},
      {"# a\n\n# b\n", "line 3: missing library line"},
      {"\n" + kIfaceLine + "end\n", "line 2: missing library line before 'dispinterface'"},
      {Lib("interface IDemo\n"), "line 2: unknown keyword 'interface'"},
      {Lib(kLibLine), "line 2: a second library line"},
      {"library D {11111111-2222-3333-4444-55555555555X} 1.0 \"\"",
       "line 1: bad GUID {11111111-2222-3333-4444-55555555555X}"},
      {"library D {11111111-2222-3333-4444-555555555555} 1 \"\"", "line 1: a version MAJOR.MINOR is expected, not '1'"},
      {"library D {11111111-2222-3333-4444-555555555555} 1.0", "line 1: a quoted text is expected"},
      {"library D {11111111-2222-3333-4444-555555555555} 1.0 \"ab\\", "line 1: unterminated quoted text"},
      {"library D {11111111-2222-3333-4444-555555555555} 1.0 \"a\\nb\"",
       "line 1: unknown escape '\\n' in a quoted text"},
      {Lib("dispinterface IDemo {AAAAAAAA-0000-0000-0000-000000000001} x\n"), "line 2: unexpected 'x'"},
      {Iface("  1 method Go(INT Count)\n"), "line 3: unknown type 'INT'"},
      {Iface("  1 property Go : I2\n"), "line 3: unknown member kind 'property'"},
      {Iface("  99999999999 method Go\n"), "line 3: a dispatch identifier or 'end' is expected, not '99999999999'"},
      {Iface("  1 method Go(I2 a; I2 b)\n"), "line 3: ',' or ')' is expected in the parameters of Go"},
      {Iface("  1 method Go([in] I2 a)\n"), "line 3: unknown parameter attribute 'in'"},
      {Iface("  1 method Go(I2 a, I4 A)\n"), "line 3: parameter A of Go given twice"},
      {Iface("  1 method Go([optional] I2 a, I2 b)\n"), "line 3: required parameter b of Go follows an optional one"},
      {Iface("  1 propget Go\n"), "line 3: propget Go needs a result type"},
      {Iface("  1 propputref Go([out] DISPATCH v)\n"),
       "line 3: propputref Go takes its new value as its last parameter"},
      {Iface("  1 propput Go(I2 v) : I2\n"), "line 3: propput Go returns nothing"},
      {Iface("  1 propget Go : I2\n  1 propget Go : I4\n"), "line 4: duplicate member: 1 propget already in IDemo"},
      {Iface("  1 propget Go : I2\n  1 propput Stop(I2 v)\n"), "line 4: dispatch identifier 1 already belongs to Go"},
      {Iface("  1 propget Go : I2\n  2 method GO\n"), "line 4: GO already has dispatch identifier 1"},
      {Iface("") + kIfaceLine, "line 4: duplicate interface name IDemo"},
      {Iface("") + "dispinterface I2nd {AAAAAAAA-0000-0000-0000-000000000001}\n",
       "line 4: interface I2nd has the IID of IDemo"},
      {Lib("\n" + kIfaceLine + "  1 method Go\n"), "line 3: missing end of dispinterface IDemo"},
      {Lib(kIfaceLine + kClassLine), "line 3: missing end of dispinterface IDemo (begun on line 2)"},
      {Lib("end\n"), "line 2: 'end' without a dispinterface or coclass"},
      {Class("  default IDemo\n  interface INope\nend\n"), "line 6: coclass Demo names unknown interface INope"},
      {Class("end\n"), "line 5: coclass Demo has no default interface"},
      {Class("  default IDemo\n  interface IDemo\nend\n"), "line 6: coclass Demo lists IDemo twice"},
      {Class("  default IDemo\n  default IOther\n"), "line 6: coclass Demo has a second default interface"},
      {Class("  default IDemo\n  source IDemo2\nend\n") +
           "dispinterface IDemo2 {AAAAAAAA-0000-0000-0000-000000000003}\nend\n",
       "line 6: coclass Demo: IDemo2 is not a source dispinterface"},
      {Lib("source dispinterface _E {AAAAAAAA-0000-0000-0000-000000000002}\nend\n" + kClassLine +
           "  default _E\nend\n"),
       "line 5: coclass Demo: source dispinterface _E is listed as incoming"},
      {Class("  default IDemo\nend\n") + kClassLine, "line 7: duplicate class name Demo"},
      {Lib(std::string("# a\0b\n", 6)), "line 2: unexpected control character"},
      {Lib("#" + std::string(4096, 'x') + "\n"), "line 2: line longer than 4096 characters"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(Parse(c.text, &error), nullptr) << c.error;
    EXPECT_EQ(error, c.error);
  }
  EXPECT_TRUE(Parse(Lib("#" + std::string(4095, 'x') + "\r\n"))) << "4096 characters and a carriage return";
  EXPECT_EQ(com::ParseTypeLib("nonsense", nullptr), nullptr);
}

TEST(TypeLibParse, BoundsTheTextAndStaysLinear) {
  std::string text = kLibLine;
  while (text.size() < (std::size_t{1} << 20)) text += "# padding padding padding padding padding\n";
  text.resize(std::size_t{1} << 20);
  text.back() = '\n';
  std::string error;
  EXPECT_TRUE(Parse(text, &error)) << error << " (exactly 1 MiB is accepted)";
  EXPECT_FALSE(Parse(text + "#", &error));
  EXPECT_NE(error.find("larger than 1 MiB"), std::string::npos) << error;

  // Duplicate checks must not be quadratic: 40000 members within the bound.
  std::string members;
  for (int i = 1; i <= 40000; ++i) members += std::to_string(i) + " method M" + std::to_string(i) + "\n";
  const auto start = std::chrono::steady_clock::now();
  const auto lib = Parse(Iface(members), &error);
  ASSERT_TRUE(lib) << error;
  EXPECT_EQ(lib->interfaces[0].members.size(), 40000u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(TypeLibLookup, FindAnswersTheInvokeFlagsInPreferenceOrder) {
  const auto lib = Parse(Iface("  1 propputref Item(DISPATCH v)\n  1 propput Item(I2 v)\n  1 propget Item : I2\n"
                               "  1 method Item() : I4\n  2 propput Only(I2 v)\n  0 propget Default : I2\n"));
  ASSERT_TRUE(lib);
  const com::InterfaceInfo& info = lib->interfaces[0];
  const com::MemberInfo *ref = &info.members[0], *put = &info.members[1], *get = &info.members[2],
                        *method = &info.members[3];
  const struct {
    com::DispId id;
    unsigned flags;
    const com::MemberInfo* expected;
  } cases[] = {
      {1, com::kInvokeMethod, method},
      {1, com::kInvokePropertyGet, get},
      {1, com::kInvokePropertyPut, put},
      {1, com::kInvokePropertyPutRef, ref},
      {1, com::kInvokeMethod | com::kInvokePropertyGet, method},
      {1, com::kInvokePropertyGet | com::kInvokePropertyPut, get},
      {1, com::kInvokePropertyPut | com::kInvokePropertyPutRef, put},
      {1, 0, nullptr},
      {2, com::kInvokeMethod | com::kInvokePropertyGet, nullptr},
      {2, com::kInvokePropertyPut | com::kInvokePropertyPutRef, &info.members[4]},
      {0, com::kInvokeMethod | com::kInvokePropertyGet, &info.members[5]},
      {3, 0xF, nullptr},
  };
  for (const auto& c : cases)
    EXPECT_EQ(info.Find(c.id, static_cast<std::uint16_t>(c.flags)), c.expected) << c.id << " " << c.flags;

  EXPECT_EQ(info.IdOfName("item"), 1);
  EXPECT_EQ(info.IdOfName("ONLY"), 2);
  EXPECT_EQ(info.IdOfName("Onl"), std::nullopt);
  EXPECT_EQ(com::MemberKindName(MemberKind::PropPutRef), "propputref");
}

class TypeLibFiles : public ::testing::Test {
 protected:
  fs::path Path(const char* name) const { return temp_.folder() / name; }
  registry::Registry reg() const { return registry::Registry(temp_.file()); }
  static std::string VersionKey(const char* version = "1.0") {
    return "HKEY_CLASSES_ROOT\\TypeLib\\" + com::FormatGuid(kLibid) + "\\" + version;
  }
  static std::string InterfaceKey(const com::IID& iid) {
    return "HKEY_CLASSES_ROOT\\Interface\\" + com::FormatGuid(iid);
  }
  void Register(const fs::path& file, const std::string& text = kDemo) {
    WriteFile(file, text);
    const auto lib = Parse(text);
    ASSERT_TRUE(lib);
    ASSERT_EQ(com::RegisterTypeLib(*lib, file), com::S_OK);
  }

  testing_support::TempRegistry temp_;  // never the user's registry
};

TEST_F(TypeLibFiles, LoadsAndReportsWhyAFileCannotBeLoaded) {
  std::shared_ptr<const com::TypeLib> lib;
  std::string error;
  WriteFile(Path("bad.tlb"), Lib("\n\nbogus\n"));
  EXPECT_EQ(com::LoadTypeLib(Path("bad.tlb"), &lib, &error), com::TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(error, "line 4: unknown keyword 'bogus'");
  EXPECT_EQ(com::LoadTypeLib(Path("missing.tlb"), &lib, &error), com::TYPE_E_CANTLOADLIBRARY);
  EXPECT_NE(error.find("missing.tlb"), std::string::npos) << error;
  EXPECT_EQ(com::LoadTypeLib(temp_.folder(), &lib, &error), com::TYPE_E_CANTLOADLIBRARY) << "a folder";
  WriteFile(Path("big.tlb"), kLibLine + std::string(std::size_t{1} << 20, '#'));
  EXPECT_EQ(com::LoadTypeLib(Path("big.tlb"), &lib, &error), com::TYPE_E_CANTLOADLIBRARY);
  EXPECT_NE(error.find("larger than 1 MiB"), std::string::npos) << error;
  EXPECT_EQ(lib, nullptr);
  EXPECT_EQ(com::LoadTypeLib(Path("bad.tlb"), nullptr), com::E_POINTER);

  // Repeated loads share one parse until the file changes.
  const fs::path file = Path("demo.tlb");
  WriteFile(file, kDemo);
  std::shared_ptr<const com::TypeLib> first, second;
  ASSERT_EQ(com::LoadTypeLib(file, &first, &error), com::S_OK) << error;
  ASSERT_EQ(com::LoadTypeLib(file, &second), com::S_OK);
  EXPECT_EQ(first, second);
  WriteFile(file, kDemo + "# changed\n");
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2));
  ASSERT_EQ(com::LoadTypeLib(file, &second), com::S_OK);
  EXPECT_NE(first, second);
  WriteFile(file, "broken");
  EXPECT_EQ(com::LoadTypeLib(file, &second), com::TYPE_E_CANTLOADLIBRARY) << "not answered from the cache";

  WriteFile(file, kDemo);
  std::vector<std::thread> threads;
  std::vector<int> ok(8, 0);
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        std::shared_ptr<const com::TypeLib> mine;
        if (com::LoadTypeLib(file, &mine) == com::S_OK && mine->interfaces.size() == 2) ++ok[t];
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(ok, std::vector<int>(8, 50));
}

TEST_F(TypeLibFiles, RegistersUnderTypeLibAndInterface) {
  // A relative path is stored absolute.
  WriteFile(Path("demo.tlb"), kDemo);
  ASSERT_EQ(com::RegisterTypeLib(*Parse(kDemo), fs::relative(Path("demo.tlb"))), com::S_OK);
  const std::string version = VersionKey();
  EXPECT_EQ(reg().GetString(version, ""), "Demo Library");
  const auto path = reg().GetString(version + "\\0\\linux", "");
  ASSERT_TRUE(path);
  EXPECT_TRUE(fs::path(*path).is_absolute()) << *path;
  EXPECT_TRUE(fs::equivalent(*path, Path("demo.tlb")));
  EXPECT_EQ(reg().GetString(version + "\\FLAGS", ""), "0");
  EXPECT_EQ(reg().GetString(version + "\\HELPDIR", ""), fs::path(*path).parent_path().string());
  for (const auto& [iid, name] : {std::pair{kIid, "IDemo"}, std::pair{kEventsIid, "_IDemoEvents"}}) {
    const std::string key = InterfaceKey(iid);
    EXPECT_EQ(reg().GetString(key, ""), name);
    EXPECT_EQ(reg().GetString(key + "\\TypeLib", ""), "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(reg().GetString(key + "\\TypeLib", "Version"), "1.0");
    EXPECT_EQ(reg().GetString(key + "\\ProxyStubClsid32", ""), "{00020420-0000-0000-C000-000000000046}");
  }
  EXPECT_EQ(com::RegisterTypeLib(com::TypeLib{}, Path("demo.tlb")), com::E_INVALIDARG);
}

TEST_F(TypeLibFiles, RoundTripRegisterLoadUnregister) {
  std::shared_ptr<const com::TypeLib> lib;
  EXPECT_EQ(com::LoadRegTypeLib(kLibid, 1, 0, &lib), com::TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(com::UnRegisterTypeLib(kLibid, 1, 0), com::TYPE_E_LIBNOTREGISTERED);
  Register(Path("demo.tlb"));
  ASSERT_EQ(com::LoadRegTypeLib(kLibid, 1, 0, &lib), com::S_OK);
  EXPECT_NE(lib->FindInterface(kIid), nullptr);
  EXPECT_EQ(com::LoadRegTypeLib(kLibid, 1, 1, &lib), com::TYPE_E_LIBNOTREGISTERED) << "another version";
  EXPECT_EQ(lib, nullptr);

  ASSERT_EQ(com::UnRegisterTypeLib(kLibid, 1, 0), com::S_OK);
  EXPECT_EQ(com::LoadRegTypeLib(kLibid, 1, 0, &lib), com::TYPE_E_LIBNOTREGISTERED);
  EXPECT_TRUE(reg().SubKeys("HKEY_CLASSES_ROOT\\TypeLib").empty()) << "no version left: the library key goes";
  EXPECT_TRUE(reg().SubKeys("HKEY_CLASSES_ROOT\\Interface").empty());
  EXPECT_EQ(com::UnRegisterTypeLib(kLibid, 1, 0), com::TYPE_E_LIBNOTREGISTERED);
}

TEST_F(TypeLibFiles, UnregisteringOneVersionKeepsTheOther) {
  Register(Path("demo.tlb"));
  std::string v2 = kDemo;
  v2.replace(v2.find(" 1.0 "), 5, " 2.0 ");
  Register(Path("demo2.tlb"), v2);
  // The interfaces now name version 2.0, so unregistering 1.0 leaves them.
  ASSERT_EQ(com::UnRegisterTypeLib(kLibid, 1, 0), com::S_OK);
  std::shared_ptr<const com::TypeLib> lib;
  EXPECT_EQ(com::LoadRegTypeLib(kLibid, 2, 0, &lib), com::S_OK);
  EXPECT_EQ(reg().GetString(InterfaceKey(kIid), ""), "IDemo");
  ASSERT_EQ(com::UnRegisterTypeLib(kLibid, 2, 0), com::S_OK);
  EXPECT_FALSE(reg().KeyExists(InterfaceKey(kIid)));
  EXPECT_TRUE(reg().SubKeys("HKEY_CLASSES_ROOT\\TypeLib").empty());
}

TEST_F(TypeLibFiles, UnregisterWorksWithoutTheFileAndSparesOtherOwners) {
  Register(Path("demo.tlb"));
  registry::Registry r = reg();
  ASSERT_TRUE(r.SetString(InterfaceKey(kEventsIid) + "\\TypeLib", "", "{99999999-0000-0000-0000-000000000000}").ok());
  ASSERT_TRUE(r.SetString("HKEY_CLASSES_ROOT\\Interface\\NotAGuid", "", "x").ok());
  fs::remove(Path("demo.tlb"));
  std::shared_ptr<const com::TypeLib> lib;
  EXPECT_EQ(com::LoadRegTypeLib(kLibid, 1, 0, &lib), com::TYPE_E_CANTLOADLIBRARY) << "registered but gone";
  ASSERT_EQ(com::UnRegisterTypeLib(kLibid, 1, 0), com::S_OK);
  EXPECT_FALSE(reg().KeyExists(InterfaceKey(kIid)));
  EXPECT_TRUE(reg().KeyExists(InterfaceKey(kEventsIid))) << "taken over by another library";
  EXPECT_TRUE(reg().KeyExists("HKEY_CLASSES_ROOT\\Interface\\NotAGuid"));
}

TEST_F(TypeLibFiles, RegistrationFailuresAndForeignFiles) {
  // A registration whose file now describes another library does not load.
  Register(Path("demo.tlb"));
  std::string other = kDemo + "# another library\n";
  other.replace(other.find("11111111-2222"), 13, "22222222-2222");
  WriteFile(Path("demo.tlb"), other);
  std::shared_ptr<const com::TypeLib> lib;
  EXPECT_EQ(com::LoadRegTypeLib(kLibid, 1, 0, &lib), com::TYPE_E_CANTLOADLIBRARY);

  WriteFile(Path("blocker"), "x");
  setenv("ZENOLITH_REGISTRY", (Path("blocker") / "registry").c_str(), 1);  // restored by TempRegistry
  const com::HRESULT hr = com::RegisterTypeLib(*Parse(kDemo), Path("demo.tlb"));
  EXPECT_EQ(static_cast<std::uint32_t>(hr) & 0xFFFF0000u, 0x80070000u) << com::FormatStatus(hr);
}

// ---- the library's own type library

}  // namespace
