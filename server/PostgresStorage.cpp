#include "server/PostgresStorage.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>

namespace rovana::server {
namespace {

// One row per schema version, as for SQLite; rows already shipped are never
// edited.
constexpr const char* kMigrations[] = {
    // 1: the first schema.
    "CREATE TABLE accounts ("
    "  id BIGSERIAL PRIMARY KEY,"
    "  email TEXT NOT NULL,"
    "  salt BYTEA NOT NULL,"
    "  hash BYTEA NOT NULL,"
    "  iterations INTEGER NOT NULL,"
    "  nickname TEXT,"
    "  pin TEXT NOT NULL DEFAULT '',"
    "  created BIGINT NOT NULL);"
    "CREATE UNIQUE INDEX accounts_email ON accounts (lower(email));"
    "CREATE UNIQUE INDEX accounts_nickname ON accounts (lower(nickname));"
    "CREATE TABLE sessions ("
    "  id BIGINT PRIMARY KEY,"
    "  owner BIGINT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  last_used BIGINT NOT NULL,"
    "  client TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX sessions_last_used ON sessions(last_used);"
    "CREATE TABLE buddies ("
    "  owner BIGINT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  buddy BIGINT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  enabled INTEGER NOT NULL DEFAULT 1,"
    "  PRIMARY KEY (owner, buddy));"
    "CREATE TABLE tracks ("
    "  id BIGSERIAL PRIMARY KEY,"
    "  owner BIGINT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  created BIGINT NOT NULL);"
    "CREATE TABLE positions ("
    "  id BIGSERIAL PRIMARY KEY,"
    "  track BIGINT NOT NULL REFERENCES tracks(id) ON DELETE CASCADE,"
    "  owner BIGINT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  time BIGINT NOT NULL,"
    "  latitude DOUBLE PRECISION NOT NULL,"
    "  longitude DOUBLE PRECISION NOT NULL,"
    "  altitude DOUBLE PRECISION NOT NULL,"
    "  speed DOUBLE PRECISION NOT NULL,"
    "  course DOUBLE PRECISION NOT NULL,"
    "  upload_interval BIGINT NOT NULL);"
    "CREATE INDEX positions_latest ON positions(owner, id);"
    "CREATE TABLE messages ("
    "  id BIGSERIAL PRIMARY KEY,"
    "  sender BIGINT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  recipient BIGINT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,"
    "  text TEXT NOT NULL,"
    "  sent BIGINT NOT NULL,"
    "  delivered INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX messages_pending ON messages(recipient, delivered, id);",
};
static_assert(std::size(kMigrations) == PostgresStorage::kSchemaVersion);

constexpr const char* kAccountColumns = "SELECT id, email, salt, hash, iterations, COALESCE(nickname, ''), pin FROM accounts ";

// Numbers travel as text in the C locale, whatever the process's locale.
std::string Text(std::int64_t value) { return std::to_string(value); }
std::string Text(double value) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}
std::int64_t Int(const std::string& text) {
  std::int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}
double Real(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// bytea in its hex form: "\x" and two digits a byte.
std::string Bytea(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "\\x";
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}
std::string FromBytea(const std::string& text) {
  std::string out;
  if (text.rfind("\\x", 0) != 0) return out;
  auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (std::size_t i = 2; i + 1 < text.size(); i += 2)
    out += static_cast<char>(digit(text[i]) * 16 + digit(text[i + 1]));
  return out;
}

Account AccountFrom(const std::vector<std::string>& row) {
  Account account;
  account.id = Int(row[0]);
  account.email = row[1];
  account.password.salt = FromBytea(row[2]);
  account.password.key = FromBytea(row[3]);
  account.password.iterations = static_cast<int>(Int(row[4]));
  account.nickname = row[5];
  account.pin = row[6];
  return account;
}

}  // namespace

bool IsPostgresUri(const std::string& database) {
  return database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0;
}

std::unique_ptr<PostgresStorage> PostgresStorage::Open(const std::string& uri, ServerLog& log) {
  PGconn* connection = PQconnectdb(uri.c_str());
  if (!connection || PQstatus(connection) != CONNECTION_OK) {
    // The message names host and port, never the password of the URI.
    log.Write(std::string("database: cannot connect to PostgreSQL: ") +
              (connection ? PQerrorMessage(connection) : "no memory"));
    if (connection) PQfinish(connection);
    return nullptr;
  }
  PQsetClientEncoding(connection, "UTF8");
  std::unique_ptr<PostgresStorage> storage(new PostgresStorage(connection, log));
  if (!storage->Migrate()) return nullptr;
  return storage;
}

PostgresStorage::~PostgresStorage() { PQfinish(connection_); }

PostgresStorage::Result PostgresStorage::Run(const char* sql, const std::vector<std::string>& parameters,
                                             const char* what) {
  std::vector<const char*> values;
  values.reserve(parameters.size());
  for (const std::string& p : parameters) values.push_back(p.c_str());
  PGresult* r = PQexecParams(connection_, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                             nullptr, 0);
  Result out;
  const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
    out.ok = true;
    for (int row = 0; row < PQntuples(r); ++row) {
      std::vector<std::string> fields;
      for (int column = 0; column < PQnfields(r); ++column) fields.emplace_back(PQgetvalue(r, row, column));
      out.rows.push_back(std::move(fields));
    }
    out.changed = Int(PQcmdTuples(r));
  } else {
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    out.conflict = state && std::strcmp(state, "23505") == 0;  // unique_violation
    if (!out.conflict) log_.Write(std::string("database: ") + what + ": " + PQerrorMessage(connection_));
  }
  PQclear(r);
  return out;
}

// Fixed SQL without parameters (the schema, transactions), which may hold
// several statements.
bool PostgresStorage::Command(const char* sql, const char* what) {
  PGresult* r = PQexec(connection_, sql);
  const bool ok = r && PQresultStatus(r) == PGRES_COMMAND_OK;
  if (!ok) log_.Write(std::string("database: ") + what + ": " + PQerrorMessage(connection_));
  PQclear(r);
  return ok;
}

StoreStatus PostgresStorage::Changed(const Result& result) {
  if (result.conflict) return StoreStatus::Conflict;
  if (!result.ok) return StoreStatus::Failed;
  return result.changed > 0 ? StoreStatus::Ok : StoreStatus::NotFound;
}

bool PostgresStorage::Migrate() {
  std::lock_guard lock(mutex_);
  if (!Command("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", "schema")) return false;
  const Result current = Run("SELECT COALESCE(MAX(version), 0) FROM schema_version", {}, "schema");
  if (!current.ok || current.rows.empty()) return false;
  const std::int64_t have = Int(current.rows[0][0]);
  if (have > kSchemaVersion) {
    log_.Write("database: schema version " + std::to_string(have) + " is newer than this server's " +
               std::to_string(kSchemaVersion) + "; left alone");
    return false;
  }
  for (std::int64_t version = have; version < kSchemaVersion; ++version) {
    if (!Command("BEGIN", "migration")) return false;
    if (!Command(kMigrations[version], "migration") ||
        !Run("INSERT INTO schema_version (version) VALUES ($1)", {Text(version + 1)}, "migration").ok ||
        !Command("COMMIT", "migration")) {
      Command("ROLLBACK", "migration");
      return false;
    }
    log_.Write("database: schema version " + std::to_string(version + 1));
  }
  return true;
}

Stored<std::int64_t> PostgresStorage::CreateAccount(const std::string& email, const PasswordHash& password,
                                                    std::int64_t now) {
  std::lock_guard lock(mutex_);
  const Result r = Run("INSERT INTO accounts (email, salt, hash, iterations, created) VALUES ($1, $2, $3, $4, $5) "
                       "RETURNING id",
                       {email, Bytea(password.salt), Bytea(password.key), Text(std::int64_t{password.iterations}),
                        Text(now)},
                       "create account");
  if (r.conflict) return {StoreStatus::Conflict, 0};
  if (!r.ok || r.rows.empty()) return {};
  return {StoreStatus::Ok, Int(r.rows[0][0])};
}

Stored<Account> PostgresStorage::AccountWhere(const char* where, const std::string& value) {
  std::lock_guard lock(mutex_);
  const Result r = Run((std::string(kAccountColumns) + where).c_str(), {value}, "find account");
  if (!r.ok) return {};
  if (r.rows.empty()) return {StoreStatus::NotFound, {}};
  return {StoreStatus::Ok, AccountFrom(r.rows[0])};
}

Stored<Account> PostgresStorage::AccountByEmail(const std::string& email) {
  return AccountWhere("WHERE lower(email) = lower($1)", email);
}

Stored<Account> PostgresStorage::AccountById(std::int64_t id) { return AccountWhere("WHERE id = $1", Text(id)); }

Stored<Account> PostgresStorage::AccountByNickname(const std::string& nickname) {
  return AccountWhere("WHERE lower(nickname) = lower($1)", nickname);
}

StoreStatus PostgresStorage::SetNicknameAndPin(std::int64_t user, const std::string& nickname,
                                               const std::string& pin) {
  std::lock_guard lock(mutex_);
  return Changed(Run("UPDATE accounts SET nickname = $2, pin = $3 WHERE id = $1", {Text(user), nickname, pin},
                     "set nickname"));
}

StoreStatus PostgresStorage::CreateSession(const Session& session) {
  std::lock_guard lock(mutex_);
  const Result r = Run("INSERT INTO sessions (id, owner, last_used, client) VALUES ($1, $2, $3, $4)",
                       {Text(session.id), Text(session.user), Text(session.lastUsed), session.client},
                       "create session");
  if (r.conflict) return StoreStatus::Conflict;
  return r.ok ? StoreStatus::Ok : StoreStatus::Failed;
}

Stored<Session> PostgresStorage::SessionById(std::int64_t id) {
  std::lock_guard lock(mutex_);
  const Result r = Run("SELECT id, owner, last_used, client FROM sessions WHERE id = $1", {Text(id)}, "find session");
  if (!r.ok) return {};
  if (r.rows.empty()) return {StoreStatus::NotFound, {}};
  const auto& row = r.rows[0];
  return {StoreStatus::Ok, Session{Int(row[0]), Int(row[1]), Int(row[2]), row[3]}};
}

StoreStatus PostgresStorage::TouchSession(std::int64_t id, std::int64_t now) {
  std::lock_guard lock(mutex_);
  return Changed(Run("UPDATE sessions SET last_used = $2 WHERE id = $1", {Text(id), Text(now)}, "touch session"));
}

StoreStatus PostgresStorage::DeleteSession(std::int64_t id) {
  std::lock_guard lock(mutex_);
  return Changed(Run("DELETE FROM sessions WHERE id = $1", {Text(id)}, "delete session"));
}

Stored<std::int64_t> PostgresStorage::DeleteSessionsBefore(std::int64_t cutoff) {
  std::lock_guard lock(mutex_);
  const Result r = Run("DELETE FROM sessions WHERE last_used < $1", {Text(cutoff)}, "expire sessions");
  if (!r.ok) return {};
  return {StoreStatus::Ok, r.changed};
}

StoreStatus PostgresStorage::AddBuddyPair(std::int64_t a, std::int64_t b) {
  std::lock_guard lock(mutex_);
  // Both sides in one statement: the pair is there whole or not at all.
  const Result r = Run("INSERT INTO buddies (owner, buddy, enabled) VALUES ($1, $2, 1), ($2, $1, 1)",
                       {Text(a), Text(b)}, "add buddy");
  if (r.conflict) return StoreStatus::Conflict;
  return r.ok ? StoreStatus::Ok : StoreStatus::Failed;
}

StoreStatus PostgresStorage::DeleteBuddyPair(std::int64_t a, std::int64_t b) {
  std::lock_guard lock(mutex_);
  return Changed(Run("DELETE FROM buddies WHERE (owner = $1 AND buddy = $2) OR (owner = $2 AND buddy = $1)",
                     {Text(a), Text(b)}, "delete buddy"));
}

StoreStatus PostgresStorage::SetBuddyEnabled(std::int64_t user, std::int64_t buddy, bool enabled) {
  std::lock_guard lock(mutex_);
  return Changed(Run("UPDATE buddies SET enabled = $3 WHERE owner = $1 AND buddy = $2",
                     {Text(user), Text(buddy), enabled ? "1" : "0"}, "enable buddy"));
}

Stored<bool> PostgresStorage::IsBuddy(std::int64_t user, std::int64_t buddy) {
  std::lock_guard lock(mutex_);
  const Result r = Run("SELECT 1 FROM buddies WHERE owner = $1 AND buddy = $2", {Text(user), Text(buddy)}, "find buddy");
  if (!r.ok) return {};
  return {StoreStatus::Ok, !r.rows.empty()};
}

Stored<std::vector<BuddyEntry>> PostgresStorage::Buddies(std::int64_t user) {
  std::lock_guard lock(mutex_);
  const Result r = Run("SELECT b.buddy, COALESCE(a.nickname, ''), b.enabled FROM buddies b "
                       "JOIN accounts a ON a.id = b.buddy WHERE b.owner = $1 ORDER BY b.buddy",
                       {Text(user)}, "list buddies");
  if (!r.ok) return {};
  Stored<std::vector<BuddyEntry>> out{StoreStatus::Ok, {}};
  for (const auto& row : r.rows) out.value.push_back({Int(row[0]), row[1], Int(row[2]) != 0});
  return out;
}

Stored<std::vector<Position>> PostgresStorage::BuddyPositions(std::int64_t user) {
  std::lock_guard lock(mutex_);
  // A buddy's position is shown only while both sides keep the pair enabled.
  const Result r = Run(
      "SELECT p.track, p.owner, p.time, p.latitude, p.longitude, p.altitude, p.speed, p.course, p.upload_interval "
      "FROM buddies mine "
      "JOIN buddies theirs ON theirs.owner = mine.buddy AND theirs.buddy = mine.owner "
      "JOIN positions p ON p.id = (SELECT MAX(id) FROM positions WHERE owner = mine.buddy) "
      "WHERE mine.owner = $1 AND mine.enabled = 1 AND theirs.enabled = 1 ORDER BY p.owner",
      {Text(user)}, "buddy positions");
  if (!r.ok) return {};
  Stored<std::vector<Position>> out{StoreStatus::Ok, {}};
  for (const auto& row : r.rows)
    out.value.push_back({Int(row[0]), Int(row[1]), Int(row[2]), Real(row[3]), Real(row[4]), Real(row[5]),
                         Real(row[6]), Real(row[7]), Int(row[8])});
  return out;
}

Stored<std::int64_t> PostgresStorage::CreateTrack(std::int64_t user, std::int64_t now) {
  std::lock_guard lock(mutex_);
  const Result r = Run("INSERT INTO tracks (owner, created) VALUES ($1, $2) RETURNING id", {Text(user), Text(now)},
                       "create track");
  if (!r.ok || r.rows.empty()) return {};
  return {StoreStatus::Ok, Int(r.rows[0][0])};
}

Stored<std::int64_t> PostgresStorage::TrackOwner(std::int64_t track) {
  std::lock_guard lock(mutex_);
  const Result r = Run("SELECT owner FROM tracks WHERE id = $1", {Text(track)}, "find track");
  if (!r.ok) return {};
  if (r.rows.empty()) return {StoreStatus::NotFound, 0};
  return {StoreStatus::Ok, Int(r.rows[0][0])};
}

StoreStatus PostgresStorage::AddPosition(const Position& p) {
  std::lock_guard lock(mutex_);
  const Result r = Run("INSERT INTO positions (track, owner, time, latitude, longitude, altitude, speed, course, "
                       "upload_interval) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)",
                       {Text(p.track), Text(p.user), Text(p.time), Text(p.latitude), Text(p.longitude),
                        Text(p.altitude), Text(p.speed), Text(p.course), Text(p.interval)},
                       "add position");
  return r.ok ? StoreStatus::Ok : StoreStatus::Failed;
}

Stored<std::int64_t> PostgresStorage::AddMessage(const ChatMessage& m) {
  std::lock_guard lock(mutex_);
  const Result r = Run("INSERT INTO messages (sender, recipient, text, sent) VALUES ($1, $2, $3, $4) RETURNING id",
                       {Text(m.sender), Text(m.recipient), m.text, Text(m.sent)}, "add message");
  if (!r.ok || r.rows.empty()) return {};
  return {StoreStatus::Ok, Int(r.rows[0][0])};
}

Stored<std::vector<ChatMessage>> PostgresStorage::TakeUndelivered(std::int64_t user, int limit) {
  std::lock_guard lock(mutex_);
  // Taken and marked in one statement; the rows come back in any order.
  const Result r = Run("UPDATE messages SET delivered = 1 WHERE id IN ("
                       "  SELECT id FROM messages WHERE recipient = $1 AND delivered = 0 ORDER BY id LIMIT $2 "
                       "  FOR UPDATE) "
                       "RETURNING id, sender, recipient, text, sent",
                       {Text(user), Text(std::int64_t{limit})}, "receive messages");
  if (!r.ok) return {};
  Stored<std::vector<ChatMessage>> out{StoreStatus::Ok, {}};
  for (const auto& row : r.rows) out.value.push_back({Int(row[0]), Int(row[1]), Int(row[2]), row[3], Int(row[4])});
  std::sort(out.value.begin(), out.value.end(), [](const ChatMessage& a, const ChatMessage& b) { return a.id < b.id; });
  return out;
}

bool PostgresStorage::CheckIntegrity() {
  std::lock_guard lock(mutex_);
  // Foreign keys are enforced by the server itself; what is left to check
  // is that every pair has both of its sides.
  const Result r = Run("SELECT COUNT(*) FROM buddies b WHERE NOT EXISTS "
                       "(SELECT 1 FROM buddies o WHERE o.owner = b.buddy AND o.buddy = b.owner)",
                       {}, "check");
  return r.ok && !r.rows.empty() && r.rows[0][0] == "0";
}

}  // namespace rovana::server
