// The input of a command: a named file or standard input, read through its
// file descriptor so that a folder, a file that cannot be opened and a read
// error are reported instead of reading as an empty input.
#pragma once

#include <istream>
#include <memory>
#include <string>

namespace zenolith::tools {

class InputFile {
 public:
  // `path` empty or "-" is standard input. A folder is refused at once (as
  // "Is a directory"); an open failure is kept for error().
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opened, and no read has failed so far.
  bool ok() const;
  // Reads end (as at the end of the file) after a failure.
  std::istream& stream() { return stream_; }
  // "NAME: REASON" after a failure (NAME as given, "standard input" for
  // standard input; REASON from strerror), else empty. Raw: quote it through
  // Printable.
  std::string error() const;

 private:
  class Buffer;
  std::string name_;
  int openError_ = 0;
  std::unique_ptr<Buffer> buffer_;
  std::istream stream_;
};

}  // namespace zenolith::tools
