#include "addin/TemplateSelection.h"

#include "host/Components.h"

namespace zt {

namespace {

std::unique_ptr<TemplateProperty> NewProperty(const std::string& propertyName, const std::string& elementKind) {
  std::unique_ptr<TemplateProperty> property = Components().CreateTemplateProperty();
  property->SetName(propertyName);
  property->SetElementKind(elementKind);
  return property;
}

}  // namespace

void SelectTemplate(const std::string& propertyName, const std::string& elementKind, const std::string& caption,
                    const std::string& filter, TesselItem* element) {
  try {
    std::unique_ptr<TemplateProperty> property = NewProperty(propertyName, elementKind);
    std::unique_ptr<TemplateDialog> dialog = Components().CreateTemplateDialog();
    dialog->SetProperty(property.get());
    dialog->SetCaption(caption);
    dialog->SetFilter(filter);
    dialog->SetElement(element);
    if (dialog->Show(0) == 1) property->Store(dialog->Target(), dialog->Scope());
  } catch (...) {
    // The choice is not stored; the earlier one stays in force.
  }
}

void DefineTemplateProperty(const std::string& propertyName, const std::string& elementKind,
                            const std::string& defaultValue, TesselApplication* application) {
  try {
    std::unique_ptr<TemplateProperty> property = NewProperty(propertyName, elementKind);
    if (property->ReadDefinition(application, property_code::kDefinition).empty()) {
      property->SetDefaultValue(defaultValue);
      property->Store(application, property_code::kDefinition);
    }
  } catch (...) {
    // Nothing is defined.
  }
}

std::string GetTemplateProperty(const std::string& propertyName, const std::string& elementKind, TesselItem* element,
                                const std::string& defaultValue) {
  try {
    // A value that is not set is the common case: asked without an error.
    std::optional<std::string> value =
        NewProperty(propertyName, elementKind)->FindValue(element, property_code::kValue);
    return value ? std::move(*value) : defaultValue;
  } catch (...) {
    return defaultValue;
  }
}

}  // namespace zt
