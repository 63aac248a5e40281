// The template properties the generators read: which template file a
// generator uses is a named value kept by the template-property component,
// for one operation or for the whole model (the template entries of the
// context menu choose it: addin/TemplateSelection.h). A generator defines
// its property once and reads it back with a default of its own.
#pragma once

#include <memory>
#include <string>

#include "host/TemplateProperty.h"

namespace zt {

/// Defines the property with `defaultValue` unless the model already
/// defines it. Failures end it silently.
void DefineTemplateProperty(const std::string& propertyName, const std::string& elementKind,
                            const std::string& defaultValue, TesselApplication* application);

/// The value that applies to `element`, or `defaultValue` when none does
/// or anything fails.
std::string GetTemplateProperty(const std::string& propertyName, const std::string& elementKind, TesselItem* element,
                                const std::string& defaultValue);

/// A template-property component for `propertyName` and `elementKind`.
std::unique_ptr<TemplateProperty> NewTemplateProperty(const std::string& propertyName, const std::string& elementKind);

}  // namespace zt
