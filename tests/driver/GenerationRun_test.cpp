// The generation run as the entry class starts it: menu entries, the walk
// over the selection, the host log, datapools and the closing text.
#include <gtest/gtest.h>

#include "addin/OLEServer.h"
#include "driver/CodeFactory.h"
#include "driver/GenerationRun.h"
#include "driver/GenerationRun.h"
#include "driver/StatusForm.h"
#include "fakes/TestHost.h"
#include "support/Error.h"
#include "support/modErrorHandling.h"

namespace zt {
namespace {

constexpr const char* kModel = R"({
  "model": "Bank",
  "packages": [
    { "name": "javax", "packages": [ { "name": "ejb", "classes": [ { "name": "EJBObject" }, { "name": "EJBHome" } ] } ] },
    { "name": "bank", "classes": [
        { "name": "Account", "language": "Java", "inherits": ["javax::ejb::EJBObject"], "operations": [
            { "name": "deposit", "returnType": "void", "parameters": [ { "name": "amount", "type": "double" } ] },
            { "name": "balance", "returnType": "double" } ] },
        { "name": "Mixed", "language": "Java", "inherits": ["javax::ejb::EJBObject"], "operations": [
            { "name": "a" }, { "name": "b" }, { "name": "c" } ] },
        { "name": "Plain", "language": "Java", "operations": [ { "name": "run" }, { "name": "x" } ] },
        { "name": "Empty", "language": "Java", "inherits": ["javax::ejb::EJBObject"] },
        { "name": "Late", "language": "Java", "operations": [ { "name": "first" } ] } ] },
    { "name": "single", "classes": [
        { "name": "One", "language": "Java", "inherits": ["javax::ejb::EJBObject"], "operations": [ { "name": "only" } ] } ] } ]
})";

constexpr const char* kBusinessTemplate =
    "$PWTTEMPLATES\\Unit Test Templates\\EJB\\Websphere\\Business Methods\\websphere_remote.template";

class Run : public test::AddInRunTest {
 protected:
  void SetUp() override {
    files_.Put(kBusinessTemplate, "class <test_name>\n{\n}\n");
    helper_.remote = {"Account", "Mixed", "Empty", "One"};
    helper_.remoteOf = {{"Account", "Account"}, {"Mixed", "Mixed"}, {"One", "One"}};
    Start(kModel, components_);
  }

  std::vector<std::string> MenuStates() {
    std::vector<std::string> states;
    for (const auto& item : app_->AddIns().FindAddIn("PWT")->MenuItems()) {
      states.push_back(item->InternalName() + "=" + std::to_string(item->MenuState()));
    }
    return states;
  }

  test::TestComponents components_{files_, helper_, script_};
};

TEST_F(Run, TenEntriesInOrder) {
  const auto& items = app_->AddIns().FindAddIn("PWT")->MenuItems();
  ASSERT_EQ(items.size(), 10u);
  std::vector<std::string> seen;
  for (const auto& item : items) seen.push_back(std::to_string(item->ItemType()) + " " + item->InternalName() + " " + item->Name());
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "6 SELECT_UNIT_TEST_OPERATION Select Unit &Test Template...",
                      "6 GENERATE_UNITTEST_OPERATION Generate &Unit Test",
                      "4 GENERATE_UNITTEST_CLASS Generate &Unit Test",
                      "2 GENERATE_UNITTEST_PACKAGE Generate &Unit Test",
                      "10 SELECT_UNIT_TEST_MODEL_EJB_BUSINESS Select &EJB Business Unit Test Template...",
                      "10 SELECT_UNIT_TEST_MODEL_EJB_CREATE Select &EJB Create Unit Test Template...",
                      "10 SELECT_UNIT_TEST_MODEL_EJB_FINDER Select &EJB Finder Unit Test Template...",
                      "10 SELECT_UNIT_TEST_MODEL_EJB_GETTER Select &EJB Getter Unit Test Template...",
                      "10 SELECT_UNIT_TEST_MODEL_EJB_SETTER Select &EJB Setter Unit Test Template...",
                      "10 SELECT_UNIT_TEST_MODEL_COM Select &COM Unit Test Template..."}));
}

TEST_F(Run, EntriesFollowTheSelection) {
  const auto enable = [this](const std::vector<std::string>& names) {
    test::Select(*app_, names);
    EXPECT_TRUE(server_.OnEnableContextMenuItems(app_.get(), 4));
    const auto states = MenuStates();
    return std::vector<std::string>(states.begin(), states.begin() + 4);
  };
  EXPECT_EQ(enable({"bank::Account::deposit"}),
            (std::vector<std::string>{"SELECT_UNIT_TEST_OPERATION=1", "GENERATE_UNITTEST_OPERATION=1",
                                      "GENERATE_UNITTEST_CLASS=0", "GENERATE_UNITTEST_PACKAGE=0"}));
  EXPECT_EQ(enable({"bank::Plain::run"}),
            (std::vector<std::string>{"SELECT_UNIT_TEST_OPERATION=0", "GENERATE_UNITTEST_OPERATION=0",
                                      "GENERATE_UNITTEST_CLASS=0", "GENERATE_UNITTEST_PACKAGE=0"}));
  EXPECT_EQ(enable({"bank::Account"})[2], "GENERATE_UNITTEST_CLASS=1");
  EXPECT_EQ(enable({"bank::Late"})[2], "GENERATE_UNITTEST_CLASS=0") << "only the first operation is asked";
  EXPECT_EQ(enable({"bank::Empty"})[2], "GENERATE_UNITTEST_CLASS=0");
  EXPECT_EQ(enable({"bank::Plain"})[3], "GENERATE_UNITTEST_PACKAGE=0");
  EXPECT_EQ(enable({"javax"})[3], "GENERATE_UNITTEST_PACKAGE=1") << "a package always enables its entry";
  EXPECT_EQ(enable({"bank::Account", "bank::Mixed"}),
            (std::vector<std::string>{"SELECT_UNIT_TEST_OPERATION=0", "GENERATE_UNITTEST_OPERATION=0",
                                      "GENERATE_UNITTEST_CLASS=0", "GENERATE_UNITTEST_PACKAGE=0"}))
      << "the select entry keeps the state it had";
}

TEST_F(Run, NoAddInRecordsChangeNothing) {
  app_->AddIns().RemoveAddIn("QK");
  app_->AddIns().RemoveAddIn("PWT");
  test::Select(*app_, {"bank::Account::deposit"});
  EXPECT_TRUE(server_.OnEnableContextMenuItems(app_.get(), 6));
  EXPECT_TRUE(server_.OnSelectedContextMenuItem(app_.get(), "NO_SUCH_ENTRY"));
}

TEST_F(Run, OneOperationEndToEnd) {
  Generate({"bank::Account::deposit"});
  EXPECT_EQ(log_, (std::vector<std::string>{"", "Generating Test Scripts...",
                                            "[Verimos]--[Unit Test]: WARNING... could not find the home interface class ",
                                            "[Verimos]--[Unit Test]: source created for Logical View::bank::Account::deposit:",
                                            "    /store/java/unittests\\bank\\Accountdeposit.java",
                                            "[Verimos]--[Unit Test]: datapool created:", "    Account_deposit", ""}));
  ASSERT_NE(components_.store, nullptr);
  ASSERT_EQ(components_.store->saved.size(), 1u);
  EXPECT_EQ(components_.store->saved[0].content, "class Accountdeposit\r\n{\r\n}\r\n");
  EXPECT_EQ(script_.finalMessage, "Finished code generation, 1 of 1 test(s) were processed.");
  EXPECT_EQ(script_.finalButton, "Close");
  // The offer to edit the one datapool, answered No by default.
  EXPECT_EQ(script_.messages, (std::vector<std::string>{"Would you like to edit created datapool(s) now ? [36]"}));
  EXPECT_TRUE(LastRunOutcome().result);
}

TEST_F(Run, TwoOfThreeGeneratedAsksToCheckTheLog) {
  Generate({"bank::Plain::run", "bank::Account::deposit", "bank::Account::balance"});
  EXPECT_EQ(script_.finalMessage,
            "Finished code generation, 2 of 3 test(s) were processed.\r\nCheck Tessel log for details.");
  EXPECT_NE(std::find(log_.begin(), log_.end(),
                      "[Verimos]--[Unit Test]: Logical View::bank::Plain::run is not a valid operation for unit test generation."),
            log_.end());
  EXPECT_FALSE(LastRunOutcome().result);
}

TEST_F(Run, EmptySelectionOrAClassWithoutOperations) {
  Generate({});
  EXPECT_EQ(script_.finalMessage, "No operations were selected for test generation.");
  // No line was processed: the bar keeps its design values.
  EXPECT_EQ(script_.progressMax, 100);
  EXPECT_EQ(script_.progressValue, 0);
  // The font comes from the system's GUI font and the screen's resolution.
  EXPECT_EQ(script_.fonts, (std::vector<std::string>{"0:Serif:10", "2:Serif:10"}));
  // A class without operations: the same, and nothing logged.
  Generate({"bank::Empty"});
  EXPECT_EQ(log_, (std::vector<std::string>{"", "Generating Test Scripts..."}));
  EXPECT_EQ(script_.finalMessage, "No operations were selected for test generation.");
}

TEST_F(Run, ModelEntriesWithoutAModel) {
  app_->SetCurrentModel(nullptr);
  EXPECT_TRUE(server_.OnSelectedContextMenuItem(app_.get(), "SELECT_UNIT_TEST_MODEL_COM"));
  EXPECT_EQ(script_.messages, (std::vector<std::string>{"No tessel items are currently selected. [16]"}));
}

TEST_F(Run, MissingTemplateIsLoggedAndTheWalkGoesOn) {
  files_.Erase(kBusinessTemplate);
  Generate({"bank::Account::deposit"});
  EXPECT_EQ(log_[2], std::string("[Verimos]--[Unit Test]: An error occurred while attempting to locate template files in ") +
                         kBusinessTemplate);
}

TEST_F(Run, CancelledLoginCancelsTheRun) {
  components_.loginSucceeds = false;
  Generate({"bank::Account::deposit"});
  EXPECT_EQ(log_, (std::vector<std::string>{"[Verimos]--[Unit Test]: User canceled code generation from the login dialog."}));
  EXPECT_EQ(script_.finalMessage, "Unit test canceled:\r\n0 scripts was generated.");
}

TEST_F(Run, CancelDuringAPackageRun) {
  int calls = 0;
  script_.onDoEvents = [&calls](const std::function<void()>& click) {
    if (++calls == 3) click();
  };
  Generate({"bank"});
  EXPECT_EQ(script_.finalMessage.rfind("Unit test canceled:\r\n", 0), 0u) << script_.finalMessage;
  EXPECT_EQ(script_.finalButton, "Close") << "the click while busy only cancels";
  EXPECT_TRUE(LastRunOutcome().canceled);
  // A cancelled run over operations keeps the finished text.
  calls = 0;
  script_.onDoEvents = [&calls](const std::function<void()>& click) {
    if (++calls == 2) click();
  };
  Generate({"bank::Account::deposit", "bank::Account::balance"});
  EXPECT_EQ(script_.finalMessage.rfind("Finished code generation, ", 0), 0u) << script_.finalMessage;
}

TEST_F(Run, AWindowThatShowsChangesOnlyNowAndThenEndsAsOneThatShowsAll) {
  // A run cancelled in a package: the bar keeps the last line's numbers.
  struct Seen {
    std::string message;
    float max, value;
    int updates;
  };
  auto cancelledRun = [this](bool showsChangesNow) {
    script_.showsChangesNow = showsChangesNow;
    script_.statusUpdates = 0;
    int calls = 0;
    script_.onDoEvents = [&calls](const std::function<void()>& click) {
      if (++calls == 5) click();
    };
    Generate({"bank"});
    return Seen{script_.finalMessage, script_.progressMax, script_.progressValue, script_.statusUpdates};
  };
  const Seen all = cancelledRun(true);
  const Seen some = cancelledRun(false);
  EXPECT_EQ(some.message, all.message);
  EXPECT_EQ(some.message.rfind("Unit test canceled:\r\n", 0), 0u) << "cancelled all the same";
  EXPECT_EQ(some.max, all.max);
  EXPECT_EQ(some.value, all.value);
  EXPECT_GT(all.max, 0);
  EXPECT_GT(all.updates, 3);
  EXPECT_EQ(some.updates, 2) << "the first text and the closing text only";
}

TEST_F(Run, PackagesAlwaysCountAsSeveralItems) {
  script_.existingDatapools = {"One_only"};
  Generate({"single"});
  ASSERT_EQ(script_.overwriteQuestions.size(), 1u);
  EXPECT_EQ(script_.overwriteQuestions[0],
            "Corvant Verimos - Confirm File Overwrite|One_only|Would you like to overwrite existing datapool(s) ?|forAll");
}

TEST_F(Run, OverwriteAnswersForAll) {
  script_.existingDatapools = {"Account_deposit", "Account_balance", "Mixed_a", "Mixed_b"};
  script_.overwriteAnswers = {overwrite_answer::kYesForAll};
  Generate({"bank::Account", "bank::Mixed::a", "bank::Mixed::b"});
  EXPECT_EQ(script_.overwriteQuestions.size(), 1u) << "yes for all is asked once";
  EXPECT_EQ(CurrentRun().DatapoolsCreated, 4);
  EXPECT_EQ(CurrentRun().FirstDatapoolName, "Mixed_a");
  const auto headers = std::count(log_.begin(), log_.end(), "[Verimos]--[Unit Test]: datapool created:");
  EXPECT_EQ(headers, 4) << "one header per operation";
  EXPECT_EQ(script_.messages.back(), "Would you like to edit created datapool(s) now ? [36]");

  script_.overwriteQuestions.clear();
  script_.overwriteAnswers = {overwrite_answer::kNoForAll};
  Generate({"bank::Account", "bank::Mixed::a"});
  EXPECT_EQ(script_.overwriteQuestions.size(), 1u);
  EXPECT_EQ(CurrentRun().DatapoolsCreated, 0);
}

TEST_F(Run, SingleItemPromptOffersNoForAllAnswers) {
  script_.existingDatapools = {"Account_deposit"};
  script_.overwriteAnswers = {overwrite_answer::kYes};
  Generate({"bank::Account::deposit"});
  ASSERT_EQ(script_.overwriteQuestions.size(), 1u);
  EXPECT_EQ(script_.overwriteQuestions[0].substr(script_.overwriteQuestions[0].rfind('|') + 1), "single");
  EXPECT_EQ(script_.datapoolCalls,
            (std::vector<std::string>{"create Account_deposit overwrite=0", "create Account_deposit overwrite=1"}));
}

TEST_F(Run, CancelInTheOverwritePromptStopsTheRun) {
  script_.existingDatapools = {"Account_deposit", "Account_balance"};
  script_.overwriteAnswers = {overwrite_answer::kCancel};
  Generate({"bank::Account"});
  EXPECT_EQ(CurrentRun().DatapoolsCreated, 0);
  EXPECT_EQ(script_.overwriteQuestions.size(), 1u);
  EXPECT_NE(std::find(log_.begin(), log_.end(), "[Verimos]--[Unit Test]: User canceled from datapool(s) generation."),
            log_.end());
}

TEST_F(Run, EditingDatapoolsAfterTheRun) {
  script_.messageAnswers = {mb::kIdYes};
  Generate({"bank::Account::deposit"});
  EXPECT_EQ(script_.datapoolCalls.back(), "edit Account_deposit");
  script_.existingDatapools.clear();
  script_.messageAnswers = {mb::kIdYes};
  Generate({"bank::Account"});
  EXPECT_EQ(script_.datapoolCalls.back(), "explore");
}

TEST_F(Run, OtherKindsOfItemsStopTheRun) {
  auto model = app_->OpenModel();
  model->AddAttribute(*model->FindClass("bank::Account"), "owner", "String");
  test::Select(*app_, {"bank::Account::owner"});
  log_.clear();
  server_.OnSelectedContextMenuItem(app_.get(), "GENERATE_UNITTEST_CLASS");
  EXPECT_EQ(script_.messages,
            (std::vector<std::string>{"Unit code generation failed because \"owner\"\nis not a valid component for unit code generation. [16]"}));
  EXPECT_EQ(script_.finalMessage, "No operations were selected for test generation.");
}

TEST(StatusFormFont, PointSizeFromTheScreen) {
  EXPECT_EQ(-MulDiv(-11, 72, 96), 8);
  EXPECT_EQ(MulDiv(-13, 72, 96), -10);
  EXPECT_EQ(MulDiv(5, 1, 2), 3) << "halves round away from zero";
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);
}

}  // namespace
}  // namespace zt
