// ztunittest datapool ...: the datapools of a store.
//
//   ztunittest datapool list [--store DIR]
//   ztunittest datapool show NAME [--store DIR]
//   ztunittest datapool export NAME [--store DIR] [--output FILE]
//
// These only read: the store database is opened read-only, without a login,
// and nothing is created. A store folder without a database is a store that
// does not exist: `list` says so and succeeds (it holds no datapools), `show`
// and `export` fail. Exit status 0 ok, 1 failure (no store, unknown datapool,
// a file that cannot be written), 2 usage; one message on stderr per failure.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "support/Error.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreDatabase.h"
#include "workbench/system/Outputs.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

struct DatapoolOptions {
  std::string store = wb::StoreOptions{}.folder;
  std::string name;
  std::optional<std::string> output;
};

int RunList(const DatapoolOptions& options) {
  const std::unique_ptr<wb::SqliteConnection> connection = wb::OpenStoreReadOnly(options.store);
  if (!connection) {
    std::cout << wb::Text(wb::WB_DP_LIST_NO_STORE, {options.store}) << "\n";
    return kExitOk;
  }
  std::cout << wb::DatapoolListing(connection->Handle()) << std::flush;
  return kExitOk;
}

// The datapool the options name; nullopt after telling why there is none.
std::optional<wb::Datapool> FindDatapool(const DatapoolOptions& options) {
  const std::unique_ptr<wb::SqliteConnection> connection = wb::OpenStoreReadOnly(options.store);
  if (!connection) {
    PrintError(wb::Text(wb::WB_CMD_NO_STORE, {options.store}));
    return std::nullopt;
  }
  std::optional<wb::Datapool> datapool = wb::LoadDatapool(connection->Handle(), options.name);
  if (!datapool) PrintError(wb::Text(wb::WB_CMD_NO_SUCH_DATAPOOL, {options.name, options.store}));
  return datapool;
}

int RunShow(const DatapoolOptions& options) {
  const std::optional<wb::Datapool> datapool = FindDatapool(options);
  if (!datapool) return kExitFailed;
  std::cout << wb::DatapoolDetails(*datapool) << std::flush;
  return kExitOk;
}

int RunExport(const DatapoolOptions& options) {
  const std::optional<wb::Datapool> datapool = FindDatapool(options);
  if (!datapool) return kExitFailed;
  const std::string csv = wb::DatapoolCsv(*datapool);
  if (!options.output) {
    std::cout << csv << std::flush;
    return kExitOk;
  }
  try {
    wb::WriteOutputFile(*options.output, csv);
  } catch (const ZtError& e) {
    PrintError(wb::Text(wb::WB_CMD_NOT_WRITTEN, {*options.output, e.Description()}));
    return kExitFailed;
  }
  return kExitOk;
}

// Adds a subcommand of `datapool` with its --store option.
CLI::App* AddSubcommand(CLI::App& datapool, const char* name, int16_t help, DatapoolOptions& options) {
  CLI::App* command = datapool.add_subcommand(name, wb::Text(help));
  command->add_option("--store", options.store, wb::Text(wb::WB_HELP_STORE))->capture_default_str();
  return command;
}

}  // namespace

void RegisterDatapoolCommands(CLI::App& app, Action& chosen) {
  CLI::App* datapool = app.add_subcommand("datapool", wb::Text(wb::WB_HELP_DATAPOOL));
  datapool->require_subcommand(1);

  auto list = std::make_shared<DatapoolOptions>();
  AddSubcommand(*datapool, "list", wb::WB_HELP_DATAPOOL_LIST, *list)->callback([list, &chosen] {
    chosen = [list] { return RunList(*list); };
  });

  auto show = std::make_shared<DatapoolOptions>();
  CLI::App* showCommand = AddSubcommand(*datapool, "show", wb::WB_HELP_DATAPOOL_SHOW, *show);
  showCommand->add_option("name", show->name, wb::Text(wb::WB_HELP_DATAPOOL_NAME))->required();
  showCommand->callback([show, &chosen] { chosen = [show] { return RunShow(*show); }; });

  auto exported = std::make_shared<DatapoolOptions>();
  CLI::App* exportCommand = AddSubcommand(*datapool, "export", wb::WB_HELP_DATAPOOL_EXPORT, *exported);
  exportCommand->add_option("name", exported->name, wb::Text(wb::WB_HELP_DATAPOOL_NAME))->required();
  exportCommand->add_option("--output", exported->output, wb::Text(wb::WB_HELP_OUTPUT));
  exportCommand->callback([exported, &chosen] { chosen = [exported] { return RunExport(*exported); }; });
}

}  // namespace zt::cli
