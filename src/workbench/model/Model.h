// The workbench's in-memory UML model: the host object model of
// host/TesselModel.h made real.
//
// A Model owns every element it holds (packages, classes, attributes,
// operations, parameters, components); elements, collections and lookups
// hand out borrowed pointers that stay valid as long as the model lives.
// Elements are only ever added, never removed or renamed, so a qualified
// name, once given, holds for the life of the model.
//
// Model order is the order in which elements were added, which for a loaded
// document is document order. Within a package its own classes come before
// the classes of its subpackages (AllClasses and Walk).
//
// The Add... members keep the model consistent: they refuse empty names
// (except for parameters, which may be unnamed), a
// second package or class of one name in one package, a second component of
// one name, and anything that would take a collection past the host's 16-bit
// limit (32767 elements; the limit counts all classes of the model, since
// the root package's AllClasses holds them all). They raise a ZtError whose
// description says what was refused.
//
// A model and its elements are for one thread at a time: what the elements
// share (SharedText) and what a package keeps of the classes below it are
// the model's, unguarded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/TesselModel.h"

namespace zt::wb {

class Class;
class Model;
class Package;

/// Kind names of the workbench's elements, as KindName() reports them.
namespace kind {
inline constexpr const char* kModel = "Model";
inline constexpr const char* kCategory = "Category";
inline constexpr const char* kClass = "Class";
inline constexpr const char* kAttribute = "Attribute";
inline constexpr const char* kOperation = "Operation";
inline constexpr const char* kParameter = "Parameter";
inline constexpr const char* kComponent = "Component";
}  // namespace kind

/// The root package's name when a document names none.
inline constexpr const char* kDefaultRootName = "Logical View";

/// The words of a model document for the visibilities of an operation.
std::string_view VisibilityWord(OperationVisibility visibility);
/// The visibility a word of VisibilityWord names; false for another word.
bool VisibilityOfWord(std::string_view word, OperationVisibility& visibility);

/// The largest number of elements one host collection holds.
inline constexpr int kMaxCollection = 32767;

/// The texts that the elements of one model hold alike (SharedText), each
/// with how many hold it. The model keeps one for its elements.
class TextPool {
 public:
  using Entry = std::pair<const std::string, size_t>;  // the text, how many hold it

  /// The entry of `text` (not empty), held once more.
  Entry& Hold(std::string_view text);
  /// Holds `entry` once less; the last holder drops it.
  void Release(Entry& entry);

 private:
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  std::unordered_map<std::string, size_t, TextHash, std::equal_to<>> texts_;
};

/// A text that many elements hold alike (a type, a stereotype, a language):
/// one copy is kept in the model's TextPool for all that hold it, for as
/// long as any does. The empty text takes nothing. An element goes only
/// with its model, and the pool with it: a text is let go when its holder
/// is given another, not when the holder goes.
class SharedText {
 public:
  SharedText() = default;
  SharedText(const SharedText&) = delete;
  SharedText& operator=(const SharedText&) = delete;

  const std::string& Get() const;
  /// Holds `text` from `pool`, the pool of whatever it held before.
  void Set(TextPool& pool, std::string_view text);

 private:
  TextPool::Entry* entry_ = nullptr;
};

/// The elements of a host collection as the workbench's own type, in order.
template <class T, class Item, T* (*Get)(Item*)>
class ElementList {
 public:
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = T*;
    using difference_type = std::ptrdiff_t;
    using pointer = T**;
    using reference = T*;

    Iterator() = default;
    explicit Iterator(typename std::vector<Item*>::const_iterator at) : at_(at) {}
    T* operator*() const { return Get(*at_); }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    Iterator operator++(int) { return Iterator(at_++); }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

   private:
    typename std::vector<Item*>::const_iterator at_;
  };

  explicit ElementList(const std::vector<Item*>& items) : items_(&items) {}
  Iterator begin() const { return Iterator(items_->begin()); }
  Iterator end() const { return Iterator(items_->end()); }
  size_t size() const { return items_->size(); }
  bool empty() const { return items_->empty(); }
  T* operator[](size_t index) const { return Get((*items_)[index]); }
  /// Raises std::out_of_range past the end.
  T* at(size_t index) const { return Get(items_->at(index)); }
  T* front() const { return Get(items_->front()); }
  T* back() const { return Get(items_->back()); }

 private:
  const std::vector<Item*>* items_;
};

/// The workbench element behind a host item that is known to be one.
template <class T, class Item>
T* Downcast(Item* item) {
  return static_cast<T*>(item);
}

/// One tool property of an element: a value under a tool's and a name.
class ToolProperty final : public TesselProperty {
 public:
  /// The tool's and the property's names are held from `texts`.
  ToolProperty(TextPool& texts, std::string_view tool, std::string_view name, std::string value);

  std::string Name() const override { return name_.Get(); }
  std::string Value() const override { return value_; }
  const std::string& Tool() const { return tool_.Get(); }
  const std::string& PropertyName() const { return name_.Get(); }
  void SetValue(std::string value) { value_ = std::move(value); }

 private:
  SharedText tool_;
  SharedText name_;
  std::string value_;
};

/// What every element of the model has: a name, an owner, tool properties.
class Element : public virtual TesselItem {
 public:
  std::string Name() const override { return name_; }
  /// The owner's qualified name, "::" and the name; the name alone for an
  /// element without owner (the root package, a component, the model).
  std::string GetQualifiedName() const override;
  TesselPropertyCollection GetToolProperties(const std::string& toolName) const override;
  std::string GetPropertyValue(const std::string& toolName, const std::string& propertyName) const override;

  /// Sets a tool property: replaces the value of one already set, else
  /// appends it. Raises when the tool would get more than 32767 properties.
  void SetToolProperty(const std::string& tool, const std::string& name, std::string value);
  /// Every tool property of the element, in the order they were first set.
  const std::vector<std::unique_ptr<ToolProperty>>& ToolProperties() const;
  /// The element this one belongs to; nullptr for the root package, a
  /// component and the model.
  Element* Owner() const { return owner_; }

 protected:
  Element(std::string name, Element* owner);
  /// The model the element is part of: its owner's, unless it knows its
  /// model itself (a package, a component, the model), which saves the
  /// many elements below a package a reference each.
  virtual Model& OwningModel() { return owner_->OwningModel(); }
  /// The texts the element's model shares among its elements.
  TextPool& Texts();

 private:
  struct PropertyIndex {
    // Where each (tool, name) is in the list, and how many each tool has.
    std::unordered_map<std::string, size_t> positions;
    std::unordered_map<std::string, int> toolCounts;
  };
  struct Properties {
    std::vector<std::unique_ptr<ToolProperty>> list;
    // Made once the list is long; a short one is searched in turn.
    std::unique_ptr<PropertyIndex> index;
  };
  // The position of a property in the list, or the list's size.
  size_t FindProperty(std::string_view tool, std::string_view name) const;

  friend class Model;
  std::string name_;
  Element* owner_;
  // Made with the first property: most elements have none.
  std::unique_ptr<Properties> properties_;
  // When it was added to its model: the elements added before it count.
  uint32_t order_ = 0;
};

/// A component that classes are assigned to (a type library, say).
class Component final : public TesselComponent, public Element {
 public:
  Component(std::string name, Model& model);
  std::string KindName() const override { return kind::kComponent; }

 private:
  Model& OwningModel() override { return model_; }

  Model& model_;
};

/// An attribute of a class: selectable, with a type and nothing more.
class Attribute final : public Element {
 public:
  Attribute(std::string name, Class& owner);
  std::string KindName() const override { return kind::kAttribute; }

  const std::string& Type() const { return type_.Get(); }
  void SetType(std::string_view type) { type_.Set(Texts(), type); }

 private:
  SharedText type_;
};

class Operation;

class Parameter final : public TesselParameter, public Element {
 public:
  Parameter(std::string name, Operation& owner);
  std::string KindName() const override { return kind::kParameter; }
  std::string Type() const override { return type_.Get(); }
  std::string InitValue() const override { return initValue_.Get(); }

  void SetType(std::string_view type) { type_.Set(Texts(), type); }
  void SetInitValue(std::string_view value) { initValue_.Set(Texts(), value); }

 private:
  SharedText type_;
  SharedText initValue_;
};

class Operation final : public TesselOperation, public Element {
 public:
  Operation(std::string name, Class& owner);
  std::string KindName() const override { return kind::kOperation; }
  TesselClass* ParentClass() override;
  TesselParameterCollection* Parameters() override { return &parameters_; }
  std::string ReturnType() const override { return returnType_.Get(); }
  std::string Stereotype() const override { return stereotype_.Get(); }
  bool IsStatic() const override { return static_; }
  OperationVisibility Visibility() const override { return visibility_; }

  void SetReturnType(std::string_view type) { returnType_.Set(Texts(), type); }
  void SetStereotype(std::string_view stereotype) { stereotype_.Set(Texts(), stereotype); }
  void SetStatic(bool isStatic) { static_ = isStatic; }
  void SetVisibility(OperationVisibility visibility) { visibility_ = visibility; }
  /// The class the operation belongs to.
  Class& Parent() const;
  /// The parameters, in order.
  using ParameterRange = ElementList<Parameter, TesselParameter, Downcast<Parameter, TesselParameter>>;
  ParameterRange ParameterList() const { return ParameterRange(parameters_.Items()); }

 private:
  friend class Model;
  SharedText returnType_;
  SharedText stereotype_;
  bool static_ = false;
  OperationVisibility visibility_ = OperationVisibility::kPublic;
  TesselParameterCollection parameters_;
};

/// A generalization or realization of a class; its name is the supplier's.
class Relation final : public TesselRelation {
 public:
  explicit Relation(Class& supplier) : supplier_(supplier) {}
  std::string Name() const override;
  TesselClass* GetSupplierClass() override;
  Class& Supplier() const { return supplier_; }
  static Class* SupplierOf(TesselRelation* relation) { return &static_cast<Relation*>(relation)->supplier_; }

 private:
  Class& supplier_;
};

class Class final : public TesselClass, public Element {
 public:
  Class(std::string name, Package& owner);
  std::string KindName() const override { return kind::kClass; }
  TesselOperationCollection* Operations() override { return &operations_; }
  TesselCategory* ParentCategory() override;
  std::string Stereotype() const override { return stereotype_.Get(); }
  std::string Language() const override { return language_.Get(); }
  bool IsAbstract() const override { return abstract_; }
  TesselRelationCollection* InheritRelations() override { return &inherits_; }
  TesselRelationCollection* RealizeRelations() override { return &realizes_; }
  TesselComponentCollection GetAssignedComponents() override;

  void SetStereotype(std::string_view stereotype) { stereotype_.Set(Texts(), stereotype); }
  void SetLanguage(std::string_view language) { language_.Set(Texts(), language); }
  void SetAbstract(bool isAbstract) { abstract_ = isAbstract; }
  /// The literals of an enumeration, in order; none for another class.
  const std::vector<std::string>& Literals() const { return literals_; }
  void AddLiteral(std::string literal) { literals_.push_back(std::move(literal)); }

  /// The package the class is in.
  Package& Parent() const;
  const std::vector<Attribute*>& AttributeList() const { return attributeList_; }
  using OperationRange = ElementList<Operation, TesselOperation, Downcast<Operation, TesselOperation>>;
  OperationRange OperationList() const { return OperationRange(operations_.Items()); }
  using SupplierRange = ElementList<Class, TesselRelation, Relation::SupplierOf>;
  /// The suppliers of the class's generalizations, in order.
  SupplierRange Inherits() const { return SupplierRange(inherits_.Items()); }
  /// The suppliers of the class's realizations, in order.
  SupplierRange Realizes() const { return SupplierRange(realizes_.Items()); }
  /// The components the class is assigned to, in the order it names them.
  const std::vector<Component*>& ComponentList() const { return componentList_; }

 private:
  friend class Model;
  SharedText stereotype_;
  SharedText language_;
  bool abstract_ = false;
  TesselOperationCollection operations_;
  std::vector<Attribute*> attributeList_;
  std::vector<std::unique_ptr<Relation>> relations_;
  TesselRelationCollection inherits_;
  TesselRelationCollection realizes_;
  std::vector<Component*> componentList_;
  std::vector<std::string> literals_;
};

/// A package ("category" to the host).
class Package final : public TesselCategory, public Element {
 public:
  /// A package in `owner`.
  Package(std::string name, Package& owner);
  /// The root package of `model`.
  Package(std::string name, Model& model);
  std::string KindName() const override { return kind::kCategory; }
  TesselClassCollection* Classes() override { return &classes_; }
  /// The classes of this package, then those of each subpackage in turn.
  TesselClassCollection* AllClasses() override;
  TesselCategoryCollection* Categories() override { return &packages_; }
  TesselCategory* ParentCategory() override { return parent_; }

  /// The enclosing package; nullptr for the root package.
  Package* Parent() const { return parent_; }
  using PackageRange = ElementList<Package, TesselCategory, Downcast<Package, TesselCategory>>;
  PackageRange PackageList() const { return PackageRange(packages_.Items()); }
  using ClassRange = ElementList<Class, TesselClass, Downcast<Class, TesselClass>>;
  ClassRange ClassList() const { return ClassRange(classes_.Items()); }
  /// The package named `name` directly in this one, or nullptr.
  Package* FindPackage(std::string_view name) const;
  /// The class named `name` directly in this package, or nullptr.
  Class* FindClass(std::string_view name) const;

 private:
  friend class Model;
  Model& OwningModel() override { return model_; }
  void CollectClasses(TesselClassCollection& into) const;

  Model& model_;
  Package* parent_;
  TesselClassCollection classes_;
  TesselCategoryCollection packages_;
  TesselClassCollection allClasses_;
  uint64_t allClassesVersion_ = 0;  // the model's class version allClasses_ was built at
};

inline Class& Operation::Parent() const { return static_cast<Class&>(*Owner()); }

inline Package& Class::Parent() const { return static_cast<Package&>(*Owner()); }

/// An open model: the root package, the components, model-wide tool
/// properties and the host's selection.
class Model final : public TesselModel, public Element {
 public:
  /// An empty model named `name` whose root package is named `rootName`.
  explicit Model(std::string name, std::string rootName = kDefaultRootName);
  ~Model() override;
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  std::string KindName() const override { return kind::kModel; }
  TesselItemCollection GetSelectedItems() override;
  TesselApplication* Application() override { return application_; }
  TesselCategory* RootCategory() override { return root_; }

  /// The root package.
  Package& Root() const { return *root_; }
  /// The application that has the model open (nullptr when none has).
  void SetApplication(TesselApplication* application) { application_ = application; }
  /// Sets what the user selected, in selection order. Raises error 6 for
  /// more than 32767 items.
  void SetSelection(std::vector<TesselItem*> items);

  // Building. Each returns the new element; see the file comment for what
  // they refuse.
  Package& AddPackage(Package& parent, const std::string& name);
  Class& AddClass(Package& parent, const std::string& name);
  Attribute& AddAttribute(Class& owner, const std::string& name, std::string type = {});
  Operation& AddOperation(Class& owner, const std::string& name, std::string returnType = {});
  Parameter& AddParameter(Operation& owner, const std::string& name, std::string type = {},
                          std::string initValue = {});
  Component& AddComponent(const std::string& name);
  /// Makes `client` a specialization of `supplier`; refuses a second one to
  /// the same supplier.
  void AddInheritance(Class& client, Class& supplier);
  /// Makes `client` realize `supplier`; refuses a second one to the same supplier.
  void AddRealization(Class& client, Class& supplier);
  /// Assigns `owner` to `component`; refuses assigning it twice.
  void AssignComponent(Class& owner, Component& component);

  // Looking up. A qualified name may leave the root package's name out
  // ("bank::core::Account"); one that starts with the root's name is first
  // taken as complete, then as relative to the root.

  /// Every element of that qualified name, in the order they were added:
  /// several for overloaded operations, none for an unknown name.
  std::vector<Element*> Find(std::string_view qualifiedName) const;
  /// The class of that qualified name, or nullptr.
  Class* FindClass(std::string_view qualifiedName) const;
  /// The package of that qualified name, or nullptr.
  Package* FindPackage(std::string_view qualifiedName) const;
  /// The component named `name`, or nullptr.
  Component* FindComponent(std::string_view name) const;
  /// The components, in model order.
  const std::vector<Component*>& ComponentList() const { return componentList_; }
  /// The number of classes in the whole model.
  int ClassCount() const { return classCount_; }

  /// Calls `visit` for every element in model order: the components, then
  /// the root package and, depth-first, everything below it (a package's
  /// classes, each with its attributes, then operations with their
  /// parameters; then its subpackages). `depth` is 0 for the components and
  /// the root package and grows by one per level.
  void Walk(const std::function<void(Element& element, int depth)>& visit) const;

 private:
  friend class Element;
  Model& OwningModel() override { return *this; }
  friend class Package;
  template <class T>
  T& Own(std::unique_ptr<T> element);
  std::vector<Element*> FindExact(const std::string& qualifiedName) const;
  // The packages and classes of that qualified name, in the order added.
  std::vector<Element*> FindIndexed(std::string_view qualifiedName) const;
  void WalkPackage(Package& package, int depth, const std::function<void(Element&, int)>& visit) const;

  TesselApplication* application_ = nullptr;
  // The texts the elements share.
  TextPool texts_;
  // Counts the packages and classes added, so that a package can tell
  // whether the classes below it may have changed since it last looked.
  uint64_t classVersion_ = 1;
  std::vector<std::unique_ptr<Element>> elements_;
  Package* root_ = nullptr;
  std::vector<Component*> componentList_;
  std::vector<TesselItem*> selection_;
  // The packages and classes by a digest of their qualified name: the first
  // of each digest, and the later ones in the order they were added. A
  // lookup compares the names themselves. Attributes, operations and
  // parameters are found through their class.
  std::unordered_map<uint64_t, Element*> byDigest_;
  std::unordered_map<uint64_t, std::vector<Element*>> moreByDigest_;
  // The length of the longest qualified name in byDigest_: no longer part
  // of a name looked up can name a package or class.
  size_t longestIndexed_ = 0;
  int classCount_ = 0;
};

inline TextPool& Element::Texts() { return OwningModel().texts_; }

}  // namespace zt::wb
