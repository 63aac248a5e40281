// Fuzzes the line tests of a Visual Basic project file:
// VBLang::IsProjectClassReference, IsProjectModuleReference and
// IsResourceReference.
//
// Input: the line. Error 9 (a reference line without ";") is the back-end's
// answer to a broken line; a test that says "not mine" leaves its outputs as
// they were.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "lang/VBLang.h"
#include "support/Error.h"

namespace {

const std::string kUntouched = "\x01untouched";

template <class Test>
void Check(const std::string& input, Test test) {
  std::string line = input;
  std::string fileTemp = kUntouched;
  std::string fileOut = kUntouched;
  try {
    if (!test(line, fileTemp, fileOut) && (line != input || fileTemp != kUntouched || fileOut != kUntouched)) {
      __builtin_trap();
    }
  } catch (const zt::ZtError& e) {
    if (e.Number() != zt::errc::kSubscriptOutOfRange) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  zt::VBLang vb;
  Check(input, [&](std::string& line, std::string& temp, std::string& out) {
    return vb.IsProjectClassReference(line, temp, out);
  });
  Check(input, [&](std::string& line, std::string& temp, std::string& out) {
    return vb.IsProjectModuleReference(line, temp, out);
  });
  Check(input, [&](std::string& line, std::string& temp, std::string& out) {
    return vb.IsResourceReference(line, temp, out);
  });
  return 0;
}
