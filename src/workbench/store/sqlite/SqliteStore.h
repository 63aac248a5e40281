// The workbench's test-asset store in a folder: an SQLite database
// (`store.db`: store metadata, datapools, tool options, name records and
// sessions, as migrations add them) and one script root per script type:
//   <store>/scripts/java/   Java scripts (dsJavaScript)
//   <store>/scripts/vb/     Visual Basic scripts (dsVisualBasicScript)
//
// The scripts side (paths, the replace question, atomic writes, the sweep of
// temporaries of killed writers) is ScriptFiles.h's, on the store's
// "scripts" folder, which must be a folder of the store, not a symbolic
// link; the login, the session and the names are StoreBase.h's.
//
// Batches (BeginBatch to EndBatch, what a run does): the datapool components
// join the store's batch through its connection (StoreBatch). Their changes
// are then savepoints in one database transaction, each datapool still whole
// or not at all, and the transaction commits once for many datapools. Java
// scripts are batched too (ScriptFiles.h). The database's batch is finished
// when it is kBatchInterval old (checked at each change), when Flush is called (the
// workbench calls it before it waits for an answer, so that nothing is held
// while the user thinks), at EndBatch, and when the store is destroyed.
// Finishing waits for readers of the database (up to the busy patience of
// the options). What it still cannot make durable (a full disk, a script
// whose folder is gone) is told item by item, with the operation it belongs
// to (BeginOperation), and counted; EndBatch returns those operations, and
// checks the database (PRAGMA quick_check): a store found damaged is told
// and counted as a failure of the run.
//
// Several programs at once: SQLite lets one write at a time, and a change
// waits for the one under way up to the busy patience of the options (a
// team that generates together wants the PostgreSQL store, PgStore.h).
//
// Ownership: the store borrows the console, which must outlive it; it owns
// its connection, which lives until the store is destroyed.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "workbench/store/StoreBase.h"
#include "workbench/store/sqlite/SqliteDatabase.h"

namespace zt::wb {

/// Makes the store's schema in the empty database `db` (the project store's
/// in memory) and records `user` as its last user; raises error 75.
void CreateStoreSchema(sqlite3* db, const std::string& user);

/// The store folder `location` as a store names it: absolute and normal.
std::filesystem::path StoreFolderPath(const std::string& location);

class SqliteStore : public StoreBase, private StoreBatch {
 public:
  /// A store on the folder `options.location`, not yet opened; dialogs go
  /// to `console`.
  SqliteStore(StoreOptions options, const StoreEnv& env);
  ~SqliteStore() override;

  /// The store folder.
  std::string Location() const override { return folder_.string(); }

 protected:
  /// Creates the folder, the script roots and the database as needed and
  /// brings the schema up to date; raises error 75 naming the path when the
  /// store cannot be created or written. A database the store does not take
  /// (damaged, of a newer version) is refused before the script roots are made.
  void OpenStore(const std::string& user) override;
  Database* Db() override { return connection_.get(); }

  void BeginDatabaseBatch() override;
  void FlushDatabase() override;
  std::vector<std::pair<int32_t, std::string>> EndDatabaseBatch() override;
  int32_t DatabaseFailures() const override { return datapoolsLost_ + (damaged_ ? 1 : 0); }
  void ResetDatabaseSession() override;

 private:
  // Opens `database` (made when missing) and checks that the store takes
  // it, writing nothing; raises error 75 (WB_STORE_CANNOT_OPEN).
  std::unique_ptr<SqliteConnection> OpenDatabase(const std::filesystem::path& database) const;
  // Tells that the batch's datapools were lost, one by one, and why.
  void LoseDatapools(const std::string& reason);

  // StoreBatch
  void BeforeChange() override;
  void AfterChange(const std::string& name) override;
  // The current batch holds something and is kBatchInterval old.
  bool BatchDue() const;

  std::filesystem::path folder_;
  // While the store is open: the store folder.
  UniqueFd folderFd_;
  std::unique_ptr<SqliteConnection> connection_;
  int32_t datapoolsLost_ = 0;
  bool damaged_ = false;
  // The batch's database transaction is open.
  bool batchTransaction_ = false;
  // When the current batch took its first change; unset while it holds none.
  std::optional<std::chrono::steady_clock::time_point> batchStart_;
  // The datapools of the batch's open transaction, with their operations.
  std::vector<std::pair<std::string, int32_t>> pendingDatapools_;
  // The datapools lost since BeginBatch, with their operations.
  std::vector<std::pair<int32_t, std::string>> lostDatapools_;
};

/// Why the store folder `folder` cannot be opened for writing, as the text of
/// WB_STORE_CANNOT_OPEN; nullopt when no reason is found. Looks without
/// creating or changing anything: a file or a symbolic link where a folder
/// of the store should be, a folder or database that cannot be written, a
/// database that is not a store's, is damaged, is of a newer version, or is
/// held locked by another program (named when the system tells). A folder
/// that does not exist yet is fine when it can be created.
std::optional<std::string> StoreFolderProblem(const std::string& folder);

}  // namespace zt::wb
