// The one error type of the add-in: number, source and description, as the
// host's automation runtime reports a raised error. Members that "raise" throw
// it; members with their own handler catch it (or any std::exception, which
// they treat as an error with a number of its own) and report it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace zt {

class ZtError : public std::exception {
 public:
  ZtError(int32_t number, std::string source, std::string description);

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

/// Raises `number` with the runtime's own description of it.
[[noreturn]] void RaiseError(int32_t number, const std::string& source = {});

/// Raises `number` with a description of the caller's.
[[noreturn]] void RaiseError(int32_t number, const std::string& source,
                             const std::string& description);

/// The runtime's description of an error number ("Type mismatch" for 13).
std::string DescribeError(int32_t number);

/// Turns whatever was thrown into the add-in's error type, so that handlers
/// can report it: a ZtError stays as it is, std::bad_alloc becomes error 7,
/// any other std::exception error 1004 with its message.
ZtError CurrentError();

/// Dereferences an object reference, raising error 91 when it is not set,
/// as every host call on Nothing does.
template <class T>
T& Ref(T* object) {
  if (object == nullptr) RaiseError(errc::kObjectNotSet);
  return *object;
}

}  // namespace zt
