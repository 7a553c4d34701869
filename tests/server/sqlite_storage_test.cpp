// The SQLite backend: schema creation and versions, reopening, texts with SQL
// metacharacters kept as data, delivery marks, and damaged files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "server/SqliteStorage.h"
#include "tests/server/ServerHarness.h"

using namespace rovana::server;

namespace {

class ServerStorage : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = server_test::MakeTempFolder("rovana-storage-");
    log_.Open(folder_ / "log.txt");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::filesystem::path File() const { return folder_ / "db.sqlite"; }
  std::unique_ptr<SqliteStorage> Open() { return SqliteStorage::Open(File(), log_); }
  // Runs SQL on the file with a connection of its own, as an administrator would.
  std::string Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(File().c_str(), &db);
    std::string out;
    sqlite3_exec(
        db, sql.c_str(),
        [](void* text, int columns, char** values, char**) {
          auto& result = *static_cast<std::string*>(text);
          for (int i = 0; i < columns; ++i) result += std::string(values[i] ? values[i] : "NULL") + "|";
          return 0;
        },
        &out, nullptr);
    sqlite3_close(db);
    return out;
  }
  static PasswordHash Hash(const std::string& password) { return *HashPassword(password, 1000); }

  std::filesystem::path folder_;
  ServerLog log_;
};

TEST_F(ServerStorage, CreatesTheSchemaInWalModeAndKeepsDataAcrossReopening) {
  {
    auto storage = Open();
    ASSERT_TRUE(storage);
    EXPECT_EQ(storage->SchemaVersion(), SqliteStorage::kSchemaVersion);
    ASSERT_TRUE(storage->CreateAccount("me@example.org", Hash("pw"), 100).ok());
  }
  EXPECT_EQ(Sql("PRAGMA journal_mode"), "wal|");
  auto storage = Open();
  ASSERT_TRUE(storage);
  const auto account = storage->AccountByEmail("ME@Example.ORG");
  ASSERT_TRUE(account.ok());
  EXPECT_EQ(account.value.email, "me@example.org");
  EXPECT_TRUE(VerifyPassword("pw", account.value.password));
  EXPECT_FALSE(VerifyPassword("PW", account.value.password));
  // Opening again adds no second version row.
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM schema_version"), "1|");
  EXPECT_TRUE(storage->CheckIntegrity());
}

TEST_F(ServerStorage, RefusesADatabaseOfANewerSchemaAndLeavesItAlone) {
  ASSERT_TRUE(Open());
  Sql("INSERT INTO schema_version (version) VALUES (99)");
  EXPECT_FALSE(Open());
  EXPECT_EQ(Sql("SELECT MAX(version) FROM schema_version"), "99|");
  EXPECT_NE(server_test::ReadFile(folder_ / "log.txt").find("newer"), std::string::npos);
}

TEST_F(ServerStorage, AFileThatIsNoDatabaseIsRefusedWithoutDamage) {
  {
    std::ofstream junk(File(), std::ios::binary);
    junk << std::string(4096, '\x5a') << "not a database";
  }
  const std::string before = server_test::ReadFile(File());
  EXPECT_FALSE(Open());
  EXPECT_EQ(server_test::ReadFile(File()), before);
}

TEST_F(ServerStorage, TextsWithSqlMetacharactersAreStoredAsTheyAre) {
  auto storage = Open();
  ASSERT_TRUE(storage);
  const std::string hostile[] = {
      "x'); DROP TABLE accounts; --", "\" OR 1=1 --", "Robert'); DELETE FROM buddies;--",
      "%_*?[]\\", "\xE2\x82\xAC \xF0\x9F\x98\x80", "; ATTACH DATABASE '/tmp/x' AS x;"};
  std::int64_t n = 0;
  for (const std::string& text : hostile) {
    SCOPED_TRACE(text);
    const auto id = storage->CreateAccount(text + "@example.org", Hash("pw"), 1);
    ASSERT_TRUE(id.ok());
    ASSERT_EQ(storage->SetNicknameAndPin(id.value, text, text), StoreStatus::Ok);
    const auto byNickname = storage->AccountByNickname(text);
    ASSERT_TRUE(byNickname.ok());
    EXPECT_EQ(byNickname.value.id, id.value);
    EXPECT_EQ(byNickname.value.pin, text);
    ASSERT_TRUE(storage->AddMessage({0, id.value, id.value, text, 5}).ok());
    ++n;
  }
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM accounts"), std::to_string(n) + "|");
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM messages"), std::to_string(n) + "|");
  // "%" and "_" are no wildcards to the lookups.
  EXPECT_EQ(storage->AccountByNickname("%").status, StoreStatus::NotFound);
  EXPECT_TRUE(storage->CheckIntegrity());
}

TEST_F(ServerStorage, UniqueEmailsNicknamesAndPairs) {
  auto storage = Open();
  ASSERT_TRUE(storage);
  const auto a = storage->CreateAccount("a@example.org", Hash("pw"), 1);
  const auto b = storage->CreateAccount("b@example.org", Hash("pw"), 1);
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(storage->CreateAccount("A@EXAMPLE.org", Hash("pw"), 1).status, StoreStatus::Conflict);
  EXPECT_EQ(storage->SetNicknameAndPin(a.value, "Anna", "1"), StoreStatus::Ok);
  EXPECT_EQ(storage->SetNicknameAndPin(b.value, "anna", "2"), StoreStatus::Conflict);
  EXPECT_EQ(storage->SetNicknameAndPin(a.value, "Anna", "3"), StoreStatus::Ok);  // her own again
  EXPECT_EQ(storage->AddBuddyPair(a.value, b.value), StoreStatus::Ok);
  EXPECT_EQ(storage->AddBuddyPair(b.value, a.value), StoreStatus::Conflict);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM buddies"), "2|");  // the conflict left nothing half-done
  EXPECT_EQ(storage->DeleteBuddyPair(b.value, a.value), StoreStatus::Ok);
  EXPECT_EQ(storage->DeleteBuddyPair(a.value, b.value), StoreStatus::NotFound);
  EXPECT_EQ(storage->SetBuddyEnabled(a.value, b.value, false), StoreStatus::NotFound);
}

TEST_F(ServerStorage, MessagesAreTakenOnceInOrderAndSessionsExpireByLastUse) {
  auto storage = Open();
  ASSERT_TRUE(storage);
  const auto a = storage->CreateAccount("a@example.org", Hash("pw"), 1).value;
  const auto b = storage->CreateAccount("b@example.org", Hash("pw"), 1).value;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(storage->AddMessage({0, a, b, "m" + std::to_string(i), 10 + i}).ok());
  }
  const auto first = storage->TakeUndelivered(b, 3);
  ASSERT_TRUE(first.ok());
  ASSERT_EQ(first.value.size(), 3u);
  EXPECT_EQ(first.value[0].text, "m0");
  EXPECT_EQ(first.value[2].text, "m2");
  const auto second = storage->TakeUndelivered(b, 3);
  ASSERT_EQ(second.value.size(), 2u);
  EXPECT_EQ(second.value[0].text, "m3");
  EXPECT_TRUE(storage->TakeUndelivered(b, 3).value.empty());
  EXPECT_TRUE(storage->TakeUndelivered(a, 3).value.empty());
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM messages WHERE delivered = 1"), "5|");

  ASSERT_EQ(storage->CreateSession({11, a, 100, "v=1"}), StoreStatus::Ok);
  ASSERT_EQ(storage->CreateSession({12, b, 200, ""}), StoreStatus::Ok);
  EXPECT_EQ(storage->CreateSession({12, a, 200, ""}), StoreStatus::Conflict);
  EXPECT_EQ(storage->TouchSession(11, 300), StoreStatus::Ok);
  EXPECT_EQ(storage->DeleteSessionsBefore(250).value, 1);
  EXPECT_TRUE(storage->SessionById(11).ok());
  EXPECT_EQ(storage->SessionById(12).status, StoreStatus::NotFound);
}

TEST_F(ServerStorage, PasswordsAreStoredOnlyAsSaltedHashes) {
  auto storage = Open();
  ASSERT_TRUE(storage);
  const std::string password = "correct horse battery staple";
  storage->CreateAccount("a@example.org", Hash(password), 1);
  storage->CreateAccount("b@example.org", Hash(password), 1);
  storage.reset();
  for (const char* file : {"db.sqlite", "db.sqlite-wal"}) {
    if (std::filesystem::exists(folder_ / file)) {
      EXPECT_EQ(server_test::ReadFile(folder_ / file).find(password), std::string::npos) << file;
    }
  }
  // The same password under two salts gives two different keys.
  EXPECT_EQ(Sql("SELECT COUNT(DISTINCT hash), COUNT(DISTINCT salt) FROM accounts"), "2|2|");
}

}  // namespace
