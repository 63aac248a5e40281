// Template properties in the model document and the template dialog in the
// terminal (see TemplateProperties.h).
#include "workbench/components/TemplateProperties.h"

#include <filesystem>
#include <vector>

#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"
#include "workbench/documents/DocumentEdit.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLineEnd = "\n";

// One file type of a dialog filter: its display text and its patterns.
struct FileType {
  std::string display;
  std::vector<std::string> patterns;
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end = text.find(separator); end != std::string::npos; end = text.find(separator, start)) {
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

// Without the blanks and tabs around it.
std::string Trimmed(std::string_view text) { return TrimChars(text, " \t"); }

// "Text|*.a;*.b|Other|*.*||": pairs of display text and patterns, up to the
// first empty display text.
std::vector<FileType> FileTypes(const std::string& filter) {
  const std::vector<std::string> parts = Split(filter, '|');
  std::vector<FileType> types;
  for (size_t i = 0; i < parts.size() && !parts[i].empty(); i += 2) {
    FileType type{parts[i], {}};
    if (i + 1 < parts.size()) {
      for (const std::string& pattern : Split(parts[i + 1], ';')) {
        if (!Trimmed(pattern).empty()) type.patterns.push_back(Trimmed(pattern));
      }
    }
    types.push_back(std::move(type));
  }
  return types;
}

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `name` matches `pattern` ("*" any run, "?" one character),
// ignoring ASCII case.
bool Matches(const std::string& pattern, const std::string& name) {
  size_t p = 0;
  size_t n = 0;
  size_t starAt = std::string::npos;
  size_t resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Folded(pattern[p]) == Folded(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (starAt != std::string::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string joined;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += separator;
    joined += parts[i];
  }
  return joined;
}

// A path typed in double quotes, as paths with blanks often are, without them.
std::string Unquoted(const std::string& path) {
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path.substr(1, path.size() - 2);
  return path;
}

}  // namespace

// ---------------------------------------------------------------------------
// Savers

ModelSaver DocumentSaver(std::string path) {
  return [path = std::move(path)](const PropertyChange& change) {
    SetToolPropertyInDocument(path, Ref(change.element), change.tool, change.name, change.value);
  };
}

ModelSaver XmiRefusingSaver(std::string path) {
  return [path = std::move(path)](const PropertyChange&) {
    RaiseError(errc::kInvalidCall, {}, Text(WB_TMPL_XMI_REFUSED, {path}));
  };
}

std::string PortablePath(FileSystemObject& files, const std::string& path) {
  const std::string macro = GetResString(IDS_TEMPLATE_MACRO);
  if (path.rfind(macro, 0) == 0) return path;
  std::error_code ec;
  const fs::path file = fs::absolute(files.NativePath(path), ec).lexically_normal();
  if (ec) return path;
  const fs::path templates = fs::weakly_canonical(files.NativePath(macro), ec);
  const fs::path canonical = fs::weakly_canonical(file, ec);
  if (!ec && !templates.empty()) {
    const fs::path below = canonical.lexically_relative(templates);
    if (!below.empty() && *below.begin() != ".." && below != ".") {
      std::string portable = macro;
      for (const fs::path& part : below) portable += GetResString(IDS_BACKSLASH) + part.string();
      return portable;
    }
  }
  return file.string();
}

// ---------------------------------------------------------------------------
// The property

WorkbenchTemplateProperty::WorkbenchTemplateProperty(TesselApplication* application, ModelSaver saver,
                                                     TemplateChoices* record)
    : application_(application), saver_(std::move(saver)), record_(record) {}

std::string WorkbenchTemplateProperty::OwnValue(const TesselItem& element) const {
  return element.GetPropertyValue(template_tool::kValues, name_);
}

std::string WorkbenchTemplateProperty::ReadDefinition(TesselApplication* owner, int32_t code) {
  if (code != property_code::kDefinition) RaiseError(errc::kInvalidCall);
  return Ref(Ref(owner).CurrentModel()).GetPropertyValue(template_tool::kDefinitions, name_);
}

std::string WorkbenchTemplateProperty::ReadValue(TesselItem* element, int32_t code) {
  if (std::optional<std::string> value = FindValue(element, code)) return std::move(*value);
  RaiseError(errc::kInvalidCall, {}, Text(WB_TMPL_NO_VALUE, {Ref(element).GetQualifiedName(), name_}));
}

std::optional<std::string> WorkbenchTemplateProperty::FindValue(TesselItem* element, int32_t code) {
  if (code != property_code::kValue) RaiseError(errc::kInvalidCall);
  TesselItem& item = Ref(element);
  auto* model = dynamic_cast<TesselModel*>(&item);
  if (model == nullptr) {
    if (elementKind_.empty() || item.KindName() == elementKind_) {
      if (std::string own = OwnValue(item); !own.empty()) return own;
    }
    if (application_ != nullptr) model = application_->CurrentModel();
  }
  if (model != nullptr) {
    if (std::string value = OwnValue(*model); !value.empty()) return value;
    if (std::string value = model->GetPropertyValue(template_tool::kDefinitions, name_); !value.empty()) return value;
  }
  return std::nullopt;
}

void WorkbenchTemplateProperty::Store(TesselApplication* owner, int32_t code) {
  if (code != property_code::kDefinition) RaiseError(errc::kInvalidCall);
  if (name_.empty()) RaiseError(errc::kInvalidCall, {}, Text(WB_TMPL_NO_NAME));
  TesselModel& model = Ref(Ref(owner).CurrentModel());
  auto* element = dynamic_cast<Element*>(&model);
  if (element == nullptr) RaiseError(errc::kInvalidCall, {}, Text(WB_TMPL_BAD_TARGET, {model.GetQualifiedName()}));
  element->SetToolProperty(template_tool::kDefinitions, name_, defaultValue_);
}

void WorkbenchTemplateProperty::Store(TesselItem* target, int32_t scope) {
  if (name_.empty()) RaiseError(errc::kInvalidCall, {}, Text(WB_TMPL_NO_NAME));
  if (value_.empty()) RaiseError(errc::kInvalidCall, {}, Text(WB_TMPL_NOTHING_CHOSEN));
  TesselItem& item = Ref(target);
  auto* element = dynamic_cast<Element*>(&item);
  const bool isModel = dynamic_cast<Model*>(&item) != nullptr;
  const bool isOperation = !isModel && (elementKind_.empty() || item.KindName() == elementKind_);
  const bool fits = scope == template_scope::kModel ? isModel : scope == template_scope::kOperation && isOperation;
  if (element == nullptr || !fits) {
    RaiseError(errc::kInvalidCall, {}, Text(WB_TMPL_BAD_TARGET, {item.GetQualifiedName()}));
  }
  if (!saver_) RaiseError(errc::kInvalidCall, {}, Text(WB_TMPL_NO_SAVER));

  const std::string previous = OwnValue(*element);
  element->SetToolProperty(template_tool::kValues, name_, value_);
  try {
    saver_(PropertyChange{element, template_tool::kValues, name_, value_});
  } catch (...) {
    const ZtError error = CurrentError();
    // Memory keeps what the file has. A value that was not there before
    // becomes empty, which counts as not set (elements cannot drop a
    // property).
    element->SetToolProperty(template_tool::kValues, name_, previous);
    const std::string why = Text(WB_TMPL_SAVE_FAILED, {error.Description()});
    if (record_ != nullptr) record_->failures.push_back(why);
    RaiseError(error.Number(), error.Source(), why);
  }
  if (record_ != nullptr) ++record_->stored;
}

// ---------------------------------------------------------------------------
// The dialog

WorkbenchTemplateDialog::WorkbenchTemplateDialog(Console& console, std::unique_ptr<FileSystemObject> files,
                                                 TesselApplication* application, std::optional<std::string> presetPath,
                                                 TemplateChoices* record)
    : console_(console),
      files_(std::move(files)),
      application_(application),
      presetPath_(std::move(presetPath)),
      record_(record) {}

int32_t WorkbenchTemplateDialog::Show(int32_t) {
  target_ = nullptr;
  scope_ = 0;
  if (record_ != nullptr) ++record_->dialogs;
  TesselItem& element = Ref(element_);
  auto* property = dynamic_cast<WorkbenchTemplateProperty*>(property_);
  if (property == nullptr) RaiseError(errc::kTypeMismatch);

  if (!caption_.empty()) console_.Write(caption_ + kLineEnd);
  std::vector<std::string> displays;
  for (const FileType& type : FileTypes(filter_)) displays.push_back(type.display);
  if (!displays.empty()) {
    console_.Write(Text(WB_TMPL_FILTER, {Joined(displays, Text(WB_TMPL_FILTER_SEPARATOR))}) + kLineEnd);
  }
  console_.Write(Text(WB_TMPL_ELEMENT, {element.GetQualifiedName()}) + kLineEnd);
  std::string inForce;
  try {
    inForce = property->ReadValue(&element, property_code::kValue);
  } catch (...) {
    inForce = Text(WB_TMPL_DEFAULT);
  }
  console_.Write(Text(WB_TMPL_IN_FORCE, {inForce}) + kLineEnd);

  const std::optional<std::string> path = ChoosePath();
  if (!path) return 0;
  if (dynamic_cast<TesselModel*>(&element) != nullptr) {
    target_ = &element;
    scope_ = template_scope::kModel;
  } else {
    TesselModel* model = application_ != nullptr ? application_->CurrentModel() : nullptr;
    const int32_t scope = ChooseScope(*path, model);
    if (scope == 0) {
      console_.Write(Text(WB_TMPL_NOTHING_CHOSEN) + kLineEnd);
      return 0;
    }
    scope_ = scope;
    target_ = scope == template_scope::kModel ? static_cast<TesselItem*>(model) : &element;
  }
  property->SetValue(PortablePath(*files_, *path));
  if (record_ != nullptr) ++record_->confirmed;
  return 1;
}

std::optional<std::string> WorkbenchTemplateDialog::ChoosePath() {
  if (presetPath_) {
    if (presetPath_->find('"') != std::string::npos) {
      console_.Write(Text(WB_TMPL_QUOTE_IN_PATH, {*presetPath_}) + kLineEnd);
      return std::nullopt;
    }
    if (files_->FileExists(*presetPath_)) {
      WarnUnlessFiltered(*presetPath_);
      return presetPath_;
    }
    console_.Write(Text(WB_TMPL_PRESET_MISSING, {*presetPath_}) + kLineEnd);
    return std::nullopt;
  }
  const std::string cancelWord = Text(WB_TMPL_CANCEL_WORD);
  // An answer given in advance counts as the first attempt.
  TextQuestion question{Text(WB_TMPL_PATH_PROMPT, {cancelWord}), {}, cancelWord, answer_key::kTemplateFile};
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    const std::optional<std::string> answer = AskText(console_, question);
    question.key.clear();
    if (!answer) break;
    const std::string path = Unquoted(*answer);
    // A choice the run could not use is no choice.
    if (path.find('"') != std::string::npos) {
      console_.Write(Text(WB_TMPL_QUOTE_IN_PATH, {path}) + kLineEnd);
      continue;
    }
    if (files_->FileExists(path)) {
      WarnUnlessFiltered(path);
      return path;
    }
    console_.Write(Text(WB_TMPL_NO_SUCH_FILE, {path}) + kLineEnd);
  }
  console_.Write(Text(WB_TMPL_NOTHING_CHOSEN) + kLineEnd);
  return std::nullopt;
}

void WorkbenchTemplateDialog::WarnUnlessFiltered(const std::string& path) {
  // Catch-all patterns say nothing about the kind of file wanted.
  std::vector<std::string> patterns;
  for (const FileType& type : FileTypes(filter_)) {
    for (const std::string& pattern : type.patterns) {
      if (pattern != "*" && pattern != "*.*") patterns.push_back(pattern);
    }
  }
  if (patterns.empty()) return;
  const std::string name = FileSystemObject::GetFileName(path);
  for (const std::string& pattern : patterns) {
    if (Matches(pattern, name)) return;
  }
  console_.Write(Text(WB_TMPL_PATTERN_WARNING, {path, Joined(patterns, Text(WB_TMPL_FILTER_SEPARATOR))}) + kLineEnd);
}

int32_t WorkbenchTemplateDialog::ChooseScope(const std::string& path, TesselModel* model) {
  // Without an open model only the operation itself can take the value.
  Question question{Text(WB_TMPL_SCOPE_QUESTION, {path}), {}, 0, answer_key::kTemplateScope};
  question.answers.push_back({Text(WB_TMPL_SCOPE_OPERATION), template_scope::kOperation, answer_word::kOperation});
  if (model != nullptr) {
    question.answers.push_back({Text(WB_TMPL_SCOPE_MODEL), template_scope::kModel, answer_word::kModel});
  }
  question.answers.push_back({Text(WB_ANSWER_CANCEL), 0, answer_word::kCancel});
  return Ask(console_, question);
}

}  // namespace zt::wb
