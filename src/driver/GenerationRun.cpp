#include "driver/GenerationRun.h"

#include <memory>

#include "host/Components.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/modErrorHandling.h"

namespace zt {

namespace {

std::unique_ptr<DataStore> g_sharedStore;
bool g_sharedStoreOpen = false;
std::unique_ptr<DatapoolTool> g_datapoolTool;
RunState g_runState;
RunOutcome g_lastRun;

}  // namespace

RunState& CurrentRun() { return g_runState; }

void ResetRunState() { g_runState = RunState{}; }

DataStore* GetSharedDataStore() {
  if (g_sharedStoreOpen) return g_sharedStore.get();
  std::unique_ptr<DataStore> store;
  try {
    store = Components().CreateDataStore();
  } catch (...) {
    store.reset();
  }
  if (!store) RaiseError(1, GetResString(IDS_SOURCE_CONNECT), GetResString(IDS_ERR_CREATE_DATASTORE));
  try {
    store->Open();
    store->ResetSession();
  } catch (...) {
    g_sharedStore.reset();
    g_sharedStoreOpen = false;
    return nullptr;
  }
  g_sharedStore = std::move(store);
  g_sharedStoreOpen = true;
  return g_sharedStore.get();
}

bool IsSharedDataStoreOpen() { return g_sharedStoreOpen; }

void ResetSharedDataStore() {
  g_sharedStoreOpen = false;
  g_sharedStore.reset();
}

DatapoolTool& SharedDatapoolTool() {
  if (!g_datapoolTool) g_datapoolTool = Components().CreateDatapoolTool();
  return *g_datapoolTool;
}

void ResetSharedDatapoolTool() { g_datapoolTool.reset(); }

const RunOutcome& LastRunOutcome() { return g_lastRun; }

void SetLastRunOutcome(const RunOutcome& outcome) { g_lastRun = outcome; }

void LetWindowEventsRun() {
  WindowSystem* windows = nullptr;
  try {
    windows = &Components().Windows();
  } catch (...) {
    return;  // no window system: no events to run
  }
  windows->DoEvents();
}

int32_t ShowMessage(const std::string& text, int32_t flags, int32_t unattended) {
  WindowSystem* windows = nullptr;
  try {
    windows = &Components().Windows();
  } catch (...) {
    return 0;
  }
  return windows->MessageBox(text, flags, unattended);
}

std::string GetSelectionLanguage(TesselModel* model) {
  std::string language;
  try {
    const TesselItemCollection selected = Ref(model).GetSelectedItems();
    for (int16_t i = 1; i <= selected.Count(); ++i) {
      TesselItem& item = Ref(selected.GetAt(i));
      const std::string kind = item.KindName();
      if (kind == GetResString(IDS_KIND_CATEGORY)) {
        // Any class of the package tells; take the one at the package's
        // place in the selection when there is one, else the first.
        TesselClassCollection& classes = Ref(Ref(dynamic_cast<TesselCategory*>(&item)).Classes());
        if (classes.Count() == 0) {
          language.clear();
        } else {
          language = Ref(classes.GetAt(i <= classes.Count() ? i : int16_t{1})).Language();
        }
      } else if (kind == GetResString(IDS_KIND_CLASS)) {
        language = Ref(dynamic_cast<TesselClass*>(&item)).Language();
      } else if (kind == GetResString(IDS_KIND_OPERATION)) {
        language = Ref(Ref(dynamic_cast<TesselOperation*>(&item)).ParentClass()).Language();
      } else {
        ShowMessage(FormatResString1(IDS_MSG_NOT_VALID_COMPONENT, item.Name()), mb::kOkOnly | mb::kCritical);
        return language;
      }
    }
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, {});
  }
  return language;
}

std::string FindResourceCompiler(DataStore* store) {
  try {
    std::unique_ptr<ToolOptions> options = Components().CreateToolOptions();
    std::string path = options->GetOption(tool_option::kResourceCompiler);
    if (FileExists(path)) return path;

    std::unique_ptr<OptionsDialog> dialog = Components().CreateOptionsDialog();
    dialog->SetDataStore(store);
    ShowMessage(GetResString(IDS_MSG_SPECIFY_RC), mb::kOkOnly | mb::kInformation);
    dialog->Show(1, CurrentRun().ProgressWindow);

    path = options->GetOption(tool_option::kResourceCompiler);
    return FileExists(path) ? path : std::string();
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, {});
    return {};
  }
}

}  // namespace zt
