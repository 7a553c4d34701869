#include "platform/registry/RegistryFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#include "platform/registry/RegistryTree.h"

namespace registry::detail {
namespace {

constexpr std::string_view kTempMarker = ".tmp.";
constexpr int kTempHexDigits = 16;

std::string TempName(const std::filesystem::path& file) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t mix = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  mix ^= (counter.fetch_add(1) + 1) * 0x9E3779B97F4A7C15ull;
  mix ^= static_cast<std::uint64_t>(std::hash<std::thread::id>{}(std::this_thread::get_id())) << 1;
  char hex[kTempHexDigits + 1];
  for (int i = kTempHexDigits - 1; i >= 0; --i, mix >>= 4) hex[i] = "0123456789abcdef"[mix & 15];
  hex[kTempHexDigits] = '\0';
  return file.filename().string() + std::string(kTempMarker) + std::to_string(::getpid()) + "." + hex;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

Status Io(int error, std::string message) { return Status{StatusCode::IoError, error, std::move(message)}; }

std::string ErrnoText(int error) { return std::error_code(error, std::generic_category()).message(); }

Status IoErrno(int error, const std::string& what, const std::filesystem::path& path) {
  return Io(error, what + " " + path.string() + ": " + ErrnoText(error));
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  std::filesystem::path folder = file.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

std::filesystem::path LockPathOf(const std::filesystem::path& file) {
  std::filesystem::path lock = file;
  lock += ".lock";
  return lock;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

int FileLock::Acquire(const std::filesystem::path& path, int operation, bool create) {
  // O_NONBLOCK only guards the open against a FIFO in the lock's place;
  // flock itself still waits.
  const int flags = (create ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  do {
    fd_ = ::open(path.c_str(), flags, 0600);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) return errno;
  int rc;
  do {
    rc = ::flock(fd_, operation);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? 0 : errno;
}


// Reads the whole registry file, refusing anything but a regular file of at
// most kMaxFileBytes. O_NONBLOCK keeps a FIFO put in the file's place from
// hanging the open; it has no effect on regular files.
Status ReadWholeFile(const std::filesystem::path& path, std::string* text, FileState* state) {
  text->clear();
  *state = FileState{};
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOENT) return {};
    return IoErrno(errno, "cannot open registry", path);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  struct stat st {};
  if (::fstat(fd, &st) != 0) return IoErrno(errno, "cannot stat registry", path);
  if (!S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return Io(error, "registry " + path.string() + " is not a regular file");
  }
  const auto tooBig = [&] {
    return Io(EFBIG, "registry " + path.string() + " is larger than " + std::to_string(detail::kMaxFileBytes >> 20) +
                         " MiB; refusing to read it");
  };
  if (static_cast<std::uintmax_t>(st.st_size) > detail::kMaxFileBytes) return tooBig();

  // Read until end of file rather than trusting st_size: a hand edit in
  // progress may grow the file, and the limit must hold regardless.
  text->resize(static_cast<std::size_t>(st.st_size) + 4096);
  std::size_t used = 0;
  while (true) {
    if (used == text->size()) {
      if (used > detail::kMaxFileBytes) return tooBig();
      text->resize(std::min(text->size() * 2, detail::kMaxFileBytes + 1));
    }
    const ssize_t n = ::read(fd, text->data() + used, text->size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      return IoErrno(errno, "cannot read registry", path);
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > detail::kMaxFileBytes) return tooBig();
  text->resize(used);
  state->exists = true;
  state->mode = st.st_mode & 07777;
  return {};
}

// Replaces the file with text so that a crash at any point leaves either the
// old or the new file: write a temporary file beside it, fsync, rename over.
Status ReplaceFile(const std::filesystem::path& path, std::string_view text, const FileState& old) {
  const std::filesystem::path folder = FolderOf(path);
  std::filesystem::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = folder / TempName(path);
    do {
      fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return IoErrno(errno, "cannot create temporary file", temp);

  const auto fail = [&](const char* what) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    return IoErrno(error, what, temp);
  };
  // Keep a mode the user chose for an existing file; new files stay private.
  if (old.exists && old.mode != 0600) (void)::fchmod(fd, old.mode);
  if (!WriteAll(fd, text)) return fail("cannot write");
  if (::fsync(fd) != 0) return fail("cannot flush");
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return fail("cannot close");
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return Io(error, "cannot rename " + temp.string() + " to " + path.string() + ": " + ErrnoText(error));
  }
  // Make the rename itself durable. The new registry is already in place and
  // visible, so a failure here (some file systems refuse to fsync folders)
  // is not reported as a failed change.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}

bool IsTemporaryNameOf(std::string_view name, const std::filesystem::path& file) {
  const std::string prefix = file.filename().string() + std::string(kTempMarker);
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
  // "<pid>.<16 hex digits>" exactly, so that no other file that merely starts
  // like one (another registry called "registry.tmp.1", say) is ever taken.
  std::string_view rest = name.substr(prefix.size());
  const std::size_t dot = rest.find('.');
  if (dot == 0 || dot == std::string_view::npos) return false;
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  const auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  const std::string_view pid = rest.substr(0, dot), hex = rest.substr(dot + 1);
  return std::all_of(pid.begin(), pid.end(), isDigit) && hex.size() == static_cast<std::size_t>(kTempHexDigits) &&
         std::all_of(hex.begin(), hex.end(), isHex);
}

int RemoveStaleTemporaryFiles(const std::filesystem::path& path) {
  const std::filesystem::path folder = FolderOf(path);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryNameOf(entry->d_name, path)) continue;
    // unlink never follows a symbolic link and refuses folders.
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace registry::detail
