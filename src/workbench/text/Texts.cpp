#include "workbench/text/Texts.h"

#include "support/DynamicResources.h"
#include "support/StringTable.h"

extern "C" const zt::StringTable zt_workbench_strings;
extern "C" const zt::StringTable zt_workbench_strings_deu;

namespace zt::wb {

namespace {

// The table of the user's language, decided at the first lookup.
const StringTable* g_table = nullptr;

const StringTable& Table() {
  if (g_table == nullptr) {
    // German where the add-in speaks German: the locales its German
    // satellite (libztunittestDEU.so) serves.
    g_table = UserLanguageAbbreviation() == "DEU" ? &zt_workbench_strings_deu : &zt_workbench_strings;
  }
  return *g_table;
}

}  // namespace

std::string Text(int16_t id) {
  const StringTableEntry* entry = FindString(Table(), id);
  return entry == nullptr ? std::string() : std::string(entry->text, entry->length);
}

void ResetTextLanguage() { g_table = nullptr; }

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
