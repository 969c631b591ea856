#include "intake/locale_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "driver/report.h"
#include "intake/parallel_sort.h"
#include "support/test_support.h"

namespace lexbuild {
namespace {

using testing::bytes_of;
using testing::hex_bytes;
using testing::read_bytes;
using testing::TempDir;
using testing::to_hex;
using testing::write_bytes;

// The list `text` as the sort writes it back, with "\n" for each line end.
std::string sort_8bit(std::string_view text, const SourceLocale& locale = SourceLocale()) {
  const std::vector<uint8_t> data = bytes_of(text);
  bool too_long = false;
  std::string out;
  for (const ListLine& line : sorted_lines(data, ListEncoding::k8Bit, locale, &too_long)) {
    out.append(reinterpret_cast<const char*>(data.data()) + line.offset, line.length);
    out += '\n';
  }
  EXPECT_FALSE(too_long);
  return out;
}

std::vector<uint8_t> utf16(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t u : text) {
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return bytes;
}

// Lines of a 16-bit list, each followed by the list's line end 0D 0A.
std::vector<uint8_t> utf16_list(std::initializer_list<std::u16string_view> lines) {
  std::vector<uint8_t> bytes;
  for (std::u16string_view line : lines) {
    const auto b = utf16(line);
    bytes.insert(bytes.end(), b.begin(), b.end());
    bytes.push_back(0x0D);
    bytes.push_back(0x0A);
  }
  return bytes;
}

std::vector<uint8_t> sort_16bit(const std::vector<uint8_t>& data, const SourceLocale& locale) {
  bool too_long = false;
  std::vector<uint8_t> out;
  for (const ListLine& line : sorted_lines(data, ListEncoding::k16Bit, locale, &too_long)) {
    out.insert(out.end(), data.begin() + line.offset, data.begin() + line.offset + line.length);
    out.push_back(0x0D);
    out.push_back(0x0A);
  }
  return out;
}

TEST(LocaleSort, CLocaleFoldsAsciiLettersAndComparesBytes) {
  const std::string sorted = sort_8bit("Banana\t1\napple\t2\nApple\t3\n");
  EXPECT_TRUE(sorted == "apple\t2\nApple\t3\nBanana\t1\n" ||
              sorted == "Apple\t3\napple\t2\nBanana\t1\n")
      << sorted;
  EXPECT_EQ(sort_8bit("cats\t1\ncat\t2\n"), "cat\t2\ncats\t1\n");
  EXPECT_EQ(sort_8bit("ab\t1\na_b\t2\n"), "a_b\t2\nab\t1\n");
  EXPECT_EQ(sort_8bit("\x80x\t1\nzz\t2\nZ\t3\n"), "Z\t3\nzz\t2\n\x80x\t1\n");
  EXPECT_EQ(sort_8bit("dog\tanimal\ncat\tanimal\n"), "cat\tanimal\ndog\tanimal\n");
}

TEST(LocaleSort, OnlyTheTextBeforeTheFirstTabCounts) {
  EXPECT_EQ(sort_8bit("ab\tz\nab\ta\n"), "ab\tz\nab\ta\n") << "equal keys keep their order";
  EXPECT_EQ(sort_8bit("b\ta\na\tb\tc\n"), "a\tb\tc\nb\ta\n");
}

TEST(LocaleSort, EmptyLinesAreDroppedAndLinesWithoutTabGoLast) {
  EXPECT_EQ(sort_8bit(""), "");
  EXPECT_EQ(sort_8bit("\n\n"), "");
  EXPECT_EQ(sort_8bit("b\t1\n\nzeta\n\na\t2\nalpha\n"), "a\t2\nb\t1\nzeta\nalpha\n");
}

TEST(LocaleSort, LastLineWithoutLineEndIsSortedWithTheOthers) {
  EXPECT_EQ(sort_8bit("b\t1\na\t2"), "a\t2\nb\t1\n");
}

TEST(LocaleSort, TextModeLineEnds) {
  EXPECT_EQ(sort_8bit("b\t1\r\na\t2\r\n"), "a\t2\nb\t1\n");
  EXPECT_EQ(sort_8bit("b\t1\x1A"
                      "a\t2\n"),
            "b\t1\n")
      << "0x1A ends the list";
  EXPECT_EQ(sort_8bit("b\tx\ry\na\t2\n"), "a\t2\nb\tx\ry\n") << "a lone CR is a byte";
}

TEST(LocaleSort, ZeroBytesStayInTheLine) {
  EXPECT_EQ(sort_8bit(std::string("b\tx\0y\na\t1\n", 10)), std::string("a\t1\nb\tx\0y\n", 10));
}

// Each position compares on its own: the accent of the first letter decides
// before the later letters do.
TEST(LocaleSort, EightBitListComparesPositionByPosition) {
  const SourceLocale english = SourceLocale::select("English");
  EXPECT_EQ(sort_8bit("\xE9"
                      "a\t1\nez\t2\n",
                      english),
            "ez\t2\n\xE9"
            "a\t1\n");
  EXPECT_EQ(sort_8bit("B\t1\n-a\t2\na\t3\n", english), "-a\t2\na\t3\nB\t1\n");
  EXPECT_EQ(sort_8bit("ab\t1\nAB\t2\nA\t3\n", english), "A\t3\nab\t1\nAB\t2\n");

  const SourceLocale russian = SourceLocale::select("Russian");
  // Latin before Cyrillic; yo after ye.
  EXPECT_EQ(sort_8bit("\xE0\t1\nz\t2\n\xB8\t3\n\xE5\t4\n", russian),
            "z\t2\n\xE0\t1\n\xE5\t4\n\xB8\t3\n");
}

TEST(LocaleSort, KeysThatDifferOnlyByCharactersLikeTheEmptyStringAreEqual) {
  const SourceLocale english = SourceLocale::select("English");
  const ByteTable& ranks = english.byte_ranks();
  const auto a = bytes_of("ab");
  const auto b = bytes_of("ab\xAD");  // soft hyphen: like the empty string
  const auto c = bytes_of("ab\xADz");
  EXPECT_EQ(compare_8bit_keys(a, b, ranks), 0);
  EXPECT_EQ(compare_8bit_keys(b, a, ranks), 0);
  EXPECT_LT(compare_8bit_keys(a, c, ranks), 0);
  EXPECT_GT(compare_8bit_keys(c, a, ranks), 0) << "the order is the same both ways";
}

TEST(LocaleSort, SixteenBitListCLocale) {
  const SourceLocale c;
  const auto cat = utf16_list({u"cat\tanimal"});
  EXPECT_EQ(to_hex(sort_16bit(cat, c)),
            "63 00 61 00 74 00 09 00 61 00 6E 00 69 00 6D 00 61 00 6C 00 0D 0A");
  EXPECT_EQ(sort_16bit(utf16_list({u"b\t1", u"A\t2", u"a_\t3", u"ab\t4"}), c),
            utf16_list({u"A\t2", u"a_\t3", u"ab\t4", u"b\t1"}));
  // U+040A has the low byte 0x0A, U+0D0A both; neither ends a line.
  EXPECT_EQ(sort_16bit(utf16_list({u"\u040A\t\u0D0A", u"a\t1"}), c),
            utf16_list({u"a\t1", u"\u040A\t\u0D0A"}));
  // Bytes 0D 0A and 09 00 across two units are no line end and no tab.
  EXPECT_EQ(sort_16bit(utf16_list({u"b\u0D78\u010A\t1", u"a\u0978\u0100b\t2", u"a\t3"}), c),
            utf16_list({u"a\t3", u"a\u0978\u0100b\t2", u"b\u0D78\u010A\t1"}));
  EXPECT_EQ(sort_16bit(utf16_list({u"b\t\uFFFF", u"a\t1"}), c), utf16_list({u"a\t1", u"b\t\uFFFF"}))
      << "the unit FFFF is a unit like any other";
}

TEST(LocaleSort, SixteenBitListComparesWholeKeys) {
  const SourceLocale russian = SourceLocale::select("Russian");
  // Whole keys: the accent counts only after the letters.
  EXPECT_EQ(sort_16bit(utf16_list({u"\u0451\u0436\t1", u"\u0435\u0436\u0438\u043A\t2",
                                   u"\u0435\u0436\t3", u"Zoo\t4"}),
                       russian),
            utf16_list({u"Zoo\t4", u"\u0435\u0436\t3", u"\u0451\u0436\t1",
                        u"\u0435\u0436\u0438\u043A\t2"}));
  const SourceLocale english = SourceLocale::select("English");
  EXPECT_EQ(sort_16bit(utf16_list({u"ab-\t1", u"a-b\t2", u"ab\t3", u"", u"note"}), english),
            utf16_list({u"a-b\t2", u"ab\t3", u"ab-\t1", u"note"}));
}

// Every split into parts, even and odd, merged in rounds, gives std::sort's
// order; many equal keys check that ties are left to the order's own rule.
TEST(LocaleSort, ParallelSortGivesTheOrderOfAPlainSort) {
  struct Item {
    uint32_t key;
    uint32_t position;
  };
  const auto less = [](const Item& x, const Item& y) {
    return x.key != y.key ? x.key < y.key : x.position < y.position;
  };
  std::mt19937 random(7);
  for (const size_t size : {size_t{0}, size_t{1}, size_t{16383}, size_t{32768}, size_t{70001}}) {
    std::vector<Item> items(size);
    for (size_t i = 0; i < size; ++i) {
      items[i] = Item{static_cast<uint32_t>(random() % 1000), static_cast<uint32_t>(i)};
    }
    std::vector<Item> expected = items;
    std::sort(expected.begin(), expected.end(), less);
    for (const size_t workers : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{8}}) {
      std::vector<Item> sorted = items;
      parallel_sort(sorted, less, workers);
      ASSERT_TRUE(std::equal(sorted.begin(), sorted.end(), expected.begin(), expected.end(),
                             [](const Item& x, const Item& y) { return x.position == y.position; }))
          << size << " items, " << workers << " workers";
    }
  }
}

TEST(LocaleSort, SortListRewritesTheFileInPlace) {
  TempDir dir;
  Settings settings = init_settings_with_work_folder(dir.path());
  StringConsole console;
  Log log;
  BuildContext context(settings, console, log);
  const std::string path = dir.file("list");

  write_bytes(path, bytes_of("dog\tanimal\ncat\tanimal"));
  sort_list(context, path, SourceLocale());
  EXPECT_EQ(read_bytes(path), bytes_of("cat\tanimal\r\ndog\tanimal\r\n"));

  write_bytes(path, {});
  sort_list(context, path, SourceLocale());
  EXPECT_EQ(read_bytes(path), std::vector<uint8_t>{}) << "an empty list stays empty";

  settings.unicode = 1;
  write_bytes(path, hex_bytes("62 00 09 00 0A 04 0D 0A 61 00 09 00 31 00 0D 0A"));
  sort_list(context, path, SourceLocale());
  EXPECT_EQ(to_hex(read_bytes(path)), "61 00 09 00 31 00 0D 0A 62 00 09 00 0A 04 0D 0A");
  EXPECT_EQ(testing::list_folder(dir.path()), std::vector<std::string>{"list"});

  try {
    sort_list(context, dir.file("missing"), SourceLocale());
    FAIL() << "no fatal report";
  } catch (const FatalError& error) {
    EXPECT_EQ(error.output(), "lexbuild error: could not open file " + dir.file("missing"));
    EXPECT_EQ(error.exit_status(), 1);
  }
}

}  // namespace
}  // namespace lexbuild
