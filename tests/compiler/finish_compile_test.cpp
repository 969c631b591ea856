// The whole compiler on a sorted list: the database decodes back to the
// entries, and the work folder holds what it should along the way.
#include "compiler/finish_compile.h"

#include <gtest/gtest.h>

#include "compiler/byte_order.h"
#include "compiler/compile.h"
#include "compiler/compiler_test_util.h"
#include "support/database_reader.h"
#include "support/test_support.h"
#include "support/word_lists.h"

namespace lexbuild::testing {
namespace {

using Bytes = std::vector<uint8_t>;

struct FinishCompileTest : ::testing::Test {
  TempDir work;
  TempDir out;
  Settings settings = init_settings_with_work_folder(work.path());
  NullConsole console;
  Log log;
  BuildContext context{settings, console, log};

  FinishCompileTest() {
    settings.infile = out.file("list");
    settings.outfile = out.file("Dict.pdb");
    settings.id = "Dict";
  }

  DecodedDictionary build(const Bytes& list) {
    write_bytes(settings.infile, list);
    compile_dictionary(context);
    return read_dictionary(read_bytes(settings.outfile));
  }
  DecodedDictionary build(const std::string& list) { return build(bytes_of(list)); }
};

TEST_F(FinishCompileTest, ALargeListDecodesBackEntryByEntry) {
  // Few initials make groups of thousands that the word table divides; long
  // articles make many translations records.
  const WordList list = make_word_list(7, {.entries = 12000, .initials = "abck"});
  const DecodedDictionary dict = build(list.text);
  EXPECT_EQ(dict.items_count, 12000u);
  ASSERT_EQ(dict.entries.size(), list.expected.size());
  for (size_t i = 0; i < dict.entries.size(); ++i) {
    ASSERT_EQ(dict.entries[i], list.expected[i]) << "entry " << i;
  }
  EXPECT_GT(dict.words_records, 1u);
  EXPECT_GT(dict.trans_records, 10u);
  EXPECT_EQ(dict.pdb.records.size(), 4 + dict.words_records + dict.trans_records);
  EXPECT_GT(get_be16(dict.pdb.records[1].data()), 20) << "divided nodes";
  EXPECT_EQ(list_folder(work.path()), (std::vector<std::string>{"_filter.txt", "_tableDebug.txt"}));
}

TEST_F(FinishCompileTest, AUtf16ListDecodesBackToItsUnits) {
  settings.unicode = 1;
  const WordList list = make_word_list(11, {.entries = 3000, .longest_translation = 4000});
  const DecodedDictionary dict = build(wide_list(list.text));
  EXPECT_EQ(dict.entries, widened(list.expected));
  EXPECT_EQ(get_be32(dict.pdb.records[0].data() + 34), 1u) << "unicode flag";
}

TEST_F(FinishCompileTest, TextThatHardlyCompressesStillFitsItsRecords) {
  // Translations of bytes in no pattern compress to more than they were:
  // ten such chunks would not fit a record.
  uint32_t state = 12345;
  std::string list;
  for (int i = 0; i < 400; ++i) {
    list += "w" + std::to_string(1000 + i) + "\t";
    for (int k = 0; k < 2000; ++k) {
      state = state * 1103515245u + 12345u;
      char c = static_cast<char>(0x21 + (state >> 16) % 0xDE);
      if (c == '\\' || c == '\r') c = '+';
      list += c;
    }
    list += "\r\n";
  }
  const DecodedDictionary dict = build(list);
  EXPECT_EQ(dict.entries.size(), 400u);
  for (const Bytes& record : dict.pdb.records) EXPECT_LE(record.size(), 65535u);
  EXPECT_LT(get_be16(dict.pdb.records[4 + dict.words_records].data()), 10)
      << "the first translations record closed early";
}

TEST_F(FinishCompileTest, NoEntriesGiveOneEmptyRecordOfEachKind) {
  const DecodedDictionary dict = build(std::string("\r\ncat\tanimal\r\n"));
  EXPECT_EQ(dict.items_count, 0u);
  ASSERT_EQ(dict.pdb.records.size(), 6u);
  EXPECT_EQ(dict.pdb.records[1], hex_bytes("00 00"));
  for (size_t r = 2; r < 6; ++r) EXPECT_EQ(dict.pdb.records[r], Bytes(110, 0)) << r;
}

TEST_F(FinishCompileTest, DebugKeepsTheChunkAndRecordFiles) {
  settings.debug = true;
  const DecodedDictionary dict =
      build(std::string("ant\tinsect\r\nbee\tinsect\r\ncat\tanimal\r\n"));
  EXPECT_EQ(dict.entries.size(), 3u);
  EXPECT_EQ(list_folder(work.path()),
            (std::vector<std::string>{"_filter.txt", "_tableDebug.txt", "rec_0.bin", "rec_indT.bin",
                                      "rec_indW.bin", "rec_tab.bin", "rec_trans_000000.bin",
                                      "rec_words_000000.bin", "trans_000000_00003.bin",
                                      "words_000000_00003.bin"}));
}

TEST_F(FinishCompileTest, BothModesGiveTheSameDatabase) {
  // Without --debug the chunks never touch the disk; with it they go through
  // their files as well. The records must not tell the two apart.
  const WordList list = make_word_list(5, {.entries = 6000, .initials = "abcdk"});
  const auto database = [&] {
    write_bytes(settings.infile, bytes_of(list.text));
    compile_dictionary(context);
    Bytes bytes = read_bytes(settings.outfile);
    std::fill_n(bytes.begin() + 36, 8, 0);  // the dates
    return bytes;
  };
  const Bytes plain = database();
  settings.debug = true;
  const Bytes debug = database();
  EXPECT_EQ(plain, debug);
  EXPECT_GT(read_dictionary(plain).trans_records, 5u);
}

TEST_F(FinishCompileTest, OptionalRecordsComeLastAndTheHeaderRecordNamesThem) {
  write_text(settings.aboutfile, "About\r\n");
  write_text(settings.abbrfile, "n. noun");
  write_bytes(work.file("_fntWords.txt"), hex_bytes("01 02"));
  write_bytes(settings.fontfile, hex_bytes("03"));
  write_bytes(settings.kbdfile, hex_bytes("04 05 06"));
  const DecodedDictionary dict = build(std::string("ant\tinsect\r\n"));
  const auto& records = dict.pdb.records;
  ASSERT_EQ(records.size(), 11u);
  EXPECT_EQ(records[6], bytes_of(std::string("About\n") + '\0'));
  EXPECT_EQ(records[7], bytes_of(std::string("n. noun") + '\0'));
  EXPECT_EQ(records[8], hex_bytes("01 02"));
  EXPECT_EQ(records[9], hex_bytes("03"));
  EXPECT_EQ(records[10], hex_bytes("04 05 06"));
  EXPECT_EQ(Bytes(records[0].begin() + 12, records[0].begin() + 26),
            hex_bytes("00 04 00 05 00 06 00 07 00 09 00 08 00 0A"));
  EXPECT_EQ(read_text(settings.aboutfile), "About\r\n") << "sources are only read";
}

}  // namespace
}  // namespace lexbuild::testing
