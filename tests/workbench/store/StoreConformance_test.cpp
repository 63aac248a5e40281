// What every store does, whichever back-end it has (a store folder, a
// PostgreSQL database with its scripts folder): login, path checks, atomic
// writes, the replace question, script names within and across sessions and
// batches, another writer taking a script's name meanwhile. Each test works
// in a fresh temporary folder (and a fresh schema of the tests' cluster).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "TestUtil.h"
#include "fakes/ScriptedConsole.h"
#include "support/Error.h"
#include "workbench/store/StoreBackends.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/scripts/UserRegions.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/terminal/Answers.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;
using test::ErrorNumberOf;
using test::ReadAll;
using test::ScopedEnv;
using test::WriteAll;

// The paths below `dir` (symlinks not followed).
std::set<std::string> Tree(const fs::path& dir) {
  std::set<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) paths.insert(entry.path().string());
  return paths;
}

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

class Store : public test::OnEitherBackend {
 protected:
  void SetUp() override {
    store_ = MakeStore("tester");
    store_->Open();
  }
  std::unique_ptr<StoreBase> MakeStore(std::optional<std::string> user) {
    return OnEitherBackend::MakeStore(std::move(user), console_);
  }
  int32_t Save(const std::string& file, const std::string& folder, const std::string& content,
               dsScriptType type = dsJavaScript) {
    return store_->SaveScript(file, folder, type, content);
  }
  std::string Suffix(const std::string& base, const std::string& folder, dsScriptType type = dsJavaScript) {
    return store_->MakeScriptName(base, folder, type);
  }

  void NamesLeavingTheRootAreRefused(bool openat2);
  void AFolderSwappedForALinkDuringARunLetsNothingOut(bool openat2);

  test::ScriptedConsole console_;
  std::unique_ptr<StoreBase> store_;
};
ZT_ON_EITHER_BACKEND(Store);

TEST_P(Store, OpenMakesTheLayoutAndFoldersMapBelowTheRootOfTheirType) {
  if (GetParam() == test::Backend::kFolder) {
    EXPECT_TRUE(fs::is_regular_file(dir_ / "store" / "store.db"));
  }
  EXPECT_EQ(store_->ScriptRoot(dsJavaScript), JavaRoot().string() + "/");
  EXPECT_EQ(store_->ScriptRoot(dsVisualBasicScript), (VbRoot()).string() + "/");
  EXPECT_EQ(ErrorNumberOf([&] { store_->ScriptRoot(7); }), errc::kInvalidCall);

  EXPECT_EQ(Save("Accountdeposit.java", "unittests\\bank\\core", "A"), 0);
  EXPECT_EQ(ReadAll(JavaTests() / "bank" / "core" / "Accountdeposit.java"), "A");
  EXPECT_EQ(Save("a..b.java", "unittests\\\\.\\p..q/", "dots"), 0) << "dots in names are no traversal";
  EXPECT_EQ(ReadAll(JavaTests() / "p..q" / "a..b.java"), "dots");
  EXPECT_EQ(Save("ICalcAdd.cls", "unittests\\Maths", "vb", dsVisualBasicScript), 0);
  EXPECT_EQ(ReadAll(VbRoot() / "unittests" / "Maths" / "ICalcAdd.cls"), "vb");
  EXPECT_EQ(console_.Output(), "");

  // A second store opens it again (a repeated migration step fails), and
  // records its user and its session.
  store_ = MakeStore("other");
  store_->Open();
  EXPECT_EQ(store_->UserName(), "other");
  Database& db = DatabaseOf(store_->Connection());
  Statement last(db, "SELECT value FROM store_info WHERE key = 'last_user'");
  ASSERT_TRUE(last.Step());
  EXPECT_EQ(last.ColumnText(0), "other");
  // A project keeps no sessions: nothing of a machine or a moment is in its files.
  Statement sessions(db, "SELECT \"user\", client, closed FROM sessions ORDER BY id");
  for (const char* user : {"tester", "other"}) {
    if (GetParam() == test::Backend::kProject && std::string(user) == "tester") continue;
    ASSERT_TRUE(sessions.Step());
    EXPECT_EQ(sessions.ColumnText(0), user);
    EXPECT_NE(sessions.ColumnText(1).find(" process " + std::to_string(::getpid())), std::string::npos);
    EXPECT_EQ(sessions.ColumnText(2).empty(), std::string(user) == "other") << "closed when the store went";
  }
  EXPECT_EQ(ErrorNumberOf([] { DatabaseOf(nullptr); }), errc::kObjectNotSet);
}

// Each path test runs as on a kernel without openat2 too: there no symbolic
// link below a root is followed at all.
TEST_P(Store, NamesLeavingTheRootAreRefused) { NamesLeavingTheRootAreRefused(true); }
TEST_P(Store, NamesLeavingTheRootAreRefusedWithoutOpenat2) { NamesLeavingTheRootAreRefused(false); }

void Store::NamesLeavingTheRootAreRefused(bool openat2) {
  store_->Scripts().Resolver().UseOpenat2(openat2);
  fs::create_directories(dir_ / "outside");
  fs::create_directories(JavaTests() / "real");
  fs::create_directory_symlink(dir_ / "outside", JavaTests() / "evil");
  fs::create_directory_symlink("real", JavaTests() / "alias");
  // An absolute link cannot be resolved below the root, even to a folder in it.
  fs::create_directory_symlink(JavaTests() / "real", JavaTests() / "absolute");
  WriteAll(dir_ / "secret.txt", "secret");
  fs::create_symlink(dir_ / "secret.txt", JavaTests() / "Leak.java");
  const std::set<std::string> before = Tree(dir_);

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"x.java", "unittests\\..\\..\\..\\outside"},
      {"x.java", "unittests\\bank\\.."},  // a package named ".."
      {"..", "unittests"},                // a class named ".."
      {"../x.java", "unittests"},
      {"x.java", "\\outside"},
      {"x.java", "/tmp"},
      {"x.java", "C:\\outside"},
      {"C:x.java", "unittests"},
      {"", "unittests"},
      {"a\\b.java", "unittests"},
      {"x.java", "unittests\\evil\\deeper"},  // through a symlink leading out
      {"Leak.java", "unittests"},             // a symlink to a file outside
      {"x.java", "unittests\\absolute"},
  };
  for (const auto& [file, folder] : refused) {
    console_.ClearOutput();
    EXPECT_EQ(Save(file, folder, "content"), save_result::kNotWritten) << folder << " | " << file;
    const std::string& output = console_.Output();
    EXPECT_TRUE(!output.empty() && output.find('\n') == output.size() - 1) << "one message line: " << output;
  }
  EXPECT_EQ(Tree(dir_), before);
  EXPECT_EQ(ReadAll(dir_ / "secret.txt"), "secret");

  // A relative symlink that stays inside the root is fine, where the kernel
  // can tell (else no link is followed at all).
  if (!store_->Scripts().Resolver().ResolvesBeneath()) {
    EXPECT_EQ(Save("In.java", "unittests\\alias", "in"), save_result::kNotWritten);
    EXPECT_EQ(Tree(dir_), before);
    if (openat2) GTEST_SKIP() << "this kernel has no openat2: symbolic links below a root are refused";
    return;
  }
  EXPECT_EQ(Save("In.java", "unittests\\alias", "in"), 0);
  EXPECT_EQ(ReadAll(JavaTests() / "real" / "In.java"), "in");
}

// Deletes (the resource compiler run's) keep to the root as writes do.
TEST_P(Store, DeletesAndTestsForScriptsKeepToTheRoot) {
  fs::create_directories(dir_ / "outside");
  WriteAll(dir_ / "outside" / "victim.res", "outside");
  fs::create_directory_symlink(dir_ / "outside", JavaRoot() / "evil");
  fs::create_symlink(dir_ / "outside" / "victim.res", JavaRoot() / "Link.res");
  ASSERT_EQ(Save("A.res", "unittests", "a"), 0);
  fs::create_directories(JavaRoot() / "sub");
  console_.ClearOutput();

  struct Case {
    const char* file;
    const char* folder;
    int32_t result;
    bool exists;
  };
  for (const Case& c : {Case{"victim.res", "unittests\\..\\..\\..\\..\\outside", delete_result::kNotDeleted, false},
                        Case{"victim.res", "evil", delete_result::kNotDeleted, false},
                        Case{"victim.res", "C:\\outside", delete_result::kNotDeleted, false},
                        Case{"gone.res", "unittests", delete_result::kNoSuchFile, false},
                        Case{"gone.res", "unittests\\nowhere", delete_result::kNoSuchFile, false},
                        Case{"sub", "", delete_result::kNotDeleted, false},  // a folder
                        Case{"A.res", "unittests", delete_result::kDeleted, true}}) {
    EXPECT_EQ(store_->ScriptExists(c.file, c.folder, dsJavaScript), c.exists) << c.folder << " | " << c.file;
    EXPECT_EQ(store_->DeleteScript(c.file, c.folder, dsJavaScript), c.result) << c.folder << " | " << c.file;
  }
  EXPECT_FALSE(fs::exists(JavaTests() / "A.res"));
  EXPECT_EQ(Lines(console_.Output()), 4) << console_.Output();
  // A link is removed itself, never what it leads to.
  EXPECT_FALSE(store_->ScriptExists("Link.res", "", dsJavaScript));
  EXPECT_EQ(store_->DeleteScript("Link.res", "", dsJavaScript), delete_result::kDeleted);
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(JavaRoot() / "Link.res")));
  EXPECT_EQ(ReadAll(dir_ / "outside" / "victim.res"), "outside");
}

// A folder swapped for a symbolic link while the store is open (between two
// scripts, or between writing a script of a batch and giving it its name)
// lets nothing out: the store resolves every path again, below the root it
// holds open.
TEST_P(Store, AFolderSwappedForALinkDuringARunLetsNothingOut) { AFolderSwappedForALinkDuringARunLetsNothingOut(true); }
TEST_P(Store, AFolderSwappedForALinkDuringARunLetsNothingOutWithoutOpenat2) {
  AFolderSwappedForALinkDuringARunLetsNothingOut(false);
}

void Store::AFolderSwappedForALinkDuringARunLetsNothingOut(bool openat2) {
  store_->Scripts().Resolver().UseOpenat2(openat2);
  fs::create_directories(dir_ / "outside");
  const fs::path package = JavaTests() / "p";
  const auto swap = [&] {
    fs::remove_all(package);
    fs::create_directory_symlink(dir_ / "outside", package);
  };
  ASSERT_EQ(Save("A.java", "unittests\\p", "a"), 0);
  swap();
  console_.ClearOutput();
  EXPECT_EQ(Save("B.java", "unittests\\p", "b"), save_result::kNotWritten);
  EXPECT_TRUE(store_->LastSaveFailed());
  EXPECT_NE(console_.Output().find("outside the script folder"), std::string::npos) << console_.Output();

  fs::remove(package);
  store_->BeginBatch();
  store_->BeginOperation(7);
  ASSERT_EQ(Save("C.java", "unittests\\p", "c"), 0);
  swap();
  console_.ClearOutput();
  EXPECT_EQ(store_->EndBatch(), std::vector<int32_t>{7}) << "the script lost names its operation";
  EXPECT_NE(console_.Output().find((package / "C.java").string() + " was not written"), std::string::npos)
      << console_.Output();
  EXPECT_TRUE(fs::is_empty(dir_ / "outside"));
  EXPECT_EQ(store_->Failures(), 2);
}

TEST_P(Store, ExistingFilesAreReplacedOnlyOnYes) {
  const fs::path file = JavaTests() / "A.java";
  ASSERT_EQ(Save("A.java", "unittests", "old"), 0);
  // The same text again: nothing is written, nothing asked.
  const auto past = fs::last_write_time(file) - std::chrono::hours(1);
  fs::last_write_time(file, past);
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  EXPECT_EQ(Save("A.java", "unittests", "old"), 0);
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(fs::last_write_time(file), past);
  EXPECT_EQ(console_.Reads(), 0);

  // For one item the answers for all are not offered, so "a" is unknown.
  for (const char* answer : {"a", "n", "c"}) console_.Answer(answer);
  EXPECT_EQ(Save("A.java", "unittests", "new"), save_result::kNotWritten);
  EXPECT_EQ(console_.Reads(), 2);
  EXPECT_NE(console_.Output().find(Text(WB_STORE_REPLACE_QUESTION, {file.string()})), std::string::npos);
  EXPECT_EQ(Save("A.java", "unittests", "new"), save_result::kCancelled);
  EXPECT_EQ(Save("A.java", "unittests", "new"), save_result::kNotWritten) << "end of input keeps the file";
  EXPECT_EQ(ReadAll(file), "old");
  console_.Answer("Yes");
  EXPECT_EQ(Save("A.java", "unittests", "new"), 0);
  EXPECT_EQ(ReadAll(file), "new");
  EXPECT_EQ(Names(file.parent_path()), std::set<std::string>{"A.java"});
}

// Regenerating a test: another date alone, or edits in the user regions,
// leave the file as it is, unasked; a change elsewhere replaces it unasked
// while it was not edited outside its regions, else is asked about, and
// "yes" keeps the regions; a region the new text lacks, or regions that are
// malformed, are named, and asked about even after "yes to all".
TEST_P(Store, RegenerationKeepsTheUserRegionsAndIgnoresTheDate) {
  const fs::path file = JavaTests() / "A.java";
  const auto text = [](const std::string& date, const std::string& call, const std::string& setup) {
    return "// generated " + date + ".\r\nclass A {\r\n    // user code begin: setup\r\n" + setup +
           "    // user code end: setup\r\n    " + call + "\r\n}\r\n";
  };
  const auto save = [&](const std::string& content, const std::string& date) {
    return store_->SaveGeneratedScript("A.java", "unittests", dsJavaScript, content, {date});
  };
  const std::string setup = "        a = 7;\n";
  ASSERT_EQ(save(text("1/2/25 10:11:12", "f(a);", ""), "1/2/25 10:11:12"), 0);
  const std::string edited = text("1/2/25 10:11:12", "f(a);", setup);
  WriteAll(file, edited);
  const auto past = fs::last_write_time(file) - std::chrono::hours(1);
  fs::last_write_time(file, past);
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);

  EXPECT_EQ(save(text("12/08/26 07:00:00", "f(a);", ""), "12/08/26 07:00:00"), 0);
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(fs::last_write_time(file), past) << "not written again";
  EXPECT_EQ(ReadAll(file), edited);
  EXPECT_EQ(console_.Reads(), 0);
  EXPECT_EQ(console_.Output(), "");

  // Without the date texts another date is a change; the file was not edited
  // outside its region since it was generated, so the new text, made to be
  // generated again, is written unasked, the region carried. So is a model change.
  EXPECT_EQ(Save("A.java", "unittests", text("12/08/26 07:00:00", "f(a);", "")), 0);
  EXPECT_EQ(ReadAll(file), text("12/08/26 07:00:00", "f(a);", setup));
  EXPECT_EQ(save(text("12/08/26 07:00:00", "f(a, b);", ""), "12/08/26 07:00:00"), 0);
  EXPECT_EQ(ReadAll(file), text("12/08/26 07:00:00", "f(a, b);", setup));
  EXPECT_EQ(console_.Reads(), 0);

  // A file the store did not write has no record: asked about.
  const fs::path other = JavaTests() / "B.java";
  WriteAll(other, text("1/2/25 10:11:12", "g();", ""));
  console_.Answer("n");
  EXPECT_EQ(store_->SaveGeneratedScript("B.java", "unittests", dsJavaScript, text("1/2/25 10:11:12", "g(x);", ""), {}),
            save_result::kNotWritten);
  EXPECT_EQ(console_.Reads(), 1);
  EXPECT_EQ(ReadAll(other), text("1/2/25 10:11:12", "g();", ""));

  // Edited outside its region: the model's change is asked about, and "yes to all" keeps the region.
  WriteAll(file, ReadAll(file) + "// mine\r\n");
  store_->SetMultipleItems(true);
  console_.Answer("a");
  EXPECT_EQ(save(text("12/08/26 07:00:00", "f(a, c);", ""), "12/08/26 07:00:00"), 0);
  EXPECT_NE(console_.Output().find(Text(WB_STORE_REPLACE_QUESTION, {file.string()})), std::string::npos);
  EXPECT_EQ(ReadAll(file), text("12/08/26 07:00:00", "f(a, c);", setup));
  EXPECT_EQ(console_.Reads(), 2);

  // A new text without the region: asked after "yes to all", naming it; the end of input keeps the file.
  const std::string kept = ReadAll(file);
  console_.ClearOutput();
  EXPECT_EQ(save("// generated 12/09/26 07:00:00.\r\nclass A {}\r\n", "12/09/26 07:00:00"), save_result::kNotWritten);
  EXPECT_EQ(console_.Reads(), 3);
  EXPECT_NE(console_.Output().find(Text(WB_STORE_REPLACE_LOSES_REGIONS, {file.string(), "setup"})), std::string::npos);
  EXPECT_EQ(ReadAll(file), kept);

  // Malformed regions in the stored file: nothing carried, the fault named; "yes" replaces.
  WriteAll(file, "// user code begin: setup\r\n        a = 7;\r\n");
  console_.ClearOutput();
  console_.Answer("y");
  EXPECT_EQ(save(text("12/09/26 07:00:00", "f(a, b);", ""), "12/09/26 07:00:00"), 0);
  EXPECT_NE(
      console_.Output().find(Text(WB_STORE_REPLACE_BAD_REGIONS, {file.string(), Text(WB_REGION_UNCLOSED, {"setup"})})),
      std::string::npos);
  EXPECT_EQ(ReadAll(file), text("12/09/26 07:00:00", "f(a, b);", ""));
  EXPECT_EQ(console_.Reads(), 4);
  EXPECT_EQ(Names(file.parent_path()), (std::set<std::string>{"A.java", "B.java"}));
}

// A folder a session makes is not looked in for a name the session has not
// stored there; what another writer puts there meanwhile is still compared
// before it is replaced, and the next session looks again.
TEST_P(Store, AFolderASessionMadeIsLookedInAgainByTheNextSession) {
  const fs::path folder = JavaTests() / "made";
  const auto text = [](const std::string& call, const std::string& setup) {
    return "class A {\n    // user code begin: setup\n" + setup + "    // user code end: setup\n    " + call + "\n}\n";
  };
  const auto save = [&](const std::string& name, const std::string& content) {
    return store_->SaveGeneratedScript(name, "unittests\\made", dsJavaScript, content, {});
  };
  ASSERT_EQ(save("A.java", text("f();", "")), 0);
  WriteAll(folder / "B.java", "theirs");
  console_.Answer("n");
  EXPECT_EQ(save("B.java", text("g();", "")), save_result::kNotWritten);
  EXPECT_EQ(console_.Reads(), 1);
  EXPECT_EQ(ReadAll(folder / "B.java"), "theirs");
  EXPECT_EQ(Names(folder), (std::set<std::string>{"A.java", "B.java"})) << "no temporary left";

  WriteAll(folder / "A.java", text("f();", "        a = 7;\n"));
  store_->ResetSession();
  EXPECT_EQ(save("A.java", text("f(a);", "")), 0);
  EXPECT_EQ(ReadAll(folder / "A.java"), text("f(a);", "        a = 7;\n")) << "the region carried, unasked";
  EXPECT_EQ(console_.Reads(), 1);
}

// What was generated is recorded in the store, written with a run's batch,
// and every user of the store goes by it: another user's run takes a model
// change unasked, and never replaces a test someone edited outside its
// regions.
TEST_P(Store, EveryUserGoesByWhatTheStoreRecordedAsGenerated) {
  const auto text = [](const std::string& name, const std::string& call) {
    return "class " + name + " {\n  // user code begin: setup\n  // user code end: setup\n  " + call + "\n}\n";
  };
  store_->BeginBatch();
  for (const char* name : {"A", "B"}) ASSERT_EQ(Save(std::string(name) + ".java", "unittests", text(name, "f();")), 0);
  store_->EndBatch();
  store_ = MakeStore("other");
  store_->Open();
  const fs::path folder = JavaTests();
  WriteAll(folder / "B.java", text("B", "f();") + "// mine\n");
  store_->BeginBatch();
  EXPECT_EQ(Save("A.java", "unittests", text("A", "f(x);")), 0);
  EXPECT_EQ(Save("B.java", "unittests", text("B", "f(x);")), save_result::kNotWritten) << "end of input keeps it";
  store_->EndBatch();
  EXPECT_EQ(console_.Reads(), 1);
  EXPECT_NE(console_.Output().find(Text(WB_STORE_REPLACE_QUESTION, {(folder / "B.java").string()})), std::string::npos);
  EXPECT_EQ(ReadAll(folder / "A.java"), text("A", "f(x);"));
  EXPECT_EQ(ReadAll(folder / "B.java"), text("B", "f();") + "// mine\n");

  // The records: one per script written, by its path below the root.
  Statement records(DatabaseOf(store_->Connection()), "SELECT type, path, digest FROM generated_scripts ORDER BY path");
  std::vector<std::string> rows;
  while (records.Step()) rows.push_back(records.ColumnText(0) + " " + records.ColumnText(1) + " " + records.ColumnText(2));
  const std::string below = GetParam() == test::Backend::kProject ? "" : "unittests/";
  EXPECT_EQ(rows, (std::vector<std::string>{"0 " + below + "A.java " + *GeneratedDigest(text("A", "f(x);")),
                                            "0 " + below + "B.java " + *GeneratedDigest(text("B", "f();"))}));
}

// What regeneration must never do: take a note typed beside the generation
// date for a date (and then record the edited file as generated, so that
// the next model change replaces it unasked), let an answer given in advance
// replace a file whose user regions would be lost, take other line ends for
// an edit, or change the permissions of the file it replaces.
TEST_P(Store, RegenerationNeverLosesAHandEdit) {
  const fs::path file = JavaTests() / "A.java";
  const auto text = [](const std::string& date, const std::string& call) {
    return "// generated " + date + "\r\nclass A {\r\n  // user code begin: setup\r\n  // user code end: setup\r\n  " +
           call + "\r\n}\r\n";
  };
  const auto save = [&](const std::string& content, const std::string& date) {
    return store_->SaveGeneratedScript("A.java", "unittests", dsJavaScript, content, {date});
  };
  const std::string d1 = "01/01/70 00:00:00";
  const std::string d2 = "12/08/26 07:00:00";

  // A note beside the date: never recorded as generated, so each model change asks (and the end of input keeps it).
  for (const std::string note : {" -- reviewed by Bob, ticket 4711", " -- Bob"}) {
    fs::remove(file);
    ASSERT_EQ(save(text(d1, "f();"), d1), 0);
    const std::string edited = text(d1 + note, "f();");
    WriteAll(file, edited);
    const int reads = console_.Reads();
    EXPECT_EQ(save(text(d2, "f();"), d2), note.size() > 10 ? save_result::kNotWritten : 0) << note;
    EXPECT_EQ(save(text(d2, "f(x);"), d2), save_result::kNotWritten) << note;
    EXPECT_EQ(ReadAll(file), edited) << note;
    EXPECT_EQ(console_.Reads() - reads, note.size() > 10 ? 2 : 1) << note;
  }

  // Replacing loses a region's code: "replace=all" given in advance does not answer that; the end of input keeps it.
  PresetAnswers presets;
  ASSERT_FALSE(presets.Add("replace=all"));
  console_.SetPresets(&presets);
  store_->SetMultipleItems(true);
  const std::string withCode = "// generated " + d1 + "\r\nclass A {\r\n  // user code begin: setup\r\n  a = 7;\r\n" +
                               "  // user code end: setup\r\n}\r\n";
  const std::string broken = "// user code begin: setup\r\n  a = 7;\r\n";
  for (const std::string& stored : {withCode, broken}) {
    WriteAll(file, stored);
    const int reads = console_.Reads();
    EXPECT_EQ(save("// generated " + d2 + "\r\nclass A {}\r\n", d2), save_result::kNotWritten);
    EXPECT_EQ(ReadAll(file), stored);
    EXPECT_EQ(console_.Reads(), reads + 1) << "asked on the terminal";
  }
  // An ordinary replacement still takes the answer given in advance.
  WriteAll(file, "old\r\n");
  EXPECT_EQ(save(text(d2, "f();"), d2), 0);
  EXPECT_EQ(ReadAll(file), text(d2, "f();"));
  console_.SetPresets(nullptr);
  store_->SetMultipleItems(false);

  // Saved with LF by an editor: the same text, and a model change replaces it unasked, in its own line ends.
  const auto lf = [](std::string crlf) {
    std::erase(crlf, '\r');
    return crlf;
  };
  fs::remove(file);
  ASSERT_EQ(save(text(d1, "f();"), d1), 0);
  WriteAll(file, lf(text(d1, "f();")));
  const int reads = console_.Reads();
  EXPECT_EQ(save(text(d2, "f();"), d2), 0);
  EXPECT_EQ(ReadAll(file), lf(text(d1, "f();"))) << "not written";
  EXPECT_EQ(save(text(d2, "f(x);"), d2), 0);
  EXPECT_EQ(ReadAll(file), lf(text(d2, "f(x);")));
  EXPECT_EQ(save(text(d2, "f(y);"), d2), 0) << "and again";
  EXPECT_EQ(ReadAll(file), lf(text(d2, "f(y);")));
  EXPECT_EQ(console_.Reads(), reads);

  // Permissions: a replaced file keeps its own; one without write permission is not replaced (even by root).
  for (const fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0444)}) {
    fs::remove(file);
    ASSERT_EQ(save(text(d1, "f();"), d1), 0);
    fs::permissions(file, mode);
    const bool writable = (mode & fs::perms::owner_write) != fs::perms::none;
    EXPECT_EQ(save(text(d2, "g();"), d2), writable ? 0 : save_result::kNotWritten) << static_cast<int>(mode);
    EXPECT_EQ(ReadAll(file), text(writable ? d2 : d1, writable ? "g();" : "f();")) << static_cast<int>(mode);
    EXPECT_EQ(fs::status(file).permissions(), mode);
    fs::permissions(file, fs::perms(0644));
  }
  EXPECT_NE(console_.Output().find(Text(WB_STORE_WRITE_FAILED, {file.string(), std::strerror(EACCES)})),
            std::string::npos);
  EXPECT_EQ(Names(file.parent_path()), std::set<std::string>{"A.java"});
}

// A test and its datapool are decided together: in a batch that awaits
// verdicts an operation's scripts wait, even through a finish before a
// question, until its datapool is decided; a test that was to replace a file
// unasked stays out when the datapool kept its fields, and none is placed
// when the datapool could not be stored.
TEST_P(Store, AnOperationsScriptsWaitForItsVerdict) {
  using Verdict = ScriptFiles::Verdict;
  const fs::path folder = JavaTests();
  const auto text = [](const std::string& call) {
    return "class T {\n  // user code begin: setup\n  // user code end: setup\n  " + call + "\n}\n";
  };
  for (const char* name : {"Kept.java", "Placed.java"}) ASSERT_EQ(Save(name, "unittests", text("f();")), 0);
  store_->Scripts().SetAwaitVerdicts(true);
  store_->BeginBatch();
  struct Case {
    const char* file;
    Verdict verdict;
    std::string expected;  // what the file holds afterwards; "" when there is none
    int32_t lost;          // the operation lost, or 0
  };
  const Case cases[] = {
      {"Kept.java", Verdict::kKeepReplaced, text("f();"), 0},
      {"Placed.java", Verdict::kPlace, text("f(x);"), 0},
      {"Fresh.java", Verdict::kKeepReplaced, text("f(x);"), 0},
      {"Refused.java", Verdict::kRefuse, "", 4},
  };
  int32_t operation = 0;
  for (const Case& c : cases) {
    store_->BeginOperation(++operation);
    ASSERT_EQ(Save(c.file, "unittests", text("f(x);")), 0) << c.file;
    store_->Flush();  // before a question: nothing of the operation is placed
    EXPECT_EQ(ReadAll(folder / c.file), operation <= 2 ? text("f();") : "") << c.file;
    store_->Scripts().Decide(operation, c.verdict, "its datapool was not stored");
  }
  const std::vector<int32_t> lost = store_->EndBatch();
  for (const Case& c : cases) {
    EXPECT_EQ(fs::exists(folder / c.file) ? ReadAll(folder / c.file) : "", c.expected) << c.file;
  }
  EXPECT_EQ(lost, std::vector<int32_t>{4});
  EXPECT_NE(console_.Output().find(Text(WB_STORE_KEPT_FOR_DATAPOOL, {(folder / "Kept.java").string()})),
            std::string::npos);
  EXPECT_NE(console_.Output().find(
                Text(WB_STORE_WRITE_FAILED, {(folder / "Refused.java").string(), "its datapool was not stored"})),
            std::string::npos);
  EXPECT_EQ(Names(folder), (std::set<std::string>{"Fresh.java", "Kept.java", "Placed.java"}));
  // The kept file's record is as it was: the next model change replaces it unasked.
  store_->Scripts().SetAwaitVerdicts(false);
  EXPECT_EQ(Save("Kept.java", "unittests", text("f(y);")), 0);
  EXPECT_EQ(ReadAll(folder / "Kept.java"), text("f(y);"));
}

TEST_P(Store, ForAllAnswersLastUntilTheSessionEnds) {
  const fs::path folder = JavaTests();
  for (const char* name : {"A.java", "B.java", "C.java"}) ASSERT_EQ(Save(name, "unittests", "old"), 0);
  store_->SetMultipleItems(true);
  console_.Answer("yes to all");
  EXPECT_EQ(Save("A.java", "unittests", "new"), 0);
  store_->SetMultipleItems(false);
  EXPECT_EQ(Save("B.java", "unittests", "new"), 0);
  EXPECT_EQ(console_.Reads(), 1);
  EXPECT_EQ(ReadAll(folder / "A.java") + ReadAll(folder / "B.java"), "newnew");

  store_->ResetSession();
  store_->SetMultipleItems(true);
  console_.Answer("o");
  EXPECT_EQ(Save("C.java", "unittests", "new"), save_result::kNotWritten);
  EXPECT_EQ(Save("A.java", "unittests", "newer"), save_result::kNotWritten);
  EXPECT_EQ(Save("D.java", "unittests", "fresh"), 0) << "new files are still written";
  EXPECT_EQ(console_.Reads(), 2);
  EXPECT_EQ(ReadAll(folder / "C.java") + ReadAll(folder / "A.java"), "oldnew");

  store_->ResetSession();
  console_.Answer("y");
  EXPECT_EQ(Save("A.java", "unittests", "newer"), 0);
  EXPECT_EQ(console_.Reads(), 3);
}

TEST_P(Store, ASessionOfThousandsOfScriptsStillNumbersOverloads) {
  // Enough scripts for the session's marks to be moved to larger tables
  // several times.
  store_->BeginBatch();
  EXPECT_EQ(Save("Aop.java", "unittests\\bank", "first"), 0);
  for (int i = 0; i < 2000; ++i) Save("C" + std::to_string(i) + "op.java", "unittests\\bank", "x");
  EXPECT_EQ(Suffix("Aop", "bank"), "1");
  EXPECT_EQ(Suffix("C1999op", "unittests\\bank"), "1");
  // In another folder the name is free again.
  EXPECT_EQ(Suffix("Aop", "other"), "");
  store_->EndBatch();
  EXPECT_TRUE(fs::exists(JavaTests() / "bank" / "C1999op.java"));
}

TEST_P(Store, OverloadsGetDistinctNamesAndTheNextRunTheSame) {
  // Three overloads of Account.deposit in bank.core; each asks twice (the
  // template tag, then the file path) before it stores.
  auto run = [&](const std::vector<std::string>& contents) {
    store_->ResetSession();
    std::vector<std::string> names;
    for (const std::string& content : contents) {
      const std::string tag = Suffix("Accountdeposit", "bank\\core");
      EXPECT_EQ(Suffix("Accountdeposit", "bank\\core"), tag);
      names.push_back("Accountdeposit" + tag + ".java");
      Save(names.back(), "unittests\\bank\\core", content);
    }
    return names;
  };
  const std::vector<std::string> first = run({"one", "two", "three"});
  EXPECT_EQ(first, (std::vector<std::string>{"Accountdeposit.java", "Accountdeposit1.java", "Accountdeposit2.java"}));
  // A changed overload reaches the question; declining does not hand its
  // name to the next overload.
  console_.Answer("n");
  EXPECT_EQ(run({"one", "TWO", "three"}), first);
  EXPECT_EQ(console_.Reads(), 1);
  EXPECT_EQ(Names(JavaTests() / "bank" / "core"), std::set<std::string>(first.begin(), first.end()));

  // Other packages and script types keep their own names.
  EXPECT_EQ(Suffix("Accountdeposit", "core"), "");
  EXPECT_EQ(Suffix("Accountdeposit", "bank\\core", dsVisualBasicScript), "");
  Save("Accountdeposit.java", "unittests\\x\\bank\\core", "deep");
  EXPECT_EQ(Suffix("Accountdeposit", "x\\bank\\core"), "1");
  EXPECT_EQ(Suffix("Accountdeposit", "bank\\core"), "3");
}

TEST_P(Store, RootPackageAndComFolders) {
  // A class in the root package: no suffix folder; stored in the root folder.
  Save("Calcadd.java", "unittests\\", "a");
  EXPECT_EQ(Suffix("Calcadd", ""), "1");
  Save("Calcadd1.java", "unittests", "b");
  EXPECT_EQ(Suffix("Calcadd", ""), "2");
  Save("Other.java", "unittests\\bank", "c");
  EXPECT_EQ(Suffix("Other", ""), "");

  // A COM operation stores a project; each of its files marks the one name.
  for (const char* file : {"ICalcAdd.cls", "ICalcAdd.rc", "ICalcAdd.vbp"}) {
    EXPECT_EQ(Suffix("ICalcAdd", "Maths\\Calc", dsVisualBasicScript), std::string(file) == "ICalcAdd.cls" ? "" : "1");
    EXPECT_EQ(Save(file, "unittests\\Maths\\Calc", file, dsVisualBasicScript), 0);
  }
  EXPECT_EQ(Suffix("ICalcAdd", "Maths\\Calc", dsVisualBasicScript), "1");
  EXPECT_EQ(Suffix("ICalcAdd", "Calc", dsVisualBasicScript), "");
}

// A store folder batches Java scripts; a shared store stores each at once.
using FolderStore = Store;
INSTANTIATE_TEST_SUITE_P(Folder, FolderStore, ::testing::Values(test::Backend::kFolder), test::BackendName);

TEST_P(FolderStore, InABatchJavaScriptsGetTheirNamesWhenTheBatchIsFinished) {
  const fs::path folder = JavaTests();
  store_->BeginBatch();
  EXPECT_EQ(Save("A.java", "unittests", "a"), 0);
  EXPECT_EQ(Save("B.java", "unittests\\bank", "b"), 0);
  EXPECT_EQ(Save("ICalcAdd.rc", "unittests", "rc", dsVisualBasicScript), 0);
  EXPECT_EQ(ReadAll(VbRoot() / "unittests" / "ICalcAdd.rc"), "rc")
      << "Visual Basic scripts are there at once, for the resource compiler";
  // Java scripts wait in hidden temporary files.
  const std::set<std::string> waiting = Names(folder);
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(waiting.count("bank"), 1u);
  pid_t writer = 0;
  EXPECT_TRUE(IsTemporaryFileName(*waiting.begin(), writer) && waiting.begin()->rfind(".A.java~", 0) == 0)
      << *waiting.begin();
  EXPECT_EQ(writer, ::getpid());
  EXPECT_FALSE(fs::exists(folder / "bank" / "B.java"));

  // Saving a waiting script again finishes the batch first: the same text
  // is left alone, other text reaches the question.
  EXPECT_EQ(Save("A.java", "unittests", "a"), 0);
  EXPECT_EQ(console_.Reads(), 0);
  EXPECT_EQ(ReadAll(folder / "A.java") + ReadAll(folder / "bank" / "B.java"), "ab");
  console_.Answer("n");
  EXPECT_EQ(Save("A.java", "unittests", "changed"), save_result::kNotWritten);
  EXPECT_EQ(console_.Reads(), 1);

  // A temporary file that is gone when the batch is finished is reported.
  EXPECT_EQ(Save("C.java", "unittests", "c"), 0);
  EXPECT_EQ(Save("D.java", "unittests\\gone", "d"), 0);
  fs::remove_all(folder / "gone");
  console_.ClearOutput();
  store_->EndBatch();
  EXPECT_EQ(console_.Output().find(Text(WB_STORE_WRITE_FAILED, {(folder / "gone" / "D.java").string(), ""})), 0u)
      << console_.Output();
  EXPECT_EQ(Names(folder), (std::set<std::string>{"A.java", "C.java", "bank"}));
  EXPECT_EQ(ReadAll(folder / "C.java"), "c");

  // Out of a batch a script is there at once; a store destroyed in a batch
  // finishes it.
  EXPECT_EQ(Save("E.java", "unittests", "e"), 0);
  EXPECT_EQ(ReadAll(folder / "E.java"), "e");
  store_->BeginBatch();
  EXPECT_EQ(Save("F.java", "unittests", "f"), 0);
  store_.reset();
  EXPECT_EQ(ReadAll(folder / "F.java"), "f");
  EXPECT_EQ(Names(folder).size(), 5u) << "no temporary file is left";
}

// Where another writer gives the file its name while this one writes it.
fs::path g_takenMeanwhile;
ssize_t WriteWhileAnotherTakesTheName(int fd, const void* data, size_t size) {
  if (!g_takenMeanwhile.empty() && !fs::exists(g_takenMeanwhile)) WriteAll(g_takenMeanwhile, "theirs");
  return ::write(fd, data, size);
}

// Another writer (another user of the store, another run) gives a script's
// name a file after it was compared: that file is compared in its turn, and
// replaced only when the user says so. A script of a batch kept out so,
// after its saving was answered, is told in the log, naming it; a script
// stored at once gets its answer when it is saved, and the log says nothing.
TEST_P(Store, ANameAnotherWriterTookMeanwhileIsComparedNotReplaced) {
  const fs::path folder = JavaTests();
  const fs::path vb = VbRoot() / "unittests";
  std::vector<std::string> log;
  store_->SetFailureLog([&log](const std::string& line) { log.push_back(line); });
  store_->SetMultipleItems(true);
  // A script stored at once: the other writer is quicker than the rename.
  ASSERT_EQ(Save("A.cls", "unittests", "mine", dsVisualBasicScript), 0);
  g_takenMeanwhile = vb / "B.cls";
  store_->Scripts().SetWriteHook(WriteWhileAnotherTakesTheName);
  console_.Answer("n");
  EXPECT_EQ(Save("B.cls", "unittests", "mine", dsVisualBasicScript), save_result::kNotWritten);
  g_takenMeanwhile = vb / "C.cls";
  console_.Answer("y");
  EXPECT_EQ(Save("C.cls", "unittests", "mine", dsVisualBasicScript), save_result::kStored);
  g_takenMeanwhile = vb / "D.cls";
  EXPECT_EQ(Save("D.cls", "unittests", "theirs", dsVisualBasicScript), save_result::kStored);
  store_->Scripts().SetWriteHook({});
  g_takenMeanwhile.clear();
  EXPECT_EQ(console_.Reads(), 2) << "the same text asks nothing";
  EXPECT_EQ(ReadAll(vb / "B.cls") + ReadAll(vb / "C.cls") + ReadAll(vb / "D.cls"), "theirsminetheirs");

  EXPECT_EQ(Names(vb), (std::set<std::string>{"A.cls", "B.cls", "C.cls", "D.cls"}));
  EXPECT_EQ(log, std::vector<std::string>());

  // A script of a batch: the other writer is quicker than the batch.
  store_->BeginBatch();
  for (const char* name : {"Same.java", "Other.java", "Kept.java"}) {
    ASSERT_EQ(Save(name, "unittests", std::string(name) == "Same.java" ? "theirs" : "mine"), 0);
    WriteAll(folder / name, "theirs");
  }
  for (const char* answer : {"y", "n"}) console_.Answer(answer);
  store_->EndBatch();
  EXPECT_EQ(console_.Reads(), 4);
  EXPECT_EQ(ReadAll(folder / "Same.java") + ReadAll(folder / "Other.java") + ReadAll(folder / "Kept.java"),
            "theirsminetheirs");
  EXPECT_EQ(Names(folder), (std::set<std::string>{"Kept.java", "Other.java", "Same.java"})) << "no temporary left";
  EXPECT_EQ(Names(vb), (std::set<std::string>{"A.cls", "B.cls", "C.cls", "D.cls"}));
  EXPECT_EQ(log, std::vector<std::string>{Text(WB_STORE_KEPT_THEIRS, {(folder / "Kept.java").string()})});
  EXPECT_EQ(store_->Failures(), 0) << "being second is no failure";
}

TEST_P(Store, AKilledWriteLeavesTheOldFile) {
  const fs::path folder = JavaTests();
  ASSERT_EQ(Save("Accountdeposit.java", "unittests", "old"), 0);
  // A writer killed before its rename leaves only its temporary file.
  WriteAll(folder / ".Accountdeposit.java.k1ll3d", "half of the ne");
  EXPECT_EQ(Save("Accountdeposit.java", "unittests", "old"), 0);
  EXPECT_EQ(console_.Reads(), 0) << "the old file is what is compared";
}

class StoreLogin : public test::OnEitherBackend {
 protected:
  // Opens a store with `option` as the host's user option; returns the user.
  std::string OpenWith(std::optional<std::string> option) {
    std::unique_ptr<StoreBase> store = MakeStore(std::move(option), console_);
    store->Open();
    return store->UserName();
  }
  uint32_t CancelNumber() {
    return static_cast<uint32_t>(ErrorNumberOf([&] { OpenWith(std::nullopt); }));
  }

  test::ScriptedConsole console_;
  ScopedEnv ztUser_{"ZTUNITTEST_USER", std::nullopt};
  ScopedEnv user_{"USER", "alice"};
};
ZT_ON_EITHER_BACKEND(StoreLogin);

TEST_P(StoreLogin, OptionThenEnvironmentThenPrompt) {
  {
    ScopedEnv env("ZTUNITTEST_USER", "carol");
    EXPECT_EQ(OpenWith("bob"), "bob");
    EXPECT_EQ(OpenWith(" "), "carol") << "an empty option is no option";
    EXPECT_EQ(console_.Reads(), 0);
  }
  console_.Answer(" dave ");
  EXPECT_EQ(OpenWith(std::nullopt), "dave");
  EXPECT_NE(console_.Output().find("alice"), std::string::npos) << "the prompt names the default";
  console_.Answer("");
  EXPECT_EQ(OpenWith(std::nullopt), "alice");
  ScopedEnv noUser("USER", std::nullopt);
  for (const char* answer : {"", "erin"}) console_.Answer(answer);
  EXPECT_EQ(OpenWith(std::nullopt), "erin");
}

TEST_P(StoreLogin, NoNameRaisesTheCancelErrorAndCreatesNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    const char* preset;  // the answer given in advance, or null
    bool withUser;       // whether $USER offers a default
    bool unanswered;     // whether input gave no name, rather than the cancel word
    int reads;
  };
  const std::string cancel = Text(WB_STORE_LOGIN_CANCEL_WORD);
  for (const Case& c : std::vector<Case>{
           {"the cancel word typed", {cancel}, nullptr, true, false, 1},
           {"the cancel word given in advance", {}, "user=-", true, false, 0},
           {"end of input without a default", {}, nullptr, false, true, 1},
           {"empty lines without a default", {"", " ", ""}, nullptr, false, true, 3},
       }) {
    test::ScriptedConsole console(c.lines);
    PresetAnswers presets;
    if (c.preset != nullptr) {
      ASSERT_EQ(presets.Add(c.preset), std::nullopt);
    }
    console.SetPresets(&presets);
    ScopedEnv user("USER", c.withUser ? std::optional<std::string>("alice") : std::nullopt);
    std::unique_ptr<StoreBase> store = MakeStore(std::nullopt, console);
    const TextAnswer answer = store->AskUserName();
    EXPECT_EQ(answer.text, std::nullopt) << c.name;
    EXPECT_EQ(answer.unanswered, c.unanswered) << c.name;
    EXPECT_EQ(console.Reads(), c.reads) << c.name;
    test::ScriptedConsole again(c.lines);
    again.SetPresets(&presets);
    EXPECT_EQ(static_cast<uint32_t>(ErrorNumberOf([&] { MakeStore(std::nullopt, again)->Open(); })), 0x800403EEu)
        << c.name;
  }
  // A host that knows the login cannot be made refuses it without a question.
  StoreOptions refused{ParseStoreLocation(Location()), "bob"};
  refused.loginRefusal = ZtError(errc::kPathFileAccessError, {}, "no");
  EXPECT_EQ(ErrorNumberOf([&] { wb::MakeStore(refused, console_)->Open(); }), errc::kPathFileAccessError);
  EXPECT_EQ(console_.Reads(), 0);

  // (A project's folder is there before: it is the project's.)
  EXPECT_TRUE(GetParam() == test::Backend::kProject ? fs::is_empty(dir_ / "store") : !fs::exists(dir_ / "store"));
  if (GetParam() == test::Backend::kPostgres) {
    // Nor is anything made in the database.
    EXPECT_EQ(OpenStoreReadOnly(ParseStoreLocation(Location())), nullptr);
  }
  // The end of input takes the default $USER offers.
  EXPECT_EQ(OpenWith(std::nullopt), "alice");
  EXPECT_NE(console_.Output().find("alice"), std::string::npos);
}

}  // namespace
}  // namespace zt::wb
