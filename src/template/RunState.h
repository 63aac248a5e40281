// The state of one generation run: what the code factory, the template
// processor, the generators and the progress window tell each other about
// the run and its current operation. The loaded add-in keeps one copy
// (driver/GenerationRun.h: CurrentRun), which the code factory hands to its
// template processor; the processor and the generators read and write the
// run through it. Each value is reset where the run says so (see the
// comments).
#pragma once

#include <cstdint>
#include <string>

namespace zt {

struct RunState {
  /// The run generates for more than one item. False at the start of a
  /// run; set by the walkers over collections.
  bool RunHasMultipleItems = false;
  /// "source created for ..." was logged for the current operation.
  bool SourceHeaderLogged = false;
  /// "datapool created:" was logged for the current operation.
  bool DatapoolHeaderLogged = false;
  /// The current operation's resource script may be compiled; cleared when
  /// the store declines a class module.
  bool CompileResources = true;
  /// The store refused or failed to write a script of the current operation
  /// (and said why): the operation is not generated and gets no datapool.
  /// Cleared before each operation.
  bool ScriptNotStored = false;
  /// The current operation was classed as a home-interface operation.
  bool EjbOperationFlag = false;
  /// The last answer to the datapool overwrite question (3 at a run's start).
  int32_t DatapoolOverwriteAnswer = 3;
  /// Datapools created since the progress window started.
  int32_t DatapoolsCreated = 0;
  /// The first datapool created since the progress window started.
  std::string FirstDatapoolName;
  /// The resource compiler found for the run, or "".
  std::string ResourceCompilerPath;
  /// A resource script of the run could not be compiled.
  bool NoResourceFile = false;
  /// The progress window showing the run, the owner of the dialogs it opens
  /// (0 when none).
  int64_t ProgressWindow = 0;
};

}  // namespace zt
