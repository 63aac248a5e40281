// Tests of the terminal's window system: message boxes, the modal progress
// window with Ctrl-C, drawing on a terminal at a bounded rate (on a fake
// clock), and fonts.
#include "workbench/terminal/TerminalWindows.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <functional>
#include <sstream>
#include <vector>

#include "fakes/ScriptedConsole.h"
#include "support/Error.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

using std::chrono::milliseconds;

constexpr const char* kErase = "\r\x1b[K";

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++count;
  return count;
}

// A console whose output goes into the same stream as the progress, so that
// the order of both can be checked; it has no input.
class SharedConsole : public Console {
 public:
  explicit SharedConsole(std::ostream& out) : out_(out) {}
  std::optional<std::string> ReadLine() override { return std::nullopt; }
  void Write(const std::string& text) override { out_ << text; }

 private:
  std::ostream& out_;
};

// Behaves as the add-in's progress window does: the run happens in
// OnActivate; a click while busy requests cancelling, afterwards it unloads.
class FormEvents : public StatusWindowEvents {
 public:
  void OnActivate() override {
    ++activations;
    busy = true;
    if (run) run();
    busy = false;
  }
  void OnButtonClick() override {
    ++clicks;
    if (busy) {
      cancelRequested = true;
    } else if (unloadOnClick) {
      window->Unload();
    }
  }

  StatusWindow* window = nullptr;
  std::function<void()> run;
  bool busy = false;
  bool cancelRequested = false;
  bool unloadOnClick = true;
  int activations = 0;
  int clicks = 0;
};

class TerminalWindows : public ::testing::Test {
 protected:
  // A window system on the fake clock; `isTerminal` decides whether progress is drawn.
  std::unique_ptr<TerminalWindowSystem> MakeSystem(bool isTerminal, int columns = 80) {
    return std::make_unique<TerminalWindowSystem>(console_, out_, isTerminal, [this] { return now_; }, columns);
  }
  std::unique_ptr<StatusWindow> MakeWindow(TerminalWindowSystem& system) {
    std::unique_ptr<StatusWindow> window = system.CreateStatusWindow(events_);
    events_.window = window.get();
    return window;
  }

  std::ostringstream out_;
  SharedConsole console_{out_};
  milliseconds now_{0};
  FormEvents events_;
};

TEST_F(TerminalWindows, OkBoxesShowTheIconWordAndTheTextAsLines) {
  auto system = MakeSystem(false);
  EXPECT_EQ(system->MessageBox("Cannot open.\r\nCheck the log.\r\n", mb::kCritical), mb::kIdOk);
  EXPECT_EQ(system->MessageBox("Careful\rnow", mb::kExclamation), mb::kIdOk);
  EXPECT_EQ(system->MessageBox("Please specify a compiler.", mb::kInformation), mb::kIdOk);
  EXPECT_EQ(system->MessageBox("plain", mb::kOkOnly), mb::kIdOk);
  EXPECT_EQ(out_.str(), Text(WB_TERM_ICON_ERROR, {"Cannot open.\nCheck the log."}) + "\n" +
                            Text(WB_TERM_ICON_WARNING, {"Careful\nnow"}) + "\n" +
                            Text(WB_TERM_ICON_INFORMATION, {"Please specify a compiler."}) + "\nplain\n");
  EXPECT_EQ(out_.str().find('\r'), std::string::npos);
}

TEST(TerminalMessageBox, YesNoAsksAndTakesTheUnattendedAnswerAtEndOfInput) {
  std::ostringstream out;
  test::ScriptedConsole console({"y", "no", "maybe", "Y"});
  TerminalWindowSystem system(console, out, false, [] { return milliseconds{0}; });
  const int32_t yesNo = mb::kYesNo | mb::kQuestion;
  EXPECT_EQ(system.MessageBox("Edit now ?", yesNo), mb::kIdYes);
  EXPECT_EQ(system.MessageBox("Edit now ?", yesNo), mb::kIdNo);
  EXPECT_EQ(system.MessageBox("Edit now ?", yesNo), mb::kIdYes) << "an unknown answer is asked again";
  EXPECT_EQ(console.Output().find(Text(WB_TERM_ICON_QUESTION, {"Edit now ?"})), 0u) << console.Output();
  // End of input: the unattended answer, No when the caller names none.
  EXPECT_EQ(system.MessageBox("Edit now ?", yesNo), mb::kIdNo);
  EXPECT_EQ(system.MessageBox("Edit now ?", yesNo, mb::kIdYes), mb::kIdYes);
  EXPECT_EQ(console.Reads(), 6);
  // OK boxes never read.
  EXPECT_EQ(system.MessageBox("done", mb::kInformation, mb::kIdYes), mb::kIdOk);
  EXPECT_EQ(console.Reads(), 6);
  EXPECT_TRUE(out.str().empty()) << "message boxes go through the console";
}

TEST(TerminalMessageBox, TheBeforeInputHookRunsBeforeEachAnswerIsRead) {
  std::ostringstream out;
  test::ScriptedConsole console({"maybe", "y"});
  TerminalWindowSystem system(console, out, false, [] { return milliseconds{0}; });
  std::vector<int> readsBefore;
  system.SetBeforeInput([&] { readsBefore.push_back(console.Reads()); });
  EXPECT_EQ(system.MessageBox("Edit now ?", mb::kYesNo | mb::kQuestion), mb::kIdYes);
  EXPECT_EQ(readsBefore, (std::vector<int>{0, 1}));
  EXPECT_EQ(system.MessageBox("done", mb::kInformation), mb::kIdOk);
  EXPECT_EQ(readsBefore.size(), 2u) << "a box that asks nothing waits for nothing";
}

TEST_F(TerminalWindows, ModalDisplayRunsShowsTheClosingTextClicksAndUnloads) {
  auto system = MakeSystem(false);
  auto window = MakeWindow(*system);
  events_.run = [&] {
    EXPECT_EQ(events_.clicks, 0);
    for (int i = 1; i <= 50; ++i) {
      window->SetMessage("Generating op" + std::to_string(i));
      window->SetProgressMax(50);
      window->SetProgressValue(static_cast<float>(i));
      system->DoEvents();
    }
    window->SetMessage("Finished code generation, 2 of 3 test(s) were processed.\r\nCheck Tessel log for details.");
  };
  system->ShowModal(*window);
  EXPECT_EQ(events_.activations, 1);
  EXPECT_EQ(events_.clicks, 1) << "the terminal presses the button once the run is over";
  EXPECT_FALSE(events_.cancelRequested);
  auto& own = dynamic_cast<TerminalStatusWindow&>(*window);
  EXPECT_TRUE(own.IsUnloaded());
  // Not a terminal: the closing text as lines, nothing of the progress.
  EXPECT_EQ(out_.str(),
            "Finished code generation, 2 of 3 test(s) were processed.\nCheck Tessel log for details.\n");

  // A window whose button does not unload it is unloaded all the same.
  FormEvents stubborn;
  stubborn.unloadOnClick = false;
  auto second = system->CreateStatusWindow(stubborn);
  stubborn.window = second.get();
  system->ShowModal(*second);
  EXPECT_EQ(stubborn.clicks, 1);
  EXPECT_TRUE(dynamic_cast<TerminalStatusWindow&>(*second).IsUnloaded());
  EXPECT_NE(second->Handle(), 0);
  EXPECT_NE(second->Handle(), window->Handle());
}

int g_testHandlerCalls = 0;
void CountingHandler(int) { ++g_testHandlerCalls; }

// Installs a counting SIGINT handler for the test and puts back the one before.
class InterruptGuard {
 public:
  InterruptGuard() {
    struct sigaction action {};
    action.sa_handler = CountingHandler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &saved_);
    g_testHandlerCalls = 0;
  }
  ~InterruptGuard() { sigaction(SIGINT, &saved_, nullptr); }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction saved_ {};
};

TEST_F(TerminalWindows, CtrlCDuringTheRunIsAClickOnTheButton) {
  InterruptGuard guard;
  auto system = MakeSystem(false);
  auto window = MakeWindow(*system);
  int clicksBeforeEvents = -1;
  bool cancelSeenByRun = false;
  events_.run = [&] {
    // Two real signals: the window's handler records them; neither kills
    // the process nor reaches the handler installed before.
    raise(SIGINT);
    raise(SIGINT);
    clicksBeforeEvents = events_.clicks;
    system->DoEvents();
    cancelSeenByRun = events_.cancelRequested;
    system->DoEvents();  // nothing new recorded: no second click
    TerminalWindowSystem::SimulateInterrupt();
    system->DoEvents();
  };
  TerminalWindowSystem::SimulateInterrupt();  // before the display: not a click
  system->ShowModal(*window);
  EXPECT_EQ(clicksBeforeEvents, 0) << "a click is taken only by DoEvents";
  EXPECT_TRUE(cancelSeenByRun);
  EXPECT_EQ(events_.clicks, 3) << "two during the run, one by the terminal afterwards";
  EXPECT_EQ(g_testHandlerCalls, 0);

  // The handler from before is back.
  raise(SIGINT);
  EXPECT_EQ(g_testHandlerCalls, 1);
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  EXPECT_EQ(current.sa_handler, &CountingHandler);

  // Without a modal window DoEvents does nothing.
  TerminalWindowSystem::SimulateInterrupt();
  system->DoEvents();
  EXPECT_EQ(events_.clicks, 3);
}

TEST_F(TerminalWindows, AnErrorInTheRunStillRestoresTheHandler) {
  InterruptGuard guard;
  auto system = MakeSystem(true);
  auto window = MakeWindow(*system);
  events_.run = [&] {
    window->SetMessage("working");
    RaiseError(errc::kObjectNotSet);
  };
  EXPECT_THROW(system->ShowModal(*window), ZtError);
  raise(SIGINT);
  EXPECT_EQ(g_testHandlerCalls, 1);
  // The status line did not stay on screen.
  const std::string out = out_.str();
  EXPECT_EQ(out.substr(out.size() - std::string(kErase).size()), kErase);
}

TEST_F(TerminalWindows, OnATerminalTheStatusLineShowsBarPercentAndMessageAndGivesWayToDialogs) {
  auto system = MakeSystem(true);
  auto window = MakeWindow(*system);
  std::string beforeBox;
  events_.run = [&] {
    window->SetMessage("Generating\r\nbank::Account::deposit");
    window->SetProgressMax(4);
    now_ += milliseconds{200};
    window->SetProgressValue(1);
    beforeBox = out_.str();
    system->MessageBox("Please specify a compiler.", mb::kInformation);
    now_ += milliseconds{200};
    system->DoEvents();  // the erased line comes back
    window->SetMessage("Finished code generation, 4 of 4 test(s) were processed.");
    window->SetProgressValue(4);
  };
  system->ShowModal(*window);
  const std::string out = out_.str();
  const std::string bar = Text(WB_TERM_PROGRESS_LINE, {"#####---------------", " 25", "Generating" +
                                                           Text(WB_TERM_LINE_JOIN) + "bank::Account::deposit"});
  EXPECT_EQ(beforeBox.substr(beforeBox.rfind(kErase)), kErase + bar) << beforeBox;
  // The box comes after an erase, never on the status line.
  const std::string box = Text(WB_TERM_ICON_INFORMATION, {"Please specify a compiler."});
  EXPECT_NE(out.find(kErase + bar + kErase + box), std::string::npos) << out;
  EXPECT_NE(out.find(box + "\n" + kErase + bar), std::string::npos) << out;
  // The last state stays as a bar, then the closing text.
  EXPECT_EQ(out.substr(out.rfind(kErase)),
            kErase + Text(WB_TERM_PROGRESS_FINAL, {"####################", "100"}) +
                "\nFinished code generation, 4 of 4 test(s) were processed.\n");
}

TEST_F(TerminalWindows, RedrawsAreBoundedAndTheLastStateIsDrawn) {
  auto system = MakeSystem(true);
  auto window = MakeWindow(*system);
  std::string afterSkipped;
  events_.run = [&] {
    window->SetProgressMax(1000);
    // 1000 updates, one per millisecond: one second of run.
    for (int i = 1; i <= 1000; ++i) {
      now_ += milliseconds{1};
      window->SetMessage("op " + std::to_string(i));
      window->SetProgressValue(static_cast<float>(i));
      system->DoEvents();
    }
    // An update inside the interval is not drawn at once ...
    window->SetMessage("late");
    afterSkipped = out_.str();
    // ... but by DoEvents once the interval has passed.
    now_ += kRedrawInterval;
    system->DoEvents();
  };
  system->ShowModal(*window);
  const std::string out = out_.str();
  const size_t draws = Count(out, kErase);
  EXPECT_GE(draws, 10u);
  EXPECT_LE(draws, 14u) << "about ten redraws a second, plus the final bar";
  EXPECT_EQ(afterSkipped.find("late"), std::string::npos);
  EXPECT_NE(out.find(Text(WB_TERM_PROGRESS_LINE, {"####################", "100", "late"})), std::string::npos);
  EXPECT_NE(out.find(Text(WB_TERM_PROGRESS_FINAL, {"####################", "100"}) + "\nlate\n"), std::string::npos);
}

TEST_F(TerminalWindows, ChangesAreShownNowOnlyWhenARedrawIsDue) {
  auto plain = MakeSystem(false);
  auto plainWindow = MakeWindow(*plain);
  bool plainAnswer = true;
  events_.run = [&] { plainAnswer = plainWindow->ShowsChangesNow(); };
  plain->ShowModal(*plainWindow);
  EXPECT_FALSE(plainAnswer) << "shown, but not on a terminal";

  events_ = FormEvents();
  auto system = MakeSystem(true);
  auto window = MakeWindow(*system);
  std::vector<bool> answers;
  events_.run = [&] {
    answers.push_back(window->ShowsChangesNow());  // nothing drawn yet
    window->SetMessage("one");                     // drawn
    answers.push_back(window->ShowsChangesNow());
    now_ += kRedrawInterval - milliseconds{1};
    answers.push_back(window->ShowsChangesNow());
    now_ += milliseconds{1};
    answers.push_back(window->ShowsChangesNow());
  };
  EXPECT_FALSE(window->ShowsChangesNow()) << "not shown yet";
  system->ShowModal(*window);
  EXPECT_EQ(answers, (std::vector<bool>{true, false, false, true}));
  EXPECT_FALSE(window->ShowsChangesNow()) << "no longer shown";
}

TEST_F(TerminalWindows, TheStatusLineShowsTheRunsShareTheTimeAndTheTimeLeft) {
  auto system = MakeSystem(true, 200);
  auto window = MakeWindow(*system);
  system->SetRunProgress(0, 4);
  std::string beforeFirst;
  std::string atSecond;
  std::string atThird;
  const std::string join = Text(WB_TERM_LINE_JOIN);
  events_.run = [&] {
    window->SetMessage("Generating");
    beforeFirst = out_.str();
    now_ += milliseconds{200};
    system->SetRunProgress(1, 4);
    // The add-in's figure for its template is not the run's: the bar stays.
    window->SetProgressValue(50);
    now_ += milliseconds{60'000};
    system->SetRunDone(1);
    system->SetRunProgress(2, 4);
    now_ += milliseconds{100};
    system->DoEvents();
    atSecond = out_.str();
    now_ += milliseconds{1'000};
    window->SetProgressValue(2);  // back to a small figure for the next template
    system->SetRunDone(2);
    system->SetRunProgress(3, 4);
    now_ += milliseconds{100};
    system->DoEvents();
    atThird = out_.str();
    // Several operations in one redraw interval: one line at most.
    system->SetRunDone(3);
    system->SetRunProgress(4, 4);
    system->SetRunDone(4);
  };
  system->ShowModal(*window);
  const std::string out = out_.str();
  EXPECT_EQ(beforeFirst.find("of 4"), std::string::npos) << "nothing before the first operation";
  EXPECT_NE(out.find(Text(WB_TERM_PROGRESS_LINE,
                          {"--------------------", "  0", "operation 1 of 4, 0:00" + join + "Generating"})),
            std::string::npos)
      << out;
  // One of four done after 60.3 s: three more take 3:01.
  EXPECT_EQ(atSecond.substr(atSecond.rfind(kErase)),
            kErase + Text(WB_TERM_PROGRESS_LINE,
                          {"#####---------------", " 25", "operation 2 of 4, 1:00, 3:01 left" + join + "Generating"}));
  EXPECT_EQ(atThird.substr(atThird.rfind(kErase)),
            kErase + Text(WB_TERM_PROGRESS_LINE,
                          {"##########----------", " 50", "operation 3 of 4, 1:01, 1:02 left" + join + "Generating"}));
  EXPECT_EQ(Count(out, "operation 4 of 4"), 1u) << "only the final bar: the redraw bound holds";
  EXPECT_EQ(out.substr(out.rfind(kErase)),
            kErase + Text(WB_TERM_PROGRESS_LINE, {"####################", "100", "operation 4 of 4, 1:01, 0:00 left"}) +
                "\nGenerating\n");
  // The percentages only grow, whatever the add-in's figure did.
  int last = -1;
  for (size_t at = out.find("] "); at != std::string::npos; at = out.find("] ", at + 1)) {
    const int percent = std::stoi(out.substr(at + 2, 3));
    EXPECT_GE(percent, last) << out;
    last = percent;
  }
  // The next modal display starts without a count.
  out_.str("");
  events_.run = [&] { window->SetMessage("again"); };
  system->ShowModal(*window);
  EXPECT_EQ(out_.str().find("operation"), std::string::npos) << out_.str();
}

// The host's log lines and the dialogs' messages go above the status line,
// which comes back below them at once (its content redrawn only when due);
// a question waits without it.
TEST_F(TerminalWindows, TheStatusLineStaysBelowLogLinesAndMessages) {
  auto system = MakeSystem(true);
  auto window = MakeWindow(*system);
  std::string afterLog;
  std::string afterQuestion;
  events_.run = [&] {
    window->SetMessage("one");
    const std::string line = Text(WB_TERM_PROGRESS_FINAL, {"--------------------", "  0"}) + " one";
    for (int i = 0; i < 3; ++i) {
      now_ += milliseconds{10};
      window->SetMessage("two");  // not due: the line stays as drawn
      system->ClearProgress();
      out_ << "log line " << i << "\n";
      system->RestoreProgress();
    }
    afterLog = out_.str();
    EXPECT_EQ(afterLog.substr(afterLog.rfind("log line 2\n")), "log line 2\n" + std::string(kErase) + line);
    EXPECT_EQ(Count(afterLog, line), 4u) << "drawn once, put back after each log line";
    now_ += kRedrawInterval;
    system->ClearProgress();
    out_ << "log line 3\n";
    system->RestoreProgress();
    EXPECT_EQ(out_.str().substr(out_.str().rfind(kErase)),
              kErase + Text(WB_TERM_PROGRESS_FINAL, {"--------------------", "  0"}) + " two")
        << "a redraw that is due draws the content anew";
    system->DialogConsole().Write("a message\n");
    EXPECT_EQ(out_.str().substr(out_.str().rfind("a message")).find(kErase), std::string("a message\n").size());
    system->DialogConsole().Tell("a failure", "a cause");
    EXPECT_NE(out_.str().find("a failure\n" + std::string(kErase)), std::string::npos);
    system->DialogConsole().Write("Replace it? [y]es, [n]o: ");
    afterQuestion = out_.str();
  };
  system->ShowModal(*window);
  EXPECT_EQ(afterQuestion.substr(afterQuestion.size() - 6), "[n]o: ") << "the question waits at the end";
}

TEST_F(TerminalWindows, StatusLinesNeverWrap) {
  auto system = MakeSystem(true, 30);
  auto window = MakeWindow(*system);
  events_.run = [&] { window->SetMessage("an operation — with a rather long qualified name that goes on"); };
  system->ShowModal(*window);
  const std::string out = out_.str();
  const size_t start = out.find(kErase) + 4;
  const std::string line = out.substr(start, out.find(kErase, start) - start);
  size_t characters = 0;
  for (char c : line) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  EXPECT_EQ(characters, 29u) << line;
  EXPECT_EQ(line.rfind("[", 0), 0u) << line;
}

TEST_F(TerminalWindows, FontsFollowTheControlsAndTheEnvironment) {
  auto system = MakeSystem(false);
  auto window = MakeWindow(*system);
  EXPECT_TRUE(window->SetControlFont(StatusControl::kMessageBoard, "Sans", 8));
  EXPECT_TRUE(window->SetControlFont(StatusControl::kCloseButton, "Serif", 9));
  EXPECT_FALSE(window->SetControlFont(StatusControl::kProgressBar, "Sans", 8));
  EXPECT_EQ(dynamic_cast<TerminalStatusWindow&>(*window).Font(StatusControl::kCloseButton)->faceName, "Serif");

  // The test environment sets neither variable.
  const auto font = [&](const char* setting) {
    if (setting != nullptr) ::setenv("ZTUNITTEST_FONT", setting, 1);
    const LogFont got = system->DefaultGuiFont();
    ::unsetenv("ZTUNITTEST_FONT");
    return got.faceName + ":" + std::to_string(got.lfHeight);
  };
  const std::string standardFace = Text(WB_TERM_FONT_FACE);
  EXPECT_EQ(font(nullptr), standardFace + ":-11");
  EXPECT_EQ(font("Mono:14"), "Mono:-14");
  EXPECT_EQ(font("DejaVu Serif"), "DejaVu Serif:-11");
  EXPECT_EQ(font("Mono:big"), standardFace + ":-11") << "an unusable setting is ignored";
  EXPECT_EQ(system->LogPixelsY(*window), 96);
  ::setenv("ZTUNITTEST_DPI", "120", 1);
  EXPECT_EQ(system->LogPixelsY(*window), 120);
  ::unsetenv("ZTUNITTEST_DPI");
}

}  // namespace
}  // namespace zt::wb
