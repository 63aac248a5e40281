// The Visual Basic back-end: Dim declarations, procedure headers, calls,
// reads of test inputs from the datapool object `dp`, result checks, and the
// line tests of a Visual Basic project file. Model types are the IDL-style
// names of COM interfaces ("long", "BSTR", "SAFEARRAY(long)").
#pragma once

#include "lang/ILang.h"

namespace zt {

class VBLang : public ILang {
 public:
  std::string DeclareOperation(const std::string& MethodType, const std::string& MethodName,
                               const SignatureArray& ParamTypes, SignatureArray& ParamNames,
                               const SignatureArray& ParamArrayStrs) override;
  std::string DeclareVariable(const std::string& VariableName, const std::string& VariableType,
                              const std::string& ArrayStr = {}) override;
  std::string DeclareOperationParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                         const SignatureArray& ParamArrayStrs, const std::string& Indent = {}) override;
  std::string ParamList(const SignatureArray& ParamNames) override;
  std::string InvokeOperation(const std::string& OperationName, const SignatureArray& ParamNames,
                              const std::string& VariableName = {}) override;
  std::optional<bool> IsValidDataTypeForDatapoolValueAssignment(const std::string& vbDT) override;
  std::string InitVariableWithDatapoolValue(const std::string& paramname, const std::string& ParamType,
                                            const std::string& DatapoolColName = {}) override;
  std::string DatapoolAssignParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                       const SignatureArray& ParamArrayStrs, const std::string& Indent = {}) override;
  std::string GetCheckExpectedResult(const std::string& ReturnType, const std::string& MethodName) override;
  std::string ToScriptDataType(const std::string& dtCOM) override;
  bool IsArrayDataType(const std::string& dtCOM) override;

  /// The name without its first character when that is "_" or a digit.
  std::string MakeValidObjectName(const std::string& VbObjectName);

  /// A "Class=" line: fills the template file (`FileTemp`, the last ";"
  /// field) and the output file (`FileOut`, the next-to-last field with the
  /// template's extension). False, outputs untouched, for other lines;
  /// raises error 9 for a "Class=" line without ";".
  bool IsProjectClassReference(const std::string& Line, std::string& FileTemp, std::string& FileOut);
  /// The same for a "Module=" line.
  bool IsProjectModuleReference(const std::string& Line, std::string& FileTemp, std::string& FileOut);
  /// A "ResFile32=" line: rewrites `Line` to name the compiled ".res" and
  /// gives the resource script to write as `FileOut` (".rc").
  bool IsResourceReference(std::string& Line, std::string& FileTemp, std::string& FileOut);
};

/// The names joined by ", "; empty when absent. Shared by the back-ends.
std::string JoinParamNames(const SignatureArray& ParamNames);

/// `variable` + "." (when not empty) + operation + "(" + names + ")".
std::string CallText(const std::string& OperationName, const SignatureArray& ParamNames, const std::string& variable);

}  // namespace zt
