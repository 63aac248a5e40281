// The maker's tools that a generation run uses besides the store: tool
// options, the options dialog, the datapool component with its overwrite
// prompt and explorer, and the list-selection dialog.
#pragma once

#include <cstdint>
#include <string>

#include "host/DataStore.h"
#include "host/TesselModel.h"

namespace zt {

/// Options of the maker's tools, kept with the store.
class ToolOptions {
 public:
  virtual ~ToolOptions() = default;
  /// The value of option `option`: 3 the resource compiler, 4 its
  /// command-line options; "" when not set.
  virtual std::string GetOption(int32_t option) = 0;
};

/// Option numbers of ToolOptions.
namespace tool_option {
inline constexpr int32_t kResourceCompiler = 3;
inline constexpr int32_t kResourceCompilerOptions = 4;
}  // namespace tool_option

/// The dialog in which the user sets the tool options.
class OptionsDialog {
 public:
  virtual ~OptionsDialog() = default;
  /// The store whose options the dialog edits; not owned.
  virtual void SetDataStore(DataStore* store) = 0;
  /// Shows the dialog at `page`, owned by the window `ownerWindow`.
  virtual void Show(int32_t page, int64_t ownerWindow) = 0;
};

/// Creates and edits datapools in a store.
class DatapoolTool {
 public:
  virtual ~DatapoolTool() = default;
  /// Prepares a generation run.
  virtual void PrepareRun(int32_t flags) = 0;
  /// Creates a datapool: 0 created, 4 nothing to report, any other code: a
  /// datapool of that name exists (and overwriting is off).
  virtual int32_t CreateDatapool(DataStoreConnection* connection, const std::string& name,
                                 const std::string& description, const std::string& fields) = 0;
  /// Whether CreateDatapool replaces an existing datapool.
  virtual void SetOverwrite(bool overwrite) = 0;
  /// Lets the user edit one datapool.
  virtual void EditDatapool(int64_t ownerWindow, DataStoreConnection* connection, const std::string& name,
                            int32_t flags) = 0;
};

/// Codes of DatapoolTool::CreateDatapool.
namespace datapool_result {
inline constexpr int32_t kCreated = 0;
inline constexpr int32_t kNothingToReport = 4;
}  // namespace datapool_result

/// One view of the datapool explorer.
class DatapoolView {
 public:
  virtual ~DatapoolView() = default;
  /// Shows the view over the datapools of `connection`.
  virtual void Show(int64_t ownerWindow, DataStoreConnection* connection) = 0;
};

/// Shows the datapools of a store.
class DatapoolExplorer {
 public:
  virtual ~DatapoolExplorer() = default;
  /// The view named `name` ("Datapool"); owned by the explorer.
  virtual DatapoolView* GetView(const std::string& name) = 0;
};

/// The question whether existing datapools are overwritten.
class OverwritePrompt {
 public:
  virtual ~OverwritePrompt() = default;
  virtual void SetPromptSetting(bool value) = 0;
  /// Whether "yes for all" and "no for all" are offered.
  virtual void SetForAllAnswers(bool value) = 0;
  /// Asks about `item`: 1 yes, 2 yes for all, 3 no, 4 no for all; any
  /// other answer cancels.
  virtual int32_t Ask(const std::string& title, const std::string& item, const std::string& question) = 0;
};

/// Answers of OverwritePrompt::Ask.
namespace overwrite_answer {
inline constexpr int32_t kYes = 1;
inline constexpr int32_t kYesForAll = 2;
inline constexpr int32_t kNo = 3;
inline constexpr int32_t kNoForAll = 4;
inline constexpr int32_t kCancel = 0;
}  // namespace overwrite_answer

/// A modal dialog that lets the user pick one class of a list.
class ListSelectDialog {
 public:
  virtual ~ListSelectDialog() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetPrompt(const std::string& prompt) = 0;
  /// The chosen class, or nullptr when the user chose none.
  virtual TesselClass* SelectFromList(int64_t ownerWindow, const TesselClassCollection& list) = 0;
};

}  // namespace zt
