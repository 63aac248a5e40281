#include "lang/JavaLang.h"

#include <array>

#include "host/TesselModel.h"
#include "lang/TesselFunctions.h"
#include "lang/VBLang.h"
#include "support/DynamicResources.h"
#include "support/Error.h"

namespace zt {

namespace {

struct JavaType {
  int16_t name;
  int16_t initializer;
  int16_t read;
  int16_t wrapper;  // 0: none
  bool primitive;
};

constexpr std::array<JavaType, 12> kJavaTypes = {{
    {IDS_JAVA_BOOLEAN, IDS_JAVA_INIT_FALSE, IDS_JAVA_READ_BOOLEAN, IDS_JAVA_NEW_BOOLEAN, true},
    {IDS_JAVA_CHAR, IDS_JAVA_INIT_ZERO, IDS_JAVA_READ_CHAR, IDS_JAVA_NEW_CHARACTER, true},
    {IDS_JAVA_BYTE, IDS_JAVA_INIT_ZERO, IDS_JAVA_READ_BYTE, IDS_JAVA_NEW_BYTE, true},
    {IDS_JAVA_SHORT, IDS_JAVA_INIT_ZERO, IDS_JAVA_READ_SHORT, IDS_JAVA_NEW_SHORT, true},
    {IDS_JAVA_INT, IDS_JAVA_INIT_ZERO, IDS_JAVA_READ_INT, IDS_JAVA_NEW_INTEGER, true},
    {IDS_JAVA_LONG, IDS_JAVA_INIT_ZERO, IDS_JAVA_READ_LONG, IDS_JAVA_NEW_LONG, true},
    {IDS_JAVA_FLOAT, IDS_JAVA_INIT_FLOAT, IDS_JAVA_READ_FLOAT, IDS_JAVA_NEW_FLOAT, true},
    {IDS_JAVA_DOUBLE, IDS_JAVA_INIT_DOUBLE, IDS_JAVA_READ_DOUBLE, IDS_JAVA_NEW_DOUBLE, true},
    {IDS_JAVA_STRING, IDS_JAVA_INIT_NULL, IDS_JAVA_READ_STRING, 0, false},
    {IDS_JAVA_LANG_STRING, IDS_JAVA_INIT_NULL, IDS_JAVA_READ_STRING, 0, false},
    {IDS_JAVA_BIGDECIMAL, IDS_JAVA_INIT_NULL, IDS_JAVA_READ_BIGDECIMAL, 0, false},
    {IDS_JAVA_MATH_BIGDECIMAL, IDS_JAVA_INIT_NULL, IDS_JAVA_READ_BIGDECIMAL, 0, false},
}};

const JavaType* FindJavaType(const std::string& type) {
  for (const JavaType& t : kJavaTypes) {
    if (ResString(t.name) == type) return &t;
  }
  return nullptr;
}

bool IsPrimitive(const std::string& type) {
  const JavaType* t = FindJavaType(type);
  return t != nullptr && t->primitive;
}

[[noreturn]] void RaiseJavaError(int16_t description) {
  RaiseError(1, ResString(IDS_SOURCE_JAVA_LANG), ResString(description));
}

}  // namespace

std::string JavaLang::ToScriptDataType(const std::string& tesselDataType) {
  return tesselDataType.empty() ? ResString(IDS_VOID) : tesselDataType;
}

bool JavaLang::IsArrayDataType(const std::string&) { return false; }

std::string JavaLang::DeclareVariable(const std::string& VariableName, const std::string& VariableType,
                                      const std::string&) {
  if (VariableType == ResString(IDS_VOID)) return {};
  const JavaType* t = FindJavaType(VariableType);
  return VariableType + ResString(IDS_BLANK) + VariableName +
         ResString(t != nullptr ? t->initializer : IDS_JAVA_INIT_NULL);
}

std::string JavaLang::DeclareOperationParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                                 const SignatureArray& ParamArrayStrs, const std::string& Indent) {
  if (!IsFilledArray(ParamTypes) || !IsFilledArray(ParamNames) || UpperBound(ParamTypes) != UpperBound(ParamNames)) {
    return {};
  }
  return JoinParameterLines(UpperBound(ParamNames), ResString(IDS_CRLF) + Indent, [&](int32_t i) {
    return DeclareVariable(ElementAt(ParamNames, i), ElementAt(ParamTypes, i), ElementAt(ParamArrayStrs, i));
  });
}

std::string JavaLang::DatapoolAssignParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                               const SignatureArray& ParamArrayStrs, const std::string& Indent) {
  if (!IsFilledArray(ParamTypes) || !IsFilledArray(ParamNames) || UpperBound(ParamTypes) != UpperBound(ParamNames)) {
    return {};
  }
  return JoinParameterLines(UpperBound(ParamNames), ResString(IDS_CRLF) + Indent, [&](int32_t i) {
    return InitVariableWithDatapoolValue(ElementAt(ParamNames, i), ElementAt(ParamTypes, i) + ElementAt(ParamArrayStrs, i));
  });
}

std::string JavaLang::ParamList(const SignatureArray& ParamNames) { return JoinParamNames(ParamNames); }

std::string JavaLang::InvokeOperation(const std::string& OperationName, const SignatureArray& ParamNames,
                                      const std::string& VariableName) {
  return CallText(OperationName, ParamNames, VariableName);
}

std::string JavaLang::DeclareOperation(const std::string& MethodType, const std::string& MethodName,
                                       const SignatureArray& ParamTypes, SignatureArray& ParamNames,
                                       const SignatureArray& /*ParamArrayStrs*/) {
  if (MethodName.empty()) RaiseJavaError(IDS_ERR_METHOD_NAME_EMPTY);
  const std::string type = MethodType.empty() ? ResString(IDS_VOID) : MethodType;
  std::string text = type + ResString(IDS_BLANK) + MethodName + ResString(IDS_OPEN_PAREN);
  if (IsFilledArray(ParamTypes) && IsFilledArray(ParamNames)) {
    if (UpperBound(ParamTypes) != UpperBound(ParamNames)) RaiseJavaError(IDS_ERR_PARAM_ARRAYS_SIZE);
    const int32_t upper = UpperBound(ParamTypes);
    for (int32_t i = 1; i <= upper; ++i) {
      const std::string& paramType = ElementAt(ParamTypes, i);
      if (paramType.empty()) RaiseJavaError(IDS_ERR_NO_PARAM_TYPE);
      std::string& name = ElementAt(ParamNames, i);
      if (name.empty()) name = ResString(IDS_ARG) + std::to_string(i);
      text += paramType + ResString(IDS_BLANK) + name;
      if (i != upper) text += ResString(IDS_LIST_SEPARATOR);
    }
  }
  return text + ResString(IDS_CLOSE_PAREN);
}

std::optional<bool> JavaLang::IsValidDataTypeForDatapoolValueAssignment(const std::string& dataType) {
  return FindJavaType(dataType) != nullptr;
}

std::string JavaLang::InitVariableWithDatapoolValue(const std::string& paramname, const std::string& ParamType,
                                                    const std::string& DatapoolColName) {
  const std::string column = DatapoolColName.empty() ? paramname : DatapoolColName;
  const JavaType* t = FindJavaType(ParamType);
  return paramname + FormatResString1(t != nullptr ? t->read : IDS_JAVA_PROVIDE_INIT, column);
}

std::string JavaLang::GetCheckExpectedResult(const std::string& ReturnType, const std::string& MethodName) {
  const std::string crlf = ResString(IDS_CRLF);
  if (ReturnType == ResString(IDS_VOID)) return FormatResString1(IDS_JAVA_CHECK_VOID, MethodName) + crlf;
  return ResString(IsPrimitive(ReturnType) ? IDS_JAVA_CHECK_IF_PRIMITIVE : IDS_JAVA_CHECK_IF_OBJECT) + crlf +
         FormatResString1(IDS_JAVA_CHECK_PASS, MethodName) + crlf + ResString(IDS_JAVA_CHECK_ELSE) + crlf +
         FormatResString2(IDS_JAVA_CHECK_FAIL, MethodName, getJavaClass(ReturnType));
}

std::string JavaLang::getJavaClass(const std::string& varType) {
  const JavaType* t = FindJavaType(varType);
  return t != nullptr && t->wrapper != 0 ? ResString(t->wrapper) : std::string();
}

std::string JavaLang::GetExpectedResultForAssert(const std::string& sReturnType) {
  if (sReturnType == ResString(IDS_VOID)) return ResString(IDS_JAVA_TRUE);
  return ResString(IsPrimitive(sReturnType) ? IDS_JAVA_ASSERT_PRIMITIVE : IDS_JAVA_ASSERT_OBJECT);
}

void JavaLang::GenParamData(TesselOperation* op, std::string& MethodParamDecl, std::string& MethodParamInit,
                            std::string& MethodParamList, bool IsUnderTest, const std::string& Suffix) {
  TesselOperation& operation = Ref(op);
  TesselParameterCollection& parameters = Ref(operation.Parameters());
  const std::string crlf = ResString(IDS_CRLF);
  const int16_t count = parameters.Count();
  for (int16_t i = 1; i <= count; ++i) {
    TesselParameter& p = Ref(parameters.GetAt(i));
    int16_t position = i;
    const std::string name = GetParamName(operation.ParentClass(), &p, position) + Suffix;
    MethodParamDecl += DeclareVariable(name, p.Type());
    MethodParamInit += InitVariableWithDatapoolValue(name, p.Type());
    if (i != count) {
      MethodParamDecl += crlf;
      MethodParamInit += crlf;
    }
  }
  const std::string returnType = operation.ReturnType();
  if (IsUnderTest && returnType != ResString(IDS_VOID)) {
    if (count > 0) {
      MethodParamDecl += crlf;
      MethodParamInit += crlf;
    }
    const std::string expected = ResString(IDS_VAR_EXPECTED_RETURN);
    MethodParamDecl += DeclareVariable(expected, returnType);
    MethodParamInit += InitVariableWithDatapoolValue(expected, returnType, expected);
  }
  SignatureArray types, names, arrayStrs, initialValues;
  BuildParamArrays(op, types, names, arrayStrs, initialValues);
  if (names) {
    for (std::string& name : *names) name += Suffix;
  }
  MethodParamList = ParamList(names);
}

}  // namespace zt
