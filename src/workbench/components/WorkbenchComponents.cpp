// Creates the workbench's components (see WorkbenchComponents.h).
#include "workbench/components/WorkbenchComponents.h"

#include "support/Error.h"
#include "workbench/components/WorkbenchModelHelper.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/ToolOptions.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/ProcessLauncher.h"
#include "workbench/terminal/ListSelect.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

// A store that tells its components when it is gone, so that they never
// open tool options on a destroyed store.
class TrackedStore : public SqliteStore {
 public:
  TrackedStore(StoreOptions options, Console& console, SqliteStore*& slot)
      : SqliteStore(std::move(options), console), slot_(slot) {
    slot_ = this;
  }
  ~TrackedStore() override {
    if (slot_ == this) slot_ = nullptr;
  }

 private:
  SqliteStore*& slot_;
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
  auto store = std::make_unique<TrackedStore>(storeOptions_, Windows().DialogConsole(), lastStore_);
  store->SetOperationInHand(&operationInHand_);
  return store;
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
  return std::make_unique<WorkbenchDatapoolTool>(Windows().DialogConsole());
}

std::unique_ptr<DatapoolExplorer> WorkbenchComponents::CreateDatapoolExplorer() {
  return std::make_unique<WorkbenchDatapoolExplorer>(Windows().DialogConsole());
}

std::unique_ptr<OverwritePrompt> WorkbenchComponents::CreateOverwritePrompt() {
  return std::make_unique<WorkbenchOverwritePrompt>(Windows().DialogConsole());
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
  }
  return *windows_;
}

std::unique_ptr<TemplateProperty> WorkbenchComponents::CreateTemplateProperty() {
  return std::make_unique<WorkbenchTemplateProperty>(application_, modelSaver_, [this](TesselOperation& operation) {
    operationInHand_.Set(IdentifyOperation(operation));
  });
}

std::unique_ptr<TemplateDialog> WorkbenchComponents::CreateTemplateDialog() {
  return std::make_unique<WorkbenchTemplateDialog>(Windows().DialogConsole(), CreateFileSystemObject(), application_,
                                                   presetTemplatePath_);
}

std::unique_ptr<ListSelectDialog> WorkbenchComponents::CreateListSelectDialog() {
  return std::make_unique<TerminalListSelectDialog>(Windows().DialogConsole());
}

ProcessLauncher& WorkbenchComponents::Processes() {
  if (!processes_) processes_ = std::make_unique<PosixProcessLauncher>(std::make_unique<DiskFileSystem>(templatesDir_));
  return *processes_;
}

}  // namespace zt::wb
