#include "support/modErrorHandling.h"

#include "host/TesselModel.h"
#include "support/DynamicResources.h"

namespace zt {

namespace {
TesselApplication* g_logTarget = nullptr;
}  // namespace

void SetLogTarget(TesselApplication* application) { g_logTarget = application; }

TesselApplication* LogTarget() { return g_logTarget; }

void WriteLogLine(const std::string& text) {
  if (g_logTarget == nullptr) return;
  g_logTarget->WriteLog(text);
}

void LogMessage(const std::string& text) {
  if (g_logTarget == nullptr) return;
  g_logTarget->WriteLog(GetResString(IDS_LOG_PREFIX) + text);
}

std::string SignedNumberText(int64_t number) {
  return number < 0 ? std::to_string(number) : " " + std::to_string(number);
}

void ReportError(const ZtError* error, const std::string& message) {
  if (error == nullptr || error->Number() == 0) return;
  if (!message.empty()) LogMessage(message);
  LogMessage(FormatResString2(IDS_ERROR_NUMBER, SignedNumberText(error->Number()), error->Description()));
}

}  // namespace zt
