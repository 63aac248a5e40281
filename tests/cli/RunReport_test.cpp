// What the command line makes of a run: the exit status as a table of what
// the run came to, and the summary after the store lost what it had taken.
#include "cli/RunReport.h"

#include <gtest/gtest.h>

#include "cli/Commands.h"
#include "fakes/FakeModel.h"
#include "workbench/text/Texts.h"

namespace zt::cli {
namespace {

TEST(RunExitStatus, FollowsWhatTheRunCameTo) {
  struct Case {
    const char* what;
    RunTally tally;
    int status;
  };
  // cancelled, strict, taken, failed, notTaken, storeFailures
  for (const Case& c : {
           Case{"every operation taken was generated", {false, false, 5, 0, 0, 0}, kExitOk},
           Case{"operations no generator takes do not fail a run", {false, false, 5, 0, 3, 0}, kExitOk},
           Case{"--strict with none of them", {false, true, 5, 0, 0, 0}, kExitOk},
           Case{"--strict with exactly one", {false, true, 5, 0, 1, 0}, kExitFailed},
           Case{"--strict with several", {false, true, 5, 0, 4, 0}, kExitFailed},
           Case{"one taken and not generated", {false, false, 5, 1, 0, 0}, kExitFailed},
           Case{"every one taken failed", {false, false, 5, 5, 0, 0}, kExitFailed},
           Case{"nothing taken at all", {false, false, 0, 0, 0, 0}, kExitFailed},
           Case{"only operations no generator takes", {false, false, 0, 0, 3, 0}, kExitFailed},
           Case{"a store failure of no operation (a database damaged at the end)",
                {false, false, 5, 0, 0, 1},
                kExitFailed},
           Case{"a cancel before anything", {true, false, 0, 0, 0, 0}, kExitCancelled},
           Case{"a cancel outweighs failures", {true, true, 5, 2, 1, 1}, kExitCancelled},
       }) {
    EXPECT_EQ(RunExitStatus(c.tally), c.status) << c.what;
  }
}

// Four operations: the first not taken, the other three generated; then the
// store's batch loses the second's datapool and the third's test, and
// cannot tell whether the fourth's datapool is stored.
TEST(RunReport, CountsWhatTheStoreLostAsNotGenerated) {
  test::FakeClass cls("Calc", "Java");
  std::vector<test::FakeOperation*> ops;
  for (const char* name : {"bean", "add", "sub", "mul"}) ops.push_back(&cls.Op(name, "double"));
  for (bool details : {false, true}) {
    SCOPED_TRACE(details ? "with the details of a summary" : "counts only");
    RunReport report;
    report.Begin(4, details);
    report.Starting(*ops[0], false);
    report.Finished(*ops[0], false, {});
    for (int32_t n = 1; n <= 3; ++n) {
      report.Starting(*ops[static_cast<size_t>(n)], true);
      wb::RunJournal journal;
      journal.scripts = {{"/s/java/Calc" + std::to_string(n) + ".java", "stored"}};
      journal.datapool = "Calc_" + std::to_string(n);
      journal.datapoolOutcome = "created";
      journal.operation = n;
      report.Finished(*ops[static_cast<size_t>(n)], true, journal);
    }
    ASSERT_EQ(report.ExitStatus(false, false, 0), kExitOk);
    // The same operation twice (its datapool and its test) is one operation lost.
    using Kind = wb::StoreBase::LateOutcome::Kind;
    report.Late({{1, Kind::kNotStored, "Calc_1", ""},
                 {2, Kind::kNotStored, "", "/s/java/Calc2.java"},
                 {2, Kind::kNotStored, "Calc_2", ""}});
    EXPECT_EQ(report.Generated(), 1);
    EXPECT_EQ(report.Failed(), 2);
    EXPECT_EQ(report.LostOperations(), 2);
    EXPECT_EQ(report.ExitStatus(false, false, 0), kExitFailed);
    if (!details) continue;
    const std::vector<RunReport::Operation>& operations = report.Operations();
    ASSERT_EQ(operations.size(), 4u);
    EXPECT_FALSE(operations[1].generated);
    EXPECT_EQ(operations[1].datapoolOutcome, "not-stored");
    EXPECT_EQ(operations[1].scripts[0].outcome, "stored");
    EXPECT_FALSE(operations[2].generated);
    EXPECT_EQ(operations[2].scripts[0].outcome, "not-stored");
    EXPECT_TRUE(operations[3].generated);
    EXPECT_EQ(operations[3].datapoolOutcome, "created");
    EXPECT_EQ(operations[1].warnings, std::vector<std::string>{wb::Text(wb::WB_RUN_NOT_STORED, {"Calc_1"})});
    const std::string summary = wb::json::Format(report.Summary("generate", "m.json", "st", 1, false, 1, 4));
    EXPECT_NE(summary.find("\"generated\": 1,"), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"failed\": 2,"), std::string::npos) << summary;
    // A datapool sent to a server that gave no answer may be stored after
    // all: "unknown", to be generated again, never "not-stored"; its
    // operation's test was not placed.
    report.Late({{3, Kind::kUnknown, "Calc_3", ""}});
    EXPECT_EQ(report.Generated(), 0);
    EXPECT_FALSE(operations[3].generated);
    EXPECT_EQ(operations[3].datapoolOutcome, "unknown");
    EXPECT_EQ(operations[3].warnings, std::vector<std::string>{wb::Text(wb::WB_RUN_UNKNOWN, {"Calc_3"})});
  }
}

}  // namespace
}  // namespace zt::cli
