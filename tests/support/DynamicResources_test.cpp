#include "support/DynamicResources.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/Error.h"
#include "support/StringTable.h"
#include "TestUtil.h"

namespace zt {
namespace {

namespace fs = std::filesystem;

std::string SatelliteText(void* module, int16_t id) {
  const auto* table = static_cast<const StringTable*>(dlsym(module, kStringTableSymbol));
  if (table == nullptr) return "<no table>";
  const StringTableEntry* entry = FindString(*table, id);
  return entry == nullptr ? "<no text>" : std::string(entry->text, entry->length);
}

// A folder with an add-in module "libzt.so" and the satellites a test puts
// beside it, all copies of the test satellites.
class SatelliteSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetResourceModule();
    dir_ = test::TempDir("satellites");
  }
  void TearDown() override {
    test::SetLocale("C");
    ResetResourceModule();
  }
  std::string Put(const std::string& satellite, const std::string& asName) {
    const fs::path target = dir_ / asName;
    fs::create_directories(target.parent_path());
    fs::copy_file(fs::path(ZT_TEST_SATELLITE_DIR) / ("libzt_test_satellite_" + satellite + ".so"), target,
                  fs::copy_options::overwrite_existing);
    return target.string();
  }
  fs::path dir_;
};

TEST_F(SatelliteSearch, LocSatelliteWinsOverLanguageSatellite) {
  test::SetLocale("en_US.UTF-8");
  Put("enu", "libztENU.so");
  Put("loc", "libztloc.so");
  void* module = LoadSatelliteModule((dir_ / "libzt.so").string());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(SatelliteText(module, 1017), "loc: %1, %2");
}

TEST_F(SatelliteSearch, LanguageThenShortLanguage) {
  test::SetLocale("en_US.UTF-8");
  Put("enu", "libztEN.so");
  void* module = LoadSatelliteModule((dir_ / "libzt.so").string());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(SatelliteText(module, 1017), "enu: %1, %2");

  Put("loc", "libztENU.so");
  module = LoadSatelliteModule((dir_ / "libzt.so").string());
  EXPECT_EQ(SatelliteText(module, 1017), "loc: %1, %2");
}

TEST_F(SatelliteSearch, NoAbbreviationMeansNoSatelliteAtAll) {
  Put("loc", "libztloc.so");
  for (const char* locale : {"C", "POSIX", ""}) {
    test::SetLocale(locale);
    EXPECT_EQ(LoadSatelliteModule((dir_ / "libzt.so").string()), nullptr) << "locale '" << locale << "'";
  }
}

TEST_F(SatelliteSearch, CapitalExtensionIsNotRewritten) {
  test::SetLocale("en_US.UTF-8");
  Put("loc", "libztloc.so");
  const std::string own = Put("enu", "libzt.SO");
  // Every candidate is the module's own path, which loads.
  void* module = LoadSatelliteModule(own);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(SatelliteText(module, 1017), "enu: %1, %2");
}

TEST_F(SatelliteSearch, FolderNamesAreRewrittenToo) {
  test::SetLocale("en_US.UTF-8");
  Put("loc", "x.so/libztloc.so");
  // "x.so/libzt.so" becomes "xloc.so/libztloc.so": no such folder.
  EXPECT_EQ(LoadSatelliteModule((dir_ / "x.so" / "libzt.so").string()), nullptr);
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

TEST(StringLookup, OwnTableServesTheEnglishMessages) {
  test::SetLocale("C");
  ResetResourceModule();
  EXPECT_EQ(GetResString(1017), "Error Number: %1, %2");
  EXPECT_EQ(GetResString(1070), "[Verimos]--[Unit Test]: ");
  EXPECT_EQ(GetResString(1000), "NOTE: Neutral Strings should not be greater than 1000");
  EXPECT_EQ(GetResString(110), "") << "an unassigned id gives the empty text";
}

TEST(StringLookup, GermanSatelliteBesideTheModule) {
  test::SetLocale("de_DE.UTF-8");
  ResetResourceModule();
  EXPECT_EQ(GetResString(1017), "Fehlernummer: %1, %2");
  // Neutral texts come from the satellite as well: there is no fallback per id.
  EXPECT_EQ(GetResString(IDS_TAG_TEST_NAME), "<test_name>");
  test::SetLocale("C");
  ResetResourceModule();
  EXPECT_EQ(GetResString(1017), "Error Number: %1, %2");
}

TEST(Formatting, PlaceholdersAreReplacedInOrder) {
  test::SetLocale("C");
  ResetResourceModule();
  EXPECT_EQ(FormatResString2(1017, "5", "Type mismatch"), "Error Number: 5, Type mismatch");
  EXPECT_EQ(FormatResString(1017, {}), "Error Number: %1, %2");
  EXPECT_EQ(FormatResString1(1070, "x"), "[Verimos]--[Unit Test]: ");
  EXPECT_EQ(FormatResString(110, {"a"}), "");
  // A text with a placeholder twice, and an argument that holds the next one.
  EXPECT_EQ(FormatResString2(IDS_RC_DATAPOOL_CONFIG, "x", "y"), "62000 \"\"DATAPOOL_CONFIG <DATAPOOL_NAME>\"\"");
  EXPECT_EQ(FormatResString2(1017, "%2", "two"), "Error Number: two, two");
  EXPECT_EQ(FormatResString3(IDS_VB_DIM, "a", "()", "Long"), "Dim a() As Long");
}

TEST(Formatting, IdsOutsideSixteenBitsOverflow) {
  try {
    FormatResString(40000, {});
    FAIL() << "no error raised";
  } catch (const ZtError& e) {
    EXPECT_EQ(e.Number(), errc::kOverflow);
  }
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
