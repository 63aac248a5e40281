// A store that keeps what it is given in memory and answers SaveScript with
// codes a test chooses.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/DataStore.h"
#include "support/Error.h"

namespace zt::test {

class FakeStore : public DataStore {
 public:
  struct Saved {
    std::string fileName, folder;
    dsScriptType type;
    std::string content;
    bool multipleItems;
    std::vector<std::string> dates = {};  // the date texts of SaveGeneratedScript
  };

  void Open() override { ++opened; }
  void ResetSession() override { ++sessions; }
  int32_t SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                     const std::string& content) override {
    if (throwOnSave != 0) RaiseError(throwOnSave);
    saved.push_back({fileName, folder, type, content, multipleItems});
    auto it = codes.find(fileName);
    return it == codes.end() ? 0 : it->second;
  }
  int32_t SaveGeneratedScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                              const std::string& content, const std::vector<std::string>& dates) override {
    const int32_t code = SaveScript(fileName, folder, type, content);
    saved.back().dates = dates;
    return code;
  }
  void SetMultipleItems(bool value) override { multipleItems = value; }
  std::string ScriptRoot(dsScriptType type) override { return type == 0 ? "/store/java/" : vbRoot; }
  std::string MakeScriptName(const std::string&, const std::string&, dsScriptType) override { return suffix; }
  std::string MakeDatapoolName(const std::string& className, const std::string& operationName, int32_t) override {
    return className + "_" + operationName;
  }
  std::string UserName() override { return "tester"; }
  DataStoreConnection* Connection() override { return &connection; }
  bool LastSaveFailed() override { return failed.count(saved.empty() ? std::string() : saved.back().fileName) > 0; }
  int32_t DeleteScript(const std::string& fileName, const std::string& folder, dsScriptType) override {
    deleted.push_back(folder + "\\" + fileName);
    return delete_result::kNoSuchFile;
  }
  void BeginOperation(int32_t operation) override { operations.push_back(operation); }
  std::vector<int32_t> EndBatch() override { return lost; }

  std::vector<Saved> saved;
  std::map<std::string, int32_t> codes;  // by file name
  std::set<std::string> failed;          // file names whose save "failed" (LastSaveFailed)
  std::vector<std::string> deleted;      // folder\name of each DeleteScript
  std::vector<int32_t> operations;       // each BeginOperation
  std::vector<int32_t> lost;             // what EndBatch returns
  bool multipleItems = false;
  int32_t throwOnSave = 0;
  std::string suffix;
  std::string vbRoot = "/store/vb/";
  int opened = 0, sessions = 0;
  DataStoreConnection connection;
};

}  // namespace zt::test
