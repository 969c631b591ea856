#include "lexdump/dictionary.h"

#include <gtest/gtest.h>

#include "compiler/byte_order.h"
#include "compiler/format.h"
#include "support/pdb_builder.h"
#include "support/test_support.h"

namespace lexbuild::dump {
namespace {

using testing::hex_bytes;

// A dictionary whose header record says how its text is stored; the records
// split_records() is handed need not be in it.
Dictionary dictionary(bool unicode) {
  std::vector<uint8_t> header = testing::header_record(1);
  put_be32(header.data() + format::kUnicodeFlagOffset, unicode ? 1 : 0);
  testing::seal_header_record(header);
  Findings findings;
  std::optional<Dictionary> d = Dictionary::open(testing::build_pdb({header}), findings);
  EXPECT_TRUE(d.has_value());
  return std::move(*d);
}

TEST(DictionarySplitRecords, Utf16TextsAreWholeUnits) {
  const Dictionary wide = dictionary(true);
  // The word "ab" as its units and the zero byte; the translations "ab" and "a".
  const auto words = wide.split_records(Kind::kWords, hex_bytes("06 61 00 62 00 00"));
  ASSERT_TRUE(words);
  EXPECT_EQ(*words, (std::vector<std::vector<uint8_t>>{hex_bytes("61 00 62 00")}));
  const auto trans = wide.split_records(Kind::kTrans, hex_bytes("05 61 00 62 00  03 61 00"));
  ASSERT_TRUE(trans);
  EXPECT_EQ(trans->size(), 2u);

  // Half a unit cannot be a UTF-16 text: the record is damaged, not a text
  // to print without its last byte.
  EXPECT_FALSE(wide.split_records(Kind::kTrans, hex_bytes("04 61 00 62")));
  EXPECT_FALSE(wide.split_records(Kind::kTrans, hex_bytes("00 00 06 61 00 62")));
  EXPECT_FALSE(wide.split_records(Kind::kWords, hex_bytes("05 61 00 62 00")));

  // 8-bit texts have any length.
  const Dictionary narrow = dictionary(false);
  EXPECT_TRUE(narrow.split_records(Kind::kTrans, hex_bytes("04 61 00 62")));
  EXPECT_TRUE(narrow.split_records(Kind::kWords, hex_bytes("03 61 62")));
}

}  // namespace
}  // namespace lexbuild::dump
