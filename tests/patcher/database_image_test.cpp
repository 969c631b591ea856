#include "patcher/database_image.h"

#include <gtest/gtest.h>

#include "compiler/byte_order.h"
#include "support/pdb_builder.h"
#include "support/test_support.h"

namespace lexbuild {
namespace {

using testing::build_pdb;
using testing::header_record;
using testing::split_pdb;

// The answer for the whole image, checked against the answer for the first
// bytes that header_record_reach() asks for, as the post-build pass reads them.
std::optional<size_t> find_in_whole_and_part(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> part;
  for (size_t want = 0; (want = std::min(header_record_reach(part), image.size())) > part.size();) {
    part.assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(want));
  }
  const std::optional<size_t> whole = find_header_record(image);
  EXPECT_EQ(find_header_record(part, image.size()), whole) << "from " << part.size() << " bytes";
  return whole;
}

TEST(FindHeaderRecord, RefusesImagesThatCannotHoldRecordZero) {
  const std::vector<uint8_t> good = testing::sample_pdb();
  EXPECT_EQ(find_in_whole_and_part(good), 80u + 8 * 6);

  EXPECT_FALSE(find_in_whole_and_part(std::vector<uint8_t>(good.begin(), good.begin() + 77)));
  EXPECT_FALSE(find_in_whole_and_part(build_pdb({}))) << "no records";
  std::vector<uint8_t> bad = good;
  put_be16(bad.data() + 76, 400);  // a list longer than the file
  EXPECT_FALSE(find_in_whole_and_part(bad));

  bad = good;
  put_be32(bad.data() + 78, static_cast<uint32_t>(good.size() - 549));  // 549 bytes left
  EXPECT_FALSE(find_in_whole_and_part(bad));
  put_be32(bad.data() + 78, 78);  // inside the record list
  EXPECT_FALSE(find_in_whole_and_part(bad));
  put_be32(bad.data() + 78, 0xFFFFFFF0);  // far beyond the end
  EXPECT_FALSE(find_in_whole_and_part(bad));

  bad = good;
  put_be32(bad.data() + 78 + 8 * 5, static_cast<uint32_t>(good.size() + 1));
  EXPECT_FALSE(find_in_whole_and_part(bad)) << "a later record outside the file";
  put_be32(bad.data() + 78 + 8 * 5, static_cast<uint32_t>(good.size()));
  EXPECT_TRUE(find_in_whole_and_part(bad)) << "an empty last record ends at the end of the file";
}

TEST(AppendFontRecord, TheNewEntryIsBlankAndTheGapStays) {
  const std::vector<uint8_t> before = testing::sample_pdb();
  std::vector<uint8_t> image = before;
  append_font_record(image, testing::hex_bytes("01 02 03"));

  ASSERT_EQ(image.size(), before.size() + 8 + 3);
  EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 76),
            std::vector<uint8_t>(before.begin(), before.begin() + 76));
  EXPECT_EQ(get_be16(image.data() + 76), 7);
  EXPECT_EQ(get_be32(image.data() + 78 + 48), before.size() + 8);
  EXPECT_EQ(testing::to_hex({image.begin() + 78 + 52, image.begin() + 78 + 56 + 2}),
            "00 00 00 00 00 00");
  EXPECT_EQ(testing::to_hex({image.end() - 3, image.end()}), "01 02 03");
}

TEST(CanGrow, CountStaysSixteenBitAndOffsetsThirtyTwoBit) {
  std::vector<uint8_t> image = build_pdb({header_record()});
  EXPECT_EQ(testing::to_hex({image.end() - 4, image.end()}), "09 09 D2 90")
      << "the sample header record carries the CRC of a three-entry build";
  EXPECT_FALSE(can_grow(image, 1, 0xFFFFFFFFull - image.size() - 7));
  EXPECT_TRUE(can_grow(image, 1, 0xFFFFFFFFull - image.size() - 8));
  put_be16(image.data() + 76, 65534);  // only the count matters here
  EXPECT_TRUE(can_grow(image, 1, 0));
  EXPECT_FALSE(can_grow(image, 2, 0));
}

}  // namespace
}  // namespace lexbuild
