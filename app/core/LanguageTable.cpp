#include "app/core/LanguageTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <new>
#include <set>
#include <system_error>

#include "app/core/Log.h"
#include "app/core/ProgramFolders.h"
#include "app/core/TextCodec.h"

namespace rovana {
namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr char16_t kSwappedByteOrderMark = 0xFFFE;  // a big-endian file read as little-endian
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void LogEncoding(const char* reason, int line, const std::string& path) {
  if (line > 0)
    LogMessage("Language file rejected since it is not UTF-16 little-endian text: %s in line %d (%s).", reason, line,
               path.c_str());
  else
    LogMessage("Language file rejected since it is not UTF-16 little-endian text: %s (%s).", reason, path.c_str());
}

// One line of the file as UTF-8, with every backslash + "n" turned into
// carriage return + line feed. Returns false (and names the fault) for a zero
// character or an unpaired surrogate: such a file is damaged, not a
// translation, so it is refused instead of repaired.
bool DecodeLine(std::u16string_view line, std::string& out, const char*& fault) {
  std::u16string units;
  units.reserve(line.size() + 8);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c == 0) {
      fault = "zero character";
      return false;
    }
    if (IsHighSurrogate(c)) {
      if (i + 1 >= line.size() || !IsLowSurrogate(line[i + 1])) {
        fault = "unpaired surrogate";
        return false;
      }
      units += c;
      units += line[++i];
      continue;
    }
    if (IsLowSurrogate(c)) {
      fault = "unpaired surrogate";
      return false;
    }
    if (c == u'\\' && i + 1 < line.size() && line[i + 1] == u'n') {
      units += kCr;
      units += kLf;
      ++i;
      continue;
    }
    units += c;
  }
  out = Utf16ToUtf8(units);
  return true;
}

bool ValidName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

bool EndsWithTxt(const std::string& file) {
  if (file.size() < 4) return false;
  std::string ext = file.substr(file.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".txt";
}

}  // namespace

LanguageFile ParseLanguageFile(std::string_view bytes, const std::string& pathForLog) {
  LanguageFile result;
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF && static_cast<unsigned char>(bytes[1]) == 0xBB &&
      static_cast<unsigned char>(bytes[2]) == 0xBF) {
    LogEncoding("UTF-8 byte-order mark", 0, pathForLog);
    return result;
  }
  if (bytes.size() % 2 != 0) {
    LogEncoding("odd number of bytes", 0, pathForLog);
    return result;
  }

  std::u16string units;
  units.reserve(bytes.size() / 2 + 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
  std::size_t start = 0;
  while (start < units.size() && units[start] == kByteOrderMark) ++start;
  if (start < units.size() && units[start] == kSwappedByteOrderMark) {
    LogEncoding("big-endian byte-order mark", 0, pathForLog);
    return result;
  }
  // The line break after the data makes an unterminated last line count, and
  // gives a complete file its empty 430th entry.
  units += kCr;
  units += kLf;

  std::vector<std::string> entries;
  entries.reserve(kLanguageEntries);
  int filled = 0;  // entries the file would fill, counted past the table's end too
  std::size_t lastLength = 0;  // units of the last piece, the one ended by the appended CR LF
  int bareLineFeeds = 0;       // line feeds without a carriage return, for the rejection message
  std::size_t pos = start;
  for (;;) {
    const std::size_t cr = units.find(kCr, pos);
    if (cr == std::u16string::npos) break;
    ++filled;
    lastLength = cr - pos;
    bareLineFeeds += static_cast<int>(std::count(units.begin() + static_cast<std::ptrdiff_t>(pos),
                                                 units.begin() + static_cast<std::ptrdiff_t>(cr), kLf));
    if (units[cr + 1] != kLf) {  // cr + 1 exists: the data ends with the appended CR LF
      LogEncoding("carriage return without line feed", filled, pathForLog);
      return result;
    }
    if (filled <= kLanguageEntries) {
      std::string text;
      const char* fault = nullptr;
      if (!DecodeLine(std::u16string_view(units).substr(pos, cr - pos), text, fault)) {
        LogEncoding(fault, filled, pathForLog);
        return result;
      }
      entries.push_back(std::move(text));
    }
    pos = cr + 2;
  }

  // Every line break ends a line; text after the last one is a line too,
  // only without its break (which alone rejects a file of 429 lines).
  const bool unterminated = lastLength > 0;
  result.lines = filled - 1 + (unterminated ? 1 : 0);
  // 430 pieces with text in the last is a 430th line without its break.
  if (filled != kLanguageEntries || unterminated) {
    const char* const plural = result.lines == 1 ? "" : "s";
    if (unterminated)
      LogMessage("Language file rejected since it contained %d line%s, the last without a line break, whereas %d "
                 "lines ended by a line break were expected (%s).",
                 result.lines, plural, kLanguageFileLines, pathForLog.c_str());
    else
      LogMessage("Language file rejected since it contained %d line%s whereas %d lines were expected (%s).",
                 result.lines, plural, kLanguageFileLines, pathForLog.c_str());
    if (bareLineFeeds > 0)
      LogMessage("Language file %s has %d line feeds without a carriage return; lines must end with CR LF.",
                 pathForLog.c_str(), bareLineFeeds);
    return result;
  }
  result.ok = true;
  result.entries = std::move(entries);
  return result;
}

LanguageFile ReadLanguageFile(const std::filesystem::path& file) {
  const std::string path = file.string();
  // Non-blocking so that a FIFO named like a language file cannot hang the
  // caller; only regular files get as far as reading.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    LogMessage("Could not open language file (%s).", path.c_str());
    return {};
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};

  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    LogMessage("Could not open language file (%s).", path.c_str());
    return {};
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  if (size > kLanguageFileMaxBytes) {
    LogMessage("Language file rejected since it is larger than %zu bytes (%s).", kLanguageFileMaxBytes, path.c_str());
    return {};
  }
  std::string bytes;
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc&) {
    LogMessage("Could not allocate memory for language file (%s).", path.c_str());
    return {};
  }
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, bytes.data() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      LogMessage("Error reading language file (%s).", path.c_str());
      return {};
    }
    if (n == 0) {  // the file shrank since fstat
      LogMessage("Could not read complete language file (%s).", path.c_str());
      return {};
    }
    got += static_cast<std::size_t>(n);
  }
  return ParseLanguageFile(bytes, path);
}

std::shared_ptr<const LanguageTable::State> LanguageTable::Cleared() {
  auto state = std::make_shared<State>();
  state->entries.assign(kLanguageEntries, std::string(kLanguagePlaceholder));
  return state;
}

LanguageTable::LanguageTable(std::filesystem::path programFolder)
    : LanguageTable(std::vector<std::filesystem::path>{InProgramFolder(programFolder, "Language")}) {}

LanguageTable::LanguageTable(std::vector<std::filesystem::path> folders)
    : folders_(std::move(folders)), state_(Cleared()) {}

std::shared_ptr<const LanguageTable::State> LanguageTable::Snapshot() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void LanguageTable::Install(std::shared_ptr<const State> state) {
  std::lock_guard lock(mutex_);
  state_ = std::move(state);
}

void LanguageTable::Clear() { Install(Cleared()); }

std::filesystem::path LanguageTable::FileOf(std::string_view name) const {
  const std::string wanted = std::string(name) + ".txt";
  for (const std::filesystem::path& folder : folders_) {
    std::filesystem::path exact = folder / wanted;
    std::error_code ec;
    if (std::filesystem::exists(exact, ec)) return exact;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string file = it->path().filename().string();
      if (file.size() == wanted.size() && file.compare(0, name.size(), name) == 0 && EndsWithTxt(file))
        return it->path();
    }
  }
  return folder() / wanted;
}

std::shared_ptr<const LanguageTable::State> LanguageTable::Read(std::string_view name) const {
  if (!ValidName(name)) {
    LogMessage("Could not open language file (%s).", (folder() / (std::string(name) + ".txt")).c_str());
    return nullptr;
  }
  LanguageFile file = ReadLanguageFile(FileOf(name));
  if (!file.ok) return nullptr;
  auto state = std::make_shared<State>();
  state->entries = std::move(file.entries);
  state->count = kLanguageEntries;
  state->language = std::string(name);
  return state;
}

// The table changes once, to the final outcome, so that readers on other
// threads never see the cleared table between a failed load and English.
bool LanguageTable::Load(std::string_view name) {
  std::shared_ptr<const State> state = Read(name);
  const bool ok = state != nullptr;
  if (!ok && name != kFallbackLanguage) state = Read(kFallbackLanguage);
  Install(state ? std::move(state) : Cleared());
  return ok;
}

bool LanguageTable::Load(std::string_view name, bool store, const LanguageSetting& setting) {
  const std::string chosen(name.empty() ? std::string_view(setting.language) : name);
  const bool ok = Load(chosen);
  if (ok && store) {
    setting.language = chosen;
    setting.languageInit = true;
  }
  return ok;
}

std::string LanguageTable::Entry(int number) const {
  if (number < 0 || number >= kLanguageEntries) return std::string(kLanguagePlaceholder);
  return Snapshot()->entries[static_cast<std::size_t>(number)];
}

std::string LanguageTable::Title(int number) const {
  std::string text = Entry(number);
  if (text.size() > 3 && text.ends_with("...")) text.resize(text.size() - 3);
  return text;
}

int LanguageTable::count() const { return Snapshot()->count; }

std::string LanguageTable::language() const { return Snapshot()->language; }

LanguageList LanguageTable::ListLanguages() const {
  LanguageList list;
  std::set<std::string> seen;  // names without ".txt", any case of the extension
  for (const std::filesystem::path& folder : folders_) {
    LogMessage("Searching language files at %s...", (folder / "*.txt").c_str());
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string file = it->path().filename().string();
      if (file.size() > 4 && EndsWithTxt(file)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      const std::string fileName = file.filename().string();
      std::string name = fileName.substr(0, fileName.size() - 4);
      if (seen.contains(name)) continue;  // a folder searched earlier has this language
      LanguageFile read = ReadLanguageFile(file);
      if (!read.ok) continue;
      seen.insert(name);
      list.items.push_back({std::move(name), std::move(read.entries[0])});
    }
  }
  std::stable_sort(list.items.begin(), list.items.end(),
                   [](const LanguageChoice& a, const LanguageChoice& b) { return a.name < b.name; });
  const auto state = Snapshot();
  if (state->count > 0) {
    for (std::size_t i = 0; i < list.items.size(); ++i) {
      if (list.items[i].display == state->entries[0]) {
        list.selected = static_cast<int>(i);
        break;
      }
    }
  }
  return list;
}

}  // namespace rovana
