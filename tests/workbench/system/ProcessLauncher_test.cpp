// The process launcher: command-line splitting, and real programs started in
// a working folder given as the add-in writes paths, their exit status and
// where their output goes.
#include "workbench/system/ProcessLauncher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "TestUtil.h"
#include "support/Error.h"
#include "workbench/system/DiskFileSystem.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksAndQuotes) {
  EXPECT_EQ(SplitCommandLine(""), Args{});
  EXPECT_EQ(SplitCommandLine("   \t "), Args{});
  EXPECT_EQ(SplitCommandLine("/v  /l\t0x409"), (Args{"/v", "/l", "0x409"}));
  EXPECT_EQ(SplitCommandLine(" \"C:\\My Files\\a.rc\" "), Args{"C:\\My Files\\a.rc"});
  EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (Args{"ab cd", "e"})) << "quotes group inside an argument";
  EXPECT_EQ(SplitCommandLine("x \"\" y"), (Args{"x", "", "y"})) << "an empty quoted argument";
  EXPECT_EQ(SplitCommandLine("\"say \"\"hi\"\"\" z"), (Args{"say \"hi\"", "z"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\dir\\\" next"), (Args{"C:\\dir\\", "next"})) << "a backslash is plain";
  EXPECT_EQ(SplitCommandLine("\"open end"), Args{"open end"});
  // What the add-in hands the resource compiler: the options, then the script.
  EXPECT_EQ(SplitCommandLine(" \"/store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc\""),
            Args{"/store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc"});
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "templates" / "sub");
    launcher_ = std::make_unique<PosixProcessLauncher>(std::make_unique<DiskFileSystem>((dir_ / "templates").string()));
  }
  // Runs the shell with `script` in `folder`; the exit status.
  int32_t Run(const std::string& script, const std::string& folder) {
    ShellExecuteInfo info;
    info.fMask = kSeeMaskNoCloseProcess;
    info.lpVerb = "Open";
    info.lpFile = "/bin/sh";
    info.lpParameters = "-c \"" + script + "\" sh";
    info.lpDirectory = folder;
    const std::optional<int64_t> process = launcher_->ShellExecuteEx(info);
    EXPECT_TRUE(process.has_value());
    if (!process) return -1;
    const int32_t status = launcher_->WaitForSingleObject(*process);
    launcher_->CloseHandle(*process);
    return status;
  }

  // The error ShellExecuteEx raises for `info`.
  ZtError StartError(const ShellExecuteInfo& info) {
    return test::Raised([&] { launcher_->ShellExecuteEx(info); });
  }

  test::TempDir dir_{"launcher"};
  std::unique_ptr<PosixProcessLauncher> launcher_;
};

TEST_F(Launcher, RunsInTheWorkingFolder) {
  // The add-in's form of a folder: "\" separators and a trailing one.
  EXPECT_EQ(Run("pwd > here.txt", dir_.string() + "\\templates\\sub\\"), 0);
  EXPECT_EQ(ReadAll(dir_ / "templates" / "sub" / "here.txt"), fs::canonical(dir_ / "templates" / "sub").string() + "\n");
  // The template folder's name is expanded.
  EXPECT_EQ(Run("pwd > there.txt", "$PWTTEMPLATES\\sub"), 0);
  EXPECT_TRUE(fs::exists(dir_ / "templates" / "sub" / "there.txt"));
}

TEST_F(Launcher, ArgumentsArriveSplit) {
  ShellExecuteInfo info;
  info.fMask = kSeeMaskNoCloseProcess;
  info.lpFile = "sh";  // looked up on the PATH
  info.lpParameters = "-c \"printf '[%s]' \"\"$@\"\" > args.txt\" sh /v \"C:\\My Files\\a.rc\" \"\"";
  info.lpDirectory = dir_.string();
  const std::optional<int64_t> process = launcher_->ShellExecuteEx(info);
  ASSERT_TRUE(process);
  EXPECT_EQ(launcher_->WaitForSingleObject(*process), 0);
  EXPECT_EQ(ReadAll(dir_ / "args.txt"), "[/v][C:\\My Files\\a.rc][]");
}

TEST_F(Launcher, ExitStatusAndSignals) {
  EXPECT_EQ(Run("exit 3", dir_.string()), 3);
  EXPECT_EQ(Run("kill -TERM $$", dir_.string()), 128 + 15);

  // Waiting again gives the same status; a closed handle is unknown.
  ShellExecuteInfo info;
  info.fMask = kSeeMaskNoCloseProcess;
  info.lpFile = "/bin/sh";
  info.lpParameters = "-c \"exit 7\"";
  const std::optional<int64_t> process = launcher_->ShellExecuteEx(info);
  ASSERT_TRUE(process);
  EXPECT_EQ(launcher_->WaitForSingleObject(*process), 7);
  EXPECT_EQ(launcher_->WaitForSingleObject(*process), 7);
  launcher_->CloseHandle(*process);
  EXPECT_THROW(launcher_->WaitForSingleObject(*process), ZtError);
  EXPECT_THROW(launcher_->CloseHandle(*process), ZtError);
  EXPECT_THROW(launcher_->WaitForSingleObject(1), ZtError) << "not a handle of this launcher";
}

TEST_F(Launcher, OutputGoesToStandardErrorAndInputIsEmpty) {
  const fs::path out = dir_ / "out.txt", err = dir_ / "err.txt";
  std::fflush(stdout);
  std::fflush(stderr);
  const int savedOut = ::dup(STDOUT_FILENO), savedErr = ::dup(STDERR_FILENO);
  const int outFile = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int errFile = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(outFile, STDOUT_FILENO);
  ::dup2(errFile, STDERR_FILENO);
  const int32_t status = Run("echo to-stdout; echo to-stderr >&2; cat > input.txt", dir_.string());
  ::dup2(savedOut, STDOUT_FILENO);
  ::dup2(savedErr, STDERR_FILENO);
  for (int fd : {savedOut, savedErr, outFile, errFile}) ::close(fd);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadAll(out), "") << "standard output carries the host log only";
  EXPECT_EQ(ReadAll(err), "to-stdout\nto-stderr\n");
  EXPECT_EQ(ReadAll(dir_ / "input.txt"), "") << "the program reads nothing of ours";
}

TEST_F(Launcher, StartFailuresNameTheProgram) {
  ShellExecuteInfo info;
  info.fMask = kSeeMaskNoCloseProcess;
  info.lpFile = dir_.string() + "\\no-such-rc.exe";
  ZtError missing = StartError(info);
  EXPECT_EQ(missing.Number(), 53);
  EXPECT_NE(missing.Description().find((dir_ / "no-such-rc.exe").string()), std::string::npos) << missing.Description();

  info.lpFile = "/bin/sh";
  info.lpDirectory = dir_.string() + "\\gone\\";
  ZtError noFolder = StartError(info);
  EXPECT_EQ(noFolder.Number(), 76);
  EXPECT_NE(noFolder.Description().find("/bin/sh"), std::string::npos) << noFolder.Description();
  EXPECT_NE(noFolder.Description().find((dir_ / "gone").string()), std::string::npos) << noFolder.Description();

  const fs::path notExecutable = dir_ / "plain.exe";
  std::ofstream(notExecutable) << "text";
  info.lpFile = "\"" + notExecutable.string() + "\"";  // quotes are dropped
  info.lpDirectory.clear();
  EXPECT_EQ(StartError(info).Number(), 70);

  info.lpFile = "  ";
  EXPECT_EQ(StartError(info).Number(), 5);
}

TEST_F(Launcher, WithoutAHandleNoneIsGiven) {
  ShellExecuteInfo info;
  info.lpFile = "/bin/true";
  EXPECT_EQ(launcher_->ShellExecuteEx(info), std::nullopt);
}

TEST(BundledResourceCompiler, IsBuiltBesideThePrograms) {
  const std::string path = BundledResourceCompiler();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(fs::path(path).filename(), "rc.exe");
  // The tests run from the build's bin/ folder, where rc.exe is built too.
  EXPECT_TRUE(fs::is_regular_file(path)) << path;
}

}  // namespace
}  // namespace zt::wb
