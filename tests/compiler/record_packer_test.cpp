// Packing chunks into chunk records and the index record, in memory.
#include "compiler/record_packer.h"

#include <gtest/gtest.h>

#include <map>

#include "compiler/byte_order.h"
#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

using Bytes = std::vector<uint8_t>;

struct Packed {
  std::vector<Bytes> records;
  Bytes index;
  std::vector<ChunkPlacement> placements;
};

// Packs chunks of the given sizes and entry counts; chunk k is filled with the byte k + 1.
Packed pack(const std::vector<std::pair<size_t, uint32_t>>& chunks) {
  Packed packed;
  RecordPacker packer(ChunkKind::kWords, [&](uint32_t number, std::span<const uint8_t> record) {
    EXPECT_EQ(number, packed.records.size());
    packed.records.emplace_back(record.begin(), record.end());
  });
  uint32_t first = 0;
  for (size_t k = 0; k < chunks.size(); ++k) {
    const Bytes data(chunks[k].first, static_cast<uint8_t>(k + 1));
    packed.placements.push_back(packer.add_chunk(first, chunks[k].second, data));
    first += chunks[k].second;
  }
  packer.finish();
  EXPECT_EQ(packer.record_count(), packed.records.size());
  packed.index = packer.index();
  return packed;
}

std::vector<std::pair<size_t, uint32_t>> uniform(size_t chunks, size_t size = 100) {
  return std::vector<std::pair<size_t, uint32_t>>(chunks, {size, 5});
}

Bytes headers_of(const std::vector<Bytes>& records) {
  Bytes index;
  for (const Bytes& r : records) index.insert(index.end(), r.begin(), r.begin() + 110);
  return index;
}

TEST(RecordPacker, TwoChunksMakeOneRecordWithPaddedOddChunks) {
  const Packed packed = pack({{3001, 150}, {2500, 120}});
  ASSERT_EQ(packed.records.size(), 1u);
  const Bytes& record = packed.records[0];
  ASSERT_EQ(record.size(), 5612u);
  EXPECT_EQ(Bytes(record.begin(), record.begin() + 30),
            hex_bytes("00 02 00 00 00 00 00 00 01 0E 00 6E 0B BA 00 00 00 00 00 96 "
                      "0C 28 09 C4 00 00 00 96 00 78"));
  EXPECT_EQ(Bytes(record.begin() + 30, record.begin() + 110), Bytes(80, 0));
  EXPECT_EQ(Bytes(record.begin() + 110, record.begin() + 3111), Bytes(3001, 1));
  EXPECT_EQ(record[3111], 0) << "the pad byte";
  EXPECT_EQ(Bytes(record.begin() + 3112, record.end()), Bytes(2500, 2));
  EXPECT_EQ(packed.index, Bytes(record.begin(), record.begin() + 110));
}

TEST(RecordPacker, TenChunksToARecordAndTheRestInTheLast) {
  const Packed p25 = pack(uniform(25));
  ASSERT_EQ(p25.records.size(), 3u);
  EXPECT_EQ(get_be16(p25.records[0].data()), 10);
  EXPECT_EQ(get_be16(p25.records[1].data()), 10);
  EXPECT_EQ(get_be16(p25.records[2].data()), 5);
  EXPECT_EQ(p25.records[2].size(), 110u + 5 * 100);
  EXPECT_EQ(get_be32(p25.records[2].data() + 2), 100u) << "first entry of chunk 20";
  EXPECT_EQ(get_be32(p25.records[2].data() + 6), 25u) << "5 chunks of 5 entries";
  EXPECT_EQ(p25.index.size(), 330u);
  EXPECT_EQ(p25.index, headers_of(p25.records));
  EXPECT_EQ(p25.placements[24].record, 2);
  EXPECT_EQ(p25.placements[24].slot, 4);

  // A multiple of ten leaves an empty last record.
  const Packed p20 = pack(uniform(20));
  ASSERT_EQ(p20.records.size(), 3u);
  EXPECT_EQ(p20.records[2], Bytes(110, 0));
  EXPECT_EQ(p20.index.size(), 330u);
  EXPECT_EQ(Bytes(p20.index.begin() + 220, p20.index.end()), Bytes(110, 0));

  const Packed none = pack({});
  ASSERT_EQ(none.records.size(), 1u);
  EXPECT_EQ(none.records[0], Bytes(110, 0));
  EXPECT_EQ(none.index, Bytes(110, 0));
}

TEST(RecordPacker, DescriptorsNameOffsetsEvenSizesFirstEntriesAndCounts) {
  const Packed packed = pack({{7, 3}, {8, 4}, {1, 1}});
  const uint8_t* d = packed.records[0].data() + 10;
  EXPECT_EQ(Bytes(d, d + 30), hex_bytes("00 6E 00 08 00 00 00 00 00 03 "
                                        "00 76 00 08 00 00 00 03 00 04 "
                                        "00 7E 00 02 00 00 00 07 00 01"));
  EXPECT_EQ(packed.records[0].size(), 110u + 8 + 8 + 2);
}

TEST(RecordPacker, ARecordClosesEarlyRatherThanOutgrow65535Bytes) {
  // Chunks that hardly compress: seven of 9220 bytes fill 64,650 bytes, an
  // eighth would need 73,870.
  const Packed packed = pack(uniform(16, 9220));
  ASSERT_EQ(packed.records.size(), 3u);
  EXPECT_EQ(get_be16(packed.records[0].data()), 7);
  EXPECT_EQ(get_be16(packed.records[1].data()), 7);
  EXPECT_EQ(get_be16(packed.records[2].data()), 2) << "the rest, not an empty record";
  for (const Bytes& record : packed.records) EXPECT_LE(record.size(), 65535u);
  EXPECT_EQ(packed.placements[7].record, 1);
  EXPECT_EQ(packed.placements[7].slot, 0);
  EXPECT_EQ(get_be32(packed.records[1].data() + 2), 35u);
  EXPECT_EQ(packed.index, headers_of(packed.records));

  // The last offset still fits: one more byte would not.
  const Packed tight = pack({{65424 - 9220, 1}, {9220, 1}});
  ASSERT_EQ(tight.records.size(), 1u);
  EXPECT_EQ(tight.records[0].size(), 65534u);
  const Packed over = pack({{65426 - 9220, 1}, {9220, 1}});
  EXPECT_EQ(over.records.size(), 2u);
}

TEST(RecordPacker, AtMost595RecordsOfAKind) {
  // 5940 chunks: 594 full records and an empty one.
  EXPECT_EQ(pack(uniform(5940, 2)).records.size(), 595u);
  EXPECT_EQ(fatal_text([] { pack(uniform(5950, 2)); }),
            "lexbuild error: the dictionary needs more than 595 words records, the most its index "
            "record can list; split it into smaller dictionaries\n");
}

TEST(RecordPacker, ChunksMustFollowEachOtherAndFitARecord) {
  RecordPacker packer(ChunkKind::kTranslations, [](uint32_t, std::span<const uint8_t>) {});
  const Bytes data(10, 1);
  packer.add_chunk(0, 3, data);
  EXPECT_EQ(fatal_text([&] { packer.add_chunk(4, 3, data); }),
            "lexbuild error: the trans chunk of 3 entries from entry 5 does not follow the chunk "
            "before it, which ends before entry 4\n");
  EXPECT_NE(fatal_text([&] { packer.add_chunk(3, 0, data); }), "");
  EXPECT_EQ(fatal_text([&] { packer.add_chunk(3, 1, Bytes(65425, 1)); }),
            "lexbuild error: the trans chunk from entry 4 is 65425 bytes long, more than a record "
            "can hold\n");
  packer.add_chunk(3, 1, Bytes(65424, 1));
  EXPECT_EQ(packer.next_entry(), 4u);
}

TEST(RecordPacker, NodesLinkToTheChunkOfTheirFirstEntry) {
  WordTable table;
  for (const uint32_t from : {0u, 4u, 5u, 9u, 12u, 30u}) table.levels[0].push_back({.from = from});
  table.levels[2].push_back({.from = 10});
  const std::vector<ChunkPlacement> placements = {
      {0, 5, 0, 0}, {5, 5, 0, 1}, {10, 3, 1, 0}, {13, 7, 1, 1}};

  link_word_table(table, placements, ChunkKind::kWords);
  std::vector<std::pair<int, int>> words;
  for (const PrefixNode& node : table.levels[0])
    words.emplace_back(node.words_record, node.words_slot);
  EXPECT_EQ(words,
            (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}, {0, 1}, {0, 1}, {1, 0}, {0, 0}}))
      << "entry 30 lies beyond the chunks and keeps 0";
  EXPECT_EQ(table.levels[2][0].words_record, 1);
  EXPECT_EQ(table.levels[2][0].trans_record, 0) << "a words pass leaves the trans links alone";

  link_word_table(table, placements, ChunkKind::kTranslations);
  EXPECT_EQ(table.levels[0][3].trans_record, 0);
  EXPECT_EQ(table.levels[0][3].trans_slot, 1);
  EXPECT_EQ(table.levels[0][4].trans_record, 1);
}

}  // namespace
}  // namespace lexbuild::testing
