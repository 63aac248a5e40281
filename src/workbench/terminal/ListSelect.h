// The list-selection dialog in the terminal: the classes of a list numbered
// on the console, one of them chosen by its number.
//
// At end of input, after the cancel word, and after kMaxAttempts answers
// that name no entry, nothing is chosen. The dialog borrows its console.
#pragma once

#include <string>

#include "host/MakerTools.h"
#include "workbench/terminal/Console.h"

namespace zt::wb {

class TerminalListSelectDialog final : public ListSelectDialog {
 public:
  /// Shows and asks through `console`.
  explicit TerminalListSelectDialog(Console& console);

  void SetCaption(const std::string& caption) override { caption_ = caption; }
  void SetPrompt(const std::string& prompt) override { prompt_ = prompt; }
  /// Shows the caption, the prompt and the classes ("1. Name (qualified
  /// name)") and asks for a number; the class chosen, or nullptr.
  TesselClass* SelectFromList(int64_t ownerWindow, const TesselClassCollection& list) override;

 private:
  Console& console_;
  std::string caption_;
  std::string prompt_;
};

}  // namespace zt::wb
