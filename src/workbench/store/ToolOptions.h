// The maker's tool options, kept in the store's database, either back-end (table tool_options,
// store migration 3: option number and its text), and the terminal dialog in
// which the user sets the resource compiler.
//
// Option 3 is the resource compiler's path, option 4 its command-line
// options. An option that was never set (or was set to "") reads as "", with
// one exception: while option 3 is unset, it reads as the default the
// options are made with (the rc.exe wrapper installed beside the program),
// provided that file exists at the time of the read. Nothing is stored for a default: setting the option always wins.
//
// Ownership: the options borrow the store's connection and the dialog its
// store and console; each must outlive the object that borrows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/MakerTools.h"
#include "workbench/store/Database.h"
#include "workbench/system/ProcessLauncher.h"
#include "workbench/terminal/Console.h"

namespace zt::wb {

/// The host's own option beside the maker's: the class path of the compiled
/// classes behind the models (java-test --classpath); the add-in never reads it.
inline constexpr int32_t kClassPathOption = 5;

/// Tool options on a store's database.
class WorkbenchToolOptions : public ToolOptions {
 public:
  /// The options of the store whose connection is `connection`, option 3
  /// defaulting to `defaultCompiler` ("" for none); raises error 13 when it
  /// is not a workbench store's connection.
  explicit WorkbenchToolOptions(DataStoreConnection& connection,
                                std::string defaultCompiler = BundledResourceCompiler());

  /// The value of `option`, or its default (see the file comment); "" when unset.
  std::string GetOption(int32_t option) override;

  /// Sets `option` to `value`; "" unsets it. Raises error 75 when the store
  /// cannot be written.
  void SetOption(int32_t option, const std::string& value);

  /// The value stored for `option`, without defaults; nullopt when unset.
  std::optional<std::string> StoredOption(int32_t option);

 private:
  Database& db_;
  std::string defaultCompiler_;
};

/// The options dialog in the terminal. It has one page, the resource
/// compiler, whatever page is asked for.
class WorkbenchOptionsDialog : public OptionsDialog {
 public:
  /// Questions go to `console`; option 3 defaults to `defaultCompiler`.
  explicit WorkbenchOptionsDialog(Console& console, std::string defaultCompiler = BundledResourceCompiler());

  /// The store whose options the dialog edits (borrowed; may be null).
  void SetDataStore(DataStore* store) override;

  /// Asks for the resource compiler's path; an empty line keeps the current
  /// value (the default included, which is then stored). A path that names
  /// no file is refused and asked again, up to kMaxAttempts answers; a
  /// relative path is stored made absolute. End of input, the cancel word and
  /// running out of attempts leave the option as it was. Raises error 91 when
  /// no store is set or the store is not open. `page` and `ownerWindow` are
  /// not used.
  void Show(int32_t page, int64_t ownerWindow) override;

 private:
  Console& console_;
  std::string defaultCompiler_;
  DataStore* store_ = nullptr;
};

}  // namespace zt::wb
