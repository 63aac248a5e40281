// The compiled classes behind a model: what the JDK's reflection says of
// them. The runtime jar's describer (ztunittest.runtime.Describe) runs as
// `java -cp RUNTIME:CLASSPATH ztunittest.runtime.Describe NAME...` and
// prints a JSON document, a class per name; this file runs it, reads its
// document, and spells the types it gives.
//
// Types are Java source text with canonical names ("java.util.List<T>",
// "shop.Order.Line", "int[]"); a parameter also has its erasure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zt {
class TesselClass;
}

namespace zt::wb {

struct CodeTypeParameter {
  std::string name;
  std::string bound;  ///< its first bound; "java.lang.Object" when it names none
};

struct CodeParameter {
  std::string type;
  std::string erasure;
};

struct CodeThrown {
  std::string type;
  bool checked = false;
};

/// A constructor (no name) or a method of a compiled class.
struct CodeMember {
  std::string name;
  std::string visibility;  ///< public, protected, package or private
  bool isStatic = false;
  bool isAbstract = false;
  bool varargs = false;       ///< its last parameter is variable arity (an array type)
  std::string inheritedFrom;  ///< the class that declares it, for a public method inherited
  std::vector<CodeTypeParameter> typeParameters;
  /// Of a method inherited: the type variables of its supertypes that the
  /// class gives no type argument (a raw supertype), named in its types.
  /// (Those it gives one are replaced in the types already.)
  std::vector<CodeTypeParameter> inheritedTypeParameters;
  std::vector<CodeParameter> parameters;
  std::string returnType;
  std::vector<CodeThrown> thrown;
};

struct CodeClass {
  std::string query;  ///< the name it was looked up by
  bool found = false;
  std::string name;        ///< canonical name
  std::string kind;        ///< class, interface, enum or annotation
  std::string visibility;  ///< public, protected, package or private
  bool isAbstract = false;
  bool nested = false;
  bool inner = false;  ///< nested and not static: its objects need one of its outer class
  bool jdk = false;    ///< a class of the JDK, not of the class path
  std::vector<CodeTypeParameter> typeParameters;
  std::vector<CodeMember> constructors;
  std::vector<CodeMember> methods;  ///< declared ones first, then inherited public ones
};

/// The classes of the describer's document `json`, in its order. Raises
/// error 5 with the place of the fault when it is not such a document.
std::vector<CodeClass> ParseClassDescriptions(std::string_view json);

/// Runs the describer (`java` of $JAVA_HOME/bin, else of the PATH) on
/// `names` with `runtimeJar` before `classPath` and reads its document.
/// Raises error 53 when java cannot be started, 5 when it fails.
std::vector<CodeClass> DescribeClasses(const std::vector<std::string>& names, const std::string& classPath,
                                       const std::string& runtimeJar);

/// The canonical Java name of a class of the model: its Java package, and
/// its name ("Outer.Inner" for a nested one).
std::string JavaClassName(TesselClass& cls);

/// `type` without package qualifiers: "java.util.Map<java.lang.String,
/// shop.Order.Line>" is "Map<String, Order.Line>" (the parts of a name that
/// start with a small letter are its package's).
std::string SimpleSpelling(const std::string& type);

/// The last part of the erasure of `type`, as a model and the code both
/// name it: "java.util.List<T>" is "List", "String..." is "String[]",
/// "shop.Order.Line" is "Line".
std::string ErasedSimpleName(const std::string& type);

/// "name(Type, Type)" with the simple spelling of the types; a constructor
/// is named `className`.
std::string SignatureOf(const CodeMember& member, const std::string& className);

}  // namespace zt::wb
