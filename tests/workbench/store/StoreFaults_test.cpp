// Faults of the disk and the store through the real components, each in a
// fresh temporary folder: a full disk and failing writes (through the write
// hook the store's scripts and the file-system object are handed), a full database, temporary files of killed
// writers, and store folders that cannot be used. Every fault gives one
// message, and what must not change is compared byte for byte.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "TestUtil.h"
#include "fakes/ScriptedConsole.h"
#include "support/Error.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreBackends.h"
#include "workbench/store/sqlite/SqliteStore.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::Snapshot;
using test::WriteAll;

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// A process id that no process has: that of a child that has ended.
pid_t EndedProcess() {
  const pid_t child = ::fork();
  if (child == 0) std::_Exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// -- A full disk and failing writes, through the write seam

struct WriteFault {
  const char* name;
  size_t budget;        // bytes written before the fault
  int error;            // errno once the budget is spent; 0: no fault
  size_t chunk;         // the most one call writes
  int interruptions;    // calls that fail with EINTR first
  const char* reason;   // what the message says; empty: the write succeeds
};

std::ostream& operator<<(std::ostream& out, const WriteFault& f) { return out << f.name; }

WriteFault g_fault{};
std::string g_temporaryName;  // the name of the file the seam last wrote to

ssize_t FaultyWrite(int fd, const void* data, size_t size) {
  char link[PATH_MAX] = {};
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::readlink(self.c_str(), link, sizeof link - 1) > 0) g_temporaryName = fs::path(link).filename().string();
  if (g_fault.interruptions > 0) {
    --g_fault.interruptions;
    errno = EINTR;
    return -1;
  }
  if (g_fault.error != 0 && g_fault.budget == 0) {
    errno = g_fault.error;
    return -1;
  }
  const size_t n = std::min({size, g_fault.error != 0 ? g_fault.budget : size, g_fault.chunk});
  if (g_fault.error != 0) g_fault.budget -= n;
  return ::write(fd, data, n);
}

// On either back-end: the scripts are files below the scripts folder for both.
class DiskFaults : public ::testing::TestWithParam<std::tuple<test::Backend, WriteFault>> {
 protected:
  void SetUp() override {
    store_ = MakeStore(StoreOptions{ParseStoreLocation(test::NewStoreLocation(std::get<0>(GetParam()), dir_)), "tester"}, console_);
    store_->Open();
    ASSERT_EQ(store_->SaveScript("Old.java", "unittests\\bank", dsJavaScript, "old"), save_result::kStored);
    g_fault = std::get<1>(GetParam());
    store_->Scripts().SetWriteHook(FaultyWrite);
  }

  fs::path Folder() const { return dir_ / "store" / "scripts" / "java" / "unittests" / "bank"; }

  test::TempDir dir_{"diskfault"};
  test::ScriptedConsole console_;
  std::unique_ptr<StoreBase> store_;
  const std::string content_ = std::string(64 * 1024, 'x') + "\r\n";
};

TEST_P(DiskFaults, AFailedWriteChangesNothingAndSaysWhy) {
  const WriteFault& fault = std::get<1>(GetParam());
  const bool fails = *fault.reason != '\0';
  const auto before = Snapshot(dir_);

  // A new test: stored whole, or refused with one message naming the file
  // and the system's reason.
  const int32_t code = store_->SaveScript("New.java", "unittests\\bank", dsJavaScript, content_);
  pid_t writer = 0;
  EXPECT_TRUE(IsTemporaryFileName(g_temporaryName, writer)) << g_temporaryName;
  EXPECT_EQ(writer, ::getpid());
  if (!fails) {
    EXPECT_EQ(code, save_result::kStored);
    EXPECT_EQ(ReadAll(Folder() / "New.java"), content_);
    EXPECT_EQ(console_.Output(), "");
    EXPECT_EQ(store_->Failures(), 0);
    return;
  }
  EXPECT_EQ(code, save_result::kNotWritten);
  EXPECT_EQ(Lines(console_.Output()), 1) << console_.Output();
  EXPECT_NE(console_.Output().find((Folder() / "New.java").string()), std::string::npos) << console_.Output();
  EXPECT_NE(console_.Output().find(fault.reason), std::string::npos) << console_.Output();
  EXPECT_EQ(store_->Failures(), 1);

  // Replacing a test (the user says yes): the old text stays.
  g_fault = fault;
  console_.Answer("y");
  EXPECT_EQ(store_->SaveScript("Old.java", "unittests\\bank", dsJavaScript, content_), save_result::kNotWritten);
  EXPECT_EQ(store_->Failures(), 2);
  EXPECT_EQ(Snapshot(dir_), before) << "no temporary file, no half-written file";

  // The file-system object the add-in writes other files with.
  g_fault = fault;
  DiskFileSystem disk(dir_.string());
  disk.SetWriteHook(FaultyWrite);
  auto stream = disk.CreateTextFile((Folder() / "Project.vbp").string(), true);
  stream->WriteLine(content_);
  try {
    stream->Close();
    ADD_FAILURE() << "no error raised";
  } catch (const ZtError& e) {
    EXPECT_NE(e.Description().find(fault.reason), std::string::npos) << e.Description();
    EXPECT_NE(e.Number(), 0);
  }
  EXPECT_EQ(Snapshot(dir_), before);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, DiskFaults,
    ::testing::Combine(
        ::testing::Values(test::Backend::kFolder, test::Backend::kPostgres),
        ::testing::Values(WriteFault{"DiskFullAtOnce", 0, ENOSPC, SIZE_MAX, 0, "No space left on device"},
                          WriteFault{"DiskFullHalfway", 30000, ENOSPC, 4096, 0, "No space left on device"},
                          WriteFault{"DeviceFails", 1000, EIO, SIZE_MAX, 0, "Input/output error"},
                          WriteFault{"QuotaExceeded", 10, EDQUOT, SIZE_MAX, 0, "quota exceeded"},
                          WriteFault{"WriteMakesNoProgress", SIZE_MAX, 0, 0, 0, "Input/output error"},
                          WriteFault{"ShortWrites", SIZE_MAX, 0, 7, 0, ""},
                          WriteFault{"InterruptedWrites", SIZE_MAX, 0, SIZE_MAX, 3, ""})),
    [](const ::testing::TestParamInfo<std::tuple<test::Backend, WriteFault>>& param) {
      return std::string(std::get<1>(param.param).name) +
             (std::get<0>(param.param) == test::Backend::kFolder ? "Folder" : "Postgres");
    });

// -- A full database

TEST(DatabaseFaults, AFullDatabaseRefusesTheDatapoolAndKeepsItsBytes) {
  const test::TempDir dir("dbfull");
  test::ScriptedConsole console;
  SqliteStore store({ParseStoreLocation((dir / "store").string()), "tester"}, console);
  store.Open();
  WorkbenchDatapoolTool tool(console);
  ASSERT_EQ(tool.CreateDatapool(store.Connection(), "A_small", "d", R"([{"name":"x","type":"int","value":"1"}])"), 0);
  Database& db = DatabaseOf(store.Connection());
  // The database may grow by no page: as a disk that is full.
  Statement pages(db, "PRAGMA page_count");
  ASSERT_TRUE(pages.Step());
  Execute(db, ("PRAGMA max_page_count = " + std::to_string(pages.ColumnInt(0))).c_str());
  std::string fields = "[";
  for (int f = 0; f < 200; ++f) {
    fields += (f > 0 ? "," : "") + ("{\"name\":\"f" + std::to_string(f) + "\",\"value\":\"" + std::string(200, 'v') + "\"}");
  }
  fields += "]";
  const auto before = Snapshot(dir);

  std::string description;
  try {
    tool.CreateDatapool(store.Connection(), "A_big", "d", fields);
    ADD_FAILURE() << "no error raised";
  } catch (const ZtError& e) {
    EXPECT_EQ(e.Number(), errc::kPathFileAccessError);
    description = e.Description();
  }
  EXPECT_NE(description.find("full"), std::string::npos) << description;
  EXPECT_EQ(description.find('\n'), std::string::npos) << description;
  EXPECT_EQ(console.Output(), "") << "the caller reports the error, once";
  EXPECT_FALSE(LoadDatapool(db, "A_big"));
  EXPECT_TRUE(LoadDatapool(db, "A_small"));
  EXPECT_EQ(Snapshot(dir), before) << "the transaction was rolled back whole";
}

// -- A batch that cannot be made durable: told per datapool and per
// operation, never reported as stored

constexpr const char* kOneField = R"([{"name":"x","type":"int","value":"1"}])";

// A store in a fresh folder whose changes wait `patience` for other programs.
struct BatchStore {
  explicit BatchStore(const std::string& name, std::chrono::milliseconds patience = std::chrono::milliseconds(200))
      : dir(name), store(StoreOptions{ParseStoreLocation((dir / "store").string()), "tester", patience}, console), tool(console) {
    store.Open();
  }
  // Creates a datapool for each name, the n-th in operation n.
  void Create(const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      store.BeginOperation(static_cast<int32_t>(i + 1));
      ASSERT_EQ(tool.CreateDatapool(store.Connection(), names[i], "d", kOneField), datapool_result::kCreated);
    }
  }
  std::vector<std::string> Stored() const {
    std::unique_ptr<SqliteConnection> other = OpenSqliteStoreReadOnly((dir / "store").string());
    return DatapoolNames(*other);
  }
  test::TempDir dir;
  test::ScriptedConsole console;
  SqliteStore store;
  WorkbenchDatapoolTool tool;
};

// Another program reading the database in a transaction (as `sqlite3
// store.db` with "BEGIN; SELECT ...;" left open) until `End` or destruction.
class Reader {
 public:
  explicit Reader(const fs::path& database) {
    sqlite3_open_v2(database.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db_, "BEGIN; SELECT count(*) FROM datapools;", nullptr, nullptr, nullptr);
  }
  ~Reader() { End(); }
  void End() {
    if (db_ == nullptr) return;
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
};

TEST(BatchFaults, AReaderIsWaitedForWithinThePatience) {
  BatchStore s("busywait", std::chrono::milliseconds(10000));
  s.store.BeginBatch();
  ASSERT_NO_FATAL_FAILURE(s.Create({"A_one", "A_two"}));
  Reader reader(s.dir / "store" / "store.db");
  std::thread ends([&reader] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    reader.End();
  });
  EXPECT_EQ(s.store.EndBatch(), std::vector<int32_t>{}) << s.console.Output();
  ends.join();
  EXPECT_EQ(s.Stored(), (std::vector<std::string>{"A_one", "A_two"}));
  EXPECT_EQ(s.console.Output(), "");
  EXPECT_EQ(s.store.Failures(), 0);
}

TEST(BatchFaults, WhatCannotBeCommittedIsToldPerDatapoolAndNamesItsOperations) {
  BatchStore s("busylost");
  s.store.BeginBatch();
  ASSERT_NO_FATAL_FAILURE(s.Create({"A_one", "A_two", "A_three"}));
  {
    Reader reader(s.dir / "store" / "store.db");
    EXPECT_EQ(s.store.EndBatch(), (std::vector<int32_t>{1, 2, 3}));
  }
  EXPECT_EQ(s.Stored(), std::vector<std::string>{});
  const std::string database = (s.dir / "store" / "store.db").string();
  for (const char* name : {"A_one", "A_two", "A_three"}) {
    EXPECT_NE(s.console.Output().find(Text(WB_STORE_DATAPOOL_LOST, {name, database, "database is locked"})),
              std::string::npos)
        << s.console.Output();
  }
  EXPECT_EQ(Lines(s.console.Output()), 3);
  EXPECT_EQ(s.store.Failures(), 3);
  // The store goes on: the next batch is stored.
  s.store.BeginBatch();
  ASSERT_NO_FATAL_FAILURE(s.Create({"A_four"}));
  EXPECT_EQ(s.store.EndBatch(), std::vector<int32_t>{});
  EXPECT_EQ(s.Stored(), std::vector<std::string>{"A_four"});
}

TEST(BatchFaults, ADatabaseDamagedUnderTheRunIsToldAtItsEnd) {
  BatchStore s("truncated");
  s.store.BeginBatch();
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("A_op" + std::to_string(i));
  ASSERT_NO_FATAL_FAILURE(s.Create(names));
  s.store.Flush();
  ASSERT_EQ(s.console.Output(), "");
  // Another program truncates the database while the run goes on.
  ASSERT_EQ(::truncate((s.dir / "store" / "store.db").c_str(), 8192), 0);
  s.store.BeginOperation(301);
  try {
    s.tool.CreateDatapool(s.store.Connection(), "A_late", "d", kOneField);
  } catch (const ZtError&) {
    // reported by the run, as any failed datapool
  }
  s.store.EndBatch();
  EXPECT_GE(s.store.Failures(), 1);
  const std::string told = Text(WB_STORE_DAMAGED_AFTER_RUN, {(s.dir / "store" / "store.db").string(), ""});
  EXPECT_NE(s.console.Output().find(told.substr(0, told.find('('))), std::string::npos) << s.console.Output();
}

// -- Temporary files of killed writers

TEST(Temporaries, NamesCarryTheWritersProcess) {
  struct Name {
    const char* name;
    bool temporary;
    pid_t pid;
  };
  for (const Name& n : {Name{".Accountdeposit.java~4242~aB3xYz", true, 4242},
                        Name{".a.b~c.java~1~000000", true, 1},
                        Name{".Accountdeposit.java.k1ll3d", false, 0},   // an older kind of temporary
                        Name{"Accountdeposit.java~4242~aB3xYz", false, 0},  // no leading dot
                        Name{".x~4242~aB3xY", false, 0},                  // five random characters
                        Name{".x~42a2~aB3xYz", false, 0},
                        Name{".x~~aB3xYz", false, 0},
                        Name{".~4242~aB3xYz", false, 0},                  // no name
                        Name{".x~0~aB3xYz", false, 0},
                        Name{".x~99999999999~aB3xYz", false, 0}}) {
    pid_t pid = 0;
    EXPECT_EQ(IsTemporaryFileName(n.name, pid), n.temporary) << n.name;
    if (n.temporary) {
      EXPECT_EQ(pid, n.pid) << n.name;
    }
  }
}

// A writer whose process this one cannot see (another pid namespace, a
// container sharing the store) keeps its temporaries: while any store holds
// the store open, nobody sweeps.
TEST(Temporaries, NoneIsRemovedWhileAnotherStoreIsOpen) {
  const test::TempDir dir("sweeplock");
  test::ScriptedConsole console;
  SqliteStore running({ParseStoreLocation((dir / "store").string()), "tester"}, console);
  running.Open();
  const fs::path temporary =
      dir / "store" / "scripts" / "java" / (".Accountdeposit.java~" + std::to_string(EndedProcess()) + "~aB3xYz");
  WriteAll(temporary, "being written");
  SqliteStore({ParseStoreLocation((dir / "store").string()), "tester"}, console).Open();
  EXPECT_TRUE(fs::exists(temporary)) << "a store is open: its writer may still rename it";
  // The lock is shared: both stores stay usable at once.
  EXPECT_EQ(running.SaveScript("A.java", "unittests", dsJavaScript, "a"), save_result::kStored);
  running.EndBatch();
  {
    SqliteStore second({ParseStoreLocation((dir / "store").string()), "tester"}, console);
    second.Open();
    EXPECT_EQ(second.SaveScript("B.java", "unittests", dsJavaScript, "b"), save_result::kStored);
  }
  EXPECT_TRUE(fs::exists(temporary));
}

TEST(Temporaries, OpeningAStoreRemovesThoseOfEndedWritersInTheScriptRoots) {
  const test::TempDir dir("temporaries");
  test::ScriptedConsole console;
  SqliteStore({ParseStoreLocation((dir / "store").string()), "tester"}, console).Open();
  const fs::path deep = dir / "store" / "scripts" / "java" / "unittests" / "bank" / "core";
  const fs::path vb = dir / "store" / "scripts" / "vb" / "unittests";
  fs::create_directories(deep);
  fs::create_directories(vb);
  const std::string ended = std::to_string(EndedProcess());
  const std::string mine = std::to_string(::getpid());
  const std::vector<fs::path> stale = {deep / (".Accountdeposit.java~" + ended + "~aB3xYz"),
                                       vb / (".ICalcAdd.cls~" + ended + "~000000")};
  const std::vector<fs::path> kept = {
      deep / "Accountdeposit.java",
      deep / (".Accountwithdraw.java~" + mine + "~aB3xYz"),  // being written by a running process
      deep / ".Accountdeposit.java~1~aB3xYz",                  // process 1 always runs
      deep / ".Accountdeposit.java.k1ll3d",                    // not named by this program
      dir / "store" / (".notes~" + ended + "~aB3xYz"),         // outside the script roots
  };
  for (const fs::path& path : stale) WriteAll(path, "half of a te");
  for (const fs::path& path : kept) WriteAll(path, "kept");

  EXPECT_EQ(RemoveStaleTemporaries((dir / "nothing").string()), 0) << "a missing folder is passed over";
  SqliteStore({ParseStoreLocation((dir / "store").string()), "tester"}, console).Open();
  for (const fs::path& path : stale) EXPECT_FALSE(fs::exists(path)) << path;
  for (const fs::path& path : kept) EXPECT_EQ(ReadAll(path), "kept") << path;
  EXPECT_EQ(console.Output(), "");
}

// The script folders of a store are its own: a symbolic link in their
// place (to a folder outside, where the sweep would delete a user's file
// named like a temporary) is refused, and nothing is written or removed there.
TEST(StoreFoldersLinks, ScriptFoldersThatAreSymbolicLinksAreRefused) {
  for (const char* part : {"scripts", "scripts/java", "scripts/vb"}) {
    const test::TempDir dir("linkedroot");
    test::ScriptedConsole console;
    SqliteStore({ParseStoreLocation((dir / "store").string()), "tester"}, console).Open();
    fs::create_directories(dir / "outside");
    const std::string ended = std::to_string(EndedProcess());
    WriteAll(dir / "outside" / (".notes~" + ended + "~abcdef"), "a user's notes");
    fs::remove_all(dir / "store" / part);
    fs::create_directory_symlink(dir / "outside", dir / "store" / part);
    if (std::string(part) == "scripts") {
      fs::create_directories(dir / "outside" / "java");
      WriteAll(dir / "outside" / "java" / (".notes~" + ended + "~abcdef"), "a user's notes");
    }
    const auto before = Snapshot(dir);

    const std::optional<std::string> problem = StoreFolderProblem((dir / "store").string());
    ASSERT_TRUE(problem) << part;
    EXPECT_NE(problem->find((dir / "store" / part).string() + ": " + Text(WB_STORE_SYMLINK_FOLDER)), std::string::npos)
        << *problem;
    std::string opened;
    const auto open = [&] { SqliteStore({ParseStoreLocation((dir / "store").string()), "tester"}, console).Open(); };
    EXPECT_EQ(test::ErrorNumberOf(open, &opened), errc::kPathFileAccessError) << part;
    EXPECT_NE(opened.find(Text(WB_STORE_SYMLINK_FOLDER)), std::string::npos) << opened;
    EXPECT_EQ(Snapshot(dir), before) << part;
  }
}

// -- Store folders that cannot be used

struct BrokenStore {
  const char* name;
  std::function<void(const fs::path& store)> make;  // spoils the working store "store"
  const char* at;                                    // the store folder given, below the test folder
  const char* named;                                 // the path the message names; null: no problem
  const char* says;                                  // what it says of it
};

std::ostream& operator<<(std::ostream& out, const BrokenStore& b) { return out << b.name; }

class StoreFolders : public ::testing::TestWithParam<BrokenStore> {};

TEST_P(StoreFolders, AreRefusedBeforeAnythingIsWrittenWithTheReason) {
  const BrokenStore& broken = GetParam();
  const test::TempDir dir("storefolder");
  test::ScriptedConsole console;
  const fs::path store = dir / "store";
  {
    SqliteStore made({ParseStoreLocation(store.string()), "tester"}, console);
    made.Open();
    WorkbenchDatapoolTool(console).CreateDatapool(made.Connection(), "A_a", "d", R"([{"name":"x"}])");
  }
  broken.make(store);
  const auto before = Snapshot(dir);

  const std::optional<std::string> problem = StoreFolderProblem((dir / broken.at).string());
  EXPECT_EQ(Snapshot(dir), before) << "looking changes nothing";
  std::string opened;
  auto open = [&] { SqliteStore({ParseStoreLocation((dir / broken.at).string()), "tester"}, console).Open(); };
  const int32_t number = test::ErrorNumberOf(open, &opened);
  if (broken.named == nullptr) {
    EXPECT_FALSE(problem) << *problem;
    EXPECT_EQ(number, 0) << "the store opens: " << opened;
    return;
  }
  ASSERT_TRUE(problem) << "not refused";
  EXPECT_EQ(problem->find('\n'), std::string::npos) << *problem;
  EXPECT_NE(problem->find((dir / broken.named).string() + ": " + broken.says), std::string::npos) << *problem;
  // What is refused here, opening the store fails on too, naming the same part.
  EXPECT_EQ(number, errc::kPathFileAccessError) << opened;
  EXPECT_NE(opened.find((dir / broken.named).string()), std::string::npos) << opened;
  EXPECT_EQ(Snapshot(dir), before) << "and a failed open changes nothing either";
}

// A database file with `offset` and following bytes overwritten.
void Spoil(const fs::path& database, std::streamoff offset, size_t count) {
  std::fstream file(database, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(offset);
  file << std::string(count, '\xFF');
}

// Replaces the folder `part` of a store with a file.
std::function<void(const fs::path&)> FileInstead(const char* part) {
  return [part](const fs::path& store) {
    fs::remove_all(store / part);
    WriteAll(store / part, "x");
  };
}

// Makes a store's database one of a newer version, its script folders
// removed when `withoutScripts`.
std::function<void(const fs::path&)> NewerDatabase(bool withoutScripts) {
  return [withoutScripts](const fs::path& store) {
    if (withoutScripts) fs::remove_all(store / "scripts");
    sqlite3* db = nullptr;
    sqlite3_open((store / "store.db").c_str(), &db);
    sqlite3_exec(db, "INSERT INTO schema_version VALUES (99, 'later')", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  };
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, StoreFolders,
    ::testing::Values(
        BrokenStore{"Healthy", [](const fs::path&) {}, "store", nullptr, ""},
        BrokenStore{"NotMadeYet", [](const fs::path&) {}, "new/store", nullptr, ""},
        BrokenStore{"BelowAFile", [](const fs::path& s) { WriteAll(s.parent_path() / "plain", "x"); }, "plain/store",
                    "plain", "it is not a folder"},
        BrokenStore{"IsAFile", [](const fs::path& s) { WriteAll(s.parent_path() / "plain", "x"); }, "plain", "plain",
                    "it is not a folder"},
        BrokenStore{"DatabaseIsAFolder",
                    [](const fs::path& s) {
                      fs::remove(s / "store.db");
                      fs::create_directory(s / "store.db");
                    },
                    "store", "store/store.db", "it is not a file"},
        BrokenStore{"ScriptsIsAFile", FileInstead("scripts"), "store", "store/scripts", "it is not a folder"},
        BrokenStore{"JavaRootIsAFile", FileInstead("scripts/java"), "store", "store/scripts/java",
                    "it is not a folder"},
        BrokenStore{"VisualBasicRootIsAFile", FileInstead("scripts/vb"), "store", "store/scripts/vb",
                    "it is not a folder"},
        BrokenStore{"DatabaseIsNoDatabase", [](const fs::path& s) { WriteAll(s / "store.db", std::string(8192, 'z')); },
                    "store", "store/store.db", "the database is damaged (file is not a database)"},
        BrokenStore{"DatabaseTruncated", [](const fs::path& s) { fs::resize_file(s / "store.db", 1500); }, "store",
                    "store/store.db", "the database is damaged"},
        BrokenStore{"DatabasePageDamaged", [](const fs::path& s) { Spoil(s / "store.db", 4096 * 3, 4096); }, "store",
                    "store/store.db", "the database is damaged"},
        BrokenStore{"DatabaseFromANewerProgram", NewerDatabase(false), "store", "store/store.db",
                    "it was made by a newer ztunittest (store version 99"},
        // Nothing is made for a store that is refused, its script folders neither.
        BrokenStore{"DatabaseFromANewerProgramWithoutScripts", NewerDatabase(true), "store", "store/store.db",
                    "it was made by a newer ztunittest (store version 99"}),
    [](const ::testing::TestParamInfo<BrokenStore>& param) { return std::string(param.param.name); });

// As a user without privileges (root writes through permission bits): asks
// for the problem of `store`, printing it, and opens the store; exits 0 when
// both refuse it.
[[noreturn]] void RefusedUnprivileged(const fs::path& store) {
  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(3);
  const std::optional<std::string> problem = StoreFolderProblem(store.string());
  if (problem) std::fprintf(stderr, "%s\n", problem->c_str());
  test::ScriptedConsole console;
  const int32_t opened = test::ErrorNumberOf([&] { SqliteStore({ParseStoreLocation(store.string()), "tester"}, console).Open(); });
  std::_Exit(problem && opened == errc::kPathFileAccessError ? 0 : 1);
}

TEST(StoreFoldersDeathTest, ReadOnlyPartsAreNamed) {
  const test::TempDir dir("readonlyparts");
  test::ScriptedConsole console;
  for (const char* name : {"folder", "database", "root"}) SqliteStore({ParseStoreLocation((dir / name).string()), "tester"}, console).Open();
  const auto all = fs::perms::all;
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec;
  for (const char* name : {"database", "root"}) {
    fs::permissions(dir / name, all);
    for (const auto& entry : fs::recursive_directory_iterator(dir / name)) fs::permissions(entry.path(), all);
  }
  fs::create_directories(dir / "fresh");  // no store made yet
  for (const char* name : {"folder", "fresh"}) fs::permissions(dir / name, readOnly);
  fs::permissions(dir / "database" / "store.db", fs::perms::owner_read | fs::perms::others_read);
  fs::permissions(dir / "root" / "store.db", all);
  fs::permissions(dir / "root" / "scripts" / "java", readOnly);
  const auto before = Snapshot(dir);
  const std::string cannot = Text(WB_STORE_READ_ONLY);
  for (const auto& [store, named] : {std::pair{dir / "folder", dir / "folder"},
                                     {dir / "fresh", dir / "fresh"},
                                     {dir / "database", dir / "database" / "store.db"},
                                     {dir / "root", dir / "root" / "scripts" / "java"}}) {
    EXPECT_EXIT(RefusedUnprivileged(store), ::testing::ExitedWithCode(0), named.string() + ": " + cannot);
  }
  EXPECT_EQ(Snapshot(dir), before);
}

}  // namespace
}  // namespace zt::wb
