#include "template/TemplateProcessor.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "driver/RunState.h"
#include "host/FileSystem.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"
#include "support/modErrorHandling.h"

namespace zt {

void TemplateProcessorListener::UpdateStatus(const std::string&, float, float, bool&) {}
void TemplateProcessorListener::TemplatePreProcessLine(const std::string&, const std::string&, ParamMap&,
                                                       dsScriptType, std::string&, bool&, bool&) {}
void TemplateProcessorListener::TemplatePostProcessLine(const std::string&, const std::string&, ParamMap&,
                                                        dsScriptType, std::string&, bool&, const std::string&) {}

bool TemplateProcessor::Initialize(zt::DataStore* store) {
  DataStore = store;
  UserCanceled = false;
  return true;
}

void TemplateProcessor::AddListener(TemplateProcessorListener* listener) { listeners_.push_back(listener); }

void TemplateProcessor::RemoveListener(TemplateProcessorListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void SubstituteLine(std::string& line, const ParamMap& params) {
  static const std::string open = GetResString(IDS_TAG_OPEN);
  static const std::string close = GetResString(IDS_TAG_CLOSE);
  static const std::string crlf = GetResString(IDS_CRLF);
  if (line.find(close) == std::string::npos || line.find(open) == std::string::npos) return;
  const std::string indent = line.substr(0, line.find_first_not_of(' ') == std::string::npos
                                                ? line.size()
                                                : line.find_first_not_of(' '));
  for (const std::string& key : params.Keys()) {
    if (line.find(key) == std::string::npos) continue;
    std::string value = ToText(params.Item(key));
    if (!indent.empty()) {
      ReplaceAll(value, crlf, crlf + indent);
      value.erase(value.find_last_not_of(' ') + 1);
    }
    ReplaceAll(line, key, value);
  }
}

void TemplateProcessor::ProcessTemplate(const std::string& TemplatePath, const std::string& TestCodePath,
                                        ParamMap& params, dsScriptType scriptType, const std::string& sOperName) {
  try {
    Process(TemplatePath, TestCodePath, params, scriptType, sOperName);
  } catch (...) {
    const ZtError error = CurrentError();
    if (error.Number() == errc::kStoreCancelled) UserCanceled = true;
    ReportError(&error, {});
  }
}

void TemplateProcessor::Process(const std::string& TemplatePath, const std::string& TestCodePath, ParamMap& params,
                                dsScriptType scriptType, const std::string& sOperName) {
  FileSystemObject& files = FileSystem();
  const std::string source = GetResString(IDS_SOURCE_TEMPLATE_PROCESSOR);

  // The lines are read once and counted before the first is processed.
  auto stream = files.OpenTextFile(TemplatePath);
  if (!stream) RaiseError(1, source, FormatResString1(IDS_ERR_FAILED_TO_READ, TemplatePath));
  std::vector<std::pair<int32_t, std::string>> lines;
  while (!stream->AtEndOfStream()) {
    const int32_t number = stream->Line();
    lines.emplace_back(number, stream->ReadLine());
  }
  stream->Close();
  stream.reset();
  const int32_t total = lines.empty() ? 0 : lines.back().first;

  UserCanceled = false;
  bool bProcess = true;
  const std::string crlf = GetResString(IDS_CRLF);
  const std::string totalText = SignedNumberText(total);
  // The line counter's text, looked up once: each line fills in its numbers
  // as FormatResString2 would.
  const std::string lineOf = GetResString(IDS_STATUS_LINE_OF);
  // The handlers may add or remove listeners; each event goes to those
  // registered when it is raised.
  std::string text;
  for (auto& [n, templateLine] : lines) {
    std::string counter = lineOf;
    ReplaceAll(counter, "%1", SignedNumberText(n));
    ReplaceAll(counter, "%2", totalText);
    const std::string message = StatusLine + crlf + counter;
    for (TemplateProcessorListener* listener : std::vector(listeners_)) {
      listener->UpdateStatus(message, static_cast<float>(n), static_cast<float>(total), UserCanceled);
    }
    if (UserCanceled) return;

    std::string line = std::move(templateLine);
    for (TemplateProcessorListener* listener : std::vector(listeners_)) {
      listener->TemplatePreProcessLine(TemplatePath, TestCodePath, params, scriptType, line, bProcess, UserCanceled);
    }
    if (UserCanceled) return;

    if (bProcess) SubstituteLine(line, params);

    if (scriptType == dsVisualBasicScript) {
      for (TemplateProcessorListener* listener : std::vector(listeners_)) {
        listener->TemplatePostProcessLine(TemplatePath, TestCodePath, params, scriptType, line, UserCanceled,
                                          sOperName);
      }
    }
    if (UserCanceled) return;
    text += line;
    text += crlf;
  }
  Store(TestCodePath, scriptType, text, sOperName);
}

void TemplateProcessor::Store(const std::string& TestCodePath, dsScriptType scriptType, const std::string& text,
                              const std::string& sOperName) {
  zt::DataStore& store = Ref(DataStore);
  RunState& run = CurrentRun();
  if (run.RunHasMultipleItems) {
    store.SetMultipleItems(true);
  } else if (scriptType == dsJavaScript) {
    store.SetMultipleItems(false);
  }

  const std::string fileName = FileSystemObject::GetFileName(TestCodePath);
  const std::string folder = FileSystemObject::GetParentFolderName(TestCodePath);
  const int32_t code = store.SaveScript(fileName, folder, scriptType, text);
  // A script the store refused or failed to write (it said why) makes the
  // operation one that was not generated; a declined replacement does not.
  if (code != save_result::kStored && code != save_result::kCancelled && store.LastSaveFailed()) {
    run.ScriptNotStored = true;
  }
  // Only a file whose extension is ".rc" is a resource script, whatever its
  // folders are named.
  if (code == save_result::kStored) {
    if (!HasExtension(TestCodePath, GetResString(IDS_EXT_RC))) {
      if (!run.SourceHeaderLogged) {
        LogMessage(FormatResString1(IDS_LOG_SOURCE_CREATED, sOperName));
        run.SourceHeaderLogged = true;
      }
      WriteLogLine(GetResString(IDS_DETAIL_INDENT) + store.ScriptRoot(scriptType) + TestCodePath);
    }
  } else if (code == save_result::kNotWritten) {
    if (HasExtension(TestCodePath, GetResString(IDS_EXT_CLS))) run.CompileResources = false;
  } else if (code == save_result::kCancelled) {
    UserCanceled = true;
  }
}

}  // namespace zt
