#include "tools/zenolith/Input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <streambuf>

namespace zenolith::tools {

// A read-only stream buffer over a file descriptor that keeps the errno of a
// failed read, which std::ifstream would turn into a plain end of file.
class InputFile::Buffer final : public std::streambuf {
 public:
  Buffer(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~Buffer() override {
    if (owned_ && fd_ >= 0) ::close(fd_);
  }
  int error() const { return error_; }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (error_ || fd_ < 0) return traits_type::eof();
    for (;;) {
      const ssize_t n = ::read(fd_, data_, sizeof data_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error_ = errno;
      if (n <= 0) return traits_type::eof();
      setg(data_, data_, data_ + n);
      return traits_type::to_int_type(*gptr());
    }
  }

 private:
  int fd_;
  bool owned_;
  int error_ = 0;
  char data_[64 * 1024];
};

InputFile::InputFile(const std::string& path) : stream_(nullptr) {
  const bool standard = path.empty() || path == "-";
  name_ = standard ? "standard input" : path;
  int fd = STDIN_FILENO;
  if (!standard) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) openError_ = errno;
  }
  struct stat info {};
  if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    openError_ = EISDIR;
    if (!standard) ::close(fd);
    fd = -1;
  }
  buffer_ = std::make_unique<Buffer>(openError_ ? -1 : fd, !standard);
  stream_.rdbuf(buffer_.get());
}

InputFile::~InputFile() = default;

bool InputFile::ok() const { return openError_ == 0 && buffer_->error() == 0; }

std::string InputFile::error() const {
  const int code = openError_ ? openError_ : buffer_->error();
  return code ? name_ + ": " + std::strerror(code) : std::string();
}

}  // namespace zenolith::tools
