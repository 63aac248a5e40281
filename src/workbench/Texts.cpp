#include "workbench/Texts.h"

#include "support/StringTable.h"
#include "support/Text.h"

extern "C" const zt::StringTable zt_workbench_strings;

namespace zt::wb {

std::string Text(int16_t id) {
  const StringTableEntry* entry = FindString(zt_workbench_strings, id);
  return entry == nullptr ? std::string() : std::string(entry->text, entry->length);
}

std::string Text(int16_t id, const std::vector<std::string>& args) {
  std::string text = Text(id);
  for (size_t i = 0; i < args.size(); ++i) ReplaceAll(text, "%" + std::to_string(i + 1), args[i]);
  return text;
}

}  // namespace zt::wb
