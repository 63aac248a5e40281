// The model listing of `ztunittest model show`.
#include "workbench/documents/ModelListing.h"

#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

/// `text` on one line: control characters escaped as in a document.
std::string Printable(const std::string& text) { return json::EscapeControls(text); }

/// "name: type", or the name alone when there is no type.
std::string Typed(const std::string& name, const std::string& type) {
  return type.empty() ? name : name + ": " + Printable(type);
}

class Lister {
 public:
  std::string Take() { return std::move(out_); }

  void Line(int depth, const std::string& text) {
    out_.append(static_cast<size_t>(depth) * 2, ' ');
    out_ += text;
    out_ += '\n';
  }

  void Element(const wb::Element& element, int depth) {
    const std::string head = element.KindName() + " " + Printable(element.GetQualifiedName());
    if (const auto* c = dynamic_cast<const Class*>(&element)) {
      ClassLines(*c, head, depth);
    } else if (const auto* o = dynamic_cast<const Operation*>(&element)) {
      std::string parameters;
      for (const Parameter* p : o->ParameterList()) {
        if (!parameters.empty()) parameters += Text(WB_LIST_SEPARATOR);
        parameters += Typed(Printable(p->Name()), p->Type());
      }
      std::string line = Typed(Text(WB_LIST_SIGNATURE, {head, parameters}), o->ReturnType());
      if (!o->Stereotype().empty()) line += " " + Text(WB_LIST_STEREOTYPE, {Printable(o->Stereotype())});
      if (o->IsStatic()) line += " " + Text(WB_LIST_STATIC);
      if (o->Visibility() != OperationVisibility::kPublic) line += " " + std::string(VisibilityWord(o->Visibility()));
      Line(depth, line);
    } else if (const auto* p = dynamic_cast<const Parameter*>(&element)) {
      std::string line = Typed(head, p->Type());
      if (!p->InitValue().empty()) line = Text(WB_LIST_INIT_VALUE, {line, Printable(p->InitValue())});
      Line(depth, line);
    } else if (const auto* a = dynamic_cast<const Attribute*>(&element)) {
      Line(depth, Typed(head, a->Type()));
    } else {
      Line(depth, head);
    }
    Properties(element, depth + 1);
  }

 private:
  void ClassLines(const Class& c, const std::string& head, int depth) {
    std::string line = head;
    if (!c.Stereotype().empty()) line += " " + Text(WB_LIST_STEREOTYPE, {Printable(c.Stereotype())});
    if (!c.Language().empty()) line += " " + Text(WB_LIST_LANGUAGE, {Printable(c.Language())});
    if (c.IsAbstract()) line += " " + Text(WB_LIST_ABSTRACT);
    Line(depth, line);
    for (const Class* s : c.Inherits()) Line(depth + 1, Text(WB_LIST_INHERITS, {Printable(s->GetQualifiedName())}));
    for (const Class* s : c.Realizes()) Line(depth + 1, Text(WB_LIST_REALIZES, {Printable(s->GetQualifiedName())}));
    for (const Component* k : c.ComponentList()) Line(depth + 1, Text(WB_LIST_ASSIGNED, {Printable(k->Name())}));
    for (const std::string& literal : c.Literals()) Line(depth + 1, Text(WB_LIST_LITERAL, {Printable(literal)}));
  }

  void Properties(const wb::Element& element, int depth) {
    for (const auto& p : element.ToolProperties()) {
      Line(depth, Text(WB_LIST_PROPERTY, {Printable(p->Tool()), Printable(p->Name()), json::Quote(p->Value())}));
    }
  }

  std::string out_;
};

}  // namespace

std::string ListModel(const Model& model) {
  Lister lister;
  lister.Element(model, 0);
  model.Walk([&](Element& element, int depth) { lister.Element(element, depth + 1); });
  return lister.Take();
}

}  // namespace zt::wb
