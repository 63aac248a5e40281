// ztunittest model ...: model documents.
//
//   ztunittest model show FILE   prints the model tree of a document
//
// A document that cannot be read or has a fault gives one error line,
// "FILE:LINE:COLUMN: message", and exit status 2.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "workbench/ModelDocument.h"
#include "workbench/ModelListing.h"
#include "workbench/Texts.h"

namespace zt::cli {

namespace {

int RunShow(const std::string& path) {
  std::unique_ptr<wb::Model> model;
  try {
    model = wb::LoadModelDocument(path);
  } catch (const wb::DocumentError& e) {
    PrintError(e.what());
    return kExitUsage;
  }
  std::cout << wb::ListModel(*model) << std::flush;
  return kExitOk;
}

}  // namespace

void RegisterModelCommands(CLI::App& app, Action& chosen) {
  CLI::App* model = app.add_subcommand("model", wb::Text(wb::WB_HELP_MODEL));
  model->require_subcommand(1);

  auto file = std::make_shared<std::string>();
  CLI::App* show = model->add_subcommand("show", wb::Text(wb::WB_HELP_MODEL_SHOW));
  show->add_option("file", *file, wb::Text(wb::WB_HELP_MODEL_FILE))->required();
  show->callback([file, &chosen] { chosen = [file] { return RunShow(*file); }; });
}

}  // namespace zt::cli
