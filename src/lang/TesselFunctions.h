// Model functions over operations: the parallel signature arrays an
// operation's parameters become, the logical return type of a COM
// operation, and the operation counts of the generation run.
#pragma once

#include <cstdint>
#include <string>

#include "host/TesselModel.h"
#include "lang/ILang.h"

namespace zt {

/// Fills the four parallel arrays (1..k, one element per parameter that is
/// not the return-value parameter) from `op`. Leaves them exactly as passed
/// when `op` or its parameters are missing or it has no ordinary parameter.
void BuildParamArrays(TesselOperation* op, SignatureArray& ParamTypes, SignatureArray& ParamNames,
                      SignatureArray& ParamArrayStrs, SignatureArray& ParamInitialValues);

/// The number of parameters that are not the return-value parameter.
int16_t CountSignatureParams(TesselOperation* op);

/// The parameter's name, or "arg" and its position among all parameters.
std::string GetParamName(TesselClass* parentClass, TesselParameter* parameter, int16_t& position);

/// The test-language type of a parameter; sets `arraySuffix` to "()" for a
/// COM array type.
std::string GetParamDataType(TesselClass* parentClass, TesselParameter* parameter, std::string& arraySuffix);

/// The test-language return type; for a COM operation returning HRESULT,
/// the type of its return-value parameter ("" when it has none).
std::string GetReturnDataType(TesselClass* parentClass, TesselOperation* op, std::string& arraySuffix);

/// True for the parameter that carries a COM operation's return value.
bool IsRetvalParameter(TesselParameter* parameter);

/// Operation counts; 0 for missing classes, packages and collections.
int32_t CountClassOperations(TesselClass* cls);
int32_t CountClassesOperations(TesselClassCollection* classes);
int32_t CountCategoryOperations(TesselCategory* category);
int32_t CountCategoriesOperations(TesselCategoryCollection* categories);

}  // namespace zt
