// Tests of the question helpers on a scripted console, and of the terminal
// console's line reading.
#include "workbench/terminal/Console.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "fakes/ScriptedConsole.h"

namespace zt::wb {
namespace {

enum { kYes = 1, kAll, kNo, kCancel };

Question ReplaceQuestion() {
  return Question{"Replace?", {{"&yes", kYes}, {"yes to &all", kAll}, {"&no", kNo}, {"&cancel", kCancel}}, kNo};
}

TEST(Ask, TakesKeyOrWholeWordIgnoringCaseAndBlanks) {
  test::ScriptedConsole console({"Y", "  a ", "Yes To ALL", "no", "\tC"});
  EXPECT_EQ(Ask(console, ReplaceQuestion()), kYes);
  EXPECT_EQ(Ask(console, ReplaceQuestion()), kAll);
  EXPECT_EQ(Ask(console, ReplaceQuestion()), kAll);
  EXPECT_EQ(Ask(console, ReplaceQuestion()), kNo);
  EXPECT_EQ(Ask(console, ReplaceQuestion()), kCancel);
  EXPECT_EQ(console.Reads(), 5);
  // The question shows every answer with its key marked, once per question.
  const std::string prompt = "Replace? [y]es, yes to [a]ll, [n]o, [c]ancel: ";
  std::string expected;
  for (int i = 0; i < 5; ++i) expected += prompt;
  EXPECT_EQ(console.Output(), expected);
}

TEST(Ask, AsksAgainOnUnknownAnswersThenTakesTheDefault) {
  test::ScriptedConsole console({"maybe", "", "yes"});
  EXPECT_EQ(Ask(console, ReplaceQuestion()), kYes);
  EXPECT_EQ(console.Reads(), 3);
  EXPECT_NE(console.Output().find("\"maybe\""), std::string::npos) << console.Output();

  // Only whole words and keys count: a prefix of a word is not an answer.
  test::ScriptedConsole stubborn({"ye", "x", "yes please", "y"});
  EXPECT_EQ(Ask(stubborn, ReplaceQuestion()), kNo);
  EXPECT_EQ(stubborn.Reads(), kMaxAttempts);
  EXPECT_EQ(stubborn.Unread(), 1u);
  EXPECT_NE(stubborn.Output().find("\"no\""), std::string::npos) << "names the answer taken: " << stubborn.Output();
}

TEST(Ask, EndOfInputTakesTheDefault) {
  test::ScriptedConsole console;
  EXPECT_EQ(Ask(console, ReplaceQuestion()), kNo);
  EXPECT_EQ(console.Reads(), 1);
  // A key offered by no answer of this question is unknown.
  Question twoAnswers{"Edit?", {{"&yes", kYes}, {"&no", kNo}}, kNo};
  test::ScriptedConsole answers({"a", "y"});
  EXPECT_EQ(Ask(answers, twoAnswers), kYes);
  EXPECT_EQ(answers.Reads(), 2);
}

TEST(AskText, DefaultCancelAndEndOfInput) {
  const TextQuestion withDefault{"Name: ", "alice", "-"};
  test::ScriptedConsole console({"  bob ", "", "-", "--"});
  EXPECT_EQ(AskText(console, withDefault), "bob");
  EXPECT_EQ(AskText(console, withDefault), "alice");
  EXPECT_EQ(AskText(console, withDefault), std::nullopt);
  EXPECT_EQ(AskText(console, withDefault), "--");
  EXPECT_EQ(AskText(console, withDefault), std::nullopt) << "end of input";

  const TextQuestion noDefault{"Name: ", "", "cancel"};
  test::ScriptedConsole empty({"", " ", "carol"});
  EXPECT_EQ(AskText(empty, noDefault), "carol");
  test::ScriptedConsole cancel({"CANCEL"});
  EXPECT_EQ(AskText(cancel, noDefault), std::nullopt);
  test::ScriptedConsole blanks({"", "", "", "dave"});
  EXPECT_EQ(AskText(blanks, noDefault), std::nullopt);
  EXPECT_EQ(blanks.Unread(), 1u);
}

// Answers given in advance: the word names an answer of the question with
// that key; "all" and "none" stand for yes and no without answers for all; a
// word the question does not offer, or a key of another question, leaves
// the question to standard input.
TEST(Ask, TakesTheAnswerGivenInAdvanceBeforeStandardInput) {
  Question replace{
      "Replace?",
      {{"&yes", kYes, "yes"}, {"yes to &all", kAll, "all"}, {"&no", kNo, "no"}, {"&cancel", kCancel, "cancel"}},
      kNo,
      "replace"};
  Question single{"Replace?", {{"&yes", kYes, "yes"}, {"&no", kNo, "no"}}, kNo, "replace"};
  Question scope{"Use for", {{"this &operation", 1, "operation"}}, 0, "template-scope"};
  struct Case {
    const char* answer;
    const Question* question;
    int expected;
    int reads;
  } const cases[] = {
      {"replace=all", &replace, kAll, 0},
      {"replace=cancel", &replace, kCancel, 0},
      {"replace=all", &single, kYes, 0},
      {"replace=none", &single, kNo, 0},
      {"replace=yes", &scope, 0, 1},
      {"template-scope=model", &scope, 0, 1},
      {"template-scope=operation", &scope, 1, 0},
  };
  for (const Case& c : cases) {
    PresetAnswers presets;
    ASSERT_EQ(presets.Add(c.answer), std::nullopt) << c.answer;
    test::ScriptedConsole console;
    console.SetPresets(&presets);
    EXPECT_EQ(Ask(console, *c.question), c.expected) << c.answer;
    EXPECT_EQ(console.Reads(), c.reads) << c.answer;
    if (c.reads == 0) {
      // Shown as if typed: the prompt, then the word.
      const std::string word = std::string(c.answer).substr(std::string(c.answer).find('=') + 1);
      EXPECT_EQ(console.Output().substr(console.Output().size() - word.size() - 3), ": " + word + "\n");
    }
  }
}

TEST(AskText, TakesTheAnswerGivenInAdvanceAndTellsEndOfInputFromCancel) {
  PresetAnswers presets;
  ASSERT_EQ(presets.Add("user= ann "), std::nullopt);
  test::ScriptedConsole console({"bob"});
  console.SetPresets(&presets);
  TextAnswer answer = AskTextAnswer(console, TextQuestion{"Name: ", "", "-", "user"});
  EXPECT_EQ(answer.text, "ann");
  EXPECT_FALSE(answer.unanswered);
  EXPECT_EQ(console.Output(), "Name:  ann \n");
  EXPECT_EQ(AskText(console, TextQuestion{"Path: ", "", "-", "resource-compiler"}), "bob");
  answer = AskTextAnswer(console, TextQuestion{"Name: ", "", "-"});
  EXPECT_EQ(answer.text, std::nullopt);
  EXPECT_TRUE(answer.unanswered);
  test::ScriptedConsole cancelling({"-"});
  answer = AskTextAnswer(cancelling, TextQuestion{"Name: ", "", "-"});
  EXPECT_EQ(answer.text, std::nullopt);
  EXPECT_FALSE(answer.unanswered);
}

TEST(PresetAnswers, RefusesWhatNoQuestionTakes) {
  PresetAnswers presets;
  for (const char* bad : {"colour=red", "replace", "=yes", "replace=", "user= ", "replace=maybe", "edit-datapools=all",
                          "template-scope=yes"}) {
    EXPECT_NE(presets.Add(bad), std::nullopt) << bad;
  }
  EXPECT_TRUE(presets.Empty());
  EXPECT_EQ(presets.Add("template-file=a=b.template"), std::nullopt) << "the value may hold '='";
  EXPECT_EQ(presets.First("template-file"), "a=b.template");
  EXPECT_NE(presets.Add("template-file=c.template"), std::nullopt) << "one value per key";
  EXPECT_EQ(presets.Add("coclass=A"), std::nullopt);
  EXPECT_EQ(presets.Add("coclass=B"), std::nullopt) << "coclass is repeatable";
  EXPECT_EQ(presets.Values("coclass"), (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(presets.Values("user").empty());
}

TEST(TerminalConsole, ReadsLinesWithEitherLineEnd) {
  std::istringstream input("one\r\ntwo\nlast");
  std::streambuf* saved = std::cin.rdbuf(input.rdbuf());
  TerminalConsole console;
  std::vector<std::optional<std::string>> lines;
  for (int i = 0; i < 4; ++i) lines.push_back(console.ReadLine());
  std::cin.rdbuf(saved);
  std::cin.clear();
  EXPECT_EQ(lines, (std::vector<std::optional<std::string>>{"one", "two", "last", std::nullopt}));
}

}  // namespace
}  // namespace zt::wb
