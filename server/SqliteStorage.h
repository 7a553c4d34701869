// The SQLite backend of Storage: one database file in WAL mode, its schema
// created and migrated on open (the "schema_version" table holds the version),
// every statement prepared with bound parameters. One connection, guarded by
// a mutex, serves all threads.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "server/ServerLog.h"
#include "server/Storage.h"

struct sqlite3;

namespace rovana::server {

class SqliteStorage final : public Storage {
 public:
  // The schema version this build writes; a database of a later version is
  // refused (Open gives nothing) rather than damaged.
  static constexpr int kSchemaVersion = 1;

  // Opens or creates the database; nothing (logged) when it cannot be opened
  // or migrated.
  static std::unique_ptr<SqliteStorage> Open(const std::filesystem::path& file, ServerLog& log);
  ~SqliteStorage() override;

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

  // The schema version stored in the file.
  int SchemaVersion();

 private:
  SqliteStorage(sqlite3* db, ServerLog& log);
  bool Migrate();
  Stored<Account> AccountWhere(const char* sql, const std::string* text, std::int64_t number);
  void Fail(const char* what);

  sqlite3* db_;
  ServerLog& log_;
  std::mutex mutex_;
};

}  // namespace rovana::server
