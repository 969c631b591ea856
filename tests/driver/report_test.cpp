#include "driver/report.h"

#include <gtest/gtest.h>

namespace lexbuild {
namespace {

TEST(Report, FatalReportsCarryTextAndStatus) {
  try {
    report_fatal("could not open %s file\n", "x.csv");
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_EQ(e.output(), "lexbuild error: could not open x.csv file\n");
    EXPECT_EQ(e.exit_status(), 1);
    EXPECT_EQ(e.channel(), FatalError::Channel::kStdout);
  }
  try {
    report_fatal_plain("wrong CRC in file");
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_EQ(e.output(), "wrong CRC in file");
    EXPECT_EQ(e.exit_status(), 1);
  }
  try {
    scanner_fatal("input in flex scanner failed");
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_EQ(e.output(), "input in flex scanner failed\n");
    EXPECT_EQ(e.exit_status(), 2);
    EXPECT_EQ(e.channel(), FatalError::Channel::kStderr);
  }
}

TEST(Report, LongMessagesAreCutAt511Characters) {
  const std::string long_name(2000, 'x');
  try {
    report_fatal("could not open %s file\n", long_name.c_str());
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_EQ(e.output(), "lexbuild error: could not open " + std::string(511 - 15, 'x'));
  }
}

TEST(Report, WarningsGoToTheConsoleAndTheRunGoesOn) {
  StringConsole console;
  report_warning(console, "(WARNING) line %d has no tab\n", 3);
  EXPECT_EQ(console.text(), "lexbuild: (WARNING) line 3 has no tab\n");
}

}  // namespace
}  // namespace lexbuild
