// Starts, waits for and forgets programs (see ProcessLauncher.h).
#include "workbench/system/ProcessLauncher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/Error.h"
#include "workbench/text/Texts.h"

extern char** environ;

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The add-in's path as the disk knows it, without outer blanks, and without
// double quotes when `unquote` (a program's path, which may be given quoted).
std::string MappedPath(FileSystemObject& paths, const std::string& path, bool unquote) {
  std::string cleaned;
  for (char c : path) {
    if (c != '"' || !unquote) cleaned += c;
  }
  const size_t first = cleaned.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  cleaned = cleaned.substr(first, cleaned.find_last_not_of(" \t") - first + 1);
  return paths.NativePath(cleaned);
}

int32_t ErrorNumberOf(int error) {
  switch (error) {
    case ENOENT:
      return errc::kFileNotFound;
    case EACCES:
    case EPERM:
      return errc::kPermissionDenied;
    default:
      return errc::kPathFileAccessError;
  }
}

// The status a waitpid result stands for: the exit status, or 128 + signal.
int32_t StatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

// Owns the spawn's file actions.
class FileActions {
 public:
  FileActions() { ::posix_spawn_file_actions_init(&actions_); }
  ~FileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (size_t i = 0; i < commandLine.size(); ++i) {
    const char c = commandLine[i];
    if (c == '"') {
      inArgument = true;
      if (quoted && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
        current += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (IsBlank(c) && !quoted) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

std::string BundledResourceCompiler() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec || self.empty()) return {};
  return (self.parent_path() / "rc.exe").string();
}

PosixProcessLauncher::PosixProcessLauncher(std::unique_ptr<FileSystemObject> paths) : paths_(std::move(paths)) {}

PosixProcessLauncher::~PosixProcessLauncher() {
  for (const auto& [process, status] : handles_) {
    if (!status) detached_.push_back(static_cast<pid_t>(process));
  }
  ReapDetached();
}

void PosixProcessLauncher::ReapDetached() {
  std::erase_if(detached_, [](pid_t pid) {
    int status = 0;
    pid_t result;
    do {
      result = ::waitpid(pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result != 0;  // ended (reaped) or not ours any more
  });
}

ProgramOutput RunReadingOutput(const std::vector<std::string>& arguments) {
  if (arguments.empty() || arguments.front().empty()) RaiseError(errc::kInvalidCall, {}, Text(WB_PROC_NO_PROGRAM));
  const std::string& program = arguments.front();
  const auto fail = [&](int error) {
    RaiseError(ErrorNumberOf(error), {}, Text(WB_PROC_SPAWN_FAILED, {program, Text(WB_PROC_CURRENT_FOLDER),
                                                                     std::strerror(error)}));
  };
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) fail(errno);
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  FileActions actions;
  ::posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(actions.Get(), pipeEnds[1], STDOUT_FILENO);
  pid_t pid = 0;
  const bool searchPath = program.find('/') == std::string::npos;
  const int error = searchPath ? ::posix_spawnp(&pid, program.c_str(), actions.Get(), nullptr, argv.data(), environ)
                               : ::posix_spawn(&pid, program.c_str(), actions.Get(), nullptr, argv.data(), environ);
  ::close(pipeEnds[1]);
  if (error != 0) {
    ::close(pipeEnds[0]);
    fail(error);
  }
  ProgramOutput output;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
    if (got > 0) {
      output.out.append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(pipeEnds[0]);
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(pid, &status, 0);
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    const int waitError = errno;
    RaiseError(errc::kPathFileAccessError, {},
               Text(WB_PROC_WAIT_FAILED, {std::to_string(pid), std::strerror(waitError)}));
  }
  output.status = StatusOf(status);
  return output;
}

std::optional<int64_t> PosixProcessLauncher::ShellExecuteEx(const ShellExecuteInfo& info) {
  ReapDetached();
  std::string program = MappedPath(*paths_, info.lpFile, true);
  if (program.empty()) RaiseError(errc::kInvalidCall, {}, Text(WB_PROC_NO_PROGRAM));
  const bool searchPath = program.find('/') == std::string::npos;
  if (!searchPath) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(program, ec);
    if (!ec) program = absolute.string();
  }
  const std::string folder = MappedPath(*paths_, info.lpDirectory, false);
  const auto fail = [&](int error) {
    const std::string where = folder.empty() ? Text(WB_PROC_CURRENT_FOLDER) : folder;
    int32_t number = ErrorNumberOf(error);
    // A missing working folder is told apart from a missing program.
    std::error_code ec;
    if (error == ENOENT && !folder.empty() && !fs::is_directory(folder, ec)) number = errc::kPathNotFound;
    RaiseError(number, {}, Text(WB_PROC_SPAWN_FAILED, {program, where, std::strerror(error)}));
  };

  std::vector<std::string> arguments = SplitCommandLine(info.lpParameters);
  arguments.insert(arguments.begin(), program);
  arguments.insert(arguments.end(), info.lpArguments.begin(), info.lpArguments.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  FileActions actions;
  if (!folder.empty()) {
    if (const int error = ::posix_spawn_file_actions_addchdir_np(actions.Get(), folder.c_str()); error != 0) fail(error);
  }
  ::posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(actions.Get(), STDERR_FILENO, STDOUT_FILENO);

  pid_t pid = 0;
  const int error = searchPath ? ::posix_spawnp(&pid, program.c_str(), actions.Get(), nullptr, argv.data(), environ)
                               : ::posix_spawn(&pid, program.c_str(), actions.Get(), nullptr, argv.data(), environ);
  if (error != 0) fail(error);

  if ((info.fMask & kSeeMaskNoCloseProcess) == 0) {
    detached_.push_back(pid);
    return std::nullopt;
  }
  handles_[pid] = std::nullopt;
  return static_cast<int64_t>(pid);
}

int32_t PosixProcessLauncher::WaitForSingleObject(int64_t process) {
  auto it = handles_.find(process);
  if (it == handles_.end()) RaiseError(errc::kInvalidCall, {}, Text(WB_PROC_UNKNOWN_HANDLE, {std::to_string(process)}));
  if (it->second) return *it->second;
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(static_cast<pid_t>(process), &status, 0);
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    const int error = errno;
    RaiseError(errc::kPathFileAccessError, {}, Text(WB_PROC_WAIT_FAILED, {std::to_string(process), std::strerror(error)}));
  }
  it->second = StatusOf(status);
  return *it->second;
}

void PosixProcessLauncher::CloseHandle(int64_t process) {
  auto it = handles_.find(process);
  if (it == handles_.end()) RaiseError(errc::kInvalidCall, {}, Text(WB_PROC_UNKNOWN_HANDLE, {std::to_string(process)}));
  if (!it->second) detached_.push_back(static_cast<pid_t>(process));
  handles_.erase(it);
  ReapDetached();
}

}  // namespace zt::wb
