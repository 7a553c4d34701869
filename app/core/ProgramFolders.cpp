#include "app/core/ProgramFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "app/core/Log.h"

namespace rovana {
namespace {

// What the kernel appends to /proc/self/exe once the file was replaced, as
// happens when the program is rebuilt while it runs.
constexpr std::string_view kDeletedSuffix = " (deleted)";

// A folder given by the user: relative to the current folder at start-up,
// tidied ("a/./b/../c" becomes "a/c"), without trailing '/'.
std::string UserFolder(std::string_view given) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(given), ec);
  if (ec) path = std::filesystem::path(given);  // the current folder is gone: keep the text as given
  return WithoutTrailingSlash(path.lexically_normal().native());
}

// errno of a folder that mkdir reported as existing: 0 when it is a folder
// (or a link to one), ENOTDIR when something else stands there.
int ExistingFolderError(const char* path) {
  struct stat info {};
  if (::stat(path, &info) != 0) return errno;  // for example a dangling link
  return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

int MakeOneFolder(const std::filesystem::path& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return 0;  // the umask narrows the mode
  const int error = errno;
  return error == EEXIST ? ExistingFolderError(path.c_str()) : error;
}

}  // namespace

std::string FolderOfPath(std::string_view executablePath) {
  const std::size_t slash = executablePath.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(executablePath.substr(0, slash));
}

std::string WithoutTrailingSlash(std::string_view folder) {
  while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
  return std::string(folder);
}

std::filesystem::path ProgramFolderPath(const std::filesystem::path& program) {
  return program.empty() ? std::filesystem::path("/") : program;
}

std::filesystem::path InProgramFolder(const std::filesystem::path& program, std::string_view name) {
  return ProgramFolderPath(program) / name;
}

std::string HomeOption(std::span<const char* const> arguments) {
  std::string found;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (!arguments[i]) continue;
    const std::string_view argument = arguments[i];
    if (argument == kHomeOption) {
      if (i + 1 < arguments.size() && arguments[i + 1]) found = arguments[i + 1];
      ++i;  // the DIR is never itself read as an option
    } else if (argument.size() > kHomeOption.size() && argument.starts_with(kHomeOption) &&
               argument[kHomeOption.size()] == '=') {
      found = std::string(argument.substr(kHomeOption.size() + 1));
    }
  }
  return found;
}

ProgramFolders FoldersUnder(std::string_view programFolder, HomeSource source) {
  ProgramFolders f;
  f.program = WithoutTrailingSlash(programFolder);
  const auto under = [&f](std::string_view name) { return InProgramFolder(f.program, name).native(); };
  f.data = under("data");
  f.examples = under("examples");
  f.cache = under("cache");
  f.samples = under("samples");
  f.language = under("Language");
  f.symbol = under("Symbol");
  f.temp = under("temp");
  f.logFile = under("log.txt");
  f.source = source;
  return f;
}

std::vector<std::filesystem::path> ProgramFolders::ResourceCandidates(std::string_view name) const {
  std::vector<std::filesystem::path> candidates{InProgramFolder(program, name)};
  if (!resources.empty()) {
    std::filesystem::path shipped = std::filesystem::path(resources) / name;
    if (shipped != candidates.front()) candidates.push_back(std::move(shipped));
  }
  return candidates;
}

ProgramFolders ResolveProgramFolders(std::string_view option, const FolderEnvironment& environment) {
  const auto given = [](const char* value) { return value && *value; };
  ProgramFolders f;
  if (!option.empty()) {
    f = FoldersUnder(UserFolder(option), HomeSource::Option);
  } else if (given(environment.home)) {
    f = FoldersUnder(UserFolder(environment.home), HomeSource::Environment);
  } else {
    // XDG: a relative XDG_DATA_HOME is invalid and must be ignored.
    std::filesystem::path base;
    if (given(environment.xdgDataHome) && environment.xdgDataHome[0] == '/')
      base = environment.xdgDataHome;
    else if (given(environment.userHome) && environment.userHome[0] == '/')
      base = std::filesystem::path(environment.userHome) / ".local/share";
    f = FoldersUnder(base.empty() ? std::string() : UserFolder((base / "rovana").native()), HomeSource::UserData);
  }
  if (given(environment.dataDir)) {
    f.resources = UserFolder(environment.dataDir);
  } else if (!environment.executablePath.empty()) {
    const std::filesystem::path bin = ProgramFolderPath(FolderOfPath(environment.executablePath));
    f.resources = WithoutTrailingSlash((bin / kResourcesBesideBin).lexically_normal().native());
  }
  return f;
}

FolderEnvironment FolderEnvironment::OfProcess() {
  FolderEnvironment e;
  e.home = std::getenv(kHomeVariable.data());  // literals, so zero-terminated
  e.dataDir = std::getenv(kDataDirVariable.data());
  e.xdgDataHome = std::getenv("XDG_DATA_HOME");
  e.userHome = std::getenv("HOME");
  if (!e.userHome || !*e.userHome) {
    // getpwuid's record is static; start-up reads it once, on one thread.
    if (const passwd* entry = ::getpwuid(::getuid())) e.userHome = entry->pw_dir;
  }
  e.executablePath = ExecutablePath();
  return e;
}

std::string ExecutablePath() {
  std::error_code ec;
  std::string path = std::filesystem::read_symlink("/proc/self/exe", ec).native();
  if (ec) return {};
  if (path.ends_with(kDeletedSuffix)) path.resize(path.size() - kDeletedSuffix.size());
  return path;
}

ProgramFolders ResolveProgramFolders(int argc, const char* const* argv) {
  const std::string option =
      argv && argc > 0 ? HomeOption(std::span<const char* const>(argv, static_cast<std::size_t>(argc))) : std::string();
  return ResolveProgramFolders(option, FolderEnvironment::OfProcess());
}

int CreateFolder(const std::filesystem::path& folder) {
  int error = folder.empty() ? ENOENT : 0;
  std::filesystem::path partial;
  for (auto it = folder.begin(); error == 0 && it != folder.end(); ++it) {
    partial /= *it;
    if (it->empty() || *it == partial.root_path()) continue;  // the root, or the empty piece of a trailing '/'
    error = MakeOneFolder(partial);
  }
  if (error != 0) LogMessage("CreateDirectory(%s): ERROR %d", folder.c_str(), error);
  return error;
}

}  // namespace rovana
