#include "driver/RunState.h"

namespace zt {

namespace {
RunState g_runState;
}  // namespace

RunState& CurrentRun() { return g_runState; }

void ResetRunState() { g_runState = RunState{}; }

}  // namespace zt
