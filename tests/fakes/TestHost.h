// A whole host for tests of the entry class and the generation run: a
// workbench application with a model from JSON text, in-memory files,
// a fake store, a scripted model helper, and window system and datapool
// components that record what the add-in did and answer as the test says.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "addin/OLEServer.h"
#include "fakes/FakeStore.h"
#include "fakes/MemoryFileSystem.h"
#include "fakes/ScriptedModelHelper.h"
#include "host/Components.h"
#include "workbench/model/Application.h"

namespace zt::test {

/// What the fake window system and dialogs saw and will answer.
struct HostScript {
  std::vector<std::string> messages;          // message-box texts, with their flags appended as " [flags]"
  std::deque<int32_t> messageAnswers;         // answers to message boxes; empty: the unattended answer
  std::deque<int32_t> overwriteAnswers;       // answers of the datapool overwrite prompt
  std::vector<std::string> overwriteQuestions;  // "title|item|question|forAll"
  std::set<std::string> existingDatapools;
  std::vector<std::string> datapoolCalls;     // "create NAME overwrite=0|1", "edit NAME", "explore"
  std::string finalMessage;                   // the progress window's text when the run ended
  std::string finalButton;
  int statusUpdates = 0;
  float progressMax = 0, progressValue = 0;  // the progress bar when the run ended
  bool showsChangesNow = true;               // what the progress window answers to ShowsChangesNow
  std::vector<std::string> fonts;             // "control:face:size" given to controls that take one
  /// Called at every DoEvents with a function that clicks the window's button.
  std::function<void(const std::function<void()>& click)> onDoEvents;
};

class TestComponents : public HostComponents {
 public:
  TestComponents(MemoryFiles& files, ScriptedModelHelper& helper, HostScript& script);
  ~TestComponents() override;

  std::unique_ptr<FileSystemObject> CreateFileSystemObject() override;
  std::unique_ptr<DataStore> CreateDataStore() override;
  std::unique_ptr<ModelHelper> CreateModelHelper() override;
  std::unique_ptr<DatapoolTool> CreateDatapoolTool() override;
  std::unique_ptr<DatapoolExplorer> CreateDatapoolExplorer() override;
  std::unique_ptr<OverwritePrompt> CreateOverwritePrompt() override;
  WindowSystem& Windows() override;

  /// The store the add-in created last (the add-in owns it).
  FakeStore* store = nullptr;
  /// When false, the store's login is cancelled.
  bool loginSucceeds = true;

 private:
  MemoryFiles& files_;
  ScriptedModelHelper& helper_;
  HostScript& script_;
  std::unique_ptr<WindowSystem> windows_;
};

/// A workbench application with the model of `json`, the records "QK" and
/// "PWT" registered and the add-in's entries going to "PWT".
std::unique_ptr<wb::Application> MakeApplication(const std::string& json);

/// Selects the elements of these qualified names (all overloads of a name).
void Select(wb::Application& application, const std::vector<std::string>& qualifiedNames);

/// Resets the add-in's module-wide state.
void ResetAddInState();

/// Runs of the add-in as the host starts them: Start activates the add-in
/// on an application of a model with the test's components; the host log's
/// lines are collected in log_.
class AddInRunTest : public ::testing::Test {
 protected:
  void Start(const std::string& modelJson, HostComponents& components) {
    ResetAddInState();
    app_ = MakeApplication(modelJson);
    app_->SetLogSink([this](const std::string& line) { log_.push_back(line); });
    SetHostComponents(&components);
    server_.OnActivate(app_.get());
  }
  void TearDown() override {
    if (app_ != nullptr) server_.OnDeactivate(app_.get());
    SetHostComponents(nullptr);
    ResetAddInState();
  }
  // Picks a generation entry with `names` selected.
  void Generate(const std::vector<std::string>& names) {
    Select(*app_, names);
    log_.clear();
    EXPECT_TRUE(server_.OnSelectedContextMenuItem(app_.get(), "GENERATE_UNITTEST_CLASS"));
  }

  MemoryFiles files_;
  ScriptedModelHelper helper_;
  HostScript script_;
  std::unique_ptr<wb::Application> app_;
  std::vector<std::string> log_;
  OLEServer server_;
};

}  // namespace zt::test
