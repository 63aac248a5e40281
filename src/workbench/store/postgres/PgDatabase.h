// The PostgreSQL back-end of a store's database (see Database.h), on
// Debian's libpq: a connection, its statements prepared once per SQL on the
// server, and the store's schema.
//
// The SQL both back-ends take is translated here: "?" parameters become $1,
// $2, ... in order, and "datetime('now')" the transaction's time in UTC in
// the same form ("YYYY-MM-DD HH:MM:SS"). Values travel as text.
//
// Transactions run at READ COMMITTED: a statement sees what other users of
// the store committed before it began, which is what lets two users who
// create one datapool or record one name at the same moment find each
// other's (the second waits for the first and then does nothing). A change
// waits for a lock another user holds up to the store's busy patience
// (lock_timeout), then fails.
//
// Waiting. Nothing waits on the server without an end: a connection is
// given up after connect_timeout (10 s unless the location or
// PGCONNECT_TIMEOUT says otherwise), a statement after statement_timeout
// (60 s unless the location's options, PGOPTIONS or the server's own
// settings for the role or database say otherwise; 0 waits without end)
// and 5 s more, which is when a server that cannot answer at all (stopped,
// unreachable) is given up by the client. The user's request to stop (a
// Ctrl-C, as the connection's surroundings tell it) gives the wait up at
// once. A connection given up is closed: every later statement on it fails
// at once, and the server rolls back what it had not committed. A store's
// connection that is given up for want of an answer is given up for good,
// as a lost connection is (below): the cause (WB_PG_HUNG) goes to the
// surroundings, once, and the store stops the run.
//
// A lost connection (the server restarted, or closed it) is made anew:
// a statement sent outside a transaction (every name record and every new
// datapool is one) is sent again on the new connection, with the store's
// settings and statements prepared again. The new connection is tried for
// kReconnectBound; a server that stays away that long is given up for
// good: the cause (WB_PG_LOST) goes to the surroundings, and the store
// stops the run rather than failing every operation that is left. A statement
// inside a transaction is not sent again (the transaction is gone): its
// failure is raised, and the next statement finds the new connection.
//
// Deferred statements. In a store's batch, a change whose outcome the
// caller foresees from what the run read when it began (a name record that
// no one held, a datapool that did not exist) is not waited for: it is
// queued (Defer), and the queue goes to the server in pipeline mode, each
// statement a transaction of its own, in one round trip — before any
// statement that waits for its answer (so that it sees them), and when the
// store confirms them (SendDeferred: before a script is placed, and when
// the batch is finished). Each answer is checked as the caller said; what
// was not as foreseen (another user took the name, or created the datapool
// with other content, that moment) is kept with the operation that was in
// hand, for the store to tell. A connection lost under the queue is made
// anew and the whole queue sent again: a name record or a datapool that got
// in the first time is found as this run's own. A queue that was sent and
// not answered (the connection given up, or lost for good) is kept with the
// outcome kUnknown for each statement: the server may have made it, or may
// still make it once it goes on; one that was never sent, kFailed.
//
// Failures raise error 75 (path/file access error) with the server's or
// libpq's message; nothing here writes to a terminal (the server's notices
// are dropped).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "workbench/store/Database.h"
#include "workbench/store/DatapoolNames.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace zt::wb {

/// The schema version the PostgreSQL store makes; the SQLite store's last
/// migration carries the same number.
inline constexpr int kPgSchemaVersion = 7;

/// How long a lost connection is tried again before the run stops.
inline constexpr std::chrono::seconds kReconnectBound{30};

/// An open connection to a store's PostgreSQL database.
class PgConnection : public Database {
 public:
  /// Takes ownership of the open `connection`.
  explicit PgConnection(PGconn* connection);
  ~PgConnection() override;
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  PGconn* Handle() const { return connection_; }

  std::unique_ptr<Cursor> Prepare(const char* sql) override;
  void Execute(const char* sql) override;
  void ExecuteQuietly(const char* sql) override;
  bool InTransaction() override;
  const char* BeginStatement() const override { return "BEGIN"; }
  /// Asks the server once per table and connection: a table found stays.
  bool HasTable(const std::string& table) override;
  std::string Where() const override { return where_; }

  /// A new datapool in one statement (data-modifying CTEs with array
  /// parameters), or the one of its name as stored (see Database).
  AtOnce CreateNewDatapool(const Datapool& datapool, const std::string& user, Datapool& existing) override;
  /// One datapool or all of them in one query.
  std::optional<std::vector<Datapool>> LoadDatapools(const std::optional<std::string>& name) override;
  /// Rows and values as arrays, up to 100,000 values a statement.
  bool InsertRowsAtOnce(int64_t datapool, const std::vector<int64_t>& fieldIds,
                        const std::vector<std::vector<std::string>>& rows) override;
  /// The name records ReadRunRecords read; null before.
  KnownNames* Known() override { return known_.get(); }

  /// Deferred statements (see the file comment): while SetDeferring(true)
  /// and outside a transaction.
  bool Deferring() override;
  void Defer(const char* sql, std::vector<std::string> values, std::string subject, bool datapool, DeferredCheck check,
             DeferredUndo undo = {}) override;
  void SendDeferred() override;
  std::vector<DeferredFailure> TakeDeferredFailures() override;
  /// Whether changes may be deferred from now on (the store's batch).
  void SetDeferring(bool deferring) { deferring_ = deferring; }
  /// Reads the store's name records (DatapoolNames.h) and the digest every
  /// datapool keeps (Datapools.h), not its rows, in four queries: this
  /// connection's names are then taken from them, and a datapool asked for
  /// with the content it had then is found unchanged without asking the
  /// server again. Datapools without a digest (stored before the store kept
  /// them) are read once, and their digests written for every later open.
  void ReadRunRecords();

  /// Raises error 75 with `message` (trimmed) in the text of a failed change.
  [[noreturn]] static void Raise(const std::string& message);

  /// Sends `sql` with `values` as the statement prepared as `name` (or, with
  /// `name` null, `sql` as one or more statements without parameters; with
  /// `prepare`, prepares it as `name`), waits for its result (see the file
  /// comment) and returns it, owned by the caller: the first that failed,
  /// else the last. Raises error 75 when it cannot be sent, on a Ctrl-C, and
  /// when no answer comes in time; the connection is then given up.
  PGresult* Run(const char* name, const std::string& sql, const std::vector<const char*>& values, bool prepare);

  /// Waits for the connection started on this handle (PQconnectStartParams)
  /// to be made, within connect_timeout; raises error 75 (WB_STORE_CANNOT_OPEN).
  void AwaitConnection();
  /// What the connection takes from the store around it (all optional).
  struct Surroundings {
    /// Whether the user asked to stop: a wait gives up at once.
    std::function<bool()> interrupted;
    /// The clock waits are measured with.
    std::function<std::chrono::steady_clock::time_point()> now;
    /// Told once, with the message, when a store's connection is given up
    /// for good (the server stayed away, or stopped answering).
    std::function<void(const std::string&)> givenUp;
  };
  void SetSurroundings(Surroundings surroundings) { surroundings_ = std::move(surroundings); }
  /// Remembers how the connection was made, to make it again when it is lost.
  void SetOrigin(std::string conninfo, std::chrono::milliseconds patience, bool readOnly);
  /// Sets the statement timeout unless the user's or the server's settings
  /// do, and takes it (and a grace) as how long a wait on the server lasts.
  void TakeStatementTimeout();

 private:
  // Closes the connection (without waiting for the server) and raises `reason`.
  [[noreturn]] void GiveUp(const std::string& reason);
  // Gives the connection up when no answer came within the statement
  // timeout and the grace; a store's connection stops the run (see the file
  // comment).
  [[noreturn]] void GiveUpUnanswered();
  // Waits until the output is sent and the result is there.
  void Await(std::chrono::steady_clock::time_point start);
  // Sends and waits once (see Run).
  PGresult* RunOnce(const char* name, const std::string& sql, const std::vector<const char*>& values, bool prepare);
  // Reads the datapools without a digest, and writes theirs (ReadRunRecords).
  void MakeMissingDigests();
  // Whether the connection was lost under a statement that may be sent again.
  bool Lost() const;
  bool Interrupted() const { return surroundings_.interrupted && surroundings_.interrupted(); }
  std::chrono::steady_clock::time_point Now() const {
    return surroundings_.now ? surroundings_.now() : std::chrono::steady_clock::now();
  }
  // Tells the surroundings that the connection is given up for good.
  void TellGivenUp(const std::string& message) const {
    if (surroundings_.givenUp) surroundings_.givenUp(message);
  }
  // Makes the connection anew (see the file comment); raises when it cannot.
  void Reconnect();
  // The name of the statement `sql` prepared on the server (prepared now when
  // it is not yet).
  const std::string& PreparedName(const char* sql);
  struct DeferredStatement {
    std::string name;
    std::vector<std::string> values;
    std::string subject;
    bool datapool;
    DeferredCheck check;
    DeferredUndo undo;
    int32_t operation;
  };
  // What the server answered to the statements of one pipeline, each at its
  // index; `sent` is set once a statement may have reached the server, and
  // stays set when sending fails after that.
  struct PipelineAnswers {
    std::vector<std::optional<std::vector<std::string>>> rows;  // first row; nullopt for none or a failure
    std::vector<std::string> failures;                          // why a statement failed; "" when it did not
    bool sent = false;
    bool aborted = false;  // sent together, and a statement failed: none was made
  };
  // Sends `deferred` in pipeline mode, together as one transaction (a sync
  // after the last) or apart (a sync after each), and reads each answer into
  // `answers`. False when the connection was lost meanwhile.
  bool SendPipeline(const std::vector<DeferredStatement>& deferred, bool together, PipelineAnswers& answers);

  // The datapool statements built of parts (PgDatabase.cpp), made once for
  // the connection; prepared, as every statement is, by their text.
  const std::string createDatapoolSql_;
  const std::string loadDatapoolSql_;
  const std::string loadDatapoolsSql_;
  const std::string loadUndigestedSql_;
  std::string conninfo_;
  std::chrono::milliseconds patience_{0};
  bool readOnly_ = false;
  Surroundings surroundings_;
  // The statements prepared on this connection (a new one has none).
  std::unordered_set<std::string> preparedHere_;
  std::unordered_map<std::string, std::string> sqlOf_;

  PGconn* connection_;
  std::string where_;
  // How long a statement is waited for; 0: without end.
  std::chrono::milliseconds limit_{0};
  // Why the connection was given up; "" while it is usable.
  std::string lost_;
  // The name of the statement prepared on the server for each SQL.
  std::unordered_map<std::string, std::string> prepared_;
  // The tables found (HasTable).
  std::unordered_set<std::string> tables_;
  std::unique_ptr<KnownNames> known_;
  bool deferring_ = false;
  std::vector<DeferredStatement> deferred_;
  std::vector<DeferredFailure> deferredFailures_;
  // The digest of each datapool's content (ReadRunRecords), by name.
  std::unordered_map<std::string, std::string> digests_;
  // The datapools there when ReadRunRecords read them, and those this
  // connection created since.
  std::unordered_set<std::string> presentAtStart_;
};

/// `sql` in PostgreSQL's form (see the file comment).
std::string PgDialect(const std::string& sql);

/// The database `conninfo` names, as messages name it: "postgresql://ROLE@HOST:PORT/DB"
/// (a socket folder as the host), never with a password.
std::string PgWhere(PGconn* connection);

/// Connects to `conninfo` (libpq's keyword/value or URI form) with the
/// store's settings: UTF-8, READ COMMITTED, locks waited for `patience` at
/// most, and `readOnly` transactions when asked. Raises error 75
/// (WB_STORE_CANNOT_OPEN) naming the database and libpq's reason.
std::unique_ptr<PgConnection> PgConnect(const std::string& conninfo, std::chrono::milliseconds patience, bool readOnly,
                                        PgConnection::Surroundings surroundings = {});

/// The schema version of the store in `db`; 0 when it holds none. Raises
/// error 75 (WB_STORE_CANNOT_OPEN) when a table schema_version there is
/// another program's.
int PgSchemaVersion(PgConnection& db);

/// Makes the store's schema in `db` unless it is there (the first connection
/// does, the others wait for it), and records `user` as the store's last
/// user, in one transaction. `accepted` is called in it once the database
/// is found to hold a store this program takes (or none yet) and to take
/// what is written, before it commits: what it raises goes on as it is, and
/// nothing is written. Raises error 75 (WB_STORE_CANNOT_OPEN) for another
/// program's table schema_version, a schema of a newer version or a
/// database that cannot be written.
void PgMakeSchema(PgConnection& db, const std::string& user, const std::function<void()>& accepted = {});

}  // namespace zt::wb
