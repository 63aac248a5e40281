// The code factory: the registry of generators, the choice of the generator
// for an operation, the generation of one operation's test and datapool,
// and the walks over operations, classes and packages that count what they
// generated. The run over the user's selection (GenerateSelectedItems and
// GenerateTestScripts) starts here too.
//
// Ownership: the factory owns its generators; it borrows the template
// processor (the entry class owns it, unless GenerateAll had to make one)
// and the run's store (module-wide, see GenerationRun.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "generators/CodeGenerator.h"
#include "host/TesselModel.h"
#include "template/TemplateProcessor.h"

namespace zt {

class CodeFactory {
 public:
  /// Keeps the processor, appends a COM, an inline EJB and an EJB generator
  /// to the registry, and initializes every registered generator.
  void Initialize(TesselApplication* TesselApp, TemplateProcessor* TProcessor);

  /// Keeps the processor and registers `generators` instead of the usual
  /// three, for clients that drive other generators through the same run.
  void InitializeWith(TesselApplication* TesselApp, TemplateProcessor* TProcessor,
                      std::vector<std::unique_ptr<CodeGenerator>> generators);

  /// Generates the test and the datapool of `op`; true when both were made.
  bool GenerateTestForOperation(TesselOperation* op);
  /// The walks; each returns the number of operations generated.
  int32_t GenerateTestForOperations(TesselOperationCollection* OpColl);
  int32_t GenerateTestForClass(TesselClass* cls);
  int32_t GenerateTestForClasses(TesselClassCollection* clsColl);
  int32_t GenerateTestForCategory(TesselCategory* cat);
  int32_t GenerateTestForCategories(TesselCategoryCollection* catColl);

  /// Opens the shared store, checks for a resource compiler when the
  /// selection is COM, and generates the selection. True when every
  /// selected operation was generated and there was at least one.
  bool GenerateSelectedItems(TesselModel* aTesselModel, int32_t& TotalGen, int32_t& TotalOps);
  /// Sorts the selection into packages, classes and operations and walks them.
  bool GenerateTestScripts(TesselModel* aTesselModel, int32_t& TotalGen, int32_t& TotalOps);
  /// Runs the generation of the model's selection in a progress window.
  void GenerateAll(TesselModel* aTesselModel);

  /// The first registered generator that accepts `op`, or nullptr.
  CodeGenerator* FindGeneratorForOperation(TesselOperation* op);
  /// Creates the datapool of `op` in `ds`, asking before one is overwritten.
  void GenerateDatapoolForOperation(TesselOperation* op, DataStore* ds);

  TemplateProcessor* Processor() const { return processor_; }
  DataStore* Store() const { return store_; }
  const std::vector<std::unique_ptr<CodeGenerator>>& Generators() const { return registry_; }

 private:
  TemplateProcessor* processor_ = nullptr;
  std::unique_ptr<TemplateProcessor> ownProcessor_;  // made by GenerateAll when none was given
  DataStore* store_ = nullptr;
  std::vector<std::unique_ptr<CodeGenerator>> registry_;
  // The number of the operation generated last in this run (the store's
  // batch is told it), and whether each operation is counted as generated,
  // by its number (a bit each: a run may hold a hundred thousand): an
  // operation whose script or datapool the batch loses is uncounted again.
  int32_t operationNumber_ = 0;
  std::vector<bool> generated_;
};

}  // namespace zt
