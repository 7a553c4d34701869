// A prepared SQLite statement with bound parameters, finalized on scope
// exit, and a transaction that rolls back unless committed. Private to the
// SQLite backend.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace rovana::server {

class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) statement_ = nullptr;
  }
  ~SqliteStatement() { sqlite3_finalize(statement_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  bool ok() const { return statement_ != nullptr && bound_; }

  // Parameters count from 1, as in the SQL text ("?1").
  SqliteStatement& Bind(int index, std::int64_t value) {
    Check(statement_ && sqlite3_bind_int64(statement_, index, value) == SQLITE_OK);
    return *this;
  }
  SqliteStatement& Bind(int index, double value) {
    Check(statement_ && sqlite3_bind_double(statement_, index, value) == SQLITE_OK);
    return *this;
  }
  SqliteStatement& Bind(int index, std::string_view text) {
    Check(statement_ && sqlite3_bind_text(statement_, index, text.data(),
                                          static_cast<int>(text.size()), SQLITE_TRANSIENT) ==
                            SQLITE_OK);
    return *this;
  }
  SqliteStatement& BindBlob(int index, std::string_view bytes) {
    Check(statement_ && sqlite3_bind_blob(statement_, index, bytes.data(),
                                          static_cast<int>(bytes.size()), SQLITE_TRANSIENT) ==
                            SQLITE_OK);
    return *this;
  }

  // SQLITE_ROW, SQLITE_DONE or an error code (SQLITE_CONSTRAINT for a
  // uniqueness conflict).
  int Step() {
    if (!ok()) return SQLITE_ERROR;
    const int code = sqlite3_step(statement_);
    return code == SQLITE_ROW || code == SQLITE_DONE ? code : (code & 0xff);
  }

  std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
  double Real(int column) const { return sqlite3_column_double(statement_, column); }
  std::string Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
  }
  std::string Blob(int column) const {
    const void* bytes = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return bytes ? std::string(static_cast<const char*>(bytes), size) : std::string();
  }

 private:
  void Check(bool bound) { bound_ = bound_ && bound; }

  sqlite3_stmt* statement_ = nullptr;
  bool bound_ = true;
};

class SqliteTransaction {
 public:
  explicit SqliteTransaction(sqlite3* db) : db_(db) {
    began_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~SqliteTransaction() {
    if (began_ && !done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;

  bool began() const { return began_; }
  bool Commit() {
    done_ = began_ && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    return done_;
  }

 private:
  sqlite3* db_;
  bool began_ = false;
  bool done_ = false;
};

}  // namespace rovana::server
