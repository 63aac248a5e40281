#include "template/TemplateProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "fakes/FakeHost.h"
#include "fakes/FakeStore.h"
#include "fakes/MemoryFileSystem.h"
#include "support/Text.h"
#include "support/modErrorHandling.h"

namespace zt {
namespace {

// Records every event and lets a test act inside one.
class Recorder : public TemplateProcessorListener {
 public:
  void UpdateStatus(const std::string& message, float numerator, float denominator, bool& bCancel) override {
    statuses.push_back(message);
    fractions.emplace_back(numerator, denominator);
    if (onStatus) onStatus(bCancel);
  }
  void TemplatePreProcessLine(const std::string&, const std::string&, ParamMap&, dsScriptType, std::string& line,
                              bool& bProcess, bool& bCancel) override {
    preLines.push_back(line);
    if (onPre) onPre(line, bProcess, bCancel);
  }
  void TemplatePostProcessLine(const std::string&, const std::string& testCodePath, ParamMap&, dsScriptType,
                               std::string& line, bool& bCancel, const std::string&) override {
    postLines.push_back(line);
    if (onPost) onPost(testCodePath, line, bCancel);
  }

  std::vector<std::string> statuses, preLines, postLines;
  std::vector<std::pair<float, float>> fractions;
  std::function<void(bool&)> onStatus;
  std::function<void(std::string&, bool&, bool&)> onPre;
  std::function<void(const std::string&, std::string&, bool&)> onPost;
};

class Processor : public ::testing::Test {
 protected:
  void SetUp() override {
    test::UseMemoryFileSystem(files_);
    SetLogTarget(&app_);
    ResetRunState();
    processor_.Initialize(&store_);
    processor_.AddListener(&recorder_);
    processor_.StatusLine = "Processing Bank::Account::deposit";
  }
  void TearDown() override {
    SetLogTarget(nullptr);
    test::UseNoComponents();
    ResetRunState();
  }
  // Fills `templateText` with params_ and returns the stored text.
  std::string Fill(const std::string& templateText, dsScriptType type = dsJavaScript) {
    files_.Put("t.template", templateText);
    const size_t before = store_.saved.size();
    processor_.ProcessTemplate("t.template", "unittests\\bank\\Accountdeposit.java", params_, type, "Bank::Account::deposit");
    if (store_.saved.size() == before) return "<nothing stored>";
    return store_.saved.back().content;
  }

  test::MemoryFiles files_;
  test::RecordingApplication app_;
  test::FakeStore store_;
  TemplateProcessor processor_;
  Recorder recorder_;
  ParamMap params_;
};

TEST_F(Processor, EveryLineEndsInCrLfAndStatusCountsLines) {
  params_.Add(std::string("Accountdeposit"), "<test_name>");
  EXPECT_EQ(Fill("class <test_name>\n{\r\n}"), "class Accountdeposit\r\n{\r\n}\r\n");
  EXPECT_EQ(recorder_.statuses,
            (std::vector<std::string>{"Processing Bank::Account::deposit\r\n line  1 of  3",
                                      "Processing Bank::Account::deposit\r\n line  2 of  3",
                                      "Processing Bank::Account::deposit\r\n line  3 of  3"}));
  EXPECT_EQ(recorder_.fractions.back(), (std::pair<float, float>{3, 3}));
  ASSERT_EQ(store_.saved.size(), 1u);
  EXPECT_EQ(store_.saved[0].fileName, "Accountdeposit.java");
  EXPECT_EQ(store_.saved[0].folder, "unittests\\bank");

  // An empty template stores an empty text, without a status.
  recorder_.statuses.clear();
  EXPECT_EQ(Fill(""), "");
  EXPECT_TRUE(recorder_.statuses.empty());
}

TEST_F(Processor, OnlyExactKeysInLinesWithBothBracketsAreReplaced) {
  params_.Add(std::string("X"), "<name>");
  params_.Add(std::string("Y"), "name");
  EXPECT_EQ(Fill("<other> stays"), "<other> stays\r\n");
  // A key present, but the line lacks ">" or "<".
  EXPECT_EQ(Fill("name and <name"), "name and <name\r\n");
  // Letter case counts.
  EXPECT_EQ(Fill("<Name> <name>"), "<Name> X\r\n");
}

TEST_F(Processor, LaterKeysSeeTheReplacedLine) {
  params_.Add(std::string("<b>!"), "<a>");
  params_.Add(std::string("B"), "<b>");
  EXPECT_EQ(Fill("<a>"), "B!\r\n");
  ParamMap reversed;
  reversed.Add(std::string("B"), "<b>");
  reversed.Add(std::string("<b>!"), "<a>");
  std::string line = "<a>";
  SubstituteLine(line, reversed);
  EXPECT_EQ(line, "<b>!") << "an earlier key is not searched again";
}

TEST_F(Processor, MultiLineValuesTakeTheLinesIndent) {
  params_.Add(std::string("first\r\nsecond"), "<two>");
  params_.Add(std::string("first\r\nsecond\r\n"), "<ends>");
  params_.Add(std::string("tail  "), "<tail>");
  EXPECT_EQ(Fill("    <two>"), "    first\r\n    second\r\n");
  EXPECT_EQ(Fill("    <ends>"), "    first\r\n    second\r\n\r\n");
  EXPECT_EQ(Fill("<two>"), "first\r\nsecond\r\n");
  // Without indent, trailing blanks stay; with indent they go.
  EXPECT_EQ(Fill("<tail>|"), "tail  |\r\n");
  EXPECT_EQ(Fill("  <tail>|"), "  tail|\r\n");
}

TEST_F(Processor, ProcessOffStaysOffUntilAHandlerTurnsItOn) {
  params_.Add(std::string("V"), "<v>");
  recorder_.onPre = [](std::string& line, bool& bProcess, bool&) {
    if (line == "off") bProcess = false;
    if (line == "on") bProcess = true;
  };
  EXPECT_EQ(Fill("<v>\noff\n<v>\n<v>\non\n<v>"), "V\r\noff\r\n<v>\r\n<v>\r\non\r\nV\r\n");
}

TEST_F(Processor, HandlersRewriteLines) {
  params_.Add(std::string("V"), "<v>");
  recorder_.onPre = [](std::string& line, bool&, bool&) { line += " <v>"; };
  recorder_.onPost = [](const std::string&, std::string& line, bool&) { line = "[" + line + "]"; };
  EXPECT_EQ(Fill("a"), "a V\r\n") << "no post-process event for Java scripts";
  EXPECT_TRUE(recorder_.postLines.empty());
  EXPECT_EQ(Fill("a", dsVisualBasicScript), "[a V]\r\n");
  EXPECT_EQ(recorder_.postLines, (std::vector<std::string>{"a V"}));
}

TEST_F(Processor, CancelFromAnyEventStoresNothing) {
  recorder_.onPre = [](std::string& line, bool&, bool& cancel) { cancel = line == "stop"; };
  EXPECT_EQ(Fill("a\nstop\nc"), "<nothing stored>");
  EXPECT_TRUE(processor_.UserCanceled);

  recorder_.onPre = nullptr;
  int calls = 0;
  recorder_.onStatus = [&calls](bool& cancel) { cancel = ++calls == 2; };
  EXPECT_EQ(Fill("a\nb"), "<nothing stored>");
  EXPECT_TRUE(processor_.UserCanceled);
  EXPECT_EQ(recorder_.preLines.back(), "a");

  // A new call starts uncancelled.
  recorder_.onStatus = nullptr;
  EXPECT_EQ(Fill("a"), "a\r\n");
  EXPECT_FALSE(processor_.UserCanceled);
}

TEST_F(Processor, MissingTemplateIsReportedAndNothingStored) {
  processor_.ProcessTemplate("none.template", "unittests\\x.java", params_, dsJavaScript, "op");
  EXPECT_TRUE(store_.saved.empty());
  EXPECT_FALSE(processor_.UserCanceled);
  EXPECT_EQ(app_.lines, (std::vector<std::string>{"[Verimos]--[Unit Test]: Error Number:  53, File not found"}));
}

TEST_F(Processor, NestedCallCancelledInsideStopsTheOuterFile) {
  files_.Put("T.vbp", "Class=A; T.cls\nName=\"x\"");
  files_.Put("T.cls", "one\nstop\nthree");
  recorder_.onPre = [](std::string& line, bool&, bool& cancel) {
    if (line == "stop") cancel = true;
  };
  recorder_.onPost = [this](const std::string& testCodePath, std::string& line, bool&) {
    if (line.rfind("Class=", 0) == 0) {
      processor_.ProcessTemplate("T.cls", "out\\A.cls", params_, dsVisualBasicScript, "op");
    }
    (void)testCodePath;
  };
  processor_.ProcessTemplate("T.vbp", "out\\A.vbp", params_, dsVisualBasicScript, "op");
  EXPECT_TRUE(processor_.UserCanceled);
  EXPECT_TRUE(store_.saved.empty());
}

TEST_F(Processor, NestedFilesAreStoredBeforeTheProject) {
  files_.Put("T.vbp", "Class=A; T.cls\nEnd");
  files_.Put("T.cls", "body");
  recorder_.onPost = [this](const std::string&, std::string& line, bool&) {
    if (line.rfind("Class=", 0) == 0) {
      processor_.ProcessTemplate("T.cls", "out\\A.cls", params_, dsVisualBasicScript, "Maths::ICalc::Add");
    }
  };
  processor_.ProcessTemplate("T.vbp", "out\\A.vbp", params_, dsVisualBasicScript, "Maths::ICalc::Add");
  ASSERT_EQ(store_.saved.size(), 2u);
  EXPECT_EQ(store_.saved[0].fileName, "A.cls");
  EXPECT_EQ(store_.saved[1].fileName, "A.vbp");
  EXPECT_EQ(store_.saved[1].content, "Class=A; T.cls\r\nEnd\r\n");
  EXPECT_EQ(app_.lines, (std::vector<std::string>{"[Verimos]--[Unit Test]: source created for Maths::ICalc::Add:",
                                                  "    /store/vb/out\\A.cls", "    /store/vb/out\\A.vbp"}));
}

// The store is told the date texts each file holds, so that a file that
// differs from the stored one only there is unchanged; a file processed
// inside another (a project's class module) has its own.
TEST_F(Processor, EachFileTellsTheStoreItsDateTexts) {
  const auto at = [](int64_t seconds) {
    return ParamDate{std::chrono::system_clock::time_point(std::chrono::seconds(seconds)), true};
  };
  params_.Add(at(0), "<d>");
  params_.Add(std::string("x"), "<x>");
  files_.Put("T.vbp", "' <d>\nClass=A; T.cls\nEnd <d> <x>");
  files_.Put("T.cls", "<x>");
  files_.Put("T.bas", "<e>");
  recorder_.onPost = [this, &at](const std::string&, std::string& line, bool&) {
    if (line.rfind("Class=", 0) != 0) return;
    processor_.ProcessTemplate("T.cls", "out\\A.cls", params_, dsVisualBasicScript, "op");
    ParamMap other;
    other.Add(at(86400), "<e>");
    processor_.ProcessTemplate("T.bas", "out\\A.bas", other, dsVisualBasicScript, "op");
  };
  processor_.ProcessTemplate("T.vbp", "out\\A.vbp", params_, dsVisualBasicScript, "op");
  ASSERT_EQ(store_.saved.size(), 3u);
  const std::string first = store_.saved[2].content.substr(2, store_.saved[2].content.find('\r') - 2);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(store_.saved[0].dates, std::vector<std::string>{}) << "the class module holds no date";
  ASSERT_EQ(store_.saved[1].dates.size(), 1u);
  EXPECT_NE(store_.saved[1].dates[0], first) << "the other map's date";
  EXPECT_EQ(store_.saved[1].content, store_.saved[1].dates[0] + "\r\n");
  EXPECT_EQ(store_.saved[2].dates, std::vector<std::string>{first}) << "once, though the file holds it twice";
}

TEST_F(Processor, StoreCodesAndTheirEffects) {
  files_.Put("t", "x");
  // A resource script is stored without a log line.
  processor_.ProcessTemplate("t", "out\\A.rc", params_, dsVisualBasicScript, "op");
  EXPECT_EQ(store_.saved.size(), 1u);
  EXPECT_TRUE(app_.lines.empty());

  // A declined class module stops the compilation of the resource script.
  store_.codes["A.cls"] = 1007;
  processor_.ProcessTemplate("t", "out\\A.cls", params_, dsVisualBasicScript, "op");
  EXPECT_FALSE(processor_.Run().CompileResources);
  EXPECT_FALSE(processor_.UserCanceled);

  processor_.Run().CompileResources = true;
  store_.codes["A.bas"] = 1007;
  processor_.ProcessTemplate("t", "out\\A.bas", params_, dsVisualBasicScript, "op");
  EXPECT_TRUE(processor_.Run().CompileResources);

  store_.codes["A.vbp"] = 1008;
  processor_.ProcessTemplate("t", "out\\A.vbp", params_, dsVisualBasicScript, "op");
  EXPECT_TRUE(processor_.UserCanceled);
  EXPECT_TRUE(app_.lines.empty());
  EXPECT_FALSE(processor_.Run().ScriptNotStored) << "declined and cancelled scripts are no failures";

  // A script the store refused or could not write marks the operation.
  store_.codes["B.java"] = 1007;
  store_.failed.insert("B.java");
  processor_.ProcessTemplate("t", "out\\B.java", params_, dsJavaScript, "op");
  EXPECT_TRUE(processor_.Run().ScriptNotStored);
}

TEST_F(Processor, OnlyTheExtensionMakesAResourceScriptOrAClassModule) {
  files_.Put("t", "x");
  // Folders named like extensions change nothing: the Java test is logged,
  // and a declined project file in a folder "x.cls" leaves compiling on.
  processor_.ProcessTemplate("t", "unittests\\com.rcorp\\Arun.java", params_, dsJavaScript, "com.rcorp::A::run");
  processor_.ProcessTemplate("t", "unittests\\x.rc\\.rc\\ICalcAdd.vbp", params_, dsVisualBasicScript, "op");
  store_.codes["ICalcAdd.vbp"] = 1007;
  processor_.ProcessTemplate("t", "unittests\\x.cls\\ICalcAdd.vbp", params_, dsVisualBasicScript, "op");
  EXPECT_TRUE(processor_.Run().CompileResources);
  processor_.ProcessTemplate("t", "unittests\\rc\\ICalcAdd.rc", params_, dsVisualBasicScript, "op");
  EXPECT_EQ(app_.lines, (std::vector<std::string>{"[Verimos]--[Unit Test]: source created for com.rcorp::A::run:",
                                                  "    /store/java/unittests\\com.rcorp\\Arun.java",
                                                  "    /store/vb/unittests\\x.rc\\.rc\\ICalcAdd.vbp"}));
}

TEST_F(Processor, StoreCancelErrorCancelsTheRun) {
  files_.Put("t", "x");
  store_.throwOnSave = errc::kStoreCancelled;
  processor_.ProcessTemplate("t", "out\\A.java", params_, dsJavaScript, "op");
  EXPECT_TRUE(processor_.UserCanceled);
  ASSERT_EQ(app_.lines.size(), 1u);
  EXPECT_EQ(app_.lines[0].rfind("[Verimos]--[Unit Test]: Error Number: -2147220498, ", 0), 0u);
}

TEST_F(Processor, MultipleItemsFollowsTheRun) {
  files_.Put("t", "x");
  store_.multipleItems = true;
  processor_.ProcessTemplate("t", "out\\A.cls", params_, dsVisualBasicScript, "op");
  EXPECT_TRUE(store_.saved.back().multipleItems) << "left as it was for Visual Basic";
  processor_.ProcessTemplate("t", "out\\A.java", params_, dsJavaScript, "op");
  EXPECT_FALSE(store_.saved.back().multipleItems);
  processor_.Run().RunHasMultipleItems = true;
  processor_.ProcessTemplate("t", "out\\B.java", params_, dsJavaScript, "op");
  EXPECT_TRUE(store_.saved.back().multipleItems);
}

TEST_F(Processor, SourceHeaderOncePerOperation) {
  files_.Put("t", "x");
  processor_.ProcessTemplate("t", "out\\A.java", params_, dsJavaScript, "Bank::A::x");
  processor_.ProcessTemplate("t", "out\\B.java", params_, dsJavaScript, "Bank::A::x");
  processor_.Run().SourceHeaderLogged = false;
  processor_.ProcessTemplate("t", "out\\C.java", params_, dsJavaScript, "Bank::A::y");
  EXPECT_EQ(app_.lines, (std::vector<std::string>{"[Verimos]--[Unit Test]: source created for Bank::A::x:",
                                                  "    /store/java/out\\A.java", "    /store/java/out\\B.java",
                                                  "[Verimos]--[Unit Test]: source created for Bank::A::y:",
                                                  "    /store/java/out\\C.java"}));
}

// The substitution written out key by key, as a map whose keys are not all
// simple tags gets it: the reference for the search of all tags at once.
std::string KeyByKey(std::string line, const ParamMap& params) {
  if (line.find('>') == std::string::npos || line.find('<') == std::string::npos) return line;
  const std::string indent = line.substr(0, std::min(line.find_first_not_of(' '), line.size()));
  for (const std::string& key : params.Keys()) {
    if (line.find(key) == std::string::npos) continue;
    std::string value = ToText(params.Item(key));
    if (!indent.empty()) {
      ReplaceAll(value, "\r\n", "\r\n" + indent);
      value.erase(value.find_last_not_of(' ') + 1);
    }
    ReplaceAll(line, key, value);
  }
  return line;
}

TEST(SubstituteLine, TagsFoundAtOnceGiveWhatKeyByKeyGives) {
  struct Case {
    std::string line;
    std::vector<std::pair<std::string, std::string>> keys;  // key, value, in map order
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"// <a><b>: <a>.", {{"<a>", "T"}, {"<b>", "1"}}, "// T1: T."},
      // A value holding a later key is expanded again, an earlier one not.
      {"<a>", {{"<a>", "<b>"}, {"<b>", "B"}}, "B"},
      {"<a>", {{"<b>", "B"}, {"<a>", "<b>"}}, "<b>"},
      // Removing a tag joins a "<" before it to a ">" after it.
      {"<x <a> y>", {{"<a>", "V"}, {"<x V y>", "W"}}, "W"},
      {"<x <a> y>", {{"<x V y>", "W"}, {"<a>", "V"}}, "<x V y>"},
      // A value with brackets makes tags with the text around it.
      {"<p<a>q>", {{"<a>", "><"}, {"<p>", "P"}, {"<q>", "Q"}}, "PQ"},
      {"<<a>b>", {{"<a>", ""}, {"<b>", "B"}}, "B"},
      {"<a> <a> <b>", {{"<b>", "<a>"}, {"<a>", "A"}}, "A A A"},
      {"<a> <c", {{"<a>", "x"}, {"<c>", "C"}}, "x <c"},
      {"a> <b", {{"<a>", "x"}}, "a> <b"},
      // Multi-line values take the indent; trailing blanks go.
      {"    <a>;", {{"<a>", "one\r\ntwo  "}}, "    one\r\n    two;"},
      // A key that is not a simple tag: searched key by key.
      {"<a>b>", {{"<a>", "<a"}, {"<ab>", "X"}, {"a>", "Y"}}, "X"},
  };
  for (const Case& c : cases) {
    ParamMap params;
    for (const auto& [key, value] : c.keys) params.Add(value, key);
    std::string line = c.line;
    SubstituteLine(line, params);
    EXPECT_EQ(line, c.expected) << c.line;
    EXPECT_EQ(line, KeyByKey(c.line, params)) << c.line;
  }

  // Many small lines and maps of few letters, where tags touch and overlap.
  std::mt19937 random(17);
  const std::string letters = "<<>>ab  ";
  const std::vector<std::string> keys = {"<a>", "<b>", "<>", "<ab>", "<a b>", "<ba>"};
  const std::vector<std::string> values = {"", "<b>", "a>", "<", ">", "x", "<a", "b>", "<ab>", "\r\n", " ", "<>"};
  auto pick = [&random](size_t n) { return static_cast<size_t>(random() % n); };
  // One substitution for all lines, as a processor keeps one: nothing of a
  // line may leak into the next.
  LineSubstitution substitution;
  for (int i = 0; i < 20000; ++i) {
    ParamMap params;
    const size_t count = 1 + pick(4);
    for (size_t k = 0; k < count; ++k) params.Add(values[pick(values.size())], keys[pick(keys.size())]);
    std::string line(pick(3), ' ');
    for (size_t n = pick(12); n > 0; --n) line += letters[pick(letters.size())];
    std::string substituted = line;
    substitution.Substitute(substituted, params);
    ASSERT_EQ(substituted, KeyByKey(line, params)) << "line \"" << line << "\", case " << i;
  }

  // Dates: each line gets the text of its own date, the same second or not.
  for (const int64_t seconds : {0, 0, 86400, 0, 3600}) {
    ParamMap params;
    params.Add(ParamDate{std::chrono::system_clock::time_point(std::chrono::seconds(seconds)), true}, "<d>");
    std::string line = "// <d>";
    substitution.Substitute(line, params);
    EXPECT_EQ(line, KeyByKey("// <d>", params)) << seconds;
  }
}

TEST(ParamMapOrder, RepeatedKeyKeepsItsPlaceAndTakesTheNewValue) {
  ParamMap map;
  map.Add(std::string("1"), "<a>");
  map.Add(std::string("2"), "<b>");
  map.Add(std::string("3"), "<a>");
  EXPECT_EQ(map.Keys(), (std::vector<std::string>{"<a>", "<b>"}));
  EXPECT_EQ(ToText(map.Item("<a>")), "3");
  EXPECT_EQ(ToText(map.Item(2)), "2");
  EXPECT_EQ(map.Count(), 2);
  EXPECT_THROW(map.Item("<c>"), ZtError);
  EXPECT_THROW(map.Item(3), ZtError);
  EXPECT_EQ(map.Find("<b>"), 1);
  EXPECT_EQ(map.Find("<c>"), -1);
  EXPECT_TRUE(map.KeysAreSimpleTags());

  // Many keys, each found at its place; a key that is no simple tag is told.
  ParamMap many;
  for (int i = 0; i < 300; ++i) many.Add(std::to_string(i), "<k" + std::to_string(i) + ">");
  for (int i = 0; i < 300; i += 7) many.Add("again", "<k" + std::to_string(i) + ">");
  ASSERT_EQ(many.Count(), 300);
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(many.Find("<k" + std::to_string(i) + ">"), i);
    ASSERT_EQ(ToText(many.Item(i + 1)), i % 7 == 0 ? "again" : std::to_string(i));
  }
  EXPECT_FALSE(many.Exists("<k300>"));
  many.Add(std::string("x"), "<k<300>");
  EXPECT_FALSE(many.KeysAreSimpleTags());
  EXPECT_EQ(many.Find("<k<300>"), 300);
}

TEST(ParamMapDates, SourceDateEpochFixesTheDate) {
  ::setenv("SOURCE_DATE_EPOCH", "0", 1);
  const ParamDate date = GenerationDate();
  ::unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_TRUE(date.fixed);
  EXPECT_EQ(ToText(date), "01/01/70 00:00:00");
  EXPECT_FALSE(GenerationDate().fixed);
}

}  // namespace
}  // namespace zt
