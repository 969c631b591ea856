// Packing compressed chunks in memory and writing the record files.
#include "compiler/record_packing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "compiler/byte_order.h"
#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

using Bytes = std::vector<uint8_t>;

struct RecordPackingTest : ::testing::Test {
  TempDir work;
  Settings settings = init_settings_with_work_folder(work.path());
  StringConsole console;
  Log log;
  BuildContext context{settings, console, log};
  WordTable table;

  // Chunks of `counts` entries each, chunk k holding k + 1 bytes of k.
  static PackedChunks pack(ChunkKind kind, const std::vector<uint32_t>& counts) {
    ChunkPacking packing(kind);
    uint32_t first = 0;
    for (size_t k = 0; k < counts.size(); ++k) {
      packing.add_chunk(first, counts[k], Bytes(k + 1, static_cast<uint8_t>(k)));
      first += counts[k];
    }
    return packing.finish();
  }
};

TEST_F(RecordPackingTest, ChunksBecomeRecordFilesAndAnIndex) {
  const PackedChunks words = pack(ChunkKind::kWords, std::vector<uint32_t>(12, 3));
  table.levels[0] = {{.from = 0}, {.from = 31}};
  EXPECT_EQ(pack_records(context, table, words, 36), 2u);
  EXPECT_EQ(
      list_folder(work.path()),
      (std::vector<std::string>{"rec_indW.bin", "rec_words_000000.bin", "rec_words_000001.bin"}));
  const Bytes first = read_bytes(work.file("rec_words_000000.bin"));
  const Bytes second = read_bytes(work.file("rec_words_000001.bin"));
  EXPECT_EQ(first.size(), 110u + 2 + 2 + 4 + 4 + 6 + 6 + 8 + 8 + 10 + 10);
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 10), hex_bytes("00 0A 00 00 00 00 00 00 00 1E"));
  EXPECT_EQ(Bytes(second.begin(), second.begin() + 20),
            hex_bytes("00 02 00 00 00 1E 00 00 00 06 00 6E 00 0C 00 00 00 1E 00 03"));
  EXPECT_EQ(Bytes(second.begin() + 110, second.end()),
            hex_bytes("0A 0A 0A 0A 0A 0A 0A 0A 0A 0A 0A 00 0B 0B 0B 0B 0B 0B 0B 0B 0B 0B 0B 0B"));
  Bytes index(first.begin(), first.begin() + 110);
  index.insert(index.end(), second.begin(), second.begin() + 110);
  EXPECT_EQ(read_bytes(work.file("rec_indW.bin")), index);
  EXPECT_EQ(table.levels[0][1].words_record, 1) << "entry 31 is in chunk 10";
  EXPECT_EQ(table.levels[0][1].words_slot, 0);

  // The translations pass is independent and fills the other links.
  EXPECT_EQ(pack_records(context, table, pack(ChunkKind::kTranslations, {20, 16}), 36), 1u);
  EXPECT_EQ(read_bytes(work.file("rec_indT.bin")).size(), 110u);
  EXPECT_TRUE(exists(work.file("rec_trans_000000.bin")));
  EXPECT_EQ(table.levels[0][1].trans_slot, 1);
  EXPECT_EQ(table.levels[0][1].words_record, 1);
}

TEST_F(RecordPackingTest, HeldRecordsStayInMemory) {
  HeldRecords held;
  table.levels[0] = {{.from = 31}};
  const PackedChunks words = pack(ChunkKind::kWords, std::vector<uint32_t>(12, 3));
  EXPECT_EQ(pack_records(context, table, words, 36, &held), 2u);
  EXPECT_TRUE(list_folder(work.path()).empty());
  ASSERT_EQ(held.size(), 3u);
  const auto held_bytes = [&held](std::string_view name) {
    const auto bytes = held.find(name);
    return bytes ? Bytes(bytes->begin(), bytes->end()) : Bytes();
  };
  EXPECT_EQ(held_bytes("rec_words_000000.bin"),
            Bytes(words.records[0].begin(), words.records[0].end()));
  EXPECT_EQ(held_bytes("rec_words_000001.bin"),
            Bytes(words.records[1].begin(), words.records[1].end()));
  EXPECT_EQ(held_bytes("rec_indW.bin"), words.index);
  EXPECT_EQ(table.levels[0][0].words_record, 1);
}

TEST_F(RecordPackingTest, NoEntriesGiveOneEmptyRecord) {
  EXPECT_EQ(pack_records(context, table, pack(ChunkKind::kWords, {}), 0), 1u);
  EXPECT_EQ(read_bytes(work.file("rec_words_000000.bin")), Bytes(110, 0));
  EXPECT_EQ(read_bytes(work.file("rec_indW.bin")), Bytes(110, 0));
}

TEST_F(RecordPackingTest, ChunksThatDoNotCoverTheDictionaryStopTheBuild) {
  EXPECT_EQ(fatal_text([&] {
              pack_records(context, table, pack(ChunkKind::kTranslations, {3, 2}), 4);
            }),
            "lexbuild error: the trans chunks hold 5 entries, but the dictionary has 4; build "
            "again\n");
  EXPECT_TRUE(list_folder(work.path()).empty());
}

TEST_F(RecordPackingTest, UnwritableRecordsAreLoggedWithTheirLineThenFatal) {
  log.open_log(work.file("lexbuild.log"));
  std::filesystem::create_directory(work.file("rec_words_000000.bin"));
  EXPECT_EQ(fatal_text([&] { pack_records(context, table, pack(ChunkKind::kWords, {3}), 3); }),
            "lexbuild error: could not create the record file " +
                work.file("rec_words_000000.bin") + ": Is a directory; check the work folder\n");

  const PackedChunks full = pack(ChunkKind::kTranslations, std::vector<uint32_t>(10, 1));
  std::filesystem::create_symlink("/dev/full", work.file("rec_trans_000000.bin"));
  EXPECT_EQ(fatal_text([&] { pack_records(context, table, full, 10); }),
            "lexbuild error: could not write the record file " + work.file("rec_trans_000000.bin") +
                ": No space left on device; check the space in the work folder\n");
  EXPECT_EQ(read_text(work.file("lexbuild.log")), "Error: " + work.file("rec_words_000000.bin") +
                                                      " file wasn't created, line 1216\r\n"
                                                      "Error: write to file failed, line 1195\r\n");
}

}  // namespace
}  // namespace lexbuild::testing
