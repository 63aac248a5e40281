// The Java back-end: declarations with default initializers, operation
// headers, calls, reads of test inputs from the datapool object `dp`, and
// result checks that log through TestLog. Model types are Java types and
// pass through unchanged.
#pragma once

#include "lang/ILang.h"

namespace zt {

class TesselOperation;

class JavaLang : public ILang {
 public:
  /// Raises error 1 (source "JAVA_LANG") for an empty name, arrays of
  /// different bounds, or an empty parameter type.
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
  std::optional<bool> IsValidDataTypeForDatapoolValueAssignment(const std::string& dataType) override;
  std::string InitVariableWithDatapoolValue(const std::string& paramname, const std::string& ParamType,
                                            const std::string& DatapoolColName = {}) override;
  std::string DatapoolAssignParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                       const SignatureArray& ParamArrayStrs, const std::string& Indent = {}) override;
  std::string GetCheckExpectedResult(const std::string& ReturnType, const std::string& MethodName) override;
  std::string ToScriptDataType(const std::string& tesselDataType) override;
  bool IsArrayDataType(const std::string& tesselDataType) override;

  /// The parameter texts of `op` for a template: appends one declaration and
  /// one datapool read per parameter (names followed by `Suffix`) to the
  /// first two texts, plus the expected return value when `IsUnderTest` and
  /// the operation returns something, and sets the parameter list.
  void GenParamData(TesselOperation* op, std::string& MethodParamDecl, std::string& MethodParamInit,
                    std::string& MethodParamList, bool IsUnderTest = false, const std::string& Suffix = {});

  /// "new Integer" for int and so on: the wrapper that boxes a primitive; "" for others.
  std::string getJavaClass(const std::string& varType);

  /// The test of expected against actual return value, by return type.
  std::string GetExpectedResultForAssert(const std::string& sReturnType);
};

}  // namespace zt
