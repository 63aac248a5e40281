// ztunittest: the command-line host. It plays the modelling tool for the
// add-in: loads a model document, hands the add-in its object model and the
// outside components, and shows dialogs and the progress window in the
// terminal. Every failure ends in one message on stderr and an exit status:
// 0 success, 1 a run that failed, 2 bad input or usage.
#include "cli/Commands.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"

#ifdef ZT_JEMALLOC
// jemalloc hands memory a run has freed back to the system after a second
// rather than ten, so that a long run's peak resident memory stays near what
// it holds at once (docs/benchmark.md). MALLOC_CONF still overrides it.
extern "C" {
extern const char* malloc_conf;
const char* malloc_conf = "dirty_decay_ms:1000";
}
#endif

int main(int argc, char** argv) {
  zt::wb::ConfigureStoreLibraries();
  return zt::cli::RunWithCheckedOutput(argc, argv);
}
