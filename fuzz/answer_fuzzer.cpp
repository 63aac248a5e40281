// Fuzzes the parser of answers given in advance (PresetAnswers::Add, what
// --answer KEY=VALUE takes): each line of the input one --answer.
//
// A fault: a crash; an answer taken whose key is not one of AnswerKeys(),
// whose value is empty, or that First and Values do not give back; a key
// that takes one value holding two; a refusal without text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "workbench/terminal/Answers.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zt::wb::PresetAnswers answers;
  for (const std::string& line : zt::fuzz::SplitInput(data, size, '\n')) {
    const std::vector<std::string> before = [&] {
      const size_t equals = line.find('=');
      return answers.Values(line.substr(0, equals));
    }();
    if (const std::optional<std::string> fault = answers.Add(line)) {
      if (fault->empty()) __builtin_trap();
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) __builtin_trap();
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    const auto& keys = zt::wb::AnswerKeys();
    const auto known = std::find_if(keys.begin(), keys.end(), [&](const zt::wb::AnswerKey& k) { return key == k.key; });
    if (known == keys.end() || value.empty()) __builtin_trap();
    const std::vector<std::string>& values = answers.Values(key);
    if (values.size() != before.size() + 1 || values.back() != value || answers.First(key) != values.front()) {
      __builtin_trap();
    }
    if (!known->repeatable && values.size() > 1) __builtin_trap();
  }
  return 0;
}
