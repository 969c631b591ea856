// The driver as the user meets it: the built program run in a folder of its own.
#include <gtest/gtest.h>

#include <regex>

#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

const std::regex kTimingLines(
    "\nBeginning of building: \\d\\d:\\d\\d:\\d\\d\\.\\d{1,3}"
    "\nEnding of building:    \\d\\d:\\d\\d:\\d\\d\\.\\d{3}"
    "\nTotal building:        \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\n$");

TEST(DriverEndToEnd, HelpIsPrintedByteForByte) {
  TempDir dir;
  const ProgramResult r = run_lexbuild(dir, {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() + read_text(LEXBUILD_SOURCE_DIR "/tests/data/usage.txt"));
  EXPECT_EQ(list_folder(dir.path()), std::vector<std::string>{}) << "help builds nothing";
}

TEST(DriverEndToEnd, VersionUnknownOptionAndLanguageListEndWithStatusZero) {
  TempDir dir;
  ProgramResult r = run_lexbuild(dir, {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() + "lexbuild version 1.3.23\n");

  r = run_lexbuild(dir, {"--frob"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() +
                       "lexbuild: unrecognized options '--frob'\n"
                       "lexbuild: use the '--help' option for usage information\n");

  r = run_lexbuild(dir, {"--help", "source_language"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\nEnglish\n"), std::string::npos);
  EXPECT_EQ(r.out.find("Beginning of building"), std::string::npos);
}

TEST(DriverEndToEnd, BadValuesEndWithStatusOneBeforeTheLogIsOpened) {
  TempDir dir;
  for (const char* bad : {"--unicode=00", "--id=", "--to_unicode=4"}) {
    const ProgramResult r = run_lexbuild(dir, {"--debug", bad});
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_EQ(r.out.substr(0, banner().size()), banner());
    EXPECT_EQ(r.out.find("lexbuild error: "), banner().size()) << bad;
  }
  EXPECT_FALSE(exists(dir.file("lexbuild.log")));
}

TEST(DriverEndToEnd, TheRunEndsWithTheTimingLines) {
  TempDir dir;
  write_text(dir.file("none.csv"), "");
  const ProgramResult r = run_lexbuild(dir, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_search(r.out, kTimingLines)) << r.out;
}

TEST(DriverEndToEnd, DebugCreatesTheLogInTheCurrentFolder) {
  TempDir dir;
  TempDir work;
  // The log is created once the command line is accepted, even when the
  // build then fails: here the source is missing.
  RunOptions options;
  options.env["TEMP"] = work.path();
  const ProgramResult r = run_lexbuild(dir, {"--debug"}, options);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(exists(dir.file("lexbuild.log")));
  EXPECT_FALSE(exists(work.file("lexbuild.log")));
}

TEST(DriverEndToEnd, AnUndefinedSourceFormatIsFatal) {
  TempDir dir;
  write_text(dir.file("none.csv"), "a,b\n");
  const ProgramResult r = run_lexbuild(dir, {"--source_format=TAB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, banner() + "lexbuild error: undefined source format\n");
}

TEST(DriverEndToEnd, WorkFolderFromTempThenTmpdirThenTmp) {
  TempDir dir;
  RunOptions options;
  options.env["TEMP"] = std::string(256, 'x');
  ProgramResult r = run_lexbuild(dir, {"--version"}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, banner() + "lexbuild error: Could not retrieve TEMP folder\n");

  options.env["TEMP"] = std::nullopt;
  options.env["TMPDIR"] = std::nullopt;
  r = run_lexbuild(dir, {"--version"}, options);
  EXPECT_EQ(r.status, 0) << "/tmp stands in for a missing TEMP";

  options.env["TEMP"] = dir.file("no-such-folder");
  write_text(dir.file("none.csv"), "");
  r = run_lexbuild(dir, {}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("lexbuild error: work folder " + dir.file("no-such-folder")),
            std::string::npos);
}

}  // namespace
}  // namespace lexbuild::testing
