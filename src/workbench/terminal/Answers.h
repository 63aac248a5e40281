// Answers given in advance: what `--answer KEY=VALUE` on the command line
// says to the questions a run may ask, so that a script or a CI job never
// depends on standard input.
//
// Every question that can be answered in advance has a key (answer_key). A
// question with a key takes the first value given for it before it reads
// standard input; a value that does not fit the question at hand (a coclass
// that is not in the list, a file that does not exist) is reported and
// standard input is read as without one. Keys with a closed list of answers
// take only the words listed in AnswerKeys(); the others take free text.
// Only "coclass" may be given more than once: each interface takes the
// first value that names one of its coclasses.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zt::wb {

/// The keys of questions that can be answered in advance.
namespace answer_key {
inline constexpr const char* kUser = "user";
inline constexpr const char* kReplace = "replace";
inline constexpr const char* kOverwriteDatapools = "overwrite-datapools";
inline constexpr const char* kEditDatapools = "edit-datapools";
inline constexpr const char* kCoclass = "coclass";
inline constexpr const char* kResourceCompiler = "resource-compiler";
inline constexpr const char* kContinueWithoutCompiler = "continue-without-compiler";
inline constexpr const char* kTemplateFile = "template-file";
inline constexpr const char* kTemplateScope = "template-scope";
}  // namespace answer_key

/// The machine words of closed answers: what --answer takes, in any locale.
namespace answer_word {
inline constexpr const char* kYes = "yes";
inline constexpr const char* kAll = "all";
inline constexpr const char* kNo = "no";
inline constexpr const char* kNone = "none";
inline constexpr const char* kCancel = "cancel";
inline constexpr const char* kOperation = "operation";
inline constexpr const char* kModel = "model";
}  // namespace answer_word

/// One key that --answer takes.
struct AnswerKey {
  const char* key;
  /// The text id of what the key answers (for --help and the docs).
  int16_t help;
  /// The words it takes; empty for free text.
  std::vector<std::string> words;
  /// What free text stands for, in --help ("NAME", "PATH").
  const char* placeholder = "";
  /// Whether it may be given more than once.
  bool repeatable = false;
};

/// Every key, in the order --help lists them.
const std::vector<AnswerKey>& AnswerKeys();

/// The values given in advance, by key.
class PresetAnswers {
 public:
  /// Takes "KEY=VALUE" (VALUE may hold "="). Returns why it cannot: an
  /// unknown key, a word the key does not take, an empty value, or a key
  /// given twice that takes one value.
  std::optional<std::string> Add(std::string_view assignment);

  /// The values given for `key`, in the order given; empty when none.
  const std::vector<std::string>& Values(std::string_view key) const;
  /// The first value given for `key`, or nullopt.
  std::optional<std::string> First(std::string_view key) const;
  bool Empty() const { return values_.empty(); }

 private:
  std::map<std::string, std::vector<std::string>, std::less<>> values_;
};

}  // namespace zt::wb
