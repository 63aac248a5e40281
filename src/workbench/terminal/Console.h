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
// Answers given in advance (Answers.h): a question with a key takes the
// console's preset answer for that key before it reads a line, and shows
// the prompt with that answer, as if it had been typed.
//
// Ownership: the helpers borrow the console for the call only; whoever
// creates a console keeps it alive while the dialogs that borrow it run. A
// console borrows its preset answers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "workbench/terminal/Answers.h"

namespace zt::wb {

/// The terminal of the workbench's dialogs.
class Console {
 public:
  virtual ~Console() = default;

  /// The next input line without its line end; nullopt at end of input.
  virtual std::optional<std::string> ReadLine() = 0;

  /// Shows `text` exactly as given; nothing is appended.
  virtual void Write(const std::string& text) = 0;

  /// Tells `message`, a failure or what was done instead of what was asked,
  /// on a line of its own; `cause` is the message without what it is about
  /// (the same for every file that failed for one reason). The terminal
  /// shows the message; a console may tell repeated causes once (--quiet).
  virtual void Tell(const std::string& message, const std::string& cause);

  /// The answers given in advance; nullptr when there are none.
  virtual const PresetAnswers* Presets() const { return presets_; }
  /// Borrows `presets` (nullptr: none), which must outlive the console.
  void SetPresets(const PresetAnswers* presets) { presets_ = presets; }

 private:
  const PresetAnswers* presets_ = nullptr;
};

/// The process's terminal: lines from stdin, text to stderr.
class TerminalConsole : public Console {
 public:
  /// Drops a trailing carriage return, so CR LF input reads as LF input.
  std::optional<std::string> ReadLine() override;
  /// Writes to stderr and flushes, so a prompt is visible before the read;
  /// standard output is flushed first, so that what was written there
  /// before (the log) comes before it on a shared screen or file.
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
  /// The word an answer given in advance uses for it (answer_word); empty
  /// when it cannot be given in advance.
  std::string word = {};
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
  /// The key of answers given in advance (answer_key); empty for none.
  std::string key = {};
};

/// Shows `question` with its answers ("Replace it? [y]es, [n]o: "), reads a
/// line and returns the value of the answer whose key or whole word it is,
/// ignoring case and surrounding blanks. An unknown answer (an empty line
/// included) is reported and the question asked again. An answer given in
/// advance for the question's key is taken without reading when it names
/// an answer offered by its word; "all" and "none" stand for "yes" and "no"
/// when the question offers no answers for all.
int Ask(Console& console, const Question& question);

/// A question answered with free text.
struct TextQuestion {
  /// Shown as it is before each read; it names the default and the cancel word.
  std::string prompt;
  /// The answer to an empty line; when empty, an empty line is asked again.
  std::string defaultText;
  /// The answer that cancels, compared ignoring case; empty for none.
  std::string cancelWord;
  /// The key of answers given in advance (answer_key); empty for none.
  std::string key = {};
};

/// What a question answered with free text came to.
struct TextAnswer {
  /// The answer; nullopt when none was given.
  std::optional<std::string> text;
  /// Without an answer: whether input gave none (its end, or lines without
  /// one) rather than the user cancelling.
  bool unanswered = false;
};

/// Asks `question`; the answer is the line without surrounding blanks, the
/// default for an empty line; none when the user cancels, at end of input,
/// and after `kMaxAttempts` empty lines without a default. An answer given
/// in advance for the question's key stands for the first line, shown after
/// the prompt as if typed.
TextAnswer AskTextAnswer(Console& console, const TextQuestion& question);

/// The answer of AskTextAnswer alone, for a caller to whom a cancel and
/// input that gives no answer come to the same.
std::optional<std::string> AskText(Console& console, const TextQuestion& question);

/// Shows `prompt` followed by `answer` and a line end: how an answer given in
/// advance appears where a typed one would.
void ShowPresetAnswer(Console& console, const std::string& prompt, const std::string& answer);

/// The whole word of an answer label: "yes to &all" gives "yes to all".
std::string AnswerWord(const std::string& label);

}  // namespace zt::wb
