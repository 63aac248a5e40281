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
  // A bean without a home cannot be created by its test; the inner
  // generator's own warning then names no class, so this one names the bean.
  try {
    TesselClass* cls = Ref(op).ParentClass();
    if (inner_.GetHomeInterfaceName(cls).empty()) {
      LogMessage(FormatResString1(IDS_LOG_INLINE_EJB_NO_HOME, Ref(cls).Name()));
    }
  } catch (...) {
    // The inner generator meets the same fault and reports it.
  }
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
