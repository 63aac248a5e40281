// The command-line host's subcommands, in one table.
#pragma once

namespace zt::cli {

/// Exit statuses of the command-line host.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

/// Parses the command line and runs the chosen subcommand.
int Run(int argc, char** argv);

}  // namespace zt::cli
