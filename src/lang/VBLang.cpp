#include "lang/VBLang.h"

#include <array>

#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"

namespace zt {

namespace {

struct VbType {
  int16_t name;        // the Visual Basic type
  int16_t read;        // its datapool read fragment
  bool readable;       // can be read from a datapool
  bool comparable;     // compared directly in result checks
};

constexpr std::array<VbType, 12> kVbTypes = {{
    {IDS_VB_INTEGER, IDS_VB_READ_INTEGER, true, true},
    {IDS_VB_LONG, IDS_VB_READ_LONG, true, true},
    {IDS_VB_SINGLE, IDS_VB_READ_SINGLE, true, true},
    {IDS_VB_DOUBLE, IDS_VB_READ_DOUBLE, true, true},
    {IDS_VB_BYTE, IDS_VB_READ_BYTE, true, true},
    {IDS_VB_BOOLEAN, IDS_VB_READ_BOOLEAN, true, true},
    {IDS_VB_STRING, IDS_VB_READ_STRING, true, true},
    {IDS_VB_VARIANT, IDS_VB_READ_VARIANT, true, true},
    {IDS_VB_DATE, IDS_VB_READ_DATE, true, true},
    {IDS_VB_CURRENCY, IDS_VB_READ_CURRENCY, true, true},
    {IDS_VB_DECIMAL, IDS_VB_READ_DECIMAL, false, true},
    {IDS_VB_ERROR, IDS_VB_READ_ERROR, false, false},
}};

const VbType* FindVbType(const std::string& type) {
  for (const VbType& t : kVbTypes) {
    if (GetResString(t.name) == type) return &t;
  }
  return nullptr;
}

// IDL base type → Visual Basic type; each also maps in its SAFEARRAY form
// unless `plainOnly`.
struct IdlType {
  int16_t idl;
  int16_t vb;
  bool plainOnly;
};

constexpr std::array<IdlType, 14> kIdlTypes = {{
    {IDS_IDL_SHORT, IDS_VB_INTEGER, false},
    {IDS_IDL_INT, IDS_VB_INTEGER, true},
    {IDS_IDL_LONG, IDS_VB_LONG, false},
    {IDS_IDL_FLOAT, IDS_VB_SINGLE, false},
    {IDS_IDL_DOUBLE, IDS_VB_DOUBLE, false},
    {IDS_IDL_UNSIGNED_CHAR, IDS_VB_BYTE, false},
    {IDS_IDL_VARIANT_BOOL, IDS_VB_BOOLEAN, false},
    {IDS_IDL_BSTR, IDS_VB_STRING, false},
    {IDS_IDL_VARIANT, IDS_VB_VARIANT, false},
    {IDS_IDL_DATE, IDS_VB_DATE, false},
    {IDS_IDL_CURRENCY, IDS_VB_CURRENCY, false},
    {IDS_IDL_CY, IDS_VB_CURRENCY, false},
    {IDS_IDL_IDISPATCH, IDS_VB_OBJECT, false},
    {IDS_IDL_IUNKNOWN, IDS_VB_IUNKNOWN, false},
}};

// Splits the rest of a project-file line at ";" and fills the two names.
bool ProjectReference(const std::string& Line, int16_t prefixId, std::string& FileTemp, std::string& FileOut) {
  const std::string s = TrimBlanks(Line);
  const std::string prefix = GetResString(prefixId);
  if (!StartsWith(s, prefix)) return false;
  const std::string separator = GetResString(IDS_PROJECT_FIELD_SEPARATOR);
  std::vector<std::string> fields;
  size_t start = prefix.size();
  for (;;) {
    const size_t end = s.find(separator, start);
    fields.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + separator.size();
  }
  if (fields.size() < 2) RaiseError(errc::kSubscriptOutOfRange);
  FileOut = TrimBlanks(fields[fields.size() - 2]);
  FileTemp = TrimBlanks(fields.back());
  return true;
}

// The output file takes the template file's extension, from its first
// "." (all of the template's name when it has none); no template, no output.
void AppendTemplateExtension(const std::string& FileTemp, std::string& FileOut) {
  if (FileTemp.empty()) {
    FileOut.clear();
    return;
  }
  const size_t dot = FileTemp.find(GetResString(IDS_DOT));
  FileOut += FileTemp.substr(dot == std::string::npos ? 0 : dot);
}

}  // namespace

std::string JoinParamNames(const SignatureArray& ParamNames) {
  if (!ParamNames) return {};
  const std::string separator = GetResString(IDS_LIST_SEPARATOR);
  std::string text;
  for (size_t i = 0; i < ParamNames->size(); ++i) {
    if (i > 0) text += separator;
    text += (*ParamNames)[i];
  }
  return text;
}

std::string CallText(const std::string& OperationName, const SignatureArray& ParamNames, const std::string& variable) {
  std::string text;
  if (!variable.empty()) text = variable + GetResString(IDS_DOT);
  text += OperationName + GetResString(IDS_OPEN_PAREN);
  if (ParamNames) text += JoinParamNames(ParamNames);
  return text + GetResString(IDS_CLOSE_PAREN);
}

std::string VBLang::ToScriptDataType(const std::string& dtCOM) {
  std::string cleaned;
  for (char c : dtCOM) {
    if (c != ' ' && c != '*') cleaned += c;
  }
  for (const IdlType& t : kIdlTypes) {
    const std::string idl = GetResString(t.idl);
    if (cleaned == idl || (!t.plainOnly && cleaned == FormatResString1(IDS_IDL_SAFEARRAY, idl))) {
      return GetResString(t.vb);
    }
  }
  return MakeValidObjectName(cleaned);
}

bool VBLang::IsArrayDataType(const std::string& dtCOM) {
  return dtCOM.find(GetResString(IDS_IDL_SAFEARRAY_OPEN)) != std::string::npos;
}

std::string VBLang::MakeValidObjectName(const std::string& VbObjectName) {
  if (!VbObjectName.empty() && (VbObjectName[0] == '_' || (VbObjectName[0] >= '0' && VbObjectName[0] <= '9'))) {
    return VbObjectName.substr(1);
  }
  return VbObjectName;
}

std::string VBLang::DeclareVariable(const std::string& VariableName, const std::string& VariableType,
                                    const std::string& ArrayStr) {
  if (VariableType.empty() || VariableType == GetResString(IDS_VOID)) return {};
  return FormatResString3(IDS_VB_DIM, VariableName, ArrayStr, VariableType);
}

std::string VBLang::DeclareOperationParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                               const SignatureArray& ParamArrayStrs, const std::string& Indent) {
  if (!IsFilledArray(ParamTypes) || !IsFilledArray(ParamNames) || UpperBound(ParamTypes) != UpperBound(ParamNames)) {
    return {};
  }
  return JoinParameterLines(UpperBound(ParamNames), GetResString(IDS_CRLF) + Indent, [&](int32_t i) {
    return DeclareVariable(ElementAt(ParamNames, i), ElementAt(ParamTypes, i), ElementAt(ParamArrayStrs, i));
  });
}

std::string VBLang::ParamList(const SignatureArray& ParamNames) { return JoinParamNames(ParamNames); }

std::string VBLang::InvokeOperation(const std::string& OperationName, const SignatureArray& ParamNames,
                                    const std::string& VariableName) {
  return CallText(OperationName, ParamNames, VariableName);
}

std::string VBLang::DeclareOperation(const std::string& MethodType, const std::string& MethodName,
                                     const SignatureArray& ParamTypes, SignatureArray& ParamNames,
                                     const SignatureArray& /*ParamArrayStrs*/) {
  const std::string type = MethodType.empty() ? GetResString(IDS_VOID) : MethodType;
  const bool isVoid = type == GetResString(IDS_VOID);
  std::string text = FormatResString1(isVoid ? IDS_VB_SUB_START : IDS_VB_FUNCTION_START, MethodName);
  if (ParamTypes && ParamNames) {
    const int32_t upper = UpperBound(ParamTypes);
    for (int32_t i = 1; i <= upper; ++i) {
      std::string& name = ElementAt(ParamNames, i);
      if (name.empty()) name = GetResString(IDS_ARG) + std::to_string(i);
      text += ElementAt(ParamTypes, i) + GetResString(IDS_BLANK) + name;
      if (i != upper) text += GetResString(IDS_LIST_SEPARATOR);
    }
  }
  if (isVoid) return text + GetResString(IDS_CLOSE_PAREN);
  return FormatResString2(IDS_VB_FUNCTION_END, text, type);
}

std::optional<bool> VBLang::IsValidDataTypeForDatapoolValueAssignment(const std::string& vbDT) {
  const VbType* t = FindVbType(vbDT);
  return t != nullptr && t->readable;
}

std::string VBLang::InitVariableWithDatapoolValue(const std::string& paramname, const std::string& ParamType,
                                                  const std::string& DatapoolColName) {
  const std::string column = DatapoolColName.empty() ? paramname : DatapoolColName;
  const VbType* t = FindVbType(ParamType);
  return paramname + FormatResString1(t != nullptr ? t->read : IDS_VB_PROVIDE_INIT, column);
}

std::string VBLang::DatapoolAssignParameters(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                             const SignatureArray& ParamArrayStrs, const std::string& Indent) {
  if (!IsFilledArray(ParamTypes) || !IsFilledArray(ParamNames) || UpperBound(ParamTypes) != UpperBound(ParamNames)) {
    return {};
  }
  return JoinParameterLines(UpperBound(ParamNames), GetResString(IDS_CRLF) + Indent, [&](int32_t i) {
    const std::string& type = ElementAt(ParamTypes, i);
    const std::string& name = ElementAt(ParamNames, i);
    if (IsValidDataTypeForDatapoolValueAssignment(type).value_or(false)) {
      return InitVariableWithDatapoolValue(name, type + ElementAt(ParamArrayStrs, i));
    }
    return name + GetResString(IDS_VB_PROVIDE_INIT);
  });
}

std::string VBLang::GetCheckExpectedResult(const std::string& ReturnType, const std::string& MethodName) {
  if (ReturnType.empty()) return FormatResString1(IDS_VB_CHECK_VOID, MethodName);
  const VbType* t = FindVbType(ReturnType);
  const std::string crlf = GetResString(IDS_CRLF);
  return GetResString(t != nullptr && t->comparable ? IDS_VB_CHECK_IF : IDS_VB_CHECK_IF_PROVIDE) + crlf +
         FormatResString1(IDS_VB_CHECK_PASS, MethodName) + crlf + GetResString(IDS_VB_CHECK_ELSE) + crlf +
         FormatResString1(IDS_VB_CHECK_FAIL, MethodName) + crlf + GetResString(IDS_VB_CHECK_END_IF);
}

bool VBLang::IsProjectClassReference(const std::string& Line, std::string& FileTemp, std::string& FileOut) {
  if (!ProjectReference(Line, IDS_PROJECT_CLASS, FileTemp, FileOut)) return false;
  AppendTemplateExtension(FileTemp, FileOut);
  return true;
}

bool VBLang::IsProjectModuleReference(const std::string& Line, std::string& FileTemp, std::string& FileOut) {
  if (!ProjectReference(Line, IDS_PROJECT_MODULE, FileTemp, FileOut)) return false;
  AppendTemplateExtension(FileTemp, FileOut);
  return true;
}

bool VBLang::IsResourceReference(std::string& Line, std::string& FileTemp, std::string& FileOut) {
  if (!ProjectReference(Line, IDS_PROJECT_RESFILE, FileTemp, FileOut)) return false;
  if (FileTemp.empty()) {
    Line.clear();
    FileOut.clear();
  } else {
    Line = GetResString(IDS_PROJECT_RESFILE) + FileOut + GetResString(IDS_EXT_RES);
    FileOut += GetResString(IDS_EXT_RC);
  }
  return true;
}

}  // namespace zt
