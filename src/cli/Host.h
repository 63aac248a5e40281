// The command-line host: what plays the modelling tool for the add-in. It
// loads a model document, registers the add-in records, hands the add-in the
// workbench's components, activates the add-in, sets the user's selection,
// and deactivates the add-in at the end. Commands that run the add-in build
// one Host and call its entry points.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "workbench/system/Outputs.h"
#include "workbench/system/SafeFolders.h"

namespace CLI {
class App;
}

namespace zt {
class OLEServer;
namespace wb {
class Application;
class Console;
class WorkbenchComponents;
}  // namespace wb
}  // namespace zt

namespace zt::cli {

/// The options every command that runs the add-in shares.
struct HostOptions {
  std::string model;                     ///< the model document
  std::vector<std::string> select;       ///< qualified names, in selection order
  std::string store = "ztstore";         ///< --store
  std::string templates;                 ///< --templates; empty: the installed templates
  std::optional<std::string> user;       ///< --user
  std::string log;                       ///< --log: a copy of the host log
  std::string language;                  ///< --language: for classes a model file gives none
  std::string templateFile;              ///< --file: the template chosen without asking
};

/// Adds the model argument and the shared options to `command`.
void AddHostOptions(CLI::App& command, HostOptions& options, bool withSelection);

class Host {
 public:
  explicit Host(HostOptions options);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  /// Loads the model, checks the folders, installs the components and
  /// activates the add-in with the selection set. Returns 0, or the exit
  /// status of a failure it has reported on stderr.
  int Start();

  /// The exit status for how the last generation run ended (see
  /// ExitStatusOfLastRun); a run that counted every operation but whose store
  /// refused or failed to write a script, lost what a batch held, or was
  /// found damaged, with a message each, finished short: 1. So did a run
  /// whose log file could not be written (told here, once).
  int RunStatus();

  /// For the commands that generate, after Start: opens the store once
  /// before the add-in does, when that asks for no login, so that a failure
  /// to open it (a full disk) is told as what it is; the add-in would take it
  /// for a cancelled login. Returns 0, or 1 after the message on stderr.
  int OpenStoreFirst();

  wb::Application& Application() { return *application_; }
  OLEServer& AddIn() { return *addIn_; }
  wb::WorkbenchComponents& Components() { return *components_; }

 private:
  int SetSelection();
  void WriteLog(const std::string& line);

  HostOptions options_;
  std::unique_ptr<wb::Console> console_;
  std::unique_ptr<wb::Application> application_;
  std::unique_ptr<wb::WorkbenchComponents> components_;
  std::unique_ptr<OLEServer> addIn_;
  // The log file (--log), appended to through a buffer that keeps its first
  // write error.
  wb::UniqueFd logFile_;
  std::unique_ptr<wb::FdOutputBuffer> logBuffer_;
  std::unique_ptr<std::ostream> logCopy_;
  bool active_ = false;
};

/// The exit status for how the last generation run ended: 0 every selected
/// operation generated, 1 finished short, 130 cancelled.
int ExitStatusOfLastRun();

}  // namespace zt::cli
