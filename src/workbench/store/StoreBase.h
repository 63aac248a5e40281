// What every back-end of the workbench's store shares: the login, the
// session, the scripts (ScriptFiles.h), the names of scripts and datapools,
// and the frame of a batch. A back-end (SqliteStore.h, PgStore.h) opens its
// database and its scripts folder, and keeps what a batch gathers in its
// database.
//
// Login: the host's user option, else $ZTUNITTEST_USER, else a prompt
// whose default is $USER. The user is recorded in the database: as the
// store's last user (store_info.last_user), on every datapool it creates or
// changes, and in the store's sessions (table sessions: who opened the
// store from which machine and process, when, and when it was closed).
//
// Names. MakeDatapoolName gives the name recorded for the operation in hand
// (see DatapoolNames.h). MakeScriptName, with an operation in hand, gives
// the suffix recorded for that operation, base name, folder and script type
// in the store's name records (ScriptNames in DatapoolNames.h), which every
// user of the store shares: no two operations ever get one script name, and
// an operation gets the same name in every run, whoever generates it.
// Without an operation in hand (a store used on its own) the suffix counts
// this session only (ScriptFiles.h).
//
// What was generated: the store records a digest of every script it writes
// (GeneratedScripts below), so that a test not edited outside its user regions
// is regenerated without a question (ScriptFiles.h).
//
// Ownership: the store borrows the console, which must outlive it; it owns
// its database, which lives until the store is destroyed.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/DataStore.h"
#include "support/Error.h"
#include "workbench/store/Database.h"
#include "workbench/store/DatapoolNames.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/scripts/ScriptFiles.h"
#include "workbench/terminal/Console.h"

namespace zt::wb {

// What the store generated: for each script it wrote, a digest of the text
// outside its user regions (ScriptFiles.h, "What was generated"), kept in
// the store's database, so that every user of a shared store finds what the
// last run wrote, whoever made it.
//
// Schema (store migration 6):
//   generated_scripts (type, path, digest, recorded)   PRIMARY KEY (type, path)
// `path` is "/"-separated below the root of the script type; `recorded` is
// the time in UTC, "YYYY-MM-DD HH:MM:SS". Rows of the type
// kGeneratedDatapool record what the model gave each datapool the store
// made (Datapools.h), with the datapool's name as the path.
//
// In a store's batch the records are written together (at Flush, or when
// kRecordsAtOnce wait), else at once. A record that is never written (the
// run killed, the database failing) costs nothing but a question: the file
// is asked about when it is generated again, as if it had been edited.

/// The most records that wait for a batch's Flush.
inline constexpr size_t kRecordsAtOnce = 256;

class GeneratedScripts final : public ScriptRecords {
 public:
  /// `database` gives the store's open database (null while it has none).
  explicit GeneratedScripts(std::function<Database*()> database) : database_(std::move(database)) {}

  /// The digest recorded for the script: one waiting to be written, else
  /// the database's (read once per run by a back-end over a network,
  /// Database::Known). nullopt when there is none or it cannot be read.
  std::optional<std::string> Recorded(dsScriptType type, const std::string& path) override;
  /// Records `digest`; written at once unless batching.
  void Record(dsScriptType type, const std::string& path, const std::string& digest) override;

  /// While true, records wait for Flush.
  void SetBatching(bool batching) { batching_ = batching; }
  /// Writes the waiting records in one transaction (joining an open one);
  /// when the database fails they are dropped (see the file comment).
  void Flush();

 private:
  std::function<Database*()> database_;
  std::map<std::pair<int, std::string>, std::string> waiting_;
  bool batching_ = false;
};

/// What a store takes from the program around it, and nothing else: no
/// store code writes to the terminal or reads a global flag.
struct StoreEnv {
  /// A program's stores talk through `console`, and only through it.
  StoreEnv(Console& dialogs) : console(dialogs) {}  // NOLINT: a console is all a store needs by default

  /// Questions, and what the store tells the user (stderr for the command line).
  Console& console;
  /// Whether the user asked to stop (Ctrl-C): a wait on a server gives up at once.
  std::function<bool()> interrupted = [] { return false; };
  /// The clock that waits on a server are measured with.
  std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
};

/// How the workbench's store is set up.
struct StoreOptions {
  /// Where the store is (StoreLocation.h): a store folder, created with its
  /// parents on first use (a relative one built by hand is taken from the
  /// current folder at construction); or a PostgreSQL database with its
  /// scripts folder.
  StoreLocation location;
  /// The user to log in (the host's --user); when unset or empty, Open takes
  /// $ZTUNITTEST_USER, else asks on the console.
  std::optional<std::string> userName;
  /// How long a change waits for another program that holds the database
  /// (a reader in a transaction, a writer of the same datapool) before it fails.
  std::chrono::milliseconds busyPatience{30000};
  /// When set, the login fails with this error without asking: a host that
  /// has found out before the add-in runs that the store cannot be logged
  /// into (the login cancelled or unanswered, a store that cannot be
  /// opened) lets the add-in's own login fail the same way.
  std::optional<ZtError> loginRefusal = std::nullopt;
};

class StoreBase : public DataStore {
 public:
  StoreBase(StoreOptions options, const StoreEnv& env);
  ~StoreBase() override;
  StoreBase(const StoreBase&) = delete;
  StoreBase& operator=(const StoreBase&) = delete;

  /// Logs the user in, then opens the store (the back-end's OpenStore) and
  /// records the session. Raises errc::kStoreCancelled when the login is
  /// cancelled (the cancel word, or input that gives no name), the options'
  /// login refusal when there is one, and error 75 naming the place when the
  /// store cannot be opened or written. A second call does nothing.
  void Open() override;

  /// Whether Open would ask the console for the user name: no user option
  /// and no $ZTUNITTEST_USER.
  bool AsksForLogin() const;

  /// Asks the console for the user name as Open does (an answer given in
  /// advance under "user" first); at the end of input the default ($USER)
  /// is taken. Without a name, the answer tells whether input gave none
  /// (its end without a default, or empty lines) rather than the user
  /// cancelling.
  TextAnswer AskUserName();

  /// Forgets the names stored and the for-all answers given in this session.
  void ResetSession() override;

  /// Stores a script (ScriptFiles::Save). Raises error 5 before Open.
  int32_t SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                     const std::string& content) override;
  /// Stores a generated script: a stored file that differs only in the
  /// texts `dates` and in the user it names (this store's user, where another
  /// user's name stands in the stored file) is left alone (ScriptFiles::Save).
  int32_t SaveGeneratedScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                              const std::string& content, const std::vector<std::string>& dates) override;
  bool LastSaveFailed() override { return scripts_.LastSaveFailed(); }
  /// Deletes a script with the checks of SaveScript (see DataStore).
  int32_t DeleteScript(const std::string& fileName, const std::string& folder, dsScriptType type) override;
  /// Whether a script is there as a file, with the checks of SaveScript.
  bool ScriptExists(const std::string& fileName, const std::string& folder, dsScriptType type) override;

  /// What went wrong in this session, each told with a message: scripts
  /// refused, not written, not deleted or lost, datapools a batch lost, and
  /// a database found damaged.
  int32_t Failures() const { return scripts_.Failures() + DatabaseFailures(); }

  /// Where each failure message goes besides the console
  /// (ScriptFiles::SetFailureLog).
  void SetFailureLog(std::function<void(const std::string&)> log) {
    failureLog_ = log;
    scripts_.SetFailureLog(std::move(log));
  }

  /// While true, replace questions also offer "yes to all" and "no to all".
  void SetMultipleItems(bool multipleItems) override { scripts_.SetMultipleItems(multipleItems); }

  /// The absolute native root of `type` with its trailing "/"; raises error 5
  /// for an unknown type.
  std::string ScriptRoot(dsScriptType type) override { return scripts_.Root(type); }

  /// The suffix that makes `baseName` unique in `folder` (see the file
  /// comment). Raises error 75 when the database fails.
  std::string MakeScriptName(const std::string& baseName, const std::string& folder, dsScriptType type) override;

  /// The datapool name of the operation in hand when it is named
  /// `className` and `operationName` (see DatapoolNames.h), the same for
  /// every run; else `<className>_<operationName>`. `kind` is not used.
  /// Raises error 75 when the database fails.
  std::string MakeDatapoolName(const std::string& className, const std::string& operationName, int32_t kind) override;
  /// Where the names learn the operation in hand; null: they know none.
  /// Borrowed: it must outlive the store.
  void SetOperationInHand(const OperationInHand* operationInHand) { operationInHand_ = operationInHand; }

  /// The user logged in by Open; empty before.
  std::string UserName() override { return userName_; }

  /// The open database; null before Open.
  DataStoreConnection* Connection() override { return Db(); }

  /// Where the store is, as its messages name it.
  virtual std::string Location() const = 0;

  /// The store's scripts (ScriptFiles.h): what a store's copy stages and places.
  ScriptFiles& Scripts() { return scripts_; }

  /// Stores in batches until EndBatch; does nothing before Open.
  void BeginBatch() override;
  /// What is stored from now on belongs to `operation`.
  void BeginOperation(int32_t operation) override;
  /// Finishes the batch and stores item by item again; the operations that
  /// lost something.
  std::vector<int32_t> EndBatch() override;
  /// What became of something of a batch that the add-in was told was
  /// stored, found out when the batch was finished: a datapool, by name, or
  /// a script, by its file as messages name it; with the operation it
  /// belonged to. Each was told on the console when it was found.
  struct LateOutcome {
    enum class Kind {
      kNotStored,  ///< lost after all: its operation fails
      kUnknown,    ///< a datapool sent and not answered (the connection given
                   ///< up or lost): the server may have stored it; its operation fails
      kUnchanged,  ///< a datapool another user made the same that moment: nothing is missing
      kKept,       ///< a script not placed, its file kept as it was: nothing is lost
    };
    int32_t operation = 0;
    Kind kind = Kind::kNotStored;
    std::string datapool;
    std::string script;
  };
  /// The late outcomes of the batch that ended last (EndBatch).
  const std::vector<LateOutcome>& LateOutcomes() const { return lateOutcomes_; }
  /// Finishes the current batch now; a batch that is on goes on. Failures
  /// are told on the console.
  void Flush();
  /// Why the store gave up its database for good (a server that stayed away
  /// or stopped answering), told once on the console when it did; nullopt
  /// while it has not. A run stops then: every later change would fail.
  virtual std::optional<std::string> GivenUp() const { return std::nullopt; }

 protected:
  /// Opens the scripts folder (Scripts().Open) and the database, making
  /// them as needed and bringing the schema up to date, and records `user`
  /// as the store's last user. Raises error 75 (WB_STORE_CANNOT_OPEN).
  virtual void OpenStore(const std::string& user) = 0;
  /// The open database; null before OpenStore.
  virtual Database* Db() = 0;
  /// Closes the session: the derived store calls it in its destructor,
  /// while its database is open.
  void Close();

  // What a back-end adds to a batch (all do nothing unless overridden).
  virtual void BeginDatabaseBatch() {}
  virtual void FlushDatabase() {}
  /// Ends the database's part of the batch; the datapools lost since it
  /// began, by name, with their operations.
  virtual std::vector<std::pair<int32_t, std::string>> EndDatabaseBatch() { return {}; }
  /// Datapools lost and a damaged database in this session.
  virtual int32_t DatabaseFailures() const { return 0; }
  virtual void ResetDatabaseSession() {}
  /// Whether the back-end defers changes in a batch (Database::Defer): then
  /// ConfirmChanges is asked before scripts are placed.
  virtual bool DefersChanges() const { return false; }
  /// Sends what the back-end deferred: the operations whose changes were
  /// not made, each with the reason (their scripts are not stored).
  virtual std::map<int32_t, std::string> ConfirmChanges() { return {}; }
  /// The datapools the batch created as foreseen, but found made the same
  /// by another user that moment, with their operations.
  virtual std::vector<std::pair<int32_t, std::string>> TakeThereAlready() { return {}; }
  /// The datapools the batch sent without an answer (LateOutcome::kUnknown), with
  /// their operations; each told on the console.
  virtual std::vector<std::pair<int32_t, std::string>> TakeUnknown() { return {}; }

  Console& TheConsole() { return console_; }
  /// Tells what an operation lost: `message` on the console's Tell, with
  /// `cause` (the message without the datapool or script it is about, so
  /// that a console may tell a cause that many share once, with a count),
  /// and whole in the failure log.
  void TellFailure(const std::string& message, const std::string& cause) {
    console_.Tell(message, cause);
    if (failureLog_) failureLog_(message);
  }
  const StoreEnv& Env() const { return env_; }
  const StoreOptions& Options() const { return options_; }
  /// The operation that what is stored belongs to (BeginOperation).
  int32_t Operation() const { return operation_; }
  bool Batching() const { return batching_; }

 private:
  std::string LogIn();
  void RecordSession();

  StoreOptions options_;
  StoreEnv env_;
  Console& console_;
  ScriptFiles scripts_;
  std::function<void(const std::string&)> failureLog_;
  GeneratedScripts generated_;
  std::string userName_;
  const OperationInHand* operationInHand_ = nullptr;
  // The datapool name given last, by operation key, and the script suffix
  // given last, by type, folder, base name and operation key: the add-in
  // asks for an operation's names twice in a row. Earlier ones are asked of
  // the database again, which keeps them; a run of 100,000 operations would
  // hold megabytes of them.
  std::optional<std::pair<std::string, std::string>> lastDatapoolName_;
  std::optional<std::pair<std::string, std::string>> lastScriptName_;
  // The store's row in its sessions table; 0: none recorded.
  int64_t session_ = 0;
  std::vector<LateOutcome> lateOutcomes_;
  bool batching_ = false;
  int32_t operation_ = 0;
};

}  // namespace zt::wb
