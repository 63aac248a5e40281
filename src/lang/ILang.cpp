#include "lang/ILang.h"

#include "support/Error.h"

namespace zt {

const std::string& ElementAt(const SignatureArray& array, int32_t i) {
  if (!array) RaiseError(errc::kTypeMismatch);
  if (i < 1 || i > static_cast<int32_t>(array->size())) RaiseError(errc::kSubscriptOutOfRange);
  return (*array)[static_cast<size_t>(i - 1)];
}

std::string& ElementAt(SignatureArray& array, int32_t i) {
  return const_cast<std::string&>(ElementAt(static_cast<const SignatureArray&>(array), i));
}

int32_t UpperBound(const SignatureArray& array) { return array ? static_cast<int32_t>(array->size()) : 0; }

bool IsFilledArray(const SignatureArray& array) { return array && !array->empty(); }

std::string ILang::DeclareOperation(const std::string&, const std::string&, const SignatureArray&, SignatureArray&,
                                    const SignatureArray&) {
  return {};
}
std::string ILang::DeclareVariable(const std::string&, const std::string&, const std::string&) { return {}; }
std::string ILang::DeclareOperationParameters(const SignatureArray&, const SignatureArray&, const SignatureArray&,
                                              const std::string&) {
  return {};
}
std::string ILang::ParamList(const SignatureArray&) { return {}; }
std::string ILang::InvokeOperation(const std::string&, const SignatureArray&, const std::string&) { return {}; }
std::optional<bool> ILang::IsValidDataTypeForDatapoolValueAssignment(const std::string&) { return std::nullopt; }
std::string ILang::InitVariableWithDatapoolValue(const std::string&, const std::string&, const std::string&) {
  return {};
}
std::string ILang::DatapoolAssignParameters(const SignatureArray&, const SignatureArray&, const SignatureArray&,
                                            const std::string&) {
  return {};
}
std::string ILang::GetCheckExpectedResult(const std::string&, const std::string&) { return {}; }
std::string ILang::ToScriptDataType(const std::string&) { return {}; }
bool ILang::IsArrayDataType(const std::string&) { return false; }

}  // namespace zt
