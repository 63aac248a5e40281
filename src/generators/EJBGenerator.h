// The generator for Enterprise JavaBeans, tested through their home and
// remote interfaces: one Java test class per operation, from one of five
// templates chosen by the kind of the operation (create, finder, getter,
// setter, business method). The model helper tells which classes form a
// bean; this generator classifies operations and fills the tags.
#pragma once

#include "generators/CodeGenerator.h"

namespace zt {

class TesselClass;

class EJBGenerator : public GeneratorBase {
 public:
  std::string TemplatePropertyName(OperationType optType) override;
  std::string TemplatePropertyDefault(OperationType optType) override;
  std::string TemplateSelectionFilter() override;
  std::string TemplateSelectionCaption() override;
  void Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor) override;
  /// Classifies `op` (which may mark it a home-interface operation) and
  /// reads the template property of its kind.
  std::string GetTemplatePath(TesselOperation* op) override;
  std::string GetTestCodePath(TesselOperation* op, DataStore* ds) override;
  dsScriptType GetDataStoreScriptType() override;
  std::optional<bool> IsValidOperationForGeneration(TesselOperation* op) override;
  std::unique_ptr<ParamMap> CalculateTemplateParams(TesselOperation* aOperation, DataStore* ds) override;

  /// The kind of `op`: getters and setters on an entity bean's remote
  /// interface, create and finder methods on a home interface, business
  /// methods otherwise; optNone for other classes. Errors are reported and
  /// give the kind found so far.
  OperationType GetOperationType(TesselOperation* op);

  /// What a class is for this generator: "EJBHomeInterface",
  /// "EJBRemoteInterface", "EJBSession", "EJBEntity", "EJBHome",
  /// "EJBObject", "SessionBean", "EntityBean" or "".
  std::string GetEJBClassType(TesselClass* cls);

  std::string GetRemoteInterfaceName(TesselClass* cls);
  std::string GetHomeInterfaceName(TesselClass* cls);
  std::string GetBeanClassName(TesselClass* cls);
  std::string GetPrimaryKeyClassName(TesselClass* bean);
  /// The class name without a trailing "Home", followed by "PK".
  std::string MakePrimaryKeyClassName(TesselClass* cls);
  /// The parameterless create method of the home interface of `cls`.
  TesselOperation* FindHomeCreateOperation(TesselClass* cls);
  /// The parameterless constructor of the primary-key class of `bean`.
  TesselOperation* FindPrimaryKeyConstructor(TesselClass* bean);
};

/// The class named `name` in the package of the class of `op`, or nullptr.
TesselClass* FindClassInPackage(TesselOperation* op, const std::string& name);

}  // namespace zt
