// The program folder and the folders Rovana keeps under it.
//
// The program folder is, in this order of precedence:
//   1. the DIR of the command-line option "--home DIR" (or "--home=DIR"; the
//      last such option wins),
//   2. the environment variable ROVANA_HOME,
//   3. the folder of the executable (/proc/self/exe).
// An empty DIR or an empty ROVANA_HOME counts as not given. A relative DIR is
// taken relative to the current folder at start-up and made absolute.
//
// Folders are kept as text without a trailing '/', so an executable in the
// root folder ("/rovana") has the program folder "". Every path under the
// program folder (these folders, the settings file, the language folder) is
// built with InProgramFolder or ProgramFolderPath, which read "" as "/": the
// data folder is then "/data" and the settings file "/settings.xml", never a
// path relative to the current folder.
//
// Nothing here creates folders on its own; CreateFolder does, when a caller
// (the loading dialog for the data paths) asks for it.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace rovana {

inline constexpr std::string_view kHomeOption = "--home";
inline constexpr std::string_view kHomeVariable = "ROVANA_HOME";

// Where the program folder came from.
enum class HomeSource { Option, Environment, Executable };

struct ProgramFolders {
  std::string program;   // no trailing '/'; "" is the root folder
  std::string data;      // program + "/data": maps and GPX files by default
  std::string examples;  // program + "/examples"
  std::string cache;     // program + "/cache": online map tiles
  std::string samples;   // program + "/samples": sounds (voice prompts, alerts)
  std::string language;  // program + "/Language": one "<name>.txt" per language
  std::string symbol;    // program + "/Symbol": waypoint symbol bitmaps
  std::string temp;      // program + "/temp": directions pages and replies
  std::string logFile;   // program + "/log.txt"
  HomeSource source = HomeSource::Executable;
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

// The folders for a program folder (any trailing '/' removed first).
ProgramFolders FoldersUnder(std::string_view programFolder, HomeSource source);

// The precedence rule as a pure function: `option` is HomeOption's result,
// `environment` the value of ROVANA_HOME or null, `executablePath` the path
// of the running program. Relative option and environment folders are made
// absolute against the current folder.
ProgramFolders ResolveProgramFolders(std::string_view option, const char* environment,
                                     std::string_view executablePath);

// The path of the running program from /proc/self/exe; "" when it cannot be
// read (then the program folder is the root folder unless --home or
// ROVANA_HOME is given).
std::string ExecutablePath();

// Reads argv, ROVANA_HOME and /proc/self/exe. `argv` may be null.
ProgramFolders ResolveProgramFolders(int argc, const char* const* argv);

// Creates `folder` and any missing parents. A folder that already exists is
// not an error. Any other failure (including a file standing where the folder
// should be, reported as ENOTDIR, and an empty path, reported as ENOENT) is
// logged as "CreateDirectory(<folder>): ERROR <errno>". Returns 0 on success,
// else the errno value that was logged.
int CreateFolder(const std::filesystem::path& folder);

}  // namespace rovana
