// The outside components the workbench hands the add-in at start-up: the
// file-system object on the local disk, the store (a folder on SQLite, or a
// PostgreSQL database for a team), the model
// helper that answers from the open model (WorkbenchModelHelper) and the
// process launcher that runs the resource compiler. The
// components own the terminal console when none is handed in; a console
// handed in is borrowed and must outlive the components and every store they
// create.
//
// Tool options have no connection handed to them, so the components open
// them on the store they created last (CreateDataStore) while that store
// lives: the add-in creates its store before it reads options. The options
// borrow that store's connection and must not outlive the store.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/Components.h"
#include "workbench/components/TemplateProperties.h"
#include "workbench/components/WorkbenchModelHelper.h"
#include "workbench/store/StoreBase.h"
#include "workbench/terminal/Console.h"
#include "workbench/terminal/TerminalWindows.h"

namespace zt::wb {

/// What the store and the datapool component did for the operation in hand,
/// as the components saw it: the scripts the run asked the store to save
/// and the datapool it created last. The host clears it as the run reaches
/// an operation and reads it when the run is done with it.
struct RunJournal {
  struct Script {
    std::string path;     ///< the file, on the disk
    std::string outcome;  ///< "stored", "kept" (not replaced), "not-stored" (with a message), "cancelled"
  };
  std::vector<Script> scripts;
  std::string datapool;         ///< the name of the datapool created last, or ""
  /// "created", "unchanged", "kept" (not overwritten), "replaced", "changed"
  /// (it gained fields), "not-stored" (its creation failed)
  std::string datapoolOutcome;
  /// The store's number of the operation (DataStore::BeginOperation), by
  /// which a batch names the operations that lost something; 0: none.
  int32_t operation = 0;
  void Clear() { *this = RunJournal(); }
};

/// What the host hears of a generation run (HostComponents::OperationStarting
/// and OperationFinished).
struct RunObserver {
  std::function<void(TesselOperation& op, bool taken)> starting;
  std::function<void(TesselOperation& op, bool generated)> finished;
};

class WorkbenchComponents : public HostComponents {
 public:
  /// `templatesDir` is what "$PWTTEMPLATES" names; the store has the default
  /// options and talks through the terminal.
  explicit WorkbenchComponents(std::string templatesDir);

  /// As above, with the host's store options; dialogs go to `console`.
  WorkbenchComponents(std::string templatesDir, StoreOptions storeOptions, Console& console);

  std::unique_ptr<FileSystemObject> CreateFileSystemObject() override;

  /// A new, not yet opened store of the kind of the options' location
  /// (StoreLocation.h); it names scripts and datapools by the operation the
  /// run is at.
  std::unique_ptr<DataStore> CreateDataStore() override;

  /// A WorkbenchModelHelper: answers from the model (docs/model-rules.md).
  std::unique_ptr<ModelHelper> CreateModelHelper() override;
  /// Tool options on the store created last, which is opened first if it is
  /// not yet; raises error 429 when no store created here is alive.
  std::unique_ptr<ToolOptions> CreateToolOptions() override;
  /// The options dialog on the console.
  std::unique_ptr<OptionsDialog> CreateOptionsDialog() override;
  /// The datapool component; its messages go to the console.
  std::unique_ptr<DatapoolTool> CreateDatapoolTool() override;
  /// The datapool explorer, listing on the console.
  std::unique_ptr<DatapoolExplorer> CreateDatapoolExplorer() override;
  /// The overwrite question on the console.
  std::unique_ptr<OverwritePrompt> CreateOverwritePrompt() override;
  /// The process launcher (PosixProcessLauncher, paths mapped as the
  /// file-system object maps them), made on first use.
  ProcessLauncher& Processes() override;

  WorkbenchComponents(const WorkbenchComponents&) = delete;
  WorkbenchComponents& operator=(const WorkbenchComponents&) = delete;

  // The terminal's windows and dialogs. Questions go through the window
  // system's dialog console, so they never write over the progress display.

  /// The terminal's window system over the components' console, made on first use.
  TerminalWindowSystem& Windows() override;
  /// What a store this program makes takes from it: the dialogs' console,
  /// and the Ctrl-C of the run's window.
  StoreEnv StoreEnvironment();
  /// A WorkbenchTemplateProperty on the application and the model saver.
  std::unique_ptr<TemplateProperty> CreateTemplateProperty() override;
  /// A WorkbenchTemplateDialog on the disk's file-system object; it takes
  /// the preset template path, when set, without asking.
  std::unique_ptr<TemplateDialog> CreateTemplateDialog() override;
  /// A TerminalListSelectDialog.
  std::unique_ptr<ListSelectDialog> CreateListSelectDialog() override;

  /// What went wrong in the session of the store created last, each told
  /// with a message (StoreBase::Failures); 0 when no such store lives.
  int32_t StoreFailures() const { return lastStore_ != nullptr ? lastStore_->Failures() : 0; }

  /// Passes what the run tells of its operations on to the observer.
  void OperationStarting(TesselOperation& op, bool taken) override;
  void OperationFinished(TesselOperation& op, bool generated) override;
  /// What the user should know of `op` beyond the add-in's log
  /// (WorkbenchModelHelper::Hints).
  std::vector<std::string> Hints(TesselOperation& op);
  void SetRunObserver(RunObserver observer) { observer_ = std::move(observer); }
  /// What the store and the datapool component did since it was cleared.
  RunJournal& Journal() { return journal_; }
  /// What the stores' batches could not make durable after all, each told
  /// with a message (StoreBase::Losses), since the components were made.
  const std::vector<StoreBase::LateOutcome>& StoreLateOutcomes() const { return lateOutcomes_; }
  /// What the template dialogs and properties did.
  const TemplateChoices& TemplateRecord() const { return templateChoices_; }
  /// The user the stores created from now on log in as.
  void SetStoreUser(std::string user) { storeOptions_.userName = std::move(user); }
  /// The stores created from now on fail their login with `error`, without
  /// asking (StoreOptions::loginRefusal).
  void RefuseStoreLogin(ZtError error) { storeOptions_.loginRefusal = std::move(error); }
  /// Takes the store the host opened before the run, made with these
  /// options on the dialog console: the next CreateDataStore hands it out
  /// instead of logging into a second one, so that a run records one session.
  void AdoptOpenStore(std::unique_ptr<StoreBase> store) { adopted_ = std::move(store); }

  /// The application whose open model template properties are read from and
  /// stored on; the host sets it before the add-in runs.
  void SetApplication(TesselApplication* application) { application_ = application; }
  /// Saves the open model after a template choice (DocumentSaver or
  /// XmiRefusingSaver); without one a choice is refused.
  void SetModelSaver(ModelSaver saver) { modelSaver_ = std::move(saver); }
  /// A template path that template dialogs take without asking; nullopt asks.
  void SetPresetTemplatePath(std::optional<std::string> path) { presetTemplatePath_ = std::move(path); }

 private:
  // Stops the run when the store gave its server up for good, and lets a
  // Ctrl-C (or that) cancel the run now.
  void TakeStop();
  std::string templatesDir_;
  StoreOptions storeOptions_;
  std::unique_ptr<Console> ownConsole_;
  Console& console_;
  // The store created last while it lives; it clears this when destroyed.
  StoreBase* lastStore_ = nullptr;
  // The store the host opened, until the add-in asks for one.
  std::unique_ptr<StoreBase> adopted_;
  std::unique_ptr<TerminalWindowSystem> windows_;
  TesselApplication* application_ = nullptr;
  ModelSaver modelSaver_;
  std::optional<std::string> presetTemplatePath_;
  RunObserver observer_;
  RunJournal journal_;
  // The user said "no to all" to the overwrite question in this run: no
  // existing datapool changes, not even one that would gain fields.
  bool keepAllDatapools_ = false;
  std::vector<StoreBase::LateOutcome> lateOutcomes_;
  TemplateChoices templateChoices_;
  // The launcher, once the add-in asked for it.
  std::unique_ptr<ProcessLauncher> processes_;
  // The operation the run is at (OperationStarting to OperationFinished):
  // the stores name datapools by it.
  OperationInHand operationInHand_;
  // The helper Hints asks, made on the first question.
  std::optional<WorkbenchModelHelper> hintHelper_;
};

}  // namespace zt::wb
