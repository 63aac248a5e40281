// The string tables as shipped: the German satellite must carry every id of
// the module (there is no fallback per id), with its own text for every
// message and the module's text for every neutral id.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>

#include "support/StringTable.h"

namespace zt {
namespace {

std::map<int, std::string> IdsAndNames(const std::string& file) {
  std::ifstream in(std::string(ZT_STRINGS_DIR) + "/" + file);
  std::map<int, std::string> ids;
  std::string line;
  static const std::regex entry(R"(^(\d+) (\w+) ")");
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, entry)) ids[std::stoi(m[1])] = m[2];
  }
  return ids;
}

const StringTable& TableOf(const std::string& module) {
  void* handle = dlopen((std::string(ZT_TEST_LIB_DIR) + "/" + module).c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(handle, nullptr) << dlerror();
  return *static_cast<const StringTable*>(dlsym(handle, kStringTableSymbol));
}

TEST(ShippedTables, GermanTranslatesEveryMessage) {
  const auto english = IdsAndNames("en-US.txt");
  const auto german = IdsAndNames("de-DE.txt");
  ASSERT_FALSE(english.empty());
  for (const auto& [id, name] : english) {
    EXPECT_EQ(german.count(id), 1u) << "no German text for " << id << " " << name;
  }
}

TEST(ShippedTables, SatelliteCarriesEveryIdOfTheModule) {
  const StringTable& own = TableOf("libztunittest.so");
  const StringTable& german = TableOf("libztunittestDEU.so");
  ASSERT_EQ(own.count, german.count);
  for (uint32_t i = 0; i < own.count; ++i) {
    const StringTableEntry& mine = own.entries[i];
    const StringTableEntry* theirs = FindString(german, mine.id);
    ASSERT_NE(theirs, nullptr) << mine.id;
    if (mine.id < 1002) {
      EXPECT_EQ(std::string(theirs->text, theirs->length), std::string(mine.text, mine.length)) << mine.id;
    }
  }
}

TEST(ShippedTables, IdRangesAreKept) {
  for (const auto& [id, name] : IdsAndNames("neutral.txt")) {
    EXPECT_TRUE((id >= 101 && id <= 399) || id == 1000) << id << " " << name;
    EXPECT_NE(id, 110) << "110 is not assigned";
  }
  for (const auto& [id, name] : IdsAndNames("en-US.txt")) {
    EXPECT_GE(id, 1002) << name;
    for (int unassigned : {1010, 1011, 1024, 1045, 1046, 1069}) EXPECT_NE(id, unassigned) << name;
  }
}

}  // namespace
}  // namespace zt
