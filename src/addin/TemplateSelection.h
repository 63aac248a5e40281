// Template selection: the template entries of the context menu let the user
// choose which template file a generator uses, for one operation or for the
// whole model (the property the generators read: generators/TemplatePaths.h).
#pragma once

#include <string>

namespace zt {

class TesselItem;

/// Lets the user choose a template file for `propertyName` in the template
/// dialog, starting from `element`; stores the choice unless cancelled.
/// Failures end it silently.
void SelectTemplate(const std::string& propertyName, const std::string& elementKind, const std::string& caption,
                    const std::string& filter, TesselItem* element);

}  // namespace zt
