// Fuzzes the store-location parser (ParseStoreLocation) with libpq's own
// reader behind it: the input, cut at its first NUL as a command line would
// be, as --store's value.
//
// A fault: a crash; an error other than 5, or one without text, for a
// location that is not refused as a database's; a folder location that is
// not made absolute, or whose text is not its folder; a database location
// whose scripts folder is not absolute, is "/" or holds a NUL, or whose
// text is not the input; a refusal whose message shows a password's value
// after its keyword ("password=pw" and a digit: the passwords of the seeds).
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "support/Error.h"
#include "workbench/store/StoreLocation.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string location(reinterpret_cast<const char*>(data), size);
  location = location.substr(0, location.find('\0'));
  try {
    const zt::wb::StoreLocation parsed = zt::wb::ParseStoreLocation(location);
    const bool postgres = parsed.kind == zt::wb::StoreLocation::Kind::kPostgres;
    if (!postgres && (parsed.folder != parsed.text || (!location.empty() && parsed.folder[0] != '/'))) {
      __builtin_trap();
    }
    if (postgres && (parsed.text != location || parsed.scripts.empty() || parsed.scripts[0] != '/' ||
                     parsed.scripts == "/" || parsed.scripts.find('\0') != std::string::npos)) {
      __builtin_trap();
    }
  } catch (const zt::ZtError& e) {
    if (e.Number() != zt::errc::kInvalidCall || e.Description().empty()) __builtin_trap();
    const std::string& told = e.Description();
    for (size_t at = told.find("password=pw"); at != std::string::npos; at = told.find("password=pw", at + 1)) {
      if (at + 11 < told.size() && told[at + 11] >= '0' && told[at + 11] <= '9') __builtin_trap();
    }
  }
  return 0;
}
