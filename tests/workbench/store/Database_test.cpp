// Tests of a store's database, either back-end: statements kept prepared,
// transactions that nest as savepoints, and the SQL both back-ends take.
#include "workbench/store/Database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <tuple>

#include "support/Error.h"
#include "workbench/store/StoreBackends.h"
#include "workbench/store/postgres/PgDatabase.h"
#include "workbench/store/sqlite/SqliteDatabase.h"

namespace zt::wb {
namespace {

// The statements prepared on `db` and not finalized.
int PreparedStatements(sqlite3* db) {
  int count = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s != nullptr; s = sqlite3_next_stmt(db, s)) ++count;
  return count;
}

TEST(SqliteDatabase, KeptStatementsServeAgainFreshAndNestedOnesArePreparedApart) {
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK);
  auto db = std::make_unique<SqliteConnection>(handle);
  Execute(*db, "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1), (2), (3)");
  const char* sql = "SELECT a FROM t WHERE a >= ? ORDER BY a";
  {
    Statement query(*db, sql);
    ASSERT_TRUE(query.Bind(1, int64_t{2}).Step());
    EXPECT_EQ(query.ColumnInt(0), 2);
  }  // left with a row pending
  EXPECT_EQ(PreparedStatements(handle), 1);
  {
    Statement query(*db, sql);
    EXPECT_FALSE(query.Step()) << "kept reset and unbound: a NULL parameter matches nothing";
  }
  {
    Statement outer(*db, sql);
    outer.Bind(1, int64_t{1});
    ASSERT_TRUE(outer.Step());
    {
      Statement nested(*db, sql);
      nested.Bind(1, int64_t{3});
      ASSERT_TRUE(nested.Step());
      EXPECT_EQ(nested.ColumnInt(0), 3);
      EXPECT_EQ(PreparedStatements(handle), 2);
    }
    ASSERT_TRUE(outer.Step());
    EXPECT_EQ(outer.ColumnInt(0), 2) << "the outer query goes on where it was";
  }
  EXPECT_EQ(PreparedStatements(handle), 1);
  EXPECT_THROW(Statement(*db, "SELECT nothing FROM nowhere"), ZtError);
  EXPECT_EQ(PreparedStatements(handle), 1);
  db.reset();  // closes; a statement left prepared would keep sqlite3_close from it (leak found by ASan)
}

TEST(SqliteDatabase, StatementsKeptByTheirSqlTablesFoundKeptTemporaryDataInMemory) {
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK);
  auto db = std::make_unique<SqliteConnection>(handle);
  std::string sql = "SELECT 1";
  const auto stepped = [&](const std::string& text) {
    Statement statement(*db, text.c_str());
    EXPECT_TRUE(statement.Step()) << text;
    return statement.ColumnInt(0);
  };
  EXPECT_EQ(stepped(sql), 1);
  // The same text made anew (a statement built of parts) takes the kept one;
  // other text where the first was is a statement of its own.
  EXPECT_EQ(stepped(std::string("SELECT ") + "1"), 1);
  EXPECT_EQ(PreparedStatements(handle), 1) << "one kept for one text";
  const char* const at = sql.c_str();
  sql[7] = '2';
  ASSERT_EQ(sql.c_str(), at);
  EXPECT_EQ(stepped(sql), 2);
  EXPECT_EQ(PreparedStatements(handle), 2);
  {
    // A statement of that SQL while the kept one is in use: one of its own.
    Statement outer(*db, "SELECT 1");
    Statement inner(*db, "SELECT 1");
    ASSERT_TRUE(outer.Step());
    ASSERT_TRUE(inner.Step());
    EXPECT_EQ(outer.ColumnInt(0) + inner.ColumnInt(0), 2);
    EXPECT_EQ(PreparedStatements(handle), 3);
  }
  EXPECT_EQ(PreparedStatements(handle), 2) << "the one of its own is gone";

  // An INSERT of one row returning its id or 1: the row is there only when
  // one was inserted, and then once.
  Execute(*db, "CREATE TABLE w (id INTEGER PRIMARY KEY, name TEXT UNIQUE)");
  Statement insert(*db, "INSERT INTO w (name) VALUES (?) ON CONFLICT DO NOTHING RETURNING id");
  Statement insertOne(*db, "INSERT INTO w (name) VALUES (?) ON CONFLICT DO NOTHING RETURNING 1");
  for (const auto& [statement, name, row, value] :
       {std::tuple{&insert, "a", true, 1}, std::tuple{&insert, "b", true, 2}, std::tuple{&insert, "a", false, 0},
        std::tuple{&insertOne, "c", true, 1}, std::tuple{&insertOne, "c", false, 0}}) {
    statement->Reset();
    EXPECT_EQ(statement->Bind(1, std::string(name)).Step(), row) << name;
    EXPECT_EQ(statement->ColumnInt(0), value) << name;
    EXPECT_EQ(statement->ColumnText(0), std::to_string(value)) << name;
    EXPECT_FALSE(statement->Step()) << "one row at most";
  }
  EXPECT_THROW(Statement(*db, "INSERT INTO w (id) VALUES (1) RETURNING id").Step(), ZtError) << "taken: raised";

  EXPECT_FALSE(HasTable(*db, "u"));
  Execute(*db, "CREATE TABLE u (b INTEGER)");
  EXPECT_TRUE(HasTable(*db, "u")) << "a table missing before is looked for again";
  // The journals of savepoints and other temporary data stay in memory, not
  // in the system's temporary folder.
  Statement tempStore(*db, "PRAGMA temp_store");
  ASSERT_TRUE(tempStore.Step());
  EXPECT_EQ(tempStore.ColumnInt(0), 2);
}

TEST(PgDialect, ParametersAndTheTimeInPostgreSQLsForm) {
  struct Case {
    const char* sql;
    const char* pg;
  };
  for (const Case& c : {
           Case{"SELECT 1", "SELECT 1"},
           Case{"SELECT a FROM t WHERE b = ? AND c = ?", "SELECT a FROM t WHERE b = $1 AND c = $2"},
           Case{"VALUES (?, datetime('now'), '?')",
                "VALUES ($1, to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS'), '?')"},
           Case{"SELECT 'datetime(''now'')', ?", "SELECT 'datetime(''now'')', $1"},
       }) {
    EXPECT_EQ(PgDialect(c.sql), c.pg);
  }
}

// A bare database of either back-end with a table t of three rows.
class OnEitherDatabase : public test::OnEitherBackend {
 protected:
  void SetUp() override {
    if (GetParam() != test::Backend::kPostgres) {
      sqlite3* handle = nullptr;
      ASSERT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK);
      db_ = std::make_unique<SqliteConnection>(handle);
    } else {
      db_ = PgConnect(test::PgServer::Instance().FreshConninfo(), std::chrono::seconds(5), false);
    }
    Execute(*db_, "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1), (2), (3)");
  }
  int64_t Count() {
    Statement count(*db_, "SELECT COUNT(*) FROM t");
    EXPECT_TRUE(count.Step());
    return count.ColumnInt(0);
  }
  std::unique_ptr<Database> db_;
};
ZT_ON_EITHER_BACKEND(OnEitherDatabase);

TEST_P(OnEitherDatabase, ATransactionInsideAnotherIsASavepoint) {
  Database& db = *db_;
  {
    Transaction outer(db);
    Execute(db, "INSERT INTO t VALUES (4)");
    {
      Transaction inner(db);
      Execute(db, "INSERT INTO t VALUES (5)");
    }  // rolled back: its own change only
    EXPECT_EQ(Count(), 4);
    {
      Transaction inner(db);
      Execute(db, "INSERT INTO t VALUES (6)");
      inner.Commit();
    }
    EXPECT_TRUE(db.InTransaction()) << "the outer transaction is still open";
    outer.Commit();
  }
  EXPECT_EQ(Count(), 5);
  {
    Transaction outer(db);
    Transaction inner(db);
    Execute(db, "INSERT INTO t VALUES (7)");
    inner.Commit();
  }  // the outer one rolls back what the inner one released into it
  EXPECT_EQ(Count(), 5);
  EXPECT_FALSE(db.InTransaction());

  // A failed statement inside a savepoint leaves the outer transaction usable.
  {
    Transaction outer(db);
    Execute(db, "INSERT INTO t VALUES (8)");
    {
      Transaction inner(db);
      EXPECT_THROW(Execute(db, "INSERT INTO nowhere VALUES (1)"), ZtError);
    }
    outer.Commit();
  }
  EXPECT_EQ(Count(), 6);
  EXPECT_TRUE(db.HasTable("t"));
  EXPECT_FALSE(db.HasTable("nowhere"));
}

TEST_P(OnEitherDatabase, TextKeepsEveryByteOfUtf8AndNumbersTravelAsNumbers) {
  Execute(*db_, "CREATE TABLE v (n BIGINT, s TEXT)");
  const std::string text = "Grüße, 日本; 'quoted' \"double\" \\ ?";
  Statement insert(*db_, "INSERT INTO v (n, s) VALUES (?, ?) RETURNING n");
  ASSERT_TRUE(insert.Bind(1, int64_t{-9007199254740993}).Bind(2, text).Step());
  EXPECT_EQ(insert.ColumnInt(0), -9007199254740993);
  Statement query(*db_, "SELECT s, n FROM v WHERE s = ?");
  ASSERT_TRUE(query.Bind(1, text).Step());
  EXPECT_EQ(query.ColumnText(0), text);
  EXPECT_FALSE(query.Step());
}

}  // namespace
}  // namespace zt::wb
