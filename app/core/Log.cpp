#include "app/core/Log.h"

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace rovana {
namespace {

// The longest message kept whole; the buffer holds it and its terminating zero.
constexpr std::size_t kMessageLimit = 1024;

// A cut through a UTF-8 sequence would leave a broken character at the end
// of the line: drop its bytes.
void TrimPartialCharacter(char* text, std::size_t length) {
  std::size_t start = length;
  while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
  if (start == 0) return;
  const auto lead = static_cast<unsigned char>(text[start - 1]);
  const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (lead >= 0xC0 && length - (start - 1) < need) text[start - 1] = '\0';
}

std::mutex g_mutex;  // keeps two threads' lines from interleaving
std::FILE* g_file = nullptr;
std::string g_problem;  // why the last open failed

}  // namespace

bool OpenLog(const std::filesystem::path& file) {
  std::lock_guard lock(g_mutex);
  if (g_file) std::fclose(g_file);
  g_file = std::fopen(file.c_str(), "w");
  if (g_file) {
    g_problem.clear();
    return true;
  }
  // Without a log nothing else would say why: one line where a user or a
  // service manager still sees it.
  g_problem = file.string() + ": " + std::strerror(errno);
  std::fprintf(stderr, "rovana: cannot open the log %s; messages are not logged\n", g_problem.c_str());
  std::fflush(stderr);
  return false;
}

std::string LogProblem() {
  std::lock_guard lock(g_mutex);
  return g_problem;
}

void CloseLog() {
  std::lock_guard lock(g_mutex);
  if (g_file) std::fclose(g_file);
  g_file = nullptr;
}

void LogMessage(const char* format, ...) {
  char message[kMessageLimit + 1];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(message, sizeof message, format, args);  // longer messages are cut
  va_end(args);
  // A failed conversion (a wide string with no multibyte form) leaves the
  // buffer unspecified; the format still tells which message it was.
  if (length < 0) std::snprintf(message, sizeof message, "message could not be formatted: %s", format);
  if (length >= static_cast<int>(sizeof message)) TrimPartialCharacter(message, sizeof message - 1);

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char time[21];
  std::strftime(time, sizeof time, "%H:%M:%S", &local);

  std::lock_guard lock(g_mutex);
  if (!g_file) return;
  std::fprintf(g_file, "%s: %s\n", time, message);
  std::fflush(g_file);
}

}  // namespace rovana
