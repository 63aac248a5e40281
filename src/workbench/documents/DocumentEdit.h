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
/// SetToolPropertyInText does, and writes the change into the document
/// itself: through a symbolic link, keeping its inode (and so its other hard
/// links), owner, group and mode. A document the user may not write, or one
/// without any write permission (even for root), is refused. Room for a
/// longer text is taken before anything is written, and a write that fails
/// puts the old text back; during the write a copy of the new text lies
/// beside the document, which a crash would leave. Raises the file-system
/// object's errors when it cannot read or write.
void SetToolPropertyInDocument(const std::string& path, const Element& element, const std::string& tool,
                               const std::string& name, const std::string& value);

}  // namespace zt::wb
