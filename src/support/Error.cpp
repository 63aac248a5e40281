#include "support/Error.h"

#include <new>

#include "support/DynamicResources.h"

namespace zt {

std::string DescribeError(int32_t number) {
  switch (number) {
    case errc::kInvalidCall: return GetResString(IDS_ERR_INVALID_CALL);
    case errc::kOverflow: return GetResString(IDS_ERR_OVERFLOW);
    case errc::kOutOfMemory: return GetResString(IDS_ERR_OUT_OF_MEMORY);
    case errc::kSubscriptOutOfRange: return GetResString(IDS_ERR_SUBSCRIPT);
    case errc::kTypeMismatch: return GetResString(IDS_ERR_TYPE_MISMATCH);
    case errc::kFileNotFound: return GetResString(IDS_ERR_FILE_NOT_FOUND);
    case errc::kFileAlreadyExists: return GetResString(IDS_ERR_FILE_EXISTS);
    case errc::kBadFileMode: return GetResString(IDS_ERR_BAD_FILE_MODE);
    case errc::kInputPastEnd: return GetResString(IDS_ERR_INPUT_PAST_END);
    case errc::kPermissionDenied: return GetResString(IDS_ERR_PERMISSION_DENIED);
    case errc::kPathFileAccessError: return GetResString(IDS_ERR_PATH_FILE_ACCESS);
    case errc::kPathNotFound: return GetResString(IDS_ERR_PATH_NOT_FOUND);
    case errc::kObjectNotSet: return GetResString(IDS_ERR_OBJECT_NOT_SET);
    case errc::kResourceNotFound: return GetResString(IDS_ERR_RESOURCE_NOT_FOUND);
    case errc::kCannotCreateObject: return GetResString(IDS_ERR_CANNOT_CREATE_OBJECT);
    default: return GetResString(IDS_ERR_APPLICATION_DEFINED);
  }
}

void RaiseError(int32_t number, const std::string& source) {
  // The resource error must not look its own description up: that lookup is
  // what failed.
  std::string description =
      number == errc::kResourceNotFound ? std::string() : DescribeError(number);
  throw ZtError(number, source, std::move(description));
}

ZtError CurrentError() {
  try {
    throw;
  } catch (const ZtError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return ZtError(errc::kOutOfMemory, {}, DescribeError(errc::kOutOfMemory));
  } catch (const std::exception& e) {
    return ZtError(errc::kApplicationDefined, {}, e.what());
  } catch (...) {
    return ZtError(errc::kApplicationDefined, {}, DescribeError(errc::kApplicationDefined));
  }
}

}  // namespace zt
