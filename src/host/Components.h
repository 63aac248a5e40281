// The outside components the add-in creates on demand: the maker's tools and
// the platform services. The host hands one `HostComponents` to the add-in at
// start-up (SetHostComponents); the add-in asks it each time the system
// creates such a component. Creation that fails raises an error.
#pragma once

#include <memory>

#include "host/DataStore.h"
#include "host/FileSystem.h"
#include "host/MakerTools.h"
#include "host/ModelHelper.h"
#include "host/Process.h"
#include "host/TemplateProperty.h"
#include "host/WindowSystem.h"

namespace zt {

class HostComponents {
 public:
  virtual ~HostComponents() = default;
  // Each member raises error 429 unless the host overrides it.
  virtual std::unique_ptr<FileSystemObject> CreateFileSystemObject();
  /// A new, not yet opened store.
  virtual std::unique_ptr<DataStore> CreateDataStore();
  virtual std::unique_ptr<ModelHelper> CreateModelHelper();
  virtual std::unique_ptr<TemplateProperty> CreateTemplateProperty();
  virtual std::unique_ptr<TemplateDialog> CreateTemplateDialog();
  virtual std::unique_ptr<ToolOptions> CreateToolOptions();
  virtual std::unique_ptr<OptionsDialog> CreateOptionsDialog();
  virtual std::unique_ptr<DatapoolTool> CreateDatapoolTool();
  virtual std::unique_ptr<DatapoolExplorer> CreateDatapoolExplorer();
  virtual std::unique_ptr<OverwritePrompt> CreateOverwritePrompt();
  virtual std::unique_ptr<ListSelectDialog> CreateListSelectDialog();
  /// The window system; raises error 429 unless the host has one.
  virtual WindowSystem& Windows();
  /// The process launcher; raises error 429 unless the host has one.
  virtual ProcessLauncher& Processes();

  // What a generation run tells the host about its operations, so that the
  // host can show how far the run is and report on each operation. Neither
  // may raise; both do nothing unless the host overrides them.

  /// The run has reached `op`; `taken`: a generator takes it.
  virtual void OperationStarting(TesselOperation& op, bool taken);
  /// The run is done with `op`, which it counts as generated or not.
  virtual void OperationFinished(TesselOperation& op, bool generated);
};

/// Makes `components` the add-in's source of outside components; the caller
/// keeps ownership and keeps them alive while the add-in runs. Null removes them.
void SetHostComponents(HostComponents* components);

/// The components handed in; raises error 429 when none were.
HostComponents& Components();

}  // namespace zt
