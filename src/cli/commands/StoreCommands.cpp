// ztunittest store ...: whole stores.
//
//   ztunittest store copy FROM TO [--replace]
//   ztunittest store prune MODEL [--store S] [--yes]    (StorePrune.cpp)
//
// Copies the store FROM into the store TO, of either kind (a store folder,
// a PostgreSQL database with its scripts folder; TO is made when missing):
// every datapool with its rows, times and user, the tool options, the name
// records (datapools' and scripts' names by operation) and the scripts. What
// TO holds under a name FROM holds too — a datapool, a script with other
// text, a tool option with another value, a name given to another operation
// — refuses the copy before anything is copied, naming what, unless
// --replace: then FROM's replaces it. FROM is only read, and read whole
// first: a folder or file of it that cannot be read fails the copy, naming
// it. The copy is all or nothing: the records go in one transaction that
// commits only once every script is in its place; the scripts are written
// beside their targets (never outside the target's scripts folder) and
// given their names together at the end, and a file they replace is kept
// until then, so that a failure leaves TO as it was. It tells what it
// copied, what TO held the same already, and when that was all of it.
// Exit status 0 copied,
// 1 refused or failed (each failure told), 2 usage.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "cli/Commands.h"
#include "strings/StringIds.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/ToolOptions.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/terminal/Console.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

namespace fs = std::filesystem;

struct CopyOptions {
  std::string from;
  std::string to;
  bool replace = false;
};

// A row of a name table, its columns as text, and the columns that must be
// unique in the table (each a list of column indexes).
using Row = std::vector<std::string>;

struct NameTable {
  const char* table;
  std::vector<std::string> columns;
  std::vector<std::vector<size_t>> keys;
};

const NameTable kNameTables[] = {
    {"datapool_names", {"operation", "name", "recorded"}, {{0}, {1}}},
    {"script_names", {"type", "folder", "name", "base", "suffix", "operation", "recorded"}, {{0, 1, 2}, {0, 1, 3, 5}}},
};

std::vector<Row> ReadRows(wb::Database& db, const NameTable& table) {
  std::vector<Row> rows;
  if (!db.HasTable(table.table)) return rows;
  const std::string sql = "SELECT " + Joined(table.columns, ", ") + " FROM " + table.table;
  wb::Statement query(db, sql.c_str());
  while (query.Step()) {
    Row row;
    for (size_t c = 0; c < table.columns.size(); ++c) row.push_back(query.ColumnText(static_cast<int>(c)));
    rows.push_back(std::move(row));
  }
  return rows;
}

// The rows of `table` in `db` that hold a key of `row` other than as `row` does.
bool Clashes(const std::vector<Row>& target, const NameTable& table, const Row& row) {
  for (const Row& other : target) {
    if (other == row || std::equal(other.begin(), other.end() - 1, row.begin())) continue;  // the same record
    for (const std::vector<size_t>& key : table.keys) {
      bool same = true;
      for (const size_t c : key) same = same && other[c] == row[c];
      if (same) return true;
    }
  }
  return false;
}

// Writes `row` into `table`, removing the rows that hold one of its keys.
void WriteRow(wb::Database& db, const NameTable& table, const Row& row) {
  for (const std::vector<size_t>& key : table.keys) {
    std::vector<std::string> conditions;
    for (const size_t c : key) conditions.push_back(table.columns[c] + " = ?");
    const std::string sql = std::string("DELETE FROM ") + table.table + " WHERE " + Joined(conditions, " AND ");
    wb::Statement remove(db, sql.c_str());
    for (size_t i = 0; i < key.size(); ++i) remove.Bind(static_cast<int>(i + 1), row[key[i]]);
    remove.Run();
  }
  const std::vector<std::string> marks(table.columns.size(), "?");
  const std::string sql = std::string("INSERT INTO ") + table.table + " (" + Joined(table.columns, ", ") +
                          ") VALUES (" + Joined(marks, ", ") + ")";
  wb::Statement insert(db, sql.c_str());
  for (size_t c = 0; c < row.size(); ++c) insert.Bind(static_cast<int>(c + 1), row[c]);
  insert.Run();
}

std::map<int64_t, std::string> ReadOptions(wb::Database& db) {
  std::map<int64_t, std::string> options;
  if (!db.HasTable("tool_options")) return options;
  wb::Statement query(db, "SELECT number, value FROM tool_options");
  while (query.Step()) options[query.ColumnInt(0)] = query.ColumnText(1);
  return options;
}

// A script below a scripts folder: its type, its folder below the root
// ("\"-separated), its name and what it holds.
struct Script {
  dsScriptType type;
  std::string folder;
  std::string name;
  fs::path path;
  std::string content;
};

// What the regular file `path` holds; nullopt with errno set when it cannot be read.
std::optional<std::string> ReadFile(const fs::path& path) {
  const wb::UniqueFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (!file) return std::nullopt;
  return wb::ReadOpenFile(file.Get());
}

// Reads the scripts in `folder` (`key` below the root of `type`) and below
// it into `found`: regular files, no temporary file of a writer, no symbolic
// link followed. Raises CommandFailure (1) telling which folder or file
// cannot be read: a copy that left it out would say it copied the store.
void ReadScriptsIn(const fs::path& folder, const std::string& key, dsScriptType type, std::vector<Script>& found) {
  std::error_code ec;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
  if (ec) Fail(kExitFailed, wb::Text(wb::WB_COPY_UNREADABLE, {folder.string(), ec.message()}));
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) {
    const std::string name = entry.filename().string();
    const fs::file_status status = fs::symlink_status(entry, ec);
    pid_t writer = 0;
    if (fs::is_directory(status)) {
      ReadScriptsIn(entry, key.empty() ? name : key + "\\" + name, type, found);
    } else if (fs::is_regular_file(status) && !wb::IsTemporaryFileName(name, writer)) {
      std::optional<std::string> content = ReadFile(entry);
      if (!content) Fail(kExitFailed, wb::Text(wb::WB_COPY_UNREADABLE, {entry.string(), std::strerror(errno)}));
      found.push_back({type, key, name, entry, std::move(*content)});
    }
  }
}

// The scripts below the scripts folder `scripts` of `store`, read whole;
// raises CommandFailure (1) telling what could not be read. A store's
// scripts folder holds java/ and vb/ from its first use on: one with
// neither is a mistyped scripts=, not a store without scripts.
std::vector<Script> ReadScriptsBelow(const fs::path& scripts, const std::string& store) {
  std::vector<Script> found;
  bool roots = false;
  for (const auto& [type, root] : {std::pair{dsJavaScript, "java"}, std::pair{dsVisualBasicScript, "vb"}}) {
    std::error_code ec;
    const fs::path base = scripts / root;
    if (!fs::is_directory(fs::symlink_status(base, ec))) continue;
    roots = true;
    ReadScriptsIn(base, "", type, found);
  }
  if (!roots) Fail(kExitFailed, wb::Text(wb::WB_COPY_NOT_SCRIPTS, {scripts.string(), store}));
  return found;
}

// The scripts folder of the store at `location` (a project's: its root).
fs::path ScriptsFolder(const wb::StoreLocation& location) {
  if (location.kind == wb::StoreLocation::Kind::kPostgres) return location.scripts;
  if (location.kind == wb::StoreLocation::Kind::kProject) return location.folder;
  return fs::path(location.folder) / "scripts";
}

// The scripts of the store at `location`, whose database is `db`, read
// whole, each with the add-in's folder; raises CommandFailure (1) as
// ReadScriptsBelow. A project's Java tests share their folders with the
// project's own: only the tests the store generated (its records) are its.
std::vector<Script> ReadStoreScripts(const wb::StoreLocation& location, wb::Database& db, const std::string& shown) {
  if (location.kind != wb::StoreLocation::Kind::kProject) return ReadScriptsBelow(ScriptsFolder(location), shown);
  const fs::path root = location.folder;
  std::vector<Script> found;
  std::error_code ec;
  if (const fs::path vb = root / "src" / "test" / "vb"; fs::is_directory(fs::symlink_status(vb, ec))) {
    ReadScriptsIn(vb, "", dsVisualBasicScript, found);
  }
  // The tests named for an operation (their folder is the package's) and
  // those recorded as generated, by their path below the Java root.
  std::set<std::string> paths;
  if (wb::HasTable(db, "script_names")) {
    wb::Statement named(db, "SELECT folder, name FROM script_names WHERE type = ?");
    named.Bind(1, static_cast<int64_t>(dsJavaScript));
    while (named.Step()) {
      std::string folder = named.ColumnText(0);
      std::replace(folder.begin(), folder.end(), '\\', '/');
      paths.insert((folder.empty() ? "" : folder + "/") + named.ColumnText(1) + ".java");
    }
  }
  if (wb::HasTable(db, "generated_scripts")) {
    wb::Statement generated(db, "SELECT path FROM generated_scripts WHERE type = ?");
    generated.Bind(1, static_cast<int64_t>(dsJavaScript));
    while (generated.Step()) paths.insert(generated.ColumnText(0));
  }
  const std::string package = GetResString(IDS_ROOT_PACKAGE);
  for (const std::string& text : paths) {
    const fs::path below = fs::path(text).lexically_normal();
    if (below.empty() || below.is_absolute() || *below.begin() == "..") continue;
    const fs::path path = root / "src" / "test" / "java" / below;
    std::optional<std::string> content = ReadFile(path);
    if (!content) {
      if (errno == ENOENT) continue;  // deleted since: not the store's any more
      Fail(kExitFailed, wb::Text(wb::WB_COPY_UNREADABLE, {path.string(), std::strerror(errno)}));
    }
    std::string folder = package;
    for (const fs::path& part : below.parent_path()) folder += "\\" + part.string();
    found.push_back({dsJavaScript, folder, below.filename().string(), path, std::move(*content)});
  }
  return found;
}

// What a store recorded as generated: a script by its path below its
// root (a datapool by its name), as the add-in's folders give it: a
// project's Java paths with the folder it drops put back.
struct Generated {
  int type;
  std::string path;
  std::string digest;
  std::string recorded;
};

std::vector<Generated> ReadGenerated(const wb::StoreLocation& location, wb::Database& db) {
  std::vector<Generated> found;
  if (!wb::HasTable(db, "generated_scripts")) return found;
  wb::Statement query(db, "SELECT type, path, digest, recorded FROM generated_scripts ORDER BY type, path");
  const bool project = location.kind == wb::StoreLocation::Kind::kProject;
  while (query.Step()) {
    Generated record{static_cast<int>(query.ColumnInt(0)), query.ColumnText(1), query.ColumnText(2),
                     query.ColumnText(3)};
    if (project && record.type == dsJavaScript) record.path = GetResString(IDS_ROOT_PACKAGE) + "/" + record.path;
    found.push_back(std::move(record));
  }
  return found;
}

// The path below its root under which `store` keeps the record `record`.
std::string TargetPath(wb::StoreBase& store, const Generated& record) {
  const size_t slash = record.path.rfind('/');
  if (slash == std::string::npos) return record.path;
  const std::string folder = store.Scripts().FolderBelowRoot(record.path.substr(0, slash), record.type);
  return (folder.empty() ? "" : folder + "/") + record.path.substr(slash + 1);
}

// Where `script` lies in `store`.
std::string PathIn(wb::StoreBase& store, const Script& script) {
  std::string folder = store.Scripts().FolderBelowRoot(script.folder, script.type);
  std::replace(folder.begin(), folder.end(), '\\', '/');
  return store.ScriptRoot(script.type) + (folder.empty() ? "" : folder + "/") + script.name;
}

// Whether `there` is `datapool` as it is, times and user included: a copy
// that was made before is no conflict.
bool SameDatapool(const wb::Datapool& there, const wb::Datapool& datapool) {
  return there.description == datapool.description && there.created == datapool.created &&
         there.updated == datapool.updated && there.user == datapool.user && there.fields == datapool.fields &&
         there.rows == datapool.rows;
}

// Writes what FROM holds into the target in one go: the records in one
// transaction that commits only once every script is in its place; the
// scripts staged beside their targets and placed together. False after
// telling why, with the target as it was.
bool CopyInto(wb::StoreBase& store, const std::vector<wb::Datapool>& datapools,
              const std::map<int64_t, std::string>& options, const std::vector<std::vector<Row>>& names,
              const std::vector<Script>& scripts, const std::vector<Generated>& generated) {
  wb::Database& target = wb::DatabaseOf(store.Connection());
  wb::ScriptFiles& files = store.Scripts();
  try {
    wb::Transaction transaction(target);
    for (const wb::Datapool& datapool : datapools) {
      const std::optional<wb::Datapool> there = wb::LoadDatapool(target, datapool.name);
      if (!there || !SameDatapool(*there, datapool)) wb::CopyDatapool(target, datapool);
    }
    wb::WorkbenchToolOptions toolOptions(target);
    for (const auto& [number, value] : options) toolOptions.SetOption(static_cast<int32_t>(number), value);
    for (size_t t = 0; t < std::size(kNameTables); ++t) {
      for (const Row& row : names[t]) WriteRow(target, kNameTables[t], row);
    }
    for (const Generated& record : generated) {
      wb::Statement upsert(target,
                           "INSERT INTO generated_scripts (type, path, digest, recorded) VALUES (?, ?, ?, ?) "
                           "ON CONFLICT (type, path) DO UPDATE SET digest = excluded.digest, recorded = excluded.recorded");
      const std::string path = record.type == wb::kGeneratedDatapool ? record.path : TargetPath(store, record);
      upsert.Bind(1, static_cast<int64_t>(record.type)).Bind(2, path).Bind(3, record.digest).Bind(4, record.recorded).Run();
    }
    for (const Script& script : scripts) {
      if (!files.Stage(script.name, script.folder, script.type, script.content)) {
        files.DiscardStaged();
        return false;
      }
    }
    if (!files.PlaceStaged()) return false;
    try {
      transaction.Commit();
    } catch (const ZtError&) {
      files.UndoPlaced();
      throw;
    }
    files.KeepPlaced();
    return true;
  } catch (const ZtError& e) {
    files.DiscardStaged();
    PrintError(e.Description());
    return false;
  }
}

int RunCopy(const CopyOptions& options) {
  const wb::StoreLocation from = wb::ParseStoreLocation(options.from);
  const wb::StoreLocation to = wb::ParseStoreLocation(options.to);
  const fs::path fromScripts = ScriptsFolder(from);
  const fs::path toScripts = ScriptsFolder(to);
  std::error_code ec;
  if (fs::weakly_canonical(fromScripts, ec) == fs::weakly_canonical(toScripts, ec) || from.text == to.text) {
    PrintError(wb::Text(wb::WB_COPY_SAME, {options.from, options.to}));
    return kExitUsage;
  }
  const std::string user = CommandUser();
  const std::unique_ptr<wb::Database> source = wb::OpenStoreReadOnly(from);
  if (!source) {
    PrintError(wb::Text(wb::WB_CMD_NO_STORE, {options.from}));
    return kExitFailed;
  }
  // All of FROM is read before anything of TO is written.
  std::vector<wb::Datapool> datapools;
  for (const std::string& name : wb::DatapoolNames(*source)) {
    if (std::optional<wb::Datapool> datapool = wb::LoadDatapool(*source, name)) datapools.push_back(*datapool);
  }
  const std::map<int64_t, std::string> sourceOptions = ReadOptions(*source);
  std::vector<std::vector<Row>> names;
  for (const NameTable& table : kNameTables) names.push_back(ReadRows(*source, table));
  const std::vector<Script> scripts = ReadStoreScripts(from, *source, options.from);
  const std::vector<Generated> generated = ReadGenerated(from, *source);

  wb::TerminalConsole console;
  const std::unique_ptr<wb::StoreBase> store = wb::MakeStore(wb::StoreOptions{to, user}, console);
  store->Open();
  wb::Database& target = wb::DatabaseOf(store->Connection());

  // What of it TO holds otherwise, and what it holds the same already.
  std::vector<std::string> conflicts;
  size_t sameDatapools = 0;
  for (const wb::Datapool& datapool : datapools) {
    const std::optional<wb::Datapool> there = wb::LoadDatapool(target, datapool.name);
    if (there && !SameDatapool(*there, datapool)) {
      conflicts.push_back(wb::Text(wb::WB_COPY_CONFLICT_DATAPOOL, {datapool.name}));
    }
    if (there && SameDatapool(*there, datapool)) ++sameDatapools;
  }
  const std::map<int64_t, std::string> targetOptions = ReadOptions(target);
  size_t sameOptions = 0;
  for (const auto& [number, value] : sourceOptions) {
    const auto there = targetOptions.find(number);
    if (there != targetOptions.end() && there->second != value) {
      conflicts.push_back(wb::Text(wb::WB_COPY_CONFLICT_OPTION, {std::to_string(number)}));
    }
    if (there != targetOptions.end() && there->second == value) ++sameOptions;
  }
  size_t records = 0;
  size_t sameRecords = 0;
  for (size_t t = 0; t < std::size(kNameTables); ++t) {
    const std::vector<Row> there = ReadRows(target, kNameTables[t]);
    for (const Row& row : names[t]) {
      if (Clashes(there, kNameTables[t], row)) {
        conflicts.push_back(wb::Text(wb::WB_COPY_CONFLICT_NAME, {row[t == 0 ? 1 : 2]}));
      }
      // The same record, whenever it was recorded.
      const auto same = [&row](const Row& other) { return std::equal(other.begin(), other.end() - 1, row.begin()); };
      if (std::any_of(there.begin(), there.end(), same)) ++sameRecords;
    }
    records += names[t].size();
  }
  size_t sameScripts = 0;
  for (const Script& script : scripts) {
    const std::optional<std::string> there = store->Scripts().Read(script.name, script.folder, script.type);
    if (there && *there != script.content) {
      conflicts.push_back(
          wb::Text(wb::WB_COPY_CONFLICT_SCRIPT, {PathIn(*store, script)}));
    }
    if (there && *there == script.content) ++sameScripts;
  }
  if (!conflicts.empty() && !options.replace) {
    std::string listed;
    for (size_t i = 0; i < conflicts.size() && i < 5; ++i) listed += (i > 0 ? ", " : "") + conflicts[i];
    if (conflicts.size() > 5)
      listed += " " + wb::Text(wb::WB_COPY_CONFLICT_MORE, {std::to_string(conflicts.size() - 5)});
    PrintError(
        wb::Text(wb::WB_COPY_CONFLICTS,
                 {options.to, wb::Text(wb::WB_COPY_ITEMS, {std::to_string(conflicts.size())}), options.from, listed}));
    return kExitFailed;
  }
  if (!CopyInto(*store, datapools, sourceOptions, names, scripts, generated)) {
    PrintError(wb::Text(wb::WB_COPY_FAILED, {options.to}));
    return kExitFailed;
  }
  // What was copied, what was there already, and whether anything changed.
  const size_t copied[] = {datapools.size() - sameDatapools, sourceOptions.size() - sameOptions, records - sameRecords,
                           scripts.size() - sameScripts};
  std::cout << wb::Text(wb::WB_COPY_DONE, {std::to_string(copied[0]), std::to_string(copied[1]),
                                           std::to_string(copied[2]), std::to_string(copied[3]), options.from,
                                           options.to})
            << "\n";
  if (sameDatapools + sameOptions + sameRecords + sameScripts > 0) {
    std::cout << wb::Text(wb::WB_COPY_THERE_ALREADY,
                          {options.to, std::to_string(sameDatapools), std::to_string(sameOptions),
                           std::to_string(sameRecords), std::to_string(sameScripts)})
              << "\n";
  }
  if (copied[0] + copied[1] + copied[2] + copied[3] == 0) {
    std::cout << wb::Text(wb::WB_COPY_NOTHING_CHANGED, {options.to, options.from}) << "\n";
  }
  std::cout << std::flush;
  return kExitOk;
}

}  // namespace

void RegisterStoreCommands(CLI::App& app, Action& chosen) {
  CLI::App* store = app.add_subcommand("store", wb::Text(wb::WB_HELP_STORE_GROUP));
  store->require_subcommand(1);
  auto copy = std::make_shared<CopyOptions>();
  CLI::App* copyCommand = store->add_subcommand("copy", wb::Text(wb::WB_HELP_STORE_COPY));
  copyCommand->add_option("from", copy->from, wb::Text(wb::WB_HELP_COPY_FROM))->required();
  copyCommand->add_option("to", copy->to, wb::Text(wb::WB_HELP_COPY_TO))->required();
  copyCommand->add_flag("--replace", copy->replace, wb::Text(wb::WB_HELP_COPY_REPLACE));
  copyCommand->callback([copy, &chosen] { chosen = [copy] { return RunCopy(*copy); }; });
  AddPruneCommand(*store, chosen);
}

}  // namespace zt::cli
