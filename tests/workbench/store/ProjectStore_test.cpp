// What only a project store does: the records file read whatever order,
// line ends and merge left it in; nothing written when nothing changed;
// folders that lead out of the project refused; one program at a time.
#include "workbench/store/project/ProjectStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestUtil.h"
#include "fakes/ScriptedConsole.h"
#include "support/Error.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;
using test::ErrorNumberOf;
using test::ReadAll;
using test::WriteAll;

class Project : public ::testing::Test {
 protected:
  std::unique_ptr<StoreBase> Open() {
    std::unique_ptr<StoreBase> store =
        MakeStore(StoreOptions{ParseStoreLocation("project:" + Root().string()), "tester"}, console_);
    store->Open();
    return store;
  }
  const fs::path& Root() const { return dir_; }
  fs::path Data() const { return Root() / "src" / "test" / "resources" / "ztunittest"; }
  // The records as the database holds them, a line each.
  std::vector<std::string> Stored(StoreBase& store, const char* sql) {
    Statement query(DatabaseOf(store.Connection()), sql);
    std::vector<std::string> rows;
    while (query.Step()) rows.push_back(query.ColumnText(0) + "|" + query.ColumnText(1));
    return rows;
  }

  test::TempDir dir_{"project"};
  test::ScriptedConsole console_;
};

// The records file as git or a hand leaves it: any order, CR LF, comments,
// escapes, conflict markers, a line of its own, two records of one thing.
TEST_F(Project, TheRecordsAreReadWhateverFormMergesAndHandsLeaveThemIn) {
  fs::create_directories(Data());
  WriteAll(Data() / "A_f.csv", "x,expectedReturn\r\n1,2\r\n");
  WriteAll(Data() / "Hand.csv", "p\n\"a,b\"\n");  // a datapool without a record
  WriteAll(Data() / "ztunittest.records",
           "option\t4\t/nologo\r\n"
           "# a comment\n"
           "datapool\tA_f\tline one\\nline\\ttwo \\\\ end\ttester\tx\tint\texpectedReturn\tlong\n"
           "<<<<<<< HEAD\n"
           "generated\t0\tp/Af.java\taaaa\n"
           "=======\n"
           "generated\t0\tp/Af.java\tbbbb\n"
           ">>>>>>> other\n"
           "name\tp::A::f\tA_f\n"
           "generated\t-1\tA_f\tcccc\n"
           "generated\t-1\tA_f\tcccc\n"
           "not a record\n");
  std::unique_ptr<StoreBase> store = Open();
  Database& db = DatabaseOf(store->Connection());
  const std::optional<Datapool> a = LoadDatapool(db, "A_f");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->description, "line one\nline\ttwo \\ end");
  EXPECT_EQ(a->fields, (std::vector<DatapoolField>{{"x", "int"}, {"expectedReturn", "long"}}));
  EXPECT_EQ(a->rows, (std::vector<std::vector<std::string>>{{"1", "2"}}));
  const std::optional<Datapool> hand = LoadDatapool(db, "Hand");
  ASSERT_TRUE(hand);
  EXPECT_EQ(hand->fields, (std::vector<DatapoolField>{{"p", ""}}));
  EXPECT_EQ(hand->rows, (std::vector<std::vector<std::string>>{{"a,b"}}));
  EXPECT_EQ(Stored(*store, "SELECT number, value FROM tool_options"), std::vector<std::string>{"4|/nologo"});
  EXPECT_EQ(Stored(*store, "SELECT operation, name FROM datapool_names"), std::vector<std::string>{"p::A::f|A_f"});
  // The two sides' digests of one test: neither is trusted; the same record
  // twice is one.
  EXPECT_EQ(Stored(*store, "SELECT type, path FROM generated_scripts"), std::vector<std::string>{"-1|A_f"});
  const std::string records = (Data() / "ztunittest.records").string();
  const std::string out = console_.Output();
  EXPECT_NE(out.find(Text(WB_PROJECT_CONFLICT_MARKERS, {records, "4"})), std::string::npos) << out;
  EXPECT_NE(out.find(Text(WB_PROJECT_RECORDED_TWICE, {records, "p/Af.java"})), std::string::npos) << out;
  EXPECT_NE(out.find(Text(WB_PROJECT_BAD_RECORD, {records, "12"})), std::string::npos) << out;
  store.reset();

  // Written back sorted, LF, without what was not a record: then read as it is.
  const std::string written = ReadAll(Data() / "ztunittest.records");
  EXPECT_EQ(written.substr(written.find('\n') + 1),
            "datapool\tA_f\tline one\\nline\\ttwo \\\\ end\ttester\tx\tint\texpectedReturn\tlong\n"
            "datapool\tHand\t\t\tp\t\n"
            "generated\t-1\tA_f\tcccc\n"
            "name\tp::A::f\tA_f\n"
            "option\t4\t/nologo\n");
  EXPECT_EQ(ReadAll(Data() / "A_f.csv"), "x,expectedReturn\r\n1,2\r\n") << "an unchanged datapool's file is not written";
}

// Opening and closing a store that changes nothing touches no file; a
// change rewrites only its datapool's file and the records.
TEST_F(Project, NothingChangedIsNothingWritten) {
  std::unique_ptr<StoreBase> store = Open();
  EXPECT_TRUE(fs::is_empty(Data())) << "an empty store makes no file";
  {
    Database& db = DatabaseOf(store->Connection());
    Transaction transaction(db);
    CopyDatapool(db, Datapool{0, "A_f", "d", "", "", "tester", {{"x", "int"}}, {{"1"}}});
    CopyDatapool(db, Datapool{0, "B_g", "d", "", "", "tester", {{"y", ""}}, {{"2"}}});
    transaction.Commit();  // written at the commit
  }
  EXPECT_EQ(ReadAll(Data() / "A_f.csv"), "x\n1\n");
  store.reset();
  struct stat a {}, b {}, records {};
  ASSERT_EQ(::stat((Data() / "A_f.csv").c_str(), &a), 0);
  ASSERT_EQ(::stat((Data() / "B_g.csv").c_str(), &b), 0);
  ASSERT_EQ(::stat((Data() / "ztunittest.records").c_str(), &records), 0);
  store = Open();
  ReplaceDatapoolRows(DatabaseOf(store->Connection()), *LoadDatapool(DatabaseOf(store->Connection()), "B_g"), {{"3"}});
  store.reset();
  struct stat a2 {}, b2 {}, records2 {};
  ASSERT_EQ(::stat((Data() / "A_f.csv").c_str(), &a2), 0);
  ASSERT_EQ(::stat((Data() / "B_g.csv").c_str(), &b2), 0);
  ASSERT_EQ(::stat((Data() / "ztunittest.records").c_str(), &records2), 0);
  EXPECT_EQ(a2.st_ino, a.st_ino) << "A_f did not change";
  EXPECT_NE(b2.st_ino, b.st_ino) << "B_g did";
  EXPECT_EQ(records2.st_ino, records.st_ino) << "its records did not";
  EXPECT_EQ(ReadAll(Data() / "B_g.csv"), "y\n3\n");
  EXPECT_FALSE(fs::exists(Root() / ".ztunittest.lock"));
}

// Folders of the store that lead out of the project, and a second program.
TEST_F(Project, LinksOutAndASecondProgramAreRefused) {
  fs::create_directories(Root() / "outside");
  for (const fs::path& link : {fs::path("src"), fs::path("src/test/java"), fs::path("src/test/resources/ztunittest")}) {
    fs::remove_all(Root() / "src");
    fs::create_directories((Root() / link).parent_path());
    fs::create_directory_symlink(Root() / "outside", Root() / link);
    EXPECT_EQ(ErrorNumberOf([&] { Open(); }), errc::kPathFileAccessError) << link;
    EXPECT_TRUE(StoreProblem(ParseStoreLocation("project:" + Root().string()))) << link;
    EXPECT_TRUE(fs::is_empty(Root() / "outside")) << link;
  }
  fs::remove_all(Root() / "src");
  std::unique_ptr<StoreBase> first = Open();
  try {
    Open();
    ADD_FAILURE() << "a second store opened";
  } catch (const ZtError& e) {
    EXPECT_NE(e.Description().find(Text(WB_PROJECT_IN_USE, {Text(WB_STORE_LOCK_HOLDER, {"zt_tests", std::to_string(::getpid())})})),
              std::string::npos)
        << e.Description();
  }
  EXPECT_TRUE(StoreProblem(ParseStoreLocation("project:" + Root().string())));
  first.reset();
  EXPECT_FALSE(StoreProblem(ParseStoreLocation("project:" + Root().string())));
  EXPECT_NE(Open(), nullptr) << "free again";
}

}  // namespace
}  // namespace zt::wb
