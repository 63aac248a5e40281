// ztunittest: the command-line host. It plays the modelling tool for the
// add-in: loads a model document, hands the add-in its object model and the
// outside components, and shows dialogs and the progress window in the
// terminal. Every failure ends in one message on stderr and an exit status:
// 0 success, 1 a run that failed, 2 bad input or usage.
#include "cli/Commands.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"

int main(int argc, char** argv) {
  zt::wb::ConfigureStoreLibraries();
  return zt::cli::RunWithCheckedOutput(argc, argv);
}
