// ztunittest model ...: model documents.
#include <CLI/CLI.hpp>

#include "cli/Commands.h"

namespace zt::cli {

void RegisterModelCommands(CLI::App& /*app*/, Action& /*chosen*/) {}

}  // namespace zt::cli
