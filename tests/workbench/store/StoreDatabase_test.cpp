// Tests of the database helpers: statements kept prepared for a database,
// and transactions that nest as savepoints.
#include "workbench/store/StoreDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "support/Error.h"

namespace zt::wb {
namespace {

// The statements prepared on `db` and not finalized.
int PreparedStatements(sqlite3* db) {
  int count = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s != nullptr; s = sqlite3_next_stmt(db, s)) ++count;
  return count;
}

class Database : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    Execute(db_, "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1), (2), (3)");
  }
  void TearDown() override { EXPECT_EQ(sqlite3_close(db_), SQLITE_OK) << "a statement was left prepared"; }
  int64_t Count() {
    Statement count(db_, "SELECT COUNT(*) FROM t");
    EXPECT_TRUE(count.Step());
    return count.ColumnInt(0);
  }

  sqlite3* db_ = nullptr;
};

TEST_F(Database, KeptStatementsServeAgainFreshAndNestedOnesArePreparedApart) {
  KeepPreparedStatements(db_);
  const char* sql = "SELECT a FROM t WHERE a >= ? ORDER BY a";
  {
    Statement query(db_, sql);
    query.Bind(1, int64_t{2});
    ASSERT_TRUE(query.Step());
    EXPECT_EQ(query.ColumnInt(0), 2);  // a row is left pending
  }
  EXPECT_EQ(PreparedStatements(db_), 1);
  {
    Statement query(db_, sql);
    EXPECT_FALSE(query.Step()) << "the kept statement starts afresh and unbound: a >= NULL matches nothing";
  }
  {
    Statement outer(db_, sql);
    outer.Bind(1, int64_t{1});
    ASSERT_TRUE(outer.Step());
    EXPECT_EQ(outer.ColumnInt(0), 1);
    {
      Statement nested(db_, sql);
      nested.Bind(1, int64_t{3});
      ASSERT_TRUE(nested.Step());
      EXPECT_EQ(nested.ColumnInt(0), 3);
      EXPECT_EQ(PreparedStatements(db_), 2);
    }
    ASSERT_TRUE(outer.Step());
    EXPECT_EQ(outer.ColumnInt(0), 2) << "the nested query left the outer one alone";
  }
  EXPECT_EQ(PreparedStatements(db_), 1);
  EXPECT_EQ(Count(), 3);
  EXPECT_EQ(PreparedStatements(db_), 2);
  // A statement that cannot be prepared is not kept.
  EXPECT_THROW(Statement(db_, "SELECT nothing FROM nowhere"), ZtError);
  EXPECT_EQ(PreparedStatements(db_), 2);

  FinalizePreparedStatements(db_);
  EXPECT_EQ(PreparedStatements(db_), 0);
  EXPECT_EQ(Count(), 3);
  EXPECT_EQ(PreparedStatements(db_), 0) << "without keeping, a statement is finalized with its Statement";
}

TEST_F(Database, StatementsAreKeptByTheirSqlsAddressAndOtherTextThereIsPreparedApart) {
  KeepPreparedStatements(db_);
  std::string sql = "SELECT 1";
  {
    Statement first(db_, sql.c_str());
    ASSERT_TRUE(first.Step());
    EXPECT_EQ(first.ColumnInt(0), 1);
  }
  // Other SQL where the first was: not the kept statement.
  const char* const at = sql.c_str();
  sql[7] = '2';
  ASSERT_EQ(sql.c_str(), at);
  {
    Statement second(db_, sql.c_str());
    ASSERT_TRUE(second.Step());
    EXPECT_EQ(second.ColumnInt(0), 2);
    EXPECT_FALSE(second.ColumnIsNull(0));
  }
  EXPECT_EQ(PreparedStatements(db_), 1) << "only the first is kept";
  FinalizePreparedStatements(db_);
}

TEST_F(Database, TablesFoundAndValuesReadOnceAreKeptWithTheStatements) {
  int reads = 0;
  const auto read = [&reads] { return "value " + std::to_string(++reads); };
  EXPECT_EQ(ReadOnce(db_, "key", read), "value 1");
  EXPECT_EQ(ReadOnce(db_, "key", read), "value 2") << "not kept: read every time";
  EXPECT_FALSE(HasTable(db_, "u"));

  KeepPreparedStatements(db_);
  EXPECT_EQ(ReadOnce(db_, "key", read), "value 3");
  EXPECT_EQ(ReadOnce(db_, "key", read), "value 3");
  EXPECT_EQ(ReadOnce(db_, "other", read), "value 4");
  EXPECT_FALSE(HasTable(db_, "u"));
  Execute(db_, "CREATE TABLE u (b INTEGER)");
  EXPECT_TRUE(HasTable(db_, "u")) << "a table missing before is looked for again";
  EXPECT_TRUE(HasTable(db_, "t"));
  FinalizePreparedStatements(db_);
  EXPECT_EQ(ReadOnce(db_, "key", read), "value 5") << "forgotten with the statements";
}

TEST_F(Database, ATransactionInsideAnotherIsASavepoint) {
  {
    Transaction outer(db_);
    Execute(db_, "INSERT INTO t VALUES (4)");
    {
      Transaction inner(db_);
      Execute(db_, "INSERT INTO t VALUES (5)");
    }  // rolled back: its own change only
    EXPECT_EQ(Count(), 4);
    {
      Transaction inner(db_);
      Execute(db_, "INSERT INTO t VALUES (6)");
      inner.Commit();
    }
    EXPECT_EQ(sqlite3_get_autocommit(db_), 0) << "the outer transaction is still open";
    outer.Commit();
  }
  EXPECT_EQ(Count(), 5);
  {
    Transaction outer(db_);
    Transaction inner(db_);
    Execute(db_, "INSERT INTO t VALUES (7)");
    inner.Commit();
  }  // the outer one rolls back what the inner one released into it
  EXPECT_EQ(Count(), 5);
  EXPECT_EQ(sqlite3_get_autocommit(db_), 1);
}

}  // namespace
}  // namespace zt::wb
