// The stream every reply reader takes: a reply from the network
// (HttpRequest) or a cached reply in a local file (FileReplyStream), so the
// same scanner and savers handle both.
//
// Use: Open(), then Read() until it gives 0 bytes (the end) or fails, then
// Close() (the destructor closes too).
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>

namespace rovana {

struct StreamRead {
  bool ok = false;         // false: the stream failed (or was never opened)
  std::size_t bytes = 0;   // 0 with ok: the end
};

class ReplyStream {
 public:
  virtual ~ReplyStream() = default;
  // True when the stream is ready to be read.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  // Up to `length` bytes into `buffer`; waits for them on the network.
  virtual StreamRead Read(char* buffer, std::size_t length) = 0;
};

// The file "folder/name". `name` must be a bare name: one with "/" or that is
// "." or ".." (as a server could send) does not open.
class FileReplyStream final : public ReplyStream {
 public:
  FileReplyStream(std::filesystem::path folder, std::string name);
  ~FileReplyStream() override;
  FileReplyStream(const FileReplyStream&) = delete;
  FileReplyStream& operator=(const FileReplyStream&) = delete;

  bool Open() override;  // false (and logged) when the name is not bare or the file cannot be opened
  void Close() override;
  StreamRead Read(char* buffer, std::size_t length) override;

  std::filesystem::path path() const { return folder_ / name_; }

 private:
  std::filesystem::path folder_;
  std::string name_;
  std::FILE* file_ = nullptr;
};

// A bare file name: not empty, no "/" and no NUL, not "." or "..".
bool IsBareName(const std::string& name);

}  // namespace rovana
