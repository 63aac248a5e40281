// Changing one value in a model document without writing the rest of it
// anew: the template choices of the template entries are kept this way, so
// that a hand-formatted document keeps its layout, key order and escapes.
//
// The element is found in the document by its place in the model (the k-th
// package, class, attribute, operation or parameter of its owner; document
// order is model order), its name checked on the way. A tool property that
// is there gets its new value in place; one that is not is added as the
// last member of its object ("properties" and the tool's object are made
// when missing), on a line of its own when the object's members are each on
// one, else on the same line. Line ends follow the document's (CR LF when it
// uses them).
#pragma once

#include <string>
#include <string_view>

#include "workbench/model/Model.h"

namespace zt::wb {

/// `text` (a model document; `fileName` names it in errors) with the tool
/// property `tool`.`name` of `element` set to `value`, every other byte as
/// it was. `element` is the model or an element below its root package.
/// Raises error 5 with a message when the text is not JSON or the element
/// is not where the model has it.
std::string SetToolPropertyInText(std::string_view text, const std::string& fileName, const Element& element,
                                  const std::string& tool, const std::string& name, const std::string& value);

/// Reads the model document at `path`, sets the tool property as
/// SetToolPropertyInText does, and writes the document back atomically.
/// Raises the file-system object's errors when it cannot read or write.
void SetToolPropertyInDocument(const std::string& path, const Element& element, const std::string& tool,
                               const std::string& name, const std::string& value);

}  // namespace zt::wb
