// The compiler as the intake calls it: a sorted list in the work folder
// becomes the stores, the traces, the record files and the database.
#include "compiler/compile.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

struct CompileTest : ::testing::Test {
  TempDir work;
  TempDir out;
  Settings settings = init_settings_with_work_folder(work.path());
  StringConsole console;
  Log log;
  BuildContext context{settings, console, log};

  CompileTest() {
    settings.infile = work.file("csv_cut_out1");
    settings.outfile = out.file("Dict.pdb");
    settings.id = "Dict";
  }

  bool database_holds(const std::string& record) {
    const auto records = records_of(read_bytes(settings.outfile));
    return std::find(records.begin(), records.end(), record) != records.end();
  }
};

constexpr char kAntBeeCatTable[] =
    "00 03 "
    "61 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 "
    "62 00 00 00 00 01 00 00 00 00 00 00 00 00 00 01 "
    "63 00 00 00 00 01 00 00 00 00 00 00 00 00 00 02";

std::string as_text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST_F(CompileTest, ASortedListRunsThroughTheStagesInOrder) {
  const std::string list = "ant\tinsect\r\nbee\tinsect\r\ncat\tanimal\r\n";
  write_text(settings.infile, list);
  compile_dictionary(context);

  const std::string text = console.text();
  EXPECT_EQ(text.substr(0, text.find("Writing file...\n") + 16),
            "Parsing...\n\r1 word parsing\r2 word parsing\r3 word parsing\n"
            "Creating word table...\nitemsCount = 3\n"
            "Preparing data...\nCompressing data...\nWriting file...\n");
  EXPECT_EQ(read_text(work.file("_filter.txt")), list);
  EXPECT_EQ(read_text(work.file("_tableDebug.txt")),
            "\r\n\ta from=000001 num=000001 childs=000000"
            "\r\n\tb from=000002 num=000001 childs=000000"
            "\r\n\tc from=000003 num=000001 childs=000000");
  EXPECT_TRUE(database_holds(as_text(hex_bytes(kAntBeeCatTable))));
  EXPECT_EQ(list_folder(work.path()),
            (std::vector<std::string>{"_filter.txt", "_tableDebug.txt", "csv_cut_out1"}))
      << "every record file is consumed";
  EXPECT_EQ(read_text(settings.infile), list) << "the list is only read";
}

TEST_F(CompileTest, AUtf16ListIsTracedAsItsUnits) {
  settings.unicode = 1;
  const std::vector<uint8_t> list = wide_list("ant\tinsect\r\nbee\tinsect\r\ncat\tanimal\r\n");
  write_bytes(settings.infile, list);
  compile_dictionary(context);
  EXPECT_EQ(read_bytes(work.file("_filter.txt")), list);
  EXPECT_TRUE(database_holds(as_text(hex_bytes(kAntBeeCatTable))));
}

TEST_F(CompileTest, TheTableUsesTheLowerCaseMappingOfTheContext) {
  context.lower_case['b'] = 'a';
  write_text(settings.infile, "a\t1\r\nb\t2\r\n");
  compile_dictionary(context);
  EXPECT_EQ(read_text(work.file("_tableDebug.txt")),
            "\r\n\ta from=000001 num=000002 childs=000000");
}

TEST_F(CompileTest, AnEmptyListGivesAnEmptyTable) {
  write_text(settings.infile, "\r\ncat\tanimal\r\n");
  compile_dictionary(context);
  EXPECT_EQ(console.text().substr(0, 50), "Parsing...\n\nCreating word table...\nitemsCount = 0\n");
  EXPECT_EQ(read_text(work.file("_filter.txt")), "");
  EXPECT_TRUE(database_holds(as_text(hex_bytes("00 00"))));
}

TEST_F(CompileTest, FilesOfAnEarlierRunDoNotReachTheDatabase) {
  for (const char* name : {"rec_words_000009.bin", "rec_trans_000004.bin", "rec_about.bin",
                           "rec_kbd.bin", "words_000003_00001.bin", "trans_000003_00001.bin"}) {
    write_text(work.file(name), "stale record");
  }
  write_text(settings.infile, "ant\tinsect\r\nbee\tinsect\r\ncat\tanimal\r\n");
  compile_dictionary(context);
  EXPECT_FALSE(database_holds("stale record"));
  EXPECT_EQ(list_folder(work.path()),
            (std::vector<std::string>{"_filter.txt", "_tableDebug.txt", "csv_cut_out1"}));
}

TEST_F(CompileTest, AMissingListIsFatal) {
  EXPECT_EQ(fatal_text([&] { compile_dictionary(context); }),
            "lexbuild error: '" + settings.infile + "' no such input file\n");
  EXPECT_EQ(console.text(), "");
}

}  // namespace
}  // namespace lexbuild::testing
