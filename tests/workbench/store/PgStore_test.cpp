// What only the PostgreSQL store has: its locations, a schema of a newer
// version, two users creating one datapool at the same moment (the second
// waits for the first and finds its datapool), and an open that reads a
// digest of each datapool instead of its rows. On the tests' private
// cluster (StoreBackends.h).
#include "workbench/store/postgres/PgStore.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

#include "fakes/ScriptedConsole.h"
#include "support/Error.h"
#include "workbench/store/DatapoolNames.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreBackends.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;

TEST(StoreLocationPostgres, IsTakenApartIntoLibpqsPartAndTheScriptsFolder) {
  const std::string here = fs::current_path().string();
  struct Case {
    const char* location;
    bool database;
    const char* conninfo;
    std::string scripts;
  };
  for (const Case& c : {
           Case{"ztstore", false, "", ""},
           Case{"./host=x", false, "", ""},
           Case{"/data/a=b", false, "", ""},
           Case{"postgresql://u@h:5433/db?scripts=/s&sslmode=disable", true, "postgresql://u@h:5433/db?sslmode=disable",
                "/s"},
           Case{"postgres://h/db?scripts=%2Fs%20x/", true, "postgres://h/db", "/s x"},
           Case{"postgresql:///db?host=/run/postgresql&scripts=rel", true, "postgresql:///db?host=/run/postgresql",
                here + "/rel"},
           Case{"host=/run/postgresql dbname=db scripts='/a b'", true, "host=/run/postgresql dbname=db", "/a b"},
           Case{"scripts=/s  host = h   dbname='my db'", true, "host = h dbname='my db'", "/s"},
           // libpq's keyword form may start with blanks.
           Case{"  host=h scripts=/s\\ x", true, "host=h", "/s x"},
           Case{"c:store", false, "", ""},
       }) {
    SCOPED_TRACE(c.location);
    const StoreLocation parsed = ParseStoreLocation(c.location);
    EXPECT_EQ(parsed.kind == StoreLocation::Kind::kPostgres, c.database);
    if (!c.database) {
      EXPECT_EQ(parsed.folder, fs::absolute(c.location).string()) << "a folder is made absolute";
      EXPECT_EQ(parsed.text, parsed.folder);
      continue;
    }
    EXPECT_EQ(parsed.text, c.location);
    EXPECT_EQ(parsed.conninfo, c.conninfo);
    EXPECT_EQ(parsed.scripts, c.scripts);
  }
  // What looks like a database location and is none is refused with the
  // reason, never taken for a folder, and a secret in it is never shown.
  struct Refused {
    const char* location;
    std::string reason;  // "": libpq's own
  };
  for (const Refused& r : {
           Refused{"postgresql://u:secret@h/db?scripts=/s", Text(WB_PG_PASSWORD)},
           Refused{"host=h password=secret scripts=/s", Text(WB_PG_PASSWORD)},
           Refused{"host=h sslpassword='se cret' scripts=/s", Text(WB_PG_PASSWORD)},
           Refused{"postgresql://h/db?password=secret&scripts=/s", Text(WB_PG_PASSWORD)},
           Refused{"host=h dbname=d", Text(WB_PG_NO_SCRIPTS)},
           Refused{"postgresql://h/db?scripts=", Text(WB_PG_NO_SCRIPTS)},
           Refused{"postgresql://h/db?scripts=/s&nonsense=1", ""},
           Refused{"Host=h dbname=d scripts=/s password=secret", ""},
           Refused{"host=/s scripts dbname=zkw", Text(WB_PG_NO_EQUALS, {"scripts"})},
           Refused{"host=/s scripts='/a b", Text(WB_PG_UNCLOSED_QUOTE, {"scripts"})},
           Refused{"POSTGRESQL://u:secret@h/db?scripts=/s", Text(WB_PG_BAD_SCHEME, {"POSTGRESQL:"})},
           Refused{"postgresql:/db?scripts=/s", Text(WB_PG_BAD_SCHEME, {"postgresql:"})},
           Refused{"postgres:db", Text(WB_PG_BAD_SCHEME, {"postgres:"})},
           Refused{"http://h/db", Text(WB_PG_BAD_SCHEME, {"http:"})},
           Refused{" postgresql://h/db?scripts=/s", Text(WB_PG_LEADING_BLANK)},
           Refused{" ztstore", Text(WB_PG_LEADING_BLANK)},
           Refused{"host=h scripts=/", Text(WB_PG_SCRIPTS_ROOT)},
           Refused{"postgresql://h/db?scripts=/x/..", Text(WB_PG_SCRIPTS_ROOT)},
           Refused{"postgresql://h/db?scripts=/s%00x", Text(WB_PG_BAD_PERCENT, {"%00"})},
           Refused{"postgresql://h/db?scripts=/s%zz", Text(WB_PG_BAD_PERCENT, {"%zz"})},
           Refused{"postgresql://h/db?scripts=/s%4", Text(WB_PG_BAD_PERCENT, {"%4"})},
       }) {
    SCOPED_TRACE(r.location);
    const ZtError e = test::Raised([&] { ParseStoreLocation(r.location); });
    EXPECT_EQ(e.Number(), errc::kInvalidCall);
    const std::string prefix = Text(WB_PG_BAD_LOCATION, {"", ""});
    EXPECT_NE(e.Description().find(prefix), std::string::npos) << e.Description();
    if (!r.reason.empty()) {
      EXPECT_EQ(e.Description().substr(e.Description().size() - std::min(e.Description().size(), r.reason.size())),
                r.reason);
    }
    EXPECT_EQ(e.Description().find("secret"), std::string::npos) << e.Description();
    EXPECT_EQ(e.Description().find("cret'"), std::string::npos) << e.Description();
  }
}

// What a call exchanged with the server on `connection`, from libpq's trace
// of the protocol's messages: the bytes of the messages the server sent (as
// their length words count them), and the number of messages the client sent.
struct Traffic {
  size_t received = 0;
  size_t sent = 0;
};
Traffic Exchanged(PGconn* connection, const std::function<void()>& call) {
  char* text = nullptr;
  size_t size = 0;
  FILE* trace = open_memstream(&text, &size);
  PQtrace(connection, trace);
  PQsetTraceFlags(connection, PQTRACE_SUPPRESS_TIMESTAMPS);
  struct Untrace {
    PGconn* connection;
    FILE* trace;
    ~Untrace() {
      PQuntrace(connection);
      std::fclose(trace);
    }
  };
  {
    const Untrace untrace{connection, trace};
    call();
  }
  std::istringstream lines(std::string(text, size));
  std::free(text);
  Traffic traffic;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("B\t", 0) == 0) traffic.received += std::stoul(line.substr(2));
    if (line.rfind("F\t", 0) == 0) ++traffic.sent;
  }
  return traffic;
}

class PostgresStore : public ::testing::Test {
 protected:
  std::unique_ptr<StoreBase> Open(const std::string& user) {
    std::unique_ptr<StoreBase> store =
        MakeStore(StoreOptions{ParseStoreLocation(location_), user, std::chrono::seconds(10)}, console_);
    store->Open();
    return store;
  }
  test::TempDir dir_{"pgstore"};
  std::string conninfo_ = test::PgServer::Instance().FreshConninfo();
  std::string location_ = conninfo_ + " scripts=" + (dir_ / "scripts").string();
  test::ScriptedConsole console_;
};

// In a batch the names and new datapools of a run go to the server together
// when the batch's scripts are placed. What another user changed that very
// moment is found then: an operation whose name was taken, or whose
// datapool was made with other content, loses its script (and datapool);
// a datapool made the same is no loss.
TEST_F(PostgresStore, DeferredChangesAreCheckedAndWhatAnotherUserDidMeanwhileIsTold) {
  std::unique_ptr<StoreBase> alice = Open("alice");
  std::unique_ptr<StoreBase> bob = Open("bob");
  OperationInHand aliceOp, bobOp;
  alice->SetOperationInHand(&aliceOp);
  bob->SetOperationInHand(&bobOp);
  WorkbenchDatapoolTool tool(console_);
  const std::string fields = R"([{"name":"x","type":"int","value":"1"}])";
  const std::string same = R"([{"name":"x","type":"int","value":"3"}])";
  const fs::path java = dir_ / "scripts" / "java" / "p";
  alice->BeginBatch();
  // f: bob gives "C_f" to another operation; g and h: bob creates their
  // datapools first, with other content and the same.
  for (const auto& [number, operation, bobs] :
       {std::tuple{1, "f", ""}, std::tuple{2, "g", fields.c_str()}, std::tuple{3, "h", same.c_str()}}) {
    alice->BeginOperation(number);
    aliceOp.Set(OperationIdentity{"C", operation, "p", 1});
    const std::string name = alice->MakeDatapoolName("C", operation, 0);
    EXPECT_EQ(name, std::string("C_") + operation);
    EXPECT_EQ(alice->SaveScript(std::string("C") + operation + ".java", "p", dsJavaScript, operation), 0);
    EXPECT_EQ(tool.CreateDatapool(alice->Connection(), name, "Autogenerated", same), datapool_result::kCreated);
    if (*bobs == '\0') {
      bobOp.Set(OperationIdentity{"C", operation, "q", 1});
      EXPECT_EQ(bob->MakeDatapoolName("C", operation, 0), name);
    } else {
      EXPECT_EQ(tool.CreateDatapool(bob->Connection(), name, "Autogenerated", bobs), datapool_result::kCreated);
    }
  }
  EXPECT_EQ(console_.Output(), "") << "nothing is sent before the batch is finished";
  EXPECT_EQ(alice->EndBatch(), (std::vector<int32_t>{1, 2}));
  std::vector<std::string> losses;
  for (const StoreBase::LateOutcome& late : alice->LateOutcomes()) {
    losses.push_back(std::to_string(late.operation) + " " + late.datapool + fs::path(late.script).filename().string() +
                     (late.kind == StoreBase::LateOutcome::Kind::kUnchanged ? " there" : ""));
  }
  EXPECT_EQ(losses, (std::vector<std::string>{"1 Cf.java", "2 Cg.java", "2 C_g", "3 C_h there"}));
  Database& db = DatabaseOf(alice->Connection());
  EXPECT_EQ(console_.Output(),
            Text(WB_STORE_DATAPOOL_LOST, {"C_g", db.Where(), Text(WB_DATAPOOL_THEIRS)}) + "\n" +
                Text(WB_STORE_WRITE_FAILED, {(java / "Cf.java").string(), Text(WB_NAME_TAKEN_MEANWHILE, {"C_f", "p::C::f"})}) +
                "\n" + Text(WB_STORE_WRITE_FAILED, {(java / "Cg.java").string(), Text(WB_SCRIPT_DATAPOOL_LOST, {"C_g"})}) +
                "\n");
  EXPECT_FALSE(fs::exists(java / "Cf.java"));
  EXPECT_FALSE(fs::exists(java / "Cg.java"));
  EXPECT_EQ(test::ReadAll(java / "Ch.java"), "h");
  EXPECT_FALSE(LoadDatapool(db, "C_f")) << "alice's datapool under bob's name is taken back";
  EXPECT_EQ(LoadDatapool(db, "C_g")->rows, (std::vector<std::vector<std::string>>{{"1"}})) << "bob's stays";
}

// A batch's changes go to the server as one transaction, committed once, so
// that a server that makes every commit durable waits for its disk once a
// batch. A statement of it that fails (here: refused by a trigger) leaves
// nothing of the transaction; the statements are sent again one by one, and
// only the failing one's operation loses its script and datapool.
TEST_F(PostgresStore, ABatchIsOneTransactionAndAFailingStatementCostsOnlyItsOperation) {
  for (const std::string refused : {"", "C_g"}) {
    SCOPED_TRACE("refused: " + refused);
    const test::TempDir dir("pgbatch");
    const std::string conninfo = test::PgServer::Instance().FreshConninfo();
    std::unique_ptr<StoreBase> store = MakeStore(
        StoreOptions{ParseStoreLocation(conninfo + " scripts=" + (dir / "scripts").string()), "alice",
                     std::chrono::seconds(10)},
        console_);
    store->Open();
    if (!refused.empty()) {
      test::PgServer::Instance().Run(
          "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
          "IF NEW.name = '" + refused + "' THEN RAISE EXCEPTION 'refused by the test'; END IF; RETURN NEW; END $$; "
          "CREATE TRIGGER refuse BEFORE INSERT ON datapools FOR EACH ROW EXECUTE FUNCTION refuse()",
          conninfo);
    }
    OperationInHand operation;
    store->SetOperationInHand(&operation);
    WorkbenchDatapoolTool tool(console_);
    store->BeginBatch();
    int32_t number = 0;
    for (const char* name : {"f", "g", "h"}) {
      store->BeginOperation(++number);
      operation.Set(OperationIdentity{"C", name, "p", 1});
      const std::string datapool = store->MakeDatapoolName("C", name, 0);
      EXPECT_EQ(store->SaveScript(std::string("C") + name + ".java", "p", dsJavaScript, name), 0);
      EXPECT_EQ(tool.CreateDatapool(store->Connection(), datapool, "Autogenerated",
                                    R"([{"name":"x","type":"int","value":"1"}])"),
                datapool_result::kCreated);
    }
    auto& connection = dynamic_cast<PgConnection&>(DatabaseOf(store->Connection()));
    std::vector<int32_t> lost;
    char* text = nullptr;
    size_t size = 0;
    FILE* trace = open_memstream(&text, &size);
    PQtrace(connection.Handle(), trace);
    lost = store->EndBatch();
    PQuntrace(connection.Handle());
    std::fclose(trace);
    const std::string sent(text, size);
    std::free(text);
    // The syncs of the batch's pipeline: those sent before the server's first answer.
    const std::string pipeline = sent.substr(0, sent.find("\tB\t"));
    size_t syncs = 0;
    for (size_t at = pipeline.find("\tSync"); at != std::string::npos; at = pipeline.find("\tSync", at + 1)) ++syncs;
    const fs::path java = dir / "scripts" / "java" / "p";
    if (refused.empty()) {
      EXPECT_EQ(lost, std::vector<int32_t>{});
      EXPECT_EQ(syncs, 1u) << "one transaction for the batch:\n" << sent;
      EXPECT_TRUE(fs::exists(java / "Cg.java"));
    } else {
      EXPECT_EQ(lost, std::vector<int32_t>{2});
      EXPECT_EQ(syncs, 1u) << "sent together first";
      EXPECT_FALSE(fs::exists(java / "Cg.java"));
      EXPECT_FALSE(LoadDatapool(connection, "C_g"));
      EXPECT_NE(console_.Output().find("refused by the test"), std::string::npos) << console_.Output();
    }
    for (const char* kept : {"C_f", "C_h"}) EXPECT_TRUE(LoadDatapool(connection, kept)) << kept;
    EXPECT_TRUE(fs::exists(java / "Cf.java"));
    EXPECT_TRUE(fs::exists(java / "Ch.java"));
  }
}

// A datapool asked for with the content the store held when the run began
// is found unchanged without a word to the server.
void ExpectFoundWithoutAsking(const std::string& conninfo, const std::vector<Datapool>& datapools) {
  std::unique_ptr<PgConnection> connection = PgConnect(conninfo, std::chrono::seconds(10), false);
  connection->ReadRunRecords();
  for (const Datapool& datapool : datapools) {
    SCOPED_TRACE(datapool.name);
    Datapool existing;
    const Traffic traffic = Exchanged(connection->Handle(), [&] {
      EXPECT_EQ(connection->CreateNewDatapool(datapool, "tester", existing), Database::AtOnce::kExists);
    });
    EXPECT_EQ(traffic.sent, 0u);
  }
}

// A store made by a release before (version 5, or 6) is brought up to date
// at the next login, keeping what it holds; every later login finds it so.
// Its datapools, stored without the digest the store keeps of each since
// version 7, get theirs at the first open: later ones find them unchanged
// without reading them.
TEST_F(PostgresStore, AStoreOfAnEarlierVersionIsBroughtUpToDateKeepingWhatItHolds) {
  for (const auto& [version, downgrade] :
       {std::pair{5, "DROP TABLE generated_scripts; ALTER TABLE datapools DROP COLUMN digest"},
        std::pair{6, "ALTER TABLE datapools DROP COLUMN digest"}}) {
    SCOPED_TRACE(version);
    const std::string conninfo = test::PgServer::Instance().FreshConninfo();
    const StoreOptions options{ParseStoreLocation(conninfo + " scripts=" + (dir_ / "scripts").string()), "tester",
                               std::chrono::seconds(10)};
    {
      std::unique_ptr<StoreBase> store = MakeStore(options, console_);
      store->Open();
      WorkbenchDatapoolTool tool(console_);
      tool.CreateDatapool(store->Connection(), "C_f", "Autogenerated", R"([{"name":"x","type":"int","value":"1"}])");
    }
    test::PgServer::Instance().Run(std::string(downgrade) + "; DELETE FROM schema_version WHERE version > " +
                                       std::to_string(version) + "; INSERT INTO tool_options VALUES (1, 'kept')",
                                   conninfo);
    for (int login = 0; login < 2; ++login) {
      std::unique_ptr<StoreBase> store = MakeStore(options, console_);
      store->Open();
      Database& db = DatabaseOf(store->Connection());
      Statement versions(db, "SELECT string_agg(version::text, ',' ORDER BY version) FROM schema_version");
      ASSERT_TRUE(versions.Step());
      EXPECT_EQ(versions.ColumnText(0), "5,6,7");
      EXPECT_TRUE(db.HasTable("generated_scripts"));
      Statement option(db, "SELECT value FROM tool_options WHERE number = 1");
      ASSERT_TRUE(option.Step());
      EXPECT_EQ(option.ColumnText(0), "kept");
      const std::optional<Datapool> datapool = LoadDatapool(db, "C_f");
      ASSERT_TRUE(datapool);
      EXPECT_EQ(datapool->rows, (std::vector<std::vector<std::string>>{{"1"}}));
      Statement undigested(db, "SELECT count(*) FROM datapools WHERE digest IS NULL");
      ASSERT_TRUE(undigested.Step());
      EXPECT_EQ(undigested.ColumnInt(0), 0) << "the open wrote the digest";
      ExpectFoundWithoutAsking(conninfo, {*datapool});
    }
  }
}

// Every change of a datapool writes the digest of what it then holds: the
// next open finds it unchanged without asking, and asks about the content
// it had before, finding what it holds.
TEST_F(PostgresStore, EveryChangeOfADatapoolKeepsItsDigestForTheNextOpen) {
  std::unique_ptr<StoreBase> store = Open("alice");
  Database& db = DatabaseOf(store->Connection());
  WorkbenchDatapoolTool tool(console_);
  const std::string one = R"([{"name":"x","type":"int","value":"1"}])";
  const std::string two = R"([{"name":"x","type":"int","value":"2"}])";
  const std::string more = R"([{"name":"x","type":"int","value":"1"},{"name":"y","type":"String","value":"é, \"q\""}])";
  Datapool copied;
  copied.name = "C_copied";
  copied.description = "copied";
  copied.created = copied.updated = "2024-01-02 03:04:05";
  copied.fields = {{"a", ""}, {"b", "String"}};
  copied.rows = {{"1", ""}, {"{}", "\\"}};
  struct Case {
    const char* name;
    std::function<void()> change;
  };
  for (const Case& c : {
           Case{"C_created", [] {}},
           Case{"C_replaced",
                [&] {
                  tool.SetOverwrite(true);
                  EXPECT_EQ(tool.CreateDatapool(store->Connection(), "C_replaced", "Autogenerated", two),
                            datapool_result::kCreated);
                  tool.SetOverwrite(false);
                }},
           Case{"C_gained",
                [&] {
                  EXPECT_EQ(tool.CreateDatapool(store->Connection(), "C_gained", "Autogenerated", more),
                            datapool_result::kCreated);
                  EXPECT_TRUE(tool.GainedFields());
                }},
           Case{"C_imported",
                [&] {
                  ReplaceDatapoolRows(db, *LoadDatapool(db, "C_imported"), {{"7"}, {"8"}, {""}});
                }},
           Case{"C_copied", [&] { CopyDatapool(db, copied); }},
       }) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(tool.CreateDatapool(store->Connection(), c.name, "Autogenerated", one), datapool_result::kCreated);
    const Datapool before = *LoadDatapool(db, c.name);
    c.change();
    const Datapool after = *LoadDatapool(db, c.name);
    ExpectFoundWithoutAsking(conninfo_, {after});
    if (after.rows == before.rows && after.fields == before.fields) continue;  // C_created
    std::unique_ptr<PgConnection> connection = PgConnect(conninfo_, std::chrono::seconds(10), false);
    connection->ReadRunRecords();
    Datapool existing;
    const Traffic traffic = Exchanged(connection->Handle(), [&] {
      EXPECT_EQ(connection->CreateNewDatapool(before, "tester", existing), Database::AtOnce::kExists);
    });
    EXPECT_GT(traffic.sent, 0u) << "the content before is asked about";
    EXPECT_EQ(existing.fields, after.fields);
    EXPECT_EQ(existing.rows, after.rows);
  }
}

// The store's own end of a batch, which StoreBase::EndBatch calls after
// its flush: here on its own, as a store whose flush failed there.
class BatchOfItsOwn : public PgStore {
 public:
  using PgStore::EndDatabaseBatch;
  using PgStore::PgStore;
  using PgStore::TakeUnknown;
};

// The end of a batch tells each datapool that was on its way, also when
// sending them fails there: the connection was lost under them, and the
// new one cannot take the statement (its table was renamed meanwhile).
TEST_F(PostgresStore, TheEndOfABatchTellsTheDatapoolsItsFailedSendingLeft) {
  BatchOfItsOwn store(StoreOptions{ParseStoreLocation(location_), "alice", std::chrono::seconds(10)}, console_);
  store.Open();
  Database& db = DatabaseOf(store.Connection());
  Statement pid(db, "SELECT pg_backend_pid()");
  ASSERT_TRUE(pid.Step());
  const std::string backend = pid.ColumnText(0);
  OperationInHand operation;
  store.SetOperationInHand(&operation);
  WorkbenchDatapoolTool tool(console_);
  store.BeginBatch();
  store.BeginOperation(1);
  operation.Set(OperationIdentity{"C", "f", "p", 1});
  EXPECT_EQ(
      tool.CreateDatapool(store.Connection(), "C_f", "Autogenerated", R"([{"name":"x","type":"int","value":"1"}])"),
      datapool_result::kCreated);
  test::PgServer::Instance().Run("ALTER TABLE datapool_fields RENAME TO datapool_fields_gone", conninfo_);
  test::PgServer::Instance().Run("SELECT pg_terminate_backend(" + backend + ")", conninfo_);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(store.EndDatabaseBatch(), (std::vector<std::pair<int32_t, std::string>>{}));
  // Sent into the lost connection: it may have got in, as far as the store knows.
  const std::string told = Text(WB_STORE_DATAPOOL_UNKNOWN, {"C_f", db.Where(), "\x01"});
  EXPECT_NE(console_.Output().find(told.substr(0, told.find('\x01'))), std::string::npos) << console_.Output();
  EXPECT_EQ(store.TakeUnknown(), (std::vector<std::pair<int32_t, std::string>>{{1, "C_f"}}));
  EXPECT_EQ(store.Failures(), 1);
}

TEST_F(PostgresStore, ASchemaOfANewerVersionIsRefusedWithBothVersions) {
  Open("tester");
  test::PgServer::Instance().Run("INSERT INTO schema_version VALUES (99, '')", conninfo_);
  fs::remove_all(dir_ / "scripts");
  const std::string expected = Text(WB_STORE_TOO_NEW, {"99", std::to_string(kPgSchemaVersion)});
  for (const auto& open : std::vector<std::function<void()>>{[&] { Open("tester"); },
                                                            [&] { OpenStoreReadOnly(ParseStoreLocation(location_)); }}) {
    const ZtError e = test::Raised(open);
    EXPECT_EQ(e.Number(), errc::kPathFileAccessError);
    EXPECT_NE(e.Description().find(expected), std::string::npos) << e.Description();
  }
  EXPECT_FALSE(fs::exists(dir_ / "scripts")) << "a store refused makes no scripts folder";
}

// Many programs keep a table schema_version: a database that holds another
// program's is no store, and none is made in it; the message says how to
// keep the store apart.
TEST_F(PostgresStore, AnotherProgramsSchemaVersionIsNoStore) {
  test::PgServer::Instance().Run("CREATE TABLE schema_version (id SERIAL PRIMARY KEY, description TEXT)", conninfo_);
  test::PgServer::Instance().Run("INSERT INTO schema_version (description) VALUES ('init'), ('more')", conninfo_);
  const std::string expected = Text(WB_PG_FOREIGN_TABLE, {"schema_version"});
  for (const auto& open :
       std::vector<std::function<void()>>{[&] { Open("tester"); }, [&] { OpenStoreReadOnly(ParseStoreLocation(location_)); }}) {
    const ZtError e = test::Raised(open);
    EXPECT_EQ(e.Number(), errc::kPathFileAccessError);
    EXPECT_NE(e.Description().find(expected), std::string::npos) << e.Description();
  }
  EXPECT_THROW(test::PgServer::Instance().Run("SELECT 1 FROM store_info", conninfo_), std::runtime_error)
      << "no table of the store was made";
  EXPECT_FALSE(fs::exists(dir_ / "scripts")) << "nor its scripts folder";
}

// The open of a team store reads the names and a digest of every datapool,
// not their rows: 10,000 datapools of one row each give it the same bytes to
// read as 10,000 of five rows, a few dozen a datapool. (The datapools are
// made at the server, without the digests the store keeps: the first open
// reads them once, to make those.)
TEST_F(PostgresStore, ItsOpenReadsADigestOfEachDatapoolAndNotItsRows) {
  constexpr int kDatapools = 10000;
  const auto opened = [&](int rows) {
    const std::string conninfo = test::PgServer::Instance().FreshConninfo();
    const StoreOptions options{ParseStoreLocation(conninfo + " scripts=" + (dir_ / "scripts").string()), "tester",
                               std::chrono::seconds(10)};
    MakeStore(options, console_)->Open();
    test::PgServer::Instance().Run(
        "INSERT INTO datapools (name, description, created, updated, \"user\") "
        "SELECT 'C' || g || '_f', 'Autogenerated', '2024-01-02 03:04:05', '2024-01-02 03:04:05', 'bob' "
        "FROM generate_series(1, " +
            std::to_string(kDatapools) +
            ") g; "
            "INSERT INTO datapool_fields (datapool, position, name, type) "
            "SELECT d.id, p, 'field' || p, 'double' FROM datapools d, generate_series(1, 2) p; "
            "INSERT INTO datapool_rows (datapool, position) "
            "SELECT d.id, p FROM datapools d, generate_series(1, " +
            std::to_string(rows) +
            ") p; "
            "INSERT INTO datapool_values (row, field, value) "
            "SELECT r.id, f.id, r.position || '.5' FROM datapool_rows r JOIN datapool_fields f ON f.datapool = "
            "r.datapool",
        conninfo);
    MakeStore(options, console_)->Open();
    std::unique_ptr<PgConnection> connection = PgConnect(conninfo, std::chrono::seconds(10), false);
    return Exchanged(connection->Handle(), [&] { connection->ReadRunRecords(); }).received;
  };
  const size_t oneRow = opened(1);
  EXPECT_LT(oneRow, size_t{kDatapools} * 64) << "a name and a digest for each datapool";
  EXPECT_EQ(opened(5), oneRow) << "the rows are not read";
}

// Why a store cannot be opened is told once, in English and in German: a
// reason the store finds itself (a newer schema, another program's table)
// as it is, a statement that fails wrapped once in WB_STORE_CANNOT_OPEN.
TEST_F(PostgresStore, WhyAStoreCannotBeOpenedIsToldOnceInEitherLanguage) {
  struct Language {
    std::string saved = std::getenv("LANG") != nullptr ? std::getenv("LANG") : "C";
    ~Language() {
      test::SetLocale(saved);
    }
  } language;
  const std::string where = PgConnect(conninfo_, std::chrono::seconds(10), false)->Where();
  const auto fresh = [&](const std::string& sql) {
    const std::string conninfo = test::PgServer::Instance().FreshConninfo();
    if (!sql.empty()) test::PgServer::Instance().Run(sql, conninfo);
    return conninfo;
  };
  std::string english;
  for (const char* locale : {"C", "de_DE.UTF-8"}) {
    test::SetLocale(locale);
    const std::string head = Text(WB_STORE_CANNOT_OPEN, {where, ""});
    if (english.empty()) english = head;
    EXPECT_EQ(head == english, std::string(locale) == "C") << head;
    struct Case {
      const char* what;
      std::string conninfo;
      std::string reason;
    };
    const std::string newer = fresh("");
    MakeStore(StoreOptions{ParseStoreLocation(newer + " scripts=" + (dir_ / "newer").string()), "tester",
                           std::chrono::seconds(10)},
              console_)
        ->Open();
    test::PgServer::Instance().Run("INSERT INTO schema_version VALUES (99, '')", newer);
    std::string readOnly = fresh("");
    readOnly.insert(readOnly.size() - 1, " -cdefault_transaction_read_only=on");
    for (const Case& c : {
             Case{"a newer schema", newer, Text(WB_STORE_TOO_NEW, {"99", std::to_string(kPgSchemaVersion)})},
             Case{"another program's table",
                  fresh("CREATE TABLE schema_version (id SERIAL PRIMARY KEY, description TEXT)"),
                  Text(WB_PG_FOREIGN_TABLE, {"schema_version"})},
             Case{"a database that cannot be written", readOnly, Text(WB_DB_FAILED, {""})},
         }) {
      SCOPED_TRACE(std::string(locale) + ": " + c.what);
      const std::string location = c.conninfo + " scripts=" + (dir_ / "refused").string();
      const ZtError e = test::Raised([&] {
        MakeStore(StoreOptions{ParseStoreLocation(location), "tester", std::chrono::seconds(10)}, console_)->Open();
      });
      EXPECT_EQ(e.Number(), errc::kPathFileAccessError);
      EXPECT_EQ(e.Description().rfind(head, 0), 0u) << e.Description();
      EXPECT_EQ(e.Description().find(head, 1), std::string::npos) << "told once: " << e.Description();
      EXPECT_NE(e.Description().find(c.reason), std::string::npos) << e.Description();
    }
  }
}

// Another user's transaction that has created the datapool "Calc_add" (a
// datapool of other content) and not yet ended.
class OtherUsersTransaction {
 public:
  explicit OtherUsersTransaction(const std::string& conninfo) : connection_(PQconnectdb(conninfo.c_str())) {
    Run("BEGIN");
    Run("INSERT INTO datapools (name, description, created, updated, \"user\") "
        "VALUES ('Calc_add', 'theirs', '', '', 'bob')");
  }
  ~OtherUsersTransaction() { PQfinish(connection_); }
  void Run(const char* sql) {
    PGresult* result = PQexec(connection_, sql);
    EXPECT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << PQerrorMessage(connection_);
    PQclear(result);
  }

 private:
  PGconn* connection_;
};

TEST_F(PostgresStore, TheSecondOfTwoUsersCreatingOneDatapoolWaitsAndFindsTheFirstOnes) {
  constexpr const char* kFields = R"([{"name":"amount","type":"double","value":"100.0"}])";
  struct Case {
    bool commit;
    int32_t code;
    const char* description;
  };
  for (const Case& c : {Case{true, kDatapoolExists, "theirs"}, Case{false, datapool_result::kCreated, "mine"}}) {
    SCOPED_TRACE(c.commit ? "the other commits" : "the other rolls back");
    std::unique_ptr<StoreBase> store = Open("alice");
    Execute(DatabaseOf(store->Connection()), "DELETE FROM datapools");
    WorkbenchDatapoolTool tool(console_);
    OtherUsersTransaction other(conninfo_);
    std::atomic<bool> done{false};
    int32_t code = -1;
    std::thread mine([&] {
      code = tool.CreateDatapool(store->Connection(), "Calc_add", "mine", kFields);
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done) << "the second waits for the first";
    other.Run(c.commit ? "COMMIT" : "ROLLBACK");
    mine.join();
    EXPECT_EQ(code, c.code);
    const std::optional<Datapool> stored = LoadDatapool(DatabaseOf(store->Connection()), "Calc_add");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->description, c.description);
    EXPECT_EQ(stored->user, c.commit ? "bob" : "alice");
  }
}

// The server ends the store's connection (as a restart does): the next
// statement makes a new one and is sent again on it, the statements
// prepared before are prepared again, and the store goes on as if nothing
// happened. A statement inside a transaction fails instead (the
// transaction is gone), and the one after it finds the new connection.
TEST_F(PostgresStore, ALostConnectionIsMadeAnewAndTheStatementSentAgain) {
  constexpr const char* kFields = R"([{"name":"amount","type":"double","value":"1.5"}])";
  std::unique_ptr<StoreBase> store = Open("alice");
  Database& db = DatabaseOf(store->Connection());
  WorkbenchDatapoolTool tool(console_);
  const auto backend = [&] {
    Statement pid(db, "SELECT pg_backend_pid()");
    EXPECT_TRUE(pid.Step());
    return pid.ColumnText(0);
  };
  // A prepared statement is planned once on every connection, the new ones too.
  const auto planning = [&] {
    Statement setting(db, "SELECT current_setting('plan_cache_mode')");
    EXPECT_TRUE(setting.Step());
    return setting.ColumnText(0);
  };
  const auto cut = [&](const std::string& pid) {
    test::PgServer::Instance().Run("SELECT pg_terminate_backend(" + pid + ")", conninfo_);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  };
  ASSERT_EQ(tool.CreateDatapool(store->Connection(), "A_one", "", kFields), datapool_result::kCreated);
  EXPECT_EQ(planning(), "force_generic_plan");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const std::string before = backend();
    cut(before);
    const std::string name = "A_after" + std::to_string(round);
    EXPECT_EQ(tool.CreateDatapool(store->Connection(), name, "", kFields), datapool_result::kCreated);
    EXPECT_EQ(tool.CreateDatapool(store->Connection(), "A_one", "", kFields), datapool_result::kNothingToReport);
    EXPECT_NE(backend(), before) << "a new connection";
    EXPECT_EQ(planning(), "force_generic_plan");
    ASSERT_TRUE(LoadDatapool(db, name));
  }
  {
    Transaction transaction(db);
    cut(backend());
    EXPECT_THROW(Execute(db, "UPDATE datapools SET description = 'x'"), ZtError);
  }
  EXPECT_EQ(DatapoolNames(db).size(), 3u);
  EXPECT_EQ(LoadDatapool(db, "A_one")->description, "") << "the transaction was not made again";
}

}  // namespace
}  // namespace zt::wb
