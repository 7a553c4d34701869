// The temporary PostgreSQL server the storage tests run against: it comes
// up, takes a schema and rows over libpq, and is gone afterwards.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <filesystem>
#include <string>

#include "tests/support/TempPostgres.h"

namespace {

TEST(TempPostgres, ServesAFreshDatabaseAndLeavesNothingBehind) {
  std::string folder;
  {
    testing_support::TempPostgres server;
    std::string why;
    if (!server.Start(&why)) GTEST_SKIP() << why;
    folder = server.folder();
    PGconn* db = PQconnectdb(server.ConnectionString().c_str());
    ASSERT_EQ(PQstatus(db), CONNECTION_OK) << PQerrorMessage(db);
    for (const char* sql : {"CREATE TABLE t (id serial PRIMARY KEY, name text)", "INSERT INTO t (name) VALUES ('a''b')"}) {
      PGresult* r = PQexec(db, sql);
      EXPECT_EQ(PQresultStatus(r), PGRES_COMMAND_OK) << sql << ": " << PQerrorMessage(db);
      PQclear(r);
    }
    PGresult* r = PQexec(db, "SELECT name FROM t");
    ASSERT_EQ(PQresultStatus(r), PGRES_TUPLES_OK);
    ASSERT_EQ(PQntuples(r), 1);
    EXPECT_STREQ(PQgetvalue(r, 0, 0), "a'b");
    PQclear(r);
    PQfinish(db);
    // The URI form names the same server.
    PGconn* again = PQconnectdb(server.Uri().c_str());
    EXPECT_EQ(PQstatus(again), CONNECTION_OK) << PQerrorMessage(again);
    PQfinish(again);
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
}

}  // namespace
