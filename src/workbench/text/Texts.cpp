#include "workbench/text/Texts.h"

#include "support/DynamicResources.h"
#include "support/StringTable.h"

extern "C" const zt::StringTable zt_workbench_strings;
extern "C" const zt::StringTable zt_workbench_strings_deu;

namespace zt::wb {

namespace {

// The table of the user's language: German where the add-in speaks German,
// the locales its German satellite (libztunittestDEU.so) serves. Read from
// the locale at each lookup rather than kept: the program never changes its
// locale, so a kept table would only be state to reset for a test that does,
// and the look (three environment variables) costs well under a microsecond
// against texts that are shown or written.
const StringTable& Table() {
  return UserLanguageAbbreviation() == "DEU" ? zt_workbench_strings_deu : zt_workbench_strings;
}

}  // namespace

std::string Text(int16_t id) {
  const StringTableEntry* entry = FindString(Table(), id);
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
