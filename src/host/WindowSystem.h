// The platform's windowing, as the add-in uses it: message boxes, letting
// queued window events run, the modal progress window, and the default
// GUI font. Everything runs on the host's one user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zt {

/// Message-box flags and answers.
namespace mb {
inline constexpr int32_t kOkOnly = 0;
inline constexpr int32_t kYesNo = 4;
inline constexpr int32_t kCritical = 16;
inline constexpr int32_t kQuestion = 32;
inline constexpr int32_t kExclamation = 48;
inline constexpr int32_t kInformation = 64;
inline constexpr int32_t kIdOk = 1;
inline constexpr int32_t kIdYes = 6;
inline constexpr int32_t kIdNo = 7;
}  // namespace mb

/// The controls of the progress window.
enum class StatusControl { kMessageBoard, kProgressBar, kCloseButton };

/// What the progress window tells its owner.
class StatusWindowEvents {
 public:
  virtual ~StatusWindowEvents() = default;
  /// The window has become active (once, when it is first shown).
  virtual void OnActivate() = 0;
  /// The window's one button was clicked.
  virtual void OnButtonClick() = 0;
};

/// The progress window as the window system shows it.
class StatusWindow {
 public:
  virtual ~StatusWindow() = default;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetMessage(const std::string& text) = 0;
  virtual void SetProgressMax(float maximum) = 0;
  virtual void SetProgressValue(float value) = 0;
  virtual void SetButtonCaption(const std::string& caption) = 0;
  /// Whether a change made now would be shown now. A window that shows every
  /// change answers true; one that redraws at intervals answers false in
  /// between, and its owner may then leave changes out until it answers true.
  virtual bool ShowsChangesNow() { return true; }
  /// Gives a control a font; false when the control has none.
  virtual bool SetControlFont(StatusControl control, const std::string& faceName, int32_t pointSize) = 0;
  /// Ends the modal display.
  virtual void Unload() = 0;
  /// The window's handle, for dialogs it owns.
  virtual int64_t Handle() = 0;
};

/// The platform's default GUI font.
struct LogFont {
  int32_t lfHeight = 0;
  std::string faceName;  // in the ANSI code page
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  /// Shows a message box with the default title; returns the answer
  /// (mb::kId*). A window system that cannot ask anybody (no input left)
  /// answers `unattended`; 0 means the answer that changes nothing: OK for
  /// an OK box, No for a Yes/No box.
  virtual int32_t MessageBox(const std::string& text, int32_t flags, int32_t unattended = 0) = 0;
  /// Lets queued window events run (a click on a window's button, say).
  virtual void DoEvents() = 0;
  /// A new, hidden progress window that reports to `events`.
  virtual std::unique_ptr<StatusWindow> CreateStatusWindow(StatusWindowEvents& events) = 0;
  /// Shows `window` modally: activates it and returns when it is unloaded.
  virtual void ShowModal(StatusWindow& window) = 0;
  /// The default GUI font.
  virtual LogFont DefaultGuiFont() = 0;
  /// Pixels per logical inch, vertically, of the window's device.
  virtual int32_t LogPixelsY(StatusWindow& window) = 0;
};

}  // namespace zt
