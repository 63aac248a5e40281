// Starting another program and waiting for it, as the add-in runs the
// resource compiler. Paths are the add-in's ("\"-separated); the host maps
// them, and runs the program directly (no shell).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zt {

/// What to start: the fields of the platform's execute record that the
/// add-in fills.
struct ShellExecuteInfo {
  uint32_t cbSize = 60;
  uint32_t fMask = 0;            ///< 0x40: keep the process handle
  int64_t hwnd = 0;              ///< the owner window
  std::string lpVerb;            ///< "Open"
  std::string lpFile;            ///< the program
  std::string lpParameters;      ///< its command line, with "..." grouping
  /// Arguments after those of lpParameters, each handed over exactly as it
  /// is: never split, never unquoted. What the add-in makes from names of
  /// the model (a script's path) goes here, so that no name can add an
  /// argument of its own.
  std::vector<std::string> lpArguments;
  std::string lpDirectory;       ///< the working folder
  int32_t nShow = 0;             ///< 2 minimized, 3 maximized
};

inline constexpr uint32_t kSeeMaskNoCloseProcess = 0x40;

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  /// Starts the program; the process handle, or nothing when it could not
  /// be started (the reason raised as an error, or nothing known).
  virtual std::optional<int64_t> ShellExecuteEx(const ShellExecuteInfo& info) = 0;
  /// Waits without a time limit; returns the program's exit status.
  virtual int32_t WaitForSingleObject(int64_t process) = 0;
  virtual void CloseHandle(int64_t process) = 0;
};

}  // namespace zt
