// Answers given in advance (see Answers.h).
#include "workbench/terminal/Answers.h"

#include <algorithm>

#include "workbench/text/Texts.h"

namespace zt::wb {

const std::vector<AnswerKey>& AnswerKeys() {
  using namespace answer_word;
  static const std::vector<AnswerKey> kKeys = {
      {answer_key::kUser, WB_ANSWER_KEY_USER, {}, "NAME"},
      {answer_key::kReplace, WB_ANSWER_KEY_REPLACE, {kYes, kAll, kNo, kNone, kCancel}},
      {answer_key::kOverwriteDatapools, WB_ANSWER_KEY_OVERWRITE, {kYes, kAll, kNo, kNone, kCancel}},
      {answer_key::kEditDatapools, WB_ANSWER_KEY_EDIT, {kYes, kNo}},
      {answer_key::kCoclass, WB_ANSWER_KEY_COCLASS, {}, "CLASS", true},
      {answer_key::kResourceCompiler, WB_ANSWER_KEY_COMPILER, {}, "PATH"},
      {answer_key::kContinueWithoutCompiler, WB_ANSWER_KEY_CONTINUE, {kYes, kNo}},
      {answer_key::kTemplateFile, WB_ANSWER_KEY_TEMPLATE_FILE, {}, "PATH"},
      {answer_key::kTemplateScope, WB_ANSWER_KEY_TEMPLATE_SCOPE, {kOperation, kModel, kCancel}},
  };
  return kKeys;
}

std::optional<std::string> PresetAnswers::Add(std::string_view assignment) {
  const size_t equals = assignment.find('=');
  const std::string key(assignment.substr(0, equals));
  const auto known = std::find_if(AnswerKeys().begin(), AnswerKeys().end(),
                                  [&key](const AnswerKey& candidate) { return key == candidate.key; });
  if (equals == std::string_view::npos || known == AnswerKeys().end()) {
    return Text(WB_ANSWER_UNKNOWN_KEY, {std::string(assignment)});
  }
  const std::string value(assignment.substr(equals + 1));
  if (value.find_first_not_of(" \t") == std::string::npos) return Text(WB_ANSWER_EMPTY, {key});
  if (!known->words.empty() && std::find(known->words.begin(), known->words.end(), value) == known->words.end()) {
    std::string words;
    for (const std::string& word : known->words) words += (words.empty() ? "" : ", ") + word;
    return Text(WB_ANSWER_BAD_WORD, {value, key, words});
  }
  std::vector<std::string>& values = values_[key];
  if (!values.empty() && !known->repeatable) return Text(WB_ANSWER_TWICE, {key});
  values.push_back(value);
  return std::nullopt;
}

const std::vector<std::string>& PresetAnswers::Values(std::string_view key) const {
  static const std::vector<std::string> kNone;
  const auto found = values_.find(key);
  return found == values_.end() ? kNone : found->second;
}

std::optional<std::string> PresetAnswers::First(std::string_view key) const {
  const std::vector<std::string>& values = Values(key);
  if (values.empty()) return std::nullopt;
  return values.front();
}

}  // namespace zt::wb
