// The datapool lines of a Visual Basic test project's resource script: one
// field line per parameter that is not an array, and the script layout
// around them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lang/ILang.h"

namespace zt {

class DataStore;

/// Result codes declared with the resource writer.
enum ResultCodes : int32_t {
  vbrOK = 0,
  vbrNODATAPOOLNAME = 1,
  vbrFILEERROR = 2,
  vbrBADFIELDOPTION = 3,
  vbrNOFIELDNAME = 4,
};

/// The result of a resource compilation.
enum ERCReturnTypes : int32_t {
  eRCSuccess = 0,
  eRCFailed = 1,
  eRCCompilerNotFound = 2,
};

class VBResources {
 public:
  /// Keeps the store, the datapool name and the class name, and starts the
  /// stored field lines with one empty line.
  void Initialize(DataStore* dStore, const std::string& dpName, const std::string& clName);

  /// The field lines of the parameters, separated by CR LF. An initial
  /// value that starts with a double quote is quoted once more, also in the
  /// caller's array. The lines are not added to the stored ones.
  std::string AddFields(const SignatureArray& ParamTypes, const SignatureArray& ParamNames,
                        const SignatureArray& ParamArrayStrs, SignatureArray& ParamInitialValue);

  /// Writes the resource script to the script path (replacing a file
  /// there). Raises error 1 ("VBResources") when the file cannot be made.
  void MakeResourceFile();

  /// Where MakeResourceFile writes, and the name its failure message gives.
  void SetScriptPath(const std::string& path) { scriptPath_ = path; }
  void SetFileDescription(const std::string& text) { fileDescription_ = text; }
  /// The stored field lines.
  std::vector<std::string>& Fields() { return fields_; }

 private:
  DataStore* store_ = nullptr;
  std::string datapoolName_;
  std::string className_;
  std::vector<std::string> fields_;
  std::string scriptPath_;
  std::string fileDescription_;
};

}  // namespace zt
