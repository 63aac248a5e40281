// Creates the workbench's components (see WorkbenchComponents.h).
#include "workbench/components/WorkbenchComponents.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string_view>

#include "support/DynamicResources.h"
#include "support/Error.h"
#include "workbench/components/WorkbenchModelHelper.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/ToolOptions.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/ProcessLauncher.h"
#include "workbench/terminal/ListSelect.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

// Runs `call`; when it fails after a Ctrl-C gave up a wait on the store's
// server, or the store gave its server up for good, `takeInterrupt` makes
// that the click that cancels the run before the failure goes on: an
// operation that fails before its template is processed lets no window
// events run.
template <class Call>
auto Interruptible(const std::function<void()>& takeInterrupt, Call&& call) {
  try {
    return call();
  } catch (...) {
    takeInterrupt();
    throw;
  }
}

// A store that tells its components when it is gone, so that they never
// open tool options on a destroyed store, and notes the scripts it saves in
// the run's journal. It hands every call to the store of the location's kind.
class TrackedStore : public DataStore {
 public:
  TrackedStore(std::unique_ptr<StoreBase> store, StoreBase*& slot, RunJournal& journal,
               std::vector<StoreBase::LateOutcome>& late, std::function<void()> takeInterrupt)
      : store_(std::move(store)),
        slot_(slot),
        journal_(journal),
        late_(late),
        takeInterrupt_(std::move(takeInterrupt)) {
    slot_ = store_.get();
  }
  ~TrackedStore() override {
    if (slot_ == store_.get()) slot_ = nullptr;
  }
  TrackedStore(const TrackedStore&) = delete;
  TrackedStore& operator=(const TrackedStore&) = delete;

  void Open() override {
    Interruptible(takeInterrupt_, [&] { store_->Open(); });
  }
  void ResetSession() override { store_->ResetSession(); }
  int32_t SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                     const std::string& content) override {
    return Noted(store_->SaveScript(fileName, folder, type, content), fileName, folder, type);
  }
  int32_t SaveGeneratedScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                              const std::string& content, const std::vector<std::string>& dates) override {
    return Noted(store_->SaveGeneratedScript(fileName, folder, type, content, dates), fileName, folder, type);
  }
  // Notes a script's saving, which came to `result`, in the run's journal.
  int32_t Noted(int32_t result, const std::string& fileName, const std::string& folder, dsScriptType type) {
    const char* outcome = result == save_result::kStored      ? "stored"
                          : result == save_result::kCancelled ? "cancelled"
                          : LastSaveFailed()                  ? "not-stored"
                                                              : "kept";
    journal_.scripts.push_back({JournalPath(type, folder, fileName), outcome});
    return result;
  }
  void SetMultipleItems(bool multipleItems) override { store_->SetMultipleItems(multipleItems); }
  std::string ScriptRoot(dsScriptType type) override { return store_->ScriptRoot(type); }
  std::string MakeScriptName(const std::string& baseName, const std::string& folder, dsScriptType type) override {
    return Interruptible(takeInterrupt_, [&] { return store_->MakeScriptName(baseName, folder, type); });
  }
  std::string MakeDatapoolName(const std::string& className, const std::string& operationName, int32_t kind) override {
    try {
      return Interruptible(takeInterrupt_, [&] { return store_->MakeDatapoolName(className, operationName, kind); });
    } catch (...) {
      // The operation gets no datapool: its test is not placed either.
      journal_.datapool = className + "_" + operationName;
      journal_.datapoolOutcome = "not-stored";
      throw;
    }
  }
  std::string UserName() override { return store_->UserName(); }
  DataStoreConnection* Connection() override { return store_->Connection(); }
  bool LastSaveFailed() override { return store_->LastSaveFailed(); }
  int32_t DeleteScript(const std::string& fileName, const std::string& folder, dsScriptType type) override {
    return store_->DeleteScript(fileName, folder, type);
  }
  bool ScriptExists(const std::string& fileName, const std::string& folder, dsScriptType type) override {
    return store_->ScriptExists(fileName, folder, type);
  }
  void BeginBatch() override { store_->BeginBatch(); }
  void BeginOperation(int32_t operation) override {
    journal_.operation = operation;
    store_->BeginOperation(operation);
  }
  std::vector<int32_t> EndBatch() override {
    std::vector<int32_t> lost = store_->EndBatch();
    late_.insert(late_.end(), store_->LateOutcomes().begin(), store_->LateOutcomes().end());
    return lost;
  }

 private:
  // The script's file as the journal names it: below the root of its type,
  // "/" between the names, no empty, "." or ".." name left.
  std::string JournalPath(dsScriptType type, const std::string& folder, const std::string& fileName) {
    auto root = roots_.find(type);
    if (root == roots_.end()) {
      std::string text;
      try {
        text = ScriptRoot(type);
      } catch (...) {
        // A type without a root: the store said so when it refused the script.
      }
      root = roots_.emplace(type, std::move(text)).first;
    }
    std::string path = root->second;
    if (!path.empty() && path.back() != '/') path += '/';
    path += store_->Scripts().FolderBelowRoot(folder, type);
    path += '/';
    path += fileName;
    bool plain = true;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
      if (i < path.size() && path[i] == '\\') path[i] = '/';
      if (i < path.size() && path[i] != '/') continue;
      const std::string_view name(path.data() + start, i - start);
      plain = plain && (start == 0 || (!name.empty() && name != "." && name != ".."));
      start = i + 1;
    }
    return plain ? path : std::filesystem::path(path).lexically_normal().string();
  }

  std::unique_ptr<StoreBase> store_;
  StoreBase*& slot_;
  RunJournal& journal_;
  std::vector<StoreBase::LateOutcome>& late_;
  std::function<void()> takeInterrupt_;
  // The roots of the script types, asked once.
  std::map<dsScriptType, std::string> roots_;
};

// The datapool component, noting in the run's journal what it created, and
// keeping every existing datapool as it is once the user said "no to all".
class JournalingDatapoolTool final : public DatapoolTool {
 public:
  JournalingDatapoolTool(std::unique_ptr<WorkbenchDatapoolTool> tool, RunJournal& journal, bool& keepAll,
                         std::function<void()> takeInterrupt)
      : tool_(std::move(tool)), journal_(journal), keepAll_(keepAll), takeInterrupt_(std::move(takeInterrupt)) {}

  void PrepareRun(int32_t flags) override {
    keepAll_ = false;
    tool_->PrepareRun(flags);
  }
  int32_t CreateDatapool(DataStoreConnection* connection, const std::string& name, const std::string& description,
                         const std::string& fields) override {
    journal_.datapool = name;
    tool_->SetKeepExisting(keepAll_);
    int32_t code = 0;
    try {
      code = Interruptible(takeInterrupt_, [&] { return tool_->CreateDatapool(connection, name, description, fields); });
    } catch (...) {
      journal_.datapoolOutcome = "not-stored";
      throw;
    }
    journal_.datapoolOutcome = overwrite_                                  ? "replaced"
                               : code == datapool_result::kCreated         ? (tool_->GainedFields() ? "changed" : "created")
                               : code == datapool_result::kNothingToReport ? "unchanged"
                                                                           : "kept";
    return code;
  }
  void SetOverwrite(bool overwrite) override {
    overwrite_ = overwrite;
    tool_->SetOverwrite(overwrite);
  }
  void EditDatapool(int64_t ownerWindow, DataStoreConnection* connection, const std::string& name,
                    int32_t flags) override {
    tool_->EditDatapool(ownerWindow, connection, name, flags);
  }

 private:
  std::unique_ptr<WorkbenchDatapoolTool> tool_;
  RunJournal& journal_;
  bool& keepAll_;
  std::function<void()> takeInterrupt_;
  bool overwrite_ = false;
};

// The overwrite question, noting a "no to all" for the datapool component.
class NotingOverwritePrompt final : public OverwritePrompt {
 public:
  NotingOverwritePrompt(Console& console, bool& keepAll) : prompt_(console), keepAll_(keepAll) {}
  void SetPromptSetting(bool value) override { prompt_.SetPromptSetting(value); }
  void SetForAllAnswers(bool value) override { prompt_.SetForAllAnswers(value); }
  int32_t Ask(const std::string& title, const std::string& item, const std::string& question) override {
    const int32_t answer = prompt_.Ask(title, item, question);
    if (answer == overwrite_answer::kNoForAll) keepAll_ = true;
    return answer;
  }

 private:
  WorkbenchOverwritePrompt prompt_;
  bool& keepAll_;
};

}  // namespace

WorkbenchComponents::WorkbenchComponents(std::string templatesDir)
    : templatesDir_(std::move(templatesDir)),
      ownConsole_(std::make_unique<TerminalConsole>()),
      console_(*ownConsole_) {}

WorkbenchComponents::WorkbenchComponents(std::string templatesDir, StoreOptions storeOptions, Console& console)
    : templatesDir_(std::move(templatesDir)), storeOptions_(std::move(storeOptions)), console_(console) {}

std::unique_ptr<FileSystemObject> WorkbenchComponents::CreateFileSystemObject() {
  auto files = std::make_unique<DiskFileSystem>(templatesDir_);
  // A run reads its templates once or twice per operation: what was checked
  // stands for a second.
  files->TrustCheckedFilesFor(std::chrono::seconds(1));
  return files;
}

std::unique_ptr<DataStore> WorkbenchComponents::CreateDataStore() {
  std::unique_ptr<StoreBase> store = adopted_ ? std::move(adopted_) : MakeStore(storeOptions_, StoreEnvironment());
  store->SetOperationInHand(&operationInHand_);
  // A test and its datapool are decided together: an operation's scripts
  // wait in the batch until its datapool is (OperationFinished).
  store->Scripts().SetAwaitVerdicts(true);
  // The closing text of a run that lost a test points to the log: the log
  // says why, in the host's words, without the add-in's prefix.
  store->SetFailureLog([this](const std::string& message) {
    if (application_ != nullptr) application_->WriteLog(message);
  });
  return std::make_unique<TrackedStore>(std::move(store), lastStore_, journal_, lateOutcomes_, [this] { TakeStop(); });
}

std::unique_ptr<ToolOptions> WorkbenchComponents::CreateToolOptions() {
  if (lastStore_ == nullptr) RaiseError(errc::kCannotCreateObject, {}, Text(WB_OPT_NO_STORE));
  lastStore_->Open();
  return std::make_unique<WorkbenchToolOptions>(*lastStore_->Connection());
}

std::unique_ptr<OptionsDialog> WorkbenchComponents::CreateOptionsDialog() {
  return std::make_unique<WorkbenchOptionsDialog>(Windows().DialogConsole());
}

std::unique_ptr<DatapoolTool> WorkbenchComponents::CreateDatapoolTool() {
  return std::make_unique<JournalingDatapoolTool>(std::make_unique<WorkbenchDatapoolTool>(Windows().DialogConsole()),
                                                  journal_, keepAllDatapools_, [this] { TakeStop(); });
}

std::unique_ptr<DatapoolExplorer> WorkbenchComponents::CreateDatapoolExplorer() {
  return std::make_unique<WorkbenchDatapoolExplorer>(Windows().DialogConsole());
}

std::unique_ptr<OverwritePrompt> WorkbenchComponents::CreateOverwritePrompt() {
  return std::make_unique<NotingOverwritePrompt>(Windows().DialogConsole(), keepAllDatapools_);
}

std::unique_ptr<ModelHelper> WorkbenchComponents::CreateModelHelper() {
  return std::make_unique<WorkbenchModelHelper>();
}

TerminalWindowSystem& WorkbenchComponents::Windows() {
  if (!windows_) {
    windows_ = std::make_unique<TerminalWindowSystem>(console_);
    // Nothing of a store's batch waits for the user's answer.
    windows_->SetBeforeInput([this] {
      if (lastStore_ != nullptr) lastStore_->Flush();
    });
    // The add-in's two Yes/No questions that answers given in advance reach.
    windows_->NameQuestion(GetResString(IDS_MSG_EDIT_DATAPOOLS), answer_key::kEditDatapools);
    windows_->NameQuestion(GetResString(IDS_MSG_RC_NOT_FOUND), answer_key::kContinueWithoutCompiler);
  }
  return *windows_;
}

std::unique_ptr<TemplateProperty> WorkbenchComponents::CreateTemplateProperty() {
  return std::make_unique<WorkbenchTemplateProperty>(application_, modelSaver_, &templateChoices_);
}

std::unique_ptr<TemplateDialog> WorkbenchComponents::CreateTemplateDialog() {
  return std::make_unique<WorkbenchTemplateDialog>(Windows().DialogConsole(), CreateFileSystemObject(), application_,
                                                   presetTemplatePath_, &templateChoices_);
}

std::unique_ptr<ListSelectDialog> WorkbenchComponents::CreateListSelectDialog() {
  return std::make_unique<TerminalListSelectDialog>(Windows().DialogConsole());
}

void WorkbenchComponents::OperationStarting(TesselOperation& op, bool taken) {
  journal_.Clear();
  operationInHand_.Set(IdentifyOperation(op));
  if (observer_.starting) observer_.starting(op, taken);
}

StoreEnv WorkbenchComponents::StoreEnvironment() {
  StoreEnv env(Windows().DialogConsole());
  env.interrupted = [] { return TerminalWindowSystem::InterruptRecorded(); };
  return env;
}

void WorkbenchComponents::TakeStop() {
  // A Ctrl-C that gave a wait up, or a store that gave its server up for
  // good: the run stops here.
  const bool givenUp = lastStore_ != nullptr && lastStore_->GivenUp();
  if (givenUp) Windows().StopRun();
  if (givenUp || TerminalWindowSystem::InterruptRecorded()) Windows().DoEvents();
}

void WorkbenchComponents::OperationFinished(TesselOperation& op, bool generated) {
  operationInHand_.Set(std::nullopt);
  if (lastStore_ != nullptr && lastStore_->GivenUp()) Windows().StopRun();
  // The operation's scripts go with its datapool: none without it, and a
  // test that was to replace a file unasked only when its datapool fits it.
  if (lastStore_ != nullptr && journal_.operation > 0) {
    using Verdict = ScriptFiles::Verdict;
    const std::string& outcome = journal_.datapoolOutcome;
    if (outcome == "not-stored") {
      lastStore_->Scripts().Decide(journal_.operation, Verdict::kRefuse,
                                   Text(WB_SCRIPT_DATAPOOL_LOST, {journal_.datapool}));
    } else {
      lastStore_->Scripts().Decide(journal_.operation, outcome == "kept" ? Verdict::kKeepReplaced : Verdict::kPlace);
    }
  }
  if (observer_.finished) observer_.finished(op, generated);
}

std::vector<std::string> WorkbenchComponents::Hints(TesselOperation& op) {
  if (!hintHelper_) hintHelper_.emplace();
  return hintHelper_->Hints(op);
}

ProcessLauncher& WorkbenchComponents::Processes() {
  if (!processes_) processes_ = std::make_unique<PosixProcessLauncher>(std::make_unique<DiskFileSystem>(templatesDir_));
  return *processes_;
}

}  // namespace zt::wb
