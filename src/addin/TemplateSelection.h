// Template properties: which template file a generator uses is a named
// value kept by the template-property component, for one operation or for
// the whole model. The template entries of the context menu select one; the
// generators read it back with a default of their own.
#pragma once

#include <string>

namespace zt {

class TesselApplication;
class TesselItem;

/// Lets the user choose a template file for `propertyName` in the template
/// dialog, starting from `element`; stores the choice unless cancelled.
/// Failures end it silently.
void SelectTemplate(const std::string& propertyName, const std::string& elementKind, const std::string& caption,
                    const std::string& filter, TesselItem* element);

/// Defines the property with `defaultValue` unless the model already
/// defines it. Failures end it silently.
void DefineTemplateProperty(const std::string& propertyName, const std::string& elementKind,
                            const std::string& defaultValue, TesselApplication* application);

/// The value that applies to `element`, or `defaultValue` when none does
/// or anything fails.
std::string GetTemplateProperty(const std::string& propertyName, const std::string& elementKind, TesselItem* element,
                                const std::string& defaultValue);

}  // namespace zt
