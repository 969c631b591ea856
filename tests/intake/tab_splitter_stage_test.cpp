// The splitter stage on files: how it reads the list, what it writes, and
// which files it leaves.
#include <gtest/gtest.h>

#include "driver/report.h"
#include "intake/intake_fixture.h"
#include "intake/tab_splitter.h"

namespace lexbuild {
namespace {

using testing::bytes_of;
using testing::hex_bytes;
using testing::read_bytes;
using testing::read_text;
using testing::to_hex;

using TabSplitterStage = IntakeTest;

TEST_F(TabSplitterStage, WritesItsStageFileWhichBecomesTheCurrentList) {
  const std::string path = source("cat\tanimal\ndog\tanimal");
  CurrentList list(settings_);
  EXPECT_EQ(csv_cut_out(context_, list, false), 1);
  EXPECT_EQ(list.path(), tmp_.file("csv_cut_out1"));
  EXPECT_EQ(settings_.infile, list.path());
  EXPECT_TRUE(list.is_stage_file());
  EXPECT_EQ(read_text(list.path()), "cat\tanimal\r\ndog\tanimal\r\n");
  EXPECT_EQ(read_text(path), "cat\tanimal\ndog\tanimal") << "the source is only read";
}

TEST_F(TabSplitterStage, HeldForTheSortItsLinesStayInMemoryAndTheFileKeepsTheName) {
  source("cat\tanimal\rdog\tanimal");
  CurrentList list(settings_);
  list.allow_holding(true);
  csv_cut_out(context_, list, false);
  EXPECT_EQ(list.path(), tmp_.file("csv_cut_out1"));
  EXPECT_EQ(read_text(list.path()), "") << "created, to hold the name";
  const std::optional<std::vector<uint8_t>> held = list.take_held();
  ASSERT_TRUE(held.has_value());
  EXPECT_FALSE(list.is_held());
  EXPECT_EQ(std::string(held->begin(), held->end()), "cat\tanimal\r\ndog\tanimal\r\n");

  // Replacing the list lets go of what it held.
  csv_cut_out(context_, list, false);
  ASSERT_TRUE(list.is_held());
  list.replace(tmp_.file("other"));
  EXPECT_FALSE(list.take_held().has_value());
}

TEST_F(TabSplitterStage, CarriageReturnsOnTheirOwnEndLines) {
  source(
      "a\t1\r\r\nb\t2\rc\t3\r\rd\t4\r\n\x1A"
      "e\t5\r\n");
  CurrentList list(settings_);
  csv_cut_out(context_, list, false);
  EXPECT_EQ(read_text(list.path()), "a\t1\r\nb\t2\r\nc\t3\r\n\r\nd\t4\r\n");
}

TEST_F(TabSplitterStage, CheckingWritesNothingUnlessACopyIsWanted) {
  settings_.cutlong = 0;
  source("cat\tanimal\n");
  CurrentList list(settings_);
  csv_cut_out(context_, list, false);
  EXPECT_EQ(list.path(), settings_.infile);
  EXPECT_FALSE(list.is_stage_file());
  EXPECT_EQ(stage_files(), std::vector<std::string>{});

  csv_cut_out(context_, list, true);
  EXPECT_TRUE(list.is_stage_file());
  EXPECT_EQ(read_text(list.path()), "cat\tanimal\r\n");
}

TEST_F(TabSplitterStage, AFailedCheckDeletesAStageFileInputAndItsCopyButNeverTheSource) {
  settings_.cutlong = 0;
  const std::string path = source("cat\tanimal\n" + std::string(26, 'w') + "\tx\n");
  CurrentList list(settings_);
  EXPECT_THROW(csv_cut_out(context_, list, true), FatalError);
  EXPECT_TRUE(testing::exists(path));
  EXPECT_EQ(stage_files(), std::vector<std::string>{});

  // A stage file being checked (the CSV chain's) is deleted.
  const std::string stage = tmp_.file("csv_out7");
  testing::write_text(stage, "cat\tanimal\n" + std::string(26, 'w') + "\tx\n");
  list.replace(stage);
  try {
    csv_cut_out(context_, list, false);
    FAIL() << "no fatal report";
  } catch (const FatalError& error) {
    EXPECT_EQ(error.output(), "lexbuild error: word length is more than 25 bytes, line 2\n");
  }
  EXPECT_FALSE(testing::exists(stage));
}

TEST_F(TabSplitterStage, AMissingSourceIsFatal) {
  settings_.infile = work_.file("missing.tab");
  CurrentList list(settings_);
  try {
    csv_cut_out(context_, list, false);
    FAIL() << "no fatal report";
  } catch (const FatalError& error) {
    EXPECT_EQ(error.output(),
              "lexbuild error: '" + work_.file("missing.tab") + "' no such input file\n");
  }
  EXPECT_EQ(stage_files(), std::vector<std::string>{}) << "no empty list is handed on";
}

// A source already in 16 bits is scanned in units: byte-order mark dropped,
// the three kinds of line end accepted, the list's own form written.
TEST_F(TabSplitterStage, ASixteenBitSourceIsScannedInUnits) {
  settings_.unicode = 1;
  source(
      hex_bytes("FF FE 61 00 09 00 0A 04 0D 00 0A 00"  // a TAB U+040A, CR LF units
                "62 00 09 00 09 0A 0A 00"              // b TAB U+0A09, lone LF
                "63 00 09 00 31 00 0D 0A"              // c TAB 1, the list's line end
                "64 00 09 00 32 00"));                 // d TAB 2, no line end
  CurrentList list(settings_);
  csv_cut_out(context_, list, false);
  EXPECT_EQ(to_hex(read_bytes(list.path())),
            "61 00 09 00 0A 04 0D 0A 62 00 09 00 09 0A 0D 0A "
            "63 00 09 00 31 00 0D 0A 64 00 09 00 32 00 0D 0A");
}

TEST_F(TabSplitterStage, SixteenBitLimitsCountCharacters) {
  settings_.unicode = 1;
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 13; ++i) bytes.insert(bytes.end(), {0x30, 0x04});  // 13 x U+0430
  bytes.insert(bytes.end(), {0x09, 0x00, 0x78, 0x00, 0x0D, 0x0A});
  source(bytes);
  settings_.cutlong = 0;
  CurrentList list(settings_);
  try {
    csv_cut_out(context_, list, true);
    FAIL() << "no fatal report";
  } catch (const FatalError& error) {
    EXPECT_EQ(error.output(), "lexbuild error: word length is more than 25 bytes, line 1\n");
  }
}

}  // namespace
}  // namespace lexbuild
