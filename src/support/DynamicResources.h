// Texts by id. Every text the add-in shows, logs or writes into generated
// code comes from the string table through these functions. The table of a
// localized satellite module beside the add-in module (libztunittestloc.so,
// or one named by the user's language, libztunittestDEU.so) wins over the
// module's own; the choice is made once, at the first lookup, and kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "strings/StringIds.h"

namespace zt {

/// The text of `id`; empty when the chosen module has no such text. Texts
/// are cut to 511 characters, the limit of the lookup buffer.
std::string GetResString(int16_t id);

/// GetResString without a copy: the text of `id`, kept from its first lookup
/// until the module is chosen again. For the texts a generation asks for
/// with every operation.
const std::string& ResString(int16_t id);

/// The text of `id` with "%1", "%2", ... replaced by args[0], args[1], ...
/// one after another over the growing text. Raises error 6 for an id
/// outside 16 bits.
std::string FormatResString(int32_t id, const std::vector<std::string>& args);
std::string FormatResString1(int32_t id, const std::string& arg1);
std::string FormatResString2(int32_t id, const std::string& arg1, const std::string& arg2);
std::string FormatResString3(int32_t id, const std::string& arg1, const std::string& arg2,
                             const std::string& arg3);

/// Loads the satellite for the add-in module at `modulePath`: tries the
/// path with every ".so" replaced by "loc.so", then by the user's language
/// abbreviation + ".so", then by that abbreviation less its last letter +
/// ".so". Returns the module handle, or nullptr when none loads or the
/// user's language has no abbreviation.
void* LoadSatelliteModule(const std::string& modulePath);

/// The three-letter language abbreviation of the user's locale (LC_ALL,
/// LC_MESSAGES, LANG, first one set): "DEU" for de_DE, "ENU" for en_US;
/// empty for "C", "POSIX" or no locale.
std::string UserLanguageAbbreviation();

/// The abbreviation of one locale name such as "de_DE.UTF-8".
std::string LanguageAbbreviationFor(const std::string& localeName);

/// Forgets the chosen module, so that the next lookup chooses again.
/// For tests; the add-in itself chooses once per load.
void ResetResourceModule();

/// Cuts `text` to at most `maxChars` characters (UTF-8 sequences kept whole).
std::string CutToCharacters(const std::string& text, size_t maxChars);

}  // namespace zt
