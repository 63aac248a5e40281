#include "addin/TemplateSelection.h"

#include "generators/TemplatePaths.h"
#include "host/Components.h"

namespace zt {

void SelectTemplate(const std::string& propertyName, const std::string& elementKind, const std::string& caption,
                    const std::string& filter, TesselItem* element) {
  try {
    std::unique_ptr<TemplateProperty> property = NewTemplateProperty(propertyName, elementKind);
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

}  // namespace zt
