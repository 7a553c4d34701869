// Registration as one atomic change of the registry, and the registry's own
// words ("path:line: reason") reaching the client when it is damaged.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "lib/component/Identifiers.h"
#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"
#include "platform/registry/Registry.h"
#include "tests/support/TempRegistry.h"

namespace {

namespace fs = std::filesystem;

const fs::path kLibrary = ZEN_LIBRARY_PATH;

const char* const kClassNames[] = {"NmeaParser", "NmeaSentence", "NmeaGGA",   "NmeaGLL",  "NmeaRMC",
                                   "Position",   "Satellites",   "Satellite", "Movement", "Quality",
                                   "GpsFix",     "ComStatus",    "CustomGrid", "CustomDatum"};
constexpr int kClassCount = static_cast<int>(std::size(kClassNames));

// The registry as one version of its file: it is only ever replaced by
// rename, so one read gives one state, whatever writers do meanwhile.
std::string FrozenCopy(const fs::path& file, const fs::path& copy) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::ofstream(copy, std::ios::binary | std::ios::trunc) << text.str();
  return text.str();
}

// "" when the registry holds all of the library's registration or none of
// it, else what is there.
std::string Inconsistency(const registry::Registry& reg) {
  int classes = 0;
  for (const char* name : kClassNames)
    classes += reg.GetString(std::string("HKEY_CLASSES_ROOT\\ZenolithCE.") + name + "\\CLSID", "").has_value();
  const std::string libKey = "HKEY_CLASSES_ROOT\\TypeLib\\" + com::FormatGuid(zenolith::LIBID_ZenolithCE);
  const bool typeLib = reg.GetString(libKey + "\\1.0\\0\\linux", "").has_value();
  const int interfaces = static_cast<int>(reg.SubKeys("HKEY_CLASSES_ROOT\\Interface").size());
  if ((classes == kClassCount && typeLib && interfaces > 0) || (classes == 0 && !typeLib && interfaces == 0))
    return "";
  return std::to_string(classes) + " classes, type library " + (typeLib ? "registered" : "missing") + ", " +
         std::to_string(interfaces) + " interfaces";
}

// Guards: registration was two registry writes (classes, then type library),
// so a concurrent unregister or a kill in between left classes without their
// type library ("type library not registered").
TEST(RegistrationAtomicity, ConcurrentRegisterAndUnregisterNeverSplitClassesFromTheirTypeLibrary) {
  constexpr int kRounds = 25;
  testing_support::TempRegistry temp;
  const fs::path copy = temp.folder() / "frozen";
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(go[1]);
    char c;
    if (::read(go[0], &c, 1) != 1) ::_exit(3);
    const fs::path childCopy = temp.folder() / "frozen-child";
    int split = 0;
    for (int i = 0; i < kRounds; ++i) {
      if (com::Failed(com::RegisterServer(kLibrary))) ::_exit(2);
      FrozenCopy(temp.file(), childCopy);
      split += !Inconsistency(registry::Registry(childCopy)).empty();
    }
    ::_exit(split == 0 ? 0 : 1);
  }
  ::close(go[0]);
  ASSERT_EQ(::write(go[1], "g", 1), 1);
  ::close(go[1]);
  std::string problems;
  for (int i = 0; i < kRounds; ++i) {
    const com::HRESULT hr = com::UnregisterServer(kLibrary);
    if (com::Failed(hr)) problems += "unregister failed: " + com::FormatStatus(hr) + "; ";
    FrozenCopy(temp.file(), copy);
    if (const std::string split = Inconsistency(registry::Registry(copy)); !split.empty())
      problems += "after unregister " + std::to_string(i) + ": " + split + "; ";
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a registration step left a split registry; 2: register failed";
  EXPECT_EQ(problems, "");
}

// Guards: a kill between the two writes of a registration left classes
// without their type library. Killed at any moment, a registering process
// leaves all or nothing, and its temporary file goes with the next change.
TEST(RegistrationAtomicity, AKilledRegistrationLeavesAllOrNothing) {
  testing_support::TempRegistry temp;
  const fs::path copy = temp.folder() / "frozen";
  std::string problems;
  for (int round = 0; round < 8; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        com::RegisterServer(kLibrary);
        com::UnregisterServer(kLibrary);
      }
    }
    ::usleep(static_cast<useconds_t>(20000 + round * 7000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    FrozenCopy(temp.file(), copy);
    if (const std::string split = Inconsistency(registry::Registry(copy)); !split.empty())
      problems += "round " + std::to_string(round) + ": " + split + "; ";
  }
  EXPECT_EQ(problems, "");
  ASSERT_EQ(com::RegisterServer(kLibrary), com::S_OK);
  for (const auto& entry : fs::directory_iterator(temp.folder())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "registry" || name == "registry.lock" || name == "frozen") << "left behind: " << name;
  }
}

// Guards: a damaged registry gave only "0x8007004A Bad message", without the
// file and line the registry itself reports.
TEST(RegistrationErrors, ADamagedRegistryReachesTheClientWithFileAndLine) {
  testing_support::TempRegistry temp;
  const std::string damaged = "ZenolithCE Registry 1\n[HKEY_CLASSES_ROOT]\n\x01garbage \xff line\n";
  std::ofstream(temp.file(), std::ios::binary) << damaged;
  const std::string where = temp.file().string() + ":3: unrecognised line: \\x01garbage \\xff line";
  const std::string unchanged = where + " (the file was left unchanged)";
  struct Case {
    const char* name;
    bool registering;
  };
  for (const Case c : {Case{"register", true}, Case{"unregister", false}}) {
    SCOPED_TRACE(c.name);
    std::string error;
    const com::HRESULT hr = c.registering ? com::RegisterServer(kLibrary, &error) : com::UnregisterServer(kLibrary, &error);
    const auto info = com::GetErrorInfo();
    const std::string got = com::FormatStatus(hr) + " | " + error + " | " + (info ? info->description : "(none)") +
                            " | " + (info ? info->source : "");
    EXPECT_EQ(got, "0x8007004A | " + unchanged + " | " + unchanged + " | ZenolithCE");
  }
  EXPECT_EQ(FrozenCopy(temp.file(), temp.folder() / "copy"), damaged) << "the damaged file is never overwritten";

  // Lookups find nothing in a damaged registry; LastRegistryError says why.
  com::CLSID clsid;
  EXPECT_EQ(com::CLSIDFromProgID("ZenolithCE.Position", &clsid), com::CO_E_CLASSSTRING);
  EXPECT_EQ(com::LastRegistryError(), where);
  com::ComPtr<com::IDispatch> object;
  EXPECT_EQ(com::CreateObject("ZenolithCE.Position", &object), com::CO_E_CLASSSTRING);
  EXPECT_EQ(com::LastRegistryError(), where);
  EXPECT_EQ(com::CoGetClassObject(zenolith::LIBID_ZenolithCE, com::IID_IClassFactory, object.PutVoid()),
            com::REGDB_E_CLASSNOTREG);
  EXPECT_EQ(com::LastRegistryError(), where);
  // Class enumeration reads the registry directly: Check gives the same text.
  EXPECT_EQ(registry::Registry::Default().Check().message, where);

  // A readable registry that lacks the entry leaves nothing to explain.
  std::ofstream(temp.file(), std::ios::binary | std::ios::trunc) << "ZenolithCE Registry 1\n";
  EXPECT_EQ(com::CLSIDFromProgID("ZenolithCE.Position", &clsid), com::CO_E_CLASSSTRING);
  EXPECT_EQ(com::LastRegistryError(), "");
}

TEST(RegistrationErrors, AMissingTypeLibraryIsExplained) {
  testing_support::TempRegistry temp;
  // The library reads the type library beside itself; a copy of the library
  // in a folder without one cannot register.
  const fs::path lonely = temp.folder() / "lonely" / kLibrary.filename();
  fs::create_directories(lonely.parent_path());
  fs::copy_file(kLibrary, lonely);
  std::string error;
  EXPECT_EQ(com::RegisterServer(lonely, &error), com::SELFREG_E_TYPELIB);
  EXPECT_EQ(error.rfind("cannot load the type library " + (lonely.parent_path() / "ZenolithCE.tlb").string(), 0), 0u)
      << error;
  EXPECT_TRUE(registry::Registry(temp.file()).SubKeys("").empty()) << "nothing was written";
}

}  // namespace
