#include "lang/TesselFunctions.h"

#include "host/ModelHelper.h"
#include "lang/JavaLang.h"
#include "lang/VBLang.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/Error.h"

namespace zt {

namespace {

bool IsComClass(TesselClass* cls) { return Ref(cls).Language() == ResString(IDS_LANG_COM); }

}  // namespace

bool IsRetvalParameter(TesselParameter* parameter) { return SharedModelHelper().IsRetvalParameter(parameter); }

int16_t CountSignatureParams(TesselOperation* op) {
  if (op == nullptr || op->Parameters() == nullptr) return 0;
  TesselParameterCollection& parameters = *op->Parameters();
  int16_t count = 0;
  for (int16_t i = 1; i <= parameters.Count(); ++i) {
    if (!IsRetvalParameter(parameters.GetAt(i))) ++count;
  }
  return count;
}

std::string GetParamName(TesselClass* /*parentClass*/, TesselParameter* parameter, int16_t& position) {
  std::string name = Ref(parameter).Name();
  if (name.empty()) name = ResString(IDS_ARG) + std::to_string(position);
  return name;
}

std::string GetParamDataType(TesselClass* parentClass, TesselParameter* parameter, std::string& arraySuffix) {
  const std::string type = Ref(parameter).Type();
  if (!IsComClass(parentClass)) return JavaLang().ToScriptDataType(type);
  VBLang vb;
  if (vb.IsArrayDataType(type)) arraySuffix = ResString(IDS_ARRAY_SUFFIX);
  return vb.ToScriptDataType(type);
}

std::string GetReturnDataType(TesselClass* parentClass, TesselOperation* op, std::string& arraySuffix) {
  const std::string returnType = Ref(op).ReturnType();
  if (!IsComClass(parentClass)) return JavaLang().ToScriptDataType(returnType);
  VBLang vb;
  if (returnType != ResString(IDS_IDL_HRESULT)) return vb.ToScriptDataType(returnType);
  TesselParameterCollection& parameters = Ref(op->Parameters());
  for (int16_t i = 1; i <= parameters.Count(); ++i) {
    TesselParameter* p = parameters.GetAt(i);
    if (!IsRetvalParameter(p)) continue;
    const std::string type = Ref(p).Type();
    if (vb.IsArrayDataType(type)) arraySuffix = ResString(IDS_ARRAY_SUFFIX);
    return vb.ToScriptDataType(type);
  }
  return {};
}

void BuildParamArrays(TesselOperation* op, SignatureArray& ParamTypes, SignatureArray& ParamNames,
                      SignatureArray& ParamArrayStrs, SignatureArray& ParamInitialValues) {
  if (op == nullptr || op->Parameters() == nullptr || CountSignatureParams(op) == 0) return;
  TesselParameterCollection& parameters = *op->Parameters();
  const int16_t n = parameters.Count();
  std::vector<std::string> types, names, arrayStrs, initialValues;
  for (int16_t i = 1; i <= n; ++i) {
    TesselParameter* p = parameters.GetAt(i);
    if (IsRetvalParameter(p)) continue;
    int16_t position = i;
    names.push_back(GetParamName(op->ParentClass(), p, position));
    std::string suffix;
    types.push_back(GetParamDataType(op->ParentClass(), p, suffix));
    initialValues.push_back(Ref(p).InitValue());
    arrayStrs.push_back(suffix);
  }
  ParamTypes = std::move(types);
  ParamNames = std::move(names);
  ParamArrayStrs = std::move(arrayStrs);
  ParamInitialValues = std::move(initialValues);
}

int32_t CountClassOperations(TesselClass* cls) {
  if (cls == nullptr || cls->Operations() == nullptr) return 0;
  return cls->Operations()->Count();
}

int32_t CountClassesOperations(TesselClassCollection* classes) {
  if (classes == nullptr) return 0;
  int32_t total = 0;
  for (int16_t i = 1; i <= classes->Count(); ++i) total += CountClassOperations(classes->GetAt(i));
  return total;
}

int32_t CountCategoryOperations(TesselCategory* category) {
  if (category == nullptr) return 0;
  return CountClassesOperations(category->Classes());
}

int32_t CountCategoriesOperations(TesselCategoryCollection* categories) {
  if (categories == nullptr) return 0;
  int32_t total = 0;
  for (int16_t i = 1; i <= categories->Count(); ++i) total += CountCategoryOperations(categories->GetAt(i));
  return total;
}

}  // namespace zt
