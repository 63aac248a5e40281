// A model held against its compiled classes (see CodeComparison.h).
#include "workbench/code/CodeComparison.h"

#include <map>
#include <set>

#include "support/CommonFunctions.h"

namespace zt::wb {

namespace {

bool ParameterMatches(const std::string& modelType, const CodeParameter& code, const CodeMember& member,
                      const CodeClass& cls) {
  const std::string model = ErasedSimpleName(modelType);
  if (model == ErasedSimpleName(code.erasure) || model == ErasedSimpleName(code.type)) return true;
  // A type variable the model names as the code does (T, or T... for T[]).
  for (const auto* variables : {&member.typeParameters, &member.inheritedTypeParameters, &cls.typeParameters}) {
    for (const CodeTypeParameter& v : *variables) {
      if (model == v.name || model == v.name + "[]") return code.type == v.name || code.type == v.name + "[]";
    }
  }
  return false;
}

bool Matches(const Operation& operation, const CodeMember& member, const CodeClass& cls) {
  const auto parameters = operation.ParameterList();
  if (static_cast<size_t>(parameters.size()) != member.parameters.size()) return false;
  size_t i = 0;
  for (const Parameter* p : parameters) {
    if (!ParameterMatches(p->Type(), member.parameters[i], member, cls)) return false;
    ++i;
  }
  return true;
}

// The last part of a canonical name: a nested class's constructor is named
// like it.
std::string LastPart(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

// Members a compiler makes that a model does not draw: an enumeration's
// values() and valueOf(String).
bool Implicit(const CodeMember& member, const CodeClass& cls) {
  return cls.kind == "enum" && member.isStatic &&
         ((member.name == "values" && member.parameters.empty()) ||
          (member.name == "valueOf" && member.parameters.size() == 1));
}

// The constructors (for a constructor) or the methods of `code` named like
// `operation`.
std::vector<const CodeMember*> SameNamed(Operation& operation, const CodeClass& code) {
  const bool constructor = IsConstructor(&operation);
  std::vector<const CodeMember*> members;
  for (const CodeMember& member : constructor ? code.constructors : code.methods) {
    if (constructor || member.name == operation.Name()) members.push_back(&member);
  }
  return members;
}

}  // namespace

std::string ModelSignature(const Operation& operation) {
  std::string text = operation.Name() + "(";
  bool first = true;
  for (const Parameter* p : operation.ParameterList()) {
    text += (first ? "" : ", ") + p->Type();
    first = false;
  }
  return text + ")";
}

std::vector<std::string> JavaNamesOf(const std::vector<Class*>& classes) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (Class* cls : classes) {
    std::string name = JavaClassName(*cls);
    if (seen.insert(name).second) names.push_back(std::move(name));
  }
  return names;
}

CodeComparison::CodeComparison(const std::vector<Class*>& classes, std::vector<CodeClass> described)
    : described_(std::move(described)) {
  std::map<std::string, const CodeClass*> byName;
  for (const CodeClass& c : described_) byName.emplace(c.query, &c);
  for (Class* cls : classes) {
    ClassCheck check;
    check.cls = cls;
    check.javaName = JavaClassName(*cls);
    const auto found = byName.find(check.javaName);
    const CodeClass* code = found != byName.end() && found->second->found ? found->second : nullptr;
    if (code != nullptr && code->jdk) continue;
    check.code = code;
    std::set<const CodeMember*> used;
    for (Operation* op : cls->OperationList()) {
      OperationCheck entry;
      entry.operation = op;
      entry.modelSignature = ModelSignature(*op);
      if (code == nullptr) {
        entry.status = OperationCheck::Status::kMissing;
        check.operations.push_back(std::move(entry));
        continue;
      }
      for (const CodeMember* member : SameNamed(*op, *code)) {
        if (Matches(*op, *member, *code)) {
          entry.member = member;
          used.insert(member);
          break;
        }
      }
      check.operations.push_back(std::move(entry));
    }
    if (code == nullptr) {
      classes_.push_back(std::move(check));
      continue;
    }
    // An operation that matches nothing differs from the members of its
    // name that no other operation matches (from all of them when each is
    // matched), or is missing when the code has none of its name.
    std::set<const CodeMember*> told;
    for (OperationCheck& entry : check.operations) {
      if (entry.member != nullptr) continue;
      std::string free, all;
      for (const CodeMember* member : SameNamed(*entry.operation, *code)) {
        const std::string signature = SignatureOf(*member, LastPart(code->name));
        all += (all.empty() ? "" : ", ") + signature;
        if (used.count(member)) continue;
        free += (free.empty() ? "" : ", ") + signature;
        told.insert(member);
      }
      entry.status = all.empty() ? OperationCheck::Status::kMissing : OperationCheck::Status::kDiffers;
      entry.codeSignatures = free.empty() ? all : free;
    }
    for (const auto* members : {&code->constructors, &code->methods}) {
      for (const CodeMember& member : *members) {
        if (member.inheritedFrom.empty() && !used.count(&member) && !told.count(&member) && !Implicit(member, *code)) {
          check.unmodelled.push_back(&member);
        }
      }
    }
    classes_.push_back(std::move(check));
  }
}

const OperationCheck* CodeComparison::Find(const TesselOperation* operation) const {
  for (const ClassCheck& c : classes_) {
    for (const OperationCheck& o : c.operations) {
      if (o.operation == operation) return &o;
    }
  }
  return nullptr;
}

const ClassCheck* CodeComparison::FindClass(const TesselClass* cls) const {
  for (const ClassCheck& c : classes_) {
    if (c.cls == cls) return &c;
  }
  return nullptr;
}

bool CodeComparison::Differs() const {
  for (const ClassCheck& c : classes_) {
    if (c.code == nullptr || !c.unmodelled.empty()) return true;
    for (const OperationCheck& o : c.operations) {
      if (o.status != OperationCheck::Status::kMatch) return true;
    }
  }
  return false;
}

}  // namespace zt::wb
