#include "workbench/system/DiskFileSystem.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "TestUtil.h"
#include "support/Error.h"
#include "workbench/system/Outputs.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;

class DiskFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "templates" / "Unit Test Templates");
    disk_ = std::make_unique<DiskFileSystem>((dir_ / "templates").string());
  }
  std::string Win(const fs::path& p) {
    std::string s = p.string();
    for (char& c : s) {
      if (c == '/') c = '\\';
    }
    return s;
  }
  test::TempDir dir_{"disk"};
  std::unique_ptr<DiskFileSystem> disk_;
};

// Every line of `stream`, with the number Line() gave before reading it.
std::vector<std::pair<int, std::string>> Lines(TextStream& stream) {
  std::vector<std::pair<int, std::string>> lines;
  while (!stream.AtEndOfStream()) {
    const int n = stream.Line();
    lines.emplace_back(n, stream.ReadLine());
  }
  return lines;
}

TEST_F(DiskFiles, TemplateMacroAndBothSeparators) {
  std::ofstream(dir_ / "templates" / "Unit Test Templates" / "a.template") << "one\r\ntwo\nthree";
  EXPECT_TRUE(disk_->FileExists("$PWTTEMPLATES\\Unit Test Templates\\a.template"));
  EXPECT_TRUE(disk_->FileExists("$PWTTEMPLATES/Unit Test Templates/a.template"));
  EXPECT_TRUE(disk_->FolderExists("$PWTTEMPLATES\\Unit Test Templates"));
  EXPECT_FALSE(disk_->FileExists("$PWTTEMPLATES\\Unit Test Templates"));
  EXPECT_FALSE(disk_->FileExists(""));

  auto stream = disk_->OpenTextFile("$PWTTEMPLATES\\Unit Test Templates\\a.template");
  EXPECT_EQ(Lines(*stream), (std::vector<std::pair<int, std::string>>{{1, "one"}, {2, "two"}, {3, "three"}}));
  EXPECT_THROW(stream->ReadLine(), ZtError);
}

TEST_F(DiskFiles, AFileReadAgainIsTheFileAsItIsNow) {
  using Numbered = std::vector<std::pair<int, std::string>>;
  const fs::path file = dir_ / "templates" / "b.template";
  const std::string path = "$PWTTEMPLATES\\b.template";
  std::ofstream(file, std::ios::binary) << "one\r\n\r\ntwo";
  EXPECT_EQ(Lines(*disk_->OpenTextFile(path)), (Numbered{{1, "one"}, {2, ""}, {3, "two"}}));
  auto again = disk_->OpenTextFile(path);
  again->SkipLine();
  EXPECT_EQ(again->Line(), 2);
  EXPECT_EQ(Lines(*again), (Numbered{{2, ""}, {3, "two"}}));
  EXPECT_THROW(again->ReadLine(), ZtError);
  EXPECT_THROW(again->SkipLine(), ZtError);

  // Rewritten in place with as many bytes: the modification time tells.
  const auto written = fs::last_write_time(file);
  std::ofstream(file, std::ios::binary) << "ONE\r\n\r\nTWO";
  fs::last_write_time(file, written + std::chrono::seconds(1));
  EXPECT_EQ(Lines(*disk_->OpenTextFile(path)), (Numbered{{1, "ONE"}, {2, ""}, {3, "TWO"}}));
  // Replaced by another file of the same size and time: the inode tells.
  const fs::path other = dir_ / "templates" / "c.template";
  std::ofstream(other, std::ios::binary) << "uno\r\n\r\ndos";
  fs::last_write_time(other, written + std::chrono::seconds(1));
  fs::rename(other, file);
  EXPECT_EQ(Lines(*disk_->OpenTextFile(path)), (Numbered{{1, "uno"}, {2, ""}, {3, "dos"}}));
  std::ofstream(file, std::ios::binary | std::ios::trunc).flush();
  EXPECT_TRUE(disk_->OpenTextFile(path)->AtEndOfStream()) << "an empty file has no line";

  // A file that can no longer be read is refused, as it was before it was kept.
  std::ofstream(file, std::ios::binary) << "x";
  ASSERT_EQ(Lines(*disk_->OpenTextFile(path)).size(), 1u);
  fs::permissions(file, fs::perms::none);
  if (::geteuid() != 0) {
    EXPECT_EQ(test::ErrorNumberOf([&] { disk_->OpenTextFile(path); }), errc::kPermissionDenied);
  }
  fs::permissions(file, fs::perms::owner_all);

  // A large file is read from disk, as it is.
  std::ofstream(file, std::ios::binary) << std::string(2 << 20, 'x') << "\nend";
  EXPECT_EQ(Lines(*disk_->OpenTextFile(path)).back(), (std::pair<int, std::string>{2, "end"}));
}

TEST_F(DiskFiles, AnObjectToldToTrustWhatItCheckedServesItWithoutLookingUntilItIsChangedThroughIt) {
  const fs::path file = dir_ / "templates" / "t.template";
  const std::string path = "$PWTTEMPLATES\\t.template";
  std::ofstream(file, std::ios::binary) << "one";
  disk_->TrustCheckedFilesFor(std::chrono::hours(1));
  EXPECT_EQ(Lines(*disk_->OpenTextFile(path)).at(0).second, "one");
  // Changed and removed behind its back: what it checked stands.
  const fs::path moved = dir_ / "templates" / "moved.template";
  fs::rename(file, moved);
  EXPECT_TRUE(disk_->FileExists(path));
  EXPECT_EQ(Lines(*disk_->OpenTextFile(path)).at(0).second, "one");
  // Written or deleted through it: looked at again.
  auto written = disk_->CreateTextFile(path, true);
  written->WriteLine("two");
  written->Close();
  EXPECT_EQ(Lines(*disk_->OpenTextFile(path)).at(0).second, "two");
  disk_->DeleteFile(path, false);
  EXPECT_FALSE(disk_->FileExists(path));
  EXPECT_EQ(test::ErrorNumberOf([&] { disk_->OpenTextFile(path); }), errc::kFileNotFound);
  // A file never read is looked for on disk.
  EXPECT_TRUE(disk_->FileExists("$PWTTEMPLATES\\moved.template"));

  // Without trust every look goes to the disk.
  fs::rename(moved, file);
  EXPECT_EQ(Lines(*disk_->OpenTextFile(path)).at(0).second, "one");
  disk_->TrustCheckedFilesFor(std::chrono::milliseconds(0));
  fs::remove(file);
  EXPECT_FALSE(disk_->FileExists(path));
}

TEST_F(DiskFiles, MissingFilesAndFoldersAndReadOnlyFilesRaise) {
  EXPECT_EQ(test::ErrorNumberOf([&] { disk_->OpenTextFile(Win(dir_ / "none.template")); }), errc::kFileNotFound);
  EXPECT_THROW(disk_->DeleteFile(Win(dir_ / "none"), false), ZtError);
  auto stream = disk_->CreateTextFile(Win(dir_ / "no" / "such" / "x.rc"), true);
  stream->WriteLine("x");
  EXPECT_EQ(test::ErrorNumberOf([&] { stream->Close(); }), errc::kPathNotFound);

  // A read-only file is deleted only by force.
  const fs::path file = dir_ / "locked.res";
  std::ofstream(file) << "x";
  fs::permissions(file, fs::perms::owner_read);
  EXPECT_EQ(test::ErrorNumberOf([&] { disk_->DeleteFile(Win(file), false); }), errc::kPermissionDenied);
  EXPECT_TRUE(fs::exists(file));
  disk_->DeleteFile(Win(file), true);
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(DiskFiles, WrittenFilesAppearWholeWithCrLf) {
  const std::string path = Win(dir_ / "out.rc");
  auto stream = disk_->CreateTextFile(path, true);
  stream->WriteLine("STRINGTABLE");
  stream->WriteLine("BEGIN");
  EXPECT_FALSE(fs::exists(dir_ / "out.rc")) << "nothing is visible before Close";
  stream->Close();
  EXPECT_EQ(ReadAll(dir_ / "out.rc"), "STRINGTABLE\r\nBEGIN\r\n");
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);

  EXPECT_THROW(disk_->CreateTextFile(path, false), ZtError);
  auto dropped = disk_->CreateTextFile(Win(dir_ / "dropped.rc"), true);
  dropped->WriteLine("half");
  dropped.reset();
  EXPECT_FALSE(fs::exists(dir_ / "dropped.rc"));
}

// A child of a fork is a writer of its own: a temporary it leaves behind
// names the child, not its parent, and is swept once the child has ended
// while the parent still runs.
TEST_F(DiskFiles, AForkedWritersTemporaryNamesItsOwnProcess) {
  // The parent writes first: what it learnt of itself then must not pass
  // to the child.
  fs::remove(WriteTemporaryBeside((dir_ / "parent.txt").string(), "parent", false));
  const pid_t child = ::fork();
  if (child == 0) {
    // The child ends before the rename, as a writer killed does.
    try {
      WriteTemporaryBeside((dir_ / "child.txt").string(), "half", false);
    } catch (...) {
      std::_Exit(1);
    }
    std::_Exit(0);
  }
  ASSERT_GT(child, 0);
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<std::pair<fs::path, pid_t>> temporaries;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    pid_t writer = 0;
    if (IsTemporaryFileName(entry.path().filename().string(), writer)) temporaries.emplace_back(entry.path(), writer);
  }
  ASSERT_EQ(temporaries.size(), 1u);
  EXPECT_EQ(temporaries[0].second, child);
  EXPECT_EQ(RemoveStaleTemporaries(dir_.string()), 1);
  EXPECT_FALSE(fs::exists(temporaries[0].first));
}

}  // namespace
}  // namespace zt::wb

#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

// What a command writes to a path the user names: a file is replaced whole,
// a link written through, a pipe written to; what is none of these is refused
// and left as it was.
TEST_F(DiskFiles, OutputsAreWrittenThroughLinksAndIntoPipesAndNeverReplaceThem) {
  WriteOutputFile((dir_ / "new.csv").string(), "a\n");
  EXPECT_EQ(ReadAll(dir_ / "new.csv"), "a\n");
  fs::create_symlink("new.csv", dir_ / "link.csv");
  fs::create_symlink("nowhere/made.csv", dir_ / "dangling.csv");
  fs::create_directory(dir_ / "nowhere");
  WriteOutputFile((dir_ / "link.csv").string(), "b\n");
  WriteOutputFile((dir_ / "dangling.csv").string(), "c\n");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.csv"));
  EXPECT_EQ(ReadAll(dir_ / "new.csv"), "b\n");
  EXPECT_EQ(ReadAll(dir_ / "nowhere" / "made.csv"), "c\n");
  // A file replaced keeps its permissions, through a link too.
  fs::permissions(dir_ / "new.csv", fs::perms::owner_read | fs::perms::owner_write);
  WriteOutputFile((dir_ / "link.csv").string(), "d\n");
  EXPECT_EQ(ReadAll(dir_ / "new.csv"), "d\n");
  EXPECT_EQ(fs::status(dir_ / "new.csv").permissions(), fs::perms::owner_read | fs::perms::owner_write);

  // A pipe, as /dev/stdout leads to when the output is piped.
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  WriteOutputFile("/proc/self/fd/" + std::to_string(pipe[1]), "through a pipe");
  char got[32] = {};
  EXPECT_EQ(::read(pipe[0], got, sizeof got), 14);
  EXPECT_STREQ(got, "through a pipe");
  EXPECT_TRUE(fs::is_symlink("/proc/self/fd/" + std::to_string(pipe[1])));

  const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (dir_ / "socket").string();
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  for (const fs::path& refused : {dir_ / "templates", dir_ / "socket"}) {
    std::string said;
    EXPECT_EQ(test::ErrorNumberOf([&] { WriteOutputFile(refused.string(), "x"); }, &said), errc::kPathFileAccessError);
    EXPECT_NE(said.find(refused.string() + " is a"), std::string::npos) << said;
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "templates"));
  EXPECT_TRUE(fs::is_socket(dir_ / "socket"));

  // A write that fails is kept, and stops the writing: a pipe without a
  // reader, as `... | head -1` leaves it.
  IgnoreBrokenPipes();
  ::close(pipe[0]);
  {
    FdOutputBuffer buffer(pipe[1]);
    std::ostream out(&buffer);
    out << "lost" << std::flush;
    EXPECT_FALSE(out.good());
    EXPECT_EQ(buffer.Error(), EPIPE);
  }
  ::close(pipe[1]);
  ::close(socket);
}

TEST(WorkbenchTexts, ArgumentsAreNotFormattedAgain) {
  EXPECT_EQ(Text(WB_VERSION, {"%1 and %2"}), "ztunittest %1 and %2");
}

}  // namespace
}  // namespace zt::wb
