#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

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

using detail::Key;
using Tree = std::shared_ptr<const Key>;

Status Io(int error, std::string message) { return Status{StatusCode::IoError, error, std::move(message)}; }
Status Fail(StatusCode code, std::string message) { return Status{code, 0, std::move(message)}; }

std::string ErrnoText(int error) { return std::error_code(error, std::generic_category()).message(); }

Status IoErrno(int error, const std::string& what, const std::filesystem::path& path) {
  return Io(error, what + " " + path.string() + ": " + ErrnoText(error));
}

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

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  std::filesystem::path folder = file.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

std::filesystem::path LockPathOf(const std::filesystem::path& file) {
  std::filesystem::path lock = file;
  lock += ".lock";
  return lock;
}

// An flock held on "<file>.lock" for the life of the object; closing the
// descriptor releases it. A separate lock file is needed because the registry
// file itself is replaced by rename, so a lock on it would guard a file that
// no longer has the name.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }

  // Returns 0 or the errno of the failing open or flock.
  int Acquire(const std::filesystem::path& path, int operation, bool create) {
    // O_NONBLOCK only guards the open against a FIFO in the lock's place;
    // flock itself still waits.
    const int flags = (create ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    do {
      fd_ = ::open(path.c_str(), flags, 0600);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) return errno;
    int rc;
    do {
      rc = ::flock(fd_, operation);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
  }

 private:
  int fd_ = -1;
};

struct FileState {
  bool exists = false;
  mode_t mode = 0600;
};

// Reads the whole registry file, refusing anything but a regular file of at
// most kMaxFileBytes. O_NONBLOCK keeps a FIFO put in the file's place from
// hanging the open; it has no effect on regular files.
Status ReadWholeFile(const std::filesystem::path& path, std::string* text, FileState* state) {
  text->clear();
  *state = FileState{};
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOENT) return {};
    return IoErrno(errno, "cannot open registry", path);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  struct stat st {};
  if (::fstat(fd, &st) != 0) return IoErrno(errno, "cannot stat registry", path);
  if (!S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return Io(error, "registry " + path.string() + " is not a regular file");
  }
  const auto tooBig = [&] {
    return Io(EFBIG, "registry " + path.string() + " is larger than " + std::to_string(detail::kMaxFileBytes >> 20) +
                         " MiB; refusing to read it");
  };
  if (static_cast<std::uintmax_t>(st.st_size) > detail::kMaxFileBytes) return tooBig();

  // Read until end of file rather than trusting st_size: a hand edit in
  // progress may grow the file, and the limit must hold regardless.
  text->resize(static_cast<std::size_t>(st.st_size) + 4096);
  std::size_t used = 0;
  while (true) {
    if (used == text->size()) {
      if (used > detail::kMaxFileBytes) return tooBig();
      text->resize(std::min(text->size() * 2, detail::kMaxFileBytes + 1));
    }
    const ssize_t n = ::read(fd, text->data() + used, text->size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      return IoErrno(errno, "cannot read registry", path);
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > detail::kMaxFileBytes) return tooBig();
  text->resize(used);
  state->exists = true;
  state->mode = st.st_mode & 07777;
  return {};
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
    (void)lock.Acquire(LockPathOf(path), LOCK_SH, false);
    if (Status s = ReadWholeFile(path, &text, &state); !s.ok()) return s;
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

std::string TempName(const std::filesystem::path& file) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t mix = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  mix ^= (counter.fetch_add(1) + 1) * 0x9E3779B97F4A7C15ull;
  mix ^= static_cast<std::uint64_t>(std::hash<std::thread::id>{}(std::this_thread::get_id())) << 1;
  char hex[17];
  for (int i = 15; i >= 0; --i, mix >>= 4) hex[i] = "0123456789abcdef"[mix & 15];
  hex[16] = '\0';
  return file.filename().string() + ".tmp." + std::to_string(::getpid()) + "." + hex;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Replaces the file with text so that a crash at any point leaves either the
// old or the new file: write a temporary file beside it, fsync, rename over.
Status ReplaceFile(const std::filesystem::path& path, std::string_view text, const FileState& old) {
  const std::filesystem::path folder = FolderOf(path);
  std::filesystem::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = folder / TempName(path);
    do {
      fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return IoErrno(errno, "cannot create temporary file", temp);

  const auto fail = [&](const char* what) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    return IoErrno(error, what, temp);
  };
  // Keep a mode the user chose for an existing file; new files stay private.
  if (old.exists && old.mode != 0600) (void)::fchmod(fd, old.mode);
  if (!WriteAll(fd, text)) return fail("cannot write");
  if (::fsync(fd) != 0) return fail("cannot flush");
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return fail("cannot close");
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return Io(error, "cannot rename " + temp.string() + " to " + path.string() + ": " + ErrnoText(error));
  }
  // Make the rename itself durable. The new registry is already in place and
  // visible, so a failure here (some file systems refuse to fsync folders)
  // is not reported as a failed change.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
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
  const std::filesystem::path folder = FolderOf(path);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return Io(ec.value(), "cannot create folder " + folder.string() + ": " + ec.message());
  FileLock lock;
  if (const int error = lock.Acquire(LockPathOf(path), LOCK_EX, true))
    return IoErrno(error, "cannot lock", LockPathOf(path));

  std::string old;
  FileState state;
  if (Status s = ReadWholeFile(path, &old, &state); !s.ok()) return s;
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
  if (Status s = ReplaceFile(path, text, state); !s.ok()) return s;
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
