#include "generators/InlineEJBGenerator.h"

#include "host/TesselModel.h"
#include "support/DynamicResources.h"
#include "support/modErrorHandling.h"

namespace zt {

std::string InlineEJBGenerator::TemplatePropertyName(OperationType optType) { return inner_.TemplatePropertyName(optType); }
std::string InlineEJBGenerator::TemplatePropertyDefault(OperationType optType) {
  return inner_.TemplatePropertyDefault(optType);
}
std::string InlineEJBGenerator::TemplateSelectionFilter() { return inner_.TemplateSelectionFilter(); }
std::string InlineEJBGenerator::TemplateSelectionCaption() { return inner_.TemplateSelectionCaption(); }
void InlineEJBGenerator::Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor) {
  inner_.Init(TesselApp, TProcessor);
}
std::string InlineEJBGenerator::GetTemplatePath(TesselOperation* op) { return inner_.GetTemplatePath(op); }
std::string InlineEJBGenerator::GetTestCodePath(TesselOperation* op, DataStore* ds) {
  return inner_.GetTestCodePath(op, ds);
}
dsScriptType InlineEJBGenerator::GetDataStoreScriptType() { return inner_.GetDataStoreScriptType(); }
std::unique_ptr<ParamMap> InlineEJBGenerator::CalculateTemplateParams(TesselOperation* op, DataStore* ds) {
  return inner_.CalculateTemplateParams(op, ds);
}
void InlineEJBGenerator::ResetMembers() {}

std::optional<bool> InlineEJBGenerator::IsValidOperationForGeneration(TesselOperation* op) {
  try {
    TesselClass& cls = Ref(Ref(op).ParentClass());
    if (cls.Language() != GetResString(IDS_LANG_INLINE_EJB)) return false;
    const std::string stereotype = cls.Stereotype();
    return stereotype == GetResString(IDS_STEREO_EJB_SESSION) || stereotype == GetResString(IDS_STEREO_EJB_ENTITY);
  } catch (...) {
    return false;
  }
}

}  // namespace zt
