// The model as the code has it, for a generation run with a class path: the
// host's object model is made to give the real signatures, so that the
// add-in writes its tests from them without knowing of the code.
//
// For each class of the comparison that the class path has:
//  - an operation that matches a member of the code gets the member's
//    parameter types, result and static flag, as a test can spell them:
//    canonical names (java.lang's simple), a variable-arity parameter as
//    "X...", and each type variable (the method's, then the class's) as the
//    erasure of its first bound, java.lang.Object when it has none (a note
//    says so);
//  - an operation the code lacks or has with another signature, one that is
//    private in the code, and one that is not static of a class whose object
//    a test cannot make (an interface, an abstract class, an inner class, a
//    class whose constructors are all private in the code) is refused: it is made
//    private in the host's model, which every generator leaves alone, and
//    its reason is kept for the host to tell;
//  - the object under test is made with a constructor of the code that is
//    not private (the test is in the class's package): the model's
//    constructors that match one keep it, the others are made private; when
//    none matches, the public constructor with the fewest parameters (else
//    the one that is not private with the fewest) is added to the model, its
//    parameters unnamed.
// Every operation of a class the class path lacks is refused.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "workbench/code/CodeComparison.h"

namespace zt::wb {

/// Why an operation is not taken, as the code has it.
struct CodeRefusal {
  std::string code;  ///< for a run's summary: not-in-code, signature-differs, ...
  std::string text;  ///< for the line on stderr
};

struct CodeAdjustments {
  std::map<const TesselOperation*, CodeRefusal> refused;
  /// Lines for stderr: each class the class path lacks, each type variable
  /// a test names by its bound.
  std::vector<std::string> notes;
};

/// Makes the classes of `comparison` in their model give what the code has
/// (see the file comment).
CodeAdjustments ApplyTheCode(Model& model, const CodeComparison& comparison);

/// `type` of `member` of `cls` as a test spells it: type variables replaced
/// by the erasure of their first bound (each replaced one added to
/// `replaced` as "T as java.lang.Comparable"), and java.lang's classes by
/// their simple names.
std::string TestableType(const std::string& type, const CodeMember* member, const CodeClass& cls,
                         std::vector<std::string>* replaced);

}  // namespace zt::wb
