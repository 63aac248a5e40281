// The rc.exe wrapper: rc options turned into llvm-rc's, finding llvm-rc, and
// the built rc.exe run as the add-in runs it, on llvm-rc itself (which
// `./bootstrap.sh test` installs, with the Debian package llvm).
#include "workbench/system/ResourceCompilerWrapper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "TestUtil.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/ProcessLauncher.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;

using Args = std::vector<std::string>;

class RcArguments : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "vb" / "unittests" / "Maths" / "Calc"); }
  LlvmRcCall Translate(const Args& args) { return TranslateRcArguments(args, dir_ / "vb" / "unittests" / "Maths" / "Calc"); }

  test::TempDir dir_{"rcargs"};
};

TEST_F(RcArguments, TheAddInsCallBecomesARelativeScriptAndAnExplicitOutput) {
  const std::string script = dir_.string() + "/vb/unittests\\Maths\\Calc\\ICalcAdd.rc";
  const LlvmRcCall call = Translate({script});
  EXPECT_TRUE(call.error.empty()) << call.error;
  EXPECT_EQ(call.arguments, (Args{"/fo", dir_.string() + "/vb/unittests/Maths/Calc/ICalcAdd.res", "ICalcAdd.rc"}));
  EXPECT_TRUE(call.warnings.empty());
}

TEST_F(RcArguments, OptionsInEitherFormAndCase) {
  const LlvmRcCall call = Translate({"/V", "-l", "0x409", "/ln", "en-US", "/dDEBUG=1", "/U", "X", "/i..\\inc", "/nologo",
                                     "/r", "-c1252", "/no-preprocess", "..\\Calc\\ICalcAdd.RC"});
  EXPECT_TRUE(call.error.empty()) << call.error;
  EXPECT_EQ(call.arguments, (Args{"/v", "/l", "0x409", "/ln", "en-US", "/d", "DEBUG=1", "/u", "X", "/i", "../inc",
                                  "/nologo", "/r", "/c", "1252", "/no-preprocess", "/fo", "../Calc/ICalcAdd.res",
                                  "ICalcAdd.RC"}));
}

TEST_F(RcArguments, GivenOutputIsKeptAndTranslated) {
  const LlvmRcCall call = Translate({"/fo", "out\\x.res", "a.rc"});
  EXPECT_EQ(call.arguments, (Args{"/fo", "out/x.res", "a.rc"}));
  EXPECT_EQ(Translate({"/FOout\\y.res", "a.rc"}).arguments, (Args{"/fo", "out/y.res", "a.rc"}));
}

TEST_F(RcArguments, AbsoluteScriptsAreNotTakenForOptions) {
  // "/usr/..." would be /u with a value, "/dev/..." /d: a script is a script.
  fs::create_directories(dir_ / "usr");
  const std::string script = (dir_ / "usr" / "x.rc").string();
  std::ofstream(script) << "";
  const LlvmRcCall call = Translate({script});
  ASSERT_TRUE(call.error.empty()) << call.error;
  EXPECT_EQ(call.arguments.back(), "../../../../usr/x.rc");
  // An existing file without ".rc" is the script too.
  const std::string other = (dir_ / "usr" / "script").string();
  std::ofstream(other) << "";
  EXPECT_EQ(Translate({other}).arguments.back(), "../../../../usr/script");
  // A script whose relative name starts with "-" is written as "./-...".
  EXPECT_EQ(Translate({"-odd.rc"}).arguments.back(), "./-odd.rc");
}

TEST_F(RcArguments, UnknownOptionsAreLeftOutWithAWarning) {
  const LlvmRcCall call = Translate({"/q", "/v", "a.rc"});
  EXPECT_EQ(call.arguments, (Args{"/v", "/fo", "a.res", "a.rc"}));
  ASSERT_EQ(call.warnings.size(), 1u);
  EXPECT_NE(call.warnings[0].find("/q"), std::string::npos) << call.warnings[0];
}

TEST_F(RcArguments, BadCalls) {
  EXPECT_FALSE(Translate({}).error.empty()) << "no script";
  EXPECT_FALSE(Translate({"/v"}).error.empty()) << "no script";
  EXPECT_FALSE(Translate({"a.rc", "b.rc"}).error.empty()) << "two scripts";
  const LlvmRcCall missing = Translate({"a.rc", "/fo"});
  EXPECT_NE(missing.error.find("/fo"), std::string::npos) << missing.error;
  EXPECT_TRUE(Translate({"/?"}).help);
  EXPECT_TRUE(Translate({"-H"}).help);
}

TEST(FindLlvmRc, ChosenThenPath) {
  const test::TempDir dir("findrc");
  const auto makeProgram = [&dir](const std::string& folder, const std::string& name, bool executable) {
    fs::create_directories(dir / folder);
    const fs::path path = dir / folder / name;
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), executable ? 0755 : 0644);
    return path.string();
  };
  const std::string plain = makeProgram("a", "llvm-rc", false);
  const std::string versioned = makeProgram("b", "llvm-rc-14", true);
  const std::string first = makeProgram("c", "llvm-rc", true);
  const std::string custom = makeProgram("d", "my-rc", true);
  const std::string a = (dir / "a").string(), b = (dir / "b").string(), c = (dir / "c").string();

  EXPECT_EQ(FindLlvmRc("", a + ":" + b + ":" + c), first) << "llvm-rc anywhere on the PATH before llvm-rc-14";
  EXPECT_EQ(FindLlvmRc("", a + ":" + b), versioned) << "a file that cannot run does not count";
  EXPECT_EQ(FindLlvmRc(custom, a), custom) << "the variable wins";
  EXPECT_EQ(FindLlvmRc("my-rc", a + ":" + (dir / "d").string()), custom) << "a bare name is looked up";

  std::string error;
  EXPECT_EQ(test::ErrorNumberOf([&] { FindLlvmRc(plain, c); }, &error), errc::kFileNotFound)
      << "a chosen file that cannot run is not replaced by another";
  EXPECT_EQ(error, Text(WB_RC_BAD_LLVM_RC, {plain}));
  EXPECT_EQ(test::ErrorNumberOf([&] { FindLlvmRc("", a); }, &error), errc::kFileNotFound);
  EXPECT_EQ(error, Text(WB_RC_NO_LLVM_RC));
}

// The built rc.exe, started as the add-in starts it, on the installed llvm-rc.
class RcExe : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    ASSERT_EQ(test::ErrorNumberOf([&] { FindLlvmRc("", path != nullptr ? path : ""); }), 0)
        << "no llvm-rc (./bootstrap.sh test installs it)";
    folder_ = dir_ / "vb" / "unittests" / "Maths" / "Calc";
    fs::create_directories(folder_);
    launcher_ = std::make_unique<PosixProcessLauncher>(std::make_unique<DiskFileSystem>(dir_.string()));
  }

  // Compiles `script` (written to ICalcAdd.rc) as the add-in does; the exit status.
  int32_t Compile(const std::string& script, const std::string& options = {}) {
    std::ofstream(folder_ / "ICalcAdd.rc", std::ios::binary) << script;
    ShellExecuteInfo info;
    info.fMask = kSeeMaskNoCloseProcess;
    info.lpVerb = "Open";
    info.lpFile = BundledResourceCompiler();
    info.lpParameters = options + " \"" + dir_.string() + "/vb/unittests\\Maths\\Calc\\ICalcAdd.rc\"";
    info.lpDirectory = dir_.string() + "/vb/unittests\\Maths\\Calc\\";
    const std::optional<int64_t> process = launcher_->ShellExecuteEx(info);
    if (!process) return -1;
    const int32_t status = launcher_->WaitForSingleObject(*process);
    launcher_->CloseHandle(*process);
    return status;
  }

  test::TempDir dir_{"rcexe"};
  fs::path folder_;
  std::unique_ptr<PosixProcessLauncher> launcher_;
};

TEST_F(RcExe, WritesTheResBesideTheScript) {
  ASSERT_EQ(Compile("STRINGTABLE\r\nBEGIN\r\n61000 \"ICalc_Add\"\r\n"
                    "62001 \"INCLUDE, a, string, \"\"\"\"2\"\"\"\";\"\r\n64003 \"\"\r\nEND\r\n",
                    "/l 0x409"),
            0);
  ASSERT_TRUE(fs::is_regular_file(folder_ / "ICalcAdd.res"));
  // A string table resource holds its strings in UTF-16.
  std::ifstream in(folder_ / "ICalcAdd.res", std::ios::binary);
  const std::string res(std::istreambuf_iterator<char>(in), {});
  const std::string name("I\0C\0a\0l\0c\0_\0A\0d\0d\0", 18);
  EXPECT_NE(res.find(name), std::string::npos);
}

TEST_F(RcExe, FailureIsTheExitStatus) {
  EXPECT_NE(Compile("STRINGTABLE\r\nBEGIN\r\n62001 \"a\"b\"\r\nEND\r\n"), 0);
  EXPECT_NE(Compile("STRINGTABLE\r\nBEGIN\r\n62001 \"x\"\r\n62001 \"y\"\r\nEND\r\n"), 0) << "one id twice";
}

}  // namespace
}  // namespace zt::wb
