// Tests of the list-selection dialog in the terminal.
#include "workbench/terminal/ListSelect.h"

#include <gtest/gtest.h>

#include "fakes/ScriptedConsole.h"
#include "workbench/model/Model.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

class ListSelect : public ::testing::Test {
 protected:
  void SetUp() override {
    Package& maths = model_.AddPackage(model_.Root(), "Maths");
    for (const char* name : {"Calc", "FastCalc", "SafeCalc"}) list_.Add(&model_.AddClass(maths, name));
  }
  TesselClass* Choose(std::vector<std::string> answers) {
    console_ = std::make_unique<test::ScriptedConsole>(std::move(answers));
    TerminalListSelectDialog dialog(*console_);
    dialog.SetCaption("Corvant Verimos - Select coclass");
    dialog.SetPrompt("The selected ICalc interface is implemented by more than one coclass in your model.");
    return dialog.SelectFromList(0, list_);
  }

  Model model_{"Calc"};
  TesselClassCollection list_;
  std::unique_ptr<test::ScriptedConsole> console_;
};

TEST_F(ListSelect, ListsTheClassesAndTakesTheNumberChosen) {
  EXPECT_EQ(Choose({" 2 "}), list_.GetAt(2));
  const std::string& out = console_->Output();
  const size_t caption = out.find("Corvant Verimos - Select coclass\n");
  const size_t prompt = out.find("implemented by more than one coclass in your model.\n");
  const size_t first = out.find(Text(WB_LIST_ITEM, {"1", "Calc", "Logical View::Maths::Calc"}) + "\n");
  const size_t third = out.find(Text(WB_LIST_ITEM, {"3", "SafeCalc", "Logical View::Maths::SafeCalc"}) + "\n");
  EXPECT_LT(caption, prompt);
  EXPECT_LT(prompt, first);
  EXPECT_LT(first, third);
  EXPECT_NE(third, std::string::npos) << out;
  EXPECT_EQ(Choose({"3"}), list_.GetAt(3));
  EXPECT_EQ(Choose({"1"}), list_.GetAt(1));
}

TEST_F(ListSelect, BadAnswersAreAskedAgainAFewTimesThenNothingIsChosen) {
  EXPECT_EQ(Choose({"0", "two", "3"}), list_.GetAt(3));
  EXPECT_NE(console_->Output().find(Text(WB_LIST_BAD_NUMBER, {"0", "3"})), std::string::npos) << console_->Output();
  EXPECT_NE(console_->Output().find(Text(WB_LIST_BAD_NUMBER, {"two", "3"})), std::string::npos);

  EXPECT_EQ(Choose({"4", "-1", "99999999999", "1"}), nullptr);
  EXPECT_EQ(console_->Unread(), 1u);
}

TEST_F(ListSelect, EndOfInputAndTheCancelWordChooseNothing) {
  EXPECT_EQ(Choose({}), nullptr);
  EXPECT_EQ(console_->Reads(), 1);
  EXPECT_EQ(Choose({Text(WB_LIST_CANCEL_WORD), "1"}), nullptr);
  EXPECT_EQ(console_->Unread(), 1u);

  // An empty list asks nothing.
  list_ = {};
  EXPECT_EQ(Choose({"1"}), nullptr);
  EXPECT_EQ(console_->Reads(), 0);
}

TEST_F(ListSelect, TakesACoclassGivenInAdvanceByTheEndOfItsQualifiedName) {
  PresetAnswers presets;
  ASSERT_EQ(presets.Add("coclass=Other"), std::nullopt);
  ASSERT_EQ(presets.Add("coclass=Maths::SafeCalc"), std::nullopt);
  console_ = std::make_unique<test::ScriptedConsole>(std::vector<std::string>{"1"});
  console_->SetPresets(&presets);
  TerminalListSelectDialog dialog(*console_);
  EXPECT_EQ(dialog.SelectFromList(0, list_), list_.GetAt(3));
  EXPECT_EQ(console_->Reads(), 0);
  // "alc" is the end of a name, not a whole part of a qualified name.
  PresetAnswers none;
  ASSERT_EQ(none.Add("coclass=alc"), std::nullopt);
  console_->SetPresets(&none);
  EXPECT_EQ(dialog.SelectFromList(0, list_), list_.GetAt(1)) << "read from standard input";
  EXPECT_NE(console_->Output().find(Text(WB_LIST_PRESET_NOT_LISTED, {"coclass"})), std::string::npos);
}

}  // namespace
}  // namespace zt::wb
