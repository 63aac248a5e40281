// The store in a Java project's own tree ("project:DIR"): what a folder
// store keeps in its database is kept as text files in the project, which
// its version control reviews and merges, and which its build reads as they
// are:
//   DIR/src/test/java/<package folders>/   Java tests (dsJavaScript), by the
//                                           package of the class they test
//   DIR/src/test/vb/                        Visual Basic test projects
//   DIR/src/test/resources/ztunittest/NAME.csv
//                                           each datapool, as the runtime reads
//                                           it (from the test class path)
//   DIR/src/test/resources/ztunittest/ztunittest.records
//                                           the store's records, one a line
//   DIR/.ztunittest.lock                    while a program has the store open
//
// The records file holds what the store must remember besides the files:
// each operation's datapool name and script names, the digests of what it
// generated (ScriptFiles.h, Datapools.h), each datapool's description,
// user and field types, and the tool options. One record a line, its fields
// separated by tabs (a tab, a line end or "\" in a field written "\t",
// "\n", "\r", "\\"), the lines sorted, after a comment line that says what
// the file is. Nothing in it, in the datapools or in the tests depends on
// the machine or the moment: no absolute paths, no host names, no times.
// Two branches that each generated other operations give other lines, and
// the file is marked in .gitattributes to be merged by taking the lines of
// both sides; two records of one thing (both branches generated it) are
// told at the next open, the first taken and a generated digest dropped,
// so that the test is asked about, not replaced: generating it again
// brings it up to date. Merge conflict markers are skipped and told.
//
// The store works on an in-memory SQLite database of the folder store's
// schema, read from the files at the open; every change is written back
// to the files as the folder store commits (a batch's datapools at once, at
// most a batch interval old, its records when it ends or a question waits;
// a change outside a batch at its commit; everything when the store closes). A file is written only when what it would hold
// differs from what it holds, by a temporary file and a rename, so that a
// run with nothing changed writes nothing. Files are reached only through
// folders opened below DIR without following symbolic links.
//
// One program at a time: the lock file is held locked (flock) while the
// store is open, and another open is refused, naming the process that holds
// it. A program killed leaves the file, not the lock: the next open takes it.
//
// Ownership: the store borrows the console; it owns its database.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workbench/store/StoreBase.h"
#include "workbench/store/sqlite/SqliteDatabase.h"
#include "workbench/system/SafeFolders.h"

namespace zt::wb {

/// The datapools' folder below a project's root.
inline constexpr const char* kProjectDataFolder = "src/test/resources/ztunittest";
/// The records file's name in the datapools' folder.
inline constexpr const char* kProjectRecordsFile = "ztunittest.records";

class ProjectDatabase;

class ProjectStore : public StoreBase, private StoreBatch {
 public:
  /// A store in the project `options.location.folder`, not yet opened.
  ProjectStore(StoreOptions options, const StoreEnv& env);
  ~ProjectStore() override;

  /// The project's root.
  std::string Location() const override { return root_.string(); }

 protected:
  /// Takes the lock, makes the folders as needed and reads the files;
  /// raises error 75 (WB_STORE_CANNOT_OPEN) naming what is not usable.
  void OpenStore(const std::string& user) override;
  Database* Db() override;

  void BeginDatabaseBatch() override;
  void FlushDatabase() override;
  std::vector<std::pair<int32_t, std::string>> EndDatabaseBatch() override;
  int32_t DatabaseFailures() const override { return datapoolsLost_; }
  void ResetDatabaseSession() override { datapoolsLost_ = 0; }

 private:
  // StoreBatch
  void BeforeChange() override;
  void AfterChange(const std::string& name) override;

  // Writes what changed to the files; raises error 75 naming the file.
  void Save();
  // Save, telling a failure as the loss of the batch's datapools.
  void SaveBatch();

  std::filesystem::path root_;
  UniqueFd lock_;
  std::unique_ptr<ProjectDatabase> db_;
  bool batching_ = false;
  // While a batch is finished for its age: its write-back leaves the records.
  bool datapoolsOnly_ = false;
  std::optional<std::chrono::steady_clock::time_point> batchStart_;
  std::vector<std::pair<std::string, int32_t>> pendingDatapools_;
  std::vector<std::pair<int32_t, std::string>> lostDatapools_;
  int32_t datapoolsLost_ = 0;
};

/// The store in the project `root` read into a database of its own, without
/// a login and without the lock, for reading; null when the project has no
/// store (no records file and no datapools folder). Raises error 75 when its
/// files cannot be read.
std::unique_ptr<Database> OpenProjectStoreReadOnly(const std::string& root);

/// Why the project store at `root` cannot be opened for writing, as the text
/// of WB_STORE_CANNOT_OPEN; nullopt when none is found before trying.
std::optional<std::string> ProjectStoreProblem(const std::string& root);

}  // namespace zt::wb
