// Commands for template authors and for plain Java classes:
//
//   ztunittest params MODEL --operation NAME [--generator com|ejb|inline-ejb|java] [--json]
//       prints the parameter map a generator computes for an operation
//   ztunittest java-test MODEL --select NAME... [--template FILE | --junit5] [--answer KEY=VALUE...]
//       generates plain Java tests, as a generation run does, with the
//       plain Java generator (which the generation entries never use)
//   ztunittest java-classpath [--junit5]
//       prints the class path of the Java runtime the generated tests use
//       (and of the JUnit 5 jars it was built against), absolute, on one line
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

#include "cli/Commands.h"
#include "cli/Host.h"
#include "driver/CodeFactory.h"
#include "driver/GenerationRun.h"
#include "driver/StatusForm.h"
#include "generators/COMGenerator.h"
#include "generators/EJBGenerator.h"
#include "generators/GenericJavaGenerator.h"
#include "generators/InlineEJBGenerator.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/modErrorHandling.h"
#include "workbench/code/CodeModel.h"
#include "workbench/components/TemplateProperties.h"
#include "workbench/model/Application.h"
#include "workbench/store/DatapoolNames.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

// A store that keeps nothing: what the parameter map needs of one, without
// a login or a disk. Datapools get the name the store database `names`
// gives the operation in hand, or without one the name a new store would
// give it.
class InspectionStore : public DataStore {
 public:
  InspectionStore(std::string user, wb::Database* names) : user_(std::move(user)), names_(names) {}
  void Open() override {}
  void ResetSession() override {}
  int32_t SaveScript(const std::string&, const std::string&, dsScriptType, const std::string&) override {
    return save_result::kNotWritten;
  }
  void SetMultipleItems(bool) override {}
  std::string ScriptRoot(dsScriptType) override { return {}; }
  std::string MakeScriptName(const std::string&, const std::string&, dsScriptType) override { return {}; }
  std::string MakeDatapoolName(const std::string& className, const std::string& operationName, int32_t) override {
    if (const wb::OperationIdentity* operation = inHand_.Matching(className, operationName)) {
      return names_ != nullptr ? wb::StoredDatapoolName(*names_, *operation)
                               : wb::DatapoolNameCandidates(*operation, 1).front();
    }
    return className + "_" + operationName;
  }
  void SetOperation(TesselOperation& operation) { inHand_.Set(wb::IdentifyOperation(operation)); }
  std::string UserName() override { return user_; }
  DataStoreConnection* Connection() override { return nullptr; }

 private:
  std::string user_;
  wb::Database* names_;
  wb::OperationInHand inHand_;
};

struct ParamsOptions {
  HostOptions host;
  std::string operation;
  std::string generator;
  bool json = false;
};

// The --generator name of a generator.
std::string GeneratorName(CodeGenerator& generator) {
  if (dynamic_cast<COMGenerator*>(&generator) != nullptr) return "com";
  if (dynamic_cast<InlineEJBGenerator*>(&generator) != nullptr) return "inline-ejb";
  if (dynamic_cast<EJBGenerator*>(&generator) != nullptr) return "ejb";
  if (dynamic_cast<GenericJavaGenerator*>(&generator) != nullptr) return "java";
  return {};
}

std::unique_ptr<CodeGenerator> GeneratorNamed(const std::string& name) {
  if (name == "com") return std::make_unique<COMGenerator>();
  if (name == "ejb") return std::make_unique<EJBGenerator>();
  if (name == "inline-ejb") return std::make_unique<InlineEJBGenerator>();
  if (name == "java") return std::make_unique<GenericJavaGenerator>();
  return nullptr;
}

// A map as JSON: its tags and their values as text, in map order.
wb::json::Value MapJson(const ParamMap& map) {
  wb::json::Value tags = wb::json::Value::Array();
  for (const std::string& key : map.Keys()) {
    tags.Push(wb::json::Value::Object()
                  .Add("tag", wb::json::Value::String(key))
                  .Add("value", wb::json::Value::String(ToText(map.Item(key)))));
  }
  return tags;
}

void PrintMap(const ParamMap& map) {
  for (const std::string& key : map.Keys()) {
    std::string value = ToText(map.Item(key));
    // Continuation lines of a multi-line value start with a tab.
    std::string shown;
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
      shown += value[i];
      if (value[i] == '\n') shown += '\t';
    }
    std::cout << key << '\t' << shown << '\n';
  }
}

int RunParams(ParamsOptions& options) {
  options.host.select = {options.operation};
  Host host(options.host);
  if (const int status = host.Start(); status != kExitOk) return status;
  // Warnings of the generators belong with the map's explanation, not in it.
  host.Application().SetLogSink([](const std::string& line) { std::cerr << line << '\n'; });
  SetLogTarget(&host.Application());

  const char* envUser = std::getenv("ZTUNITTEST_USER");
  const char* loginUser = std::getenv("USER");
  // (--user and $ZTUNITTEST_USER were looked at by Start.)
  if (!options.host.user && envUser == nullptr && loginUser != nullptr) {
    if (const std::optional<std::string> fault = UserNameFault(loginUser, "$USER")) {
      PrintError(*fault);
      return kExitUsage;
    }
  }
  // Datapool names are the store's: those of --store, else of a new store.
  std::unique_ptr<wb::Database> names;
  if (options.host.storeGiven) {
    try {
      names = wb::OpenStoreReadOnly(host.StoreLocation());
    } catch (const ZtError& e) {
      PrintError(e.Description());
      return kExitFailed;
    }
  } else {
    PrintError(wb::Text(wb::WB_PARAMS_FRESH_STORE_NAMES));
  }
  InspectionStore store(options.host.user ? *options.host.user
                        : envUser != nullptr ? envUser
                        : loginUser != nullptr ? loginUser
                                               : "",
                        names.get());
  TemplateProcessor processor;
  processor.Initialize(&store);
  CodeFactory factory;
  factory.Initialize(&host.Application(), &processor);

  const TesselItemCollection selected = host.Application().CurrentModel()->GetSelectedItems();
  wb::json::Value operations = wb::json::Value::Array();
  for (int16_t i = 1; i <= selected.Count(); ++i) {
    auto* op = dynamic_cast<TesselOperation*>(selected.GetAt(i));
    if (op == nullptr) {
      PrintError(wb::Text(wb::WB_PARAMS_NOT_AN_OPERATION, {options.operation}));
      return kExitUsage;
    }
    std::unique_ptr<CodeGenerator> named;
    CodeGenerator* generator = nullptr;
    if (!options.generator.empty()) {
      named = GeneratorNamed(options.generator);
      if (!named) {
        PrintError(wb::Text(wb::WB_PARAMS_NO_GENERATOR, {op->GetQualifiedName()}));
        return kExitUsage;
      }
      named->Init(&host.Application(), &processor);
      generator = named.get();
    } else {
      generator = factory.FindGeneratorForOperation(op);
    }
    if (generator == nullptr) {
      PrintError(wb::Text(wb::WB_PARAMS_NO_GENERATOR, {op->GetQualifiedName()}));
      return kExitFailed;
    }
    // The calls of a generation run, in its order.
    CurrentRun().EjbOperationFlag = false;
    generator->GetDataStoreScriptType();
    generator->GetTemplatePath(op);
    store.SetOperation(*op);
    std::unique_ptr<ParamMap> map = generator->CalculateTemplateParams(op, &store);
    if (!map) {
      PrintError(wb::Text(wb::WB_PARAMS_NO_MAP, {op->GetQualifiedName()}));
      return kExitFailed;
    }
    if (options.json) {
      operations.Push(wb::json::Value::Object()
                          .Add("operation", wb::json::Value::String(op->GetQualifiedName()))
                          .Add("generator", wb::json::Value::String(GeneratorName(*generator)))
                          .Add("tags", MapJson(*map)));
      continue;
    }
    if (selected.Count() > 1) {
      std::cout << wb::Text(wb::WB_PARAMS_HEADER, {op->GetQualifiedName(), options.generator}) << '\n';
    }
    PrintMap(*map);
  }
  SetLogTarget(nullptr);
  if (options.json) {
    std::cout << wb::json::Format(wb::json::Value::Object().Add("operations", std::move(operations))) << std::flush;
  }
  return kExitOk;
}

namespace fs = std::filesystem;

// Whether the zip archive `path` (a jar) lists an entry `name`, read from its
// central directory; nullopt when it cannot be read as a zip archive.
std::optional<bool> ArchiveHolds(const fs::path& path, std::string_view name) {
  std::ifstream in(path, std::ios::binary);
  if (!in.seekg(0, std::ios::end)) return std::nullopt;
  const std::streamoff size = in.tellg();
  // The end record (22 bytes and a comment of up to 65535) closes the archive.
  const std::streamoff tail = std::min<std::streamoff>(size, 22 + 65535);
  std::string bytes(static_cast<size_t>(tail), '\0');
  if (!in.seekg(size - tail) || !in.read(bytes.data(), tail)) return std::nullopt;
  const auto u16 = [](const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
  };
  const auto u32 = [&u16](const std::string& b, size_t at) { return u16(b, at) | u16(b, at + 2) << 16; };
  size_t end = bytes.size() < 22 ? std::string::npos : bytes.size() - 22;
  while (end != std::string::npos && u32(bytes, end) != 0x06054b50) end = end == 0 ? std::string::npos : end - 1;
  if (end == std::string::npos) return std::nullopt;
  const uint32_t entries = u16(bytes, end + 10);
  const uint32_t directorySize = u32(bytes, end + 12);
  const uint32_t directoryOffset = u32(bytes, end + 16);
  if (directoryOffset + static_cast<std::streamoff>(directorySize) > size) return std::nullopt;
  std::string directory(directorySize, '\0');
  if (!in.seekg(directoryOffset) || !in.read(directory.data(), directorySize)) return std::nullopt;
  size_t at = 0;
  for (uint32_t i = 0; i < entries; ++i) {
    if (at + 46 > directory.size() || u32(directory, at) != 0x02014b50) return std::nullopt;
    const size_t nameSize = u16(directory, at + 28);
    const size_t next = at + 46 + nameSize + u16(directory, at + 30) + u16(directory, at + 32);
    if (next > directory.size()) return std::nullopt;
    if (std::string_view(directory).substr(at + 46, nameSize) == name) return true;
    at = next;
  }
  return false;
}

// The runtime jar beside the program (bin/../share/ztunittest/java/).
fs::path RuntimeJar() {
  std::error_code ec;
  const fs::path jar =
      fs::weakly_canonical(fs::path(wb::ExeDir()) / ".." / ZT_INSTALL_JAVA_SUBDIR / "ztunittest-runtime.jar", ec);
  if (ec || !fs::is_regular_file(jar, ec)) {
    RaiseError(errc::kFileNotFound, {}, wb::Text(wb::WB_JAVA_NO_RUNTIME, {jar.string()}));
  }
  // ':' separates the entries of a class path: a path that holds one would
  // be taken for two, neither of them the jar.
  if (jar.string().find(':') != std::string::npos) {
    RaiseError(errc::kPathFileAccessError, {}, wb::Text(wb::WB_JAVA_COLON_IN_PATH, {jar.string()}));
  }
  return jar;
}

// The JUnit 5 jars the runtime `jar` was built against, joined by ':'. A
// runtime built where Debian's junit5 was not installed has no JUnit 5 part
// (no DatapoolTests class), and JUnit 5 tests written against it cannot
// compile: installing junit5 is not enough, the build must be made again.
std::string Junit5Jars(const fs::path& jar) {
  const std::string jars = ZT_JUNIT5_CLASSPATH;
  if (jars.empty() || ArchiveHolds(jar, "ztunittest/runtime/DatapoolTests.class") == false) {
    RaiseError(errc::kFileNotFound, {}, wb::Text(wb::WB_JAVA_NO_JUNIT5));
  }
  std::stringstream list(jars);
  std::error_code ec;
  for (std::string one; std::getline(list, one, ':');) {
    if (!fs::is_regular_file(one, ec)) RaiseError(errc::kFileNotFound, {}, wb::Text(wb::WB_JAVA_JUNIT5_MISSING, {one}));
  }
  return jars;
}

struct JavaTestOptions {
  HostOptions host;
  std::string javaTemplate;
  bool junit5 = false;
  std::optional<std::string> classPath;  ///< --classpath
};

int RunJavaTest(const JavaTestOptions& options) {
  if (options.javaTemplate.find('"') != std::string::npos) {
    PrintError(wb::Text(wb::WB_TMPL_QUOTE_IN_PATH, {options.javaTemplate}));
    return kExitUsage;
  }
  // JUnit 5 tests need the runtime's JUnit 5 part to compile: without it,
  // nothing is written.
  if (options.junit5) {
    try {
      Junit5Jars(RuntimeJar());
    } catch (const ZtError& e) {
      PrintError(e.Description());
      return kExitUsage;
    }
  }
  // This is the Java command: a class the model gives no language is taken
  // for a Java class, as a file of a tool that states one language per file
  // (or none) leaves most classes.
  HostOptions hostOptions = options.host;
  if (hostOptions.language.empty()) hostOptions.language = GetResString(IDS_LANG_JAVA);
  Host host(hostOptions);
  if (const int status = host.Start(); status != kExitOk) return status;
  host.OpenStoreFirst();
  // With the compiled classes behind the model, the host's model gives
  // their real signatures, and what the code lacks is not taken.
  if (const std::string classPath = CompiledClassPath(options.classPath, host.StoredClassPath());
      !classPath.empty()) {
    wb::Model& opened = *host.Application().OpenModel();
    std::vector<wb::Class*> classes;
    opened.Walk([&](wb::Element& element, int) {
      auto* cls = dynamic_cast<wb::Class*>(&element);
      if (cls != nullptr && cls->Language() == GetResString(IDS_LANG_JAVA)) classes.push_back(cls);
    });
    const wb::CodeComparison comparison(
        classes, wb::DescribeClasses(wb::JavaNamesOf(classes), classPath, RuntimeJar().string()));
    wb::CodeAdjustments adjustments = wb::ApplyTheCode(opened, comparison);
    for (const std::string& note : adjustments.notes) PrintError(note);
    std::map<const TesselOperation*, NotTakenReason> refusals;
    for (auto& [op, why] : adjustments.refused) refusals.emplace(op, NotTakenReason{why.code, why.text});
    host.SetRefusals(std::move(refusals));
  }
  // The model's own choices win: an operation's value, the model's value,
  // the model's definition. Where it has none of them, the given or bundled
  // template is the definition (in memory; the document is not changed).
  wb::Model& model = *host.Application().OpenModel();
  const std::string property = GetResString(IDS_PROP_JAVA_TEST);
  if (model.GetPropertyValue(wb::template_tool::kDefinitions, property).empty()) {
    std::string chosen = options.javaTemplate;
    if (chosen.empty()) chosen = GetResString(options.junit5 ? IDS_DEFAULT_JUNIT5_TEST : IDS_DEFAULT_JAVA_TEST);
    model.SetToolProperty(wb::template_tool::kDefinitions, property, chosen);
  }

  TemplateProcessor processor;
  CodeFactory factory;
  std::vector<std::unique_ptr<CodeGenerator>> generators;
  generators.push_back(std::make_unique<GenericJavaGenerator>());
  factory.InitializeWith(&host.Application(), &processor, std::move(generators));
  StatusForm form;
  form.SetFactory(&factory);
  form.SetProcessor(&processor);
  form.SetApplication(&host.Application());
  bool failed = false;
  const int status = host.Generate([&form, &failed] {
    try {
      form.Show();
    } catch (const ZtError& e) {
      PrintError(e.Description());
      failed = true;
    }
  });
  return failed ? kExitFailed : status;
}

// The runtime jar beside the program, and with `junit5` the JUnit 5 jars of
// the build, joined by ':'.
int RunJavaClasspath(bool junit5) {
  const fs::path jar = RuntimeJar();
  std::string classpath = jar.string();
  if (junit5) classpath += ":" + Junit5Jars(jar);
  std::cout << classpath << "\n" << std::flush;
  return kExitOk;
}

}  // namespace

std::string RuntimeJarPath() { return RuntimeJar().string(); }

void RegisterJavaCommands(CLI::App& app, Action& chosen) {
  auto params = std::make_shared<ParamsOptions>();
  CLI::App* paramsCommand = app.add_subcommand("params", wb::Text(wb::WB_HELP_PARAMS));
  AddHostOptions(*paramsCommand, params->host, false);
  paramsCommand->add_option("--operation", params->operation, wb::Text(wb::WB_HELP_OPERATION))->required();
  paramsCommand->add_option("--generator", params->generator, wb::Text(wb::WB_HELP_GENERATOR))
      ->check(CLI::IsMember({"com", "ejb", "inline-ejb", "java"}));
  paramsCommand->add_flag("--json", params->json, wb::Text(wb::WB_HELP_JSON));
  paramsCommand->callback([params, &chosen] { chosen = [params] { return RunParams(*params); }; });

  auto javaTest = std::make_shared<JavaTestOptions>();
  CLI::App* javaCommand = app.add_subcommand("java-test", wb::Text(wb::WB_HELP_JAVA_TEST));
  AddHostOptions(*javaCommand, javaTest->host, true);
  CLI::Option* given =
      javaCommand->add_option("--template", javaTest->javaTemplate, wb::Text(wb::WB_HELP_JAVA_TEMPLATE));
  javaCommand->add_flag("--junit5", javaTest->junit5, wb::Text(wb::WB_HELP_JAVA_TEST_JUNIT5))->excludes(given);
  javaCommand->add_option("--classpath", javaTest->classPath, wb::Text(wb::WB_HELP_CLASSPATH));
  AddRunOptions(*javaCommand, javaTest->host, true);
  javaCommand->callback([javaTest, &chosen] { chosen = [javaTest] { return RunJavaTest(*javaTest); }; });

  auto junit5 = std::make_shared<bool>(false);
  CLI::App* classpath = app.add_subcommand("java-classpath", wb::Text(wb::WB_HELP_JAVA_CLASSPATH));
  classpath->add_flag("--junit5", *junit5, wb::Text(wb::WB_HELP_JAVA_CLASSPATH_JUNIT5));
  classpath->callback([junit5, &chosen] { chosen = [junit5] { return RunJavaClasspath(*junit5); }; });
}

}  // namespace zt::cli
