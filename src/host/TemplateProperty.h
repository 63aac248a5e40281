// The template-property component and the template dialog: where the model
// keeps which template file a generator uses, for one operation or for the
// whole model, and how the user chooses one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zt {

class TesselApplication;
class TesselItem;

/// Codes of the template-property component.
namespace property_code {
/// Definitions: the property's name, kind and default for the open model.
inline constexpr int32_t kDefinition = 8;
/// Values: the element's own value, else the model's, else the definition's default.
inline constexpr int32_t kValue = 15;
}  // namespace property_code

class TemplateProperty {
 public:
  virtual ~TemplateProperty() = default;
  virtual void SetName(const std::string& name) = 0;
  virtual void SetElementKind(const std::string& kind) = 0;
  virtual void SetDefaultValue(const std::string& value) = 0;
  /// The definition's default kept for the application's model; "" when the
  /// property is not defined.
  virtual std::string ReadDefinition(TesselApplication* owner, int32_t code) = 0;
  /// The value that applies to `element`; raises an error when none does.
  virtual std::string ReadValue(TesselItem* element, int32_t code) = 0;
  /// ReadValue without the error when no value applies: nullopt then.
  /// Other faults raise as in ReadValue. (A component that cannot tell the
  /// two apart answers nullopt whenever ReadValue raises.)
  virtual std::optional<std::string> FindValue(TesselItem* element, int32_t code) {
    try {
      return ReadValue(element, code);
    } catch (...) {
      return std::nullopt;
    }
  }
  /// Stores the definition (name, kind, default) for the application's model.
  virtual void Store(TesselApplication* owner, int32_t code) = 0;
  /// Stores the property's value on `target` (an operation or the model)
  /// with the scope the template dialog answered.
  virtual void Store(TesselItem* target, int32_t scope) = 0;
};

/// The dialog in which the user picks a template file for a property.
class TemplateDialog {
 public:
  virtual ~TemplateDialog() = default;
  /// The property the dialog chooses a value for; not owned.
  virtual void SetProperty(TemplateProperty* property) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  /// Pairs of display text and pattern separated by "|", ended by "||".
  virtual void SetFilter(const std::string& filter) = 0;
  /// The element the user started from: an operation or the model.
  virtual void SetElement(TesselItem* element) = 0;
  /// Shows the dialog; 1 when the user confirmed a choice.
  virtual int32_t Show(int32_t owner) = 0;
  /// After a confirmed choice: where the value goes, and its scope.
  virtual TesselItem* Target() = 0;
  virtual int32_t Scope() = 0;
};

}  // namespace zt
