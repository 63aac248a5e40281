#include "Process.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

namespace zt::bench {

namespace {

constexpr unsigned short kColumns = 80;
constexpr unsigned short kRows = 24;

// In the child: puts `path` on descriptor `target`; exits on failure.
void Redirect(const std::string& path, int flags, int target) {
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0 || ::dup2(fd, target) < 0) ::_exit(127);
  if (fd != target) ::close(fd);
}

[[noreturn]] void Exec(const std::vector<std::string>& argv, const Streams& streams) {
  // Every program timed runs in a session of its own, as one on a
  // pseudo-terminal must: the scheduler groups processes by session
  // (autogroups), and a run in the benchmark's session is scheduled
  // differently from one in a session of its own on a loaded machine, by
  // more than the progress line costs.
  if (!streams.terminal) ::setsid();
  Redirect(streams.in, O_RDONLY, STDIN_FILENO);
  Redirect(streams.out, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
  if (!streams.terminal) Redirect(streams.err, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

// The bytes this process and the children it has waited for handed to write
// calls ("wchar" of /proc/self/io); -1 when the kernel does not tell.
long long WrittenSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "wchar:") return value;
  }
  return -1;
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, const Streams& streams) {
  RunResult result;
  if (argv.empty()) {
    result.problem = "nothing to run";
    return result;
  }
  const long long writtenBefore = WrittenSoFar();
  const auto start = std::chrono::steady_clock::now();
  int master = -1;
  pid_t pid = -1;
  if (streams.terminal) {
    winsize size{};
    size.ws_col = kColumns;
    size.ws_row = kRows;
    pid = ::forkpty(&master, nullptr, nullptr, &size);
  } else {
    pid = ::fork();
  }
  if (pid < 0) {
    result.problem = std::strerror(errno);
    return result;
  }
  if (pid == 0) Exec(argv, streams);

  result.started = true;
  if (master >= 0) {
    // Drain the terminal, or the program blocks once its buffer is full.
    // Reading fails with EIO once the program's side is closed.
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) {
        result.terminalBytes += n;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        break;
      }
    }
    ::close(master);
  }
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      result.problem = std::strerror(errno);
      return result;
    }
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Between the two counts this process only forked and waited.
  const long long writtenAfter = WrittenSoFar();
  if (writtenBefore >= 0 && writtenAfter >= writtenBefore) result.bytesWritten = writtenAfter - writtenBefore;
  result.peakRssKiB = usage.ru_maxrss;
  result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (result.status == 127) result.problem = "cannot start " + argv[0];
  if (!WIFEXITED(status)) result.problem = argv[0] + " was killed by signal " + std::to_string(WTERMSIG(status));
  return result;
}

}  // namespace zt::bench
