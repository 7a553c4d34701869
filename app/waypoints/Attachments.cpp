// Audio note files of points: names, the bare-name guard and moves that
// never replace a file.
#include "app/waypoints/Attachments.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "app/core/Log.h"
#include "app/core/Utilities.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

namespace fs = std::filesystem;

namespace {


// rename(2) that fails with EEXIST instead of replacing; on file systems
// without renameat2 a hard link followed by an unlink does the same.
int RenameNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

fs::path TemporaryRecordingPath(const fs::path& primaryDataPath) {
  return primaryDataPath / std::string(kTemporaryRecordingName);
}

std::string AudioNoteName(std::int32_t secondsOfDay) { return AudioNoteName(secondsOfDay, 1); }

std::string AudioNoteName(std::int32_t secondsOfDay, int n) {
  std::int32_t t = secondsOfDay % kSecondsPerDay;
  if (t < 0) t += kSecondsPerDay;
  std::string name = "audio_" + FormatSecondsOfDay(t, '_');
  if (n >= 2) name += "-" + std::to_string(n);
  return name + ".wav";
}

bool IsBareFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::optional<fs::path> AttachmentPath(const fs::path& folder, std::string_view wav) {
  if (wav.empty()) return std::nullopt;
  if (!IsBareFileName(wav)) {
    LogMessage("Audio note \"%.*s\" is no bare file name: ignored", static_cast<int>(wav.size()), wav.data());
    return std::nullopt;
  }
  return folder / fs::path(std::string(wav));
}

bool EnsureAttachmentFolder(const fs::path& folder) {
  std::error_code error;
  if (fs::is_directory(folder, error)) return true;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder, error)) {
    LogMessage("CreateDirectory(%s): ERROR %d", folder.c_str(), error.value());
    return false;
  }
  return true;
}

bool MoveFileNoReplace(const fs::path& from, const fs::path& to) {
  const int error = RenameNoReplace(from, to);
  if (error == 0) return true;
  if (error != EXDEV) {
    if (error != EEXIST) LogMessage("Cannot move %s to %s: %s", from.c_str(), to.c_str(), std::strerror(error));
    return false;
  }
  // Another file system: copy (refused when `to` exists), then remove.
  std::error_code ec;
  if (!fs::copy_file(from, to, fs::copy_options::none, ec)) {
    if (ec != std::errc::file_exists)
      LogMessage("Cannot copy %s to %s: %s", from.c_str(), to.c_str(), ec.message().c_str());
    return false;
  }
  if (!fs::remove(from, ec)) LogMessage("Cannot remove %s after copying it: %s", from.c_str(), ec.message().c_str());
  return true;
}

std::optional<std::string> StoreAudioNote(const fs::path& file, const fs::path& folder, std::int32_t secondsOfDay) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) {
    LogMessage("Audio note %s is missing: nothing stored", file.c_str());
    return std::nullopt;
  }
  if (!EnsureAttachmentFolder(folder)) return std::nullopt;
  for (int n = 1; n <= kMaxNoteSuffix; ++n) {
    const std::string name = AudioNoteName(secondsOfDay, n);
    const fs::path target = folder / name;
    if (fs::exists(target, error)) continue;
    if (MoveFileNoReplace(file, target)) return name;
    // Taken between the test and the move: the next name. Anything else
    // will not get better with another name.
    if (!fs::exists(target, error)) return std::nullopt;
  }
  LogMessage("No free audio note name for %s in %s", AudioNoteName(secondsOfDay).c_str(), folder.c_str());
  return std::nullopt;
}

bool MoveAudioNote(GeoPoint& point, const fs::path& from, const fs::path& to) {
  const std::string wav = point.text(PointText::Wav);
  const std::optional<fs::path> source = AttachmentPath(from, wav);
  if (!source) return true;
  std::error_code error, error2;
  const fs::path fromFolder = fs::weakly_canonical(from, error), toFolder = fs::weakly_canonical(to, error2);
  if (!error && !error2 && fromFolder == toFolder) return true;
  if (!fs::is_regular_file(*source, error)) {
    LogMessage("Audio note %s is missing: not moved", source->c_str());
    return true;
  }
  if (!EnsureAttachmentFolder(to)) return false;
  // Keep the note's own name where it is free, else number it like a new one.
  if (!fs::exists(to / wav, error) && MoveFileNoReplace(*source, to / wav)) return true;
  // "audio_10_00_00-2.wav" is numbered again from "audio_10_00_00".
  std::string stem = fs::path(wav).stem().string();
  const std::string extension = fs::path(wav).extension().string();
  if (const std::size_t dash = stem.rfind('-');
      dash != std::string::npos && dash + 1 < stem.size() &&
      stem.find_first_not_of("0123456789", dash + 1) == std::string::npos)
    stem.erase(dash);
  for (int n = 2; n <= kMaxNoteSuffix; ++n) {
    const std::string name = stem + "-" + std::to_string(n) + extension;
    if (fs::exists(to / name, error)) continue;
    if (MoveFileNoReplace(*source, to / name)) {
      point.setText(PointText::Wav, name);
      return true;
    }
    if (!fs::exists(to / name, error)) break;
  }
  LogMessage("Audio note %s could not be moved to %s", source->c_str(), to.c_str());
  return false;
}

bool PrepareTemporaryNote(const GeoPoint& point, const fs::path& folder, const fs::path& temporary) {
  std::error_code error;
  const std::optional<fs::path> note = AttachmentPath(folder, point.text(PointText::Wav));
  if (note && fs::is_regular_file(*note, error)) {
    if (fs::copy_file(*note, temporary, fs::copy_options::overwrite_existing, error)) return true;
    LogMessage("Cannot copy %s to %s: %s", note->c_str(), temporary.c_str(), error.message().c_str());
  }
  fs::remove(temporary, error);
  if (error) LogMessage("Cannot delete %s: %s", temporary.c_str(), error.message().c_str());
  return false;
}

}  // namespace rovana
