// The SQLite back-end of a store's database (see SqliteDatabase.h).
#include "workbench/store/sqlite/SqliteDatabase.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>

#include "support/Error.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

// The name of the database file in a store folder, as SqliteStore makes it.
constexpr const char* kDatabaseName = "store.db";

// What an INSERT of one row returns, when SQLite is left to make it.
enum class Returning {
  kRows,   // no emulation: the statement's own rows
  kRowid,  // "RETURNING id": the row's id, which is its rowid
  kOne,    // "RETURNING 1": whether the row was inserted
};

// The clause that ends `sql`, when it is one of the two emulated; its
// length in `clause`.
Returning EmulatedReturning(const char* sql, size_t& clause) {
  const std::string_view text(sql);
  for (const auto& [ending, kind] : {std::pair{std::string_view(" RETURNING id"), Returning::kRowid},
                                     std::pair{std::string_view(" RETURNING 1"), Returning::kOne}}) {
    if (text.size() > ending.size() && text.substr(text.size() - ending.size()) == ending &&
        text.substr(0, 7) == "INSERT ") {
      clause = ending.size();
      return kind;
    }
  }
  return Returning::kRows;
}

// A statement of a SQLite database: the kept one (reset and unbound for the
// next user when done) or one of its own. An INSERT of one row that returns
// its id or 1 runs without its RETURNING clause, which SQLite would serve
// through a temporary table of its own for every row: its one row is made
// from the rowid and the count of rows changed.
class SqliteCursor final : public Database::Cursor {
 public:
  SqliteCursor(sqlite3* db, sqlite3_stmt* statement, bool* inUse, Returning returning)
      : db_(db), statement_(statement), inUse_(inUse), returning_(returning) {}
  ~SqliteCursor() override {
    if (inUse_ == nullptr) {
      sqlite3_finalize(statement_);
      return;
    }
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    *inUse_ = false;
  }
  SqliteCursor(const SqliteCursor&) = delete;
  SqliteCursor& operator=(const SqliteCursor&) = delete;

  void Bind(int index, const std::string& text) override {
    if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK) {
      RaiseDatabaseError(db_);
    }
  }
  void Bind(int index, int64_t value) override {
    if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) RaiseDatabaseError(db_);
  }
  bool Step() override {
    if (returning_ != Returning::kRows) return StepEmulated();
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    RaiseDatabaseError(db_);
  }
  void Reset() override {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    stepped_ = false;
  }
  std::string ColumnText(int column) const override {
    if (returning_ != Returning::kRows) return std::to_string(ColumnInt(column));
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    if (text == nullptr) return {};
    return std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
  }
  int64_t ColumnInt(int column) const override {
    if (returning_ != Returning::kRows) return column == 0 && onRow_ ? returned_ : 0;
    return sqlite3_column_int64(statement_, column);
  }

 private:
  bool StepEmulated() {
    onRow_ = false;
    if (stepped_) return false;
    stepped_ = true;
    if (sqlite3_step(statement_) != SQLITE_DONE) RaiseDatabaseError(db_);
    if (sqlite3_changes(db_) == 0) return false;  // ON CONFLICT DO NOTHING did nothing
    returned_ = returning_ == Returning::kRowid ? sqlite3_last_insert_rowid(db_) : 1;
    onRow_ = true;
    return true;
  }

  sqlite3* db_;
  sqlite3_stmt* statement_;
  bool* inUse_;  // the kept statement's in-use mark; null for one of its own
  Returning returning_;
  bool stepped_ = false;
  bool onRow_ = false;
  int64_t returned_ = 0;
};

}  // namespace

void ConfigureDatabaseLibrary() { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); }

SqliteConnection::SqliteConnection(sqlite3* handle) : handle_(handle) {
  sqlite3_exec(handle_, "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr);
}

SqliteConnection::~SqliteConnection() {
  for (auto& [sql, kept] : kept_) sqlite3_finalize(kept.statement);
  sqlite3_close(handle_);
}

std::unique_ptr<Database::Cursor> SqliteConnection::Prepare(const char* sql) {
  size_t clause = 0;
  const Returning returning = EmulatedReturning(sql, clause);
  const int length = static_cast<int>(std::strlen(sql) - clause);
  // Unless this SQL is in use already (a nested query), take the kept one.
  const std::string_view text(sql);
  auto kept = kept_.find(text);
  if (kept == kept_.end()) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(handle_, sql, length, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
      sqlite3_finalize(statement);
      RaiseDatabaseError(handle_);
    }
    kept = kept_.emplace(text, KeptStatement{statement, false}).first;
  }
  if (KeptStatement& entry = kept->second; !entry.inUse) {
    entry.inUse = true;
    return std::make_unique<SqliteCursor>(handle_, entry.statement, &entry.inUse, returning);
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(handle_, sql, length, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    RaiseDatabaseError(handle_);
  }
  return std::make_unique<SqliteCursor>(handle_, statement, nullptr, returning);
}

void SqliteConnection::Execute(const char* sql) {
  if (sqlite3_exec(handle_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) RaiseDatabaseError(handle_);
}

void SqliteConnection::ExecuteQuietly(const char* sql) { sqlite3_exec(handle_, sql, nullptr, nullptr, nullptr); }

bool SqliteConnection::InTransaction() { return sqlite3_get_autocommit(handle_) == 0; }

bool SqliteConnection::HasTable(const std::string& table) {
  if (tables_.count(table) > 0) return true;
  Statement query(*this, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
  query.Bind(1, table);
  const bool found = query.Step();
  if (found) tables_.insert(table);
  return found;
}

std::string SqliteConnection::Where() const {
  const char* file = sqlite3_db_filename(handle_, "main");
  return file != nullptr ? file : "";
}

sqlite3* SqliteHandle(DataStoreConnection* connection) {
  auto* ours = dynamic_cast<SqliteConnection*>(&Ref(connection));
  if (ours == nullptr) RaiseError(errc::kTypeMismatch);
  return ours->Handle();
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

std::string StoreDatabasePath(const std::string& folder) { return (fs::path(folder) / kDatabaseName).string(); }

std::unique_ptr<SqliteConnection> OpenSqliteStoreReadOnly(const std::string& folder) {
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
