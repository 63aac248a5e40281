#include "support/DynamicResources.h"

#include <dlfcn.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>

#include "support/Error.h"
#include "support/StringTable.h"
#include "support/Text.h"

extern "C" const zt::StringTable zt_string_table;

namespace zt {

namespace {

// The lookup buffer holds 512 characters, the terminating zero included.
constexpr size_t kBufferChars = 512;

// The module from which texts are loaded: the satellite, or the add-in
// module itself. Null until the first lookup chooses it.
void* g_resourceModule = nullptr;
// Its string table, looked up once when the module is chosen: the module
// stays loaded and its table never changes. Null when it has none.
const StringTable* g_resourceTable = nullptr;

// Where the add-in module lives, found once: the module cannot move while
// its code runs.
struct OwnModule {
  std::string path;     // as the loader reports it
  void* handle = nullptr;  // null when the loader does not know the module
};

const OwnModule& Own() {
  static const OwnModule own = [] {
    OwnModule m;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GetResString), &info) != 0 && info.dli_fname != nullptr) {
      m.path = info.dli_fname;
      m.handle = dlopen(m.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    }
    return m;
  }();
  return own;
}

// The text of `entry`, cut to what the lookup buffer holds. A text of fewer
// bytes than the buffer has room for has fewer characters too.
std::string BufferedText(const StringTableEntry& entry) {
  std::string text(entry.text, entry.length);
  return text.size() < kBufferChars ? text : CutToCharacters(text, kBufferChars - 1);
}

// The texts of one table already looked up, by id: a generation asks for
// the same few texts with every operation.
class TextCache {
 public:
  // The text of `id` in `table`, or null when the table has none.
  const std::string* Find(const StringTable& table, int16_t id) {
    if (&table != table_) {
      Clear();
      table_ = &table;
      const int16_t largest = table.count > 0 ? table.entries[table.count - 1].id : int16_t{-1};
      texts_.assign(largest < 0 ? 0 : static_cast<size_t>(largest) + 1, Text{});
    }
    if (id < 0 || static_cast<size_t>(id) >= texts_.size()) {
      const StringTableEntry* entry = FindString(table, id);
      if (entry == nullptr) return nullptr;
      return &outside_.try_emplace(id, BufferedText(*entry)).first->second;
    }
    Text& text = texts_[static_cast<size_t>(id)];
    if (!text.looked) {
      text.looked = true;
      if (const StringTableEntry* entry = FindString(table, id)) text.text = BufferedText(*entry);
    }
    return text.text ? &*text.text : nullptr;
  }
  void Clear() {
    table_ = nullptr;
    texts_.clear();
    outside_.clear();
  }

 private:
  struct Text {
    bool looked = false;
    std::optional<std::string> text;
  };
  const StringTable* table_ = nullptr;
  std::vector<Text> texts_;
  // Texts of negative ids (the tables hold none).
  std::map<int16_t, std::string> outside_;
};

TextCache& Cache() {
  static TextCache cache;
  return cache;
}

const std::string& NoText() {
  static const std::string empty;
  return empty;
}

// The string-load service: the text of `id` in `table`; empty when there is
// no table or no such text.
const std::string& LoadString(const StringTable* table, int16_t id) {
  if (table == nullptr) return NoText();
  const std::string* text = Cache().Find(*table, id);
  return text == nullptr ? NoText() : *text;
}

// Windows-style abbreviations of the common locales: language, then the
// country's letter. Languages whose main country is not listed get their
// two letters and the country's first letter.
const std::map<std::string, std::string>& KnownAbbreviations() {
  static const std::map<std::string, std::string> known = {
      {"ar_SA", "ARA"}, {"bg_BG", "BGR"}, {"ca_ES", "CAT"}, {"cs_CZ", "CSY"}, {"da_DK", "DAN"},
      {"de_AT", "DEA"}, {"de_CH", "DES"}, {"de_DE", "DEU"}, {"de_LI", "DEC"}, {"de_LU", "DEL"},
      {"el_GR", "ELL"}, {"en_AU", "ENA"}, {"en_CA", "ENC"}, {"en_GB", "ENG"}, {"en_IE", "ENI"},
      {"en_NZ", "ENZ"}, {"en_US", "ENU"}, {"en_ZA", "ENS"}, {"es_ES", "ESN"}, {"es_MX", "ESM"},
      {"et_EE", "ETI"}, {"fi_FI", "FIN"}, {"fr_BE", "FRB"}, {"fr_CA", "FRC"}, {"fr_CH", "FRS"},
      {"fr_FR", "FRA"}, {"fr_LU", "FRL"}, {"he_IL", "HEB"}, {"hr_HR", "HRV"}, {"hu_HU", "HUN"},
      {"is_IS", "ISL"}, {"it_CH", "ITS"}, {"it_IT", "ITA"}, {"ja_JP", "JPN"}, {"ko_KR", "KOR"},
      {"lt_LT", "LTH"}, {"lv_LV", "LVI"}, {"nb_NO", "NOR"}, {"nl_BE", "NLB"}, {"nl_NL", "NLD"},
      {"nn_NO", "NON"}, {"pl_PL", "PLK"}, {"pt_BR", "PTB"}, {"pt_PT", "PTG"}, {"ro_RO", "ROM"},
      {"ru_RU", "RUS"}, {"sk_SK", "SKY"}, {"sl_SI", "SLV"}, {"sv_FI", "SVF"}, {"sv_SE", "SVE"},
      {"th_TH", "THA"}, {"tr_TR", "TRK"}, {"uk_UA", "UKR"}, {"zh_CN", "CHS"}, {"zh_TW", "CHT"},
  };
  return known;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

const StringTableEntry* FindString(const StringTable& table, int16_t id) {
  const StringTableEntry* begin = table.entries;
  const StringTableEntry* end = table.entries + table.count;
  const StringTableEntry* it =
      std::lower_bound(begin, end, id, [](const StringTableEntry& e, int16_t key) { return e.id < key; });
  return (it != end && it->id == id) ? it : nullptr;
}

std::string CutToCharacters(const std::string& text, size_t maxChars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A byte that does not continue a UTF-8 sequence starts a character.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}

std::string GetResString(int16_t id) { return ResString(id); }

const std::string& ResString(int16_t id) {
  const OwnModule& own = Own();
  if (own.handle == nullptr) {
    // Not loaded as a module of its own: the add-in's own table serves, and
    // a missing text is an error, as the plain resource service reports it.
    const std::string* text = Cache().Find(zt_string_table, id);
    if (text == nullptr) RaiseError(errc::kResourceNotFound);
    return *text;
  }
  if (g_resourceModule == nullptr) {
    void* satellite = LoadSatelliteModule(CutToCharacters(own.path, kBufferChars - 1));
    g_resourceModule = satellite != nullptr ? satellite : own.handle;
    g_resourceTable = static_cast<const StringTable*>(dlsym(g_resourceModule, kStringTableSymbol));
  }
  return LoadString(g_resourceTable, id);
}

namespace {

// FormatResString over `count` arguments.
std::string Format(int32_t id, const std::string* const* args, size_t count) {
  if (id < std::numeric_limits<int16_t>::min() || id > std::numeric_limits<int16_t>::max()) {
    RaiseError(errc::kOverflow);
  }
  std::string text = ResString(static_cast<int16_t>(id));
  if (text.empty()) return text;
  for (size_t i = 0; i < count; ++i) {
    char mark[24] = {'%'};
    const auto [end, ec] = std::to_chars(mark + 1, mark + sizeof mark, i + 1);
    ReplaceAll(text, std::string_view(mark, static_cast<size_t>(end - mark)), *args[i]);
  }
  return text;
}

}  // namespace

std::string FormatResString(int32_t id, const std::vector<std::string>& args) {
  std::vector<const std::string*> pointers;
  pointers.reserve(args.size());
  for (const std::string& arg : args) pointers.push_back(&arg);
  return Format(id, pointers.data(), pointers.size());
}

std::string FormatResString1(int32_t id, const std::string& arg1) {
  const std::string* args[] = {&arg1};
  return Format(id, args, 1);
}

std::string FormatResString2(int32_t id, const std::string& arg1, const std::string& arg2) {
  const std::string* args[] = {&arg1, &arg2};
  return Format(id, args, 2);
}

std::string FormatResString3(int32_t id, const std::string& arg1, const std::string& arg2,
                             const std::string& arg3) {
  const std::string* args[] = {&arg1, &arg2, &arg3};
  return Format(id, args, 3);
}

std::string LanguageAbbreviationFor(const std::string& localeName) {
  // language[_COUNTRY][.codeset][@modifier]
  std::string name = localeName.substr(0, localeName.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return {};
  const size_t sep = name.find_first_of("_-");
  std::string language = name.substr(0, sep);
  std::string country = sep == std::string::npos ? std::string() : name.substr(sep + 1);
  if (language.size() != 2 || !IsLetter(language[0]) || !IsLetter(language[1])) return {};
  for (char& c : language) c = static_cast<char>(c | 0x20);
  for (char& c : country) c = Upper(c);
  const auto& known = KnownAbbreviations();
  if (auto it = known.find(language + "_" + country); it != known.end()) return it->second;
  // A language alone means its main locale; an unlisted country gives the
  // language and the country's first letter.
  if (country.empty() || !IsLetter(country[0])) {
    static const std::map<std::string, std::string> kMain = {
        {"cs", "CSY"}, {"da", "DAN"}, {"de", "DEU"}, {"el", "ELL"}, {"en", "ENU"}, {"es", "ESN"},
        {"fi", "FIN"}, {"fr", "FRA"}, {"hu", "HUN"}, {"it", "ITA"}, {"ja", "JPN"}, {"ko", "KOR"},
        {"nb", "NOR"}, {"nl", "NLD"}, {"pl", "PLK"}, {"pt", "PTG"}, {"ru", "RUS"}, {"sv", "SVE"},
        {"tr", "TRK"}, {"zh", "CHS"},
    };
    if (auto it = kMain.find(language); it != kMain.end()) return it->second;
    return std::string{Upper(language[0]), Upper(language[1]), Upper(language[1])};
  }
  return std::string{Upper(language[0]), Upper(language[1]), country[0]};
}

std::string UserLanguageAbbreviation() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return LanguageAbbreviationFor(value);
  }
  return {};
}

void* LoadSatelliteModule(const std::string& modulePath) {
  const std::string abbreviation = UserLanguageAbbreviation();
  if (abbreviation.empty()) return nullptr;
  const std::string candidates[] = {
      "loc.so",
      abbreviation + ".so",
      abbreviation.substr(0, abbreviation.size() - 1) + ".so",
  };
  for (const std::string& replacement : candidates) {
    std::string path = modulePath;
    ReplaceAll(path, ".so", replacement);
    // dlopen reports a missing file by its result alone: nothing to suppress.
    if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
  }
  return nullptr;
}

void ResetResourceModule() {
  g_resourceModule = nullptr;
  g_resourceTable = nullptr;
  Cache().Clear();
}

}  // namespace zt
