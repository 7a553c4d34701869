// The calibration file of a MapImage: reading, writing, deleting, and the
// check for a file that another picture pairs with.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/maps/MapCatalogue.h"
#include "app/maps/MapImage.h"

namespace rovana::maps {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxCalibrationBytes = 64 * 1024;  // a real file has nine short lines
constexpr double kDegrees = 180.0 / kPi;
constexpr double kMaxInteger = 1e9;  // integer keys beyond this are no numbers we use

// The values one file gave; absent keys stay empty.
struct CalibrationValues {
  std::optional<double> width, height, ref1x, ref1y, lat1, lon1, ref2x, ref2y, lat2, lon2, widthM, grid;
};

struct KeyRow {
  std::string_view key;
  std::optional<double> CalibrationValues::*field;
};

constexpr KeyRow kKeys[] = {
    {"width", &CalibrationValues::width},   {"height", &CalibrationValues::height},
    {"ref1x", &CalibrationValues::ref1x},   {"ref1y", &CalibrationValues::ref1y},
    {"lat1", &CalibrationValues::lat1},     {"lat", &CalibrationValues::lat1},
    {"lon1", &CalibrationValues::lon1},     {"lon", &CalibrationValues::lon1},
    {"ref2x", &CalibrationValues::ref2x},   {"ref2y", &CalibrationValues::ref2y},
    {"lat2", &CalibrationValues::lat2},     {"lon2", &CalibrationValues::lon2},
    {"widthM", &CalibrationValues::widthM}, {"grid", &CalibrationValues::grid},
};

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void SkipSpace(std::string_view& text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
}

// "key = number": the key is the first run of non-blank characters, the
// number is read in the C locale and must be finite. Anything after the
// number is ignored.
struct KeyValue {
  std::string key;
  double value = 0;
};
std::optional<KeyValue> ParseLine(std::string_view line) {
  SkipSpace(line);
  std::size_t end = 0;
  while (end < line.size() && !IsSpace(line[end])) ++end;
  if (end == 0) return std::nullopt;
  KeyValue result{std::string(line.substr(0, end)), 0};
  line.remove_prefix(end);
  SkipSpace(line);
  if (line.empty() || line.front() != '=') return std::nullopt;
  line.remove_prefix(1);
  SkipSpace(line);
  if (!line.empty() && line.front() == '+') line.remove_prefix(1);
  auto [next, error] = std::from_chars(line.data(), line.data() + line.size(), result.value);
  if (error != std::errc() || next == line.data() || !std::isfinite(result.value)) return std::nullopt;
  return result;
}

std::optional<int> Integer(const std::optional<double>& value) {
  if (!value || std::fabs(*value) > kMaxInteger) return std::nullopt;
  return static_cast<int>(std::trunc(*value));
}

void AppendNumber(std::string& out, double value, int decimals) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (error == std::errc()) out.append(buffer, end);
  else out += "0";
}

void AppendLine(std::string& out, const char* key, double value, int decimals) {
  out += key;
  AppendNumber(out, value, decimals);
  out += '\n';
}

int Truncated(double value) {
  if (!std::isfinite(value) || std::fabs(value) > kMaxInteger) return 0;
  return static_cast<int>(std::trunc(value));
}

// Replaces `path` by `text` through a temporary file that is flushed before
// the rename, so a failure keeps the old file whole.
bool ReplaceFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".temp";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t written = 0;
  while (written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  bool ok = written == text.size() && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace

void MapImage::LoadCalibration() {
  std::error_code error;
  const std::string path = calibrationPath();
  if (!fs::is_regular_file(path, error)) return;  // no file: uncalibrated, nothing to say
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  CalibrationValues values;
  std::string line;
  std::size_t bytes = 0;
  while (std::getline(in, line)) {
    bytes += line.size() + 1;
    if (bytes > kMaxCalibrationBytes) {
      LogMessage("MapImage: %s is larger than %zu bytes; the rest is ignored", path.c_str(), kMaxCalibrationBytes);
      break;
    }
    std::optional<KeyValue> pair = ParseLine(line);
    if (!pair) continue;
    for (const KeyRow& row : kKeys)
      if (row.key == pair->key) values.*row.field = pair->value;
  }
  std::optional<int> width = Integer(values.width), height = Integer(values.height);
  if (!width || !height) return;
  if (*width <= 0 || *height <= 0 || *width > kMaxMapSide || *height > kMaxMapSide) {
    LogMessage("MapImage: %s: a picture of %d x %d pixels cannot be calibrated", path.c_str(), *width, *height);
    return;
  }
  width_ = *width;
  height_ = *height;
  if (std::optional<int> grid = Integer(values.grid); grid && env_.grids.HasGrid(*grid)) grid_ = *grid;
  auto latitude = [](const std::optional<double>& v) { return v && std::fabs(*v) <= 90.0; };
  if (latitude(values.lat1) && values.lon1 && values.widthM) {
    Calibrate1Point(Integer(values.ref1x).value_or(0), Integer(values.ref1y).value_or(0), *values.lon1 / kDegrees,
                    *values.lat1 / kDegrees, *values.widthM, grid_, false);
  } else if (Integer(values.ref1x) && Integer(values.ref1y) && latitude(values.lat1) && values.lon1 &&
             Integer(values.ref2x) && Integer(values.ref2y) && latitude(values.lat2) && values.lon2) {
    loadingFile_ = true;
    Calibrate2Point({double(*Integer(values.ref1x)), double(*Integer(values.ref1y))},
                    {*values.lon1 / kDegrees, *values.lat1 / kDegrees},
                    {double(*Integer(values.ref2x)), double(*Integer(values.ref2y))},
                    {*values.lon2 / kDegrees, *values.lat2 / kDegrees}, grid_);
    loadingFile_ = false;
  }
}

std::string CalibrationText(const MapImage& map) {
  if (!map.calibrated()) return {};
  std::string out;
  out += "width  = " + std::to_string(map.width()) + "\n";
  out += "height = " + std::to_string(map.height()) + "\n";
  out += "grid   = " + std::to_string(map.grid()) + "\n";
  out += "ref1x  = " + std::to_string(Truncated(map.reference1Pixel().x)) + "\n";
  out += "ref1y  = " + std::to_string(Truncated(map.reference1Pixel().y)) + "\n";
  AppendLine(out, "lat1   = ", map.reference1Position().y * kDegrees, 8);
  AppendLine(out, "lon1   = ", map.reference1Position().x * kDegrees, 8);
  if (map.method() == CalibrationMethod::OnePoint) {
    AppendLine(out, "widthM = ", map.widthM(), 2);
  } else {
    out += "ref2x  = " + std::to_string(Truncated(map.reference2Pixel().x)) + "\n";
    out += "ref2y  = " + std::to_string(Truncated(map.reference2Pixel().y)) + "\n";
    AppendLine(out, "lat2   = ", map.reference2Position().y * kDegrees, 8);
    AppendLine(out, "lon2   = ", map.reference2Position().x * kDegrees, 8);
  }
  return out;
}

std::string MapImage::SharingPicture() const {
  std::error_code error;
  for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
    const std::string other = it->path().filename().string();
    if (other == name_ || other.size() < 3 || !IsMapFileName(other)) continue;
    if (other.substr(0, other.size() - 3) + "txt" == calibrationName_) return other;
  }
  return {};
}

bool MapImage::MayReplaceFile(bool quiet) const {
  std::error_code error;
  if (!fs::exists(calibrationPath(), error)) return true;
  const std::string other = SharingPicture();
  if (other.empty()) return true;
  LogMessage("MapImage: %s is also the calibration of %s", calibrationName_.c_str(), other.c_str());
  if (quiet) {
    LogMessage("MapImage: %s left as it is while loading %s", calibrationName_.c_str(), name_.c_str());
    return false;
  }
  if (env_.overwrite && !env_.overwrite(*this, other)) {
    LogMessage("MapImage: %s kept for %s", calibrationName_.c_str(), other.c_str());
    return false;
  }
  return true;
}

void MapImage::WriteCalibration(bool quiet) {
  const std::string path = calibrationPath();
  if (!MayReplaceFile(quiet)) return;
  if (!calibrated_) {
    std::error_code error;
    if (!fs::remove(path, error) && error)
      LogMessage("MapImage: cannot delete %s: %s", path.c_str(), error.message().c_str());
    return;
  }
  if (!ReplaceFile(path, CalibrationText(*this)))
    LogMessage("MapImage: cannot write %s: %s", path.c_str(), std::strerror(errno));
}

}  // namespace rovana::maps
