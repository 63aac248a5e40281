// Tests of the tool options in a real store: get, set and unset, the default
// resource compiler, the options dialog's questions, and the components that
// open options on the store they created last.
#include "workbench/store/StoreLocation.h"
#include "workbench/store/ToolOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "TestUtil.h"
#include "fakes/ScriptedConsole.h"
#include "support/Error.h"
#include "workbench/components/WorkbenchComponents.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/StoreBackends.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;
using test::ErrorNumberOf;

class StoredOptions : public test::OnEitherBackend {
 protected:
  void SetUp() override {
    compiler_ = dir_ / "rc";
    std::ofstream(compiler_) << "#!/bin/sh\n";
    store_ = OpenStore();
  }
  std::unique_ptr<StoreBase> OpenStore() {
    std::unique_ptr<StoreBase> store = MakeStore("tester", console_);
    store->Open();
    return store;
  }
  WorkbenchToolOptions Options(const std::string& defaultCompiler = "") {
    return WorkbenchToolOptions(*store_->Connection(), defaultCompiler);
  }

  fs::path compiler_;
  test::ScriptedConsole console_;
  std::unique_ptr<StoreBase> store_;
};
ZT_ON_EITHER_BACKEND(StoredOptions);

TEST_P(StoredOptions, SetValuesAreKeptInTheStore) {
  WorkbenchToolOptions options = Options();
  EXPECT_EQ(options.GetOption(tool_option::kResourceCompiler), "");
  EXPECT_EQ(options.StoredOption(tool_option::kResourceCompiler), std::nullopt);
  options.SetOption(tool_option::kResourceCompiler, "/opt/rc");
  options.SetOption(tool_option::kResourceCompilerOptions, "/nologo /l 0x409");
  options.SetOption(tool_option::kResourceCompilerOptions, "/nologo");
  EXPECT_EQ(options.GetOption(tool_option::kResourceCompiler), "/opt/rc");

  store_.reset();
  store_ = OpenStore();  // another session on the same store
  WorkbenchToolOptions again = Options();
  EXPECT_EQ(again.GetOption(tool_option::kResourceCompiler), "/opt/rc");
  EXPECT_EQ(again.GetOption(tool_option::kResourceCompilerOptions), "/nologo");
  EXPECT_EQ(again.GetOption(7), "");
  again.SetOption(tool_option::kResourceCompilerOptions, "");
  EXPECT_EQ(again.StoredOption(tool_option::kResourceCompilerOptions), std::nullopt) << "\"\" unsets";
}

TEST_P(StoredOptions, TheBundledCompilerIsTheDefaultOnlyWhileUnsetAndPresent) {
  EXPECT_EQ(Options((dir_ / "not-there").string()).GetOption(tool_option::kResourceCompiler), "");
  WorkbenchToolOptions options = Options(compiler_.string());
  EXPECT_EQ(options.GetOption(tool_option::kResourceCompiler), compiler_.string());
  EXPECT_EQ(options.GetOption(tool_option::kResourceCompilerOptions), "") << "only option 3 has a default";
  EXPECT_EQ(options.StoredOption(tool_option::kResourceCompiler), std::nullopt) << "a default is not stored";
  options.SetOption(tool_option::kResourceCompiler, "/opt/rc");
  EXPECT_EQ(options.GetOption(tool_option::kResourceCompiler), "/opt/rc");
}

TEST_P(StoredOptions, TheDialogStoresAnExistingFileMadeAbsolute) {
  WorkbenchOptionsDialog dialog(console_, "");
  dialog.SetDataStore(store_.get());
  const std::string relative = fs::relative(compiler_, fs::current_path()).string();
  console_.Answer((dir_ / "nowhere").string());
  console_.Answer(relative);
  dialog.Show(1, 0);
  EXPECT_EQ(Options().GetOption(tool_option::kResourceCompiler), compiler_.string());
  EXPECT_NE(console_.Output().find(Text(WB_OPT_NO_SUCH_FILE, {(dir_ / "nowhere").string()})), std::string::npos)
      << console_.Output();
  EXPECT_EQ(console_.Output().rfind(Text(WB_OPT_ASK_COMPILER_NO_DEFAULT, {"-"}), 0), 0u) << console_.Output();

  // The current value is the default answer: an empty line keeps it.
  console_.ClearOutput();
  console_.Answer("");
  dialog.Show(1, 0);
  EXPECT_EQ(Options().GetOption(tool_option::kResourceCompiler), compiler_.string());
  EXPECT_EQ(console_.Output().rfind(Text(WB_OPT_ASK_COMPILER, {compiler_.string(), "-"}), 0), 0u);
}

TEST_P(StoredOptions, TheDialogLeavesTheOptionAloneWhenNotAnswered) {
  WorkbenchToolOptions options = Options();
  options.SetOption(tool_option::kResourceCompiler, "/opt/rc");
  WorkbenchOptionsDialog dialog(console_, "");
  dialog.SetDataStore(store_.get());
  for (const std::vector<std::string>& answers :
       {std::vector<std::string>{}, {"-"}, {"/no/1", "/no/2", "/no/3", compiler_.string()}}) {
    for (const std::string& answer : answers) console_.Answer(answer);
    console_.ClearOutput();
    dialog.Show(1, 0);
    EXPECT_EQ(options.GetOption(tool_option::kResourceCompiler), "/opt/rc") << answers.size();
    EXPECT_NE(console_.Output().find(Text(WB_OPT_COMPILER_UNCHANGED)), std::string::npos) << console_.Output();
  }
  EXPECT_EQ(console_.Unread(), 1u) << "three unusable answers end the dialog";

  // Without a store there is nothing to edit.
  WorkbenchOptionsDialog unset(console_, "");
  EXPECT_EQ(ErrorNumberOf([&] { unset.Show(1, 0); }), errc::kObjectNotSet);
}

TEST_P(StoredOptions, TheDialogStoresTheDefaultWhenItIsAccepted) {
  WorkbenchOptionsDialog dialog(console_, compiler_.string());
  dialog.SetDataStore(store_.get());
  console_.Answer("");
  dialog.Show(1, 0);
  EXPECT_EQ(Options().StoredOption(tool_option::kResourceCompiler), compiler_.string());
}

TEST_P(StoredOptions, ComponentsOpenOptionsOnTheStoreTheyCreatedLast) {
  WorkbenchComponents components("templates", StoreOptions{ParseStoreLocation(Location()), "tester"}, console_);
  EXPECT_EQ(ErrorNumberOf([&] { components.CreateToolOptions(); }), errc::kCannotCreateObject);
  Options().SetOption(tool_option::kResourceCompilerOptions, "/nologo");
  store_.reset();  // (a project is open in one store at a time)
  {
    std::unique_ptr<DataStore> store = components.CreateDataStore();
    std::unique_ptr<ToolOptions> options = components.CreateToolOptions();  // opens the store
    EXPECT_EQ(options->GetOption(tool_option::kResourceCompilerOptions), "/nologo");
    EXPECT_NE(store->Connection(), nullptr);
  }
  EXPECT_EQ(ErrorNumberOf([&] { components.CreateToolOptions(); }), errc::kCannotCreateObject)
      << "the store is gone";

  // The other components talk through the same console.
  std::unique_ptr<DataStore> store = components.CreateDataStore();
  store->Open();
  std::unique_ptr<DatapoolTool> tool = components.CreateDatapoolTool();
  EXPECT_EQ(tool->CreateDatapool(store->Connection(), "A_b", "", R"([{"name":"x"}])"), datapool_result::kCreated);
  console_.ClearOutput();
  components.CreateDatapoolExplorer()->GetView("Datapool")->Show(0, store->Connection());
  EXPECT_NE(console_.Output().find("A_b"), std::string::npos) << console_.Output();
  console_.Answer("y");
  EXPECT_EQ(components.CreateOverwritePrompt()->Ask("", "A_b", "Overwrite?"), overwrite_answer::kYes);
  std::unique_ptr<OptionsDialog> dialog = components.CreateOptionsDialog();
  dialog->SetDataStore(store.get());
  console_.Answer(compiler_.string());
  dialog->Show(1, 0);
  EXPECT_EQ(components.CreateToolOptions()->GetOption(tool_option::kResourceCompiler), compiler_.string());
}

TEST_P(StoredOptions, ComponentsFinishTheBatchOfTheirStoreBeforeAQuestionWaits) {
  store_.reset();
  WorkbenchComponents components("templates", StoreOptions{ParseStoreLocation(Location()), "tester"}, console_);
  std::unique_ptr<DataStore> store = components.CreateDataStore();
  store->Open();
  store->BeginBatch();
  std::unique_ptr<DatapoolTool> tool = components.CreateDatapoolTool();
  ASSERT_EQ(tool->CreateDatapool(store->Connection(), "A_b", "", R"([{"name":"x"}])"), datapool_result::kCreated);
  auto seenOutside = [&] { return DatapoolNames(*OpenStoreReadOnly(ParseStoreLocation(Location()))); };
  // A store folder or a project gathers the batch's datapools until it is finished; a
  // PostgreSQL store commits each at once, for the others to see.
  if (GetParam() != test::Backend::kPostgres) {
    EXPECT_TRUE(seenOutside().empty()) << "the batch goes on";
  }
  console_.Answer("n");
  EXPECT_EQ(components.CreateOverwritePrompt()->Ask("", "A_b", "Overwrite?"), overwrite_answer::kNo);
  EXPECT_EQ(seenOutside(), std::vector<std::string>{"A_b"});
  store->EndBatch();
}

TEST_P(StoredOptions, ComponentsJournalEveryScriptByItsPathOnTheDisk) {
  store_.reset();
  WorkbenchComponents components("templates", StoreOptions{ParseStoreLocation(Location()), "tester"}, console_);
  std::unique_ptr<DataStore> store = components.CreateDataStore();
  store->Open();
  const std::string javaRoot = store->ScriptRoot(dsJavaScript);
  const std::string vbRoot = store->ScriptRoot(dsVisualBasicScript);
  EXPECT_EQ(store->SaveScript("A.java", "unittests\\bank\\core", dsJavaScript, "a"), save_result::kStored);
  EXPECT_EQ(store->SaveScript("B.java", "unittests\\.\\x\\..\\y", dsJavaScript, "b"), save_result::kNotWritten)
      << "refused: \"..\" in the folder";
  EXPECT_EQ(store->SaveScript("C.java", "", dsJavaScript, "c"), save_result::kStored);
  EXPECT_EQ(store->SaveScript("D.cls", "unittests/Maths//Calc", dsVisualBasicScript, "d"), save_result::kStored);
  EXPECT_EQ(store->SaveScript("A.java", "unittests\\bank\\core", dsJavaScript, "other"), save_result::kNotWritten);
  EXPECT_EQ(store->SaveScript("E.java", "x", 7, "e"), save_result::kNotWritten) << "a type without a root";
  std::vector<std::string> journal;
  for (const RunJournal::Script& script : components.Journal().scripts) journal.push_back(script.path + " " + script.outcome);
  // (A project keeps a Java test in the folder of its package.)
  const std::string java = javaRoot + (GetParam() == test::Backend::kProject ? "" : "unittests/");
  EXPECT_EQ(journal, (std::vector<std::string>{java + "bank/core/A.java stored", java + "y/B.java not-stored",
                                               javaRoot + "C.java stored", vbRoot + "unittests/Maths/Calc/D.cls stored",
                                               java + "bank/core/A.java kept", "x/E.java not-stored"}));
  for (const std::string& path : {java + "bank/core/A.java", javaRoot + "C.java", vbRoot + "unittests/Maths/Calc/D.cls"}) {
    EXPECT_TRUE(fs::is_regular_file(path)) << path;
  }
}

}  // namespace
}  // namespace zt::wb
