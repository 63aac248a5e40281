// What a generation run shares module-wide besides its run state: the store
// (created and opened on first use, kept across runs until the entry class
// resets it), the datapool component, and the progress window's handle
// (the owner of dialogs the run opens).
#pragma once

#include <cstdint>
#include <string>

namespace zt {

class DataStore;
class DatapoolTool;
class TesselModel;

/// The open shared store, opening it first when needed; nullptr when it
/// cannot be opened (the user cancelled the login, say). Raises error 1
/// when no store can be created at all.
DataStore* GetSharedDataStore();
bool IsSharedDataStoreOpen();
/// Closes and drops the shared store.
void ResetSharedDataStore();

/// The datapool component, created on first use.
DatapoolTool& SharedDatapoolTool();
/// Drops the datapool component (for tests).
void ResetSharedDatapoolTool();

/// The language of the selection: that of the last selected item's class.
std::string GetSelectionLanguage(TesselModel* model);

/// The resource compiler the tool options name; asks the user for one in
/// the options dialog when it is missing. "" when there is none.
std::string FindResourceCompiler(DataStore* store);

/// The progress window showing the current run (0 when none).
int64_t ProgressWindowHandle();
void SetProgressWindowHandle(int64_t handle);

/// How the last run in a progress window ended, for the host.
struct RunOutcome {
  bool ran = false;
  bool result = false;
  int32_t totalGen = 0;
  int32_t totalOps = 0;
  bool canceled = false;
};
const RunOutcome& LastRunOutcome();
void SetLastRunOutcome(const RunOutcome& outcome);

/// Lets queued window events run: how a click on the progress window's
/// button reaches a running generation. Does nothing without a window system.
void LetWindowEventsRun();

/// Shows a message box; 0 when there is no window system.
int32_t ShowMessage(const std::string& text, int32_t flags, int32_t unattended = 0);

}  // namespace zt
