// Cutting the stores into chunks, compressing and packing them, and the
// chunk files that --debug keeps.
#include "compiler/chunking.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "compiler/compiler_test_util.h"
#include "compiler/compressor.h"
#include "compiler/decompressor.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

using Spans = std::vector<std::pair<uint32_t, uint32_t>>;  // first entry, count

Spans firsts_and_counts(const std::vector<ChunkSpan>& chunks) {
  Spans out;
  for (const ChunkSpan& c : chunks) out.emplace_back(c.first, c.count);
  return out;
}

// One entry per translation length, each with the word "w".
TextStores stores_with_translations(const std::vector<size_t>& lengths) {
  std::string list;
  for (const size_t length : lengths) list += "w\t" + std::string(length, 't') + "\r\n";
  return stores_of_list(list);
}

TEST(ChunkFiles, NamesCarrySixAndFiveDigitsAndParseBack) {
  EXPECT_EQ(chunk_file_name(ChunkKind::kWords, 120, 50), "words_000120_00050.bin");
  EXPECT_EQ(chunk_file_name(ChunkKind::kTranslations, 999999, 8191), "trans_999999_08191.bin");
  const auto parsed = parse_chunk_file_name(ChunkKind::kWords, "words_000120_00050.bin");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->first, 120u);
  EXPECT_EQ(parsed->count, 50u);
  for (const char* other :
       {"trans_000120_00050.bin", "words_000120_0050.bin", "words_00012x_00050.bin",
        "words_000120_00050.bin.bak", "words-000120_00050.bin"}) {
    EXPECT_FALSE(parse_chunk_file_name(ChunkKind::kWords, other)) << other;
  }
}

TEST(ChunkPlan, AChunkStaysBelow8192Bytes) {
  // Word records of 100 bytes: 81 make 8100 bytes, an 82nd would make 8200.
  const TextStores hundreds = stores_of(std::vector<std::string>(200, std::string(99, 'a')));
  EXPECT_EQ(firsts_and_counts(plan_chunks(hundreds, ChunkKind::kWords)),
            (Spans{{0, 81}, {81, 81}, {162, 38}}));

  // A long record of 8191 bytes (8188 of text) is a chunk of its own; a
  // record that would bring a chunk to exactly 8192 starts the next one.
  const TextStores exact = stores_with_translations({8188, 0, 8187, 0, 0});
  const auto chunks = plan_chunks(exact, ChunkKind::kTranslations);
  EXPECT_EQ(firsts_and_counts(chunks), (Spans{{0, 1}, {1, 2}, {3, 2}}));
  EXPECT_EQ(chunks[0].size, 8191u);
  EXPECT_EQ(chunks[1].size, 8191u) << "1 + 8190 bytes";
  EXPECT_EQ(chunks[2].offset, 8191u * 2);
  EXPECT_EQ(chunks[2].size, 2u);
}

TEST(ChunkPlan, ShortAndLongTranslationRecordsCountWithTheirHeads) {
  // Records of 255 (short, 254 of text) and 258 bytes (long, 255 of text).
  const TextStores stores = stores_with_translations(std::vector<size_t>(64, 254));
  EXPECT_EQ(firsts_and_counts(plan_chunks(stores, ChunkKind::kTranslations)),
            (Spans{{0, 32}, {32, 32}}))
      << "32 x 255 = 8160 bytes; a 33rd would make 8415";
  const TextStores longs = stores_with_translations(std::vector<size_t>(64, 255));
  EXPECT_EQ(firsts_and_counts(plan_chunks(longs, ChunkKind::kTranslations)),
            (Spans{{0, 31}, {31, 31}, {62, 2}}))
      << "31 x 258 = 7998 bytes";
}

TEST(ChunkPlan, NoEntriesNoChunks) {
  TextStores empty;
  empty.close();
  EXPECT_TRUE(plan_chunks(empty, ChunkKind::kWords).empty());
  EXPECT_TRUE(plan_chunks(empty, ChunkKind::kTranslations).empty());
}

TEST(ChunkPlan, RecordsThatCannotBePlacedAreFatal) {
  TextStores huge;
  huge.entry_count = 1;
  huge.translations = hex_bytes("00 20 00");
  huge.translations.resize(8192, 't');
  huge.translations.push_back(0);
  EXPECT_EQ(fatal_text([&] { plan_chunks(huge, ChunkKind::kTranslations); }),
            "lexbuild error: the translation of entry 1 takes 8192 bytes, but a chunk holds at "
            "most 8191\n");

  TextStores cut = stores_with_translations({10, 10});
  cut.translations.resize(14);
  EXPECT_EQ(fatal_text([&] { plan_chunks(cut, ChunkKind::kTranslations); }),
            "lexbuild error: the translation store is damaged at entry 2: a record does not fit "
            "the store\n");
}

struct ChunkFilesTest : ::testing::Test {
  TempDir work;
  Settings settings = init_settings_with_work_folder(work.path());
  StringConsole console;
  Log log;
  BuildContext context{settings, console, log};

  std::vector<uint8_t> decoded(const std::string& name) {
    const auto result = decompress_stream(read_bytes(work.file(name)), 8191);
    EXPECT_TRUE(result.ok()) << name << ": " << result.message();
    return result.output;
  }
};

TEST_F(ChunkFilesTest, ChunksArePackedInMemoryAndOnlyDebugKeepsTheirFiles) {
  const TextStores stores = stores_of_list("ant\tinsect\r\nbee\tinsect\r\ncat\tanimal\r\n");
  const PackedChunks words = cut_word_chunks(context, stores);
  const PackedChunks translations = cut_translation_chunks(context, stores);
  EXPECT_TRUE(list_folder(work.path()).empty()) << "no chunk file and no scratch file";
  ASSERT_EQ(words.records.size(), 1u);
  EXPECT_EQ(words.entries, 3u);
  EXPECT_EQ(words.index,
            std::vector<uint8_t>(words.records[0].begin(), words.records[0].begin() + 110));
  const std::vector<uint8_t> word_bytes = hex_bytes("04 61 6E 74 04 62 65 65 04 63 61 74");
  std::vector<uint8_t> padded = compress_bytes(word_bytes);
  padded.resize((padded.size() + 1) & ~size_t{1});
  EXPECT_EQ(std::vector<uint8_t>(words.records[0].begin() + 110, words.records[0].end()), padded);

  settings.debug = true;
  const PackedChunks kept_words = cut_word_chunks(context, stores);
  EXPECT_EQ(list_folder(work.path()), std::vector<std::string>{"words_000000_00003.bin"});
  const PackedChunks kept_translations = cut_translation_chunks(context, stores);
  EXPECT_EQ(list_folder(work.path()),
            (std::vector<std::string>{"trans_000000_00003.bin", "words_000000_00003.bin"}));
  EXPECT_EQ(decoded("words_000000_00003.bin"), word_bytes);
  EXPECT_EQ(decoded("trans_000000_00003.bin"), bytes_of("\x07insect\x07insect\x07"
                                                        "animal"));
  EXPECT_EQ(kept_words.records, words.records) << "the same record bytes in both modes";
  EXPECT_EQ(kept_translations.records, translations.records);
}

TEST_F(ChunkFilesTest, ManyChunksComeOutInOrderAsPlainCompressionWouldWriteThem) {
  // Enough chunks to keep every core busy; the records and files must not
  // depend on which thread compressed what.
  std::string list;
  for (int i = 0; i < 4000; ++i) {
    list += "w" + std::to_string(100000 + i) + "\t";
    for (int k = 0; k <= i % 37; ++k) list += "gloss" + std::to_string((i * 7 + k) % 101) + " ";
    list += "\r\n";
  }
  const TextStores stores = stores_of_list(list);
  settings.debug = true;
  const PackedChunks packed = cut_translation_chunks(context, stores);
  const auto chunks = plan_chunks(stores, ChunkKind::kTranslations);
  ASSERT_GT(chunks.size(), 50u);
  EXPECT_EQ(list_folder(work.path()).size(), chunks.size());
  ChunkPacking plain(ChunkKind::kTranslations);
  for (const ChunkSpan& chunk : chunks) {
    const auto raw = std::span(stores.translations).subspan(chunk.offset, chunk.size);
    const std::vector<uint8_t> compressed = compress_bytes(raw);
    EXPECT_EQ(
        read_bytes(work.file(chunk_file_name(ChunkKind::kTranslations, chunk.first, chunk.count))),
        compressed)
        << chunk.first;
    plain.add_chunk(chunk.first, chunk.count, compressed);
  }
  const PackedChunks expected = plain.finish();
  EXPECT_EQ(packed.records, expected.records);
  EXPECT_EQ(packed.index, expected.index);
  EXPECT_EQ(packed.entries, 4000u);
}

TEST_F(ChunkFilesTest, NoEntriesWriteNoChunkFileAndOneEmptyRecord) {
  TextStores empty;
  empty.close();
  settings.debug = true;
  const PackedChunks words = cut_word_chunks(context, empty);
  ASSERT_EQ(words.records.size(), 1u);
  EXPECT_EQ(std::vector<uint8_t>(words.records[0].begin(), words.records[0].end()),
            std::vector<uint8_t>(110, 0));
  cut_translation_chunks(context, empty);
  EXPECT_TRUE(list_folder(work.path()).empty());
}

TEST_F(ChunkFilesTest, AChunkThatCannotBeWrittenOrMovedStopsTheBuild) {
  const TextStores stores = stores_of_list("ant\tinsect\r\n");
  settings.debug = true;  // only --debug writes chunk files
  log.open_log(work.file("lexbuild.log"));

  // "2.bin" cannot be created while a folder has its name.
  std::filesystem::create_directory(work.file("2.bin"));
  EXPECT_EQ(fatal_text([&] { cut_word_chunks(context, stores); }),
            "lexbuild error: could not create " + work.file("2.bin") + " for the chunk " +
                work.file("words_000000_00001.bin") + ": Is a directory; check the work folder\n");
  EXPECT_EQ(fatal_text([&] { cut_translation_chunks(context, stores); }),
            "lexbuild error: Error: " + work.file("2.bin") +
                " file wasn't created, errno = 21, line 1022\n");
  EXPECT_EQ(read_text(work.file("lexbuild.log")),
            "Error: " + work.file("words_000000_00001.bin") +
                " file wasn't created, line 959\r\n"
                "Error: " +
                work.file("2.bin") + " file wasn't created, errno = 21, line 1020\r\n");
  std::filesystem::remove(work.file("2.bin"));

  // A full disk.
  std::filesystem::create_symlink("/dev/full", work.file("2.bin"));
  EXPECT_EQ(fatal_text([&] { cut_word_chunks(context, stores); }),
            "lexbuild error: could not write the chunk " + work.file("words_000000_00001.bin") +
                ": No space left on device; check the space in the work folder\n");
  EXPECT_FALSE(exists(work.file("2.bin")));

  // The chunk's name is taken by a folder that is not empty.
  std::filesystem::create_directories(work.file("trans_000000_00001.bin/x"));
  EXPECT_EQ(fatal_text([&] { cut_translation_chunks(context, stores); }),
            "lexbuild error: could not move " + work.file("2.bin") + " to " +
                work.file("trans_000000_00001.bin") + ": Is a directory; check the work folder\n");
  EXPECT_FALSE(exists(work.file("2.bin")));
}

TEST_F(ChunkFilesTest, LimitsOfTheChunkNamesAreFatal) {
  TextStores many;
  many.entry_count = 1000000;
  EXPECT_EQ(fatal_text([&] { cut_word_chunks(context, many); }),
            "lexbuild error: the dictionary holds 1000000 entries, but at most 999999 fit (chunk "
            "names number entries in six digits); split it into smaller dictionaries\n");

  const TextStores stores = stores_of_list("ant\tinsect\r\n");
  settings.work_folder = "/" + std::string(232, 'f');
  EXPECT_EQ(fatal_text([&] { cut_word_chunks(context, stores); }),
            "lexbuild error: the work folder path " + settings.work_folder +
                " is 233 characters long; chunk files need one of at most 232: set TEMP to a "
                "shorter folder\n");
}

}  // namespace
}  // namespace lexbuild::testing
