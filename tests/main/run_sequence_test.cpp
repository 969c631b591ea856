#include "main/run_sequence.h"

#include <gtest/gtest.h>

#include "driver/report.h"
#include "support/test_support.h"

namespace lexbuild {
namespace {

using testing::TempDir;
using testing::write_text;

std::string detected(const TempDir& dir, std::string_view content, std::string format = ".csv") {
  write_text(dir.file("src"), content);
  Settings settings = init_settings_with_work_folder(dir.path());
  settings.infile = dir.file("src");
  settings.source_format = format;
  detect_source_format(settings);
  return settings.source_format;
}

TEST(DetectSourceFormat, ATabWithinTheFirst49CharactersMeansTab) {
  TempDir dir;
  EXPECT_EQ(detected(dir, "cat\tanimal\r\n"), ".tab");
  EXPECT_EQ(detected(dir, std::string(48, 'x') + "\t"), ".tab");
  EXPECT_EQ(detected(dir, std::string(49, 'x') + "\t"), ".csv");
  // Line ends are counted as read in text mode: CR LF is one character.
  std::string crlf_lines;
  for (int i = 0; i < 24; ++i) crlf_lines += "\r\n";
  EXPECT_EQ(detected(dir, crlf_lines + std::string(24, 'x') + "\t"), ".tab");
  EXPECT_EQ(detected(dir, "\"cat\",\"animal\"\n"), ".csv");
  EXPECT_EQ(detected(dir, "cat\tanimal\n", ".csv"), ".tab");
}

TEST(DetectSourceFormat, AZeroByteOrMissingFileStopsTheSearch) {
  TempDir dir;
  // A 16-bit source: the zero byte after 'c' ends the search before its TAB.
  EXPECT_EQ(detected(dir, std::string("c\0\t\0", 4)), ".csv");
  EXPECT_EQ(detected(dir, std::string("\t\0", 2)), ".tab");
  EXPECT_EQ(detected(dir, std::string("ab\x1A\t", 4)), ".csv") << "0x1A ends text input";
  Settings settings = init_settings_with_work_folder(dir.path());
  settings.infile = dir.file("missing");
  settings.source_format = ".weird";
  detect_source_format(settings);
  EXPECT_EQ(settings.source_format, ".weird");
}

TEST(DeriveOutfile, OnlyTheDefaultNameIsReplaced) {
  Settings settings;
  settings.id = "MyDict";
  derive_outfile(settings);
  EXPECT_EQ(settings.outfile, "MyDict.pdb");
  settings.outfile = "None.pdb";
  derive_outfile(settings);
  EXPECT_EQ(settings.outfile, "None.pdb");
}

TEST(IntakeIndex, CaseSensitiveFormats) {
  Settings settings;
  EXPECT_EQ(intake_index(settings), 0);
  settings.source_format = ".tab";
  EXPECT_EQ(intake_index(settings), 1);
  settings.source_format = ".TAB";
  try {
    intake_index(settings);
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_EQ(e.output(), "lexbuild error: undefined source format\n");
  }
}

}  // namespace
}  // namespace lexbuild
