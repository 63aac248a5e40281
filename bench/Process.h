// Running a program for the benchmark: wall time and peak memory of one run.
//
// A run starts the program directly (no shell in between, so the peak RSS
// that wait4 reports is the program's own), with stdin and stdout on the
// files given. Stderr goes to a file, or to a pseudo-terminal whose output
// the runner reads and throws away, so that the program sees a terminal and
// draws its progress.
#pragma once

#include <string>
#include <vector>

namespace zt::bench {

/// Where a run's standard streams go.
struct Streams {
  std::string in = "/dev/null";
  std::string out = "/dev/null";
  /// Stderr's file; ignored on a pseudo-terminal.
  std::string err = "/dev/null";
  /// Put stderr on a pseudo-terminal (80 columns) instead of `err`.
  bool terminal = false;
};

/// How a run went.
struct RunResult {
  bool started = false;
  /// The exit status, or -1 when the program was killed by a signal.
  int status = -1;
  double seconds = 0;
  /// The peak resident set size of the program and what it waited for, in KiB.
  long peakRssKiB = 0;
  /// The processor time (user and system) of the program and what it waited for.
  double cpuSeconds = 0;
  /// Bytes the program wrote to the pseudo-terminal.
  long terminalBytes = 0;
  /// Bytes the program (and what it waited for) handed to write calls, by
  /// the kernel's count (/proc/self/io of this process takes in the counts
  /// of the children it has waited for); -1 when the kernel does not tell.
  /// Meaningless for programs run at once from several threads.
  long long bytesWritten = -1;
  std::string problem;
};

/// Runs `argv` (argv[0] is the program's path) and waits for it.
RunResult RunProgram(const std::vector<std::string>& argv, const Streams& streams);

}  // namespace zt::bench
