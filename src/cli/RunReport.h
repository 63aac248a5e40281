// What the command line makes of a generation run: how far it is (for the
// progress line), what became of each operation (for the exit status and
// `--summary-json`), and the one line on stderr about the operations that
// no generator takes.
//
// The add-in tells the host when it reaches an operation and when it is
// done with it; the components' journal tells which scripts the store saved
// and which datapool was made meanwhile; the host log gives the lines
// written for it. What the store's batch could not make durable after all,
// it tells when the batch ends, after the add-in was done with those
// operations: the report takes them back (Lost), so that its counts are
// what the store confirmed. The report keeps the add-in's own counts apart:
// its closing text and totals stay as the add-in has them.
#pragma once

#include <string>
#include <vector>

#include "host/TesselModel.h"
#include "workbench/components/WorkbenchComponents.h"
#include "workbench/text/Json.h"

namespace zt::cli {

/// The operations a run over the current selection of `model` walks, as the
/// add-in counts them: selected operations, the operations of selected
/// classes, those of the classes of selected packages.
int OperationsOfSelection(TesselModel& model);

/// What a run came to, as the exit status weighs it.
struct RunTally {
  bool cancelled = false;
  bool strict = false;  ///< --strict: operations no generator takes fail the run
  int taken = 0;        ///< operations a generator takes
  int failed = 0;       ///< of those, not generated (or lost by the store after all)
  int notTaken = 0;
  /// What the store told of that belongs to no operation: a database found
  /// damaged at the run's end, a file it could not delete.
  int storeFailures = 0;
};

/// Why a generation run does not take an operation: `code` for the summary
/// (`notTakenReason`), `text` for the line on stderr.
struct NotTakenReason {
  std::string code;
  std::string text;
};

/// Why the generators of java-test (`javaTest`) or of generate do not take
/// `op`: the rule of the Java generator it fails, or no generator's.
NotTakenReason WhyNotTaken(TesselOperation& op, bool javaTest);

/// The exit status of a run: 130 cancelled; 1 when no operation was taken
/// at all, one taken was not generated, the store failed, or (strict) one
/// was not taken; else 0.
int RunExitStatus(const RunTally& tally);

class RunReport {
 public:
  /// What became of one operation.
  struct Operation {
    std::string name;    ///< qualified name
    bool taken = false;  ///< a generator takes it
    std::string notTakenReason;  ///< NotTakenReason::code, when not taken
    bool generated = false;
    int32_t number = 0;  ///< the store's number of it (RunJournal::operation)
    std::vector<wb::RunJournal::Script> scripts;
    std::string datapool;
    std::string datapoolOutcome;
    std::vector<std::string> log;
    std::vector<std::string> warnings;
  };

  /// A new run over `expected` operations; `details`: keep what became of
  /// each operation, for Summary (only the counts otherwise, so that a run
  /// over many operations holds no more than without a report).
  void Begin(int expected, bool details);
  /// The run reached `op`: the log lines written since the last operation
  /// ended belong to it (before the first one, they are the run's heading).
  /// `reason`: why it is not taken (NotTakenReason::code).
  void Starting(TesselOperation& op, bool taken, const std::string& reason = {});
  /// The run is done with `op`; `journal` holds what was saved for it.
  void Finished(TesselOperation& op, bool generated, const wb::RunJournal& journal);
  /// A host log line of the run.
  void Log(const std::string& line);
  /// A warning of the host's own about the operation the run is at.
  void Warn(const std::string& warning);
  /// What the store found out about the run's batches when they were
  /// finished: an operation generated that lost its datapool or a script
  /// was not generated after all, and its summary says what was lost (a
  /// datapool sent without an answer as "unknown", to be generated again);
  /// a datapool another user made the same is "unchanged", a script whose
  /// file was kept "kept".
  void Late(const std::vector<wb::StoreBase::LateOutcome>& outcomes);
  /// Operations counted generated until the store lost something of theirs.
  int LostOperations() const { return lostOperations_; }

  int Expected() const { return expected_; }
  /// How many operations the run has reached.
  int Reached() const { return reached_; }
  /// What became of each operation, when Begin asked for the details.
  const std::vector<Operation>& Operations() const { return operations_; }
  int Taken() const { return taken_; }
  int NotTaken() const { return reached_ - taken_; }
  /// Operations a generator takes that were not generated.
  int Failed() const { return failed_; }
  int Generated() const { return generated_; }

  /// The exit status (RunExitStatus); `storeFailures` as RunTally has them.
  int ExitStatus(bool cancelled, bool strict, int storeFailures) const;
  /// The line on stderr about operations no generator takes, in the words
  /// of java-test for `javaTest`; "" for none.
  std::string NotTakenLine(bool strict, bool javaTest = false) const;
  /// The summary as a JSON document (docs/command-line.md); its operations
  /// are those kept when Begin asked for the details.
  wb::json::Value Summary(const std::string& command, const std::string& model, const std::string& store, int status,
                          bool cancelled, int addInGenerated, int addInTotal) const;

 private:
  int expected_ = 0;
  bool details_ = false;
  int reached_ = 0;
  int taken_ = 0;
  int generated_ = 0;
  int failed_ = 0;
  int lostOperations_ = 0;
  // Whether the operation in hand is taken.
  bool takenNow_ = false;
  // By the store's number of an operation: whether it was counted generated.
  std::vector<bool> generatedNumbers_;
  std::vector<Operation> operations_;
  // Log lines since the last operation ended.
  std::vector<std::string> pending_;
  std::vector<std::string> warnings_;
};

}  // namespace zt::cli
