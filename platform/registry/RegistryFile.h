// The registry file on disk: reading it whole, replacing it atomically, the
// advisory lock beside it and the clean-up of temporary files that killed
// writers left. Internal to the registry library.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/registry/Registry.h"

namespace registry::detail {

Status Io(int error, std::string message);
// "<what> <path>: <system text for error>".
Status IoErrno(int error, const std::string& what, const std::filesystem::path& path);
std::string ErrnoText(int error);

std::filesystem::path FolderOf(const std::filesystem::path& file);  // "." for a bare name
std::filesystem::path LockPathOf(const std::filesystem::path& file);  // "<file>.lock"

// An flock held on "<file>.lock" for the life of the object; closing the
// descriptor releases it. A separate lock file is needed because the registry
// file itself is replaced by rename, so a lock on it would guard a file that
// no longer has the name.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // Returns 0 or the errno of the failing open or flock.
  int Acquire(const std::filesystem::path& path, int operation, bool create);

 private:
  int fd_ = -1;
};

struct FileState {
  bool exists = false;
  mode_t mode = 0600;
};

// Reads the whole registry file, refusing anything but a regular file of at
// most kMaxFileBytes. A missing file is Ok with state->exists false.
Status ReadWholeFile(const std::filesystem::path& path, std::string* text, FileState* state);

// Replaces the file with text so that a crash at any point leaves either the
// old or the new file: a temporary file "<name>.tmp.<pid>.<16 hex digits>"
// beside it, fsync, rename over. Call only under the exclusive lock.
Status ReplaceFile(const std::filesystem::path& path, std::string_view text, const FileState& old);

// Removes the temporary files of writers that died between creating and
// renaming theirs. Only under the exclusive lock: every live writer holds it
// while its temporary file exists, so whatever matches then is stale.
// Returns how many were removed; failures are ignored (the next writer tries
// again).
int RemoveStaleTemporaryFiles(const std::filesystem::path& path);

// Whether `name` is a temporary file name ReplaceFile uses for `file`.
bool IsTemporaryNameOf(std::string_view name, const std::filesystem::path& file);

}  // namespace registry::detail
