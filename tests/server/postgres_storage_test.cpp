// The PostgreSQL backend against a PostgreSQL server of the test's own: the
// schema made and kept across reopening, the same uniqueness and taking-once
// rules as the SQLite backend, texts stored as they are. Skipped with a
// message where PostgreSQL is not installed.
#include <gtest/gtest.h>

#include "server/Password.h"
#include "server/PostgresStorage.h"
#include "server/ServerLog.h"
#include "tests/support/TempPostgres.h"

namespace {

using namespace rovana::server;

PasswordHash Hash(const std::string& password) { return HashPassword(password, 1000).value_or(PasswordHash{}); }

TEST(ServerPostgres, TheStorageRulesHoldOnPostgres) {
  testing_support::TempPostgres server;
  std::string why;
  if (!server.Start(&why)) GTEST_SKIP() << why;
  ServerLog log;
  std::int64_t anna = 0, bob = 0;
  {
    auto db = PostgresStorage::Open(server.Uri(), log);
    ASSERT_TRUE(db);
    const auto a = db->CreateAccount("Anna@Example.org", Hash("pw"), 100);
    ASSERT_TRUE(a.ok());
    anna = a.value;
    EXPECT_EQ(db->CreateAccount("anna@example.ORG", Hash("x"), 101).status, StoreStatus::Conflict);
    bob = db->CreateAccount("bob@example.org", Hash("pw2"), 102).value;
    const std::string hostile = "Robert'); DROP TABLE accounts;-- \xE2\x82\xAC";
    EXPECT_EQ(db->SetNicknameAndPin(bob, hostile, "12'34"), StoreStatus::Ok);
    EXPECT_EQ(db->SetNicknameAndPin(anna, "ROBERT'); drop table accounts;-- \xE2\x82\xAC", "1"), StoreStatus::Conflict);
    const auto found = db->AccountByNickname(hostile);
    ASSERT_TRUE(found.ok());
    EXPECT_EQ(found.value.id, bob);
    EXPECT_EQ(found.value.pin, "12'34");
    EXPECT_TRUE(VerifyPassword("pw2", found.value.password));

    ASSERT_EQ(db->CreateSession({77, anna, 200, "3.4.6 test"}), StoreStatus::Ok);
    EXPECT_EQ(db->CreateSession({77, bob, 200, ""}), StoreStatus::Conflict);
    EXPECT_EQ(db->TouchSession(77, 300), StoreStatus::Ok);
    EXPECT_EQ(db->DeleteSessionsBefore(250).value, 0);
    EXPECT_EQ(db->DeleteSessionsBefore(301).value, 1);
    EXPECT_EQ(db->SessionById(77).status, StoreStatus::NotFound);

    ASSERT_EQ(db->AddBuddyPair(anna, bob), StoreStatus::Ok);
    EXPECT_EQ(db->AddBuddyPair(bob, anna), StoreStatus::Conflict);
    const auto track = db->CreateTrack(bob, 400);
    ASSERT_TRUE(track.ok());
    EXPECT_EQ(db->TrackOwner(track.value).value, bob);
    for (int i = 0; i < 3; ++i)
      ASSERT_EQ(db->AddPosition({track.value, bob, 400 + i, 53.5 + i * 0.001, 10.0, 5, 20, 90, 10}), StoreStatus::Ok);
    const auto seen = db->BuddyPositions(anna);
    ASSERT_TRUE(seen.ok());
    ASSERT_EQ(seen.value.size(), 1u);
    EXPECT_DOUBLE_EQ(seen.value[0].latitude, 53.502) << "the latest position only";
    EXPECT_EQ(db->SetBuddyEnabled(bob, anna, false), StoreStatus::Ok);
    EXPECT_TRUE(db->BuddyPositions(anna).value.empty()) << "both sides must keep the pair enabled";

    for (const char* text : {"first", "second ' \" \\ %", "third"})
      ASSERT_TRUE(db->AddMessage({0, bob, anna, text, 500}).ok());
    const auto two = db->TakeUndelivered(anna, 2);
    ASSERT_EQ(two.value.size(), 2u);
    EXPECT_EQ(two.value[0].text, "first");
    EXPECT_EQ(two.value[1].text, "second ' \" \\ %");
    EXPECT_EQ(db->TakeUndelivered(anna, 10).value.size(), 1u);
    EXPECT_TRUE(db->TakeUndelivered(anna, 10).value.empty()) << "each message is taken once";
    EXPECT_TRUE(db->CheckIntegrity());
  }
  // Reopened: the schema is not made again and the data is there.
  auto again = PostgresStorage::Open(server.Uri(), log);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->AccountByEmail("ANNA@example.org").value.id, anna);
  EXPECT_EQ(again->Buddies(anna).value.size(), 1u);
}

}  // namespace
