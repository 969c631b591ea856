// The optional records made from the about, abbreviations, font and keyboard files.
#include "compiler/auxiliary_records.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes compacted(const std::string& hex) {
  Bytes bytes = hex_bytes(hex);
  bytes.resize(crlf_to_lf(bytes));
  return bytes;
}

TEST(CrlfToLf, OnlyCrLfPairsBecomeLf) {
  EXPECT_EQ(compacted("41 0D 0A 42 0D 0A"), hex_bytes("41 0A 42 0A"));
  EXPECT_EQ(compacted("41 0D 42 0A 0D"), hex_bytes("41 0D 42 0A 0D")) << "lone CRs stay";
  EXPECT_EQ(compacted("0D 0D 0A 0A"), hex_bytes("0D 0A 0A"));
  EXPECT_EQ(compacted(""), Bytes{});
}

struct AuxiliaryRecordsTest : ::testing::Test {
  TempDir work;
  TempDir sources;
  Settings settings = init_settings_with_work_folder(work.path());
  StringConsole console;
  Log log;
  BuildContext context{settings, console, log};
  PresenceFlags present;

  void write_all_five() {
    write_bytes(settings.aboutfile, hex_bytes("41 0D 0A 42 0D 0A"));
    write_bytes(settings.abbrfile, hex_bytes("61 0D 62 0D 0A"));
    write_bytes(work.file("_fntWords.txt"), hex_bytes("0D 0A 00 01"));
    write_bytes(settings.fontfile, hex_bytes("00 0D 0A"));
    write_bytes(settings.kbdfile, hex_bytes("6B"));
  }
  void write_records() {
    write_about_record(context, present);
    write_abbr_record(context, present);
    copy_font_words_record(context, present);
    copy_font_trans_record(context, present);
    copy_kbd_record(context, present);
  }
};

TEST_F(AuxiliaryRecordsTest, TextsLoseTheirCrsAndEndInZeroFontsAndKeyboardAreCopied) {
  settings.aboutfile = sources.file("about.txt");
  settings.fontfile = sources.file("trans.fnt");
  write_all_five();
  write_records();
  EXPECT_TRUE(present.has_about && present.has_abbr && present.has_font_words &&
              present.has_font_trans && present.has_kbd);
  EXPECT_EQ(read_bytes(work.file("rec_about.bin")), hex_bytes("41 0A 42 0A 00"));
  EXPECT_EQ(read_bytes(work.file("rec_abbr.bin")), hex_bytes("61 0D 62 0A 00"));
  EXPECT_EQ(read_bytes(work.file("rec_fntWords.bin")), hex_bytes("0D 0A 00 01"));
  EXPECT_EQ(read_bytes(work.file("rec_fntTrans.bin")), hex_bytes("00 0D 0A"));
  EXPECT_EQ(read_bytes(work.file("rec_kbd.bin")), hex_bytes("6B"));
  EXPECT_EQ(read_bytes(settings.aboutfile), hex_bytes("41 0D 0A 42 0D 0A")) << "sources stay";
}

TEST_F(AuxiliaryRecordsTest, MissingFilesMeanAbsentRecordsAndAnEmptyTextStillCounts) {
  write_records();
  EXPECT_FALSE(present.has_about || present.has_abbr || present.has_font_words ||
               present.has_font_trans || present.has_kbd);
  EXPECT_TRUE(list_folder(work.path()).empty());

  write_bytes(settings.aboutfile, {});
  write_about_record(context, present);
  EXPECT_TRUE(present.has_about);
  EXPECT_EQ(read_bytes(work.file("rec_about.bin")), hex_bytes("00"));
}

TEST_F(AuxiliaryRecordsTest, AFileTheCommandLineNamedMustExist) {
  // The user asked for the record: leaving it out silently would lose it.
  settings.kbdfile = sources.file("gone.kbd");
  settings.kbdfile_given = true;
  const std::string expected = "lexbuild error: the keyboard file " + settings.kbdfile +
                               " named by --kbdfile= cannot be read: No such file or directory; "
                               "name an existing file or leave the option out\n";
  EXPECT_EQ(fatal_text([&] { check_named_side_files(settings); }), expected);
  EXPECT_EQ(fatal_text([&] { copy_kbd_record(context, present); }), expected);
  EXPECT_FALSE(present.has_kbd);

  // The same file by default may be missing; the others named may be there.
  settings.kbdfile_given = false;
  settings.aboutfile = sources.file("about.txt");
  settings.aboutfile_given = true;
  write_bytes(settings.aboutfile, hex_bytes("41"));
  check_named_side_files(settings);
  write_records();
  EXPECT_TRUE(present.has_about);
  EXPECT_FALSE(present.has_kbd);
}

TEST_F(AuxiliaryRecordsTest, FilesTooLargeForARecordAreRefusedWithTheirPath) {
  // A copy may take all 65,535 bytes; a text needs one more for its zero.
  write_bytes(settings.kbdfile, Bytes(65535, 'k'));
  copy_kbd_record(context, present);
  EXPECT_EQ(read_bytes(work.file("rec_kbd.bin")).size(), 65535u);

  write_bytes(settings.fontfile, Bytes(65536, 'f'));
  EXPECT_EQ(fatal_text([&] { copy_font_trans_record(context, present); }),
            "lexbuild error: '" + settings.fontfile +
                "' is too large for a dictionary record: it needs 65536 bytes, but a record holds "
                "at most 65535; shorten the file\n");
  EXPECT_FALSE(present.has_font_trans);
  EXPECT_FALSE(exists(work.file("rec_fntTrans.bin")));

  write_bytes(settings.aboutfile, Bytes(65535, 'a'));
  EXPECT_EQ(fatal_text([&] { write_about_record(context, present); }),
            "lexbuild error: '" + settings.aboutfile +
                "' is too large for a dictionary record: it needs 65536 bytes, but a record holds "
                "at most 65535; shorten the file\n");

  // With CR LF pairs to spare, 65,535 bytes fit.
  Bytes text(65533, 'b');
  text.push_back('\r');
  text.push_back('\n');
  write_bytes(settings.abbrfile, text);
  write_abbr_record(context, present);
  EXPECT_EQ(read_bytes(work.file("rec_abbr.bin")).size(), 65535u);
}

TEST_F(AuxiliaryRecordsTest, AFileThatExistsButCannotBeReadIsFatal) {
  std::filesystem::create_directory(settings.abbrfile);
  EXPECT_EQ(fatal_text([&] { write_abbr_record(context, present); }),
            "lexbuild error: could not read '" + settings.abbrfile +
                "': Is a directory; make it readable or leave it out\n");
}

}  // namespace
}  // namespace lexbuild::testing
