#include "platform/language_lookup.h"

#include <gtest/gtest.h>

#include "driver/code_pages.h"
#include "platform/code_page.h"
#include "platform/collator.h"

namespace lexbuild::platform {
namespace {

std::string id_of(std::string_view name) {
  const auto found = find_source_language(name);
  return found ? found->locale_id + ":" + std::to_string(found->code_page) : "none";
}

TEST(LanguageLookup, EnglishNamesInAnyCaseAndLocaleIds) {
  EXPECT_EQ(id_of("Russian"), "ru:1251");
  EXPECT_EQ(id_of("rUSSIAN"), "ru:1251");
  EXPECT_EQ(id_of("ru"), "ru:1251");
  EXPECT_EQ(id_of("ru_RU"), "ru:1251");
  EXPECT_EQ(id_of("ru-RU"), "ru:1251");
  EXPECT_EQ(id_of("english"), "en:1252");
  EXPECT_EQ(id_of("Greek"), "el:1253");
  EXPECT_EQ(id_of("Turkish"), "tr:1254");
  EXPECT_EQ(id_of("Hebrew"), "he:1255");
  EXPECT_EQ(id_of("Arabic"), "ar:1256");
  EXPECT_EQ(id_of("Lithuanian"), "lt:1257");
  EXPECT_EQ(id_of("Vietnamese"), "vi:1258");
  EXPECT_EQ(id_of("Thai"), "th:874");
  EXPECT_EQ(id_of("Polish"), "pl:1250");
  EXPECT_EQ(id_of("Norwegian Bokm\u00E5l"), "nb:1252");
}

TEST(LanguageLookup, WindowsNamesWithAScriptSelectThatScript) {
  EXPECT_EQ(id_of("Chinese (Traditional)"), "zh_Hant:950");
  EXPECT_EQ(id_of("Chinese (Simplified)"), "zh_Hans:936");
  EXPECT_EQ(id_of("Chinese"), "zh_Hans:936");
  EXPECT_EQ(id_of("zh_TW"), "zh_Hant:950");
  EXPECT_EQ(id_of("Serbian (Latin)"), "sr_Latn:1250");
  EXPECT_EQ(id_of("serbian (cyrillic)"), "sr_Cyrl:1251");
  EXPECT_EQ(id_of("Uzbek (Cyrillic)"), "uz_Cyrl:1251");
  EXPECT_EQ(id_of("sr_Cyrl_RS"), "sr_Cyrl:1251");
}

TEST(LanguageLookup, UnknownNamesKeepTheCLocaleAndUnicodeOnlyLanguagesHaveNoCodePage) {
  for (const char* name : {"", "C", "POSIX", "posix", "Klingon", "Russian ", "xx", "Rusian",
                           "Russian (Latin)", "../etc"}) {
    EXPECT_EQ(id_of(name), "none") << name;
  }
  EXPECT_EQ(id_of("Hindi"), "hi:0");
  EXPECT_EQ(id_of("armenian"), "hy:0");
  EXPECT_EQ(id_of("ka_GE"), "ka:0");
}

// Every language the language list offers and the lookup accepts can be
// used: its code page and its collation load.
TEST(LanguageLookup, EveryListedLanguageThatIsFoundLoads) {
  int found = 0;
  for (const std::string& name : language_list()) {
    const auto language = find_source_language(name);
    if (!language || language->code_page == 0) continue;
    ++found;
    EXPECT_TRUE(load_code_page(language->code_page)) << name;
    EXPECT_TRUE(Collator::create(language->locale_id)) << name;
  }
  EXPECT_GT(found, 50);
}

}  // namespace
}  // namespace lexbuild::platform
