// The progress window in which every generation run happens. When it
// becomes active it runs the generation of the open model's selection; while
// the run goes on it shows the processor's progress and its one button
// cancels; afterwards it shows the closing text and the button closes it.
//
// The window borrows the application, the factory and the processor for as
// long as it is shown; it listens to the processor's UpdateStatus.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "host/WindowSystem.h"
#include "template/TemplateProcessor.h"

namespace zt {

class CodeFactory;
class TesselApplication;

class StatusForm : public StatusWindowEvents, public TemplateProcessorListener {
 public:
  StatusForm() = default;
  StatusForm(const StatusForm&) = delete;
  StatusForm& operator=(const StatusForm&) = delete;
  ~StatusForm() override;

  void SetApplication(TesselApplication* application) { application_ = application; }
  void SetFactory(CodeFactory* factory) { factory_ = factory; }
  void SetProcessor(TemplateProcessor* processor) { processor_ = processor; }

  /// Shows the window modally; returns when it is closed. Raises what the
  /// window system raises when it cannot show a window.
  void Show();

  void OnActivate() override;
  void OnButtonClick() override;
  void UpdateStatus(const std::string& message, float numerator, float denominator, bool& bCancel) override;
  /// UpdateStatus when the window shows changes now; otherwise only lets
  /// window events run and reads the cancel request, and keeps the numbers
  /// for the end of the run.
  void UpdateLineStatus(const LineStatus& status, bool& bCancel) override;

  bool CancelRequested() const { return cancelRequested_; }
  bool Busy() const { return busy_; }

 private:
  void ApplyDefaultFont();
  void RunGeneration();

  TesselApplication* application_ = nullptr;
  CodeFactory* factory_ = nullptr;
  TemplateProcessor* processor_ = nullptr;
  std::unique_ptr<StatusWindow> window_;
  bool cancelRequested_ = false;
  bool busy_ = false;
  // The progress of the last line status the window was not given.
  struct Progress {
    float numerator;
    float denominator;
  };
  std::optional<Progress> unshownProgress_;
};

/// MulDiv: a * b / c rounded to the nearest integer, halves away from zero.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

}  // namespace zt
