// ztunittest store prune MODEL [--store S] [--yes]: what the store generated
// for operations the model no longer has.
//
// An operation is known to the store by its key (DatapoolNames.h): its name
// records (datapool_names, script_names) are by key, and the model gives
// the keys of the operations it has. An operation the store has records of
// and the model has not is gone; what the store generated for it goes with
// it: its datapool, when the store recorded making it from the model
// (generated_scripts, type kGeneratedDatapool), and the files of its tests
// the store recorded writing (generated_scripts, by path below the script
// type's root, in the folder and under the name its record gives). Nothing
// else is touched: a datapool or a test file the store has no record of
// making (made by hand, imported under the name, or its record lost) is
// listed as left alone, and so are its records.
//
// A store may serve several models: the records of operations outside the
// model's top packages (and classes directly in its root) are taken for
// another model's, left alone and counted.
//
// Without --yes the command only lists (and changes nothing: the store is
// read without a login). With --yes it deletes what it listed, as the user of
// CommandUser: the test files first, then the records and datapools in one
// transaction; a file that cannot be deleted stops it before the records
// change (a file already deleted is no failure: prune again finishes it).
// Exit status 0 listed or deleted, 1 no store or a failure, 2 a model that
// cannot be read.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "strings/StringIds.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/documents/ModelFile.h"
#include "workbench/model/Model.h"
#include "workbench/store/Database.h"
#include "workbench/store/DatapoolNames.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/chores/DatapoolChores.h"
#include "workbench/terminal/Console.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

struct PruneOptions {
  std::string model;
  std::string store = "ztstore";
  bool yes = false;
};

// The operations of a model by key, and its scope: the first part of every
// key it can give (its top packages, and the classes directly in its root).
struct ModelKeys {
  std::set<std::string> keys;
  std::set<std::string> scope;
};

void CollectKeys(const wb::Package& package, ModelKeys& into) {
  for (wb::Class* cls : package.ClassList()) {
    if (package.Parent() == nullptr) into.scope.insert(cls->Name());
    for (wb::Operation* operation : cls->OperationList()) {
      if (const std::optional<wb::OperationIdentity> identity = wb::IdentifyOperation(*operation)) {
        into.keys.insert(identity->Key());
      }
    }
  }
  for (wb::Package* inner : package.PackageList()) {
    if (package.Parent() == nullptr) into.scope.insert(inner->Name());
    CollectKeys(*inner, into);
  }
}

// A test file the store generated: its script type, the folder (as the
// add-in saves it) and file name that DeleteScript takes, and its path.
struct TestFile {
  int type = 0;
  std::string folder;
  std::string fileName;
  std::string recordPath;  // as generated_scripts holds it
  std::string shown;
};

// What prune finds for one operation that is gone.
struct Gone {
  std::vector<TestFile> tests;
  std::string datapool;  // "" when none of the store's making
  std::vector<std::string> leftAlone;
};

struct Plan {
  std::map<std::string, Gone> gone;  // by operation key
  size_t outside = 0;                // operations taken for another model's
  size_t tests = 0;
  size_t datapools = 0;
};

std::string Slashed(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

Plan MakePlan(wb::Database& db, const ModelKeys& model, bool project) {
  Plan plan;
  std::set<std::string> outside;
  // Whether `key` is gone from the model (and of its scope).
  const auto gone = [&](const std::string& key) {
    if (model.keys.count(key) != 0) return false;
    if (model.scope.count(key.substr(0, key.find("::"))) == 0) {
      outside.insert(key);
      return false;
    }
    return true;
  };
  std::set<std::pair<int64_t, std::string>> generated;
  if (wb::HasTable(db, "generated_scripts")) {
    wb::Statement query(db, "SELECT type, path FROM generated_scripts");
    while (query.Step()) generated.emplace(query.ColumnInt(0), query.ColumnText(1));
  }
  const std::string rootPackage = GetResString(IDS_ROOT_PACKAGE);
  if (wb::HasTable(db, "script_names")) {
    wb::Statement query(db, "SELECT type, folder, name, operation FROM script_names ORDER BY operation, type, folder, name");
    while (query.Step()) {
      const std::string key = query.ColumnText(3);
      if (!gone(key)) continue;
      const int type = static_cast<int>(query.ColumnInt(0));
      const std::string folder = query.ColumnText(1);
      const std::string name = query.ColumnText(2);
      // The record's folder is the one the add-in named the test in; the
      // file lies in it, or in it below the root package the add-in saves
      // tests in (which a project's Java tests drop: ScriptLayout).
      const std::string below = Slashed(folder);
      std::set<std::string> dirs{below, below.empty() ? rootPackage : rootPackage + "/" + below};
      if (below == rootPackage) dirs.insert("");
      if (below.rfind(rootPackage + "/", 0) == 0) dirs.insert(below.substr(rootPackage.size() + 1));
      Gone& operation = plan.gone[key];
      const size_t before = operation.tests.size();
      for (const std::string& dir : dirs) {
        const std::string prefix = (dir.empty() ? "" : dir + "/") + name + ".";
        for (auto it = generated.lower_bound({type, prefix});
             it != generated.end() && it->first == type && it->second.compare(0, prefix.size(), prefix) == 0; ++it) {
          if (it->second.find('/', prefix.size()) != std::string::npos) continue;
          const size_t slash = it->second.rfind('/');
          const std::string fileName = slash == std::string::npos ? it->second : it->second.substr(slash + 1);
          const std::string shown = project && type == dsJavaScript ? rootPackage + "/" + it->second : it->second;
          const size_t shownSlash = shown.rfind('/');
          operation.tests.push_back(
              {type, shownSlash == std::string::npos ? "" : shown.substr(0, shownSlash), fileName, it->second, shown});
        }
      }
      if (operation.tests.size() == before) operation.leftAlone.push_back(Slashed(folder) + "/" + name);
      plan.tests += operation.tests.size() - before;
    }
  }
  if (wb::HasTable(db, "datapool_names")) {
    wb::Statement query(db, "SELECT operation, name FROM datapool_names ORDER BY operation");
    while (query.Step()) {
      const std::string key = query.ColumnText(0);
      if (!gone(key)) continue;
      const std::string name = query.ColumnText(1);
      if (!wb::LoadDatapool(db, name)) continue;  // nothing to delete
      Gone& operation = plan.gone[key];
      if (generated.count({wb::kGeneratedDatapool, name}) != 0) {
        operation.datapool = name;
        ++plan.datapools;
      } else {
        operation.leftAlone.push_back(name);
      }
    }
  }
  plan.outside = outside.size();
  return plan;
}

void PrintPlan(const Plan& plan, const PruneOptions& options) {
  if (plan.tests + plan.datapools > 0) {
    std::cout << wb::Text(wb::WB_PRUNE_HEADER,
                          {std::to_string(plan.tests), std::to_string(plan.datapools), options.model})
              << "\n";
  } else {
    std::cout << wb::Text(wb::WB_PRUNE_NOTHING, {options.model}) << "\n";
  }
  for (const auto& [key, gone] : plan.gone) {
    for (const TestFile& test : gone.tests) std::cout << wb::Text(wb::WB_PRUNE_TEST, {test.shown, key}) << "\n";
    if (!gone.datapool.empty()) std::cout << wb::Text(wb::WB_PRUNE_DATAPOOL, {gone.datapool, key}) << "\n";
  }
  for (const auto& [key, gone] : plan.gone) {
    for (const std::string& what : gone.leftAlone) {
      std::cout << wb::Text(wb::WB_PRUNE_NOT_GENERATED, {what, key}) << "\n";
    }
  }
  if (plan.outside > 0) {
    std::cout << wb::Text(wb::WB_PRUNE_LEFT_ALONE, {std::to_string(plan.outside), options.model}) << "\n";
  }
}

// Deletes what `plan` lists from `store`; raises CommandFailure (1) when a
// file or the records cannot be deleted.
void Prune(wb::StoreBase& store, const Plan& plan) {
  for (const auto& [key, gone] : plan.gone) {
    for (const TestFile& test : gone.tests) {
      // Told on the console when it fails.
      if (store.DeleteScript(test.fileName, test.folder, static_cast<dsScriptType>(test.type)) ==
          delete_result::kNotDeleted) {
        Fail(kExitFailed, wb::Text(wb::WB_PRUNE_FAILED, {test.shown}));
      }
    }
  }
  wb::Database& db = wb::DatabaseOf(store.Connection());
  try {
    wb::Transaction transaction(db);
    std::vector<std::string> datapools;
    for (const auto& [key, gone] : plan.gone) {
      if (!gone.datapool.empty()) datapools.push_back(gone.datapool);
      for (const TestFile& test : gone.tests) {
        wb::Statement record(db, "DELETE FROM generated_scripts WHERE type = ? AND path = ?");
        record.Bind(1, static_cast<int64_t>(test.type)).Bind(2, test.recordPath).Run();
      }
      if (!gone.tests.empty() && gone.leftAlone.empty()) {
        wb::Statement records(db, "DELETE FROM script_names WHERE operation = ?");
        records.Bind(1, key).Run();
      }
    }
    wb::DeleteDatapools(db, datapools);
    transaction.Commit();
  } catch (const ZtError& e) {
    Fail(kExitFailed, wb::Text(wb::WB_PRUNE_FAILED, {e.Description()}));
  }
}

int RunPrune(const PruneOptions& options) {
  const wb::StoreLocation location = wb::ParseStoreLocation(options.store);
  ModelKeys model;
  try {
    const std::unique_ptr<wb::Model> document = wb::LoadModelFile(options.model, {});
    CollectKeys(document->Root(), model);
  } catch (const wb::DocumentError& e) {
    Fail(kExitUsage, e.what());
  }
  const bool project = location.kind == wb::StoreLocation::Kind::kProject;
  // A user name that cannot be one is refused before anything is read.
  const std::string user = options.yes ? CommandUser() : std::string();
  {
    const std::unique_ptr<wb::Database> connection = wb::OpenStoreReadOnly(location);
    if (!connection) Fail(kExitFailed, wb::Text(wb::WB_CMD_NO_STORE, {options.store}));
    const Plan plan = MakePlan(*connection, model, project);
    PrintPlan(plan, options);
    if (plan.tests + plan.datapools == 0) return kExitOk;
    if (!options.yes) {
      std::cout << wb::Text(wb::WB_PRUNE_HOW) << "\n" << std::flush;
      return kExitOk;
    }
  }
  wb::TerminalConsole console;
  const std::unique_ptr<wb::StoreBase> store = wb::MakeStore(wb::StoreOptions{location, user}, console);
  store->Open();
  // What the store holds now, read again by the store open to change it.
  const Plan plan = MakePlan(wb::DatabaseOf(store->Connection()), model, project);
  Prune(*store, plan);
  std::cout << wb::Text(wb::WB_PRUNE_DONE, {std::to_string(plan.tests), std::to_string(plan.datapools)}) << "\n"
            << std::flush;
  return kExitOk;
}

}  // namespace

void AddPruneCommand(CLI::App& store, Action& chosen) {
  auto prune = std::make_shared<PruneOptions>();
  CLI::App* command = store.add_subcommand("prune", wb::Text(wb::WB_HELP_STORE_PRUNE));
  command->add_option("model", prune->model, wb::Text(wb::WB_HELP_PRUNE_MODEL))->required();
  command->add_option("--store", prune->store, wb::Text(wb::WB_HELP_STORE))->capture_default_str();
  command->add_flag("--yes", prune->yes, wb::Text(wb::WB_HELP_PRUNE_YES));
  command->callback([prune, &chosen] { chosen = [prune] { return RunPrune(*prune); }; });
}

}  // namespace zt::cli
