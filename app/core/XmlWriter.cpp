#include "app/core/XmlWriter.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "app/core/Log.h"
#include "app/core/TextCodec.h"

namespace rovana {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegreesPerRadian = 360 / (2 * kPi);
constexpr std::size_t kFlushBytes = 64 * 1024;

// The "C" locale for formatting, made once; uselocale() switches only the
// calling thread, so other threads keep theirs.
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

int Length(std::string_view text) { return static_cast<int>(text.size()); }

bool AllowedInXml(char16_t c) {
  if (c < 0x20) return c == u'\t' || c == u'\n' || c == u'\r';
  return c != 0xFFFE && c != 0xFFFF;
}

// The kernel's own limit on the links in one path name.
constexpr int kMaxLinks = 40;
// Names tried for a kept file: "<name><suffix>", then "<name><suffix>.2" up
// to this number.
constexpr int kMaxKeptFiles = 99;

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

std::string ModeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// The file a save of `path` replaces: `path` itself, or, when it is a
// symbolic link, the end of its chain of links (a relative link is taken from
// the link's own folder). Renaming over the link itself would put a plain file
// in its place and leave the linked file as it was. The end may not exist yet
// (a new file, or a dangling link), but a link must lead into an existing
// folder. On failure `problem` says why.
std::optional<std::filesystem::path> FinalTarget(const std::filesystem::path& path, std::string& problem) {
  std::filesystem::path current = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat info{};
    if (::lstat(current.c_str(), &info) != 0) {
      const int error = errno;
      if (error != ENOENT) {
        problem = current == path ? std::strerror(error) : current.string() + ": " + std::strerror(error);
        return std::nullopt;
      }
      if (links == 0) return current;  // a new file; a missing folder fails when the temporary file is made
      const std::filesystem::path folder = current.parent_path();
      struct stat folderInfo{};
      if (::stat(folder.empty() ? "." : folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) {
        problem = "it links to " + current.string() + ", whose folder does not exist";
        return std::nullopt;
      }
      return current;
    }
    if (!S_ISLNK(info.st_mode)) return current;
    std::error_code ec;
    const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
    if (ec) {
      problem = current.string() + ": " + ec.message();
      return std::nullopt;
    }
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  problem = std::strerror(ELOOP);
  return std::nullopt;
}

// Why the existing file `target` (the end of the links from `path`) must not
// be replaced, or "". Only regular files are: a rename over a device, FIFO or
// socket would put a plain file where the node was. A file without write
// permission for its owner is left as it is even for root, who passes every
// access() check; one the user may not write (another user's file in a shared
// folder) is left too.
std::string ReplaceProblem(const std::filesystem::path& path, const std::filesystem::path& target) {
  struct stat info{};
  if (::lstat(target.c_str(), &info) != 0) return {};  // nothing there yet
  const std::string what = target == path ? std::string("it") : "its link target " + target.string();
  if (!S_ISREG(info.st_mode)) return what + " is " + KindOf(info.st_mode) + ", which is never replaced";
  if ((info.st_mode & S_IWUSR) == 0) return what + " is read-only (mode " + ModeText(info.st_mode) + ")";
  if (::access(target.c_str(), W_OK) != 0) return what + " is not writable: " + std::strerror(errno);
  return {};
}

// Keeps `target` under the first free name "<target><suffix>[.n]" without
// ever replacing a file there. A hard link keeps the old file in place until
// the rename puts the new one over it; file systems without hard links (FAT
// on a memory card) get a rename that refuses to replace instead. Empty when
// the file could not be kept; `error` says why.
std::optional<std::filesystem::path> KeepAside(const std::filesystem::path& target, const std::string& suffix,
                                               int& error) {
  error = EEXIST;
  for (int n = 1; n <= kMaxKeptFiles; ++n) {
    std::filesystem::path kept = target;
    kept += suffix;
    if (n > 1) kept += "." + std::to_string(n);
    if (::link(target.c_str(), kept.c_str()) == 0) return kept;
    error = errno;
    if (error == EEXIST) continue;
    if (::renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0) return kept;
    error = errno;
    if (error != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // makes the rename itself durable; a failure here loses nothing already in place
  ::close(fd);
}

}  // namespace

XmlWriter::XmlWriter(std::filesystem::path folder, std::string name, std::optional<mode_t> mode)
    : folder_(std::move(folder)), name_(std::move(name)), mode_(mode) {}

XmlWriter::~XmlWriter() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::filesystem::path> XmlWriter::Target(std::string& problem) const {
  std::optional<std::filesystem::path> target = FinalTarget(path(), problem);
  if (!target) return std::nullopt;
  problem = ReplaceProblem(path(), *target);
  if (!problem.empty()) return std::nullopt;
  return target;
}

std::string XmlWriter::SaveProblem() const {
  std::string problem;
  const std::optional<std::filesystem::path> target = Target(problem);
  if (!target) return path().string() + ": " + problem;
  const std::filesystem::path folder = target->parent_path().empty() ? "." : target->parent_path();
  struct stat info{};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return path().string() + ": the folder " + folder.string() + " does not exist";
  struct statvfs volume{};
  if (::statvfs(folder.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0)
    return path().string() + ": the folder " + folder.string() + " is on a read-only file system";
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return path().string() + ": the folder " + folder.string() + " is not writable: " + std::strerror(errno);
  return {};
}

void XmlWriter::KeepReplacedFileAs(std::string suffix) { keepSuffix_ = std::move(suffix); }

bool XmlWriter::Save(bool unicode) {
  keptAs_.clear();
  std::string problem;
  const std::optional<std::filesystem::path> resolved = Target(problem);
  if (!resolved) {
    LogMessage("Cannot save %s: %s", path().c_str(), problem.c_str());
    return false;
  }
  const std::filesystem::path& target = *resolved;
  const std::filesystem::path folder = target.parent_path();
  const std::filesystem::path temporary = folder / (target.filename().native() + ".temp");

  // A temporary file left by an earlier crash is replaced; O_EXCL and
  // O_NOFOLLOW keep a planted link from redirecting the write.
  if (::unlink(temporary.c_str()) != 0 && errno != ENOENT) {
    LogMessage("Cannot replace %s: %s", temporary.c_str(), std::strerror(errno));
    return false;
  }
  mode_t mode = 0666;
  bool exact = false;
  if (mode_) {
    mode = *mode_;
    exact = true;
  } else if (struct stat old{}; ::stat(target.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;  // a rewrite keeps the file's permissions
    exact = true;
  }
  fd_ = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd_ < 0) {
    LogMessage("Cannot create %s: %s", temporary.c_str(), std::strerror(errno));
    return false;
  }
  unicode_ = unicode;
  failed_ = false;
  error_ = 0;
  buffer_.clear();
  bytesWritten_ = 0;
  if (exact && ::fchmod(fd_, mode) != 0) {
    failed_ = true;
    error_ = errno;
  }

  if (unicode_) buffer_ = "\xFF\xFE";
  Put("<?xml version=\"1.0\"?>\n");
  Write();
  Flush();
  if (!failed_ && ::fsync(fd_) != 0) {
    failed_ = true;
    error_ = errno;
  }
  if (::close(fd_) != 0 && !failed_) {
    failed_ = true;
    error_ = errno;
  }
  fd_ = -1;
  buffer_.clear();
  buffer_.shrink_to_fit();

  if (failed_) {
    LogMessage("Error writing file %s: %s", temporary.c_str(), std::strerror(error_));
    ::unlink(temporary.c_str());
    return false;
  }
  if (!keepSuffix_.empty()) {
    struct stat old{};
    if (::lstat(target.c_str(), &old) == 0) {
      int error = 0;
      const std::optional<std::filesystem::path> kept = KeepAside(target, keepSuffix_, error);
      if (!kept) {
        LogMessage("Cannot keep %s as %s%s: %s; it is not replaced", target.c_str(), target.c_str(), keepSuffix_.c_str(),
                   std::strerror(error));
        ::unlink(temporary.c_str());
        return false;
      }
      keptAs_ = *kept;
      LogMessage("Kept %s as %s", target.c_str(), kept->c_str());
    }
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    LogMessage("Cannot replace %s: %s", target.c_str(), std::strerror(errno));
    ::unlink(temporary.c_str());
    if (!keptAs_.empty()) {
      // The old file is still the current one: a hard link to it goes, a
      // file renamed aside comes back.
      struct stat kept{}, current{};
      if (::lstat(target.c_str(), &current) != 0)
        ::renameat2(AT_FDCWD, keptAs_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
      else if (::lstat(keptAs_.c_str(), &kept) == 0 && kept.st_ino == current.st_ino && kept.st_dev == current.st_dev)
        ::unlink(keptAs_.c_str());
      keptAs_.clear();
    }
    return false;
  }
  SyncFolder(folder);
  return true;
}

void XmlWriter::Put(std::string_view utf8) {
  if (failed_ || fd_ < 0) return;
  if (unicode_) {
    for (const char16_t unit : Utf8ToUtf16(utf8)) {
      buffer_ += static_cast<char>(unit & 0xFF);
      buffer_ += static_cast<char>(unit >> 8);
    }
  } else {
    buffer_ += SanitizeUtf8(utf8);
  }
  if (buffer_.size() >= kFlushBytes) Flush();
}

void XmlWriter::Flush() {
  std::size_t done = 0;
  while (!failed_ && done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      error_ = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<std::size_t>(n);
    bytesWritten_ += static_cast<std::uint64_t>(n);
  }
  buffer_.clear();
}

void XmlWriter::Raw(std::string_view utf8) { Put(utf8); }

void XmlWriter::Format(const char* format, ...) {
  const locale_t previous = uselocale(CLocale());
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed >= 0 && static_cast<std::size_t>(needed) < sizeof small) {
    Put(std::string_view(small, static_cast<std::size_t>(needed)));
  } else if (needed >= 0) {
    std::string large(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(large.data(), large.size(), format, again);
    large.resize(static_cast<std::size_t>(needed));
    Put(large);
  }
  va_end(again);
  uselocale(previous);
}

namespace {

// The escaped form of one character (a surrogate pair counts as one).
std::u16string_view EscapedPiece(std::u16string_view character, bool attribute) {
  static constexpr char16_t kReplacement[] = {static_cast<char16_t>(kReplacementCharacter), 0};
  switch (character[0]) {
    case u'&': return u"&amp;";
    case u'<': return u"&lt;";
    case u'>': return u"&gt;";
    case u'"': return attribute ? u"&quot;" : character;
    default: return character.size() == 2 || AllowedInXml(character[0]) ? character : kReplacement;
  }
}

// Units of `piece` in the file: code units in UTF-16, bytes in UTF-8.
std::size_t EncodedUnits(std::u16string_view piece, bool unicode) {
  if (unicode) return piece.size();
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < piece.size(); ++i) {
    const char16_t c = piece[i];
    if (c < 0x80) {
      bytes += 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < piece.size()) {
      bytes += 4;  // the pair together
      ++i;
    } else {
      bytes += 3;
    }
  }
  return bytes;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

struct Escaped {
  std::u16string text;
  std::size_t characters = 0;  // characters of the input kept
  std::size_t total = 0;       // characters of the input
};

// Escapes `text` up to `limit` units of the file's encoding, at a character
// boundary (never inside a reference or a surrogate pair).
Escaped EscapeUpTo(std::string_view text, bool attribute, bool unicode, std::size_t limit) {
  const std::u16string units = Utf8ToUtf16(text);  // well-formed: every high surrogate has its pair
  Escaped out;
  std::size_t used = 0;
  bool full = false;
  for (std::size_t i = 0; i < units.size();) {
    const std::size_t length = IsHighSurrogate(units[i]) && i + 1 < units.size() ? 2 : 1;
    const std::u16string_view piece = EscapedPiece(std::u16string_view(units).substr(i, length), attribute);
    const std::size_t cost = EncodedUnits(piece, unicode);
    if (!full && used + cost <= limit) {
      out.text += piece;
      used += cost;
      ++out.characters;
    } else {
      full = true;
    }
    ++out.total;
    i += length;
  }
  return out;
}

}  // namespace

std::string XmlWriter::Escape(std::string_view text, bool attribute) {
  return Utf16ToUtf8(EscapeUpTo(text, attribute, true, static_cast<std::size_t>(-1)).text);
}

std::string XmlWriter::EscapeWithin(std::string_view key, std::string_view text, bool attribute, std::size_t limit) {
  const Escaped escaped = EscapeUpTo(text, attribute, unicode_, limit);
  if (escaped.characters < escaped.total)
    LogMessage("Text of <%.*s> in %s cut from %zu to %zu characters: a longer one could not be read back",
               Length(key), key.data(), path().c_str(), escaped.total, escaped.characters);
  return Utf16ToUtf8(escaped.text);
}

void XmlWriter::EmptyElement(std::string_view key, std::string_view attribute, std::string_view value) {
  if (value.empty()) return;
  // "<key attribute="value">" is one token for the reader.
  const std::size_t markup = EncodedUnits(Utf8ToUtf16(key), unicode_) + EncodedUnits(Utf8ToUtf16(attribute), unicode_) + 6;
  const std::size_t limit = markup < XmlReader::kMaxTokenUnits ? XmlReader::kMaxTokenUnits - markup : 0;
  const std::string escaped = EscapeWithin(key, value, true, limit);
  Format(" <%.*s %.*s=\"%s\"></%.*s>\n", Length(key), key.data(), Length(attribute), attribute.data(),
         escaped.c_str(), Length(key), key.data());
}

void XmlWriter::TextElement(std::string_view key, std::string_view text) {
  if (text.empty()) return;
  std::string withoutReturns;
  withoutReturns.reserve(text.size());
  for (const char c : text)
    if (c != '\r') withoutReturns += c;
  Format(" <%.*s><![CDATA[", Length(key), key.data());
  Put(EscapeWithin(key, withoutReturns, false, kMaxTextUnits));
  Format("]]></%.*s>\n", Length(key), key.data());
}

void XmlWriter::IntElement(std::string_view key, std::int32_t value) {
  Format(" <%.*s>%d</%.*s>\n", Length(key), key.data(), static_cast<int>(value), Length(key), key.data());
}

void XmlWriter::RealElement(std::string_view key, double value) {
  Format(" <%.*s>%lf</%.*s>\n", Length(key), key.data(), value, Length(key), key.data());
}

void XmlWriter::BoolElement(std::string_view key, bool value) { IntElement(key, value ? 1 : 0); }

void XmlWriter::PositionElement(std::string_view key, const LatLonAlt& value) {
  Format(" <%.*s>%lf#%lf#%lf</%.*s>\n", Length(key), key.data(), value.latitude * kDegreesPerRadian,
         value.longitude * kDegreesPerRadian, value.altitude, Length(key), key.data());
}

void XmlWriter::ListElement(std::string_view key, const std::vector<std::string>& items) {
  Format(" <%.*s>\n", Length(key), key.data());
  for (const std::string& item : items) {
    if (item.empty()) {
      Raw(" <s></s>\n");  // an empty item is kept too
    } else {
      TextElement("s", item);
    }
  }
  Format(" </%.*s>\n", Length(key), key.data());
}

}  // namespace rovana
