#include "app/online/SaveToFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "app/core/Log.h"

namespace rovana {
namespace {

SaveResult Failed(SaveReason reason, std::string why, const std::filesystem::path& file) {
  LogMessage("Cannot save %s: %s", file.c_str(), why.c_str());
  return SaveResult{false, reason, 0, std::move(why)};
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Removes the temporary file and closes the stream on every way out.
struct Cleanup {
  ReplyStream& stream;
  std::string temporary;
  int fd = -1;
  ~Cleanup() {
    if (fd >= 0) ::close(fd);
    if (!temporary.empty()) ::unlink(temporary.c_str());
    stream.Close();
  }
};

}  // namespace

SaveResult SaveToFile(ReplyStream& stream, const std::filesystem::path& file, std::uint64_t cap) {
  Cleanup cleanup{stream, {}};
  std::string pattern = file.string() + ".part-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0)
    return Failed(SaveReason::kCannotCreate, std::string("cannot create a file there: ") + std::strerror(errno), file);
  cleanup.fd = fd;
  cleanup.temporary = pattern;
  ::fchmod(fd, 0644);  // mkostemp makes it 0600; a cached reply is not secret

  std::unique_ptr<char[]> piece(new (std::nothrow) char[kSavePiece]);
  if (!piece) return Failed(SaveReason::kNoMemory, "no memory", file);
  if (!stream.Open()) return Failed(SaveReason::kCannotOpen, "the reply could not be opened", file);

  std::uint64_t written = 0;
  for (;;) {
    const StreamRead r = stream.Read(piece.get(), kSavePiece);
    if (!r.ok)
      return Failed(SaveReason::kReadFailed, "the reply broke off after " + std::to_string(written) + " bytes", file);
    if (r.bytes == 0) break;
    if (written + r.bytes > cap)
      return Failed(SaveReason::kTooLarge, "the reply is larger than " + std::to_string(cap) + " bytes", file);
    if (!WriteAll(fd, piece.get(), r.bytes))
      return Failed(SaveReason::kWriteFailed, std::string("write failed: ") + std::strerror(errno), file);
    written += r.bytes;
  }
  if (::fsync(fd) != 0)
    return Failed(SaveReason::kWriteFailed, std::string("sync failed: ") + std::strerror(errno), file);
  cleanup.fd = -1;
  if (::close(fd) != 0)
    return Failed(SaveReason::kWriteFailed, std::string("close failed: ") + std::strerror(errno), file);
  if (::rename(pattern.c_str(), file.c_str()) != 0)
    return Failed(SaveReason::kWriteFailed, std::string("cannot replace the file: ") + std::strerror(errno), file);
  cleanup.temporary.clear();
  SyncFolder(file.parent_path());
  return SaveResult{true, SaveReason::kSaved, written, {}};
}

}  // namespace rovana
