#include "platform/collator.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/locale_data.h"

namespace lexbuild::platform {
namespace {

std::vector<uint8_t> key_of(const Collator& collator, std::u16string_view text) {
  std::vector<uint8_t> key;
  collator.append_sort_key(text, key);
  return key;
}

int sign(int v) { return (v > 0) - (v < 0); }

// Every pair of a list of tricky words (case, punctuation, digits, accents,
// ligatures) compares as the Windows comparison orders them, both by
// compare() and by sort keys.
void expect_measured_order(const std::string& locale_id, const std::string& file) {
  const auto collator = Collator::create(locale_id);
  ASSERT_TRUE(collator);
  const auto words = testing::read_word_order(file);
  ASSERT_GT(words.size(), 50u);
  std::vector<int> rank;
  for (size_t i = 0; i < words.size(); ++i) {
    rank.push_back(i == 0 ? 0 : rank.back() + (words[i].equal_to_previous ? 0 : 1));
  }
  for (size_t i = 0; i < words.size(); ++i) {
    for (size_t j = 0; j < words.size(); ++j) {
      const int expected = sign(rank[i] - rank[j]);
      EXPECT_EQ(sign(collator->compare(words[i].word, words[j].word)), expected)
          << file << " " << i << " " << j;
      const auto a = key_of(*collator, words[i].word);
      const auto b = key_of(*collator, words[j].word);
      const int by_key = a < b ? -1 : b < a ? 1 : 0;
      EXPECT_EQ(by_key, expected) << file << " " << i << " " << j;
    }
  }
}

TEST(Collator, EnglishWordsSortAsWindowsSortsThem) {
  expect_measured_order("en", "word_order_english.tsv");
}

TEST(Collator, RussianWordsSortAsWindowsSortsThemWithLatinFirst) {
  expect_measured_order("ru", "word_order_russian.tsv");
}

TEST(Collator, CaseIgnoredPunctuationCounted) {
  const auto en = Collator::create("en");
  ASSERT_TRUE(en);
  EXPECT_EQ(en->compare(u"Apple", u"aPPLE"), 0);
  EXPECT_LT(en->compare(u"ab", u"ab-"), 0);
  EXPECT_LT(en->compare(u"a-b", u"ab"), 0);
  EXPECT_EQ(en->compare(u"stra\u00DFe", u"STRASSE"), 0) << "sharp s folds to ss";
  EXPECT_NE(en->compare(u"\u00B9", u"1"), 0) << "superscript one keeps its own place";
  EXPECT_NE(en->compare(u"\u00B5", u"\u03BC"), 0) << "micro sign is no Greek mu";
  EXPECT_LT(en->compare(u"", u"a"), 0);
}

TEST(Collator, FrenchComparesAccentsFromTheEnd) {
  const auto fr = Collator::create("fr");
  ASSERT_TRUE(fr);
  const std::u16string order[] = {u"cote", u"c\u00F4te", u"cot\u00E9", u"c\u00F4t\u00E9"};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    EXPECT_LT(fr->compare(order[i], order[i + 1]), 0) << i;
  }
  const auto en = Collator::create("en");
  EXPECT_LT(en->compare(u"cot\u00E9", u"c\u00F4te"), 0) << "other languages from the start";
}

}  // namespace
}  // namespace lexbuild::platform
