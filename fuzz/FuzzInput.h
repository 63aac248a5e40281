// What the fuzz targets share: the input cut into fields, and the English
// texts of the add-in whatever the caller's locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace zt::fuzz {

/// The input cut at every `separator`; n separators give n + 1 fields.
inline std::vector<std::string> SplitInput(const uint8_t* data, size_t size, char separator) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    fields.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

/// The add-in chooses its satellite by the locale at its first lookup: the
/// targets run in the English one, as the tests do.
inline void UseEnglishTexts() {
  setenv("LANG", "C", 1);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
}

}  // namespace zt::fuzz
