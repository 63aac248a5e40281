// ztunittest model ...: model files (JSON model documents and XMI files).
//
//   ztunittest model show FILE [--language NAME] [--json]
//       prints the model tree (as one JSON document with --json)
//   ztunittest model convert IN [OUT] [--language NAME]
//       reads IN (XMI or JSON) and writes it as a JSON model document to OUT,
//       or to stdout when no OUT is given
//   ztunittest model check FILE [--classpath CP] [--language NAME] [--json]
//       compares the Java classes of the model with the compiled classes of
//       CP (or $ZTUNITTEST_CLASSPATH); exit status 1 when they differ
//
// A file that cannot be read or has a fault gives one error line,
// "FILE:LINE:COLUMN: message", and exit status 2; warnings go to stderr,
// one line each. convert exits with 1 when OUT cannot be written, and
// refuses (status 2) to write over IN.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "workbench/code/CodeComparison.h"
#include "workbench/documents/ModelFile.h"
#include "workbench/documents/ModelListing.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/Outputs.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

using wb::json::Value;

/// What the model subcommands are given.
struct ModelArguments {
  std::string file;
  std::string output;
  std::string language;
  bool json = false;
  std::optional<std::string> classPath;
};

// The model as `model show --json` prints it (docs/command-line.md): each
// element with its kind, name and qualified name, its own members, its
// tool properties in order, and what it holds.
Value Named(const wb::Element& element) {
  Value properties = Value::Array();
  for (const auto& p : element.ToolProperties()) {
    properties.Push(Value::Object()
                        .Add("tool", Value::String(p->Tool()))
                        .Add("name", Value::String(p->Name()))
                        .Add("value", Value::String(p->Value())));
  }
  Value value = Value::Object();
  value.Add("kind", Value::String(element.KindName()))
      .Add("name", Value::String(element.Name()))
      .Add("qualifiedName", Value::String(element.GetQualifiedName()))
      .Add("properties", std::move(properties));
  return value;
}

Value QualifiedNames(const auto& range) {
  Value names = Value::Array();
  for (const auto* element : range) names.Push(Value::String(element->GetQualifiedName()));
  return names;
}

Value ClassJson(const wb::Class& c) {
  Value attributes = Value::Array();
  for (const wb::Attribute* a : c.AttributeList()) attributes.Push(Named(*a).Add("type", Value::String(a->Type())));
  Value operations = Value::Array();
  for (const wb::Operation* o : c.OperationList()) {
    Value parameters = Value::Array();
    for (const wb::Parameter* p : o->ParameterList()) {
      parameters.Push(Named(*p).Add("type", Value::String(p->Type())).Add("initValue", Value::String(p->InitValue())));
    }
    operations.Push(Named(*o)
                        .Add("returnType", Value::String(o->ReturnType()))
                        .Add("stereotype", Value::String(o->Stereotype()))
                        .Add("static", Value::Bool(o->IsStatic()))
                        .Add("visibility", Value::String(std::string(wb::VisibilityWord(o->Visibility()))))
                        .Add("parameters", std::move(parameters)));
  }
  Value components = Value::Array();
  for (const wb::Component* k : c.ComponentList()) components.Push(Value::String(k->Name()));
  Value literals = Value::Array();
  for (const std::string& literal : c.Literals()) literals.Push(Value::String(literal));
  return Named(c)
      .Add("stereotype", Value::String(c.Stereotype()))
      .Add("language", Value::String(c.Language()))
      .Add("abstract", Value::Bool(c.IsAbstract()))
      .Add("inherits", QualifiedNames(c.Inherits()))
      .Add("realizes", QualifiedNames(c.Realizes()))
      .Add("components", std::move(components))
      .Add("attributes", std::move(attributes))
      .Add("operations", std::move(operations))
      .Add("literals", std::move(literals));
}

Value PackageJson(const wb::Package& package) {
  Value classes = Value::Array();
  for (const wb::Class* c : package.ClassList()) classes.Push(ClassJson(*c));
  Value packages = Value::Array();
  for (const wb::Package* p : package.PackageList()) packages.Push(PackageJson(*p));
  return Named(package).Add("classes", std::move(classes)).Add("packages", std::move(packages));
}

Value ModelJson(const wb::Model& model) {
  Value components = Value::Array();
  for (const wb::Component* k : model.ComponentList()) components.Push(Named(*k));
  return Named(model).Add("components", std::move(components)).Add("root", PackageJson(model.Root()));
}

/// Loads a model file, printing its warnings; nullptr (after printing the
/// error) when it cannot be used.
std::unique_ptr<wb::Model> Load(const ModelArguments& args) {
  wb::ModelFileOptions options;
  options.language = args.language;
  options.warn = [](const wb::LoadWarning& warning) { PrintError(warning.Format()); };
  try {
    return wb::LoadModelFile(args.file, options);
  } catch (const wb::DocumentError& e) {
    PrintError(e.what());
    return nullptr;
  }
}

int RunShow(const ModelArguments& args) {
  const std::unique_ptr<wb::Model> model = Load(args);
  if (!model) return kExitUsage;
  std::cout << (args.json ? wb::json::Format(ModelJson(*model)) : wb::ListModel(*model)) << std::flush;
  return kExitOk;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec) && !ec;
}

int RunConvert(const ModelArguments& args) {
  if (!args.output.empty() && SameFile(args.file, args.output)) {
    PrintError(wb::Text(wb::WB_CONVERT_SAME_FILE, {args.file, args.output}));
    return kExitUsage;
  }
  const std::unique_ptr<wb::Model> model = Load(args);
  if (!model) return kExitUsage;
  std::string document;
  try {
    document = wb::FormatModelDocument(*model);
  } catch (const ZtError& e) {
    PrintError(wb::Text(wb::WB_CONVERT_CANNOT_CARRY, {args.file, e.Description()}));
    return kExitUsage;
  }
  if (args.output.empty()) {
    std::cout << document << std::flush;
    return kExitOk;
  }
  try {
    wb::WriteOutputFile(args.output, document);
  } catch (const ZtError& e) {
    PrintError(wb::Text(wb::WB_CONVERT_CANNOT_WRITE, {args.output, e.Description()}));
    return kExitFailed;
  }
  int packages = 0;
  int operations = 0;
  model->Walk([&](wb::Element& element, int) {
    if (dynamic_cast<wb::Package*>(&element) != nullptr) ++packages;
    if (dynamic_cast<wb::Operation*>(&element) != nullptr) ++operations;
  });
  std::cout << wb::Text(wb::WB_CONVERT_DONE, {args.output, std::to_string(packages),
                                              std::to_string(model->ClassCount()), std::to_string(operations)})
            << std::endl;
  return kExitOk;
}

// The classes of `model` a Java test is written for: of language Java, or
// of none (java-test takes those as Java).
std::vector<wb::Class*> JavaClasses(const wb::Model& model) {
  std::vector<wb::Class*> classes;
  const std::string java = GetResString(IDS_LANG_JAVA);
  model.Walk([&](wb::Element& element, int) {
    auto* cls = dynamic_cast<wb::Class*>(&element);
    if (cls != nullptr && (cls->Language().empty() || cls->Language() == java)) classes.push_back(cls);
  });
  return classes;
}

const char* StatusWord(wb::OperationCheck::Status status) {
  switch (status) {
    case wb::OperationCheck::Status::kMatch:
      return "same";
    case wb::OperationCheck::Status::kMissing:
      return "missing";
    case wb::OperationCheck::Status::kDiffers:
      return "differs";
  }
  return "";
}

int RunCheck(const ModelArguments& args) {
  const std::string classPath = CompiledClassPath(args.classPath);
  if (classPath.empty()) Fail(kExitUsage, wb::Text(wb::WB_CHECK_NO_CLASSPATH));
  const std::unique_ptr<wb::Model> model = Load(args);
  if (!model) return kExitUsage;
  const std::vector<wb::Class*> classes = JavaClasses(*model);
  const wb::CodeComparison comparison(classes,
                                      wb::DescribeClasses(wb::JavaNamesOf(classes), classPath, RuntimeJarPath()));
  int same = 0, missing = 0, differs = 0, missingClasses = 0, unmodelled = 0, operations = 0;
  Value list = Value::Array();
  std::string text;
  for (const wb::ClassCheck& c : comparison.Classes()) {
    Value checks = Value::Array();
    Value extra = Value::Array();
    const std::string qualified = c.cls->GetQualifiedName();
    if (c.code == nullptr) {
      ++missingClasses;
      text += wb::Text(wb::WB_CHECK_CLASS_MISSING, {c.javaName, qualified}) + "\n";
    } else {
      text += wb::Text(wb::WB_CHECK_CLASS, {c.javaName, qualified}) + "\n";
    }
    for (const wb::OperationCheck& o : c.operations) {
      ++operations;
      same += o.status == wb::OperationCheck::Status::kMatch ? 1 : 0;
      missing += o.status == wb::OperationCheck::Status::kMissing ? 1 : 0;
      differs += o.status == wb::OperationCheck::Status::kDiffers ? 1 : 0;
      if (c.code != nullptr) {
        const int16_t line = o.status == wb::OperationCheck::Status::kMatch     ? wb::WB_CHECK_SAME
                             : o.status == wb::OperationCheck::Status::kMissing ? wb::WB_CHECK_MISSING
                                                                                : wb::WB_CHECK_DIFFERS;
        text += "  " + wb::Text(line, {o.modelSignature, o.codeSignatures, o.operation->Name()}) + "\n";
      }
      checks.Push(Value::Object()
                      .Add("operation", Value::String(o.operation->GetQualifiedName()))
                      .Add("model", Value::String(o.modelSignature))
                      .Add("status", Value::String(StatusWord(o.status)))
                      .Add("code", o.codeSignatures.empty() ? Value::Null() : Value::String(o.codeSignatures)));
    }
    for (const wb::CodeMember* member : c.unmodelled) {
      ++unmodelled;
      const std::string simple = c.javaName.substr(c.javaName.rfind('.') + 1);
      const std::string signature = wb::SignatureOf(*member, simple);
      text += "  " + wb::Text(wb::WB_CHECK_NOT_IN_MODEL, {signature}) + "\n";
      extra.Push(Value::String(signature));
    }
    list.Push(Value::Object()
                  .Add("class", Value::String(qualified))
                  .Add("java", Value::String(c.javaName))
                  .Add("found", Value::Bool(c.code != nullptr))
                  .Add("operations", std::move(checks))
                  .Add("notInModel", std::move(extra)));
  }
  const int status = comparison.Differs() ? kExitFailed : kExitOk;
  if (args.json) {
    Value counts = Value::Object();
    counts.Add("classes", Value::Number(static_cast<int64_t>(comparison.Classes().size())))
        .Add("classesMissing", Value::Number(missingClasses))
        .Add("operations", Value::Number(operations))
        .Add("same", Value::Number(same))
        .Add("missing", Value::Number(missing))
        .Add("differs", Value::Number(differs))
        .Add("notInModel", Value::Number(unmodelled));
    Value document = Value::Object();
    document.Add("model", Value::String(args.file))
        .Add("classPath", Value::String(classPath))
        .Add("differs", Value::Bool(status != kExitOk))
        .Add("counts", std::move(counts))
        .Add("classes", std::move(list));
    std::cout << wb::json::Format(document) << std::flush;
  } else {
    std::cout << text
              << wb::Text(wb::WB_CHECK_TOTALS,
                          {std::to_string(comparison.Classes().size()), std::to_string(missingClasses),
                           std::to_string(operations), std::to_string(same), std::to_string(missing),
                           std::to_string(differs), std::to_string(unmodelled)})
              << std::endl;
  }
  return status;
}

}  // namespace

std::string CompiledClassPath(const std::optional<std::string>& given, const std::string& stored) {
  std::string path;
  std::string source = "--classpath";
  if (given) {
    path = *given;
  } else if (const char* environment = std::getenv("ZTUNITTEST_CLASSPATH"); environment != nullptr) {
    path = environment;
    source = "$ZTUNITTEST_CLASSPATH";
  } else {
    path = stored;
    source = wb::Text(wb::WB_CHECK_STORED_CLASSPATH);
  }
  std::string absolute;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string entry = path.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    std::error_code ec;
    if (!std::filesystem::exists(entry, ec)) Fail(kExitUsage, wb::Text(wb::WB_CHECK_CLASSPATH_ENTRY, {source, entry}));
    absolute += (absolute.empty() ? "" : ":") + std::filesystem::absolute(entry, ec).lexically_normal().string();
  }
  return absolute;
}

void RegisterModelCommands(CLI::App& app, Action& chosen) {
  CLI::App* model = app.add_subcommand("model", wb::Text(wb::WB_HELP_MODEL));
  model->require_subcommand(1);

  auto args = std::make_shared<ModelArguments>();
  CLI::App* show = model->add_subcommand("show", wb::Text(wb::WB_HELP_MODEL_SHOW));
  show->add_option("file", args->file, wb::Text(wb::WB_HELP_MODEL_ANY_FILE))->required();
  show->add_option("--language", args->language, wb::Text(wb::WB_HELP_LANGUAGE));
  show->add_flag("--json", args->json, wb::Text(wb::WB_HELP_JSON));
  show->callback([args, &chosen] { chosen = [args] { return RunShow(*args); }; });

  CLI::App* convert = model->add_subcommand("convert", wb::Text(wb::WB_HELP_MODEL_CONVERT));
  convert->add_option("in", args->file, wb::Text(wb::WB_HELP_CONVERT_IN))->required();
  convert->add_option("out", args->output, wb::Text(wb::WB_HELP_CONVERT_OUT));
  convert->add_option("--language", args->language, wb::Text(wb::WB_HELP_LANGUAGE));
  convert->callback([args, &chosen] { chosen = [args] { return RunConvert(*args); }; });

  CLI::App* check = model->add_subcommand("check", wb::Text(wb::WB_HELP_MODEL_CHECK));
  check->add_option("file", args->file, wb::Text(wb::WB_HELP_MODEL_ANY_FILE))->required();
  check->add_option("--classpath", args->classPath, wb::Text(wb::WB_HELP_CLASSPATH));
  check->add_option("--language", args->language, wb::Text(wb::WB_HELP_LANGUAGE));
  check->add_flag("--json", args->json, wb::Text(wb::WB_HELP_JSON));
  check->callback([args, &chosen] { chosen = [args] { return RunCheck(*args); }; });
}

}  // namespace zt::cli
