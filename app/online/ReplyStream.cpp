#include "app/online/ReplyStream.h"

#include <cerrno>
#include <cstring>

#include "app/core/Log.h"

namespace rovana {

bool IsBareName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

FileReplyStream::FileReplyStream(std::filesystem::path folder, std::string name)
    : folder_(std::move(folder)), name_(std::move(name)) {}

FileReplyStream::~FileReplyStream() { Close(); }

bool FileReplyStream::Open() {
  Close();
  if (!IsBareName(name_)) {
    LogMessage("Not a file name: %s", name_.c_str());
    return false;
  }
  file_ = std::fopen(path().c_str(), "rb");
  if (!file_) {
    LogMessage("Cannot open %s: %s", path().c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

void FileReplyStream::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

StreamRead FileReplyStream::Read(char* buffer, std::size_t length) {
  if (!file_) return {false, 0};
  if (length == 0) return {true, 0};
  const std::size_t n = std::fread(buffer, 1, length, file_);
  if (n == 0 && std::ferror(file_)) {
    LogMessage("Cannot read %s: %s", path().c_str(), std::strerror(errno));
    Close();
    return {false, 0};
  }
  return {true, n};
}

}  // namespace rovana
