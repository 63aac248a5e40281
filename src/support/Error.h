// Raising and catching the add-in's errors (the type is host/Error.h's):
// the runtime's descriptions of its error numbers, what a handler makes of
// whatever it caught, and the dereference that raises error 91.
#pragma once

#include <cstdint>
#include <string>

#include "host/Error.h"

namespace zt {

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
