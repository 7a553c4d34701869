// Saving a reply to a file without ever leaving a half-written one: the bytes
// go to a temporary file beside the target ("<name>.part-XXXXXX"), which is
// flushed, synced and renamed over the target only when the whole reply came
// in. On any failure the temporary file is removed and an existing target
// stays as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/online/ReplyStream.h"

namespace rovana {

enum class SaveReason {
  kSaved = 0,
  kCannotCreate = 1,  // the temporary file could not be made (folder missing or read-only)
  kNoMemory = 2,      // no memory for the copy buffer
  kCannotOpen = 3,    // the stream did not open
  kWriteFailed = 4,   // a write, the flush, the sync, the close or the rename failed
  kTooLarge = 5,      // the reply is larger than the cap
  kReadFailed = 6,    // the stream failed before its end (broken off, refused)
};

struct SaveResult {
  bool ok = false;
  SaveReason reason = SaveReason::kSaved;
  std::uint64_t bytes = 0;  // bytes written
  std::string why;          // for the log and the user; empty when saved
};

inline constexpr std::uint64_t kDefaultSaveCap = 16ull * 1024 * 1024;
inline constexpr std::size_t kSavePiece = 2047;  // bytes per read

// Opens `stream`, copies it into `file` (at most `cap` bytes) and closes it.
// Failures are logged with the file and the reason.
SaveResult SaveToFile(ReplyStream& stream, const std::filesystem::path& file, std::uint64_t cap = kDefaultSaveCap);

}  // namespace rovana
