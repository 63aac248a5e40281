// The list-selection dialog in the terminal (see ListSelect.h).
#include "workbench/terminal/ListSelect.h"

#include <optional>

#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

constexpr const char* kLineEnd = "\n";

// `text` as a number from 1 to `count` written in digits only, or nullopt.
std::optional<int> EntryNumber(const std::string& text, int count) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > count) return std::nullopt;
  return number;
}

}  // namespace

TerminalListSelectDialog::TerminalListSelectDialog(Console& console) : console_(console) {}

TesselClass* TerminalListSelectDialog::SelectFromList(int64_t, const TesselClassCollection& list) {
  if (!caption_.empty()) console_.Write(caption_ + kLineEnd);
  if (!prompt_.empty()) console_.Write(prompt_ + kLineEnd);
  const int count = list.Count();
  if (count == 0) {
    console_.Write(Text(WB_LIST_EMPTY) + kLineEnd);
    return nullptr;
  }
  for (int16_t i = 1; i <= count; ++i) {
    const TesselClass* entry = list.GetAt(i);
    const std::string name = entry != nullptr ? entry->Name() : std::string();
    const std::string qualified = entry != nullptr ? entry->GetQualifiedName() : std::string();
    console_.Write(Text(WB_LIST_ITEM, {std::to_string(i), name, qualified}) + kLineEnd);
  }
  const std::string cancelWord = Text(WB_LIST_CANCEL_WORD);
  const TextQuestion question{Text(WB_LIST_PROMPT, {std::to_string(count), cancelWord}), {}, cancelWord, {}};
  // Coclasses given in advance: the first that names an entry, by its
  // qualified name or the end of it ("Maths::Calc", "Calc").
  if (const PresetAnswers* presets = console_.Presets()) {
    const std::vector<std::string>& given = presets->Values(answer_key::kCoclass);
    for (const std::string& wanted : given) {
      for (int16_t i = 1; i <= count; ++i) {
        TesselClass* entry = list.GetAt(i);
        const std::string qualified = entry != nullptr ? entry->GetQualifiedName() : std::string();
        if (entry != nullptr && (qualified == wanted || qualified.ends_with("::" + wanted))) {
          ShowPresetAnswer(console_, question.prompt, std::to_string(i));
          return entry;
        }
      }
    }
    if (!given.empty()) console_.Write(Text(WB_LIST_PRESET_NOT_LISTED, {answer_key::kCoclass}) + kLineEnd);
  }
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    const std::optional<std::string> answer = AskText(console_, question);
    if (!answer) break;
    if (const std::optional<int> number = EntryNumber(*answer, count)) {
      return list.GetAt(static_cast<int16_t>(*number));
    }
    console_.Write(Text(WB_LIST_BAD_NUMBER, {*answer, std::to_string(count)}) + kLineEnd);
  }
  console_.Write(Text(WB_LIST_NOTHING_CHOSEN) + kLineEnd);
  return nullptr;
}

}  // namespace zt::wb
