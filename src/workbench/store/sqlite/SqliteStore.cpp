// The SQLite store (see SqliteStore.h): opening and migrating the database,
// the database's part of a batch, the check of a store folder. The store
// owns its connection and borrows its console.
#include "workbench/store/sqlite/SqliteStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "support/Error.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDatabaseName = "store.db";
constexpr const char* kLineEnd = "\n";

// The database schema, one step per version. Later tables are added by
// appending a step; a released step is never edited, because stores made
// with it already carry its version. (The PostgreSQL store makes the schema
// of version 5 in one go and takes the later steps as these do,
// PgDatabase.cpp, carrying the same numbers.)
struct Migration {
  int version;
  const char* sql;
};
// The script names and what was generated, the two records a test adds, are
// WITHOUT ROWID tables: the key is stored once, in the table's own tree, not
// again in an index beside it. Stores made before that have them as rowid
// tables: the same columns, keys and statements, so a store of either kind
// is opened and written alike by every version of its schema.
constexpr Migration kMigrations[] = {
    {1, "CREATE TABLE store_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)"},
    // Datapools (see Datapools.h): a datapool, its ordered fields, its
    // ordered rows, and one value per row and field.
    {2,
     "CREATE TABLE datapools (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, "
     "description TEXT NOT NULL DEFAULT '', created TEXT NOT NULL, updated TEXT NOT NULL, "
     "user TEXT NOT NULL DEFAULT '');"
     "CREATE TABLE datapool_fields (id INTEGER PRIMARY KEY, "
     "datapool INTEGER NOT NULL REFERENCES datapools(id) ON DELETE CASCADE, position INTEGER NOT NULL, "
     "name TEXT NOT NULL, type TEXT NOT NULL DEFAULT '', UNIQUE (datapool, position), UNIQUE (datapool, name));"
     "CREATE TABLE datapool_rows (id INTEGER PRIMARY KEY, "
     "datapool INTEGER NOT NULL REFERENCES datapools(id) ON DELETE CASCADE, position INTEGER NOT NULL, "
     "UNIQUE (datapool, position));"
     "CREATE TABLE datapool_values (row INTEGER NOT NULL REFERENCES datapool_rows(id) ON DELETE CASCADE, "
     "field INTEGER NOT NULL REFERENCES datapool_fields(id) ON DELETE CASCADE, value TEXT NOT NULL, "
     "PRIMARY KEY (row, field))"},
    // Tool options (see ToolOptions.h): option number and its text.
    {3, "CREATE TABLE tool_options (number INTEGER PRIMARY KEY, value TEXT NOT NULL)"},
    // Datapool names by operation (see DatapoolNames.h).
    {4,
     "CREATE TABLE datapool_names (operation TEXT PRIMARY KEY, name TEXT NOT NULL UNIQUE, "
     "recorded TEXT NOT NULL)"},
    // Script names by operation (see DatapoolNames.h) and the store's
    // sessions (see StoreBase.h).
    {5,
     "CREATE TABLE script_names (type INTEGER NOT NULL, folder TEXT NOT NULL, name TEXT NOT NULL, "
     "base TEXT NOT NULL, suffix TEXT NOT NULL, operation TEXT NOT NULL, recorded TEXT NOT NULL, "
     "PRIMARY KEY (type, folder, name), UNIQUE (type, folder, base, operation)) WITHOUT ROWID;"
     "CREATE TABLE sessions (id INTEGER PRIMARY KEY, user TEXT NOT NULL, client TEXT NOT NULL, "
     "opened TEXT NOT NULL, closed TEXT)"},
    // What was generated, by script (see GeneratedScripts in StoreBase.h).
    {6,
     "CREATE TABLE generated_scripts (type INTEGER NOT NULL, path TEXT NOT NULL, digest TEXT NOT NULL, "
     "recorded TEXT NOT NULL, PRIMARY KEY (type, path)) WITHOUT ROWID"},
    // A digest of each datapool's content (see Datapools.h), which the
    // PostgreSQL store reads at its open instead of the rows; kept here too,
    // so that both back-ends have one schema and one code writes it.
    {7, "ALTER TABLE datapools ADD COLUMN digest TEXT"},
};
constexpr int kSchemaVersion = kMigrations[std::size(kMigrations) - 1].version;

// Whether an SQLite result code says that another connection holds the database.
bool IsBusy(int code) { return (code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED; }

// Who holds a lock on the database file `database`, as far as /proc/locks
// tells: "sqlite3 (process 1234)", or "" when it does not say.
std::string LockHolder(const fs::path& database) {
  struct stat st {};
  if (::stat(database.c_str(), &st) != 0) return {};
  std::ifstream locks("/proc/locks");
  char device[32];
  std::snprintf(device, sizeof device, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  for (std::string line; std::getline(locks, line);) {
    // "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 1073741824 1073741824"
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, file;
    fields >> number >> kind;
    if (kind == "->") continue;  // a waiter, not a holder
    fields >> mode >> access >> pid >> file;
    if (file != device || pid == std::to_string(::getpid()) || pid == "0" || pid == "-1") continue;
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return Text(WB_STORE_LOCK_HOLDER, {name.empty() ? "?" : name, pid});
  }
  return {};
}

// Why the database `database` could not be used: it is busy, held by
// another program (named when /proc/locks tells).
std::string BusyReason(const fs::path& database) {
  const std::string holder = LockHolder(database);
  return Text(WB_STORE_BUSY, {holder.empty() ? Text(WB_STORE_BUSY_SOMEONE) : holder});
}

[[noreturn]] void RaiseDatabaseError(sqlite3* db) { RaiseError(errc::kPathFileAccessError, {}, sqlite3_errmsg(db)); }

// Runs `sql`; raises error 75 with the database's message when it fails.
void Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return;
  const std::string error = message != nullptr ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  RaiseError(errc::kPathFileAccessError, {}, error);
}

// Undoes the transaction in hand, if any; what it says is of no use then.
void Rollback(sqlite3* db) { sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr); }

// Runs the one-row, one-column query `sql` and returns its integer.
int QueryInt(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  const bool ok =
      sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW;
  const int value = ok ? sqlite3_column_int(statement, 0) : 0;
  sqlite3_finalize(statement);
  if (!ok) RaiseDatabaseError(db);
  return value;
}

// Runs `sql` with `args` bound to its parameters in order.
void ExecBound(sqlite3* db, const char* sql, const std::vector<std::string>& args) {
  sqlite3_stmt* statement = nullptr;
  bool ok = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK;
  for (size_t i = 0; ok && i < args.size(); ++i) {
    ok = sqlite3_bind_text(statement, static_cast<int>(i + 1), args[i].data(), static_cast<int>(args[i].size()),
                           SQLITE_TRANSIENT) == SQLITE_OK;
  }
  ok = ok && sqlite3_step(statement) == SQLITE_DONE;
  sqlite3_finalize(statement);
  if (!ok) RaiseDatabaseError(db);
}

// The schema version of the store in `db`: 0 when it has none yet. Reads only.
int StoredVersion(sqlite3* db) {
  if (QueryInt(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'") == 0) {
    return 0;
  }
  return QueryInt(db, "SELECT COALESCE(MAX(version), 0) FROM schema_version");
}

// Brings the schema up to date and records the login, in one transaction.
// Writing on every open is what finds a store that cannot be written.
void Migrate(sqlite3* db, const std::string& userName) {
  Exec(db, "BEGIN IMMEDIATE");
  try {
    Exec(db, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL)");
    const int current = QueryInt(db, "SELECT COALESCE(MAX(version), 0) FROM schema_version");
    if (current > kSchemaVersion) {
      RaiseError(errc::kPathFileAccessError, {},
                 Text(WB_STORE_TOO_NEW, {std::to_string(current), std::to_string(kSchemaVersion)}));
    }
    for (const Migration& step : kMigrations) {
      if (step.version <= current) continue;
      Exec(db, step.sql);
      ExecBound(db, "INSERT INTO schema_version (version, applied) VALUES (?, datetime('now'))",
                {std::to_string(step.version)});
    }
    ExecBound(db, "INSERT OR REPLACE INTO store_info (key, value) VALUES ('last_user', ?)", {userName});
    ExecBound(db, "INSERT OR REPLACE INTO store_info (key, value) VALUES ('last_opened', datetime('now'))", {});
    Exec(db, "COMMIT");
  } catch (const ZtError&) {
    Rollback(db);
    throw;
  }
}

[[noreturn]] void RaiseCannotOpen(const fs::path& path, const std::string& reason) {
  RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {path.string(), reason}));
}

// Creates `folder` with its parents; raises when it is not a usable folder.
void MakeFolder(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) RaiseCannotOpen(folder, ec.message());
  if (!fs::is_directory(folder, ec)) RaiseCannotOpen(folder, Text(WB_STORE_NOT_A_FOLDER));
  if (::access(folder.c_str(), W_OK | X_OK) != 0) RaiseCannotOpen(folder, Text(WB_STORE_READ_ONLY));
}

// Why a folder of the store could not be opened: errno `error` in words.
std::string FolderReason(int error) {
  return error == ELOOP ? Text(WB_STORE_SYMLINK_FOLDER) : std::string(std::strerror(error));
}

}  // namespace

void CreateStoreSchema(sqlite3* db, const std::string& user) { Migrate(db, user); }

fs::path StoreFolderPath(const std::string& location) {
  std::error_code ec;
  fs::path folder = fs::absolute(location, ec).lexically_normal();
  if (ec) folder = fs::path(location).lexically_normal();
  if (folder.filename().empty() && folder.has_relative_path()) folder = folder.parent_path();
  return folder;
}

SqliteStore::SqliteStore(StoreOptions options, const StoreEnv& env)
    : StoreBase(std::move(options), env), folder_(StoreFolderPath(Options().location.folder)) {}

SqliteStore::~SqliteStore() { Close(); }

void SqliteStore::OpenStore(const std::string& userName) {
  MakeFolder(folder_);
  folderFd_ = OpenFolder(folder_.string());
  if (!folderFd_) RaiseCannotOpen(folder_, std::strerror(errno));
  const fs::path database = folder_ / kDatabaseName;
  // A database that is there is looked at first: one the store does not
  // take (damaged, of a newer version) is refused before anything is made.
  // A new one is made only after the script roots.
  std::error_code ec;
  std::unique_ptr<SqliteConnection> connection;
  if (fs::exists(database, ec)) connection = OpenDatabase(database);
  // The script roots before the database records the login: a store that
  // cannot hold scripts is refused first.
  const fs::path scripts = folder_ / "scripts";
  UniqueFd scriptsFd = OpenFolderNoFollow(folderFd_.Get(), "scripts", true);
  if (!scriptsFd) RaiseCannotOpen(scripts, FolderReason(errno));
  Scripts().Open(std::move(scriptsFd), scripts);
  if (!connection) connection = OpenDatabase(database);
  sqlite3* handle = connection->Handle();
  try {
    Migrate(handle, userName);
  } catch (const ZtError& e) {
    RaiseCannotOpen(database, IsBusy(sqlite3_extended_errcode(handle)) ? BusyReason(database) : e.Description());
  }
  connection_ = std::move(connection);
}

std::unique_ptr<SqliteConnection> SqliteStore::OpenDatabase(const fs::path& database) const {
  sqlite3* handle = nullptr;
  // The store is used from one thread: its connection takes no lock of its own.
  const int rc = sqlite3_open_v2(database.c_str(), &handle,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (handle == nullptr) RaiseCannotOpen(database, sqlite3_errstr(rc));
  auto connection = std::make_unique<SqliteConnection>(handle);
  if (rc != SQLITE_OK) RaiseCannotOpen(database, sqlite3_errmsg(handle));
  if (sqlite3_db_readonly(handle, "main") == 1) RaiseCannotOpen(database, Text(WB_STORE_READ_ONLY));
  sqlite3_busy_timeout(handle, static_cast<int>(Options().busyPatience.count()));
  int version = 0;
  try {
    version = StoredVersion(handle);
  } catch (const ZtError& e) {
    RaiseCannotOpen(database, IsBusy(sqlite3_extended_errcode(handle)) ? BusyReason(database) : e.Description());
  }
  if (version > kSchemaVersion) {
    RaiseCannotOpen(database, Text(WB_STORE_TOO_NEW, {std::to_string(version), std::to_string(kSchemaVersion)}));
  }
  return connection;
}

void SqliteStore::ResetDatabaseSession() {
  datapoolsLost_ = 0;
  damaged_ = false;
}

void SqliteStore::BeginDatabaseBatch() {
  lostDatapools_.clear();
  connection_->SetBatch(this);
}

std::vector<std::pair<int32_t, std::string>> SqliteStore::EndDatabaseBatch() {
  connection_->SetBatch(nullptr);
  // A database damaged under the run (truncated, overwritten) is not a
  // success, whatever each change said. The check reads the file through a
  // connection of its own: the store's would trust the pages it holds.
  std::string verdict;
  const fs::path database = folder_ / kDatabaseName;
  sqlite3* db = nullptr;
  sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_busy_timeout(db, static_cast<int>(Options().busyPatience.count()));
  sqlite3_stmt* check = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &check, nullptr) == SQLITE_OK &&
      sqlite3_step(check) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
    verdict = text != nullptr ? text : "";
  } else {
    verdict = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
  }
  sqlite3_finalize(check);
  sqlite3_close(db);
  if (verdict != "ok") {
    std::replace(verdict.begin(), verdict.end(), '\n', ' ');
    damaged_ = true;
    TheConsole().Write(Text(WB_STORE_DAMAGED_AFTER_RUN, {database.string(), verdict}) + kLineEnd);
  }
  return std::move(lostDatapools_);
}

void SqliteStore::LoseDatapools(const std::string& reason) {
  const std::string database = (folder_ / kDatabaseName).string();
  for (const auto& [name, operation] : pendingDatapools_) {
    TellFailure(Text(WB_STORE_DATAPOOL_LOST, {name, database, reason}),
                Text(WB_STORE_DATAPOOL_LOST, {Text(WB_STORE_SUBJECT_ELIDED), database, reason}));
    ++datapoolsLost_;
    lostDatapools_.emplace_back(operation, name);
  }
  pendingDatapools_.clear();
}

void SqliteStore::FlushDatabase() {
  batchStart_.reset();
  if (!batchTransaction_) return;
  batchTransaction_ = false;
  sqlite3* db = connection_->Handle();
  // A failure inside the batch may have rolled all of it back already. A
  // reader in a transaction makes COMMIT wait (the busy patience), not fail.
  if (sqlite3_get_autocommit(db) != 0) return LoseDatapools(sqlite3_errmsg(db));
  try {
    Exec(db, "COMMIT");
  } catch (const ZtError& e) {
    Rollback(db);
    return LoseDatapools(e.Description());
  }
  pendingDatapools_.clear();
}

void SqliteStore::BeforeChange() {
  sqlite3* db = connection_->Handle();
  if (batchTransaction_ && sqlite3_get_autocommit(db) != 0) Flush();  // rolled back by a failure: told there
  if (!batchTransaction_) {
    Exec(db, "BEGIN IMMEDIATE");
    batchTransaction_ = true;
  }
  if (!batchStart_) batchStart_ = std::chrono::steady_clock::now();
}

void SqliteStore::AfterChange(const std::string& name) {
  // A datapool replaced at once (the overwrite question) is one datapool.
  if (pendingDatapools_.empty() || pendingDatapools_.back() != std::pair(name, Operation())) {
    pendingDatapools_.emplace_back(name, Operation());
  }
  if (BatchDue()) Flush();
}

bool SqliteStore::BatchDue() const {
  return batchStart_ && std::chrono::steady_clock::now() - *batchStart_ >= kBatchInterval;
}

namespace {

// Whether `path` can be written and, for a folder, entered.
bool Writable(const fs::path& path) { return ::access(path.c_str(), W_OK | X_OK) == 0; }

}  // namespace

std::optional<std::string> StoreFolderProblem(const std::string& folderName) {
  std::error_code ec;
  const fs::path folder = StoreFolderPath(folderName);
  const auto problem = [](const fs::path& path, int16_t reason, const std::vector<std::string>& args = {}) {
    return std::optional<std::string>(Text(WB_STORE_CANNOT_OPEN, {path.string(), Text(reason, args)}));
  };

  // A store that does not exist yet is made in the nearest folder that does.
  fs::path existing = folder;
  while (!fs::exists(existing, ec) && existing.has_relative_path()) existing = existing.parent_path();
  if (!fs::is_directory(existing, ec)) return problem(existing, WB_STORE_NOT_A_FOLDER);
  if (!Writable(existing)) return problem(existing, WB_STORE_READ_ONLY);
  if (existing != folder) return std::nullopt;

  const fs::path scripts = folder / "scripts";
  for (const fs::path& sub : {scripts, scripts / "java", scripts / "vb"}) {
    if (fs::is_symlink(fs::symlink_status(sub, ec))) return problem(sub, WB_STORE_SYMLINK_FOLDER);
    if (!fs::exists(sub, ec)) continue;
    if (!fs::is_directory(sub, ec)) return problem(sub, WB_STORE_NOT_A_FOLDER);
    if (!Writable(sub)) return problem(sub, WB_STORE_READ_ONLY);
  }

  const fs::path database = folder / kDatabaseName;
  if (!fs::exists(database, ec)) return std::nullopt;
  if (!fs::is_regular_file(database, ec)) return problem(database, WB_STORE_NOT_A_FILE);
  if (::access(database.c_str(), W_OK) != 0) return problem(database, WB_STORE_READ_ONLY);
  // Read, never written: a healthy store stays byte for byte as it was. (A
  // journal that a killed writer left is rolled back, as any open does.)
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(database.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
  if (handle == nullptr) return problem(database, WB_STORE_DAMAGED, {sqlite3_errstr(rc)});
  SqliteConnection connection(handle);
  if (rc != SQLITE_OK) return problem(database, WB_STORE_DAMAGED, {sqlite3_errmsg(handle)});
  if (sqlite3_db_readonly(handle, "main") == 1) return problem(database, WB_STORE_READ_ONLY);
  sqlite3_busy_timeout(handle, 5000);
  // A database that another program holds locked is busy, not damaged.
  const auto failed = [&](const std::string& error) {
    if (IsBusy(sqlite3_extended_errcode(handle))) {
      return std::optional<std::string>(Text(WB_STORE_CANNOT_OPEN, {database.string(), BusyReason(database)}));
    }
    return problem(database, WB_STORE_DAMAGED, {error});
  };
  int version = 0;
  try {
    version = StoredVersion(handle);
  } catch (const ZtError& e) {
    return failed(e.Description());
  }
  if (version > kSchemaVersion) {
    return problem(database, WB_STORE_TOO_NEW, {std::to_string(version), std::to_string(kSchemaVersion)});
  }
  // Every page is looked at, so that a damaged datapool is found here and not
  // once per operation of a run.
  sqlite3_stmt* check = nullptr;
  std::string verdict;
  if (sqlite3_prepare_v2(handle, "PRAGMA quick_check(1)", -1, &check, nullptr) == SQLITE_OK &&
      sqlite3_step(check) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
    verdict = text != nullptr ? text : "";
  } else {
    verdict = sqlite3_errmsg(handle);
  }
  const bool busy = IsBusy(sqlite3_extended_errcode(handle));
  sqlite3_finalize(check);
  if (verdict == "ok") return std::nullopt;
  if (busy) return std::optional<std::string>(Text(WB_STORE_CANNOT_OPEN, {database.string(), BusyReason(database)}));
  for (char& c : verdict) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return problem(database, WB_STORE_DAMAGED, {verdict});
}

}  // namespace zt::wb
