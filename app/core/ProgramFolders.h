// The home (program folder) and the resource folder of Rovana.
//
// The home holds what Rovana writes: settings.xml, log.txt, data, examples,
// cache and temp. It is, in this order of precedence:
//   1. the DIR of the command-line option "--home DIR" (or "--home=DIR"; the
//      last such option wins),
//   2. the environment variable ROVANA_HOME,
//   3. "$XDG_DATA_HOME/rovana", with "$HOME/.local/share" for XDG_DATA_HOME
//      when it is unset or not absolute (the XDG base directory rules).
// An empty DIR or an empty variable counts as not given. A relative DIR is
// taken relative to the current folder at start-up and made absolute. The
// executable's folder is never the home: an installed /usr/bin is not ours.
//
// The resource folder holds the read-only files that ship with Rovana
// (Language, Symbol, samples): "$ROVANA_DATA_DIR" when set, else
// "<executable folder>/../share/rovana". The build tree has the same layout
// as an installation, so a built rovana finds its resources too. A resource
// is looked up in the home first (the user's own files win), then in the
// resource folder.
//
// Folders are kept as text without a trailing '/', so the home "/" is "".
// Every path under the home is built with InProgramFolder or
// ProgramFolderPath, which read "" as "/": the data folder is then "/data"
// and the settings file "/settings.xml", never a path relative to the
// current folder.
//
// Nothing here creates folders on its own; CreateFolder does, when a caller
// (start-up for the home, the loading dialog for the data paths) asks for it.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rovana {

inline constexpr std::string_view kHomeOption = "--home";
inline constexpr std::string_view kHomeVariable = "ROVANA_HOME";
inline constexpr std::string_view kDataDirVariable = "ROVANA_DATA_DIR";
// The resource folder relative to the executable's folder.
inline constexpr std::string_view kResourcesBesideBin = "../share/rovana";

// Where the home came from.
enum class HomeSource { Option, Environment, UserData };

struct ProgramFolders {
  std::string program;    // the home; no trailing '/'; "" is the root folder
  std::string resources;  // shipped read-only files; "" when unknown
  std::string data;       // program + "/data": maps and GPX files by default
  std::string examples;   // program + "/examples"
  std::string cache;      // program + "/cache": online map tiles
  std::string samples;    // program + "/samples": sounds (voice prompts, alerts)
  std::string language;   // program + "/Language": the user's own language files
  std::string symbol;     // program + "/Symbol": the user's own symbol bitmaps
  std::string temp;       // program + "/temp": directions pages and replies
  std::string logFile;    // program + "/log.txt"
  HomeSource source = HomeSource::UserData;

  // The folders where the resource `name` ("Language", "Symbol/symbols.txt")
  // may be: the home's, then the resource folder's; one entry when both are
  // the same or there is no resource folder.
  std::vector<std::filesystem::path> ResourceCandidates(std::string_view name) const;
};

// What the folders are resolved from: the environment and the running
// program. Null pointers are unset variables.
struct FolderEnvironment {
  const char* home = nullptr;         // ROVANA_HOME
  const char* xdgDataHome = nullptr;  // XDG_DATA_HOME
  const char* userHome = nullptr;     // HOME (or the password database's home)
  const char* dataDir = nullptr;      // ROVANA_DATA_DIR
  std::string executablePath;         // "" when unknown

  // Reads the variables, the password database when HOME is unset, and
  // /proc/self/exe. The pointers stay valid while the environment is not
  // changed.
  static FolderEnvironment OfProcess();
};

// The folder part of an executable's path: everything from the last '/' on
// removed, "" when there is no '/'.
std::string FolderOfPath(std::string_view executablePath);

// The folder text with trailing '/' removed ("/" becomes "", the root).
std::string WithoutTrailingSlash(std::string_view folder);

// The program folder as a path to build on: "" (the root folder) becomes "/";
// any other folder is returned as it is.
std::filesystem::path ProgramFolderPath(const std::filesystem::path& program);

// `name` (a file or folder name, or a relative path) inside the program
// folder: "/opt/rovana" and "data" give "/opt/rovana/data", "" and "data"
// give "/data".
std::filesystem::path InProgramFolder(const std::filesystem::path& program, std::string_view name);

// The DIR of the last "--home DIR" or "--home=DIR" in `arguments` (argv,
// program name included or not). The element after "--home" is its DIR
// whatever it looks like; "--home" as the last element has none and is
// ignored; null elements are skipped. "" when absent.
std::string HomeOption(std::span<const char* const> arguments);

// The folders for a home (any trailing '/' removed first); no resource folder.
ProgramFolders FoldersUnder(std::string_view programFolder, HomeSource source);

// The precedence rules as a pure function: `option` is HomeOption's result.
// Relative option, ROVANA_HOME and ROVANA_DATA_DIR folders are made absolute
// against the current folder. With no option, no ROVANA_HOME and neither an
// absolute XDG_DATA_HOME nor HOME, the home is "" (the root folder) and
// start-up refuses it.
ProgramFolders ResolveProgramFolders(std::string_view option, const FolderEnvironment& environment);

// The path of the running program from /proc/self/exe; "" when it cannot be
// read (then there is no resource folder unless ROVANA_DATA_DIR is given).
std::string ExecutablePath();

// Reads argv and the process's environment. `argv` may be null.
ProgramFolders ResolveProgramFolders(int argc, const char* const* argv);

// Creates `folder` and any missing parents. A folder that already exists is
// not an error. Any other failure (including a file standing where the folder
// should be, reported as ENOTDIR, and an empty path, reported as ENOENT) is
// logged as "CreateDirectory(<folder>): ERROR <errno>". Returns 0 on success,
// else the errno value that was logged.
int CreateFolder(const std::filesystem::path& folder);

}  // namespace rovana
