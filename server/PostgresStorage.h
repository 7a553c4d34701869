// The PostgreSQL backend of the service's storage, for deployments that
// outgrow one machine's SQLite file: the same tables (with `owner` for the
// account a row belongs to), created and migrated by the server and
// recorded in `schema_version`; e-mail addresses and nicknames unique
// without regard to letter case; parameters always bound, never spliced into
// SQL. One connection, used under a mutex, like the SQLite backend.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/ServerLog.h"
#include "server/Storage.h"

struct pg_conn;
struct pg_result;

namespace rovana::server {

// Whether `database` names a PostgreSQL server ("postgresql://..." or
// "postgres://...") rather than an SQLite file.
bool IsPostgresUri(const std::string& database);

class PostgresStorage final : public Storage {
 public:
  static constexpr int kSchemaVersion = 1;

  // Connects and migrates; nothing (logged) when the server cannot be
  // reached or its schema is newer than this build's.
  static std::unique_ptr<PostgresStorage> Open(const std::string& uri, ServerLog& log);
  ~PostgresStorage() override;

  Stored<std::int64_t> CreateAccount(const std::string& email, const PasswordHash& password,
                                     std::int64_t now) override;
  Stored<Account> AccountByEmail(const std::string& email) override;
  Stored<Account> AccountById(std::int64_t id) override;
  Stored<Account> AccountByNickname(const std::string& nickname) override;
  StoreStatus SetNicknameAndPin(std::int64_t user, const std::string& nickname,
                                const std::string& pin) override;

  StoreStatus CreateSession(const Session& session) override;
  Stored<Session> SessionById(std::int64_t id) override;
  StoreStatus TouchSession(std::int64_t id, std::int64_t now) override;
  StoreStatus DeleteSession(std::int64_t id) override;
  Stored<std::int64_t> DeleteSessionsBefore(std::int64_t cutoff) override;

  StoreStatus AddBuddyPair(std::int64_t a, std::int64_t b) override;
  StoreStatus DeleteBuddyPair(std::int64_t a, std::int64_t b) override;
  StoreStatus SetBuddyEnabled(std::int64_t user, std::int64_t buddy, bool enabled) override;
  Stored<bool> IsBuddy(std::int64_t user, std::int64_t buddy) override;
  Stored<std::vector<BuddyEntry>> Buddies(std::int64_t user) override;
  Stored<std::vector<Position>> BuddyPositions(std::int64_t user) override;

  Stored<std::int64_t> CreateTrack(std::int64_t user, std::int64_t now) override;
  Stored<std::int64_t> TrackOwner(std::int64_t track) override;
  StoreStatus AddPosition(const Position& position) override;

  Stored<std::int64_t> AddMessage(const ChatMessage& message) override;
  Stored<std::vector<ChatMessage>> TakeUndelivered(std::int64_t user, int limit) override;

  bool CheckIntegrity() override;

  // A statement's outcome: its rows (text), the rows it changed, and
  // whether it broke a unique constraint.
  struct Result {
    bool ok = false;
    bool conflict = false;
    std::vector<std::vector<std::string>> rows;
    std::int64_t changed = 0;
  };

 private:
  PostgresStorage(pg_conn* connection, ServerLog& log) : connection_(connection), log_(log) {}
  bool Migrate();
  Result Run(const char* sql, const std::vector<std::string>& parameters, const char* what);
  bool Command(const char* sql, const char* what);
  Stored<Account> AccountWhere(const char* where, const std::string& value);
  StoreStatus Changed(const Result& result);

  pg_conn* connection_;
  ServerLog& log_;
  std::mutex mutex_;
};

}  // namespace rovana::server
