// The language back-end interface. Generators say what a test needs —
// declare this variable, call this operation, read this parameter from the
// datapool, compare the result — and a back-end returns the text in its
// language. `ILang` itself answers every member with an empty value;
// `VBLang` writes Visual Basic, `JavaLang` Java.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zt {

/// One of the parallel signature arrays (types, names, array suffixes,
/// initial values): a 1-based array of texts, or absent (an empty variant).
using SignatureArray = std::optional<std::vector<std::string>>;

/// Element `i` (1-based) of `array`; raises error 13 when the array is
/// absent and 9 when `i` lies outside it.
const std::string& ElementAt(const SignatureArray& array, int32_t i);
std::string& ElementAt(SignatureArray& array, int32_t i);

/// The upper bound of `array` (its element count); 0 when absent.
int32_t UpperBound(const SignatureArray& array);

/// True when `array` is present and has at least one element.
bool IsFilledArray(const SignatureArray& array);

class ILang {
 public:
  virtual ~ILang() = default;

  /// The header of an operation with its parameter list. Empty entries of
  /// `ParamNames` are filled in place with default names.
  virtual std::string DeclareOperation(const std::string& OperationReturnType, const std::string& OperationName,
                                       const SignatureArray& ParamTypes, SignatureArray& ParamNames,
                                       const SignatureArray& ParamArrayStrs);
  /// One variable declaration.
  virtual std::string DeclareVariable(const std::string& VariableName, const std::string& VariableType,
                                      const std::string& ArrayStr = {});
  /// One declaration per parameter; lines after the first begin with `Indent`.
  virtual std::string DeclareOperationParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                                 const SignatureArray& ParamArrayStrs, const std::string& Indent = {});
  /// The names joined by ", ".
  virtual std::string ParamList(const SignatureArray& ParamNames);
  /// The call of an operation on `ObjectVariableName` (none when empty).
  virtual std::string InvokeOperation(const std::string& OperationName, const SignatureArray& ParamNames,
                                      const std::string& ObjectVariableName = {});
  /// Whether a value of `dataType` can be read from a datapool; absent for
  /// a back-end that cannot tell.
  virtual std::optional<bool> IsValidDataTypeForDatapoolValueAssignment(const std::string& dataType);
  /// The assignment of a datapool column's value (by default the column
  /// named like the variable).
  virtual std::string InitVariableWithDatapoolValue(const std::string& paramname, const std::string& ParamType,
                                                    const std::string& DatapoolColName = {});
  /// One datapool assignment per parameter; lines after the first begin with `Indent`.
  virtual std::string DatapoolAssignParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                               const SignatureArray& ParamArrayStrs, const std::string& Indent = {});
  /// The comparison of the actual with the expected result, logging pass or fail.
  virtual std::string GetCheckExpectedResult(const std::string& ReturnType, const std::string& MethodName);
  /// The test-language type of a model type.
  virtual std::string ToScriptDataType(const std::string& tesselDataType);
  /// Whether a model type is an array type.
  virtual bool IsArrayDataType(const std::string& dtCOM);
};

/// `count` lines joined by CR LF and `indent`, as the parameter members
/// join theirs: `line(i)` for i = 1..count, empty lines skipped, a break
/// after every kept line but the last index's.
template <class LineOf>
std::string JoinParameterLines(int32_t count, const std::string& crlfIndent, LineOf line) {
  std::string text;
  for (int32_t i = 1; i <= count; ++i) {
    const std::string one = line(i);
    if (one.empty()) continue;
    text += one;
    if (i != count) text += crlfIndent;
  }
  return text;
}

}  // namespace zt
