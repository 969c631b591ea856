#include "compiler/entry_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

struct Parsed {
  TextStores stores;
  std::string console;
  std::string trace;
};

// block_size 0 parses the data whole; any other size streams it in blocks.
Parsed parse_in_blocks(const std::vector<uint8_t>& data, bool unicode, size_t block_size) {
  Parsed result;
  StringConsole console;
  EntryParser parser(unicode, console, result.stores, "list.txt");
  const TraceSink trace = [&result](std::span<const uint8_t> line) {
    result.trace.append(line.begin(), line.end());
  };
  if (block_size == 0) {
    parser.parse_list(data, trace);
  } else {
    size_t offset = 0;
    parser.parse_stream(
        [&](std::span<uint8_t> block) {
          const size_t n = std::min(block.size(), data.size() - offset);
          std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), n, block.begin());
          offset += n;
          return n;
        },
        trace, block_size);
  }
  result.stores.close();
  result.console = console.text();
  return result;
}

// Parses `data` whole, and checks that reading it in blocks of any size
// (lines and CR LF pairs cut anywhere) gives the same stores, trace,
// progress and refusal.
Parsed parse(const std::vector<uint8_t>& data, bool unicode) {
  const std::string refusal = fatal_text([&] { parse_in_blocks(data, unicode, 0); });
  for (const size_t block_size : {1, 2, 3, 5, 8, 13, 4096, 1 << 20}) {
    SCOPED_TRACE("blocks of " + std::to_string(block_size));
    if (!refusal.empty()) {
      EXPECT_EQ(fatal_text([&] { parse_in_blocks(data, unicode, block_size); }), refusal);
      continue;
    }
    const Parsed streamed = parse_in_blocks(data, unicode, block_size);
    const Parsed whole = parse_in_blocks(data, unicode, 0);
    EXPECT_EQ(streamed.stores.words, whole.stores.words);
    EXPECT_EQ(streamed.stores.translations, whole.stores.translations);
    EXPECT_EQ(streamed.stores.word_offsets, whole.stores.word_offsets);
    EXPECT_EQ(streamed.trace, whole.trace);
    EXPECT_EQ(streamed.console, whole.console);
  }
  return parse_in_blocks(data, unicode, 0);
}

Parsed parse8(std::string_view list) { return parse(bytes_of(list), false); }
Parsed parse16(std::string_view list) { return parse(wide_list(list), true); }

std::string word_text(const TextStores& stores, uint32_t entry) {
  const auto record = stores.word_record(entry);
  return std::string(record.begin() + 1, record.end());
}

TEST(EntryParser, CatAnimalRecordsInBothModes) {
  const Parsed narrow = parse8("cat\tanimal\r\n");
  EXPECT_EQ(to_hex(narrow.stores.words), "04 63 61 74 00");
  EXPECT_EQ(to_hex(narrow.stores.translations), "07 61 6E 69 6D 61 6C 00");
  EXPECT_EQ(narrow.stores.entry_count, 1u);
  EXPECT_EQ(narrow.console, "\r1 word parsing");
  EXPECT_EQ(narrow.trace, "cat\tanimal\r\n");

  const Parsed wide = parse16("cat\tanimal\r\n");
  EXPECT_EQ(to_hex(wide.stores.words), "08 63 00 61 00 74 00 00 00");
  EXPECT_EQ(to_hex(wide.stores.translations), "0D 61 00 6E 00 69 00 6D 00 61 00 6C 00 00");
  EXPECT_EQ(wide.stores.entry_count, 1u);
  // The trace holds the units as stored, then the bytes CR LF.
  const std::vector<uint8_t> list = wide_list("cat\tanimal\r\n");
  EXPECT_EQ(wide.trace, std::string(list.begin(), list.end()));
}

TEST(EntryParser, TranslationsTakeTheLongFormAbove254Bytes) {
  Parsed p = parse8("a\t" + std::string(254, 'x') + "\r\nb\t" + std::string(255, 'y') + "\r\n");
  ASSERT_EQ(p.stores.entry_count, 2u);
  std::vector<uint8_t> expected{0xFF};
  expected.insert(expected.end(), 254, 'x');
  expected.insert(expected.end(), {0x00, 0x01, 0x02});
  expected.insert(expected.end(), 255, 'y');
  expected.push_back(0);
  EXPECT_EQ(p.stores.translations, expected);
  EXPECT_EQ(translation_record_length(p.stores.translations.data()), 255u);
  EXPECT_EQ(translation_record_length(p.stores.translations.data() + 255), 258u);

  // UTF-16: 127 units are 254 bytes, still short; 128 units are long.
  p = parse16("a\t" + std::string(127, 'x') + "\r\nb\t" + std::string(128, 'y') + "\r\n");
  ASSERT_EQ(p.stores.entry_count, 2u);
  EXPECT_EQ(p.stores.translations[0], 0xFF);
  EXPECT_EQ(to_hex({p.stores.translations.begin() + 255, p.stores.translations.begin() + 258}),
            "00 01 03");
  EXPECT_EQ(p.stores.translations.size(), 255u + 259u + 1u);
}

TEST(EntryParser, SpacesAroundWordAndTranslationAreTrimmed) {
  Parsed p = parse8("  cat  \t  big cat  \r\n");
  ASSERT_EQ(p.stores.entry_count, 1u);
  EXPECT_EQ(word_text(p.stores, 0), "cat");
  EXPECT_EQ(to_hex(p.stores.translations), "08 " + to_hex(bytes_of("big cat")) + " 00");
  EXPECT_EQ(p.trace, "  cat  \t  big cat\r\n")
      << "only the trailing spaces are gone from the trace";

  // 8-bit lines also lose trailing LF bytes; UTF-16 lines only spaces.
  p = parse8("cat\tanimal \n \n\r\n");
  EXPECT_EQ(p.trace, "cat\tanimal\r\n");
  p = parse16("cat\tanimal\n \r\n");
  EXPECT_EQ(p.stores.translations.size(), 1u + 14u + 1u) << "the LF unit stays";

  // An empty word is stored as an empty record.
  p = parse8("  \tnothing\r\n");
  EXPECT_EQ(to_hex(p.stores.words), "01 00");
  p = parse16("\tnothing\r\n");
  EXPECT_EQ(to_hex(p.stores.words), "02 00 00");
}

TEST(EntryParser, BreakEscapesBecomeSpaceAndLineFeedInWordAndTranslation) {
  const Parsed p = parse8("a\\nb\tx\\ny\\\\nz\r\n");
  ASSERT_EQ(p.stores.entry_count, 1u);
  EXPECT_EQ(word_text(p.stores, 0), "a \nb");
  EXPECT_EQ(std::string(p.stores.translations.begin() + 1, p.stores.translations.end() - 1),
            "x \ny\\ \nz");
  EXPECT_EQ(p.trace, "a\\nb\tx\\ny\\\\nz\r\n") << "the trace shows the line as read";

  const Parsed wide = parse16("a\\nb\tc\r\n");
  EXPECT_EQ(to_hex(wide.stores.words), "0A 61 00 20 00 0A 00 62 00 00 00");
}

TEST(EntryParser, LinesWithoutTabAreTracedButAddNoEntry) {
  const Parsed p = parse8("abc\r\ncat\tanimal\tpet\r\n");
  ASSERT_EQ(p.stores.entry_count, 1u);
  EXPECT_EQ(p.console, "\r1 word parsing") << "the line without TAB takes no number";
  EXPECT_EQ(p.trace, "abc\r\ncat\tanimal\tpet\r\n");
  EXPECT_EQ(std::string(p.stores.translations.begin() + 1, p.stores.translations.end() - 1),
            "animal\tpet")
      << "a second TAB belongs to the translation";
}

TEST(EntryParser, LineEnds) {
  // A CR alone ends an 8-bit line; a bare LF does not.
  Parsed p = parse8("a\t1\rb\t2\r\n");
  EXPECT_EQ(p.stores.entry_count, 2u);
  EXPECT_EQ(p.console, "\r1 word parsing\r2 word parsing");
  p = parse8("a\t1\nb\t2\r\n");
  ASSERT_EQ(p.stores.entry_count, 1u);
  EXPECT_EQ(std::string(p.stores.translations.begin() + 1, p.stores.translations.end() - 1),
            "1\nb\t2");

  // The end of the data ends the last line; a UTF-16 list ignores an odd last byte.
  p = parse8("a\t1\r\nb\t2");
  EXPECT_EQ(p.stores.entry_count, 2u);
  std::vector<uint8_t> wide = wide_list("a\t1\r\nb\t2");
  wide.push_back(0x0D);
  EXPECT_EQ(parse(wide, true).stores.entry_count, 2u);

  // UTF-16 lines end at the unit 0x0A0D only: the units 000D 000A are text.
  wide = wide_list("a\t1");
  wide.insert(wide.end(), {0x0D, 0x00, 0x0A, 0x00});
  const std::vector<uint8_t> rest = wide_list("b\t2\r\n");
  wide.insert(wide.end(), rest.begin(), rest.end());
  EXPECT_EQ(parse(wide, true).stores.entry_count, 1u);
}

TEST(EntryParser, BlankLinesAreSkippedAndAnEmptyLineEndsTheList) {
  Parsed p = parse8("a\t1\r\n   \r\nb\t2\r\n\r\nc\t3\r\n");
  EXPECT_EQ(p.stores.entry_count, 2u);
  EXPECT_EQ(p.trace, "a\t1\r\nb\t2\r\n");

  p = parse8("\r\ncat\tanimal\r\n");
  EXPECT_EQ(p.stores.entry_count, 0u);
  EXPECT_EQ(to_hex(p.stores.words), "00");
  EXPECT_EQ(to_hex(p.stores.translations), "00");
  EXPECT_EQ(p.trace, "");

  p = parse16("a\t1\r\n  \r\nb\t2\r\n\r\nc\t3\r\n");
  EXPECT_EQ(p.stores.entry_count, 2u);
  EXPECT_EQ(parse(std::vector<uint8_t>{}, true).stores.entry_count, 0u);
}

TEST(EntryParser, WordOffsetsIndexEveryEntry) {
  const Parsed p = parse8("a\t1\r\nbcd\t2\r\n\tempty\r\nef\t3\r\n");
  EXPECT_EQ(p.stores.word_offsets, (std::vector<uint32_t>{0, 2, 6, 7}));
  EXPECT_EQ(word_text(p.stores, 3), "ef");
}

// ---- limits of the records: refused with the line named, never wrapped ----

TEST(EntryParser, LinesUpToTheBufferPassAndLongerOnesAreRefused) {
  const std::string word(100, 'w');
  EXPECT_EQ(parse8(word + "\t" + std::string(8191 - 101, 'x') + "\r\n").stores.entry_count, 1u);
  EXPECT_EQ(fatal_text([&] { parse8("a\t1\r\n" + word + "\t" + std::string(8192 - 101, 'x')); }),
            "lexbuild error: list.txt, line 2: the line is longer than 8191 bytes; shorten the "
            "entry (\"wwwwwwwwwwwwwwwwwwwwwwww...\")\n");

  EXPECT_EQ(parse16(word + "\t" + std::string(4095 - 101, 'x') + "\r\n").stores.entry_count, 1u);
  EXPECT_NE(fatal_text([&] {
              parse16(word + "\t" + std::string(4096 - 101, 'x') + "\r\n");
            }).find("line 1: the line is longer than 4095 characters"),
            std::string::npos);
}

TEST(EntryParser, WordsMustFitTheirLengthByte) {
  Parsed p = parse8(std::string(254, 'w') + "\tx\r\n");
  ASSERT_EQ(p.stores.entry_count, 1u);
  EXPECT_EQ(p.stores.words[0], 255);
  EXPECT_EQ(fatal_text([] { parse8(std::string(255, 'w') + "\tx\r\n"); }),
            "lexbuild error: list.txt, line 1: the word is longer than 254 bytes; shorten the word "
            "(\"wwwwwwwwwwwwwwwwwwwwwwww...\")\n");

  p = parse16(std::string(126, 'w') + "\tx\r\n");
  ASSERT_EQ(p.stores.entry_count, 1u);
  EXPECT_EQ(p.stores.words[0], 254);
  EXPECT_NE(fatal_text([] {
              parse16(std::string(127, 'w') + "\tx\r\n");
            }).find("the word is longer than 126 characters"),
            std::string::npos);
}

TEST(EntryParser, TranslationRecordsStayBelowTheChunkLimit) {
  // A one-byte word leaves room on a full line for a record of 8192 bytes.
  const Parsed p = parse8("a\t" + std::string(8188, 'x') + "\r\n");
  ASSERT_EQ(p.stores.entry_count, 1u);
  EXPECT_EQ(translation_record_length(p.stores.translations.data()), 8191u);
  EXPECT_NE(fatal_text([] {
              parse8("a\t" + std::string(8189, 'x') + "\r\n");
            }).find("line 1: the translation is longer than 8188 bytes"),
            std::string::npos);
}

TEST(EntryParser, AtMost999999Entries) {
  std::string list;
  list.reserve(1000000 * 5);
  for (int i = 0; i < 999999; ++i) list += "a\tb\r\n";
  TextStores stores;
  NullConsole console;
  EntryParser parser(false, console, stores, "big");
  const auto data = bytes_of(list);
  parser.parse_list(data, nullptr);
  EXPECT_EQ(stores.entry_count, 999999u);
  EXPECT_EQ(fatal_text([&] { parser.parse_list(bytes_of("z\ty\r\n"), nullptr); }),
            "lexbuild error: big, line 1000000: the list holds more than 999999 entries, the most "
            "a dictionary can hold; split it into smaller dictionaries (\"z y\")\n");
}

}  // namespace
}  // namespace lexbuild::testing
