// The command-line host: what plays the modelling tool for the add-in. It
// loads a model document, registers the add-in records, hands the add-in the
// workbench's components, activates the add-in, sets the user's selection,
// and deactivates the add-in at the end. Commands that run the add-in build
// one Host and call its entry points.
#pragma once

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <ostream>
#include <string>
#include <vector>

#include "cli/RunReport.h"
#include "workbench/system/Outputs.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/terminal/Answers.h"

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
  bool storeGiven = false;               ///< whether --store was given
  std::string templates;                 ///< --templates; empty: the installed templates
  std::optional<std::string> user;       ///< --user
  std::string log;                       ///< --log: a copy of the host log
  std::string language;                  ///< --language: for classes a model file gives none
  std::string templateFile;              ///< --file: the template chosen without asking
  bool recursive = false;                ///< --recursive: packages with their nested packages
  std::vector<std::string> answers;      ///< --answer KEY=VALUE, in the order given
  bool strict = false;                   ///< --strict: operations no generator takes fail the run
  std::string summaryJson;               ///< --summary-json FILE
  std::string command;                   ///< the subcommand, for the summary
  bool quiet = false;                    ///< --quiet: no log on stdout (--log still gets it)
};

/// Adds the model argument and the shared options to `command`; with
/// `withSelection` also --select and --recursive.
void AddHostOptions(CLI::App& command, HostOptions& options, bool withSelection);

/// Adds the options of commands that run the add-in's entries and may ask:
/// --answer, and for generation runs --strict and --summary-json; the keys
/// of --answer go into the command's help.
void AddRunOptions(CLI::App& command, HostOptions& options, bool generation);

/// The keys of --answer with what each answers, as --help lists them.
std::string AnswerKeysHelp();

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

  /// For the commands that generate, after Start: asks the store's login
  /// question when --user and $ZTUNITTEST_USER give no user, then opens the
  /// store once before the add-in does, so that a failure to open it (not a
  /// folder, a damaged database, a full disk) is told as what it is; the run
  /// then uses that store (one login, one session). When the login cannot
  /// be made, the add-in still runs: its own login fails as cancelled, so
  /// that its log line and closing text tell so; Generate then says why and
  /// exits 130 for the cancel word, 2 for input that gave no name. A store
  /// that cannot be opened is no cancelled login: Generate does not run the
  /// add-in, says which store and why, and exits 1. A selection of packages
  /// (or none) without operations asks nothing: Generate says so, as the
  /// add-in would, and exits 1.
  void OpenStoreFirst();

  /// Runs a generation (`run` shows the progress window), with the progress
  /// line counting the operations of the selection, and returns its exit
  /// status (RunReport::ExitStatus, which counts what the store refused,
  /// failed to write or lost, or found damaged, each told with a message;
  /// 1 also when the log file could not be written, told here once); prints
  /// the line about operations no generator takes and writes --summary-json.
  int Generate(const std::function<void()>& run);

  /// For a template entry: whether its choice was kept, as an exit status
  /// (0 kept; 130 the dialog was cancelled; 1 not kept, or no dialog shown),
  /// after saying on stderr what happened.
  int TemplateEntryStatus(const std::string& entry);

  wb::Application& Application() { return *application_; }
  OLEServer& AddIn() { return *addIn_; }
  /// Why operations are not taken that the host itself refused (the code
  /// behind the model lacks them, ...): told instead of the add-in's rule.
  void SetRefusals(std::map<const TesselOperation*, NotTakenReason> refusals) { refusals_ = std::move(refusals); }
  /// The class path the store keeps (`ztunittest options --classpath`), as
  /// OpenStoreFirst read it; "" when none.
  const std::string& StoredClassPath() const { return storedClassPath_; }
  wb::WorkbenchComponents& Components() { return *components_; }
  const HostOptions& Options() const { return options_; }
  /// Whether the model file is a JSON model document (not an XMI file).
  bool IsModelDocument() const;
  /// The store's location, as Start read it from --store.
  const wb::StoreLocation& StoreLocation() const { return location_; }

 private:
  int SetSelection();
  /// Why a user name the command line gives cannot be one (UserNameFault):
  /// --user, $ZTUNITTEST_USER where the store's login takes it (--user gives
  /// no name), --answer user=; nullopt when each can.
  std::optional<std::string> GivenUserFault() const;
  /// Makes the add-in's login fail; Generate then exits with `status`
  /// after printing `reason` (nothing when empty).
  void RefuseLogin(int status, const std::string& reason);
  void WriteLog(const std::string& line);

  HostOptions options_;
  std::map<const TesselOperation*, NotTakenReason> refusals_;
  std::string storedClassPath_;
  wb::StoreLocation location_;
  wb::PresetAnswers presets_;
  RunReport report_;
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
  // A login that OpenStoreFirst found cannot be made: the exit status and
  // the reason Generate gives.
  struct LoginRefusal {
    int status = 0;
    std::string reason;
    // The store cannot be opened: the add-in does not run at all.
    bool unopened = false;
  };
  LoginRefusal login_;
  // The hints about operations said on stderr in this run.
  std::set<std::string> hinted_;
  // Whether stdout is the terminal the status line is drawn on (stderr).
  bool logOnScreen_ = false;
  // The operations the run is done with, for the status line's share.
  int operationsDone_ = 0;
  // The selection holds no operation: the run needs no login and does not
  // start (OpenStoreFirst).
  bool nothingSelected_ = false;
  // The selection holds packages only (or nothing).
  bool selectionOfPackages_ = true;
  // With --quiet: the lines that count the failures told once.
  std::function<std::vector<std::string>()> quietCounts_;
};

}  // namespace zt::cli
