// The CSV chain as the user meets it: the built program run on a CSV source.
#include <gtest/gtest.h>

#include "support/round_trip.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

class CsvEndToEnd : public ::testing::Test {
 protected:
  TempDir dir_;
  // Stage files and the trace land in the work folder.
  TempDir work_;

  ProgramResult build(std::vector<std::string> args = {}) {
    RunOptions options;
    options.env["TEMP"] = work_.path();
    options.env["TMP"] = work_.path();
    return run_lexbuild(dir_, args, options);
  }
  // The list the compiler read, as it traced it.
  std::string compiled_list() { return read_text(work_.file("_filter.txt")); }
};

TEST_F(CsvEndToEnd, WithoutArgumentsNoneCsvIsSortedAndCompiledIntoNonePdb) {
  write_text(dir_.file("none.csv"),
             "\"dog\",\"a \"\"big\"\" animal\"\r\ncat,animal,pet\r\n\r\nant\r\n");
  const ProgramResult r = build();
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(exists(dir_.file("none.pdb")));
  EXPECT_EQ(compiled_list(), "ant\t\r\ncat\tanimal\\npet\r\ndog\ta \"big\" animal\r\n");
  EXPECT_TRUE(round_trips_lines(dir_.file("none.pdb"),
                                {"ant\t", "cat\tanimal \\npet", "dog\ta \"big\" animal"}));
  // "Analyzing...", the empty line echoed for the blank source line, "Sorting...".
  EXPECT_NE(r.out.find("Analyzing...\n\nSorting...\nParsing...\n"), std::string::npos) << r.out;
  // Nothing of the intake is left: no stage file, no directive file.
  for (const std::string& name : list_folder(work_.path())) {
    EXPECT_TRUE(name == "_filter.txt" || name == "_tableDebug.txt") << name << " was left";
  }
}

TEST_F(CsvEndToEnd, TheIdDirectiveNamesTheDictionaryButNotTheFile) {
  write_text(dir_.file("none.csv"), "#@!Velmora!@# ID=[MyDict]\r\na,b\r\n");
  const ProgramResult r = build();
  ASSERT_EQ(r.status, 0) << r.out;
  const std::vector<uint8_t> db = read_bytes(dir_.file("none.pdb"));
  ASSERT_GE(db.size(), 32u);
  EXPECT_EQ(std::string(db.begin(), db.begin() + 7), std::string("MyDict\0", 7));
  EXPECT_FALSE(exists(dir_.file("MyDict.pdb")));
  EXPECT_EQ(compiled_list(), "a\tb\r\n");
}

TEST_F(CsvEndToEnd, ASyntaxErrorNamesTheLineAndLeavesTheStageFileOnlyWithDebug) {
  write_text(dir_.file("none.csv"), "a,b\r\nc,d\"e\r\n");
  ProgramResult r = build();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("lexbuild error: Error parsing at line: 2")) << r.out;
  EXPECT_EQ(list_folder(work_.path()), std::vector<std::string>{}) << "the failed build tidied up";
  EXPECT_FALSE(exists(dir_.file("none.pdb")));

  // --debug keeps what the build had, for the user to send in.
  r = build({"--debug"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_text(work_.file("csv_out1")), "a\tb\r\nc\td");
  EXPECT_FALSE(exists(dir_.file("none.pdb")));
}

TEST_F(CsvEndToEnd, AMissingSourceIsReportedWithItsName) {
  const ProgramResult r = build({"--infile=absent.csv"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(
      r.out.ends_with("lexbuild error: could not open absent.csv file\nuse the '--help' "
                      "option for usage information\n"))
      << r.out;
}

}  // namespace
}  // namespace lexbuild::testing
