// The host modelling tool's object model, as the add-in sees it.
//
// Everything here is an interface: the host (in this product, the workbench
// behind the command-line host) implements it and hands the add-in an
// application object at every entry call. Elements are owned by the host's
// model; the add-in only borrows them, for the length of one entry call.
// A pointer that is null stands for the host's "Nothing".
//
// Collections are 1-based with signed 16-bit counts and indexes, as the host
// reports them. `TesselCollection` is a plain value type: the host returns
// the collections of an element by pointer (it owns them), and the add-in
// creates empty ones of its own and fills them with `Add`.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/Error.h"

namespace zt {

/// A 1-based collection of borrowed host objects, searchable by `Name()`.
template <class T>
class TesselCollection {
 public:
  TesselCollection() = default;
  // A copy builds its own index when it needs one.
  TesselCollection(const TesselCollection& other) : items_(other.items_) {}
  TesselCollection& operator=(const TesselCollection& other) {
    if (this != &other) {
      items_ = other.items_;
      index_.reset();
    }
    return *this;
  }
  TesselCollection(TesselCollection&&) noexcept = default;
  TesselCollection& operator=(TesselCollection&&) noexcept = default;

  int16_t Count() const { return static_cast<int16_t>(items_.size()); }

  /// The element at `index` (1 to `Count`); raises error 9 outside that.
  T* GetAt(int16_t index) const {
    if (index < 1 || index > Count()) RaiseError(errc::kSubscriptOutOfRange);
    return items_[static_cast<size_t>(index - 1)];
  }

  /// The index of the first element named `name`, or 0.
  int16_t FindFirst(std::string_view name) const { return FindNext(name, 0); }

  /// The index of the next element named `name` after `after`, or 0.
  int16_t FindNext(std::string_view name, int16_t after) const {
    const int16_t start = after < 0 ? int16_t{0} : after;
    if (items_.size() < kIndexedFrom) {
      for (int16_t i = start; i < Count(); ++i) {
        T* item = items_[static_cast<size_t>(i)];
        if (item != nullptr && item->Name() == name) return static_cast<int16_t>(i + 1);
      }
      return 0;
    }
    // Large collections answer from an index of name digests, built on
    // first use; the names of the entries found are compared.
    if (!index_) BuildIndex();
    const uint64_t digest = Digest(name);
    auto it = std::lower_bound(index_->begin(), index_->end(), IndexEntry{digest, static_cast<int16_t>(start + 1)});
    for (; it != index_->end() && it->digest == digest; ++it) {
      T* item = items_[static_cast<size_t>(it->position - 1)];
      if (item->Name() == name) return it->position;
    }
    return 0;
  }

  /// The first element named `name`, or nullptr.
  T* GetFirst(std::string_view name) const {
    const int16_t index = FindFirst(name);
    return index > 0 ? items_[static_cast<size_t>(index - 1)] : nullptr;
  }

  /// Appends `element`; raises error 6 when the 16-bit count would overflow.
  void Add(T* element) {
    if (items_.size() >= static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
      RaiseError(errc::kOverflow);
    }
    items_.push_back(element);
    index_.reset();
  }

  // Range access for host-side code; the add-in walks by index as the host does.
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  const std::vector<T*>& Items() const { return items_; }

 private:
  // Below this size a search walks the elements.
  static constexpr size_t kIndexedFrom = 32;

  struct IndexEntry {
    uint64_t digest;
    int16_t position;  // 1-based
    bool operator<(const IndexEntry& other) const {
      return digest != other.digest ? digest < other.digest : position < other.position;
    }
  };

  static uint64_t Digest(std::string_view name) { return std::hash<std::string_view>()(name); }

  void BuildIndex() const {
    auto index = std::make_unique<std::vector<IndexEntry>>();
    index->reserve(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i] != nullptr) index->push_back({Digest(items_[i]->Name()), static_cast<int16_t>(i + 1)});
    }
    std::sort(index->begin(), index->end());
    index_ = std::move(index);
  }

  std::vector<T*> items_;
  // The digest of each element's name and its position, in that order;
  // made on the first search of a large collection, dropped when an element
  // is added. Small ones need none.
  mutable std::unique_ptr<std::vector<IndexEntry>> index_;
};

class TesselApplication;
class TesselCategory;
class TesselClass;
class TesselComponent;
class TesselModel;
class TesselOperation;
class TesselParameter;
class TesselProperty;
class TesselRelation;
class TesselItem;

using TesselItemCollection = TesselCollection<TesselItem>;
using TesselCategoryCollection = TesselCollection<TesselCategory>;
using TesselClassCollection = TesselCollection<TesselClass>;
using TesselOperationCollection = TesselCollection<TesselOperation>;
using TesselParameterCollection = TesselCollection<TesselParameter>;
using TesselPropertyCollection = TesselCollection<TesselProperty>;
using TesselRelationCollection = TesselCollection<TesselRelation>;
using TesselComponentCollection = TesselCollection<TesselComponent>;

/// A tool property of an element: one named value under a tool's name.
class TesselProperty {
 public:
  virtual ~TesselProperty() = default;
  virtual std::string Name() const = 0;
  virtual std::string Value() const = 0;
};

/// Every model element, and so every item the user can select.
class TesselItem {
 public:
  virtual ~TesselItem() = default;
  virtual std::string Name() const = 0;
  /// The path from the root package, parts joined by "::", root first.
  virtual std::string GetQualifiedName() const = 0;
  /// "Category", "Class", "Operation", or the name of another kind.
  virtual std::string KindName() const = 0;
  /// The properties the model keeps for `toolName`, in model order.
  virtual TesselPropertyCollection GetToolProperties(const std::string& toolName) const = 0;
  /// The value of one tool property; empty when the property is not set.
  virtual std::string GetPropertyValue(const std::string& toolName,
                                       const std::string& propertyName) const = 0;
};

/// A package.
class TesselCategory : public virtual TesselItem {
 public:
  /// The classes directly in this package.
  virtual TesselClassCollection* Classes() = 0;
  /// The classes of this package and of all packages below it.
  virtual TesselClassCollection* AllClasses() = 0;
  /// The packages directly in this package.
  virtual TesselCategoryCollection* Categories() = 0;
  /// The enclosing package; nullptr for the root package.
  virtual TesselCategory* ParentCategory() = 0;
};

/// A generalization or realization, seen from its client.
class TesselRelation {
 public:
  virtual ~TesselRelation() = default;
  virtual std::string Name() const = 0;
  virtual TesselClass* GetSupplierClass() = 0;
};

/// A component that classes are assigned to (a COM type library, say).
class TesselComponent : public virtual TesselItem {};

class TesselClass : public virtual TesselItem {
 public:
  virtual TesselOperationCollection* Operations() = 0;
  virtual TesselCategory* ParentCategory() = 0;
  virtual std::string Stereotype() const = 0;
  /// The implementation language ("COM", "Java", "InlineEJB", ...).
  virtual std::string Language() const = 0;
  virtual bool IsAbstract() const = 0;
  virtual TesselRelationCollection* InheritRelations() = 0;
  virtual TesselRelationCollection* RealizeRelations() = 0;
  virtual TesselComponentCollection GetAssignedComponents() = 0;
};

/// Who may call an operation.
enum class OperationVisibility { kPublic, kProtected, kPackage, kPrivate };

class TesselOperation : public virtual TesselItem {
 public:
  virtual TesselClass* ParentClass() = 0;
  virtual TesselParameterCollection* Parameters() = 0;
  virtual std::string ReturnType() const = 0;
  virtual std::string Stereotype() const = 0;
  /// True for an operation of the class itself rather than of its objects.
  virtual bool IsStatic() const = 0;
  virtual OperationVisibility Visibility() const = 0;
};

class TesselParameter : public virtual TesselItem {
 public:
  virtual std::string Type() const = 0;
  virtual std::string InitValue() const = 0;
};

/// One context-menu entry that an add-in added.
class TesselContextMenuItem {
 public:
  virtual ~TesselContextMenuItem() = default;
  virtual std::string Name() const = 0;
  virtual std::string InternalName() const = 0;
  /// 1 enabled, 0 disabled.
  virtual void SetMenuState(int16_t state) = 0;
};

using TesselContextMenuItemCollection = TesselCollection<TesselContextMenuItem>;

/// Item types of context menus, a code fixed by the host.
namespace item_type {
inline constexpr int16_t kPackage = 2;
inline constexpr int16_t kClass = 4;
inline constexpr int16_t kOperation = 6;
inline constexpr int16_t kModel = 10;
}  // namespace item_type

/// The host's record of one registered add-in.
class TesselAddIn {
 public:
  virtual ~TesselAddIn() = default;
  virtual std::string Name() const = 0;
  virtual TesselContextMenuItemCollection GetContextMenuItems(int16_t itemType) = 0;
};

using TesselAddInCollection = TesselCollection<TesselAddIn>;

class TesselAddInManager {
 public:
  virtual ~TesselAddInManager() = default;
  virtual TesselAddInCollection* AddIns() = 0;
};

/// The second interface of the object that the host passes to the add-in's
/// entry calls: what an add-in may do to the host's menus.
class TesselAddInHost {
 public:
  virtual ~TesselAddInHost() = default;
  virtual void AddContextMenuItem(int16_t itemType, const std::string& caption,
                                  const std::string& internalName,
                                  const std::string& addInName) = 0;
};

/// An open model. It is an element too: model-wide properties hang on it.
class TesselModel : public virtual TesselItem {
 public:
  /// The current selection, in selection order.
  virtual TesselItemCollection GetSelectedItems() = 0;
  virtual TesselApplication* Application() = 0;
  /// The root package of the logical view.
  virtual TesselCategory* RootCategory() = 0;
};

class TesselApplication {
 public:
  virtual ~TesselApplication() = default;
  /// The open model, or nullptr when none is open.
  virtual TesselModel* CurrentModel() = 0;
  virtual TesselAddInManager* AddInManager() = 0;
  /// Appends one line to the host log.
  virtual void WriteLog(const std::string& text) = 0;
};

}  // namespace zt
