#include "app/core/Log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace rovana {
namespace {

std::mutex g_mutex;  // keeps two threads' lines from interleaving
std::FILE* g_file = nullptr;

}  // namespace

void OpenLog(const std::filesystem::path& file) {
  std::lock_guard lock(g_mutex);
  if (g_file) std::fclose(g_file);
  g_file = std::fopen(file.c_str(), "w");
}

void CloseLog() {
  std::lock_guard lock(g_mutex);
  if (g_file) std::fclose(g_file);
  g_file = nullptr;
}

void LogMessage(const char* format, ...) {
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);  // longer messages are cut
  va_end(args);

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
