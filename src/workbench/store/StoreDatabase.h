// Small helpers over a store's SQLite database, shared by the datapool
// component and the tool options: a prepared statement and a transaction that
// clean up after themselves, a table check, and a read-only open of a store
// folder for the commands that only look (they never create or change it).
//
// Failures of the database raise error 75 (path/file access error) with the
// database's own message; nothing here writes to a terminal. Every object
// borrows the handle it is given, which must outlive it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "workbench/store/SqliteStore.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zt::wb {

/// Sets SQLite up for this program, which uses its databases from one thread
/// and needs no statistics of SQLite's memory: its allocations then take no
/// lock. Must come before the first database is opened; later it does nothing.
void ConfigureDatabaseLibrary();

/// One prepared SQL statement on a borrowed database handle. On a database
/// that keeps prepared statements (KeepPreparedStatements) the statement is
/// prepared once and, reset and unbound, serves every later Statement of the
/// same SQL at the same address (a literal); a second Statement of that SQL
/// while the first lives (a nested query), or other SQL at an address seen
/// before, is prepared on its own.
class Statement {
 public:
  /// Prepares `sql`, or takes the kept statement; raises error 75 when it
  /// cannot be prepared.
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  /// Binds `text` to parameter `index` (1-based).
  Statement& Bind(int index, const std::string& text);
  /// Binds `value` to parameter `index` (1-based).
  Statement& Bind(int index, int64_t value);
  /// Steps once: true when a row is ready, false when done; raises on failure.
  bool Step();
  /// Steps to the end, for statements that return no rows.
  void Run();
  /// Resets the statement to run again with new bindings.
  void Reset();
  /// The text of column `column` of the current row; "" for NULL.
  std::string ColumnText(int column) const;
  /// The integer of column `column` of the current row.
  int64_t ColumnInt(int column) const;
  /// Whether column `column` of the current row is NULL.
  bool ColumnIsNull(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
  // The kept statement's in-use mark; null for a statement of its own.
  bool* inUse_ = nullptr;
};

/// From now on Statements on `db` keep their statements prepared.
/// FinalizePreparedStatements must be called before `db` is closed.
void KeepPreparedStatements(sqlite3* db);
/// Finalizes the statements kept for `db` and keeps none any more; no
/// Statement on `db` may be alive.
void FinalizePreparedStatements(sqlite3* db);

/// A write transaction (BEGIN IMMEDIATE) that rolls back unless committed.
/// Inside a transaction that is already open (a store's batch) it is a
/// savepoint instead: Commit releases its changes into the open transaction,
/// and rolling back undoes its own changes only.
class Transaction {
 public:
  /// Begins; raises error 75 when the database is busy or read-only.
  explicit Transaction(sqlite3* db);
  /// Rolls back when Commit was not reached.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  /// Commits; raises error 75 on failure (the destructor then rolls back).
  void Commit();

 private:
  sqlite3* db_;
  bool nested_;
  bool open_ = true;
};

/// Runs `sql` (one or more statements without parameters); raises on failure.
void Execute(sqlite3* db, const char* sql);

/// Raises error 75 with the database's current message.
[[noreturn]] void RaiseDatabaseError(sqlite3* db);

/// Whether the database has a table named `table` (older stores may not).
/// On a database that keeps prepared statements a table found is
/// remembered: tables are never dropped.
bool HasTable(sqlite3* db, const std::string& table);

/// On a database that keeps prepared statements, what `read` gave the first
/// time `key` was asked for; elsewhere what `read` gives now. For values
/// that do not change while the database is open, read for every change.
std::string ReadOnce(sqlite3* db, const std::string& key, const std::function<std::string()>& read);

/// The database file of the store folder `folder`.
std::string StoreDatabasePath(const std::string& folder);

/// Opens the database of the store folder `folder` for reading only, without
/// a login and without creating or migrating anything; a journal that a
/// killed writer left is rolled back first, where the database may be
/// written. Returns null when the folder holds no store database; raises
/// error 75 when it does but cannot be opened.
std::unique_ptr<SqliteConnection> OpenStoreReadOnly(const std::string& folder);

}  // namespace zt::wb
