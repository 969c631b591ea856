#include "platform/code_page.h"

#include <gtest/gtest.h>

#include "support/locale_data.h"

namespace lexbuild::platform {
namespace {

// Every byte converts alone to the unit that Windows gives it.
TEST(CodePage, SingleBytePagesMatchTheWindowsConversion) {
  for (int code_page : {1251, 1252}) {
    const auto table = load_code_page(code_page);
    ASSERT_TRUE(table) << code_page;
    const auto expected = testing::read_byte_table("units_" + std::to_string(code_page) + ".tsv");
    for (int b = 0; b < 256; ++b) {
      ASSERT_TRUE(table->defined[b]) << code_page << " byte " << b;
      EXPECT_EQ(table->units[b], expected[b]) << code_page << " byte " << b;
    }
  }
}

TEST(CodePage, UndefinedBytesAndLeadBytesHaveNoUnit) {
  const auto greek = load_code_page(1253);
  ASSERT_TRUE(greek);
  for (int b : {0xD2, 0xFF}) EXPECT_FALSE(greek->defined[b]) << b;
  EXPECT_EQ(greek->units[0xC1], 0x0391);  // capital alpha

  const auto japanese = load_code_page(932);
  ASSERT_TRUE(japanese);
  EXPECT_TRUE(japanese->defined['A']);
  EXPECT_FALSE(japanese->defined[0x82]) << "a lead byte alone is no character";
  EXPECT_EQ(japanese->units[0xB1], 0xFF71) << "half-width katakana are single bytes";

  EXPECT_FALSE(load_code_page(4242));
}

TEST(CodePage, SimpleLowerCase) {
  EXPECT_EQ(simple_lower_case(U'A'), U'a');
  EXPECT_EQ(simple_lower_case(0x0410), 0x0430);  // Cyrillic A
  EXPECT_EQ(simple_lower_case(0x00DF), 0x00DF) << "sharp s has no one-character lower case";
  EXPECT_EQ(simple_lower_case(U'1'), U'1');
}

}  // namespace
}  // namespace lexbuild::platform
