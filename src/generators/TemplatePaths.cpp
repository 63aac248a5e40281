#include "generators/TemplatePaths.h"

#include "host/Components.h"

namespace zt {

std::unique_ptr<TemplateProperty> NewTemplateProperty(const std::string& propertyName, const std::string& elementKind) {
  std::unique_ptr<TemplateProperty> property = Components().CreateTemplateProperty();
  property->SetName(propertyName);
  property->SetElementKind(elementKind);
  return property;
}

void DefineTemplateProperty(const std::string& propertyName, const std::string& elementKind,
                            const std::string& defaultValue, TesselApplication* application) {
  try {
    std::unique_ptr<TemplateProperty> property = NewTemplateProperty(propertyName, elementKind);
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
        NewTemplateProperty(propertyName, elementKind)->FindValue(element, property_code::kValue);
    return value ? std::move(*value) : defaultValue;
  } catch (...) {
    return defaultValue;
  }
}

}  // namespace zt
