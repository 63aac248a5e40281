// ztunittest datapool ...: the datapools of a store.
//
//   ztunittest datapool list [--store DIR] [--json]
//   ztunittest datapool show NAME [--store DIR] [--json]
//   ztunittest datapool export NAME [--store DIR] [--output FILE]
//   ztunittest datapool export --all --dir DIR [--store DIR]
//   ztunittest datapool import NAME FILE [--store DIR]
//   ztunittest datapool import --all --dir DIR [--store DIR]
//   ztunittest datapool add-rows --boundary (NAME... | --all) [--store DIR]
//   ztunittest datapool edit NAME [--store DIR]
//   ztunittest datapool delete NAME... [--store DIR]
//   ztunittest datapool rename OLD NEW [--store DIR]
//
// All but import only read: the store database is opened read-only, without
// a login, and nothing is created. A store folder without a database is a
// store that does not exist: `list` says so and succeeds (it holds no
// datapools), the others fail. Import replaces the rows of an existing
// datapool in one transaction, under the user of CommandUser, after the
// whole file has been read and found right; otherwise the datapool is left
// as it was; `import --all` reads every DIR/NAME.csv so, and stores them
// all in one transaction, or none when one of them is refused. add-rows adds
// boundary rows (chores/BoundaryRows.h) to the datapools named, or to all,
// in one transaction, as the user of CommandUser. edit, delete and rename
// change the store as the user of CommandUser, each in one transaction,
// after every datapool they name was found in the store (one not found is
// told with the name it may have meant, and nothing is changed): edit opens
// the datapool in the editor as a run does (Datapools.h), and reads what
// the user wrote by the rules of import; delete and rename take the records
// that name the datapool with it (chores/DatapoolChores.h). Exit status 0
// ok, 1 failure (no store, unknown datapool, a file that cannot be read,
// written or imported), 2 usage (a user name with a control character
// among them); one message on stderr per failure.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "cli/Commands.h"
#include "support/Error.h"
#include "workbench/store/chores/BoundaryRows.h"
#include "workbench/store/Database.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/chores/DatapoolChores.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/Outputs.h"
#include "workbench/terminal/Console.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

namespace fs = std::filesystem;
using wb::json::Value;

struct DatapoolOptions {
  std::string store = "ztstore";  ///< --store as given, for messages
  wb::StoreLocation location;     ///< --store, read where the command starts (Parsed)
  std::string name;
  std::optional<std::string> output;
  bool all = false;
  std::string dir;
  std::string file;
  bool json = false;
  std::vector<std::string> names;
  bool boundary = false;
  std::string newName;
};

// `options` with --store read: the command's one reading of it (a location
// that cannot be one raises, which the command line tells).
DatapoolOptions& Parsed(DatapoolOptions& options) {
  options.location = wb::ParseStoreLocation(options.store);
  return options;
}

Value FieldsJson(const wb::Datapool& datapool) {
  Value fields = Value::Array();
  for (const wb::DatapoolField& field : datapool.fields) {
    fields.Push(Value::Object().Add("name", Value::String(field.name)).Add("type", Value::String(field.type)));
  }
  return fields;
}

int RunList(const DatapoolOptions& options) {
  const std::unique_ptr<wb::Database> connection = wb::OpenStoreReadOnly(options.location);
  if (options.json) {
    Value datapools = Value::Array();
    for (const std::string& name : connection ? wb::DatapoolNames(*connection) : std::vector<std::string>()) {
      const std::optional<wb::Datapool> datapool = wb::LoadDatapool(*connection, name);
      if (!datapool) continue;
      datapools.Push(Value::Object()
                         .Add("name", Value::String(name))
                         .Add("fields", FieldsJson(*datapool))
                         .Add("rows", Value::Number(static_cast<int64_t>(datapool->rows.size()))));
    }
    std::cout << wb::json::Format(Value::Object()
                                      .Add("store", Value::String(options.store))
                                      .Add("exists", Value::Bool(connection != nullptr))
                                      .Add("datapools", std::move(datapools)))
              << std::flush;
    return kExitOk;
  }
  if (!connection) {
    std::cout << wb::Text(wb::WB_DP_LIST_NO_STORE, {options.store}) << "\n";
    return kExitOk;
  }
  std::cout << wb::DatapoolListing(*connection) << std::flush;
  return kExitOk;
}

// The datapool the options name; raises CommandFailure (1) telling why
// there is none.
wb::Datapool FindDatapool(const DatapoolOptions& options) {
  const std::unique_ptr<wb::Database> connection = wb::OpenStoreReadOnly(options.location);
  if (!connection) Fail(kExitFailed, wb::Text(wb::WB_CMD_NO_STORE, {options.store}));
  std::optional<wb::Datapool> datapool = wb::LoadDatapool(*connection, options.name);
  if (!datapool) Fail(kExitFailed, wb::Text(wb::WB_CMD_NO_SUCH_DATAPOOL, {options.name, options.store}));
  return std::move(*datapool);
}

int RunShow(const DatapoolOptions& options) {
  const wb::Datapool datapool = FindDatapool(options);
  if (!options.json) {
    std::cout << wb::DatapoolDetails(datapool) << std::flush;
    return kExitOk;
  }
  // A row is an array of its values, one per field, in field order.
  Value rows = Value::Array();
  for (const std::vector<std::string>& row : datapool.rows) {
    Value values = Value::Array();
    for (const std::string& value : row) values.Push(Value::String(value));
    rows.Push(std::move(values));
  }
  std::cout << wb::json::Format(Value::Object()
                                    .Add("name", Value::String(datapool.name))
                                    .Add("description", Value::String(datapool.description))
                                    .Add("created", Value::String(datapool.created))
                                    .Add("updated", Value::String(datapool.updated))
                                    .Add("user", Value::String(datapool.user))
                                    .Add("fields", FieldsJson(datapool))
                                    .Add("rows", std::move(rows)))
            << std::flush;
  return kExitOk;
}

// Whether `name` can stand as a file name in a folder: not empty, no "/"
// and no NUL, not "." or "..", short enough with ".csv" after it.
bool IsFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos && name.size() <= 250;
}

int RunExportAll(const DatapoolOptions& options) {
  const std::unique_ptr<wb::Database> connection = wb::OpenStoreReadOnly(options.location);
  if (!connection) {
    PrintError(wb::Text(wb::WB_CMD_NO_STORE, {options.store}));
    return kExitFailed;
  }
  std::error_code ec;
  fs::create_directories(options.dir, ec);
  if (ec) {
    PrintError(wb::Text(wb::WB_CMD_NOT_WRITTEN, {options.dir, ec.message()}));
    return kExitFailed;
  }
  int status = kExitOk;
  for (const std::string& name : wb::DatapoolNames(*connection)) {
    if (!IsFileName(name)) {
      PrintError(wb::Text(wb::WB_DP_EXPORT_NOT_A_FILE_NAME, {name}));
      status = kExitFailed;
      continue;
    }
    const std::optional<wb::Datapool> datapool = wb::LoadDatapool(*connection, name);
    if (!datapool) continue;
    const std::string file = (fs::path(options.dir) / (name + ".csv")).string();
    try {
      wb::WriteFileAtomically(file, wb::DatapoolCsv(*datapool));
    } catch (const ZtError& e) {
      PrintError(wb::Text(wb::WB_CMD_NOT_WRITTEN, {file, e.Description()}));
      status = kExitFailed;
    }
  }
  return status;
}

int RunExport(const DatapoolOptions& options) {
  if (options.all) return RunExportAll(options);
  if (options.name.empty()) {
    PrintError(wb::Text(wb::WB_DP_EXPORT_WHAT));
    return kExitUsage;
  }
  const wb::Datapool datapool = FindDatapool(options);
  const std::string csv = wb::DatapoolCsv(datapool);
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

// A datapool and the rows read for it.
using Import = std::pair<wb::Datapool, std::vector<std::vector<std::string>>>;

// The rows of `file` for the datapool `name` of the store, read as
// `datapool import NAME FILE` reads them; raises CommandFailure (1) telling
// why not.
Import ReadImport(const DatapoolOptions& options, const std::string& name, const std::string& file,
                  bool emptyIsNothing = false) {
  // A folder opens as a stream that reads nothing, which would be taken for
  // a file without a header.
  std::error_code ec;
  if (fs::is_directory(file, ec)) Fail(kExitFailed, wb::Text(wb::WB_DP_IMPORT_UNREADABLE, {file, std::strerror(EISDIR)}));
  std::ifstream in(file, std::ios::binary);
  std::ostringstream content;
  if (in) content << in.rdbuf();
  if (!in || in.bad()) Fail(kExitFailed, wb::Text(wb::WB_DP_IMPORT_UNREADABLE, {file, std::strerror(errno)}));
  DatapoolOptions named = options;
  named.name = name;
  wb::Datapool datapool = FindDatapool(named);
  // What `export --all` writes of a datapool without fields, an empty file,
  // is nothing to import for `import --all`: the datapool comes back
  // without rows to store.
  if (datapool.fields.empty() && emptyIsNothing && content.str().empty()) {
    return std::make_pair(std::move(datapool), std::vector<std::vector<std::string>>());
  }
  if (datapool.fields.empty()) Fail(kExitFailed, wb::Text(wb::WB_DP_IMPORT_NO_FIELDS, {name}));
  std::vector<std::vector<std::string>> rows;
  try {
    rows = wb::ReadImportedCsv(datapool, content.str());
  } catch (const ZtError& e) {
    Fail(kExitFailed, wb::Text(wb::WB_DP_IMPORT_REFUSED, {file, e.Description(), name}));
  }
  return std::make_pair(std::move(datapool), std::move(rows));
}

// Stores the rows of each datapool, all in one transaction, as `user`; the
// store refuses them when a datapool changed since it was read.
void StoreImports(const wb::StoreLocation& location, const std::string& user, const std::vector<Import>& imports) {
  wb::TerminalConsole console;
  const std::unique_ptr<wb::StoreBase> store = wb::MakeStore(wb::StoreOptions{location, user}, console);
  store->Open();
  wb::Database& db = wb::DatabaseOf(store->Connection());
  wb::Transaction transaction(db);
  for (const auto& [datapool, rows] : imports) wb::ReplaceDatapoolRows(db, datapool, rows);
  transaction.Commit();
}

// What `path` is when it is neither a regular file (or a link to one) nor
// what ReadImport tells of itself (a folder, a link that leads nowhere):
// reading a pipe would wait for a writer, and a device or a socket holds no
// datapool. Looked at without opening it; nullopt for the others.
std::optional<std::string> SpecialFileKind(const fs::path& path) {
  std::error_code ec;
  switch (fs::status(path, ec).type()) {
    case fs::file_type::fifo: return wb::Text(wb::WB_FILE_KIND_PIPE);
    case fs::file_type::socket: return wb::Text(wb::WB_OUT_KIND_SOCKET);
    case fs::file_type::block: return wb::Text(wb::WB_OUT_KIND_BLOCK_DEVICE);
    case fs::file_type::character: return wb::Text(wb::WB_FILE_KIND_CHARACTER_DEVICE);
    default: return std::nullopt;
  }
}

int RunImportAll(const DatapoolOptions& options) {
  const std::string user = CommandUser();
  // The files NAME.csv of the folder, by name, so that the messages come in
  // one order.
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(options.dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    if (path.extension() == ".csv" && path.stem() != "" && !it->is_directory()) files.push_back(path);
  }
  if (ec) {
    PrintError(wb::Text(wb::WB_DP_IMPORT_UNREADABLE, {options.dir, ec.message()}));
    return kExitFailed;
  }
  if (files.empty()) {
    PrintError(wb::Text(wb::WB_DP_IMPORT_ALL_NO_FILES, {options.dir}));
    return kExitFailed;
  }
  std::sort(files.begin(), files.end());
  std::vector<Import> imports;
  size_t refused = 0;
  for (const fs::path& file : files) {
    if (const std::optional<std::string> kind = SpecialFileKind(file)) {
      PrintError(wb::Text(wb::WB_DP_IMPORT_NOT_A_FILE, {file.string(), *kind}));
      ++refused;
      continue;
    }
    try {
      Import read = ReadImport(options, file.stem().string(), file.string(), true);
      if (!read.first.fields.empty()) imports.push_back(std::move(read));
    } catch (const CommandFailure& e) {
      // Each refused file is told; then none is imported.
      PrintError(e.what());
      ++refused;
    }
  }
  if (refused != 0) {
    PrintError(
        wb::Text(wb::WB_DP_IMPORT_ALL_REFUSED, {std::to_string(refused), std::to_string(files.size()), options.dir}));
    return kExitFailed;
  }
  StoreImports(options.location, user, imports);
  for (const auto& [datapool, rows] : imports) {
    std::cout << wb::Text(wb::WB_DP_IMPORTED, {datapool.name, std::to_string(rows.size())}) << "\n";
  }
  std::cout << wb::Text(wb::WB_DP_IMPORTED_ALL, {std::to_string(imports.size()), options.dir}) << "\n" << std::flush;
  return kExitOk;
}

int RunImport(const DatapoolOptions& options) {
  if (options.all) return RunImportAll(options);
  if (options.name.empty() || options.file.empty()) {
    PrintError(wb::Text(wb::WB_DP_IMPORT_WHAT));
    return kExitUsage;
  }
  const std::string user = CommandUser();
  const Import read = ReadImport(options, options.name, options.file);
  StoreImports(options.location, user, {read});
  std::cout << wb::Text(wb::WB_DP_IMPORTED, {options.name, std::to_string(read.second.size())}) << "\n" << std::flush;
  return kExitOk;
}

int RunAddRows(const DatapoolOptions& options) {
  if (!options.boundary) {
    PrintError(wb::Text(wb::WB_DP_ADD_ROWS_HOW));
    return kExitUsage;
  }
  if (options.names.empty() == !options.all) {
    PrintError(wb::Text(wb::WB_DP_ADD_ROWS_WHAT));
    return kExitUsage;
  }
  const std::string user = CommandUser();
  std::vector<std::string> names = options.names;
  {
    const std::unique_ptr<wb::Database> connection = wb::OpenStoreReadOnly(options.location);
    if (!connection) {
      PrintError(wb::Text(wb::WB_CMD_NO_STORE, {options.store}));
      return kExitFailed;
    }
    if (options.all) names = wb::DatapoolNames(*connection);
    for (const std::string& name : names) {
      if (!wb::LoadDatapool(*connection, name)) {
        PrintError(wb::Text(wb::WB_CMD_NO_SUCH_DATAPOOL, {name, options.store}));
        PrintError(wb::Text(wb::WB_DP_ROWS_NONE_ADDED));
        return kExitFailed;
      }
    }
  }
  wb::TerminalConsole console;
  const std::unique_ptr<wb::StoreBase> store = wb::MakeStore(wb::StoreOptions{options.location, user}, console);
  store->Open();
  std::vector<wb::RowsAdded> added;
  try {
    added = wb::AddBoundaryRows(wb::DatabaseOf(store->Connection()), names);
  } catch (const ZtError& e) {
    PrintError(e.Description());
    PrintError(wb::Text(wb::WB_DP_ROWS_NONE_ADDED));
    return kExitFailed;
  }
  for (const wb::RowsAdded& pool : added) {
    std::cout << wb::Text(wb::WB_DP_ROWS_ADDED, {pool.name, std::to_string(pool.added), std::to_string(pool.rows)})
              << "\n";
  }
  std::cout << std::flush;
  return kExitOk;
}

// Checks, without changing anything, that the store exists and holds each
// of `names`; raises CommandFailure (1) otherwise, after telling each name
// not found (with the one it may have meant) and, unless 0, the text `none`.
void CheckNames(const DatapoolOptions& options, const std::vector<std::string>& names, int16_t none = 0) {
  const std::unique_ptr<wb::Database> connection = wb::OpenStoreReadOnly(options.location);
  if (!connection) Fail(kExitFailed, wb::Text(wb::WB_CMD_NO_STORE, {options.store}));
  const std::vector<std::string> held = wb::DatapoolNames(*connection);
  std::vector<std::string> unknown;
  for (const std::string& name : names) {
    if (std::find(held.begin(), held.end(), name) != held.end()) continue;
    std::string message = wb::Text(wb::WB_CMD_NO_SUCH_DATAPOOL, {name, options.store});
    if (const std::optional<std::string> nearest = Nearest(name, held)) {
      message += wb::Text(wb::WB_CLI_DID_YOU_MEAN, {*nearest});
    }
    unknown.push_back(std::move(message));
  }
  if (unknown.empty()) return;
  if (none == 0 && unknown.size() == 1) Fail(kExitFailed, unknown.front());
  for (const std::string& message : unknown) PrintError(message);
  Fail(kExitFailed, wb::Text(none));
}

// The store of the options, opened to be changed as `user`.
std::unique_ptr<wb::StoreBase> OpenToChange(const DatapoolOptions& options, const std::string& user,
                                            wb::Console& console) {
  std::unique_ptr<wb::StoreBase> store = wb::MakeStore(wb::StoreOptions{options.location, user}, console);
  store->Open();
  return store;
}

int RunEdit(const DatapoolOptions& options) {
  const std::string user = CommandUser();
  CheckNames(options, {options.name});
  wb::TerminalConsole console;
  const std::unique_ptr<wb::StoreBase> store = OpenToChange(options, user, console);
  const wb::EditOutcome outcome =
      wb::EditDatapoolInEditor(wb::DatabaseOf(store->Connection()), options.name, wb::ReadImportedCsv);
  if (outcome.kind == wb::EditOutcome::kNotStored) Fail(kExitFailed, outcome.message);
  std::cout << outcome.message << "\n" << std::flush;
  return kExitOk;
}

int RunDelete(const DatapoolOptions& options) {
  const std::string user = CommandUser();
  // Each name once, in the order given.
  std::vector<std::string> names;
  for (const std::string& name : options.names) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  CheckNames(options, names, wb::WB_DP_NONE_DELETED);
  wb::TerminalConsole console;
  const std::unique_ptr<wb::StoreBase> store = OpenToChange(options, user, console);
  try {
    wb::DeleteDatapools(wb::DatabaseOf(store->Connection()), names);
  } catch (const ZtError& e) {
    PrintError(e.Description());
    Fail(kExitFailed, wb::Text(wb::WB_DP_NONE_DELETED));
  }
  std::string listed;
  for (const std::string& name : names) listed += (listed.empty() ? "" : wb::Text(wb::WB_DP_LIST_SEPARATOR)) + name;
  std::cout << wb::Text(wb::WB_DP_DELETED, {std::to_string(names.size()), listed}) << "\n" << std::flush;
  return kExitOk;
}

int RunRename(const DatapoolOptions& options) {
  const std::string user = CommandUser();
  if (const std::optional<std::string> fault = wb::DatapoolNameFault(options.newName)) {
    Fail(kExitFailed, wb::Text(wb::WB_DP_NOT_RENAMED,
                               {options.name, wb::Text(wb::WB_DP_NOT_A_NAME, {options.newName, *fault})}));
  }
  CheckNames(options, {options.name});
  wb::TerminalConsole console;
  const std::unique_ptr<wb::StoreBase> store = OpenToChange(options, user, console);
  std::string operation;
  try {
    operation = wb::RenameDatapool(wb::DatabaseOf(store->Connection()), options.name, options.newName);
  } catch (const ZtError& e) {
    Fail(kExitFailed, wb::Text(wb::WB_DP_NOT_RENAMED, {options.name, e.Description()}));
  }
  std::cout << wb::Text(wb::WB_DP_RENAMED, {options.name, options.newName}) << "\n";
  std::cout << (operation.empty() ? wb::Text(wb::WB_DP_RENAMED_NO_RECORD, {options.name})
                                  : wb::Text(wb::WB_DP_RENAMED_TESTS, {operation, options.name}))
            << "\n"
            << std::flush;
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
  CLI::App* listCommand = AddSubcommand(*datapool, "list", wb::WB_HELP_DATAPOOL_LIST, *list);
  listCommand->add_flag("--json", list->json, wb::Text(wb::WB_HELP_JSON));
  listCommand->callback([list, &chosen] { chosen = [list] { return RunList(Parsed(*list)); }; });

  auto show = std::make_shared<DatapoolOptions>();
  CLI::App* showCommand = AddSubcommand(*datapool, "show", wb::WB_HELP_DATAPOOL_SHOW, *show);
  showCommand->add_option("name", show->name, wb::Text(wb::WB_HELP_DATAPOOL_NAME))->required();
  showCommand->add_flag("--json", show->json, wb::Text(wb::WB_HELP_JSON));
  showCommand->callback([show, &chosen] { chosen = [show] { return RunShow(Parsed(*show)); }; });

  auto exported = std::make_shared<DatapoolOptions>();
  CLI::App* exportCommand = AddSubcommand(*datapool, "export", wb::WB_HELP_DATAPOOL_EXPORT, *exported);
  CLI::Option* name = exportCommand->add_option("name", exported->name, wb::Text(wb::WB_HELP_DATAPOOL_NAME));
  CLI::Option* output = exportCommand->add_option("--output", exported->output, wb::Text(wb::WB_HELP_OUTPUT));
  CLI::Option* all = exportCommand->add_flag("--all", exported->all, wb::Text(wb::WB_HELP_DATAPOOL_ALL));
  CLI::Option* dir = exportCommand->add_option("--dir", exported->dir, wb::Text(wb::WB_HELP_DATAPOOL_DIR));
  all->excludes(name)->excludes(output)->needs(dir);
  dir->needs(all);
  exportCommand->callback([exported, &chosen] { chosen = [exported] { return RunExport(Parsed(*exported)); }; });

  auto imported = std::make_shared<DatapoolOptions>();
  CLI::App* importCommand = AddSubcommand(*datapool, "import", wb::WB_HELP_DATAPOOL_IMPORT, *imported);
  CLI::Option* importName = importCommand->add_option("name", imported->name, wb::Text(wb::WB_HELP_DATAPOOL_NAME));
  CLI::Option* importFile = importCommand->add_option("file", imported->file, wb::Text(wb::WB_HELP_DATAPOOL_FILE));
  CLI::Option* importAll = importCommand->add_flag("--all", imported->all, wb::Text(wb::WB_HELP_DATAPOOL_IMPORT_ALL));
  CLI::Option* importDir = importCommand->add_option("--dir", imported->dir, wb::Text(wb::WB_HELP_DATAPOOL_IMPORT_DIR));
  importAll->excludes(importName)->excludes(importFile)->needs(importDir);
  importDir->needs(importAll);
  importCommand->callback([imported, &chosen] { chosen = [imported] { return RunImport(Parsed(*imported)); }; });

  auto adding = std::make_shared<DatapoolOptions>();
  CLI::App* addCommand = AddSubcommand(*datapool, "add-rows", wb::WB_HELP_DATAPOOL_ADD_ROWS, *adding);
  addCommand->add_option("names", adding->names, wb::Text(wb::WB_HELP_DATAPOOL_NAMES));
  addCommand->add_flag("--boundary", adding->boundary, wb::Text(wb::WB_HELP_DATAPOOL_BOUNDARY));
  addCommand->add_flag("--all", adding->all, wb::Text(wb::WB_HELP_DATAPOOL_ADD_ALL));
  addCommand->callback([adding, &chosen] { chosen = [adding] { return RunAddRows(Parsed(*adding)); }; });

  auto edited = std::make_shared<DatapoolOptions>();
  CLI::App* editCommand = AddSubcommand(*datapool, "edit", wb::WB_HELP_DATAPOOL_EDIT, *edited);
  editCommand->add_option("name", edited->name, wb::Text(wb::WB_HELP_DATAPOOL_NAME))->required();
  editCommand->callback([edited, &chosen] { chosen = [edited] { return RunEdit(Parsed(*edited)); }; });

  auto deleted = std::make_shared<DatapoolOptions>();
  CLI::App* deleteCommand = AddSubcommand(*datapool, "delete", wb::WB_HELP_DATAPOOL_DELETE, *deleted);
  deleteCommand->add_option("names", deleted->names, wb::Text(wb::WB_HELP_DATAPOOL_NAMES))->required();
  deleteCommand->callback([deleted, &chosen] { chosen = [deleted] { return RunDelete(Parsed(*deleted)); }; });

  auto renamed = std::make_shared<DatapoolOptions>();
  CLI::App* renameCommand = AddSubcommand(*datapool, "rename", wb::WB_HELP_DATAPOOL_RENAME, *renamed);
  renameCommand->add_option("old", renamed->name, wb::Text(wb::WB_HELP_DATAPOOL_OLD))->required();
  renameCommand->add_option("new", renamed->newName, wb::Text(wb::WB_HELP_DATAPOOL_NEW))->required();
  renameCommand->callback([renamed, &chosen] { chosen = [renamed] { return RunRename(Parsed(*renamed)); }; });
}

}  // namespace zt::cli
