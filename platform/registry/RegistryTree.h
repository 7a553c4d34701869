// The registry as an in-memory tree, and its text form. Internal to the
// registry library: Registry.cpp does the files, the locking and the API.
//
// The text form is line based and meant to be readable and hand-editable:
//
//   ZenolithCE Registry 1
//
//   [HKEY_CLASSES_ROOT\CLSID\{0C1D...}]
//   @="GPS Class"
//   "ThreadingModel"="Both"
//   "Retries"=int:-3
//   "Blob"=hex:00ff7f
//
// The first line names the format version. A "[path]" line opens a key (and
// implies its parents); the lines after it are the key's values, `@` being the
// default (empty-named) value. Strings and quoted names escape \\, \", \n, \r,
// \t and other control bytes as \xHH; every other byte, UTF-8 included, is
// written as is, so any byte string round-trips. Integers are decimal 64-bit,
// binary is hex pairs. Blank lines and lines starting with ';' or '#' are
// ignored when reading; a CR before the newline and spaces around '=' are
// tolerated. Comments are not kept when the file is rewritten.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry/Registry.h"

namespace registry::detail {

// Limits that keep an untrusted file from exhausting memory or stack. The
// writer enforces the same limits, so a file it writes can always be read.
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
inline constexpr std::size_t kMaxDepth = 512;               // names in one key path
inline constexpr std::size_t kMaxEntries = std::size_t{1} << 20;  // keys plus values in the tree

inline constexpr std::string_view kHeaderPrefix = "ZenolithCE Registry ";
inline constexpr std::string_view kFormatVersion = "1";

// ASCII lower case; bytes outside A-Z are kept, so UTF-8 names compare exactly.
std::string FoldCase(std::string_view text);

// Splits "A\B\C" into its names. Returns false, with the reason in *why, for an
// empty path, a leading or trailing backslash, an empty name, a control
// character or more than kMaxDepth names.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>* names, std::string* why);

// A value name may be anything but may not hold a NUL byte.
bool ValidValueName(std::string_view name);

// One key: its subkeys and values in creation order, with case-folded
// indexes so that lookups stay fast on large files.
class Key {
 public:
  explicit Key(std::string name) : name_(std::move(name)) {}
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  const std::string& name() const { return name_; }
  const std::vector<std::unique_ptr<Key>>& children() const { return children_; }
  const std::vector<ValueEntry>& values() const { return values_; }

  Key* Child(std::string_view name) const;  // nullptr when missing
  // The existing child of that name (case-insensitively), else a new one.
  Key* AddChild(std::string_view name, bool* created);
  bool RemoveChild(std::string_view name);  // false when missing

  const Value* FindValue(std::string_view name) const;  // nullptr when missing
  // Replaces an existing value in place, keeping its position and the case of
  // its name; otherwise appends. Returns true when the value is new.
  bool SetValue(std::string_view name, Value value);
  bool RemoveValue(std::string_view name);  // false when missing

 private:
  std::string name_;
  std::vector<std::unique_ptr<Key>> children_;
  std::unordered_map<std::string, Key*> childIndex_;
  std::vector<ValueEntry> values_;
  std::unordered_map<std::string, std::size_t> valueIndex_;
};

// Walks already split names from root; nullptr when any is missing.
const Key* FindKey(const Key& root, const std::vector<std::string_view>& names);
Key* FindKey(Key& root, const std::vector<std::string_view>& names);

// Reads the text form into root (which should be empty). On failure returns
// false with the 1-based line number and the reason; root then holds a partial
// tree that the caller must discard.
bool Parse(std::string_view text, Key* root, std::size_t* errorLine, std::string* why);

// Writes the text form of root. Returns false, with the reason, when the
// result would break kMaxFileBytes or kMaxEntries.
bool Serialize(const Key& root, std::string* out, std::string* why);

}  // namespace registry::detail
