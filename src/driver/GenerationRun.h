// What a generation run shares module-wide: its run state (which the code
// factory hands to its template processor, and through it to the
// generators), the store (created and opened on first use, kept across runs
// until the entry class resets it) and the datapool component.
#pragma once

#include <cstdint>
#include <string>

#include "template/RunState.h"

namespace zt {

class DataStore;
class DatapoolTool;
class TesselModel;

/// The run state of the loaded add-in.
RunState& CurrentRun();
/// Puts every value of the run state back to its initial state (for tests).
void ResetRunState();

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
