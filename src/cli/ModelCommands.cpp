// ztunittest model ...: model files (JSON model documents and XMI files).
//
//   ztunittest model show FILE [--language NAME]
//       prints the model tree
//   ztunittest model convert IN [OUT] [--language NAME]
//       reads IN (XMI or JSON) and writes it as a JSON model document to OUT,
//       or to stdout when no OUT is given
//
// A file that cannot be read or has a fault gives one error line,
// "FILE:LINE:COLUMN: message", and exit status 2; warnings go to stderr,
// one line each. convert exits with 1 when OUT cannot be written, and
// refuses (status 2) to write over IN.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "support/Error.h"
#include "workbench/documents/ModelFile.h"
#include "workbench/documents/ModelListing.h"
#include "workbench/system/Outputs.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

/// What the model subcommands are given.
struct ModelArguments {
  std::string file;
  std::string output;
  std::string language;
};

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
  std::cout << wb::ListModel(*model) << std::flush;
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

}  // namespace

void RegisterModelCommands(CLI::App& app, Action& chosen) {
  CLI::App* model = app.add_subcommand("model", wb::Text(wb::WB_HELP_MODEL));
  model->require_subcommand(1);

  auto args = std::make_shared<ModelArguments>();
  CLI::App* show = model->add_subcommand("show", wb::Text(wb::WB_HELP_MODEL_SHOW));
  show->add_option("file", args->file, wb::Text(wb::WB_HELP_MODEL_ANY_FILE))->required();
  show->add_option("--language", args->language, wb::Text(wb::WB_HELP_LANGUAGE));
  show->callback([args, &chosen] { chosen = [args] { return RunShow(*args); }; });

  CLI::App* convert = model->add_subcommand("convert", wb::Text(wb::WB_HELP_MODEL_CONVERT));
  convert->add_option("in", args->file, wb::Text(wb::WB_HELP_CONVERT_IN))->required();
  convert->add_option("out", args->output, wb::Text(wb::WB_HELP_CONVERT_OUT));
  convert->add_option("--language", args->language, wb::Text(wb::WB_HELP_LANGUAGE));
  convert->callback([args, &chosen] { chosen = [args] { return RunConvert(*args); }; });
}

}  // namespace zt::cli
