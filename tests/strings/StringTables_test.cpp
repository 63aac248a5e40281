// The string tables as shipped: the German satellite must carry every id of
// the module (there is no fallback per id), with its own text for every
// message and the module's text for every neutral id; the workbench's German
// table translates every text of the command line.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <vector>

#include "TestUtil.h"
#include "support/StringTable.h"
#include "workbench/text/Texts.h"

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

// The placeholders "%1".."%9" a text uses, each once.
std::set<std::string> Placeholders(const std::string& line) {
  static const std::regex placeholder("%[1-9]");
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(line.begin(), line.end(), placeholder); it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

// id → the whole line, for every entry of the files.
std::map<int, std::string> Lines(const std::vector<std::string>& files) {
  std::map<int, std::string> lines;
  static const std::regex entry(R"(^(\d+) \w+ ")");
  for (const std::string& file : files) {
    std::ifstream in(std::string(ZT_STRINGS_DIR) + "/" + file);
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
      if (std::regex_search(line, m, entry)) lines[std::stoi(m[1])] = line;
    }
  }
  return lines;
}

TEST(ShippedTables, GermanTranslatesEveryHostTextWithItsPlaceholders) {
  std::vector<std::string> english;
  for (const auto& file : std::filesystem::directory_iterator(ZT_STRINGS_DIR)) {
    const std::string name = file.path().filename().string();
    if (name.rfind("workbench", 0) == 0 && name != "workbench-de-DE.txt" && file.path().extension() == ".txt") {
      english.push_back(name);
    }
  }
  ASSERT_GE(english.size(), 8u);
  const auto englishNames = [&] {
    std::map<int, std::string> names;
    for (const std::string& file : english) names.merge(IdsAndNames(file));
    return names;
  }();
  const auto germanNames = IdsAndNames("workbench-de-DE.txt");
  const auto englishLines = Lines(english);
  const auto germanLines = Lines({"workbench-de-DE.txt"});
  ASSERT_EQ(englishNames.size(), englishLines.size());
  for (const auto& [id, name] : englishNames) {
    const auto german = germanNames.find(id);
    if (german == germanNames.end()) {
      ADD_FAILURE() << "no German text for " << id << " " << name;
      continue;
    }
    EXPECT_EQ(german->second, name) << id;
    EXPECT_EQ(Placeholders(germanLines.at(id)), Placeholders(englishLines.at(id))) << id << " " << name;
  }
  for (const auto& [id, name] : germanNames) EXPECT_EQ(englishNames.count(id), 1u) << "no English text for " << id;
}

TEST(ShippedTables, HostTextsFollowTheLocale) {
  const char* saved = std::getenv("LANG");
  const std::string restore = saved != nullptr ? saved : "C";
  test::SetLocale("de_DE.UTF-8");
  EXPECT_EQ(wb::Text(wb::WB_ANSWER_YES), "&ja");
  EXPECT_EQ(wb::Text(wb::WB_STORE_REPLACE_QUESTION, {"a.java"}), "a.java existiert. Ersetzen?");
  test::SetLocale("C");
  EXPECT_EQ(wb::Text(wb::WB_ANSWER_YES), "&yes");
  test::SetLocale(restore);
}

TEST(ShippedTables, IdRangesAreKept) {
  for (const auto& [id, name] : IdsAndNames("neutral.txt")) {
    EXPECT_TRUE((id >= 101 && id <= 999) || id == 1000) << id << " " << name;
    EXPECT_NE(id, 110) << "110 is not assigned";
  }
  for (const auto& [id, name] : IdsAndNames("en-US.txt")) {
    EXPECT_GE(id, 1002) << name;
    for (int unassigned : {1010, 1011, 1024, 1045, 1046, 1069}) EXPECT_NE(id, unassigned) << name;
  }
}

}  // namespace
}  // namespace zt
