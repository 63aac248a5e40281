// The database of a store, whichever back-end holds it: what the datapool
// component, the tool options, the name records and the store's copy work
// on. A store hands the add-in its Database as the connection; the
// components find it again with DatabaseOf.
//
// Both back-ends take the same SQL: "?" parameters, numbered in order;
// "datetime('now')" for the time in UTC as "YYYY-MM-DD HH:MM:SS"; the column
// "user" quoted; "INSERT ... ON CONFLICT ... DO NOTHING/UPDATE" and
// "RETURNING" instead of back-end calls. The PostgreSQL back-end translates
// the first two into its own forms (PgDatabase.h). An INSERT of one row that
// ends in "RETURNING id" (an INTEGER PRIMARY KEY) or "RETURNING 1" is made
// without SQLite's temporary table of returned rows (SqliteDatabase.h).
//
// Failures raise error 75 (path/file access error) with the database's own
// message; nothing here writes to a terminal. The objects below borrow the
// database they are given, which must outlive them. A database is used from
// one thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/DataStore.h"

namespace zt::wb {

struct Datapool;     // Datapools.h
struct KnownNames;   // DatapoolNames.h

/// A store's batch as the datapool components see it (see SqliteStore.h):
/// only a store that gathers changes in one transaction has one.
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

/// An open store database.
class Database : public DataStoreConnection {
 public:
  /// One prepared statement of a back-end (see Statement).
  class Cursor {
   public:
    virtual ~Cursor() = default;
    virtual void Bind(int index, const std::string& text) = 0;
    virtual void Bind(int index, int64_t value) = 0;
    virtual bool Step() = 0;
    virtual void Reset() = 0;
    virtual std::string ColumnText(int column) const = 0;
    virtual int64_t ColumnInt(int column) const = 0;
  };

  /// The statement `sql` prepared; raises error 75 when it cannot be.
  virtual std::unique_ptr<Cursor> Prepare(const char* sql) = 0;
  /// Runs `sql` (one or more statements without parameters); raises on failure.
  virtual void Execute(const char* sql) = 0;
  /// Runs `sql` and ignores a failure (rolling back what may be gone already).
  virtual void ExecuteQuietly(const char* sql) = 0;
  /// Whether a transaction is open.
  virtual bool InTransaction() = 0;
  /// After a Transaction of its own (not a savepoint in another) committed:
  /// a back-end that keeps its data elsewhere writes it there.
  virtual void Committed() {}
  /// The statement that begins a write transaction.
  virtual const char* BeginStatement() const = 0;
  /// Whether the database has the table `table` (older stores may not).
  virtual bool HasTable(const std::string& table) = 0;
  /// The database as messages name it: a file, or a server and database.
  virtual std::string Where() const = 0;

  // What a back-end over a network does in one round trip instead of
  // several (PgDatabase.h). A back-end that does not offer it answers as
  // below, and the caller takes the statements that both back-ends run.

  /// What CreateNewDatapool did.
  enum class AtOnce { kNotOffered, kCreated, kExists };
  /// Creates `datapool` (name, description, fields and rows) as `user`, in
  /// a transaction of its own, unless a datapool of its name exists; then
  /// `existing` gets that one as stored. kNotOffered also when the answer is
  /// not clear at once (another user creating it that moment): the caller
  /// then takes its own way. Raises error 75 when the database fails.
  virtual AtOnce CreateNewDatapool(const Datapool& datapool, const std::string& user, Datapool& existing) {
    (void)datapool, (void)user, (void)existing;
    return AtOnce::kNotOffered;
  }
  /// The datapool `name` (all datapools, sorted by name, when `name` is
  /// nullopt), read in one query; nullopt when not offered.
  virtual std::optional<std::vector<Datapool>> LoadDatapools(const std::optional<std::string>& name);
  /// Inserts `rows` (positions 1, 2, ...) of the datapool `datapool`, with
  /// one value for each of the fields `fieldIds`, in a few statements of
  /// arrays rather than a statement per chunk of rows; false when not offered.
  virtual bool InsertRowsAtOnce(int64_t datapool, const std::vector<int64_t>& fieldIds,
                                const std::vector<std::vector<std::string>>& rows) {
    (void)datapool, (void)fieldIds, (void)rows;
    return false;
  }
  /// The store's name records as the back-end read them once (DatapoolNames.h);
  /// null: ask the database each time.
  virtual KnownNames* Known() { return nullptr; }

  /// What a deferred statement's answer comes to.
  struct DeferredOutcome {
    enum Kind {
      kAsForeseen,    ///< it did what was foreseen
      kThereAlready,  ///< another user made the same that moment: nothing was changed, and nothing is missing
      kFailed,        ///< not made as foreseen, for `reason`
      kUnknown,       ///< sent, and no answer came (the connection was given up or lost, for `reason`): it may
                      ///< or may not have been made
    } kind = kAsForeseen;
    std::string reason;
  };
  using DeferredCheck = std::function<DeferredOutcome(const std::vector<std::string>* firstRow)>;
  /// Takes back a change that was made as foreseen when another change of
  /// its operation was not (a datapool whose name another user took).
  using DeferredUndo = std::function<void(const std::vector<std::string>& firstRow)>;
  /// Whether changes whose outcome the caller foresees may be deferred
  /// (Defer): a back-end over a network, in a store's batch, outside a
  /// transaction.
  virtual bool Deferring() { return false; }
  /// Sends `sql` (the change of `subject`: a datapool, when `datapool`, or
  /// a name record) with `values` later, together with the other deferred
  /// statements (each is a transaction of its own) in one round trip: before
  /// any statement that waits for its answer, and when the store confirms
  /// (SendDeferred). `check` is then given the first row of the answer (null:
  /// none); an outcome other than kAsForeseen is kept with the operation in
  /// hand (TakeDeferredFailures). Only while Deferring().
  virtual void Defer(const char* sql, std::vector<std::string> values, std::string subject, bool datapool,
                     DeferredCheck check, DeferredUndo undo = {}) {
    (void)sql, (void)values, (void)subject, (void)datapool, (void)check, (void)undo;
  }
  /// Sends the deferred statements and checks their answers. Raises error 75
  /// when they cannot be sent.
  virtual void SendDeferred() {}
  /// A deferred change that was not made as foreseen.
  struct DeferredFailure {
    int32_t operation;    ///< in hand when it was deferred
    std::string subject;  ///< what it changed
    bool datapool;        ///< a datapool, else a name record
    DeferredOutcome outcome;
  };
  /// The failures of deferred statements since the last call.
  virtual std::vector<DeferredFailure> TakeDeferredFailures() { return {}; }
  /// The store's number of the operation in hand (DataStore::BeginOperation).
  void SetOperation(int32_t operation) { operation_ = operation; }
  int32_t Operation() const { return operation_; }

  /// The batch that changes join; null while the store is not batching.
  StoreBatch* Batch() const { return batch_; }
  void SetBatch(StoreBatch* batch) { batch_ = batch; }

  /// Who changes the database through this connection: the store's user,
  /// once it is logged in; "" for a connection without a login.
  const std::string& SessionUser() const { return sessionUser_; }
  void SetSessionUser(std::string user) { sessionUser_ = std::move(user); }

  /// A record an operation's generation makes unless the store holds it.
  enum class Record { kDatapoolName, kScriptName, kDatapool, kCount };
  /// Whether a record of `kind` is inserted before it is asked for (the insert tells whether it was
  /// held): after the last one was new, as in a fresh store; over one that holds them, asking first is cheaper.
  bool InsertsFirst(Record kind) const { return insertsFirst_[static_cast<size_t>(kind)]; }
  /// Tells whether the last record of `kind` was held already.
  void Found(Record kind, bool held) { insertsFirst_[static_cast<size_t>(kind)] = !held; }

 private:
  std::array<bool, static_cast<size_t>(Record::kCount)> insertsFirst_{};
  StoreBatch* batch_ = nullptr;
  std::string sessionUser_;
  int32_t operation_ = 0;
};

/// The database behind `connection`; raises error 91 when `connection` is
/// null and error 13 when it is not a workbench store's connection.
Database& DatabaseOf(DataStoreConnection* connection);

/// One prepared SQL statement on a borrowed database.
class Statement {
 public:
  /// Prepares `sql`; raises error 75 when it cannot be prepared.
  Statement(Database& db, const char* sql) : cursor_(db.Prepare(sql)) {}

  /// Binds `text` to parameter `index` (1-based).
  Statement& Bind(int index, const std::string& text) {
    cursor_->Bind(index, text);
    return *this;
  }
  /// Binds `value` to parameter `index` (1-based).
  Statement& Bind(int index, int64_t value) {
    cursor_->Bind(index, value);
    return *this;
  }
  /// Steps once: true when a row is ready, false when done; raises on failure.
  bool Step() { return cursor_->Step(); }
  /// Steps to the end, for statements that return no rows.
  void Run() {
    while (Step()) {
    }
  }
  /// Resets the statement to run again with new bindings.
  void Reset() { cursor_->Reset(); }
  /// The text of column `column` of the current row; "" for NULL.
  std::string ColumnText(int column) const { return cursor_->ColumnText(column); }
  /// The integer of column `column` of the current row.
  int64_t ColumnInt(int column) const { return cursor_->ColumnInt(column); }

 private:
  std::unique_ptr<Database::Cursor> cursor_;
};

/// A write transaction that rolls back unless committed. Inside a
/// transaction that is already open (a store's batch) it is a savepoint
/// instead: Commit releases its changes into the open transaction, and
/// rolling back undoes its own changes only.
class Transaction {
 public:
  /// Begins; raises error 75 when the database is busy or read-only.
  explicit Transaction(Database& db);
  /// Rolls back when Commit was not reached.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  /// Commits; raises error 75 on failure (the destructor then rolls back).
  void Commit();

 private:
  Database& db_;
  bool nested_;
  bool open_ = true;
};

/// Runs `sql` (one or more statements without parameters); raises on failure.
inline void Execute(Database& db, const char* sql) { db.Execute(sql); }

/// Whether the database has a table named `table` (older stores may not).
inline bool HasTable(Database& db, const std::string& table) { return db.HasTable(table); }

}  // namespace zt::wb
