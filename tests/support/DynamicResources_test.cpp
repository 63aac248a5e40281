#include "support/DynamicResources.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "TestUtil.h"
#include "support/Error.h"
#include "support/StringTable.h"

namespace zt {
namespace {

namespace fs = std::filesystem;

std::string SatelliteText(void* module, int16_t id) {
  const auto* table = static_cast<const StringTable*>(dlsym(module, kStringTableSymbol));
  if (table == nullptr) return "<no table>";
  const StringTableEntry* entry = FindString(*table, id);
  return entry == nullptr ? "<no text>" : std::string(entry->text, entry->length);
}

// The satellite a module finds beside it: for each case a fresh folder with
// the module's name and copies of the test satellites put beside it.
TEST(SatelliteSearch, LocBeforeLanguageBeforeShortLanguageBesideTheModule) {
  struct Case {
    const char* locale;
    std::vector<std::pair<const char*, const char*>> satellites;  // test satellite, put as
    const char* module;                                           // the add-in module's name
    const char* text;                                             // of id 1017; null: no satellite
  };
  const std::vector<Case> cases = {
      {"en_US.UTF-8", {{"enu", "libztENU.so"}, {"loc", "libztloc.so"}}, "libzt.so", "loc: %1, %2"},
      {"en_US.UTF-8", {{"enu", "libztEN.so"}}, "libzt.so", "enu: %1, %2"},
      {"en_US.UTF-8", {{"enu", "libztEN.so"}, {"loc", "libztENU.so"}}, "libzt.so", "loc: %1, %2"},
      // No abbreviation means no satellite at all.
      {"C", {{"loc", "libztloc.so"}}, "libzt.so", nullptr},
      {"POSIX", {{"loc", "libztloc.so"}}, "libzt.so", nullptr},
      {"", {{"loc", "libztloc.so"}}, "libzt.so", nullptr},
      // A capital extension is not rewritten: every candidate is the module's own path, which loads.
      {"en_US.UTF-8", {{"loc", "libztloc.so"}, {"enu", "libzt.SO"}}, "libzt.SO", "enu: %1, %2"},
      // Folder names are rewritten too: "x.so/libzt.so" becomes "xloc.so/libztloc.so", no such folder.
      {"en_US.UTF-8", {{"loc", "x.so/libztloc.so"}}, "x.so/libzt.so", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " " + c.satellites.back().second);
    const test::TempDir dir("satellites");
    for (const auto& [satellite, asName] : c.satellites) {
      fs::create_directories((dir / asName).parent_path());
      fs::copy_file(fs::path(ZT_TEST_SATELLITE_DIR) / ("libzt_test_satellite_" + std::string(satellite) + ".so"),
                    dir / asName);
    }
    test::SetLocale(c.locale);
    ResetResourceModule();
    void* module = LoadSatelliteModule((dir / c.module).string());
    if (c.text == nullptr) {
      EXPECT_EQ(module, nullptr);
    } else {
      ASSERT_NE(module, nullptr);
      EXPECT_EQ(SatelliteText(module, 1017), c.text);
    }
  }
  test::SetLocale("C");
  ResetResourceModule();
}

TEST(StringLookup, LongTextsAreCutTo511Characters) {
  void* module = dlopen((std::string(ZT_TEST_SATELLITE_DIR) + "/libzt_test_satellite_long.so").c_str(), RTLD_NOW);
  ASSERT_NE(module, nullptr);
  const std::string full = SatelliteText(module, 1018);
  ASSERT_EQ(full.size(), 600u);
  EXPECT_EQ(CutToCharacters(full, 511), full.substr(0, 511));
  // Characters, not bytes: a cut never splits a character.
  const std::string umlauts = SatelliteText(module, 1019);
  EXPECT_EQ(CutToCharacters(umlauts, 511).size(), 511u * 2);
}

TEST(StringLookup, GermanSatelliteBesideTheModule) {
  test::SetLocale("de_DE.UTF-8");
  ResetResourceModule();
  EXPECT_EQ(GetResString(1017), "Fehlernummer: %1, %2");
  // Neutral texts come from the satellite as well: there is no fallback per id.
  EXPECT_EQ(GetResString(IDS_TAG_TEST_NAME), "<test_name>");
  // Texts are kept once looked up, for the module chosen.
  const std::string& kept = ResString(1017);
  EXPECT_EQ(&kept, &ResString(1017));
  EXPECT_EQ(kept, "Fehlernummer: %1, %2");
  test::SetLocale("C");
  ResetResourceModule();
  EXPECT_EQ(GetResString(1017), "Error Number: %1, %2");
  EXPECT_EQ(ResString(1017), "Error Number: %1, %2");
}

TEST(Formatting, PlaceholdersAreReplacedInOrder) {
  test::SetLocale("C");
  ResetResourceModule();
  EXPECT_EQ(FormatResString2(1017, "5", "Type mismatch"), "Error Number: 5, Type mismatch");
  EXPECT_EQ(FormatResString(1017, {}), "Error Number: %1, %2");
  EXPECT_EQ(FormatResString1(1070, "x"), "[Verimos]--[Unit Test]: ");
  EXPECT_EQ(GetResString(110), "") << "an unassigned id gives the empty text";
  EXPECT_EQ(FormatResString(110, {"a"}), "");
  // A text with a placeholder twice, and an argument that holds the next one.
  EXPECT_EQ(FormatResString2(IDS_RC_DATAPOOL_CONFIG, "x", "y"), "62000 \"\"DATAPOOL_CONFIG <DATAPOOL_NAME>\"\"");
  EXPECT_EQ(FormatResString2(1017, "%2", "two"), "Error Number: two, two");
  EXPECT_EQ(FormatResString3(IDS_VB_DIM, "a", "()", "Long"), "Dim a() As Long");
  EXPECT_EQ(test::ErrorNumberOf([] { FormatResString(40000, {}); }), errc::kOverflow) << "ids have sixteen bits";
}

TEST(Locales, AbbreviationsFollowTheLocaleName) {
  EXPECT_EQ(LanguageAbbreviationFor("de_DE.UTF-8"), "DEU");
  EXPECT_EQ(LanguageAbbreviationFor("en_US"), "ENU");
  EXPECT_EQ(LanguageAbbreviationFor("en_GB.ISO-8859-1"), "ENG");
  EXPECT_EQ(LanguageAbbreviationFor("de_AT@euro"), "DEA");
  EXPECT_EQ(LanguageAbbreviationFor("de"), "DEU");
  EXPECT_EQ(LanguageAbbreviationFor("fr_BF"), "FRB");
  EXPECT_EQ(LanguageAbbreviationFor("C.UTF-8"), "");
  EXPECT_EQ(LanguageAbbreviationFor("POSIX"), "");
  EXPECT_EQ(LanguageAbbreviationFor("xyz"), "");
}

}  // namespace
}  // namespace zt
