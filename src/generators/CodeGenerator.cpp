#include "generators/CodeGenerator.h"

#include "support/Error.h"
#include "template/TemplateProcessor.h"

namespace zt {

std::string CodeGenerator::TemplatePropertyName(OperationType) { return {}; }
std::string CodeGenerator::TemplatePropertyDefault(OperationType) { return {}; }
std::string CodeGenerator::TemplateSelectionFilter() { return {}; }
std::string CodeGenerator::TemplateSelectionCaption() { return {}; }
void CodeGenerator::Init(TesselApplication*, TemplateProcessor*) {}
std::string CodeGenerator::GetTemplatePath(TesselOperation*) { return {}; }
std::string CodeGenerator::GetTestCodePath(TesselOperation*, DataStore*) { return {}; }
dsScriptType CodeGenerator::GetDataStoreScriptType() { return dsJavaScript; }
std::optional<bool> CodeGenerator::IsValidOperationForGeneration(TesselOperation*) { return std::nullopt; }
std::unique_ptr<ParamMap> CodeGenerator::CalculateTemplateParams(TesselOperation*, DataStore*) { return nullptr; }
void CodeGenerator::ResetMembers() {}

bool GeneratorBase::InitOnce(TesselApplication* TesselApp, TemplateProcessor* TProcessor) {
  if (initialized_) return false;
  initialized_ = true;
  processor_ = TProcessor;
  application_ = TesselApp;
  return true;
}

RunState& GeneratorBase::Run() const { return Ref(processor_).Run(); }

}  // namespace zt
