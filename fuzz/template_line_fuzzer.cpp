// Fuzzes the substitution and indent rules of one template line against a
// parameter map (zt::SubstituteLine).
//
// Input: fields separated by NUL bytes. The first field is the template
// line; the fields after it are pairs of key and value, added to the map in
// that order. A key left without a value gets the generation date at a fixed
// instant.
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "template/ParamMap.h"
#include "template/TemplateProcessor.h"

namespace {

// Keys are replaced one after another in the line replaced so far, so a
// value that holds the next key many times multiplies the line's length:
// the growth is the product of the values' lengths over the keys' ones.
// Inputs that could grow the line past this many bytes are skipped; their
// run time and memory are the map's, not a fault.
constexpr double kMaxLineBytes = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> fields = zt::fuzz::SplitInput(data, size, '\0');
  std::string line = std::move(fields[0]);
  zt::ParamMap params;
  double bound = static_cast<double>(line.size()) + 1;
  for (size_t i = 1; i < fields.size(); i += 2) {
    const std::string& key = fields[i];
    if (i + 1 < fields.size()) {
      const std::string& value = fields[i + 1];
      // Every CR LF of a value may take the line's indent after it.
      const double grown = static_cast<double>(value.size()) * (1.0 + static_cast<double>(line.size()));
      if (!key.empty()) bound *= 1.0 + grown / static_cast<double>(key.size());
      params.Add(value, key);
    } else {
      params.Add(zt::ParamDate{std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 30)), true}, key);
      bound *= 64;
    }
    if (bound > kMaxLineBytes) return -1;
  }

  const std::string original = line;
  zt::SubstituteLine(line, params);
  // A line without both tag brackets is left as it is.
  if ((original.find('<') == std::string::npos || original.find('>') == std::string::npos) && line != original) {
    __builtin_trap();
  }
  return 0;
}
