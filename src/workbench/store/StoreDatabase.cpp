// The database helpers (see StoreDatabase.h).
#include "workbench/store/StoreDatabase.h"

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <set>
#include <unordered_map>

#include "support/Error.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

// The name of the database file in a store folder, as SqliteStore makes it.
constexpr const char* kDatabaseName = "store.db";

// A statement kept prepared for its SQL, and whether a Statement has it.
struct KeptStatement {
  std::string sql;
  sqlite3_stmt* statement = nullptr;
  bool inUse = false;
};

// What is kept for a database that keeps its statements: the statements by
// the address of their SQL (the callers' SQL are literals; the text is
// compared all the same), the tables found, and values read once.
struct Kept {
  std::unordered_map<const char*, KeptStatement> statements;
  std::set<std::string, std::less<>> tables;
  std::map<std::string, std::string, std::less<>> values;
};

// The databases that keep their statements. The program uses its databases
// from one thread.
std::unordered_map<sqlite3*, Kept>& KeptStatements() {
  static std::unordered_map<sqlite3*, Kept> kept;
  return kept;
}

Kept* KeptFor(sqlite3* db) {
  const auto kept = KeptStatements().find(db);
  return kept == KeptStatements().end() ? nullptr : &kept->second;
}

}  // namespace

void ConfigureDatabaseLibrary() { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); }

void KeepPreparedStatements(sqlite3* db) { KeptStatements().try_emplace(db); }

void FinalizePreparedStatements(sqlite3* db) {
  const auto kept = KeptStatements().find(db);
  if (kept == KeptStatements().end()) return;
  for (auto& [sql, statement] : kept->second.statements) sqlite3_finalize(statement.statement);
  KeptStatements().erase(kept);
}

void RaiseDatabaseError(sqlite3* db) {
  if (sqlite3_extended_errcode(db) == SQLITE_READONLY_ROLLBACK) {
    // What a killed writer left, on a connection that may not undo it.
    const char* file = sqlite3_db_filename(db, "main");
    const std::string path = file != nullptr ? file : "";
    RaiseError(errc::kPathFileAccessError, {}, Text(WB_DB_HOT_JOURNAL, {path, path + "-journal", sqlite3_errmsg(db)}));
  }
  RaiseError(errc::kPathFileAccessError, {}, Text(WB_DB_FAILED, {sqlite3_errmsg(db)}));
}

Statement::Statement(sqlite3* db, const char* sql) : db_(db) {
  if (Kept* kept = KeptFor(db_)) {
    // Unless this SQL is in use already (a nested query), take the kept one.
    KeptStatement& entry = kept->statements[sql];
    if (entry.statement == nullptr) {
      if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &entry.statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(entry.statement);
        kept->statements.erase(sql);
        RaiseDatabaseError(db_);
      }
      entry.sql = sql;
    }
    if (!entry.inUse && entry.sql == sql) {
      entry.inUse = true;
      statement_ = entry.statement;
      inUse_ = &entry.inUse;
      return;
    }
  }
  if (sqlite3_prepare_v2(db_, sql, -1, &statement_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement_);
    RaiseDatabaseError(db_);
  }
}

Statement::~Statement() {
  if (inUse_ == nullptr) {
    sqlite3_finalize(statement_);
    return;
  }
  // Kept for the next Statement of the same SQL: no rows pending, nothing bound.
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  *inUse_ = false;
}

Statement& Statement::Bind(int index, const std::string& text) {
  if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
      SQLITE_OK) {
    RaiseDatabaseError(db_);
  }
  return *this;
}

Statement& Statement::Bind(int index, int64_t value) {
  if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) RaiseDatabaseError(db_);
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  RaiseDatabaseError(db_);
}

void Statement::Run() {
  while (Step()) {
  }
}

void Statement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

std::string Statement::ColumnText(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  if (text == nullptr) return {};
  return std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

int64_t Statement::ColumnInt(int column) const { return sqlite3_column_int64(statement_, column); }

bool Statement::ColumnIsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

void Execute(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) RaiseDatabaseError(db);
}

Transaction::Transaction(sqlite3* db) : db_(db), nested_(sqlite3_get_autocommit(db) == 0) {
  // Prepared statements: a batch makes one savepoint per datapool.
  Statement(db_, nested_ ? "SAVEPOINT zt_change" : "BEGIN IMMEDIATE").Run();
}

Transaction::~Transaction() {
  if (!open_) return;
  if (nested_) {
    // Fails harmlessly when a failure has already rolled the whole
    // transaction back.
    sqlite3_exec(db_, "ROLLBACK TO zt_change; RELEASE zt_change", nullptr, nullptr, nullptr);
  } else {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

void Transaction::Commit() {
  Statement(db_, nested_ ? "RELEASE zt_change" : "COMMIT").Run();
  open_ = false;
}

bool HasTable(sqlite3* db, const std::string& table) {
  Kept* kept = KeptFor(db);
  if (kept != nullptr && kept->tables.count(table) > 0) return true;
  Statement query(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
  query.Bind(1, table);
  const bool found = query.Step();
  // Tables are never dropped: one found stays.
  if (found && kept != nullptr) kept->tables.insert(table);
  return found;
}

std::string ReadOnce(sqlite3* db, const std::string& key, const std::function<std::string()>& read) {
  Kept* kept = KeptFor(db);
  if (kept == nullptr) return read();
  if (const auto known = kept->values.find(key); known != kept->values.end()) return known->second;
  std::string value = read();
  kept->values.emplace(key, value);
  return value;
}

std::string StoreDatabasePath(const std::string& folder) { return (fs::path(folder) / kDatabaseName).string(); }

std::unique_ptr<SqliteConnection> OpenStoreReadOnly(const std::string& folder) {
  const std::string path = StoreDatabasePath(folder);
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return nullptr;
  // The journal of a writer killed in a transaction must be rolled back
  // before the database can be read, and only a connection that may write
  // can do that: one is opened for the moment (it changes nothing but what
  // the journal undoes). Where it cannot be, reading tells why (WB_DB_HOT_JOURNAL).
  if (fs::exists(path + "-journal", ec)) {
    sqlite3* writer = nullptr;
    if (sqlite3_open_v2(path.c_str(), &writer, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(writer, 5000);
      sqlite3_exec(writer, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    sqlite3_close(writer);
  }
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
  if (handle == nullptr) {
    RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {path, sqlite3_errstr(rc)}));
  }
  auto connection = std::make_unique<SqliteConnection>(handle);
  if (rc != SQLITE_OK) {
    RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {path, sqlite3_errmsg(handle)}));
  }
  sqlite3_busy_timeout(handle, 5000);
  return connection;
}

}  // namespace zt::wb
