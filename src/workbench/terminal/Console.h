// The terminal through which every workbench dialog talks, and the question
// helpers that dialogs build on.
//
// A `Console` reads one answer line at a time and shows text; the real one
// (`TerminalConsole`) reads stdin and writes stderr, so that stdout carries
// only the host log. Tests use a scripted console (tests/fakes/).
//
// Questions: `Ask` offers a closed list of answers, `AskText` takes free
// text. Both read one line per attempt, ask again on an answer they cannot
// use (at most `kMaxAttempts` times in all), and fall back to the question's
// documented default at end of input. Callers pick that default so that it
// loses nothing (keep the file, do not edit, cancel a login).
//
// Ownership: the helpers borrow the console for the call only; whoever
// creates a console keeps it alive while the dialogs that borrow it run.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zt::wb {

/// The terminal of the workbench's dialogs.
class Console {
 public:
  virtual ~Console() = default;

  /// The next input line without its line end; nullopt at end of input.
  virtual std::optional<std::string> ReadLine() = 0;

  /// Shows `text` exactly as given; nothing is appended.
  virtual void Write(const std::string& text) = 0;
};

/// The process's terminal: lines from stdin, text to stderr.
class TerminalConsole : public Console {
 public:
  /// Drops a trailing carriage return, so CR LF input reads as LF input.
  std::optional<std::string> ReadLine() override;
  /// Writes to stderr and flushes, so a prompt is visible before the read.
  void Write(const std::string& text) override;
};

/// How many lines a question reads at most before it takes its default.
inline constexpr int kMaxAttempts = 3;

/// One answer a question offers.
struct Answer {
  /// The answer as shown, with "&" before its key letter: "yes to &all" is
  /// shown "yes to [a]ll" and taken as "a" or "yes to all". Without "&" only
  /// the whole word is taken. Keys of one question must differ.
  std::string label;
  /// What `Ask` returns when this answer is chosen.
  int value = 0;
};

/// A question with a closed list of answers.
struct Question {
  /// The question, shown before the answers ("x exists. Replace it?").
  std::string text;
  /// The answers offered, in the order shown.
  std::vector<Answer> answers;
  /// The answer at end of input and after `kMaxAttempts` unusable lines;
  /// need not be one of `answers`.
  int defaultValue = 0;
};

/// Shows `question` with its answers ("Replace it? [y]es, [n]o: "), reads a
/// line and returns the value of the answer whose key or whole word it is,
/// ignoring case and surrounding blanks. An unknown answer (an empty line
/// included) is reported and the question asked again.
int Ask(Console& console, const Question& question);

/// A question answered with free text.
struct TextQuestion {
  /// Shown as it is before each read; it names the default and the cancel word.
  std::string prompt;
  /// The answer to an empty line; when empty, an empty line is asked again.
  std::string defaultText;
  /// The answer that cancels, compared ignoring case; empty for none.
  std::string cancelWord;
};

/// Asks `question` and returns the answer without surrounding blanks, the
/// default for an empty line; nullopt when the user cancels, at end of input,
/// and after `kMaxAttempts` empty lines without a default.
std::optional<std::string> AskText(Console& console, const TextQuestion& question);

/// The whole word of an answer label: "yes to &all" gives "yes to all".
std::string AnswerWord(const std::string& label);

}  // namespace zt::wb
