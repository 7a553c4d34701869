// The program's log: one time-stamped line per message in "log.txt" of the
// program folder, flushed after every line so it survives a crash.
#pragma once

#include <filesystem>
#include <string>

namespace rovana {

// Opens (truncating) the log file. A file that cannot be opened is reported
// once on stderr ("rovana: cannot open the log <path>: <reason>; ..."), and
// log lines then vanish until the next OpenLog. True when the log is open.
bool OpenLog(const std::filesystem::path& file);
void CloseLog();

// Why the last OpenLog failed ("<path>: <reason>"), or "" when it opened or
// none was tried; for the user interface to show once.
std::string LogProblem();

// printf-style; the message is cut after 1024 characters (bytes). Writes
// "HH:MM:SS: message\n" with the local time. A message that cannot be
// formatted is logged as "message could not be formatted: <format>". Safe
// from any thread: each call writes one whole line.
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace rovana
