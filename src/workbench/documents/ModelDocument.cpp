// Reading and writing model documents.
//
// The loader walks the parsed JSON once, building the model as it goes, and
// keeps the references between elements (generalizations, realizations,
// component assignments) for a second step once everything is read, so that
// a document may name a class before it defines it. Every refusal of the
// model (a duplicate, an empty name, a full collection) becomes an error at
// the position of the value that caused it.
#include "workbench/documents/ModelDocument.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "support/Error.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/Outputs.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

using json::Position;
using json::Type;
using json::Value;

// The keys of a document.
namespace key {
constexpr std::string_view kModel = "model";
constexpr std::string_view kRoot = "root";
constexpr std::string_view kProperties = "properties";
constexpr std::string_view kComponents = "components";
constexpr std::string_view kPackages = "packages";
constexpr std::string_view kClasses = "classes";
constexpr std::string_view kName = "name";
constexpr std::string_view kStereotype = "stereotype";
constexpr std::string_view kLanguage = "language";
constexpr std::string_view kAbstract = "abstract";
constexpr std::string_view kInherits = "inherits";
constexpr std::string_view kRealizes = "realizes";
constexpr std::string_view kAttributes = "attributes";
constexpr std::string_view kOperations = "operations";
constexpr std::string_view kType = "type";
constexpr std::string_view kReturnType = "returnType";
constexpr std::string_view kParameters = "parameters";
constexpr std::string_view kInitValue = "initValue";
constexpr std::string_view kStatic = "static";
constexpr std::string_view kLiterals = "literals";
constexpr std::string_view kVisibility = "visibility";
}  // namespace key

using Keys = std::initializer_list<std::string_view>;

// The keys each kind of object may have, in the order the writer puts them.
const Keys kDocumentKeys = {key::kModel, key::kRoot, key::kProperties, key::kComponents, key::kPackages, key::kClasses};
const Keys kComponentKeys = {key::kName, key::kProperties};
const Keys kPackageKeys = {key::kName, key::kProperties, key::kPackages, key::kClasses};
const Keys kClassKeys = {key::kName,       key::kStereotype, key::kLanguage,   key::kAbstract,
                         key::kInherits,   key::kRealizes,   key::kComponents, key::kProperties,
                         key::kAttributes, key::kOperations, key::kLiterals};
const Keys kAttributeKeys = {key::kName, key::kType, key::kProperties};
const Keys kOperationKeys = {key::kName,       key::kReturnType, key::kStereotype, key::kStatic,
                             key::kVisibility, key::kProperties, key::kParameters};
const Keys kParameterKeys = {key::kName, key::kType, key::kInitValue, key::kProperties};

// The visibility words, for the message that names them.
std::string VisibilityWords() {
  std::string words;
  for (auto v : {OperationVisibility::kPublic, OperationVisibility::kProtected, OperationVisibility::kPackage,
                 OperationVisibility::kPrivate}) {
    words += (words.empty() ? "" : ", ") + std::string(VisibilityWord(v));
  }
  return words;
}

class Loader {
 public:
  explicit Loader(std::string file) : file_(std::move(file)) {}

  // The document is checked whole first, so that a fault of its JSON is
  // found before anything is built; then it is read package by package and
  // class by class, each dropped once it is in the model.
  std::unique_ptr<Model> Load(std::string_view text) {
    return Load([&] { return json::Check(text); }, [&] { return std::make_unique<json::Reader>(text); });
  }

  /// `check` checks the document and `open` opens a reader over it.
  std::unique_ptr<Model> Load(const std::function<Value()>& check,
                              const std::function<std::unique_ptr<json::Reader>()>& open) {
    Value top;
    try {
      top = check();
    } catch (const json::ParseError& e) {
      Fail(e.Where(), e.Message());
    }
    if (top.type != Type::kObject) Fail(top.position, Text(WB_DOC_NOT_AN_OBJECT, {json::DescribeType(top.type)}));
    CheckKeys(top, WB_WHAT_DOCUMENT, kDocumentKeys);
    bool needModel = top.Find(key::kModel) != nullptr;
    bool needRoot = top.Find(key::kRoot) != nullptr;

    const std::unique_ptr<json::Reader> opened = open();
    json::Reader& reader = *opened;
    std::optional<Value> modelValue;
    std::optional<Value> rootValue;
    // Members met before the model can be made (it needs its name and its
    // root's), read once it is.
    std::vector<std::pair<std::string, Value>> held;
    const auto makeModel = [&] {
      std::string modelName = std::filesystem::path(file_).stem().string();
      Position modelAt = top.position;
      if (modelValue) {
        modelName = StringOf(*modelValue, key::kModel);
        modelAt = modelValue->position;
      }
      if (modelName.empty()) Fail(modelAt, Text(WB_MODEL_NAME_EMPTY, {Text(WB_WHAT_MODEL)}));
      std::string rootName = kDefaultRootName;
      Position rootAt = top.position;
      if (rootValue) {
        rootName = StringOf(*rootValue, key::kRoot);
        rootAt = rootValue->position;
      }
      model_ = At(rootAt, [&] { return std::make_unique<Model>(modelName, rootName); });
      for (const auto& [k, value] : held) ReadDocumentMember(k, value);
      held.clear();
    };
    if (!needModel && !needRoot) makeModel();
    reader.Enter();
    bool first = true;
    std::string k;
    Position keyAt;
    while (reader.NextMember(first, k, keyAt)) {
      if (k == key::kModel || k == key::kRoot) {
        (k == key::kModel ? modelValue : rootValue) = reader.Read();
        (k == key::kModel ? needModel : needRoot) = false;
        if (!needModel && !needRoot) makeModel();
      } else if (!model_) {
        held.emplace_back(k, reader.Read());
      } else if ((k == key::kPackages || k == key::kClasses) && reader.NextType() == Type::kArray) {
        ReadList(reader, model_->Root(), k == key::kPackages);
      } else {
        ReadDocumentMember(k, reader.Read());
      }
    }
    ResolveReferences();
    return std::move(model_);
  }

 private:
  enum class Link { kInherit, kRealize, kComponent };

  /// A reference from a class to an element named elsewhere in the document.
  struct Reference {
    Class* client;
    Link link;
    std::string target;
    Position position;
  };

  [[noreturn]] void Fail(Position at, const std::string& message) const {
    throw DocumentError(file_, at.line, at.column, message);
  }

  /// Runs `build`, turning a refusal of the model into an error at `at`.
  template <class F>
  auto At(Position at, F&& build) -> decltype(build()) {
    try {
      return build();
    } catch (const ZtError& e) {
      Fail(at, e.Description());
    }
  }

  [[noreturn]] void WrongType(const Value& value, Type expected, std::string_view key) const {
    Fail(value.position, Text(WB_DOC_WRONG_TYPE, {json::DescribeType(expected), std::string(key),
                                                  json::DescribeType(value.type)}));
  }

  const std::string& StringOf(const Value& value, std::string_view key) const {
    if (value.type != Type::kString) WrongType(value, Type::kString, key);
    return value.text;
  }

  const std::vector<Value>& ListOf(const Value& value, std::string_view key) const {
    if (value.type != Type::kArray) WrongType(value, Type::kArray, key);
    return value.items;
  }

  /// Checks that `value` is an object whose keys are all in `allowed`, none twice.
  void CheckObject(const Value& value, std::string_view listKey, int16_t what, Keys allowed) const {
    if (value.type != Type::kObject) {
      Fail(value.position, Text(WB_DOC_WRONG_ITEM_TYPE, {json::DescribeType(Type::kObject), std::string(listKey),
                                                         json::DescribeType(value.type)}));
    }
    CheckKeys(value, what, allowed);
  }

  void CheckKeys(const Value& object, int16_t what, Keys allowed) const {
    for (size_t i = 0; i < object.keys.size(); ++i) {
      const std::string& k = object.keys[i];
      bool known = false;
      for (std::string_view a : allowed) known = known || a == k;
      if (!known) {
        std::string list;
        for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
        Fail(object.keyPositions[i], Text(WB_DOC_UNKNOWN_KEY, {k, Text(what), list}));
      }
      for (size_t j = 0; j < i; ++j) {
        if (object.keys[j] == k) Fail(object.keyPositions[i], Text(WB_DOC_DUPLICATE_KEY, {k}));
      }
    }
  }

  /// The name of an object, which every element needs.
  const Value& NameOf(const Value& object, int16_t what) const {
    const Value* name = object.Find(key::kName);
    if (name == nullptr) Fail(object.position, Text(WB_DOC_MISSING_NAME, {Text(what)}));
    StringOf(*name, key::kName);
    return *name;
  }

  void ReadProperties(Element& element, const Value& value) {
    if (value.type != Type::kObject) WrongType(value, Type::kObject, key::kProperties);
    for (size_t t = 0; t < value.items.size(); ++t) {
      const std::string& tool = value.keys[t];
      const Value& properties = value.items[t];
      if (properties.type != Type::kObject) WrongType(properties, Type::kObject, tool);
      if (tool.empty()) Fail(value.keyPositions[t], Text(WB_MODEL_PROPERTY_NAME_EMPTY, {element.GetQualifiedName()}));
      for (size_t j = 0; j < t; ++j) {
        if (value.keys[j] == tool) Fail(value.keyPositions[t], Text(WB_DOC_DUPLICATE_KEY, {tool}));
      }
      for (size_t p = 0; p < properties.items.size(); ++p) {
        const std::string& name = properties.keys[p];
        for (size_t j = 0; j < p; ++j) {
          if (properties.keys[j] == name) Fail(properties.keyPositions[p], Text(WB_DOC_DUPLICATE_KEY, {name}));
        }
        const std::string& text = StringOf(properties.items[p], name);
        At(properties.keyPositions[p], [&] { element.SetToolProperty(tool, name, text); });
      }
    }
  }

  void ReadDocumentMember(const std::string& k, const Value& value) {
    if (k == key::kProperties) {
      ReadProperties(*model_, value);
    } else if (k == key::kComponents) {
      for (const Value& item : ListOf(value, k)) ReadComponent(item);
    } else if (k == key::kPackages) {
      for (const Value& item : ListOf(value, k)) ReadPackage(model_->Root(), item);
    } else if (k == key::kClasses) {
      for (const Value& item : ListOf(value, k)) ReadClass(model_->Root(), item);
    }
  }

  /// The packages or classes of `parent`, one at a time from `reader`.
  void ReadList(json::Reader& reader, Package& parent, bool packages) {
    reader.Enter();
    bool first = true;
    while (reader.NextItem(first)) {
      if (packages) {
        ReadPackage(parent, reader);
      } else {
        ReadClass(parent, reader.Read());
      }
    }
  }

  /// A package read member by member: its packages and classes go into the
  /// model as they are read, once the package has its name.
  void ReadPackage(Package& parent, json::Reader& reader) {
    if (reader.NextType() != Type::kObject) return ReadPackage(parent, reader.Read());
    const Position at = reader.Here();
    Value seen;  // the member names so far, for the key checks
    seen.type = Type::kObject;
    Package* package = nullptr;
    std::vector<std::pair<std::string, Value>> held;  // members before the name
    reader.Enter();
    bool first = true;
    std::string k;
    Position keyAt;
    while (reader.NextMember(first, k, keyAt)) {
      seen.keys.push_back(k);
      seen.keyPositions.push_back(keyAt);
      seen.items.emplace_back();
      CheckKeys(seen, WB_WHAT_PACKAGE, kPackageKeys);
      if (k == key::kName) {
        const Value name = reader.Read();
        StringOf(name, key::kName);
        package = &At(name.position, [&]() -> Package& { return model_->AddPackage(parent, name.text); });
        for (const auto& [heldKey, value] : held) ReadPackageMember(*package, heldKey, value);
        held.clear();
      } else if (package == nullptr) {
        held.emplace_back(k, reader.Read());
      } else if ((k == key::kPackages || k == key::kClasses) && reader.NextType() == Type::kArray) {
        ReadList(reader, *package, k == key::kPackages);
      } else {
        ReadPackageMember(*package, k, reader.Read());
      }
    }
    if (package == nullptr) Fail(at, Text(WB_DOC_MISSING_NAME, {Text(WB_WHAT_PACKAGE)}));
  }

  void ReadPackageMember(Package& package, const std::string& k, const Value& item) {
    if (k == key::kProperties) {
      ReadProperties(package, item);
    } else if (k == key::kPackages) {
      for (const Value& p : ListOf(item, k)) ReadPackage(package, p);
    } else if (k == key::kClasses) {
      for (const Value& c : ListOf(item, k)) ReadClass(package, c);
    }
  }

  void ReadComponent(const Value& value) {
    CheckObject(value, key::kComponents, WB_WHAT_COMPONENT, kComponentKeys);
    const Value& name = NameOf(value, WB_WHAT_COMPONENT);
    Component& component = At(name.position, [&]() -> Component& { return model_->AddComponent(name.text); });
    if (const Value* properties = value.Find(key::kProperties)) ReadProperties(component, *properties);
  }

  void ReadPackage(Package& parent, const Value& value) {
    CheckObject(value, key::kPackages, WB_WHAT_PACKAGE, kPackageKeys);
    const Value& name = NameOf(value, WB_WHAT_PACKAGE);
    Package& package = At(name.position, [&]() -> Package& { return model_->AddPackage(parent, name.text); });
    for (size_t i = 0; i < value.items.size(); ++i) ReadPackageMember(package, value.keys[i], value.items[i]);
  }

  void ReadClass(Package& parent, const Value& value) {
    CheckObject(value, key::kClasses, WB_WHAT_CLASS, kClassKeys);
    const Value& name = NameOf(value, WB_WHAT_CLASS);
    Class& added = At(name.position, [&]() -> Class& { return model_->AddClass(parent, name.text); });
    for (size_t i = 0; i < value.items.size(); ++i) {
      const std::string& k = value.keys[i];
      const Value& item = value.items[i];
      if (k == key::kStereotype) {
        added.SetStereotype(StringOf(item, k));
      } else if (k == key::kLanguage) {
        added.SetLanguage(StringOf(item, k));
      } else if (k == key::kAbstract) {
        if (item.type != Type::kBool) WrongType(item, Type::kBool, k);
        added.SetAbstract(item.boolean);
      } else if (k == key::kInherits || k == key::kRealizes || k == key::kComponents) {
        const Link link = k == key::kInherits   ? Link::kInherit
                          : k == key::kRealizes ? Link::kRealize
                                                : Link::kComponent;
        for (const Value& target : ListOf(item, k)) {
          if (target.type != Type::kString) {
            Fail(target.position, Text(WB_DOC_WRONG_ITEM_TYPE, {json::DescribeType(Type::kString), k,
                                                                json::DescribeType(target.type)}));
          }
          references_.push_back({&added, link, target.text, target.position});
        }
      } else if (k == key::kProperties) {
        ReadProperties(added, item);
      } else if (k == key::kAttributes) {
        for (const Value& a : ListOf(item, k)) ReadAttribute(added, a);
      } else if (k == key::kOperations) {
        for (const Value& o : ListOf(item, k)) ReadOperation(added, o);
      } else if (k == key::kLiterals) {
        for (const Value& literal : ListOf(item, k)) {
          if (literal.type != Type::kString) {
            Fail(literal.position, Text(WB_DOC_WRONG_ITEM_TYPE,
                                        {json::DescribeType(Type::kString), k, json::DescribeType(literal.type)}));
          }
          added.AddLiteral(literal.text);
        }
      }
    }
  }

  void ReadAttribute(Class& owner, const Value& value) {
    CheckObject(value, key::kAttributes, WB_WHAT_ATTRIBUTE, kAttributeKeys);
    const Value& name = NameOf(value, WB_WHAT_ATTRIBUTE);
    Attribute& attribute = At(name.position, [&]() -> Attribute& { return model_->AddAttribute(owner, name.text); });
    for (size_t i = 0; i < value.items.size(); ++i) {
      const std::string& k = value.keys[i];
      if (k == key::kType) attribute.SetType(StringOf(value.items[i], k));
      if (k == key::kProperties) ReadProperties(attribute, value.items[i]);
    }
  }

  void ReadOperation(Class& owner, const Value& value) {
    CheckObject(value, key::kOperations, WB_WHAT_OPERATION, kOperationKeys);
    const Value& name = NameOf(value, WB_WHAT_OPERATION);
    Operation& operation = At(name.position, [&]() -> Operation& { return model_->AddOperation(owner, name.text); });
    for (size_t i = 0; i < value.items.size(); ++i) {
      const std::string& k = value.keys[i];
      const Value& item = value.items[i];
      if (k == key::kReturnType) {
        operation.SetReturnType(StringOf(item, k));
      } else if (k == key::kStereotype) {
        operation.SetStereotype(StringOf(item, k));
      } else if (k == key::kStatic) {
        if (item.type != Type::kBool) WrongType(item, Type::kBool, k);
        operation.SetStatic(item.boolean);
      } else if (k == key::kVisibility) {
        OperationVisibility visibility{};
        if (!VisibilityOfWord(StringOf(item, k), visibility)) {
          Fail(item.position, Text(WB_DOC_WRONG_WORD, {std::string(k), json::Quote(item.text), VisibilityWords()}));
        }
        operation.SetVisibility(visibility);
      } else if (k == key::kProperties) {
        ReadProperties(operation, item);
      } else if (k == key::kParameters) {
        for (const Value& p : ListOf(item, k)) ReadParameter(operation, p);
      }
    }
  }

  void ReadParameter(Operation& owner, const Value& value) {
    CheckObject(value, key::kParameters, WB_WHAT_PARAMETER, kParameterKeys);
    // A parameter may be unnamed: the generated tests then call it "arg" and
    // its position.
    const Value* name = value.Find(key::kName);
    const std::string text = name != nullptr ? StringOf(*name, key::kName) : std::string();
    Parameter& parameter = At(name != nullptr ? name->position : value.position,
                              [&]() -> Parameter& { return model_->AddParameter(owner, text); });
    for (size_t i = 0; i < value.items.size(); ++i) {
      const std::string& k = value.keys[i];
      const Value& item = value.items[i];
      if (k == key::kType) {
        parameter.SetType(StringOf(item, k));
      } else if (k == key::kInitValue) {
        parameter.SetInitValue(StringOf(item, k));
      } else if (k == key::kProperties) {
        ReadProperties(parameter, item);
      }
    }
  }

  void ResolveReferences() {
    for (const Reference& ref : references_) {
      const std::string& name = ref.target;
      if (ref.link == Link::kComponent) {
        Component* component = model_->FindComponent(name);
        if (component == nullptr) Fail(ref.position, Text(WB_DOC_NO_SUCH_COMPONENT, {name}));
        At(ref.position, [&] { model_->AssignComponent(*ref.client, *component); });
        continue;
      }
      Class* supplier = model_->FindClass(name);
      if (supplier == nullptr) Fail(ref.position, Text(WB_DOC_NO_SUCH_CLASS, {name}));
      At(ref.position, [&] {
        if (ref.link == Link::kInherit) {
          model_->AddInheritance(*ref.client, *supplier);
        } else {
          model_->AddRealization(*ref.client, *supplier);
        }
      });
    }
  }

  std::string file_;
  std::unique_ptr<Model> model_;
  std::vector<Reference> references_;
};

// The writer: the model as a json::Value, then formatted.

Value MakeString(const std::string& text) {
  if (text.find('\0') != std::string::npos || !json::IsValidUtf8(text)) {
    RaiseError(errc::kInvalidCall, {}, Text(WB_DOC_CANNOT_CARRY, {json::Quote(text)}));
  }
  Value value;
  value.type = Type::kString;
  value.text = text;
  return value;
}

Value MakeObject() {
  Value value;
  value.type = Type::kObject;
  return value;
}

Value MakeTrue() {
  Value value;
  value.type = Type::kBool;
  value.boolean = true;
  return value;
}

Value MakeArray() {
  Value value;
  value.type = Type::kArray;
  return value;
}

void Put(Value& object, std::string_view k, Value value) {
  object.keys.emplace_back(k);
  object.keyPositions.emplace_back();
  object.items.push_back(std::move(value));
}

/// Puts `text` under `k` unless it is empty.
void PutString(Value& object, std::string_view k, const std::string& text) {
  if (!text.empty()) Put(object, k, MakeString(text));
}

/// Puts `array` under `k` unless it is empty.
void PutArray(Value& object, std::string_view k, Value array) {
  if (!array.items.empty()) Put(object, k, std::move(array));
}

/// The element's tool properties, by tool in the order each tool first appears.
void PutProperties(Value& object, const Element& element) {
  Value tools = MakeObject();
  for (const auto& property : element.ToolProperties()) {
    size_t t = 0;
    while (t < tools.keys.size() && tools.keys[t] != property->Tool()) ++t;
    if (t == tools.keys.size()) Put(tools, MakeString(property->Tool()).text, MakeObject());
    Put(tools.items[t], MakeString(property->Name()).text, MakeString(property->Value()));
  }
  if (!tools.items.empty()) Put(object, key::kProperties, std::move(tools));
}

Value WriteParameter(const Parameter& parameter) {
  Value object = MakeObject();
  Put(object, key::kName, MakeString(parameter.Name()));
  PutString(object, key::kType, parameter.Type());
  PutString(object, key::kInitValue, parameter.InitValue());
  PutProperties(object, parameter);
  return object;
}

Value WriteOperation(const Operation& operation) {
  Value object = MakeObject();
  Put(object, key::kName, MakeString(operation.Name()));
  PutString(object, key::kReturnType, operation.ReturnType());
  PutString(object, key::kStereotype, operation.Stereotype());
  if (operation.IsStatic()) Put(object, key::kStatic, MakeTrue());
  if (operation.Visibility() != OperationVisibility::kPublic) {
    PutString(object, key::kVisibility, std::string(VisibilityWord(operation.Visibility())));
  }
  PutProperties(object, operation);
  Value parameters = MakeArray();
  for (const Parameter* p : operation.ParameterList()) parameters.items.push_back(WriteParameter(*p));
  PutArray(object, key::kParameters, std::move(parameters));
  return object;
}

Value WriteClass(const Model& model, const Class& c) {
  Value object = MakeObject();
  Put(object, key::kName, MakeString(c.Name()));
  PutString(object, key::kStereotype, c.Stereotype());
  PutString(object, key::kLanguage, c.Language());
  if (c.IsAbstract()) Put(object, key::kAbstract, MakeTrue());
  // Relations name their supplier without the root package's name, unless
  // that shorter name would find another class first.
  const auto supplierNames = [&](const Class::SupplierRange& suppliers) {
    Value names = MakeArray();
    for (const Class* s : suppliers) {
      std::string name = s->GetQualifiedName();
      const std::string prefix = model.Root().Name() + "::";
      if (name.compare(0, prefix.size(), prefix) == 0 && model.FindClass(name.substr(prefix.size())) == s) {
        name = name.substr(prefix.size());
      }
      names.items.push_back(MakeString(name));
    }
    return names;
  };
  PutArray(object, key::kInherits, supplierNames(c.Inherits()));
  PutArray(object, key::kRealizes, supplierNames(c.Realizes()));
  Value components = MakeArray();
  for (const Component* component : c.ComponentList()) components.items.push_back(MakeString(component->Name()));
  PutArray(object, key::kComponents, std::move(components));
  PutProperties(object, c);
  Value attributes = MakeArray();
  for (const Attribute* a : c.AttributeList()) {
    Value attribute = MakeObject();
    Put(attribute, key::kName, MakeString(a->Name()));
    PutString(attribute, key::kType, a->Type());
    PutProperties(attribute, *a);
    attributes.items.push_back(std::move(attribute));
  }
  PutArray(object, key::kAttributes, std::move(attributes));
  Value operations = MakeArray();
  for (const Operation* o : c.OperationList()) operations.items.push_back(WriteOperation(*o));
  PutArray(object, key::kOperations, std::move(operations));
  Value literals = MakeArray();
  for (const std::string& literal : c.Literals()) literals.items.push_back(MakeString(literal));
  PutArray(object, key::kLiterals, std::move(literals));
  return object;
}

/// The packages and classes of `package`, under their keys in `object`.
void PutContents(Value& object, const Model& model, const Package& package) {
  Value packages = MakeArray();
  for (const Package* p : package.PackageList()) {
    Value child = MakeObject();
    Put(child, key::kName, MakeString(p->Name()));
    PutProperties(child, *p);
    PutContents(child, model, *p);
    packages.items.push_back(std::move(child));
  }
  PutArray(object, key::kPackages, std::move(packages));
  Value classes = MakeArray();
  for (const Class* c : package.ClassList()) classes.items.push_back(WriteClass(model, *c));
  PutArray(object, key::kClasses, std::move(classes));
}

}  // namespace

DocumentError::DocumentError(std::string file, int line, int column, std::string message)
    : file_(std::move(file)), line_(line), column_(column), message_(json::EscapeControls(message)) {
  // Names from the document may hold line feeds; the error stays one line.
  full_ = json::EscapeControls(file_);
  if (line_ > 0) full_ += ":" + std::to_string(line_) + ":" + std::to_string(column_);
  full_ += ": " + message_;
}

std::unique_ptr<Model> ParseModelDocument(std::string_view text, const std::string& fileName) {
  return Loader(fileName).Load(text);
}

std::unique_ptr<Model> LoadModelDocument(const std::string& path) { return StreamModelDocument(path, path); }

std::unique_ptr<Model> StreamModelDocument(const std::string& path, const std::string& fileName) {
  const auto cannotRead = [&](int error) {
    return DocumentError(fileName, 0, 0, Text(WB_DOC_CANNOT_READ, {std::strerror(error)}));
  };
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  using File = std::unique_ptr<std::FILE, Closer>;
  const auto openFile = [&] {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw cannotRead(EISDIR);
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) throw cannotRead(errno);
    return std::make_shared<File>(std::move(file));
  };
  // Each pass reads the file from its start; the reader keeps it open.
  const auto readFrom = [cannotRead](std::shared_ptr<File> file) -> json::ReadFunction {
    return [file, cannotRead](char* buffer, size_t size) {
      const size_t n = std::fread(buffer, 1, size, file->get());
      if (n == 0 && std::ferror(file->get())) throw cannotRead(errno != 0 ? errno : EIO);
      return n;
    };
  };
  return Loader(fileName).Load([&] { return json::Check(readFrom(openFile())); },
                               [&] { return std::make_unique<json::Reader>(readFrom(openFile())); });
}

std::string FormatModelDocument(const Model& model) {
  Value document = MakeObject();
  Put(document, key::kModel, MakeString(model.Name()));
  Put(document, key::kRoot, MakeString(model.Root().Name()));
  PutProperties(document, model);
  Value components = MakeArray();
  for (const Component* c : model.ComponentList()) {
    Value component = MakeObject();
    Put(component, key::kName, MakeString(c->Name()));
    PutProperties(component, *c);
    components.items.push_back(std::move(component));
  }
  PutArray(document, key::kComponents, std::move(components));
  PutContents(document, model, model.Root());
  return json::Format(document);
}

void SaveModelDocument(const Model& model, const std::string& path) {
  WriteOutputFile(path, FormatModelDocument(model));
}

}  // namespace zt::wb
