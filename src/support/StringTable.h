// The layout of a compiled string table, shared by the add-in module and its
// satellites. Tables are generated from strings/*.txt by tools/strtab and
// exported under one symbol, so that a satellite module is found by the
// same lookup as the module itself.
#pragma once

#include <cstdint>

namespace zt {

struct StringTableEntry {
  int16_t id;
  uint16_t length;
  const char* text;
};

/// Entries sorted by id, ascending.
struct StringTable {
  uint32_t count;
  const StringTableEntry* entries;
};

/// The symbol under which every module exports its table.
inline constexpr const char* kStringTableSymbol = "zt_string_table";

/// The entry of `id` in `table`, or nullptr.
const StringTableEntry* FindString(const StringTable& table, int16_t id);

}  // namespace zt
