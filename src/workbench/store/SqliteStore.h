// The workbench's test-asset store: a store folder holding an SQLite
// database (`store.db`: store metadata now, datapools and tool options as
// later migrations add them) and one script root per script type:
//   <store>/scripts/java/   Java scripts (dsJavaScript)
//   <store>/scripts/vb/     Visual Basic scripts (dsVisualBasicScript)
//
// Scripts: the add-in's "\"-separated folders map below the root of their
// type. A name that would leave the root is refused; files appear only when
// complete (temporary file and rename); a file holding the same text is left
// alone; a file holding other text is replaced only when the user says yes.
// The script folders ("scripts" and the roots) must be folders of the store,
// not symbolic links: the store refuses to open otherwise. The roots are
// held open while the store is, and every script is written, deleted and
// renamed through them with the path resolved by the call itself
// (SafeFolders.h): a symbolic link below a root is followed only while it
// stays below it, and a folder swapped for a link during a run is found.
//
// Temporary files of killed writers: while the store is open it holds a
// shared lock (flock) on its "scripts" folder. Opening the store removes the
// temporary files in the script roots whose writer has ended (see
// DiskFileSystem.h), and does so only when it can take that lock alone: a
// writer that holds the store open, in whatever container or pid namespace,
// keeps its temporaries.
//
// Names within a session (MakeScriptName): a script name counts as stored
// once SaveScript was called for it in this session, whatever the answer,
// under its base name (the file name without its last extension:
// "ICalcAdd.cls" marks "ICalcAdd"). Callers of MakeScriptName leave out the
// leading root folder that SaveScript receives ("bank\core" there,
// "unittests\bank\core" here), so a folder F of MakeScriptName matches a
// stored folder S when S is F or S is one more folder followed by F, comparing
// whole components ("\" and "/" both separate, empty components ignored):
//   F "bank\core"  matches S "unittests\bank\core" and "bank\core",
//                  not "unittests\x\bank\core";
//   F ""           matches S "unittests", "unittests\" and "";
//   F "Maths\Calc" matches S "unittests\Maths\Calc" holding ICalcAdd.cls,
//                  ICalcAdd.rc and ICalcAdd.vbp, which all mark "ICalcAdd".
// The suffix is "" when the base name is not marked for F, else the smallest
// of "1", "2", ... whose name is not. Only this session counts, never the
// disk: ResetSession forgets the names, so the next run gets the same names
// again and reaches the overwrite question instead of adding copies.
//
// Datapool names (MakeDatapoolName) are given by operation and recorded in
// the database (see DatapoolNames.h): "<class>_<operation>" for the common
// case, with the overload's place or the package where that name is taken.
// Without an operation in hand of those names the answer is
// "<class>_<operation>", and nothing is recorded.
//
// Batches (BeginBatch to EndBatch, what a run does): the datapool components
// join the store's batch through its connection (StoreBatch). Their changes
// are then part of one database transaction, each datapool still whole or
// not at all (see Datapools.h), and the transaction commits once for many
// datapools. Java
// scripts join it too: each is written to its hidden temporary file without
// a sync, and when the batch is finished one sync of the file system makes
// all their data durable before they are renamed to their names — so a crash
// never shows a script that is empty or half there, it only loses the
// scripts of the unfinished batch, which a new run writes again. (Visual
// Basic scripts are stored at once, as out of a batch: the run hands them to
// the resource compiler straight away.) A script of the batch is thus visible
// only once the batch is finished; saving it again finishes the batch first.
// The batch is finished when it is kBatchInterval old or holds
// kBatchScripts scripts (checked at each change), when Flush is called (the
// workbench calls it before it waits for an answer, so that nothing is held
// while the user thinks), at EndBatch, and when the store is destroyed.
// Finishing waits for readers of the database (up to the busy patience of
// the options). What it still cannot make durable (a full disk, a script
// whose folder is gone) is told item by item, with the operation it belongs
// to (BeginOperation), and counted; EndBatch returns those operations, and
// checks the database (PRAGMA quick_check): a store found damaged is told
// and counted as a failure of the run.
//
// Ownership: the store borrows the console, which must outlive it; it owns
// its connection, which lives until the store is destroyed.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/DataStore.h"
#include "workbench/store/DatapoolNames.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/terminal/Console.h"

struct sqlite3;

namespace zt::wb {

/// How the workbench's store is set up.
struct StoreOptions {
  /// The store folder; relative paths are taken from the current folder at
  /// construction. Created with its parents on first use.
  std::string folder = "ztstore";
  /// The user to log in (the host's --user); when unset or empty, Open takes
  /// $ZTUNITTEST_USER, else asks on the console.
  std::optional<std::string> userName;
  /// How long a change waits for another program that holds the database
  /// (a reader in a transaction) before it fails.
  std::chrono::milliseconds busyPatience{30000};
};

/// A set of 64-bit digests, open-addressed in one array.
class DigestSet {
 public:
  bool Contains(uint64_t digest) const;
  void Insert(uint64_t digest);
  void Clear();

 private:
  size_t Slot(uint64_t digest) const;
  std::vector<uint64_t> slots_;  // 0: empty; a power of two in size
  size_t count_ = 0;
  bool hasZero_ = false;  // the digest 0, which marks empty slots
};

/// The longest a batch of a store stays unfinished.
inline constexpr std::chrono::milliseconds kBatchInterval{1000};
/// The most scripts a batch of a store holds.
inline constexpr size_t kBatchScripts = 4096;

/// A store's batch as the datapool components see it (see the file comment).
class StoreBatch {
 public:
  /// Before a change of the database: opens the batch's transaction unless it
  /// is open. Raises error 75 when the database is busy or read-only.
  virtual void BeforeChange() = 0;
  /// After the datapool `name` was stored in the batch: remembers it, and
  /// finishes the batch when it is due. Does not raise.
  virtual void AfterChange(const std::string& name) = 0;

 protected:
  ~StoreBatch() = default;
};

/// The open database of a store, handed to the datapool and option
/// components. The store owns it; the handle is valid while the store lives.
/// Statements on it are kept prepared until it closes (see StoreDatabase.h).
class SqliteConnection : public DataStoreConnection {
 public:
  /// Takes ownership of the open `handle`.
  explicit SqliteConnection(sqlite3* handle);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  /// The open database; never null.
  sqlite3* Handle() const { return handle_; }

  /// The batch that changes join; null while the store is not batching.
  StoreBatch* Batch() const { return batch_; }
  void SetBatch(StoreBatch* batch) { batch_ = batch; }

 private:
  sqlite3* handle_;
  StoreBatch* batch_ = nullptr;
};

/// The database behind `connection`; raises error 91 when `connection` is
/// null and error 13 when it is not a workbench store's connection.
sqlite3* SqliteHandle(DataStoreConnection* connection);

class SqliteStore : public DataStore, private StoreBatch {
 public:
  /// A store on `options.folder`, not yet opened; dialogs go to `console`.
  SqliteStore(StoreOptions options, Console& console);
  ~SqliteStore() override;

  /// Logs the user in (option, else $ZTUNITTEST_USER, else a prompt whose
  /// default is $USER), then creates the folder, the database and the script
  /// roots as needed and brings the database schema up to date. Raises
  /// errc::kStoreCancelled when the login is cancelled (end of input, or the
  /// cancel word), and error 75 naming the path when the store cannot be
  /// created or written. A second call does nothing.
  void Open() override;

  /// Whether Open would ask the console for the user name: no user option
  /// and no $ZTUNITTEST_USER.
  bool AsksForLogin() const;

  /// Asks the console for the user name as Open does (an answer given in
  /// advance under "user" first). nullopt when none was given; then
  /// `endOfInput` tells whether input ended rather than the user cancelling.
  std::optional<std::string> AskUserName(bool& endOfInput);

  /// Forgets the names stored and the for-all answers given in this session.
  void ResetSession() override;

  /// Stores `content` as `fileName` in `folder` below the root of `type`
  /// (see the file comment). Returns 0 when stored or already holding
  /// `content`; 1007 when refused (with a message), declined, or failed (with
  /// a message); 1008 when the user cancels. Raises error 5 before Open.
  int32_t SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                     const std::string& content) override;

  /// Whether the last SaveScript that did not store refused or failed.
  bool LastSaveFailed() override { return lastSaveFailed_; }

  /// Deletes a script with the checks of SaveScript (see DataStore).
  int32_t DeleteScript(const std::string& fileName, const std::string& folder, dsScriptType type) override;

  /// Whether a script is there as a file, with the checks of SaveScript.
  bool ScriptExists(const std::string& fileName, const std::string& folder, dsScriptType type) override;

  /// What went wrong in this session, each told with a message: scripts
  /// SaveScript refused or failed to write (declined replacements do not
  /// count) and scripts DeleteScript refused or failed to delete, scripts and
  /// datapools a batch lost, and a database found damaged.
  int32_t Failures() const { return scriptsNotStored_ + datapoolsLost_ + (damaged_ ? 1 : 0); }

  /// While true, overwrite questions also offer "yes to all" and "no to all".
  void SetMultipleItems(bool multipleItems) override;

  /// The absolute native root of `type` with its trailing "/"; raises error 5
  /// for an unknown type.
  std::string ScriptRoot(dsScriptType type) override;

  /// The suffix that makes `baseName` unique in `folder` (see the file comment).
  std::string MakeScriptName(const std::string& baseName, const std::string& folder, dsScriptType type) override;

  /// The datapool name of the operation in hand when it is named
  /// `className` and `operationName` (see DatapoolNames.h), the same for
  /// every run; else `<className>_<operationName>`. `kind` is not used.
  /// Raises error 75 when the database fails.
  std::string MakeDatapoolName(const std::string& className, const std::string& operationName,
                               int32_t kind) override;
  /// Where MakeDatapoolName learns the operation in hand; null: it knows
  /// none. Borrowed: it must outlive the store.
  void SetOperationInHand(const OperationInHand* operationInHand) { operationInHand_ = operationInHand; }

  /// The user logged in by Open; empty before.
  std::string UserName() override;

  /// The open database (a SqliteConnection); null before Open.
  DataStoreConnection* Connection() override;

  /// Stores in batches until EndBatch (see the file comment); does nothing
  /// before Open.
  void BeginBatch() override;
  /// What is stored from now on belongs to `operation`.
  void BeginOperation(int32_t operation) override { operation_ = operation; }
  /// Finishes the batch, checks the database and stores item by item again;
  /// the operations that lost something (see the file comment).
  std::vector<int32_t> EndBatch() override;
  /// Finishes the current batch now; a batch that is on goes on. Failures
  /// are told on the console.
  void Flush();

 private:
  // What the user answered "for all" in this session.
  enum class ForAll { kAsk, kYes, kNo };

  std::string LogIn();
  void OpenDatabase(const std::string& userName);
  // Opens (making them) the script folders and sweeps their temporaries.
  void OpenScriptRoots();
  // The folders of a script below its root; nullopt when the path is
  // refused, told with the text `refusal` (WB_STORE_PATH_REFUSED or its
  // delete form) or, for a name that is no name, its own; 0: told nothing.
  std::optional<std::vector<std::string>> CheckedFolders(const std::string& fileName, const std::string& folder,
                                                         dsScriptType type, int16_t refusal);
  int32_t Fail(const std::string& message);
  int32_t Write(int folderFd, const std::vector<std::string>& folders, const std::string& fileName,
                const std::filesystem::path& target, const std::string& content, dsScriptType type);
  // Gives the batch's scripts their names, their data made durable first.
  void FinishScripts();
  // Tells that the batch's datapools were lost, one by one, and why.
  void LoseDatapools(const std::string& reason);
  void MarkStored(const std::string& fileName, const std::string& folder, dsScriptType type);

  // StoreBatch
  void BeforeChange() override;
  void AfterChange(const std::string& name) override;
  // The current batch holds something and is kBatchInterval old.
  bool BatchDue() const;

  StoreOptions options_;
  Console& console_;
  std::filesystem::path folder_;
  // While the store is open: the store folder, the "scripts" folder under
  // its shared lock, and the root of each script type.
  UniqueFd folderFd_;
  UniqueFd scriptsLock_;
  std::map<dsScriptType, UniqueFd> roots_;
  // The longest file name the file system of each root takes.
  std::map<dsScriptType, long> longestNames_;
  std::unique_ptr<SqliteConnection> connection_;
  std::string userName_;
  bool multipleItems_ = false;
  int32_t scriptsNotStored_ = 0;
  int32_t datapoolsLost_ = 0;
  bool damaged_ = false;
  bool lastSaveFailed_ = false;
  ForAll forAll_ = ForAll::kAsk;
  // (type, folder, base name) marked by SaveScript in this session; a stored
  // file marks its folder and its folder without the first component. Kept
  // as 64-bit digests, so that a mark takes 8 to 16 bytes however long the run:
  // two names share a digest about once in 10^9 runs of 100,000 scripts,
  // and all that would do is number a script that needs no number.
  DigestSet stored_;
  const OperationInHand* operationInHand_ = nullptr;
  // The root of `type` below the store folder; null for an unknown type.
  const std::filesystem::path* Root(dsScriptType type);
  // The roots by type, and ScriptRoot's answers: the folder never changes.
  std::map<dsScriptType, std::filesystem::path> rootPaths_;
  std::map<dsScriptType, std::string> rootTexts_;
  // The operation key and datapool name given last: the add-in asks for an
  // operation's name twice in a row (its tag, then its datapool). Earlier
  // ones are asked of the database again, which keeps them; a run of 100,000
  // operations would hold megabytes of them.
  std::optional<std::pair<std::string, std::string>> lastDatapoolName_;
  // Between BeginBatch and EndBatch.
  bool batching_ = false;
  // The batch's database transaction is open.
  bool batchTransaction_ = false;
  // When the current batch took its first change; unset while it holds none.
  std::optional<std::chrono::steady_clock::time_point> batchStart_;
  // The operation that what is stored belongs to (BeginOperation).
  int32_t operation_ = 0;
  // The batch's scripts, in the order stored: their folders below the Java
  // root, temporary file and name there, and the target as messages show it
  // (text: a path would hold each of its names apart, for thousands of scripts).
  // Scripts of one folder share its list of names.
  struct PendingScript {
    std::shared_ptr<const std::vector<std::string>> folders;
    std::string temporary, name;
    std::string target;
    int32_t operation;
  };
  std::vector<PendingScript> pendingScripts_;
  // The batch's targets, as digests of their paths: two that share one only
  // finish the batch early.
  DigestSet pendingTargets_;
  // The datapools of the batch's open transaction, with their operations.
  std::vector<std::pair<std::string, int32_t>> pendingDatapools_;
  // The operations that lost a script or a datapool since BeginBatch.
  std::set<int32_t> lostOperations_;
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
