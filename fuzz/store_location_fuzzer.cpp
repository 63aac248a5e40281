// Fuzzes the store-location parser (ParseStoreLocation, IsDatabaseLocation,
// AbsoluteStoreLocation) with libpq's own reader behind it: the input, cut
// at its first NUL as a command line would be, as --store's value.
//
// A fault: a crash; an error other than 5, or one without text; a location
// taken for a folder that IsDatabaseLocation calls a database, or the
// other way round; a database location whose scripts folder is not
// absolute, is "/", holds a NUL, or whose libpq part still holds "scripts";
// a refusal whose message shows the value of a password given as
// "password=<value>" (the value being "pw" and a digit, which is nothing
// else in the message).
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
  const bool database = zt::wb::IsDatabaseLocation(location);
  if (database && zt::wb::AbsoluteStoreLocation(location) != location) __builtin_trap();
  try {
    const zt::wb::StoreLocation parsed = zt::wb::ParseStoreLocation(location);
    const bool postgres = parsed.kind == zt::wb::StoreLocation::Kind::kPostgres;
    if (postgres != database) __builtin_trap();
    if (!postgres && parsed.folder != location) __builtin_trap();
    if (postgres && (parsed.scripts.empty() || parsed.scripts[0] != '/' || parsed.scripts == "/" ||
                     parsed.scripts.find('\0') != std::string::npos)) {
      __builtin_trap();
    }
  } catch (const zt::ZtError& e) {
    if (e.Number() != zt::errc::kInvalidCall || e.Description().empty() || !database) __builtin_trap();
    for (size_t at = location.find("password=pw"); at != std::string::npos; at = location.find("password=pw", at + 1)) {
      const std::string secret = location.substr(at + 9, 3);
      if (secret.size() == 3 && secret[2] >= '0' && secret[2] <= '9' &&
          e.Description().find(secret) != std::string::npos) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
