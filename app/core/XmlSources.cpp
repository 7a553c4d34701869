// Where an XmlReader's bytes come from: a regular file, or bytes in memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/core/Log.h"
#include "app/core/XmlReader.h"

namespace rovana {

XmlSource::XmlSource(std::filesystem::path folder, std::string name)
    : folder_(std::move(folder)), name_(std::move(name)) {}

XmlFileSource::XmlFileSource(std::filesystem::path folder, std::string name)
    : XmlSource(std::move(folder), std::move(name)) {}

XmlFileSource::~XmlFileSource() { Close(); }

bool XmlFileSource::Open() {
  Close();
  SetError({});
  // Only regular files: a FIFO would block and a device could stream forever.
  // O_NONBLOCK keeps the open itself from waiting on a FIFO.
  const int fd = ::open(path().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    SetError(std::strerror(errno));
    LogMessage("Error opening file %s: %s", path().c_str(), error().c_str());
    return false;
  }
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    SetError("not a regular file");
    LogMessage("Error opening file %s: not a regular file", path().c_str());
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file_ = ::fdopen(fd, "rb");
  if (!file_) {
    SetError(std::strerror(errno));
    LogMessage("Error opening file %s: %s", path().c_str(), std::strerror(errno));
    ::close(fd);
  }
  return file_ != nullptr;
}

long XmlFileSource::Read(void* buffer, std::size_t size) {
  if (!file_) return -1;
  const std::size_t got = std::fread(buffer, 1, size, file_);
  if (got == 0 && std::ferror(file_)) return -1;
  return static_cast<long>(got);
}

void XmlFileSource::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

XmlMemorySource::XmlMemorySource(std::string bytes, std::string name)
    : XmlSource({}, std::move(name)), bytes_(std::move(bytes)) {}

bool XmlMemorySource::Open() {
  position_ = 0;
  return true;
}

long XmlMemorySource::Read(void* buffer, std::size_t size) {
  const std::size_t count = std::min(size, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, count);
  position_ += count;
  return static_cast<long>(count);
}

}  // namespace rovana
