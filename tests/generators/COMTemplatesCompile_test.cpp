// The bundled COM template project, end to end: for every operation of
// examples/calc-com.json the COM generator computes the tags (with the
// workbench's model helper), the template processor writes the project
// through the SQLite store, and the project writer compiles the resource
// script with the built rc.exe and the real llvm-rc, started by the
// workbench's process launcher. Without llvm-rc on the PATH the test is
// skipped with a message.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "TestUtil.h"
#include "driver/GenerationRun.h"
#include "driver/RunState.h"
#include "fakes/FakeHost.h"
#include "fakes/ScriptedConsole.h"
#include "generators/COMGenerator.h"
#include "generators/COMTestBase.h"
#include "support/CommonFunctions.h"
#include "support/modErrorHandling.h"
#include "template/TemplateProcessor.h"
#include "workbench/DiskFileSystem.h"
#include "workbench/ModelDocument.h"
#include "workbench/ProcessLauncher.h"
#include "workbench/ResourceCompilerWrapper.h"
#include "workbench/SqliteStore.h"
#include "workbench/WorkbenchModelHelper.h"

namespace zt {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = fs::path(ZT_EXAMPLES_DIR).parent_path();

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class RealComComponents : public HostComponents {
 public:
  explicit RealComComponents(test::ListScript& list) : list_(list) {}
  std::unique_ptr<FileSystemObject> CreateFileSystemObject() override {
    return std::make_unique<wb::DiskFileSystem>((kSourceDir / "templates").string());
  }
  std::unique_ptr<ModelHelper> CreateModelHelper() override { return std::make_unique<wb::WorkbenchModelHelper>(); }
  std::unique_ptr<ToolOptions> CreateToolOptions() override { return std::make_unique<test::MapOptions>(options); }
  std::unique_ptr<ListSelectDialog> CreateListSelectDialog() override {
    return std::make_unique<test::ScriptedListDialog>(list_);
  }
  ProcessLauncher& Processes() override { return launcher_; }

  std::map<int32_t, std::string> options;

 private:
  test::ListScript& list_;
  wb::PosixProcessLauncher launcher_{std::make_unique<wb::DiskFileSystem>((kSourceDir / "templates").string())};
};

class ComTemplatesCompile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    const char* path = std::getenv("PATH");
    if (wb::FindLlvmRc("", path != nullptr ? path : "", error).empty()) {
      GTEST_SKIP() << "llvm-rc is not installed: " << error;
    }
    dir_ = test::TempDir("comtemplates");
    SetHostComponents(&components_);
    ResetFileSystem();
    ResetModelHelper();
    ResetRunState();
    SetLogTarget(&log_);
    store_ = std::make_unique<wb::SqliteStore>(wb::StoreOptions{(dir_ / "store").string(), "tester"}, console_);
    store_->Open();
    processor_.Initialize(store_.get());
    com_.Init(nullptr, &processor_);
  }
  void TearDown() override {
    SetLogTarget(nullptr);
    SetHostComponents(nullptr);
    ResetFileSystem();
    ResetModelHelper();
    ResetRunState();
    store_.reset();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  fs::path Root() { return store_->ScriptRoot(dsVisualBasicScript); }

  test::ListScript list_;
  RealComComponents components_{list_};
  test::RecordingApplication log_;
  test::ScriptedConsole console_;
  std::unique_ptr<wb::SqliteStore> store_;
  TemplateProcessor processor_;
  COMGenerator com_;
  fs::path dir_;
};

TEST_F(ComTemplatesCompile, EveryOperationOfTheCalculatorGetsACompiledProject) {
  std::unique_ptr<wb::Model> model = wb::LoadModelDocument((fs::path(ZT_EXAMPLES_DIR) / "calc-com.json").string());
  components_.options[tool_option::kResourceCompiler] = wb::BundledResourceCompiler();
  CurrentRun().ResourceCompilerPath = wb::BundledResourceCompiler();
  const std::regex leftOverTag(R"(<[a-z_]+>)");

  struct Expected {
    std::string operation, folder, name, call;
  };
  const std::vector<Expected> expected = {
      {"Maths::ICalc::Add", "Maths/Calc", "ICalcAdd", "actRet = target.Add(a, b)"},
      {"Maths::ICalc::Reset", "Maths/Calc", "ICalcReset", "target.Reset\r\n"},
      {"Maths::ICalc::Divide", "Maths/Calc", "ICalcDivide", "actRet = target.Divide(values, divisor)"},
      {"Maths::IFormatter::Format", "Maths/PlainFormatter", "IFormatterFormat", "actRet = target.Format(value)"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.operation);
    TesselOperation* op = dynamic_cast<TesselOperation*>(model->Find(e.operation).at(0));
    ASSERT_TRUE(com_.IsValidOperationForGeneration(op).value_or(false));
    CurrentRun().CompileResources = true;
    std::string templatePath = com_.GetTemplatePath(op);
    ASSERT_TRUE(FileExists(templatePath)) << templatePath;
    std::unique_ptr<ParamMap> map = com_.CalculateTemplateParams(op, store_.get());
    ASSERT_NE(map, nullptr);
    processor_.ProcessTemplate(templatePath, com_.GetTestCodePath(op, store_.get()), *map, dsVisualBasicScript,
                               e.operation);
    ASSERT_FALSE(processor_.UserCanceled);

    const fs::path folder = Root() / "unittests" / e.folder;
    const std::string project = ReadAll(folder / (e.name + ".vbp"));
    const std::string cls = ReadAll(folder / (e.name + ".cls"));
    const std::string main = ReadAll(folder / (e.name + "Main.bas"));
    EXPECT_NE(project.find("Class=" + e.name + "; " + e.name + ".cls\r\n"), std::string::npos) << project;
    EXPECT_NE(project.find("Module=" + e.name + "Main; " + e.name + "Main.bas\r\n"), std::string::npos) << project;
    EXPECT_NE(project.find("ResFile32=" + e.name + ".res\r\n"), std::string::npos) << project;
    EXPECT_NE(project.find("Reference=*\\G{6F1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}#0.0#0#CalcLib.dll#"),
              std::string::npos)
        << project;
    EXPECT_NE(cls.find("Attribute VB_Name = \"" + e.name + "\""), std::string::npos) << cls;
    EXPECT_NE(cls.find(e.call), std::string::npos) << cls;
    EXPECT_NE(main.find("Attribute VB_Name = \"" + e.name + "Main\""), std::string::npos) << main;
    for (const std::string* text : {&project, &cls, &main}) {
      EXPECT_FALSE(std::regex_search(*text, leftOverTag)) << *text;
    }
    EXPECT_TRUE(fs::is_regular_file(folder / (e.name + ".res"))) << "compiled";
    EXPECT_FALSE(fs::exists(folder / (e.name + ".rc"))) << "the script is deleted after compiling";
  }
  EXPECT_FALSE(CurrentRun().NoResourceFile);
  EXPECT_EQ(list_.prompts.size(), 1u) << "IFormatter has two coclasses";
  for (const std::string& line : log_.lines) {
    EXPECT_EQ(line.find("WARNING"), std::string::npos) << line;
    EXPECT_EQ(line.find("Error"), std::string::npos) << line;
  }
  // The resource file of Add holds the datapool's name and its two fields.
  const std::string res = ReadAll(Root() / "unittests" / "Maths" / "Calc" / "ICalcAdd.res");
  std::string wide;
  for (char c : std::string("INCLUDE, b, string, \"\"3\"\";")) wide += std::string{c, '\0'};
  EXPECT_NE(res.find(wide), std::string::npos);
}

}  // namespace
}  // namespace zt
