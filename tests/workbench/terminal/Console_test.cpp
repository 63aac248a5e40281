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
