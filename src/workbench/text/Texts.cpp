#include "workbench/text/Texts.h"

#include "support/StringTable.h"

extern "C" const zt::StringTable zt_workbench_strings;

namespace zt::wb {

std::string Text(int16_t id) {
  const StringTableEntry* entry = FindString(zt_workbench_strings, id);
  return entry == nullptr ? std::string() : std::string(entry->text, entry->length);
}

std::string Text(int16_t id, const std::vector<std::string>& args) {
  // One pass: an argument that holds "%2" stays as it is.
  const std::string pattern = Text(id);
  std::string text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        text += args[n];
        ++i;
        continue;
      }
    }
    text += pattern[i];
  }
  return text;
}

}  // namespace zt::wb
