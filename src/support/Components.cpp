#include "host/Components.h"

#include "support/Error.h"

namespace zt {

namespace {
HostComponents* g_components = nullptr;
}  // namespace

void SetHostComponents(HostComponents* components) { g_components = components; }

HostComponents& Components() {
  if (g_components == nullptr) RaiseError(errc::kCannotCreateObject);
  return *g_components;
}

}  // namespace zt
