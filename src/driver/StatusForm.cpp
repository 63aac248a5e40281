#include "driver/StatusForm.h"

#include <cstdlib>

#include "driver/CodeFactory.h"
#include "driver/GenerationRun.h"
#include "host/Components.h"
#include "support/DynamicResources.h"
#include "support/modErrorHandling.h"

namespace zt {

namespace {

// Runs one step of the window's own work; a failing step is skipped.
template <class Step>
void Skippable(Step step) {
  try {
    step();
  } catch (...) {
  }
}

constexpr float kDesignMaximum = 100;

}  // namespace

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t half = std::llabs(c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

StatusForm::~StatusForm() {
  if (processor_ != nullptr) processor_->RemoveListener(this);
}

void StatusForm::Show() {
  WindowSystem& windows = Components().Windows();
  window_ = windows.CreateStatusWindow(*this);
  window_->SetTitle(GetResString(IDS_WINDOW_TITLE));
  window_->SetMessage(GetResString(IDS_STATUS_IN_PROGRESS));
  window_->SetProgressMax(kDesignMaximum);
  window_->SetProgressValue(0);
  window_->SetButtonCaption(GetResString(IDS_BUTTON_CANCEL));
  if (processor_ != nullptr) processor_->AddListener(this);
  CurrentRun().ProgressWindow = window_->Handle();
  struct Cleanup {
    StatusForm& form;
    ~Cleanup() {
      CurrentRun().ProgressWindow = 0;
      if (form.processor_ != nullptr) form.processor_->RemoveListener(&form);
    }
  } cleanup{*this};
  windows.ShowModal(*window_);
}

void StatusForm::ApplyDefaultFont() {
  WindowSystem& windows = Components().Windows();
  const LogFont font = windows.DefaultGuiFont();
  const int32_t size = -MulDiv(font.lfHeight, 72, windows.LogPixelsY(*window_));
  for (StatusControl control :
       {StatusControl::kMessageBoard, StatusControl::kProgressBar, StatusControl::kCloseButton}) {
    // A control without a font is passed over.
    window_->SetControlFont(control, font.faceName, size);
  }
}

void StatusForm::OnActivate() {
  Skippable([this] { ApplyDefaultFont(); });
  RunGeneration();
}

void StatusForm::RunGeneration() {
  RunState& run = CurrentRun();
  Skippable([&] {
    run.DatapoolsCreated = 0;
    run.FirstDatapoolName.clear();
    run.ResourceCompilerPath.clear();
    busy_ = true;
    if (LogTarget() == nullptr) SetLogTarget(application_);
    LetWindowEventsRun();
  });

  int32_t totalGen = 0;
  int32_t totalOps = 0;
  bool result = false;
  Skippable([&] { result = Ref(factory_).GenerateSelectedItems(Ref(application_).CurrentModel(), totalGen, totalOps); });
  busy_ = false;
  // The bar shows where the run ended, as if the window had been given every line.
  if (unshownProgress_) {
    Skippable([this] {
      window_->SetProgressMax(unshownProgress_->denominator);
      window_->SetProgressValue(unshownProgress_->numerator);
    });
    unshownProgress_.reset();
  }

  std::string text;
  Skippable([&] {
    const std::string crlf = GetResString(IDS_CRLF);
    const std::string finished =
        FormatResString2(IDS_CLOSING_FINISHED, std::to_string(totalGen), std::to_string(totalOps));
    if (totalOps != 0 && result) {
      text = finished;
      if (run.DatapoolsCreated >= 1 &&
          ShowMessage(GetResString(IDS_MSG_EDIT_DATAPOOLS), mb::kYesNo | mb::kQuestion) == mb::kIdYes &&
          IsSharedDataStoreOpen()) {
        DataStore& store = Ref(Ref(processor_).DataStore);
        if (run.DatapoolsCreated == 1) {
          SharedDatapoolTool().EditDatapool(0, store.Connection(), run.FirstDatapoolName, 0);
        } else {
          std::unique_ptr<DatapoolExplorer> explorer = Components().CreateDatapoolExplorer();
          Ref(explorer->GetView(GetResString(IDS_DATAPOOL_VIEW))).Show(0, store.Connection());
        }
      }
    } else if (totalOps != 0) {
      text = finished + crlf + GetResString(IDS_CLOSING_CHECK_LOG);
    } else if (Ref(processor_).UserCanceled) {
      text = GetResString(IDS_CLOSING_CANCELED) + crlf + FormatResString1(IDS_CLOSING_SCRIPTS_GENERATED, std::to_string(totalGen));
    } else {
      text = GetResString(IDS_CLOSING_NO_OPERATIONS);
    }
  });
  Skippable([&] {
    window_->SetMessage(text);
    if (totalOps > 0) window_->SetProgressMax(static_cast<float>(totalOps));
    if (totalGen > 0) window_->SetProgressValue(static_cast<float>(totalGen));
    window_->SetButtonCaption(GetResString(IDS_BUTTON_CLOSE));
  });
  Skippable([] { SharedDatapoolTool().SetOverwrite(false); });
  SetLastRunOutcome({true, result, totalGen, totalOps, processor_ != nullptr && processor_->UserCanceled});
}

void StatusForm::OnButtonClick() {
  if (busy_) {
    cancelRequested_ = true;
    if (processor_ != nullptr) processor_->UserCanceled = true;
    return;
  }
  if (window_) window_->Unload();
}

void StatusForm::UpdateLineStatus(const LineStatus& status, bool& bCancel) {
  if (window_->ShowsChangesNow()) {
    unshownProgress_.reset();
    UpdateStatus(status.Message(), static_cast<float>(status.Line()), static_cast<float>(status.Total()), bCancel);
    return;
  }
  unshownProgress_ = Progress{static_cast<float>(status.Line()), static_cast<float>(status.Total())};
  LetWindowEventsRun();
  bCancel = cancelRequested_;
}

void StatusForm::UpdateStatus(const std::string& message, float numerator, float denominator, bool& bCancel) {
  unshownProgress_.reset();
  window_->SetMessage(message);
  window_->SetProgressMax(denominator);
  window_->SetProgressValue(numerator);
  LetWindowEventsRun();
  bCancel = cancelRequested_;
}

}  // namespace zt
