// The model tree as text, one line per element, as `ztunittest model show`
// prints it. The format is meant for people and for tests that compare it,
// so it is stable: model order, two spaces of indent per level.
#pragma once

#include <string>

#include "workbench/model/Model.h"

namespace zt::wb {

/// The listing of `model`: the model, its tool properties and components,
/// then the root package and everything below it. Each element's line gives
/// its kind and qualified name (with stereotype, language and abstract flag
/// for a class, the signature for an operation, type and initial value for
/// a parameter); the lines below it, one level deeper, give its relations,
/// its components and its tool properties. Control characters in names and
/// values are shown as escapes, so that every line stays one line.
std::string ListModel(const Model& model);

}  // namespace zt::wb
