// Creates the workbench's components (see WorkbenchComponents.h).
#include "workbench/WorkbenchComponents.h"

#include "workbench/DiskFileSystem.h"
#include "workbench/ListSelect.h"

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
  return std::make_unique<SqliteStore>(storeOptions_, Windows().DialogConsole());
}

TerminalWindowSystem& WorkbenchComponents::Windows() {
  if (!windows_) windows_ = std::make_unique<TerminalWindowSystem>(console_);
  return *windows_;
}

std::unique_ptr<TemplateProperty> WorkbenchComponents::CreateTemplateProperty() {
  return std::make_unique<WorkbenchTemplateProperty>(application_, modelSaver_);
}

std::unique_ptr<TemplateDialog> WorkbenchComponents::CreateTemplateDialog() {
  return std::make_unique<WorkbenchTemplateDialog>(Windows().DialogConsole(), CreateFileSystemObject(), application_,
                                                   presetTemplatePath_);
}

std::unique_ptr<ListSelectDialog> WorkbenchComponents::CreateListSelectDialog() {
  return std::make_unique<TerminalListSelectDialog>(Windows().DialogConsole());
}

}  // namespace zt::wb
