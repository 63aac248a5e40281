// A model held against its compiled classes: each class of the model to one
// real class (its Java package and name; a nested class "Outer.Inner"), each
// operation to one constructor or method (name, number and types of the
// parameters; overloads kept apart), and the code's members the model lacks.
//
// Types are compared by the last part of their erasure, so that a model's
// "List<String>" is the code's "java.util.List<java.lang.String>", its
// "Order.Line" the code's "shop.Order.Line", and "String..." "String[]"; a
// type variable of the code also matches the model's type of its name (what
// a tool's import makes of "T").
#pragma once

#include <string>
#include <vector>

#include "workbench/code/CompiledClasses.h"
#include "workbench/model/Model.h"

namespace zt::wb {

struct OperationCheck {
  enum class Status { kMatch, kMissing, kDiffers };
  Operation* operation = nullptr;
  Status status = Status::kMatch;
  /// The member it matches (kMatch).
  const CodeMember* member = nullptr;
  /// "name(Type, ...)" as the model says it.
  std::string modelSignature;
  /// kDiffers: what the code has of that name, "format(long)" (several
  /// joined by ", ").
  std::string codeSignatures;
};

struct ClassCheck {
  Class* cls = nullptr;
  std::string javaName;
  /// The class the code has; nullptr when the class path has none.
  const CodeClass* code = nullptr;
  std::vector<OperationCheck> operations;
  /// Constructors and methods the class declares that no operation matches.
  std::vector<const CodeMember*> unmodelled;
};

/// The comparison of classes of a model with the code.
class CodeComparison {
 public:
  /// Compares `classes` with `described`, the describer's document for the
  /// Java names of those classes (in any order). A class of the JDK (a
  /// library type the model names) is left out.
  CodeComparison(const std::vector<Class*>& classes, std::vector<CodeClass> described);
  CodeComparison(const CodeComparison&) = delete;
  CodeComparison& operator=(const CodeComparison&) = delete;

  const std::vector<ClassCheck>& Classes() const { return classes_; }
  /// The check of `operation`, or nullptr when its class was not compared.
  const OperationCheck* Find(const TesselOperation* operation) const;
  /// The check of `cls`, or nullptr.
  const ClassCheck* FindClass(const TesselClass* cls) const;
  /// Whether anything differs: a class missing, an operation missing or
  /// different, a member of the code the model lacks.
  bool Differs() const;

 private:
  std::vector<CodeClass> described_;
  std::vector<ClassCheck> classes_;
};

/// The Java names of `classes`, in order, each once: what to describe.
std::vector<std::string> JavaNamesOf(const std::vector<Class*>& classes);

/// "name(Type, ...)" of a model's operation, its parameters' types as the
/// model gives them.
std::string ModelSignature(const Operation& operation);

}  // namespace zt::wb
