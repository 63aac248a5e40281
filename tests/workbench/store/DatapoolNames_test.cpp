// Datapool names by operation: what an operation is called, and what the
// store records for it across sessions, stores and models.
#include "workbench/store/DatapoolNames.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "fakes/ScriptedConsole.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/store/SqliteStore.h"
#include "workbench/store/StoreDatabase.h"

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

class DatapoolNamesTest : public ::testing::Test {
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

  std::unique_ptr<SqliteStore> OpenStore(const std::string& folder) {
    auto store = std::make_unique<SqliteStore>(StoreOptions{(dir_ / folder).string(), "tester"}, console_);
    store->Open();
    store->SetOperationInHand(&inHand_);
    return store;
  }
  // What a generation asks of `store` for the operation: its template is
  // read, then the datapool name is asked for the tags and again to create it.
  std::string NameFor(SqliteStore& store, TesselOperation* op) {
    inHand_.Set(IdentifyOperation(*op));
    const std::string forTags = store.MakeDatapoolName(op->ParentClass()->Name(), op->Name(), 0);
    EXPECT_EQ(store.MakeDatapoolName(op->ParentClass()->Name(), op->Name(), 0), forTags);
    return forTags;
  }

  test::TempDir dir_{"names"};
  test::ScriptedConsole console_;
  std::unique_ptr<Model> model_;
  OperationInHand inHand_;
};

TEST_F(DatapoolNamesTest, AnOperationIsKnownByItsPackagesClassAndPlaceAmongItsNamesakes) {
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
      {{"C", "f", "my pkg::x\"y.z", 1}, "my pkg::x\"y.z::C::f", {"C_f", "my_pkg_x_y_z_C_f", "my_pkg_x_y_z_C_f_2", "my_pkg_x_y_z_C_f_3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(c.id.Key(), c.key);
    EXPECT_EQ(DatapoolNameCandidates(c.id, 4), c.candidates);
  }
}

TEST_F(DatapoolNamesTest, EveryOperationGetsItsOwnNameAndKeepsItInEveryStoreAndSession) {
  std::unique_ptr<SqliteStore> store = OpenStore("one");
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
  std::unique_ptr<SqliteStore> fresh = OpenStore("two");
  for (size_t i = 0; i < ops.size(); ++i) EXPECT_EQ(NameFor(*fresh, ops[i]), expected[i]);

  // Another model in the first store: its own operation of the same class
  // and operation names does not take a name held by another one.
  std::unique_ptr<Model> other = ParseModelDocument(
      R"({"root": "Other", "packages": [{"name": "z", "classes": [{"name": "C", "operations": [{"name": "f"}]}]}]})",
      "other.json");
  EXPECT_EQ(NameFor(*store, other->FindClass("z::C")->Operations()->GetAt(1)), "z_C_f");
}

TEST_F(DatapoolNamesTest, WithoutTheOperationInHandTheNameIsPlainAndNothingIsRecorded) {
  std::unique_ptr<SqliteStore> store = OpenStore("plain");
  EXPECT_EQ(store->MakeDatapoolName("C", "f", 0), "C_f");
  inHand_.Set(IdentifyOperation(*Op("a::C", "g")));
  EXPECT_EQ(store->MakeDatapoolName("C", "f", 0), "C_f") << "the operation in hand is another one";
  Statement count(SqliteHandle(store->Connection()), "SELECT COUNT(*) FROM datapool_names");
  ASSERT_TRUE(count.Step());
  EXPECT_EQ(count.ColumnInt(0), 0);
}

TEST_F(DatapoolNamesTest, AStoreOfTheEarlierVersionKeepsItsDatapoolsForTheOperationsThatAskFirst) {
  // An earlier store: schema version 3, datapools named by class and
  // operation, one of them shared by two operations.
  const std::string folder = (dir_ / "old").string();
  std::filesystem::create_directories(folder);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder + "/store.db").c_str(), &db), SQLITE_OK);
  Execute(db,
          "CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL);"
          "INSERT INTO schema_version VALUES (1, ''), (2, ''), (3, '');"
          "CREATE TABLE store_info (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
          "CREATE TABLE datapools (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, "
          "description TEXT NOT NULL DEFAULT '', created TEXT NOT NULL, updated TEXT NOT NULL, "
          "user TEXT NOT NULL DEFAULT '');"
          "CREATE TABLE tool_options (number INTEGER PRIMARY KEY, value TEXT NOT NULL);"
          "INSERT INTO datapools (name, created, updated) VALUES ('C_f', '', ''), ('C_f1', '', '');");
  sqlite3_close(db);

  std::unique_ptr<SqliteStore> store = OpenStore("old");
  EXPECT_EQ(NameFor(*store, Op("b::inner::C", "f")), "C_f") << "the first to ask takes the shared one over";
  EXPECT_EQ(NameFor(*store, Op("a::C", "f")), "a_C_f");
  EXPECT_EQ(NameFor(*store, Op("a::C", "f", 2)), "C_f1");
}

}  // namespace
}  // namespace zt::wb
