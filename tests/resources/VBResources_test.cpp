// The datapool resource script (field lines and layout) and the run of the
// resource compiler that turns it into a ".res".
#include "resources/VBResources.h"

#include "TestUtil.h"
#include "generators/COMTestBase.h"
#include "support/Text.h"

namespace zt {
namespace {

const std::string kPrefix = "[Verimos]--[Unit Test]: ";
const std::string kScript = "/store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc";
const std::string kRes = "/store/vb/unittests\\Maths\\Calc\\ICalcAdd.res";

std::string AddFields(std::vector<std::string> types, std::vector<std::string> names,
                      std::vector<std::string> arrays, SignatureArray& values) {
  VBResources resources;
  resources.Initialize(nullptr, "D", "C");
  return resources.AddFields(SignatureArray(std::move(types)), SignatureArray(std::move(names)),
                             SignatureArray(std::move(arrays)), values);
}

TEST(VBResourcesFields, ScalarLinesAreNumberedAndSeparatedArraysLeaveGaps) {
  struct Case {
    std::vector<std::string> types, names, arrays, values;
    std::string lines;
  };
  const std::vector<Case> cases = {
      {{}, {}, {}, {}, ""},
      {{"Long", "String"}, {"a", "b"}, {"()", "()"}, {"1", "2"}, ""},  // only arrays
      {{"Long", "Long"}, {"a"}, {"", ""}, {"1", "2"}, ""},             // the bounds differ
      {{"Long", "String", "String"},
       {"count", "name", "text"},
       {"", "", ""},
       {"5", "", "x y"},
       "62001 \"INCLUDE, count, string, \"\"\"\"5\"\"\"\";\"\r\n"
       "62002 \"INCLUDE, name, string, \"\"\"\"\"\"\"\";\"\r\n"
       "62003 \"INCLUDE, text, string, \"\"\"\"x y\"\"\"\";\""},
      // An array leaves a gap in the numbers, and a trailing line break when it is last.
      {{"Long", "Long", "Long", "Long"},
       {"a", "list", "c", "tail"},
       {"", "()", "", "()"},
       {"1", "", "3", ""},
       "62001 \"INCLUDE, a, string, \"\"\"\"1\"\"\"\";\"\r\n"
       "62003 \"INCLUDE, c, string, \"\"\"\"3\"\"\"\";\"\r\n"},
  };
  for (const Case& c : cases) {
    SignatureArray values(c.values);
    EXPECT_EQ(AddFields(c.types, c.names, c.arrays, values), c.lines) << c.names.size();
  }
  SignatureArray none;
  EXPECT_EQ(VBResources().AddFields(std::nullopt, std::nullopt, std::nullopt, none), "");
}

TEST(VBResourcesFields, QuotedValueIsWrappedOnceMoreAlsoForTheCaller) {
  SignatureArray values(std::vector<std::string>{"\"hi\"", "a\"b"});
  EXPECT_EQ(AddFields({"String", "String"}, {"s", "t"}, {"", ""}, values),
            "62001 \"INCLUDE, s, string, \"\"\"\"\"\"hi\"\"\"\"\"\";\"\r\n"
            "62002 \"INCLUDE, t, string, \"\"\"\"a\"b\"\"\"\";\"");
  EXPECT_EQ((*values)[0], "\"\"hi\"\"");
  EXPECT_EQ((*values)[1], "a\"b") << "only a leading quote counts";
}

TEST(VBResourcesScript, MakeResourceFileLayout) {
  test::MemoryFiles files;
  test::UseMemoryFileSystem(files);
  VBResources resources;
  resources.Initialize(nullptr, "ICalc_Add", "ICalc");
  resources.Fields().push_back("62001 \"INCLUDE, a, string, \"\"\"\"2\"\"\"\";\"");
  resources.SetScriptPath("C:\\out\\ICalcAdd.rc");
  resources.MakeResourceFile();
  EXPECT_EQ(files.Get("C:\\out\\ICalcAdd.rc"),
            "STRINGTABLE\r\nBEGIN\r\n"
            "61000 \"\"ICalc_Add\"\"\r\n"
            "62000 \"\"DATAPOOL_CONFIG ICalc_Add\"\"\r\n"
            "\r\n"  // the empty line Initialize starts the fields with
            "62001 \"INCLUDE, a, string, \"\"\"\"2\"\"\"\";\"\r\n"
            "64003 \"\"\"\"\"\"\"\"\r\n64004 \"\"\"\"\"\"\"\"\r\nEND\r\n");
  test::UseNoComponents();
}

TEST(VBResourcesScript, MakeResourceFileFailureNamesTheFile) {
  test::UseNoComponents();  // no file-system object can be made
  VBResources resources;
  resources.Initialize(nullptr, "D", "C");
  resources.SetFileDescription("ICalcAdd.rc");
  const ZtError e = test::Raised([&] { resources.MakeResourceFile(); });
  EXPECT_EQ(e.Number(), 1);
  EXPECT_EQ(e.Source(), "VBResources");
  EXPECT_EQ(e.Description(), "Failed to read in the file: ICalcAdd.rc");
}

// CompileResourceFile, with the compiler played by the fake launcher.
class ResourceCompiler : public test::ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    com_.Init(nullptr, &processor_);
    ASSERT_NE(com_.CalculateTemplateParams(Op("Maths::ICalc::Add"), &store_), nullptr) << "keeps the store";
    files_.Put(kScript, "STRINGTABLE\r\n");
    UseCompiler("C:\\Program Files\\SDK\\rc.exe");
    components_.options[tool_option::kResourceCompilerOptions] = "/v /l 0x409";
    log_.lines.clear();
  }
  void UseCompiler(const std::string& path) {
    processor_.Run().ResourceCompilerPath = path;
    files_.Put(path, "");
  }
  ERCReturnTypes Compile() { return com_.CompileResourceFile("ICalcAdd.rc", "unittests\\Maths\\Calc"); }

  COMGenerator com_;
};

TEST_F(ResourceCompiler, MissingCompiler) {
  processor_.Run().ResourceCompilerPath = "C:\\nowhere\\rc.exe";
  EXPECT_EQ(Compile(), eRCCompilerNotFound);
  processor_.Run().ResourceCompilerPath.clear();
  EXPECT_EQ(Compile(), eRCCompilerNotFound);
  EXPECT_TRUE(compiler_.started.empty());
  EXPECT_TRUE(log_.lines.empty());
  EXPECT_TRUE(files_.Has(kScript));
}

TEST_F(ResourceCompiler, CompilerThatIsNotAnExeFails) {
  for (const std::string path : {"C:\\SDK\\RC.EXE", "/usr/bin/llvm-rc"}) {
    UseCompiler(path);
    log_.lines.clear();
    EXPECT_EQ(Compile(), eRCFailed) << path;
    EXPECT_EQ(log_.lines, (std::vector<std::string>{
                              kPrefix + "WARNING... could not generate resource (.RES) file using: " +
                                  FileSystemObject::GetFileName(path),
                              "    " + kScript}));
  }
  EXPECT_TRUE(compiler_.started.empty());
  EXPECT_TRUE(files_.Has(kScript));
}

TEST_F(ResourceCompiler, SuccessKeepsOnlyTheResFile) {
  EXPECT_EQ(Compile(), eRCSuccess);
  ASSERT_EQ(compiler_.started.size(), 1u);
  const ShellExecuteInfo& info = compiler_.started[0];
  EXPECT_EQ(info.lpFile, "C:\\Program Files\\SDK\\rc.exe");
  EXPECT_EQ(info.lpParameters, "/v /l 0x409");
  EXPECT_EQ(info.lpArguments, std::vector<std::string>{kScript});
  EXPECT_EQ(info.lpDirectory, "/store/vb/unittests\\Maths\\Calc\\");
  EXPECT_EQ(info.lpVerb, "Open");
  EXPECT_EQ(info.fMask, kSeeMaskNoCloseProcess);
  EXPECT_EQ(info.hwnd, 77) << "owned by the progress window";
  EXPECT_EQ(info.nShow, 2) << "rc.exe runs minimized";
  EXPECT_FALSE(files_.Has(kScript));
  EXPECT_TRUE(files_.Has(kRes));
  EXPECT_EQ(log_.lines, std::vector<std::string>{"    " + kRes});
  EXPECT_EQ(compiler_.closed, std::vector<int64_t>{4711});

  UseCompiler("C:\\SDK\\brc32.exe");
  files_.Put(kScript, "STRINGTABLE\r\n");
  EXPECT_EQ(Compile(), eRCSuccess);
  EXPECT_EQ(compiler_.started[1].nShow, 3) << "another compiler runs maximized";
}

TEST_F(ResourceCompiler, FailureRemovesAPartialResAndKeepsTheScript) {
  compiler_.exitStatus = 1;  // a partial ".res" is left behind
  EXPECT_EQ(Compile(), eRCFailed);
  EXPECT_FALSE(files_.Has(kRes));
  EXPECT_TRUE(files_.Has(kScript));
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            kPrefix + "WARNING... could not generate resource (.RES) file using: rc.exe /v /l 0x409 \"" +
                                kScript + "\"",
                            "    " + kScript}));
  EXPECT_EQ(compiler_.closed, std::vector<int64_t>{4711});

  // Exit status 0 without a ".res" is no success either.
  compiler_.exitStatus = 0;
  compiler_.writesRes = false;
  log_.lines.clear();
  EXPECT_EQ(Compile(), eRCFailed);
  EXPECT_EQ(log_.lines.size(), 2u);
  EXPECT_TRUE(files_.Has(kScript));
}

// Whatever the store's path and the package folders hold, the compiler gets
// the options and the script as one argument, and only the script's
// extension becomes ".res": the ".res" of a sibling folder is never touched.
TEST_F(ResourceCompiler, TheScriptIsOneArgumentAndOnlyItsExtensionChanges) {
  struct Case {
    const char* root;
    const char* folder;
  };
  for (const Case& c :
       {Case{"/proj.rc/st/vb/", "unittests\\Maths\\Calc"}, Case{"/a \"quoted\" store/vb/", "unittests\\Maths\\Calc"},
        Case{"/store/vb/", "unittests\\P.rcd\" \\fo \"\\x\\victim.txt\" \"..\\Calc"}}) {
    store_.vbRoot = c.root;
    const std::string script = std::string(c.root) + c.folder + "\\ICalcAdd.rc";
    const std::string res = std::string(c.root) + c.folder + "\\ICalcAdd.res";
    // Where every ".rc" of the path became ".res" (none, for the quoted store).
    const std::string sibling = Replaced(res, ".rc", ".res");
    files_.Put(script, "STRINGTABLE\r\n");
    if (sibling != res) files_.Put(sibling, "a sibling's");
    compiler_.started.clear();
    log_.lines.clear();
    EXPECT_EQ(com_.CompileResourceFile("ICalcAdd.rc", c.folder), eRCSuccess) << c.root << c.folder;
    ASSERT_EQ(compiler_.started.size(), 1u);
    EXPECT_EQ(compiler_.started[0].lpParameters, "/v /l 0x409");
    EXPECT_EQ(compiler_.started[0].lpArguments, std::vector<std::string>{script});
    EXPECT_EQ(compiler_.started[0].lpDirectory, std::string(c.root) + c.folder + "\\");
    EXPECT_TRUE(files_.Has(res));
    EXPECT_FALSE(files_.Has(script));
    if (sibling != res) {
      EXPECT_EQ(files_.Get(sibling), "a sibling's");
    }
    EXPECT_EQ(log_.lines, std::vector<std::string>{"    " + res});
  }
}

TEST_F(ResourceCompiler, AResThatCannotBeDeletedStopsTheCompilation) {
  files_.Put(kRes, "from an earlier run");
  files_.SetReadOnly(kRes);
  EXPECT_EQ(Compile(), eRCFailed);
  EXPECT_TRUE(compiler_.started.empty()) << "its old .res would pass for the result";
  EXPECT_EQ(files_.Get(kRes), "from an earlier run");
  EXPECT_EQ(log_.lines.size(), 2u);
  EXPECT_TRUE(files_.Has(kScript));
}

TEST_F(ResourceCompiler, StaleResIsDeletedBeforeTheCompilerStarts) {
  files_.Put(kRes, "from an earlier run");
  compiler_.writesRes = false;
  EXPECT_EQ(Compile(), eRCFailed);
  ASSERT_EQ(compiler_.resAtStart.size(), 1u);
  EXPECT_FALSE(compiler_.resAtStart[0]);
  EXPECT_FALSE(files_.Has(kRes));
}

TEST_F(ResourceCompiler, CompilerThatCannotStartIsReported) {
  compiler_.spawnError = ZtError(53, "", "Could not start /opt/rc.exe in the folder /x: No such file or directory");
  EXPECT_EQ(Compile(), eRCFailed);
  EXPECT_EQ(log_.lines, std::vector<std::string>{
                            kPrefix + "Error Number:  53, Could not start /opt/rc.exe in the folder /x: No such file or directory"});
  EXPECT_TRUE(files_.Has(kScript));
  EXPECT_TRUE(compiler_.closed.empty());
}

}  // namespace
}  // namespace zt
