// The TAB chain from the user's source to the intermediate list.
#include "intake/chain.h"

#include <gtest/gtest.h>

#include "intake/intake.h"
#include "intake/intake_fixture.h"

namespace lexbuild {
namespace {

using testing::bytes_of;
using testing::read_bytes;
using testing::read_text;
using testing::to_hex;

using TabChain = IntakeTest;

// The "C" rules put the E with acute accent after every ASCII letter; French
// compares whole keys and puts it among the e's.
constexpr std::string_view kSource =
    "dog\tanimal\n\ncat\tanimal\n\xC9"
    "cole\tschool\neel\tfish\n";

TEST_F(TabChain, DefaultsCutAndSortIntoOneStageFile) {
  const std::string path = source(kSource);
  CurrentList list(settings_);
  prepare_tab_list(context_, list);
  EXPECT_EQ(console_.text(), "Sorting...\n");
  EXPECT_EQ(stage_files(), std::vector<std::string>{"csv_cut_out1"});
  EXPECT_EQ(settings_.infile, tmp_.file("csv_cut_out1"));
  EXPECT_EQ(read_text(settings_.infile),
            "cat\tanimal\r\ndog\tanimal\r\neel\tfish\r\n\xC9"
            "cole\tschool\r\n");
  EXPECT_EQ(read_text(path), kSource);
}

TEST_F(TabChain, WithoutCuttingOrConversionTheSourceIsCopiedFirst) {
  settings_.cutlong = 0;
  const std::string path = source(kSource);
  CurrentList list(settings_);
  prepare_tab_list(context_, list);
  EXPECT_NE(settings_.infile, path);
  EXPECT_EQ(read_text(settings_.infile),
            "cat\tanimal\r\ndog\tanimal\r\neel\tfish\r\n\xC9"
            "cole\tschool\r\n");
  EXPECT_EQ(read_text(path), kSource) << "the sort never rewrites the source";
  list.remove();
  EXPECT_TRUE(testing::exists(path)) << "nor does the intake delete it";
  EXPECT_EQ(stage_files(), std::vector<std::string>{});
}

TEST_F(TabChain, ConversionReplacesTheCutListAndSortsWholeKeys) {
  for (int to_unicode : {1, 3}) {
    settings_.to_unicode = to_unicode;
    settings_.unicode = 1;
    settings_.source_language = "French";
    source(kSource);
    console_.clear();
    CurrentList list(settings_);
    prepare_tab_list(context_, list);
    EXPECT_EQ(console_.text(), "Converting to unicode...\nSorting...\n");
    EXPECT_EQ(stage_files().size(), 1u) << "the cut list is gone";
    EXPECT_EQ(to_hex(read_bytes(settings_.infile)),
              "63 00 61 00 74 00 09 00 61 00 6E 00 69 00 6D 00 61 00 6C 00 0D 0A "
              "64 00 6F 00 67 00 09 00 61 00 6E 00 69 00 6D 00 61 00 6C 00 0D 0A "
              "C9 00 63 00 6F 00 6C 00 65 00 09 00 73 00 63 00 68 00 6F 00 6F 00 6C 00 0D 0A "
              "65 00 65 00 6C 00 09 00 66 00 69 00 73 00 68 00 0D 0A");
    list.remove();
    EXPECT_EQ(stage_files(), std::vector<std::string>{});
  }
}

TEST_F(TabChain, ConversionWithoutCuttingReadsTheSourceAndLeavesIt) {
  settings_.cutlong = 0;
  settings_.to_unicode = 2;
  settings_.unicode = 1;
  const std::string path = source("b\t2\na\t1\n");
  CurrentList list(settings_);
  prepare_tab_list(context_, list);
  EXPECT_EQ(stage_files(), std::vector<std::string>{"dic_unicode1"});
  EXPECT_EQ(to_hex(read_bytes(settings_.infile)),
            "61 00 09 00 31 00 0D 0A 62 00 09 00 32 00 0D 0A");
  EXPECT_EQ(read_text(path), "b\t2\na\t1\n");
}

TEST_F(TabChain, TheSelectedLocaleStaysForTheCompilersLowerCase) {
  settings_.source_language = "Russian";
  source("a\tb\n");
  CurrentList list(settings_);
  prepare_tab_list(context_, list);
  EXPECT_EQ(context_.lower_case[0xC0], 0xE0);
  EXPECT_EQ(context_.lower_case[0xA8], 0xB8);

  settings_.source_language = "Klingon";
  prepare_tab_list(context_, list);
  EXPECT_EQ(context_.lower_case, c_lower_case());
}

TEST_F(TabChain, TabIntakeCompilesTheListThenDeletesIt) {
  const std::string path = source(kSource);
  settings_.outfile = work_.file("Test.pdb");
  EXPECT_EQ(tab_intake(context_), 0);
  EXPECT_EQ(console_.text().rfind("Analyzing...\nSorting...\nParsing...\n", 0), 0u)
      << console_.text();
  // The compiler's trace holds the lines of the list it was handed.
  EXPECT_EQ(read_text(work_.file("_filter.txt")),
            "cat\tanimal\r\ndog\tanimal\r\neel\tfish\r\n\xC9"
            "cole\tschool\r\n");
  EXPECT_EQ(stage_files(), std::vector<std::string>{});
  EXPECT_EQ(read_text(path), kSource);
}

}  // namespace
}  // namespace lexbuild
