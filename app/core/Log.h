// The program's log: one time-stamped line per message in "log.txt" of the
// program folder, flushed after every line so it survives a crash.
#pragma once

#include <filesystem>

namespace rovana {

// Opens (truncating) the log file; a file that cannot be opened makes log
// lines vanish silently.
void OpenLog(const std::filesystem::path& file);
void CloseLog();

// printf-style; the message is cut after 1024 characters (bytes). Writes
// "HH:MM:SS: message\n" with the local time. A message that cannot be
// formatted is logged as "message could not be formatted: <format>". Safe
// from any thread: each call writes one whole line.
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace rovana
