// The COM generator: which operations it takes, the coclass under test, the
// 24 tags, where the project goes, and the project writer that processes
// the files a template project names and compiles its resource script.
#include "generators/COMGenerator.h"

#include "generators/COMTestBase.h"
#include "template/TemplateProcessor.h"

namespace zt {
namespace {

using test::ComTest;

const std::string kPrefix = "[Verimos]--[Unit Test]: ";
const std::string kNoProgId =
    kPrefix + "WARNING... cannot find programmatic ID (ProgID), possible the DLL and model not synchronized.";
const std::string kParamsFailed =
    kPrefix + "An error occurred while attempting to calculate the template parameters for COM generation.";

TEST_F(ComTest, ValidOnlyForCOMInterfaces) {
  COMGenerator com;
  com.Init(nullptr, &processor_);
  EXPECT_EQ(com.IsValidOperationForGeneration(Op("Maths::ICalc::Add")), std::optional<bool>(true));
  EXPECT_EQ(com.IsValidOperationForGeneration(Op("Maths::ILower::X")), std::optional<bool>(false))
      << "the stereotype is compared with its letter case";
  EXPECT_EQ(com.IsValidOperationForGeneration(Op("Maths::IScript::X")), std::optional<bool>(false))
      << "the language is compared with its letter case";
  EXPECT_EQ(com.IsValidOperationForGeneration(Op("Maths::Plain::x")), std::optional<bool>(false));
  EXPECT_EQ(com.IsValidOperationForGeneration(nullptr), std::nullopt) << "an error gives an empty variant";
}

TEST_F(ComTest, AllTagsOfAnOperationWithAReturnValueParameter) {
  COMGenerator com;
  com.Init(nullptr, &processor_);
  auto map = com.CalculateTemplateParams(Op("Maths::ICalc::Add"), &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->Keys(), (std::vector<std::string>{
                             "<generation_date>", "<test_name>", "<datapool_name>", "<index>", "<root_package>",
                             "<package_name>", "<class_name>", "<interface_name>", "<operation_name>",
                             "<library_name>", "<coclass_name>", "<coclass_guid>", "<coclass_progid>",
                             "<check_expected_result>", "<method_declaration>", "<parameter_declarations>",
                             "<parameter_initialization>", "<operation_arglist>", "<return_val>",
                             "<datapool_fields>", "<sync_points>", "<shared_variables>", "<project_reference>",
                             "<author_name>"}));
  const std::pair<std::string, std::string> expected[] = {
      {"<test_name>", "ICalcAdd"},
      {"<datapool_name>", "ICalc_Add"},
      {"<index>", ""},
      {"<root_package>", "unittests"},
      {"<package_name>", "Maths\\Calc"},
      {"<class_name>", "ICalc"},
      {"<interface_name>", "ICalc"},
      {"<operation_name>", "Add"},
      {"<library_name>", "CalcLib"},
      {"<coclass_name>", "Calc"},
      {"<coclass_guid>", ""},
      {"<coclass_progid>", "CalcLib.Calc"},
      {"<check_expected_result>",
       "if (expRet = actRet) Then\r\n"
       "    Log.Message \"Expected result\", KTS_LOG_RESULT_PASS, \"Call to Add returned expected value\"\r\n"
       "Else \r\n"
       "    Log.Message \"Unexpected result\", KTS_LOG_RESULT_FAIL, \"Call to Add returned unexpected value, \" & "
       "actRet & \".\" & \"  The expected return value was \" & expRet & \".\"\r\n"
       "End if"},
      {"<method_declaration>", "Function Add(Long a, Long b) As Long"},
      {"<parameter_declarations>", "Dim a As Long\r\nDim b As Long\r\nDim actRet As Long\r\nDim expRet As Long"},
      {"<parameter_initialization>",
       "a = CLng(dp.value(\"a\"))\r\nb = CLng(dp.value(\"b\"))\r\nexpRet = CLng(dp.value(\"expectedReturn\"))"},
      {"<operation_arglist>", "(a, b)"},
      {"<return_val>", "actRet = "},
      {"<datapool_fields>",
       "62001 \"INCLUDE, a, string, \"\"\"\"2\"\"\"\";\"\r\n62002 \"INCLUDE, b, string, \"\"\"\"3\"\"\"\";\""},
      {"<sync_points>", ""},
      {"<shared_variables>", ""},
      {"<project_reference>",
       "Reference=*\\G{6F1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}#0.0#0#CalcLib.dll#Calculator 1.0 Type Library"},
      {"<author_name>", "tester"},
  };
  for (const auto& [tag, value] : expected) EXPECT_EQ(Text(*map, tag), value) << tag;
  EXPECT_FALSE(Text(*map, "<generation_date>").empty());
  EXPECT_TRUE(log_.lines.empty()) << log_.lines.front();
}

TEST_F(ComTest, ReturnAndParameterTextsByOperation) {
  struct Tag {
    const char* operation;
    const char* tag;
    std::string value;
  };
  const std::vector<Tag> expected = {
      // HRESULT without a return-value parameter: no return type at all; a
      // call statement gets a blank and no arguments.
      {"Reset", "<return_val>", ""},
      {"Reset", "<operation_arglist>", " "},
      {"Reset", "<parameter_declarations>", "\r\n"},
      {"Reset", "<method_declaration>", "Sub Reset()"},
      {"Reset", "<check_expected_result>",
       "Log.Message \"Expected result\", KTS_LOG_RESULT_PASS, \"Call to Reset was successful.\""},
      {"Reset", "<datapool_fields>", ""},
      // "void" with a parameter: two line breaks after the declarations.
      {"Clear", "<return_val>", ""},
      {"Clear", "<operation_arglist>", " level"},
      {"Clear", "<parameter_declarations>", "Dim level As Integer\r\n\r\n"},
      {"Clear", "<method_declaration>", "Sub Clear(Integer level)"},
      // Currency is a value; an array parameter has no field line.
      {"Total", "<return_val>", "actRet = "},
      {"Total", "<operation_arglist>", "(items)"},
      {"Total", "<datapool_fields>", ""},
      {"Total", "<parameter_declarations>", "Dim items() As Long\r\nDim actRet As Currency\r\nDim expRet As Currency"},
      // Decimal is not among the value types.
      {"Precise", "<return_val>", "Set actRet = "},
      {"Precise", "<operation_arglist>", "()"},
      {"Self", "<return_val>", "Set actRet = "},
      {"Self", "<parameter_declarations>", "Dim actRet As ICalc\r\nDim expRet As ICalc"},
  };
  COMGenerator com;
  com.Init(nullptr, &processor_);
  std::map<std::string, std::unique_ptr<ParamMap>> maps;
  for (const Tag& t : expected) {
    SCOPED_TRACE(std::string(t.operation) + " " + t.tag);
    std::unique_ptr<ParamMap>& map = maps[t.operation];
    if (map == nullptr) map = com.CalculateTemplateParams(Op(std::string("Maths::ICalc::") + t.operation), &store_);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Text(*map, t.tag), t.value);
  }
  // One coclass is taken without asking.
  EXPECT_TRUE(list_.prompts.empty());
  EXPECT_EQ(com.CoclassName(), "Calc");
}

TEST_F(ComTest, AMissingCoclassOrProgIdWarnsAndDropsTheReference) {
  COMGenerator com;
  com.Init(nullptr, &processor_);
  auto map = com.CalculateTemplateParams(Op("Maths::ILonely::Ping"), &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(log_.lines, std::vector<std::string>{kNoProgId});
  EXPECT_EQ(Text(*map, "<coclass_name>"), "Lonely") << "the default coclass name";
  EXPECT_EQ(Text(*map, "<coclass_progid>"), "Maths.Lonely");
  EXPECT_EQ(Text(*map, "<project_reference>"), "");
  EXPECT_EQ(Text(*map, "<package_name>"), "Maths\\Lonely");
  EXPECT_TRUE(list_.prompts.empty());

  log_.lines.clear();
  helper_.progidOf.erase("Calc");
  map = com.CalculateTemplateParams(Op("Maths::ICalc::Add"), &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(log_.lines, std::vector<std::string>{kNoProgId});
  EXPECT_EQ(Text(*map, "<coclass_progid>"), "CalcLib.Calc");
  EXPECT_EQ(Text(*map, "<project_reference>"), "");
}

TEST_F(ComTest, SeveralCoclassesAskOncePerInterfaceAndRun) {
  COMGenerator com;
  com.Init(nullptr, &processor_);
  list_.pick = 2;
  auto one = com.CalculateTemplateParams(Op("Maths::IWide::One"), &store_);
  auto two = com.CalculateTemplateParams(Op("Maths::IWide::Two"), &store_);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  ASSERT_EQ(list_.prompts.size(), 1u) << "two operations of one interface ask once";
  EXPECT_EQ(list_.prompts[0],
            "Corvant Verimos - Select coclass|The selected IWide interface is implemented by more than one coclass in "
            "your model.  Please choose a coclass to test:|W1,W2,W3");
  EXPECT_EQ(Text(*two, "<coclass_name>"), "W2");
  EXPECT_EQ(Text(*two, "<coclass_progid>"), "CalcLib.W2");
  EXPECT_EQ(Text(*two, "<package_name>"), "Maths\\W2");
  EXPECT_EQ(com.GetTestCodePath(Op("Maths::IWide::Two"), &store_), "unittests\\Maths\\W2\\IWideTwo.vbp");

  // Another interface in between makes the next one ask again.
  ASSERT_NE(com.CalculateTemplateParams(Op("Maths::ICalc::Add"), &store_), nullptr);
  EXPECT_EQ(com.GetTestCodePath(Op("Maths::ICalc::Add"), &store_), "unittests\\Maths\\Calc\\ICalcAdd.vbp");
  store_.suffix = "3";
  EXPECT_EQ(com.GetTestCodePath(Op("Maths::ICalc::Add"), &store_), "unittests\\Maths\\Calc\\ICalcAdd3.vbp");
  list_.pick = 3;
  ASSERT_NE(com.CalculateTemplateParams(Op("Maths::IWide::One"), &store_), nullptr);
  EXPECT_EQ(list_.prompts.size(), 2u);
  EXPECT_EQ(com.CoclassName(), "W3");

  // A new run asks again.
  com.ResetMembers();
  ASSERT_NE(com.CalculateTemplateParams(Op("Maths::IWide::One"), &store_), nullptr);
  EXPECT_EQ(list_.prompts.size(), 3u);
}

TEST_F(ComTest, NoCoclassChosenOrOneOfNoComponentFailsTheCalculation) {
  COMGenerator com;
  com.Init(nullptr, &processor_);
  // A coclass chosen for the interface in an earlier run...
  list_.pick = 2;
  ASSERT_NE(com.CalculateTemplateParams(Op("Maths::IWide::One"), &store_), nullptr);
  com.ResetMembers();
  // ...is not taken when nothing is chosen this time: the call ends on the
  // missing object, for this operation and the next one of the interface,
  // which does not ask again.
  list_.pick = 0;
  const std::vector<std::string> expected{
      kParamsFailed, kPrefix + "Error Number:  91, Object variable or With block variable not set"};
  log_.lines.clear();
  EXPECT_EQ(com.CalculateTemplateParams(Op("Maths::IWide::One"), &store_), nullptr);
  EXPECT_EQ(log_.lines, expected);
  log_.lines.clear();
  EXPECT_EQ(com.CalculateTemplateParams(Op("Maths::IWide::Two"), &store_), nullptr);
  EXPECT_EQ(log_.lines, expected);
  EXPECT_EQ(list_.prompts.size(), 2u);
  log_.lines.clear();
  EXPECT_EQ(com.CalculateTemplateParams(Op("Maths::IOrphan::Go"), &store_), nullptr);
  ASSERT_FALSE(log_.lines.empty());
  EXPECT_EQ(log_.lines[0], kParamsFailed);
}

// The project writer: the processor works through a template project in the
// memory files, with the generator listening.
class ProjectWriter : public ComTest {
 protected:
  static constexpr const char* kFolder = "T:\\tpl\\";
  void SetUp() override {
    ComTest::SetUp();
    processor_.Initialize(&store_);
    com_.Init(nullptr, &processor_);
    files_.Put(std::string(kFolder) + "TestName.cls", "Attribute VB_Name = \"<test_name>\"\n<return_val>x.<operation_name><operation_arglist>\n");
    files_.Put(std::string(kFolder) + "TestMain.bas", "Sub Main() ' <datapool_name>\n");
    files_.Put(std::string(kFolder) + "TestName.rc", "STRINGTABLE\nBEGIN\n61000 \"<datapool_name>\"\n<datapool_fields>\nEND\n");
    processor_.Run().ResourceCompilerPath = "C:\\tools\\rc.exe";
    files_.Put("C:\\tools\\rc.exe", "");
    components_.options[tool_option::kResourceCompilerOptions] = "/v";
  }

  // Generates the project of ICalc::Add from the project template `project`.
  void Write(const std::string& project) {
    files_.Put(std::string(kFolder) + "TestName.vbp", project);
    map_ = com_.CalculateTemplateParams(Op("Maths::ICalc::Add"), &store_);
    ASSERT_NE(map_, nullptr);
    processor_.Run().CompileResources = true;
    processor_.Run().ScriptNotStored = false;
    log_.lines.clear();
    processor_.ProcessTemplate(std::string(kFolder) + "TestName.vbp", com_.GetTestCodePath(Op("Maths::ICalc::Add"), &store_),
                               *map_, dsVisualBasicScript, "Maths::ICalc::Add");
  }

  std::vector<std::string> SavedNames() const {
    std::vector<std::string> names;
    for (const auto& saved : store_.saved) names.push_back(saved.folder + "\\" + saved.fileName);
    return names;
  }

  COMGenerator com_;
  std::unique_ptr<ParamMap> map_;
};

TEST_F(ProjectWriter, ProjectWithoutFileLinesIsCopiedWithItsTags) {
  Write("Type=Exe\nName=\"<test_name><index>\"\n<project_reference>\n");
  ASSERT_EQ(store_.saved.size(), 1u);
  EXPECT_EQ(store_.saved[0].content,
            "Type=Exe\r\nName=\"ICalcAdd\"\r\n"
            "Reference=*\\G{6F1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}#0.0#0#CalcLib.dll#Calculator 1.0 Type Library\r\n");
  EXPECT_TRUE(compiler_.started.empty());
}

TEST_F(ProjectWriter, NamedFilesAreWrittenCompiledAndTheLinesRewritten) {
  Write("Type=Exe\nClass=<test_name><index>; TestName.cls\nModule=<test_name><index>Main; TestMain.bas\n"
        "ResFile32=<test_name><index>; TestName.rc\nStartup=\"Sub Main\"\n");
  EXPECT_EQ(SavedNames(), (std::vector<std::string>{"unittests\\Maths\\Calc\\ICalcAdd.cls",
                                                    "unittests\\Maths\\Calc\\ICalcAddMain.bas",
                                                    "unittests\\Maths\\Calc\\ICalcAdd.rc",
                                                    "unittests\\Maths\\Calc\\ICalcAdd.vbp"}));
  ASSERT_EQ(store_.saved.size(), 4u);
  EXPECT_EQ(store_.saved[0].content, "Attribute VB_Name = \"ICalcAdd\"\r\nactRet = x.Add(a, b)\r\n");
  EXPECT_EQ(store_.saved[1].content, "Sub Main() ' ICalc_Add\r\n");
  EXPECT_EQ(store_.saved[2].content,
            "STRINGTABLE\r\nBEGIN\r\n61000 \"ICalc_Add\"\r\n62001 \"INCLUDE, a, string, \"\"\"\"2\"\"\"\";\"\r\n"
            "62002 \"INCLUDE, b, string, \"\"\"\"3\"\"\"\";\"\r\nEND\r\n");
  EXPECT_EQ(store_.saved[3].content,
            "Type=Exe\r\nClass=ICalcAdd; ICalcAdd.cls\r\nModule=ICalcAddMain; ICalcAddMain.bas\r\n"
            "ResFile32=ICalcAdd.res\r\nStartup=\"Sub Main\"\r\n");

  // The compiler ran once on the script, and only the ".res" is left.
  ASSERT_EQ(compiler_.started.size(), 1u);
  EXPECT_EQ(compiler_.started[0].lpParameters, "/v");
  EXPECT_EQ(compiler_.started[0].lpArguments,
            std::vector<std::string>{"/store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc"});
  EXPECT_FALSE(files_.Has("/store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc"));
  EXPECT_TRUE(files_.Has("/store/vb/unittests\\Maths\\Calc\\ICalcAdd.res"));
  EXPECT_FALSE(processor_.Run().NoResourceFile);
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            kPrefix + "source created for Maths::ICalc::Add:",
                            "    /store/vb/unittests\\Maths\\Calc\\ICalcAdd.cls",
                            "    /store/vb/unittests\\Maths\\Calc\\ICalcAddMain.bas",
                            "    /store/vb/unittests\\Maths\\Calc\\ICalcAdd.res",
                            "    /store/vb/unittests\\Maths\\Calc\\ICalcAdd.vbp"}));
}

TEST_F(ProjectWriter, CancelInANestedFileStopsTheProject) {
  store_.codes["ICalcAddMain.bas"] = save_result::kCancelled;
  Write("Class=<test_name>; TestName.cls\nModule=<test_name>Main; TestMain.bas\nResFile32=<test_name>; TestName.rc\n");
  EXPECT_TRUE(processor_.UserCanceled);
  // The class module stays; the module was refused; nothing after it.
  EXPECT_EQ(SavedNames(), (std::vector<std::string>{"unittests\\Maths\\Calc\\ICalcAdd.cls",
                                                    "unittests\\Maths\\Calc\\ICalcAddMain.bas"}));
  EXPECT_TRUE(files_.Has("/store/vb/unittests\\Maths\\Calc\\ICalcAdd.cls"));
  EXPECT_TRUE(compiler_.started.empty());
}

TEST_F(ProjectWriter, ClassModuleKeptByTheStoreLeavesTheScriptUncompiled) {
  store_.codes["ICalcAdd.cls"] = save_result::kNotWritten;
  Write("Class=<test_name>; TestName.cls\nResFile32=<test_name>; TestName.rc\n");
  EXPECT_TRUE(files_.Has("/store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc")) << "the script is written";
  EXPECT_TRUE(compiler_.started.empty()) << "but not compiled";
  EXPECT_FALSE(processor_.Run().NoResourceFile);
  EXPECT_FALSE(processor_.Run().CompileResources);
  ASSERT_FALSE(store_.saved.empty());
  EXPECT_EQ(store_.saved.back().content, "Class=ICalcAdd; ICalcAdd.cls\r\nResFile32=ICalcAdd.res\r\n");
}

// A resource line that leads out of the store: the store refuses the script
// (and says so), and then nothing is compiled, deleted or written there.
TEST_F(ProjectWriter, AScriptTheStoreRefusedIsNeitherCompiledNorDeleted) {
  store_.codes["victim.rc"] = save_result::kNotWritten;
  store_.failed.insert("victim.rc");
  files_.Put("/store/vb/unittests\\Maths\\Calc\\..\\..\\..\\..\\somewhere\\victim.res", "outside");
  Write("ResFile32=..\\..\\..\\..\\somewhere\\victim; TestName.rc\nName=x\n");
  EXPECT_TRUE(processor_.Run().ScriptNotStored);
  EXPECT_TRUE(compiler_.started.empty());
  EXPECT_TRUE(store_.deleted.empty());
  EXPECT_EQ(files_.Get("/store/vb/unittests\\Maths\\Calc\\..\\..\\..\\..\\somewhere\\victim.res"), "outside");
  EXPECT_FALSE(processor_.Run().NoResourceFile) << "no end-of-run warning for a script that was never written";
}

TEST_F(ProjectWriter, FileLineWithoutSeparatorCancelsTheProject) {
  Write("Type=Exe\nModule=TestMain.bas\nName=x\n");
  EXPECT_TRUE(processor_.UserCanceled);
  EXPECT_TRUE(store_.saved.empty());
  EXPECT_EQ(log_.lines, std::vector<std::string>{kPrefix + "Error Number:  9, Subscript out of range"});
}

TEST_F(ProjectWriter, NoCompilerLeavesTheScriptAndLogsIt) {
  processor_.Run().ResourceCompilerPath.clear();
  Write("ResFile32=<test_name>; TestName.rc\n");
  EXPECT_TRUE(files_.Has("/store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc"));
  EXPECT_TRUE(compiler_.started.empty());
  EXPECT_TRUE(processor_.Run().NoResourceFile);
  EXPECT_EQ(log_.lines, (std::vector<std::string>{"    /store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc",
                                                  kPrefix + "source created for Maths::ICalc::Add:",
                                                  "    /store/vb/unittests\\Maths\\Calc\\ICalcAdd.vbp"}));
}

TEST_F(ProjectWriter, FailedCompilationSetsNoResourceFile) {
  compiler_.exitStatus = 1;
  Write("ResFile32=<test_name>; TestName.rc\n");
  EXPECT_TRUE(processor_.Run().NoResourceFile);
  EXPECT_TRUE(files_.Has("/store/vb/unittests\\Maths\\Calc\\ICalcAdd.rc"));
  ASSERT_EQ(store_.saved.size(), 2u) << "the project is still written";
}

}  // namespace
}  // namespace zt
