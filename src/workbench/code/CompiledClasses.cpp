// The compiled classes behind a model (see CompiledClasses.h).
#include "workbench/code/CompiledClasses.h"

#include <cstdlib>

#include "host/TesselModel.h"
#include "support/CommonFunctions.h"
#include "support/Error.h"
#include "workbench/system/ProcessLauncher.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

using json::Type;
using json::Value;

[[noreturn]] void Malformed(const Value& at, const std::string& what) {
  RaiseError(errc::kInvalidCall, {},
             Text(WB_CODE_DESCRIPTION_MALFORMED,
                  {std::to_string(at.position.line), std::to_string(at.position.column), what}));
}

const Value& Member(const Value& object, std::string_view key, Type type) {
  const Value* found = object.type == Type::kObject ? object.Find(key) : nullptr;
  if (found == nullptr || found->type != type) Malformed(object, std::string(key));
  return *found;
}

std::string StringOf(const Value& object, std::string_view key) { return Member(object, key, Type::kString).text; }
bool BoolOf(const Value& object, std::string_view key) { return Member(object, key, Type::kBool).boolean; }
std::string OptionalString(const Value& object, std::string_view key) {
  const Value* found = object.Find(key);
  return found != nullptr && found->type == Type::kString ? found->text : std::string();
}

std::vector<CodeTypeParameter> TypeParameters(const Value& object, std::string_view key = "typeParameters") {
  std::vector<CodeTypeParameter> parameters;
  for (const Value& p : Member(object, key, Type::kArray).items) {
    parameters.push_back({StringOf(p, "name"), StringOf(p, "bound")});
  }
  return parameters;
}

CodeMember MemberOf(const Value& object) {
  CodeMember member;
  member.name = OptionalString(object, "name");
  member.visibility = StringOf(object, "visibility");
  member.isStatic = BoolOf(object, "static");
  member.isAbstract = BoolOf(object, "abstract");
  member.varargs = BoolOf(object, "varargs");
  member.inheritedFrom = OptionalString(object, "inherited");
  member.typeParameters = TypeParameters(object);
  if (object.Find("inheritedTypeParameters") != nullptr) {
    member.inheritedTypeParameters = TypeParameters(object, "inheritedTypeParameters");
  }
  for (const Value& p : Member(object, "parameters", Type::kArray).items) {
    member.parameters.push_back({StringOf(p, "type"), StringOf(p, "erasure")});
  }
  member.returnType = OptionalString(object, "returnType");
  for (const Value& t : Member(object, "throws", Type::kArray).items) {
    member.thrown.push_back({StringOf(t, "type"), BoolOf(t, "checked")});
  }
  return member;
}

bool StartsName(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool InName(char c) { return StartsName(c) || (c >= '0' && c <= '9'); }

}  // namespace

std::vector<CodeClass> ParseClassDescriptions(std::string_view text) {
  Value document;
  try {
    document = json::Parse(text);
  } catch (const json::ParseError& e) {
    RaiseError(errc::kInvalidCall, {},
               Text(WB_CODE_DESCRIPTION_MALFORMED,
                    {std::to_string(e.Where().line), std::to_string(e.Where().column), e.Message()}));
  }
  std::vector<CodeClass> classes;
  for (const Value& c : Member(document, "classes", Type::kArray).items) {
    CodeClass cls;
    cls.query = StringOf(c, "query");
    cls.found = BoolOf(c, "found");
    if (cls.found) {
      cls.name = StringOf(c, "name");
      cls.kind = StringOf(c, "kind");
      cls.visibility = StringOf(c, "visibility");
      cls.isAbstract = BoolOf(c, "abstract");
      cls.nested = BoolOf(c, "nested");
      cls.inner = BoolOf(c, "inner");
      cls.jdk = BoolOf(c, "jdk");
      cls.typeParameters = TypeParameters(c);
      for (const Value& k : Member(c, "constructors", Type::kArray).items) cls.constructors.push_back(MemberOf(k));
      for (const Value& m : Member(c, "methods", Type::kArray).items) cls.methods.push_back(MemberOf(m));
    }
    classes.push_back(std::move(cls));
  }
  return classes;
}

std::vector<CodeClass> DescribeClasses(const std::vector<std::string>& names, const std::string& classPath,
                                       const std::string& runtimeJar) {
  std::string java = "java";
  if (const char* home = std::getenv("JAVA_HOME"); home != nullptr && *home != '\0') {
    java = std::string(home) + "/bin/java";
  }
  std::vector<std::string> arguments{java, "-cp", classPath.empty() ? runtimeJar : runtimeJar + ":" + classPath,
                                     "ztunittest.runtime.Describe"};
  arguments.insert(arguments.end(), names.begin(), names.end());
  const ProgramOutput output = RunReadingOutput(arguments);
  if (output.status != 0) {
    RaiseError(errc::kInvalidCall, {}, Text(WB_CODE_DESCRIBER_FAILED, {java, std::to_string(output.status)}));
  }
  return ParseClassDescriptions(output.out);
}

std::string JavaClassName(TesselClass& cls) {
  const std::string package = GetJavaPackageName(&cls);
  return package.empty() ? cls.Name() : package + "." + cls.Name();
}

std::string SimpleSpelling(const std::string& type) {
  std::string out;
  size_t i = 0;
  while (i < type.size()) {
    if (!StartsName(type[i])) {
      out += type[i++];
      continue;
    }
    // A dotted name: its parts that start with a small letter, before the
    // first that does not, are its package.
    size_t end = i;
    while (end < type.size() &&
           (InName(type[end]) || (type[end] == '.' && end + 1 < type.size() && StartsName(type[end + 1])))) {
      ++end;
    }
    std::string name = type.substr(i, end - i);
    size_t start = 0;
    for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', start)) {
      if (!(name[start] >= 'a' && name[start] <= 'z')) break;
      start = dot + 1;
    }
    out += name.substr(start);
    i = end;
  }
  return out;
}

std::string ErasedSimpleName(const std::string& type) {
  std::string base;
  int depth = 0;
  for (const char c : type) {
    if (c == '<') ++depth;
    if (depth == 0 && c != ' ') base += c;
    if (c == '>') --depth;
  }
  std::string dims;
  if (base.size() >= 3 && base.compare(base.size() - 3, 3, "...") == 0) {
    base.resize(base.size() - 3);
    dims = "[]";
  }
  while (base.size() >= 2 && base.compare(base.size() - 2, 2, "[]") == 0) {
    base.resize(base.size() - 2);
    dims += "[]";
  }
  const size_t dot = base.rfind('.');
  return (dot == std::string::npos ? base : base.substr(dot + 1)) + dims;
}

std::string SignatureOf(const CodeMember& member, const std::string& className) {
  std::string text = (member.name.empty() ? className : member.name) + "(";
  for (size_t i = 0; i < member.parameters.size(); ++i) {
    std::string type = SimpleSpelling(member.parameters[i].type);
    if (member.varargs && i + 1 == member.parameters.size() && type.size() >= 2) {
      type = type.substr(0, type.size() - 2) + "...";
    }
    text += (i > 0 ? ", " : "") + type;
  }
  return text + ")";
}

}  // namespace zt::wb
