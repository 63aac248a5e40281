// The SQLite back-end of a store's database (see Database.h): the
// connection to a store folder's `store.db`, its statements kept prepared,
// and a read-only open of a store folder for the commands that only look
// (they never create or change it).
//
// Failures of the database raise error 75 (path/file access error) with the
// database's own message; nothing here writes to a terminal.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "workbench/store/Database.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zt::wb {

/// Sets SQLite up for this program, which uses its databases from one thread
/// and needs no statistics of SQLite's memory: its allocations then take no
/// lock. Must come before the first database is opened; later it does nothing.
void ConfigureDatabaseLibrary();

/// The open SQLite database of a store. Statements on it are kept prepared
/// until it closes: a statement is prepared once and, reset and unbound,
/// serves every later Statement of the same SQL text; a second Statement of
/// that SQL while the first lives (a nested query) is prepared on its own. SQLite's temporary data (statement journals, sorts)
/// stays in memory: nothing of a store is written outside its folder. Tables
/// found are remembered: a store's tables are never dropped.
class SqliteConnection : public Database {
 public:
  /// Takes ownership of the open `handle`.
  explicit SqliteConnection(sqlite3* handle);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  /// The open database; never null.
  sqlite3* Handle() const { return handle_; }

  std::unique_ptr<Cursor> Prepare(const char* sql) override;
  void Execute(const char* sql) override;
  void ExecuteQuietly(const char* sql) override;
  bool InTransaction() override;
  const char* BeginStatement() const override { return "BEGIN IMMEDIATE"; }
  bool HasTable(const std::string& table) override;
  std::string Where() const override;

 private:
  // A statement kept prepared for its SQL, and whether a Statement has it.
  struct KeptStatement {
    sqlite3_stmt* statement = nullptr;
    bool inUse = false;
  };
  // Looked up by a view of the caller's text: no copy of it for a lookup.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  sqlite3* handle_;
  // By their SQL text (a few dozen bytes to hash, against the SQL's parsing
  // that a kept statement saves).
  std::unordered_map<std::string, KeptStatement, TextHash, std::equal_to<>> kept_;
  std::set<std::string, std::less<>> tables_;
};

/// The database behind `connection` when it is a SQLite store's; raises
/// error 91 when `connection` is null and error 13 when it is not.
sqlite3* SqliteHandle(DataStoreConnection* connection);

/// Raises error 75 with the database's current message.
[[noreturn]] void RaiseDatabaseError(sqlite3* db);

/// The database file of the store folder `folder`.
std::string StoreDatabasePath(const std::string& folder);

/// Opens the database of the store folder `folder` for reading only, without
/// a login and without creating or migrating anything; a journal that a
/// killed writer left is rolled back first, where the database may be
/// written. Returns null when the folder holds no store database; raises
/// error 75 when it does but cannot be opened.
std::unique_ptr<SqliteConnection> OpenSqliteStoreReadOnly(const std::string& folder);

}  // namespace zt::wb
