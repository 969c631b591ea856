#include "patcher/extras_options.h"

#include <gtest/gtest.h>

#include <climits>

namespace lexbuild {
namespace {

TEST(ExtrasOptions, AtoiRulesWithoutWrapAround) {
  EXPECT_EQ(atoi_value("5"), 5);
  EXPECT_EQ(atoi_value("-1"), -1);
  EXPECT_EQ(atoi_value("abc"), 0);
  EXPECT_EQ(atoi_value(" \t+12x"), 12);
  EXPECT_EQ(atoi_value("99999999999"), INT32_MAX);
  EXPECT_EQ(atoi_value("-99999999999"), INT32_MIN);
}

TEST(ExtrasOptions, LastNameAndFlagWinFirstNonEmptyFontWins) {
  const ExtrasOptions options = read_extras_options(
      {"--allow_html=9", "--font_listHR=l1", "--pictures_db=one", "--allow_html=1",
       "--font_textHR=", "--PICTURES_DB=", "--Allow_Html=abc", "--font_textHR=t1",
       "--font_textHR=t2", "--font_listHR=l2", "x--allow_html=7", "--font_listhr"});
  EXPECT_EQ(options.pictures_db, "") << "an empty last value clears the name";
  EXPECT_EQ(options.allow_html, 0) << "args[0] and x--allow_html= are not options";
  ASSERT_TRUE(options.text_font);
  EXPECT_EQ(options.text_font->path, "t1");
  EXPECT_EQ(options.text_font->argument, 7u);
  ASSERT_TRUE(options.list_font);
  EXPECT_EQ(options.list_font->path, "l1");
  EXPECT_EQ(options.list_font->argument, 1u);

  const ExtrasOptions none = read_extras_options({"lexbuild", "--font_listHR=", "--debug"});
  EXPECT_FALSE(none.list_font);
  EXPECT_FALSE(none.pictures_db) << "an absent name leaves the field alone";
  EXPECT_FALSE(none.allow_html);
}

}  // namespace
}  // namespace lexbuild
