#include "host/Components.h"

#include "support/Error.h"

namespace zt {

namespace {
HostComponents* g_components = nullptr;
}  // namespace

std::unique_ptr<FileSystemObject> HostComponents::CreateFileSystemObject() {
  RaiseError(errc::kCannotCreateObject);
}

std::unique_ptr<DataStore> HostComponents::CreateDataStore() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<ModelHelper> HostComponents::CreateModelHelper() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<TemplateProperty> HostComponents::CreateTemplateProperty() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<TemplateDialog> HostComponents::CreateTemplateDialog() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<ToolOptions> HostComponents::CreateToolOptions() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<OptionsDialog> HostComponents::CreateOptionsDialog() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<DatapoolTool> HostComponents::CreateDatapoolTool() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<DatapoolExplorer> HostComponents::CreateDatapoolExplorer() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<OverwritePrompt> HostComponents::CreateOverwritePrompt() { RaiseError(errc::kCannotCreateObject); }

std::unique_ptr<ListSelectDialog> HostComponents::CreateListSelectDialog() { RaiseError(errc::kCannotCreateObject); }

WindowSystem& HostComponents::Windows() { RaiseError(errc::kCannotCreateObject); }

ProcessLauncher& HostComponents::Processes() { RaiseError(errc::kCannotCreateObject); }

void HostComponents::OperationStarting(TesselOperation&, bool) {}

void HostComponents::OperationFinished(TesselOperation&, bool) {}

void SetHostComponents(HostComponents* components) { g_components = components; }

HostComponents& Components() {
  if (g_components == nullptr) RaiseError(errc::kCannotCreateObject);
  return *g_components;
}

}  // namespace zt
