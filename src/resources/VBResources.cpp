#include "resources/VBResources.h"

#include "host/FileSystem.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"

namespace zt {

void VBResources::Initialize(DataStore* dStore, const std::string& dpName, const std::string& clName) {
  store_ = dStore;
  datapoolName_ = dpName;
  className_ = clName;
  fields_.assign(1, std::string());
}

std::string VBResources::AddFields(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                                   const SignatureArray& ParamArrayStrs, SignatureArray& ParamInitialValue) {
  std::string result;
  if (!IsFilledArray(ParamTypes) || !IsFilledArray(ParamNames) || UpperBound(ParamTypes) != UpperBound(ParamNames)) {
    return result;
  }
  const std::string quote = GetResString(IDS_QUOTE);
  const std::string crlf = GetResString(IDS_CRLF);
  const int32_t base = std::stoi(GetResString(IDS_RC_FIELD_NUMBER_BASE));
  const int32_t upper = UpperBound(ParamTypes);
  for (int32_t i = 1; i <= upper; ++i) {
    if (!ElementAt(ParamArrayStrs, i).empty()) continue;
    std::string& value = ElementAt(ParamInitialValue, i);
    if (StartsWith(value, quote)) value = quote + value + quote;
    std::string line = GetResString(IDS_RC_FIELD_LINE);
    ReplaceAll(line, GetResString(IDS_RC_PLACEHOLDER_FIELD_NUMBER), std::to_string(base + i));
    ReplaceAll(line, GetResString(IDS_RC_PLACEHOLDER_FIELD), ElementAt(ParamNames, i));
    ReplaceAll(line, GetResString(IDS_RC_PLACEHOLDER_DATA), value);
    if (i != upper) line += crlf;
    result += line;
  }
  return result;
}

void VBResources::MakeResourceFile() {
  std::unique_ptr<TextStream> file;
  try {
    file = FileSystem().CreateTextFile(scriptPath_, true);
  } catch (...) {
    file.reset();
  }
  if (!file) {
    RaiseError(1, GetResString(IDS_SOURCE_VBRESOURCES), FormatResString1(IDS_ERR_FAILED_TO_READ, fileDescription_));
  }
  const std::string placeholder = GetResString(IDS_RC_PLACEHOLDER_DATAPOOL_NAME);
  file->WriteLine(GetResString(IDS_RC_STRINGTABLE));
  file->WriteLine(GetResString(IDS_RC_BEGIN));
  file->WriteLine(Replaced(GetResString(IDS_RC_DATAPOOL_NAME), placeholder, datapoolName_));
  file->WriteLine(Replaced(GetResString(IDS_RC_DATAPOOL_CONFIG), placeholder, datapoolName_));
  for (const std::string& field : fields_) file->WriteLine(field);
  file->WriteLine(GetResString(IDS_RC_64003));
  file->WriteLine(GetResString(IDS_RC_64004));
  file->WriteLine(GetResString(IDS_RC_END));
  file->Close();
}

}  // namespace zt
