#include "Trace.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zt::bench {

namespace {

bool IsWriteCall(const std::string& name) {
  return name == "write" || name == "pwrite64" || name == "writev" || name == "pwritev" || name == "pwritev2";
}

// The "total" line of strace -c: "100.00 0.019 0 19190 1203 total" (the
// errors column may be empty). The calls are the fourth column.
bool ReadCallCount(const std::string& path, long& calls, std::string& error) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<std::string> columns;
    for (std::string word; words >> word;) columns.push_back(word);
    if (columns.size() >= 5 && columns.back() == "total") {
      calls = std::strtol(columns[3].c_str(), nullptr, 10);
      return true;
    }
  }
  error = "no summary in " + path;
  return false;
}

// One line of strace -f -y: "PID NAME(FD<PATH>, ...) = RESULT".
struct WriteLine {
  std::string name;
  int fd = -1;
  std::string path;
  long result = -1;
};

bool ParseWriteLine(const std::string& line, WriteLine& parsed) {
  if (line.find("unfinished") != std::string::npos || line.find("resumed>") != std::string::npos) return false;
  size_t start = line.find_first_not_of("0123456789 ");
  const size_t open = line.find('(', start);
  if (start == std::string::npos || open == std::string::npos) return false;
  parsed.name = line.substr(start, open - start);
  if (!IsWriteCall(parsed.name)) return false;
  char* end = nullptr;
  parsed.fd = static_cast<int>(std::strtol(line.c_str() + open + 1, &end, 10));
  if (end != nullptr && *end == '<') {
    const size_t pathStart = static_cast<size_t>(end - line.c_str()) + 1;
    const size_t pathEnd = line.find('>', pathStart);
    if (pathEnd != std::string::npos) parsed.path = line.substr(pathStart, pathEnd - pathStart);
  }
  const size_t equals = line.rfind(" = ");
  if (equals == std::string::npos) return false;
  parsed.result = std::strtol(line.c_str() + equals + 3, nullptr, 10);
  return true;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string FindStrace() {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = folder + "/strace";
    if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

bool TraceRun(const std::string& strace, const std::vector<std::string>& argv, const Streams& streams,
              const std::string& storeFolder, const std::function<void()>& prepare, TraceCounts& counts,
              std::string& error) {
  counts = TraceCounts();
  const std::string summary = streams.err + ".strace-count";
  const std::string writes = streams.err + ".strace-writes";
  auto run = [&](std::vector<std::string> options) {
    prepare();
    std::vector<std::string> command = {strace, "-f", "-o"};
    command.insert(command.end(), options.begin(), options.end());
    command.push_back("--");
    command.insert(command.end(), argv.begin(), argv.end());
    const RunResult result = RunProgram(command, streams);
    if (!result.started || (result.status != 0 && result.status != 1)) {
      error = "traced run failed (status " + std::to_string(result.status) + ") " + result.problem;
      return false;
    }
    return true;
  };
  if (!run({summary, "-c"}) || !ReadCallCount(summary, counts.calls, error)) return false;
  if (!run({writes, "-y", "-e", "trace=write,pwrite64,writev,pwritev,pwritev2"})) return false;

  std::ifstream in(writes);
  const std::string storePrefix = storeFolder + "/";
  for (std::string line; std::getline(in, line);) {
    WriteLine parsed;
    if (!ParseWriteLine(line, parsed) || parsed.result <= 0) continue;
    counts.written += parsed.result;
    if (StartsWith(parsed.path, storePrefix)) {
      counts.writtenToStore += parsed.result;
    } else if (parsed.fd == 1 || parsed.fd == 2 || parsed.path == "/dev/null" || parsed.path == streams.err ||
               StartsWith(parsed.path, "/dev/pts/")) {
      counts.writtenToStreams += parsed.result;
    } else {
      counts.writtenElsewhere += parsed.result;
      if (std::find(counts.elsewhere.begin(), counts.elsewhere.end(), parsed.path) == counts.elsewhere.end()) {
        counts.elsewhere.push_back(parsed.path);
      }
    }
  }
  ::unlink(summary.c_str());
  ::unlink(writes.c_str());
  return true;
}

}  // namespace zt::bench
