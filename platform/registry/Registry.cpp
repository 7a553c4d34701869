#include "platform/registry/Registry.h"

#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/registry/RegistryFile.h"
#include "platform/registry/RegistryTree.h"

namespace registry {

void Batch::CreateKey(std::string key) { ops_.push_back(Op{Op::CreateKey, std::move(key), {}, {}}); }
void Batch::SetString(std::string key, std::string name, std::string value) {
  ops_.push_back(Op{Op::SetValue, std::move(key), std::move(name), std::move(value)});
}
void Batch::SetInteger(std::string key, std::string name, std::int64_t value) {
  ops_.push_back(Op{Op::SetValue, std::move(key), std::move(name), value});
}
void Batch::SetBinary(std::string key, std::string name, Binary value) {
  ops_.push_back(Op{Op::SetValue, std::move(key), std::move(name), std::move(value)});
}
void Batch::DeleteValue(std::string key, std::string name) {
  ops_.push_back(Op{Op::DeleteValue, std::move(key), std::move(name), {}});
}
void Batch::DeleteKey(std::string key) { ops_.push_back(Op{Op::DeleteKey, std::move(key), {}, {}}); }

namespace {

using detail::FileLock;
using detail::FileState;
using detail::Io;
using detail::IoErrno;
using detail::Key;
using Tree = std::shared_ptr<const Key>;

Status Fail(StatusCode code, std::string message) { return Status{code, 0, std::move(message)}; }

const Tree& EmptyTree() {
  static const Tree empty = std::make_shared<const Key>(std::string());
  return empty;
}

// Serialises changes between threads of this copy of the library. Other
// copies (the library is linked into several shared objects) and other
// processes are kept out by the flock on the lock file.
std::mutex& WriterMutex() {
  static std::mutex mutex;
  return mutex;
}


Status ParseFile(const std::filesystem::path& path, std::string_view text, Key* root) {
  std::size_t line = 0;
  std::string why;
  if (detail::Parse(text, root, &line, &why)) return {};
  return Io(EBADMSG, path.string() + ":" + std::to_string(line) + ": " + why);
}

// The last tree read or written by this process, with the exact text it came
// from. Comparing the text makes the cache exact: a stale entry is impossible
// whatever the file's timestamps or inode numbers do.
struct Cache {
  std::mutex mutex;
  std::filesystem::path path;
  std::string text;
  Tree tree;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

void Remember(const std::filesystem::path& path, std::string text, Tree tree) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.mutex);
  cache.path = path;
  cache.text = std::move(text);
  cache.tree = std::move(tree);
}

// Reads the registry for a query. On any failure *tree is the empty registry
// and the status says why, so queries behave as on an empty registry.
Status LoadForReading(const std::filesystem::path& path, Tree* tree) {
  *tree = EmptyTree();
  if (path.empty()) return {};
  std::string text;
  FileState state;
  {
    // A shared lock waits out a writer; it is not essential (the file is only
    // ever replaced atomically), so a missing or unopenable lock file, e.g.
    // in a read-only folder, does not stop the read. Readers never create it.
    FileLock lock;
    (void)lock.Acquire(detail::LockPathOf(path), LOCK_SH, false);
    if (Status s = detail::ReadWholeFile(path, &text, &state); !s.ok()) return s;
  }
  if (!state.exists) return {};
  {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> hold(cache.mutex);
    if (cache.tree && cache.path == path && cache.text == text) {
      *tree = cache.tree;
      return {};
    }
  }
  auto root = std::make_shared<Key>(std::string());
  if (Status s = ParseFile(path, text, root.get()); !s.ok()) return s;
  *tree = root;
  Remember(path, std::move(text), root);
  return {};
}


// One change: under the process mutex and the exclusive file lock, re-read
// the file, let change() edit the fresh tree, and write it back when it
// differs. A file that cannot be parsed is never overwritten, so whatever
// it holds can still be recovered by hand.
template <typename Change>
Status Mutate(const std::filesystem::path& path, Change&& change) {
  if (path.empty()) return Io(ENOENT, "no registry file: neither ZENOLITH_REGISTRY nor a home folder is known");
  std::lock_guard<std::mutex> hold(WriterMutex());
  const std::filesystem::path folder = detail::FolderOf(path);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return Io(ec.value(), "cannot create folder " + folder.string() + ": " + ec.message());
  FileLock lock;
  if (const int error = lock.Acquire(detail::LockPathOf(path), LOCK_EX, true))
    return IoErrno(error, "cannot lock", detail::LockPathOf(path));
  (void)detail::RemoveStaleTemporaryFiles(path);

  std::string old;
  FileState state;
  if (Status s = detail::ReadWholeFile(path, &old, &state); !s.ok()) return s;
  auto root = std::make_shared<Key>(std::string());
  if (state.exists) {
    if (Status s = ParseFile(path, old, root.get()); !s.ok()) {
      s.message += " (the file was left unchanged)";
      return s;
    }
  }
  if (Status s = change(*root); !s.ok()) return s;

  std::string text, why;
  if (!detail::Serialize(*root, &text, &why)) return Io(EFBIG, "cannot change " + path.string() + ": " + why);
  const bool unchanged = state.exists ? text == old : root->children().empty();
  if (unchanged) return {};
  if (Status s = detail::ReplaceFile(path, text, state); !s.ok()) return s;
  Remember(path, std::move(text), std::move(root));
  return {};
}

// Runs fn, turning any exception (in practice only bad_alloc) into an
// IoError, so that none crosses the API.
template <typename Fn>
Status Guarded(const std::filesystem::path& path, Fn&& fn) {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    return Io(ENOMEM, "out of memory using registry " + path.string());
  } catch (...) {
    return Io(EIO, "unexpected failure using registry " + path.string());
  }
}

// The same for queries, which answer `fallback` on failure.
template <typename T, typename Fn>
T GuardedQuery(T fallback, Fn&& fn) {
  try {
    return fn();
  } catch (...) {
    return fallback;
  }
}

Status CheckKey(std::string_view key, std::vector<std::string_view>* names) {
  std::string why;
  if (detail::SplitKeyPath(key, names, &why)) return {};
  return Fail(StatusCode::Invalid, "invalid key path \"" + std::string(key) + "\": " + why);
}

Status CheckValueName(std::string_view name) {
  if (detail::ValidValueName(name)) return {};
  return Fail(StatusCode::Invalid, "invalid value name: it holds a NUL byte");
}

std::string ValueLabel(std::string_view name) { return name.empty() ? "@" : "\"" + std::string(name) + "\""; }

Key* CreatePath(Key& root, const std::vector<std::string_view>& names) {
  Key* key = &root;
  bool created = false;
  for (const std::string_view name : names) key = key->AddChild(name, &created);
  return key;
}

Status CheckOp(const Batch::Op& op, std::vector<std::string_view>* names) {
  if (Status s = CheckKey(op.key, names); !s.ok()) return s;
  if (op.kind == Batch::Op::SetValue || op.kind == Batch::Op::DeleteValue) return CheckValueName(op.name);
  return {};
}

// Checks every operation before any folder or lock file is touched, so that
// an invalid call leaves no trace; the message names the failing operation.
Status CheckOps(const std::vector<Batch::Op>& ops) {
  std::vector<std::string_view> names;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    if (Status s = CheckOp(ops[i], &names); !s.ok()) {
      s.message = "batch operation " + std::to_string(i + 1) + ": " + s.message + "; nothing was changed";
      return s;
    }
  }
  return {};
}

// Applies one checked operation to the tree. Deleting something missing is
// not an error here; the single-call deletes check existence themselves.
Status ApplyOp(Key& root, const Batch::Op& op) {
  std::vector<std::string_view> names;
  if (Status s = CheckOp(op, &names); !s.ok()) return s;
  switch (op.kind) {
    case Batch::Op::CreateKey:
      CreatePath(root, names);
      return {};
    case Batch::Op::SetValue:
      CreatePath(root, names)->SetValue(op.name, op.value);
      return {};
    case Batch::Op::DeleteValue:
      if (Key* key = detail::FindKey(root, names)) key->RemoveValue(op.name);
      return {};
    case Batch::Op::DeleteKey: {
      const std::string_view leaf = names.back();
      names.pop_back();
      if (Key* parent = detail::FindKey(root, names)) parent->RemoveChild(leaf);
      return {};
    }
  }
  return Fail(StatusCode::Invalid, "unknown batch operation");
}

Status ApplyOne(const std::filesystem::path& path, const Batch::Op& op) {
  std::vector<std::string_view> names;
  if (Status s = CheckOp(op, &names); !s.ok()) return s;
  return Mutate(path, [&](Key& root) { return ApplyOp(root, op); });
}

// Reads the tree and finds a key in it; nullptr for an invalid path or a
// missing key. An empty path means the root only when allowRoot is set.
const Key* Lookup(const std::filesystem::path& path, std::string_view key, bool allowRoot, Tree* tree) {
  std::vector<std::string_view> names;
  if (!(allowRoot && key.empty()) && !CheckKey(key, &names).ok()) return nullptr;
  (void)LoadForReading(path, tree);
  return detail::FindKey(**tree, names);
}

template <typename T>
std::optional<T> GetTyped(const Registry& reg, std::string_view key, std::string_view name) {
  return GuardedQuery<std::optional<T>>(std::nullopt, [&]() -> std::optional<T> {
    Value value;
    if (!reg.GetValue(key, name, &value).ok()) return std::nullopt;
    if (T* typed = std::get_if<T>(&value)) return std::move(*typed);
    return std::nullopt;
  });
}

}  // namespace

Registry::Registry(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path Registry::DefaultPath() {
  return GuardedQuery<std::filesystem::path>({}, []() -> std::filesystem::path {
    if (const char* file = std::getenv("ZENOLITH_REGISTRY"); file && *file) return file;
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG base directory
    // convention says; it would otherwise depend on the current folder.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
      return std::filesystem::path(config) / "zenolithce" / "registry";
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
      home = env;
    } else {
      // No HOME (e.g. started by a service manager): ask the password database.
      std::vector<char> buffer(16384);
      struct passwd entry {};
      struct passwd* found = nullptr;
      if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        home = found->pw_dir;
    }
    if (home.empty()) return {};
    return std::filesystem::path(home) / ".config" / "zenolithce" / "registry";
  });
}

Registry Registry::Default() { return Registry(DefaultPath()); }

Status Registry::Check() const {
  return Guarded(file_, [&] {
    Tree tree;
    return LoadForReading(file_, &tree);
  });
}

bool Registry::KeyExists(std::string_view key) const {
  return GuardedQuery(false, [&] {
    Tree tree;
    return Lookup(file_, key, false, &tree) != nullptr;
  });
}

Status Registry::GetValue(std::string_view key, std::string_view name, Value* out) const {
  return Guarded(file_, [&] {
    std::vector<std::string_view> names;
    if (Status s = CheckKey(key, &names); !s.ok()) return s;
    if (Status s = CheckValueName(name); !s.ok()) return s;
    Tree tree;
    if (Status s = LoadForReading(file_, &tree); !s.ok()) return s;
    const Key* found = detail::FindKey(*tree, names);
    if (!found) return Fail(StatusCode::NotFound, "no key " + std::string(key));
    const Value* value = found->FindValue(name);
    if (!value) return Fail(StatusCode::NotFound, "no value " + ValueLabel(name) + " in " + std::string(key));
    if (out) *out = *value;
    return Status{};
  });
}

std::optional<std::string> Registry::GetString(std::string_view key, std::string_view name) const {
  return GetTyped<std::string>(*this, key, name);
}

std::optional<std::int64_t> Registry::GetInteger(std::string_view key, std::string_view name) const {
  return GetTyped<std::int64_t>(*this, key, name);
}

std::optional<Binary> Registry::GetBinary(std::string_view key, std::string_view name) const {
  return GetTyped<Binary>(*this, key, name);
}

std::vector<std::string> Registry::SubKeys(std::string_view key) const {
  return GuardedQuery<std::vector<std::string>>({}, [&] {
    Tree tree;
    std::vector<std::string> out;
    if (const Key* found = Lookup(file_, key, true, &tree))
      for (const auto& child : found->children()) out.push_back(child->name());
    return out;
  });
}

std::vector<ValueEntry> Registry::Values(std::string_view key) const {
  return GuardedQuery<std::vector<ValueEntry>>({}, [&] {
    Tree tree;
    const Key* found = Lookup(file_, key, false, &tree);
    return found ? found->values() : std::vector<ValueEntry>{};
  });
}

Status Registry::CreateKey(std::string_view key) {
  return Guarded(file_, [&] { return ApplyOne(file_, Batch::Op{Batch::Op::CreateKey, std::string(key), {}, {}}); });
}

Status Registry::SetString(std::string_view key, std::string_view name, std::string_view value) {
  return Guarded(file_, [&] {
    return ApplyOne(file_, Batch::Op{Batch::Op::SetValue, std::string(key), std::string(name), std::string(value)});
  });
}

Status Registry::SetInteger(std::string_view key, std::string_view name, std::int64_t value) {
  return Guarded(file_, [&] {
    return ApplyOne(file_, Batch::Op{Batch::Op::SetValue, std::string(key), std::string(name), value});
  });
}

Status Registry::SetBinary(std::string_view key, std::string_view name, const Binary& value) {
  return Guarded(file_, [&] {
    return ApplyOne(file_, Batch::Op{Batch::Op::SetValue, std::string(key), std::string(name), value});
  });
}

Status Registry::DeleteValue(std::string_view key, std::string_view name) {
  return Guarded(file_, [&] {
    std::vector<std::string_view> names;
    if (Status s = CheckKey(key, &names); !s.ok()) return s;
    if (Status s = CheckValueName(name); !s.ok()) return s;
    return Mutate(file_, [&](Key& root) {
      Key* found = detail::FindKey(root, names);
      if (!found || !found->RemoveValue(name))
        return Fail(StatusCode::NotFound, "no value " + ValueLabel(name) + " in " + std::string(key));
      return Status{};
    });
  });
}

Status Registry::DeleteKey(std::string_view key) {
  return Guarded(file_, [&] {
    std::vector<std::string_view> names;
    if (Status s = CheckKey(key, &names); !s.ok()) return s;
    const std::string_view leaf = names.back();
    names.pop_back();
    return Mutate(file_, [&](Key& root) {
      Key* parent = detail::FindKey(root, names);
      if (!parent || !parent->RemoveChild(leaf)) return Fail(StatusCode::NotFound, "no key " + std::string(key));
      return Status{};
    });
  });
}

bool Snapshot::KeyExists(std::string_view key) const {
  std::vector<std::string_view> names;
  return CheckKey(key, &names).ok() && detail::FindKey(*root_, names) != nullptr;
}

std::optional<std::string> Snapshot::GetString(std::string_view key, std::string_view name) const {
  std::vector<std::string_view> names;
  if (!CheckKey(key, &names).ok()) return std::nullopt;
  const Key* found = detail::FindKey(*root_, names);
  const Value* value = found ? found->FindValue(name) : nullptr;
  const std::string* text = value ? std::get_if<std::string>(value) : nullptr;
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::vector<std::string> Snapshot::SubKeys(std::string_view key) const {
  std::vector<std::string_view> names;
  if (!key.empty() && !CheckKey(key, &names).ok()) return {};
  std::vector<std::string> out;
  if (const Key* found = detail::FindKey(*root_, names))
    for (const auto& child : found->children()) out.push_back(child->name());
  return out;
}

Status Registry::Transact(const std::function<Status(const Snapshot&, Batch*)>& plan) {
  return Guarded(file_, [&] {
    return Mutate(file_, [&](Key& root) {
      Batch batch;
      if (Status s = plan(Snapshot(root), &batch); !s.ok()) return s;
      if (Status s = CheckOps(batch.ops()); !s.ok()) return s;
      for (const Batch::Op& op : batch.ops())
        if (Status s = ApplyOp(root, op); !s.ok()) return s;
      return Status{};
    });
  });
}

Status Registry::Apply(const Batch& batch) {
  if (batch.empty()) return {};
  return Guarded(file_, [&] {
    if (Status s = CheckOps(batch.ops()); !s.ok()) return s;
    return Mutate(file_, [&](Key& root) {
      // The tree is a private copy read for this change, so stopping half
      // way and not writing it would leave the file exactly as it was.
      for (const Batch::Op& op : batch.ops())
        if (Status s = ApplyOp(root, op); !s.ok()) return s;
      return Status{};
    });
  });
}

}  // namespace registry
