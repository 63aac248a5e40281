// The generator interface. A generator decides whether an operation belongs
// to it, names the template file to use and the test file to write, and
// computes the parameter map whose tags the template processor replaces.
// `CodeGenerator` itself is a generator that does nothing: every text is
// empty, it accepts no operation (an empty answer) and computes no map.
//
// The run calls, for one operation: IsValidOperationForGeneration,
// GetDataStoreScriptType, GetTemplatePath, then (template found, not
// cancelled) CalculateTemplateParams and GetTestCodePath. Generators rely
// on that order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/DataStore.h"
#include "template/ParamMap.h"
#include "template/RunState.h"

namespace zt {

class TemplateProcessor;
class TesselApplication;
class TesselOperation;

/// The kind of an EJB operation, which selects its template.
using OperationType = int16_t;
inline constexpr OperationType optNone = 0;
inline constexpr OperationType optCreate = 1;
inline constexpr OperationType optFinder = 2;
inline constexpr OperationType optGetter = 3;
inline constexpr OperationType optSetter = 4;
inline constexpr OperationType optBusiness = 5;

class CodeGenerator {
 public:
  virtual ~CodeGenerator() = default;

  /// The name of the template property for operations of `optType`.
  virtual std::string TemplatePropertyName(OperationType optType);
  /// The template path used when the property is not set.
  virtual std::string TemplatePropertyDefault(OperationType optType);
  /// The file-type filter of the template dialog.
  virtual std::string TemplateSelectionFilter();
  /// The caption of the template dialog.
  virtual std::string TemplateSelectionCaption();
  /// Keeps the application and the processor; only the first call counts.
  virtual void Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor);
  /// The full path of the template file for `op`.
  virtual std::string GetTemplatePath(TesselOperation* op);
  /// The test file to write, relative to the store's script root.
  virtual std::string GetTestCodePath(TesselOperation* op, DataStore* ds);
  virtual dsScriptType GetDataStoreScriptType();
  /// Whether `op` belongs to this generator; empty when it cannot tell.
  virtual std::optional<bool> IsValidOperationForGeneration(TesselOperation* op);
  /// A new parameter map for `op`, or none after an error.
  virtual std::unique_ptr<ParamMap> CalculateTemplateParams(TesselOperation* op, DataStore* ds);
  /// Forgets what the generator kept from the previous run.
  virtual void ResetMembers();
};

/// The state every working generator keeps: set once by Init.
class GeneratorBase : public CodeGenerator {
 protected:
  /// Sets the flag and keeps both references unless already initialized;
  /// returns false when it was.
  bool InitOnce(TesselApplication* TesselApp, TemplateProcessor* TProcessor);
  /// The run the generator works for: its processor's; raises error 91
  /// before Init, as a call on a processor that is not set does.
  RunState& Run() const;

  bool initialized_ = false;
  TesselApplication* application_ = nullptr;
  TemplateProcessor* processor_ = nullptr;

 public:
  TesselApplication* Application() const { return application_; }
  TemplateProcessor* Processor() const { return processor_; }
};

}  // namespace zt
