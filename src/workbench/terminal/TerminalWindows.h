// The workbench's window system: the add-in's windows in the terminal.
//
// Message boxes and the progress window appear on stderr; answers come from
// a Console, one line per question, and at end of input a message box takes
// its unattended answer (No for a Yes/No box).
//
// The progress window. ShowModal activates the window, which runs the whole
// generation; then, since no user is there to press "Close", it prints the
// closing text the run left in the window, clicks the button and makes sure
// the window is unloaded. While the run goes on, and only when the output is
// a terminal, one status line shows a bar, the percent and the message (its
// lines joined by " — "). When the host says how far the run is
// (SetRunProgress, SetRunDone), the bar and the percent are the run's own —
// the share of its operations done — followed by "operation k of N", the
// time elapsed and, once an operation is done, the time left; otherwise they
// are the add-in's (its figure for the template in hand). The line is
// redrawn at most every kRedrawInterval of the monotonic clock; changes in
// between are drawn by the next update or DoEvents once the interval has
// passed, and the last state is drawn (as a bar that stays on screen)
// before the closing text. On anything that is not a terminal nothing of
// the progress is printed.
//
// Nothing else may write over the status line. Whatever the dialogs show
// goes through DialogConsole(), which erases the line (carriage return and
// clear-line) before the first character, and puts it back after a message
// that ends its line (not after a question, which waits for its answer
// where it is); the host calls ClearProgress() before it writes a log line
// on the same screen and RestoreProgress() after it, so that the status
// line stays below the log as it scrolls.
//
// Ctrl-C. While a window is shown modally a SIGINT handler is installed
// that only records the signal (also a second and later Ctrl-C; with
// SA_RESTART, so a question being read is not cut short); the process is
// never killed mid-write. DoEvents turns a recorded Ctrl-C into a click on
// the modal window's button, which cancels a busy run. The previous handler
// comes back when the modal display ends. Without a modal window DoEvents
// does nothing.
//
// Environment: ZTUNITTEST_FONT="Face" or "Face:pixels" sets the default GUI
// font (lfHeight -pixels; default the string table's face and -11);
// ZTUNITTEST_DPI=N sets LogPixelsY (default 96). Unusable values are ignored.
//
// Ownership: the window system borrows its console and output stream; a
// status window borrows the window system and its events, so both outlive it.
#pragma once

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "host/WindowSystem.h"
#include "workbench/terminal/Console.h"

namespace zt::wb {

class TerminalWindowSystem;

/// A monotonic clock: time since any fixed point.
using MonotonicClock = std::function<std::chrono::milliseconds()>;

/// The shortest time between two redraws of the status line.
inline constexpr std::chrono::milliseconds kRedrawInterval{100};

/// A font given to a control of the progress window.
struct ControlFont {
  std::string faceName;
  int32_t pointSize = 0;
};

/// The progress window in the terminal: keeps what the run sets and has its
/// window system draw it while it is shown.
class TerminalStatusWindow final : public StatusWindow {
 public:
  TerminalStatusWindow(TerminalWindowSystem& system, StatusWindowEvents& events, int64_t handle);

  void SetTitle(const std::string& title) override { title_ = title; }
  void SetMessage(const std::string& text) override;
  void SetProgressMax(float maximum) override;
  void SetProgressValue(float value) override;
  void SetButtonCaption(const std::string& caption) override { buttonCaption_ = caption; }
  /// True only when a change now would be drawn now: the window is shown on a
  /// terminal and the last redraw is kRedrawInterval old.
  bool ShowsChangesNow() override;
  /// The message board and the button keep the font; the progress bar has none.
  bool SetControlFont(StatusControl control, const std::string& faceName, int32_t pointSize) override;
  void Unload() override { unloaded_ = true; }
  int64_t Handle() override { return handle_; }

  const std::string& Title() const { return title_; }
  const std::string& Message() const { return message_; }
  float ProgressMax() const { return progressMax_; }
  float ProgressValue() const { return progressValue_; }
  const std::string& ButtonCaption() const { return buttonCaption_; }
  /// The font `control` was given; nullopt when it was given none.
  const std::optional<ControlFont>& Font(StatusControl control) const;
  bool IsUnloaded() const { return unloaded_; }
  /// Where the window reports.
  StatusWindowEvents& Events() const { return events_; }
  /// The window system that made the window.
  const TerminalWindowSystem& System() const { return system_; }

 private:
  TerminalWindowSystem& system_;
  StatusWindowEvents& events_;
  int64_t handle_;
  std::string title_;
  std::string message_;
  float progressMax_ = 100;
  float progressValue_ = 0;
  std::string buttonCaption_;
  std::optional<ControlFont> messageFont_;
  std::optional<ControlFont> buttonFont_;
  bool unloaded_ = false;
};

class TerminalWindowSystem final : public WindowSystem {
 public:
  /// The process's terminal: progress on std::cerr, drawn when stderr is a
  /// terminal, as wide as the terminal says (else $COLUMNS, else 80), timed
  /// by the steady clock.
  explicit TerminalWindowSystem(Console& console);

  /// For tests and other hosts: progress goes to `out`, drawn only when
  /// `isTerminal`, in lines shorter than `columns`, timed by `clock`.
  TerminalWindowSystem(Console& console, std::ostream& out, bool isTerminal, MonotonicClock clock,
                       int columns = 80);
  ~TerminalWindowSystem() override;
  TerminalWindowSystem(const TerminalWindowSystem&) = delete;
  TerminalWindowSystem& operator=(const TerminalWindowSystem&) = delete;

  /// Shows `text` with the icon's word before it; a Yes/No box asks, and
  /// takes `unattended` (0: No) at end of input; any other box returns OK.
  /// A Yes/No box whose text was named with NameQuestion takes an answer
  /// given in advance for that key.
  int32_t MessageBox(const std::string& text, int32_t flags, int32_t unattended = 0) override;
  /// Gives the Yes/No box that shows exactly `text` the key of answers given
  /// in advance (answer_key).
  void NameQuestion(const std::string& text, std::string key) { questionKeys_[text] = std::move(key); }
  /// Turns a Ctrl-C recorded since the last call into a click on the modal
  /// window's button, and draws a status line that is due.
  void DoEvents() override;
  /// A new TerminalStatusWindow.
  std::unique_ptr<StatusWindow> CreateStatusWindow(StatusWindowEvents& events) override;
  /// Shows a window made by this window system (see the file comment);
  /// raises error 5 for any other window.
  void ShowModal(StatusWindow& window) override;
  LogFont DefaultGuiFont() override;
  int32_t LogPixelsY(StatusWindow& window) override;

  /// The console for dialogs: it erases the status line before it shows
  /// anything, and runs the before-input hook before it waits for an answer.
  Console& DialogConsole() { return dialogConsole_; }
  /// What to do before a dialog waits for an answer (the workbench finishes
  /// the store's batch, so that nothing is held while the user thinks).
  void SetBeforeInput(std::function<void()> hook) { beforeInput_ = std::move(hook); }
  /// Erases the status line when it is on screen.
  void ClearProgress();
  /// Puts an erased status line back at once: its content as last drawn, or
  /// anew when a redraw is due (see the file comment).
  void RestoreProgress();
  /// The run has reached operation `current` of `total` (counted by the host
  /// from the selection): from the first operation on, the status line shows
  /// the run's share done, "operation k of N", the time since the modal
  /// window was shown and the time left, before the message. Cleared when
  /// the modal display ends.
  void SetRunProgress(int current, int total);
  /// `done` operations of the run are done (the share the bar shows).
  void SetRunDone(int done);
  /// Stops the run shown: the modal window's button is clicked at the next
  /// DoEvents, as a Ctrl-C clicks it (a host stops a run whose store is gone).
  void StopRun() { stopRequested_ = true; }
  /// Records a Ctrl-C, as the handler does when the signal arrives.
  static void SimulateInterrupt();
  /// Whether a Ctrl-C is recorded and not yet taken: what a wait for
  /// something outside (a database server) gives up on; DoEvents still
  /// takes it as the click that cancels the run.
  static bool InterruptRecorded();

 private:
  friend class TerminalStatusWindow;
  class ModalScope;

  // Forwards to the borrowed console, erasing the status line first.
  class ProgressSafeConsole final : public Console {
   public:
    explicit ProgressSafeConsole(TerminalWindowSystem& system) : system_(system) {}
    std::optional<std::string> ReadLine() override;
    void Write(const std::string& text) override;
    void Tell(const std::string& message, const std::string& cause) override;
    const PresetAnswers* Presets() const override { return system_.console_.Presets(); }

   private:
    TerminalWindowSystem& system_;
  };

  void Changed(const TerminalStatusWindow& window);
  // Whether a change of `window` now would be drawn now.
  bool RedrawDue(const TerminalStatusWindow& window);
  void DrawIfDue();
  void DrawFinal(const TerminalStatusWindow& window);
  void ShowLines(const std::string& text);
  std::string StatusLine(const TerminalStatusWindow& window, bool withMessage) const;
  // "operation k of N, m:ss[, m:ss left]", or "" before the first operation.
  std::string RunPart() const;
  // The share of the run done, from 0 to 1; nullopt when the host tells none.
  std::optional<double> RunShare() const;

  Console& console_;
  ProgressSafeConsole dialogConsole_;
  bool stopRequested_ = false;
  std::ostream& out_;
  bool isTerminal_;
  MonotonicClock clock_;
  int columns_;
  int64_t nextHandle_ = 1;
  TerminalStatusWindow* modal_ = nullptr;
  int modalDepth_ = 0;
  struct sigaction previousAction_ {};
  bool onScreen_ = false;
  bool pending_ = false;
  std::optional<std::chrono::milliseconds> lastDraw_;
  // The time RedrawDue read, for the next DrawIfDue.
  std::optional<std::chrono::milliseconds> checkedAt_;
  std::chrono::milliseconds shownAt_{0};
  int runCurrent_ = 0;
  int runTotal_ = 0;
  int runDone_ = 0;
  // The status line as last drawn, for RestoreProgress.
  std::string lastLine_;
  std::function<void()> beforeInput_;
  std::map<std::string, std::string> questionKeys_;
};

}  // namespace zt::wb
