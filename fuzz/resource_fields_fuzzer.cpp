// Fuzzes the field lines of a datapool resource script
// (VBResources::AddFields) with signature arrays built from the input.
//
// Input: lines (LF). The first line says which of the four arrays are
// there, one character each, in the order types, names, array suffixes,
// initial values: "-" for an absent array, anything else for one that is
// there. Every further line is one parameter, its fields separated by tabs
// in the same order; a field that a line lacks is missing from its array,
// so the arrays may differ in length. Errors 9 and 13 (an element outside
// an array, an absent array) are the writer's answer to arrays that do not
// match.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "resources/VBResources.h"
#include "support/Error.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = zt::fuzz::SplitInput(data, size, '\n');
  zt::SignatureArray arrays[4];
  for (size_t a = 0; a < 4; ++a) {
    if (a >= lines[0].size() || lines[0][a] != '-') arrays[a].emplace();
  }
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> fields =
        zt::fuzz::SplitInput(reinterpret_cast<const uint8_t*>(lines[i].data()), lines[i].size(), '\t');
    for (size_t a = 0; a < 4 && a < fields.size(); ++a) {
      if (arrays[a]) arrays[a]->push_back(fields[a]);
    }
  }

  zt::VBResources resources;
  resources.Initialize(nullptr, "dp", "Class");
  try {
    resources.AddFields(arrays[0], arrays[1], arrays[2], arrays[3]);
  } catch (const zt::ZtError& e) {
    if (e.Number() != zt::errc::kSubscriptOutOfRange && e.Number() != zt::errc::kTypeMismatch) __builtin_trap();
  }
  return 0;
}
