// The TAB intake as the user meets it: the built program on a tab-separated
// source in a folder of its own.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

bool has_stage_file(const TempDir& dir) {
  for (const std::string& name : list_folder(dir.path())) {
    if (name.rfind("csv_cut_out", 0) == 0 || name.rfind("dic_unicode", 0) == 0) return true;
  }
  return false;
}

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

constexpr std::string_view kSource = "dog\tanimal\r\ncat\tanimal\r\n";

// The lines of the intermediate list, as the compiler traces them.
std::string traced_list(const TempDir& dir) { return read_text(dir.file("_filter.txt")); }

TEST(TabIntakeEndToEnd, TheCompilerGetsTheSortedListAndNoStageFileRemains) {
  const std::string sorting = "Analyzing...\nSorting...\nParsing...\n";
  const std::string converting = "Analyzing...\nConverting to unicode...\nSorting...\nParsing...\n";
  const std::string list = "cat\tanimal\r\ndog\tanimal\r\n";
  std::string list16;
  for (char c : std::string_view("cat\tanimal\rdog\tanimal\r")) {
    list16 += c == '\r' ? std::string("\r\n") : std::string{c, '\0'};
  }
  const struct {
    std::vector<std::string> options;
    std::string progress;
    std::string list;
  } runs[] = {
      {{}, sorting, list},
      {{"--debug"}, sorting, list},
      {{"--cutlong=0"}, sorting, list},
      {{"--cutlong=0", "--to_unicode=1"}, converting, list16},
      {{"--to_unicode=2", "--source_language=Russian"}, converting, list16},
  };
  for (const auto& run : runs) {
    TempDir dir;
    write_text(dir.file("words.txt"), kSource);
    std::vector<std::string> args = run.options;
    args.push_back("--infile=words.txt");
    const ProgramResult r = run_lexbuild(dir, args);
    EXPECT_TRUE(starts_with(r.out, banner() + run.progress)) << r.out;
    EXPECT_EQ(traced_list(dir), run.list) << r.out;
    EXPECT_EQ(read_text(dir.file("words.txt")), kSource);
    EXPECT_FALSE(has_stage_file(dir)) << r.out;
  }
}

TEST(TabIntakeEndToEnd, AMissingSourceIsReported) {
  TempDir dir;
  const ProgramResult r = run_lexbuild(dir, {"--infile=nothing.tab", "--source_format=tab"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, banner() + "Analyzing...\nlexbuild error: 'nothing.tab' no such input file\n");
}

TEST(TabIntakeEndToEnd, WarningsAndLimitReports) {
  TempDir dir;
  write_text(dir.file("words.txt"), "cat\tanimal\nabcdefghijklmnopqrstuvwxyz0123\n");
  ProgramResult r = run_lexbuild(dir, {"--infile=words.txt"});
  EXPECT_TRUE(starts_with(r.out, banner() + "Analyzing...\nlexbuild: (WARNING) line 2 has no tab\n"
                                            "Sorting...\n"))
      << r.out;

  r = run_lexbuild(dir, {"--infile=words.txt", "--cutlong=0"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, banner() +
                       "Analyzing...\n"
                       "lexbuild error: word length is more than 25 bytes, line 2\n");
  EXPECT_FALSE(has_stage_file(dir));
  EXPECT_TRUE(exists(dir.file("words.txt")));
}

}  // namespace
}  // namespace lexbuild::testing
