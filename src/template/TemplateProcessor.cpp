#include "template/TemplateProcessor.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <span>
#include <utility>
#include <vector>

#include "host/FileSystem.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"
#include "support/modErrorHandling.h"

namespace zt {

LineStatus::LineStatus(const std::string& caption, const std::string& lineOf, int32_t total)
    : caption_(caption), lineOf_(lineOf), totalText_(SignedNumberText(total)), total_(total) {}

std::string LineStatus::Message() const {
  static const std::string crlf = GetResString(IDS_CRLF);
  std::string counter = lineOf_;
  ReplaceAll(counter, "%1", SignedNumberText(line_));
  ReplaceAll(counter, "%2", totalText_);
  std::string message;
  message.reserve(caption_.size() + crlf.size() + counter.size());
  message += caption_;
  message += crlf;
  message += counter;
  return message;
}

void TemplateProcessorListener::UpdateStatus(const std::string&, float, float, bool&) {}
void TemplateProcessorListener::UpdateLineStatus(const LineStatus& status, bool& bCancel) {
  UpdateStatus(status.Message(), static_cast<float>(status.Line()), static_cast<float>(status.Total()), bCancel);
}
void TemplateProcessorListener::TemplatePreProcessLine(const std::string&, const std::string&, ParamMap&,
                                                       dsScriptType, std::string&, bool&, bool&) {}
void TemplateProcessorListener::TemplatePostProcessLine(const std::string&, const std::string&, ParamMap&,
                                                        dsScriptType, std::string&, bool&, const std::string&) {}

bool TemplateProcessor::Initialize(zt::DataStore* store) {
  DataStore = store;
  UserCanceled = false;
  return true;
}

void TemplateProcessor::AddListener(TemplateProcessorListener* listener) {
  listeners_.push_back(listener);
  ++listenersVersion_;
}

void TemplateProcessor::RemoveListener(TemplateProcessorListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
  ++listenersVersion_;
}

namespace {

bool IsBracket(char c) { return c == '<' || c == '>'; }

}  // namespace

const std::string& LineSubstitution::DateText(const ParamDate& date) {
  const std::pair<std::time_t, bool> second{std::chrono::system_clock::to_time_t(date.when), date.fixed};
  if (!lastDate_ || lastDate_->first != second) lastDate_.emplace(second, ToText(date));
  return lastDate_->second;
}

std::string_view LineSubstitution::IndentedValue(const ParamValue& value, const std::string& indent,
                                                 std::string& made) {
  const std::string* text = std::get_if<std::string>(&value);
  if (text == nullptr) {
    text = &DateText(std::get<ParamDate>(value));
    if (std::find(dates_.begin(), dates_.end(), *text) == dates_.end()) dates_.push_back(*text);
  }
  if (indent.empty() || (text->find(crlf_) == std::string::npos && (text->empty() || text->back() != ' '))) {
    return *text;
  }
  made = *text;
  indentedLineEnd_.assign(crlf_).append(indent);
  ReplaceAll(made, crlf_, indentedLineEnd_);
  made.erase(made.find_last_not_of(' ') + 1);
  return made;
}

void LineSubstitution::FindTags(std::string_view line, const ParamMap& params) {
  hits_.clear();
  bool afterOpen = false;
  size_t open = line.find('<');
  while (open != std::string_view::npos) {
    size_t next = open + 1;
    while (next < line.size() && !IsBracket(line[next])) ++next;
    if (next == line.size()) break;
    if (line[next] == '<') {
      open = next;
      afterOpen = true;
      continue;
    }
    const ptrdiff_t place = params.Find(line.substr(open, next - open + 1));
    if (place >= 0) hits_.push_back({place, afterOpen});
    afterOpen = false;
    open = line.find('<', next + 1);
  }
}

void LineSubstitution::Substitute(std::string& line, const ParamMap& params) {
  if (!loaded_) {
    open_ = GetResString(IDS_TAG_OPEN);
    close_ = GetResString(IDS_TAG_CLOSE);
    crlf_ = GetResString(IDS_CRLF);
    loaded_ = true;
  }
  if (line.find(close_) == std::string::npos || line.find(open_) == std::string::npos) return;
  const size_t indentEnd = line.find_first_not_of(' ');
  indent_.assign(line, 0, indentEnd == std::string::npos ? line.size() : indentEnd);
  const std::string& indent = indent_;
  std::string& made = made_;
  if (open_ != "<" || close_ != ">" || !params.KeysAreSimpleTags()) {
    for (const std::string& key : params.Keys()) {
      if (line.find(key) == std::string::npos) continue;
      ReplaceAll(line, key, IndentedValue(params.Item(key), indent, made));
    }
    return;
  }
  // Every key a simple tag: the keys in map order, each against the line
  // replaced so far, as above, but the line is searched for all keys at
  // once. Replacing a key by a value without brackets removes that key's
  // tags and changes no other, unless a "<" stood right before one of them:
  // the line is searched again only then, or when the value has brackets.
  FindTags(line, params);
  for (ptrdiff_t from = 0;;) {
    ptrdiff_t place = -1;
    for (const TagHit& hit : hits_) {
      if (hit.place >= from && (place < 0 || hit.place < place)) place = hit.place;
    }
    if (place < 0) break;
    bool afterOpen = false;
    for (const TagHit& hit : hits_) afterOpen = afterOpen || (hit.place == place && hit.afterOpen);
    const size_t at = static_cast<size_t>(place);
    const std::string_view value = IndentedValue(params.ValueAt(at), indent, made);
    ReplaceAll(line, params.Keys()[at], value);
    from = place + 1;
    if (afterOpen || std::any_of(value.begin(), value.end(), IsBracket)) FindTags(line, params);
  }
}

void SubstituteLine(std::string& line, const ParamMap& params) { LineSubstitution().Substitute(line, params); }

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

  // The lines are read once and counted before the first is processed.
  auto stream = files.OpenTextFile(TemplatePath);
  if (!stream) {
    RaiseError(1, GetResString(IDS_SOURCE_TEMPLATE_PROCESSOR), FormatResString1(IDS_ERR_FAILED_TO_READ, TemplatePath));
  }
  struct Buffers {
    std::vector<std::unique_ptr<TextBuffers>>& spare;
    std::unique_ptr<TextBuffers> own;
    ~Buffers() { spare.push_back(std::move(own)); }
  } buffers{spareBuffers_, nullptr};
  if (spareBuffers_.empty()) {
    buffers.own = std::make_unique<TextBuffers>();
  } else {
    buffers.own = std::move(spareBuffers_.back());
    spareBuffers_.pop_back();
  }
  std::vector<std::pair<int32_t, std::string>>& read = buffers.own->lines;
  size_t count = 0;
  while (!stream->AtEndOfStream()) {
    if (count == read.size()) read.emplace_back();
    read[count].first = stream->Line();
    stream->ReadLineInto(read[count].second);
    ++count;
  }
  stream->Close();
  stream.reset();
  const std::span<std::pair<int32_t, std::string>> lines(read.data(), count);
  const int32_t total = lines.empty() ? 0 : lines.back().first;

  UserCanceled = false;
  bool bProcess = true;
  // The date texts of this text: a listener that processes another template
  // meanwhile (the COM project writer) collects its own, and this one's go on
  // after it.
  struct DatesOfThisText {
    LineSubstitution& substitution;
    std::vector<std::string> outer;
    ~DatesOfThisText() { substitution.SetDates(std::move(outer)); }
  } datesOfThisText{substitution_, substitution_.TakeDates()};
  const std::string crlf = GetResString(IDS_CRLF);
  // The line counter's text, looked up once: each line fills in its numbers
  // as FormatResString2 would, when a listener asks for the text.
  const std::string lineOf = GetResString(IDS_STATUS_LINE_OF);
  LineStatus status(StatusLine, lineOf, total);
  size_t size = 0;
  for (const auto& numbered : lines) size += numbered.second.size() + crlf.size();
  std::string& text = buffers.own->text;
  text.clear();
  text.reserve(size + size / 4);
  // The handlers may add or remove listeners; each event goes to those
  // registered when it is raised (copied again only when they changed).
  std::vector<TemplateProcessorListener*> current;
  uint64_t currentVersion = listenersVersion_ - 1;
  const auto registered = [&]() -> const std::vector<TemplateProcessorListener*>& {
    if (currentVersion != listenersVersion_) {
      current = listeners_;
      currentVersion = listenersVersion_;
    }
    return current;
  };
  for (auto& [n, templateLine] : lines) {
    status.SetLine(n);
    for (TemplateProcessorListener* listener : registered()) listener->UpdateLineStatus(status, UserCanceled);
    if (UserCanceled) return;

    std::string& line = templateLine;
    for (TemplateProcessorListener* listener : registered()) {
      listener->TemplatePreProcessLine(TemplatePath, TestCodePath, params, scriptType, line, bProcess, UserCanceled);
    }
    if (UserCanceled) return;

    if (bProcess) substitution_.Substitute(line, params);

    if (scriptType == dsVisualBasicScript) {
      for (TemplateProcessorListener* listener : registered()) {
        listener->TemplatePostProcessLine(TemplatePath, TestCodePath, params, scriptType, line, UserCanceled,
                                          sOperName);
      }
    }
    if (UserCanceled) return;
    text += line;
    text += crlf;
  }
  Store(TestCodePath, scriptType, text, sOperName, substitution_.TakeDates());
}

void TemplateProcessor::Store(const std::string& TestCodePath, dsScriptType scriptType, const std::string& text,
                              const std::string& sOperName, const std::vector<std::string>& dates) {
  zt::DataStore& store = Ref(DataStore);
  RunState& run = Run();
  if (run.RunHasMultipleItems) {
    store.SetMultipleItems(true);
  } else if (scriptType == dsJavaScript) {
    store.SetMultipleItems(false);
  }

  const std::string fileName = FileSystemObject::GetFileName(TestCodePath);
  const std::string folder = FileSystemObject::GetParentFolderName(TestCodePath);
  const int32_t code = store.SaveGeneratedScript(fileName, folder, scriptType, text, dates);
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
