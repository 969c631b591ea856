// Whole builds as the user runs them: a tab-separated source through the
// intake, the compiler and the assembly into a database that decodes back to
// the sorted source.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "compiler/byte_order.h"
#include "support/database_reader.h"
#include "support/round_trip.h"
#include "support/test_support.h"
#include "support/word_lists.h"

namespace lexbuild::testing {
namespace {

using Bytes = std::vector<uint8_t>;

const std::regex kTimingLines(
    "\nBeginning of building: \\d\\d:\\d\\d:\\d\\d\\.\\d{1,3}"
    "\nEnding of building:    \\d\\d:\\d\\d:\\d\\d\\.\\d{3}"
    "\nTotal building:        \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\n$");

struct BuildEndToEnd : ::testing::Test {
  TempDir dir;   // the current folder, with the source and the database
  TempDir work;  // TEMP and TMP

  ProgramResult build(const std::vector<std::string>& args) {
    RunOptions options;
    options.env["TEMP"] = work.path();
    options.env["TMP"] = work.path();
    return run_lexbuild(dir, args, options);
  }
};

TEST_F(BuildEndToEnd, OneEntryGivesSixRecordsAndTheProgressOfEveryStage) {
  write_text(dir.file("words.tab"), "cat\tanimal\r\n");
  const ProgramResult r = build({"--infile=words.tab"});
  ASSERT_EQ(r.status, 0) << r.out;

  const std::string text = r.out.substr(0, r.out.find("\nBeginning of building"));
  EXPECT_EQ(text, banner() +
                      "Analyzing...\nSorting...\nParsing...\n\r1 word parsing\n"
                      "Creating word table...\nitemsCount = 1\n"
                      "Preparing data...\nCompressing data...\nWriting file...\n"
                      "\r550 byte has been allocated\r568 byte has been allocated"
                      "\r678 byte has been allocated\r788 byte has been allocated"
                      "\r908 byte has been allocated\r1030 byte has been allocated"
                      "\nData size to be written 1030 byte\n"
                      "1030 byte has been successfully written\n");
  EXPECT_TRUE(std::regex_search(r.out, kTimingLines)) << r.out;

  // The output is named after the default identifier.
  const Bytes file = read_bytes(dir.file("none.pdb"));
  ASSERT_EQ(file.size(), 78u + 6 * 8 + 2 + 1030);
  const DecodedDictionary dict = read_dictionary(file);
  const auto& records = dict.pdb.records;
  EXPECT_EQ(records[1], hex_bytes("00 01 63 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00"));
  // Literals c, a, t after the length byte, then the end marker: one packet.
  Bytes words = hex_bytes("00 01 00 00 00 00 00 00 00 01 00 6E 00 0A 00 00 00 00 00 01");
  words.resize(110);
  const Bytes words_chunk = hex_bytes("2F 00 04 63 61 74 01 00 00 00");
  words.insert(words.end(), words_chunk.begin(), words_chunk.end());
  EXPECT_EQ(to_hex(records[4]), to_hex(words));
  EXPECT_EQ(to_hex(records[2]), to_hex(Bytes(words.begin(), words.begin() + 110)));
  EXPECT_EQ(to_hex(Bytes(records[5].begin() + 110, records[5].end())),
            "7F 01 07 61 6E 69 6D 61 6C 01 00 00");
  EXPECT_EQ(dict.entries, (std::vector<DecodedEntry>{{"cat", "animal"}}));
  EXPECT_TRUE(round_trips(dir.file("none.pdb"), {{"cat", "animal"}}));

  EXPECT_EQ(list_folder(work.path()), (std::vector<std::string>{"_filter.txt", "_tableDebug.txt"}));
  EXPECT_EQ(list_folder(dir.path()), (std::vector<std::string>{"none.pdb", "words.tab"}));
}

TEST_F(BuildEndToEnd, AShuffledListDecodesBackToTheSortedEntries) {
  const WordList list =
      make_word_list(5, {.entries = 20000, .initials = "abcdt", .plain_words = true});
  write_text(dir.file("words.tab"), list.shuffled);
  const ProgramResult r = build({"--infile=words.tab", "--id=MyDict"});
  ASSERT_EQ(r.status, 0) << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);

  const DecodedDictionary dict = read_dictionary(read_bytes(dir.file("MyDict.pdb")));
  EXPECT_EQ(std::string(dict.pdb.header.begin(), dict.pdb.header.begin() + 7),
            std::string("MyDict\0", 7));
  ASSERT_EQ(dict.entries.size(), list.expected.size());
  for (size_t i = 0; i < dict.entries.size(); ++i) {
    ASSERT_EQ(dict.entries[i], list.expected[i]) << "entry " << i;
  }
  EXPECT_GT(dict.trans_records, 1u);
  EXPECT_TRUE(round_trips(dir.file("MyDict.pdb"), list.expected));
  EXPECT_EQ(read_text(dir.file("words.tab")), list.shuffled) << "the source is only read";
  EXPECT_EQ(list_folder(work.path()), (std::vector<std::string>{"_filter.txt", "_tableDebug.txt"}));
}

TEST_F(BuildEndToEnd, DebugKeepsRecordAndChunkFilesAndLogsTheAssembly) {
  write_text(dir.file("words.tab"), "dog\tanimal\r\ncat\tanimal\r\n");
  const ProgramResult r = build({"--infile=words.tab", "--id=MyDict", "--debug"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\r550 byte has been allocated, "), std::string::npos);
  EXPECT_EQ(list_folder(work.path()),
            (std::vector<std::string>{"_filter.txt", "_tableDebug.txt", "rec_0.bin", "rec_indT.bin",
                                      "rec_indW.bin", "rec_tab.bin", "rec_trans_000000.bin",
                                      "rec_words_000000.bin", "trans_000000_00002.bin",
                                      "words_000000_00002.bin"}));
  EXPECT_EQ(read_text(dir.file("lexbuild.log")),
            "Additition rec_0.bin file\r\nAdditition rec_tab.bin file\r\n"
            "Additition rec_indW.bin file\r\nAdditition rec_indT.bin file\r\n"
            "Additition rec_words_000000.bin file\r\nAdditition rec_trans_000000.bin file\r\n");
  const DecodedDictionary dict = read_dictionary(read_bytes(dir.file("MyDict.pdb")));
  EXPECT_EQ(dict.entries, (std::vector<DecodedEntry>{{"cat", "animal"}, {"dog", "animal"}}));

  // The next build does not take the kept files for its own.
  write_text(dir.file("words.tab"), "emu\tbird\r\n");
  ASSERT_EQ(build({"--infile=words.tab", "--id=MyDict"}).status, 0);
  EXPECT_EQ(read_dictionary(read_bytes(dir.file("MyDict.pdb"))).entries,
            (std::vector<DecodedEntry>{{"emu", "bird"}}));
}

TEST_F(BuildEndToEnd, AConversionToUtf16StoresUnits) {
  write_text(dir.file("words.tab"), "cat\tanimal\r\n");
  const ProgramResult r = build({"--infile=words.tab", "--to_unicode=1"});
  ASSERT_EQ(r.status, 0) << r.out;
  const DecodedDictionary dict = read_dictionary(read_bytes(dir.file("none.pdb")));
  EXPECT_EQ(dict.entries, widened({{"cat", "animal"}}));
  EXPECT_TRUE(round_trips(dir.file("none.pdb"), widened({{"cat", "animal"}}), /*unicode=*/true));
  EXPECT_EQ(get_be32(dict.pdb.records[0].data() + 34), 1u);
}

TEST_F(BuildEndToEnd, AFailedBuildLeavesAnEarlierDatabaseAsItWas) {
  write_text(dir.file("words.tab"), "cat\tanimal\r\n");
  write_text(dir.file("MyDict.pdb"), "an earlier build");
  std::filesystem::create_directory(work.file("2.bin"));
  ProgramResult r = build({"--infile=words.tab", "--id=MyDict", "--debug"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("lexbuild error: could not create " + work.file("2.bin") +
                              " for the chunk " + work.file("words_000000_00001.bin") +
                              ": Is a directory; check the work folder\n"))
      << r.out;
  EXPECT_EQ(read_text(dir.file("MyDict.pdb")), "an earlier build");
  std::filesystem::remove(work.file("2.bin"));

  write_text(dir.file("about.txt"), std::string(70000, 'a'));
  r = build({"--infile=words.tab", "--id=MyDict", "--aboutfile=about.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with(
      "lexbuild error: 'about.txt' is too large for a dictionary record: it needs 70001 bytes, "
      "but a record holds at most 65535; shorten the file\n"))
      << r.out;
  EXPECT_EQ(read_text(dir.file("MyDict.pdb")), "an earlier build");
}

}  // namespace
}  // namespace lexbuild::testing
