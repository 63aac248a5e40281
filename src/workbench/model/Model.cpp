// The in-memory model: elements, their collections, building and lookups.
#include "workbench/model/Model.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <unordered_set>

#include "support/Error.h"
#include "support/Text.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {
constexpr std::array<std::pair<OperationVisibility, std::string_view>, 4> kVisibilityWords = {{
    {OperationVisibility::kPublic, "public"},
    {OperationVisibility::kProtected, "protected"},
    {OperationVisibility::kPackage, "package"},
    {OperationVisibility::kPrivate, "private"},
}};
}  // namespace

std::string_view VisibilityWord(OperationVisibility visibility) {
  for (const auto& [v, word] : kVisibilityWords) {
    if (v == visibility) return word;
  }
  return {};
}

bool VisibilityOfWord(std::string_view word, OperationVisibility& visibility) {
  for (const auto& [v, w] : kVisibilityWords) {
    if (w == word) {
      visibility = v;
      return true;
    }
  }
  return false;
}

namespace {

[[noreturn]] void Refuse(const std::string& message) { RaiseError(errc::kInvalidCall, {}, message); }

[[noreturn]] void Overflow(const std::string& message) { RaiseError(errc::kOverflow, {}, message); }

const std::string kMax = std::to_string(kMaxCollection);

template <class T>
bool Full(const TesselCollection<T>& collection) {
  return collection.Count() >= kMaxCollection;
}

uint64_t Digest(std::string_view qualifiedName) { return std::hash<std::string_view>()(qualifiedName); }

void CheckName(const std::string& name, int16_t what) {
  if (name.empty()) Refuse(Text(WB_MODEL_NAME_EMPTY, {Text(what)}));
}

}  // namespace

TextPool::Entry& TextPool::Hold(std::string_view text) {
  auto found = texts_.find(text);
  if (found == texts_.end()) found = texts_.emplace(std::string(text), 0).first;
  ++found->second;
  return *found;
}

void TextPool::Release(Entry& entry) {
  if (--entry.second == 0) texts_.erase(texts_.find(entry.first));
}

const std::string& SharedText::Get() const {
  static const std::string kEmpty;
  return entry_ == nullptr ? kEmpty : entry_->first;
}

void SharedText::Set(TextPool& pool, std::string_view text) {
  if (entry_ != nullptr && entry_->first == text) return;
  if (entry_ != nullptr) pool.Release(*std::exchange(entry_, nullptr));
  if (!text.empty()) entry_ = &pool.Hold(text);
}

ToolProperty::ToolProperty(TextPool& texts, std::string_view tool, std::string_view name, std::string value)
    : value_(std::move(value)) {
  tool_.Set(texts, tool);
  name_.Set(texts, name);
}

Element::Element(std::string name, Element* owner) : name_(std::move(name)), owner_(owner) {}

std::string Element::GetQualifiedName() const {
  return owner_ == nullptr ? name_ : owner_->GetQualifiedName() + "::" + name_;
}

const std::vector<std::unique_ptr<ToolProperty>>& Element::ToolProperties() const {
  static const std::vector<std::unique_ptr<ToolProperty>> kNone;
  return properties_ ? properties_->list : kNone;
}

TesselPropertyCollection Element::GetToolProperties(const std::string& toolName) const {
  TesselPropertyCollection result;
  for (const auto& property : ToolProperties()) {
    if (property->Tool() == toolName) result.Add(property.get());
  }
  return result;
}

namespace {
// Most elements have a handful of properties at most; from this many on, an
// element keeps an index of them.
constexpr size_t kPropertiesIndexedFrom = 32;

std::string PropertyKey(std::string_view tool, std::string_view name) {
  std::string key(tool);
  key += '\0';
  key += name;
  return key;
}
}  // namespace

size_t Element::FindProperty(std::string_view tool, std::string_view name) const {
  const auto& list = properties_->list;
  if (properties_->index) {
    const auto found = properties_->index->positions.find(PropertyKey(tool, name));
    return found == properties_->index->positions.end() ? list.size() : found->second;
  }
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i]->Tool() == tool && list[i]->PropertyName() == name) return i;
  }
  return list.size();
}

std::string Element::GetPropertyValue(const std::string& toolName, const std::string& propertyName) const {
  if (!properties_) return {};
  const size_t found = FindProperty(toolName, propertyName);
  return found == properties_->list.size() ? std::string() : properties_->list[found]->Value();
}

void Element::SetToolProperty(const std::string& tool, const std::string& name, std::string value) {
  if (tool.empty() || name.empty()) Refuse(Text(WB_MODEL_PROPERTY_NAME_EMPTY, {GetQualifiedName()}));
  if (!properties_) properties_ = std::make_unique<Properties>();
  Properties& properties = *properties_;
  if (const size_t found = FindProperty(tool, name); found != properties.list.size()) {
    properties.list[found]->SetValue(std::move(value));
    return;
  }
  // A short list cannot hold too many of one tool.
  if (!properties.index && properties.list.size() + 1 >= kPropertiesIndexedFrom) {
    properties.index = std::make_unique<PropertyIndex>();
    for (size_t i = 0; i < properties.list.size(); ++i) {
      const ToolProperty& p = *properties.list[i];
      properties.index->positions.emplace(PropertyKey(p.Tool(), p.PropertyName()), i);
      ++properties.index->toolCounts[p.Tool()];
    }
  }
  if (properties.index) {
    int& count = properties.index->toolCounts[tool];
    if (count >= kMaxCollection) Overflow(Text(WB_MODEL_TOO_MANY_PROPERTIES, {GetQualifiedName(), kMax, tool}));
    ++count;
    properties.index->positions.emplace(PropertyKey(tool, name), properties.list.size());
  }
  properties.list.push_back(std::make_unique<ToolProperty>(Texts(), tool, name, std::move(value)));
}

Component::Component(std::string name, Model& model) : Element(std::move(name), nullptr), model_(model) {}

Attribute::Attribute(std::string name, Class& owner) : Element(std::move(name), &owner) {}

Parameter::Parameter(std::string name, Operation& owner) : Element(std::move(name), &owner) {}

Operation::Operation(std::string name, Class& owner) : Element(std::move(name), &owner) {}

TesselClass* Operation::ParentClass() { return &Parent(); }

std::string Relation::Name() const { return supplier_.Name(); }

TesselClass* Relation::GetSupplierClass() { return &supplier_; }

Class::Class(std::string name, Package& owner) : Element(std::move(name), &owner) {}

TesselCategory* Class::ParentCategory() { return &Parent(); }

TesselComponentCollection Class::GetAssignedComponents() {
  TesselComponentCollection result;
  for (Component* component : componentList_) result.Add(component);
  return result;
}

Package::Package(std::string name, Package& owner)
    : Element(std::move(name), &owner), model_(owner.model_), parent_(&owner) {}

Package::Package(std::string name, Model& model) : Element(std::move(name), nullptr), model_(model), parent_(nullptr) {}

TesselClassCollection* Package::AllClasses() {
  // Rebuilt only when classes or packages were added since the last call.
  const uint64_t version = OwningModel().classVersion_;
  if (allClassesVersion_ != version) {
    allClasses_ = TesselClassCollection();
    CollectClasses(allClasses_);
    allClassesVersion_ = version;
  }
  return &allClasses_;
}

void Package::CollectClasses(TesselClassCollection& into) const {
  for (Class* c : ClassList()) into.Add(c);
  for (const Package* p : PackageList()) p->CollectClasses(into);
}

Package* Package::FindPackage(std::string_view name) const {
  for (Package* p : PackageList()) {
    if (p->Name() == name) return p;
  }
  return nullptr;
}

Class* Package::FindClass(std::string_view name) const {
  for (Class* c : ClassList()) {
    if (c->Name() == name) return c;
  }
  return nullptr;
}

template <class T>
T& Model::Own(std::unique_ptr<T> element) {
  T& result = *element;
  result.order_ = static_cast<uint32_t>(elements_.size());
  if constexpr (std::is_same_v<T, Package> || std::is_same_v<T, Class>) {
    const std::string qualifiedName = result.GetQualifiedName();
    longestIndexed_ = std::max(longestIndexed_, qualifiedName.size());
    const uint64_t digest = Digest(qualifiedName);
    if (!byDigest_.try_emplace(digest, &result).second) moreByDigest_[digest].push_back(&result);
  }
  elements_.push_back(std::move(element));
  return result;
}

Model::Model(std::string name, std::string rootName) : Element(std::move(name), nullptr) {
  CheckName(rootName, WB_WHAT_PACKAGE);
  root_ = &Own(std::make_unique<Package>(std::move(rootName), *this));
}

Model::~Model() = default;

TesselItemCollection Model::GetSelectedItems() {
  TesselItemCollection result;
  for (TesselItem* item : selection_) result.Add(item);
  return result;
}

void Model::SetSelection(std::vector<TesselItem*> items) {
  if (items.size() > static_cast<size_t>(kMaxCollection)) Overflow(Text(WB_MODEL_TOO_MANY_SELECTED, {kMax}));
  selection_ = std::move(items);
}

std::vector<Element*> Model::FindExact(const std::string& qualifiedName) const {
  std::vector<Element*> found = FindIndexed(qualifiedName);
  // A member's name is its class's, "::" and its own; a parameter's, its
  // operation's, "::" and its own. Names may hold "::" themselves, so every
  // split is tried whose first part could name a class: a name of many
  // "::" costs no more than the model's longest names allow.
  const std::string_view q = qualifiedName;
  for (size_t i = q.find("::"); i != std::string_view::npos && i <= longestIndexed_; i = q.find("::", i + 1)) {
    const std::string_view rest = q.substr(i + 2);
    for (Element* e : FindIndexed(q.substr(0, i))) {
      auto* c = dynamic_cast<Class*>(e);
      if (c == nullptr) continue;
      for (Attribute* a : c->attributeList_) {
        if (a->Name() == rest) found.push_back(a);
      }
      for (Operation* o : c->OperationList()) {
        if (o->Name() == rest) found.push_back(o);
        // "operation::parameter"
        const std::string& operation = o->Name();
        if (rest.size() < operation.size() + 2 || rest.compare(0, operation.size(), operation) != 0 ||
            rest.compare(operation.size(), 2, "::") != 0) {
          continue;
        }
        const std::string_view parameter = rest.substr(operation.size() + 2);
        for (Parameter* p : o->ParameterList()) {
          if (p->Name() == parameter) found.push_back(p);
        }
      }
    }
  }
  std::sort(found.begin(), found.end(), [](const Element* a, const Element* b) { return a->order_ < b->order_; });
  return found;
}

std::vector<Element*> Model::FindIndexed(std::string_view qualifiedName) const {
  std::vector<Element*> found;
  const uint64_t digest = Digest(qualifiedName);
  const auto first = byDigest_.find(digest);
  if (first == byDigest_.end()) return found;
  if (first->second->GetQualifiedName() == qualifiedName) found.push_back(first->second);
  if (const auto more = moreByDigest_.find(digest); more != moreByDigest_.end()) {
    for (Element* e : more->second) {
      if (e->GetQualifiedName() == qualifiedName) found.push_back(e);
    }
  }
  return found;
}

std::vector<Element*> Model::Find(std::string_view qualifiedName) const {
  const std::string name(qualifiedName);
  const std::string& root = root_->Name();
  if (name == root || StartsWith(name, root + "::")) {
    std::vector<Element*> found = FindExact(name);
    if (!found.empty()) return found;
  }
  return FindExact(root + "::" + name);
}

Class* Model::FindClass(std::string_view qualifiedName) const {
  for (Element* e : Find(qualifiedName)) {
    if (auto* c = dynamic_cast<Class*>(e)) return c;
  }
  return nullptr;
}

Package* Model::FindPackage(std::string_view qualifiedName) const {
  for (Element* e : Find(qualifiedName)) {
    if (auto* p = dynamic_cast<Package*>(e)) return p;
  }
  return nullptr;
}

Component* Model::FindComponent(std::string_view name) const {
  for (Component* c : componentList_) {
    if (c->Name() == name) return c;
  }
  return nullptr;
}

Package& Model::AddPackage(Package& parent, const std::string& name) {
  ++classVersion_;
  CheckName(name, WB_WHAT_PACKAGE);
  const std::string parentName = parent.GetQualifiedName();
  for (Element* e : FindIndexed(parentName + "::" + name)) {
    if (dynamic_cast<Package*>(e) != nullptr) Refuse(Text(WB_MODEL_DUPLICATE_PACKAGE, {parentName, name}));
  }
  if (Full(parent.packages_)) Overflow(Text(WB_MODEL_TOO_MANY_PACKAGES, {parentName, kMax}));
  Package& package = Own(std::make_unique<Package>(name, parent));
  parent.packages_.Add(&package);
  return package;
}

Class& Model::AddClass(Package& parent, const std::string& name) {
  ++classVersion_;
  CheckName(name, WB_WHAT_CLASS);
  const std::string parentName = parent.GetQualifiedName();
  for (Element* e : FindIndexed(parentName + "::" + name)) {
    if (dynamic_cast<Class*>(e) != nullptr) Refuse(Text(WB_MODEL_DUPLICATE_CLASS, {parentName, name}));
  }
  if (classCount_ >= kMaxCollection) Overflow(Text(WB_MODEL_TOO_MANY_CLASSES, {kMax}));
  Class& added = Own(std::make_unique<Class>(name, parent));
  parent.classes_.Add(&added);
  ++classCount_;
  return added;
}

Attribute& Model::AddAttribute(Class& owner, const std::string& name, std::string type) {
  CheckName(name, WB_WHAT_ATTRIBUTE);
  Attribute& attribute = Own(std::make_unique<Attribute>(name, owner));
  attribute.SetType(std::move(type));
  owner.attributeList_.push_back(&attribute);
  return attribute;
}

Operation& Model::AddOperation(Class& owner, const std::string& name, std::string returnType) {
  CheckName(name, WB_WHAT_OPERATION);
  if (Full(owner.operations_)) Overflow(Text(WB_MODEL_TOO_MANY_OPERATIONS, {owner.GetQualifiedName(), kMax}));
  Operation& operation = Own(std::make_unique<Operation>(name, owner));
  operation.SetReturnType(std::move(returnType));
  owner.operations_.Add(&operation);
  return operation;
}

Parameter& Model::AddParameter(Operation& owner, const std::string& name, std::string type, std::string initValue) {
  if (Full(owner.parameters_)) Overflow(Text(WB_MODEL_TOO_MANY_PARAMETERS, {owner.GetQualifiedName(), kMax}));
  Parameter& parameter = Own(std::make_unique<Parameter>(name, owner));
  parameter.SetType(std::move(type));
  parameter.SetInitValue(std::move(initValue));
  owner.parameters_.Add(&parameter);
  return parameter;
}

Component& Model::AddComponent(const std::string& name) {
  CheckName(name, WB_WHAT_COMPONENT);
  if (FindComponent(name) != nullptr) Refuse(Text(WB_MODEL_DUPLICATE_COMPONENT, {name}));
  if (componentList_.size() >= static_cast<size_t>(kMaxCollection)) {
    Overflow(Text(WB_MODEL_TOO_MANY_COMPONENTS, {kMax}));
  }
  // Components stand beside the logical view: they are not in the index of
  // qualified names.
  auto owned = std::make_unique<Component>(name, *this);
  Component& component = *owned;
  elements_.push_back(std::move(owned));
  componentList_.push_back(&component);
  return component;
}

void Model::AddInheritance(Class& client, Class& supplier) {
  const std::string clientName = client.GetQualifiedName();
  const std::string supplierName = supplier.GetQualifiedName();
  for (const Class* c : client.Inherits()) {
    if (c == &supplier) Refuse(Text(WB_MODEL_DUPLICATE_INHERIT, {clientName, supplierName}));
  }
  // Generalizations may not form a cycle: code that walks up the supertypes
  // must come to an end. Is the client among the supplier's supertypes?
  std::vector<const Class*> pending{&supplier};
  std::unordered_set<const Class*> seen;
  while (!pending.empty()) {
    const Class* c = pending.back();
    pending.pop_back();
    if (c == &client) Refuse(Text(WB_MODEL_INHERIT_CYCLE, {clientName, supplierName}));
    if (!seen.insert(c).second) continue;
    for (const Class* up : c->Inherits()) pending.push_back(up);
  }
  auto& relation = client.relations_.emplace_back(std::make_unique<Relation>(supplier));
  client.inherits_.Add(relation.get());
}

void Model::AddRealization(Class& client, Class& supplier) {
  const std::string clientName = client.GetQualifiedName();
  if (&client == &supplier) Refuse(Text(WB_MODEL_REALIZE_SELF, {clientName}));
  for (const Class* c : client.Realizes()) {
    if (c == &supplier) Refuse(Text(WB_MODEL_DUPLICATE_REALIZE, {clientName, supplier.GetQualifiedName()}));
  }
  auto& relation = client.relations_.emplace_back(std::make_unique<Relation>(supplier));
  client.realizes_.Add(relation.get());
}

void Model::AssignComponent(Class& owner, Component& component) {
  for (const Component* c : owner.componentList_) {
    if (c == &component) Refuse(Text(WB_MODEL_DUPLICATE_ASSIGNMENT, {owner.GetQualifiedName(), component.Name()}));
  }
  owner.componentList_.push_back(&component);
}

void Model::Walk(const std::function<void(Element& element, int depth)>& visit) const {
  for (Component* c : componentList_) visit(*c, 0);
  WalkPackage(*root_, 0, visit);
}

void Model::WalkPackage(Package& package, int depth, const std::function<void(Element&, int)>& visit) const {
  visit(package, depth);
  for (Class* c : package.ClassList()) {
    visit(*c, depth + 1);
    for (Attribute* a : c->attributeList_) visit(*a, depth + 2);
    for (Operation* o : c->OperationList()) {
      visit(*o, depth + 2);
      for (Parameter* p : o->ParameterList()) visit(*p, depth + 3);
    }
  }
  for (Package* p : package.PackageList()) WalkPackage(*p, depth + 1, visit);
}

}  // namespace zt::wb
