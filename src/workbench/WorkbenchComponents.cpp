// Creates the workbench's components (see WorkbenchComponents.h).
#include "workbench/WorkbenchComponents.h"

#include "support/Error.h"
#include "workbench/Datapools.h"
#include "workbench/DiskFileSystem.h"
#include "workbench/ProcessLauncher.h"
#include "workbench/WorkbenchModelHelper.h"
#include "workbench/Texts.h"
#include "workbench/ToolOptions.h"

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
  return std::make_unique<DiskFileSystem>(templatesDir_);
}

std::unique_ptr<DataStore> WorkbenchComponents::CreateDataStore() {
  return std::make_unique<TrackedStore>(storeOptions_, console_, lastStore_);
}

std::unique_ptr<ToolOptions> WorkbenchComponents::CreateToolOptions() {
  if (lastStore_ == nullptr) RaiseError(errc::kCannotCreateObject, {}, Text(WB_OPT_NO_STORE));
  lastStore_->Open();
  return std::make_unique<WorkbenchToolOptions>(*lastStore_->Connection());
}

std::unique_ptr<OptionsDialog> WorkbenchComponents::CreateOptionsDialog() {
  return std::make_unique<WorkbenchOptionsDialog>(console_);
}

std::unique_ptr<DatapoolTool> WorkbenchComponents::CreateDatapoolTool() {
  return std::make_unique<WorkbenchDatapoolTool>(console_);
}

std::unique_ptr<DatapoolExplorer> WorkbenchComponents::CreateDatapoolExplorer() {
  return std::make_unique<WorkbenchDatapoolExplorer>(console_);
}

std::unique_ptr<OverwritePrompt> WorkbenchComponents::CreateOverwritePrompt() {
  return std::make_unique<WorkbenchOverwritePrompt>(console_);
}

std::unique_ptr<ModelHelper> WorkbenchComponents::CreateModelHelper() {
  return std::make_unique<WorkbenchModelHelper>();
}

ProcessLauncher& WorkbenchComponents::Processes() {
  if (!processes_) processes_ = std::make_unique<PosixProcessLauncher>(std::make_unique<DiskFileSystem>(templatesDir_));
  return *processes_;
}

}  // namespace zt::wb
