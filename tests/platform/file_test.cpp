#include "platform/file.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/test_support.h"

namespace lexbuild::platform {
namespace {

using lexbuild::testing::bytes_of;
using lexbuild::testing::read_text;
using lexbuild::testing::TempDir;
using lexbuild::testing::write_text;

std::string read_as_text(const std::string& path) {
  InputFile file;
  EXPECT_TRUE(file.open(path));
  TextInput text(file);
  std::string out;
  for (int c; (c = text.get()) >= 0;) out += static_cast<char>(c);
  return out;
}

TEST(TextInput, FoldsCrLfKeepsLoneCrAndStopsAtCtrlZ) {
  TempDir dir;
  write_text(dir.file("a.txt"), "a\r\nb\rc\n\r\n");
  EXPECT_EQ(read_as_text(dir.file("a.txt")), "a\nb\rc\n\n");
  write_text(dir.file("z.txt"), std::string("ab\x1A"
                                            "cd",
                                            5));
  EXPECT_EQ(read_as_text(dir.file("z.txt")), "ab");
  write_text(dir.file("cr.txt"), "x\r");
  EXPECT_EQ(read_as_text(dir.file("cr.txt")), "x\r");
}

TEST(TextInput, CrLfSplitAcrossBufferRefillsIsStillOneLf) {
  TempDir dir;
  std::string text(65535, 'a');
  text += "\r\nz";
  write_text(dir.file("big.txt"), text);
  const std::string read = read_as_text(dir.file("big.txt"));
  EXPECT_EQ(read.size(), 65537u);
  EXPECT_EQ(read.substr(65535), "\nz");
}

TEST(InputFile, MixedSmallAndLargeReadsGiveTheFileInOrder) {
  // Large reads bypass the 64 KiB buffer; they must pick up where the
  // buffered bytes end, and a read past the end returns what is left.
  TempDir dir;
  std::string text(300000, '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i * 7 % 26);
  write_text(dir.file("mixed.bin"), text);
  InputFile file;
  ASSERT_TRUE(file.open(dir.file("mixed.bin")));
  std::string read;
  for (const size_t size :
       {size_t{1}, size_t{70000}, size_t{10}, size_t{1} << 16, size_t{1} << 20}) {
    std::string piece(size, '\0');
    piece.resize(file.read(piece.data(), size));
    read += piece;
    const int c = file.get();
    if (c >= 0) read += static_cast<char>(c);
  }
  EXPECT_EQ(read, text);
  EXPECT_FALSE(file.failed());
}

TEST(OutputFile, TextModeStoresLfAsCrLf) {
  TempDir dir;
  OutputFile out;
  ASSERT_TRUE(out.create(dir.file("t.txt"), FileMode::kText));
  out.write(std::string_view("a\nb"));
  out.put('\n');
  EXPECT_TRUE(out.close());
  EXPECT_EQ(read_text(dir.file("t.txt")), "a\r\nb\r\n");
}

TEST(OutputFile, ReportsAFolderThatCannotHoldTheFile) {
  OutputFile out;
  EXPECT_FALSE(out.create("/nonexistent-folder/x.bin"));
  EXPECT_NE(out.error_code(), 0);
}

TEST(ReplacingOutput, OldFileSurvivesUntilCommit) {
  TempDir dir;
  const std::string path = dir.file("db.pdb");
  write_text(path, "old");
  {
    ReplacingOutput out;
    ASSERT_TRUE(out.create(path));
    out.file().write(std::string_view("new"));
    EXPECT_EQ(read_text(path), "old");
    // Not committed: the temporary file goes, the old file stays.
  }
  EXPECT_EQ(read_text(path), "old");
  EXPECT_EQ(lexbuild::testing::list_folder(dir.path()), std::vector<std::string>{"db.pdb"});
  {
    ReplacingOutput out;
    ASSERT_TRUE(out.create(path));
    out.file().write(std::string_view("new"));
    EXPECT_TRUE(out.commit());
  }
  EXPECT_EQ(read_text(path), "new");
  EXPECT_EQ(lexbuild::testing::list_folder(dir.path()), std::vector<std::string>{"db.pdb"});
}

TEST(Wildcards, MatchAndListInAscendingNameOrder) {
  EXPECT_TRUE(wildcard_match("rec_words_*.bin", "rec_words_000001.bin"));
  EXPECT_FALSE(wildcard_match("rec_words_*.bin", "rec_words_000001.bin.x"));
  EXPECT_TRUE(wildcard_match("words_000120_*.bin", "words_000120_00042.bin"));
  EXPECT_FALSE(wildcard_match("words_000120_*.bin", "words_000121_00042.bin"));
  EXPECT_TRUE(wildcard_match("*", ""));
  EXPECT_TRUE(wildcard_match("a*b*c", "aXbYbZc"));

  TempDir dir;
  for (const char* name : {"rec_trans_000000.bin", "rec_words_000002.bin", "rec_words_000000.bin",
                           "rec_words_000001.bin", "other.bin"}) {
    write_text(dir.file(name), "");
  }
  EXPECT_EQ(list_matching(dir.path(), "rec_words_*.bin"),
            (std::vector<std::string>{"rec_words_000000.bin", "rec_words_000001.bin",
                                      "rec_words_000002.bin"}));
  EXPECT_TRUE(list_matching(dir.path() + "/missing", "*").empty());
}

TEST(WholeFiles, ReadWriteAndSize) {
  TempDir dir;
  const std::vector<uint8_t> bytes = bytes_of(std::string("a\0\r\nb", 5));
  ASSERT_TRUE(write_file(dir.file("f"), bytes));
  std::vector<uint8_t> back;
  ASSERT_TRUE(read_file(dir.file("f"), back));
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(file_size(dir.file("f")), 5u);
  int error = 0;
  EXPECT_FALSE(read_file(dir.file("missing"), back, &error));
  EXPECT_NE(error, 0);
  EXPECT_FALSE(read_file(dir.path(), back)) << "a folder is not a file";
}

TEST(OutputFile, CreateNewNeverTakesOverAFileThatExists) {
  TempDir dir;
  const std::string path = dir.file("csv_out1");
  OutputFile first;
  ASSERT_TRUE(first.create_new(path, FileMode::kText));
  OutputFile second;
  EXPECT_FALSE(second.create_new(path));
  EXPECT_EQ(second.error_code(), EEXIST);
  first.write(std::string_view("a\n"));
  EXPECT_TRUE(first.close());
  EXPECT_EQ(read_text(path), "a\r\n") << "the first writer's file is untouched";
}

TEST(Names, LinksSameFilesAndFolders) {
  TempDir dir;
  write_text(dir.file("a"), "x");
  write_text(dir.file("b"), "x");
  EXPECT_TRUE(link_file(dir.file("a"), dir.file("a2")));
  int error = 0;
  EXPECT_FALSE(link_file(dir.file("a"), dir.file("b"), &error)) << "no name is taken over";
  EXPECT_EQ(error, EEXIST);

  EXPECT_TRUE(same_file(dir.file("a"), dir.file("a2")));
  EXPECT_TRUE(same_file(dir.file("a"), dir.path() + "/./a"));
  EXPECT_FALSE(same_file(dir.file("a"), dir.file("b"))) << "equal bytes are not the same file";
  EXPECT_FALSE(same_file(dir.file("a"), dir.file("missing")));
  EXPECT_FALSE(same_file(dir.file("missing"), dir.file("missing")));

  EXPECT_EQ(folder_of("out/db.pdb"), "out");
  EXPECT_EQ(folder_of("db.pdb"), ".");
  EXPECT_EQ(folder_of("/db.pdb"), "/");
}

}  // namespace
}  // namespace lexbuild::platform
