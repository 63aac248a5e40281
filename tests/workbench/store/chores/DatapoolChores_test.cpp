// Datapools deleted and renamed with the records that name them, on every
// back-end, and the rule for a name a user gives a datapool.
#include "workbench/store/chores/DatapoolChores.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "fakes/ScriptedConsole.h"
#include "workbench/store/Database.h"
#include "workbench/store/DatapoolNames.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreBackends.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

using test::ErrorNumberOf;

TEST(DatapoolNameFault, TakesWhatAProjectFileAndATestsCodeCanHold) {
  const std::string longest(200, 'a');
  const struct {
    std::string name;
    std::optional<std::string> fault;
  } cases[] = {
      {"Circle_scale", std::nullopt},
      {"Größe-2.b", std::nullopt},
      {"a b", std::nullopt},
      {longest, std::nullopt},
      {"", Text(WB_DP_NAME_EMPTY)},
      {".", Text(WB_DP_NAME_DOTS)},
      {"..", Text(WB_DP_NAME_DOTS)},
      {" a", Text(WB_DP_NAME_BLANK_END)},
      {"a ", Text(WB_DP_NAME_BLANK_END)},
      {"a\tb", Text(WB_DP_NAME_CONTROL)},
      {"a\nb", Text(WB_DP_NAME_CONTROL)},
      {std::string("a\0b", 3), Text(WB_DP_NAME_CONTROL)},
      {"a\x7f", Text(WB_DP_NAME_CONTROL)},
      {"a/b", Text(WB_DP_NAME_CHARACTER, {"/"})},
      {"a\\b", Text(WB_DP_NAME_CHARACTER, {"\\"})},
      {"say \"a\"", Text(WB_DP_NAME_CHARACTER, {"\""})},
      {longest + "a", Text(WB_DP_NAME_LONG, {"200"})},
  };
  for (const auto& c : cases) EXPECT_EQ(DatapoolNameFault(c.name), c.fault) << "name: " << c.name;
}

// Datapools A and B, made as a run makes them for the operations K::a and
// K::b (each with its name record and the record of what the model gave it).
class Chores : public test::OnEitherBackend {
 protected:
  void SetUp() override {
    store_ = MakeStore("tester", console_);
    store_->Open();
    for (const char* name : {"A", "B"}) {
      WorkbenchDatapoolTool tool(console_);
      ASSERT_EQ(tool.CreateDatapool(store_->Connection(), name, "d", R"([{"name":"x","type":"int","value":"1"}])"), 0);
      Record(Operation(name).Key(), name);
    }
  }
  static OperationIdentity Operation(const std::string& datapool) {
    OperationIdentity operation;
    operation.className = "K";
    operation.operationName = datapool == "A" ? "a" : "b";
    return operation;
  }
  Database& Db() { return DatabaseOf(store_->Connection()); }
  void Record(const std::string& operation, const std::string& name) {
    Statement record(Db(), "INSERT INTO datapool_names (operation, name, recorded) VALUES (?, ?, datetime('now'))");
    record.Bind(1, operation).Bind(2, name).Run();
  }
  // The first column of `sql`'s rows, sorted.
  std::vector<std::string> Column(const std::string& sql) {
    Statement query(Db(), sql.c_str());
    std::vector<std::string> values;
    while (query.Step()) values.push_back(query.ColumnText(0));
    std::sort(values.begin(), values.end());
    return values;
  }
  std::vector<std::string> Recorded() { return Column("SELECT operation || '=' || name FROM datapool_names"); }
  std::vector<std::string> Generated() { return Column("SELECT path || '=' || digest FROM generated_scripts WHERE type = -1"); }

  test::ScriptedConsole console_;
  std::unique_ptr<StoreBase> store_;
};
ZT_ON_EITHER_BACKEND(Chores);

TEST_P(Chores, DeleteTakesTheRowsAndTheRecordsThatNameTheDatapool) {
  const std::vector<std::string> generated = Generated();
  DeleteDatapools(Db(), {"A"});
  EXPECT_EQ(DatapoolNames(Db()), std::vector<std::string>({"B"}));
  EXPECT_EQ(Recorded(), std::vector<std::string>({"K::b=B"}));
  EXPECT_EQ(Generated(), std::vector<std::string>({generated[1]}));
  EXPECT_EQ(Column("SELECT count(*) FROM datapool_fields WHERE datapool NOT IN (SELECT id FROM datapools)"),
            std::vector<std::string>({"0"}));
  EXPECT_EQ(Column("SELECT count(*) FROM datapool_rows WHERE datapool NOT IN (SELECT id FROM datapools)"),
            std::vector<std::string>({"0"}));
  // A run gives the operation the first of its names anew.
  EXPECT_EQ(StoredDatapoolName(Db(), Operation("A")), DatapoolNameCandidates(Operation("A"), 1).front());
  // As the store keeps it: another program reads the same.
  store_.reset();
  const std::unique_ptr<Database> again = OpenStoreReadOnly(ParseStoreLocation(Location()));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(DatapoolNames(*again), std::vector<std::string>({"B"}));
}

TEST_P(Chores, AnUnknownNameDeletesNothing) {
  std::string description;
  EXPECT_EQ(ErrorNumberOf([&] { DeleteDatapools(Db(), {"A", "Nope", "B"}); }, &description), 5);
  EXPECT_EQ(description, Text(WB_DP_NO_SUCH_DATAPOOL, {"Nope"}));
  EXPECT_EQ(DatapoolNames(Db()), std::vector<std::string>({"A", "B"}));
  EXPECT_EQ(Recorded(), std::vector<std::string>({"K::a=A", "K::b=B"}));
}

TEST_P(Chores, RenameKeepsTheRowsAndTheOperationsRecords) {
  const std::optional<Datapool> before = LoadDatapool(Db(), "A");
  ASSERT_TRUE(before);
  ReplaceDatapoolRows(Db(), *before, {{"7"}, {"8"}});
  const std::string digest = Generated()[0].substr(2);
  EXPECT_EQ(RenameDatapool(Db(), "A", "C"), "K::a");
  const std::optional<Datapool> after = LoadDatapool(Db(), "C");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->rows, (std::vector<std::vector<std::string>>{{"7"}, {"8"}}));
  EXPECT_EQ(after->fields, before->fields);
  EXPECT_FALSE(LoadDatapool(Db(), "A"));
  EXPECT_EQ(Recorded(), std::vector<std::string>({"K::a=C", "K::b=B"}));
  EXPECT_EQ(Generated()[1], "C=" + digest);
  // The operation's next run finds its datapool under the new name.
  EXPECT_EQ(StoredDatapoolName(Db(), Operation("A")), "C");
}

TEST_P(Chores, RenameOverARecordLeftOfADatapoolDeletedByHand) {
  Statement stale(Db(), "INSERT INTO generated_scripts (type, path, digest, recorded) VALUES (-1, 'C', 'old', '')");
  stale.Run();
  const std::vector<std::string> before = Generated();  // A, B, and C's left over
  EXPECT_EQ(RenameDatapool(Db(), "A", "C"), "K::a");
  EXPECT_EQ(Generated(), std::vector<std::string>({before[1], "C=" + before[0].substr(2)}));
}

TEST_P(Chores, RenameRefusesAndChangesNothing) {
  Record("K::z", "Z");  // a name held without a datapool
  const struct {
    std::string from;
    std::string to;
    std::string description;
  } cases[] = {
      {"A", "B", Text(WB_DP_NAME_TAKEN, {"B"})},
      {"A", "Z", Text(WB_DP_NAME_RECORDED, {"Z", "K::z"})},
      {"A", "a/b", Text(WB_DP_NOT_A_NAME, {"a/b", Text(WB_DP_NAME_CHARACTER, {"/"})})},
      {"Nope", "C", Text(WB_DP_NO_SUCH_DATAPOOL, {"Nope"})},
  };
  for (const auto& c : cases) {
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { RenameDatapool(Db(), c.from, c.to); }, &description), 5) << c.to;
    EXPECT_EQ(description, c.description);
  }
  EXPECT_EQ(DatapoolNames(Db()), std::vector<std::string>({"A", "B"}));
  EXPECT_EQ(Recorded(), std::vector<std::string>({"K::a=A", "K::b=B", "K::z=Z"}));
}

}  // namespace
}  // namespace zt::wb
