// The one error type of the add-in and of every outside call it makes:
// number, source and description, as the host's automation runtime reports
// a raised error. A host call or an outside component that fails raises it
// like the add-in's own members do; members with their own handler catch it
// (support/Error.h turns anything else they catch into one) and report it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace zt {

class ZtError : public std::exception {
 public:
  ZtError(int32_t number, std::string source, std::string description)
      : number_(number), source_(std::move(source)), description_(std::move(description)) {}

  int32_t Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

/// Well-known error numbers of the automation runtime that the add-in and its
/// host raise. Their descriptions come from the string table.
namespace errc {
inline constexpr int32_t kInvalidCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kBadFileMode = 54;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kInputPastEnd = 62;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathFileAccessError = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kResourceNotFound = 326;
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kApplicationDefined = 1004;
/// The store's "user cancelled the login" error: component-error base plus 1006.
inline constexpr int32_t kStoreCancelled = static_cast<int32_t>(0x800403EEu);
}  // namespace errc

/// Raises `number` with the runtime's own description of it (one of the
/// add-in's texts: support/Error.cpp looks it up).
[[noreturn]] void RaiseError(int32_t number, const std::string& source = {});

/// Raises `number` with a description of the caller's.
[[noreturn]] inline void RaiseError(int32_t number, const std::string& source, const std::string& description) {
  throw ZtError(number, source, description);
}

}  // namespace zt
