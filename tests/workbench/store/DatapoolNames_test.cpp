// Datapool and script names by operation: what an operation is called, and
// what the store (of either back-end) records for it across sessions,
// stores and models.
#include "workbench/store/StoreLocation.h"
#include "workbench/store/DatapoolNames.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "fakes/ScriptedConsole.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/store/StoreBackends.h"
#include "workbench/store/sqlite/SqliteDatabase.h"

namespace zt::wb {
namespace {

// Two packages with a class C each, and C::f overloaded in a.
constexpr const char* kModel = R"({"root": "Logical View", "packages": [
  {"name": "a", "classes": [{"name": "C", "language": "Java", "operations": [
    {"name": "f", "parameters": [{"name": "x", "type": "int"}]},
    {"name": "g"},
    {"name": "f", "parameters": [{"name": "s", "type": "String"}]},
    {"name": "f"}]}]},
  {"name": "b", "packages": [{"name": "inner", "classes": [{"name": "C", "language": "Java",
    "operations": [{"name": "f", "parameters": [{"name": "y", "type": "String"}]}]}]}]}],
  "classes": [{"name": "C", "language": "Java", "operations": [{"name": "f"}]}]})";

class DatapoolNamesTest : public test::OnEitherBackend {
 protected:
  DatapoolNamesTest() : model_(ParseModelDocument(kModel, "names.json")) {}

  // The `n`th operation named `name` of the class `cls` (qualified, without the root).
  TesselOperation* Op(const std::string& cls, const std::string& name, int n = 1) {
    TesselOperationCollection* operations = model_->FindClass(cls)->Operations();
    int16_t i = operations->FindFirst(name);
    while (--n > 0) i = operations->FindNext(name, i);
    return operations->GetAt(i);
  }
  OperationIdentity Id(const std::string& cls, const std::string& name, int n = 1) {
    return *IdentifyOperation(*Op(cls, name, n));
  }

  // The store called `name` (one of its own for each name).
  std::unique_ptr<StoreBase> OpenStore(const std::string& name) {
    if (locations_.count(name) == 0) locations_[name] = test::NewStoreLocation(GetParam(), dir_ / name);
    std::unique_ptr<StoreBase> store = wb::MakeStore(StoreOptions{ParseStoreLocation(locations_[name]), "tester"}, console_);
    store->Open();
    store->SetOperationInHand(&inHand_);
    return store;
  }
  // What a generation asks of `store` for the operation: its template is
  // read, then the datapool name is asked for the tags and again to create it.
  std::string NameFor(StoreBase& store, TesselOperation* op) {
    inHand_.Set(IdentifyOperation(*op));
    const std::string forTags = store.MakeDatapoolName(op->ParentClass()->Name(), op->Name(), 0);
    EXPECT_EQ(store.MakeDatapoolName(op->ParentClass()->Name(), op->Name(), 0), forTags);
    return forTags;
  }

  std::map<std::string, std::string> locations_;
  test::ScriptedConsole console_;
  std::unique_ptr<Model> model_;
  OperationInHand inHand_;
};
ZT_ON_EITHER_BACKEND(DatapoolNamesTest);

TEST_P(DatapoolNamesTest, AnOperationIsKnownByItsPackagesClassAndPlaceAmongItsNamesakes) {
  struct Case {
    OperationIdentity id;
    std::string key;
    std::vector<std::string> candidates;
  };
  const Case cases[] = {
      {Id("a::C", "f"), "a::C::f", {"C_f", "a_C_f", "a_C_f_2", "a_C_f_3"}},
      {Id("a::C", "g"), "a::C::g", {"C_g", "a_C_g", "a_C_g_2", "a_C_g_3"}},
      {Id("a::C", "f", 2), "a::C::f#2", {"C_f1", "a_C_f1", "a_C_f1_2", "a_C_f1_3"}},
      {Id("a::C", "f", 3), "a::C::f#3", {"C_f2", "a_C_f2", "a_C_f2_2", "a_C_f2_3"}},
      {Id("b::inner::C", "f"), "b::inner::C::f", {"C_f", "b_inner_C_f", "b_inner_C_f_2", "b_inner_C_f_3"}},
      {Id("C", "f"), "C::f", {"C_f", "C_f_2", "C_f_3", "C_f_4"}},
      // Package names add only letters, digits and "_" to a name.
      {{"C", "f", "my pkg::x\"y.z", 1},
       "my pkg::x\"y.z::C::f",
       {"C_f", "my_pkg_x_y_z_C_f", "my_pkg_x_y_z_C_f_2", "my_pkg_x_y_z_C_f_3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(c.id.Key(), c.key);
    EXPECT_EQ(DatapoolNameCandidates(c.id, 4), c.candidates);
  }
}

TEST_P(DatapoolNamesTest, EveryOperationGetsItsOwnNameAndKeepsItInEveryStoreAndSession) {
  std::unique_ptr<StoreBase> store = OpenStore("one");
  const std::vector<TesselOperation*> ops = {Op("a::C", "f"),     Op("a::C", "f", 2), Op("a::C", "f", 3),
                                             Op("b::inner::C", "f"), Op("C", "f"),     Op("a::C", "g")};
  const std::vector<std::string> expected = {"C_f", "C_f1", "C_f2", "b_inner_C_f", "C_f_2", "C_g"};
  std::vector<std::string> names;
  for (TesselOperation* op : ops) names.push_back(NameFor(*store, op));
  EXPECT_EQ(names, expected);

  // A new session, and a new store object on the same folder, in another
  // order: the recorded names.
  store->ResetSession();
  EXPECT_EQ(NameFor(*store, ops[4]), "C_f_2");
  store.reset();
  store = OpenStore("one");
  for (size_t i = ops.size(); i-- > 0;) EXPECT_EQ(NameFor(*store, ops[i]), expected[i]);

  // A fresh store in the same order gives the same names.
  std::unique_ptr<StoreBase> fresh = OpenStore("two");
  for (size_t i = 0; i < ops.size(); ++i) EXPECT_EQ(NameFor(*fresh, ops[i]), expected[i]);

  // Another model in the first store: its own operation of the same class
  // and operation names does not take a name held by another one.
  std::unique_ptr<Model> other = ParseModelDocument(
      R"({"root": "Other", "packages": [{"name": "z", "classes": [{"name": "C", "operations": [{"name": "f"}]}]}]})",
      "other.json");
  EXPECT_EQ(NameFor(*store, other->FindClass("z::C")->Operations()->GetAt(1)), "z_C_f");
}

TEST_P(DatapoolNamesTest, WithoutTheOperationInHandTheNameIsPlainAndNothingIsRecorded) {
  std::unique_ptr<StoreBase> store = OpenStore("plain");
  EXPECT_EQ(store->MakeDatapoolName("C", "f", 0), "C_f");
  inHand_.Set(IdentifyOperation(*Op("a::C", "g")));
  EXPECT_EQ(store->MakeDatapoolName("C", "f", 0), "C_f") << "the operation in hand is another one";
  Statement count(DatabaseOf(store->Connection()), "SELECT COUNT(*) FROM datapool_names");
  ASSERT_TRUE(count.Step());
  EXPECT_EQ(count.ColumnInt(0), 0);
}

// Stores made before names were recorded are store folders.
using FolderNames = DatapoolNamesTest;
INSTANTIATE_TEST_SUITE_P(Folder, FolderNames, ::testing::Values(test::Backend::kFolder), test::BackendName);

TEST_P(FolderNames, AStoreOfTheEarlierVersionKeepsItsDatapoolsForTheOperationsThatAskFirst) {
  // An earlier store: schema version 3, datapools named by class and
  // operation, one of them shared by two operations.
  const std::string folder = (dir_ / "old").string();
  std::filesystem::create_directories(folder);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder + "/store.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL);"
                         "INSERT INTO schema_version VALUES (1, ''), (2, ''), (3, '');"
                         "CREATE TABLE store_info (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                         "CREATE TABLE datapools (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, "
                         "description TEXT NOT NULL DEFAULT '', created TEXT NOT NULL, updated TEXT NOT NULL, "
                         "user TEXT NOT NULL DEFAULT '');"
                         "CREATE TABLE tool_options (number INTEGER PRIMARY KEY, value TEXT NOT NULL);"
                         "INSERT INTO datapools (name, created, updated) VALUES ('C_f', '', ''), ('C_f1', '', '');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  locations_["old"] = folder;
  std::unique_ptr<StoreBase> store = OpenStore("old");
  EXPECT_EQ(NameFor(*store, Op("b::inner::C", "f")), "C_f") << "the first to ask takes the shared one over";
  EXPECT_EQ(NameFor(*store, Op("a::C", "f")), "a_C_f");
  EXPECT_EQ(NameFor(*store, Op("a::C", "f", 2)), "C_f1");
}

// A store folder made by an earlier version keeps its records in rowid
// tables, a new one in tables without: each is read and written alike.
TEST_P(FolderNames, RecordsInTheEarlierTablesAreReadAndWrittenAlike) {
  // Whether each record table is one without rowid, and the names recorded.
  const auto layout = [](StoreBase& store) {
    Statement query(DatabaseOf(store.Connection()),
                    "SELECT group_concat(name || ':' || (sql LIKE '%WITHOUT ROWID%'), ' ') || ' names:' || "
                    "(SELECT count(*) FROM script_names) FROM (SELECT name, sql FROM sqlite_master "
                    "WHERE name IN ('generated_scripts', 'script_names') ORDER BY name)");
    return query.Step() ? query.ColumnText(0) : std::string();
  };
  const auto suffix = [&](StoreBase& store, TesselOperation* op) {
    inHand_.Set(IdentifyOperation(*op));
    return store.MakeScriptName("Cf", "a", dsJavaScript);
  };
  std::unique_ptr<StoreBase> store = OpenStore("earlier");
  for (int n = 1; n <= 3; ++n) suffix(*store, Op("a::C", "f", n));
  EXPECT_EQ(layout(*store), "generated_scripts:1 script_names:1 names:3");
  store.reset();

  // The tables as an earlier version made them, with their rows.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((locations_["earlier"] + "/store.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "ALTER TABLE script_names RENAME TO kept;"
                         "CREATE TABLE script_names (type INTEGER NOT NULL, folder TEXT NOT NULL, "
                         "name TEXT NOT NULL, base TEXT NOT NULL, suffix TEXT NOT NULL, operation TEXT NOT NULL, "
                         "recorded TEXT NOT NULL, PRIMARY KEY (type, folder, name), "
                         "UNIQUE (type, folder, base, operation));"
                         "INSERT INTO script_names SELECT * FROM kept; DROP TABLE kept;"
                         "DROP TABLE generated_scripts;"
                         "CREATE TABLE generated_scripts (type INTEGER NOT NULL, path TEXT NOT NULL, "
                         "digest TEXT NOT NULL, recorded TEXT NOT NULL, PRIMARY KEY (type, path));",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  // The names held are passed over, the new one is recorded and kept.
  store = OpenStore("earlier");
  EXPECT_EQ(suffix(*store, Op("a::C", "g")), "3");
  store.reset();
  store = OpenStore("earlier");
  EXPECT_EQ(suffix(*store, Op("a::C", "g")), "3");
  EXPECT_EQ(suffix(*store, Op("a::C", "f", 2)), "1");
  EXPECT_EQ(layout(*store), "generated_scripts:0 script_names:0 names:4") << "the store keeps its tables";
}

TEST_P(DatapoolNamesTest, ScriptNamesAreRecordedByOperationAndHeldByOneOperationEach) {
  std::unique_ptr<StoreBase> store = OpenStore("scripts");
  // What a generator asks for an operation: the suffix for the tags, then
  // again for the file path.
  auto suffix = [&](StoreBase& s, TesselOperation* op, const std::string& base, const std::string& folder) {
    inHand_.Set(IdentifyOperation(*op));
    const std::string first = s.MakeScriptName(base, folder, dsJavaScript);
    EXPECT_EQ(s.MakeScriptName(base, folder, dsJavaScript), first);
    return first;
  };
  // The second overload alone, first: it takes the suffix generating the
  // class whole gives it, and the first overload still gets "".
  EXPECT_EQ(suffix(*store, Op("a::C", "f", 2), "Cf", "a"), "1");
  EXPECT_EQ(suffix(*store, Op("a::C", "f"), "Cf", "a"), "");
  EXPECT_EQ(suffix(*store, Op("a::C", "f", 3), "Cf", "a"), "2");
  // A name held by another operation is passed over; other folders, base
  // names and script types are names of their own.
  EXPECT_EQ(suffix(*store, Op("a::C", "g"), "Cf", "a"), "3");
  EXPECT_EQ(suffix(*store, Op("a::C", "g"), "Cf1", "a"), "1") << "Cf1 is held by a::C::f#2";
  EXPECT_EQ(suffix(*store, Op("b::inner::C", "f"), "Cf", "b\\inner"), "");
  EXPECT_EQ(suffix(*store, Op("b::inner::C", "f"), "Cf", "/b/inner/"), "") << "the same folder";
  inHand_.Set(IdentifyOperation(*Op("a::C", "f", 2)));
  EXPECT_EQ(store->MakeScriptName("Cf", "a", dsVisualBasicScript), "1");

  // Every later session and store object gives the same names, in any order.
  store.reset();
  store = OpenStore("scripts");
  EXPECT_EQ(suffix(*store, Op("a::C", "g"), "Cf", "a"), "3");
  EXPECT_EQ(suffix(*store, Op("a::C", "f"), "Cf", "a"), "");
  EXPECT_EQ(suffix(*store, Op("a::C", "f", 2), "Cf", "a"), "1");

  // Without an operation in hand only the session counts.
  inHand_.Set(std::nullopt);
  EXPECT_EQ(store->MakeScriptName("Cf", "a", dsJavaScript), "");
  Statement count(DatabaseOf(store->Connection()), "SELECT COUNT(*) FROM script_names");
  ASSERT_TRUE(count.Step());
  EXPECT_EQ(count.ColumnInt(0), 7);
}

// A run finds its records made already or not, and after a new one inserts
// the next before it asks: either way the store's records decide, and the
// warning that a test is not named after a class of its package comes only
// when the name is chosen, not each time the recorded one is found.
TEST_P(DatapoolNamesTest, ARecordFoundAfterANewOneIsTheRecordAndItsWarningIsNotRepeated) {
  std::unique_ptr<Model> model = ParseModelDocument(
      R"({"root": "Logical View", "packages": [{"name": "a", "classes": [
        {"name": "C", "language": "Java", "operations": [{"name": "f"}, {"name": "g"}, {"name": "h"}]},
        {"name": "Cf", "language": "Java"}]}]})",
      "hide.json");
  TesselOperationCollection* ops = model->FindClass("a::C")->Operations();
  const auto ask = [&](StoreBase& store, int16_t at, const std::string& base) {
    inHand_.Set(IdentifyOperation(*ops->GetAt(at)));
    return store.MakeScriptName(base, "a", dsJavaScript) + "|" +
           store.MakeDatapoolName("C", ops->GetAt(at)->Name(), 0);
  };
  const std::string warning = "warning: the test of a::C::f is named Cf1, not Cf:";
  const auto warnings = [&] {
    size_t count = 0;
    for (size_t at = console_.Output().find(warning); at != std::string::npos;
         at = console_.Output().find(warning, at + 1)) {
      ++count;
    }
    return count;
  };

  std::unique_ptr<StoreBase> store = OpenStore("hide");
  EXPECT_EQ(ask(*store, 1, "Cf"), "1|C_f");
  EXPECT_EQ(warnings(), 1U) << console_.Output();
  EXPECT_EQ(ask(*store, 2, "Cg"), "|C_g");
  // Right after a new record, in the same run and in later ones.
  store->ResetSession();
  EXPECT_EQ(ask(*store, 1, "Cf"), "1|C_f");
  EXPECT_EQ(ask(*store, 3, "Ch"), "|C_h");
  store.reset();
  store = OpenStore("hide");
  EXPECT_EQ(ask(*store, 2, "Cg"), "|C_g");
  EXPECT_EQ(ask(*store, 1, "Cf"), "1|C_f");
  EXPECT_EQ(warnings(), 1U) << console_.Output();

  Statement count(DatabaseOf(store->Connection()),
                  "SELECT (SELECT COUNT(*) FROM script_names), (SELECT COUNT(*) FROM datapool_names)");
  ASSERT_TRUE(count.Step());
  EXPECT_EQ(count.ColumnInt(0), 3);
  EXPECT_EQ(count.ColumnInt(1), 3);
}

}  // namespace
}  // namespace zt::wb
