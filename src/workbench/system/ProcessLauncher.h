// The workbench's process launcher: starts the programs the add-in runs (the
// resource compiler) directly with posix_spawn, never through a shell, and
// waits for them.
//
// What the add-in hands over, and how it is taken:
//  - lpFile, the program, and lpDirectory, the working folder, are the
//    add-in's paths: "\" and "/" both separate, "$PWTTEMPLATES" names the
//    template folder (the rules of the file-system object handed in, see
//    DiskFileSystem::NativePath). Double quotes in the program's path are
//    dropped, as the add-in drops them when it tests that a file exists; the
//    working folder is taken as it is (a folder's name may hold a quote). A
//    program without a folder is looked up on the PATH; a relative one is
//    taken from the host's current folder, not from the working folder. An
//    empty working folder keeps the host's current folder.
//  - lpParameters is one command line, split into arguments as
//    SplitCommandLine describes; lpArguments follow, each one argument
//    exactly as given.
//  - The program runs in the working folder. Its standard output and
//    standard error both go to the host's standard error (standard output
//    carries the host log); its standard input is /dev/null, so that it
//    never reads the answers meant for the host's questions.
//  - nShow (window state), lpVerb (always "Open" here), hwnd and cbSize are
//    accepted and ignored: there is no window to show.
//  - Handles are process ids. Without kSeeMaskNoCloseProcess in fMask the
//    program is started and no handle is returned; the launcher then reaps
//    it itself.
//
// Ownership: the launcher owns the file-system object it maps paths with.
// It is not thread-safe; one add-in run uses it from one thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/FileSystem.h"
#include "host/Process.h"

namespace zt::wb {

/// Splits a command line into arguments, Windows-style:
///  - blanks (spaces and tabs) outside double quotes separate arguments, and
///    runs of them count as one;
///  - a double quote starts or ends a quoted part, in which blanks belong to
///    the argument; the quotes themselves are removed, so `a"b c"d` is the
///    one argument `ab cd`, and `""` alone is an empty argument;
///  - inside a quoted part, two double quotes in a row give one literal
///    double quote (`"say ""hi"""` is `say "hi"`);
///  - a backslash is an ordinary character (the add-in's paths use it as a
///    separator), also before a quote;
///  - a quoted part left open at the end ends there.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

/// The bundled resource-compiler wrapper: "rc.exe" in the folder of the
/// running program (read from /proc/self/exe); "" when that cannot be read.
std::string BundledResourceCompiler();

/// What a program run by RunReadingOutput printed and how it ended.
struct ProgramOutput {
  int32_t status = 0;  ///< its exit status; 128 + n when signal n ended it
  std::string out;     ///< all it wrote on standard output
};

/// Runs `arguments` (the program first, looked up on the PATH when it names
/// no folder) with standard input /dev/null and its standard error the
/// host's, and waits for it: what it wrote on standard output and its exit
/// status. Raises error 53 (no such program), 70 (not allowed) or 75 when it
/// cannot be started or read.
ProgramOutput RunReadingOutput(const std::vector<std::string>& arguments);

class PosixProcessLauncher : public ProcessLauncher {
 public:
  /// Paths are mapped to the disk with `paths` (owned).
  explicit PosixProcessLauncher(std::unique_ptr<FileSystemObject> paths);
  /// Reaps the programs that have ended; the system reaps the rest.
  ~PosixProcessLauncher() override;
  PosixProcessLauncher(const PosixProcessLauncher&) = delete;
  PosixProcessLauncher& operator=(const PosixProcessLauncher&) = delete;

  /// Starts the program; its process id as the handle. Raises error 53 (no
  /// such program), 70 (not allowed), 76 (no such working folder) or 75
  /// (anything else) with a description that names the program and the
  /// folder; error 5 when the program's path is empty.
  std::optional<int64_t> ShellExecuteEx(const ShellExecuteInfo& info) override;
  /// Waits until the program ends, without a time limit (an interrupted wait
  /// is taken up again). Its exit status; 128 + n when signal n ended it.
  /// Waiting again for an ended program gives the same status. Raises error
  /// 5 for a handle this launcher did not give out or already closed.
  int32_t WaitForSingleObject(int64_t process) override;
  /// Forgets the handle. A program still running is not stopped; it is
  /// reaped when it ends. Raises error 5 for an unknown handle.
  void CloseHandle(int64_t process) override;

 private:
  /// Reaps the programs nobody waits for that have ended.
  void ReapDetached();

  std::unique_ptr<FileSystemObject> paths_;
  /// Open handles, with the exit status once the program was waited for.
  std::map<int64_t, std::optional<int32_t>> handles_;
  /// Programs started without a handle, or closed before they ended.
  std::vector<pid_t> detached_;
};

}  // namespace zt::wb
