#include "compiler/work_files.h"

#include <gtest/gtest.h>

#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

TEST(WorkFiles, OnlyTheCompilersOwnNamesCount) {
  for (const char* name :
       {"rec_0.bin", "rec_tab.bin", "rec_indW.bin", "rec_indT.bin", "rec_about.bin", "rec_abbr.bin",
        "rec_fntWords.bin", "rec_fntTrans.bin", "rec_kbd.bin", "rec_words_000000.bin",
        "rec_trans_012345.bin", "words_000000_00003.bin", "trans_000120_08191.bin"}) {
    EXPECT_TRUE(is_compiler_work_file(name)) << name;
  }
  for (const char* name :
       {"rec_words_12.bin", "rec_words_00000x.bin", "rec_0.bin.bak", "my_rec_0.bin",
        "words_000000_0003.bin", "words.bin", "1.bin", "_filter.txt", "rec_1.bin"}) {
    EXPECT_FALSE(is_compiler_work_file(name)) << name;
  }
}

TEST(WorkFiles, StaleRecordAndChunkFilesAreRemovedAndOthersKept) {
  TempDir dir;
  for (const char* name : {"rec_0.bin", "rec_kbd.bin", "rec_words_000003.bin",
                           "trans_000000_00010.bin", "notes.bin", "_abbr.txt", "sample.pdb"}) {
    write_text(dir.file(name), "x");
  }
  const Settings settings = init_settings_with_work_folder(dir.path());
  Log log;
  remove_stale_work_files(settings, log);
  EXPECT_EQ(list_folder(dir.path()),
            (std::vector<std::string>{"_abbr.txt", "notes.bin", "sample.pdb"}));
}

TEST(WorkFiles, AFileThatCannotBeWrittenIsFatal) {
  TempDir dir;
  const Settings settings = init_settings_with_work_folder(dir.file("missing"));
  const std::vector<uint8_t> bytes{1, 2, 3};
  EXPECT_EQ(fatal_text([&] { write_work_file(settings, "rec_tab.bin", bytes); }),
            "lexbuild error: could not write the work file '" + dir.file("missing/rec_tab.bin") +
                "': No such file or directory; check the work folder\n");

  const Settings good = init_settings_with_work_folder(dir.path());
  write_work_file(good, "rec_tab.bin", bytes);
  EXPECT_EQ(read_bytes(dir.file("rec_tab.bin")), bytes);
}

}  // namespace
}  // namespace lexbuild::testing
