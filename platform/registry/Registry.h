// A small hierarchical key/value store kept in one file: the registry that
// component registration, the GPS driver key, the serial port table and the
// application key live in.
//
// Keys are paths of names separated by backslashes
// ("HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32"); names compare without
// regard to letter case and keep the case they were created with. A key holds
// named values, each a string, a 64-bit integer or binary bytes; the empty
// value name is the key's default value. Creating a value creates its key and
// every parent key.
//
// The file is `$ZENOLITH_REGISTRY` when that is set, else
// `$XDG_CONFIG_HOME/zenolithce/registry` (`~/.config/zenolithce/registry` when
// XDG_CONFIG_HOME is unset). A missing file is an empty registry.
//
// Every change rewrites the whole file through a temporary file, fsync and an
// atomic rename, so a crash leaves either the old or the new registry, never a
// half-written one. The temporary file of a writer killed before its rename
// ("<file>.tmp.<pid>.<16 hex digits>") is removed by the next change. Changes are serialised by an in-process mutex and by an
// advisory lock on "<file>.lock", so concurrent writers (threads, several
// copies of this code in one process, several processes) never lose each
// other's changes: each change re-reads the file under the lock.
//
// Nothing here throws; failures come back as Status with a message.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace registry {

enum class StatusCode {
  Ok,
  NotFound,   // no such key or value
  WrongType,  // the value exists with another type
  Invalid,    // malformed key path or value name
  IoError,    // the file cannot be read, parsed or written
};

struct Status {
  StatusCode code = StatusCode::Ok;
  int error = 0;        // errno for IoError, else 0
  std::string message;  // for logs: what failed and where
  bool ok() const { return code == StatusCode::Ok; }
};

using Binary = std::vector<std::uint8_t>;
using Value = std::variant<std::string, std::int64_t, Binary>;

// A key's contents as one snapshot, for enumeration.
struct ValueEntry {
  std::string name;
  Value value;
};

// A batch of changes applied as one rewrite of the file (for registration,
// which writes hundreds of entries at once). Operations are applied in order
// to the freshly read registry; the batch fails as a whole.
class Batch {
 public:
  void CreateKey(std::string key);
  void SetString(std::string key, std::string name, std::string value);
  void SetInteger(std::string key, std::string name, std::int64_t value);
  void SetBinary(std::string key, std::string name, Binary value);
  void DeleteValue(std::string key, std::string name);  // a missing value is no error
  void DeleteKey(std::string key);                      // with all subkeys; missing is no error
  bool empty() const { return ops_.empty(); }

  struct Op {
    enum Kind { CreateKey, SetValue, DeleteValue, DeleteKey } kind;
    std::string key, name;
    Value value;
  };
  const std::vector<Op>& ops() const { return ops_; }

 private:
  std::vector<Op> ops_;
};

namespace detail {
class Key;
}

// The registry as read under the writer's lock, for a change that depends on
// what is there (see Registry::Transact). Valid only inside the plan.
class Snapshot {
 public:
  explicit Snapshot(const detail::Key& root) : root_(&root) {}
  bool KeyExists(std::string_view key) const;
  // A string value; nullopt when missing, of another type or the key path is invalid.
  std::optional<std::string> GetString(std::string_view key, std::string_view name) const;
  std::vector<std::string> SubKeys(std::string_view key) const;  // "" lists the top-level keys

 private:
  const detail::Key* root_;
};

class Registry {
 public:
  explicit Registry(std::filesystem::path file);

  // The registry named by the environment (see above). A relative
  // XDG_CONFIG_HOME is ignored, as the XDG convention asks; without HOME the
  // home folder comes from the password database. Empty when no home folder
  // is known at all: a Registry on an empty path reads as empty and refuses
  // changes with IoError.
  static std::filesystem::path DefaultPath();
  static Registry Default();  // on DefaultPath() as the environment says now

  const std::filesystem::path& path() const { return file_; }

  // Queries on a file that cannot be read or parsed behave as on an empty
  // registry; GetValue and Check return the IoError (with the path, and the
  // line for a malformed file). Changes refuse such a file with that IoError
  // and never overwrite it. Files over 64 MiB are refused. An invalid key
  // path or value name gives Invalid (nullopt, false or empty for queries).
  Status Check() const;  // Ok for a readable or missing file

  bool KeyExists(std::string_view key) const;
  std::optional<std::string> GetString(std::string_view key, std::string_view name) const;
  std::optional<std::int64_t> GetInteger(std::string_view key, std::string_view name) const;
  std::optional<Binary> GetBinary(std::string_view key, std::string_view name) const;
  // Status NotFound / WrongType tell apart a missing value and one of another type.
  Status GetValue(std::string_view key, std::string_view name, Value* out) const;

  // Names in creation order; the empty key path lists the top-level keys.
  std::vector<std::string> SubKeys(std::string_view key) const;
  std::vector<ValueEntry> Values(std::string_view key) const;    // in creation order

  Status CreateKey(std::string_view key);
  Status SetString(std::string_view key, std::string_view name, std::string_view value);
  Status SetInteger(std::string_view key, std::string_view name, std::int64_t value);
  Status SetBinary(std::string_view key, std::string_view name, const Binary& value);
  Status DeleteValue(std::string_view key, std::string_view name);  // NotFound when missing
  Status DeleteKey(std::string_view key);                           // recursive; NotFound when missing
  Status Apply(const Batch& batch);
  // One read-modify-write under the lock: `plan` looks at the registry as it
  // is now and fills the batch, which is then applied, and the file
  // rewritten, before any other writer runs. A failing plan (its status is
  // returned) or an invalid operation changes nothing. The plan must not use
  // any Registry itself: the lock is held, and a nested change or read would
  // wait for it forever.
  Status Transact(const std::function<Status(const Snapshot& now, Batch* batch)>& plan);

 private:
  std::filesystem::path file_;
};

}  // namespace registry
