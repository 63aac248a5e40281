// Launching the user's text editor on a file: $VISUAL, else $EDITOR, split on
// blanks into the program and its arguments (no shell is involved, so quotes
// and variables in them are not interpreted), with the file as the last
// argument. The editor inherits the terminal; when stdout is not a terminal
// but stderr is, the editor's stdout goes to stderr, so that stdout keeps
// carrying only the host log.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zt::wb {

/// The editor command the user chose: $VISUAL, else $EDITOR, split on blanks;
/// nullopt when neither holds more than blanks.
std::optional<std::vector<std::string>> EditorCommand();

/// How an editor run ended.
struct EditorOutcome {
  /// Whether the editor could be started at all.
  bool started = false;
  /// Whether it was started and exited with status 0.
  bool succeeded = false;
  /// What went wrong, for a message; empty on success.
  std::string problem;
};

/// Runs `command` (a program, found on $PATH, and its arguments) with `file`
/// appended and waits for it to end.
EditorOutcome RunEditor(const std::vector<std::string>& command, const std::string& file);

}  // namespace zt::wb
