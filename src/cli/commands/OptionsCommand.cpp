// ztunittest options [--store DIR] [--resource-compiler PATH]
//                    [--resource-compiler-options TEXT] [--classpath CP] [--json]
//
// Sets the tool options that are given ("" unsets one), then prints the
// current options. Setting opens the store as the generation run does,
// creating it if needed, under the user $ZTUNITTEST_USER, else $USER, else
// "ztunittest", so that it never asks for a login; only printing opens it
// read-only and creates nothing. A resource compiler path must name an
// existing executable file that a run would take (its path holds ".exe"),
// and is stored absolute. Exit status 0 ok, 1 failure, 2 usage.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <utility>

#include "cli/Commands.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/ToolOptions.h"
#include "workbench/terminal/Console.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace fs = std::filesystem;

namespace {

struct OptionsOptions {
  std::string store = "ztstore";
  std::optional<std::string> compiler;
  std::optional<std::string> compilerOptions;
  std::optional<std::string> classPath;
  bool json = false;
};

// Why a generation run could not use `path` (absolute) as its resource
// compiler, or nullopt. The run takes only a path with ".exe" in it, as
// written (it gives any other a warning and no .res file).
std::optional<std::string> CompilerProblem(const std::string& given, const std::string& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return wb::Text(wb::WB_CMD_NO_SUCH_FILE, {given});
  if (!fs::is_regular_file(path, ec)) return wb::Text(wb::WB_OPT_COMPILER_NOT_FILE, {given});
  if (::access(path.c_str(), X_OK) != 0) return wb::Text(wb::WB_OPT_COMPILER_NOT_EXECUTABLE, {given});
  if (path.find(".exe") == std::string::npos) return wb::Text(wb::WB_OPT_COMPILER_NAME, {given});
  return std::nullopt;
}

// The line of `option` named `name`: its stored value, its default or "not set".
std::string OptionLine(wb::WorkbenchToolOptions* options, int32_t option, int16_t name) {
  const std::optional<std::string> stored = options != nullptr ? options->StoredOption(option) : std::nullopt;
  std::string value = wb::Text(wb::WB_OPT_NOT_SET);
  if (stored) {
    value = *stored;
  } else if (option == tool_option::kResourceCompiler) {
    const std::string shown = options != nullptr ? options->GetOption(option) : std::string();
    if (!shown.empty()) value = wb::Text(wb::WB_OPT_DEFAULT, {shown});
  }
  return wb::Text(wb::WB_OPT_LINE, {wb::Text(name), std::to_string(option), value});
}

int RunOptions(const OptionsOptions& given) {
  std::string compiler;
  if (given.compiler && !given.compiler->empty()) {
    std::error_code ec;
    compiler = fs::absolute(*given.compiler, ec).lexically_normal().string();
    const std::optional<std::string> problem =
        ec ? std::optional<std::string>(wb::Text(wb::WB_CMD_NO_SUCH_FILE, {*given.compiler}))
           : CompilerProblem(*given.compiler, compiler);
    if (problem) {
      PrintError(*problem);
      return kExitFailed;
    }
  }

  // The class path's entries must be there; they are stored absolute.
  const std::string classPath = given.classPath ? CompiledClassPath(given.classPath) : std::string();
  const wb::StoreLocation location = wb::ParseStoreLocation(given.store);
  wb::TerminalConsole console;
  std::unique_ptr<wb::StoreBase> store;
  std::unique_ptr<wb::Database> readOnly;
  DataStoreConnection* connection = nullptr;
  if (given.compiler || given.compilerOptions || given.classPath) {
    const std::string user = CommandUser();
    store = wb::MakeStore(wb::StoreOptions{location, user}, console);
    store->Open();
    connection = store->Connection();
  } else {
    readOnly = wb::OpenStoreReadOnly(location);
    connection = readOnly.get();
  }
  std::unique_ptr<wb::WorkbenchToolOptions> options;
  if (connection != nullptr) options = std::make_unique<wb::WorkbenchToolOptions>(*connection);

  if (store) {
    wb::Transaction transaction(wb::DatabaseOf(connection));
    if (given.compiler) options->SetOption(tool_option::kResourceCompiler, compiler);
    if (given.compilerOptions) options->SetOption(tool_option::kResourceCompilerOptions, *given.compilerOptions);
    if (given.classPath) options->SetOption(wb::kClassPathOption, classPath);
    transaction.Commit();
  }
  if (given.json) {
    // Each option: its number, its stored value (null when not set) and the
    // value a run takes (the default when not set; null for none).
    wb::json::Value list = wb::json::Value::Array();
    for (const auto& [option, key] : {std::pair{tool_option::kResourceCompiler, "resourceCompiler"},
                                      std::pair{tool_option::kResourceCompilerOptions, "resourceCompilerOptions"},
                                      std::pair{wb::kClassPathOption, "classPath"}}) {
      const std::optional<std::string> stored = options ? options->StoredOption(option) : std::nullopt;
      std::string used = stored.value_or("");
      if (!stored && options && option == tool_option::kResourceCompiler) used = options->GetOption(option);
      list.Push(wb::json::Value::Object()
                    .Add("name", wb::json::Value::String(key))
                    .Add("option", wb::json::Value::Number(option))
                    .Add("value", stored ? wb::json::Value::String(*stored) : wb::json::Value::Null())
                    .Add("inEffect", used.empty() ? wb::json::Value::Null() : wb::json::Value::String(used)));
    }
    std::cout << wb::json::Format(wb::json::Value::Object()
                                      .Add("store", wb::json::Value::String(given.store))
                                      .Add("options", std::move(list)))
              << std::flush;
    return kExitOk;
  }
  std::cout << OptionLine(options.get(), tool_option::kResourceCompiler, wb::WB_OPT_NAME_COMPILER) << "\n"
            << OptionLine(options.get(), tool_option::kResourceCompilerOptions, wb::WB_OPT_NAME_COMPILER_OPTIONS)
            << "\n"
            << OptionLine(options.get(), wb::kClassPathOption, wb::WB_OPT_NAME_CLASSPATH) << "\n"
            << std::flush;
  return kExitOk;
}

}  // namespace

void RegisterOptionsCommand(CLI::App& app, Action& chosen) {
  auto given = std::make_shared<OptionsOptions>();
  CLI::App* command = app.add_subcommand("options", wb::Text(wb::WB_HELP_OPTIONS));
  command->add_option("--store", given->store, wb::Text(wb::WB_HELP_STORE))->capture_default_str();
  command->add_option("--resource-compiler", given->compiler, wb::Text(wb::WB_HELP_OPTIONS_COMPILER));
  command->add_option("--resource-compiler-options", given->compilerOptions,
                      wb::Text(wb::WB_HELP_OPTIONS_COMPILER_OPTIONS));
  command->add_option("--classpath", given->classPath, wb::Text(wb::WB_HELP_OPTIONS_CLASSPATH));
  command->add_flag("--json", given->json, wb::Text(wb::WB_HELP_JSON));
  command->callback([given, &chosen] { chosen = [given] { return RunOptions(*given); }; });
}

}  // namespace zt::cli
