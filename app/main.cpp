// rovana: the Rovana program.
//
//   rovana [--home DIR] [--gps SOURCE] [--screen WxH] [--screenshot FILE] [--quit-after MS] [--help]
//
// Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) the program runs
// on Qt's offscreen platform, so a screenshot run works on any machine.
#include <QApplication>
#include <QFont>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/core/ProgramFolders.h"
#include "app/ui/Application.h"

namespace {

constexpr const char* kUsage =
    "usage: rovana [--home DIR] [--gps SOURCE] [--screen WxH] [--screenshot FILE] [--quit-after MS]\n"
    "  --home DIR         program folder (settings.xml, log.txt, data/); else $ROVANA_HOME,\n"
    "                     else $XDG_DATA_HOME/rovana (~/.local/share/rovana)\n"
    "  --gps SOURCE       GPS source, kept in the settings: COMn: (a serial port of the port\n"
    "                     table), GPDn: (gpsd), or an NMEA log file to replay (.pgl)\n"
    "  --screen WxH       size of the simulated screen in pixels (default 480x640)\n"
    "  --screenshot FILE  save the main screen as PNG when --quit-after elapses and print its path\n"
    "  --quit-after MS    quit through the normal shutdown after MS milliseconds, answering OK\n"
    "  --help             this text\n";

// "WxH" with both sides from 1 to 10000 pixels.
bool ParseScreen(std::string_view text, int* width, int* height) {
  int w = 0, h = 0;
  char x = 0, rest = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X')) return false;
  if (w < 1 || h < 1 || w > 10000 || h > 10000) return false;
  *width = w;
  *height = h;
  return true;
}

bool ParseMs(const char* text, int* ms) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (!end || *end || end == text || value < 0 || value > 24L * 3600 * 1000) return false;
  *ms = static_cast<int>(value);
  return true;
}

// A device name as it is; a log file as an absolute path, so that the
// setting still names it when Rovana starts from another folder. Empty for a
// file that does not exist.
std::string GpsSource(const char* text) {
  const std::string_view name = text;
  if (name.empty()) return {};
  if (name.back() == ':' && (name.starts_with("COM") || name.starts_with("GPD"))) return std::string(name);
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(std::filesystem::path(name), ec);
  if (ec || !std::filesystem::is_regular_file(file, ec)) return {};
  return file.lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
  rovana::ui::StartOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--home" && hasValue) {
      ++i;  // ResolveProgramFolders reads it
    } else if (arg.starts_with("--home=")) {
    } else if (arg == "--gps" && hasValue) {
      options.gpsName = GpsSource(argv[++i]);
      if (options.gpsName.empty()) {
        std::fprintf(stderr, "rovana: --gps wants COMn:, GPDn: or an existing log file\n");
        return 2;
      }
    } else if (arg == "--screen" && hasValue) {
      if (!ParseScreen(argv[++i], &options.width, &options.height)) {
        std::fprintf(stderr, "rovana: --screen wants WxH, for example 480x640\n");
        return 2;
      }
    } else if (arg == "--screenshot" && hasValue) {
      options.screenshot = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--quit-after" && hasValue) {
      if (!ParseMs(argv[++i], &options.quitAfterMs)) {
        std::fprintf(stderr, "rovana: --quit-after wants milliseconds\n");
        return 2;
      }
    } else {
      std::fprintf(stderr, "rovana: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (!options.screenshot.isEmpty() && options.quitAfterMs < 0) options.quitAfterMs = 3000;

  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((!display || !*display) && (!wayland || !*wayland) && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

  options.folders = rovana::ResolveProgramFolders(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Rovana");
  QApplication::setFont(QFont("Arial"));
  rovana::ui::Application rovanaApp(std::move(options));
  return rovanaApp.Run();
}
