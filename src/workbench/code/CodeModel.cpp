// The model as the code has it (see CodeModel.h).
#include "workbench/code/CodeModel.h"

#include <algorithm>
#include <set>

#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

bool InName(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

std::string Erasure(const std::string& type) {
  const size_t open = type.find('<');
  return open == std::string::npos ? type : type.substr(0, open);
}

// The bound a test names a type variable by, or "" when `name` is none.
std::string BoundOf(const std::string& name, const CodeMember* member, const CodeClass& cls, int depth) {
  const auto find = [&](const std::vector<CodeTypeParameter>& variables) -> const CodeTypeParameter* {
    for (const CodeTypeParameter& v : variables) {
      if (v.name == name) return &v;
    }
    return nullptr;
  };
  const CodeTypeParameter* variable = member != nullptr ? find(member->typeParameters) : nullptr;
  if (variable == nullptr && member != nullptr) variable = find(member->inheritedTypeParameters);
  if (variable == nullptr) variable = find(cls.typeParameters);
  if (variable == nullptr) return {};
  const std::string bound = Erasure(variable->bound);
  // A bound that is itself a type variable (<E, T extends E>) is that one's bound.
  if (depth < 8) {
    if (std::string further = BoundOf(bound, member, cls, depth + 1); !further.empty()) return further;
  }
  return bound;
}

std::string LastPart(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

// The reason a test cannot make an object of `code`, or "" when it can.
CodeRefusal ObjectRefusal(const CodeClass& code) {
  if (code.kind == "interface" || code.kind == "annotation") {
    return {"interface", Text(WB_CODE_WHY_INTERFACE, {code.name})};
  }
  if (code.isAbstract) return {"abstract-class", Text(WB_CODE_WHY_ABSTRACT, {code.name})};
  if (code.kind == "enum") return {"enumeration", Text(WB_CODE_WHY_ENUM, {code.name})};
  if (code.inner) return {"inner-class", Text(WB_CODE_WHY_INNER, {code.name})};
  // The test is in the class's package: any constructor that is not
  // private makes its object.
  const bool constructible = std::any_of(code.constructors.begin(), code.constructors.end(),
                                         [](const CodeMember& k) { return k.visibility != "private"; });
  if (!constructible) return {"no-public-constructor", Text(WB_CODE_WHY_NO_CONSTRUCTOR, {code.name})};
  return {};
}

// Gives `operation` the parameter types, result and static flag of `member`.
void TakeSignature(Operation& operation, const CodeMember& member, const CodeClass& code,
                   std::vector<std::string>& notes) {
  std::vector<std::string> replaced;
  size_t i = 0;
  for (Parameter* p : operation.ParameterList()) {
    std::string type = TestableType(member.parameters[i].type, &member, code, &replaced);
    if (member.varargs && i + 1 == member.parameters.size() && type.size() > 2) {
      type = type.substr(0, type.size() - 2) + "...";
    }
    p->SetType(type);
    ++i;
  }
  if (!member.name.empty()) {
    const std::string result = TestableType(member.returnType, &member, code, &replaced);
    operation.SetReturnType(result == "void" ? std::string() : result);
    operation.SetStatic(member.isStatic);
  }
  std::set<std::string> told;
  for (const std::string& variable : replaced) {
    if (told.insert(variable).second) {
      notes.push_back(Text(WB_CODE_TYPE_VARIABLE, {operation.GetQualifiedName(), variable}));
    }
  }
}

}  // namespace

std::string TestableType(const std::string& type, const CodeMember* member, const CodeClass& cls,
                         std::vector<std::string>* replaced) {
  std::string out;
  size_t i = 0;
  while (i < type.size()) {
    if (!InName(type[i])) {
      out += type[i++];
      continue;
    }
    size_t end = i;
    while (end < type.size() && InName(type[end])) ++end;
    std::string name = type.substr(i, end - i);
    i = end;
    if (const std::string bound = BoundOf(name, member, cls, 0); !bound.empty()) {
      if (replaced != nullptr) replaced->push_back(Text(WB_CODE_TYPE_VARIABLE_AS, {name, bound}));
      name = bound;
    }
    // java.lang's classes by their simple names, as a test's code names them.
    static constexpr std::string_view kLang = "java.lang.";
    if (name.rfind(kLang, 0) == 0 && name.find('.', kLang.size()) == std::string::npos) {
      name = name.substr(kLang.size());
    }
    out += name;
  }
  return out;
}

CodeAdjustments ApplyTheCode(Model& model, const CodeComparison& comparison) {
  CodeAdjustments adjustments;
  const auto refuse = [&](Operation* op, CodeRefusal why) {
    op->SetVisibility(OperationVisibility::kPrivate);
    adjustments.refused.emplace(op, std::move(why));
  };
  for (const ClassCheck& c : comparison.Classes()) {
    if (c.code == nullptr) {
      // (A class without operations, such as a library type a tool's import
      // made for a name it met, has nothing to test.)
      if (!c.operations.empty()) {
        adjustments.notes.push_back(Text(WB_CODE_CLASS_MISSING, {c.javaName, c.cls->GetQualifiedName()}));
      }
      for (const OperationCheck& o : c.operations) {
        refuse(o.operation, {"class-not-in-code", Text(WB_CODE_WHY_NO_CLASS, {c.javaName})});
      }
      continue;
    }
    const CodeClass& code = *c.code;
    const CodeRefusal objectRefusal = ObjectRefusal(code);
    bool constructorKept = false;
    for (const OperationCheck& o : c.operations) {
      Operation& op = *o.operation;
      const bool constructor = IsConstructor(&op);
      if (o.status == OperationCheck::Status::kMissing) {
        refuse(&op, {"not-in-code", Text(WB_CODE_WHY_MISSING, {o.modelSignature, code.name})});
        continue;
      }
      if (o.status == OperationCheck::Status::kDiffers) {
        refuse(&op, {"signature-differs", Text(WB_CODE_WHY_DIFFERS, {o.codeSignatures, o.modelSignature})});
        continue;
      }
      const CodeMember& member = *o.member;
      if (constructor) {
        // Only a constructor of the code that is not private makes the object under test.
        if (member.visibility == "private" || !objectRefusal.code.empty()) {
          op.SetVisibility(OperationVisibility::kPrivate);
        } else {
          op.SetVisibility(OperationVisibility::kPublic);
          TakeSignature(op, member, code, adjustments.notes);
          constructorKept = true;
        }
        continue;
      }
      if (member.visibility == "private") {
        refuse(&op, {"private", Text(WB_CODE_WHY_PRIVATE, {code.name})});
        continue;
      }
      if (!member.isStatic && !objectRefusal.code.empty()) {
        refuse(&op, objectRefusal);
        continue;
      }
      TakeSignature(op, member, code, adjustments.notes);
    }
    if (constructorKept || !objectRefusal.code.empty()) continue;
    // The model has no constructor of the code that a test can call: the
    // public one with the fewest parameters joins the model (else the one
    // with the fewest that is not private).
    const CodeMember* fewest = nullptr;
    const auto rank = [](const CodeMember& k) { return std::pair(k.visibility != "public", k.parameters.size()); };
    for (const CodeMember& k : code.constructors) {
      if (k.visibility != "private" && (fewest == nullptr || rank(k) < rank(*fewest))) fewest = &k;
    }
    if (fewest == nullptr) continue;
    Operation& added = model.AddOperation(*c.cls, LastPart(code.name));
    for (size_t i = 0; i < fewest->parameters.size(); ++i) model.AddParameter(added, {});
    TakeSignature(added, *fewest, code, adjustments.notes);
  }
  return adjustments;
}

}  // namespace zt::wb
