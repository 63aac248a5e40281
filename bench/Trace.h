// What one run asks of the kernel, counted under strace: the system calls,
// and the bytes written, sorted by where they went — into the store folder,
// to the standard streams, or anywhere else (which a generation should never
// write to). Tracing slows the program down many times over, so these runs
// are not timed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Process.h"

namespace zt::bench {

struct TraceCounts {
  /// System calls of the program and its children (strace -c -f).
  long calls = 0;
  /// Bytes the write calls (write, pwrite64, writev, pwritev, pwritev2) wrote.
  long written = 0;
  long writtenToStore = 0;
  long writtenToStreams = 0;
  long writtenElsewhere = 0;
  /// The files outside the store that were written to.
  std::vector<std::string> elsewhere;
};

/// The strace program on the PATH; empty when there is none.
std::string FindStrace();

/// Runs `argv` twice under `strace` (the program at `strace`): once counting
/// the system calls, once recording the writes with the paths of their file
/// descriptors. Bytes that go to a file below `storeFolder` count as the
/// store's; to standard output or error, /dev/null or `streams.err`, as the
/// streams'. `prepare` runs before each of the two runs (to make the store
/// fresh). False with the reason in `error` when a run fails.
bool TraceRun(const std::string& strace, const std::vector<std::string>& argv, const Streams& streams,
              const std::string& storeFolder, const std::function<void()>& prepare, TraceCounts& counts,
              std::string& error);

}  // namespace zt::bench
