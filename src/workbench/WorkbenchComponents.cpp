// Creates the workbench's components (see WorkbenchComponents.h).
#include "workbench/WorkbenchComponents.h"

#include "workbench/DiskFileSystem.h"
#include "workbench/WorkbenchModelHelper.h"

namespace zt::wb {

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
  return std::make_unique<SqliteStore>(storeOptions_, console_);
}

std::unique_ptr<ModelHelper> WorkbenchComponents::CreateModelHelper() {
  return std::make_unique<WorkbenchModelHelper>();
}

}  // namespace zt::wb
