#include "lexdump/dictionary_records.h"

#include <gtest/gtest.h>

#include "compiler/byte_order.h"
#include "lexdump/json_writer.h"
#include "lexdump/lookup.h"
#include "lexdump/pdb_file.h"
#include "support/pdb_builder.h"
#include "support/test_support.h"

namespace lexbuild::dump {
namespace {

// A word table record from (key, num, from) triples in depth-first order.
std::vector<uint8_t> table_record(std::vector<std::tuple<std::string, uint16_t, uint32_t>> nodes) {
  std::vector<uint8_t> record;
  append_be16(record, static_cast<uint16_t>(nodes.size()));
  for (const auto& [key, num, from] : nodes) {
    for (size_t k = 0; k < 4; ++k) record.push_back(k < key.size() ? key[k] : 0);
    append_be16(record, num);
    append_be16(record, 0);
    append_be16(record, 0);
    record.push_back(0);
    record.push_back(0);
    append_be32(record, from);
  }
  return record;
}

TEST(WordTableRecord, DepthFirstOrderRebuildsTheTree) {
  // a (1500 entries) divided into ab (1200, divided into aba and abb) and ac;
  // then b and c undivided.
  const auto record = table_record({{"a", 1500, 0},
                                    {"ab", 1200, 0},
                                    {"aba", 700, 0},
                                    {"abb", 500, 700},
                                    {"ac", 300, 1200},
                                    {"b", 10, 1500},
                                    {"c", 1, 1510}});
  const std::optional<WordTable> table = parse_word_table(record);
  ASSERT_TRUE(table);
  EXPECT_TRUE(table->count_matches_size);
  EXPECT_EQ(table->roots, (std::vector<int>{0, 5, 6}));
  EXPECT_EQ(table->nodes[0].children, (std::vector<int>{1, 4}));
  EXPECT_EQ(table->nodes[1].children, (std::vector<int>{2, 3}));
  EXPECT_EQ(table->nodes[3].level, 3);
  EXPECT_EQ(table->nodes[4].level, 2);
  EXPECT_EQ(table->nodes[4].parent, 0);
  EXPECT_EQ(table->nodes[6].key[0], 'c');
}

TEST(WordTableLookup, FollowsEveryNodeWhoseKeyMatches) {
  // a (1500) divided into "a\x01" and ab; then å, and a second a-node.
  const auto record = table_record(
      {{"a", 1500, 0}, {"a\x01", 1000, 0}, {"ab", 500, 1000}, {"\xE5", 1, 1500}, {"a", 14, 1501}});
  const std::optional<WordTable> table = parse_word_table(record);
  ASSERT_TRUE(table);
  const TableIndex index(*table);
  LowerCase lower{};
  for (int b = 0; b < 256; ++b) lower[b] = static_cast<uint8_t>(b);
  lower['A'] = 'a';
  lower[0xC5] = 0xE5;
  const auto search = [&](std::string_view word, bool first_only = false) {
    return searched_nodes(index, testing::bytes_of(word), lower, first_only);
  };
  EXPECT_EQ(search("abacus"), (std::vector<int>{2, 4}));
  EXPECT_EQ(search("Abacus"), (std::vector<int>{2, 4}));
  EXPECT_EQ(search("abacus", true), (std::vector<int>{2}));  // what a simpler reader searches
  // A word without a second byte joined whichever child was open: all of a.
  EXPECT_EQ(search("a"), (std::vector<int>{0, 4}));
  EXPECT_EQ(search("\xC5ngstr\xF6m"), (std::vector<int>{3}));
  EXPECT_EQ(search("zebu"), (std::vector<int>{}));
}

TEST(WordTableRecord, ARecordShorterThanItsCountIsRefused) {
  auto record = table_record({{"a", 1, 0}, {"b", 1, 1}});
  record.resize(record.size() - 1);
  EXPECT_FALSE(parse_word_table(record));
  EXPECT_FALSE(parse_word_table(std::vector<uint8_t>{0}));
  record = table_record({{"a", 1, 0}});
  record.push_back(0);
  EXPECT_FALSE(parse_word_table(record)->count_matches_size);
}

TEST(PdbFile, HeaderFieldsAndRecordBounds) {
  const std::vector<uint8_t> image =
      testing::build_pdb({testing::header_record(), {1, 2, 3}, {}}, "MyDict", 3082859196u);
  Findings findings;
  const std::optional<PdbFile> pdb = parse_pdb(image, findings);
  ASSERT_TRUE(pdb);
  EXPECT_TRUE(findings.empty());
  EXPECT_EQ(pdb->name, "MyDict");
  EXPECT_EQ(pdb->type, "DICT");
  EXPECT_EQ(pdb->creator, "Vlmr");
  EXPECT_EQ(pdb->records.size(), 3u);
  EXPECT_EQ(pdb->records[1].size, 3u);
  EXPECT_EQ(pdb->records[2].size, 0u);
  EXPECT_EQ(palm_date_text(pdb->creation_date), "2001-09-09 05:46:36");
  // The builder stored time() 1,000,000,000 plus its offset.
  EXPECT_EQ(build_date_text(pdb->creation_date), "2001-09-09 01:46:40");

  const std::optional<HeaderRecord> header = parse_header_record(pdb->record(0));
  ASSERT_TRUE(header);
  EXPECT_TRUE(header->crc_ok);
  EXPECT_EQ(header->items_count, 3u);
  EXPECT_EQ(header->first_trans_record, 5);
}

TEST(PdbFile, DamagedContainersAreReportedNotTrusted) {
  std::vector<uint8_t> image = testing::build_pdb({testing::header_record(), {1, 2, 3}});
  Findings findings;
  EXPECT_FALSE(parse_pdb(std::vector<uint8_t>(image.begin(), image.begin() + 50), findings));
  EXPECT_EQ(findings.back().rule, "header-bounds");

  std::vector<uint8_t> many = image;
  put_be16(many.data() + 76, 60000);  // a record list far past the end
  EXPECT_FALSE(parse_pdb(many, findings));
  EXPECT_EQ(findings.back().rule, "record-list-bounds");

  std::vector<uint8_t> wild = image;
  put_be32(wild.data() + 78 + 8, 0xFFFFFFF0u);  // record 1 beyond the file
  findings.clear();
  const auto pdb = parse_pdb(wild, findings);
  ASSERT_TRUE(pdb);
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings.front().rule, "record-bounds");
  EXPECT_TRUE(pdb->record(1).empty() || pdb->record(1).size() <= wild.size());
}

TEST(JsonWriter, NestsAndEscapes) {
  std::string out;
  JsonWriter j(out);
  j.begin_object();
  j.field("name", std::string("a\"b\\c\nd\te"));
  j.field("n", 42);
  j.field("ok", true);
  j.key("list");
  j.begin_array();
  j.value(1);
  j.begin_object();
  j.field("x", std::string("\x01\xE9"));
  j.end_object();
  j.end_array();
  j.end_object();
  EXPECT_EQ(out,
            "{\"name\":\"a\\\"b\\\\c\\nd\\te\",\"n\":42,\"ok\":true,\"list\":[1,{\"x\":"
            "\"\\u0001\\u00E9\"}]}");
}

}  // namespace
}  // namespace lexbuild::dump
