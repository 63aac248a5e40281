// The terminal's window system (see TerminalWindows.h).
#include "workbench/terminal/TerminalWindows.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <utility>
#include <vector>

#include "support/Error.h"
#include "support/Text.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

// Ctrl-Cs recorded by the handler and not yet taken by DoEvents. A lock-free
// atomic is safe to store from a signal handler.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

void RecordInterrupt(int) { g_interrupts.store(1, std::memory_order_relaxed); }

// Back to the start of the line, and clear it.
constexpr const char* kEraseLine = "\r\x1b[K";
constexpr int kBarCells = 20;
constexpr int kPercentWidth = 3;
constexpr int32_t kDefaultFontHeight = -11;
constexpr int32_t kDefaultLogPixelsY = 96;
constexpr int kDefaultColumns = 80;

// Asked at every change of the progress window (several times per template
// line): the coarse monotonic clock costs a fifth of the precise one, and its
// few milliseconds of resolution are plenty for redraws 100 ms apart.
std::chrono::milliseconds SteadyNow() {
  timespec now{};
  if (::clock_gettime(CLOCK_MONOTONIC_COARSE, &now) != 0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  }
  return std::chrono::milliseconds(static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

// A whole number from `low` to `high` written in decimal digits only, or nullopt.
std::optional<int> ParseNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    if (const std::optional<int> value = ParseNumber(columns, 1, 10000)) return *value;
  }
  return kDefaultColumns;
}

// The lines of `text`, which may end its lines with LF, CR LF or CR;
// trailing empty lines are dropped.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  lines.push_back(line);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// `text` cut to at most `length` characters (UTF-8 code points).
std::string Truncated(const std::string& text, int length) {
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (count++ == length) return text.substr(0, i);
  }
  return text;
}

std::string Repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

// The word of the box's icon before `text`, or `text` alone.
std::string WithIcon(int32_t flags, const std::string& text) {
  switch (flags & 0x70) {
    case mb::kCritical: return Text(WB_TERM_ICON_ERROR, {text});
    case mb::kQuestion: return Text(WB_TERM_ICON_QUESTION, {text});
    case mb::kExclamation: return Text(WB_TERM_ICON_WARNING, {text});
    case mb::kInformation: return Text(WB_TERM_ICON_INFORMATION, {text});
    default: return text;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The status window

TerminalStatusWindow::TerminalStatusWindow(TerminalWindowSystem& system, StatusWindowEvents& events, int64_t handle)
    : system_(system), events_(events), handle_(handle) {}

void TerminalStatusWindow::SetMessage(const std::string& text) {
  message_ = text;
  system_.Changed(*this);
}

void TerminalStatusWindow::SetProgressMax(float maximum) {
  progressMax_ = maximum;
  system_.Changed(*this);
}

void TerminalStatusWindow::SetProgressValue(float value) {
  progressValue_ = value;
  system_.Changed(*this);
}

bool TerminalStatusWindow::ShowsChangesNow() { return system_.RedrawDue(*this); }

bool TerminalStatusWindow::SetControlFont(StatusControl control, const std::string& faceName, int32_t pointSize) {
  switch (control) {
    case StatusControl::kMessageBoard: messageFont_ = ControlFont{faceName, pointSize}; return true;
    case StatusControl::kCloseButton: buttonFont_ = ControlFont{faceName, pointSize}; return true;
    case StatusControl::kProgressBar: return false;
  }
  return false;
}

const std::optional<ControlFont>& TerminalStatusWindow::Font(StatusControl control) const {
  static const std::optional<ControlFont> kNone;
  switch (control) {
    case StatusControl::kMessageBoard: return messageFont_;
    case StatusControl::kCloseButton: return buttonFont_;
    case StatusControl::kProgressBar: return kNone;
  }
  return kNone;
}

// ---------------------------------------------------------------------------
// The modal display: the window shown, the Ctrl-C handler installed.

class TerminalWindowSystem::ModalScope {
 public:
  ModalScope(TerminalWindowSystem& system, TerminalStatusWindow& window) : system_(system), outer_(system.modal_) {
    if (system_.modalDepth_++ == 0) {
      g_interrupts.store(0);
      system_.stopRequested_ = false;
      struct sigaction action {};
      action.sa_handler = RecordInterrupt;
      sigemptyset(&action.sa_mask);
      // A read in progress goes on after the signal instead of failing.
      action.sa_flags = SA_RESTART;
      installed_ = ::sigaction(SIGINT, &action, &system_.previousAction_) == 0;
    }
    system_.modal_ = &window;
    system_.pending_ = false;
    system_.lastDraw_.reset();
    system_.checkedAt_.reset();
    system_.lastLine_.clear();
    if (system_.modalDepth_ == 1) system_.shownAt_ = system_.clock_();
  }

  ~ModalScope() {
    system_.ClearProgress();
    system_.pending_ = false;
    system_.modal_ = outer_;
    if (--system_.modalDepth_ == 0) {
      system_.runCurrent_ = 0;
      system_.runTotal_ = 0;
      system_.runDone_ = 0;
      if (installed_) ::sigaction(SIGINT, &system_.previousAction_, nullptr);
    }
  }

  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  TerminalWindowSystem& system_;
  TerminalStatusWindow* outer_;
  bool installed_ = false;
};

// ---------------------------------------------------------------------------
// The window system

TerminalWindowSystem::TerminalWindowSystem(Console& console)
    : TerminalWindowSystem(console, std::cerr, ::isatty(STDERR_FILENO) != 0, SteadyNow, TerminalColumns()) {}

TerminalWindowSystem::TerminalWindowSystem(Console& console, std::ostream& out, bool isTerminal, MonotonicClock clock,
                                           int columns)
    : console_(console),
      dialogConsole_(*this),
      out_(out),
      isTerminal_(isTerminal),
      clock_(std::move(clock)),
      columns_(columns < 2 ? 2 : columns) {}

TerminalWindowSystem::~TerminalWindowSystem() = default;

std::optional<std::string> TerminalWindowSystem::ProgressSafeConsole::ReadLine() {
  if (system_.beforeInput_) system_.beforeInput_();
  return system_.console_.ReadLine();
}

void TerminalWindowSystem::ProgressSafeConsole::Write(const std::string& text) {
  system_.ClearProgress();
  system_.console_.Write(text);
  // A message that ended its line gives the status line back; a question
  // waits for its answer where it is.
  if (!text.empty() && text.back() == '\n') system_.RestoreProgress();
}

void TerminalWindowSystem::ProgressSafeConsole::Tell(const std::string& message, const std::string& cause) {
  system_.ClearProgress();
  system_.console_.Tell(message, cause);
  system_.RestoreProgress();
}

int32_t TerminalWindowSystem::MessageBox(const std::string& text, int32_t flags, int32_t unattended) {
  const std::string shown = WithIcon(flags, Joined(SplitLines(text), "\n"));
  if ((flags & 7) == mb::kYesNo) {
    Question question{
        shown,
        {{Text(WB_ANSWER_YES), mb::kIdYes, answer_word::kYes}, {Text(WB_ANSWER_NO), mb::kIdNo, answer_word::kNo}},
        unattended == 0 ? mb::kIdNo : unattended,
        {}};
    if (const auto named = questionKeys_.find(text); named != questionKeys_.end()) question.key = named->second;
    return Ask(dialogConsole_, question);
  }
  dialogConsole_.Write(shown + "\n");
  return mb::kIdOk;
}

void TerminalWindowSystem::DoEvents() {
  if (modal_ == nullptr) return;
  const bool interrupted = g_interrupts.exchange(0) != 0;
  if (interrupted || std::exchange(stopRequested_, false)) modal_->Events().OnButtonClick();
  DrawIfDue();
}

std::unique_ptr<StatusWindow> TerminalWindowSystem::CreateStatusWindow(StatusWindowEvents& events) {
  return std::make_unique<TerminalStatusWindow>(*this, events, nextHandle_++);
}

void TerminalWindowSystem::ShowModal(StatusWindow& window) {
  auto* own = dynamic_cast<TerminalStatusWindow*>(&window);
  if (own == nullptr || &own->System() != this) RaiseError(errc::kInvalidCall);
  {
    ModalScope scope(*this, *own);
    own->Events().OnActivate();
    // The run is over. Nobody is there to read the window and press its
    // button: show how the run ended, then press it.
    DrawFinal(*own);
    ShowLines(own->Message());
    if (!own->IsUnloaded()) own->Events().OnButtonClick();
  }
  own->Unload();
}

LogFont TerminalWindowSystem::DefaultGuiFont() {
  LogFont font;
  font.faceName = Text(WB_TERM_FONT_FACE);
  font.lfHeight = kDefaultFontHeight;
  const char* setting = std::getenv("ZTUNITTEST_FONT");
  if (setting == nullptr || *setting == '\0') return font;
  const std::string value = setting;
  const size_t colon = value.rfind(':');
  const std::string face = value.substr(0, colon);
  if (colon != std::string::npos) {
    const std::optional<int> pixels = ParseNumber(value.substr(colon + 1), 1, 1000);
    if (!pixels) return font;
    font.lfHeight = -*pixels;
  }
  if (!face.empty()) font.faceName = face;
  return font;
}

int32_t TerminalWindowSystem::LogPixelsY(StatusWindow&) {
  const char* setting = std::getenv("ZTUNITTEST_DPI");
  if (setting == nullptr) return kDefaultLogPixelsY;
  return ParseNumber(setting, 1, 10000).value_or(kDefaultLogPixelsY);
}

void TerminalWindowSystem::ClearProgress() {
  checkedAt_.reset();
  if (!onScreen_) return;
  out_ << kEraseLine << std::flush;
  onScreen_ = false;
  // What was erased comes back with the next redraw.
  pending_ = true;
}

void TerminalWindowSystem::RestoreProgress() {
  if (onScreen_ || !pending_ || modal_ == nullptr || !isTerminal_ || lastLine_.empty()) return;
  checkedAt_ = clock_();
  if (lastDraw_ && *checkedAt_ - *lastDraw_ >= kRedrawInterval) {
    DrawIfDue();
    return;
  }
  checkedAt_.reset();
  // The content as it was; it stays pending for the next redraw that is due.
  out_ << kEraseLine << lastLine_ << std::flush;
  onScreen_ = true;
}

void TerminalWindowSystem::SimulateInterrupt() { RecordInterrupt(SIGINT); }

bool TerminalWindowSystem::InterruptRecorded() { return g_interrupts.load(std::memory_order_relaxed) != 0; }

void TerminalWindowSystem::SetRunProgress(int current, int total) {
  runCurrent_ = current;
  runTotal_ = total;
  if (modal_ != nullptr) Changed(*modal_);
}

void TerminalWindowSystem::SetRunDone(int done) {
  runDone_ = done;
  if (modal_ != nullptr) Changed(*modal_);
}

std::optional<double> TerminalWindowSystem::RunShare() const {
  if (runCurrent_ < 1 || runTotal_ < 1 || modal_ == nullptr) return std::nullopt;
  return std::clamp(static_cast<double>(runDone_) / runTotal_, 0.0, 1.0);
}

std::string TerminalWindowSystem::RunPart() const {
  if (runCurrent_ < 1 || modal_ == nullptr) return {};
  const auto time = [](int64_t seconds) {
    const auto two = [](int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return seconds >= 3600 ? Text(WB_TERM_ELAPSED_HOURS,
                                  {std::to_string(seconds / 3600), two(seconds / 60 % 60), two(seconds % 60)})
                           : Text(WB_TERM_ELAPSED, {std::to_string(seconds / 60), two(seconds % 60)});
  };
  const int64_t elapsed = std::chrono::duration_cast<std::chrono::seconds>(clock_() - shownAt_).count();
  const std::string current = std::to_string(runCurrent_);
  const std::string total = std::to_string(runTotal_);
  // The time left, from the pace of the operations done so far.
  if (runDone_ < 1 || runDone_ > runTotal_) return Text(WB_TERM_RUN_PROGRESS, {current, total, time(elapsed)});
  const auto clockNow = std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - shownAt_).count();
  const int64_t left = (clockNow * (runTotal_ - runDone_) / runDone_ + 999) / 1000;
  return Text(WB_TERM_RUN_PROGRESS_LEFT, {current, total, time(elapsed), time(left)});
}

void TerminalWindowSystem::Changed(const TerminalStatusWindow& window) {
  if (&window != modal_ || !isTerminal_) return;
  pending_ = true;
  DrawIfDue();
}

bool TerminalWindowSystem::RedrawDue(const TerminalStatusWindow& window) {
  if (&window != modal_ || !isTerminal_) return false;
  if (!lastDraw_) return true;
  checkedAt_ = clock_();
  return *checkedAt_ - *lastDraw_ >= kRedrawInterval;
}

void TerminalWindowSystem::DrawIfDue() {
  if (!pending_ || modal_ == nullptr || !isTerminal_) return;
  // The progress window asks whether a redraw is due, then lets events run,
  // for every template line: the clock read for the question serves here.
  const std::chrono::milliseconds now = checkedAt_ ? *checkedAt_ : clock_();
  checkedAt_.reset();
  if (lastDraw_ && now - *lastDraw_ < kRedrawInterval) return;
  lastLine_ = StatusLine(*modal_, true);
  out_ << kEraseLine << lastLine_ << std::flush;
  onScreen_ = true;
  pending_ = false;
  lastDraw_ = now;
}

void TerminalWindowSystem::DrawFinal(const TerminalStatusWindow& window) {
  if (!isTerminal_) return;
  // The bar stays on screen; the message follows as lines of its own.
  out_ << kEraseLine << StatusLine(window, false) << '\n' << std::flush;
  onScreen_ = false;
  pending_ = false;
}

void TerminalWindowSystem::ShowLines(const std::string& text) {
  const std::vector<std::string> lines = SplitLines(text);
  if (lines.empty()) return;
  ClearProgress();
  out_ << Joined(lines, "\n") << '\n' << std::flush;
}

std::string TerminalWindowSystem::StatusLine(const TerminalStatusWindow& window, bool withMessage) const {
  // The run's own share when the host tells it; the add-in's figure (for the
  // template in hand) only without.
  double fraction = 0;
  if (const std::optional<double> share = RunShare()) {
    fraction = *share;
  } else if (window.ProgressMax() > 0) {
    fraction = static_cast<double>(window.ProgressValue()) / window.ProgressMax();
  }
  fraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
  const int done = static_cast<int>(std::lround(fraction * kBarCells));
  const std::string bar = Repeated("#", done) + Repeated("-", kBarCells - done);
  std::string percent = std::to_string(static_cast<int>(std::floor(fraction * 100 + 1e-9)));
  percent.insert(0, static_cast<size_t>(std::max(0, kPercentWidth - static_cast<int>(percent.size()))), ' ');
  std::string line;
  const std::string run = RunPart();
  if (withMessage) {
    std::vector<std::string> lines = SplitLines(window.Message());
    std::erase_if(lines, [](const std::string& l) { return l.empty(); });
    if (!run.empty()) lines.insert(lines.begin(), run);
    line = Text(WB_TERM_PROGRESS_LINE, {bar, percent, Joined(lines, Text(WB_TERM_LINE_JOIN))});
  } else {
    line =
        run.empty() ? Text(WB_TERM_PROGRESS_FINAL, {bar, percent}) : Text(WB_TERM_PROGRESS_LINE, {bar, percent, run});
  }
  // One character short of the width, so that the line never wraps and the
  // erase clears all of it.
  return Truncated(line, columns_ - 1);
}

}  // namespace zt::wb
