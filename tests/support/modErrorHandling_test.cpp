#include "support/modErrorHandling.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "fakes/FakeHost.h"

namespace zt {
namespace {

class HostLog : public ::testing::Test {
 protected:
  void SetUp() override { SetLogTarget(&app_); }
  void TearDown() override { SetLogTarget(nullptr); }
  test::RecordingApplication app_;
};

TEST_F(HostLog, PrefixOnOwnLinesOnly) {
  LogMessage("datapool created:");
  WriteLogLine("    Bank_Account_deposit");
  LogMessage("");
  EXPECT_EQ(app_.lines, (std::vector<std::string>{"[Verimos]--[Unit Test]: datapool created:",
                                                  "    Bank_Account_deposit", "[Verimos]--[Unit Test]: "}));
}

TEST_F(HostLog, ErrorReportsCarryTheNumberWithItsSignPosition) {
  const ZtError notSet(91, "", "Object variable or With block variable not set");
  ReportError(&notSet, "An error occurred while attempting to initialize the Java generator.");
  const ZtError negative(-2147221490, "", "Cancelled");
  ReportError(&negative, "");
  EXPECT_EQ(app_.lines,
            (std::vector<std::string>{
                "[Verimos]--[Unit Test]: An error occurred while attempting to initialize the Java generator.",
                "[Verimos]--[Unit Test]: Error Number:  91, Object variable or With block variable not set",
                "[Verimos]--[Unit Test]: Error Number: -2147221490, Cancelled"}));
  // No error means no report.
  const ZtError none(0, "", "");
  ReportError(&none, "a message");
  ReportError(nullptr, "a message");
  EXPECT_EQ(app_.lines.size(), 3u);
}

TEST(HostLogBeforeActivation, EveryCallIsSilent) {
  SetLogTarget(nullptr);
  const ZtError error(13, "", "Type mismatch");
  // Nothing to write to, and nothing fails.
  EXPECT_NO_THROW(LogMessage("x"));
  EXPECT_NO_THROW(WriteLogLine("x"));
  EXPECT_NO_THROW(ReportError(&error, "x"));
}

TEST(Errors, RuntimeDescriptionsComeFromTheTable) {
  int* nothing = nullptr;
  const ZtError e = test::Raised([&] { Ref(nothing); });
  EXPECT_EQ(e.Number(), 91);
  EXPECT_EQ(e.Description(), "Object variable or With block variable not set");
  EXPECT_EQ(SignedNumberText(0), " 0");
  EXPECT_EQ(SignedNumberText(-5), "-5");
}

}  // namespace
}  // namespace zt
