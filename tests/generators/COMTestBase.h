// Fakes and a model for the tests of the COM generator, its project writer
// and the resource compiler run: COM interfaces with none, one and three
// coclasses, in-memory files, a store that writes into them, tool options, a
// list dialog and a process launcher that answer as the test says.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "template/TemplateProcessor.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeStore.h"
#include "fakes/MemoryFileSystem.h"
#include "fakes/ScriptedModelHelper.h"
#include "generators/COMGenerator.h"
#include "support/CommonFunctions.h"
#include "support/Error.h"
#include "support/modErrorHandling.h"
#include "template/ParamMap.h"
#include "workbench/documents/ModelDocument.h"

namespace zt::test {

inline constexpr const char* kComModel = R"json({
  "model": "Calculator",
  "components": [ { "name": "CalcLib", "properties": { "COM": {
      "uuid": "6F1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D", "lcid": "0",
      "filename": "C:\\Program Files\\Calc\\CalcLib.dll", "helpstring": "Calculator 1.0 Type Library" } } } ],
  "packages": [ { "name": "Maths", "classes": [
    { "name": "ICalc", "stereotype": "Interface", "language": "COM", "operations": [
        { "name": "Add", "returnType": "HRESULT", "parameters": [
            { "name": "a", "type": "long", "initValue": "2" }, { "name": "b", "type": "long", "initValue": "3" },
            { "name": "result", "type": "long*" } ] },
        { "name": "Reset", "returnType": "HRESULT" },
        { "name": "Clear", "returnType": "void", "parameters": [ { "name": "level", "type": "short" } ] },
        { "name": "Total", "returnType": "CURRENCY", "parameters": [ { "name": "items", "type": "SAFEARRAY(long)" } ] },
        { "name": "Precise", "returnType": "Decimal" },
        { "name": "Self", "returnType": "ICalc*" } ] },
    { "name": "Calc", "stereotype": "coclass", "language": "COM", "realizes": ["Maths::ICalc"], "components": ["CalcLib"] },
    { "name": "IWide", "stereotype": "Interface", "language": "COM", "operations": [
        { "name": "One", "returnType": "HRESULT" }, { "name": "Two", "returnType": "HRESULT" } ] },
    { "name": "W1", "stereotype": "coclass", "language": "COM", "components": ["CalcLib"] },
    { "name": "W2", "stereotype": "coclass", "language": "COM", "components": ["CalcLib"] },
    { "name": "W3", "stereotype": "coclass", "language": "COM", "components": ["CalcLib"] },
    { "name": "ILonely", "stereotype": "Interface", "language": "COM", "operations": [ { "name": "Ping", "returnType": "HRESULT" } ] },
    { "name": "IOrphan", "stereotype": "Interface", "language": "COM", "operations": [ { "name": "Go", "returnType": "HRESULT" } ] },
    { "name": "Orphan", "stereotype": "coclass", "language": "COM" },
    { "name": "ILower", "stereotype": "interface", "language": "COM", "operations": [ { "name": "X", "returnType": "HRESULT" } ] },
    { "name": "IScript", "stereotype": "Interface", "language": "com", "operations": [ { "name": "X", "returnType": "HRESULT" } ] },
    { "name": "Plain", "stereotype": "Interface", "language": "Java", "operations": [ { "name": "x", "returnType": "void" } ] } ] } ]
})json";

/// What a test's resource compiler does when it is started.
struct CompilerScript {
  int32_t exitStatus = 0;
  bool writesRes = true;                 // leaves a ".res" beside the script
  std::optional<ZtError> spawnError;     // ShellExecuteEx raises this
  std::vector<ShellExecuteInfo> started;
  std::vector<bool> resAtStart;          // whether a ".res" was there when it started
  std::vector<int64_t> closed;
};

/// Runs "the compiler" inside the memory files: the script path is the
/// last argument.
class FakeLauncher : public ProcessLauncher {
 public:
  FakeLauncher(MemoryFiles& files, CompilerScript& script) : files_(files), script_(script) {}
  std::optional<int64_t> ShellExecuteEx(const ShellExecuteInfo& info) override {
    script_.started.push_back(info);
    if (script_.spawnError) throw *script_.spawnError;
    const std::string& script = info.lpArguments.back();
    const std::string res = script.substr(0, script.size() - 3) + ".res";
    script_.resAtStart.push_back(files_.Has(res));
    if (script_.writesRes) files_.Put(res, "compiled");
    return 4711;
  }
  int32_t WaitForSingleObject(int64_t) override { return script_.exitStatus; }
  void CloseHandle(int64_t process) override { script_.closed.push_back(process); }

 private:
  MemoryFiles& files_;
  CompilerScript& script_;
};

/// Tool options from a map.
class MapOptions : public ToolOptions {
 public:
  explicit MapOptions(std::map<int32_t, std::string>& options) : options_(options) {}
  std::string GetOption(int32_t option) override { return options_[option]; }

 private:
  std::map<int32_t, std::string>& options_;
};

/// What the coclass dialog saw, and which element of the list it picks (0: none).
struct ListScript {
  std::vector<std::string> prompts;  // "caption|prompt|names,..."
  int pick = 1;
};

class ScriptedListDialog : public ListSelectDialog {
 public:
  explicit ScriptedListDialog(ListScript& script) : script_(script) {}
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  void SetPrompt(const std::string& prompt) override { prompt_ = prompt; }
  TesselClass* SelectFromList(int64_t, const TesselClassCollection& list) override {
    std::string names;
    for (int16_t i = 1; i <= list.Count(); ++i) names += (i > 1 ? "," : "") + list.GetAt(i)->Name();
    script_.prompts.push_back(caption_ + "|" + prompt_ + "|" + names);
    return script_.pick == 0 ? nullptr : list.GetAt(static_cast<int16_t>(script_.pick));
  }

 private:
  ListScript& script_;
  std::string caption_, prompt_;
};

/// A fake store whose saved scripts also land in the memory files, below
/// its script roots, as the real store writes them to disk.
class FileWritingStore : public FakeStore {
 public:
  explicit FileWritingStore(MemoryFiles& files) : files_(files) {}
  int32_t SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                     const std::string& content) override {
    const int32_t code = FakeStore::SaveScript(fileName, folder, type, content);
    if (code == save_result::kStored) files_.Put(ScriptRoot(type) + folder + "\\" + fileName, content);
    return code;
  }
  int32_t DeleteScript(const std::string& fileName, const std::string& folder, dsScriptType type) override {
    FakeStore::DeleteScript(fileName, folder, type);
    const std::string path = ScriptRoot(type) + folder + "\\" + fileName;
    if (!files_.Has(path)) return delete_result::kNoSuchFile;
    if (files_.IsReadOnly(path)) return delete_result::kNotDeleted;
    files_.Erase(path);
    return delete_result::kDeleted;
  }
  bool ScriptExists(const std::string& fileName, const std::string& folder, dsScriptType type) override {
    return files_.Has(ScriptRoot(type) + folder + "\\" + fileName);
  }

 private:
  MemoryFiles& files_;
};

/// Components of the COM tests: a scripted model helper, memory files, the
/// fakes above.
class ComComponents : public ScriptedComponents {
 public:
  ComComponents(ScriptedModelHelper& helper, MemoryFiles& files, CompilerScript& compiler, ListScript& list)
      : ScriptedComponents(helper), files_(files), launcher_(files, compiler), list_(list) {}
  std::unique_ptr<FileSystemObject> CreateFileSystemObject() override { return MakeMemoryFileSystem(files_); }
  std::unique_ptr<ToolOptions> CreateToolOptions() override { return std::make_unique<MapOptions>(options); }
  std::unique_ptr<ListSelectDialog> CreateListSelectDialog() override {
    return std::make_unique<ScriptedListDialog>(list_);
  }
  ProcessLauncher& Processes() override { return launcher_; }

  std::map<int32_t, std::string> options;

 private:
  MemoryFiles& files_;
  FakeLauncher launcher_;
  ListScript& list_;
};

/// Answers of the model helper for kComModel.
inline void DescribeComModel(ScriptedModelHelper& helper) {
  helper.coclassesOf = {{"ICalc", {"Calc"}}, {"IWide", {"W1", "W2", "W3"}}, {"IOrphan", {"Orphan"}}};
  helper.typelibOf = {{"ICalc", "CalcLib"}, {"IWide", "CalcLib"}, {"ILonely", "Maths"}, {"IOrphan", "Maths"}};
  helper.defaultCoclassOf = {{"ICalc", "Calc"}, {"IWide", "W1"}, {"ILonely", "Lonely"}, {"IOrphan", "Orphan"}};
  helper.progidOf = {{"Calc", "CalcLib.Calc"}, {"W1", "CalcLib.W1"}, {"W2", "CalcLib.W2"}, {"W3", "CalcLib.W3"},
                     {"Orphan", "Maths.Orphan"}};
  helper.retvalParameters = {"Add::result"};
}

class ComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_ = wb::ParseModelDocument(kComModel, "calc.json");
    DescribeComModel(helper_);
    processor_.Run().ProgressWindow = 77;
  }

  TesselOperation* Op(const std::string& qualifiedName) {
    auto found = model_->Find(qualifiedName);
    EXPECT_FALSE(found.empty()) << qualifiedName;
    return found.empty() ? nullptr : dynamic_cast<TesselOperation*>(found.front());
  }

  static std::string Text(const ParamMap& map, const std::string& key) { return ToText(map.Item(key)); }

  std::unique_ptr<wb::Model> model_;
  ScriptedModelHelper helper_;
  MemoryFiles files_;
  CompilerScript compiler_;
  ListScript list_;
  ComComponents components_{helper_, files_, compiler_, list_};
  FileWritingStore store_{files_};
  RecordingApplication log_;
  ComponentsInstalled installed_{components_, &log_};
  // The run the generators work for, through this processor.
  TemplateProcessor processor_;
};

}  // namespace zt::test
