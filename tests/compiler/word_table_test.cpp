#include "compiler/word_table.h"

#include <gtest/gtest.h>

#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

WordTable table_of(const std::vector<std::string>& words, bool unicode = false,
                   const std::array<uint8_t, 256>& lower_case = c_lower_case()) {
  const TextStores stores = stores_of(words, unicode);
  NullConsole console;
  return build_word_table(stores, lower_case, console);
}

std::vector<std::string> repeat(const std::string& word, size_t times) {
  return std::vector<std::string>(times, word);
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// "key from num childs" of every node of one level, key bytes 0 shown as '0'.
std::string describe(const std::vector<PrefixNode>& nodes, int level) {
  std::string text;
  for (const PrefixNode& node : nodes) {
    if (!text.empty()) text += ", ";
    for (int i = 0; i < level; ++i) text += node.key[i] ? static_cast<char>(node.key[i]) : '0';
    text += " " + std::to_string(node.from) + " " + std::to_string(node.num) + " " +
            std::to_string(node.childs);
  }
  return text;
}

TEST(WordTable, LevelOneGroupsNeighboursByTheirLowerCasedFirstByte) {
  const TextStores stores = stores_of({"Apple", "apple", "banana"});
  StringConsole console;
  const WordTable table = build_word_table(stores, c_lower_case(), console);
  EXPECT_EQ(console.text(), "itemsCount = 3\n");
  EXPECT_EQ(describe(table.levels[0], 1), "a 0 2 0, b 2 1 0");
  EXPECT_TRUE(table.levels[1].empty());

  // Only neighbours merge: a letter that comes back opens another node.
  EXPECT_EQ(describe(table_of({"a", "b", "a"}).levels[0], 1), "a 0 1 0, b 1 1 0, a 2 1 0");
  // An empty word has no byte 0 and takes the key 0.
  EXPECT_EQ(describe(table_of({"", "", "a"}).levels[0], 1), "0 0 2 0, a 2 1 0");
  EXPECT_EQ(describe(table_of({"", "a"}, true).levels[0], 1), "0 0 1 0, a 1 1 0");
}

TEST(WordTable, KeysUseTheLocalesLowerCaseMapping) {
  const std::vector<std::string> words = {"\xC0x", "\xE0y"};
  EXPECT_EQ(table_of(words).levels[0].size(), 2u) << "the C mapping leaves 0xC0 alone";
  std::array<uint8_t, 256> latin1 = c_lower_case();
  latin1[0xC0] = 0xE0;
  const WordTable table = table_of(words, false, latin1);
  ASSERT_EQ(table.levels[0].size(), 1u);
  EXPECT_EQ(table.levels[0][0].key[0], 0xE0);
}

TEST(WordTable, GroupsOfMoreThan1000EntriesAreDivided) {
  const WordTable kept = table_of(repeat("aa", 500) + repeat("ab", 500));
  EXPECT_EQ(describe(kept.levels[0], 1), "a 0 1000 0");
  EXPECT_TRUE(kept.levels[1].empty());

  const WordTable divided = table_of(repeat("aA", 500) + repeat("ab", 501) + repeat("b", 1));
  EXPECT_EQ(describe(divided.levels[0], 1), "a 0 1001 2, b 1001 1 0");
  EXPECT_EQ(divided.levels[0][0].first_child, 0u);
  EXPECT_EQ(describe(divided.levels[1], 2), "aa 0 500 0, ab 500 501 0");
}

TEST(WordTable, WordsWithoutTheNextByteJoinTheCurrentChild) {
  // One-byte words first open a child with key byte 0 and no comparison
  // byte: the next word with a second byte opens another, even a zero byte.
  EXPECT_EQ(describe(table_of(repeat("a", 2) + repeat("ab", 999)).levels[1], 2),
            "a0 0 2 0, ab 2 999 0");
  EXPECT_EQ(
      describe(table_of(std::vector<std::string>{"a", std::string("a\0", 2)} + repeat("ab", 999))
                   .levels[1],
               2),
      "a0 0 1 0, a0 1 1 0, ab 2 999 0");
  // After a child with a comparison byte, a one-byte word simply joins it.
  EXPECT_EQ(
      describe(table_of(std::vector<std::string>{"ab", "a"} + repeat("ab", 999)).levels[1], 2),
      "ab 0 1001 1");
}

TEST(WordTable, ChildrenOfLaterParentsFollowInTableOrder) {
  const WordTable table = table_of(repeat("ab", 1001) + repeat("ba", 600) + repeat("bb", 401));
  EXPECT_EQ(describe(table.levels[0], 1), "a 0 1001 1, b 1001 1001 2");
  EXPECT_EQ(table.levels[0][1].first_child, 1u);
  EXPECT_EQ(describe(table.levels[1], 2), "ab 0 1001 1, ba 1001 600 0, bb 1601 401 0");
}

TEST(WordTable, Utf16KeysAreTheBytesOfTheUnits) {
  // Latin letters share the high byte 0 at position 1; position 2 is the
  // low byte of the second unit.
  const WordTable table = table_of(repeat("ab", 600) + repeat("ac", 401), true);
  EXPECT_EQ(describe(table.levels[0], 1), "a 0 1001 1");
  EXPECT_EQ(describe(table.levels[1], 2), "a0 0 1001 2");
  EXPECT_EQ(describe(table.levels[2], 3), "a0b 0 600 0, a0c 600 401 0");
}

TEST(WordTable, LevelFourNodesAreNeverDividedAndTheDumpListsThem) {
  const WordTable table = table_of(repeat("abcde", 1001));
  ASSERT_EQ(table.node_count(), 4u);
  EXPECT_EQ(table_dump_text(table),
            "\nNot supported: "
            "\nabcd from=000001 num=001001"
            "\n---------------"
            "\n\ta from=000001 num=001001 childs=000001"
            "\n\t\tab from=000001 num=001001 childs=000001"
            "\n\t\t\tabc from=000001 num=001001 childs=000001"
            "\n\t\t\t\tabcd from=000001 num=001001 childs=000000");
}

TEST(WordTable, AntBeeCatRecordAndDump) {
  const WordTable table = table_of({"ant", "bee", "cat"});
  EXPECT_EQ(to_hex(table_record_bytes(table)),
            "00 03 "
            "61 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 "
            "62 00 00 00 00 01 00 00 00 00 00 00 00 00 00 01 "
            "63 00 00 00 00 01 00 00 00 00 00 00 00 00 00 02");

  TempDir dir;
  Settings settings = init_settings_with_work_folder(dir.path());
  NullConsole console;
  Log log;
  BuildContext context(settings, console, log);
  write_table_dump(context, table);
  write_table_record(context, table);
  EXPECT_EQ(read_text(dir.file("_tableDebug.txt")),
            "\r\n\ta from=000001 num=000001 childs=000000"
            "\r\n\tb from=000002 num=000001 childs=000000"
            "\r\n\tc from=000003 num=000001 childs=000000");
  EXPECT_EQ(read_bytes(dir.file("rec_tab.bin")), table_record_bytes(table));

  // Key bytes are written raw, a zero byte included.
  EXPECT_EQ(table_dump_text(table_of({""})),
            std::string("\n\t\0 from=000001 num=000001 childs=000000", 40));
}

TEST(WordTable, RecordIsDepthFirstWithBigEndianLinks) {
  WordTable table = table_of(repeat("aa", 500) + repeat("ab", 501) + repeat("b", 1));
  for (auto& level : table.levels) {
    for (PrefixNode& node : level) {
      node.words_record = 0x0102;
      node.trans_record = 0x0304;
      node.words_slot = 5;
      node.trans_slot = 9;
    }
  }
  EXPECT_EQ(to_hex(table_record_bytes(table)),
            "00 04 "
            "61 00 00 00 03 E9 01 02 03 04 05 09 00 00 00 00 "
            "61 61 00 00 01 F4 01 02 03 04 05 09 00 00 00 00 "
            "61 62 00 00 01 F5 01 02 03 04 05 09 00 00 01 F4 "
            "62 00 00 00 00 01 01 02 03 04 05 09 00 00 03 E9");
}

// ---- limits: refused, never wrapped ----

TEST(WordTable, AtMost4095NodesFitTheTableRecord) {
  std::vector<std::string> words;
  for (int i = 0; i < 4095; ++i) words.push_back(i % 2 ? "b" : "a");
  const WordTable table = table_of(words);
  EXPECT_EQ(table.node_count(), 4095u);
  EXPECT_EQ(table_record_bytes(table).size(), 65522u);

  words.push_back("b");
  EXPECT_EQ(fatal_text([&] { table_of(words); }),
            "lexbuild error: the word table needs more than 4095 nodes, the most its record can "
            "hold: the dictionary is too large; split it into smaller dictionaries\n");
}

TEST(WordTable, ANodeCountsAtMost65535Entries) {
  const WordTable table = table_of(repeat("a", 65535));
  EXPECT_EQ(describe(table.levels[3], 4), "a000 0 65535 0");
  const std::vector<uint8_t> record = table_record_bytes(table);
  EXPECT_EQ(to_hex({record.begin() + 6, record.begin() + 8}), "FF FF") << "num of the first node";

  EXPECT_EQ(fatal_text([] { table_of(repeat("a", 65536)); }),
            "lexbuild error: more than 65535 entries from entry 1 on begin alike, the most a word "
            "table node can count: the dictionary is too large; split it into smaller "
            "dictionaries\n");
}

}  // namespace
}  // namespace lexbuild::testing
