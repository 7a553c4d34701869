#include "tools/zenolith/Commands.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"
#include "platform/registry/Registry.h"
#include "tools/zenolith/Automation.h"
#include "tools/zenolith/Input.h"
#include "tools/zenolith/Printable.h"
#include "tools/zenolith/ScriptHost.h"

namespace zenolith::tools {
namespace {

namespace fs = std::filesystem;
constexpr const char* kLibraryFile = "libZenolithCE.so";

fs::path ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

// The library file to register: --library PATH, else $ZENOLITH_LIBRARY, else
// beside the tool or in the lib folder next to its bin folder.
fs::path FindLibrary(const Args& args, std::string* usageError) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--library") {
      if (i + 1 >= args.size()) {
        *usageError = "--library needs a path";
        return {};
      }
      return fs::absolute(args[i + 1]);
    }
    *usageError = "unknown argument '" + Printable(args[i]) + "'";
    return {};
  }
  if (const char* env = std::getenv("ZENOLITH_LIBRARY"); env && *env) return fs::absolute(env);
  const fs::path folder = ExecutableFolder();
  for (const fs::path& candidate : {folder / kLibraryFile, folder.parent_path() / "lib" / kLibraryFile})
    if (fs::exists(candidate)) return candidate;
  return folder.parent_path() / "lib" / kLibraryFile;
}

int RunServerEntry(const Args& args, bool registering) {
  std::string usage;
  const fs::path library = FindLibrary(args, &usage);
  if (!usage.empty()) {
    std::cerr << "zenolith: " << usage << "\n";
    return 2;
  }
  std::string error;
  const com::HRESULT hr = registering ? com::RegisterServer(library, &error) : com::UnregisterServer(library, &error);
  if (com::Failed(hr)) {
    std::cerr << "zenolith: " << (registering ? "registering " : "unregistering ") << Printable(library.string()) << " failed: "
              << com::FormatStatus(hr);
    const std::string description = com::DescribeStatus(hr);
    if (!description.empty()) std::cerr << " " << description;
    if (!error.empty()) std::cerr << " (" << Printable(error) << ")";
    if (const std::string problem = RegistryProblem(); !problem.empty())
      std::cerr << "; the registry cannot be read: " << problem;
    std::cerr << "\n";
    return 1;
  }
  std::cerr << (registering ? "registered " : "unregistered ") << Printable(library.string()) << " in "
            << Printable(registry::Registry::DefaultPath().string()) << "\n";
  return 0;
}

std::string Root() { return std::string(com::kClassesRoot); }

struct RegisteredClass {
  std::string progId, versionedProgId, clsid, library, typeLib;
};

std::vector<RegisteredClass> RegisteredClasses() {
  const registry::Registry reg = registry::Registry::Default();
  std::vector<RegisteredClass> classes;
  for (const std::string& clsid : reg.SubKeys(Root() + "\\CLSID")) {
    const std::string key = Root() + "\\CLSID\\" + clsid;
    RegisteredClass entry;
    entry.clsid = clsid;
    entry.progId = reg.GetString(key + "\\VersionIndependentProgID", "").value_or("");
    entry.versionedProgId = reg.GetString(key + "\\ProgID", "").value_or("");
    entry.library = reg.GetString(key + "\\InprocServer32", "").value_or("");
    entry.typeLib = reg.GetString(key + "\\TypeLib", "").value_or("");
    if (entry.library.empty()) continue;  // not an in-process server
    classes.push_back(std::move(entry));
  }
  return classes;
}

std::string Signature(const com::MemberInfo& member) {
  std::string text = "(";
  for (std::size_t i = 0; i < member.params.size(); ++i) {
    const com::ParamInfo& p = member.params[i];
    if (i) text += ", ";
    if (p.out) text += "[out] ";
    if (p.optional) text += "[optional] ";
    text += std::string(com::VarTypeName(p.type)) + " " + p.name;
  }
  text += ")";
  if (member.result != com::VarType::Void) text += " : " + std::string(com::VarTypeName(member.result));
  return text;
}

void PrintInterface(const com::TypeLib& lib, const std::string& name, std::string_view role) {
  const com::InterfaceInfo* info = lib.FindInterface(name);
  if (!info) {
    std::cout << "  " << role << " " << name << " (not in the type library)\n";
    return;
  }
  std::cout << "  " << role << " " << info->name << " " << com::FormatGuid(info->iid) << "\n";
  for (const com::MemberInfo& m : info->members)
    std::cout << "    " << m.id << " " << com::MemberKindName(m.kind) << " " << m.name << Signature(m) << "\n";
}

int Describe(const RegisteredClass& entry) {
  const auto libid = com::ParseGuid(entry.typeLib);
  std::shared_ptr<const com::TypeLib> lib;
  if (!libid || com::Failed(com::LoadRegTypeLib(*libid, 1, 0, &lib))) {
    std::cerr << "zenolith: the type library of " << Printable(entry.progId) << " is not registered or cannot be read\n";
    return 1;
  }
  const auto clsid = com::ParseGuid(entry.clsid);
  const com::ClassInfo* info = clsid ? lib->FindClass(*clsid) : nullptr;
  if (!info) {
    std::cerr << "zenolith: the type library does not describe " << Printable(entry.progId) << "\n";
    return 1;
  }
  std::cout << entry.progId << " " << entry.clsid << " \"" << info->description << "\"\n";
  PrintInterface(*lib, info->defaultInterface, "interface");
  for (const std::string& other : info->otherInterfaces) PrintInterface(*lib, other, "interface");
  if (!info->sourceInterface.empty()) PrintInterface(*lib, info->sourceInterface, "source");
  return 0;
}

}  // namespace

bool WantsHelp(const Args& args) {
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

int RegisterCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << "usage: zenolith register [--library PATH]\n\n"
                 "Runs DllRegisterServer of the ZenolithCE library: registers its classes and its\n"
                 "type library in the registry ($ZENOLITH_REGISTRY, else ~/.config/zenolithce/registry).\n"
                 "The library is PATH, else $ZENOLITH_LIBRARY, else libZenolithCE.so beside this tool\n"
                 "or in ../lib.\n";
    return 0;
  }
  return RunServerEntry(args, true);
}

int UnregisterCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << "usage: zenolith unregister [--library PATH]\n\n"
                 "Runs DllUnregisterServer of the ZenolithCE library: removes its classes and its\n"
                 "type library from the registry. The library is found as for 'register'.\n";
    return 0;
  }
  return RunServerEntry(args, false);
}

int ClassesCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << "usage: zenolith classes\n\n"
                 "Prints one line per registered class: ProgID, versioned ProgID, class identifier\n"
                 "and library path, separated by blanks.\n";
    return 0;
  }
  if (!args.empty()) {
    std::cerr << "zenolith classes: unexpected argument '" << Printable(args[0]) << "'\n";
    return 2;
  }
  if (const std::string problem = RegistryProblem(); !problem.empty()) {
    std::cerr << "zenolith: the registry cannot be read: " << problem << "\n";
    return 1;
  }
  const auto classes = RegisteredClasses();
  if (classes.empty()) std::cerr << "zenolith: no classes are registered; run 'zenolith register'\n";
  for (const RegisteredClass& c : classes)
    std::cout << c.progId << " " << c.versionedProgId << " " << c.clsid << " " << c.library << "\n";
  return 0;
}

int DescribeCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << "usage: zenolith describe [PROGID]\n\n"
                 "Prints the members of the class's interfaces from its registered type library:\n"
                 "dispatch identifier, kind (method, propget, propput, propputref), name, arguments\n"
                 "and result type. Without PROGID every registered class is described.\n";
    return 0;
  }
  if (args.size() > 1) {
    std::cerr << "zenolith describe: give at most one ProgID\n";
    return 2;
  }
  if (const std::string problem = RegistryProblem(); !problem.empty()) {
    std::cerr << "zenolith: the registry cannot be read: " << problem << "\n";
    return 1;
  }
  const auto classes = RegisteredClasses();
  int status = 0;
  bool found = false;
  for (const RegisteredClass& c : classes) {
    if (!args.empty() && c.progId != args[0] && c.versionedProgId != args[0] && c.clsid != args[0]) continue;
    if (found) std::cout << "\n";
    found = true;
    status = std::max(status, Describe(c));
  }
  if (!found) {
    std::cerr << "zenolith: " << (args.empty() ? "no classes are registered" : "no registered class " + Printable(args[0]))
              << "\n";
    return 1;
  }
  return status;
}

int ScriptCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << "usage: zenolith script [FILE]\n\n"
                 "Runs an automation script (standard input when no FILE), one statement per line;\n"
                 "'#' starts a comment:\n"
                 "  NAME = new PROGID          create an object (ZenolithCE.CustomDatum, ...)\n"
                 "  NAME.Member = VALUE        put a property\n"
                 "  print NAME.Member          print a property\n"
                 "  print NAME.Member(ARG,...) call a method and print its result and out arguments\n"
                 "  call NAME.Member(ARG,...)  call without printing\n"
                 "  NAME = NAME.Member(...)    keep a result under a name\n"
                 "VALUE and ARG: a number, a \"text\", true, false or a NAME.\n"
                 "A failing member prints 'error 0xXXXXXXXX: DESCRIPTION' and the script goes on;\n"
                 "a line that does not parse stops it with 'line N: MESSAGE' and exit status 2.\n";
    return 0;
  }
  if (args.size() > 1) {
    std::cerr << "zenolith script: give at most one file\n";
    return 2;
  }
  InputFile input(args.empty() ? std::string() : args[0]);
  if (!input.ok()) {
    std::cerr << "zenolith script: " << Printable(input.error()) << "\n";
    return 1;
  }
  com::CoInitializeEx();
  int status = 0;
  {
    ScriptHost host(std::cout, std::cerr);
    status = host.Run(input.stream());
    if (!input.ok()) {
      std::cerr << "zenolith script: " << Printable(input.error()) << "\n";
      status = 1;
    }
  }
  com::CoFreeUnusedLibraries();
  com::CoUninitialize();
  return status;
}

}  // namespace zenolith::tools
