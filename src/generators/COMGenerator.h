// The generator for operations of COM interfaces. For each operation it
// writes a whole Visual Basic test project: the template is a project file,
// and while the template processor works through it, this generator (a
// listener of the processor) processes every class module, standard module
// and resource script the project names, and compiles the resource script.
//
// Per run it remembers the coclass the user chose for an interface, so
// consecutive operations of one interface ask once.
#pragma once

#include "generators/CodeGenerator.h"
#include "resources/VBResources.h"
#include "template/TemplateProcessor.h"

namespace zt {

class TesselClass;

class COMGenerator : public GeneratorBase, public TemplateProcessorListener {
 public:
  COMGenerator() = default;
  COMGenerator(const COMGenerator&) = delete;
  COMGenerator& operator=(const COMGenerator&) = delete;
  ~COMGenerator() override;

  std::string TemplatePropertyName(OperationType optType) override;
  std::string TemplatePropertyDefault(OperationType optType) override;
  std::string TemplateSelectionFilter() override;
  std::string TemplateSelectionCaption() override;
  /// Also starts listening to the processor's events.
  void Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor) override;
  std::string GetTemplatePath(TesselOperation* op) override;
  /// "unittests\<package folder>\<coclass>\<interface><operation><suffix>.vbp".
  std::string GetTestCodePath(TesselOperation* op, DataStore* ds) override;
  dsScriptType GetDataStoreScriptType() override;
  /// True for operations of a class stereotyped "Interface" whose language is "COM".
  std::optional<bool> IsValidOperationForGeneration(TesselOperation* op) override;
  /// Chooses the coclass under test (asking the user when the interface has
  /// several) and computes the 24 tags.
  std::unique_ptr<ParamMap> CalculateTemplateParams(TesselOperation* aOperation, DataStore* ds) override;
  /// Forgets the interface and coclass of the previous run.
  void ResetMembers() override;

  /// The project line that refers the test project to the coclass's type library.
  std::string GetProjectReference(TesselClass* coclass);

  /// Compiles the resource script `sFileName` in `sDirectory` (relative to
  /// the store's Visual Basic root) into a ".res".
  ERCReturnTypes CompileResourceFile(const std::string& sFileName, const std::string& sDirectory);

  /// The project writer: processes the files a project-file line names.
  void TemplatePostProcessLine(const std::string& TemplatePath, const std::string& TestCodePath,
                               ParamMap& TemplateParams, dsScriptType scriptType, std::string& TemplateLine,
                               bool& bCancel, const std::string& sOperName) override;

  /// The status of template lines is not the project writer's concern.
  void UpdateLineStatus(const LineStatus&, bool&) override {}

  const std::string& CoclassName() const { return coclassName_; }

 private:
  DataStore* store_ = nullptr;
  std::string lastInterfaceName_;
  std::string coclassName_;
  TesselClass* chosenCoclass_ = nullptr;
};

}  // namespace zt
