#include "server/SqliteStorage.h"

#include <sqlite3.h>

#include "server/SqliteStatement.h"

namespace rovana::server {
namespace {

// One row per schema version: the statements that take a database from the
// version before it to this one. A new version is a new row; rows already
// shipped are never edited.
constexpr const char* kMigrations[] = {
    // 1: the first schema.
    "CREATE TABLE accounts ("
    "  id INTEGER PRIMARY KEY,"
    "  email TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    "  salt BLOB NOT NULL,"
    "  hash BLOB NOT NULL,"
    "  iterations INTEGER NOT NULL,"
    "  nickname TEXT UNIQUE COLLATE NOCASE,"
    "  pin TEXT NOT NULL DEFAULT '',"
    "  created INTEGER NOT NULL);"
    "CREATE TABLE sessions ("
    "  id INTEGER PRIMARY KEY,"
    "  user INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  last_used INTEGER NOT NULL,"
    "  client TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX sessions_last_used ON sessions(last_used);"
    "CREATE TABLE buddies ("
    "  user INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  buddy INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  enabled INTEGER NOT NULL DEFAULT 1,"
    "  PRIMARY KEY (user, buddy));"
    "CREATE TABLE tracks ("
    "  id INTEGER PRIMARY KEY,"
    "  user INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  created INTEGER NOT NULL);"
    "CREATE TABLE positions ("
    "  id INTEGER PRIMARY KEY,"
    "  track INTEGER NOT NULL REFERENCES tracks(id) ON DELETE CASCADE,"
    "  user INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  time INTEGER NOT NULL,"
    "  latitude REAL NOT NULL,"
    "  longitude REAL NOT NULL,"
    "  altitude REAL NOT NULL,"
    "  speed REAL NOT NULL,"
    "  course REAL NOT NULL,"
    "  upload_interval INTEGER NOT NULL);"
    "CREATE INDEX positions_latest ON positions(user, id);"
    "CREATE TABLE messages ("
    "  id INTEGER PRIMARY KEY,"
    "  sender INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  recipient INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  text TEXT NOT NULL,"
    "  sent INTEGER NOT NULL,"
    "  delivered INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX messages_pending ON messages(recipient, delivered, id);",
};
static_assert(std::size(kMigrations) == SqliteStorage::kSchemaVersion);

}  // namespace

std::unique_ptr<SqliteStorage> SqliteStorage::Open(const std::filesystem::path& file,
                                                   ServerLog& log) {
  sqlite3* db = nullptr;
  const int code = sqlite3_open_v2(file.c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                       SQLITE_OPEN_FULLMUTEX,
                                   nullptr);
  if (code != SQLITE_OK) {
    log.Write("database " + file.string() + ": " +
              (db ? sqlite3_errmsg(db) : sqlite3_errstr(code)));
    sqlite3_close(db);
    return nullptr;
  }
  std::unique_ptr<SqliteStorage> storage(new SqliteStorage(db, log));
  // WAL lets readers go on while one writer commits; FULL syncs every commit
  // so that an acknowledged change survives a power cut.
  const char* setup =
      "PRAGMA busy_timeout = 5000; PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;"
      "PRAGMA foreign_keys = ON;";
  if (sqlite3_exec(db, setup, nullptr, nullptr, nullptr) != SQLITE_OK) {
    log.Write("database " + file.string() + ": " + sqlite3_errmsg(db));
    return nullptr;
  }
  if (!storage->Migrate()) {
    log.Write("database " + file.string() + ": cannot bring the schema to version " +
              std::to_string(kSchemaVersion));
    return nullptr;
  }
  return storage;
}

SqliteStorage::SqliteStorage(sqlite3* db, ServerLog& log) : db_(db), log_(log) {}

SqliteStorage::~SqliteStorage() { sqlite3_close(db_); }

void SqliteStorage::Fail(const char* what) {
  log_.Write(std::string("database: ") + what + ": " + sqlite3_errmsg(db_));
}

int SqliteStorage::SchemaVersion() {
  std::lock_guard lock(mutex_);
  SqliteStatement select(db_, "SELECT MAX(version) FROM schema_version");
  return select.Step() == SQLITE_ROW ? static_cast<int>(select.Int(0)) : 0;
}

bool SqliteStorage::Migrate() {
  std::lock_guard lock(mutex_);
  if (sqlite3_exec(db_, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)",
                   nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fail("schema_version");
    return false;
  }
  int version = 0;
  {
    SqliteStatement select(db_, "SELECT MAX(version) FROM schema_version");
    if (select.Step() != SQLITE_ROW) {
      Fail("schema version");
      return false;
    }
    version = static_cast<int>(select.Int(0));
  }
  if (version > kSchemaVersion) {
    log_.Write("database: schema version " + std::to_string(version) +
               " is newer than this server's " + std::to_string(kSchemaVersion));
    return false;
  }
  for (; version < kSchemaVersion; ++version) {
    SqliteTransaction transaction(db_);
    if (!transaction.began() ||
        sqlite3_exec(db_, kMigrations[version], nullptr, nullptr, nullptr) != SQLITE_OK) {
      Fail("migration");
      return false;
    }
    SqliteStatement record(db_, "INSERT INTO schema_version (version) VALUES (?1)");
    record.Bind(1, static_cast<std::int64_t>(version + 1));
    if (record.Step() != SQLITE_DONE || !transaction.Commit()) {
      Fail("migration");
      return false;
    }
    log_.Write("database: schema version " + std::to_string(version + 1));
  }
  return true;
}

StoreStatus SqliteStorage::CreateSession(const Session& session) {
  std::lock_guard lock(mutex_);
  SqliteStatement insert(db_, "INSERT INTO sessions (id, user, last_used, client) "
                              "VALUES (?1, ?2, ?3, ?4)");
  insert.Bind(1, session.id).Bind(2, session.user).Bind(3, session.lastUsed).Bind(4, session.client);
  const int code = insert.Step();
  if (code == SQLITE_DONE) return StoreStatus::Ok;
  if (code == SQLITE_CONSTRAINT) return StoreStatus::Conflict;
  Fail("create session");
  return StoreStatus::Failed;
}

Stored<Session> SqliteStorage::SessionById(std::int64_t id) {
  std::lock_guard lock(mutex_);
  SqliteStatement select(db_, "SELECT id, user, last_used, client FROM sessions WHERE id = ?1");
  select.Bind(1, id);
  const int code = select.Step();
  if (code == SQLITE_ROW) {
    return {StoreStatus::Ok, Session{select.Int(0), select.Int(1), select.Int(2), select.Text(3)}};
  }
  if (code == SQLITE_DONE) return {StoreStatus::NotFound, {}};
  Fail("find session");
  return {};
}

StoreStatus SqliteStorage::TouchSession(std::int64_t id, std::int64_t now) {
  std::lock_guard lock(mutex_);
  SqliteStatement update(db_, "UPDATE sessions SET last_used = ?2 WHERE id = ?1");
  update.Bind(1, id).Bind(2, now);
  if (update.Step() != SQLITE_DONE) {
    Fail("touch session");
    return StoreStatus::Failed;
  }
  return sqlite3_changes(db_) > 0 ? StoreStatus::Ok : StoreStatus::NotFound;
}

StoreStatus SqliteStorage::DeleteSession(std::int64_t id) {
  std::lock_guard lock(mutex_);
  SqliteStatement remove(db_, "DELETE FROM sessions WHERE id = ?1");
  remove.Bind(1, id);
  if (remove.Step() != SQLITE_DONE) {
    Fail("delete session");
    return StoreStatus::Failed;
  }
  return sqlite3_changes(db_) > 0 ? StoreStatus::Ok : StoreStatus::NotFound;
}

Stored<std::int64_t> SqliteStorage::DeleteSessionsBefore(std::int64_t cutoff) {
  std::lock_guard lock(mutex_);
  SqliteStatement remove(db_, "DELETE FROM sessions WHERE last_used < ?1");
  remove.Bind(1, cutoff);
  if (remove.Step() != SQLITE_DONE) {
    Fail("expire sessions");
    return {};
  }
  return {StoreStatus::Ok, sqlite3_changes(db_)};
}

bool SqliteStorage::CheckIntegrity() {
  std::lock_guard lock(mutex_);
  SqliteStatement check(db_, "PRAGMA integrity_check");
  if (check.Step() != SQLITE_ROW || check.Text(0) != "ok") return false;
  SqliteStatement keys(db_, "PRAGMA foreign_key_check");
  return keys.Step() == SQLITE_DONE;
}

}  // namespace rovana::server
