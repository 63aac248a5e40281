// Fuzzes the reading of model documents (zt::wb::ParseModelDocument) and,
// for every document that loads, the writer: the written document must load
// again and be written the same way.
//
// Input: the document's text. A DocumentError is the loader's answer to a
// broken document; anything else that escapes, or a crash, is a fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzInput.h"
#include "support/Error.h"
#include "workbench/documents/ModelDocument.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<zt::wb::Model> model;
  try {
    model = zt::wb::ParseModelDocument(text, "fuzz.json");
  } catch (const zt::wb::DocumentError&) {
    return 0;
  }

  std::string written;
  try {
    written = zt::wb::FormatModelDocument(*model);
  } catch (const zt::ZtError&) {
    // Text that a document cannot carry; the loader should not have let it in.
    __builtin_trap();
  }
  std::unique_ptr<zt::wb::Model> again = zt::wb::ParseModelDocument(written, "fuzz.json");
  if (zt::wb::FormatModelDocument(*again) != written) __builtin_trap();
  return 0;
}
