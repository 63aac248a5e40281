// Java types as a generated test needs them to compile: variables of every
// type the model names (a variable-arity parameter becomes an array), reads
// from the datapool for every type (JavaLang's fragments for the types it
// reads, the runtime's typed read for all others), and the imports of the
// types a test names by their simple names.
//
// These back the tags the bundled Java templates use beyond the Java
// generator's own; JavaLang's fragments stay as they are for those.
#pragma once

#include <string>
#include <vector>

namespace zt {

class TesselClass;

/// The type a test variable of `type` has: "X..." (variable arity) is "X[]";
/// any other type as the model gives it.
std::string JavaTestVariableType(const std::string& type);

/// "T name = <default>;", as JavaLang declares a variable, for the type of
/// JavaTestVariableType; "" for "void".
std::string DeclareJavaTestVariable(const std::string& name, const std::string& type);

/// "name = <read of the field>;" that compiles for every type: for a String
/// the runtime's read that knows the null and the quoted form
/// (`dp.value("f").stringValue()`), JavaLang's datapool read for the other
/// types it reads, else the runtime's typed read
/// (`dp.value("f").as(new ztunittest.runtime.TypeOf<T>() {})`). The field is
/// `column`, or `name` when that is empty.
std::string ReadJavaTestVariable(const std::string& name, const std::string& type, const std::string& column = {});

/// The import lines ("import a.b.C;", sorted, joined by CR LF) a test of
/// `cls`, in the package of `cls`, needs for the simple names in `types`:
/// classes of the model in other packages, and the usual java.* types. A
/// name that a class of the test's own package has, or that java.lang has,
/// needs none; a class of the root package cannot be imported. A nested
/// class of the model, "Outer.Inner", is reached through its outer class.
std::string JavaTestImports(TesselClass* cls, const std::vector<std::string>& types);

}  // namespace zt
