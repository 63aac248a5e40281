// The bundled Java templates, end to end: the generators compute the tags of
// every operation of a model, the template processor fills the template the
// generator names (the default template paths resolved through the disk file
// system, the plain Java templates through their template property), the
// SQLite store writes the test files, and javac compiles them against the
// built Java runtime (and JUnit 5), the javax.ejb interfaces of
// tests/java-runtime/ and the model's own classes. A generated file holding a
// failure text is not compiled; it must show that text. Without javac or java
// on the PATH, or a runtime jar, the test fails: `./bootstrap.sh test`
// installs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "fakes/FakeHost.h"
#include "fakes/ScriptedConsole.h"
#include "fakes/ScriptedModelHelper.h"
#include "generators/EJBGenerator.h"
#include "generators/GeneratorTestBase.h"
#include "generators/GenericJavaGenerator.h"
#include "generators/InlineEJBGenerator.h"
#include "host/TesselModel.h"
#include "support/CommonFunctions.h"
#include "support/modErrorHandling.h"
#include "template/TemplateProcessor.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/sqlite/SqliteStore.h"
#include "workbench/system/DiskFileSystem.h"

namespace zt {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::RunCommand;
using test::ShellQuoted;
using test::WriteAll;

const fs::path kSourceDir = fs::path(ZT_EXAMPLES_DIR).parent_path();
const fs::path kRuntimeDir = kSourceDir / "tests" / "java-runtime";
const std::string kJavaTemplate = "$PWTTEMPLATES\\Unit Test Templates\\Java\\java_class.template";
const std::string kJUnit5Template = "$PWTTEMPLATES\\Unit Test Templates\\Java\\junit5_class.template";
// The runtime and the JUnit 5 jars it was built against, as the build made them.
// The runtime, the JUnit 5 API, and the real javax.ejb API (Debian's
// libgeronimo-ejb-3.2-spec-java) that the bean interfaces extend.
const std::string kRuntimeClassPath =
    std::string(ZT_RUNTIME_JAR) + ":" + ZT_JUNIT5_CLASSPATH + ":" + ZT_EJB_API_JAR;

std::vector<fs::path> JavaSources(const fs::path& dir) {
  std::vector<fs::path> sources;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.path().extension() == ".java") sources.push_back(entry.path());
  }
  return sources;
}

// The template property a user sets for plain Java classes; every other
// property is unset, so the generators fall back to their defaults.
std::string g_javaTemplate = kJavaTemplate;

class JavaTemplateProperty : public TemplateProperty {
 public:
  void SetName(const std::string& name) override { name_ = name; }
  void SetElementKind(const std::string&) override {}
  void SetDefaultValue(const std::string&) override {}
  std::string ReadDefinition(TesselApplication*, int32_t) override { return {}; }
  std::string ReadValue(TesselItem*, int32_t) override {
    if (name_ != "JavaTestTemplate") RaiseError(errc::kInvalidCall);
    return g_javaTemplate;
  }
  void Store(TesselApplication*, int32_t) override {}
  void Store(TesselItem*, int32_t) override {}

 private:
  std::string name_;
};

class DiskComponents : public test::ScriptedComponents {
 public:
  using ScriptedComponents::ScriptedComponents;
  std::unique_ptr<FileSystemObject> CreateFileSystemObject() override {
    return std::make_unique<wb::DiskFileSystem>((kSourceDir / "templates").string());
  }
  std::unique_ptr<TemplateProperty> CreateTemplateProperty() override {
    return std::make_unique<JavaTemplateProperty>();
  }
};

// One generated test file.
struct Generated {
  fs::path file;  // relative to the store's Java script root
  std::string content;
};

// What a generation run over a model gave, by operation ("Class::operation#n"
// for the n-th overload, n from 2).
struct RunResult {
  std::map<std::string, Generated> generated;
  std::vector<std::string> withoutGenerator, withoutTemplate;
};

constexpr const char* kNoJavac =
    "no javac on the PATH, or no runtime jar built: ./bootstrap.sh test installs default-jdk-headless and junit5";
constexpr const char* kNoJava = "no java on the PATH: ./bootstrap.sh test installs default-jdk-headless";

// A failure text a generator puts into a tag: the generated file shows it
// and does not compile.
const std::regex kFailureText(R"(Provide initialization code here|<[a-z_]+: [^>]*>)");
// A tag the processor left alone: a template names a tag no generator fills.
const std::regex kLeftOverTag(R"(<(\$[A-Za-z_]+\$|[a-z_]+)>)");

class TemplatesCompile : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = std::make_unique<wb::SqliteStore>(wb::StoreOptions{wb::ParseStoreLocation((dir_ / "store").string()), "tester"}, console_);
    store_->Open();
    processor_.Initialize(store_.get());
    g_javaTemplate = kJavaTemplate;
    javac_ = std::string(ZT_RUNTIME_JAR).empty() ? std::string() : test::FindProgram("javac");
    java_ = test::FindProgram("java");
    fs::create_directories(dir_ / "dp");
    fs::create_directories(dir_ / "model");
  }

  // Generates a test for every operation of `model` that one of `generators`
  // takes, as a generation run does: the first generator that accepts the
  // operation, the run's per-operation flags reset, the template path, a
  // check that the template exists, the map, the test path, the processor.
  RunResult Generate(wb::Model& model, const std::vector<CodeGenerator*>& generators) {
    RunResult result;
    for (CodeGenerator* generator : generators) generator->Init(nullptr, &processor_);
    TesselClassCollection& classes = Ref(Ref(model.RootCategory()).AllClasses());
    for (int16_t c = 1; c <= classes.Count(); ++c) {
      TesselOperationCollection& operations = Ref(Ref(classes.GetAt(c)).Operations());
      for (int16_t o = 1; o <= operations.Count(); ++o) {
        TesselOperation* op = operations.GetAt(o);
        std::string name = classes.GetAt(c)->Name() + "::" + op->Name();
        for (int n = 2; result.generated.count(name) > 0; ++n) {
          name = name.substr(0, name.find('#')) + "#" + std::to_string(n);
        }

        CodeGenerator* generator = nullptr;
        for (CodeGenerator* candidate : generators) {
          if (candidate->IsValidOperationForGeneration(op).value_or(false)) {
            generator = candidate;
            break;
          }
        }
        if (generator == nullptr) {
          result.withoutGenerator.push_back(name);
          continue;
        }
        RunState& run = processor_.Run();
        run.SourceHeaderLogged = false;
        run.DatapoolHeaderLogged = false;
        run.CompileResources = true;
        run.EjbOperationFlag = false;
        std::string templatePath = generator->GetTemplatePath(op);
        if (!FileExists(templatePath)) {
          result.withoutTemplate.push_back(name);
          continue;
        }
        std::unique_ptr<ParamMap> map = generator->CalculateTemplateParams(op, store_.get());
        if (map == nullptr) {
          ADD_FAILURE() << "no parameter map for " << name;
          continue;
        }
        const std::string testPath = generator->GetTestCodePath(op, store_.get());
        processor_.ProcessTemplate(templatePath, testPath, *map, generator->GetDataStoreScriptType(), name);
        std::string relative = testPath;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const fs::path file = fs::path(relative).lexically_normal();
        result.generated[name] = {file, ReadAll(JavaRoot() / file)};
        EXPECT_FALSE(result.generated[name].content.empty()) << name << " wrote nothing to " << file;
      }
    }
    for (const std::string& line : log_.lines) EXPECT_EQ(line.find("error"), std::string::npos) << line;
    return result;
  }

  fs::path JavaRoot() { return store_->ScriptRoot(dsJavaScript); }

  // Compiles the model's classes in `modelSources`
  // and the generated files of `result` that hold no failure text into
  // `classes`, against the runtime; returns the class files of those tests,
  // relative to `classes`.
  std::vector<fs::path> Compile(const RunResult& result, const std::vector<fs::path>& modelSources,
                                const fs::path& classes, int& status, std::string& output) {
    std::vector<fs::path> sources = modelSources;
    std::vector<fs::path> classFiles;
    for (const auto& [name, generated] : result.generated) {
      if (std::regex_search(generated.content, kFailureText)) continue;
      sources.push_back(JavaRoot() / generated.file);
      // The class lies in the package its package statement names.
      std::smatch package;
      std::regex_search(generated.content, package, std::regex(R"(//\*/ package ([\w.$]*);)"));
      std::string folder = package[1].str();
      std::replace(folder.begin(), folder.end(), '.', '/');
      classFiles.push_back(fs::path(folder) / generated.file.filename().replace_extension(".class"));
    }
    const fs::path argfile = dir_ / (classes.filename().string() + ".args");
    std::ofstream args(argfile);
    args << "-d\n\"" << classes.string() << "\"\n-encoding\nUTF-8\n-cp\n\"" << kRuntimeClassPath << "\"\n";
    for (const fs::path& source : sources) args << '"' << source.string() << "\"\n";
    args.close();
    status = RunCommand(ShellQuoted(javac_) + " " + ShellQuoted("@" + argfile.string()), output);
    return classFiles;
  }

  // Compiles and expects success and one class file per compiled test.
  void ExpectCompiles(const RunResult& result, const std::vector<fs::path>& modelSources, const fs::path& classes,
                      size_t expectedTests) {
    int status = 0;
    std::string output;
    const std::vector<fs::path> classFiles = Compile(result, modelSources, classes, status, output);
    EXPECT_EQ(classFiles.size(), expectedTests);
    ASSERT_EQ(status, 0) << "javac failed:\n" << output;
    for (const fs::path& file : classFiles) EXPECT_TRUE(fs::is_regular_file(classes / file)) << file;
  }

  // Runs a compiled test class with the datapools of `datapools`.
  int RunTest(const fs::path& classes, const fs::path& datapools, const std::string& className, std::string& output) {
    return RunCommand(ShellQuoted(java_) + " -cp " + ShellQuoted(classes.string() + ":" + kRuntimeClassPath) + " " +
                          ShellQuoted("-Dztunittest.datapools=" + datapools.string()) + " " + ShellQuoted(className),
                      output);
  }

  test::TempDir dir_{"templates"};
  test::ScriptedModelHelper helper_;
  DiskComponents components_{helper_};
  test::RecordingApplication log_;
  test::ScriptedConsole console_;
  std::unique_ptr<wb::SqliteStore> store_;
  TemplateProcessor processor_;
  std::string javac_, java_;
  test::ComponentsInstalled installed_{components_, &log_};
};

// Expectations for one operation: the file, a text that shows which template
// filled it, and the failure text it shows ("" for a file that compiles).
struct Expected {
  std::string operation, file, evidence, failure;
};

void ExpectGenerated(const RunResult& result, const std::vector<Expected>& expected) {
  ASSERT_EQ(result.generated.size(), expected.size());
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.operation);
    auto it = result.generated.find(e.operation);
    ASSERT_NE(it, result.generated.end());
    const std::string& content = it->second.content;
    EXPECT_EQ(it->second.file.generic_string(), e.file);
    EXPECT_NE(content.find(e.evidence), std::string::npos) << content;
    EXPECT_FALSE(std::regex_search(content, kLeftOverTag)) << content;
    // The class is named like its file.
    const std::string className = it->second.file.stem().string();
    EXPECT_NE(content.find("public class " + className + " extends UnitTest {\r\n"), std::string::npos) << content;
    if (e.failure.empty()) {
      EXPECT_FALSE(std::regex_search(content, kFailureText)) << content;
    } else {
      EXPECT_NE(content.find(e.failure), std::string::npos) << content;
    }
  }
}

// The datapool the test of `operation` reads, as its constructor names it.
std::string DatapoolOf(const RunResult& result, const std::string& operation) {
  std::smatch m;
  const std::string& content = result.generated.at(operation).content;
  return std::regex_search(content, m, std::regex(R"re(super\("([^"]+)"\);)re")) ? m[1].str() : std::string();
}

TEST_F(TemplatesCompile, BankBeansThroughTheDefaultTemplates) {
  std::unique_ptr<wb::Model> model = wb::LoadModelDocument((fs::path(ZT_EXAMPLES_DIR) / "bank-ejb.json").string());
  test::DescribeBeans(helper_, {"Account", "Teller", "InterestCalculator"}, {{"AccountBean", "AccountPK"}});
  InlineEJBGenerator inlineEjb;
  EJBGenerator ejb;
  const RunResult result = Generate(*model, {&inlineEjb, &ejb});

  const std::string core = "unittests/bank/core/";
  ExpectGenerated(
      result,
      {{"Account::getBalance", core + "AccountgetBalance.java", "Reads the property getBalance of the Account entity",
        ""},
       {"Account::setBalance", core + "AccountsetBalance.java", "Sets the property setBalance of the Account entity",
        ""},
       {"Account::deposit", core + "Accountdeposit.java",
        "Calls the business method deposit on a new Account bean from AccountHome.create.", ""},
       {"Account::transfer", core + "Accounttransfer.java", "Calls the business method transfer",
        "target = Provide initialization code here."},
       {"AccountHome::create", core + "AccountHomecreate.java", "Calls the create method create of AccountHome", ""},
       {"AccountHome::create#2", core + "AccountHomecreate1.java", "id = dp.value(\"id\").toString();", ""},
       {"AccountHome::findByPrimaryKey", core + "AccountHomefindByPrimaryKey.java",
        "Calls the finder findByPrimaryKey of AccountHome", "key = Provide initialization code here."},
       {"Teller::withdraw", core + "Tellerwithdraw.java", "Calls the business method withdraw on a new Teller bean",
        ""},
       {"Teller::balanceOf", core + "TellerbalanceOf.java", "Calls the business method balanceOf", ""},
       {"TellerHome::create", core + "TellerHomecreate.java", "Calls the create method create of TellerHome", ""},
       {"InterestCalculator::interestFor", core + "InterestCalculatorinterestFor.java",
        "InterestCalculatorHome testHome = HomeLocator.lookup(\"InterestCalculatorHome\", "
        "InterestCalculatorHome.class);",
        ""},
       {"InterestCalculatorHome::create", core + "InterestCalculatorHomecreate.java",
        "Calls the create method create of InterestCalculatorHome", ""}});
  // Bean classes and the key class belong to no EJB generator.
  EXPECT_EQ(result.withoutGenerator,
            (std::vector<std::string>{"AccountBean::ejbCreate", "AccountBean::getBalance", "AccountBean::setBalance",
                                      "AccountBean::deposit", "AccountPK::AccountPK", "AccountPK::AccountPK",
                                      "TellerBean::withdraw"}));
  EXPECT_TRUE(result.withoutTemplate.empty());

  // The parts a reader checks: the package line, the indented multi-line
  // check, the creation of the bean from the home's create parameters.
  const std::string& deposit = result.generated.at("Account::deposit").content;
  EXPECT_NE(deposit.find("\r\n *bank.core/ //*/ package bank.core;\r\n"), std::string::npos);
  EXPECT_NE(deposit.find("        AccountHome testHome = HomeLocator.lookup(\"AccountHome\", AccountHome.class);\r\n"
                         "        \r\n        \r\n"
                         "        Account testBean = testHome.create();\r\n"),
            std::string::npos);
  const std::string& balance = result.generated.at("Account::getBalance").content;
  EXPECT_NE(balance.find("        AccountPK testKey = new AccountPK();\r\n"
                         "        Account testBean = testHome.findByPrimaryKey(testKey);\r\n"),
            std::string::npos);
  EXPECT_NE(balance.find("        actualReturn = testBean.getBalance();\r\n\r\n"
                         "        if (expectedReturn == actualReturn)\r\n"
                         "            TestLog.message(\"Expected result\", KTS_LOG_RESULT_PASS, "
                         "\"Call to getBalance returned expected value\");\r\n"
                         "        else\r\n"),
            std::string::npos)
      << balance;

  ASSERT_FALSE(javac_.empty()) << kNoJavac;
  ASSERT_NO_FATAL_FAILURE(
      ExpectCompiles(result, JavaSources(kRuntimeDir / "models" / "bank-ejb"), dir_ / "bank-classes", 10));

  ASSERT_FALSE(java_.empty()) << kNoJava;
  // No home is bound and no naming service is set up: the lookup's exception is the failure.
  WriteAll(dir_ / "dp" / (DatapoolOf(result, "Account::getBalance") + ".csv"), "expectedReturn\n250.0\n");
  std::string output;
  EXPECT_EQ(RunTest(dir_ / "bank-classes", dir_ / "dp", "bank.core.AccountgetBalance", output), 1) << output;
  EXPECT_EQ(output,
            "DATA  row 1: expectedReturn=250.0\n"
            "FAIL  Exception: bank.core.AccountgetBalance stopped by javax.naming.NameNotFoundException: "
            "no home bound to AccountHome: bind one with HomeLocator.bind, or configure a JNDI naming service\n");
}

TEST_F(TemplatesCompile, PlainJavaClassesThroughTheirTemplateProperty) {
  std::unique_ptr<wb::Model> model = wb::LoadModelDocument((fs::path(ZT_EXAMPLES_DIR) / "shapes-java.json").string());
  InlineEJBGenerator inlineEjb;
  EJBGenerator ejb;
  GenericJavaGenerator java;
  // The standalone template and the JUnit 5 one fill the same tags.
  std::map<std::string, std::string> datapools;
  for (const std::string& chosen : {kJavaTemplate, kJUnit5Template}) {
    SCOPED_TRACE(chosen);
    g_javaTemplate = chosen;
    store_->ResetSession();
    fs::remove_all(JavaRoot() / "unittests");  // the store holds its root open
    const RunResult result = Generate(*model, {&inlineEjb, &ejb, &java});
    for (const char* op : {"Circle::area", "Circle::scale", "Rectangle::resize"})
      datapools[op] = DatapoolOf(result, op);
    ExpectGenerated(
        result,
        {{"Circle::area", "unittests/geometry/Circlearea.java", "Calls double area() of Circle.", ""},
         {"Circle::scale", "unittests/geometry/Circlescale.java", "factor = dp.value(\"factor\").doubleValue();", ""},
         {"Rectangle::area", "unittests/geometry/Rectanglearea.java", "Rectangle testObject = new Rectangle();", ""},
         {"Rectangle::resize", "unittests/geometry/Rectangleresize.java",
          "Calls void resize(double width, double height)", ""},
         // An array of a class of another package: read whole, the class imported.
         {"ShapesDemo::totalArea", "unittests/ShapesDemototalArea.java",
          "import geometry.Shape;\r\nimport ztunittest.runtime.TestLog;", ""}});
    EXPECT_EQ(result.withoutGenerator, (std::vector<std::string>{"Drawable::draw", "Shape::area", "Shape::perimeter"}));
    EXPECT_TRUE(result.withoutTemplate.empty());
    EXPECT_NE(result.generated.at("Circle::area").content.find("\r\n *geometry/ //*/ package geometry;\r\n"),
              std::string::npos);
    if (chosen == kJUnit5Template) {
      EXPECT_NE(result.generated.at("Circle::area")
                    .content.find("@org.junit.jupiter.api.DisplayName(\"Circle.area\")\r\npublic class Circlearea extends UnitTest {\r\n"),
                std::string::npos);
    }
    ASSERT_FALSE(javac_.empty()) << kNoJavac;
    const fs::path classes = dir_ / (chosen == kJavaTemplate ? "shapes-classes" : "shapes-junit5-classes");
    ASSERT_NO_FATAL_FAILURE(ExpectCompiles(result, JavaSources(kRuntimeDir / "models" / "shapes-java"), classes, 5));
  }

  ASSERT_FALSE(java_.empty()) << kNoJava;
  // The standalone tests, run: once per datapool row, the expected value
  // against the value the call returns (a wrong one named beside it, an empty
  // one skipped), a value that is not of its field's type, a missing file.
  const fs::path classes = dir_ / "shapes-classes";
  WriteAll(dir_ / "dp" / (datapools["Circle::area"] + ".csv"),
           "expectedReturn\r\n3.141592653589793\r\n3.0\r\n\"\"\r\n");
  WriteAll(dir_ / "dp" / (datapools["Rectangle::resize"] + ".csv"),
           "\xEF\xBB\xBFheight,width\n4.0,3.0\n\n\" 4.0\",x\n");
  std::string output;
  EXPECT_EQ(RunTest(classes, dir_ / "dp", "geometry.Circlearea", output), 1) << output;
  EXPECT_EQ(output,
            "DATA  row 1: expectedReturn=3.141592653589793\n"
            "PASS  Expected result: Call to area returned expected value\n"
            "DATA  row 2: expectedReturn=3.0\n"
            "FAIL  Unexpected result: Call to area returned unexpected value, 3.141592653589793. "
            "==> expected: <3.0> but was: <3.141592653589793> (row 2)\n"
            "DATA  row 3: expectedReturn=\n"
            "SKIP  Expected result: the expected result (expectedReturn) of row 3 of the datapool " +
                datapools["Circle::area"] +
                " is empty: the check of the result was skipped; the call returned "
                "3.141592653589793\n");
  EXPECT_EQ(RunTest(classes, dir_ / "dp", "geometry.Rectangleresize", output), 1) << output;
  EXPECT_EQ(output,
            "DATA  row 1: height=4.0, width=3.0\n"
            "PASS  Expected result: Call to resize was successful.\n"
            "DATA  row 2: height= 4.0, width=x\n"
            "FAIL  Exception: geometry.Rectangleresize stopped by ztunittest.runtime.DatapoolException: row 2 of the "
            "datapool " +
                datapools["Rectangle::resize"] + ": the field width holds \"x\", which is not a double\n");
  EXPECT_EQ(RunTest(classes, dir_ / "dp", "geometry.Circlescale", output), 1) << output;
  const std::string scale = datapools["Circle::scale"];
  EXPECT_EQ(output, "FAIL  Datapool: the datapool " + scale + " has no file " +
                        (dir_ / "dp" / (scale + ".csv")).string() +
                        ": export the datapools with \"ztunittest datapool export --all --dir DIR\" and run with "
                        "-Dztunittest.datapools=DIR, or keep them in a project store, which puts them on the class "
                        "path\n");
}

// Classes in the root package: the package statement of every template
// turns into a comment, and the tests compile into the unnamed package. And
// a plain class in nested packages, one of whose names is no Java name, with
// an operation that has no return type (tested as returning nothing).
constexpr const char* kRootModel = R"({
  "model": "Clocks",
  "packages": [ { "name": "javax", "packages": [ { "name": "ejb", "classes": [
      { "name": "EJBObject" }, { "name": "EJBHome" }, { "name": "EntityBean" } ] } ] },
    { "name": "metrics", "packages": [ { "name": "wall clocks", "classes": [
      { "name": "Gauge", "language": "Java", "operations": [
          { "name": "read", "returnType": "int" }, { "name": "reset" } ] } ] } ] } ],
  "classes": [
    { "name": "Clock", "language": "Java", "stereotype": "EJBRemoteInterface", "operations": [
        { "name": "getTicks", "returnType": "long" },
        { "name": "setZone", "returnType": "void", "parameters": [ { "name": "zone", "type": "String" } ] },
        { "name": "alarm", "returnType": "boolean", "parameters": [ { "name": "at", "type": "int" } ] } ] },
    { "name": "ClockHome", "language": "Java", "stereotype": "EJBHomeInterface", "operations": [
        { "name": "create", "returnType": "Clock" },
        { "name": "findByZone", "returnType": "Clock", "parameters": [ { "name": "zone", "type": "java.lang.String" } ] },
        { "name": "findByPrimaryKey", "returnType": "Clock", "parameters": [ { "name": "key", "type": "ClockPK" } ] } ] },
    { "name": "ClockBean", "language": "Java", "realizes": ["javax::ejb::EntityBean"] },
    { "name": "ClockPK", "operations": [ { "name": "ClockPK" } ] },
    { "name": "Counter", "language": "Java", "operations": [
        { "name": "add", "returnType": "char", "parameters": [
            { "name": "step", "type": "byte" }, { "name": "wide", "type": "short" }, { "name": "big", "type": "BigDecimal" },
            { "name": "ratio", "type": "float" }, { "name": "count", "type": "long" } ] } ] }
  ]
})";

constexpr const char* kRootSources[][2] = {
    {"Clock.java",
     "import java.rmi.RemoteException;\n"
     "public interface Clock extends javax.ejb.EJBObject {\n"
     "    long getTicks() throws RemoteException;\n"
     "    void setZone(String zone) throws RemoteException;\n"
     "    boolean alarm(int at) throws RemoteException;\n"
     "}\n"},
    {"ClockHome.java",
     "import java.rmi.RemoteException;\n"
     "import javax.ejb.*;\n"
     "public interface ClockHome extends EJBHome {\n"
     "    Clock create() throws CreateException, RemoteException;\n"
     "    Clock findByZone(String zone) throws FinderException, RemoteException;\n"
     "    Clock findByPrimaryKey(ClockPK key) throws FinderException, RemoteException;\n"
     "}\n"},
    {"ClockPK.java", "public class ClockPK implements java.io.Serializable {\n}\n"},
    {"Counter.java",
     "import java.math.BigDecimal;\n"
     "public class Counter {\n"
     "    public char add(byte step, short wide, BigDecimal big, float ratio, long count) { return 'x'; }\n"
     "}\n"},
    {"Gauge.java",
     "package metrics.wall_clocks;\n"
     "public class Gauge {\n"
     "    public int read() { return 7; }\n"
     "    public void reset() { }\n"
     "}\n"},
};

TEST_F(TemplatesCompile, RootPackageClassesCompileIntoTheUnnamedPackage) {
  std::unique_ptr<wb::Model> model = wb::ParseModelDocument(kRootModel, "clocks.json");
  test::DescribeBeans(helper_, {"Clock"}, {{"ClockBean", "ClockPK"}});
  InlineEJBGenerator inlineEjb;
  EJBGenerator ejb;
  GenericJavaGenerator java;
  const RunResult result = Generate(*model, {&inlineEjb, &ejb, &java});

  ExpectGenerated(
      result,
      {{"Clock::getTicks", "unittests/ClockgetTicks.java", "Reads the property getTicks of the Clock entity", ""},
       {"Clock::setZone", "unittests/ClocksetZone.java", "Sets the property setZone of the Clock entity", ""},
       {"Clock::alarm", "unittests/Clockalarm.java", "Calls the business method alarm on a new Clock bean", ""},
       {"ClockHome::create", "unittests/ClockHomecreate.java", "Calls the create method create of ClockHome", ""},
       {"ClockHome::findByZone", "unittests/ClockHomefindByZone.java", "Calls the finder findByZone of ClockHome", ""},
       {"ClockHome::findByPrimaryKey", "unittests/ClockHomefindByPrimaryKey.java", "Calls the finder findByPrimaryKey",
        "key = Provide initialization code here."},
       {"Counter::add", "unittests/Counteradd.java", "Calls char add(byte step, short wide, BigDecimal big,", ""},
       {"Gauge::read", "unittests/metrics/wall clocks/Gaugeread.java", "int actualReturn = 0;", ""},
       {"Gauge::reset", "unittests/metrics/wall clocks/Gaugereset.java", "Call to reset was successful.", ""}});
  // ClockBean realizes EntityBean; ClockPK has no language.
  EXPECT_EQ(result.withoutGenerator, std::vector<std::string>{"ClockPK::ClockPK"});
  for (const auto& [name, generated] : result.generated) {
    const bool nested = name.rfind("Gauge::", 0) == 0;
    EXPECT_NE(generated.content.find(nested ? "\r\n *metrics.wall_clocks/ //*/ package metrics.wall_clocks;\r\n"
                                            : "\r\n */ //*/ package ;\r\n"),
              std::string::npos)
        << name;
  }
  EXPECT_NE(
      result.generated.at("Gauge::reset").content.find(
          "Gauge testObject = new Gauge();\r\n             testObject.reset();\r\n"),
      std::string::npos)
      << "no result to declare or assign";

  ASSERT_FALSE(javac_.empty()) << kNoJavac;
  std::vector<fs::path> sources;
  for (const auto& [file, text] : kRootSources) {
    WriteAll(dir_ / "model" / file, text);
    sources.push_back(dir_ / "model" / file);
  }
  ASSERT_NO_FATAL_FAILURE(ExpectCompiles(result, sources, dir_ / "root-classes", 8));
}

}  // namespace
}  // namespace zt
