// The language table: every text Rovana shows is taken by number from one
// language file, "<program folder>/Language/<name>.txt". The numbers and what
// each one is for are in app/core/LanguageEntries.h.
//
// File format (checked strictly; anything else rejects the whole file):
//   - UTF-16 little-endian; any number of leading byte-order marks U+FEFF is
//     skipped;
//   - exactly 429 lines, each ended by carriage return + line feed; line n
//     (from 0) is entry n;
//   - inside a line the two characters backslash and "n" stand for a line
//     break and become carriage return + line feed; any other backslash stays;
//   - rejected as not UTF-16: an odd number of bytes, a UTF-8 or big-endian
//     byte-order mark, an unpaired surrogate, a zero character, a carriage
//     return not followed by a line feed;
//   - at most kLanguageFileMaxBytes bytes.
// The table has 430 entries: the 429 lines and the empty line that follows
// the last line break (entry 429, always empty).
//
// Failures never end the program: a missing, unreadable, wrongly sized
// (too short or too long) or wrongly encoded file is logged with LogMessage
// (the path and the reason) and the table falls back to "English"; when that
// fails too every entry reads "...".
//
// Thread safety: Entry and Title may be called from any thread while the
// user-interface thread loads another language; each call sees either the
// old or the new table, never a mixture.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace rovana {

inline constexpr int kLanguageEntries = 430;    // size of the table
inline constexpr int kLanguageFileLines = 429;  // lines of a valid file
inline constexpr std::size_t kLanguageFileMaxBytes = 1 << 20;
inline constexpr std::string_view kLanguagePlaceholder = "...";  // an entry no file filled
inline constexpr std::string_view kFallbackLanguage = "English";

// One language file read and checked.
struct LanguageFile {
  bool ok = false;
  // Lines found: one per CR LF line break, plus one for text after the last
  // break (a last line without its break). The rejection log line reports
  // this number against 429 and says when the last line has no break.
  int lines = 0;
  // kLanguageEntries UTF-8 texts when ok, empty otherwise.
  std::vector<std::string> entries;
};

// Reads and checks one file; every failure is logged with the path.
// Never blocks on a FIFO or device: only regular files are read.
LanguageFile ReadLanguageFile(const std::filesystem::path& file);

// Checks the bytes of a file already in memory; `pathForLog` names it in the
// log lines.
LanguageFile ParseLanguageFile(std::string_view bytes, const std::string& pathForLog);

// The settings keys `language` (file name without ".txt") and `languageInit`
// (a language was chosen once), owned by the settings store.
struct LanguageSetting {
  std::string& language;
  bool& languageInit;
};

// One valid language file found in the Language folder.
struct LanguageChoice {
  std::string name;     // file name without ".txt": what Load takes
  std::string display;  // the file's entry 0, the language's own name
};

struct LanguageList {
  std::vector<LanguageChoice> items;  // sorted by file name
  int selected = -1;                  // item whose display equals the loaded table's entry 0; -1 for none
};

class LanguageTable {
 public:
  // Starts cleared (every entry "..."); nothing is read until Load. The
  // language files are "<program folder>/Language/<name>.txt".
  explicit LanguageTable(std::filesystem::path programFolder);
  // Language files looked up in `folders` in order: the first folder that
  // has "<name>.txt" gives it (the home's own files before the shipped ones).
  // An empty list is a table that never loads.
  explicit LanguageTable(std::vector<std::filesystem::path> folders);

  LanguageTable(const LanguageTable&) = delete;
  LanguageTable& operator=(const LanguageTable&) = delete;

  // Loads the named language; when that fails, loads "English" instead.
  // Returns whether the named language itself loaded. A name that is empty,
  // or holds "/" or a zero byte, or is "." or "..", fails like a missing file.
  bool Load(std::string_view name);

  // The same with the language settings: an empty name means the setting
  // `language`; when the named language loaded and `store` is set, its name
  // goes into `language` and `languageInit` becomes true. A failed load
  // leaves both settings as they were.
  bool Load(std::string_view name, bool store, const LanguageSetting& setting);

  // Every entry back to "...", count 0, no language.
  void Clear();

  // UTF-8 text of entry `number` (0 to 429); any other number gives "...".
  std::string Entry(int number) const;
  // Entry without a trailing "..." (dialog titles taken from menu texts);
  // an entry that is only "..." is returned as it is.
  std::string Title(int number) const;

  // Entries filled from the file: 430 after a successful load, 0 when cleared.
  int count() const;
  // File name (without ".txt") of the language in the table, empty when none.
  std::string language() const;

  // Logs "Searching language files at <folder>/*.txt..." for each folder,
  // reads every file whose name ends in ".txt" (any case) and lists the valid
  // ones; a name found in several folders is listed once, from the first. The
  // table itself is not changed. Missing folders give an empty list.
  LanguageList ListLanguages() const;

  // The first folder searched: "<program folder>/Language" ("/Language" for
  // the program folder "", the root folder).
  const std::filesystem::path& folder() const { return folders_.empty() ? kNoFolder : folders_.front(); }
  // The file Load reads for `name`: "<folder>/<name>.txt" of the first folder
  // that has it, or the file whose name differs from that only in the case of
  // ".txt"; the first folder's path when no folder has it.
  std::filesystem::path FileOf(std::string_view name) const;

 private:
  struct State {
    std::vector<std::string> entries;  // kLanguageEntries
    int count = 0;
    std::string language;
  };

  static std::shared_ptr<const State> Cleared();
  // The checked file of `name` as a table, or null (the reason is logged).
  std::shared_ptr<const State> Read(std::string_view name) const;
  std::shared_ptr<const State> Snapshot() const;
  void Install(std::shared_ptr<const State> state);

  static inline const std::filesystem::path kNoFolder{};
  std::vector<std::filesystem::path> folders_;
  mutable std::mutex mutex_;  // guards state_ (the pointer, not the texts, which never change)
  std::shared_ptr<const State> state_;
};

}  // namespace rovana
