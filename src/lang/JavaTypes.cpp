#include "lang/JavaTypes.h"

#include <set>

#include "host/TesselModel.h"
#include "lang/JavaLang.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"

namespace zt {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Whether `word` is one of the words of a list that starts and ends with a blank.
bool InWordList(int16_t list, const std::string& word) {
  const std::string blank = GetResString(IDS_BLANK);
  return GetResString(list).find(blank + word + blank) != std::string::npos;
}

// The names a type text is made of, in order: "Map<String, List<Money>>"
// gives Map, String, List, Money; a qualified name stays whole.
std::vector<std::string> NamesIn(const std::string& type) {
  std::vector<std::string> names;
  std::string name;
  const auto flush = [&] {
    if (!name.empty() && !(name[0] >= '0' && name[0] <= '9')) names.push_back(name);
    name.clear();
  };
  for (const char c : type) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
        c == '$' || (c == '.' && !name.empty())) {
      name += c;
    } else {
      flush();
    }
  }
  flush();
  return names;
}

// The root package of the model `cls` is in.
TesselCategory* RootOf(TesselClass& cls) {
  TesselCategory* package = cls.ParentCategory();
  while (package != nullptr && package->ParentCategory() != nullptr) package = package->ParentCategory();
  return package;
}

}  // namespace

std::string JavaTestVariableType(const std::string& type) {
  const std::string varargs = GetResString(IDS_JAVA_VARARGS);
  if (!EndsWith(type, varargs)) return type;
  return TrimBlanks(type.substr(0, type.size() - varargs.size())) + GetResString(IDS_JAVA_ARRAY);
}

std::string DeclareJavaTestVariable(const std::string& name, const std::string& type) {
  return JavaLang().DeclareVariable(name, JavaTestVariableType(type));
}

std::string ReadJavaTestVariable(const std::string& name, const std::string& type, const std::string& column) {
  JavaLang java;
  const std::string variableType = JavaTestVariableType(type);
  const std::string field = column.empty() ? name : column;
  // A text has a null form and a quoted form (the empty text), which the
  // generator's own read does not know.
  if (variableType == GetResString(IDS_JAVA_STRING) || variableType == GetResString(IDS_JAVA_LANG_STRING)) {
    return name + FormatResString1(IDS_JAVA_READ_STRING_VALUE, field);
  }
  if (java.IsValidDataTypeForDatapoolValueAssignment(variableType).value_or(false)) {
    return java.InitVariableWithDatapoolValue(name, variableType, column);
  }
  return name + FormatResString2(IDS_JAVA_READ_TYPED, field, variableType);
}

std::string JavaTestImports(TesselClass* cls, const std::vector<std::string>& types) {
  TesselClass& owner = Ref(cls);
  const std::string package = GetJavaPackageName(&owner);
  TesselCategory* root = RootOf(owner);
  TesselClassCollection* all = root != nullptr ? root->AllClasses() : nullptr;
  const std::string dot = GetResString(IDS_DOT);
  std::set<std::string> imports;
  for (const std::string& type : types) {
    for (std::string name : NamesIn(type)) {
      // "Outer.Inner" of a nested class of the model needs its outer class
      // imported; any other qualified name none.
      if (const size_t first = name.find(dot); first != std::string::npos) {
        name.resize(first);
        if (all == nullptr || all->FindFirst(name) <= 0) continue;
      }
      if (InWordList(IDS_JAVA_KEYWORDS, name)) continue;
      // A class of the model: none of the test's package (an import would
      // hide it), else the first one, unless it is in the root package.
      std::string imported;
      bool ownPackage = false;
      for (int16_t at = all != nullptr ? all->FindFirst(name) : 0; at > 0 && !ownPackage;
           at = all->FindNext(name, at)) {
        const std::string itsPackage = GetJavaPackageName(all->GetAt(at));
        ownPackage = itsPackage == package;
        if (imported.empty() && !itsPackage.empty()) imported = itsPackage + dot + name;
      }
      if (ownPackage) continue;
      if (imported.empty() && !InWordList(IDS_JAVA_LANG_TYPES, name)) {
        for (const int16_t id : {IDS_JAVA_LIBRARY_TYPES, IDS_JAVA_MORE_LIBRARY_TYPES, IDS_JAVA_LAST_LIBRARY_TYPES}) {
          const std::string list = GetResString(id);
          const size_t at = list.find(dot + name + GetResString(IDS_BLANK));
          if (at == std::string::npos) continue;
          const size_t start = list.rfind(GetResString(IDS_BLANK), at) + 1;
          imported = list.substr(start, at + dot.size() + name.size() - start);
          break;
        }
      }
      if (!imported.empty()) imports.insert(FormatResString1(IDS_JAVA_IMPORT, imported));
    }
  }
  std::string lines;
  for (const std::string& line : imports) lines += (lines.empty() ? std::string() : GetResString(IDS_CRLF)) + line;
  return lines;
}

}  // namespace zt
