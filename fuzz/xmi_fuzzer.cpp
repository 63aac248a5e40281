// Fuzzes the XMI reader (zt::wb::ParseXmi) and, for every file that loads,
// the way back: the model written as a model document must load through the
// JSON loader and be written the same way again, as `model convert` promises.
//
// Input: the file's bytes. A DocumentError is the reader's answer to a file
// it cannot use; anything else that escapes, or a crash, is a fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzInput.h"
#include "support/Error.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/documents/XmiReader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  zt::wb::XmiResult result;
  try {
    result = zt::wb::ParseXmi(bytes, "fuzz.xmi", zt::wb::XmiOptions{"Java"});
  } catch (const zt::wb::DocumentError&) {
    return 0;
  }
  if (!result.model) __builtin_trap();
  for (const zt::wb::LoadWarning& warning : result.warnings) {
    if (warning.Format().empty()) __builtin_trap();
  }

  std::string written;
  try {
    written = zt::wb::FormatModelDocument(*result.model);
  } catch (const zt::ZtError&) {
    // Text that a document cannot carry; the reader should not have let it in.
    __builtin_trap();
  }
  std::unique_ptr<zt::wb::Model> again = zt::wb::ParseModelDocument(written, "fuzz.json");
  if (zt::wb::FormatModelDocument(*again) != written) __builtin_trap();
  return 0;
}
