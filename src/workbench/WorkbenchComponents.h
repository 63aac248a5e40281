// The outside components the workbench hands the add-in at start-up: the
// file-system object on the local disk, the store on SQLite and the model
// helper that answers from the open model (WorkbenchModelHelper). The
// components own the terminal console when none is handed in; a console
// handed in is borrowed and must outlive the components and every store they
// create.
#pragma once

#include <memory>
#include <string>

#include "host/Components.h"
#include "workbench/Console.h"
#include "workbench/SqliteStore.h"

namespace zt::wb {

class WorkbenchComponents : public HostComponents {
 public:
  /// `templatesDir` is what "$PWTTEMPLATES" names; the store has the default
  /// options and talks through the terminal.
  explicit WorkbenchComponents(std::string templatesDir);

  /// As above, with the host's store options; dialogs go to `console`.
  WorkbenchComponents(std::string templatesDir, StoreOptions storeOptions, Console& console);

  std::unique_ptr<FileSystemObject> CreateFileSystemObject() override;

  /// A new, not yet opened SqliteStore on the store options.
  std::unique_ptr<DataStore> CreateDataStore() override;

  /// A WorkbenchModelHelper: answers from the model (docs/model-rules.md).
  std::unique_ptr<ModelHelper> CreateModelHelper() override;

 private:
  std::string templatesDir_;
  StoreOptions storeOptions_;
  std::unique_ptr<Console> ownConsole_;
  Console& console_;
};

}  // namespace zt::wb
