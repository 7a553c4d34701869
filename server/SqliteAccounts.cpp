// The SQLite backend's accounts, buddy pairs, tracks and chat messages.
#include <sqlite3.h>

#include "server/SqliteStatement.h"
#include "server/SqliteStorage.h"

namespace rovana::server {
namespace {

constexpr const char* kAccountColumns =
    "SELECT id, email, salt, hash, iterations, COALESCE(nickname, ''), pin FROM accounts ";

Account AccountFrom(const SqliteStatement& row) {
  Account account;
  account.id = row.Int(0);
  account.email = row.Text(1);
  account.password.salt = row.Blob(2);
  account.password.key = row.Blob(3);
  account.password.iterations = static_cast<int>(row.Int(4));
  account.nickname = row.Text(5);
  account.pin = row.Text(6);
  return account;
}

}  // namespace

Stored<std::int64_t> SqliteStorage::CreateAccount(const std::string& email,
                                                  const PasswordHash& password, std::int64_t now) {
  std::lock_guard lock(mutex_);
  SqliteStatement insert(db_, "INSERT INTO accounts (email, salt, hash, iterations, created) "
                              "VALUES (?1, ?2, ?3, ?4, ?5)");
  insert.Bind(1, email)
      .BindBlob(2, password.salt)
      .BindBlob(3, password.key)
      .Bind(4, static_cast<std::int64_t>(password.iterations))
      .Bind(5, now);
  const int code = insert.Step();
  if (code == SQLITE_DONE) return {StoreStatus::Ok, sqlite3_last_insert_rowid(db_)};
  if (code == SQLITE_CONSTRAINT) return {StoreStatus::Conflict, 0};
  Fail("create account");
  return {};
}

Stored<Account> SqliteStorage::AccountWhere(const char* where, const std::string* text,
                                            std::int64_t number) {
  std::lock_guard lock(mutex_);
  SqliteStatement select(db_, (std::string(kAccountColumns) + where).c_str());
  if (text) {
    select.Bind(1, *text);
  } else {
    select.Bind(1, number);
  }
  const int code = select.Step();
  if (code == SQLITE_ROW) return {StoreStatus::Ok, AccountFrom(select)};
  if (code == SQLITE_DONE) return {StoreStatus::NotFound, {}};
  Fail("find account");
  return {};
}

Stored<Account> SqliteStorage::AccountByEmail(const std::string& email) {
  return AccountWhere("WHERE email = ?1", &email, 0);
}

Stored<Account> SqliteStorage::AccountById(std::int64_t id) {
  return AccountWhere("WHERE id = ?1", nullptr, id);
}

Stored<Account> SqliteStorage::AccountByNickname(const std::string& nickname) {
  return AccountWhere("WHERE nickname = ?1", &nickname, 0);
}

StoreStatus SqliteStorage::SetNicknameAndPin(std::int64_t user, const std::string& nickname,
                                             const std::string& pin) {
  std::lock_guard lock(mutex_);
  SqliteStatement update(db_, "UPDATE accounts SET nickname = ?2, pin = ?3 WHERE id = ?1");
  update.Bind(1, user).Bind(2, nickname).Bind(3, pin);
  const int code = update.Step();
  if (code == SQLITE_CONSTRAINT) return StoreStatus::Conflict;
  if (code != SQLITE_DONE) {
    Fail("set nickname");
    return StoreStatus::Failed;
  }
  return sqlite3_changes(db_) > 0 ? StoreStatus::Ok : StoreStatus::NotFound;
}

StoreStatus SqliteStorage::AddBuddyPair(std::int64_t a, std::int64_t b) {
  std::lock_guard lock(mutex_);
  SqliteTransaction transaction(db_);
  if (!transaction.began()) {
    Fail("add buddy");
    return StoreStatus::Failed;
  }
  for (const auto& [user, buddy] : {std::pair{a, b}, std::pair{b, a}}) {
    SqliteStatement insert(db_, "INSERT INTO buddies (user, buddy, enabled) VALUES (?1, ?2, 1)");
    insert.Bind(1, user).Bind(2, buddy);
    const int code = insert.Step();
    if (code == SQLITE_CONSTRAINT) return StoreStatus::Conflict;
    if (code != SQLITE_DONE) {
      Fail("add buddy");
      return StoreStatus::Failed;
    }
  }
  if (!transaction.Commit()) {
    Fail("add buddy");
    return StoreStatus::Failed;
  }
  return StoreStatus::Ok;
}

StoreStatus SqliteStorage::DeleteBuddyPair(std::int64_t a, std::int64_t b) {
  std::lock_guard lock(mutex_);
  SqliteStatement remove(db_, "DELETE FROM buddies WHERE (user = ?1 AND buddy = ?2) OR "
                              "(user = ?2 AND buddy = ?1)");
  remove.Bind(1, a).Bind(2, b);
  if (remove.Step() != SQLITE_DONE) {
    Fail("delete buddy");
    return StoreStatus::Failed;
  }
  return sqlite3_changes(db_) > 0 ? StoreStatus::Ok : StoreStatus::NotFound;
}

StoreStatus SqliteStorage::SetBuddyEnabled(std::int64_t user, std::int64_t buddy, bool enabled) {
  std::lock_guard lock(mutex_);
  SqliteStatement update(db_, "UPDATE buddies SET enabled = ?3 WHERE user = ?1 AND buddy = ?2");
  update.Bind(1, user).Bind(2, buddy).Bind(3, static_cast<std::int64_t>(enabled ? 1 : 0));
  if (update.Step() != SQLITE_DONE) {
    Fail("enable buddy");
    return StoreStatus::Failed;
  }
  return sqlite3_changes(db_) > 0 ? StoreStatus::Ok : StoreStatus::NotFound;
}

Stored<bool> SqliteStorage::IsBuddy(std::int64_t user, std::int64_t buddy) {
  std::lock_guard lock(mutex_);
  SqliteStatement select(db_, "SELECT 1 FROM buddies WHERE user = ?1 AND buddy = ?2");
  select.Bind(1, user).Bind(2, buddy);
  const int code = select.Step();
  if (code == SQLITE_ROW || code == SQLITE_DONE) return {StoreStatus::Ok, code == SQLITE_ROW};
  Fail("find buddy");
  return {};
}

Stored<std::vector<BuddyEntry>> SqliteStorage::Buddies(std::int64_t user) {
  std::lock_guard lock(mutex_);
  SqliteStatement select(db_, "SELECT b.buddy, COALESCE(a.nickname, ''), b.enabled "
                              "FROM buddies b JOIN accounts a ON a.id = b.buddy "
                              "WHERE b.user = ?1 ORDER BY b.buddy");
  select.Bind(1, user);
  Stored<std::vector<BuddyEntry>> result{StoreStatus::Ok, {}};
  int code;
  while ((code = select.Step()) == SQLITE_ROW) {
    result.value.push_back({select.Int(0), select.Text(1), select.Int(2) != 0});
  }
  if (code != SQLITE_DONE) {
    Fail("list buddies");
    return {};
  }
  return result;
}

Stored<std::vector<Position>> SqliteStorage::BuddyPositions(std::int64_t user) {
  std::lock_guard lock(mutex_);
  // A buddy's position is shown only while both sides keep the pair enabled.
  SqliteStatement select(
      db_,
      "SELECT p.track, p.user, p.time, p.latitude, p.longitude, p.altitude, p.speed, p.course, "
      "       p.upload_interval "
      "FROM buddies mine "
      "JOIN buddies theirs ON theirs.user = mine.buddy AND theirs.buddy = mine.user "
      "JOIN positions p ON p.id = (SELECT MAX(id) FROM positions WHERE user = mine.buddy) "
      "WHERE mine.user = ?1 AND mine.enabled = 1 AND theirs.enabled = 1 ORDER BY p.user");
  select.Bind(1, user);
  Stored<std::vector<Position>> result{StoreStatus::Ok, {}};
  int code;
  while ((code = select.Step()) == SQLITE_ROW) {
    result.value.push_back({select.Int(0), select.Int(1), select.Int(2), select.Real(3),
                            select.Real(4), select.Real(5), select.Real(6), select.Real(7),
                            select.Int(8)});
  }
  if (code != SQLITE_DONE) {
    Fail("buddy positions");
    return {};
  }
  return result;
}

Stored<std::int64_t> SqliteStorage::CreateTrack(std::int64_t user, std::int64_t now) {
  std::lock_guard lock(mutex_);
  SqliteStatement insert(db_, "INSERT INTO tracks (user, created) VALUES (?1, ?2)");
  insert.Bind(1, user).Bind(2, now);
  if (insert.Step() != SQLITE_DONE) {
    Fail("create track");
    return {};
  }
  return {StoreStatus::Ok, sqlite3_last_insert_rowid(db_)};
}

Stored<std::int64_t> SqliteStorage::TrackOwner(std::int64_t track) {
  std::lock_guard lock(mutex_);
  SqliteStatement select(db_, "SELECT user FROM tracks WHERE id = ?1");
  select.Bind(1, track);
  const int code = select.Step();
  if (code == SQLITE_ROW) return {StoreStatus::Ok, select.Int(0)};
  if (code == SQLITE_DONE) return {StoreStatus::NotFound, 0};
  Fail("find track");
  return {};
}

StoreStatus SqliteStorage::AddPosition(const Position& p) {
  std::lock_guard lock(mutex_);
  SqliteStatement insert(db_, "INSERT INTO positions (track, user, time, latitude, longitude, "
                              "altitude, speed, course, upload_interval) "
                              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  insert.Bind(1, p.track).Bind(2, p.user).Bind(3, p.time).Bind(4, p.latitude).Bind(5, p.longitude);
  insert.Bind(6, p.altitude).Bind(7, p.speed).Bind(8, p.course).Bind(9, p.interval);
  if (insert.Step() != SQLITE_DONE) {
    Fail("add position");
    return StoreStatus::Failed;
  }
  return StoreStatus::Ok;
}

Stored<std::int64_t> SqliteStorage::AddMessage(const ChatMessage& m) {
  std::lock_guard lock(mutex_);
  SqliteStatement insert(db_, "INSERT INTO messages (sender, recipient, text, sent) "
                              "VALUES (?1, ?2, ?3, ?4)");
  insert.Bind(1, m.sender).Bind(2, m.recipient).Bind(3, m.text).Bind(4, m.sent);
  if (insert.Step() != SQLITE_DONE) {
    Fail("add message");
    return {};
  }
  return {StoreStatus::Ok, sqlite3_last_insert_rowid(db_)};
}

Stored<std::vector<ChatMessage>> SqliteStorage::TakeUndelivered(std::int64_t user, int limit) {
  std::lock_guard lock(mutex_);
  SqliteTransaction transaction(db_);
  if (!transaction.began()) {
    Fail("receive messages");
    return {};
  }
  Stored<std::vector<ChatMessage>> result{StoreStatus::Ok, {}};
  {
    SqliteStatement select(db_, "SELECT id, sender, recipient, text, sent FROM messages "
                                "WHERE recipient = ?1 AND delivered = 0 ORDER BY id LIMIT ?2");
    select.Bind(1, user).Bind(2, static_cast<std::int64_t>(limit));
    int code;
    while ((code = select.Step()) == SQLITE_ROW) {
      result.value.push_back(
          {select.Int(0), select.Int(1), select.Int(2), select.Text(3), select.Int(4)});
    }
    if (code != SQLITE_DONE) {
      Fail("receive messages");
      return {};
    }
  }
  for (const ChatMessage& message : result.value) {
    SqliteStatement mark(db_, "UPDATE messages SET delivered = 1 WHERE id = ?1");
    mark.Bind(1, message.id);
    if (mark.Step() != SQLITE_DONE) {
      Fail("receive messages");
      return {};
    }
  }
  if (!transaction.Commit()) {
    Fail("receive messages");
    return {};
  }
  return result;
}

}  // namespace rovana::server
