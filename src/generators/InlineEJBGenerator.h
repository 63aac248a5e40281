// The generator for beans tested inline: operations of a class whose
// language is "InlineEJB" and whose stereotype is "EJBSession" or
// "EJBEntity". For everything but that test it is the EJB generator, which
// it owns and passes every other call on to.
#pragma once

#include "generators/EJBGenerator.h"

namespace zt {

class InlineEJBGenerator : public CodeGenerator {
 public:
  std::string TemplatePropertyName(OperationType optType) override;
  std::string TemplatePropertyDefault(OperationType optType) override;
  std::string TemplateSelectionFilter() override;
  std::string TemplateSelectionCaption() override;
  void Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor) override;
  std::string GetTemplatePath(TesselOperation* op) override;
  std::string GetTestCodePath(TesselOperation* op, DataStore* ds) override;
  dsScriptType GetDataStoreScriptType() override;
  std::optional<bool> IsValidOperationForGeneration(TesselOperation* op) override;
  std::unique_ptr<ParamMap> CalculateTemplateParams(TesselOperation* op, DataStore* ds) override;
  /// Does nothing, and is not passed on.
  void ResetMembers() override;

  EJBGenerator& Inner() { return inner_; }

 private:
  EJBGenerator inner_;
};

}  // namespace zt
